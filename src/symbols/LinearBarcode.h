// Entry point of the linear barcode encoders for the renderer: one call per symbol, data in,
// module pattern and human-readable text out, or nothing when the data cannot be encoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "symbols/Codabar.h"
#include "symbols/Code128.h"
#include "symbols/Code39.h"
#include "symbols/Code93.h"
#include "symbols/ITF.h"
#include "symbols/LinearSymbol.h"
#include "symbols/UPCEAN.h"

namespace Ordal::Symbols {

enum TipoCodigoBarras : int {
    UPC_A = 0,
    UPC_E = 1,
    EAN_13 = 2,
    EAN_8 = 3,
    CODE39 = 4,
    ITF = 5,
    CODABAR = 6,
    CODE93 = 7,
    CODE128 = 8,
};

struct OpcoesCodigoBarras {
    // Modules of a wide element of Code 39, ITF and Codabar (narrow elements take one): 2 or 3,
    // 0 for the symbology's default (Code 39: 2, i.e. 12-module characters; ITF and Codabar: 3).
    // The renderer passes 3 for Code 39 when its 15-module option is on.
    int modulosElementoLargo = 0;
};

// tipo: 0 UPC-A, 1 UPC-E, 2 EAN-13, 3 EAN-8, 4 CODE39, 5 ITF, 6 CODABAR, 7 CODE93, 8 CODE128
// (CODE128 data are symbol values, see Code128.h). Nothing for another type, null or empty data,
// or data the symbology cannot encode.
std::optional<LinearSymbol> codificarCodigoBarras(int tipo, const uint8_t* dados, size_t n,
                                                  const OpcoesCodigoBarras& opcoes = {});

}  // namespace Ordal::Symbols
