// The legacy RX457_* family through the loaded library.
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#include "ImpressoraFixture.h"

namespace {

using rx457test::ImpressoraTest;

TEST_F(ImpressoraTest, LegacyStatusItemsAndTheirCache) {
    carregarComImpressora();
    auto status = fn<int(int, int, char*)>("RX457_rConsultaStatusImpressora");
    char saida[8];
    EXPECT_EQ(status(0, 1, saida), -99);
    EXPECT_EQ(status(9, 1, saida), -99);
    EXPECT_EQ(status(2, 1, nullptr), -99);
    ASSERT_EQ(status(2, 1, saida), 1);
    EXPECT_STREQ(saida, "1") << "on line";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(status(2, 1, saida), 0) << "a second read within 100 ms is refused";
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    int32_t valor = -1;
    ASSERT_EQ(status(3, 0, reinterpret_cast<char*>(&valor)), 1);
    EXPECT_EQ(valor, 1) << "paper present";
}

TEST_F(ImpressoraTest, LegacySettersSaveTheConfiguration) {
    carregarComImpressora();
    auto enter = fn<int(const char*)>("RX457_regEnterFinal");
    auto codepage = fn<int(const char*)>("RX457_regCodePageAutomatico");
    auto tabulacao = fn<int(const char*)>("RX457_regTabulacao");
    EXPECT_EQ(enter("0"), 1);
    EXPECT_NE(iniText().find("   ENTERAUTOMATICO = 0\n"), std::string::npos);
    EXPECT_EQ(enter("1"), 1);
    EXPECT_NE(iniText().find("   ENTERAUTOMATICO = 1\n"), std::string::npos);
    const std::string antes = iniText();
    EXPECT_EQ(enter("x"), -99);
    EXPECT_EQ(enter(nullptr), -99);
    EXPECT_EQ(codepage(nullptr), -99);
    EXPECT_EQ(tabulacao(nullptr), -99);
    // Texts the file cannot hold as one value.
    EXPECT_EQ(tabulacao("8 [16]"), -99);
    EXPECT_EQ(tabulacao("8\n[EVIL]"), -99);
    EXPECT_EQ(enter("1\n[EVIL]"), -99);
    EXPECT_EQ(codepage("0\r"), -99);
    EXPECT_EQ(iniText(), antes);
    EXPECT_EQ(codepage("0"), 1);
    EXPECT_NE(iniText().find("   CODEPAGE_AUTOMATICO = 0\n"), std::string::npos);
    EXPECT_EQ(tabulacao("8,16"), 1);
    EXPECT_NE(iniText().find("   TABULACAO = 8,16\n"), std::string::npos);
}

// A save that fails (the file-size limit stands in for a full disk) is reported, and the previous
// value stays in effect: with ENTERAUTOMATICO still on, a text without a line end prints at once.
TEST_F(ImpressoraTest, LegacySettersThatCannotSaveKeepThePreviousValue) {
    carregarComImpressora();
    const std::string antes = iniText();
    struct rlimit limite;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limite), 0);
    auto sinalAntes = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit cheio = limite;
    cheio.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &cheio), 0);
    const int enter = fn<int(const char*)>("RX457_regEnterFinal")("0");
    const int codepage = fn<int(const char*)>("RX457_regCodePageAutomatico")("0");
    const int tabulacao = fn<int(const char*)>("RX457_regTabulacao")("8,16");
    ::setrlimit(RLIMIT_FSIZE, &limite);
    std::signal(SIGXFSZ, sinalAntes);
    EXPECT_EQ(enter, 0);
    EXPECT_EQ(codepage, 0);
    EXPECT_EQ(tabulacao, 0);
    EXPECT_EQ(iniText(), antes);

    fn<int(const char*, int)>("RX457_iImprimirTexto")("sem fim de linha", 0);
    aguardarPapel();
    EXPECT_GT(linhasComTinta(), 0);
}

