// Printing exports end to end: from the host's call to the emulated printer's paper.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <vector>

#include "ImpressoraFixture.h"

namespace {

using rx457test::ImpressoraTest;

TEST_F(ImpressoraTest, PlainTextReachesThePaperAndTheCutIsForwarded) {
    carregarComImpressora();
    fn<void(const char*)>("VEX_ImprimirTexto")("RX457 teste de texto\n");
    fn<void()>("VEX_AcionarCortadorPapel")();
    aguardarPapel();
    EXPECT_GE(linhasComTinta(), 8);
    EXPECT_EQ(emulador_->partialCuts(), 1);
}

TEST_F(ImpressoraTest, NullTextDoesNothing) {
    carregarComImpressora();
    fn<void(const char*)>("VEX_ImprimirTexto")(nullptr);
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 0);
}

TEST_F(ImpressoraTest, DrawerPulseIsForwarded) {
    carregarComImpressora();
    fn<void()>("VEX_AbrirGavetaDinheiro")();
    aguardarPapel();
    EXPECT_EQ(emulador_->drawerPulses(), 1);
}

TEST_F(ImpressoraTest, BarcodeArgumentCodes) {
    carregarComImpressora();
    auto barras = fn<int(unsigned, const char*, int)>("VEX_ImprimirCodigoBarras");
    EXPECT_EQ(barras(11, "1", 0), 5);
    EXPECT_EQ(barras(0, nullptr, 0), 3);
    EXPECT_EQ(barras(0, "", 0), 4);
    EXPECT_EQ(barras(4, "ABC", 0), 0);
    EXPECT_EQ(barras(4, "ABC", -1), 2);
    const std::string longo(300, '1');
    EXPECT_EQ(barras(4, longo.c_str(), 0), 2);
    EXPECT_EQ(barras(9, "https://exemplo.com.br/consulta", 0), 0);
    aguardarPapel();
    EXPECT_GT(linhasComTinta(), 40) << "the CODE39 symbol and the QR code are on the paper";
}

TEST_F(ImpressoraTest, OperationsThePrinterDoesNotHave) {
    carregarComImpressora();
    char buffer[16];
    EXPECT_EQ(fn<int(char*, int)>("VEX_LerMICR")(buffer, 10), 12);
    EXPECT_EQ(fn<int(char*, int)>("VEX_LerMICR")(nullptr, 10), 3);
    EXPECT_EQ(fn<int(const char*)>("VEX_AutenticarDocumento")(nullptr), 3);
    EXPECT_EQ(fn<int(const char*)>("VEX_AutenticarDocumento")("x"), 12);
    EXPECT_EQ(fn<int(const char*, int, const void*, int)>("VEX_PreencherCheque")("x", 1, nullptr, 1), 12);
    EXPECT_EQ(fn<int(const char*, int, const void*, int)>("VEX_PreencherCheque")(nullptr, 1, nullptr, 1), 3);
    EXPECT_EQ(fn<int()>("VEX_CancelarEsperaDeDocumento")(), 0);
}

TEST_F(ImpressoraTest, RasterImageExportChecksItsArguments) {
    carregarComImpressora();
    auto grafica = fn<int(int, int, int, const unsigned char*)>("VEX_ImprimirImagemGrafica");
    std::vector<unsigned char> dados(8 * 16, 0xFF);
    EXPECT_EQ(grafica(0, 64, 16, nullptr), 3);
    EXPECT_EQ(grafica(0, -8, 16, dados.data()), 2);
    EXPECT_EQ(grafica(0, 64, 16, dados.data()), 0);
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 16);
}

TEST_F(ImpressoraTest, JobIsCollectedSavedAsBytesAndAsImage) {
    carregarComImpressora();
    fn<void()>("VEX_IniciarTrabalhoImpressao")();
    fn<void(const char*)>("VEX_ImprimirTexto")("TRABALHO\n");
    const std::string bytes = dir_.file("trabalho.bin"), imagem = dir_.file("trabalho.bmp");
    ASSERT_EQ(fn<int(const char*)>("VEX_SalvarTrabalhoImpressaoEmArquivo")(bytes.c_str()), 0);
    EXPECT_NE(rx457test::readFile(bytes).find("TRABALHO\n"), std::string::npos);
    ASSERT_EQ(fn<int(const char*)>("VEX_SalvarTrabalhoImpressaoComoImagem")(imagem.c_str()), 0);
    const std::string bmp = rx457test::readFile(imagem);
    ASSERT_GT(bmp.size(), 130u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(fn<int(const char*)>("VEX_SalvarTrabalhoImpressaoEmArquivo")(nullptr), 3);
    EXPECT_EQ(fn<int(const char*)>("VEX_SalvarTrabalhoImpressaoComoImagem")("/nao/existe/x.bmp"), 7);
    fn<void()>("VEX_CancelarTrabalhoImpressao")();
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 0) << "a job never reaches the printer";
}

