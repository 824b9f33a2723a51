// Rendering: golden captures of short ESC/POS streams, the capture's headers and the layout rules
// that have bitten before (cell limit, paper width, page cancel).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "Bancada.h"
#include "TestSupport.h"

using namespace rx457engine;
using Ordal::Printer::DescritorFonte;
using Ordal::Printer::GlifoFonte;

namespace {

const std::string LF = "\n";
std::string esc(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s += static_cast<char>(v);
    return s;
}

std::string raster(int modo, int xBytes, int linhas, const std::function<uint8_t(int, int)>& byte) {
    std::string s = esc({0x1D, 0x76, 0x30, modo, xBytes & 0xFF, xBytes >> 8, linhas & 0xFF, linhas >> 8});
    for (int y = 0; y < linhas; ++y)
        for (int x = 0; x < xBytes; ++x) s += static_cast<char>(byte(x, y));
    return s;
}

std::string imagemBits(int m, int colunas) {
    const int bytes = (m & 0x20) ? 3 : 1;
    std::string s = esc({0x1B, 0x2A, m, colunas & 0xFF, colunas >> 8});
    for (int c = 0; c < colunas; ++c)
        for (int k = 0; k < bytes; ++k) s += static_cast<char>((c + k) % 3 == 0 ? 0xF0 : 0x3C);
    return s;
}

struct CasoGolden {
    const char* nome;
    std::function<void(Bancada&)> preparar;
    std::string fluxo;
};

std::string caracteresUsuario() {
    // An arrow in a 9 x 24 cell of font 0.
    std::string s = esc({0x1B, 0x26, 3, 'A', 'A'});
    for (int c = 0; c < 9; ++c) {
        const int meio = 4;
        const int d = c < meio ? c : 8 - c;
        uint32_t coluna = 0;
        for (int r = 12 - d; r <= 12 + d; ++r) coluna |= 1u << (23 - r);
        if (c >= 4) coluna |= 0xFF0;  // the shaft
        s += static_cast<char>(coluna >> 16);
        s += static_cast<char>(coluna >> 8);
        s += static_cast<char>(coluna);
    }
    return s + esc({0x1B, 0x25, 1}) + "AxA" + esc({0x1B, 0x25, 0}) + "A" + LF;
}

std::vector<CasoGolden> casos() {
    std::vector<CasoGolden> v;
    for (int f = 0; f < 6; ++f)
        v.push_back({nullptr, nullptr,
                     esc({0x1B, 0x4D, f}) + "Fonte " + std::to_string(f) + ": AaBb 0123 \xC0\xC9\xE7\xE3 [x]" + LF});
    static const char* nomesFontes[6] = {"fonte0", "fonte1", "fonte2", "fonte3", "fonte4", "fonte5"};
    for (int f = 0; f < 6; ++f) v[f].nome = nomesFontes[f];
    v.push_back({"tamanhos", nullptr,
                 esc({0x1D, 0x21, 0x00}) + "1x1 " + esc({0x1D, 0x21, 0x10}) + "2x1 " + esc({0x1D, 0x21, 0x01}) +
                     "1x2 " + esc({0x1D, 0x21, 0x11}) + "2x2" + LF + esc({0x1D, 0x21, 0x22}) + "3x3" + LF});
    v.push_back({"estilos", nullptr,
                 esc({0x1B, 0x45, 1}) + "Negrito" + esc({0x1B, 0x45, 0}) + " normal" + LF + esc({0x1B, 0x2D, 0x31}) +
                     "Sublinhado gjpq" + esc({0x1B, 0x2D, 0x30}) + LF + esc({0x1D, 0x42, 1}) + " Reverso " +
                     esc({0x1D, 0x42, 0}) + LF});
    v.push_back({"alinhamento", nullptr,
                 esc({0x1B, 0x61, '1'}) + "Centro" + LF + esc({0x1B, 0x61, 2}) + "Direita" + LF + esc({0x1B, 0x61, 0}) +
                     "Esquerda" + LF + "Total" + esc({0x1B, 0x61, '3'}) + "12,50" + LF});
    v.push_back({"justificado", nullptr, esc({0x1B, 0x61, '4'}) + "a b c d e f" + LF});
    v.push_back({"quebra_ligada", [](Bancada& b) { b.motor.ativarQuebraLinha(); }, std::string(70, 'W') + LF});
    v.push_back({"quebra_desligada", nullptr, std::string(70, 'W') + LF});
    v.push_back({"pagina", nullptr,
                 esc({0x1B, 0x4C}) + "Linha 1" + LF + esc({0x1D, 0x24, 0, 0}) + esc({0x1B, 0x24, 0, 1}) +
                     "Topo, mesma altura" + LF + "Linha 3" + LF + esc({0x1B, 0x0C})});
    v.push_back({"pagina_cancelada", nullptr,
                 "Antes" + LF + esc({0x1B, 0x4C}) + "Cancelada" + LF + "XXXX" + esc({0x18}) + "Depois" + LF});
    v.push_back({"raster", nullptr,
                 raster(0, 8, 32, [](int x, int y) { return ((x + y / 8) & 1) ? 0xFF : 0x81; }) +
                     raster(3, 4, 8, [](int x, int y) { return uint8_t(0x80 >> ((x * 2 + y) % 8)); })});
    v.push_back({"bits_modo0", nullptr, imagemBits(0x00, 40) + LF});
    v.push_back({"bits_modo1", nullptr, imagemBits(0x01, 40) + LF});
    v.push_back({"bits_modo32", nullptr, imagemBits(0x20, 40) + LF});
    v.push_back({"bits_modo33", nullptr, imagemBits(0x21, 40) + imagemBits(0x21, 40) + LF});
    for (int p = 0; p < 5; ++p) {
        static const char* nomes[5] = {"retangulo0", "retangulo1", "retangulo2", "retangulo3", "retangulo4"};
        v.push_back(
            {nomes[p], [p](Bancada& b) { b.motor.preencherRetangulo(10, 2, 201, 49, p); }, esc({0x1B, 0x4A, 60})});
    }
    v.push_back({"caractere_usuario", nullptr, caracteresUsuario()});
    v.push_back({"macro", nullptr,
                 esc({0x1D, 0x3A}) + "Macro!" + LF + esc({0x1D, 0x3A}) + "Fora" + LF + esc({0x1D, 0x5E, 1, 0, 0})});
    return v;
}

TEST(RenderizacaoGolden, CapturasIguaisAsDeReferencia) {
    const bool atualizar = std::getenv("RX457_UPDATE_GOLDEN") != nullptr;
    for (const CasoGolden& c : casos()) {
        SCOPED_TRACE(c.nome);
        Bancada b;
        std::stringstream fluxo(std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(b.motor.obterImagem(fluxo));
        if (c.preparar) c.preparar(b);
        b.enviar(c.fluxo);
        ASSERT_TRUE(b.motor.limparImagem());
        const std::string obtido = fluxo.str();
        const std::string caminho = std::string(TEST_DATA_DIR) + "/" + c.nome + ".bmp";
        if (atualizar) {
            rx457test::writeFile(caminho, obtido);
            continue;
        }
        ASSERT_TRUE(rx457test::fileExists(caminho)) << caminho;
        EXPECT_TRUE(rx457test::readFile(caminho) == obtido) << "captura diferente de " << caminho;
    }
}

uint32_t u32(const std::string& s, size_t o) {
    return uint32_t(uint8_t(s[o])) | uint32_t(uint8_t(s[o + 1])) << 8 | uint32_t(uint8_t(s[o + 2])) << 16 |
           uint32_t(uint8_t(s[o + 3])) << 24;
}

TEST(Captura, CabecalhosDeTresLinhas) {
    const std::string bmp = capturar(esc({0x1B, 0x4D, 5, 0x1B, 0x33, 30}) + "um" + LF + "dois" + LF + "tres" + LF);
    ASSERT_GE(bmp.size(), 130u);
    const uint32_t linhas = 3 * 30, passo = (512 + 31) / 32 * 4;
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(u32(bmp, 2), 130 + linhas * passo);
    EXPECT_EQ(u32(bmp, 6), 0u);
    EXPECT_EQ(u32(bmp, 10), 130u);
    EXPECT_EQ(u32(bmp, 14), 108u);
    EXPECT_EQ(u32(bmp, 18), 512u);
    EXPECT_EQ(static_cast<int32_t>(u32(bmp, 22)), -static_cast<int32_t>(linhas));
    EXPECT_EQ(uint8_t(bmp[26]) | uint8_t(bmp[27]) << 8, 1);
    EXPECT_EQ(uint8_t(bmp[28]) | uint8_t(bmp[29]) << 8, 1);
    EXPECT_EQ(u32(bmp, 30), 0u);
    EXPECT_EQ(u32(bmp, 34), linhas * passo);
    EXPECT_EQ(u32(bmp, 38), 7086u);
    EXPECT_EQ(u32(bmp, 42), 7086u);
    EXPECT_EQ(u32(bmp, 46), 2u);
    for (size_t i = 50; i < 122; ++i) ASSERT_EQ(bmp[i], 0) << i;
    EXPECT_EQ(bmp.substr(122, 8), std::string("\xDF\xDF\xDF\0\0\0\0\0", 8));
    EXPECT_EQ(bmp.size(), 130 + linhas * passo);
    EXPECT_GT(pontosPretos(bmp), 50);
}

TEST(Captura, ArquivoSemImpressoraConectadaETextoSemAvancoFinal) {
    rx457test::TempDir dir;
    Bancada b;
    ASSERT_TRUE(b.motor.salvarImagem(dir.file("a.bmp")));
    b.enviar("sem LF");
    ASSERT_TRUE(b.motor.limparImagem());
    const std::string bmp = rx457test::readFile(dir.file("a.bmp"));
    EXPECT_GT(alturaBMP(bmp), 0);
    EXPECT_GT(pontosPretos(bmp), 0);
    EXPECT_FALSE(b.motor.salvarImagem(dir.file("nao/existe/a.bmp")));
}

// Lays out synthetic glyphs, which the built-in fonts cannot provide (none is one dot wide).
class MotorDeTeste : public Engine {
public:
    using Engine::comporGlifo;
    using Engine::Engine;
};

TEST(Layout, LinhaDe121CelulasQuebraDepoisDe120) {
    static const uint8_t ponto[1] = {1};
    const GlifoFonte glifo{1, 1, 0, ponto};
    const DescritorFonte& fonte = Ordal::Printer::descritorFonte(0);
    for (bool quebra : {true, false}) {
        SCOPED_TRACE(quebra);
        DestinoContador destino;
        MotorDeTeste motor(destino);
        if (quebra) motor.ativarQuebraLinha();
        for (int i = 0; i < 120; ++i) motor.comporGlifo(fonte, glifo);
        EXPECT_EQ(motor.celulasPendentes(), 120);
        const int linha = motor.linhaEscrita();
        motor.comporGlifo(fonte, glifo);
        if (quebra) {
            EXPECT_EQ(motor.celulasPendentes(), 1);
            EXPECT_NE(motor.linhaEscrita(), linha);
        } else {
            EXPECT_EQ(motor.celulasPendentes(), 120);
            EXPECT_EQ(motor.linhaEscrita(), linha);
        }
    }
}

TEST(Layout, LarguraDoPapel) {
    struct Caso {
        int pedido;
        bool aceito;
        int largura;
    };
    // Rounded up to whole bytes, limited to the printer, refused below half of it.
    const Caso casos[] = {{260, true, 264},  {300, true, 304},  {248, false, 512}, {250, true, 256},
                          {200, false, 512}, {1000, true, 512}, {0, false, 512},   {-8, false, 512}};
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.pedido);
        Bancada b;
        EXPECT_EQ(b.motor.definirLarguraPapel(c.pedido), c.aceito);
        EXPECT_EQ(b.motor.larguraPontos(), c.largura);
        EXPECT_TRUE(b.motor.engineRunning());
        const std::string bmp = b.capturar("largura" + LF);
        EXPECT_EQ(u32(bmp, 18), static_cast<uint32_t>(c.largura));
    }
}

