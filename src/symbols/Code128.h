// Code 128 encoder taking symbol values, plus helpers that turn text into values.
//
// Input: the first byte is the start value (103 start A, 104 start B, 105 start C), every
// following byte one symbol value 0..102. The check symbol, the stop symbol and the final
// two-module bar are appended.
//
// Human-readable text: in sets A and B values 0..63 show as the character value + 32; values
// 64..95 show (as value + 32) only where they stand for a set B character, i.e. in set B or in set
// A right after the shift 98; in set C values 0..99 show as two digits. Code set changes are
// followed (99 to C from A/B, 100 to B from A/C, 101 to A from B/C); function characters, shifts
// and DEL show nothing.
//
// Refused: no start value, fewer than one data value, a value above 105, a start value after the
// first byte, a human-readable text longer than 1197 characters, more than 8192 modules.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "symbols/LinearSymbol.h"

namespace Ordal::Symbols {

inline constexpr uint8_t kInicioCode128A = 103;
inline constexpr uint8_t kInicioCode128B = 104;
inline constexpr uint8_t kInicioCode128C = 105;
inline constexpr uint8_t kShiftCode128 = 98;
inline constexpr uint8_t kCodigoCCode128 = 99;
inline constexpr uint8_t kCodigoBCode128 = 100;
inline constexpr uint8_t kCodigoACode128 = 101;
inline constexpr size_t kMaximoHRICode128 = 1197;

std::optional<LinearSymbol> codificarCode128(std::span<const uint8_t> valores);

// Start C followed by one value per pair of digits (the access key of a fiscal document becomes
// 23 values). An odd last digit is carried in set B after a code B. Nothing for an empty string
// or a non-digit.
std::optional<std::vector<uint8_t>> valoresCode128ConjuntoC(std::string_view digitos);

// Values for arbitrary text of bytes 0..127: set C for runs of four or more digits, set B for
// printable text, set A for control characters, with shifts for a single character of the other
// set. Nothing for empty text or a byte above 127.
std::optional<std::vector<uint8_t>> valoresCode128Texto(std::string_view texto);

}  // namespace Ordal::Symbols
