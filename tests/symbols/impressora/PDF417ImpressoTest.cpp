// PDF417 symbols printed through the driver operation of the virtual printer, captured and read
// back by zxing-cpp; the size of what is printed follows the module width and row height asked.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "SimbolosImpressos.h"
#include "symbols/PDF417.h"

using namespace Ordal::Symbols;
using impressos::Bancada;
using impressos::Impressora;

namespace {

class PDF417Impresso : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bancada_ = new Bancada; }
    static void TearDownTestSuite() {
        delete bancada_;
        bancada_ = nullptr;
    }
    static Bancada* bancada_;
};
Bancada* PDF417Impresso::bancada_ = nullptr;

// Shape the encoder gives the request (what the driver prints).
struct Forma {
    int colunasBits = 0, linhas = 0;
};
Forma forma(const Ordal::Printer::ParametrosCodigoPDF417& pedido) {
    ParametrosPDF417 p;
    iniciarPDF417(p);
    p.texto = pedido.dados.data();
    p.tamanhoTexto = static_cast<int>(pedido.dados.size());
    p.opcoes = pedido.opcoes;
    p.nivelErro = pedido.nivelErro;
    codificarPDF417(p);
    Forma f{p.erro == 0 ? p.colunasBits : 0, p.erro == 0 ? p.linhas : 0};
    liberarPDF417(p);
    return f;
}

// Receipt-like text of n characters: words, amounts and a long number.
std::string textoLongo(size_t n) {
    const std::string trecho = "Item 001 CAFE 1,000 UN x 4,50 = 4,50; chave 35150861099008000141599000026310001 ";
    std::string s;
    while (s.size() < n) s += trecho;
    return s.substr(0, n);
}

std::string binario(int n, unsigned semente) {
    std::mt19937 rng(semente);
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(rng() & 0xFF));
    return s;
}

TEST_F(PDF417Impresso, LidoComoCodificadoNoTamanhoPedido) {
    if (!impressos::temZXing()) GTEST_SKIP() << "ZXingReader is not installed";
    struct Caso {
        const char* nome;
        Ordal::Printer::ParametrosCodigoPDF417 pedido;
        int alinhamento;
        int moduloImpresso = 0;  // dots per module on paper when narrowed to fit; 0 = as asked
    } casos[] = {
        // What the markup tag asks for: automatic level and shape, module 2, rows of 3.
        {"padrao", {"CFe35150861099008000141599000026310001009906960", 0, 0, 2, 3}, 1},
        {"texto", {std::string(300, 'x') + " Total R$ 9,99; troco 0,00", 0, 0, 2, 3}, 0},
        {"digitos", {std::string(500, '7') + "0123456789", 0, 0, 1, 3}, 2},
        {"binario", {binario(400, 3), 0, 0, 1, 4}, 1},
        {"modulo_3_linhas_2", {"Modulo 3, linha 2", 0, 0, 3, 2}, 1},
        {"nivel_5_colunas_4", {"Nivel e colunas dados", 5, 0x12, 2, 3}, 1},
        // 1000 characters as the markup tag asks for them: too wide at module 2 for 512 dots.
        {"largo_1000", {textoLongo(1000), 0, 0, 2, 3}, 1, 1},
    };
    for (const Caso& c : casos) {
        const Forma f = forma(c.pedido);
        ASSERT_GT(f.linhas, 0) << c.nome;
        if (c.moduloImpresso) {
            ASSERT_GT(f.colunasBits * c.pedido.larguraModulo, 512) << c.nome;
        }
        bool ok = false;
        const std::string bmp = bancada_->capturar(c.nome, [&](Impressora& vp) {
            vp.selecionarAlinhamento(c.alinhamento);
            ok = vp.imprimirPDF417(c.pedido);
        });
        ASSERT_TRUE(ok) << c.nome;
        const impressos::Imagem img = impressos::lerCaptura(bmp);
        const int modulo = c.moduloImpresso ? c.moduloImpresso : c.pedido.larguraModulo;
        const int repete = c.pedido.alturaLinha;
        // A feed of module x row height before and after the symbol.
        EXPECT_EQ(img.altura, 2 * modulo * repete + f.linhas * repete * modulo) << c.nome;
        const int y0 = modulo * repete, y1 = img.altura - modulo * repete;
        const int x0 = img.primeiraColuna(y0, y1), x1 = img.ultimaColuna(y0, y1);
        EXPECT_EQ(x1 - x0 + 1, f.colunasBits * modulo) << c.nome;
        const int largura = f.colunasBits * modulo;
        if (c.alinhamento == 0) {
            EXPECT_EQ(x0, 0) << c.nome;
        }
        if (c.alinhamento == 1) {
            EXPECT_NEAR(x0, (512 - largura) / 2, 1) << c.nome;
        }
        if (c.alinhamento == 2) {
            EXPECT_EQ(x1, 511) << c.nome;
        }
        const auto lidos = impressos::lerZXing(bmp, "PDF417");
        ASSERT_EQ(lidos.size(), 1u) << c.nome;
        EXPECT_EQ(lidos[0], c.pedido.dados) << c.nome;
    }
}

TEST_F(PDF417Impresso, SimboloQueNaoCabeNaoImprimeNada) {
    const struct {
        const char* nome;
        Ordal::Printer::ParametrosCodigoPDF417 pedido;
        const char* mensagem;  // on the error stream; empty = none
    } casos[] = {
        {"grande", {std::string(5421, 'a'), 0, 0, 2, 3}, ""},
        // Three rows force 30 columns: 579 modules, wider than 512 dots even at one dot each.
        {"largo",
         {textoLongo(300), 0, 0x04, 2, 3},
         "Erro PDF417: o símbolo de 579 módulos não cabe na largura imprimível (512 pontos).\n"},
    };
    for (const auto& c : casos) {
        bool ok = true;
        ::testing::internal::CaptureStderr();
        const std::string bmp = bancada_->capturar(c.nome, [&](Impressora& vp) { ok = vp.imprimirPDF417(c.pedido); });
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.mensagem) << c.nome;
        EXPECT_FALSE(ok) << c.nome;
        EXPECT_EQ(impressos::lerCaptura(bmp).altura, 0) << c.nome;
    }
}

}  // namespace
