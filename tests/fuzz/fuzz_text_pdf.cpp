// libFuzzer target: arbitrary bytes as the PDF converter's standard output, which a PostScript file
// given as a PDF can fill with anything. Splitting it into pages and decoding each page's bitmap must
// survive any bytes, take time in proportion to them, and hand out pages that lie inside the output.
//
//   cmake -S . -B build-fuzz-pdf -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DRX457_FUZZ=ON \
//         -DRX457_BUILD_BENCH=OFF -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined
//   cmake --build build-fuzz-pdf -j2 --target fuzz_text_pdf
//   build-fuzz-pdf/tests/fuzz/fuzz_text_pdf -max_len=65536 -dict=tests/fuzz/fuzz_text_pdf.dict corpus/
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/ConversorPDF.h"
#include "text/Imagem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t n) {
    const std::string saida(reinterpret_cast<const char*>(dados), n);
    size_t total = 0;
    for (const std::string& pagina : ORDAL_VEX::separarPaginas(saida)) {
        // Pages are disjoint pieces of the output, each a bitmap or nothing.
        total += pagina.size();
        if (total > n || (!pagina.empty() && pagina.compare(0, 2, "BM") != 0)) std::abort();
        ORDAL_VEX::Imagem imagem;
        imagem.carregarBMP(reinterpret_cast<const uint8_t*>(pagina.data()), pagina.size());
    }
    return 0;
}