TEST_F(ImpressoraTest, LegacyTextAndImageCodes) {
    carregarComImpressora();
    EXPECT_EQ(fn<int(const char*, int)>("RX457_iImprimirTexto")(nullptr, 0), -99);
    EXPECT_EQ(fn<int(const char*, int)>("RX457_iImprimirTexto")("<b>Negrito</b> normal", 0), 1);
    EXPECT_EQ(fn<int(const char*)>("RX457_iImprimirArquivo")(nullptr), -99);
    EXPECT_EQ(fn<int(const char*)>("RX457_iImprimirArquivo")(dir_.file("nao-existe.txt").c_str()), -27);
    EXPECT_EQ(fn<int(const char*)>("RX457_iImprimirBMP")(dir_.file("nao-existe.bmp").c_str()), -8);
    EXPECT_EQ(fn<int(const char*)>("RX457_iImprimirImagem")(nullptr), -99);
    auto carregar = fn<int(const char*, int)>("RX457_iCarregarBMPMemoria");
    EXPECT_EQ(carregar(nullptr, '0'), -99);
    EXPECT_EQ(carregar(dir_.file("nao-existe.bmp").c_str(), '0'), -8);
    EXPECT_EQ(fn<int()>("RX457_iImprimirBMPMemoria")(), 0) << "nothing loaded yet";
    aguardarPapel();
    EXPECT_GT(linhasComTinta(), 10);
}

TEST_F(ImpressoraTest, LegacyMemoryBitmapPrintsUntilReplaced) {
    if (!rx457test::commandAvailable("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
    int codigo = -1;
    rx457test::runCommand("convert -size 64x12 xc:black BMP3:" + dir_.file("logo.bmp"), &codigo);
    ASSERT_EQ(codigo, 0);
    carregarComImpressora();
    auto carregar = fn<int(const char*, int)>("RX457_iCarregarBMPMemoria");
    EXPECT_EQ(carregar(dir_.file("logo.bmp").c_str(), '2'), -99);
    ASSERT_EQ(carregar(dir_.file("logo.bmp").c_str(), '0'), 1);
    EXPECT_EQ(fn<int()>("RX457_iImprimirBMPMemoria")(), 1);
    EXPECT_EQ(fn<int()>("RX457_iImprimirBMPMemoria")(), 1);
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 24);
}

TEST_F(ImpressoraTest, LegacyModelQueryAndPlaceholders) {
    carregarComImpressora();
    char modelo[RX457_TAMANHO_MODELO];
    EXPECT_EQ(fn<int(char*)>("RX457_ModeloImpressora")(nullptr), -99);
    ASSERT_EQ(fn<int(char*)>("RX457_ModeloImpressora")(modelo), 1);
    EXPECT_STREQ(modelo, "RX");
    EXPECT_EQ(fn<int()>("RX457_eBuscarPortaVelocidade")(), 1);
    EXPECT_EQ(fn<int()>("RX457_fecharPorta")(), 1);
    EXPECT_EQ(fn<int()>("RX457_iAcionarGaveta")(), 1);
    EXPECT_EQ(fn<int()>("RX457_Consulta_UltimaImpressao")(), 1);
    const std::pair<const char*, int> fixos[] = {{"RX457_iImprimeCheque", 1},      {"RX457_Ler_CMC7", 1},
                                                 {"RX457_Autenticar_Doc", 1},      {"RX457_ConsultaNumeroSerie", 1},
                                                 {"RX457_regLinhasGuilhotina", 0}, {"RX457_regModoGaveta", 1},
                                                 {"RX457_regPortaComunicacao", 0}, {"RX457_regVelocidade", 0},
                                                 {"RX457_rStatusGuilhotina", 1},   {"RX457_iConfigurarGuilhotina", 0}};
    for (const auto& [nome, valor] : fixos) EXPECT_EQ(fn<int()>(nome)(), valor) << nome;
}

TEST_F(ImpressoraTest, LegacyQrCodeBesideText) {
    carregarComImpressora();
    fn<void(int)>("RX457_setSize_Qrcode")(4);
    fn<void(const char*, const char*)>("RX457_iImprimeQRCode_TextoDireita")("https://exemplo.com.br",
                                                                            "<b>Texto</b>\nao lado");
    aguardarPapel();
    // The QR code of 25 modules at 4 dots is about 100 rows; the text stands beside it.
    EXPECT_GT(linhasComTinta(), 90);
}

}  // namespace
