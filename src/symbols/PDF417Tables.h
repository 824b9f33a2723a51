// Constant tables of the PDF417 symbology (bar patterns, Reed-Solomon generators, text sub-modes).
#pragma once

#include <cstdint>

namespace PDF417Tabelas {

// Bar/space pattern of every codeword in the three clusters (row r uses cluster r mod 3); 17
// modules, bit 16 is the leftmost module, 1 = bar.
extern const uint32_t padroes[3][929];

constexpr uint32_t padraoInicio = 0x1FEA8;  // 17 modules
constexpr uint32_t padraoFim = 0x3FA29;     // 18 modules (ends with the closing bar)

// Generator polynomial coefficients a_0..a_(k-1) of all levels 0..8 back to back; level L has
// k = 2^(L+1) of them starting at offsetRS(L).
extern const uint16_t coeficientesRS[1022];
constexpr int offsetRS(int nivel) { return (2 << nivel) - 2; }

// Value 0..29 of a byte in each text sub-mode (0 Alpha, 1 Lower, 2 Mixed, 3 Punctuation), -1 when
// the sub-mode has no such character.
extern const int8_t valorSubmodo[4][256];

}  // namespace PDF417Tabelas
