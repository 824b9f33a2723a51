// UPC/EAN: check digits (including the UPC-E one, computed on the UPC-A number it expands to),
// given check digits, and the layout data the renderer uses for the digits and guards.
#include <gtest/gtest.h>

#include <string>

#include "symbols/LinearBarcode.h"

using namespace Ordal::Symbols;

namespace {

std::optional<LinearSymbol> codificar(int tipo, const std::string& d) {
    return codificarCodigoBarras(tipo, reinterpret_cast<const uint8_t*>(d.data()), d.size(), {});
}

TEST(UPCEAN, DigitoVerificadorCalculadoQuandoFalta) {
    // Numbers with published check digits.
    struct {
        int tipo;
        const char* dados;
        const char* completo;
    } casos[] = {
        {UPC_A, "03600029145", "036000291452"},
        {UPC_A, "72527273070", "725272730706"},
        {UPC_A, "00000000000", "000000000000"},
        {EAN_13, "400638133393", "4006381333931"},
        {EAN_13, "978020137962", "9780201379624"},
        {EAN_13, "789100031550", "7891000315507"},
        {EAN_8, "9638507", "96385074"},
        {EAN_8, "5512345", "55123457"},
        // UPC-E: 0123456 -> 01234500006, 0425261 -> 04210000526, 0654321 -> 06543200001...
        {UPC_E, "0123456", "01234565"},
        {UPC_E, "0425261", "04252614"},
        {UPC_E, "0654321", "06543217"},
        {UPC_E, "1234567", "12345670"},
        {UPC_E, "0123453", "01234531"},
        {UPC_E, "0123454", "01234543"},
        {UPC_E, "0000000", "00000000"},
    };
    for (const auto& c : casos) {
        auto s = codificar(c.tipo, c.dados);
        ASSERT_TRUE(s.has_value()) << c.dados;
        EXPECT_EQ(s->textoHRI, c.completo) << c.dados;
        // The computed number encodes exactly like the complete one given by the caller.
        auto dado = codificar(c.tipo, c.completo);
        ASSERT_TRUE(dado.has_value());
        EXPECT_EQ(dado->modulos, s->modulos) << c.dados;
    }
}

TEST(UPCEAN, VerificadorDadoEDesenhadoComoDado) {
    auto errado = codificar(UPC_A, "012345678901");
    auto certo = codificar(UPC_A, "012345678905");
    ASSERT_TRUE(errado && certo);
    EXPECT_EQ(errado->textoHRI, "012345678901");
    EXPECT_EQ(errado->digitoDireito, '1');
    EXPECT_NE(errado->modulos, certo->modulos);
    // Only the last symbol character (modules 85..91) differs.
    for (int i = 0; i < 85; ++i) ASSERT_EQ(errado->modulos[i], certo->modulos[i]) << i;

    auto e = codificar(UPC_E, "01234569");
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->digitoDireito, '9');
}

TEST(UPCEAN, PosicaoDosDigitosEGuardas) {
    struct {
        int tipo;
        const char* dados;
        char esquerdo, direito;
        std::vector<GrupoHRI> grupos;
        std::vector<Intervalo> guardas;
        int zonaEsquerda, zonaDireita;
    } casos[] = {
        {UPC_A, "036000291452", '0', '2', {{"36000", 10, 45}, {"29145", 50, 85}}, {{0, 10}, {45, 50}, {85, 95}}, 9, 9},
        {EAN_13, "4006381333931", '4', 0, {{"006381", 3, 45}, {"333931", 50, 92}}, {{0, 3}, {45, 50}, {92, 95}}, 11, 7},
        {EAN_8, "96385074", 0, 0, {{"9638", 3, 31}, {"5074", 36, 64}}, {{0, 3}, {31, 36}, {64, 67}}, 7, 7},
        {UPC_E, "04252614", '0', '4', {{"425261", 3, 45}}, {{0, 3}, {45, 51}}, 9, 7},
    };
    for (const auto& c : casos) {
        auto s = codificar(c.tipo, c.dados);
        ASSERT_TRUE(s.has_value()) << c.dados;
        EXPECT_EQ(s->textoHRI, c.dados);
        EXPECT_EQ(s->digitoEsquerdo, c.esquerdo) << c.dados;
        EXPECT_EQ(s->digitoDireito, c.direito) << c.dados;
        EXPECT_EQ(s->gruposHRI, c.grupos) << c.dados;
        EXPECT_EQ(s->guardas, c.guardas) << c.dados;
        EXPECT_EQ(s->zonaSilenciosaEsquerda, c.zonaEsquerda);
        EXPECT_EQ(s->zonaSilenciosaDireita, c.zonaDireita);
        // Guards hold bars, and the groups never cover a guard.
        for (const auto& g : s->guardas) {
            int barras = 0;
            for (int i = g.inicio; i < g.fim; ++i) barras += s->modulos[i];
            EXPECT_GE(barras, 2) << c.dados;
            for (const auto& h : s->gruposHRI) EXPECT_TRUE(h.fim <= g.inicio || h.inicio >= g.fim) << c.dados;
        }
    }
}

}  // namespace