TEST(Layout, MudarLarguraNaoPerdeLinhasProntas) {
    Bancada b;
    b.motor.atrasoInicial = 200;  // the lines are still in the ring when the width changes
    b.enviar("uma linha" + LF);
    ASSERT_TRUE(b.motor.definirLarguraPapel(400));
    EXPECT_GE(b.destino.bytes.load(), size_t(21 * 64));
}

TEST(Layout, GlifoQueNaoCabeNaAreaNaoAvancaLinhasEmBranco) {
    // Margin 505 of 512: no 9-dot glyph fits. With wrap on the glyphs are dropped one by one and
    // only the line feed moves the paper.
    Bancada b;
    b.motor.ativarQuebraLinha();
    const std::string bmp = b.capturar(esc({0x1D, 0x4C, 0xF9, 0x01}) + "ABC" + LF);
    EXPECT_EQ(alturaBMP(bmp), 21);
    EXPECT_EQ(pontosPretos(bmp), 0);
    // A position past the end wraps the next glyph onto a new line.
    const std::string quebra = b.capturar(esc({0x1D, 0x4C, 0, 0, 0x1B, 0x24, 0xFC, 0x01}) + "AB" + LF);
    EXPECT_EQ(alturaBMP(quebra), 2 * 21);
    EXPECT_TRUE(quebra.substr(130 + 21 * 64) == capturar("AB" + LF).substr(130));
}

