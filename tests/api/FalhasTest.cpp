// The printer as a shop meets it: unplugged and plugged back (at the same path or on another port),
// absent at start, stalled, slow, on the network, and a host that exits right after printing.
// Every receipt must come out whole, exactly once, and no call may hold the host for long.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "AmostrasFiscais.h"
#include "ImpressoraFixture.h"

extern char** environ;

namespace {

using rx457test::ImpressoraTest;
using Relogio = std::chrono::steady_clock;

constexpr int kTempoLimite = 1500;  // TIMEOUT of these tests, ms

double segundosDesde(Relogio::time_point t) { return std::chrono::duration<double>(Relogio::now() - t).count(); }

double cpuProcesso() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_utime.tv_sec + r.ru_stime.tv_sec + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// Share of one core the process used over `segundos` of doing nothing itself.
double cpuOcioso(double segundos) {
    const double antes = cpuProcesso();
    std::this_thread::sleep_for(std::chrono::duration<double>(segundos));
    return (cpuProcesso() - antes) / segundos;
}

int contar(const std::string& texto, const std::string& trecho) {
    int n = 0;
    for (size_t p = texto.find(trecho); p != std::string::npos; p = texto.find(trecho, p + 1)) ++n;
    return n;
}

// The sample sale with its one item repeated `itens` times.
std::string vendaCom(int itens) {
    std::string xml = lerAmostra("cfe-sale-hom-1item-v008.xml");
    const size_t a = xml.find("<det nItem=\"1\">");
    const size_t b = xml.find("</det>", a) + 6;
    const std::string det = xml.substr(a, b - a);
    std::string todos;
    for (int i = 1; i <= itens; ++i)
        todos += "<det nItem=\"" + std::to_string(i) + "\">" + det.substr(std::strlen("<det nItem=\"1\">"));
    return xml.replace(a, b - a, todos);
}

class FalhasTest : public ImpressoraTest {
protected:
    void SetUp() override {
        ImpressoraTest::SetUp();
        alias_ = dir_.file("impressora");
        ASSERT_TRUE(emulador_->setAlias(alias_));
    }

    void carregar(const std::string& porta, const std::string& extra = "") {
        writeIni("[RX457]\nPORTA = " + porta + "\nTIMEOUT = " + std::to_string(kTempoLimite) + "\n" + extra);
        load();
    }

    static std::string linhas(int n) {
        std::string t;
        for (int i = 0; i < n; ++i) t += "Linha " + std::to_string(1000 + i) + " do cupom de teste\n";
        return t;
    }

    void imprimir(const std::string& t) { fn<void(const char*)>("VEX_ImprimirTexto")(t.c_str()); }
    // On a thread of its own: the XML reader's thread-local caches would keep the library loaded
    // for as long as the calling thread lives, and the next test must load a fresh one.
    int imprimirFiscal(const std::string& xml) {
        int codigo = -1;
        auto f = fn<int(const char*, InfoDocumento*, unsigned, int, int)>("VEX_ImprimirDocumentoFiscal");
        std::thread([&] { codigo = f(xml.c_str(), nullptr, 0, 0, 0); }).join();
        return codigo;
    }
    int esperarTermino() { return fn<int()>("VEX_EsperarPeloTerminoImpressao")(); }
    int estado() {
        unsigned char b[4];
        return fn<int(unsigned char*, unsigned)>("VEX_AtualizarEstadoOperacao")(b, 4);
    }
    int detectar(InfoImpressora& info) {
        return fn<int(InfoImpressora*, unsigned)>("VEX_DetectarImpressora")(&info, sizeof info);
    }
    std::string ultimoErro() {
        char texto[1024] = {};
        fn<int(char*, unsigned)>("VEX_ObterUltimoErro")(texto, sizeof texto);
        return texto;
    }

    // The paper the text makes, rendered by the library itself into a job image.
    std::vector<uint8_t> paginaEsperada(const std::string& t) {
        fn<void()>("VEX_IniciarTrabalhoImpressao")();
        imprimir(t);
        const std::string bmp = dir_.file("esperado.bmp");
        EXPECT_EQ(fn<int(const char*)>("VEX_SalvarTrabalhoImpressaoComoImagem")(bmp.c_str()), 0);
        fn<void()>("VEX_CancelarTrabalhoImpressao")();
        return rx457test::readBytes(bmp);
    }

