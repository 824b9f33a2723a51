// libFuzzer target: an arbitrary byte stream fed to the renderer's ESC/POS parser, rendered into
// a capture in memory. The first byte picks a few settings the stream cannot reach (line wrap,
// paper width, a rectangle) so that those paths get exercised too.
//
// Build the whole tree instrumented, so that coverage reaches the library:
//   cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DRX457_FUZZ=ON \
//         -DRX457_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined
//   cmake --build build-fuzz -j2 --target fuzz_printer
//   build-fuzz/tests/fuzz/fuzz_printer -max_len=4096 -timeout=20 -rss_limit_mb=1024 corpus/
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>

#include "printer/Engine.h"
#include "printer/EscPOS.h"
#include "printer/Modelos.h"

namespace {

// A seekable sink that keeps nothing: a hostile stream may legitimately render a lot of paper,
// which the harness must not hold in memory.
class SumidouroBuf : public std::streambuf {
protected:
    int_type overflow(int_type c) override {
        ++pos_;
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        pos_ += n;
        return n;
    }
    pos_type seekoff(off_type o, std::ios_base::seekdir d, std::ios_base::openmode) override {
        if (d == std::ios_base::beg)
            pos_ = o;
        else if (d == std::ios_base::cur)
            pos_ += o;
        else
            pos_ = fim_ = std::max(fim_, pos_);
        fim_ = std::max(fim_, pos_);
        return pos_;
    }
    pos_type seekpos(pos_type p, std::ios_base::openmode m) override {
        return seekoff(off_type(p), std::ios_base::beg, m);
    }

private:
    off_type pos_ = 0, fim_ = 0;
};

// Downstream printer with no link: everything it is sent is dropped at once.
class DestinoMudo : public EscPOSPrinter::EscPOS {
public:
    DestinoMudo() : EscPOS(Ordal::Printer::RX457::especificacaoModelo(), Ordal::Printer::RX457::configuracaoModelo()) {}
    bool escreverDispositivo(const uint8_t*, size_t) override { return true; }
    bool aguardarFimImpressao(int) override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
    if (n == 0) return 0;
    DestinoMudo destino;
    Ordal::Printer::Engine motor(destino);
    motor.atrasoInicial = 0;
    const uint8_t opcoes = dados[0];
    ++dados;
    --n;
    if (opcoes & 1) motor.ativarQuebraLinha();
    if (opcoes & 2) motor.definirLarguraPapel(256 + (opcoes & 0xF0));
    const bool capturar = !(opcoes & 4);
    SumidouroBuf sumidouro;
    std::ostream fluxo(&sumidouro);
    if (capturar) motor.obterImagem(fluxo);
    if (opcoes & 8) motor.preencherRetangulo(opcoes, opcoes >> 2, 600, opcoes * 3, opcoes % 6);
    motor.alimentarBytes(dados, n);
    if (capturar)
        motor.limparImagem();
    else
        motor.aguardarFimImpressao(10000);
    return 0;
}
