// UPC-A, UPC-E, EAN-13 and EAN-8 encoders.
//
// Data rules: decimal digits only. UPC-A takes 11 digits or 12 with the check digit, EAN-13 12 or
// 13, EAN-8 7 or 8, UPC-E 7 or 8 (number system 0 or 1, six digits, optional check digit). A
// missing check digit is computed; a given one is drawn as given. The UPC-E check digit is the one
// of the UPC-A number it stands for.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "symbols/LinearSymbol.h"

namespace Ordal::Symbols {

std::optional<LinearSymbol> codificarUPCA(std::span<const uint8_t> dados);
std::optional<LinearSymbol> codificarUPCE(std::span<const uint8_t> dados);
std::optional<LinearSymbol> codificarEAN13(std::span<const uint8_t> dados);
std::optional<LinearSymbol> codificarEAN8(std::span<const uint8_t> dados);

// Modulo-10 check digit of the GS1 family for digit values 0..9 (weight 3 on the rightmost digit).
int digitoVerificadorGS1(std::span<const uint8_t> valores);

// The 11-digit UPC-A number (values 0..9, without check digit) that a UPC-E number stands for,
// given its number system (0 or 1) and six digits; nullopt for another number system.
std::optional<std::array<uint8_t, 11>> expandirUPCE(std::span<const uint8_t, 7> valores);

}  // namespace Ordal::Symbols