TEST(Layout, MovimentoVerticalTemLimite) {
    struct Caso {
        const char* descricao;
        std::string fluxo;
        int altura;
    };
    // Vertical unit of one inch: one command would otherwise feed yards of paper.
    const std::string polegada = esc({0x1D, 0x50, 0, 1});
    const Caso casos[] = {
        {"avanco relativo de 2 polegadas", polegada + esc({0x1D, 0x5C, 2, 0}), 360},
        {"avanco relativo de 65535 polegadas", polegada + esc({0x1D, 0x5C, 0xFF, 0xFF}), 7200},
        {"espacamento de 2 polegadas", polegada + esc({0x1B, 0x33, 2}) + LF + LF, 2 * 255},
        {"espacamento em pontos", esc({0x1B, 0x33, 40}) + LF, 40},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        EXPECT_EQ(alturaBMP(capturar(c.fluxo)), c.altura);
    }
}

TEST(Layout, PaginaCanceladaNaoDeixaPontos) {
    Bancada b;
    const std::string bmp = b.capturar(esc({0x1B, 0x4C}) + "XXXXXXXX" + LF + "YYYY" + LF + "ZZ" + esc({0x1D, 0x42, 1}) +
                                       "R" + esc({0x18}) + esc({0x1B, 0x4A, 100}));
    EXPECT_EQ(alturaBMP(bmp), 100);
    EXPECT_EQ(pontosPretos(bmp), 0);
}

