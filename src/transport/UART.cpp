#include "transport/UART.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace UART {

namespace {

struct Classe {
    const char* caminho;  // device path prefix, "" when none
    const char* nome;     // port-name prefix, "" when none
};

constexpr Classe kClasses[16] = {
    {"", "COM"},
    {"", ""},
    {"", ""},
    {"", ""},
    {"", ""},
    {"", ""},
    {"", ""},
    {"", ""},
    {"/dev/ttyS", "ttyS"},
    {"/dev/tty", "tty"},
    {"/dev/ttyACM", "ttyACM"},
    {"/dev/usb", "usb"},
    {"/dev/usb/lp", "lp"},
    {"", ""},
    {"", ""},
    {"", ""},
};

// Longest time closing waits for queued output to leave.
constexpr int64_t kEsperaMaximaEsvaziarMs = 2000;

int64_t agoraMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void registrarErro(const char* operacao, int fd, const std::string& caminho, int erro) {
    // One line per failure, built first so concurrent writers do not interleave pieces.
    std::ostringstream linha;
    linha << operacao << " (fd: " << fd << ", '" << caminho << "', '" << std::strerror(erro) << " (" << erro << ")'\n";
    std::cerr << linha.str() << std::flush;
}

speed_t codigoVelocidade(int32_t velocidade) {
    switch (velocidade) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B115200;
    }
}

}  // namespace

Parameters parametrosPadrao() { return Parameters{0x0A00, 115200, 8, 1, 0, 0}; }

const char* prefixoCaminho(int classe) { return (classe >= 0 && classe < 16) ? kClasses[classe].caminho : ""; }

const char* prefixoNome(int classe) { return (classe >= 0 && classe < 16) ? kClasses[classe].nome : ""; }

std::string caminhoDoCodigo(int32_t codigo) {
    if (codigo < 0) return {};
    const char* prefixo = prefixoCaminho((codigo >> 8) & 0xFF);
    if (!*prefixo || codigo > 0xFFFF) return {};
    return std::string(prefixo) + std::to_string(codigo & 0xFF);
}

namespace {
// Parses the decimal number at s; the device number is kept within its byte.
bool lerNumero(const char* s, int32_t& valor) {
    if (*s < '0' || *s > '9') return false;
    int64_t v = 0;
    while (*s >= '0' && *s <= '9') {
        v = v * 10 + (*s - '0');
        if (v > 0xFFFF) return false;
        ++s;
    }
    valor = static_cast<int32_t>(v);
    return true;
}
}  // namespace

int32_t codigoDaPorta(const char* nome) {
    if (!nome || !*nome) return 0;
    int32_t numero = 0;
    if (*nome >= '0' && *nome <= '9') {
        if (!lerNumero(nome, numero) || numero > 0xFF) return 0;
        return numero + 0x0A00;
    }
    for (int classe = 0; classe < 16; ++classe) {
        const char* prefixo = kClasses[classe].nome;
        size_t tamanho = std::strlen(prefixo);
        if (tamanho == 0 || std::strncmp(nome, prefixo, tamanho) != 0) continue;
        if (nome[tamanho] < '0' || nome[tamanho] > '9') continue;
        // A number that does not fit the device byte would name another class: refuse it.
        if (!lerNumero(nome + tamanho, numero) || numero > 0xFF) return 0;
        return classe * 256 + numero;
    }
    return 0;
}

std::string nomeDaPorta(int32_t codigo) {
    if (codigo <= 0 || codigo > 0xFFFF) return {};
    const char* prefixo = prefixoNome(codigo >> 8);
    if (!*prefixo) return {};
    return std::string(prefixo) + std::to_string(codigo & 0xFF);
}

