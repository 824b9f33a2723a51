// DANFE NFC-e end to end: XML text read, laid out, encoded, parsed back and rendered into dot
// lines (captured in memory), for a real invoice and a synthetic one of 100 items.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "PrinterEmulator.h"
#include "fiscalprint/DANFE.h"
#include "printer/VirtualPrinter.h"

namespace {

using Impressora = Ordal::Printer::VirtualPrinter<Ordal::Printer::RX457>;

std::string lerAmostra(const std::string& nome) {
    std::ifstream f(std::string(FISCAL_SAMPLES_DIR) + "/" + nome, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// The real invoice with its first item repeated until there are n of them.
std::string comItens(const std::string& xml, int n) {
    const size_t a = xml.find("<det ");
    const size_t b = xml.find("</det>", a) + 6;
    const size_t fim = xml.rfind("</det>") + 6;
    const std::string modelo = xml.substr(a, b - a);
    std::string itens;
    for (int i = 1; i <= n; ++i) {
        std::string item = modelo;
        const size_t q = item.find("nItem=\"") + 7;
        item.replace(q, item.find('"', q) - q, std::to_string(i));
        itens += item;
    }
    return xml.substr(0, a) + itens + xml.substr(fim);
}

struct Bancada {
    rx457emu::PrinterEmulator emulador;
    std::unique_ptr<Impressora> impressora = std::make_unique<Impressora>(emulador.slavePath());
};

Bancada& bancada() {
    static Bancada b;
    return b;
}

void imprimir(benchmark::State& state, const std::string& xml) {
    Impressora& vp = *bancada().impressora;
    Ordal::NFCe::ParametrosEmissaoDANFE emissao;
    emissao.identificadorToken = "000001";
    emissao.codigoSeguranca = "0123456789ABCDEF";
    Ordal::DocumentoFiscal::ParametrosImpressao parametros;
    size_t bytes = 0;
    for (auto _ : state) {
        std::stringstream pagina(std::ios::in | std::ios::out | std::ios::binary);
        vp.obterImagem(pagina);
        Ordal::NFCe::DANFE danfe(vp, parametros, emissao);
        danfe.imprimirXML(xml);
        vp.limparImagem();
        bytes = pagina.str().size();
    }
    state.counters["bytes_bmp"] = static_cast<double>(bytes);
}

// Discards the capture: only the work up to the rendered dot lines is of interest here.
class Descarte : public std::streambuf {
protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// XML text to dot lines in the ring: the capture stays open, and the time the output thread takes
// to drain the ring after each document is left out.
void renderizar(benchmark::State& state, const std::string& xml) {
    Impressora& vp = *bancada().impressora;
    Ordal::NFCe::ParametrosEmissaoDANFE emissao;
    emissao.identificadorToken = "000001";
    emissao.codigoSeguranca = "0123456789ABCDEF";
    Ordal::DocumentoFiscal::ParametrosImpressao parametros;
    Descarte descarte;
    std::ostream nulo(&descarte);
    vp.obterImagem(nulo);
    for (auto _ : state) {
        Ordal::NFCe::DANFE danfe(vp, parametros, emissao);
        danfe.imprimirXML(xml);
        state.PauseTiming();
        vp.aguardarFimImpressao(10000);
        state.ResumeTiming();
    }
    vp.limparImagem();
}

void BM_DANFE_NotaReal_Renderizar(benchmark::State& state) {
    renderizar(state, lerAmostra("nfce-nfeproc-310-hom-df-cnpj-troco.xml"));
}
BENCHMARK(BM_DANFE_NotaReal_Renderizar)->Unit(benchmark::kMillisecond);

void BM_DANFE_100Itens_Renderizar(benchmark::State& state) {
    renderizar(state, comItens(lerAmostra("nfce-nfeproc-310-hom-df-cnpj-troco.xml"), 100));
}
BENCHMARK(BM_DANFE_100Itens_Renderizar)->Unit(benchmark::kMillisecond);

// The same with the capture opened and finished around each document, so the time includes
// waiting for the output thread to write every line.
void BM_DANFE_NotaReal(benchmark::State& state) {
    imprimir(state, lerAmostra("nfce-nfeproc-310-hom-df-cnpj-troco.xml"));
}
BENCHMARK(BM_DANFE_NotaReal)->Unit(benchmark::kMillisecond);

void BM_DANFE_100Itens(benchmark::State& state) {
    imprimir(state, comItens(lerAmostra("nfce-nfeproc-310-hom-df-cnpj-troco.xml"), 100));
}
BENCHMARK(BM_DANFE_100Itens)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
