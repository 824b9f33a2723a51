#include <gtest/gtest.h>

#include "Gravadores.h"

using Ordal::Printer::Bitmap;
using Ordal::Printer::converterParaImpressora;
using Ordal::Printer::Raster;
using teste::paraHex;

namespace {

// Builds a picture from rows of characters: '#' black, '.' white, 'g' grey 100, 'h' grey 200,
// 'r' pure red (grey 76), 'b' pure blue (grey 29).
Bitmap desenho(const std::vector<std::string>& linhas, int bits = 24) {
    Bitmap b;
    b.largura = static_cast<int>(linhas[0].size());
    b.altura = static_cast<int>(linhas.size());
    b.bitsPorPixel = bits;
    for (const auto& l : linhas)
        for (char c : l) {
            uint8_t r = 255, g = 255, bl = 255;
            switch (c) {
            case '#': r = g = bl = 0; break;
            case 'g': r = g = bl = 100; break;
            case 'h': r = g = bl = 200; break;
            case 'r': g = bl = 0; break;
            case 'b': r = g = 0; break;
            default: break;
            }
            b.pixels.insert(b.pixels.end(), {r, g, bl, 0});
        }
    return b;
}

Bitmap plano(int largura, int altura, uint8_t cinza) {
    Bitmap b;
    b.largura = largura;
    b.altura = altura;
    b.pixels.assign(static_cast<size_t>(largura) * altura * 4, cinza);
    return b;
}

// "#.#." ... of n pairs.
std::string repetirPar(int n) {
    std::string s;
    while (n-- > 0) s += "#.";
    return s;
}

int pretos(const Raster& r) {
    int n = 0;
    for (int y = 0; y < r.altura; ++y)
        for (int x = 0; x < r.largura; ++x) n += r.ponto(x, y);
    return n;
}

}  // namespace

TEST(Conversao, LimiarFixoLinhasEColunas) {
    const Bitmap img = desenho({"#.g.h.rb#", "........#"});
    struct Caso {
        int flags;
        int largura, altura;
        const char* bytes;
    } casos[] = {
        // rows of 2 bytes: # . g . h . r b # -> 1 0 1 0 0 0 1 1 | 1
        {4, 9, 2, "A3 80 00 80"},
        {4 | 8, 9, 2, "5C 7F FF 7F"},
        // column format: 9 columns of 8 rows (H8 = 8), column j is byte j
        {4 | 16, 9, 8, "80 00 80 00 00 00 80 80 C0 00 00 00 00 00 00 00"},
        {4 | 16 | 8, 9, 8, "7F FF 7F FF FF FF 7F 7F 3F FF FF FF FF FF FF FF"},
    };
    for (const auto& c : casos) {
        Raster r = converterParaImpressora(512, img, c.flags, 200);
        EXPECT_EQ(r.largura, c.largura) << c.flags;
        EXPECT_EQ(r.altura, c.altura) << c.flags;
        EXPECT_EQ(paraHex(r.bytes), c.bytes) << c.flags;
    }
}

TEST(Conversao, ImagemPretoEBrancoMantemLimiarComFlags5) {
    const Bitmap pb = desenho({"#..#", ".##."});
    EXPECT_EQ(paraHex(converterParaImpressora(512, pb, 5, 128).bytes), "90 60");
    // A grey pixel makes the picture multi-level: bit 2 is dropped and the picture is dithered.
    const Bitmap cinza = plano(64, 64, 100);
    Raster limiar = converterParaImpressora(512, cinza, 4, 128);
    Raster pontilhado = converterParaImpressora(512, cinza, 5, 128);
    EXPECT_EQ(pretos(limiar), 64 * 64);
    EXPECT_GT(pretos(pontilhado), 64 * 64 / 2);
    EXPECT_LT(pretos(pontilhado), 64 * 64 * 3 / 4);
}

TEST(Conversao, PontilhamentoDeCinzaPlano) {
    struct Caso {
        uint8_t cinza;
        int limiar;
        double minimo, maximo;  // fraction of black dots
    } casos[] = {
        {0, 128, 1.0, 1.0},    {255, 128, 0.0, 0.0},   {128, 128, 0.47, 0.53},
        {64, 128, 0.72, 0.78}, {192, 128, 0.22, 0.28}, {255, 256, 1.0, 1.0},  // level 256 darkens all
        {128, 64, 0.22, 0.28},  // (256 - 64) / 128 = 1.5: 128 looks like 192
        {128, 0, 0.0, 0.08},    // at least 15: 128 x 1.88 is nearly white
    };
    for (const auto& c : casos) {
        Raster r = converterParaImpressora(512, plano(64, 64, c.cinza), 0, c.limiar);
        double fracao = pretos(r) / (64.0 * 64.0);
        EXPECT_GE(fracao, c.minimo) << int(c.cinza) << " " << c.limiar;
        EXPECT_LE(fracao, c.maximo) << int(c.cinza) << " " << c.limiar;
    }
    // Grey 128 at level 128 dithers into an even checkerboard.
    Raster r = converterParaImpressora(512, plano(8, 4, 128), 0, 128);
    EXPECT_EQ(paraHex(r.bytes), "55 AA 55 AA");
}