TEST_F(ImpressoraTest, SpoolNumbersDocumentsAndRefusesTheSixtyFourth) {
    carregarComImpressora();
    auto enviar = fn<int(const void*, int*)>("VEX_EnviarTrabalhoImpressaoParaSpooler");
    int numero = -1;
    ASSERT_EQ(enviar(nullptr, &numero), 0);
    EXPECT_EQ(numero, 2);
    for (int i = 3; i <= 64; ++i) {
        ASSERT_EQ(enviar(nullptr, &numero), 0);
        EXPECT_EQ(numero, i);
    }
    EXPECT_EQ(enviar(nullptr, &numero), 9);
    EXPECT_EQ(numero, 0);
    fn<void()>("VEX_EsvaziarSpooler")();
    ASSERT_EQ(enviar(nullptr, &numero), 0);
    EXPECT_EQ(numero, 2);

    auto arquivo = fn<int(const char*, const void*, int*)>("VEX_EnviarArquivoParaSpooler");
    EXPECT_EQ(arquivo(nullptr, nullptr, &numero), 3);
    EXPECT_EQ(arquivo(dir_.file("nao-existe").c_str(), nullptr, &numero), 8);
    rx457test::writeFile(dir_.file("doc.bin"), "conteudo");
    EXPECT_EQ(arquivo(dir_.file("doc.bin").c_str(), nullptr, &numero), 0);
    EXPECT_EQ(numero, 3);
    EXPECT_EQ(fn<int(int)>("VEX_ReimprimirDocumentoEmSpooler")(3), 1);
    EXPECT_EQ(fn<int(int)>("VEX_ObterEstadoDocumentoEmSpooler")(3), 0);
}

TEST_F(ImpressoraTest, ImageFileCodesAndScaling) {
    carregarComImpressora();
    auto imagem = fn<int(const char*, int, int)>("VEX_ImprimirImagemDoArquivo");
    EXPECT_EQ(imagem(nullptr, 128, 100), 3);
    EXPECT_EQ(imagem("", 128, 100), 4);
    EXPECT_EQ(imagem(dir_.file("nao-existe.bmp").c_str(), 128, 100), 8);
    rx457test::writeFile(dir_.file("ruim.bmp"), "BM isto nao e um bitmap");
    EXPECT_EQ(imagem(dir_.file("ruim.bmp").c_str(), 128, 100), 8);

    if (!rx457test::commandAvailable("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
    int codigo = -1;
    rx457test::runCommand("convert -size 100x40 xc:black BMP3:" + dir_.file("preto.bmp"), &codigo);
    ASSERT_EQ(codigo, 0);
    EXPECT_EQ(imagem(dir_.file("preto.bmp").c_str(), 128, 0), 3);
    ASSERT_EQ(imagem(dir_.file("preto.bmp").c_str(), 128, 200), 0);
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 20) << "divisor 200 prints half size";
    emulador_->clearPage();
    ASSERT_EQ(imagem(dir_.file("preto.bmp").c_str(), 128, 50), 0);
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 80) << "divisor 50 prints double size";
}

TEST_F(ImpressoraTest, PdfPagesPrintInOrderAndBadFilesHaveCodes) {
    if (!rx457test::commandAvailable("gs")) GTEST_SKIP() << "ghostscript (gs) is not installed";
    carregarComImpressora();
    auto bmp = fn<int(const char*)>("RX457_iImprimirBMP");
    EXPECT_EQ(bmp(dir_.file("nao-existe.pdf").c_str()), -8);
    rx457test::writeFile(dir_.file("falso.pdf"), "nao e pdf");
    EXPECT_EQ(bmp(dir_.file("falso.pdf").c_str()), -27);

    rx457test::writeFile(dir_.file("p.ps"),
                         "%!PS\n/Helvetica findfont 60 scalefont setfont\n"
                         "1 1 2 { /n exch def 72 720 moveto n 3 string cvs show showpage } for\n");
    const std::string pdf = dir_.file("duas paginas \"aspas\".pdf");
    int codigo = -1;
    rx457test::runCommand(
        "gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile='" + pdf + "' '" + dir_.file("p.ps") + "'", &codigo);
    ASSERT_EQ(codigo, 0);
    EXPECT_EQ(bmp(pdf.c_str()), 1);
    aguardarPapel();
    const int altura = emulador_->pageHeight();
    // Two letter-size pages fitted to 512 dots: the first whole (about 660 rows), the second cut
    // below its last black row.
    EXPECT_GT(altura, 660);
    EXPECT_LT(altura, 2 * 660);
}

