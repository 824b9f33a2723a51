// libFuzzer target: arbitrary text handed to the print markup interpreter, as a host passes it to
// RX457_iImprimirTexto, printed through a recording encoder. The scan, the content checks and every
// tag action must survive any bytes and any length, terminated or not.
//
//   cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DRX457_FUZZ=ON \
//         -DRX457_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined
//   cmake --build build-fuzz -j2 --target fuzz_text
//   build-fuzz/tests/fuzz/fuzz_text -max_len=2048 -close_fd_mask=2 corpus/
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Gravadores.h"
#include "text/ORVEX.h"

namespace {

struct Bancada {
    teste::EncoderGravador* gravador = nullptr;
    std::unique_ptr<ORDAL_VEX::ORVEX> sessao;

    Bancada() {
        char modelo[] = "/tmp/rx457-fuzz-text-XXXXXX";
        const char* pasta = ::mkdtemp(modelo);
        const std::string ini = std::string(pasta ? pasta : "/tmp") + "/CONVERSOR.ini";
        sessao = std::make_unique<ORDAL_VEX::ORVEX>(ini, [this](const std::string&) {
            auto d = std::make_unique<teste::EncoderGravador>();
            gravador = d.get();
            return d;
        });
        sessao->obterDriver();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
    static Bancada bancada;
    // An exact-size copy, so that a read past the given length is caught.
    std::vector<char> texto(dados, dados + n);
    bancada.sessao->imprimirTexto(texto.data(), static_cast<unsigned int>(texto.size()));
    bancada.gravador->limpar();
    return 0;
}