TEST(Conversao, AjusteALarguraERecorte) {
    Bitmap largo = plano(1024, 4, 255);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 512; ++x)
            for (int k = 0; k < 3; ++k) largo.pixels[(static_cast<size_t>(y) * 1024 + x) * 4 + k] = 0;
    Raster ajustado = converterParaImpressora(512, largo, 4 | 2, 128);
    EXPECT_EQ(ajustado.largura, 512);
    EXPECT_EQ(ajustado.altura, 2);
    EXPECT_EQ(pretos(ajustado), 256 * 2);
    EXPECT_TRUE(ajustado.ponto(255, 1));
    EXPECT_FALSE(ajustado.ponto(256, 1));
    Raster recortado = converterParaImpressora(512, largo, 4, 128);
    EXPECT_EQ(recortado.largura, 512);
    EXPECT_EQ(recortado.altura, 4);
    EXPECT_EQ(pretos(recortado), 512 * 4);
    // Flag 2 also enlarges a narrow picture to the full width.
    Raster ampliado = converterParaImpressora(512, desenho({"#."}), 4 | 2, 128);
    EXPECT_EQ(ampliado.largura, 512);
    EXPECT_EQ(ampliado.altura, 256);
    EXPECT_TRUE(ampliado.ponto(255, 255));
    EXPECT_FALSE(ampliado.ponto(256, 0));
}

TEST(Conversao, AlturaNegativaEUmBit) {
    Bitmap b = desenho({"#.", ".#"}, 1);
    b.altura = -2;
    Raster r = converterParaImpressora(512, b, 0, 128);
    EXPECT_EQ(r.altura, 2);
    EXPECT_EQ(paraHex(r.bytes), "80 40");
}

TEST(Conversao, EntradaInvalidaDaRasterVazio) {
    Bitmap curto = plano(10, 10, 0);
    curto.pixels.resize(10);
    EXPECT_TRUE(converterParaImpressora(512, curto, 4, 128).vazio());
    Bitmap zero;
    EXPECT_TRUE(converterParaImpressora(512, zero, 4, 128).vazio());
    Bitmap enorme;
    enorme.largura = 1 << 20;
    enorme.altura = 1 << 20;
    EXPECT_TRUE(converterParaImpressora(512, enorme, 4, 128).vazio());
}

TEST(Conversao, ImprimirBitmapPeloDriver) {
    teste::EncoderGravador d;
    EXPECT_TRUE(d.imprimirBitmap(desenho({"#......#"}), 4, 2, 128));
    EXPECT_EQ(paraHex(d.bytes), "1D 4C F8 01 1D 76 30 00 01 00 01 00 81 1D 4C 00 00");
    d.limpar();
    EXPECT_TRUE(d.definirImagemNVDeBitmapPadrao(2, desenho({"#.", ".#"}), 4));
    // column format, 2 columns of 8 rows: NV image 8 x 8 dots
    EXPECT_EQ(paraHex(d.bytes), "1C 71 02 01 00 01 00 80 40 00 00 00 00 00 00");
}

TEST(Conversao, AjusteALarguraExato) {
    struct Caso {
        std::vector<std::string> linhas;
        int largura, altura;
        const char* bytes;
    } casos[] = {
        // 4 -> 16 dots: each pixel becomes 4 dots, 1 row becomes 4
        {{"#..#"}, 16, 4, "F0 0F F0 0F F0 0F F0 0F"},
        // 32 -> 16 dots: every other column, height 2 x 16 / 32 = 1, the first row picked
        {{std::string(16, '#') + std::string(16, '.'), repetirPar(16)}, 16, 1, "FF 00"},
        // already 16 wide: unchanged
        {{"#...............", "...............#"}, 16, 2, "80 00 00 01"},
    };
    for (const auto& c : casos) {
        Raster r = converterParaImpressora(16, desenho(c.linhas), 4 | 2, 128);
        EXPECT_EQ(r.largura, c.largura) << c.bytes;
        EXPECT_EQ(r.altura, c.altura) << c.bytes;
        EXPECT_EQ(paraHex(r.bytes), c.bytes);
    }
}
