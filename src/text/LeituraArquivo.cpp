#include "text/LeituraArquivo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ORDAL_VEX {

int abrirArquivoRegular(const char* caminho) {
    if (!caminho) return -1;
    // Non-blocking so that a FIFO does not hold the session until some writer appears; no
    // controlling terminal should a terminal be named.
    const int fd = ::open(caminho, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    const int estado = ::fcntl(fd, F_GETFL);
    if (estado != -1) ::fcntl(fd, F_SETFL, estado & ~O_NONBLOCK);
    return fd;
}

bool lerArquivoRegular(const char* caminho, std::string& conteudo) {
    const int fd = abrirArquivoRegular(caminho);
    if (fd < 0) return false;
    std::string dados;
    char bloco[65536];
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(fd, bloco, sizeof bloco);
        if (n > 0) {
            dados.append(bloco, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    if (ok) conteudo = std::move(dados);
    return ok;
}

}  // namespace ORDAL_VEX
