// Test-only: draws a module pattern into a 1-bit BMP and runs the independent decoders on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace linear_test {

// White background, black bars, `modulo` pixels per module, `altura` pixels high, `margem` modules
// of quiet zone on each side.
bool gravarBMP(const std::string& caminho, const std::vector<uint8_t>& modulos, int modulo = 3, int altura = 80,
               int margem = 20);

// Text found by zbarimg (one symbol, raw bytes, trailing newline removed); nullopt when nothing
// was read or the tool is missing.
std::optional<std::string> lerZbar(const std::string& caminho);

// Text found by ZXingReader, formats given as in its -format option; nullopt when nothing was read.
std::optional<std::string> lerZXing(const std::string& caminho, const std::string& formato);

// Modules printed by `zint --dump` for a symbology number and data (other options appended as
// given); empty when zint refuses the data.
std::vector<uint8_t> modulosZint(int tipo, const std::string& dados, const std::string& opcoes = "");

// "0101..." for readable failure messages.
std::string comoTexto(const std::vector<uint8_t>& modulos);

}  // namespace linear_test
