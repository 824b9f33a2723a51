#include "printer/fonts/Fontes.h"

#include "printer/fonts/FontesGeradas.h"

namespace Ordal::Printer {

const DescritorFonte& descritorFonte(int numero) {
    if (numero < 0) numero = 0;
    return FontesGeradas::kDescritores[numero % kNumeroDescritoresFonte];
}

const ConversaoPaginaCodigo* conversaoPorN(int n) {
    for (const auto& c : FontesGeradas::kConversoes)
        if (c.n == n) return &c;
    return nullptr;
}

const ConversaoPaginaCodigo* conversoesPaginaCodigo(int* quantidade) {
    if (quantidade != nullptr) *quantidade = FontesGeradas::kNumeroConversoes;
    return FontesGeradas::kConversoes;
}

int glifoDoUnicode(uint32_t codigo) {
    // Printable ASCII and Latin-1 are their own glyphs; everything else is looked up.
    if ((codigo >= 0x20 && codigo < 0x7F) || (codigo >= 0xA0 && codigo <= 0xFF)) return static_cast<int>(codigo);
    if (codigo == 0) return -1;
    for (int g = 0x80; g < kGlifosPorFonte; ++g) {
        if (g == 0xA0) g = 0x100;
        if (FontesGeradas::kUnicodeDosGlifos[g] == codigo) return g;
    }
    return -1;
}

uint32_t unicodeDoGlifo(int glifo) {
    if (glifo < 0 || glifo >= kGlifosPorFonte) return 0;
    return FontesGeradas::kUnicodeDosGlifos[glifo];
}

}  // namespace Ordal::Printer
