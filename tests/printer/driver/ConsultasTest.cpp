// Queries against the printer emulator (and a scripted printer) over a real pty.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Gravadores.h"
#include "PrinterEmulator.h"

using Ordal::Printer::PalavraStatus;
using Ordal::Printer::PrinterID;
using Ordal::Printer::RX457;
using teste::hex;

namespace {

int64_t agora() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

double cpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

int contar(const std::vector<uint8_t>& v, const std::string& padrao) {
    std::string s(v.begin(), v.end());
    int n = 0;
    for (size_t p = s.find(padrao); p != std::string::npos; p = s.find(padrao, p + 1)) ++n;
    return n;
}

// A printer on a pty that answers DLE EOT n from a script: read k (four queries each) gets
// script[k][n - 1]; reads past the script repeat its last entry. Nothing else is answered.
class ImpressoraRoteirizada {
public:
    explicit ImpressoraRoteirizada(std::vector<std::array<uint8_t, 4>> roteiro) : roteiro_(std::move(roteiro)) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        grantpt(master_);
        unlockpt(master_);
        slave_ = ptsname(master_);
        termios t;
        tcgetattr(master_, &t);
        cfmakeraw(&t);
        tcsetattr(master_, TCSANOW, &t);
        pipe(parar_);
        servidor_ = std::thread([this] { servir(); });
    }
    ~ImpressoraRoteirizada() {
        (void)!write(parar_[1], "x", 1);
        servidor_.join();
        close(master_);
        close(parar_[0]);
        close(parar_[1]);
    }
    const std::string& caminho() const { return slave_; }
    int consultas() const { return consultas_; }

private:
    void servir() {
        std::string pendente;
        for (;;) {
            pollfd p[2] = {{master_, POLLIN, 0}, {parar_[0], POLLIN, 0}};
            if (poll(p, 2, -1) < 0) continue;
            if (p[1].revents) return;
            char b[256];
            ssize_t n = read(master_, b, sizeof b);
            if (n <= 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            pendente.append(b, static_cast<size_t>(n));
            for (size_t i; (i = pendente.find('\x10')) != std::string::npos && i + 2 < pendente.size();) {
                if (pendente[i + 1] == 0x04 && pendente[i + 2] >= 1 && pendente[i + 2] <= 4) {
                    size_t leitura = std::min<size_t>(consultas_ / 4, roteiro_.size() - 1);
                    char r = static_cast<char>(roteiro_[leitura][pendente[i + 2] - 1]);
                    ++consultas_;
                    (void)!write(master_, &r, 1);
                }
                pendente.erase(0, i + 3);
            }
        }
    }
    std::vector<std::array<uint8_t, 4>> roteiro_;
    int master_ = -1;
    int parar_[2] = {-1, -1};
    std::string slave_;
    std::thread servidor_;
    std::atomic<int> consultas_{0};
};

}  // namespace

TEST(Consultas, IdentificacaoCompleta) {
    rx457emu::PrinterEmulator emu;
    RX457 d(emu.slavePath());
    EXPECT_TRUE(d.link->estaAberto());
    EXPECT_EQ(d.link->caminho, emu.slavePath());
    EXPECT_EQ(d.nomePorta(), emu.slavePath());
    EXPECT_EQ(d.idModelo, "RX");
    EXPECT_EQ(d.idTipo, "T");
    EXPECT_EQ(d.idVersaoRom, "1.0");
    EXPECT_EQ(d.versaoFirmware, "01.00");
    EXPECT_EQ(d.fabricante, "ORDAL");
    EXPECT_EQ(d.nomeModelo, "RX-457");
}

TEST(Consultas, IdentificacaoSoComC) {
    rx457emu::PrinterEmulator emu;
    for (char c : {'1', '2', '3', 'A', 'B'}) emu.setIdentification(c, std::nullopt);
    RX457 d(emu.slavePath());
    EXPECT_EQ(d.nomeModelo, "RX-457");
    EXPECT_EQ(d.idModelo, "");
    EXPECT_EQ(d.idTipo, "");
    EXPECT_EQ(d.idVersaoRom, "");
    EXPECT_EQ(d.versaoFirmware, "");
    EXPECT_EQ(d.fabricante, "");
    PrinterID id;
    EXPECT_TRUE(d.lerIdentificacao(id));
    EXPECT_EQ(id.nomeModelo, "RX-457");
}

