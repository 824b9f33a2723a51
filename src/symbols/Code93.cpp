#include "symbols/Code93.h"

#include <array>

#include "symbols/Code93Tables.h"

namespace Ordal::Symbols {

namespace t = tabelas;

namespace {

constexpr int kModulosCaractere = 9;

// Weighted sum modulo 47, weights 1..maxPeso cycling from the rightmost value.
int verificador(const std::vector<uint8_t>& valores, int maxPeso) {
    int soma = 0;
    int peso = 1;
    for (size_t i = valores.size(); i-- > 0;) {
        soma = (soma + valores[i] * peso) % 47;
        peso = peso == maxPeso ? 1 : peso + 1;
    }
    return soma;
}

}  // namespace

std::optional<LinearSymbol> codificarCode93(std::span<const uint8_t> dados) {
    if (dados.empty() || dados.size() > kMaximoModulos) return std::nullopt;
    std::vector<uint8_t> valores;
    valores.reserve(dados.size() * 2 + 2);
    LinearSymbol s;
    for (uint8_t c : dados) {
        if (c > 127) return std::nullopt;
        valores.push_back(static_cast<uint8_t>(t::kASCIICode93[c][0]));
        if (t::kASCIICode93[c][1] >= 0) valores.push_back(static_cast<uint8_t>(t::kASCIICode93[c][1]));
        if (c > 31 && c < 127) s.textoHRI.push_back(static_cast<char>(c));
    }
    // start + data + C + K + stop, then the termination bar.
    const size_t total = (valores.size() + 4) * kModulosCaractere + 1;
    if (total > kMaximoModulos) return std::nullopt;
    valores.push_back(static_cast<uint8_t>(verificador(valores, 20)));
    valores.push_back(static_cast<uint8_t>(verificador(valores, 15)));

    s.modulos.reserve(total);
    detalhe::anexarBits(s.modulos, t::kStartStopCode93, kModulosCaractere);
    for (uint8_t v : valores) detalhe::anexarBits(s.modulos, t::kCode93[v], kModulosCaractere);
    detalhe::anexarBits(s.modulos, t::kStartStopCode93, kModulosCaractere);
    s.modulos.push_back(1);
    detalhe::textoSobreTudo(s);
    return s;
}

}  // namespace Ordal::Symbols
