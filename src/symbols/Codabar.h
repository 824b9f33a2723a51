// Codabar encoder.
//
// Data characters 0-9 - $ : / . +; the start/stop characters A B C D (a b c d accepted as the
// same). When the data begins and ends with a start/stop character they are used as given; when
// neither end has one, A is added at both ends; a start/stop character anywhere else, or at one
// end only, is refused. The human-readable text is the data as given (start/stop in upper case).
// Wide elements take 3 modules by default, or 2; the gap between characters is one module.
// Refused: empty data, any other byte, more than 8192 modules.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "symbols/LinearSymbol.h"

namespace Ordal::Symbols {

// modulosLargos: 2 or 3 (0 = 3).
std::optional<LinearSymbol> codificarCodabar(std::span<const uint8_t> dados, int modulosLargos = 0);

}  // namespace Ordal::Symbols
