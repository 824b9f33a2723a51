// Fiscal documents from the host: which code each kind of bad call gets, and that good calls print.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "ImpressoraFixture.h"
#include "ReciboDemo.h"

namespace {

using rx457test::ImpressoraTest;
using rx457test::readFile;

std::string amostra(const std::string& nome) { return std::string(FISCAL_SAMPLES_DIR) + "/" + nome; }

const std::string kNFCe = "nfce-nfeproc-310-hom-df-cnpj-troco.xml";
const std::string kCFeVenda = "cfe-sale-hom-1item-infcpl-v006.xml";
const std::string kCFeCanc = "cfe-cancel-hom-v006.xml";

using ImprimirFn = int(const char*, InfoDocumento*, unsigned int, int, int);
using LegadoFn = int(const char*, const char*, const char*, int, const char*, const char*, int, int, const char*);

class FiscalTest : public ImpressoraTest {
protected:
    void SetUp() override {
        ImpressoraTest::SetUp();
        carregarComImpressora();
        imprimir = fn<ImprimirFn>("VEX_ImprimirDocumentoFiscal");
        info.tipo = 1;
        info.identificadorToken = "000001";
        info.codigoSeguranca = "123456789012";
    }

    std::string ultimoErro() {
        char texto[512] = {};
        fn<int(char*, unsigned)>("VEX_ObterUltimoErro")(texto, sizeof texto);
        return texto;
    }

    ImprimirFn* imprimir = nullptr;
    InfoDocumento info{};
};

TEST_F(FiscalTest, CallerErrorsGetTheirCodesBeforeAnythingIsPrinted) {
    const std::string nfce = readFile(amostra(kNFCe));
    const std::string cfe = readFile(amostra(kCFeVenda));
    struct Caso {
        const char* nome;
        const char* xml;
        InfoDocumento registro;
        unsigned int tamanho;
        bool semRegistro;
        int esperado;
    };
    const InfoDocumento bom = info;
    auto com = [&](auto alterar) {
        InfoDocumento r = bom;
        alterar(r);
        return r;
    };
    const Caso casos[] = {
        {"null text", nullptr, bom, sizeof(InfoDocumento), false, 3},
        {"null record with a size", nfce.c_str(), bom, 8, true, 3},
        {"empty text", "", bom, sizeof(InfoDocumento), false, 4},
        {"not a fiscal document", "<nada/>", bom, sizeof(InfoDocumento), false, 8},
        {"file that does not exist", "/nao/existe.xml", bom, sizeof(InfoDocumento), false, 8},
        {"NFC-e named a CF-e", nfce.c_str(), com([](InfoDocumento& r) { r.tipo = 3; }), 8, false, 5},
        {"CF-e named an NFC-e", cfe.c_str(), bom, sizeof(InfoDocumento), false, 5},
        {"NFC-e without a record", nfce.c_str(), bom, 0, true, 3},
        {"NFC-e record of 20 bytes", nfce.c_str(), bom, 20, false, 2},
        {"NFC-e record one byte short", nfce.c_str(), bom, RX457_TAMANHO_INFO_DOCUMENTO - 1, false, 2},
        {"security code of 5", nfce.c_str(), com([](InfoDocumento& r) { r.codigoSeguranca = "12345"; }),
         sizeof(InfoDocumento), false, 2},
        {"empty token", nfce.c_str(), com([](InfoDocumento& r) { r.identificadorToken = ""; }), sizeof(InfoDocumento),
         false, 2},
        {"null security code", nfce.c_str(), com([](InfoDocumento& r) { r.codigoSeguranca = nullptr; }),
         sizeof(InfoDocumento), false, 3},
        {"protocol without date", nfce.c_str(), com([](InfoDocumento& r) { r.numeroProtocolo = "135"; }),
         sizeof(InfoDocumento), false, 3},
        {"protocol with empty date", nfce.c_str(), com([](InfoDocumento& r) {
             r.numeroProtocolo = "135";
             r.dataHoraProtocolo = "";
         }),
         sizeof(InfoDocumento), false, 4},
        {"protocol date of 10", nfce.c_str(), com([](InfoDocumento& r) {
             r.numeroProtocolo = "135";
             r.dataHoraProtocolo = "2026-12-08";
         }),
         sizeof(InfoDocumento), false, 2},
        {"protocol date of 18", nfce.c_str(), com([](InfoDocumento& r) {
             r.numeroProtocolo = "135";
             r.dataHoraProtocolo = "2026-12-08T10:11:1";
         }),
         sizeof(InfoDocumento), false, 2},
    };
    for (const Caso& c : casos) {
        InfoDocumento r = c.registro;
        EXPECT_EQ(imprimir(c.xml, c.semRegistro ? nullptr : &r, c.tamanho, 0, 0), c.esperado) << c.nome;
    }
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 0) << "a refused document prints nothing";
}

