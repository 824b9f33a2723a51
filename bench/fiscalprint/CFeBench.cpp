// Fiscal printouts end to end: XML text in, rendered dot lines out (captured into memory).
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "fiscalprint/ImpressaoCFe.h"
#include "printer/VirtualPrinter.h"

namespace {

using Impressora = Ordal::Printer::VirtualPrinter<Ordal::Printer::RX457>;

std::string lerAmostra(const std::string& nome) {
    std::ifstream f(std::string(FISCAL_SAMPLES_DIR) + "/" + nome, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// The sample sale with its one item repeated `itens` times.
std::string vendaCom(int itens) {
    std::string xml = lerAmostra("cfe-sale-hom-1item-v008.xml");
    const size_t a = xml.find("<det nItem=\"1\">");
    const size_t b = xml.find("</det>") + 6;
    const std::string det = xml.substr(a, b - a);
    std::string todos;
    for (int i = 1; i <= itens; ++i) {
        std::string d = det;
        d.replace(0, std::string("<det nItem=\"1\">").size(), "<det nItem=\"" + std::to_string(i) + "\">");
        todos += d;
    }
    xml.replace(a, b - a, todos);
    return xml;
}

void BM_VendaCFe(benchmark::State& state) {
    const std::string xml = vendaCom(static_cast<int>(state.range(0)));
    // No device: the output goes to the in-memory capture only.
    Impressora vp("/nao/existe/impressora");
    // Measure the work, not the output thread's start-up pause after idling.
    vp.motor.motor().atrasoInicial = 0;
    Ordal::DocumentoFiscal::ParametrosImpressao p;
    p.opcoesLeiaute = Ordal::DocumentoFiscal::ParametrosImpressao::SEM_CORTE;
    for (auto _ : state) {
        std::stringstream captura;
        vp.obterImagem(captura);
        Ordal::CFe::ImpressaoCFeSaida impressao(vp, p);
        impressao.imprimirXML(xml);
        vp.limparImagem();
        benchmark::DoNotOptimize(captura.tellp());
    }
}
BENCHMARK(BM_VendaCFe)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

// The same up to the dot lines in the ring, leaving out the wait for the capture to be written.
void BM_VendaCFe_Renderizar(benchmark::State& state) {
    const std::string xml = vendaCom(static_cast<int>(state.range(0)));
    Impressora vp("/nao/existe/impressora");
    vp.motor.motor().atrasoInicial = 0;
    Ordal::DocumentoFiscal::ParametrosImpressao p;
    p.opcoesLeiaute = Ordal::DocumentoFiscal::ParametrosImpressao::SEM_CORTE;
    for (auto _ : state) {
        state.PauseTiming();
        std::stringstream captura;
        vp.obterImagem(captura);
        state.ResumeTiming();
        Ordal::CFe::ImpressaoCFeSaida impressao(vp, p);
        impressao.imprimirXML(xml);
        state.PauseTiming();
        vp.limparImagem();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_VendaCFe_Renderizar)->Arg(1)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
