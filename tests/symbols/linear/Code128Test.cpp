// Code 128: the human-readable text of value sequences, the check symbol, and the helpers that
// turn digits and text into values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "symbols/Code128.h"

using namespace Ordal::Symbols;

namespace {

const std::string kChave = "35150861099008000141599000026310001009906960";

TEST(Code128, TextoLegivelSegueConjuntosETrocas) {
    struct {
        const char* nome;
        std::vector<uint8_t> valores;
        std::string hri;
    } casos[] = {
        {"C_pares", {105, 12, 34, 0, 99}, "12340099"},  // 99 in set C is the pair "99"
        {"A_controle_oculto", {103, 33, 65, 34}, "AB"},
        {"A_shift_para_B", {103, 98, 65, 65}, "a"},  // only the shifted value is a set B letter
        {"B_shift_para_A", {104, 98, 65, 65}, "a"},  // the shifted one is a control character
        {"B_para_C_para_B", {104, 33, 99, 1, 100, 34}, "A01B"},
        {"B_para_A", {104, 101, 65, 33}, "A"},
        {"C_para_A", {105, 1, 101, 33}, "01A"},
        {"FNC4_em_B_nao_troca", {104, 100, 65}, "a"},
        {"FNC4_em_A_nao_troca", {103, 101, 65}, ""},
        {"FNC1_e_FNC3_ocultos", {104, 102, 33, 96}, "A"},
        {"til_e_DEL", {104, 94, 95}, "~"},
        {"espaco", {104, 0}, " "},
    };
    for (const auto& c : casos) {
        auto s = codificarCode128(c.valores);
        ASSERT_TRUE(s.has_value()) << c.nome;
        EXPECT_EQ(s->textoHRI, c.hri) << c.nome;
    }
}

TEST(Code128, SimboloVerificadorParadaEBarraFinal) {
    // Start B, "A" (33), check (104 + 33) mod 103 = 34, stop with its final bar.
    auto s = codificarCode128(std::vector<uint8_t>{104, 33});
    ASSERT_TRUE(s.has_value());
    const std::string esperado = std::string("11010010000") + "10100011000" + "10001011000" + "1100011101011";
    std::string obtido;
    for (uint8_t m : s->modulos) obtido.push_back(m ? '1' : '0');
    EXPECT_EQ(obtido, esperado);
}

TEST(Code128, DigitosParaConjuntoC) {
    auto chave = valoresCode128ConjuntoC(kChave);
    ASSERT_TRUE(chave.has_value());
    ASSERT_EQ(chave->size(), 23u);
    EXPECT_EQ((*chave)[0], 105);
    EXPECT_EQ((*chave)[1], 35);
    EXPECT_EQ((*chave)[22], 60);
    auto s = codificarCode128(*chave);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->textoHRI, kChave);
    EXPECT_EQ(s->modulos.size(), 23u * 11 + 11 + 13);

    EXPECT_EQ(valoresCode128ConjuntoC("123"), (std::vector<uint8_t>{105, 12, 100, 19}));
    EXPECT_EQ(valoresCode128ConjuntoC("7"), (std::vector<uint8_t>{104, 23}));
    EXPECT_EQ(valoresCode128ConjuntoC("00"), (std::vector<uint8_t>{105, 0}));
    EXPECT_FALSE(valoresCode128ConjuntoC("").has_value());
    EXPECT_FALSE(valoresCode128ConjuntoC("12a4").has_value());
    EXPECT_FALSE(valoresCode128ConjuntoC("12 4").has_value());
}

TEST(Code128, TextoParaValoresVoltaAoMesmoTexto) {
    const std::string textos[] = {
        "A",
        "abc",
        "Hello World",
        "12345678",
        "1234567",
        "x1234y",
        "x12345y",
        "PED-0001234567/99",
        "~`{}|",
        "AB12",
        kChave,
        "9",
        "99",
        "abc1234",
        std::string(300, 'q'),
    };
    for (const auto& t : textos) {
        auto v = valoresCode128Texto(t);
        ASSERT_TRUE(v.has_value()) << t;
        auto s = codificarCode128(*v);
        ASSERT_TRUE(s.has_value()) << t;
        EXPECT_EQ(s->textoHRI, t);
    }
    // Control characters are carried (shift or set A) and not shown.
    auto v = valoresCode128Texto("ab\tcd\r\nEF");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(codificarCode128(*v)->textoHRI, "abcdEF");

    // Digit runs are packed in set C.
    EXPECT_EQ(valoresCode128Texto("12345678")->size(), 5u);
    EXPECT_EQ(valoresCode128Texto(kChave)->size(), 23u);
    EXPECT_EQ(valoresCode128Texto("AB123456")->size(), 1u + 2 + 1 + 3);

    EXPECT_FALSE(valoresCode128Texto("").has_value());
    EXPECT_FALSE(valoresCode128Texto("a\xE9").has_value());
}

}  // namespace
