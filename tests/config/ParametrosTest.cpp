// The library's own parameter table: defaults, the file it completes, layout selection, logo fallback.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "TestSupport.h"
#include "config/Parametros.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n);

namespace {

using ORDAL_VEX::Configuracao;
using rx457test::readFile;
using rx457test::TempDir;
using rx457test::writeFile;

TEST(Parametros, EmptyFileBecomesTheDocumentedDefaultFile) {
    TempDir dir;
    writeFile(dir.file("CONVERSOR.ini"), "");
    Configuracao c(dir.file("CONVERSOR.ini"));
    EXPECT_EQ(readFile(dir.file("CONVERSOR.ini")), readFile(TEST_DATA_DIR "/CONVERSOR-padrao.ini"));
    EXPECT_EQ(c.velocidade, 115200);
    EXPECT_EQ(c.metodoDeComunicacao, ORDAL_VEX::SERIAL);
    EXPECT_EQ(c.simboloMoeda, "R$");
    EXPECT_EQ(c.fontePadrao, 9);
    EXPECT_EQ(c.colunasTextoCabecalho, 40);
}

TEST(Parametros, NoFileLeavesDefaults) {
    TempDir dir;
    Configuracao c(dir.file("CONVERSOR.ini"));
    EXPECT_EQ(c.larguraBobina, 80);
    EXPECT_EQ(c.timeout, 30000);
    EXPECT_FALSE(c.compactarRaster);
    EXPECT_TRUE(c.satForcarQuebraLinha);
    EXPECT_FALSE(c.nfceForcarQuebraLinha);
    EXPECT_EQ(c.colunasTextoCabecalho, 40);
    EXPECT_FALSE(rx457test::fileExists(dir.file("CONVERSOR.ini")));
}

struct CasoLargura {
    const char* valor;
    int largura;
    int colunas;  // of the layout in effect
};

class LarguraBobina : public ::testing::TestWithParam<CasoLargura> {};

TEST_P(LarguraBobina, SelectsTheLayoutOfThePaper) {
    TempDir dir;
    writeFile(dir.file("CONVERSOR.ini"), std::string("[RX457]\nLARGURA_BOBINA=") + GetParam().valor +
                                             "\n[BOBINA_56MM]\nCOLUNAS_TEXTO_CABECALHO=30\n"
                                             "[BOBINA_80MM]\nCOLUNAS_TEXTO_CABECALHO=50\n");
    Configuracao c(dir.file("CONVERSOR.ini"));
    EXPECT_EQ(c.larguraBobina, GetParam().largura);
    EXPECT_EQ(c.colunasTextoCabecalho, GetParam().colunas);
}

INSTANTIATE_TEST_SUITE_P(Valores, LarguraBobina,
                         ::testing::Values(CasoLargura{"56", 56, 30}, CasoLargura{"57", 57, 50},
                                           CasoLargura{"121", 80, 50}, CasoLargura{"55", 80, 50}),
                         [](const ::testing::TestParamInfo<CasoLargura>& i) {
                             return std::string("largura_") + i.param.valor;
                         });

TEST(Parametros, LayoutFollowsAChangeOfPaperWidth) {
    TempDir dir;
    writeFile(dir.file("CONVERSOR.ini"), "");
    Configuracao c(dir.file("CONVERSOR.ini"));
    EXPECT_EQ(c.colunasTextoCabecalho, 40);
    EXPECT_TRUE(c.alterarValor("RX457", "LARGURA_BOBINA", "56"));
    EXPECT_EQ(c.colunasTextoCabecalho, 26);
}

TEST(Parametros, InvalidValuesFallBackToDefaults) {
    TempDir dir;
    writeFile(dir.file("CONVERSOR.ini"),
              "[RX457]\nVELOCIDADE = 12345\nMETODO_DE_COMUNICACAO = 1\nTAMANHO_QRCODE = 17\n"
              "[BOBINA_56MM]\nFONTE_PADRAO = 12\n[BOBINA_80MM]\nFONTE_PADRAO = 12\n");
    Configuracao c(dir.file("CONVERSOR.ini"));
    EXPECT_EQ(c.velocidade, 115200);
    EXPECT_EQ(c.metodoDeComunicacao, ORDAL_VEX::USB);
    EXPECT_EQ(c.tamanhoQRCode, 3);
    EXPECT_EQ(c.bobina56.fontePadrao, 9);
    EXPECT_EQ(c.bobina80.fontePadrao, 12);
}

TEST(Parametros, OlderLogoKeyStandsInAndSuppressesTheNewKeys) {
    TempDir dir;
    writeFile(dir.file("CONVERSOR.ini"),
              "[RX457]\nPATH_LOGO_XML = /opt/loja/logo.bmp\n"
              "[BOBINA_80MM]\nARQUIVO_IMAGEM_LOGOMARCA = grande.bmp\n");
    Configuracao c(dir.file("CONVERSOR.ini"));
    EXPECT_EQ(c.bobina56.arquivoImagemLogomarca, "/opt/loja/logo.bmp");
    EXPECT_EQ(c.bobina80.arquivoImagemLogomarca, "grande.bmp");
    const std::string texto = readFile(dir.file("CONVERSOR.ini"));
    const size_t inicio56 = texto.find("[BOBINA_56MM]");
    ASSERT_NE(inicio56, std::string::npos);
    const std::string secao56 = texto.substr(inicio56, texto.find('[', inicio56 + 1) - inicio56);
    EXPECT_EQ(secao56.find("ARQUIVO_IMAGEM_LOGOMARCA"), std::string::npos)
        << "the 56 mm section must not gain the key while PATH_LOGO_XML exists";
    EXPECT_EQ(texto.find("PATH_LOGO_XML"), texto.rfind("PATH_LOGO_XML"));

    // A change of another key keeps the fallback in memory.
    EXPECT_TRUE(c.alterarValor("BOBINA_56MM", "FONTE_PADRAO", "10"));
    EXPECT_EQ(c.bobina56.arquivoImagemLogomarca, "/opt/loja/logo.bmp");
}

// Inputs kept from the configuration fuzzer, replayed through its own checks (a broken promise traps).
TEST(Parametros, FuzzRegressionsReplay) {
    namespace fs = std::filesystem;
    const fs::path pasta(FUZZ_REGRESSIONS_DIR);
    if (!fs::exists(pasta)) GTEST_SKIP() << "no regression inputs";
    int n = 0;
    for (const auto& f : fs::directory_iterator(pasta)) {
        if (!f.is_regular_file()) continue;
        SCOPED_TRACE(f.path().string());
        const auto bytes = rx457test::readBytes(f.path().string());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        ++n;
    }
    RecordProperty("entradas", n);
}

}  // namespace
