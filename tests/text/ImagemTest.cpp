// BMP decoding: every depth and layout a shop's logo may come in, and files that lie about themselves.
#include <gtest/gtest.h>

#include "BMPTeste.h"
#include "TestSupport.h"
#include "text/Imagem.h"

namespace {

using ORDAL_VEX::Imagem;
using rx457test::BMPTeste;

uint32_t rgb(const Imagem& im, int x, int y) {
    const uint8_t* p = im.bitmap().pixels.data() + (size_t(y) * im.largura() + x) * 4;
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

bool decodifica(const std::string& bytes, Imagem& im) {
    return im.carregarBMP(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// A 3x2 picture: top row red, green, blue; bottom row white, black, grey.
const uint32_t kCores[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};

struct CasoProfundidade {
    const char* nome;
    uint16_t bpp;
    bool deCimaParaBaixo;
    uint32_t compressao;
    uint32_t cabecalho;
};

class Profundidades : public ::testing::TestWithParam<CasoProfundidade> {};

TEST_P(Profundidades, DecodesEveryPixelInPlace) {
    const CasoProfundidade& c = GetParam();
    BMPTeste b;
    b.largura = 3;
    b.altura = c.deCimaParaBaixo ? -2 : 2;
    b.bpp = c.bpp;
    b.compressao = c.compressao;
    b.tamanhoCabecalho = c.cabecalho;
    std::vector<uint32_t> esperado(kCores, kCores + 6);
    if (c.bpp <= 8) {
        b.paleta.assign(kCores, kCores + 6);
        if (c.bpp == 1) {  // two colours only: black and white
            b.paleta = {0xFFFFFF, 0x000000};
            esperado = {0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000};
            b.pixels = {0, 1, 0, 1, 0, 1};
        } else {
            b.pixels = {0, 1, 2, 3, 4, 5};
        }
    } else if (c.bpp == 16) {
        b.mascaras = {0xF800, 0x07E0, 0x001F};  // 5-6-5 when given as bit fields
        auto para16 = [&](uint32_t v) -> uint32_t {
            const uint32_t r = v >> 16, g = (v >> 8) & 0xFF, bl = v & 0xFF;
            return c.compressao == 3 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (bl >> 3)
                                     : ((r >> 3) << 10) | ((g >> 3) << 5) | (bl >> 3);
        };
        for (uint32_t v : kCores) b.pixels.push_back(para16(v));
        esperado = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, c.compressao == 3 ? 0x838183u : 0x838383u};
    } else {
        b.pixels.assign(kCores, kCores + 6);
        if (c.compressao == 3) {
            b.mascaras = {0x0000FF00, 0x00FF0000, 0xFF000000};  // unusual order: must follow the masks
            b.pixels.clear();
            for (uint32_t v : kCores) {
                const uint32_t r = v >> 16, g = (v >> 8) & 0xFF, bl = v & 0xFF;
                b.pixels.push_back((r << 8) | (g << 16) | (bl << 24));
            }
        }
    }
    Imagem im;
    ASSERT_TRUE(decodifica(b.bytes(), im));
    ASSERT_EQ(im.largura(), 3);
    ASSERT_EQ(im.altura(), 2);
    EXPECT_EQ(im.bitsPorPixel(), c.bpp);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(rgb(im, x, y), esperado[size_t(y) * 3 + x]) << "x=" << x << " y=" << y;
}

INSTANTIATE_TEST_SUITE_P(
    BMP, Profundidades,
    ::testing::Values(CasoProfundidade{"bpp1", 1, false, 0, 40}, CasoProfundidade{"bpp1_top_down", 1, true, 0, 40},
                      CasoProfundidade{"bpp4", 4, false, 0, 40}, CasoProfundidade{"bpp8", 8, false, 0, 40},
                      CasoProfundidade{"bpp8_v4_header", 8, true, 0, 108},
                      CasoProfundidade{"bpp16_555", 16, false, 0, 40},
                      CasoProfundidade{"bpp16_bitfields", 16, false, 3, 40},
                      CasoProfundidade{"bpp24", 24, false, 0, 40}, CasoProfundidade{"bpp24_top_down", 24, true, 0, 40},
                      CasoProfundidade{"bpp32", 32, false, 0, 40},
                      CasoProfundidade{"bpp32_bitfields", 32, false, 3, 40},
                      CasoProfundidade{"bpp32_bitfields_v5", 32, true, 3, 124}),
    [](const ::testing::TestParamInfo<CasoProfundidade>& i) { return std::string(i.param.nome); });

// The ghostscript page convention: 1 bit per pixel, palette index 0 white. Decoding must follow the
// palette, not assume that a set bit is black.
TEST(Imagem, OneBitPaletteDecidesWhichBitIsBlack) {
    BMPTeste b;
    b.largura = 2;
    b.altura = 1;
    b.bpp = 1;
    b.paleta = {0x000000, 0xFFFFFF};
    b.pixels = {1, 0};
    Imagem im;
    ASSERT_TRUE(decodifica(b.bytes(), im));
    EXPECT_EQ(rgb(im, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb(im, 1, 0), 0x000000u);
}

// Hostile or broken files: each is refused, and nothing is allocated beyond what the file justifies.
struct CasoInvalido {
    const char* nome;
    void (*estragar)(BMPTeste&, std::string&);
};

void putU32(std::string& s, size_t pos, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[pos + i] = char((v >> (8 * i)) & 0xFF);
}

class Invalidos : public ::testing::TestWithParam<CasoInvalido> {};

TEST_P(Invalidos, AreRefused) {
    BMPTeste b;
    b.largura = 4;
    b.altura = 4;
    b.bpp = 8;
    b.paleta = {0, 0xFFFFFF};
    b.pixels.assign(16, 1);
    std::string bytes = b.bytes();
    GetParam().estragar(b, bytes);
    Imagem im;
    EXPECT_FALSE(decodifica(bytes, im));
    EXPECT_TRUE(im.vazia());
}

INSTANTIATE_TEST_SUITE_P(
    BMP, Invalidos,
    ::testing::Values(
        CasoInvalido{"truncated_pixels", [](BMPTeste&, std::string& s) { s.resize(s.size() - 3); }},
        CasoInvalido{"truncated_header", [](BMPTeste&, std::string& s) { s.resize(30); }},
        CasoInvalido{"not_bm", [](BMPTeste&, std::string& s) { s[0] = 'X'; }},
        CasoInvalido{"huge_width", [](BMPTeste&, std::string& s) { putU32(s, 18, 0x7FFFFFFF); }},
        CasoInvalido{"huge_height", [](BMPTeste&, std::string& s) { putU32(s, 22, 0x00100000); }},
        CasoInvalido{"negative_width", [](BMPTeste&, std::string& s) { putU32(s, 18, uint32_t(-4)); }},
        CasoInvalido{"most_negative_height", [](BMPTeste&, std::string& s) { putU32(s, 22, 0x80000000u); }},
        CasoInvalido{"zero_height", [](BMPTeste&, std::string& s) { putU32(s, 22, 0); }},
        CasoInvalido{"zero_planes", [](BMPTeste&, std::string& s) { s[26] = 0; }},
        CasoInvalido{"palette_larger_than_file", [](BMPTeste&, std::string& s) { putU32(s, 46, 200); }},
        CasoInvalido{"palette_larger_than_depth", [](BMPTeste&, std::string& s) { putU32(s, 46, 257); }},
        CasoInvalido{"rle_compression", [](BMPTeste&, std::string& s) { putU32(s, 30, 1); }},
        CasoInvalido{"unknown_compression", [](BMPTeste&, std::string& s) { putU32(s, 30, 9); }},
        CasoInvalido{"odd_depth", [](BMPTeste&, std::string& s) { s[28] = 7; }},
        CasoInvalido{"pixel_offset_past_end", [](BMPTeste&, std::string& s) { putU32(s, 10, 0x7FFFFFF0); }},
        CasoInvalido{"header_size_past_end", [](BMPTeste&, std::string& s) { putU32(s, 14, 0x10000); }}),
    [](const ::testing::TestParamInfo<CasoInvalido>& i) { return std::string(i.param.nome); });

TEST(Imagem, IndexBeyondAShortPaletteDoesNotReadPastIt) {
    BMPTeste b;
    b.largura = 2;
    b.altura = 1;
    b.bpp = 8;
    b.paleta = {0x123456};
    b.pixels = {0, 200};
    Imagem im;
    ASSERT_TRUE(decodifica(b.bytes(), im));
    EXPECT_EQ(rgb(im, 1, 0), 0x123456u);
}

TEST(Imagem, FileOnDiskRemembersItsName) {
    rx457test::TempDir dir;
    BMPTeste b;
    b.largura = 1;
    b.altura = 1;
    b.pixels = {0xABCDEF};
    rx457test::writeFile(dir.file("logo.bmp"), b.bytes());
    Imagem im;
    ASSERT_TRUE(im.carregarBMP(dir.file("logo.bmp").c_str()));
    EXPECT_EQ(im.nome(), dir.file("logo.bmp"));
    EXPECT_EQ(rgb(im, 0, 0), 0xABCDEFu);
    EXPECT_FALSE(im.carregarBMP(dir.file("nao-existe.bmp").c_str()));
    EXPECT_FALSE(im.carregarBMP(nullptr));
}

// Files written by an independent program, as a customer's logo would be.
TEST(Imagem, ReadsFilesWrittenByImageMagick) {
    if (!rx457test::commandAvailable("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
    rx457test::TempDir dir;
    struct Formato {
        const char* opcoes;
        int bpp;
        bool comVermelho;
    } formatos[] = {{"-type truecolor BMP3:", 24, true},
                    {"-type palette BMP3:", 4, true},
                    {"-type palette -define bmp:format=bmp3 -colors 200 -depth 8 BMP3:", 0, true},
                    {"-type bilevel BMP3:", 1, false},
                    {"-type truecoloralpha BMP:", 32, true}};
    for (const Formato& f : formatos) {
        const std::string arquivo = dir.file("im.bmp");
        int codigo = -1;
        rx457test::runCommand(
            std::string("convert -size 4x2 xc:white -fill black -draw 'point 1,0' -draw 'point 3,1' ") +
                (f.comVermelho ? "-fill red -draw 'point 0,1' " : "") + f.opcoes + arquivo + " 2>&1",
            &codigo);
        ASSERT_EQ(codigo, 0) << f.opcoes;
        Imagem im;
        ASSERT_TRUE(im.carregarBMP(arquivo.c_str())) << f.opcoes;
        if (f.bpp) {
            EXPECT_EQ(im.bitsPorPixel(), f.bpp) << f.opcoes;
        }
        ASSERT_EQ(im.largura(), 4);
        ASSERT_EQ(im.altura(), 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x) {
                const bool preto = (x == 1 && y == 0) || (x == 3 && y == 1);
                const bool vermelho = f.comVermelho && x == 0 && y == 1;
                EXPECT_EQ(rgb(im, x, y), preto      ? 0u
                                         : vermelho ? 0xFF0000u
                                                    : 0xFFFFFFu)
                    << f.opcoes << " x=" << x << " y=" << y;
            }
    }
}

}  // namespace