TEST_F(FiscalTest, EachKindPrintsFromTextAndFromAFileName) {
    const std::string nfce = readFile(amostra(kNFCe));
    EXPECT_EQ(imprimir(nfce.c_str(), &info, sizeof info, 0, 0), 0);
    aguardarPapel();
    EXPECT_GT(linhasComTinta(), 300);
    emulador_->clearPage();

    for (const std::string& arquivo : {kCFeVenda, kCFeCanc}) {
        EXPECT_EQ(imprimir(amostra(arquivo).c_str(), nullptr, 0, 0, 0), 0) << arquivo;
        aguardarPapel();
        EXPECT_GT(linhasComTinta(), 300) << arquivo;
        emulador_->clearPage();
    }
}

TEST_F(FiscalTest, ProtocolGivenByTheCallerAndAmountWithDecimalComma) {
    info.numeroProtocolo = "353260000012345";
    info.dataHoraProtocolo = "2026-12-08T10:11:12-03:00";
    info.valorRecebido = "100,50";
    EXPECT_EQ(imprimir(amostra(kNFCe).c_str(), &info, sizeof info, 0x10, 0), 0);
    aguardarPapel();
    EXPECT_GT(linhasComTinta(), 300);
    EXPECT_EQ(emulador_->fullCuts() + emulador_->partialCuts(), 0) << "option 0x10 leaves the paper uncut";
}

TEST_F(FiscalTest, TextWithBothMarkersIsAnNFCe) {
    // An NFC-e whose free text mentions a CF-e marker is still an NFC-e: a CF-e record is refused.
    std::string nfce = readFile(amostra(kNFCe));
    nfce.insert(nfce.find("</infNFe>"), "<!-- <infCFe -->");
    InfoDocumento cfe{};
    cfe.tipo = 3;
    EXPECT_EQ(imprimir(nfce.c_str(), &cfe, sizeof cfe, 0, 0), 5);
    EXPECT_EQ(imprimir(nfce.c_str(), &info, sizeof info, 0, 0), 0);
}

TEST_F(FiscalTest, RejectedTotalsFailWithTheMessageAndPrintNothing) {
    writeIni("[RX457]\nPORTA = " + emulador_->slavePath() + "\nVERIFICAR_CALCULOS_XML = 1\n");
    load();
    imprimir = fn<ImprimirFn>("VEX_ImprimirDocumentoFiscal");
    std::string cfe = readFile(amostra(kCFeVenda));
    const size_t total = cfe.find("<vCFe>");
    ASSERT_NE(total, std::string::npos);
    cfe.insert(total + 6, "9");  // the document's total no longer matches its items
    EXPECT_EQ(imprimir(cfe.c_str(), nullptr, 0, 0, 0), 11);
    EXPECT_FALSE(ultimoErro().empty());
    // Each legacy export reports the failure under its own name.
    using LegadoCurtoFn = int(const char*, const char*, const char*, int, const char*, const char*, int, int);
    for (const char* nome : {"RX457_iImprimirXML_NFCe", "RX457_iImprimirXML", "RX457_iImprimirXMLString"}) {
        testing::internal::CaptureStderr();
        const int codigo = std::string(nome) == "RX457_iImprimirXML_NFCe"
                               ? fn<LegadoFn>(nome)(cfe.c_str(), nullptr, nullptr, 0, nullptr, nullptr, 2, 0, nullptr)
                               : fn<LegadoCurtoFn>(nome)(cfe.c_str(), nullptr, nullptr, 0, nullptr, nullptr, 2, 0);
        const std::string erro = testing::internal::GetCapturedStderr();
        EXPECT_EQ(codigo, 0) << nome;
        EXPECT_NE(erro.find(std::string(nome) + ": "), std::string::npos) << erro;
    }
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 0);
}

