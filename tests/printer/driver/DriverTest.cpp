#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "Gravadores.h"
#include "TestSupport.h"

using Ordal::Printer::PalavraStatus;
using Ordal::Printer::Raster;
using teste::hex;
using teste::paraHex;

namespace {

// An encoder that renders QR codes itself, as a printer without the QR command needs.
class QRPorRaster : public teste::EncoderGravador {
public:
    void qrSelecionarModelo(int m) override { Driver::qrSelecionarModelo(m); }
    void qrTamanhoModulo(unsigned n) override { Driver::qrTamanhoModulo(n); }
    void qrNivelCorrecao(int n) override { Driver::qrNivelCorrecao(n); }
    bool qrImprimir() override { return Driver::qrImprimir(); }
    void qrArmazenarDados(std::string_view t) override { Driver::qrArmazenarDados(t); }
};

// Pulls the first GS v 0 raster out of a byte stream.
Raster extrairRaster(const std::string& s) {
    Raster r;
    size_t p = s.find(hex("1D 76 30"));
    if (p == std::string::npos || p + 8 > s.size()) return r;
    auto b = [&](size_t i) { return static_cast<uint8_t>(s[p + i]); };
    int x = b(4) | b(5) << 8, y = b(6) | b(7) << 8;
    r.largura = 8 * x;
    r.altura = y;
    r.bytes = s.substr(p + 8, static_cast<size_t>(x) * y);
    return r;
}

// Writes a raster as a plain PBM with a white border, for barcode readers.
void escreverPBM(const Raster& r, const std::string& caminho, int borda) {
    std::ofstream f(caminho);
    f << "P1\n" << r.largura + 2 * borda << " " << r.altura + 2 * borda << "\n";
    for (int y = -borda; y < r.altura + borda; ++y) {
        for (int x = -borda; x < r.largura + borda; ++x) f << (r.ponto(x, y) ? "1 " : "0 ");
        f << "\n";
    }
}

}  // namespace

TEST(Status, PalavraDasRespostas) {
    struct Caso {
        std::array<uint8_t, 4> r;
        PalavraStatus palavra;
    } casos[] = {
        {{0, 0, 0, 0}, {0, 0, 0, 0}},
        {{0x04, 0, 0, 0}, {0x01, 0, 0, 0}},
        {{0x08, 0, 0, 0}, {0x02, 0, 0, 0}},
        {{0, 0x04, 0, 0}, {0x04, 0, 0, 0}},
        {{0, 0x08, 0, 0}, {0x08, 0, 0, 0}},
        {{0, 0x20, 0, 0}, {0, 0, 0x20, 0}},
        {{0, 0x40, 0, 0}, {0, 0, 0x40, 0}},
        {{0, 0, 0x08, 0}, {0x40, 0, 0, 0}},
        {{0, 0, 0x20, 0}, {0x80, 0, 0, 0}},
        {{0, 0, 0x40, 0}, {0, 0x01, 0, 0}},
        {{0, 0, 0, 0x04}, {0, 0x02, 0, 0}},
        {{0, 0, 0, 0x08}, {0, 0x02, 0, 0}},
        {{0, 0, 0, 0x0C}, {0, 0x02, 0, 0}},
        {{0, 0, 0, 0x20}, {0, 0x08, 0, 0}},
        {{0, 0, 0, 0x40}, {0, 0x08, 0, 0}},
        {{0x16, 0x12, 0x12, 0x12}, {0x01, 0, 0, 0}},  // a healthy printer with the drawer sensor high
        {{0xFF, 0xFF, 0xFF, 0xFF}, {0xCF, 0x0B, 0x60, 0}},
    };
    for (const auto& c : casos)
        EXPECT_EQ(Ordal::Printer::calcularPalavraStatus(c.r), c.palavra)
            << paraHex(std::string(c.r.begin(), c.r.end()));
}

