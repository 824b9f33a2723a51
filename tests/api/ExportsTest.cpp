// The dynamic symbol table holds exactly the exports the public header declares, and every export
// that takes a size, count or coordinate copes with the extremes of its parameter's type.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <climits>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../text/BMPTeste.h"
#include "ImpressoraFixture.h"
#include "TestSupport.h"

namespace {

std::set<std::string> declaredExports() {
    const std::string header = rx457test::readFile(RX457_HEADER_PATH);
    std::set<std::string> names;
    const std::regex declaration(R"(RX457_API\s+[^;()]*?\b((?:VEX|RX457)_\w+)\s*\()");
    for (std::sregex_iterator it(header.begin(), header.end(), declaration), end; it != end; ++it)
        names.insert((*it)[1]);
    return names;
}

std::set<std::string> definedDynamicSymbols() {
    int code = -1;
    const std::string out =
        rx457test::runCommand(std::string("nm -D --defined-only '") + RX457_LIBRARY_PATH + "'", &code);
    EXPECT_EQ(code, 0) << "nm failed";
    std::set<std::string> names;
    std::istringstream lines(out);
    std::string address, type, name;
    while (lines >> address >> type >> name) {
        const size_t at = name.find('@');
        names.insert(name.substr(0, at));
    }
    return names;
}

TEST(Exports, SymbolTableMatchesThePublicHeader) {
    const std::set<std::string> declared = declaredExports();
    ASSERT_FALSE(declared.empty());
    EXPECT_EQ(definedDynamicSymbols(), declared);
}

TEST(Exports, SharedObjectCarriesItsSoname) {
    int code = -1;
    const std::string out = rx457test::runCommand(std::string("readelf -d '") + RX457_LIBRARY_PATH + "'", &code);
    ASSERT_EQ(code, 0);
    EXPECT_NE(out.find("Library soname: [libRX457.so.1]"), std::string::npos) << out;
}

// ---------------------------------------------------------------------------------------------
// Sizes, counts and coordinates: each export called with the extremes of its parameter's type
// against the emulated printer returns at once with its code, and printing still works afterwards.

using rx457test::ImpressoraTest;

// Marks an export that returns nothing.
constexpr int kSemRetorno = INT_MIN;

// The extremes, in this order: 0, INT_MIN, -1 (UINT_MAX as unsigned), INT_MAX.
constexpr uint32_t kExtremos[4] = {0u, 0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu};

struct ExtremoExportacao {
    const char* nome;
    std::function<int(uint32_t)> chamar;  // the export with the value in the parameter under test
    std::array<int, 4> esperado;          // its code for each extreme
};

TEST_F(ImpressoraTest, SizesCountsAndCoordinatesAtTheirExtremes) {
    carregarComImpressora();
    const auto i = [](uint32_t v) { return static_cast<int>(v); };
    const std::vector<unsigned char> preto(8 * 16, 0xFF);
    const std::string bmp = dir_.file("quadrado.bmp");
    rx457test::BMPTeste b;
    b.largura = b.altura = 8;
    b.pixels.assign(64, 0);
    rx457test::writeFile(bmp, b.bytes());
    char buffer[256];
    InfoDocumento info{};

    auto grafica = fn<int(int, int, int, const unsigned char*)>("VEX_ImprimirImagemGrafica");
    auto barras = fn<int(unsigned, const char*, int)>("VEX_ImprimirCodigoBarras");
    auto imagem = fn<int(const char*, int, int)>("VEX_ImprimirImagemDoArquivo");
    auto cheque = fn<int(const char*, int, const void*, int)>("VEX_PreencherCheque");
    auto numero = [&](const char* nome, uint32_t v) { return fn<int(int)>(nome)(i(v)); };
    auto area = fn<void(int, int, int, int)>("VEX_DefinirAreaImpressaoModoPaginado");
    auto preencher = fn<void(int, int, int, int, int)>("VEX_PreencherArea");
    auto pagina = [&](const std::function<void()>& dentro) {
        fn<void()>("VEX_SelecionarImpressaoPaginada")();
        dentro();
        fn<void(const char*)>("VEX_ImprimirTexto")("pagina\n");
        fn<void()>("VEX_RealizarImpressaoPaginada")();
    };
    // An export that returns nothing, called with the value.
    auto semRetorno = [](std::function<void(uint32_t)> f) {
        return [f](uint32_t v) {
            f(v);
            return kSemRetorno;
        };
    };
    constexpr std::array<int, 4> nada = {kSemRetorno, kSemRetorno, kSemRetorno, kSemRetorno};

    std::vector<ExtremoExportacao> casos = {
        {"ImprimirImagemGrafica modo", [&](uint32_t v) { return grafica(i(v), 64, 16, preto.data()); }, {0, 2, 2, 2}},
        {"ImprimirImagemGrafica largura", [&](uint32_t v) { return grafica(0, i(v), 16, preto.data()); }, {2, 2, 2, 2}},
        {"ImprimirImagemGrafica altura", [&](uint32_t v) { return grafica(0, 64, i(v), preto.data()); }, {2, 2, 2, 2}},
        {"ImprimirCodigoBarras tipo", [&](uint32_t v) { return barras(v, "123", 0); }, {0, 5, 5, 5}},
        {"ImprimirCodigoBarras tamanho", [&](uint32_t v) { return barras(4, "ABC", i(v)); }, {0, 2, 2, 2}},
        {"ImprimirCodigoBarras QR", [&](uint32_t v) { return barras(9, "ABC", i(v)); }, {0, 2, 2, 2}},
        {"ImprimirCodigoBarras PDF417", [&](uint32_t v) { return barras(10, "ABC", i(v)); }, {0, 2, 2, 2}},
        {"ImprimirImagemDoArquivo limiar", [&](uint32_t v) { return imagem(bmp.c_str(), i(v), 100); }, {0, 0, 0, 0}},
        {"ImprimirImagemDoArquivo divisor", [&](uint32_t v) { return imagem(bmp.c_str(), 128, i(v)); }, {3, 3, 3, 8}},
        {"ObterUltimoErro",
         [&](uint32_t v) { return fn<int(char*, unsigned)>("VEX_ObterUltimoErro")(buffer, v); },
         {14, 0, 0, 0}},
        {"LerParametroConfiguracaoVEX",
         [&](uint32_t v) {
             return fn<int(const char*, const char*, char*, unsigned)>("VEX_LerParametroConfiguracaoVEX")(
                 "RX457", "PORTA", buffer, v);
         },
         {14, 0, 0, 0}},
        {"LerMICR", [&](uint32_t v) { return fn<int(char*, int)>("VEX_LerMICR")(buffer, i(v)); }, {3, 12, 12, 12}},
        {"PreencherCheque tamanho", [&](uint32_t v) { return cheque("x", i(v), nullptr, 1); }, {3, 12, 12, 12}},
        {"PreencherCheque opcoes", [&](uint32_t v) { return cheque("x", 1, nullptr, i(v)); }, {3, 12, 12, 12}},
        {"ObterEstadoDocumentoEmSpooler",
         [&](uint32_t v) { return numero("VEX_ObterEstadoDocumentoEmSpooler", v); },
         {0, 0, 0, 0}},
        {"ReimprimirDocumentoEmSpooler",
         [&](uint32_t v) { return numero("VEX_ReimprimirDocumentoEmSpooler", v); },
         {1, 1, 1, 1}},
        {"CancelarImpressaoDocumentoEmSpooler",
         [&](uint32_t v) { return numero("VEX_CancelarImpressaoDocumentoEmSpooler", v); },
         {1, 1, 1, 1}},
        {"ImprimirDocumentoFiscal tamanhoInfo",
         [&](uint32_t v) {
             return fn<int(const char*, InfoDocumento*, unsigned, int, int)>("VEX_ImprimirDocumentoFiscal")("x", &info,
                                                                                                            v, 0, 0);
         },
         {8, 8, 8, 8}},
        {"RX457_iImprimirTexto",
         [&](uint32_t v) { return fn<int(const char*, int)>("RX457_iImprimirTexto")("abc", i(v)); },
         {1, -99, -99, -99}},
        {"RX457_rConsultaStatusImpressora",
         [&](uint32_t v) { return fn<int(int, int, char*)>("RX457_rConsultaStatusImpressora")(i(v), 1, buffer); },
         {-99, -99, -99, -99}},
        {"RX457_iCarregarBMPMemoria",
         [&](uint32_t v) { return fn<int(const char*, int)>("RX457_iCarregarBMPMemoria")(bmp.c_str(), i(v)); },
         {-99, -99, -99, -99}},
        {"DefinirModoImpressaoPadrao", semRetorno([&](uint32_t v) {
             fn<void(int, int)>("VEX_DefinirModoImpressaoPadrao")(i(v), i(v));
             fn<void()>("VEX_SelecionarModoImpressaoPadrao")();
         }),
         nada},
        {"AlterarModoImpressao",
         semRetorno([&](uint32_t v) { fn<void(int, int)>("VEX_AlterarModoImpressao")(i(v), i(v)); }), nada},
        {"SelecionarTamanhoCaracter",
         semRetorno([&](uint32_t v) { fn<void(int, int)>("VEX_SelecionarTamanhoCaracter")(i(v), i(v)); }), nada},
        {"AjustarPosicaoVerticalAbsoluta",
         semRetorno([&](uint32_t v) { pagina([&] { fn<void(int)>("VEX_AjustarPosicaoVerticalAbsoluta")(i(v)); }); }),
         nada},
        {"DefinirAreaImpressaoModoPaginado", semRetorno([&](uint32_t v) {
             pagina([&] { area(i(v), 0, 200, 100); });
             pagina([&] { area(0, i(v), 200, 100); });
             pagina([&] { area(0, 0, i(v), 100); });
             pagina([&] { area(0, 0, 200, i(v)); });
         }),
         nada},
        {"PreencherArea", semRetorno([&](uint32_t v) {
             preencher(i(v), 0, 100, 10, 1);
             preencher(0, i(v), 100, 10, 1);
             preencher(0, 0, i(v), 10, 1);
             preencher(0, 0, 100, i(v), 1);
             preencher(0, 0, 100, 10, i(v));
             preencher(i(v), i(v), i(v), i(v), 1);
         }),
         nada},
        {"ImprimirCampo",
         semRetorno([&](uint32_t v) { fn<void(int, int, int)>("VEX_ImprimirCampo")(i(v), i(v), i(v)); }), nada},
        {"RX457_setSize_Qrcode", semRetorno([&](uint32_t v) {
             fn<void(int)>("RX457_setSize_Qrcode")(i(v));
             fn<void(const char*, const char*)>("RX457_iImprimeQRCode_TextoDireita")("12345", "ao lado");
         }),
         nada},
    };
    // Exports of one number that return nothing.
    for (const char* nome :
         {"VEX_AvancarPapelBobina", "VEX_SelecionarAlinhamento", "VEX_AjustarPosicaoHorizontalAbsoluta"})
        casos.push_back({nome, semRetorno([this, nome](uint32_t v) { fn<void(unsigned)>(nome)(v); }), nada});
    for (const char* nome :
         {"VEX_SelecionarFonteCaracteres", "VEX_SelecionarConjuntoDeCaracteres", "VEX_SelecionarMargemEsquerda",
          "VEX_SelecionarLarguraAreaImpressao", "VEX_SelecionarEspacamentoEntreCaracteres",
          "VEX_SelecionarEspacamentoEntreLinhas", "VEX_RedefinirUnidadeMovimentacao", "VEX_DeslocamentoHorizontal",
          "VEX_DeslocamentoVertical", "VEX_QRCodeSelecionarModelo", "VEX_QRCodeSelecionarNivelCorrecaoErro",
          "VEX_QRCodeSelecionarTamanhoModulo", "VEX_SelecionarAlturaCodigoBarras", "VEX_SelecionarLarguraCodigoBarras"})
        casos.push_back({nome, semRetorno([this, nome, i](uint32_t v) { fn<void(int)>(nome)(i(v)); }), nada});

    for (const ExtremoExportacao& c : casos) {
        for (int k = 0; k < 4; ++k) {
            const auto inicio = std::chrono::steady_clock::now();
            const int codigo = c.chamar(kExtremos[k]);
            const auto duracao = std::chrono::steady_clock::now() - inicio;
            EXPECT_EQ(codigo, c.esperado[k]) << c.nome << " with " << kExtremos[k];
            EXPECT_LT(duracao, std::chrono::seconds(5)) << c.nome << " with " << kExtremos[k];
        }
    }

    aguardarPapel();
    emulador_->clearPage();
    ASSERT_EQ(grafica(0, 64, 16, preto.data()), 0);
    aguardarPapel();
    EXPECT_GE(linhasComTinta(), 16) << "the library still prints";
}

// ---------------------------------------------------------------------------------------------
// A fiscal XML the parser gives up on keeps its code; the last error and the error stream name the
// byte, in the encoding of the message it joins (the verification's messages are Latin-1).

TEST_F(ImpressoraTest, FiscalXMLNotUnderstoodNamesTheByte) {
    carregarComImpressora();
    const std::string porta = "[RX457]\nPORTA = " + emulador_->slavePath() + "\n";
    const std::string verificar = porta + "VERIFICAR_CALCULOS_XML = 1\n";
    const std::string amostras = std::string(FISCAL_SAMPLES_DIR) + "/";
    const std::string cfe = rx457test::readFile(amostras + "cfe-sale-hom-1item-infcpl-v006.xml");
    const std::string nfce = rx457test::readFile(amostras + "nfce-nfeproc-310-hom-df-cnpj-troco.xml");
    std::string totalErrado = cfe;
    totalErrado.insert(cfe.find("<vCFe>") + 6, "9");  // no longer the sum of the items
    const size_t totalCFe = cfe.find("<total"), totalNFCe = nfce.find("<total");
    const size_t fimTotal = totalErrado.find("</total>") + 8;
    ASSERT_NE(totalCFe, std::string::npos);
    ASSERT_NE(totalNFCe, std::string::npos);
    const std::string utf8 = "(XML n\xC3\xA3o entendido a partir do byte ";

    auto imprimir = fn<int(const char*, InfoDocumento*, unsigned, int, int)>("VEX_ImprimirDocumentoFiscal");
    auto legado = fn<int(const char*, const char*, const char*, int, const char*, const char*, int, int, const char*)>(
        "RX457_iImprimirXML_NFCe");
    auto ultimoErro = [&] {
        char texto[1024] = {};
        fn<int(char*, unsigned)>("VEX_ObterUltimoErro")(texto, sizeof texto);
        return std::string(texto);
    };
    struct Caso {
        const char* nome;
        std::string ini;
        std::function<int()> chamar;
        int codigo;
        std::string detalhe;  // empty: the message is the one a well-formed document gets
    } casos[] = {
        {"CF-e cut inside a tag prints", porta,
         [&] { return imprimir(cfe.substr(0, totalCFe + 3).c_str(), nullptr, 0, 0, 0); }, 0,
         utf8 + std::to_string(totalCFe) + ")"},
        {"NFC-e cut inside a tag, legacy export", porta,
         [&] {
             return legado(nfce.substr(0, totalNFCe + 3).c_str(), nullptr, nullptr, 0, "123456789012", "000001", 2, 0,
                           nullptr);
         },
         1, utf8 + std::to_string(totalNFCe) + ")"},
        {"CF-e cut after its totals is refused", verificar,
         [&] { return imprimir(totalErrado.substr(0, fimTotal).c_str(), nullptr, 0, 0, 0); }, 11,
         "(XML n\xE3o entendido a partir do byte " + std::to_string(fimTotal) + ")"},
        {"well-formed CF-e refused", verificar, [&] { return imprimir(totalErrado.c_str(), nullptr, 0, 0, 0); }, 11,
         ""},
        {"well-formed CF-e prints", porta, [&] { return imprimir(cfe.c_str(), nullptr, 0, 0, 0); }, 0, ""},
    };
    for (const Caso& c : casos) {
        writeIni(c.ini);
        const std::string antes = ultimoErro();
        testing::internal::CaptureStderr();
        EXPECT_EQ(c.chamar(), c.codigo) << c.nome;
        const std::string linhas = testing::internal::GetCapturedStderr();
        const std::string erro = ultimoErro();
        if (c.detalhe.empty()) {
            EXPECT_EQ(erro.find("entendido"), std::string::npos) << c.nome << ": " << erro;
            if (c.codigo == 0) {
                EXPECT_EQ(erro, antes) << c.nome;
            }
        } else {
            EXPECT_NE(erro.find(c.detalhe), std::string::npos) << c.nome << ": " << erro;
            EXPECT_NE(linhas.find(c.detalhe), std::string::npos) << c.nome << ": " << linhas;
        }
    }
}

}  // namespace
