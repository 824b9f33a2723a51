// The result shared by the linear barcode encoders: the module pattern plus what a renderer needs
// to place the human-readable text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Ordal::Symbols {

// Longest module pattern of one symbol; longer data cannot be encoded.
inline constexpr size_t kMaximoModulos = 8192;

// A range of modules, [inicio, fim).
struct Intervalo {
    int inicio = 0;
    int fim = 0;
    bool operator==(const Intervalo&) const = default;
};

// A piece of human-readable text whose characters are spread evenly over modules [inicio, fim).
struct GrupoHRI {
    std::string texto;
    int inicio = 0;
    int fim = 0;
    bool operator==(const GrupoHRI&) const = default;
};

struct LinearSymbol {
    // One entry per module, 1 = bar, 0 = space; no quiet zone. Starts and ends with a bar.
    std::vector<uint8_t> modulos;
    // The whole human-readable text (what a reader would expect to see printed).
    std::string textoHRI;
    // Where the text goes: one group over the whole symbol, or for UPC/EAN one group per half.
    std::vector<GrupoHRI> gruposHRI;
    // UPC/EAN only: module ranges whose bars reach down beside the digits (guards and, for UPC-A,
    // the first and last symbol characters).
    std::vector<Intervalo> guardas;
    // UPC/EAN only: digit printed left of the bars / right of them ('\0' for none).
    char digitoEsquerdo = 0;
    char digitoDireito = 0;
    // Recommended light margins in modules (the outer UPC/EAN digits stand inside them).
    int zonaSilenciosaEsquerda = 10;
    int zonaSilenciosaDireita = 10;

    int largura() const { return static_cast<int>(modulos.size()); }
};

namespace detalhe {

// Appends the n low bits of bits, most significant first.
inline void anexarBits(std::vector<uint8_t>& m, uint32_t bits, int n) {
    for (int i = n - 1; i >= 0; --i) m.push_back(static_cast<uint8_t>((bits >> i) & 1u));
}

// Appends alternating bars and spaces; elementos holds one wide flag per element (most significant
// bit first), narrow elements take one module and wide ones `largo`.
inline void anexarElementos(std::vector<uint8_t>& m, uint32_t elementos, int n, int largo, bool barraPrimeiro = true) {
    uint8_t cor = barraPrimeiro ? 1 : 0;
    for (int i = n - 1; i >= 0; --i) {
        m.insert(m.end(), ((elementos >> i) & 1u) ? largo : 1, cor);
        cor ^= 1;
    }
}

// One HRI group over the whole symbol, or none for an empty text.
inline void textoSobreTudo(LinearSymbol& s) {
    if (!s.textoHRI.empty()) s.gruposHRI.push_back({s.textoHRI, 0, s.largura()});
}

// Width of a wide element from the caller's option: 0 picks the symbology's default.
inline int larguraLarga(int opcao, int padrao) {
    if (opcao == 0) return padrao;
    return (opcao == 2 || opcao == 3) ? opcao : -1;
}

}  // namespace detalhe
}  // namespace Ordal::Symbols
