#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include "transport/Diagnostico.h"
#include "transport/Rede.h"
#include "transport/UART.h"

namespace {

// A pseudo-terminal pair: the link opens the slave like a USB CDC port, the test plays the printer.
struct Pty {
    int master = -1;
    std::string slave;
    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
        slave = ptsname(master);
        termios t;
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
    }
    ~Pty() { fecharMaster(); }
    void fecharMaster() {
        if (master >= 0) close(master);
        master = -1;
    }
    std::string lerTudo(int ms = 200) {
        std::string r;
        auto fim = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < fim) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) {
                if (!r.empty()) break;
                continue;
            }
            char b[4096];
            ssize_t n = read(master, b, sizeof b);
            if (n <= 0) break;
            r.append(b, static_cast<size_t>(n));
        }
        return r;
    }
};

double cpuMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

int64_t agora() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TEST(NomesDePorta, CodigoDaPorta) {
    struct Caso {
        const char* nome;
        int32_t codigo;
    } casos[] = {
        {nullptr, 0},     {"", 0},           {"12", 0x0A0C},      {"3", 0x0A03},   {"tty5", 0x0905},
        {"ttyUSB0", 0},   {"ttyS1", 0x0801}, {"ttyACM0", 0x0A00}, {"lp2", 0x0C02}, {"COM1", 0x0001},
        {"usb4", 0x0B04}, {"ttyACM", 0},     {"xyz", 0},          {"lp300", 0},    {"999", 0},
    };
    for (const auto& c : casos) EXPECT_EQ(UART::codigoDaPorta(c.nome), c.codigo) << (c.nome ? c.nome : "(null)");
}

TEST(NomesDePorta, NomeECaminhoDoCodigo) {
    struct Caso {
        int32_t codigo;
        const char* nome;
        const char* caminho;
    } casos[] = {
        {0x0C01, "lp1", "/dev/usb/lp1"},
        {0x0A00, "ttyACM0", "/dev/ttyACM0"},
        {0x0801, "ttyS1", "/dev/ttyS1"},
        {0x0905, "tty5", "/dev/tty5"},
        {0x0B13, "usb19", "/dev/usb19"},
        {0x0003, "COM3", ""},
        {0x0D00, "", ""},
        {0, "", ""},
        {-5, "", ""},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(UART::nomeDaPorta(c.codigo), c.nome) << c.codigo;
        EXPECT_EQ(UART::caminhoDoCodigo(c.codigo), c.caminho) << c.codigo;
    }
}

TEST(ConfiguracaoLinha, VelocidadeBitsParidadeFluxo) {
    struct Caso {
        int velocidade, bits, paridade, fluxo;
        tcflag_t velocidadeEsperada, tamanho;
        bool parenb, parodd, crtscts, ixon;
    } casos[] = {
        {9600, 8, 0, 0, B9600, CS8, false, false, false, false},
        {115200, 8, 0, 0, B115200, CS8, false, false, false, false},
        {4800, 7, 1, 1, B115200, CS7, true, true, false, true},
        {921600, 9, 2, 2, B921600, CS5, true, false, true, false},
        {57600, 6, 0, 7, B57600, CS6, false, false, true, false},
        {230400, 5, 0, 0, B230400, CS5, false, false, false, false},
    };
    for (const auto& c : casos) {
        UART::Parameters p = UART::parametrosPadrao();
        p.velocidade = c.velocidade;
        p.bitsDados = c.bits;
        p.paridade = c.paridade;
        p.controleFluxo = c.fluxo;
        termios t = UART::UART::configuracaoLinha(p);
        SCOPED_TRACE(c.velocidade);
        EXPECT_EQ(t.c_cflag & CBAUD, c.velocidadeEsperada);
        EXPECT_EQ(t.c_cflag & CSIZE, c.tamanho);
        EXPECT_EQ((t.c_cflag & PARENB) != 0, c.parenb);
        EXPECT_EQ((t.c_cflag & PARODD) != 0, c.parodd);
        EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, c.crtscts);
        EXPECT_EQ((t.c_iflag & IXON) != 0, c.ixon);
        EXPECT_EQ((t.c_iflag & IXOFF) != 0, c.ixon);
        EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
        EXPECT_TRUE(t.c_cflag & CLOCAL);
        EXPECT_TRUE(t.c_cflag & CREAD);
        EXPECT_TRUE(t.c_iflag & IGNPAR);
        EXPECT_EQ(t.c_lflag, 0u);
        EXPECT_EQ(t.c_oflag, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
    }
}

