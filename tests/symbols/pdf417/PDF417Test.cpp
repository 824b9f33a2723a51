#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "PDF417TestUtil.h"

using namespace pdf417test;

namespace {

std::vector<int> dados(const ParametrosPDF417& p, int de, int ate) {
    return std::vector<int>(p.palavras + de, p.palavras + ate);
}

// Everything a reader relies on: shape limits, bitmap = codewords, row indicators carrying rows,
// columns and level, length descriptor, and the Reed-Solomon check.
void verificarEstrutura(const ParametrosPDF417& p) {
    ASSERT_EQ(p.erro, 0);
    ASSERT_NE(p.bits, nullptr);
    EXPECT_GE(p.colunas, 1);
    EXPECT_LE(p.colunas, 30);
    EXPECT_GE(p.linhas, 3);
    EXPECT_LE(p.linhas, 90);
    const int t = p.linhas * p.colunas;
    ASSERT_LE(t, 928);
    ASSERT_GE(p.nivelErro, 0);
    ASSERT_LE(p.nivelErro, 8);
    const int e = 2 << p.nivelErro;
    EXPECT_EQ(p.quantidadePalavras, t - e);
    EXPECT_EQ(p.palavras[0], t - e);
    EXPECT_EQ(p.bytesPorLinha, (p.colunasBits + 7) / 8);
    EXPECT_EQ(p.tamanhoBits, p.bytesPorLinha * p.linhas);

    const Leitura l = lerSimbolo(p);
    ASSERT_TRUE(l.ok) << l.falha;
    EXPECT_EQ(l.palavras, dados(p, 0, t));
    EXPECT_TRUE(sindromesNulas(l.palavras, e));
    // A higher level would have fitted: the spare room must have gone into error correction.
    if (p.nivelErro < 8) {
        EXPECT_LT(t - p.quantidadePalavras, 2 << (p.nivelErro + 1));
    }
    for (int j = 0; j < p.linhas; ++j) {
        const int base = 30 * (j / 3);
        const int info[3] = {(p.linhas - 1) / 3, 3 * p.nivelErro + (p.linhas - 1) % 3, p.colunas - 1};
        EXPECT_EQ(l.esquerda[j], base + info[j % 3]) << "linha " << j;
        EXPECT_EQ(l.direita[j], base + info[(j + 2) % 3]) << "linha " << j;
    }
    // Row padding never carries dark modules.
    for (int y = 0; y < p.linhas; ++y)
        for (int x = p.colunasBits; x < p.bytesPorLinha * 8; ++x)
            EXPECT_FALSE((p.bits[y * p.bytesPorLinha + x / 8] >> (7 - x % 8)) & 1);
}

// A record with caller-supplied codewords: n data codewords (descriptor + text latches).
std::unique_ptr<Simbolo> brutas(int n, int opcoes, int nivel, int colunas = 0, int linhas = 0, float proporcao = 0.5f,
                                float alturaLinha = 3.0f) {
    auto s = std::make_unique<Simbolo>();
    (*s)->proporcao = proporcao;
    (*s)->alturaLinha = alturaLinha;
    (*s)->opcoes = opcoes | PDF417_PALAVRAS_DADAS;
    (*s)->nivelErro = nivel;
    (*s)->colunas = colunas;
    (*s)->linhas = linhas;
    (*s)->quantidadePalavras = n;
    (*s)->palavras[0] = n;
    for (int i = 1; i < n; ++i) (*s)->palavras[i] = (i * 37) % 929;
    codificarPDF417(*s->p);
    return s;
}

struct CasoCompactacao {
    const char* nome;
    std::string texto;
    std::vector<int> esperado;  // codewords from index 1
};

class Compactacao : public ::testing::TestWithParam<CasoCompactacao> {};

TEST_P(Compactacao, ProduzAsPalavrasEsperadas) {
    const auto& c = GetParam();
    auto s = codificar(c.texto);
    ASSERT_EQ((*s)->erro, 0);
    const int n = static_cast<int>(c.esperado.size()) + 1;
    EXPECT_EQ(dados(*s->p, 1, n), c.esperado);
    // Whatever follows is padding.
    for (int i = n; i < (*s)->quantidadePalavras; ++i) EXPECT_EQ((*s)->palavras[i], 900);
    verificarEstrutura(*s->p);
}

const std::string seisBytes("\x80\x81\x82\x83\x84\x85", 6);

INSTANTIATE_TEST_SUITE_P(
    Casos, Compactacao,
    ::testing::Values(
        CasoCompactacao{"TextoComDigitos", "PDF417", {453, 178, 121, 239}},
        CasoCompactacao{"TrezeDigitosNumerico", "000213298174000", {902, 1, 624, 434, 632, 282, 200}},
        CasoCompactacao{"TrezeDigitosExatos", "1234567890123", {902, 17, 110, 836, 811, 223}},
        // 12 digits inside text stay text: A B C, latch Mixed, the digits.
        CasoCompactacao{"DozeDigitosNoTexto",
                        "ABC123456789012",
                        {1, 2 * 30 + 28, 1 * 30 + 2, 3 * 30 + 4, 5 * 30 + 6, 7 * 30 + 8, 9 * 30 + 0, 1 * 30 + 2}},
        CasoCompactacao{"OitoDigitosSozinhos", "12345678", {902, 138, 628, 478}},
        CasoCompactacao{"SeteDigitosSozinhos", "1234567", {28 * 30 + 1, 2 * 30 + 3, 4 * 30 + 5, 6 * 30 + 7}},
        CasoCompactacao{"SeisBytes", seisBytes, {924, 215, 318, 502, 193, 33}},
        CasoCompactacao{"SeteBytes", seisBytes + "\x86", {901, 215, 318, 502, 193, 33, 0x86}},
        CasoCompactacao{"ByteEntreTextosPar",
                        "abc\x01"
                        "def",
                        {810, 32, 913, 1, 94, 179}},
        CasoCompactacao{"ByteEntreTextosImpar",
                        "ab\x01"
                        "cd",
                        {810, 59, 913, 1, 63}},
        CasoCompactacao{"ByteAntesDeTextoLongo", "\x01Hello", {913, 1, 237, 131, 344}},
        CasoCompactacao{"TextoCurtoViraBytes", "A\x01\x02", {901, 65, 1, 2}},
        CasoCompactacao{"TravaPontuacao", "A;<>B", {28, 750, 32, 871}},
        CasoCompactacao{"DesvioPontuacao", "A;B", {29, 1}}, CasoCompactacao{"DesvioMaiuscula", "aBc", {810, 811, 89}},
        CasoCompactacao{"TravaMaiusculas", "aBCD", {810, 868, 32, 119}},
        CasoCompactacao{"MistoParaLetras", "1a1A", {841, 810, 841, 840}},
        CasoCompactacao{"MistoParaPontuacao", "1;;;", {841, 750, 0}},
        CasoCompactacao{"ByteDepoisDePontuacao",
                        "A;;;;\x01"
                        "B",
                        {28, 750, 0, 29, 913, 1, 59}},
        CasoCompactacao{"Vazio", "", {}}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(PDF417Compactacao, TextoTerminadoEmZeroQuandoTamanhoNegativo) {
    Simbolo s;
    s->texto = "PDF417\0ignorado";
    s->tamanhoTexto = -1;
    codificarPDF417(*s.p);
    ASSERT_EQ(s->erro, 0);
    EXPECT_EQ(dados(*s.p, 1, 5), (std::vector<int>{453, 178, 121, 239}));
    auto explicito = codificar("PDF417");
    ASSERT_EQ(s->tamanhoBits, (*explicito)->tamanhoBits);
    EXPECT_EQ(std::memcmp(s->bits, (*explicito)->bits, s->tamanhoBits), 0);
}

struct CasoLimite {
    const char* nome;
    std::string texto;
    int erro;
};

class Limites : public ::testing::TestWithParam<CasoLimite> {};

TEST_P(Limites, RecusaOQueNaoCabe) {
    auto s = codificar(GetParam().texto);
    EXPECT_EQ((*s)->erro, GetParam().erro);
    if (GetParam().erro != 0) {
        EXPECT_EQ((*s)->bits, nullptr);
        EXPECT_EQ((*s)->tamanhoBits, 0);
    } else {
        verificarEstrutura(*s->p);
    }
}

INSTANTIATE_TEST_SUITE_P(Casos, Limites,
                         ::testing::Values(CasoLimite{"Texto5421", std::string(5421, '1'), 1},
                                           CasoLimite{"Texto5420SemEspaco", std::string(5420, 'a'), 1},
                                           // latch + 1849 values = 925 codewords + descriptor: the largest that fits.
                                           CasoLimite{"MinusculasNoLimite", std::string(1849, 'a'), 0},
                                           CasoLimite{"MinusculasUmaAMais", std::string(1850, 'a'), 1},
                                           CasoLimite{"DigitosNoLimite", std::string(2640, '7'), 0},
                                           CasoLimite{"DigitosAlemDoLimite", std::string(2720, '7'), 1},
                                           CasoLimite{"BytesNoLimite", std::string(1104, '\xff'), 0},
                                           CasoLimite{"BytesAlemDoLimite", std::string(1110, '\xff'), 1}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST(PDF417Parametros, RegistroIniciado) {
    ParametrosPDF417 p;
    std::memset(&p, 0x5A, sizeof p);
    iniciarPDF417(p);
    EXPECT_EQ(p.opcoes, 0);
    EXPECT_EQ(p.bits, nullptr);
    EXPECT_EQ(p.tamanhoBits, 0);
    EXPECT_EQ(p.erro, 0);
    EXPECT_EQ(p.tamanhoTexto, -1);
    ASSERT_NE(p.texto, nullptr);
    EXPECT_STREQ(p.texto, "");
    EXPECT_FLOAT_EQ(p.alturaLinha, 3.0f);
    EXPECT_FLOAT_EQ(p.proporcao, 0.5f);
}

TEST(PDF417Parametros, TextoAusenteComTamanhoERecusado) {
    Simbolo s;
    s->texto = nullptr;
    s->tamanhoTexto = 5;
    codificarPDF417(*s.p);
    EXPECT_EQ(s->erro, PDF417_PARAMETROS_INVALIDOS);
    EXPECT_EQ(s->bits, nullptr);
    s->tamanhoTexto = -1;  // no text at all is an empty symbol
    codificarPDF417(*s.p);
    EXPECT_EQ(s->erro, 0);
}

TEST(PDF417Parametros, RecodificarLiberaOAnteriorEFalhaNaoDeixaBitmap) {
    Simbolo s;
    s->texto = "primeiro";
    codificarPDF417(*s.p);
    ASSERT_NE(s->bits, nullptr);
    s->texto = "segundo, mais longo que o primeiro";
    codificarPDF417(*s.p);
    ASSERT_EQ(s->erro, 0);
    verificarEstrutura(*s.p);
    const std::string grande(6000, 'x');
    s->texto = grande.c_str();
    codificarPDF417(*s.p);
    EXPECT_EQ(s->erro, 1);
    EXPECT_EQ(s->bits, nullptr);
    liberarPDF417(*s.p);
    liberarPDF417(*s.p);
    EXPECT_EQ(s->bits, nullptr);
    liberarPDF417(nullptr);
    iniciarPDF417(nullptr);
    codificarPDF417(nullptr);
}

TEST(PDF417Parametros, ValoresAbsurdosNaoQuebram) {
    const int extremos[] = {INT_MIN, -1, 0, 2, 31, 91, INT_MAX};
    const float reais[] = {NAN, INFINITY, -INFINITY, -1.0f, 0.0f, 1e30f};
    for (int op : {0x00, 0x01, 0x02, 0x04, 0x07, 0x10, 0x13, 0x97})
        for (int v : extremos)
            for (float r : reais) {
                Simbolo s;
                s->texto = "ValoresAbsurdos 123";
                s->opcoes = op;
                s->colunas = v;
                s->linhas = v;
                s->nivelErro = v;
                s->proporcao = r;
                s->alturaLinha = r;
                codificarPDF417(*s.p);
                ASSERT_EQ(s->erro, 0);
                if (!(op & PDF417_INVERTER)) verificarEstrutura(*s.p);
            }
}

struct CasoPalavras {
    const char* nome;
    int quantidade;
    int descritor;
    int valor;  // value put at index 1
    int erro;
};

class PalavrasDadas : public ::testing::TestWithParam<CasoPalavras> {};

TEST_P(PalavrasDadas, ValidaAsPalavrasDoChamador) {
    const auto& c = GetParam();
    Simbolo s;
    s->opcoes = PDF417_PALAVRAS_DADAS;
    s->quantidadePalavras = c.quantidade;
    s->palavras[0] = c.descritor;
    for (int i = 1; i < 928; ++i) s->palavras[i] = 900;
    s->palavras[1] = c.valor;
    s->texto = nullptr;
    s->tamanhoTexto = 99999;  // ignored with caller-supplied codewords
    codificarPDF417(*s.p);
    EXPECT_EQ(s->erro, c.erro);
    if (c.erro == 0) {
        verificarEstrutura(*s.p);
        for (int i = 2; i < c.quantidade; ++i) ASSERT_EQ(s->palavras[i], 900);
        if (c.quantidade > 1) {
            EXPECT_EQ(s->palavras[1], c.valor);
        }
    } else {
        EXPECT_EQ(s->bits, nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casos, PalavrasDadas,
    ::testing::Values(CasoPalavras{"Uma", 1, 1, 0, 0}, CasoPalavras{"Comum", 10, 10, 453, 0},
                      CasoPalavras{"MaiorValor", 10, 10, 928, 0}, CasoPalavras{"Maximo", 926, 926, 900, 0},
                      CasoPalavras{"Zero", 0, 0, 0, 2}, CasoPalavras{"AlemDoMaximo", 927, 927, 0, 2},
                      CasoPalavras{"Negativa", -5, -5, 0, 2}, CasoPalavras{"DescritorDiferente", 10, 11, 0, 2},
                      CasoPalavras{"ValorAlto", 10, 10, 929, 2}, CasoPalavras{"ValorNegativo", 10, 10, -1, 2}),
    [](const auto& info) { return std::string(info.param.nome); });

struct CasoNivel {
    int n;        // data codewords incl. descriptor
    int colunas;  // fixed columns that keep the minimum size
    int nivel;
};

class NivelAutomatico : public ::testing::TestWithParam<CasoNivel> {};

TEST_P(NivelAutomatico, SegueAQuantidadeDePalavras) {
    const auto& c = GetParam();
    auto s = brutas(c.n, PDF417_COLUNAS_FIXAS, 7, c.colunas);
    EXPECT_EQ((*s)->nivelErro, c.nivel);
    verificarEstrutura(*s->p);
}

INSTANTIATE_TEST_SUITE_P(Casos, NivelAutomatico,
                         ::testing::Values(CasoNivel{1, 1, 2}, CasoNivel{40, 1, 2}, CasoNivel{41, 1, 3},
                                           CasoNivel{160, 2, 3}, CasoNivel{161, 3, 4}, CasoNivel{320, 4, 4},
                                           CasoNivel{321, 5, 5}, CasoNivel{900, 30, 3}, CasoNivel{926, 16, 0}));

TEST(PDF417Nivel, DozeCaracteresDaoNivelDois) {
    auto s = codificar("ABCDEFGHIJKL");
    EXPECT_EQ((*s)->nivelErro, 2);
    verificarEstrutura(*s->p);
}

class NivelPedido : public ::testing::TestWithParam<int> {};

// n = 2^(L+1) data codewords in a rectangle of exactly twice that: nothing spare, level kept.
TEST_P(NivelPedido, NivelDoChamadorEmRetanguloExato) {
    const int nivel = GetParam();
    const int k = 2 << nivel;
    const int n = nivel == 8 ? 400 : k;
    const int t = n + k;
    const int colunas = nivel == 8 ? 16 : t <= 64 ? 1 : t / 64;
    auto s = brutas(n, PDF417_NIVEL_FIXO | PDF417_RETANGULO_FIXO, nivel, colunas, t / colunas);
    EXPECT_EQ((*s)->nivelErro, nivel);
    EXPECT_EQ((*s)->colunas * (*s)->linhas, t);
    verificarEstrutura(*s->p);
}

INSTANTIATE_TEST_SUITE_P(Niveis, NivelPedido, ::testing::Range(0, 9));

TEST(PDF417Nivel, NivelPedidoDemaisOuNegativo) {
    auto alto = brutas(900, PDF417_NIVEL_FIXO, 8);  // 512 ec codewords cannot fit
    EXPECT_EQ((*alto)->nivelErro, 3);
    verificarEstrutura(*alto->p);
    auto negativo = brutas(20, PDF417_NIVEL_FIXO | PDF417_COLUNAS_FIXAS, -3, 1);
    EXPECT_EQ((*negativo)->nivelErro, 0);
    EXPECT_EQ((*negativo)->linhas, 22);
    verificarEstrutura(*negativo->p);
}

struct CasoForma {
    const char* nome;
    int n, opcoes, nivel, colunas, linhas;
    int colunasEsperadas, linhasEsperadas;
};

class Forma : public ::testing::TestWithParam<CasoForma> {};

TEST_P(Forma, ColunasELinhas) {
    const auto& c = GetParam();
    auto s = brutas(c.n, c.opcoes | PDF417_NIVEL_FIXO, c.nivel, c.colunas, c.linhas);
    EXPECT_EQ((*s)->colunas, c.colunasEsperadas);
    EXPECT_EQ((*s)->linhas, c.linhasEsperadas);
    verificarEstrutura(*s->p);
}

constexpr int RET = PDF417_RETANGULO_FIXO, COL = PDF417_COLUNAS_FIXAS, LIN = PDF417_LINHAS_FIXAS;

INSTANTIATE_TEST_SUITE_P(Casos, Forma,
                         ::testing::Values(CasoForma{"ColunasFixas", 40, COL, 2, 5, 0, 5, 10},
                                           CasoForma{"ColunasFixasMinimoTresLinhas", 10, COL, 0, 30, 0, 30, 3},
                                           CasoForma{"ColunasFixasAlemDe90Linhas", 100, COL, 2, 1, 0, 2, 90},
                                           CasoForma{"ColunasZeroViramUma", 10, COL, 0, 0, 0, 1, 12},
                                           CasoForma{"ColunasDemaisViram30", 10, COL, 0, 50, 0, 30, 3},
                                           CasoForma{"LinhasFixas", 40, LIN, 2, 0, 10, 5, 10},
                                           CasoForma{"LinhasFixasAlemDe30Colunas", 400, LIN, 2, 0, 3, 30, 14},
                                           CasoForma{"LinhasDuasViramTres", 10, LIN, 0, 0, 2, 4, 3},
                                           CasoForma{"LinhasDemaisViram90", 10, LIN, 0, 0, 500, 1, 90},
                                           CasoForma{"RetanguloFica", 40, RET, 2, 10, 10, 10, 10},
                                           CasoForma{"RetanguloPequenoSegueColunas", 40, RET, 2, 2, 3, 2, 24},
                                           CasoForma{"RetanguloGrandeEstreito", 40, RET, 2, 20, 90, 16, 58},
                                           CasoForma{"RetanguloGrandeLargo", 40, RET, 2, 30, 90, 29, 32},
                                           CasoForma{"QuadradoQuandoColunasExcedem", 926, COL, 0, 11, 0, 16, 58},
                                           CasoForma{"RetanguloVenceColunas", 40, RET | COL | LIN, 2, 10, 10, 10, 10},
                                           CasoForma{"ColunasVencemLinhas", 40, COL | LIN, 2, 5, 3, 5, 10}),
                         [](const auto& info) { return std::string(info.param.nome); });

// Height / width of the symbol (quiet zone aside) near the request unless a limit was hit; the
// extremes of the ratio give the widest and the narrowest shapes.
TEST(PDF417Proporcao, FormaSegueAProporcao) {
    const struct {
        float proporcao, alturaLinha;
        int n;
    } casos[] = {{0.5f, 3.0f, 100}, {0.5f, 3.0f, 500}, {1.0f, 3.0f, 300}, {0.25f, 2.0f, 300}, {2.0f, 4.0f, 60}};
    for (const auto& c : casos) {
        auto s = brutas(c.n, 0, 0, 0, 0, c.proporcao, c.alturaLinha);
        verificarEstrutura(*s->p);
        const double obtida = (*s)->linhas * c.alturaLinha / (17.0 * (*s)->colunas + 69);
        EXPECT_GT(obtida, c.proporcao / 2) << (*s)->colunas << "x" << (*s)->linhas;
        EXPECT_LT(obtida, c.proporcao * 2) << (*s)->colunas << "x" << (*s)->linhas;
    }
    EXPECT_EQ((*brutas(200, 0, 0, 0, 0, 0.0001f))->colunas, 30);
    EXPECT_EQ((*brutas(200, 0, 0, 0, 0, 5000.0f))->colunas, 3);  // 1 column would need > 90 rows
}

TEST(PDF417Inversao, InverteSoOsModulosDoSimbolo) {
    for (const char* texto : {"A", "Inversao de teste 0123456789", "\x01\x02\x03\x04\x05\x06\x07"}) {
        auto normal = codificar(texto);
        auto invertido = codificar(texto, PDF417_INVERTER);
        const auto& a = *normal->p;
        const auto& b = *invertido->p;
        ASSERT_EQ(b.erro, 0);
        ASSERT_EQ(a.colunasBits, b.colunasBits);
        ASSERT_EQ(a.linhas, b.linhas);
        ASSERT_EQ(a.tamanhoBits, b.tamanhoBits);
        for (int y = 0; y < a.linhas; ++y) {
            for (int x = 0; x < a.colunasBits; ++x)
                ASSERT_NE(moduloPDF417(a, x, y), moduloPDF417(b, x, y)) << x << "," << y;
            for (int x = a.colunasBits; x < a.bytesPorLinha * 8; ++x)
                ASSERT_FALSE((b.bits[y * b.bytesPorLinha + x / 8] >> (7 - x % 8)) & 1);
        }
    }
}

}  // namespace
