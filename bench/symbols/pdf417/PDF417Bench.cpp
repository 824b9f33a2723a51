// Encoding 1,000 PDF417 symbols of 100 to 1,000 bytes: ours against libzint on the same inputs.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "symbols/PDF417.h"

#ifdef RX457_COM_ZINT
#include <zint.h>
#endif

namespace {

using namespace Ordal::Symbols;

// A receipt-like mix: mostly text with digit runs, some accented and binary bytes.
const std::vector<std::string>& entradas() {
    static const std::vector<std::string> v = [] {
        std::mt19937 rng(417);
        const std::vector<std::string> pedacos = {"CUPOM FISCAL ",
                                                  "Item ",
                                                  "Cafe expresso ",
                                                  "2 UN x 4,50 ",
                                                  "Total R$ ",
                                                  "\n",
                                                  "35230112345678000190590001234560012345678901",
                                                  " CNPJ 12.345.678/0001-90 ",
                                                  "a\xe7\xfa"
                                                  "car ",
                                                  "https://www.fazenda.sp.gov.br/nfce/qrcode?p=",
                                                  "|",
                                                  "; ",
                                                  "\x01\x02\x03\xfe\xff",
                                                  "(obrigado!) "};
        std::vector<std::string> r;
        for (int i = 0; i < 1000; ++i) {
            const size_t tamanho = 100 + i * 900 / 999;
            std::string s;
            while (s.size() < tamanho) s += pedacos[rng() % pedacos.size()];
            s.resize(tamanho);
            r.push_back(std::move(s));
        }
        return r;
    }();
    return v;
}

void BM_PDF417_Nosso(benchmark::State& state) {
    const auto& in = entradas();
    ParametrosPDF417 p;
    for (auto _ : state) {
        for (const auto& s : in) {
            iniciarPDF417(p);
            p.texto = s.data();
            p.tamanhoTexto = static_cast<int>(s.size());
            codificarPDF417(p);
            if (p.erro != 0) state.SkipWithError("falha ao codificar");
            benchmark::DoNotOptimize(p.bits);
            liberarPDF417(p);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.size()));
}
BENCHMARK(BM_PDF417_Nosso)->Unit(benchmark::kMillisecond);

#ifdef RX457_COM_ZINT
void BM_PDF417_Zint(benchmark::State& state) {
    const auto& in = entradas();
    for (auto _ : state) {
        for (const auto& s : in) {
            zint_symbol* z = ZBarcode_Create();
            z->symbology = BARCODE_PDF417;
            z->input_mode = DATA_MODE;
            const int r =
                ZBarcode_Encode(z, reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()));
            if (r >= ZINT_ERROR) state.SkipWithError(z->errtxt);
            benchmark::DoNotOptimize(z->encoded_data);
            ZBarcode_Delete(z);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.size()));
}
BENCHMARK(BM_PDF417_Zint)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
