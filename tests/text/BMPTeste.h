// Writes small BMP files of any depth and layout for the decoder's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rx457test {

struct BMPTeste {
    int32_t largura = 0;
    int32_t altura = 0;  // negative: top-down
    uint16_t bpp = 24;
    uint32_t compressao = 0;
    uint32_t tamanhoCabecalho = 40;
    uint16_t planos = 1;
    std::vector<uint32_t> paleta;    // 0x00RRGGBB
    std::vector<uint32_t> mascaras;  // red, green, blue for compression 3
    // pixel(x, y) with y counted from the top: palette index or 0x00RRGGBB
    std::vector<uint32_t> pixels;

    std::string bytes() const {
        std::string s;
        auto u16 = [&](uint32_t v) {
            s.push_back(char(v & 0xFF));
            s.push_back(char((v >> 8) & 0xFF));
        };
        auto u32 = [&](uint32_t v) {
            u16(v & 0xFFFF);
            u16(v >> 16);
        };
        const int32_t linhas = altura < 0 ? -altura : altura;
        const uint32_t porLinha = ((uint32_t(largura) * bpp + 31) / 32) * 4;
        const uint32_t extraMascaras = (compressao == 3 && tamanhoCabecalho == 40) ? 12 : 0;
        const uint32_t inicio = 14 + tamanhoCabecalho + extraMascaras + uint32_t(paleta.size()) * 4;
        s += "BM";
        u32(inicio + porLinha * linhas);
        u32(0);
        u32(inicio);
        u32(tamanhoCabecalho);
        u32(uint32_t(largura));
        u32(uint32_t(altura));
        u16(planos);
        u16(bpp);
        u32(compressao);
        u32(porLinha * linhas);
        u32(2835);
        u32(2835);
        u32(uint32_t(paleta.size()));
        u32(0);
        for (uint32_t i = 40; i < tamanhoCabecalho; i += 4) {
            const uint32_t k = (i - 40) / 4;
            u32(compressao == 3 && k < mascaras.size() ? mascaras[k] : 0);
        }
        if (extraMascaras)
            for (uint32_t m : mascaras) u32(m);
        for (uint32_t c : paleta) u32(c);
        for (int32_t r = 0; r < linhas; ++r) {
            const int32_t y = altura < 0 ? r : linhas - 1 - r;
            std::string linha(porLinha, '\0');
            for (int32_t x = 0; x < largura; ++x) {
                const uint32_t v = pixels[size_t(y) * largura + x];
                const uint32_t bit = uint32_t(x) * bpp;
                if (bpp < 8) {
                    linha[bit / 8] = char(uint8_t(linha[bit / 8]) | (v << (8 - bpp - bit % 8)));
                } else {
                    for (uint32_t b = 0; b < bpp / 8u; ++b) linha[bit / 8 + b] = char((v >> (8 * b)) & 0xFF);
                }
            }
            s += linha;
        }
        return s;
    }
};

}  // namespace rx457test
