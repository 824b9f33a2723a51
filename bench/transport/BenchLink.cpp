// Cost of waiting on the link: a status query against a silent printer must sleep, not spin.
#include <benchmark/benchmark.h>
#include <time.h>

#include "PrinterEmulator.h"
#include "printer/Modelos.h"

namespace {

double cpuProcessoMs() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// One real-time status read against a printer that never answers (about 1000 ms of waiting).
// Counter "cpu_ms" is the whole process's CPU time per query; it should stay far below 50 ms.
void BM_StatusImpressoraSilenciosa(benchmark::State& state) {
    rx457emu::PrinterEmulator emu;
    Ordal::Printer::RX457 impressora(emu.slavePath());
    emu.setSilent(true);
    double cpu = 0;
    for (auto _ : state) {
        double inicio = cpuProcessoMs();
        Ordal::Printer::PalavraStatus palavra{};
        benchmark::DoNotOptimize(impressora.lerStatus(palavra));
        cpu += cpuProcessoMs() - inicio;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu / state.iterations());
}
BENCHMARK(BM_StatusImpressoraSilenciosa)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Status read against an answering printer (eight one-byte exchanges on the RX457).
void BM_StatusImpressoraRespondendo(benchmark::State& state) {
    rx457emu::PrinterEmulator emu;
    Ordal::Printer::RX457 impressora(emu.slavePath());
    for (auto _ : state) {
        Ordal::Printer::PalavraStatus palavra{};
        benchmark::DoNotOptimize(impressora.lerStatus(palavra));
    }
}
BENCHMARK(BM_StatusImpressoraRespondendo)->Unit(benchmark::kMillisecond)->UseRealTime();

// One answered identification exchange (GS I C): ends once the reply has come and the link is quiet.
void BM_ConsultaIdentificacao(benchmark::State& state) {
    rx457emu::PrinterEmulator emu;
    Ordal::Printer::RX457 impressora(emu.slavePath());
    const char comando[] = {0x1D, 0x49, 'C'};
    for (auto _ : state) benchmark::DoNotOptimize(impressora.consultar(std::string_view(comando, 3), 1000, 255));
}
BENCHMARK(BM_ConsultaIdentificacao)->Unit(benchmark::kMillisecond)->UseRealTime();

// Raster bytes pushed through the link to the emulator (64 KiB per write).
void BM_EscritaRaster(benchmark::State& state) {
    rx457emu::PrinterEmulator emu;
    Ordal::Printer::RX457 impressora(emu.slavePath());
    std::string bloco(65536, '\0');
    for (auto _ : state) benchmark::DoNotOptimize(impressora.link->escrever(bloco.data(), bloco.size()));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bloco.size()));
}
BENCHMARK(BM_EscritaRaster)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
