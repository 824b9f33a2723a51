#include "symbols/ITF.h"

#include "symbols/ITFTables.h"

namespace Ordal::Symbols {

namespace t = tabelas;

namespace {

void anexarNW(std::vector<uint8_t>& m, const char* nw, int largo) {
    uint8_t cor = 1;
    for (; *nw; ++nw, cor ^= 1) m.insert(m.end(), *nw == 'w' ? largo : 1, cor);
}

size_t modulosNW(const char* nw, int largo) {
    size_t n = 0;
    for (; *nw; ++nw) n += *nw == 'w' ? largo : 1;
    return n;
}

}  // namespace

std::optional<LinearSymbol> codificarITF(std::span<const uint8_t> dados, int modulosLargos) {
    const int largo = detalhe::larguraLarga(modulosLargos, 3);
    if (largo < 0 || dados.empty() || dados.size() % 2 != 0 || dados.size() > kMaximoModulos) return std::nullopt;
    for (uint8_t c : dados)
        if (c < '0' || c > '9') return std::nullopt;
    // A pair: ten elements, four of them wide.
    const size_t total = modulosNW(t::kInicioITF, largo) + modulosNW(t::kFimITF, largo) +
                         dados.size() / 2 * (6 + 4 * static_cast<size_t>(largo));
    if (total > kMaximoModulos) return std::nullopt;

    LinearSymbol s;
    s.modulos.reserve(total);
    anexarNW(s.modulos, t::kInicioITF, largo);
    for (size_t i = 0; i < dados.size(); i += 2) {
        const uint8_t barras = t::kElementosITF[dados[i] - '0'];
        const uint8_t espacos = t::kElementosITF[dados[i + 1] - '0'];
        for (int e = 4; e >= 0; --e) {
            s.modulos.insert(s.modulos.end(), ((barras >> e) & 1u) ? largo : 1, 1);
            s.modulos.insert(s.modulos.end(), ((espacos >> e) & 1u) ? largo : 1, 0);
        }
    }
    anexarNW(s.modulos, t::kFimITF, largo);
    s.textoHRI.assign(dados.begin(), dados.end());
    detalhe::textoSobreTudo(s);
    return s;
}

}  // namespace Ordal::Symbols