TEST(Link, FechadoNaoFazNada) {
    UART::UART link;
    uint8_t b[4] = {1, 2, 3, 4};
    EXPECT_TRUE(link.estaFechado());
    EXPECT_FALSE(link.estaAberto());
    EXPECT_EQ(link.escrever(b, 4), 0);
    EXPECT_EQ(link.ler(b, 4), 0);
    EXPECT_EQ(link.lerComTimeout(b, 4, 50), 0);
    EXPECT_EQ(link.escreverComTimeout(b, 4, 50), 0);
    EXPECT_EQ(link.lerSinais(), (std::array<uint8_t, 2>{0, 0}));
    link.fechar();
    EXPECT_FALSE(link.abrir("/nao/existe/porta"));
    link.codigoDispositivo = 0x0001;  // COM1: no device path
    EXPECT_FALSE(link.abrirPorCodigo());
    link.codigoDispositivo = 0x0D00;
    EXPECT_FALSE(link.abrirPorCodigo());
}

TEST(Link, TrocaBytesERestauraTerminal) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    termios antes;
    {
        int fd = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios t;
        tcgetattr(fd, &t);
        t.c_lflag |= ICANON | ECHO;  // cooked, so restoring is visible
        tcsetattr(fd, TCSANOW, &t);
        tcgetattr(fd, &antes);
        close(fd);
    }
    UART::UART link;
    ASSERT_TRUE(link.abrir(pty.slave));
    EXPECT_EQ(link.caminho, pty.slave);
    const std::string dados = "\x1b@hello\x00\xff";
    EXPECT_EQ(link.escrever(dados.data(), dados.size()), static_cast<int>(dados.size()));
    EXPECT_EQ(pty.lerTudo(), dados);

    ASSERT_EQ(write(pty.master, "OK\x01", 3), 3);
    char b[16];
    EXPECT_EQ(link.lerComTimeout(b, 3, 500), 3);
    EXPECT_EQ(std::string(b, 3), "OK\x01");
    EXPECT_EQ(link.lerComTimeout(b, 0, 500), 0);

    link.fechar();
    EXPECT_TRUE(link.estaFechado());
    int fd = open(pty.slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios depois;
    tcgetattr(fd, &depois);
    close(fd);
    EXPECT_EQ(depois.c_lflag & (ICANON | ECHO), antes.c_lflag & (ICANON | ECHO));
}

TEST(Link, LeituraSilenciosaRespeitaPrazoSemGastarCPU) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    UART::UART link;
    ASSERT_TRUE(link.abrir(pty.slave));
    char b[8];
    double cpu0 = cpuMs();
    int64_t t0 = agora();
    EXPECT_EQ(link.lerComTimeout(b, 8, 300), 0);
    int64_t passado = agora() - t0;
    double cpu = cpuMs() - cpu0;
    EXPECT_GE(passado, 300);
    EXPECT_LT(passado, 1500);
    EXPECT_LT(cpu, 50.0) << "a silent read must sleep, not spin";
}

TEST(Link, DadosQueChegamDuranteAEspera) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    UART::UART link;
    ASSERT_TRUE(link.abrir(pty.slave));
    std::thread impressora([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        (void)!write(pty.master, "ab", 2);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        (void)!write(pty.master, "cd", 2);
    });
    char b[4];
    int64_t t0 = agora();
    EXPECT_EQ(link.lerComTimeout(b, 4, 2000), 4);
    EXPECT_LT(agora() - t0, 1500);
    impressora.join();
    EXPECT_EQ(std::string(b, 4), "abcd");
}

