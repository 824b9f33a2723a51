#include "symbols/LinearBarcode.h"

namespace Ordal::Symbols {

std::optional<LinearSymbol> codificarCodigoBarras(int tipo, const uint8_t* dados, size_t n,
                                                  const OpcoesCodigoBarras& opcoes) {
    if (dados == nullptr || n == 0) return std::nullopt;
    const std::span<const uint8_t> d(dados, n);
    switch (tipo) {
    case UPC_A: return codificarUPCA(d);
    case UPC_E: return codificarUPCE(d);
    case EAN_13: return codificarEAN13(d);
    case EAN_8: return codificarEAN8(d);
    case CODE39: return codificarCode39(d, opcoes.modulosElementoLargo);
    case ITF: return codificarITF(d, opcoes.modulosElementoLargo);
    case CODABAR: return codificarCodabar(d, opcoes.modulosElementoLargo);
    case CODE93: return codificarCode93(d);
    case CODE128: return codificarCode128(d);
    default: return std::nullopt;
    }
}

}  // namespace Ordal::Symbols