// Raster rows may hold the bytes of DLE EOT n: the printer answers them while it reads the rows, in
// the middle of the next queries' exchanges.
TEST(Consultas, IdentificacaoIgnoraStatusDeDLEEOTNoRaster) {
    rx457emu::PrinterEmulator emu;
    RX457 d(emu.slavePath());
    emu.setRate(20000);
    std::string raster = "\x1d\x76\x30\x00\x40\x00\x10\x00";
    for (int i = 0; i < 16 * 64 / 4; ++i) raster += i % 8 ? std::string("\x10\x04\x01\x00", 4) : std::string(4, '\0');
    ASSERT_EQ(d.link->escrever(raster.data(), raster.size()), static_cast<int>(raster.size()));
    PrinterID id;
    EXPECT_TRUE(d.lerIdentificacao(id));
    EXPECT_EQ(id.idModelo, "RX");
    EXPECT_EQ(id.idTipo, "T");
    EXPECT_EQ(id.nomeModelo, "RX-457");
}

TEST(Consultas, IdentificacaoSemResposta) {
    rx457emu::PrinterEmulator emu;
    for (char c : {'1', '2', '3', 'A', 'B', 'C'}) emu.setIdentification(c, std::nullopt);
    RX457 d(emu.slavePath());
    EXPECT_TRUE(d.link->estaAberto()) << "the named device stays open";
    EXPECT_EQ(d.nomeModelo, "");
    PrinterID id;
    id.fabricante = "antes";
    id.nomeModelo = "antes";
    int64_t t0 = agora();
    EXPECT_FALSE(d.lerIdentificacao(id));
    EXPECT_LT(agora() - t0, 2000);
    EXPECT_EQ(id.fabricante, "antes");
    EXPECT_EQ(id.nomeModelo, "antes");
    EXPECT_FALSE(d.atualizarIdentificacao());
}

TEST(Consultas, StatusComQuatroRespostasEComUmaFaltando) {
    rx457emu::PrinterEmulator emu;
    RX457 d(emu.slavePath());
    emu.setStatus(1, 0x1E);  // drawer + offline
    emu.setStatus(2, 0x36);  // cover open, stopped by paper end
    emu.setStatus(3, 0x12);
    emu.setStatus(4, 0x7E);  // near end and end
    PalavraStatus w{};
    EXPECT_TRUE(d.atualizarStatus(w));
    EXPECT_EQ(w, (PalavraStatus{0x07, 0x0A, 0x20, 0}));
    EXPECT_EQ(d.estado, w);
    EXPECT_EQ(d.estadoBruto, (std::array<uint8_t, 4>{0x1E, 0x36, 0x12, 0x7E}));

    emu.setStatus(1, 0x12);
    emu.setStatus(3, std::nullopt);
    PalavraStatus w2{};
    int64_t t0 = agora();
    EXPECT_FALSE(d.atualizarStatus(w2));
    int64_t passado = agora() - t0;
    EXPECT_EQ(w2, w) << "the word keeps its last value";
    EXPECT_EQ(d.estado, w);
    EXPECT_EQ(d.estadoBruto, (std::array<uint8_t, 4>{0x1E, 0x36, 0x12, 0x7E}));
    EXPECT_GE(passado, 900);
    EXPECT_LT(passado, 3000);
}

TEST(Consultas, StatusRX457LeAteEstabilizar) {
    struct Caso {
        std::vector<std::array<uint8_t, 4>> roteiro;
        PalavraStatus esperado;
        int consultas;
    } casos[] = {
        // stable at once: two reads
        {{{0x12, 0x12, 0x12, 0x12}}, {0, 0, 0, 0}, 8},
        // changes once, then stable: three reads, the last word wins
        {{{0x12, 0x12, 0x12, 0x12}, {0x1A, 0x12, 0x12, 0x12}}, {0x02, 0, 0, 0}, 12},
        // changes twice
        {{{0x12, 0x12, 0x12, 0x12}, {0x1A, 0x12, 0x12, 0x12}, {0x1A, 0x16, 0x12, 0x12}}, {0x06, 0, 0, 0}, 16},
    };
    for (const auto& c : casos) {
        ImpressoraRoteirizada impressora(c.roteiro);
        RX457 d(impressora.caminho());
        PalavraStatus w{};
        EXPECT_TRUE(d.lerStatus(w));
        EXPECT_EQ(w, c.esperado);
        EXPECT_EQ(impressora.consultas(), c.consultas);
    }
}