    // Waits until the emulator's paper is `esperado` (every row once); false after `ms`.
    bool papelIgual(const std::vector<uint8_t>& esperado, int ms = 30000) {
        const auto fim = Relogio::now() + std::chrono::milliseconds(ms);
        while (Relogio::now() < fim) {
            emulador_->waitQuiet(300, 2000);
            if (emulador_->pageBMP() == esperado) return true;
        }
        ADD_FAILURE() << "papel " << emulador_->pageWidth() << "x" << emulador_->pageHeight();
        return false;
    }

    // After an unplug: every row the printer got is in order and none twice; the rows a device
    // link took but never moved across before it vanished (its kernel buffer, at most `lacuna`
    // rows) are the only ones that may be missing, in one run at the place of the unplug.
    bool papelSemRepeticao(const std::vector<uint8_t>& esperado, int lacuna, int ms = 30000) {
        const size_t passo = 64, cabecalho = 130;
        const auto fim = Relogio::now() + std::chrono::milliseconds(ms);
        std::vector<uint8_t> papel;
        while (Relogio::now() < fim) {
            emulador_->waitQuiet(300, 2000);
            papel = emulador_->pageBMP();
            if (papel.size() < cabecalho || esperado.size() < cabecalho || papel.size() > esperado.size()) continue;
            const size_t linhasPapel = (papel.size() - cabecalho) / passo;
            const size_t linhasEsperadas = (esperado.size() - cabecalho) / passo;
            const size_t faltam = linhasEsperadas - linhasPapel;
            if (faltam > size_t(lacuna)) continue;
            auto linha = [&](const std::vector<uint8_t>& b, size_t i) {
                return b.begin() + long(cabecalho + i * passo);
            };
            size_t a = 0;
            while (a < linhasPapel && std::equal(linha(papel, a), linha(papel, a) + passo, linha(esperado, a))) ++a;
            // A page that is only a beginning still waits for the rows sent after the reconnection.
            if ((a < linhasPapel || faltam == 0) &&
                std::equal(linha(papel, a), linha(papel, linhasPapel), linha(esperado, a + faltam))) {
                RecordProperty("linhas_perdidas_no_buffer", std::to_string(faltam));
                return true;
            }
        }
        ADD_FAILURE() << "papel " << emulador_->pageWidth() << "x" << emulador_->pageHeight();
        return false;
    }

