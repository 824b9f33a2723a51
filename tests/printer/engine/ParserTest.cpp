// The ESC/POS stream parser: command forms that must mean the same, what reaches the printer,
// macros, and hostile data blocks that must be consumed without being kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Bancada.h"
#include "TestSupport.h"

using namespace rx457engine;

namespace {

std::string esc(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s += static_cast<char>(v);
    return s;
}

TEST(Parser, FormasEquivalentesRenderizamIgual) {
    struct Caso {
        const char* descricao;
        std::string a, b;
    };
    const Caso casos[] = {
        {"alinhamento '2' e 2", esc({0x1B, 0x61, 0x32}) + "X\n", esc({0x1B, 0x61, 0x02}) + "X\n"},
        {"fonte '1' e 1", esc({0x1B, 0x4D, 0x31}) + "Xy\n", esc({0x1B, 0x4D, 0x01}) + "Xy\n"},
        {"ESC sozinho seguido de Z", esc({0x1B}) + "ZA\n", "A\n"},
        {"corte com argumento invalido", "A\n" + esc({0x1D, 0x56, 0x41}) + "B\n", "A\nB\n"},
        {"comando desconhecido", esc({0x1B, 0x7E, 0x01}) + "A\n", esc({0x01}) + "A\n"},
        {"sublinhado '1' e 1", esc({0x1B, 0x2D, 0x31}) + "ab\n", esc({0x1B, 0x2D, 0x01}) + "ab\n"},
        {"HRI e dispositivo nao desenham", esc({0x1D, 0x48, 2, 0x1B, 0x3D, 1}) + "A\n", "A\n"},
        {"unidade zero vale a resolucao", esc({0x1D, 0x50, 0, 0, 0x1B, 0x24, 90, 0}) + "A\n",
         esc({0x1B, 0x24, 90, 0}) + "A\n"},
        {"posicao absoluta em unidades", esc({0x1D, 0x50, 90, 90, 0x1B, 0x24, 45, 0}) + "A\n",
         esc({0x1B, 0x24, 90, 0}) + "A\n"},
        {"margem esquerda", esc({0x1D, 0x4C, 100, 0}) + "A\n", esc({0x1B, 0x24, 100, 0}) + "A\n"},
        {"tabela desconhecida mantem a atual", esc({0x1B, 0x74, 99}) + "\xE7\n", "\xE7\n"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        const std::string a = capturar(c.a), b = capturar(c.b);
        EXPECT_TRUE(a == b);
        EXPECT_GT(pontosPretos(a), 0);
    }
}

TEST(Parser, NegritoDesenhaMaisPontosEAvancaUmaLinha) {
    const std::string negrito = capturar(esc({0x1B, 0x45, 0x01}) + "A\n");
    const std::string normal = capturar("A\n");
    EXPECT_GT(pontosPretos(negrito), pontosPretos(normal));
    EXPECT_EQ(alturaBMP(negrito), Ordal::Printer::descritorFonte(0).altura);
}

TEST(Parser, CorteEGavetaChegamAImpressora) {
    struct Caso {
        std::string fluxo;
        std::vector<int> cortes;
    };
    const Caso casos[] = {
        {esc({0x1D, 0x56, 0x30}), {4}}, {esc({0x1D, 0x56, 0x31}), {8}}, {esc({0x1D, 0x56, 0x41}), {}}};
    for (const Caso& c : casos) {
        Bancada b;
        const int linha = b.motor.linhaEscrita();
        b.enviar(c.fluxo);
        EXPECT_EQ(b.destino.cortes, c.cortes);
        // The cut feeds the short feed of the printer in the ring first.
        if (!c.cortes.empty()) {
            EXPECT_EQ(b.motor.linhaEscrita() - linha, b.destino.avancoCurto);
        }
    }
    Bancada b;
    b.enviar(esc({0x1B, 0x70, 0, 25, 125}));
    ASSERT_EQ(b.destino.gavetas.size(), 1u);
    // Re-encoding by the printer halves the times again: the printer gets the original bytes.
    EXPECT_EQ(b.destino.gavetas[0], (std::array<int, 3>{0, 50, 250}));
}

TEST(Parser, FuncoesDoSimbolo2D) {
    Bancada b;
    b.enviar(esc({0x1D, 0x28, 0x6B, 3, 0, 0x31, 0x45, 0x33}));
    EXPECT_EQ(b.motor.qrcode.nivelCorrecao, 3);
    b.enviar(esc({0x1D, 0x28, 0x6B, 3, 0, 0x31, 0x43, 0x05}));
    EXPECT_EQ(b.motor.qrcode.tamanhoModulo, 5u);
    b.enviar(esc({0x1D, 0x28, 0x6B, 4, 0, 0x31, 0x41, 0x31, 0}));
    EXPECT_EQ(b.motor.qrcode.modelo, 0);
    b.enviar(esc({0x1D, 0x28, 0x6B, 6, 0, 0x31, 0x50, 0x30}) + "abc");
    EXPECT_EQ(b.motor.qrcode.dados, "abc");
    // A PDF417 function (cn '0') is not taken for a QR one.
    b.enviar(esc({0x1D, 0x28, 0x6B, 3, 0, 0x30, 0x45, 0x31}));
    EXPECT_EQ(b.motor.qrcode.nivelCorrecao, 3);
}

TEST(Parser, QRCodeEhDesenhadoNoAnel) {
    const std::string qr = esc({0x1D, 0x28, 0x6B, 3, 0, 0x31, 0x43, 4}) +
                           esc({0x1D, 0x28, 0x6B, 14, 0, 0x31, 0x50, 0x30}) + "12345678901" +
                           esc({0x1D, 0x28, 0x6B, 3, 0, 0x31, 0x51, 0x30});
    const std::string bmp = capturar(qr);
    // Version 1 (21 modules) at 4 dots per module, with 16 dots fed before and after.
    EXPECT_EQ(alturaBMP(bmp), 21 * 4 + 2 * 16);
    EXPECT_GT(pontosPretos(bmp), 21 * 21 * 16 / 3);
}

TEST(Parser, MacroSoImprimeAoSerExecutada) {
    Bancada b;
    std::stringstream fluxo(std::ios::in | std::ios::out | std::ios::binary);
    b.motor.obterImagem(fluxo);
    b.enviar(esc({0x1D, 0x3A}) + "AB" + esc({0x1D, 0x3A}));
    EXPECT_FALSE(b.motor.gravandoMacro());
    EXPECT_EQ(b.motor.macroGravada(), "AB");
    EXPECT_EQ(b.motor.celulasPendentes(), 0);
    b.enviar(esc({0x1D, 0x5E, 1, 0, 0}) + "\n");
    b.motor.limparImagem();
    EXPECT_TRUE(fluxo.str() == capturar("AB\n"));
}

TEST(Parser, MacroTerminadaPorExecucaoOuCancelamento) {
    Bancada b;
    b.enviar(esc({0x1D, 0x3A}) + "X" + esc({0x1D, 0x5E, 1, 0, 0}));
    EXPECT_FALSE(b.motor.gravandoMacro());
    EXPECT_EQ(b.motor.macroGravada(), "X");
    EXPECT_EQ(b.motor.celulasPendentes(), 1);  // replayed once, not recursively
    b.enviar(esc({0x1D, 0x3A}) + "Y\n" + esc({0x18}));
    EXPECT_FALSE(b.motor.gravandoMacro());
    EXPECT_EQ(b.motor.macroGravada(), "Y\n");
}

TEST(Parser, MacroComBlocoDeDadosGravaOBlocoSemAgir) {
    Bancada b;
    const std::string imagem = esc({0x1D, 0x76, 0x30, 0, 1, 0, 2, 0, 0x0A, 0x1D});
    b.enviar(esc({0x1D, 0x3A}) + imagem + esc({0x1D, 0x3A}));
    EXPECT_EQ(b.motor.macroGravada(), imagem);
    EXPECT_EQ(b.motor.linhaEscrita(), 0);
    b.enviar(esc({0x1D, 0x5E, 1, 0, 0}));
    EXPECT_EQ(b.motor.linhaEscrita(), 2);
}

TEST(Parser, MacroParaDeCrescerEm64KiB) {
    Bancada b;
    b.enviar(esc({0x1D, 0x3A}) + std::string(70000, 'M') + esc({0x1D, 0x3A}));
    EXPECT_FALSE(b.motor.gravandoMacro());
    EXPECT_EQ(b.motor.macroGravada().size(), Engine::kMaximoMacro);
}

TEST(Parser, BlocosHostisSaoConsumidosSemSeremGuardados) {
    struct Caso {
        const char* descricao;
        std::string fluxo;
    };
    std::vector<Caso> casos = {
        {"simbolo 2D acima de 8192", esc({0x1D, 0x28, 0x6B, 0x01, 0x40}) + std::string(0x4001, 'A')},
        {"simbolo 2D abaixo de 3", esc({0x1D, 0x28, 0x6B, 2, 0}) + "AA"},
        {"imagem NV alta demais", esc({0x1C, 0x71, 1, 1, 0, 0x40, 0x02}) + std::string(1 * 0x240 * 8, 'A')},
        {"imagem NV numero invalido", esc({0x1C, 0x71, 9, 2, 0, 1, 0}) + std::string(16, 'A')},
        {"caracteres de 8 linhas", esc({0x1B, 0x26, 1, 'A', 'C'}) + std::string(3 * 9, 'A')},
        {"raster modo invalido", esc({0x1D, 0x76, 0x30, 7, 2, 0, 3, 0}) + std::string(6, 'A')},
        {"codigo de barras", esc({0x1D, 0x6B, 0x49, 5}) + "AAAAA"},
    };
    const std::string referencia = capturar("Z\n");
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.descricao);
        Bancada b;
        const std::string bmp = b.capturar(c.fluxo + "Z\n");
        EXPECT_TRUE(bmp == referencia);
    }
}

