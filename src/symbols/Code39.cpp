#include "symbols/Code39.h"

#include "symbols/Code39Tables.h"

namespace Ordal::Symbols {

namespace t = tabelas;

namespace {

// The one or two check values for a byte. Data made only of basic characters is plain Code 39,
// read the same with and without full ASCII. Data that needs full ASCII is encoded wholly in it:
// there $ % / + are shift characters, so they too become their pairs, or a reader would join
// "$" and a following letter into a control character.
struct Sequencia {
    int8_t primeiro;
    int8_t segundo;  // -1 for none
};

bool basico(uint8_t c) {
    const int8_t v = t::kValorCode39[c];
    return v >= 0 && v != t::kStartStopCode39;
}

Sequencia sequencia(uint8_t c, bool asciiTotal) {
    if (!asciiTotal && basico(c)) return {t::kValorCode39[c], -1};
    return {t::kASCIICode39[c][0], t::kASCIICode39[c][1]};
}

}  // namespace

std::optional<LinearSymbol> codificarCode39(std::span<const uint8_t> dados, int modulosLargos) {
    const int largo = detalhe::larguraLarga(modulosLargos, 2);
    if (largo < 0 || dados.empty() || dados.size() > kMaximoModulos) return std::nullopt;

    // Count characters and check the bytes before building anything.
    bool asciiTotal = false;
    for (uint8_t c : dados) {
        if (c > 127) return std::nullopt;
        asciiTotal = asciiTotal || !basico(c);
    }
    size_t caracteres = 2;
    size_t hri = 0;
    for (uint8_t c : dados) {
        caracteres += sequencia(c, asciiTotal).segundo < 0 ? 1 : 2;
        if (c > 31 && c < 127) ++hri;
    }
    const size_t porCaractere = 6 + 3 * static_cast<size_t>(largo) + 1;
    if (hri > kMaximoHRICode39 || caracteres * porCaractere - 1 > kMaximoModulos) return std::nullopt;

    LinearSymbol s;
    s.modulos.reserve(caracteres * porCaractere - 1);
    auto caractere = [&](int valor) {
        if (!s.modulos.empty()) s.modulos.push_back(0);
        detalhe::anexarElementos(s.modulos, t::kElementosCode39[valor], 9, largo);
    };
    caractere(t::kStartStopCode39);
    for (uint8_t c : dados) {
        const Sequencia q = sequencia(c, asciiTotal);
        caractere(q.primeiro);
        if (q.segundo >= 0) caractere(q.segundo);
        if (c > 31 && c < 127) s.textoHRI.push_back(static_cast<char>(c));
    }
    caractere(t::kStartStopCode39);
    detalhe::textoSobreTudo(s);
    return s;
}

}  // namespace Ordal::Symbols
