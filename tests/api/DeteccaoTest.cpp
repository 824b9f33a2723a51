// Detection and status through the exports, against the emulated printer.
#include <cstring>

#include "ImpressoraFixture.h"

namespace {

using rx457test::ImpressoraTest;

TEST_F(ImpressoraTest, DetectionFillsTheRecordAndKeepsItsPointers) {
    carregarComImpressora();
    auto detectar = fn<int(InfoImpressora*, unsigned)>("VEX_DetectarImpressora");
    InfoImpressora info;
    EXPECT_EQ(detectar(nullptr, sizeof info), 3);
    EXPECT_EQ(detectar(&info, RX457_TAMANHO_INFO_IMPRESSORA - 1), 14);
    ASSERT_EQ(detectar(&info, sizeof info), 0);
    EXPECT_EQ(info.modelo, 2);
    EXPECT_STREQ(info.nomeModelo, "RX-457");
    EXPECT_STREQ(info.versaoFirmware, "01.00");
    EXPECT_STREQ(info.reservado, "");
    EXPECT_EQ(std::string(info.porta), emulador_->slavePath());
    EXPECT_EQ(info.flags & 8u, 8u);
    EXPECT_EQ(info.larguraPontos, 512);
    EXPECT_EQ(info.resolucaoDpi, 180);

    InfoImpressora outra;
    ASSERT_EQ(detectar(&outra, sizeof outra), 0);
    EXPECT_EQ(outra.nomeModelo, info.nomeModelo);
    EXPECT_EQ(outra.porta, info.porta);
}

struct CasoModelo {
    const char* nome;
    int modelo;
};

class Modelos : public ImpressoraTest, public ::testing::WithParamInterface<CasoModelo> {};

TEST_P(Modelos, ModelFollowsTheReportedName) {
    emulador_->setIdentification('C', std::string(GetParam().nome));
    carregarComImpressora();
    InfoImpressora info;
    ASSERT_EQ(fn<int(InfoImpressora*, unsigned)>("VEX_DetectarImpressora")(&info, sizeof info), 0);
    EXPECT_EQ(info.modelo, GetParam().modelo);
    EXPECT_EQ(std::string(info.nomeModelo), std::string(GetParam().nome).substr(0, 31));
}

INSTANTIATE_TEST_SUITE_P(Nomes, Modelos,
                         ::testing::Values(CasoModelo{"RX-457", 2}, CasoModelo{"RX-268", 1}, CasoModelo{"OUTRA-9", -1},
                                           CasoModelo{"NOME-DE-MODELO-COM-MAIS-DE-TRINTA-E-UM-CARACTERES", -1}));

TEST_F(ImpressoraTest, SilentPrinterGivesCodesAndZeroedBuffers) {
    emulador_->setSilent(true);
    carregarComImpressora();
    auto estado = fn<int(unsigned char*, unsigned)>("VEX_AtualizarEstadoOperacao");
    unsigned char bytes[8];
    std::memset(bytes, 0xAA, sizeof bytes);
    EXPECT_EQ(estado(bytes, 3), 14);
    EXPECT_EQ(bytes[0], 0xAA) << "nothing is written for a too small buffer";
    EXPECT_EQ(estado(bytes, 4), 6);
    EXPECT_EQ(bytes[0] | bytes[1] | bytes[2] | bytes[3], 0);
    EXPECT_EQ(bytes[4], 0xAA);

    InfoImpressora info;
    std::memset(&info, 0x55, sizeof info);
    EXPECT_EQ(fn<int(InfoImpressora*, unsigned)>("VEX_DetectarImpressora")(&info, sizeof info), 1);
    EXPECT_EQ(info.modelo, 0);
    EXPECT_STREQ(info.nomeModelo, "");
    EXPECT_STREQ(info.porta, "");
}

TEST_F(ImpressoraTest, OperationStatusMapsThePrinterBits) {
    emulador_->setStatus(1, 0x16 | 0x08);  // off line
    emulador_->setStatus(2, 0x12 | 0x04);  // cover open
    emulador_->setStatus(3, 0x12 | 0x08);  // cutter error
    emulador_->setStatus(4, 0x12 | 0x60);  // paper end
    carregarComImpressora();
    unsigned char bytes[4];
    ASSERT_EQ(fn<int(unsigned char*, unsigned)>("VEX_AtualizarEstadoOperacao")(bytes, 4), 0);
    // bit 1 paper end, bit 2 cover open, bit 3 drawer pin, bit 5 cutter error, bit 6 off line
    EXPECT_EQ(bytes[0], 0x02 | 0x04 | 0x08 | 0x20 | 0x40);
    EXPECT_EQ(bytes[1], 0);
}

TEST_F(ImpressoraTest, MatchingPortLeavesTheConfigurationUntouched) {
    carregarComImpressora();
    const std::string antes = iniText();
    unsigned char bytes[4];
    ASSERT_EQ(fn<int(unsigned char*, unsigned)>("VEX_AtualizarEstadoOperacao")(bytes, 4), 0);
    EXPECT_EQ(iniText(), antes);
}

TEST_F(ImpressoraTest, WaitingForTheEndOfPrintingWithAndWithoutAnAnswer) {
    carregarComImpressora();
    auto esperar = fn<int()>("VEX_EsperarPeloTerminoImpressao");
    EXPECT_EQ(esperar(), 1);
}

}  // namespace
