// Code 39 encoder, full ASCII.
//
// Every byte 0..127 is encoded. Data of the 43 basic characters (0-9 A-Z - . space $ / + %) only
// is plain Code 39; other data is full-ASCII Code 39 throughout, every byte that is not a digit,
// an upper-case letter, '-', '.' or space becoming its two-character sequence ('*' too, which is
// reserved for start/stop, and $ / + %, which are the shift characters there). The
// start and stop characters are added. A character is nine elements, three of them wide; wide
// elements take 2 modules (12-module characters, the default) or 3 (15-module characters);
// narrow elements and the gap between characters take one module, so each character after the
// first adds 13 or 16 modules. No check character is added.
// Refused: empty data, a byte above 127, a human-readable text (the bytes 32..126) longer than
// 198 characters, more than 8192 modules.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "symbols/LinearSymbol.h"

namespace Ordal::Symbols {

inline constexpr size_t kMaximoHRICode39 = 198;

// modulosLargos: 2 or 3 (0 = 2).
std::optional<LinearSymbol> codificarCode39(std::span<const uint8_t> dados, int modulosLargos = 0);

}  // namespace Ordal::Symbols
