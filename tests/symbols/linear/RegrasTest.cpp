// Data rules of the linear encoders: what is refused, where the limits are, and the shape of what
// is produced.
#include <gtest/gtest.h>

#include <string>

#include "symbols/LinearBarcode.h"

using namespace Ordal::Symbols;

namespace {

std::optional<LinearSymbol> codificar(int tipo, const std::string& d, int largo = 0) {
    OpcoesCodigoBarras o;
    o.modulosElementoLargo = largo;
    return codificarCodigoBarras(tipo, reinterpret_cast<const uint8_t*>(d.data()), d.size(), o);
}

std::string repetir(char c, size_t n) { return std::string(n, c); }

struct Caso {
    const char* nome;
    int tipo;
    std::string dados;
    int largo = 0;
};

void PrintTo(const Caso& c, std::ostream* os) { *os << c.nome; }

class Recusa : public ::testing::TestWithParam<Caso> {};

TEST_P(Recusa, NadaECodificado) {
    const Caso& c = GetParam();
    EXPECT_FALSE(codificar(c.tipo, c.dados, c.largo).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Linear, Recusa,
    ::testing::Values(Caso{"UPCA_10_digitos", UPC_A, "0123456789"}, Caso{"UPCA_13_digitos", UPC_A, "0123456789012"},
                      Caso{"UPCA_letra", UPC_A, "01234a67890"}, Caso{"UPCA_espaco", UPC_A, "01234 67890"},
                      Caso{"UPCE_6_digitos", UPC_E, "123456"}, Caso{"UPCE_9_digitos", UPC_E, "012345678"},
                      Caso{"UPCE_sistema_2", UPC_E, "2123456"},
                      Caso{"UPCE_sistema_9_com_verificador", UPC_E, "91234565"}, Caso{"UPCE_letra", UPC_E, "01a3456"},
                      Caso{"EAN13_11_digitos", EAN_13, "12345678901"},
                      Caso{"EAN13_14_digitos", EAN_13, "12345678901234"},
                      Caso{"EAN13_byte_alto", EAN_13, "12345678901\xB9"}, Caso{"EAN8_6_digitos", EAN_8, "123456"},
                      Caso{"EAN8_9_digitos", EAN_8, "123456789"}, Caso{"EAN8_sinal", EAN_8, "1234-67"},
                      Caso{"Code39_byte_128", CODE39, "AB\x80"}, Caso{"Code39_latin1", CODE39, "a\xE9"},
                      Caso{"Code39_199_legiveis", CODE39, repetir('A', 199)},
                      // 315 NULs: 632 characters of 13 modules, over 8192 although no text is printed.
                      Caso{"Code39_modulos_demais", CODE39, repetir('\0', 315)},
                      Caso{"Code39_15_modulos_demais", CODE39, repetir('\0', 256), 3},
                      Caso{"Code39_largura_invalida", CODE39, "A", 4}, Caso{"Code39_largura_1", CODE39, "A", 1},
                      Caso{"ITF_impar", ITF, "12345"}, Caso{"ITF_um_digito", ITF, "7"}, Caso{"ITF_letra", ITF, "12a4"},
                      Caso{"ITF_modulos_demais", ITF, repetir('1', 910)}, Caso{"Codabar_so_inicio", CODABAR, "A123"},
                      Caso{"Codabar_so_fim", CODABAR, "123B"}, Caso{"Codabar_letra_no_meio", CODABAR, "A1B2C"},
                      Caso{"Codabar_letra_sem_extremos", CODABAR, "1C2"}, Caso{"Codabar_invalido", CODABAR, "12X"},
                      Caso{"Codabar_asterisco", CODABAR, "*12*"}, Caso{"Codabar_so_A", CODABAR, "A"},
                      Caso{"Code93_byte_128", CODE93, "\x80"}, Caso{"Code93_modulos_demais", CODE93, repetir('A', 907)},
                      Caso{"Code128_sem_inicio", CODE128, "\x01\x02"}, Caso{"Code128_so_inicio", CODE128, "\x68"},
                      Caso{"Code128_valor_106", CODE128, "\x68\x6A"}, Caso{"Code128_valor_200", CODE128, "\x68\xC8"},
                      Caso{"Code128_inicio_no_meio", CODE128, "\x68\x21\x67\x21"},
                      Caso{"Code128_hri_1198", CODE128, "\x69" + repetir('\x05', 599)},
                      Caso{"Code128_modulos_demais", CODE128, "\x67" + repetir('\x40', 742)}, Caso{"tipo_9", 9, "123"},
                      Caso{"tipo_negativo", -1, "123"}, Caso{"vazio_UPCA", UPC_A, ""}, Caso{"vazio_Code39", CODE39, ""},
                      Caso{"vazio_Code128", CODE128, ""}),
    [](const auto& info) { return std::string(info.param.nome); });

TEST(Linear, PonteiroNuloNaoCodifica) { EXPECT_FALSE(codificarCodigoBarras(CODE128, nullptr, 5, {}).has_value()); }

TEST(Linear, LimitesExatosDeModulos) {
    EXPECT_EQ(codificar(CODE39, repetir('\0', 314))->modulos.size(), 8189u);
    EXPECT_EQ(codificar(CODE39, repetir('\0', 255), 3)->modulos.size(), 8191u);
    EXPECT_EQ(codificar(ITF, repetir('9', 908))->modulos.size(), 8181u);
    EXPECT_EQ(codificar(CODE93, repetir('A', 906))->modulos.size(), 8191u);
    EXPECT_EQ(codificar(CODE128, "\x67" + repetir('\x40', 741))->modulos.size(), 8186u);
    EXPECT_EQ(codificar(CODE128, "\x69" + repetir('\x05', 598) + "\x64\x21")->textoHRI.size(), 1197u);
    EXPECT_EQ(codificar(CODE39, repetir('Z', 198))->textoHRI.size(), 198u);
    EXPECT_TRUE(codificar(CODE39, repetir('\x01', 250)).has_value());  // control bytes are not HRI text
}

// Arbitrary bytes for every type: no crash, and whatever is produced is a well-formed symbol.
TEST(Linear, DadosArbitrariosNuncaGeramSimboloMalFormado) {
    uint32_t x = 2463534242u;
    auto aleatorio = [&x] { return x ^= x << 13, x ^= x >> 17, x ^= x << 5; };
    std::vector<uint8_t> d;
    for (int i = 0; i < 20000; ++i) {
        d.resize(aleatorio() % (i % 100 == 0 ? 2000 : 40));
        const bool digitos = i % 3 == 0;
        for (auto& b : d)
            b = static_cast<uint8_t>(digitos ? '0' + aleatorio() % 10 : aleatorio() % (i % 2 ? 128 : 256));
        if (i % 7 == 0 && !d.empty()) d[0] = static_cast<uint8_t>(103 + aleatorio() % 3);
        const int tipo = static_cast<int>(aleatorio() % 11) - 1;
        auto s = codificarCodigoBarras(tipo, d.data(), d.size(), {static_cast<int>(aleatorio() % 4)});
        if (!s) continue;
        ASSERT_FALSE(s->modulos.empty());
        ASSERT_LE(s->modulos.size(), kMaximoModulos);
        ASSERT_EQ(s->modulos.front(), 1);
        ASSERT_EQ(s->modulos.back(), 1);
        for (uint8_t m : s->modulos) ASSERT_LE(m, 1);
        for (const auto& g : s->gruposHRI) ASSERT_TRUE(g.inicio < g.fim && g.fim <= s->largura());
    }
}

// Module counts per character that the renderer and the 12/15 option rely on.
TEST(Linear, LargurasPorSimbologia) {
    struct {
        int tipo;
        std::string dados;
        int largo;
        size_t modulos;
    } casos[] = {
        {CODE39, "A", 0, 3 * 12 + 2},  // *A*, 12 modules each, two gaps
        {CODE39, "A", 2, 3 * 12 + 2},
        {CODE39, "A", 3, 3 * 15 + 2},  // 15-module characters
        {CODE39, "a", 0, 4 * 12 + 3},  // full ASCII: +A
        {ITF, "12", 0, 4 + 18 + 5},    // start, one pair at 1:3, stop
        {ITF, "12", 2, 4 + 14 + 4},
        {CODABAR, "A1B", 2, 10 + 1 + 9 + 1 + 10},
        {CODE93, "A", 0, 9 * 5 + 1},  // start, A, C, K, stop, bar
        {CODE128, "\x68\x21", 0, 11 * 3 + 13},
        {UPC_A, "01234567890", 0, 95},
        {UPC_E, "0123456", 0, 51},
        {EAN_13, "501234567890", 0, 95},
        {EAN_8, "5512345", 0, 67},
    };
    for (const auto& c : casos) {
        auto s = codificar(c.tipo, c.dados, c.largo);
        ASSERT_TRUE(s.has_value()) << c.tipo << " " << c.dados;
        EXPECT_EQ(s->modulos.size(), c.modulos) << c.tipo << " " << c.dados << " largo " << c.largo;
    }
}

TEST(Linear, TextoLegivel) {
    struct {
        int tipo;
        std::string dados;
        std::string hri;
    } casos[] = {
        {CODE39, std::string("A\0b\x1F \x7F~", 7), "Ab ~"},  // control bytes and DEL are not shown
        {CODE93, "x\ty", "xy"},
        {ITF, "0042", "0042"},
        {CODABAR, "a12d", "A12D"},
        {CODABAR, "12", "12"},  // the added start/stop are not part of the data
        {CODE128, "\x69\x0C\x22", "1234"},
    };
    for (const auto& c : casos) {
        auto s = codificar(c.tipo, c.dados);
        ASSERT_TRUE(s.has_value()) << c.dados;
        EXPECT_EQ(s->textoHRI, c.hri);
        ASSERT_EQ(s->gruposHRI.size(), 1u);
        EXPECT_EQ(s->gruposHRI[0], (GrupoHRI{c.hri, 0, s->largura()}));
        EXPECT_TRUE(s->guardas.empty());
        EXPECT_EQ(s->digitoEsquerdo, 0);
        EXPECT_GE(s->zonaSilenciosaEsquerda, 10);
    }
    // Nothing printable: no group at all.
    auto s = codificar(CODE39, "\x01\x02");
    ASSERT_TRUE(s.has_value());
    EXPECT_TRUE(s->textoHRI.empty());
    EXPECT_TRUE(s->gruposHRI.empty());
}

}  // namespace