TEST(Parser, ImagemNVMaisLargaQueALinhaEhCortada) {
    Bancada b;
    // 80 bytes (640 dots) by 8 rows, every byte 0xFF; printed it fills the 512-dot line.
    b.enviar(esc({0x1C, 0x71, 2, 80, 0, 1, 0}) + std::string(80 * 8, '\xFF'));
    const std::string bmp = b.capturar(esc({0x1C, 0x70, 2, 0}));
    EXPECT_EQ(alturaBMP(bmp), 8);
    EXPECT_EQ(pontosPretos(bmp), 512 * 8);
    // Slot 8 does not exist.
    b.enviar(esc({0x1C, 0x71, 8, 1, 0, 1, 0}) + std::string(8, '\xFF'));
    EXPECT_EQ(alturaBMP(b.capturar(esc({0x1C, 0x70, 8, 0}))), 0);
}

TEST(Parser, CaractereDefinidoSoComCaracteresDoUsuarioLigados) {
    Bancada b;
    b.enviar(esc({0x1B, 0x26, 3, '~', '~'}) + std::string(27, '\xFF'));  // 126: accepted, not stored
    b.enviar(esc({0x1B, 0x26, 3, 'B', 'B'}) + std::string(27, '\xFF'));
    const std::string desligado = b.capturar("B\n");
    EXPECT_TRUE(desligado == capturar("B\n"));
    const std::string ligado = b.capturar(esc({0x1B, 0x25, 1}) + "B\n");
    EXPECT_EQ(pontosPretos(ligado), 9 * Ordal::Printer::descritorFonte(0).altura);
    EXPECT_TRUE(b.capturar(esc({0x1B, 0x25, 1}) + "~\n") == capturar("~\n"));
}

TEST(Parser, EntradasDeRegressaoDoFuzzer) {
    namespace fs = std::filesystem;
    const fs::path pasta(FUZZ_REGRESSIONS_DIR);
    if (!fs::exists(pasta)) GTEST_SKIP() << "no regression inputs";
    int n = 0;
    for (const auto& f : fs::directory_iterator(pasta)) {
        if (!f.is_regular_file()) continue;
        SCOPED_TRACE(f.path().string());
        const auto bytes = rx457test::readBytes(f.path().string());
        Bancada b;
        b.capturar(std::string(bytes.begin(), bytes.end()));
        EXPECT_TRUE(b.motor.engineRunning());
        ++n;
    }
    RecordProperty("entradas", n);
}

}  // namespace