TEST(Driver, MetricasDaFonteAtual) {
    teste::EncoderGravador d;
    struct Caso {
        int fonte, largura, altura, colunas, linhas;
    } casos[] = {
        {0, 0, 0, 12, 24},
        {0, 1, 0, 24, 24},
        {1, 0, 2, 9, 51},
        {9, 1, 1, 18, 34},
        {8, 0, 0, 12, 24},
        // no record for font 4 in the plain model: measured as font 0, never 0 wide
        {4, 0, 0, 12, 24},
        {12, 0, 0, 12, 24},
    };
    for (const auto& c : casos) {
        d.fonte = c.fonte;
        d.multLargura = c.largura;
        d.multAltura = c.altura;
        EXPECT_EQ(d.colunasEfetivas(), c.colunas) << c.fonte;
        EXPECT_EQ(d.linhasEfetivas(), c.linhas) << c.fonte;
    }
    d.fonte = 1;
    EXPECT_EQ(d.larguraFonte(), 9);
    EXPECT_EQ(d.alturaFonte(), 17);
}

TEST(Driver, ParametrosQRGuardadosSoQuandoValidos) {
    QRPorRaster d;
    d.qrTamanhoModulo(5);
    EXPECT_EQ(d.qrcode.tamanhoModulo, 5u);
    EXPECT_EQ(d.qrcode.margem, 20);
    d.qrTamanhoModulo(16);
    EXPECT_EQ(d.qrcode.tamanhoModulo, 5u);
    d.qrSelecionarModelo(0);
    d.qrSelecionarModelo(2);
    EXPECT_EQ(d.qrcode.modelo, 0);
    d.qrNivelCorrecao(3);
    d.qrNivelCorrecao(4);
    d.qrNivelCorrecao(-1);
    EXPECT_EQ(d.qrcode.nivelCorrecao, 3);
    EXPECT_TRUE(d.bytes.empty());
}

TEST(Driver, QRVazioNaoImprimeNemAvanca) {
    QRPorRaster d;
    Ordal::Printer::ParametrosQRCode p;
    EXPECT_FALSE(d.imprimirQRCode(p));
    EXPECT_EQ(d.bytes, "");
}

TEST(Driver, QRDesenhadoPeloDriverEhLegivel) {
    if (!rx457test::commandAvailable("zbarimg")) GTEST_SKIP() << "zbarimg is not installed";
    rx457test::TempDir dir;
    const std::string textos[] = {"A", "https://www.fazenda.sp.gov.br/nfce/qrcode?p=35200|2|1|1|ABCDEF",
                                  std::string(300, '7')};
    for (int nivel = 0; nivel < 4; ++nivel) {
        for (const auto& texto : textos) {
            QRPorRaster d;
            Ordal::Printer::ParametrosQRCode p;
            p.dados = texto;
            p.tamanhoModulo = 3;
            p.nivelCorrecao = nivel;
            ASSERT_TRUE(d.imprimirQRCode(p));
            // margin feed, raster, margin restore, margin feed
            ASSERT_EQ(d.bytes.substr(0, 3), hex("1B 4A 0C"));
            EXPECT_EQ(d.bytes.substr(d.bytes.size() - 7), hex("1D 4C 00 00 1B 4A 0C"));
            Raster r = extrairRaster(d.bytes);
            ASSERT_FALSE(r.vazio());
            EXPECT_EQ(r.altura % 3, 0);
            std::string pbm = dir.file("qr.pbm");
            escreverPBM(r, pbm, 12);
            int rc = 0;
            std::string lido = rx457test::runCommand("zbarimg --raw -q " + pbm, &rc);
            while (!lido.empty() && lido.back() == '\n') lido.pop_back();
            EXPECT_EQ(lido, texto) << "level " << nivel;
        }
    }
}

TEST(Driver, QRCentralizadoUsaAlinhamentoCorrente) {
    QRPorRaster d;
    d.selecionarAlinhamento(1);
    d.limpar();
    Ordal::Printer::ParametrosQRCode p;
    p.dados = "A";  // version 1: 21 modules
    p.tamanhoModulo = 2;
    ASSERT_TRUE(d.imprimirQRCode(p));
    // 42 dots wide raster centred on 512: margin (512 - 42) / 2 = 235
    EXPECT_NE(d.bytes.find(hex("1D 4C EB 00 1D 76 30 00 06 00 2A 00")), std::string::npos) << paraHex(d.bytes);
}

