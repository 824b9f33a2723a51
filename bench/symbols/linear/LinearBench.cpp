// Encoding 10,000 Code 128 symbols (44-digit access keys and 20-character texts), ours side by
// side with libzint's, with no output file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "symbols/Code128.h"

#ifdef RX457_BENCH_ZINT
#include <zint.h>
#endif

namespace {

constexpr int kSimbolos = 10000;

// Deterministic varied data: half access keys, half 20-character texts.
const std::vector<std::string>& dados() {
    static const std::vector<std::string> d = [] {
        std::vector<std::string> v;
        v.reserve(kSimbolos);
        uint32_t x = 12345;
        auto proximo = [&x] { return x = x * 1103515245u + 12345u, (x >> 16) & 0x7FFF; };
        const char alfabeto[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-./ ";
        for (int i = 0; i < kSimbolos; ++i) {
            std::string s;
            if (i % 2 == 0) {
                for (int k = 0; k < 44; ++k) s.push_back(static_cast<char>('0' + proximo() % 10));
            } else {
                for (int k = 0; k < 20; ++k) s.push_back(alfabeto[proximo() % (sizeof(alfabeto) - 1)]);
            }
            v.push_back(std::move(s));
        }
        return v;
    }();
    return d;
}

void BM_Code128_Nosso(benchmark::State& state) {
    const auto& d = dados();
    for (auto _ : state) {
        size_t modulos = 0;
        for (const auto& s : d) {
            auto v = Ordal::Symbols::valoresCode128Texto(s);
            auto sym = Ordal::Symbols::codificarCode128(*v);
            modulos += sym->modulos.size();
        }
        benchmark::DoNotOptimize(modulos);
    }
    state.SetItemsProcessed(state.iterations() * kSimbolos);
}
BENCHMARK(BM_Code128_Nosso)->Unit(benchmark::kMillisecond);

// Values already chosen (as the fiscal printout hands over the access key): only the encoder.
void BM_Code128_NossoSoValores(benchmark::State& state) {
    std::vector<std::vector<uint8_t>> valores;
    for (const auto& s : dados()) valores.push_back(*Ordal::Symbols::valoresCode128Texto(s));
    for (auto _ : state) {
        size_t modulos = 0;
        for (const auto& v : valores) modulos += Ordal::Symbols::codificarCode128(v)->modulos.size();
        benchmark::DoNotOptimize(modulos);
    }
    state.SetItemsProcessed(state.iterations() * kSimbolos);
}
BENCHMARK(BM_Code128_NossoSoValores)->Unit(benchmark::kMillisecond);

#ifdef RX457_BENCH_ZINT
void BM_Code128_Zint(benchmark::State& state) {
    const auto& d = dados();
    for (auto _ : state) {
        size_t largura = 0;
        for (const auto& s : d) {
            zint_symbol* z = ZBarcode_Create();
            z->symbology = BARCODE_CODE128;
            z->output_options = 0;
            if (ZBarcode_Encode(z, reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size())) < 5)
                largura += static_cast<size_t>(z->width);
            ZBarcode_Delete(z);
        }
        benchmark::DoNotOptimize(largura);
    }
    state.SetItemsProcessed(state.iterations() * kSimbolos);
}
BENCHMARK(BM_Code128_Zint)->Unit(benchmark::kMillisecond);

// The same zint symbol reused with ZBarcode_Clear, zint's cheapest way to encode many symbols.
void BM_Code128_ZintReutilizado(benchmark::State& state) {
    const auto& d = dados();
    zint_symbol* z = ZBarcode_Create();
    for (auto _ : state) {
        size_t largura = 0;
        for (const auto& s : d) {
            ZBarcode_Clear(z);
            z->symbology = BARCODE_CODE128;
            if (ZBarcode_Encode(z, reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size())) < 5)
                largura += static_cast<size_t>(z->width);
        }
        benchmark::DoNotOptimize(largura);
    }
    ZBarcode_Delete(z);
    state.SetItemsProcessed(state.iterations() * kSimbolos);
}
BENCHMARK(BM_Code128_ZintReutilizado)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
