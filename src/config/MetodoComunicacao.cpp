#include "config/MetodoComunicacao.h"

namespace ORDAL_VEX {

MetodoComunicacao metodoComunicacaoDeTexto(const std::string& texto) {
    if (texto == "SERIAL") return SERIAL;
    if (texto == "ETHERNET") return ETHERNET;
    return USB;
}

const char* nomeMetodoComunicacao(MetodoComunicacao m) {
    switch (m) {
    case SERIAL: return "SERIAL";
    case ETHERNET: return "ETHERNET";
    default: return "USB";
    }
}

}  // namespace ORDAL_VEX
