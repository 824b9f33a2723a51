// The INI engine's rules, on a small table of its own, against files as people edit them by hand.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "config/ArquivoINI.h"

namespace {

struct Teste {
    int numero = -1;
    int velocidade = -1;
    bool ligado = false;
    std::string texto = "?";
    std::string opcional = "?";
    int numeroB = -1;
};

}  // namespace

namespace Misc::ArquivoINI {
template <>
void INIFile<Teste>::tabela() {
    static const std::vector<int> velocidades{9600, 115200};
    secao("A");
    chave("NUMERO", numero, 5, 0, 10, true);
    chave("VELOCIDADE", velocidade, 115200, velocidades, true);
    chave("LIGADO", ligado, true, true);
    chave("TEXTO", texto, "abc", true);
    chave("OPCIONAL", opcional, "", false);
    secao("B");
    chave("NUMERO", numeroB, 7, 0, 10, true);
}
}  // namespace Misc::ArquivoINI

namespace {

using rx457test::readFile;
using rx457test::TempDir;
using rx457test::writeFile;
using Arquivo = Misc::ArquivoINI::INIFile<Teste>;

const char* const kCompleto =
    "\n[A]\n   NUMERO = 5\n   VELOCIDADE = 115200\n   LIGADO = 1\n   TEXTO = abc\n"
    "\n[B]\n   NUMERO = 7\n";

TEST(ArquivoINI, MissingFileKeepsConstructorValuesAndCreatesNothing) {
    TempDir dir;
    Arquivo ini(dir.file("x.ini"));
    EXPECT_EQ(ini.numero, -1);
    EXPECT_EQ(ini.texto, "?");
    EXPECT_FALSE(rx457test::fileExists(dir.file("x.ini")));
    std::string v = "sujo";
    EXPECT_FALSE(ini.lerValor("A", "NUMERO", v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(ini.alterarValor("A", "NUMERO", "3"));
    EXPECT_FALSE(rx457test::fileExists(dir.file("x.ini")));
}

TEST(ArquivoINI, EmptyFileGainsEveryRequiredKeyInTableOrder) {
    TempDir dir;
    writeFile(dir.file("x.ini"), "");
    Arquivo ini(dir.file("x.ini"));
    EXPECT_EQ(readFile(dir.file("x.ini")), kCompleto);
    EXPECT_EQ(ini.numero, 5);
    EXPECT_EQ(ini.numeroB, 7);
    EXPECT_TRUE(ini.ligado);
    EXPECT_EQ(ini.opcional, "");
}

// Hand-edited files: each row is the file text and the values the load must give.
struct CasoCarga {
    const char* nome;
    const char* arquivo;
    int numero;
    int velocidade;
    bool ligado;
    const char* texto;
    int numeroB;
};

class CargaManual : public ::testing::TestWithParam<CasoCarga> {};

TEST_P(CargaManual, ReadsWhatAPersonWrote) {
    const CasoCarga& c = GetParam();
    TempDir dir;
    writeFile(dir.file("x.ini"), c.arquivo);
    Arquivo ini(dir.file("x.ini"));
    EXPECT_EQ(ini.numero, c.numero);
    EXPECT_EQ(ini.velocidade, c.velocidade);
    EXPECT_EQ(ini.ligado, c.ligado);
    EXPECT_EQ(ini.texto, c.texto);
    EXPECT_EQ(ini.numeroB, c.numeroB);
}

INSTANTIATE_TEST_SUITE_P(
    Arquivos, CargaManual,
    ::testing::Values(
        CasoCarga{"lower_case_names", "[a]\nnumero=3\nvelocidade=9600\nligado=nao\ntexto=x y\n[b]\nNumero=4\n", 3, 9600,
                  false, "x y", 4},
        CasoCarga{"trailing_blanks_and_tabs", "[A]\nNUMERO = 8 \t\nTEXTO =\t dois  \t\n[B]\nNUMERO=1\t\n", 8, 115200,
                  true, "dois", 1},
        CasoCarga{"crlf_line_ends", "[A]\r\nNUMERO=2\r\nLIGADO=FALSE\r\nTEXTO=z\r\n[B]\r\nNUMERO=9\r\n", 2, 115200,
                  false, "z", 9},
        CasoCarga{"out_of_range_and_wrong_type", "[A]\nNUMERO=11\nVELOCIDADE=12345\nLIGADO=2\n[B]\nNUMERO=abc\n", 5,
                  115200, true, "abc", 7},
        CasoCarga{"bool_words_in_mixed_case", "[A]\nLIGADO=Sim\n", 5, 115200, true, "abc", 7},
        CasoCarga{"bool_true_word", "[A]\nLIGADO=true\n", 5, 115200, true, "abc", 7},
        CasoCarga{"null_string_is_empty", "[A]\nTEXTO=null\n", 5, 115200, true, "", 7},
        CasoCarga{"value_with_space_after_equals_is_empty", "[A]\nTEXTO= \n", 5, 115200, true, "", 7},
        CasoCarga{"key_ending_at_equals_is_ignored", "[A]\nTEXTO=\n", 5, 115200, true, "abc", 7},
        CasoCarga{"key_outside_its_section_is_not_read", "[B]\nTEXTO=fora\n[A]\n", 5, 115200, true, "abc", 7}),
    [](const ::testing::TestParamInfo<CasoCarga>& i) { return std::string(i.param.nome); });

TEST(ArquivoINI, BadValuesStayInTheFileAfterALoad) {
    TempDir dir;
    const std::string texto = std::string(kCompleto).replace(std::string(kCompleto).find("= 5"), 3, "= 99");
    writeFile(dir.file("x.ini"), texto);
    Arquivo ini(dir.file("x.ini"));
    EXPECT_EQ(ini.numero, 5);
    EXPECT_EQ(readFile(dir.file("x.ini")), texto);
}

TEST(ArquivoINI, CommentSurvivesLoadsAndVanishesAtTheFirstRewrite) {
    TempDir dir;
    const std::string comentado = std::string("; configuracao da loja\n") + kCompleto;
    writeFile(dir.file("x.ini"), comentado);
    Arquivo ini(dir.file("x.ini"));
    ini.carregar();
    EXPECT_EQ(readFile(dir.file("x.ini")), comentado);
    EXPECT_TRUE(ini.alterarValor("A", "NUMERO", "6"));
    const std::string depois = readFile(dir.file("x.ini"));
    EXPECT_EQ(depois.find("configuracao"), std::string::npos);
    EXPECT_NE(depois.find("   NUMERO = 6\n"), std::string::npos);
    EXPECT_EQ(ini.numero, 6);
}

TEST(ArquivoINI, KeyWithoutSpacesIsRewrittenInTheStandardForm) {
    TempDir dir;
    writeFile(dir.file("x.ini"), "[A]\nNUMERO=1\nVELOCIDADE=9600\nLIGADO=1\nTEXTO=t\n[B]\nNUMERO=2\n");
    Arquivo ini(dir.file("x.ini"));
    EXPECT_TRUE(ini.alterarValor("A", "TEXTO", "u"));
    EXPECT_EQ(readFile(dir.file("x.ini")),
              "\n[A]\n   NUMERO = 1\n   VELOCIDADE = 9600\n   LIGADO = 1\n   TEXTO = u\n\n[B]\n   NUMERO = 2\n");
}

TEST(ArquivoINI, KeyDeclaredInTwoSectionsChangesOnlyInTheOneAsked) {
    TempDir dir;
    writeFile(dir.file("x.ini"), kCompleto);
    Arquivo ini(dir.file("x.ini"));
    EXPECT_TRUE(ini.alterarValor("b", "numero", "3"));
    EXPECT_EQ(ini.numeroB, 3);
    EXPECT_EQ(ini.numero, 5);
    std::string v;
    EXPECT_TRUE(ini.lerValor("A", "NUMERO", v));
    EXPECT_EQ(v, "5");
    EXPECT_TRUE(ini.lerValor("B", "NUMERO", v));
    EXPECT_EQ(v, "3");
}

TEST(ArquivoINI, ChangingToTheSameValueDoesNotTouchTheFile) {
    TempDir dir;
    const std::string original = std::string("# nota\n") + kCompleto;
    writeFile(dir.file("x.ini"), original);
    Arquivo ini(dir.file("x.ini"));
    EXPECT_TRUE(ini.alterarValor("A", "NUMERO", "5"));
    EXPECT_EQ(readFile(dir.file("x.ini")), original);
}

TEST(ArquivoINI, RejectedChangeRewritesTheValueInEffect) {
    TempDir dir;
    writeFile(dir.file("x.ini"), kCompleto);
    Arquivo ini(dir.file("x.ini"));
    EXPECT_FALSE(ini.alterarValor("A", "VELOCIDADE", "1200"));
    EXPECT_EQ(ini.velocidade, 115200);
    EXPECT_NE(readFile(dir.file("x.ini")).find("   VELOCIDADE = 115200\n"), std::string::npos);
    EXPECT_FALSE(ini.alterarValor("A", "INEXISTENTE", "1"));
    EXPECT_FALSE(ini.alterarValor("C", "NUMERO", "1"));
}

TEST(ArquivoINI, UndeclaredKeysCanBeReadButNotChanged) {
    TempDir dir;
    writeFile(dir.file("x.ini"), std::string(kCompleto) + "\n[EXTRA]\n  COR = azul  \n");
    Arquivo ini(dir.file("x.ini"));
    std::string v;
    EXPECT_TRUE(ini.lerValor("EXTRA", "COR", v));
    EXPECT_EQ(v, "azul");
    EXPECT_TRUE(ini.existeSecao("extra"));
    EXPECT_FALSE(ini.existeSecao("OUTRA"));
    EXPECT_FALSE(ini.alterarValor("EXTRA", "COR", "verde"));
    EXPECT_TRUE(ini.lerValor("EXTRA", "COR", v));
    EXPECT_EQ(v, "azul");
}

TEST(ArquivoINI, SaveWritesCurrentValuesAndKeepsPermissionsAndOwner) {
    TempDir dir;
    writeFile(dir.file("x.ini"), kCompleto);
    ::chmod(dir.file("x.ini").c_str(), 0640);
    // Root rewriting a shop user's file must not leave it owned by root.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(dir.file("x.ini").c_str(), 4321, 4322), 0);
    }
    Arquivo ini(dir.file("x.ini"));
    ini.numero = 9;
    ini.texto = "novo";
    EXPECT_TRUE(ini.salvar());
    Arquivo relido(dir.file("x.ini"));
    EXPECT_EQ(relido.numero, 9);
    EXPECT_EQ(relido.texto, "novo");
    struct stat st;
    ASSERT_EQ(::stat(dir.file("x.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
}

// Values through a change: each row is a value and whether the file can hold it. A refused value
// must leave the file byte for byte and the variable as they were; an accepted one must read back
// as exactly that value.
struct CasoValor {
    const char* nome;
    const char* chave;
    std::string valor;
    bool aceito;
};

class ValorAlterado : public ::testing::TestWithParam<CasoValor> {};

TEST_P(ValorAlterado, IsRefusedOrReadsBackTheSame) {
    const CasoValor& c = GetParam();
    TempDir dir;
    writeFile(dir.file("x.ini"), kCompleto);
    Arquivo ini(dir.file("x.ini"));
    EXPECT_EQ(ini.alterarValor("A", c.chave, c.valor.c_str()), c.aceito);
    if (!c.aceito) {
        EXPECT_EQ(readFile(dir.file("x.ini")), kCompleto);
        EXPECT_EQ(ini.numero, 5);
        EXPECT_EQ(ini.texto, "abc");
        return;
    }
    Arquivo relido(dir.file("x.ini"));
    std::string v;
    EXPECT_TRUE(relido.lerValor("A", c.chave, v));
    EXPECT_EQ(v, c.valor);
    EXPECT_EQ(relido.numeroB, 7) << "the rest of the file is read as before";
}

INSTANTIATE_TEST_SUITE_P(
    Valores, ValorAlterado,
    ::testing::Values(CasoValor{"brackets_make_a_section_header", "TEXTO", "Loja [Centro] Ltda", false},
                      CasoValor{"line_feed_injects_a_section", "TEXTO", "x\n[B]\n   NUMERO = 9", false},
                      CasoValor{"line_feed_after_a_number", "NUMERO", "6\n[EVIL]", false},
                      CasoValor{"carriage_return", "TEXTO", "a\rb", false},
                      CasoValor{"larger_than_a_readable_file", "TEXTO", std::string(1024 * 1024 + 1, 'x'), false},
                      CasoValor{"closing_bracket_first", "TEXTO", "a]b[c", true},
                      CasoValor{"bracket_never_closed", "TEXTO", "[sem fechar", true}),
    [](const ::testing::TestParamInfo<CasoValor>& i) { return std::string(i.param.nome); });

// Files that are not read at all: each row puts something in the file's place. The load must return
// at once with the constructor's values, leave the thing as it was (never replaced by a rewrite) and
// say why in one line; a file exactly at the bound is still read.
struct CasoArquivo {
    const char* nome;
    void (*preparar)(const std::string& caminho);
    bool lido;
};

class ArquivoIgnorado : public ::testing::TestWithParam<CasoArquivo> {};

std::string textoNoLimite() {
    std::string t = kCompleto;
    return t + ";" + std::string(1024 * 1024 - t.size() - 2, 'x') + "\n";
}

TEST_P(ArquivoIgnorado, IsTreatedAsNoFileAndLeftInPlace) {
    const CasoArquivo& c = GetParam();
    TempDir dir;
    const std::string caminho = dir.file("x.ini");
    c.preparar(caminho);
    struct stat antes;
    ASSERT_EQ(::stat(caminho.c_str(), &antes), 0);
    const std::string conteudo = S_ISREG(antes.st_mode) ? readFile(caminho) : "";

    ::testing::internal::CaptureStderr();
    Arquivo ini(caminho);
    std::string v;
    EXPECT_EQ(ini.lerValor("A", "NUMERO", v), c.lido);
    EXPECT_EQ(ini.numeroB, c.lido ? 7 : -1);
    if (!c.lido) {
        ini.texto = "novo";
        ini.salvar();
        EXPECT_FALSE(ini.alterarValor("A", "NUMERO", "3"));
    }
    const std::string aviso = ::testing::internal::GetCapturedStderr();

    struct stat depois;
    ASSERT_EQ(::stat(caminho.c_str(), &depois), 0);
    EXPECT_EQ(depois.st_ino, antes.st_ino) << "replaced by a rewrite";
    if (c.lido) return;
    EXPECT_EQ(depois.st_mode, antes.st_mode);
    if (S_ISREG(antes.st_mode)) {
        EXPECT_EQ(readFile(caminho), conteudo);
    }
    EXPECT_NE(aviso.find(caminho), std::string::npos) << aviso;
    EXPECT_EQ(std::count(aviso.begin(), aviso.end(), '\n'), 1) << aviso;
}

INSTANTIATE_TEST_SUITE_P(
    Arquivos, ArquivoIgnorado,
    ::testing::Values(
        CasoArquivo{"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, false},
        CasoArquivo{"directory", [](const std::string& p) { ASSERT_EQ(::mkdir(p.c_str(), 0755), 0); }, false},
        CasoArquivo{"one_byte_over_the_bound", [](const std::string& p) { writeFile(p, textoNoLimite() + "x"); },
                    false},
        CasoArquivo{"exactly_at_the_bound", [](const std::string& p) { writeFile(p, textoNoLimite()); }, true}),
    [](const ::testing::TestParamInfo<CasoArquivo>& i) { return std::string(i.param.nome); });

// A rewrite that cannot complete (here the file-size limit stands in for a full disk) must leave the
// old file whole, and the change must report failure and leave the value in memory as it was.
TEST(ArquivoINI, FailedRewriteLeavesTheOldFileAndReportsFailure) {
    TempDir dir;
    const std::string original = std::string("; manter\n") + kCompleto;
    writeFile(dir.file("x.ini"), original);
    Arquivo ini(dir.file("x.ini"));

    struct rlimit antes;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &antes), 0);
    auto sinalAntes = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit pequeno = antes;
    pequeno.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &pequeno), 0);
    const bool ok = ini.alterarValor("A", "NUMERO", "4");
    ::setrlimit(RLIMIT_FSIZE, &antes);
    std::signal(SIGXFSZ, sinalAntes);

    EXPECT_FALSE(ok);
    EXPECT_EQ(readFile(dir.file("x.ini")), original);
    EXPECT_EQ(ini.numero, 5);
    int sobras = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        sobras += e.path().filename() != "x.ini" && e.path().filename() != "x.ini.lock";
    EXPECT_EQ(sobras, 0) << "temporary file left behind";
}

TEST(ArquivoINI, RewriteGoesThroughASymlinkToItsTarget) {
    TempDir dir;
    writeFile(dir.file("real.ini"), kCompleto);
    ASSERT_EQ(::symlink("real.ini", dir.file("x.ini").c_str()), 0);
    Arquivo ini(dir.file("x.ini"));
    EXPECT_TRUE(ini.alterarValor("A", "NUMERO", "2"));
    struct stat st;
    ASSERT_EQ(::lstat(dir.file("x.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_NE(readFile(dir.file("real.ini")).find("   NUMERO = 2\n"), std::string::npos);
}

}  // namespace
