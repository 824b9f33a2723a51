#include "BarcodeImage.h"

#include <cctype>
#include <cstdio>
#include <fstream>

#include "TestSupport.h"

namespace linear_test {

namespace {

void le16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void le32(std::string& s, uint32_t v) {
    le16(s, v & 0xFFFF);
    le16(s, v >> 16);
}

// Single-quoted for the shell, so any byte of test data passes unharmed.
std::string citar(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'')
            r += "'\\''";
        else
            r.push_back(c);
    }
    return r + "'";
}

std::string semFimDeLinha(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

}  // namespace

bool gravarBMP(const std::string& caminho, const std::vector<uint8_t>& modulos, int modulo, int altura, int margem) {
    const uint32_t largura = static_cast<uint32_t>((modulos.size() + 2 * margem) * modulo);
    const uint32_t linhaBytes = (largura + 31) / 32 * 4;
    const uint32_t imagem = linhaBytes * static_cast<uint32_t>(altura);
    std::string f;
    f += "BM";
    le32(f, 14 + 40 + 8 + imagem);
    le32(f, 0);
    le32(f, 14 + 40 + 8);
    le32(f, 40);
    le32(f, largura);
    le32(f, static_cast<uint32_t>(altura));
    le16(f, 1);
    le16(f, 1);
    le32(f, 0);
    le32(f, imagem);
    le32(f, 2835);
    le32(f, 2835);
    le32(f, 2);
    le32(f, 0);
    f += std::string("\xFF\xFF\xFF\x00", 4);  // index 0: white
    f += std::string("\x00\x00\x00\x00", 4);  // index 1: black
    std::string linha(linhaBytes, '\0');
    for (size_t m = 0; m < modulos.size(); ++m) {
        if (!modulos[m]) continue;
        for (int p = 0; p < modulo; ++p) {
            const size_t x = (m + margem) * modulo + p;
            linha[x / 8] = static_cast<char>(linha[x / 8] | (0x80 >> (x % 8)));
        }
    }
    for (int y = 0; y < altura; ++y) f += linha;
    std::ofstream out(caminho, std::ios::binary);
    out.write(f.data(), static_cast<std::streamsize>(f.size()));
    return static_cast<bool>(out);
}

std::optional<std::string> lerZbar(const std::string& caminho) {
    int rc = -1;
    const std::string saida = rx457test::runCommand(
        "zbarimg -q --nodbus --raw -Supca.enable -Supce.enable -Sisbn10.disable -Sisbn13.disable " + citar(caminho) +
            " 2>/dev/null",
        &rc);
    if (rc != 0 || saida.empty()) return std::nullopt;
    return semFimDeLinha(saida);
}

std::optional<std::string> lerZXing(const std::string& caminho, const std::string& formato) {
    int rc = -1;
    const std::string saida =
        rx457test::runCommand("ZXingReader -bytes -format " + formato + " " + citar(caminho) + " 2>/dev/null", &rc);
    if (rc != 0 || saida.empty()) return std::nullopt;
    return saida;
}

std::vector<uint8_t> modulosZint(int tipo, const std::string& dados, const std::string& opcoes) {
    int rc = -1;
    const std::string saida = rx457test::runCommand(
        "zint -b " + std::to_string(tipo) + " --dump " + opcoes + " -d " + citar(dados) + " 2>/dev/null", &rc);
    std::vector<uint8_t> m;
    if (rc != 0) return m;
    for (char c : saida) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
        const int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        for (int b = 3; b >= 0; --b) m.push_back(static_cast<uint8_t>((v >> b) & 1));
    }
    // The dump pads the last hex digit with spaces; every linear symbol ends with a bar.
    while (!m.empty() && m.back() == 0) m.pop_back();
    return m;
}

std::string comoTexto(const std::vector<uint8_t>& modulos) {
    std::string s;
    for (uint8_t m : modulos) s.push_back(m ? '1' : '0');
    return s;
}

}  // namespace linear_test
