#include "api/Fronteira.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace ORDAL_VEX {

namespace {
// A fixed buffer guarded by a mutex, both trivially destructible: recording a failure allocates
// nothing (it may follow an allocation failure), and the output thread may still report while the
// library is being unloaded.
struct UltimaFalha {
    std::mutex mutex;
    char texto[1024] = {};
};
UltimaFalha ultima;

void guardar(const char* mensagem) noexcept {
    std::lock_guard<std::mutex> lock(ultima.mutex);
    std::snprintf(ultima.texto, sizeof ultima.texto, "%s", mensagem ? mensagem : "");
}
}  // namespace

void registrarFalha(const char* exportacao, const char* mensagem) noexcept {
    if (!mensagem) mensagem = "";
    std::fprintf(stderr, "%s: %s\n", exportacao ? exportacao : "", mensagem);
    std::fflush(stderr);
    guardar(mensagem);
}

void registrarMensagem(const char* mensagem) noexcept { guardar(mensagem); }

std::string ultimaFalha() {
    std::lock_guard<std::mutex> lock(ultima.mutex);
    return ultima.texto;
}

}  // namespace ORDAL_VEX
