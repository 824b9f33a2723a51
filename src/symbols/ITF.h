// Interleaved 2 of 5 encoder.
//
// Digits only, an even count: each pair is one bar/space group, the first digit in the bars and
// the second in the spaces. An odd count is refused rather than padded with a leading zero, which
// would change the number a scanner reads. No check digit is added. Wide elements take 3 modules
// by default (ratio 1:3, what readers tolerate best at the small module widths of a receipt
// printer) or 2.
// Refused: empty data, a non-digit, an odd count, more than 8192 modules.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "symbols/LinearSymbol.h"

namespace Ordal::Symbols {

// modulosLargos: 2 or 3 (0 = 3).
std::optional<LinearSymbol> codificarITF(std::span<const uint8_t> dados, int modulosLargos = 0);

}  // namespace Ordal::Symbols