// The layout keys of the NFCE and SAT sections reach the printouts from the file, read anew for
// each document: the manual's DANFE is longer, the ICMS line and the CF-e tax footer can go.
TEST_F(FiscalTest, FiscalLayoutKeysReachThePrintouts) {
    struct Caso {
        const char* amostra;
        const char* chave;
        bool nfce;
        bool maisLinhas;
    } casos[] = {
        {"nfce-nfeproc-400-synth-sp-pix-frete-comments.xml", "[NFCE]\nLEIAUTE_PADRAO = 1\n", true, true},
        {"nfce-nfeproc-310-hom-df-cnpj-troco.xml", "[NFCE]\nMSG_APROVEITAMENTO_ICMS = 0\n", true, false},
        {"cfe-sale-synth-sp-4items-comments-nolei12741.xml", "[SAT]\nVALOR_TRIBUTOS = 0\n", false, false},
    };
    const std::string porta = "[RX457]\nPORTA = " + emulador_->slavePath() + "\n";
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.chave);
        int linhas[2] = {};
        for (int comChave = 0; comChave < 2; ++comChave) {
            writeIni(porta + (comChave ? c.chave : ""));
            emulador_->clearPage();
            ASSERT_EQ(imprimir(amostra(c.amostra).c_str(), c.nfce ? &info : nullptr, c.nfce ? sizeof info : 0, 0, 0),
                      0);
            aguardarPapel();
            linhas[comChave] = linhasComTinta();
        }
        EXPECT_EQ(linhas[1] > linhas[0], c.maisLinhas) << linhas[0] << " " << linhas[1];
        EXPECT_NE(linhas[1], linhas[0]);
    }
}

TEST_F(FiscalTest, MoreThanFiveHundredItemsIsAFailureNotACrash) {
    std::string cfe = readFile(amostra(kCFeVenda));
    const size_t inicio = cfe.find("<det ");
    const size_t fim = cfe.find("</det>", inicio) + 6;
    ASSERT_NE(inicio, std::string::npos);
    std::string item = cfe.substr(inicio, fim - inicio);
    const std::string numero = "nItem=\"1\"";
    const size_t posicao = item.find(numero);
    ASSERT_NE(posicao, std::string::npos);
    std::string itens;
    for (int i = 1; i <= 501; ++i)
        itens += std::string(item).replace(posicao, numero.size(), "nItem=\"" + std::to_string(i) + "\"");
    cfe.replace(inicio, fim - inicio, itens);
    EXPECT_EQ(imprimir(cfe.c_str(), nullptr, 0, 0, 0), 11);
    EXPECT_FALSE(ultimoErro().empty());
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 0);
}

TEST_F(FiscalTest, LegacyExportsTranslateTheirCodes) {
    auto nfce = fn<LegadoFn>("RX457_iImprimirXML_NFCe");
    auto xml =
        fn<int(const char*, const char*, const char*, int, const char*, const char*, int, int)>("RX457_iImprimirXML");
    auto texto = fn<int(const char*, const char*, const char*, int, const char*, const char*, int, int)>(
        "RX457_iImprimirXMLString");
    const std::string doc = readFile(amostra(kNFCe));
    const char* codigo = "123456789012";
    const char* token = "000001";
    EXPECT_EQ(nfce(nullptr, nullptr, nullptr, 0, codigo, token, 2, 0, nullptr), -99);
    EXPECT_EQ(nfce("", nullptr, nullptr, 0, codigo, token, 2, 0, nullptr), -99);
    EXPECT_EQ(nfce("<nada/>", nullptr, nullptr, 0, codigo, token, 2, 0, nullptr), 0);
    EXPECT_EQ(nfce(doc.c_str(), nullptr, nullptr, 0, codigo, token, 3, 0, nullptr), -99);
    EXPECT_EQ(nfce(doc.c_str(), nullptr, nullptr, 2, codigo, token, 2, 0, nullptr), -99);
    EXPECT_EQ(nfce(doc.c_str(), nullptr, nullptr, 0, "12345", token, 2, 0, nullptr), -99);
    EXPECT_EQ(nfce(doc.c_str(), nullptr, nullptr, 0, codigo, token, 2, 0, "7,00"), 1);
    EXPECT_EQ(xml(amostra(kNFCe).c_str(), nullptr, nullptr, 1, codigo, token, 0, 0x1FF), 1);
    EXPECT_EQ(texto(amostra(kCFeCanc).c_str(), nullptr, nullptr, 0, nullptr, nullptr, 1, 0), 1);
    aguardarPapel();
    EXPECT_GT(linhasComTinta(), 900);
}

}  // namespace

