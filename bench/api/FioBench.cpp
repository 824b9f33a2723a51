// Time to paper: receipts printed through the exports to the emulator, on a serial line (11,520
// bytes/s, 115200 bit/s) and at the pseudo-terminal's full speed, with compact raster off and on side
// by side. Per receipt: bytes on the wire, seconds from the call to its return, to the last byte and
// to the cut. Also the start (dlopen to the first line on paper), answered queries, and what the
// library costs while idle.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PrinterEmulator.h"
#include "RX457.h"

namespace {

using Relogio = std::chrono::steady_clock;

void* biblioteca = nullptr;
rx457emu::PrinterEmulator* emulador = nullptr;

template <typename F>
F* exportacao(const char* nome) {
    auto* f = reinterpret_cast<F*>(::dlsym(biblioteca, nome));
    if (!f) {
        std::fprintf(stderr, "exportacao ausente: %s\n", nome);
        std::exit(1);
    }
    return f;
}

double segundos(Relogio::time_point a, Relogio::time_point b) { return std::chrono::duration<double>(b - a).count(); }

std::string lerAmostra(const std::string& nome) {
    std::ifstream f(std::string(FISCAL_SAMPLES_DIR) + "/" + nome, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The sample sale with its one item repeated `itens` times.
std::string vendaCom(int itens) {
    std::string xml = lerAmostra("cfe-sale-hom-1item-v008.xml");
    const std::string marca = "<det nItem=\"1\">";
    const size_t a = xml.find(marca);
    const size_t b = xml.find("</det>", a) + 6;
    const std::string det = xml.substr(a + marca.size(), b - a - marca.size());
    std::string todos;
    for (int i = 1; i <= itens; ++i) todos += "<det nItem=\"" + std::to_string(i) + "\">" + det;
    return xml.replace(a, b - a, todos);
}

// When the emulator saw its last cut and its first raster command.
struct Eventos {
    std::mutex m;
    Relogio::time_point corte{}, primeiroRaster{};
    void anotar(const std::string& e) {
        std::lock_guard<std::mutex> trava(m);
        if (e.rfind("cut", 0) == 0) corte = Relogio::now();
        if (e.rfind("raster", 0) == 0 && primeiroRaster == Relogio::time_point{}) primeiroRaster = Relogio::now();
    }
};
Eventos eventos;

struct Recibo {
    const char* nome;
    std::string xml;
    bool nfce;
};

int imprimirRecibo(const Recibo& r) {
    auto imprimir = exportacao<int(const char*, InfoDocumento*, unsigned, int, int)>("VEX_ImprimirDocumentoFiscal");
    InfoDocumento info{};
    info.tipo = 1;
    info.identificadorToken = "000001";
    info.codigoSeguranca = "A1B2C3D4E5F6G7H8I9J0K1L2M3N4O5P6Q7R8";
    return r.nfce ? imprimir(r.xml.c_str(), &info, sizeof info, 0, 0) : imprimir(r.xml.c_str(), nullptr, 0, 0, 0);
}

void BM_Recibo(benchmark::State& state, const Recibo* recibo, int taxa, bool compactar) {
    exportacao<int(const char*, const char*, const char*)>("VEX_AlterarParametroConfiguracaoVEX")(
        "RX457", "COMPACTAR_RASTER", compactar ? "1" : "0");
    emulador->setRate(taxa);
    double bytes = 0, retorno = 0, ultimoByte = 0, corte = 0;
    for (auto _ : state) {
        emulador->waitQuiet(100, 120000);
        emulador->clearPage();
        {
            std::lock_guard<std::mutex> trava(eventos.m);
            eventos.corte = {};
        }
        const uint64_t antes = emulador->receivedTotal();
        const auto inicio = Relogio::now();
        if (imprimirRecibo(*recibo) != 0) state.SkipWithError("recusado");
        const auto volta = Relogio::now();
        emulador->waitQuiet(300, 300000);
        const auto fim = Relogio::now() - std::chrono::milliseconds(emulador->millisSinceLastByte());
        state.SetIterationTime(segundos(inicio, fim));
        bytes = double(emulador->receivedTotal() - antes);
        retorno = segundos(inicio, volta);
        ultimoByte = segundos(inicio, fim);
        std::lock_guard<std::mutex> trava(eventos.m);
        corte = eventos.corte == Relogio::time_point{} ? -1 : segundos(inicio, eventos.corte);
    }
    state.counters["bytes"] = bytes;
    state.counters["s_retorno"] = retorno;
    state.counters["s_ultimo_byte"] = ultimoByte;
    state.counters["s_corte"] = corte;
    state.counters["linhas"] = emulador->pageHeight();
}

// Answered queries as the host makes them: the identification (six GS I exchanges) and the
// end-of-printing query (one). One exchange alone is in bench_transport.
void BM_Consulta(benchmark::State& state, const char* nome) {
    emulador->setRate(0);
    auto consulta = exportacao<int()>(nome);
    for (auto _ : state) benchmark::DoNotOptimize(consulta());
}

double cpuProcesso() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

long trocasDeContexto() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_nvcsw + r.ru_nivcsw;
}

// The library loaded, its printer connected and nothing to print: wake-ups and CPU per second. The
// bench's own thread sleeps once; the emulator sleeps in poll.
void BM_Ocioso(benchmark::State& state) {
    double acordadas = 0, cpu = 0;
    for (auto _ : state) {
        const long trocas = trocasDeContexto();
        const double c = cpuProcesso();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        acordadas = (trocasDeContexto() - trocas - 1) / 2.0;
        cpu = (cpuProcesso() - c) / 2.0 * 1000.0;
    }
    state.counters["despertares_por_s"] = acordadas;
    state.counters["cpu_ms_por_s"] = cpu;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    char modelo[] = "/tmp/rx457-fio-XXXXXX";
    if (!::mkdtemp(modelo) || ::chdir(modelo) != 0) return 1;
    rx457emu::PrinterEmulator emu;
    emulador = &emu;
    emu.setEventCallback([](const std::string& e) { eventos.anotar(e); });
    std::ofstream("CONVERSOR.ini") << "[RX457]\nPORTA = " << emu.slavePath() << "\nCOMPACTAR_RASTER = 0\n";

    // From dlopen to the first line on paper: the start a host sees.
    // RX457_BIBLIOTECA names another build of the library to compare with (for instance an older one).
    const char* caminho = std::getenv("RX457_BIBLIOTECA");
    const auto inicio = Relogio::now();
    biblioteca = ::dlopen(caminho ? caminho : RX457_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!biblioteca) {
        std::fprintf(stderr, "dlopen: %s\n", ::dlerror());
        return 1;
    }
    const auto carregada = Relogio::now();
    exportacao<int(const char*, int)>("RX457_iImprimirTexto")("Primeira linha\n", 0);
    const auto impressa = Relogio::now();
    emu.waitForReceived(64, 5000);
    exportacao<int()>("VEX_EsperarPeloTerminoImpressao")();
    {
        std::lock_guard<std::mutex> trava(eventos.m);
        std::printf("dlopen ate a primeira linha na impressora: %.1f ms (dlopen %.1f ms, primeira chamada %.1f ms)\n",
                    segundos(inicio, eventos.primeiroRaster) * 1000.0, segundos(inicio, carregada) * 1000.0,
                    segundos(carregada, impressa) * 1000.0);
    }

    static const Recibo recibos[] = {
        {"CFeVenda", lerAmostra("cfe-sale-hom-1item-infcpl-v006.xml"), false},
        {"CFeCancelamento", lerAmostra("cfe-cancel-hom-v006.xml"), false},
        {"DANFE", lerAmostra("nfce-nfeproc-310-hom-df-cnpj-troco.xml"), true},
        {"CFe100Itens", vendaCom(100), false},
        {"CFe500Itens", vendaCom(500), false},
    };
    for (int taxa : {11520, 0})
        for (const Recibo& r : recibos)
            for (bool compactar : {false, true}) {
                const std::string nome =
                    std::string("Fio/") + r.nome + (taxa ? "/115200" : "/pty") + (compactar ? "/compacto" : "/padrao");
                benchmark::RegisterBenchmark(nome.c_str(), BM_Recibo, &r, taxa, compactar)
                    ->Iterations(taxa ? 1 : 5)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
            }
    benchmark::RegisterBenchmark("Consulta/IdentificacaoSeisTrocas", BM_Consulta, "RX457_eBuscarPortaVelocidade")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Consulta/FimDeImpressao", BM_Consulta, "VEX_EsperarPeloTerminoImpressao")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Ocioso", BM_Ocioso)->Iterations(1)->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // Library first: its printing thread drains into the emulator before the pty goes away.
    ::dlclose(biblioteca);
    return 0;
}
