#include "transport/Rede.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <sstream>

namespace UART {

namespace {

int64_t agoraMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool lerPorta(const std::string& texto, int& porta) {
    if (texto.empty() || texto.size() > 5) return false;
    int v = 0;
    for (char c : texto) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < 1 || v > 65535) return false;
    porta = v;
    return true;
}

// Waits for a non-blocking connect; 0 connected, else the errno.
int concluirConexao(int fd, int ms) {
    pollfd pfd{fd, POLLOUT, 0};
    const int64_t fim = agoraMs() + std::max(ms, 0);
    for (;;) {
        const int resta = static_cast<int>(std::max<int64_t>(fim - agoraMs(), 0));
        const int r = ::poll(&pfd, 1, resta);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return errno;
        if (r == 0) return ETIMEDOUT;
        int erro = 0;
        socklen_t tamanho = sizeof erro;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &erro, &tamanho) != 0) return errno;
        return erro;
    }
}

}  // namespace

Rede::Rede() : Base(parametrosPadrao()) {}

Rede::~Rede() { fechar(); }

bool Rede::ehEnderecoRede(const std::string& nome) { return nome.rfind(kPrefixo, 0) == 0; }

bool Rede::separarEndereco(const std::string& endereco, std::string& host, int& porta) {
    std::string e = ehEnderecoRede(endereco) ? endereco.substr(std::strlen(kPrefixo)) : endereco;
    porta = kPortaPadrao;
    if (!e.empty() && e[0] == '[') {
        const size_t fim = e.find(']');
        if (fim == std::string::npos) return false;
        host = e.substr(1, fim - 1);
        const std::string resto = e.substr(fim + 1);
        if (!resto.empty() && (resto[0] != ':' || !lerPorta(resto.substr(1), porta))) return false;
        return !host.empty();
    }
    const size_t doisPontos = e.find(':');
    if (doisPontos != std::string::npos && e.find(':', doisPontos + 1) == std::string::npos) {
        host = e.substr(0, doisPontos);
        if (!lerPorta(e.substr(doisPontos + 1), porta)) return false;
    } else {
        host = e;  // no port, or an IPv6 literal without brackets
    }
    return !host.empty();
}

bool Rede::abrirPorCodigo() {
    fechar();
    return false;
}

bool Rede::abrir(const std::string& endereco) {
    fechar();
    std::string host;
    int porta = 0;
    if (!separarEndereco(endereco, host, porta)) {
        erroAbertura = EINVAL;
        return false;
    }
    addrinfo dicas{};
    dicas.ai_family = AF_UNSPEC;
    dicas.ai_socktype = SOCK_STREAM;
    addrinfo* lista = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(porta).c_str(), &dicas, &lista) != 0 || !lista) {
        erroAbertura = EHOSTUNREACH;
        return false;
    }
    int erro = ECONNREFUSED;
    for (addrinfo* a = lista; a && descritor < 0; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            erro = errno;
            continue;
        }
        int r = ::connect(fd, a->ai_addr, a->ai_addrlen);
        erro = r == 0 ? 0 : errno;
        if (erro == EINPROGRESS) erro = concluirConexao(fd, tempoConexaoMs);
        if (erro != 0) {
            ::close(fd);
            continue;
        }
        // Small status queries must leave at once; a printer switched off is noticed by keepalive.
        int um = 1, ocioso = 5, intervalo = 2, sondas = 3;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &um, sizeof um);
        ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &um, sizeof um);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &ocioso, sizeof ocioso);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &intervalo, sizeof intervalo);
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &sondas, sizeof sondas);
        descritor = fd;
    }
    ::freeaddrinfo(lista);
    if (descritor < 0) {
        erroAbertura = erro;
        return false;
    }
    erroAbertura = 0;
    caiu_ = false;
    caminho = endereco;
    return true;
}