namespace {

TEST_F(FiscalTest, ReceiptLooksTheSameWhateverTextWentBefore) {
    ASSERT_EQ(imprimir(amostra(kCFeVenda).c_str(), nullptr, 0, 0, 0), 0);
    aguardarPapel();
    const std::vector<uint8_t> sozinho = emulador_->pageBMP();
    ASSERT_FALSE(sozinho.empty());
    emulador_->clearPage();

    auto texto = fn<int(const char*, int)>("RX457_iImprimirTexto");
    texto("<cespl>80</cespl><b><s><xl><ad>linha aberta", 0);
    aguardarPapel();
    emulador_->clearPage();
    ASSERT_EQ(imprimir(amostra(kCFeVenda).c_str(), nullptr, 0, 0, 0), 0);
    aguardarPapel();
    EXPECT_TRUE(emulador_->pageBMP() == sozinho) << "styles and spacing left by the markup changed the receipt";
}

}  // namespace

namespace {

// Compact raster: the same paper, dot for dot, for every fiscal sample and the demonstration receipt
// (without its clock line), with far fewer bytes on the wire.
TEST_F(FiscalTest, CompactRasterPrintsTheSamePaperWithFewerBytes) {
    rx457demo::escreverLogo("logo.bmp");
    std::vector<std::string> documentos{"recibo de demonstração"};
    for (const auto& e : std::filesystem::directory_iterator(FISCAL_SAMPLES_DIR))
        if (e.path().extension() == ".xml") documentos.push_back(e.path().filename().string());
    std::vector<std::vector<uint8_t>> pagina[2];
    std::vector<size_t> bytes[2];
    emulador_->setPaperWidth(512);
    for (int compactar = 0; compactar < 2; ++compactar) {
        // A fresh session each time (the receipts leave spacing and bar code settings behind). The
        // library only unloads once the thread that read XML has ended: print on a thread of its own.
        unload();
        carregarComImpressora(compactar ? "COMPACTAR_RASTER = 1\n" : "");
        imprimir = fn<ImprimirFn>("VEX_ImprimirDocumentoFiscal");
        std::thread([&] {
            for (const std::string& nome : documentos) {
                emulador_->clearPage();
                emulador_->clearReceived();
                if (nome.size() > 4 && nome.compare(nome.size() - 4, 4, ".xml") == 0) {
                    const bool nfce = nome.rfind("nfce", 0) == 0;
                    imprimir(amostra(nome).c_str(), nfce ? &info : nullptr, nfce ? sizeof info : 0, 0, 0);
                } else {
                    rx457demo::imprimirRecibo([this](const char* f) { return reinterpret_cast<void*>(fn<void()>(f)); },
                                              false);
                }
                aguardarPapel();
                pagina[compactar].push_back(emulador_->pageBMP());
                bytes[compactar].push_back(emulador_->received().size());
            }
        }).join();
    }
    for (size_t i = 0; i < documentos.size(); ++i) {
        if (pagina[0][i].empty()) continue;  // a sample this configuration refuses
        EXPECT_TRUE(pagina[0][i] == pagina[1][i]) << documentos[i];
        EXPECT_LT(bytes[1][i] * 2, bytes[0][i]) << documentos[i];
        RecordProperty(documentos[i], std::to_string(bytes[0][i]) + " -> " + std::to_string(bytes[1][i]));
    }
}

}  // namespace
