#include "text/ConversorPDF.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

extern char** environ;

namespace ORDAL_VEX {

namespace {

uint32_t le32(const std::string& s, size_t pos) {
    auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(s[pos + i])); };
    return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}

// Reads everything the child writes; blocks in read(), so no CPU is spent while gs works.
bool lerTudo(int fd, std::string& saida) {
    char bloco[4096];
    for (;;) {
        const ssize_t n = ::read(fd, bloco, sizeof bloco);
        if (n > 0) {
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
    for (int n = 1;; ++n) {
        const std::string marcador = "Page " + std::to_string(n) + "\n";
        const size_t inicioMarcador = saida.find(marcador, pos);
        if (inicioMarcador == std::string::npos) break;
        const size_t aposMarcador = inicioMarcador + marcador.size();
        const size_t proximo = saida.find("Page " + std::to_string(n + 1) + "\n", aposMarcador);
        const size_t limite = proximo == std::string::npos ? saida.size() : proximo;
        const size_t bm = saida.find("BM", aposMarcador);
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
    {
        const int fd = ::open(caminho.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            resultado.codigo = 8;
            return resultado;
        }
        ::close(fd);
    }

    // A name that starts with "-" would be read as an option.
    const std::string arquivo = !caminho.empty() && caminho[0] == '-' ? "./" + caminho : caminho;
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
                                           arquivo};
    std::vector<char*> argv;
    for (std::string& a : argumentos) argv.push_back(a.data());
    argv.push_back(nullptr);

    int tubo[2];
    if (::pipe2(tubo, O_CLOEXEC) != 0) {
        resultado.codigo = 13;
        return resultado;
    }
    posix_spawn_file_actions_t acoes;
    posix_spawn_file_actions_init(&acoes);
    posix_spawn_file_actions_adddup2(&acoes, tubo[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&acoes, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t filho = -1;
    const int erro = ::posix_spawnp(&filho, programa.c_str(), &acoes, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&acoes);
    ::close(tubo[1]);
    if (erro != 0) {
        ::close(tubo[0]);
        resultado.codigo = 13;
        return resultado;
    }

    std::string saida;
    lerTudo(tubo[0], saida);
    ::close(tubo[0]);
    int estado = 0;
    while (::waitpid(filho, &estado, 0) < 0 && errno == EINTR) {
    }

    resultado.paginas = separarPaginas(saida);
    const bool falhou = !WIFEXITED(estado) || WEXITSTATUS(estado) != 0;
    if (falhou && resultado.paginas.empty()) resultado.codigo = 13;
    return resultado;
}

}  // namespace ORDAL_VEX