void Rede::fechar() {
    if (descritor < 0) return;
    // Bytes already accepted keep going out after close; nothing is discarded here.
    ::close(descritor);
    descritor = -1;
}

void Rede::registrar(const char* operacao, int erro) {
    std::ostringstream linha;
    linha << operacao << " (fd: " << descritor << ", '" << caminho << "', '" << std::strerror(erro) << " (" << erro
          << ")'\n";
    std::cerr << linha.str() << std::flush;
}

int Rede::escrever(const void* dados, size_t n) {
    if (descritor < 0 || !dados || n == 0) return 0;
    size_t feitos = 0;
    if (!escreverAte(static_cast<const uint8_t*>(dados), n, -1, feitos)) return -1;
    if (feitos < n) {
        registrar("Rede::write", ETIMEDOUT);
        return -1;
    }
    return static_cast<int>(feitos);
}

int Rede::escreverComTimeout(const void* dados, size_t n, int ms) {
    if (descritor < 0 || !dados || n == 0) return 0;
    size_t feitos = 0;
    escreverAte(static_cast<const uint8_t*>(dados), n, agoraMs() + std::max(ms, 0), feitos);
    return static_cast<int>(feitos);
}

void Rede::verificarConexao() {
    if (descritor < 0 || caiu_) return;
    pollfd fim{descritor, POLLRDHUP, 0};
    if (::poll(&fim, 1, 0) > 0 && (fim.revents & (POLLRDHUP | POLLHUP | POLLERR))) caiu_ = true;
}

bool Rede::escreverAte(const uint8_t* p, size_t n, int64_t prazo, size_t& feitos) {
    // A printer that closed the connection while idle would swallow the first write unseen.
    verificarConexao();
    if (caiu_) {
        registrar("Rede::write", ECONNRESET);
        return false;
    }
    int64_t ultimoProgresso = agoraMs();
    while (feitos < n) {
        ssize_t r = ::send(descritor, p + feitos, n - feitos, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (r < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                if (erroDeQueda(errno)) caiu_ = true;
                registrar("Rede::write", errno);
                return false;
            }
            const int64_t agora = agoraMs();
            const int64_t resta = prazo >= 0 ? prazo - agora : esperaMaximaEscritaMs - (agora - ultimoProgresso);
            if (resta <= 0) return true;
            if (aguardarDispositivo(POLLOUT, static_cast<int>(std::min<int64_t>(resta, 1000))) < 0) {
                registrar("Rede::write", ECONNRESET);
                return false;
            }
            continue;
        }
        feitos += static_cast<size_t>(r);
        ultimoProgresso = agoraMs();
    }
    return true;
}

int Rede::ler(void* buffer, size_t n) {
    if (descritor < 0 || !buffer || n == 0) return 0;
    for (;;) {
        ssize_t r = ::recv(descritor, buffer, n, MSG_DONTWAIT);
        if (r > 0) return static_cast<int>(r);
        if (r == 0) {
            // The printer closed the connection.
            caiu_ = true;
            registrar("Rede::read", ECONNRESET);
            return -1;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        if (erroDeQueda(errno)) caiu_ = true;
        registrar("Rede::read", errno);
        return -1;
    }
}

bool Rede::estaFechado() const { return descritor < 0; }

std::array<uint8_t, 2> Rede::lerSinais() { return {0, 0}; }

int Rede::aguardarDispositivo(short eventos, int ms) {
    if (descritor < 0) return -1;
    pollfd pfd{descritor, eventos, 0};
    int r;
    do {
        r = ::poll(&pfd, 1, std::max(ms, 0));
    } while (r < 0 && errno == EINTR);
    if (r < 0) return -1;
    if (r == 0) return 0;
    if (pfd.revents & (POLLERR | POLLNVAL) || ((pfd.revents & POLLHUP) && !(pfd.revents & POLLIN))) {
        caiu_ = true;
        return -1;
    }
    return 1;
}

}  // namespace UART
