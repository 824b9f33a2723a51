// The session as a host sees it: loaded from a working directory, unloaded, loaded again.
#include <dlfcn.h>

#include <cstring>

#include "LibraryFixture.h"

namespace {

using rx457test::LibraryTest;

TEST_F(LibraryTest, LoadingWithoutConfigurationCreatesNoFile) {
    load();
    unload();
    EXPECT_FALSE(rx457test::fileExists(iniPath()));
}

TEST_F(LibraryTest, UnloadReallyUnloadsSoTheNextLoadIsFresh) {
    load();
    unload();
    EXPECT_EQ(::dlopen(RX457_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the library stayed resident after dlclose";
}

TEST_F(LibraryTest, ConfigurationIsReadAgainAtTheNextLoad) {
    writeIni("[RX457]\nPORTA = /dev/ttyS3\n");
    load();
    auto ler = fn<int(const char*, const char*, char*, unsigned)>("VEX_LerParametroConfiguracaoVEX");
    char valor[64];
    ASSERT_EQ(ler("RX457", "PORTA", valor, sizeof valor), 0);
    EXPECT_STREQ(valor, "/dev/ttyS3");
    unload();
    writeIni("[RX457]\nPORTA = /dev/ttyS4\n");
    load();
    ler = fn<int(const char*, const char*, char*, unsigned)>("VEX_LerParametroConfiguracaoVEX");
    ASSERT_EQ(ler("RX457", "PORTA", valor, sizeof valor), 0);
    EXPECT_STREQ(valor, "/dev/ttyS4");
}

TEST_F(LibraryTest, EventCallbackIsStoredAndNullClearsIt) {
    load();
    auto notificar = fn<void(void*)>("VEX_NotificarEventos");
    int marcador = 0;
    notificar(&marcador);
    notificar(nullptr);
    SUCCEED();
}

TEST_F(LibraryTest, LastErrorIsEmptyUntilAFailureAndChecksItsBuffer) {
    load();
    auto ultimo = fn<int(char*, unsigned)>("VEX_ObterUltimoErro");
    char texto[16];
    std::memset(texto, 'x', sizeof texto);
    EXPECT_EQ(ultimo(texto, sizeof texto), 0);
    EXPECT_STREQ(texto, "");
    EXPECT_EQ(ultimo(nullptr, 10), 3);
    EXPECT_EQ(ultimo(texto, 0), 14);
}

}  // namespace
