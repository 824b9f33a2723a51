// Module patterns compared with zint's for the same data, to catch table errors that a forgiving
// decoder would still accept.
#include <gtest/gtest.h>

#include <string>

#include "BarcodeImage.h"
#include "TestSupport.h"
#include "symbols/LinearBarcode.h"

using namespace Ordal::Symbols;

namespace {

struct Caso {
    const char* nome;
    int tipo;
    std::string dados;  // what our encoder gets (text; Code 128 goes through valoresCode128Texto)
    int tipoZint;
    std::string dadosZint;  // what zint gets (escaped with --esc)
    int largo = 0;
};

void PrintTo(const Caso& c, std::ostream* os) { *os << c.nome; }

class ComparaZint : public ::testing::TestWithParam<Caso> {};

TEST_P(ComparaZint, MesmosModulos) {
    if (!rx457test::commandAvailable("zint")) GTEST_SKIP() << "zint is not installed";
    const Caso& c = GetParam();
    std::vector<uint8_t> bytes(c.dados.begin(), c.dados.end());
    if (c.tipo == CODE128) {
        auto v = valoresCode128Texto(c.dados);
        ASSERT_TRUE(v.has_value());
        bytes = *v;
    }
    OpcoesCodigoBarras o;
    o.modulosElementoLargo = c.largo;
    auto s = codificarCodigoBarras(c.tipo, bytes.data(), bytes.size(), o);
    ASSERT_TRUE(s.has_value());
    const auto z = linear_test::modulosZint(c.tipoZint, c.dadosZint, "--esc");
    ASSERT_FALSE(z.empty()) << "zint refused " << c.dadosZint;
    EXPECT_EQ(linear_test::comoTexto(s->modulos), linear_test::comoTexto(z));
}

const std::string kChave = "35150861099008000141599000026310001009906960";

INSTANTIATE_TEST_SUITE_P(
    Linear, ComparaZint,
    ::testing::Values(
        Caso{"UPCA_11", UPC_A, "01234567890", 34, "01234567890"},
        Caso{"UPCA_12", UPC_A, "036000291452", 34, "036000291452"},
        Caso{"UPCE_0425261", UPC_E, "0425261", 37, "0425261"}, Caso{"UPCE_sistema_1", UPC_E, "1654321", 37, "1654321"},
        Caso{"UPCE_sistema_1_b", UPC_E, "1876545", 37, "1876545"},
        Caso{"EAN13_com_verificador", EAN_13, "4006381333931", 13, "4006381333931"},
        Caso{"EAN8", EAN_8, "5512345", 13, "5512345"}, Caso{"EAN8_b", EAN_8, "9638507", 13, "9638507"},
        Caso{"Code39_basico", CODE39, "CODE39", 8, "CODE39"},
        Caso{"Code39_digitos", CODE39, "0123456789", 8, "0123456789"},
        Caso{"Code39_letras", CODE39, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 8, "ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        Caso{"Code39_simbolos", CODE39, "-. $/+%", 8, "-. $/+%"},
        Caso{"Code39_ascii_total", CODE39, "abc!@#*:;<=>?[\\]^_`{|}~", 9, "abc!@#*:;<=>?[\\\\]^_`{|}~"},
        // Data that needs full ASCII is full ASCII throughout, shift characters included.
        Caso{"Code39_basicos_e_ascii", CODE39, "a$b/c+d%", 9, "a$b/c+d%"},
        Caso{"Code39_cifrao_e_letra", CODE39, "r$A1", 9, "r$A1"},
        // Basic data alone stays plain Code 39.
        Caso{"Code39_cifrao_basico", CODE39, "R$A/B", 8, "R$A/B"},
        Caso{"Code39_controles", CODE39, std::string("\x00\x01\x1b\x1f\x7f", 5), 9, "\\x00\\x01\\x1B\\x1F\\x7F"},
        Caso{"ITF_pares", ITF, "123456", 3, "123456"}, Caso{"ITF_todos", ITF, "0123456789", 3, "0123456789"},
        Caso{"ITF_chave", ITF, kChave, 3, kChave},
        Caso{"Codabar_digitos", CODABAR, "A0123456789B", 18, "A0123456789B", 2},
        Caso{"Codabar_simbolos", CODABAR, "C-$:/.+D", 18, "C-$:/.+D", 2},
        Caso{"Codabar_inicios", CODABAR, "D31B", 18, "D31B", 2}, Caso{"Code93_basico", CODE93, "TEST93", 25, "TEST93"},
        Caso{"Code93_todos", CODE93, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%", 25,
             "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%"},
        Caso{"Code93_ascii_total", CODE93, "abc!@#*:;<=>?[\\]^_`{|}~", 25, "abc!@#*:;<=>?[\\\\]^_`{|}~"},
        Caso{"Code93_controles", CODE93, std::string("\x00\x01\x1b\x1f\x7f", 5), 25, "\\x00\\x01\\x1B\\x1F\\x7F"},
        Caso{"Code93_longo", CODE93, std::string(60, 'W'), 25, std::string(60, 'W')},
        Caso{"Code128_B", CODE128, "Hello World", 20, "Hello World"},
        Caso{"Code128_C", CODE128, "12345678", 20, "12345678"},
        Caso{"Code128_C_impar", CODE128, "1234567", 20, "1234567"},
        Caso{"Code128_B_para_C", CODE128, "AB12345678", 20, "AB12345678"},
        Caso{"Code128_chave", CODE128, kChave, 20, kChave},
        Caso{"Code128_misto", CODE128, "RX457-00012345", 20, "RX457-00012345"},
        Caso{"Code128_todos_B", CODE128, " !\"#$%&'()*+,-./0:;<=>?@AZ[\\]^_`az{|}~", 20,
             " !\"#$%&'()*+,-./0:;<=>?@AZ[\\\\]^_`az{|}~"}),
    [](const auto& info) { return std::string(info.param.nome); });

// Every digit in every position of the parity-selecting digits: the EAN-13 first digit and the
// UPC-E last digit (each one another expansion rule and parity pattern).
std::vector<Caso> paridades() {
    static std::vector<std::string> nomes;
    std::vector<Caso> v;
    for (char d = '0'; d <= '9'; ++d) {
        nomes.push_back(std::string("EAN13_") + d);
        nomes.push_back(std::string("UPCE_") + d);
    }
    for (int i = 0; i < 10; ++i) {
        const std::string ean = std::string(1, char('0' + i)) + "12345678901";
        const std::string upce = std::string("0") + "98765" + char('0' + i);
        v.push_back({nomes[2 * i].c_str(), EAN_13, ean, 13, ean});
        v.push_back({nomes[2 * i + 1].c_str(), UPC_E, upce, 37, upce});
    }
    return v;
}

INSTANTIATE_TEST_SUITE_P(Paridade, ComparaZint, ::testing::ValuesIn(paridades()),
                         [](const auto& info) { return std::string(info.param.nome); });

}  // namespace