TEST(Consultas, StatusQueNuncaEstabilizaTermina) {
    std::vector<std::array<uint8_t, 4>> roteiro;
    for (int i = 0; i < 40; ++i) roteiro.push_back({static_cast<uint8_t>(i % 2 ? 0x1A : 0x12), 0x12, 0x12, 0x12});
    ImpressoraRoteirizada impressora(roteiro);
    RX457 d(impressora.caminho());
    PalavraStatus w{};
    int64_t t0 = agora();
    EXPECT_TRUE(d.lerStatus(w));
    EXPECT_LT(agora() - t0, 5000);
    EXPECT_LT(impressora.consultas(), 60);
}

TEST(Consultas, StatusSilenciosoNaoGastaCPU) {
    rx457emu::PrinterEmulator emu;
    RX457 d(emu.slavePath());
    emu.setSilent(true);
    PalavraStatus w{};
    double cpu0 = cpuMs();
    int64_t t0 = agora();
    EXPECT_FALSE(d.lerStatus(w));
    int64_t passado = agora() - t0;
    double cpu = cpuMs() - cpu0;
    EXPECT_GE(passado, 900);
    EXPECT_LT(passado, 3000);
    EXPECT_LT(cpu, 50.0) << "waiting for a silent printer must sleep";
}

TEST(Consultas, FimDeImpressao) {
    rx457emu::PrinterEmulator emu;
    RX457 d(emu.slavePath());
    int64_t t0 = agora();
    EXPECT_TRUE(d.aguardarFimImpressao(2000));
    EXPECT_LT(agora() - t0, 1000);
    emu.clearReceived();
    emu.setSilent(true);
    t0 = agora();
    EXPECT_FALSE(d.aguardarFimImpressao(300));
    int64_t passado = agora() - t0;
    EXPECT_GE(passado, 280);
    EXPECT_LT(passado, 1500);
    EXPECT_EQ(emu.received(), std::vector<uint8_t>({0x1D, 0x49, 0x43}));
}

TEST(Consultas, ComandosChegamAImpressora) {
    rx457emu::PrinterEmulator emu;
    RX457 d(emu.slavePath());
    emu.clearReceived();
    d.avancarPapel(300);
    d.acionarGuilhotina(4);
    d.acionarGaveta(0, 100, 500);
    ASSERT_TRUE(emu.waitForReceived(14, 2000));
    EXPECT_EQ(emu.fullCuts(), 1);
    EXPECT_EQ(emu.drawerPulses(), 1);
    EXPECT_EQ(contar(emu.received(), hex("1B 4A FF")), 1);
}

TEST(Consultas, ImpressoraQueSomeFalhaSemTravar) {
    rx457emu::PrinterEmulator emu;
    RX457 d(emu.slavePath());
    emu.disappear();
    testing::internal::CaptureStderr();
    int64_t t0 = agora();
    bool r1 = d.enviarDireto("abc");
    bool r2 = d.imprimirTextoC("def");
    bool fim = d.aguardarFimImpressao(500);
    int64_t passado = agora() - t0;
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(r1);
    EXPECT_FALSE(r2);
    EXPECT_FALSE(fim);
    EXPECT_LT(passado, 2000);
    int linhas = 0;
    for (size_t p = log.find("UART::write (fd: "); p != std::string::npos; p = log.find("UART::write (fd: ", p + 1))
        ++linhas;
    EXPECT_EQ(linhas, 3) << log;  // one per failing call (the query's write included)
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    EXPECT_NE(log.find(std::string("'") + strerror(EIO) + " (5)'"), std::string::npos) << log;
}
