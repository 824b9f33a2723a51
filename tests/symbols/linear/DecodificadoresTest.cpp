// Round trips through independent decoders: each symbol is drawn into a BMP and must be read back
// by zbar and zxing-cpp as the text that was encoded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BarcodeImage.h"
#include "TestSupport.h"
#include "symbols/LinearBarcode.h"

using namespace Ordal::Symbols;

namespace {

const std::string kChave = "35150861099008000141599000026310001009906960";

struct Caso {
    const char* nome;
    int tipo;
    std::vector<uint8_t> dados;
    std::string zbar;   // expected from zbar; empty: zbar not asked (it does not read this case)
    std::string zxing;  // expected from zxing-cpp; empty: not asked
    const char* formato = "";
    int largo = 0;
    int modulo = 3;
};

void PrintTo(const Caso& c, std::ostream* os) { *os << c.nome; }

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::vector<uint8_t> chaveC() { return *valoresCode128ConjuntoC(kChave); }
std::vector<uint8_t> texto128(const std::string& s) { return *valoresCode128Texto(s); }

class Decodifica : public ::testing::TestWithParam<Caso> {};

TEST_P(Decodifica, LidoComoCodificado) {
    const Caso& c = GetParam();
    const bool zbar = !c.zbar.empty() && rx457test::commandAvailable("zbarimg");
    const bool zxing = !c.zxing.empty() && rx457test::commandAvailable("ZXingReader");
    if (!zbar && !zxing) GTEST_SKIP() << "zbarimg and ZXingReader are not installed";
    OpcoesCodigoBarras o;
    o.modulosElementoLargo = c.largo;
    auto s = codificarCodigoBarras(c.tipo, c.dados.data(), c.dados.size(), o);
    ASSERT_TRUE(s.has_value());
    rx457test::TempDir dir;
    const std::string bmp = dir.file("simbolo.bmp");
    ASSERT_TRUE(linear_test::gravarBMP(bmp, s->modulos, c.modulo, 80, 20));
    if (zbar) {
        EXPECT_EQ(linear_test::lerZbar(bmp).value_or("<nada>"), c.zbar) << "zbar";
    }
    if (zxing) {
        EXPECT_EQ(linear_test::lerZXing(bmp, c.formato).value_or("<nada>"), c.zxing) << "zxing";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Linear, Decodifica,
    ::testing::Values(
        Caso{"UPCA", UPC_A, bytes("03600029145"), "036000291452", "036000291452", "UPC-A"},
        Caso{"UPCA_modulo_2", UPC_A, bytes("72527273070"), "725272730706", "725272730706", "UPC-A", 0, 2},
        Caso{"UPCE", UPC_E, bytes("0425261"), "04252614", "04252614", "UPC-E"},
        Caso{"UPCE_9", UPC_E, bytes("0987659"), "09876590", "09876590", "UPC-E"},
        Caso{"UPCE_sistema_1", UPC_E, bytes("1654321"), "", "16543214", "UPC-E"},
        Caso{"EAN13", EAN_13, bytes("789100031550"), "7891000315507", "7891000315507", "EAN-13"},
        Caso{"EAN8", EAN_8, bytes("9638507"), "96385074", "96385074", "EAN-8"},
        Caso{"Code39", CODE39, bytes("RX457 CUPOM-1"), "RX457 CUPOM-1", "RX457 CUPOM-1", "Code39"},
        Caso{"Code39_15_modulos", CODE39, bytes("RX457 CUPOM-1"), "RX457 CUPOM-1", "RX457 CUPOM-1", "Code39", 3},
        // Neither decoder expands full ASCII here: they return the two-character sequences.
        Caso{"Code39_ascii_total", CODE39, bytes("ab!*"), "+A+B/A/J", "+A+B/A/J", "Code39"},
        Caso{"Code39_controles", CODE39, {0, 13, 127}, "%U$M%T", "%U$M%T", "Code39"},
        Caso{"ITF", ITF, bytes("0123456789"), "0123456789", "0123456789", "ITF"},
        Caso{"ITF_chave", ITF, bytes(kChave), kChave, kChave, "ITF"},
        Caso{"Codabar", CODABAR, bytes("A0123456789B"), "A0123456789B", "0123456789", "Codabar"},
        Caso{"Codabar_razao_2", CODABAR, bytes("C-$:/.+D"), "C-$:/.+D", "-$:/.+", "Codabar", 2},
        Caso{"Codabar_sem_extremos", CODABAR, bytes("40156"), "A40156A", "40156", "Codabar"},
        Caso{"Code93", CODE93, bytes("CODE 93"), "CODE 93", "CODE 93", "Code93"},
        Caso{"Code93_ascii_total", CODE93, bytes("Cupom n.o 12, total R$ 9,99!"), "Cupom n.o 12, total R$ 9,99!",
             "Cupom n.o 12, total R$ 9,99!", "Code93"},
        Caso{"Code128_chave_C", CODE128, chaveC(), kChave, kChave, "Code128"},
        Caso{"Code128_digitos_impares", CODE128, *valoresCode128ConjuntoC("1234567"), "1234567", "1234567", "Code128"},
        Caso{"Code128_20_caracteres", CODE128, texto128("PEDIDO-2024/0001-ABC"), "PEDIDO-2024/0001-ABC",
             "PEDIDO-2024/0001-ABC", "Code128"},
        // Set A with a shift to B for one lower-case letter: A a B.
        Caso{"Code128_A_shift", CODE128, {103, 33, 98, 65, 34}, "AaB", "AaB", "Code128"},
        // Set B with a shift to A for a tab: a <TAB> b.
        Caso{"Code128_B_shift", CODE128, {104, 65, 98, 73, 66}, "a\tb", "a\tb", "Code128"},
        // B "ab", code C "1234", code A, a CR, code B, "z".
        Caso{"Code128_trocas",
             CODE128,
             {104, 65, 66, 99, 12, 34, 101, 77, 100, 90},
             "ab1234\rz",
             "ab1234\rz",
             "Code128"},
        Caso{"Code128_texto_com_controles", CODE128, texto128("ab\tcd\r\nEF123456"), "ab\tcd\r\nEF123456",
             "ab\tcd\r\nEF123456", "Code128"}),
    [](const auto& info) { return std::string(info.param.nome); });

}  // namespace