bool ehConsole(const std::string& caminhoDispositivo) {
    struct stat st {};
    if (::stat(caminhoDispositivo.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    // Virtual terminals are tty major 4, minors 0..63 (serial ports start at 64).
    if (major(st.st_rdev) == 4 && minor(st.st_rdev) < 64) return true;
    // The kernel's console may be a serial port (console=ttyS0): it is listed by name here.
    std::ifstream ativos("/sys/class/tty/console/active");
    std::string nome;
    char* real = ::realpath(caminhoDispositivo.c_str(), nullptr);
    std::string resolvido = real ? real : caminhoDispositivo;
    std::free(real);
    const std::string base = resolvido.substr(resolvido.find_last_of('/') + 1);
    while (ativos >> nome)
        if (nome == base) return true;
    return false;
}

bool erroDeQueda(int erro) {
    switch (erro) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case EBADF:
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ENOTCONN:
    case ESHUTDOWN:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ETIMEDOUT: return true;
    default: return false;
    }
}

// ---------------------------------------------------------------------------------------------

Base::~Base() = default;

bool Base::estaAberto() const { return !estaFechado(); }

int Base::aguardarDispositivo(short, int ms) {
    ::poll(nullptr, 0, std::clamp(ms, 0, 5));
    return 0;
}

int Base::escreverComTimeout(const void* dados, size_t n, int ms) {
    if (!dados || n == 0) return 0;
    const auto* p = static_cast<const uint8_t*>(dados);
    const int64_t inicio = agoraMs();
    size_t total = 0;
    while (total < n) {
        int escrito = escrever(p + total, n - total);
        if (escrito < 0) break;
        total += static_cast<size_t>(escrito);
        if (total >= n) break;
        int64_t passado = agoraMs() - inicio;
        if (passado > ms) break;
        // Wait for room instead of spinning on a full output queue.
        if (escrito == 0 && aguardarDispositivo(POLLOUT, static_cast<int>(ms - passado + 1)) < 0) break;
    }
    return static_cast<int>(total);
}

int Base::lerDisponivel(void* buffer, size_t n, int ms) {
    if (!buffer || n == 0) return 0;
    const int lido = ler(buffer, n);
    if (lido != 0) return lido;
    // One wait in poll; a device that hung up, or signals readiness yet yields nothing, ends it.
    const int pronto = aguardarDispositivo(POLLIN, std::max(ms, 0));
    if (pronto < 0) return -1;
    if (pronto == 0) return 0;
    return ler(buffer, n);
}

int Base::lerComTimeout(void* buffer, size_t n, int ms) {
    if (!buffer || n == 0) return 0;
    auto* p = static_cast<uint8_t*>(buffer);
    const int64_t inicio = agoraMs();
    size_t total = 0;
    bool prontoSemDados = false;
    while (total < n) {
        int lido = ler(p + total, n - total);
        if (lido < 0) break;
        total += static_cast<size_t>(lido);
        if (total >= n) break;
        int64_t passado = agoraMs() - inicio;
        if (passado > ms) break;
        // Sleep in poll until data arrives or the time limit passes (no busy loop).
        if (lido == 0) {
            if (prontoSemDados) {
                // The device signals readiness but yields nothing (hang-up): do not spin on it.
                ::poll(nullptr, 0, 2);
            }
            int resta = static_cast<int>(ms - passado + 1);
            int pronto = aguardarDispositivo(POLLIN, resta);
            // A device that hung up will never deliver the rest: stop now.
            if (pronto < 0) break;
            prontoSemDados = pronto > 0;
        } else {
            prontoSemDados = false;
        }
    }
    return static_cast<int>(total);
}

// ---------------------------------------------------------------------------------------------

UART::UART() : Base(parametrosPadrao()) {}

UART::UART(const Parameters& p) : Base(p) {}

UART::~UART() { fechar(); }

termios UART::configuracaoLinha(const Parameters& p) {
    termios t;
    std::memset(&t, 0, sizeof t);
    t.c_iflag = IGNPAR;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag = codigoVelocidade(p.velocidade) | CLOCAL | CREAD | CS8 | CRTSCTS;
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | PARODD);
    if (p.paridade != 0) {
        t.c_cflag |= PARENB;
        if (p.paridade == 1) t.c_cflag |= PARODD;
    }
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    switch (p.bitsDados) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: break;  // CS5 is all size bits clear
    }
    switch (p.controleFluxo) {
    case 2:
        t.c_cflag |= CRTSCTS;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXANY | IXOFF);
        break;
    case 1:
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        t.c_iflag |= IXON | IXOFF;
        break;
    case 0:
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXANY | IXOFF);
        break;
    default: break;
    }
    return t;
}

bool UART::abrirPorCodigo() {
    fechar();
    if (codigoDispositivo < 0x0800) return false;
    int classe = (codigoDispositivo >> 8) & 0xFF;
    if (classe < 8 || classe > 13) return false;
    std::string caminhoDispositivo = caminhoDoCodigo(codigoDispositivo);
    if (caminhoDispositivo.empty()) return false;
    // Identification queries would be typed on a console and leave it in raw mode.
    if (evitarConsoles && ehConsole(caminhoDispositivo)) return false;
    return abrir(caminhoDispositivo);
}