TEST(Link, EscritaComPrazoSemLeitorDevolveParcial) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    UART::UART link;
    ASSERT_TRUE(link.abrir(pty.slave));
    std::vector<char> grande(1 << 20, 'x');
    double cpu0 = cpuMs();
    int64_t t0 = agora();
    int n = link.escreverComTimeout(grande.data(), grande.size(), 300);
    int64_t passado = agora() - t0;
    EXPECT_GT(n, 0);
    EXPECT_LT(n, static_cast<int>(grande.size()));
    EXPECT_GE(passado, 300);
    EXPECT_LT(passado, 2000);
    EXPECT_LT(cpuMs() - cpu0, 50.0);
}

TEST(Link, DispositivoQueSomeFalhaComUmaLinhaPorChamada) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    UART::UART link;
    ASSERT_TRUE(link.abrir(pty.slave));
    pty.fecharMaster();
    const char dados[] = "abc";
    testing::internal::CaptureStderr();
    int r1 = link.escrever(dados, 3);
    int r2 = link.escrever(dados, 3);
    char b[4];
    std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r1, -1);
    EXPECT_EQ(r2, -1);
    // The link knows it fell: its owner closes it and opens it again.
    EXPECT_TRUE(link.caiu());
    EXPECT_FALSE(link.utilizavel());
    std::vector<std::string> linhas;
    size_t p = 0;
    while (p < log.size()) {
        size_t q = log.find('\n', p);
        linhas.push_back(log.substr(p, q - p));
        p = q == std::string::npos ? log.size() : q + 1;
    }
    ASSERT_EQ(linhas.size(), 2u) << log;
    const std::string esperado = "UART::write (fd: " + std::to_string(link.descritor) + ", '" + pty.slave + "', '" +
                                 std::strerror(EIO) + " (" + std::to_string(EIO) + ")'";
    EXPECT_EQ(linhas[0], esperado);
    EXPECT_EQ(linhas[1], esperado);
    // A timed read on the vanished device stops at the error instead of waiting out its limit.
    testing::internal::CaptureStderr();
    int64_t t0 = agora();
    EXPECT_LE(link.lerComTimeout(b, 4, 2000), 0);
    EXPECT_LT(agora() - t0, 1000);
    testing::internal::GetCapturedStderr();
    link.fechar();
}

TEST(Link, FecharComSaidaParadaNaoTrava) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    UART::UART link;
    ASSERT_TRUE(link.abrir(pty.slave));
    std::vector<char> grande(1 << 20, 'x');
    link.escreverComTimeout(grande.data(), grande.size(), 100);  // fills the queue; nobody reads
    int64_t t0 = agora();
    link.fechar();
    EXPECT_TRUE(link.estaFechado());
    EXPECT_LT(agora() - t0, 5000);
    // The device can be opened again afterwards.
    EXPECT_TRUE(link.abrir(pty.slave));
}

TEST(Link, BaseSemEsperaPropriaNaoGira) {
    // A link type that has nothing pending and no descriptor to wait on.
    struct Mudo : UART::Base {
        bool abrirPorCodigo() override { return false; }
        bool abrir(const std::string&) override { return false; }
        void fechar() override {}
        int escrever(const void*, size_t) override { return 0; }
        int ler(void*, size_t) override {
            ++leituras;
            return 0;
        }
        bool estaFechado() const override { return false; }
        std::array<uint8_t, 2> lerSinais() override { return {0, 0}; }
        int leituras = 0;
    } mudo;
    char b[4];
    double cpu0 = cpuMs();
    int64_t t0 = agora();
    EXPECT_EQ(mudo.lerComTimeout(b, 4, 200), 0);
    EXPECT_EQ(mudo.escreverComTimeout(b, 4, 200), 0);
    EXPECT_GE(agora() - t0, 400);
    EXPECT_LT(cpuMs() - cpu0, 50.0);
    EXPECT_LT(mudo.leituras, 200) << "the timed read must sleep between attempts";
}

TEST(Link, ConsolesNaoSaoSondados) {
    Pty pty;
    ASSERT_GE(pty.master, 0);
    EXPECT_FALSE(UART::ehConsole(pty.slave));
    EXPECT_FALSE(UART::ehConsole("/nao/existe"));
    struct stat st {};
    if (stat("/dev/tty1", &st) == 0 && S_ISCHR(st.st_mode)) {
        EXPECT_TRUE(UART::ehConsole("/dev/tty1"));
    }
    // While probing, a virtual terminal is never opened (nor put in raw mode).
    UART::UART link;
    link.codigoDispositivo = 0x0901;  // /dev/tty1
    link.evitarConsoles = true;
    if (stat("/dev/tty1", &st) == 0) {
        EXPECT_FALSE(link.abrirPorCodigo());
    }
}

