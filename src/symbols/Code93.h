// Code 93 encoder, full ASCII, with both check characters (C and K).
//
// Every byte 0..127 is encoded, the ones outside the basic set as the shift sequences of
// full-ASCII Code 93. Start, C, K, stop and the final one-module bar are added. The
// human-readable text holds the bytes 32..126 of the data (the check characters are not shown).
// Refused: empty data, a byte above 127, more than 8192 modules.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "symbols/LinearSymbol.h"

namespace Ordal::Symbols {

std::optional<LinearSymbol> codificarCode93(std::span<const uint8_t> dados);

}  // namespace Ordal::Symbols