// Names that mean something to a shell or to gs itself (a command after "%pipe%", a file of further
// arguments after "@", an option after "-") print the file they name and run nothing.
TEST_F(ImpressoraTest, PdfFileNamesAreNeverInterpreted) {
    if (!rx457test::commandAvailable("gs")) GTEST_SKIP() << "ghostscript (gs) is not installed";
    rx457test::writeFile(dir_.file("p.ps"),
                         "%!PS\n<< /PageSize [144 36] >> setpagedevice\n"
                         "/Helvetica findfont 30 scalefont setfont 10 8 moveto (PDF) show showpage\n");
    int codigo = -1;
    rx457test::runCommand("gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -sOutputFile='" + dir_.file("modelo") + "' '" +
                              dir_.file("p.ps") + "'",
                          &codigo);
    ASSERT_EQ(codigo, 0);
    const std::string pdf = rx457test::readFile(dir_.file("modelo"));
    carregarComImpressora();
    auto bmp = fn<int(const char*)>("RX457_iImprimirBMP");
    // Relative names are found in the working directory, the test's folder.
    const std::string nomes[] = {"%pipe%touch PWNED .pdf", "@pagina.pdf",
                                 "-sOutputFile=PWNED.pdf", "$(touch PWNED).pdf",
                                 "`touch PWNED`.pdf",      "aspas \"duplas\" e 'simples'.pdf",
                                 "linha\nnova.pdf",        dir_.file("%pipe%touch PWNED absoluto.pdf")};
    int altura = 0;
    for (const std::string& nome : nomes) {
        rx457test::writeFile(nome[0] == '/' ? nome : dir_.file(nome), pdf);
        EXPECT_EQ(bmp(nome.c_str()), 1) << nome;
        aguardarPapel();
        EXPECT_GT(emulador_->pageHeight(), altura + 40) << nome << ": the page is on the paper";
        altura = emulador_->pageHeight();
    }
    EXPECT_FALSE(rx457test::fileExists(dir_.file("PWNED")));
    EXPECT_FALSE(rx457test::fileExists(dir_.file(".pdf")));
}

// A path that is no plain readable file is an unreadable file for every export that takes one, never an
// internal failure; a FIFO without writer does not hold the call, and a PDF is refused before gs runs.
TEST_F(ImpressoraTest, PathsThatAreNoReadableFileHaveTheUnreadableFileCodes) {
    carregarComImpressora();
    ASSERT_EQ(::mkdir(dir_.file("pasta.pdf").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(dir_.file("fila.bmp").c_str(), 0644), 0);
    std::vector<std::string> caminhos = {dir_.path(), dir_.file("pasta.pdf"), dir_.file("fila.bmp"),
                                         dir_.file("nao-existe.pdf")};
    if (::geteuid() != 0) {  // root reads whatever the permissions say
        rx457test::writeFile(dir_.file("fechado.pdf"), "%PDF-1.4\n");
        ASSERT_EQ(::chmod(dir_.file("fechado.pdf").c_str(), 0), 0);
        caminhos.push_back(dir_.file("fechado.pdf"));
    }
    int numero = -1;
    auto spool = fn<int(const char*, const void*, int*)>("VEX_EnviarArquivoParaSpooler");
    auto imagem = fn<int(const char*, int, int)>("VEX_ImprimirImagemDoArquivo");
    auto fiscal = fn<int(const char*, InfoDocumento*, unsigned, int, int)>("VEX_ImprimirDocumentoFiscal");
    auto memoria = fn<int(const char*, int)>("RX457_iCarregarBMPMemoria");
    const struct {
        const char* nome;
        std::function<int(const char*)> chamar;
        int esperado;
    } casos[] = {
        {"VEX_EnviarArquivoParaSpooler", [&](const char* c) { return spool(c, nullptr, &numero); }, 8},
        {"VEX_ImprimirImagemDoArquivo", [&](const char* c) { return imagem(c, 128, 100); }, 8},
        {"VEX_ImprimirDocumentoFiscal", [&](const char* c) { return fiscal(c, nullptr, 0, 0, 0); }, 8},
        {"RX457_iImprimirArquivo", fn<int(const char*)>("RX457_iImprimirArquivo"), -27},
        {"RX457_iImprimirImagem", fn<int(const char*)>("RX457_iImprimirImagem"), -8},
        {"RX457_iImprimirBMP", fn<int(const char*)>("RX457_iImprimirBMP"), -8},
        {"RX457_iCarregarBMPMemoria", [&](const char* c) { return memoria(c, '0'); }, -8},
    };
    for (const std::string& caminho : caminhos)
        for (const auto& caso : casos)
            EXPECT_EQ(caso.chamar(caminho.c_str()), caso.esperado) << caso.nome << " " << caminho;
    EXPECT_EQ(numero, -1) << "nothing was stored";
    EXPECT_EQ(fn<int()>("RX457_iImprimirBMPMemoria")(), 0) << "nothing was loaded";
    aguardarPapel();
    EXPECT_EQ(linhasComTinta(), 0);
}

}  // namespace