bool UART::abrir(const std::string& novoCaminho) {
    fechar();
    int fd;
    do {
        fd = ::open(novoCaminho.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        erroAbertura = errno;
        return false;
    }
    erroAbertura = 0;
    caiu_ = false;
    descritor = fd;
    caminho = novoCaminho;
    termiosValido_ = (::tcgetattr(fd, &termiosOriginal) == 0);
    termios nova = configuracaoLinha(*this);
    ::tcsetattr(fd, TCSANOW, &nova);
    if (estaAberto()) ::tcflush(fd, TCIOFLUSH);
    return estaAberto();
}

void UART::fechar() {
    if (descritor < 0) return;
    // tcdrain alone would block forever on a printer that stopped taking bytes (paper out, cable
    // pulled with flow control on): give the output queue a bounded time, then discard the rest.
    int pendentes = 0;
    // A device that is gone takes nothing more: do not wait for it.
    if (!caiu_ && ::ioctl(descritor, TIOCOUTQ, &pendentes) == 0) {
        const int64_t limite = agoraMs() + kEsperaMaximaEsvaziarMs;
        while (pendentes > 0 && agoraMs() < limite) {
            ::poll(nullptr, 0, 5);
            if (::ioctl(descritor, TIOCOUTQ, &pendentes) != 0) break;
        }
        if (pendentes > 0) ::tcflush(descritor, TCOFLUSH);
    }
    ::tcdrain(descritor);
    if (termiosValido_) ::tcsetattr(descritor, TCSANOW, &termiosOriginal);
    ::close(descritor);
    descritor = -1;
    termiosValido_ = false;
}

int UART::escrever(const void* dados, size_t n) {
    if (descritor < 0 || !dados || n == 0) return 0;
    size_t feitos = 0;
    if (!escreverAte(static_cast<const uint8_t*>(dados), n, -1, feitos)) return -1;
    if (feitos < n) {
        // The device accepted nothing for a long time: report it instead of blocking forever.
        registrarErro("UART::write", descritor, caminho, ETIMEDOUT);
        return -1;
    }
    // The whole count, not the last partial write: callers compare it with n, and a timed write
    // that added a partial count would send the tail twice.
    return static_cast<int>(feitos);
}

int UART::escreverComTimeout(const void* dados, size_t n, int ms) {
    if (descritor < 0 || !dados || n == 0) return 0;
    size_t feitos = 0;
    escreverAte(static_cast<const uint8_t*>(dados), n, agoraMs() + std::max(ms, 0), feitos);
    return static_cast<int>(feitos);
}

bool UART::escreverAte(const uint8_t* p, size_t n, int64_t prazo, size_t& feitos) {
    int64_t ultimoProgresso = agoraMs();
    while (feitos < n) {
        ssize_t r = ::write(descritor, p + feitos, n - feitos);
        if (r < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                if (erroDeQueda(errno)) caiu_ = true;
                registrarErro("UART::write", descritor, caminho, errno);
                return false;
            }
            // Output queue full: sleep in poll until the device takes more or time runs out.
            int64_t agora = agoraMs();
            int64_t resta = prazo >= 0 ? prazo - agora : esperaMaximaEscritaMs - (agora - ultimoProgresso);
            if (resta <= 0) return true;
            pollfd pfd{descritor, POLLOUT, 0};
            if (::poll(&pfd, 1, static_cast<int>(std::min<int64_t>(resta, 1000))) > 0 &&
                (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) && !(pfd.revents & POLLOUT)) {
                caiu_ = true;
                registrarErro("UART::write", descritor, caminho, EIO);
                return false;
            }
            continue;
        }
        feitos += static_cast<size_t>(r);
        ultimoProgresso = agoraMs();
    }
    return true;
}

int UART::ler(void* buffer, size_t n) {
    if (descritor < 0 || !buffer || n == 0) return 0;
    for (;;) {
        ssize_t r = ::read(descritor, buffer, n);
        if (r >= 0) return static_cast<int>(r);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        if (erroDeQueda(errno)) caiu_ = true;
        registrarErro("UART::read", descritor, caminho, errno);
        return -1;
    }
}

bool UART::estaFechado() const { return descritor == -1; }

std::array<uint8_t, 2> UART::lerSinais() {
    std::array<uint8_t, 2> sinais{0, 0};
    if (descritor < 0) return sinais;
    int linhas = 0;
    if (::ioctl(descritor, TIOCMGET, &linhas) == 0) {
        sinais[0] = (linhas & TIOCM_DSR) ? 1 : 0;
        sinais[1] = (linhas & TIOCM_CTS) ? 1 : 0;
    }
    return sinais;
}

int UART::aguardarDispositivo(short eventos, int ms) {
    if (descritor < 0) return -1;
    if (ms < 0) ms = 0;
    pollfd pfd{descritor, eventos, 0};
    int r;
    do {
        r = ::poll(&pfd, 1, ms);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (r == 0) return 0;
    // Callers read or write before waiting, so a hang-up here leaves nothing more to transfer.
    if (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) {
        caiu_ = true;
        return -1;
    }
    return 1;
}

}  // namespace UART
