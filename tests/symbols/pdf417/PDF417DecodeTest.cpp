// Round trips through an independent reader (ZXingReader): what it decodes from our symbols must
// be exactly the bytes we encoded.
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "PDF417TestUtil.h"
#include "TestSupport.h"

using namespace pdf417test;

namespace {

void le32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}
void le16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
}

// 1-bit BMP of the symbol: `modulo` pixels per module, rows 3 modules high, a quiet zone of
// `margem` modules all round.
std::string bmp(const ParametrosPDF417& p, int modulo = 2, int margem = 4) {
    const int alturaLinha = 3 * modulo;
    const int w = (p.colunasBits + 2 * margem) * modulo;
    const int h = p.linhas * alturaLinha + 2 * margem * modulo;
    const int passo = ((w + 31) / 32) * 4;
    std::string pix(static_cast<size_t>(passo) * h, '\0');
    for (int y = 0; y < h; ++y) {
        const int linha = (y - margem * modulo) / alturaLinha;
        const bool dentro = y >= margem * modulo && linha < p.linhas;
        char* destino = &pix[static_cast<size_t>(h - 1 - y) * passo];  // bottom-up
        for (int x = 0; x < w && dentro; ++x) {
            const int coluna = x / modulo - margem;
            if (moduloPDF417(p, coluna, linha)) destino[x / 8] |= static_cast<char>(0x80 >> (x % 8));
        }
    }
    std::string f = "BM";
    le32(f, 14 + 40 + 8 + static_cast<uint32_t>(pix.size()));
    le32(f, 0);
    le32(f, 14 + 40 + 8);
    le32(f, 40);
    le32(f, static_cast<uint32_t>(w));
    le32(f, static_cast<uint32_t>(h));
    le16(f, 1);
    le16(f, 1);
    le32(f, 0);
    le32(f, static_cast<uint32_t>(pix.size()));
    le32(f, 2835);
    le32(f, 2835);
    le32(f, 2);
    le32(f, 0);
    le32(f, 0x00FFFFFF);  // index 0: white
    le32(f, 0x00000000);  // index 1: black
    return f + pix;
}

class Leitor : public ::testing::Test {
protected:
    void SetUp() override {
        if (!rx457test::commandAvailable("ZXingReader"))
            GTEST_SKIP() << "ZXingReader (zxing-cpp-tools) is not installed";
    }

    // The bytes the reader finds in the symbol; fails the test when it finds none.
    std::string decodificar(const ParametrosPDF417& p, int modulo = 2) {
        const std::string arquivo = dir_.file("simbolo" + std::to_string(contador_++) + ".bmp");
        rx457test::writeFile(arquivo, bmp(p, modulo));
        int codigo = -1;
        const std::string saida = rx457test::runCommand("ZXingReader -format PDF417 -bytes '" + arquivo + "'", &codigo);
        EXPECT_EQ(codigo, 0) << "leitor falhou em " << p.colunas << "x" << p.linhas;
        return saida;
    }

    rx457test::TempDir dir_;
    int contador_ = 0;
};

// Inputs of a few kinds, reproducible from the seed.
std::string gerar(const std::string& tipo, int tamanho, unsigned semente) {
    std::mt19937 rng(semente);
    std::string s;
    s.reserve(tamanho);
    const std::string recibo =
        "CUPOM FISCAL ELETRONICO - SAT\nItem 001 Cafe expresso 2 UN x 4,50 = 9,00\r\n"
        "Total R$ 9,00; troco: 0,00 (dinheiro) <obrigado!> [volte sempre] ~ #42 @loja_01 ";
    // Pieces meant to cross every sub-mode and segment boundary.
    const std::vector<std::string> pedacos = {"abc",
                                              "ABC",
                                              "Ab",
                                              "aB",
                                              "12",
                                              "1234567890123456",
                                              ";;;",
                                              ";",
                                              "!",
                                              "a;b",
                                              "A:B",
                                              " ",
                                              "\r\n",
                                              "\t",
                                              "\xe7\xe3o",
                                              "\x01",
                                              "\x80\x81",
                                              "\xff\xfe\xfd\xfc\xfb\xfa\xf9",
                                              "@x",
                                              "{}",
                                              "0123456789",
                                              "|",
                                              "'\"",
                                              "Z9z",
                                              "~~~~",
                                              "$1,00",
                                              "...",
                                              std::string(1, '\0'),
                                              std::string("x\0y", 3)};
    if (tipo == "texto") {
        while (static_cast<int>(s.size()) < tamanho) s += recibo;
    } else if (tipo == "digitos") {
        while (static_cast<int>(s.size()) < tamanho) s.push_back(static_cast<char>('0' + rng() % 10));
    } else if (tipo == "letras") {
        const std::string palavras = "the quick brown fox jumps over the lazy dog ";
        while (static_cast<int>(s.size()) < tamanho) s += palavras;
    } else if (tipo == "binario" && semente == 5) {
        while (static_cast<int>(s.size()) < tamanho) s.push_back(static_cast<char>(0x80 | (rng() & 0x7F)));
    } else if (tipo == "binario") {
        while (static_cast<int>(s.size()) < tamanho) s.push_back(static_cast<char>(rng() & 0xFF));
    } else if (tipo == "latin1") {
        const std::string base =
            "Pa\xe7oca de a\xe7\xfa"
            "car \xe0 vista: R$ 12,50 \xa9 Jo\xe3o ";
        while (static_cast<int>(s.size()) < tamanho) s += base;
    } else {  // misto
        while (static_cast<int>(s.size()) < tamanho) {
            s += pedacos[rng() % pedacos.size()];
        }
    }
    s.resize(tamanho);
    return s;
}

