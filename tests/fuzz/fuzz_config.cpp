// libFuzzer target: arbitrary bytes as "CONVERSOR.ini", loaded with the library's own parameter table,
// then one key changed to an arbitrary value. The input is the file text, then the byte 0x01, then the
// value (without 0x01, the value is "valor"); the value's first byte picks the key.
// Beyond surviving any file, the change must keep its promise: a value the file cannot hold is
// refused with the file left byte for byte, and an accepted one reads back as that value (less the
// blanks at both ends, which the format does not keep).
//
//   cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DRX457_FUZZ=ON
//         -DRX457_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined
//   cmake --build build-fuzz -j2 --target fuzz_config
//   build-fuzz/tests/fuzz/fuzz_config -max_len=4096 -close_fd_mask=2 corpus/
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "config/Parametros.h"

namespace {

// One folder for the whole run, removed at exit (the replay test runs this target too).
struct Pasta {
    std::string caminho;
    Pasta() {
        // Memory-backed when available: every accepted change ends in fsync.
        char modelo[] = "/dev/shm/rx457-fuzz-config-XXXXXX";
        char reserva[] = "/tmp/rx457-fuzz-config-XXXXXX";
        const char* pasta = ::mkdtemp(modelo);
        if (!pasta) pasta = ::mkdtemp(reserva);
        if (!pasta) std::abort();
        caminho = pasta;
    }
    ~Pasta() {
        ::unlink((caminho + "/CONVERSOR.ini").c_str());
        ::unlink((caminho + "/CONVERSOR.ini.lock").c_str());
        ::rmdir(caminho.c_str());
    }
};

const std::string& caminhoArquivo() {
    static const Pasta pasta;
    static const std::string caminho = pasta.caminho + "/CONVERSOR.ini";
    return caminho;
}

void gravar(const std::string& caminho, std::string_view texto) {
    const int fd = ::open(caminho.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) std::abort();
    while (!texto.empty()) {
        const ssize_t n = ::write(fd, texto.data(), texto.size());
        if (n <= 0) std::abort();
        texto.remove_prefix(static_cast<size_t>(n));
    }
    ::close(fd);
}

std::string ler(const std::string& caminho) {
    std::string texto;
    const int fd = ::open(caminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return texto;
    char bloco[4096];
    ssize_t n;
    while ((n = ::read(fd, bloco, sizeof bloco)) > 0) texto.append(bloco, static_cast<size_t>(n));
    ::close(fd);
    return texto;
}

std::string aparar(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
    static const char* const chaves[][2] = {{"RX457", "CABECALHO"},          {"RX457", "TIMEOUT"},
                                            {"RX457", "LARGURA_BOBINA"},     {"RX457", "ENTERAUTOMATICO"},
                                            {"BOBINA_56MM", "FONTE_PADRAO"}, {"SAT", "APLICATIVO_CONSULTA"}};
    const std::string_view entrada(reinterpret_cast<const char*>(dados), n);
    const size_t separador = entrada.rfind('\x01');
    const std::string_view arquivo = entrada.substr(0, separador);
    // A C string: the change takes the value up to its first NUL.
    const std::string valor(separador == std::string_view::npos ? std::string_view("valor")
                                                                : entrada.substr(separador + 1));
    const char* const* chave =
        chaves[(valor.empty() ? 0 : static_cast<unsigned char>(valor[0])) % (sizeof chaves / sizeof chaves[0])];

    const std::string& caminho = caminhoArquivo();
    gravar(caminho, arquivo);
    ORDAL_VEX::Configuracao configuracao(caminho);
    std::string lido;
    configuracao.lerValor(chave[0], chave[1], lido);

    const std::string antes = ler(caminho);
    const bool aceito = configuracao.alterarValor(chave[0], chave[1], valor.c_str());
    if (!Misc::ArquivoINI::INIFileBase::valorGravavel(valor.c_str())) {
        if (aceito || ler(caminho) != antes) __builtin_trap();
    } else if (aceito) {
        ORDAL_VEX::Configuracao relida(caminho);
        if (!relida.lerValor(chave[0], chave[1], lido) || lido != aparar(valor.c_str())) __builtin_trap();
    }
    return 0;
}