TEST(Driver, RasterVazioOuCurtoRecusado) {
    teste::EncoderGravador d;
    Raster vazio;
    EXPECT_FALSE(d.imprimirRaster(0, vazio, 0));
    Raster curto;
    curto.largura = 16;
    curto.altura = 4;
    curto.bytes = "abc";  // needs 8 bytes
    EXPECT_FALSE(d.imprimirRaster(0, curto, 0));
    EXPECT_FALSE(d.definirImagemNVRaster(0, curto));
    EXPECT_EQ(d.bytes, "");
    Raster ok;
    ok.largura = 9;
    ok.altura = 1;
    ok.bytes = "\xFF\x80";
    EXPECT_TRUE(d.imprimirRaster(0, ok, 0));
    EXPECT_EQ(paraHex(d.bytes), "1D 76 30 00 02 00 01 00 FF 80 1D 4C 00 00");
}

TEST(Driver, RedimensionarRasterVizinhoMaisProximo) {
    Raster r;
    r.largura = 2;
    r.altura = 2;
    r.bytes = "\x80\x40";  // diagonal
    Raster g = Ordal::Printer::redimensionarRaster(r, 4, 4);
    EXPECT_EQ(paraHex(g.bytes), "C0 C0 30 30");
    Raster m = Ordal::Printer::redimensionarRaster(r, 1, 1);
    EXPECT_EQ(paraHex(m.bytes), "80");
    EXPECT_TRUE(Ordal::Printer::redimensionarRaster(r, 0, 4).vazio());
}

TEST(Driver, PDF417ImpressoEhLegivel) {
    if (!rx457test::commandAvailable("ZXingReader") || !rx457test::commandAvailable("convert"))
        GTEST_SKIP() << "ZXingReader or ImageMagick's convert is not installed";
    rx457test::TempDir dir;
    struct Caso {
        std::string texto;
        int larguraModulo, alturaLinha;
    } casos[] = {
        {"35200812345678000190590000001230000012345", 2, 3},
        {"Consulte pela chave de acesso em www.fazenda.sp.gov.br", 3, 4},
        {std::string(400, 'z'), 2, 2},
    };
    for (const auto& c : casos) {
        teste::EncoderGravador d;
        Ordal::Printer::ParametrosCodigoPDF417 p{c.texto, 0, 0, c.larguraModulo, c.alturaLinha};
        ASSERT_TRUE(d.imprimirPDF417(p));
        const std::string avanco = hex("1B 4A") + static_cast<char>(c.larguraModulo * c.alturaLinha);
        EXPECT_EQ(d.bytes.substr(0, 3), avanco);
        EXPECT_EQ(d.bytes.substr(d.bytes.size() - 3), avanco);
        Raster r = extrairRaster(d.bytes);
        ASSERT_FALSE(r.vazio());
        // rows are repeated alturaLinha times and then scaled: whole multiples of both
        EXPECT_EQ(r.altura % (c.larguraModulo * c.alturaLinha), 0) << r.altura;
        escreverPBM(r, dir.file("p.pbm"), 4 * c.larguraModulo);
        int rc = 0;
        rx457test::runCommand("convert " + dir.file("p.pbm") + " " + dir.file("p.png"), &rc);
        ASSERT_EQ(rc, 0);
        std::string lido = rx457test::runCommand("ZXingReader -bytes -format PDF417 " + dir.file("p.png"), &rc);
        EXPECT_EQ(lido, c.texto);
    }
    teste::EncoderGravador d;
    EXPECT_FALSE(d.imprimirPDF417(Ordal::Printer::ParametrosCodigoPDF417{}));
    EXPECT_FALSE(d.imprimirPDF417(Ordal::Printer::ParametrosCodigoPDF417{std::string(5421, 'a'), 0, 0, 2, 3}));
    EXPECT_EQ(d.bytes, "");
}
