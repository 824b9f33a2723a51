#include "symbols/Codabar.h"

#include "symbols/CodabarTables.h"

namespace Ordal::Symbols {

namespace t = tabelas;

namespace {

bool inicioFim(uint8_t c) { return c >= 'A' && c <= 'D'; }

uint8_t normalizar(uint8_t c) { return (c >= 'a' && c <= 'd') ? static_cast<uint8_t>(c - 'a' + 'A') : c; }

}  // namespace

std::optional<LinearSymbol> codificarCodabar(std::span<const uint8_t> dados, int modulosLargos) {
    const int largo = detalhe::larguraLarga(modulosLargos, 3);
    if (largo < 0 || dados.empty() || dados.size() > kMaximoModulos) return std::nullopt;

    const size_t n = dados.size();
    const bool primeiro = inicioFim(normalizar(dados[0]));
    const bool ultimo = n > 1 && inicioFim(normalizar(dados[n - 1]));
    if (primeiro != ultimo) return std::nullopt;
    size_t total = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = normalizar(dados[i]);
        if (c > 127 || !(t::kCodabar[c] & 0x80)) return std::nullopt;
        if (inicioFim(c) && i != 0 && i != n - 1) return std::nullopt;
    }
    auto modulos = [&](uint8_t c) {
        const int largos = __builtin_popcount(t::kCodabar[c] & 0x7F);
        return static_cast<size_t>(7 - largos + largos * largo + 1);
    };
    for (size_t i = 0; i < n; ++i) total += modulos(normalizar(dados[i]));
    if (!primeiro) total += 2 * modulos('A');
    if (--total > kMaximoModulos) return std::nullopt;

    LinearSymbol s;
    s.modulos.reserve(total);
    auto caractere = [&](uint8_t c) {
        if (!s.modulos.empty()) s.modulos.push_back(0);
        detalhe::anexarElementos(s.modulos, t::kCodabar[c] & 0x7F, 7, largo);
    };
    if (!primeiro) caractere('A');
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = normalizar(dados[i]);
        caractere(c);
        s.textoHRI.push_back(static_cast<char>(c));
    }
    if (!primeiro) caractere('A');
    detalhe::textoSobreTudo(s);
    return s;
}

}  // namespace Ordal::Symbols
