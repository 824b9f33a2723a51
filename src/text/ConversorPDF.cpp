#include "text/ConversorPDF.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "text/LeituraArquivo.h"

extern char** environ;

namespace ORDAL_VEX {

namespace {

uint32_t le32(const std::string& s, size_t pos) {
    auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[pos + i])); };
    return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}

// Descriptor number at which the child finds the PDF file.
constexpr int kDescritorEntrada = 3;
// About 250 letter-size pages at 203 dpi: far more than a receipt printer is given.
constexpr size_t kSaidaMaxima = size_t(128) << 20;
// Pages past this many are dropped: output made of markers alone would otherwise hold millions of
// empty pages, each costing more memory than its marker.
constexpr int kPaginasMaximas = 10000;

// Moves a descriptor above the fixed numbers the child uses (0, 1, 3), so that placing one of them
// never overwrites another, whatever descriptors the host had closed.
int acimaDosFixos(int fd) {
    if (fd < 0 || fd > kDescritorEntrada) return fd;
    const int novo = ::fcntl(fd, F_DUPFD_CLOEXEC, kDescritorEntrada + 1);
    ::close(fd);
    return novo;
}

// Reads everything the child writes, up to `limite` bytes (false beyond it); blocks in read(), so no
// CPU is spent while gs works.
bool lerTudo(int fd, std::string& saida, size_t limite) {
    char bloco[65536];
    for (;;) {
        const ssize_t n = ::read(fd, bloco, sizeof bloco);
        if (n > 0) {
            if (static_cast<size_t>(n) > limite - saida.size()) return false;
            saida.append(bloco, static_cast<size_t>(n));
        } else if (n == 0) {
            return true;
        } else if (errno != EINTR) {
            return false;
        }
    }
}

}  // namespace

std::vector<std::string> separarPaginas(const std::string& saida) {
    std::vector<std::string> paginas;
    size_t pos = 0;
    for (int n = 1; n <= kPaginasMaximas; ++n) {
        const std::string marcador = "Page " + std::to_string(n) + "\n";
        const size_t inicioMarcador = saida.find(marcador, pos);
        if (inicioMarcador == std::string::npos) break;
        const size_t aposMarcador = inicioMarcador + marcador.size();
        const size_t proximo = saida.find("Page " + std::to_string(n + 1) + "\n", aposMarcador);
        const size_t limite = proximo == std::string::npos ? saida.size() : proximo;
        // Searched only up to the next marker: output made of markers alone must not cost a scan to
        // the end for every one of them.
        const size_t bm = std::string_view(saida).substr(0, limite).find("BM", aposMarcador);
        if (bm == std::string::npos || bm + 6 > limite) {
            paginas.emplace_back();  // a page that carries no picture prints nothing
            pos = aposMarcador;
            continue;
        }
        size_t fim = limite;
        const uint32_t declarado = le32(saida, bm + 2);
        if (declarado >= 14 && declarado <= limite - bm) fim = bm + declarado;
        paginas.push_back(saida.substr(bm, fim - bm));
        pos = fim;
    }
    return paginas;
}

PaginasPDF converterPDF(const std::string& caminho, int dpi, const std::string& programa) {
    PaginasPDF resultado;
    // The child reads the file through a descriptor opened here, never by its name: gs gives names
    // starting with "%pipe%", "@" or "-" meanings of their own (a command, a file of further
    // arguments, an option) that -dSAFER does not stop.
    const int arquivo = acimaDosFixos(abrirArquivoRegular(caminho.c_str()));
    if (arquivo < 0) {
        resultado.codigo = 8;
        return resultado;
    }
    // /dev/fd/3 lets gs seek in the file itself; standard input also serves where /dev/fd is missing
    // (a chroot without /proc), but gs first copies it into a temporary file.
    const bool comDevFd = ::access(("/dev/fd/" + std::to_string(arquivo)).c_str(), R_OK) == 0;
    const std::string entrada = comDevFd ? "/dev/fd/" + std::to_string(kDescritorEntrada) : "-";

    const std::string resolucao = "-r" + std::to_string(dpi);
    std::vector<std::string> argumentos = {programa,
                                           "-dNOPAUSE",
                                           "-dBATCH",
                                           "-dSAFER",
                                           "-sDEVICE=bmpmono",
                                           "-dBitsPerSample=1",
                                           "-dTextFormat=1",
                                           "-dTextAlphaBits=4",
                                           "-dGraphicsAlphaBits=4",
                                           resolucao,
                                           "-sOutputFile=%stdout",
                                           entrada};
    std::vector<char*> argv;
    for (std::string& a : argumentos) argv.push_back(a.data());
    argv.push_back(nullptr);

    int tubo[2];
    if (::pipe2(tubo, O_CLOEXEC) != 0) {
        ::close(arquivo);
        resultado.codigo = 13;
        return resultado;
    }
    tubo[0] = acimaDosFixos(tubo[0]);
    tubo[1] = acimaDosFixos(tubo[1]);
    pid_t filho = -1;
    int erro = EBADF;
    if (tubo[0] >= 0 && tubo[1] >= 0) {
        posix_spawn_file_actions_t acoes;
        posix_spawn_file_actions_init(&acoes);
        posix_spawn_file_actions_adddup2(&acoes, tubo[1], STDOUT_FILENO);
        if (comDevFd) {
            posix_spawn_file_actions_adddup2(&acoes, arquivo, kDescritorEntrada);
            posix_spawn_file_actions_addopen(&acoes, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        } else {
            posix_spawn_file_actions_adddup2(&acoes, arquivo, STDIN_FILENO);
        }
        erro = ::posix_spawnp(&filho, programa.c_str(), &acoes, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&acoes);
    }
    ::close(arquivo);
    if (tubo[1] >= 0) ::close(tubo[1]);
    if (erro != 0) {
        if (tubo[0] >= 0) ::close(tubo[0]);
        resultado.codigo = 13;
        return resultado;
    }

    std::string saida;
    const bool completa = lerTudo(tubo[0], saida, kSaidaMaxima);
    ::close(tubo[0]);
    // Output beyond any receipt's size (a PostScript file in a loop, say) would only grow in memory.
    if (!completa) ::kill(filho, SIGKILL);
    int estado = 0;
    while (::waitpid(filho, &estado, 0) < 0 && errno == EINTR) {}
    if (!completa) {
        resultado.codigo = 13;
        return resultado;
    }

    resultado.paginas = separarPaginas(saida);
    const bool falhou = !WIFEXITED(estado) || WEXITSTATUS(estado) != 0;
    if (falhou && resultado.paginas.empty()) resultado.codigo = 13;
    return resultado;
}

}  // namespace ORDAL_VEX