TEST(Diagnostico, PortaQueNaoAbreDizPorQueEOQueFazer) {
    struct Caso {
        const char* porta;
        const char* caminho;
        int erro;
        const char* remedio;  // nullptr: none expected
    } casos[] = {
        {"/dev/ttyACM9", "", ENOENT, nullptr},
        {"ttyACM9", "/dev/ttyACM9", EACCES, "grupo 'dialout'"},
        {"lp7", "/dev/usb/lp7", EACCES, "grupo 'lp'"},
        {"tcp://10.0.0.9:9100", "", ECONNREFUSED, nullptr},
    };
    for (const auto& c : casos) {
        const std::string texto = UART::textoFalhaAbertura(c.porta, c.caminho, c.erro);
        SCOPED_TRACE(texto);
        EXPECT_NE(texto.find(std::string("'") + c.porta + "'"), std::string::npos);
        EXPECT_NE(texto.find(c.caminho), std::string::npos);
        EXPECT_NE(texto.find(std::strerror(c.erro)), std::string::npos);
        EXPECT_EQ(texto.find("grupo") != std::string::npos, c.remedio != nullptr);
        if (c.remedio) {
            EXPECT_NE(texto.find(c.remedio), std::string::npos);
        }
    }
}

TEST(Rede, EnderecosDeImpressoraDeRede) {
    struct Caso {
        const char* endereco;
        bool valido;
        const char* host;
        int porta;
    } casos[] = {
        {"192.168.0.50", true, "192.168.0.50", 9100},
        {"tcp://192.168.0.50:9101", true, "192.168.0.50", 9101},
        {"impressora.loja:515", true, "impressora.loja", 515},
        {"[fe80::1]:9100", true, "fe80::1", 9100},
        {"[::1]", true, "::1", 9100},
        {"::1", true, "::1", 9100},
        {"host:0", false, "", 0},
        {"host:70000", false, "", 0},
        {"host:9a", false, "", 0},
        {"", false, "", 0},
        {"[::1", false, "", 0},
        {"tcp://", false, "", 0},
    };
    for (const auto& c : casos) {
        std::string host;
        int porta = 0;
        SCOPED_TRACE(c.endereco);
        ASSERT_EQ(UART::Rede::separarEndereco(c.endereco, host, porta), c.valido);
        if (!c.valido) continue;
        EXPECT_EQ(host, c.host);
        EXPECT_EQ(porta, c.porta);
    }
}

TEST(Rede, TrocaBytesESabeQuandoAConexaoCaiu) {
    int servidor = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(servidor, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    ASSERT_EQ(bind(servidor, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(servidor, 1), 0);
    ASSERT_EQ(getsockname(servidor, reinterpret_cast<sockaddr*>(&a), &n), 0);
    const std::string endereco = "tcp://127.0.0.1:" + std::to_string(ntohs(a.sin_port));

    UART::Rede link;
    ASSERT_TRUE(link.abrir(endereco));
    EXPECT_EQ(link.caminho, endereco);
    int conexao = accept(servidor, nullptr, nullptr);
    ASSERT_GE(conexao, 0);
    EXPECT_EQ(link.escrever("abc", 3), 3);
    char b[8] = {};
    EXPECT_EQ(recv(conexao, b, sizeof b, 0), 3);
    EXPECT_EQ(send(conexao, "OK", 2, 0), 2);
    EXPECT_EQ(link.lerComTimeout(b, 2, 1000), 2);
    EXPECT_EQ(std::string(b, 2), "OK");
    // The printer closes the connection: the next write does not vanish unseen.
    close(conexao);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    testing::internal::CaptureStderr();
    EXPECT_EQ(link.escrever("def", 3), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(link.caiu());
    link.fechar();
    close(servidor);
    // Nobody listening any more: the open fails and says why.
    EXPECT_FALSE(link.abrir(endereco));
    EXPECT_EQ(link.erroAbertura, ECONNREFUSED);
    EXPECT_TRUE(link.estaFechado());
}
