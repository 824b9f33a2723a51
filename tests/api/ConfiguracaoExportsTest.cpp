// Reading and changing "CONVERSOR.ini" through the exports, with the file text checked after each call.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "LibraryFixture.h"

namespace {

using rx457test::LibraryTest;
using Ler = int(const char*, const char*, char*, unsigned);
using Alterar = int(const char*, const char*, const char*);

class ConfiguracaoExports : public LibraryTest {
protected:
    void carregar(const std::string& texto) {
        writeIni(texto);
        abrir();
    }
    void abrir() {
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
    carregar(
        "[RX457]\nLARGURA_BOBINA = 56\n[BOBINA_56MM]\nCOLUNAS_TEXTO_CABECALHO = 30\n"
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

TEST_F(ConfiguracaoExports, ValuesTheFileCannotHoldAreRefusedBeforeAnythingIsWritten) {
    carregar("[RX457]\nCABECALHO = Loja Centro\nTIMEOUT = 7\n");
    const std::string antes = iniText();
    const char* const recusados[][2] = {{"CABECALHO", "Loja [Centro] Ltda"},
                                        {"CABECALHO", "x\n[EVIL]\n   PORTA = /dev/tty1"},
                                        {"CABECALHO", "x\ry"},
                                        {"TIMEOUT", "5\n[EVIL]"}};
    for (const auto& [chave, valor] : recusados) {
        EXPECT_EQ(alterar("RX457", chave, valor), 10) << valor;
        EXPECT_EQ(iniText(), antes) << valor;
    }
    // Brackets that cannot make a header are kept, and the rest of the section reads as before.
    EXPECT_EQ(alterar("RX457", "CABECALHO", "Loja ]Centro["), 0);
    abrir();
    EXPECT_EQ(lido("RX457", "CABECALHO"), "Loja ]Centro[");
    EXPECT_EQ(lido("RX457", "TIMEOUT"), "7");
}

// Things put in the file's place: loading the library and reloading before a fiscal document must
// return at once, read nothing and leave the thing as it was.
struct CasoHostil {
    const char* nome;
    void (*preparar)(const std::string& caminho);
};

class ArquivoHostil : public ConfiguracaoExports, public ::testing::WithParamInterface<CasoHostil> {
protected:
    void conferirIntacto(const struct stat& antes, const std::string& conteudo) {
        struct stat depois;
        ASSERT_EQ(::stat(iniPath().c_str(), &depois), 0);
        EXPECT_EQ(depois.st_ino, antes.st_ino);
        EXPECT_EQ(depois.st_mode, antes.st_mode);
        if (S_ISREG(antes.st_mode)) {
            EXPECT_TRUE(iniText() == conteudo) << "contents changed";
        }
    }
};

TEST_P(ArquivoHostil, NeitherHangsNorIsReplacedAtLoadOrReload) {
    GetParam().preparar(iniPath());
    struct stat antes;
    ASSERT_EQ(::stat(iniPath().c_str(), &antes), 0);
    const std::string conteudo = S_ISREG(antes.st_mode) ? iniText() : "";
    abrir();
    char valor[32];
    EXPECT_EQ(ler("RX457", "PORTA", valor, sizeof valor), 1);
    EXPECT_EQ(alterar("RX457", "PORTA", "/dev/ttyS1"), 1);
    conferirIntacto(antes, conteudo);

    unload();
    std::filesystem::remove_all(iniPath());
    carregar("[RX457]\nLARGURA_BOBINA = 56\n");
    std::filesystem::remove_all(iniPath());
    GetParam().preparar(iniPath());
    ASSERT_EQ(::stat(iniPath().c_str(), &antes), 0);
    auto fiscal = fn<int(const char*, void*, unsigned, int, int)>("VEX_ImprimirDocumentoFiscal");
    EXPECT_EQ(fiscal("nao fiscal", nullptr, 0, 0, 0), 8);
    conferirIntacto(antes, conteudo);
}

INSTANTIATE_TEST_SUITE_P(
    Arquivos, ArquivoHostil,
    ::testing::Values(CasoHostil{"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }},
                      CasoHostil{"directory", [](const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0755), 0); }},
                      CasoHostil{"two_mebibyte_line",
                                 [](const std::string& p) {
                                     rx457test::writeFile(p,
                                                          "[RX457]\nCABECALHO = " + std::string(2 << 20, 'x') + "\n");
                                 }}),
    [](const ::testing::TestParamInfo<CasoHostil>& i) { return std::string(i.param.nome); });

// Two host processes on one file, each changing its own key and reading it back after every change:
// neither may ever find its change undone by the other's rewrite.
TEST_F(ConfiguracaoExports, TwoProcessesChangingDifferentKeysLoseNothing) {
    carregar("");
    const char* const chaves[] = {"CABECALHO", "TABULACAO"};
    pid_t filhos[2];
    for (int k = 0; k < 2; ++k) {
        filhos[k] = ::fork();
        ASSERT_GE(filhos[k], 0);
        if (filhos[k] != 0) continue;
        char esperado[32], atual[64];
        for (int i = 0; i < 150; ++i) {
            std::snprintf(esperado, sizeof esperado, "%c%d", 'a' + k, i);
            if (alterar("RX457", chaves[k], esperado) != 0) ::_exit(1);
            if (ler("RX457", chaves[k], atual, sizeof atual) != 0 || std::strcmp(atual, esperado) != 0) ::_exit(2);
        }
        ::_exit(0);
    }
    for (pid_t filho : filhos) {
        int estado = -1;
        ASSERT_EQ(::waitpid(filho, &estado, 0), filho);
        EXPECT_TRUE(WIFEXITED(estado) && WEXITSTATUS(estado) == 0) << "status " << estado;
    }
    EXPECT_EQ(lido("RX457", "CABECALHO"), "a149");
    EXPECT_EQ(lido("RX457", "TABULACAO"), "b149");
}

}  // namespace
