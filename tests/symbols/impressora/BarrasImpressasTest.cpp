// Linear barcodes printed through the virtual printer: every symbology is captured as a BMP and read
// back by zbar and zxing-cpp, and the drawing itself (margins, HRI text, guards, module width,
// refusals) is checked on the captured dots.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SimbolosImpressos.h"
#include "symbols/LinearBarcode.h"

using namespace Ordal::Symbols;
using impressos::Bancada;
using impressos::Imagem;
using impressos::Impressora;

namespace {

const std::string kChave = "35150861099008000141599000026310001009906960";

std::string valores(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }
std::string chaveC(const std::string& d) { return valores(*valoresCode128ConjuntoC(d)); }
std::string texto128(const std::string& s) { return valores(*valoresCode128Texto(s)); }

struct Simbolo {
    int tipo;
    std::string dados;     // bytes of the barcode command
    std::string esperado;  // what a reader returns
    int modulo = 2;
    int hri = 2;
    int fonte = 0;
    int alinhamento = 1;
    int altura = 60;
    int modoBarras = 0;  // engine's on/off byte: 15-module Code 39 characters
};

struct Lote {
    const char* nome;
    std::vector<Simbolo> simbolos;
    bool zbar = true;
    std::string zxing;         // formats for zxing-cpp; empty = not asked
    bool code39Total = false;  // readers return full-ASCII Code 39 unexpanded
    bool codabar = false;      // zxing-cpp leaves out the start/stop characters
};

void PrintTo(const Lote& l, std::ostream* os) { *os << l.nome; }

void imprimir(Bancada& b, Impressora& vp, const Simbolo& s) {
    vp.larguraCodigoBarras(s.modulo);
    vp.alturaCodigoBarras(s.altura);
    vp.selecionarPosicaoHRI(s.hri);
    vp.selecionarFonteHRI(s.fonte);
    vp.selecionarAlinhamento(s.alinhamento);
    b.motor().selecionarModoBarras(s.modoBarras);
    vp.imprimirCodigoBarras(s.tipo, reinterpret_cast<const uint8_t*>(s.dados.data()), static_cast<int>(s.dados.size()));
    vp.avancarPapel(30);
}

class Impressos : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bancada_ = new Bancada; }
    static void TearDownTestSuite() {
        delete bancada_;
        bancada_ = nullptr;
    }
    static Bancada* bancada_;
};
Bancada* Impressos::bancada_ = nullptr;

class LoteLido : public Impressos, public ::testing::WithParamInterface<Lote> {};

