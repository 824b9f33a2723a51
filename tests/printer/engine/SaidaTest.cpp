// The output thread: what reaches the printer, switching between printer and capture, and the
// caller waiting for room without burning the CPU.
#include <gtest/gtest.h>

#include <time.h>

#include <chrono>
#include <string>
#include <thread>

#include "Bancada.h"
#include "TestSupport.h"
#include "printer/VirtualPrinter.h"

#ifdef RX457_COM_EMULADOR
#include "PrinterEmulator.h"
#endif

using namespace rx457engine;

namespace {

// A printer on a slow link: every write takes a while.
class DestinoLento : public DestinoContador {
public:
    bool escreverDispositivo(const uint8_t* d, size_t n) override {
        if (n > 16) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return DestinoContador::escreverDispositivo(d, n);
    }
};

double cpuDaThread() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

TEST(Saida, TodasAsLinhasProntasChegamAImpressora) {
    Bancada b;
    std::string texto;
    for (int i = 0; i < 400; ++i) texto += "Linha " + std::to_string(i) + "\n";
    b.enviar(texto);
    ASSERT_TRUE(b.motor.aguardarFimImpressao(10000));
    EXPECT_EQ(b.motor.linhasPendentesSaida(), 0);
    // 400 lines of 21 dots, 64 bytes each, plus 12 bytes of commands per image of at most 512 lines.
    const size_t linhas = 400 * 21;
    EXPECT_GE(b.destino.bytes.load(), linhas * 64);
    EXPECT_LE(b.destino.bytes.load(), linhas * 64 + 12 * (linhas + 511));
}

TEST(Saida, EsperaPorEspacoNoAnelNaoOcupaACPU) {
    DestinoLento destino;
    Engine motor(destino);
    // 9000 lines in a ring of 7200: the caller has to wait for the slow link.
    std::string texto;
    for (int i = 0; i < 9000 / 21 + 1; ++i) texto += "x\n";
    const auto inicio = std::chrono::steady_clock::now();
    const double cpu0 = cpuDaThread();
    motor.alimentarBytes(reinterpret_cast<const uint8_t*>(texto.data()), texto.size());
    const double cpu = cpuDaThread() - cpu0;
    const double parede = std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
    EXPECT_GT(parede, 0.05);
    EXPECT_LT(cpu, 0.25 * parede) << "cpu " << cpu << " s em " << parede << " s";
    EXPECT_TRUE(motor.aguardarFimImpressao(20000));
}

TEST(Saida, TrocaDeDestinoNaoPerdeNemDesviaLinhas) {
    Bancada b;
    b.motor.atrasoInicial = 300;  // still in the ring when the capture starts
    b.enviar("para a impressora\n");
    std::stringstream fluxo(std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(b.motor.obterImagem(fluxo));
    EXPECT_EQ(b.destino.bytes.load() / 64, size_t(21));
    b.enviar("para o arquivo\n");
    ASSERT_TRUE(b.motor.limparImagem());
    EXPECT_EQ(alturaBMP(fluxo.str()), 21);
    EXPECT_TRUE(fluxo.str() == capturar("para o arquivo\n"));
    b.enviar("de novo a impressora\n");
    ASSERT_TRUE(b.motor.aguardarFimImpressao(10000));
    EXPECT_EQ(b.destino.bytes.load() / 64, size_t(42));
}

TEST(Saida, LinhasDeAntesDaCapturaVaoParaAImpressoraMesmoComAThreadParada) {
    Bancada b;
    b.motor.stopEngine();
    b.enviar("para a impressora\n");
    std::stringstream fluxo(std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(b.motor.obterImagem(fluxo));
    EXPECT_EQ(b.destino.bytes.load() / 64, size_t(21));
    EXPECT_TRUE(b.motor.engineRunning());
    b.enviar("para o arquivo\n");
    ASSERT_TRUE(b.motor.limparImagem());
    EXPECT_TRUE(fluxo.str() == capturar("para o arquivo\n"));
}

TEST(Saida, CapturaSemImpressoraConectada) {
    // A printer part with no link: nothing answers and every write fails.
    EscPOSPrinter::EscPOS semLink(Ordal::Printer::RX457::especificacaoModelo(),
                                  Ordal::Printer::RX457::configuracaoModelo());
    Engine motor(semLink);
    EXPECT_FALSE(motor.aguardarFimImpressao(50));
    rx457test::TempDir dir;
    ASSERT_TRUE(motor.salvarImagem(dir.file("sem.bmp")));
    const std::string fluxo = "sem impressora\n" + std::string("\x1dV0", 3) + "depois do corte\n";
    motor.alimentarBytes(reinterpret_cast<const uint8_t*>(fluxo.data()), fluxo.size());
    EXPECT_TRUE(motor.aguardarFimImpressao(2000));
    ASSERT_TRUE(motor.limparImagem());
    const std::string bmp = rx457test::readFile(dir.file("sem.bmp"));
    EXPECT_EQ(alturaBMP(bmp), 2 * 21 + semLink.avancoCurto);
    EXPECT_GT(pontosPretos(bmp), 100);
}

TEST(Saida, CapturaMaiorQueOAnelDaAVolta) {
    Bancada b;
    std::string texto;
    for (int i = 0; i < 400; ++i) texto += "Linha " + std::to_string(i) + "\n";
    const std::string bmp = b.capturar(texto);
    ASSERT_GT(400 * 21, b.motor.capacidadeLinhas());
    EXPECT_EQ(alturaBMP(bmp), 400 * 21);
    EXPECT_EQ(bmp.size(), 130u + 400u * 21u * 64u);
    // The last line is where it belongs, past the wrap of the ring.
    const std::string ultima = capturar("Linha 399\n");
    EXPECT_TRUE(bmp.substr(bmp.size() - 21 * 64) == ultima.substr(130));
}

TEST(Saida, PaginaSoSaiQuandoImpressa) {
    Bancada b;
    b.enviar(
        "\x1bL"
        "pagina\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(b.destino.bytes.load(), 0u);
    b.enviar("\x1b\x0c");
    ASSERT_TRUE(b.motor.aguardarFimImpressao(10000));
    EXPECT_GE(b.destino.bytes.load(), size_t(21 * 64));
}

#ifdef RX457_COM_EMULADOR
TEST(Saida, ImpressoraVirtualNoEmuladorImprimeOMesmoQueACaptura) {
    rx457emu::PrinterEmulator emulador;
    Ordal::Printer::VirtualPrinter<Ordal::Printer::RX457> vp(emulador.slavePath());
    ASSERT_NE(vp.link, nullptr);
    EXPECT_EQ(vp.nomeModelo, "RX-457");
    const std::string fluxo = std::string("\x1b@") + "Cupom de teste\n" +
                              "\x1b"
                              "a\x01"
                              "Centro\n" +
                              "\x1b"
                              "E\x01"
                              "Negrito\n" +
                              "\x1d!\x11"
                              "Grande\n";
    emulador.clearPage();
    vp.imprimirTexto(fluxo);
    ASSERT_TRUE(vp.aguardarFimImpressao(5000));
    ASSERT_TRUE(emulador.waitQuiet(100, 5000));
    const std::vector<uint8_t> pagina = emulador.pageBMP();
    const std::string esperado = capturar(fluxo);
    ASSERT_FALSE(pagina.empty());
    EXPECT_EQ(std::string(pagina.begin(), pagina.end()) == esperado, true)
        << "pagina " << emulador.pageWidth() << "x" << emulador.pageHeight() << ", captura " << alturaBMP(esperado)
        << " linhas";
    Ordal::Printer::PalavraStatus status{};
    EXPECT_TRUE(vp.lerStatus(status));
    vp.acionarGuilhotina(8);
    ASSERT_TRUE(emulador.waitQuiet(100, 5000));
    EXPECT_EQ(emulador.partialCuts(), 1);
}
#endif

}  // namespace
