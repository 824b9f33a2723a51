// Reading and changing "CONVERSOR.ini" through the exports, with the file text checked after each call.
#include <cstring>

#include "LibraryFixture.h"

namespace {

using rx457test::LibraryTest;
using Ler = int(const char*, const char*, char*, unsigned);
using Alterar = int(const char*, const char*, const char*);

class ConfiguracaoExports : public LibraryTest {
protected:
    void carregar(const std::string& texto) {
        writeIni(texto);
        load();
        ler = fn<Ler>("VEX_LerParametroConfiguracaoVEX");
        alterar = fn<Alterar>("VEX_AlterarParametroConfiguracaoVEX");
    }
    std::string lido(const char* secao, const char* chave) {
        char valor[256];
        EXPECT_EQ(ler(secao, chave, valor, sizeof valor), 0) << secao << "/" << chave;
        return valor;
    }
    Ler* ler = nullptr;
    Alterar* alterar = nullptr;
};

TEST_F(ConfiguracaoExports, EmptyFileIsCompletedAtLoad) {
    carregar("");
    EXPECT_EQ(iniText(), rx457test::readFile(CONFIG_DATA_DIR "/CONVERSOR-padrao.ini"));
}

TEST_F(ConfiguracaoExports, WithoutAFileEveryKeyIsNotFound) {
    load();
    ler = fn<Ler>("VEX_LerParametroConfiguracaoVEX");
    alterar = fn<Alterar>("VEX_AlterarParametroConfiguracaoVEX");
    char valor[32];
    EXPECT_EQ(ler("RX457", "PORTA", valor, sizeof valor), 1);
    EXPECT_EQ(alterar("RX457", "PORTA", "/dev/ttyS0"), 1);
    EXPECT_FALSE(rx457test::fileExists(iniPath()));
}

TEST_F(ConfiguracaoExports, ArgumentsAreCheckedBeforeAnythingHappens) {
    carregar("");
    const std::string antes = iniText();
    char valor[32];
    EXPECT_EQ(ler(nullptr, "PORTA", valor, sizeof valor), 3);
    EXPECT_EQ(ler("RX457", nullptr, valor, sizeof valor), 3);
    EXPECT_EQ(ler("RX457", "PORTA", nullptr, 10), 3);
    EXPECT_EQ(alterar(nullptr, "PORTA", "x"), 3);
    EXPECT_EQ(alterar("RX457", nullptr, "x"), 3);
    EXPECT_EQ(alterar("RX457", "PORTA", nullptr), 3);
    EXPECT_EQ(iniText(), antes);
}

TEST_F(ConfiguracaoExports, ReadReturnsTheTextAsWrittenAndChecksTheBuffer) {
    carregar("[RX457]\nVELOCIDADE = 12345\nCABECALHO = 123456789012345678901234567890\n");
    EXPECT_EQ(lido("RX457", "VELOCIDADE"), "12345");
    char valor[31];
    EXPECT_EQ(ler("RX457", "CABECALHO", valor, 30), 14);
    EXPECT_EQ(ler("RX457", "CABECALHO", valor, 31), 0);
    EXPECT_STREQ(valor, "123456789012345678901234567890");
    EXPECT_EQ(ler("RX457", "NAO_EXISTE", valor, 31), 1);
    EXPECT_EQ(ler("NAO_EXISTE", "PORTA", valor, 31), 1);
}

TEST_F(ConfiguracaoExports, PaperSectionAliasFollowsThePaperWidth) {
    carregar("[RX457]\nLARGURA_BOBINA = 56\n[BOBINA_56MM]\nCOLUNAS_TEXTO_CABECALHO = 30\n"
             "[BOBINA_80MM]\nCOLUNAS_TEXTO_CABECALHO = 50\n");
    EXPECT_EQ(lido("BOBINA_XXMM", "COLUNAS_TEXTO_CABECALHO"), "30");
    EXPECT_EQ(alterar("BOBINA_XXMM", "COLUNAS_TEXTO_CABECALHO", "31"), 0);
    EXPECT_EQ(lido("BOBINA_56MM", "COLUNAS_TEXTO_CABECALHO"), "31");
    EXPECT_EQ(lido("BOBINA_80MM", "COLUNAS_TEXTO_CABECALHO"), "50");
    EXPECT_EQ(alterar("RX457", "LARGURA_BOBINA", "80"), 0);
    EXPECT_EQ(lido("BOBINA_XXMM", "COLUNAS_TEXTO_CABECALHO"), "50");
}

// Files of older installations name the model section "ORVEX"; either name reaches the section that
// exists. (A load appends a "RX457" section with the required keys, so both may exist.)
TEST_F(ConfiguracaoExports, ModelSectionAnswersToBothNames) {
    carregar("[ORVEX]\nPORTA = /dev/ttyACM0\n");
    EXPECT_EQ(lido("ORVEX", "PORTA"), "/dev/ttyACM0");
    EXPECT_EQ(lido("RX457", "PORTA"), "");
    unload();
    carregar("[RX457]\nPORTA = /dev/ttyACM1\n");
    EXPECT_EQ(lido("ORVEX", "PORTA"), "/dev/ttyACM1");
    EXPECT_EQ(alterar("ORVEX", "PORTA", "/dev/ttyACM2"), 0);
    EXPECT_EQ(lido("RX457", "PORTA"), "/dev/ttyACM2");
}

TEST_F(ConfiguracaoExports, ChangeCodesAndTheFileAfterwards) {
    carregar("");
    EXPECT_EQ(alterar("RX457", "PORTA", "/dev/ttyUSB0"), 0);
    EXPECT_NE(iniText().find("   PORTA = /dev/ttyUSB0\n"), std::string::npos);

    EXPECT_EQ(alterar("RX457", "VELOCIDADE", "1200"), 10);
    EXPECT_NE(iniText().find("   VELOCIDADE = 115200\n"), std::string::npos);

    EXPECT_EQ(alterar("RX457", "INEXISTENTE", "1"), 1);
    EXPECT_EQ(alterar("SECAO_NOVA", "PORTA", "1"), 1);

    const std::string antes = iniText();
    EXPECT_EQ(alterar("RX457", "PORTA", "/dev/ttyUSB0"), 0);
    EXPECT_EQ(iniText(), antes);
}

TEST_F(ConfiguracaoExports, KeyOfTwoSectionsChangesOnlyInTheNamedOne) {
    carregar("");
    EXPECT_EQ(alterar("SAT", "FORCAR_QUEBRA_LINHA", "0"), 0);
    EXPECT_EQ(lido("SAT", "FORCAR_QUEBRA_LINHA"), "0");
    EXPECT_EQ(lido("NFCE", "FORCAR_QUEBRA_LINHA"), "0");
    EXPECT_EQ(alterar("NFCE", "FORCAR_QUEBRA_LINHA", "SIM"), 10) << "the file gets 1, not the text asked for";
    EXPECT_EQ(lido("NFCE", "FORCAR_QUEBRA_LINHA"), "1");
    EXPECT_EQ(lido("SAT", "FORCAR_QUEBRA_LINHA"), "0");
}

}  // namespace
