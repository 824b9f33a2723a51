// Rendering engine throughput: text lines into the ring, whole receipts, and the output thread's
// raster path to a printer that discards what it is sent.
//   bench_printer_engine --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <atomic>
#include <string>

#include "printer/Engine.h"
#include "printer/EscPOS.h"
#include "printer/Modelos.h"

namespace {

using Ordal::Printer::Engine;

class DestinoDescarte : public EscPOSPrinter::EscPOS {
public:
    DestinoDescarte()
        : EscPOS(Ordal::Printer::RX457::especificacaoModelo(), Ordal::Printer::RX457::configuracaoModelo()) {}
    bool escreverDispositivo(const uint8_t*, size_t n) override {
        bytes.fetch_add(n, std::memory_order_relaxed);
        return true;
    }
    bool aguardarFimImpressao(int) override { return true; }
    std::atomic<size_t> bytes{0};
};

void alimentar(Engine& motor, const std::string& s) {
    motor.alimentarBytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

std::string linhaTexto(int colunas, int semente) {
    static const char alfabeto[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789,.-$ \xE7\xE3\xE9";
    std::string s;
    for (int i = 0; i < colunas; ++i) s += alfabeto[(i * 7 + semente) % (sizeof(alfabeto) - 1)];
    return s + "\n";
}

std::string imagemRaster(int xBytes, int linhas) {
    std::string s{'\x1D',
                  'v',
                  '0',
                  '\0',
                  static_cast<char>(xBytes & 0xFF),
                  static_cast<char>(xBytes >> 8),
                  static_cast<char>(linhas & 0xFF),
                  static_cast<char>(linhas >> 8)};
    for (int y = 0; y < linhas; ++y)
        for (int x = 0; x < xBytes; ++x) s += static_cast<char>(((x + y / 8) & 1) ? 0xF0 : 0x0F);
    return s;
}

// One line of text in font 0, laid out and drawn into the ring. Font 0 is 9 dots wide, so 56
// columns fill an 80 mm line; 64 columns wrap onto a second printed line.
void BM_LinhaTextoFonte0(benchmark::State& state) {
    const int colunas = static_cast<int>(state.range(0));
    DestinoDescarte destino;
    Engine motor(destino);
    motor.atrasoInicial = 0;
    motor.ativarQuebraLinha();
    std::string linhas[16];
    for (int i = 0; i < 16; ++i) linhas[i] = std::string("\x1BM\0", 3) + linhaTexto(colunas, i);
    int i = 0;
    for (auto _ : state) alimentar(motor, linhas[i++ & 15]);
    motor.aguardarFimImpressao(20000);
    state.counters["linhas/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LinhaTextoFonte0)->Arg(56)->Arg(64)->UseRealTime();

// An 80 mm receipt: 60 text lines in font 0 and a 256 x 256 raster image, rendered into the ring
// while the output thread passes it on.
void BM_Cupom80mm(benchmark::State& state) {
    DestinoDescarte destino;
    Engine motor(destino);
    motor.atrasoInicial = 0;
    std::string cupom = "\x1B@";
    cupom +=
        "\x1B"
        "a1" +
        linhaTexto(30, 3) +
        "\x1B"
        "a0";
    for (int i = 1; i < 60; ++i) cupom += linhaTexto(48 + i % 8, i);
    cupom +=
        "\x1B"
        "a1" +
        imagemRaster(32, 256) +
        "\x1B"
        "a0";
    cupom += "\x1BJ\x32";
    for (auto _ : state) alimentar(motor, cupom);
    motor.aguardarFimImpressao(20000);
    state.counters["cupons/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Cupom80mm)->UseRealTime();

// The output path alone: 7200 finished raster lines (two halves of the ring) bit-reversed and sent
// to the printer in images of up to 512 lines.
void BM_SaidaRaster7200Linhas(benchmark::State& state) {
    DestinoDescarte destino;
    Engine motor(destino);
    motor.atrasoInicial = 0;
    motor.stopEngine();
    const std::string metade = imagemRaster(64, 3600);
    size_t bytes = 0;
    for (auto _ : state) {
        for (int parte = 0; parte < 2; ++parte) {
            state.PauseTiming();
            alimentar(motor, metade);
            state.ResumeTiming();
            const size_t antes = destino.bytes.load(std::memory_order_relaxed);
            motor.esvaziarParado();
            bytes += destino.bytes.load(std::memory_order_relaxed) - antes;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["linhas"] = benchmark::Counter(7200.0 * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_SaidaRaster7200Linhas)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