    std::string alias_;
};

// ---- unplugged and plugged back ------------------------------------------------------------

struct Religacao {
    const char* descricao;
    bool outraPorta;  // comes back as another ttyACM device, found by probing the port name
    bool compactar;   // trimmed bands and feeds: resumed where the printer stopped as well
};

class Religar : public FalhasTest, public ::testing::WithParamInterface<Religacao> {};

TEST_P(Religar, ReceiptCutByAnUnplugCompletesExactlyOnceWhenThePrinterReturns) {
    std::string porta = alias_, novoCaminho, novaPorta;
    if (GetParam().outraPorta) {
        // Device names are probed under /dev only: needs root, and two free ttyACM numbers.
        int k = 0;
        while (k < 19 && (access(("/dev/ttyACM" + std::to_string(k)).c_str(), F_OK) == 0 ||
                          access(("/dev/ttyACM" + std::to_string(k + 1)).c_str(), F_OK) == 0))
            ++k;
        if (geteuid() != 0 || access("/dev", W_OK) != 0 || k >= 19) GTEST_SKIP() << "no write access to /dev";
        porta = "ttyACM" + std::to_string(k);
        novaPorta = "ttyACM" + std::to_string(k + 1);
        novoCaminho = "/dev/" + novaPorta;
        ASSERT_TRUE(emulador_->setAlias("/dev/" + porta));
    }
    emulador_->setRate(60000);
    emulador_->setPaperWidth(512);
    carregar(porta, GetParam().compactar ? "COMPACTAR_RASTER = 1\n" : "");
    const std::string texto = linhas(150);
    const std::vector<uint8_t> esperado = paginaEsperada(texto);
    emulador_->clearPage();
    emulador_->clearReceived();
    imprimir(texto);
    // Mid-receipt: about a fifth of the bytes, with the rest more than the kernel's buffers hold.
    ASSERT_TRUE(emulador_->waitForReceived(GetParam().compactar ? 8000 : 40000, 10000)) << "mid-receipt";
    testing::internal::CaptureStderr();
    emulador_->disappear();
    std::this_thread::sleep_for(std::chrono::milliseconds(2200));  // two attempts to reconnect
    const std::string erro = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(emulador_->appear(novoCaminho));
    // The kernel's buffers hold about 8 KiB: 126 full-width rows, far more compact ones.
    EXPECT_TRUE(papelSemRepeticao(esperado, GetParam().compactar ? 2000 : 256));
    EXPECT_EQ(contar(erro, "não pode ser aberta"), 1) << erro;
    if (GetParam().outraPorta) {
        // The configuration follows the printer to its new port at the next call.
        EXPECT_EQ(estado(), 0);
        EXPECT_NE(iniText().find("PORTA = " + novaPorta + "\n"), std::string::npos) << iniText();
    }
    // Later receipts print too.
    emulador_->clearPage();
    imprimir(texto);
    EXPECT_TRUE(papelIgual(esperado));
}

INSTANTIATE_TEST_SUITE_P(Portas, Religar,
                         ::testing::Values(Religacao{"mesmo caminho", false, false},
                                           Religacao{"outra porta", true, false}, Religacao{"compacto", false, true}),
                         [](const auto& i) {
                             return i.param.descricao[0] == 'c' ? "Compacto"
                                    : i.param.outraPorta        ? "OutraPorta"
                                                                : "MesmoCaminho";
                         });

TEST_F(FalhasTest, PrinterAbsentAtStartIsReportedOnceAndPrintsWhenItArrives) {
    emulador_->disappear();
    carregar(alias_);
    const std::string texto = linhas(40);
    testing::internal::CaptureStderr();
    const std::vector<uint8_t> esperado = paginaEsperada(texto);
    InfoImpressora info;
    EXPECT_EQ(detectar(info), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(detectar(info), 1) << "a port that cannot be opened is no printer";
    imprimir(texto);
    // Disconnected: the output thread retries once a second and otherwise sleeps.
    const double cpu = cpuOcioso(2.0);
    const std::string erro = testing::internal::GetCapturedStderr();
    EXPECT_LT(cpu, 0.02) << "CPU desconectado";
    RecordProperty("cpu_desconectado", std::to_string(cpu));
    EXPECT_EQ(contar(erro, "não pode ser aberta"), 1) << erro;
    const std::string texto_erro = ultimoErro();
    EXPECT_NE(texto_erro.find(alias_), std::string::npos) << texto_erro;
    EXPECT_NE(texto_erro.find(std::strerror(ENOENT)), std::string::npos) << texto_erro;

    emulador_->clearPage();
    ASSERT_TRUE(emulador_->appear());
    EXPECT_TRUE(papelIgual(esperado));
    EXPECT_EQ(detectar(info), 0);
    EXPECT_EQ(std::string(info.porta), alias_);
}

// ---- a printer that takes nothing, and a slow one ----------------------------------------

TEST_F(FalhasTest, StalledPrinterNeverHoldsTheHostLongerThanTheTimeLimit) {
    carregar(alias_);
    // The driver is made while the printer answers, so that the time measured is the stall alone.
    ASSERT_EQ(esperarTermino(), 1);
    emulador_->setStalled(true);
    const double limite = kTempoLimite / 1000.0 + 1.0;
    auto inicio = Relogio::now();
    double imprimindo = 0;
    std::thread impressao([&] {
        imprimir(linhas(600));
        imprimindo = segundosDesde(inicio);
    });
    // Another host thread gets the session as soon as the printing call gave up.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto outro = Relogio::now();
    EXPECT_EQ(estado(), 6);
    const double outraThread = segundosDesde(outro);
    impressao.join();
    EXPECT_LT(imprimindo, limite);
    EXPECT_LT(outraThread, limite);
    RecordProperty("segundos_bloqueado", std::to_string(imprimindo));
    EXPECT_NE(ultimoErro().find("não aceitou"), std::string::npos) << ultimoErro();

    // The cut waits for nothing more: it follows the last row once the printer takes bytes again.
    inicio = Relogio::now();
    fn<void()>("VEX_AcionarCortadorPapel")();
    EXPECT_LT(segundosDesde(inicio), limite);
    const double cpu = cpuOcioso(2.0);
    EXPECT_LT(cpu, 0.02) << "CPU com a impressora parada";
    RecordProperty("cpu_parada", std::to_string(cpu));

    emulador_->clearReceived();
    emulador_->setStalled(false);
    ASSERT_TRUE(emulador_->waitForReceived(1, 5000));
    ASSERT_TRUE(emulador_->waitQuiet(500, 20000));
    EXPECT_EQ(esperarTermino(), 1);
    const std::vector<std::string> eventos = emulador_->events();
    ASSERT_FALSE(eventos.empty());
    EXPECT_EQ(eventos.back(), "cut-partial");
    EXPECT_GT(emulador_->pageHeight(), 3000) << "what the ring held was printed";
}

TEST_F(FalhasTest, LongReceiptOnASerialLineIsCutAfterItsLastRow) {
    emulador_->setRate(11520);  // 115200 bit/s
    carregar(alias_);
    const std::string xml = vendaCom(100);
    ASSERT_EQ(imprimirFiscal(xml), 0);
    ASSERT_TRUE(emulador_->waitQuiet(500, 60000));
    const std::vector<std::string> eventos = emulador_->events();
    ASSERT_FALSE(eventos.empty());
    EXPECT_EQ(eventos.back(), "cut-partial");
    EXPECT_EQ(emulador_->partialCuts(), 1);
    EXPECT_GT(emulador_->pageHeight(), 3000);
    RecordProperty("linhas_impressas", std::to_string(emulador_->pageHeight()));
}

// ---- a host that exits right after printing ------------------------------------------------

struct Saida {
    const char* arquivo;
    bool fiscal;
};

class ImprimirESair : public FalhasTest, public ::testing::WithParamInterface<Saida> {};

TEST_P(ImprimirESair, EverythingRenderedReachesThePaperBeforeTheProcessEnds) {
    emulador_->setRate(200000);
    carregar(alias_);
    const std::string conteudo = GetParam().fiscal ? vendaCom(100) : "Uma linha e fim\n";
    const std::string arquivo = dir_.file(GetParam().arquivo);
    rx457test::writeFile(arquivo, conteudo);
    std::vector<uint8_t> esperado;
    if (GetParam().fiscal) {
        fn<void()>("VEX_IniciarTrabalhoImpressao")();
        ASSERT_EQ(imprimirFiscal(conteudo), 0);
        const std::string bmp = dir_.file("esperado.bmp");
        ASSERT_EQ(fn<int(const char*)>("VEX_SalvarTrabalhoImpressaoComoImagem")(bmp.c_str()), 0);
        fn<void()>("VEX_CancelarTrabalhoImpressao")();
        esperado = rx457test::readBytes(bmp);
    } else {
        esperado = paginaEsperada(conteudo);
    }
    unload();
    emulador_->clearPage();
    emulador_->clearEvents();
    pid_t filho = -1;
    std::string pasta = dir_.path();
    char* argv[] = {const_cast<char*>(IMPRIMIR_E_SAIR), pasta.data(), const_cast<char*>(arquivo.c_str()), nullptr};
    ASSERT_EQ(posix_spawn(&filho, IMPRIMIR_E_SAIR, nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(filho, &status, 0), filho);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(papelIgual(esperado, 5000));
    EXPECT_EQ(emulador_->partialCuts(), GetParam().fiscal ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Documentos, ImprimirESair,
                         ::testing::Values(Saida{"linha.txt", false}, Saida{"cupom.xml", true}),
                         [](const auto& i) { return i.param.fiscal ? "CFe100Itens" : "UmaLinha"; });

// ---- a network printer ---------------------------------------------------------------------

TEST_F(FalhasTest, NetworkPrinterPrintsAndSurvivesADroppedConnection) {
    const int porta = emulador_->listenTcp(0);
    ASSERT_GT(porta, 0);
    const std::string endereco = "127.0.0.1:" + std::to_string(porta);
    carregar("/nao/existe", "METODO_DE_COMUNICACAO = ETHERNET\nIP_E_PORTA = " + endereco + "\n");
    InfoImpressora info;
    ASSERT_EQ(detectar(info), 0);
    EXPECT_EQ(std::string(info.porta), "tcp://" + endereco);
    const std::string texto = linhas(60);
    const std::vector<uint8_t> esperado = paginaEsperada(texto);
    for (int recibo = 0; recibo < 2; ++recibo) {
        emulador_->clearPage();
        imprimir(texto);
        EXPECT_TRUE(papelIgual(esperado)) << "recibo " << recibo;
        EXPECT_EQ(esperarTermino(), 1);
        // The printer closes the connection (rebooted, idle time-out): the next receipt reconnects.
        emulador_->dropConnection();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(emulador_->tcpConnections(), 2);
    // Status reconnects too, once an attempt is due again.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(estado(), 0);
    EXPECT_EQ(emulador_->tcpConnections(), 3);
    EXPECT_EQ(iniText().find("PORTA = /nao/existe\n") != std::string::npos, true) << "PORTA is left alone";
}

}  // namespace