struct CasoLeitura {
    std::string tipo;
    int tamanho;
    unsigned semente;
};

class IdaEVolta : public Leitor, public ::testing::WithParamInterface<CasoLeitura> {};

TEST_P(IdaEVolta, LeitorDevolveOsMesmosBytes) {
    const auto& c = GetParam();
    const std::string entrada = gerar(c.tipo, c.tamanho, c.semente);
    auto s = codificar(entrada);
    ASSERT_EQ((*s)->erro, 0);
    EXPECT_EQ(decodificar(*s->p, c.tamanho > 1000 ? 3 : 2), entrada)
        << (*s)->colunas << "x" << (*s)->linhas << " nivel " << (*s)->nivelErro;
}

std::vector<CasoLeitura> casosLeitura() {
    std::vector<CasoLeitura> v;
    // What fits in 926 codewords depends on the content: about 1,800 letters or 2,600 digits,
    // but only some 900 random bytes (runs that look like text cost latches).
    for (int n : {1, 2, 5, 13, 40, 100, 300, 700, 900, 1000, 1800}) {
        v.push_back({"digitos", n, 2});
        v.push_back({"letras", n, 7});
        if (n <= 1000) v.push_back({"texto", n, 1});
        if (n <= 1000) v.push_back({"latin1", n, 3});
        if (n <= 900) v.push_back({"binario", n, 4});
    }
    v.push_back({"digitos", 2600, 8});
    v.push_back({"binario", 1104, 5});  // a single byte run of 184 groups of 6
    for (unsigned semente = 10; semente < 40; ++semente)
        v.push_back({"misto", static_cast<int>(20 + (semente * 97) % 600), semente});
    return v;
}

INSTANTIATE_TEST_SUITE_P(Conteudos, IdaEVolta, ::testing::ValuesIn(casosLeitura()), [](const auto& info) {
    return info.param.tipo + std::to_string(info.param.tamanho) + "_" + std::to_string(info.param.semente);
});

TEST_F(Leitor, BinarioAlemDaCapacidadeERecusado) {
    auto s = codificar(gerar("binario", 1800, 6));
    EXPECT_EQ((*s)->erro, PDF417_TEXTO_GRANDE);
    EXPECT_EQ((*s)->bits, nullptr);
}

class NivelLido : public Leitor, public ::testing::WithParamInterface<int> {};

TEST_P(NivelLido, CadaNivelDeCorrecaoELido) {
    const std::string entrada = gerar("misto", 150, 77);
    auto s = codificar(entrada, PDF417_NIVEL_FIXO, GetParam());
    ASSERT_EQ((*s)->erro, 0);
    EXPECT_GE((*s)->nivelErro, GetParam());
    EXPECT_EQ(decodificar(*s->p), entrada);
}

INSTANTIATE_TEST_SUITE_P(Niveis, NivelLido, ::testing::Range(0, 9));

struct CasoFormaLida {
    const char* nome;
    int opcoes, colunas, linhas;
};

class FormaLida : public Leitor, public ::testing::WithParamInterface<CasoFormaLida> {};

TEST_P(FormaLida, CadaFormaELida) {
    const auto& c = GetParam();
    const std::string entrada = gerar("texto", 400, 0);
    auto s = codificar(entrada, c.opcoes, 0, c.colunas, c.linhas);
    ASSERT_EQ((*s)->erro, 0);
    EXPECT_EQ(decodificar(*s->p), entrada) << (*s)->colunas << "x" << (*s)->linhas;
}

INSTANTIATE_TEST_SUITE_P(Casos, FormaLida,
                         ::testing::Values(CasoFormaLida{"Proporcao", 0, 0, 0},
                                           CasoFormaLida{"ColunasFixas3", PDF417_COLUNAS_FIXAS, 3, 0},
                                           CasoFormaLida{"ColunasFixas30", PDF417_COLUNAS_FIXAS, 30, 0},
                                           CasoFormaLida{"LinhasFixas", PDF417_LINHAS_FIXAS, 0, 12},
                                           CasoFormaLida{"Retangulo", PDF417_RETANGULO_FIXO, 12, 40},
                                           CasoFormaLida{"RetanguloPequeno", PDF417_RETANGULO_FIXO, 4, 3},
                                           CasoFormaLida{"MaiorQuadrado", PDF417_RETANGULO_FIXO, 30, 90}),
                         [](const auto& info) { return std::string(info.param.nome); });

TEST_F(Leitor, PalavrasDoChamadorSaoLidas) {
    // Codewords of "PDF417" followed by a numeric group, written by hand.
    Simbolo s;
    s->opcoes = PDF417_PALAVRAS_DADAS;
    const int palavras[] = {12, 453, 178, 121, 239, 902, 1, 624, 434, 632, 282, 200};
    for (int i = 0; i < 12; ++i) s->palavras[i] = palavras[i];
    s->quantidadePalavras = 12;
    codificarPDF417(*s.p);
    ASSERT_EQ(s->erro, 0);
    EXPECT_EQ(decodificar(*s.p), "PDF417000213298174000");
}

}  // namespace