std::vector<std::string> ordenado(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST_P(LoteLido, DecodificadoresLeemOQueFoiCodificado) {
    const Lote& lote = GetParam();
    const bool zbar = lote.zbar && impressos::temZbar();
    const bool zxing = !lote.zxing.empty() && impressos::temZXing();
    if (!zbar && !zxing) GTEST_SKIP() << "zbarimg and ZXingReader are not installed";
    const std::string bmp = bancada_->capturar(lote.nome, [&](Impressora& vp) {
        for (const Simbolo& s : lote.simbolos) imprimir(*bancada_, vp, s);
    });
    std::vector<std::string> esperados;
    for (const Simbolo& s : lote.simbolos) esperados.push_back(s.esperado);
    auto ajustar = [&](std::vector<std::string> lidos) {
        if (lote.code39Total)
            for (auto& l : lidos) l = impressos::expandirCode39(l);
        return ordenado(lidos);
    };
    if (zbar) {
        EXPECT_EQ(ajustar(impressos::lerZbar(bmp)), ordenado(esperados)) << "zbar";
    }
    if (zxing) {
        // zxing-cpp stumbles over several linear symbols in one image: one capture per symbol.
        for (size_t i = 0; i < lote.simbolos.size(); ++i) {
            const Simbolo& s = lote.simbolos[i];
            const std::string um = bancada_->capturar(std::string(lote.nome) + "_" + std::to_string(i),
                                                      [&](Impressora& vp) { imprimir(*bancada_, vp, s); });
            std::string esperado = s.esperado;
            if (lote.codabar) esperado = esperado.substr(1, esperado.size() - 2);
            EXPECT_EQ(ajustar(impressos::lerZXing(um, lote.zxing)), std::vector<std::string>{esperado})
                << "zxing, simbolo " << i;
        }
    }
}

const char* kUPCEAN = "UPC-A,UPC-E,EAN-13,EAN-8";

INSTANTIATE_TEST_SUITE_P(
    Simbologias, LoteLido,
    ::testing::Values(
        Lote{"UPC_EAN",
             {{UPC_A, "03600029145", "036000291452"},
              {UPC_A, "725272730706", "725272730706", 3, 3, 1, 0},
              {UPC_E, "0425261", "04252614", 2, 1},
              {UPC_E, "0123456", "01234565", 3, 0, 0, 2},
              {UPC_E, "06543217", "06543217", 1, 2, 1},
              {EAN_13, "789100031550", "7891000315507"},
              {EAN_13, "4006381333931", "4006381333931", 1, 3, 1, 2},
              {EAN_8, "9638507", "96385074", 3},
              {EAN_8, "55123457", "55123457", 2, 0}},
             true,
             kUPCEAN},
        // The UPC-E check digit comes from the UPC-A number (zbar reads no number system 1).
        Lote{"UPCE_sistema_1",
             {{UPC_E, "1654321", "16543214"}, {UPC_E, "1234567", "12345670", 3, 3}, {UPC_E, "1000005", "10000052"}},
             false,
             kUPCEAN},
        Lote{"Code39",
             {{CODE39, "RX457 CUPOM-1", "RX457 CUPOM-1"},
              {CODE39, "ABC-123", "ABC-123", 3, 0, 0, 0},
              {CODE39, "$ /+%.-", "$ /+%.-", 2, 3, 1, 2},
              {CODE39, "R$A/B", "R$A/B", 1, 1},
              {CODE39, "Z9", "Z9", 2, 2, 0, 1, 60, 1}},
             true,
             "Code39"},
        Lote{"Code39_ascii_total",
             {{CODE39, "Cupom 12", "Cupom 12"},
              {CODE39, "a$b/c+d%", "a$b/c+d%", 2, 0},
              {CODE39, "r$A1", "r$A1", 1, 3},
              {CODE39, std::string("\x01\x1b@`*\x7f~", 7), std::string("\x01\x1b@`*\x7f~", 7), 2, 2, 1, 1, 60, 1}},
             true,
             "Code39",
             true},
        Lote{"ITF",
             {{ITF, "0123456789", "0123456789"},
              {ITF, kChave, kChave},
              {ITF, "123456", "123456", 3, 3, 1, 2},
              {ITF, "98765432109876", "98765432109876", 1, 0}},
             true,
             "ITF"},
        Lote{"Codabar",
             {{CODABAR, "A0123456789B", "A0123456789B"},
              {CODABAR, "C-$:/.+D", "C-$:/.+D", 1, 3},
              {CODABAR, "40156", "A40156A", 3, 0, 1, 2},
              {CODABAR, "d3141b", "D3141B"}},
             true,
             "Codabar",
             false,
             true},
        Lote{"Code93",
             {{CODE93, "CODE 93", "CODE 93"},
              {CODE93, "Cupom n.o 12, total R$ 9,99!", "Cupom n.o 12, total R$ 9,99!", 1, 3},
              {CODE93, "abc", "abc", 3, 0, 1, 0},
              {CODE93, "X-1/2+3%$.", "X-1/2+3%$.", 2, 1}},
             true,
             "Code93"},
        Lote{"Code128",
             // The key at module width 2 is 576 dots: the renderer narrows it to fit 512.
             {{CODE128, chaveC(kChave), kChave},
              {CODE128, chaveC(kChave.substr(0, 22)), kChave.substr(0, 22), 2, 0},
              {CODE128, chaveC("1234567"), "1234567", 3, 3, 1, 2},
              {CODE128, texto128("PEDIDO-2024/0001-ABC"), "PEDIDO-2024/0001-ABC", 1, 1},
              {CODE128, "\x67\x21\x62\x41\x22", "AaB"},
              {CODE128, texto128("RX457-00012345"), "RX457-00012345", 2, 2, 1, 0}},
             true,
             "Code128"},
        Lote{"Code128_controles",
             {{CODE128, "\x68\x41\x62\x49\x42", "a\tb"},
              {CODE128, "\x68\x41\x42\x63\x0C\x22\x65\x4D\x64\x5A", "ab1234\rz"},
              {CODE128, texto128("ab\tcd\r\nEF123456"), "ab\tcd\r\nEF123456", 2, 3}},
             true,
             "Code128"}),
    [](const auto& info) { return std::string(info.param.nome); });

// ---------------------------------------------------------------------------------------------
// The drawing itself

struct Desenho {
    Imagem img;
    int linhas;  // rows of the capture
};

Desenho desenhar(Bancada& b, const std::string& nome, const Simbolo& s) {
    const std::string bmp = b.capturar(nome, [&](Impressora& vp) {
        vp.larguraCodigoBarras(s.modulo);
        vp.alturaCodigoBarras(s.altura);
        vp.selecionarPosicaoHRI(s.hri);
        vp.selecionarFonteHRI(s.fonte);
        vp.selecionarAlinhamento(s.alinhamento);
        vp.imprimirCodigoBarras(s.tipo, reinterpret_cast<const uint8_t*>(s.dados.data()),
                                static_cast<int>(s.dados.size()));
    });
    Desenho d{impressos::lerCaptura(bmp), 0};
    d.linhas = d.img.altura;
    return d;
}

TEST_F(Impressos, DadosQueNaoSeCodificamNaoDesenhamNada) {
    const Simbolo recusados[] = {
        {UPC_A, "0123456789", ""}, {UPC_A, "01234a67890", ""}, {UPC_A, "0123456789012", ""},
        {UPC_E, "2123456", ""},    {UPC_E, "123456", ""},      {EAN_13, "12345678901", ""},
        {EAN_8, "1234-67", ""},    {CODE39, "AB\x80", ""},     {CODE39, std::string(199, 'A'), ""},
        {ITF, "12345", ""},        {ITF, "12a4", ""},          {CODABAR, "12X", ""},
        {CODABAR, "A123", ""},     {CODE93, "\xE9", ""},       {CODE128, "\x01\x02", ""},
        {CODE128, "\x68\x6A", ""}, {CODE128, "\x68", ""},
    };
    int i = 0;
    for (const Simbolo& s : recusados) {
        const Desenho d = desenhar(*bancada_, "recusado" + std::to_string(i++), s);
        EXPECT_EQ(d.linhas, 0) << s.tipo << " '" << s.dados << "'";
    }
}

// Code 39 "A1" is 4 characters (with start and stop) of 13 modules less the last gap: 51 modules.
TEST_F(Impressos, TextoLegivelAcimaAbaixoOuNosDoisLados) {
    const int f0 = Ordal::Printer::descritorFonte(0).altura, f1 = Ordal::Printer::descritorFonte(1).altura;
    struct {
        int hri, fonte;
        int texto;  // cell height of the HRI font
    } casos[] = {{0, 0, f0}, {1, 0, f0}, {2, 0, f0}, {3, 0, f0}, {1, 1, f1}, {2, 1, f1}, {3, 1, f1}};
    for (const auto& c : casos) {
        const Desenho d = desenhar(*bancada_, "hri", {CODE39, "A1", "", 2, c.hri, c.fonte, 1, 50});
        const bool acima = c.hri & 1, abaixo = c.hri & 2;
        const int yBarras = acima ? c.texto + 2 : 0;
        const int esperado = yBarras + 50 + (abaixo ? 2 + c.texto : 0);
        ASSERT_EQ(d.linhas, esperado) << "hri " << c.hri << " fonte " << c.fonte;
        // The bars: every row of the bar area is the same, 51 modules of 2 dots, centred.
        const int x0 = d.img.primeiraColuna(yBarras, yBarras + 1);
        const int x1 = d.img.ultimaColuna(yBarras, yBarras + 1);
        EXPECT_EQ(x1 - x0 + 1, 102);
        EXPECT_NEAR(x0, (512 - 102) / 2, 1);
        for (int y = yBarras; y < yBarras + 50; ++y)
            for (int x = x0; x <= x1; ++x) ASSERT_EQ(d.img.ponto(x, y), d.img.ponto(x, yBarras)) << y;
        // Text bands: ink inside the symbol's width, nothing in the gaps next to the bars.
        auto banda = [&](int y0, int y1, bool tinta) {
            bool algum = false;
            for (int y = y0; y < y1; ++y) algum = algum || d.img.linhaComTinta(y);
            EXPECT_EQ(algum, tinta) << "hri " << c.hri << " rows " << y0 << ".." << y1;
            if (algum) {
                EXPECT_GE(d.img.primeiraColuna(y0, y1), x0);
                EXPECT_LE(d.img.ultimaColuna(y0, y1), x1);
            }
        };
        if (acima) {
            banda(0, c.texto, true);
            banda(c.texto, yBarras, false);
        }
        if (abaixo) {
            banda(yBarras + 50, yBarras + 52, false);
            banda(yBarras + 52, d.linhas, true);
        }
    }
}

TEST_F(Impressos, GuardasUPCDescemAoLadoDosDigitos) {
    // UPC-A 036000291452 at module width 2, text below in font 0, centred.
    const int texto = Ordal::Printer::descritorFonte(0).altura;
    const Desenho d = desenhar(*bancada_, "upca", {UPC_A, "03600029145", "", 2, 2, 0, 1, 50});
    ASSERT_EQ(d.linhas, 50 + 2 + texto);
    const int x0 = d.img.primeiraColuna(0, 1);  // first guard bar
    const int x1 = d.img.ultimaColuna(0, 1);
    ASSERT_EQ(x1 - x0 + 1, 95 * 2);
    // Guard bars (modules 0, 2, 46, 48, 92, 94) go on into the digit band; data bars stop.
    for (int m : {0, 2, 46, 48, 92, 94}) EXPECT_TRUE(d.img.ponto(x0 + 2 * m, 50 + 6)) << m;
    // Module 14 is a bar of the second digit: it ends with the bars, above the gap to the digits.
    EXPECT_TRUE(d.img.ponto(x0 + 2 * 14, 49));
    for (int y = 50; y < 52; ++y) EXPECT_FALSE(d.img.ponto(x0 + 2 * 14, y)) << y;
    // The number system digit stands left of the bars, the check digit right of them.
    EXPECT_LT(d.img.primeiraColuna(52, d.linhas), x0);
    EXPECT_GT(d.img.ultimaColuna(52, d.linhas), x1);
    // Without text the guards still reach 5 modules below the bars.
    const Desenho s = desenhar(*bancada_, "upca_sem", {UPC_A, "03600029145", "", 2, 0, 0, 1, 50});
    EXPECT_EQ(s.linhas, 50 + 10);
    EXPECT_EQ(s.img.primeiraColuna(50, s.linhas), s.img.primeiraColuna(0, 1));
}

TEST_F(Impressos, AlinhamentoLarguraDeModuloEAlturaDasBarras) {
    // Code 128 start B "1": 3 symbols of 11 modules and the 13-module stop = 46 modules.
    for (int modulo = 1; modulo <= 6; ++modulo) {
        for (int alinhamento = 0; alinhamento <= 2; ++alinhamento) {
            const int altura = 20 + 10 * modulo;
            const Desenho d =
                desenhar(*bancada_, "forma", {CODE128, "\x68\x11", "", modulo, 0, 0, alinhamento, altura});
            ASSERT_EQ(d.linhas, altura) << modulo;
            const int x0 = d.img.primeiraColuna(0, altura);
            const int x1 = d.img.ultimaColuna(0, altura);
            EXPECT_EQ(x1 - x0 + 1, 46 * modulo) << modulo;
            const int zona = 10 * modulo;
            if (alinhamento == 0) {
                EXPECT_EQ(x0, zona);
            }
            if (alinhamento == 1) {
                EXPECT_NEAR(x0 - zona, 512 - (x1 + 1 + zona), 1);
            }
            if (alinhamento == 2) {
                EXPECT_EQ(x1 + 1, 512 - zona);
            }
            for (int y = 0; y < altura; ++y) ASSERT_TRUE(d.img.ponto(x0, y));
        }
    }
}

TEST_F(Impressos, SimboloLargoDemaisUsaModuloMenorOuNaoEDesenhado) {
    // The 44-digit key: start, 22 values and check of 11 modules and the 13-module stop, 277 modules. Module width 2 does not fit 512 dots, 1 does.
    const Desenho d = desenhar(*bancada_, "chave", {CODE128, chaveC(kChave), "", 2, 0, 0, 1, 40});
    ASSERT_EQ(d.linhas, 40);
    EXPECT_EQ(d.img.ultimaColuna(0, 40) - d.img.primeiraColuna(0, 40) + 1, 277);
    // 60 Code 128 values (695 modules) fit no module width on 512 dots: nothing at all.
    const Desenho largo = desenhar(*bancada_, "largo", {CODE128, "\x68" + std::string(60, '\x21'), "", 1, 2, 0, 1, 40});
    EXPECT_EQ(largo.linhas, 0);
}

TEST_F(Impressos, CodigoDeBarrasComecaEmLinhaPropria) {
    // Pending text is printed first, above the bars, and the bars never share its rows.
    const std::string bmp = bancada_->capturar("texto_antes", [](Impressora& vp) {
        vp.imprimirTexto("Texto");
        vp.larguraCodigoBarras(2);
        vp.alturaCodigoBarras(30);
        vp.selecionarPosicaoHRI(0);
        vp.imprimirCodigoBarras(CODE39, reinterpret_cast<const uint8_t*>("A"), 1);
    });
    const Imagem img = impressos::lerCaptura(bmp);
    ASSERT_GT(img.altura, 30);
    const int topoBarras = img.altura - 30;
    for (int y = topoBarras; y < img.altura; ++y) EXPECT_EQ(img.primeiraColuna(y, y + 1), 20) << y;
    bool texto = false;
    for (int y = 0; y < topoBarras; ++y) texto = texto || img.linhaComTinta(y);
    EXPECT_TRUE(texto);
}

}  // namespace
