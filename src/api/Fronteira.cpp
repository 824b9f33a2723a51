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

// Called from noexcept boundaries, possibly after an allocation failure: the error line needs no
// memory, and keeping the text is given up (the previous text cleared) when it cannot be copied.
void registrarFalha(const char* exportacao, const char* mensagem) noexcept {
    if (!mensagem) mensagem = "";
    std::fprintf(stderr, "%s: %s\n", exportacao ? exportacao : "", mensagem);
    std::fflush(stderr);
    try {
        std::lock_guard<std::mutex> lock(ultima().mutex);
        try {
            ultima().texto = mensagem;
        } catch (...) {
            ultima().texto.clear();
        }
    } catch (...) {
    }
}

std::string ultimaFalha() {
    std::lock_guard<std::mutex> lock(ultima().mutex);
    return ultima().texto;
}

}  // namespace ORDAL_VEX
