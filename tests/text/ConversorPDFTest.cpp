// PDF pages through the external converter, started without a shell.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestSupport.h"
#include "text/ConversorPDF.h"
#include "text/Imagem.h"

namespace {

using ORDAL_VEX::converterPDF;
using ORDAL_VEX::separarPaginas;

std::string bmpDeTamanho(uint32_t tamanho, char preenchimento) {
    std::string s = "BM";
    for (int i = 0; i < 4; ++i) s.push_back(char((tamanho >> (8 * i)) & 0xFF));
    s.resize(tamanho, preenchimento);
    return s;
}

TEST(SepararPaginas, SkipsBannerAndFontLinesAndHonoursTheDeclaredSize) {
    const std::string p1 = bmpDeTamanho(40, 'a'), p2 = bmpDeTamanho(30, 'b');
    const std::string saida = "GPL banner\nProcessing pages 1 through 2.\nPage 1\nLoading font X from /y\n" + p1 +
                              "Page 2\n" + p2 + "trailing warning\n";
    const auto paginas = separarPaginas(saida);
    ASSERT_EQ(paginas.size(), 2u);
    EXPECT_EQ(paginas[0], p1);
    EXPECT_EQ(paginas[1], p2);
}

TEST(SepararPaginas, OutputWithoutMarkersHasNoPages) {
    EXPECT_TRUE(separarPaginas("").empty());
    EXPECT_TRUE(separarPaginas("Error: /undefined in foo\n").empty());
}

TEST(SepararPaginas, ADeclaredSizeBeyondTheDataIsBoundedByTheNextMarker) {
    const std::string mentiroso = bmpDeTamanho(20, 'c');
    std::string grande = mentiroso;
    grande[2] = char(0xFF), grande[3] = char(0xFF), grande[4] = char(0xFF);  // claims ~16 MB
    const auto paginas = separarPaginas("Page 1\n" + grande + "Page 2\n" + mentiroso);
    ASSERT_EQ(paginas.size(), 2u);
    EXPECT_EQ(paginas[0].size(), grande.size());
    EXPECT_EQ(paginas[1], mentiroso);
}

TEST(SepararPaginas, APageWithoutPictureStaysInItsPlace) {
    const std::string p2 = bmpDeTamanho(16, 'd');
    const auto paginas = separarPaginas("Page 1\nwarning only\nPage 2\n" + p2);
    ASSERT_EQ(paginas.size(), 2u);
    EXPECT_TRUE(paginas[0].empty());
    EXPECT_EQ(paginas[1], p2);
}

class ConversorReal : public ::testing::Test {
protected:
    void SetUp() override {
        if (!rx457test::commandAvailable("gs")) GTEST_SKIP() << "ghostscript (gs) is not installed";
    }
    // A PDF of `paginas` pages with the page number printed near the top.
    std::string criarPDF(const std::string& nome, int paginas) {
        const std::string ps = dir_.file("fonte.ps");
        rx457test::writeFile(ps, "%!PS\n/Helvetica findfont 40 scalefont setfont\n1 1 " + std::to_string(paginas) +
                                     " { /n exch def 72 720 moveto n 3 string cvs show showpage } for\n");
        const std::string pdf = dir_.file(nome);
        int codigo = -1;
        rx457test::runCommand("gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile='" + pdf + "' '" + ps + "' 2>&1",
                              &codigo);
        EXPECT_EQ(codigo, 0);
        return pdf;
    }
    rx457test::TempDir dir_;
};

TEST_F(ConversorReal, ThreePagesComeBackInOrderAsBitmaps) {
    const auto r = converterPDF(criarPDF("tres.pdf", 3), 180);
    EXPECT_EQ(r.codigo, 0);
    ASSERT_EQ(r.paginas.size(), 3u);
    for (const std::string& p : r.paginas) {
        ORDAL_VEX::Imagem im;
        ASSERT_TRUE(im.carregarBMP(reinterpret_cast<const uint8_t*>(p.data()), p.size()));
        EXPECT_EQ(im.bitsPorPixel(), 1);
        EXPECT_GT(im.largura(), 1400);  // a full page at 180 dpi
        EXPECT_GT(im.altura(), 1900);
    }
}

TEST_F(ConversorReal, ConverterThatFailsWithoutPagesIsAFailure) {
    rx457test::writeFile(dir_.file("falso.pdf"), "isto nao e um PDF\n");
    const auto r = converterPDF(dir_.file("falso.pdf"), 180);
    EXPECT_EQ(r.codigo, 13);
    EXPECT_TRUE(r.paginas.empty());
}

// Refused with 8 although the program does not exist: the file is checked before anything starts.
TEST(Conversor, WhatIsNoReadableFileIsRefusedBeforeTheConverterStarts) {
    rx457test::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("pasta.pdf").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(dir.file("fila.pdf").c_str(), 0644), 0);
    for (const char* nome : {"nao-existe.pdf", "pasta.pdf", "fila.pdf"})
        EXPECT_EQ(converterPDF(dir.file(nome), 180, "programa-que-nao-existe-rx457").codigo, 8) << nome;
}

// A converter that never stops writing is cut off instead of filling the host's memory.
TEST(Conversor, EndlessOutputIsAFailure) {
    if (!rx457test::commandAvailable("yes")) GTEST_SKIP() << "yes is not installed";
    rx457test::TempDir dir;
    rx457test::writeFile(dir.file("a.pdf"), "%PDF-1.4\n");
    rx457test::writeFile(dir.file("inundar"), "#!/bin/sh\nexec yes 'Page 1'\n");
    ASSERT_EQ(::chmod(dir.file("inundar").c_str(), 0755), 0);
    const auto r = converterPDF(dir.file("a.pdf"), 180, dir.file("inundar"));
    EXPECT_EQ(r.codigo, 13);
    EXPECT_TRUE(r.paginas.empty());
}

TEST(Conversor, MissingProgramIsAFailure) {
    rx457test::TempDir dir;
    rx457test::writeFile(dir.file("a.pdf"), "%PDF-1.4\n");
    EXPECT_EQ(converterPDF(dir.file("a.pdf"), 180, "programa-que-nao-existe-rx457").codigo, 13);
}

}  // namespace
