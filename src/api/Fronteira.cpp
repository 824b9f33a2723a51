#include "api/Fronteira.h"

#include <cstdio>
#include <mutex>

namespace ORDAL_VEX {

namespace {
struct UltimaFalha {
    std::mutex mutex;
    std::string texto;
};
UltimaFalha& ultima() {
    static UltimaFalha u;
    return u;
}
}  // namespace

void registrarFalha(const char* exportacao, const char* mensagem) {
    std::string texto = mensagem ? mensagem : "";
    std::fprintf(stderr, "%s: %s\n", exportacao, texto.c_str());
    std::fflush(stderr);
    try {
        std::lock_guard<std::mutex> lock(ultima().mutex);
        ultima().texto = texto;
    } catch (...) {
    }
}

std::string ultimaFalha() {
    std::lock_guard<std::mutex> lock(ultima().mutex);
    return ultima().texto;
}

}  // namespace ORDAL_VEX