TEST(Layout, FonteOitoEmDianteEhFonteModuloOito) {
    Bancada b;
    for (int f = 8; f < 14; ++f) {
        b.motor.selecionarFonte(f);
        EXPECT_EQ(b.motor.larguraFonte(), Ordal::Printer::descritorFonte(f % 8).avanco) << f;
        EXPECT_EQ(b.motor.obterFonte(f).largura, b.motor.obterFonte(f % 8).largura) << f;
    }
    b.motor.selecionarFonte(9);
    b.motor.selecionarFonte(6);  // not selectable: font 1 stays
    EXPECT_EQ(b.motor.fonte, 1);
    EXPECT_EQ(capturar(esc({0x1B, 0x4D, 9}) + "Nove" + LF), capturar(esc({0x1B, 0x4D, 1}) + "Nove" + LF));
}

TEST(Layout, RasterMaisLargoQueALinhaEhCortadoNaMargemDireita) {
    const std::string bmp = capturar(raster(0, 100, 3, [](int, int) { return 0xFF; }) + "depois" + LF);
    EXPECT_EQ(u32(bmp, 18), 512u);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 512; x += 37) ASSERT_TRUE(pontoBMP(bmp, x, y)) << x << "," << y;
    EXPECT_TRUE(pontoBMP(bmp, 511, 2));
    EXPECT_GT(alturaBMP(bmp), 3);
}

}  // namespace
