#include "config/TextosConsulta.h"

namespace Ordal::DocumentoFiscal {

namespace {
// Constructed on first use: the session sets these from its own static initialiser.
struct Guarda {
    std::mutex mutex;
    TextosConsulta textos;
};
Guarda& guarda() {
    static Guarda g;
    return g;
}
}  // namespace

TextosConsulta textosConsulta() {
    std::lock_guard<std::mutex> lock(guarda().mutex);
    return guarda().textos;
}

void definirTextosConsulta(const TextosConsulta& textos) {
    std::lock_guard<std::mutex> lock(guarda().mutex);
    guarda().textos = textos;
}

}  // namespace Ordal::DocumentoFiscal
