// Renders every glyph of a built-in font into a 24-bit BMP grid (16 glyphs per row) followed by a
// few lines of sample text, so the fonts can be checked by eye. Cells alternate between two light
// colours, the baseline row is tinted red where it has no ink, glyph numbers are rows of 16.
//
//   fontgen_preview <font 0..7> <output.bmp> [scale]
#include "printer/fonts/Fontes.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace Ordal::Printer;

namespace {

struct Imagem {
    int largura, altura;
    std::vector<uint32_t> rgb;
    Imagem(int l, int a) : largura(l), altura(a), rgb(size_t(l) * a, 0xFFFFFF) {}
    void ponto(int x, int y, uint32_t c) {
        if (x >= 0 && y >= 0 && x < largura && y < altura) rgb[size_t(y) * largura + x] = c;
    }
};

void desenharGlifo(Imagem& img, const DescritorFonte& f, int glifo, int x0, int y0, uint32_t fundo) {
    const GlifoFonte& g = f.glifos[glifo];
    for (int y = 0; y < f.altura; ++y)
        for (int x = 0; x < f.avanco; ++x) img.ponto(x0 + x, y0 + y, y == f.ascendente ? 0xF0A0A0 : fundo);
    if (g.dados == nullptr) return;
    const int bytesLinha = (int(g.largura) + 7) / 8;
    for (uint32_t l = 0; l < g.linhas; ++l)
        for (uint32_t x = 0; x < g.largura; ++x)
            if (g.dados[l * bytesLinha + x / 8] >> (x % 8) & 1) img.ponto(x0 + int(x), y0 + int(g.topo + l), 0x000000);
}

std::vector<uint32_t> decodificarUtf8(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        uint32_t u = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n && i + k < s.size(); ++k) u = u << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(u);
        i += n;
    }
    return out;
}

bool gravarBmp(const Imagem& img, int escala, const std::string& nome) {
    const int l = img.largura * escala, a = img.altura * escala;
    const int linha = (l * 3 + 3) / 4 * 4;
    std::vector<uint8_t> b(54 + size_t(linha) * a, 0);
    auto u32 = [&](size_t p, uint32_t v) {
        for (int k = 0; k < 4; ++k) b[p + k] = uint8_t(v >> (8 * k));
    };
    b[0] = 'B';
    b[1] = 'M';
    u32(2, uint32_t(b.size()));
    u32(10, 54);
    u32(14, 40);
    u32(18, uint32_t(l));
    u32(22, uint32_t(a));
    b[26] = 1;
    b[28] = 24;
    u32(34, uint32_t(linha) * a);
    for (int y = 0; y < a; ++y)
        for (int x = 0; x < l; ++x) {
            uint32_t c = img.rgb[size_t(y / escala) * img.largura + x / escala];
            size_t p = 54 + size_t(a - 1 - y) * linha + size_t(x) * 3;
            b[p] = uint8_t(c);
            b[p + 1] = uint8_t(c >> 8);
            b[p + 2] = uint8_t(c >> 16);
        }
    std::ofstream f(nome, std::ios::binary);
    f.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return bool(f);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "uso: %s <fonte 0..7> <saida.bmp> [escala]\n", argv[0]);
        return 2;
    }
    const DescritorFonte& f = descritorFonte(std::atoi(argv[1]));
    const int escala = argc > 3 ? std::max(1, std::atoi(argv[3])) : 2;
    const std::vector<std::string> amostras = {
        "AÇÃO DE GRAÇAS: café, pão, maçã, açaí, ônibus", "Nº 123 1ª via Ô Õ É Í Ú à è ì ò ù ü ñ ß € 12,50",
        "TOTAL R$ 1.234,56  ¡¿ «» ±½¼¾ µ ° ¹²³ ©®",      "┌──┬──┐ ╔══╦══╗ ░▒▓█ ▀▄▌▐ ■ ≤≥≈≡√ⁿ∞ αßΓπΣσ",
        "└──┴──┘ ╚══╩══╝ the quick brown fox jumps",
    };
    const int colunas = 16, gap = 2;
    const int largura = std::max(colunas * (f.avanco + gap), 50 * f.avanco) + gap;
    const int linhasGrade = kGlifosPorFonte / colunas;
    const int altura = linhasGrade * (f.altura + gap) + gap + int(amostras.size()) * f.altura + 8;
    Imagem img(largura, altura);
    for (int g = 0; g < kGlifosPorFonte; ++g) {
        int cx = g % colunas, cy = g / colunas;
        uint32_t fundo = (cx + cy) % 2 ? 0xE8F0FF : 0xFFF8D8;
        desenharGlifo(img, f, g, gap + cx * (f.avanco + gap), gap + cy * (f.altura + gap), fundo);
    }
    int y = linhasGrade * (f.altura + gap) + gap + 6;
    for (const auto& s : amostras) {
        int x = gap;
        for (uint32_t u : decodificarUtf8(s)) {
            int g = glifoDoUnicode(u);
            if (g < 0) g = '?';
            desenharGlifo(img, f, g, x, y, 0xFFFFFF);
            x += f.avanco;
        }
        y += f.altura;
    }
    if (!gravarBmp(img, escala, argv[2])) {
        std::fprintf(stderr, "falha ao gravar %s\n", argv[2]);
        return 1;
    }
    return 0;
}
