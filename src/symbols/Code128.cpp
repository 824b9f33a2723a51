#include "symbols/Code128.h"

#include "symbols/Code128Tables.h"

namespace Ordal::Symbols {

namespace t = tabelas;

namespace {

constexpr int kModulosSimbolo = 11;
enum class Conjunto { A, B, C };

bool digito(char c) { return c >= '0' && c <= '9'; }

// Human-readable text of a value sequence (valores[0] is a valid start); false when it is longer
// than allowed.
bool textoLegivel(std::span<const uint8_t> valores, std::string& hri) {
    Conjunto conjunto = static_cast<Conjunto>(valores[0] - kInicioCode128A);
    bool shift = false;
    for (size_t i = 1; i < valores.size(); ++i) {
        const uint8_t v = valores[i];
        if (conjunto == Conjunto::C) {
            if (v < 100) {
                hri.push_back(static_cast<char>('0' + v / 10));
                hri.push_back(static_cast<char>('0' + v % 10));
            } else if (v == kCodigoBCode128) {
                conjunto = Conjunto::B;
            } else if (v == kCodigoACode128) {
                conjunto = Conjunto::A;
            }
        } else {
            const bool emB = (conjunto == Conjunto::B) != shift;
            shift = false;
            if (v < 64) {
                hri.push_back(static_cast<char>(v + 32));
            } else if (v < 95) {
                if (emB) hri.push_back(static_cast<char>(v + 32));
            } else if (v == kShiftCode128) {
                shift = true;
            } else if (v == kCodigoCCode128) {
                conjunto = Conjunto::C;
            } else if (v == kCodigoBCode128 && conjunto == Conjunto::A) {
                conjunto = Conjunto::B;
            } else if (v == kCodigoACode128 && conjunto == Conjunto::B) {
                conjunto = Conjunto::A;
            }
        }
        if (hri.size() > kMaximoHRICode128) return false;
    }
    return true;
}

}  // namespace

std::optional<LinearSymbol> codificarCode128(std::span<const uint8_t> valores) {
    if (valores.size() < 2 || valores.size() > kMaximoModulos || valores[0] < kInicioCode128A ||
        valores[0] > kInicioCode128C)
        return std::nullopt;
    // start + data + check, then the 13-module stop.
    const size_t total = valores.size() * kModulosSimbolo + kModulosSimbolo + t::kStopCode128Modulos;
    if (total > kMaximoModulos) return std::nullopt;
    uint32_t soma = valores[0];
    for (size_t i = 1; i < valores.size(); ++i) {
        if (valores[i] >= kInicioCode128A) return std::nullopt;
        soma += static_cast<uint32_t>(valores[i]) * static_cast<uint32_t>(i);
    }
    LinearSymbol s;
    if (!textoLegivel(valores, s.textoHRI)) return std::nullopt;

    s.modulos.resize(total);
    uint8_t* m = s.modulos.data();
    auto simbolo = [&m](uint32_t bits, int n) {
        for (int i = n - 1; i >= 0; --i) *m++ = static_cast<uint8_t>((bits >> i) & 1u);
    };
    for (uint8_t v : valores) simbolo(t::kCode128[v], kModulosSimbolo);
    simbolo(t::kCode128[soma % 103], kModulosSimbolo);
    simbolo(t::kStopCode128, t::kStopCode128Modulos);
    detalhe::textoSobreTudo(s);
    return s;
}

std::optional<std::vector<uint8_t>> valoresCode128ConjuntoC(std::string_view digitos) {
    if (digitos.empty()) return std::nullopt;
    for (char c : digitos)
        if (!digito(c)) return std::nullopt;
    std::vector<uint8_t> v;
    v.reserve(digitos.size() / 2 + 3);
    v.push_back(kInicioCode128C);
    size_t i = 0;
    for (; i + 1 < digitos.size(); i += 2)
        v.push_back(static_cast<uint8_t>((digitos[i] - '0') * 10 + (digitos[i + 1] - '0')));
    if (i < digitos.size()) {
        if (v.size() == 1)
            v[0] = kInicioCode128B;  // a single digit: set C has nothing to offer
        else
            v.push_back(kCodigoBCode128);
        v.push_back(static_cast<uint8_t>(digitos[i] - ' '));
    }
    return v;
}

std::optional<std::vector<uint8_t>> valoresCode128Texto(std::string_view texto) {
    if (texto.empty()) return std::nullopt;
    for (char c : texto)
        if (static_cast<unsigned char>(c) > 127) return std::nullopt;

    auto digitosEm = [&](size_t i) {
        size_t n = 0;
        while (i + n < texto.size() && digito(texto[i + n])) ++n;
        return n;
    };
    auto controle = [](char c) { return static_cast<unsigned char>(c) < 32; };
    auto minuscula = [](char c) { return static_cast<unsigned char>(c) >= 96; };
    // Set A or B for the text from i: whichever is needed first.
    auto conjuntoPara = [&](size_t i) {
        for (; i < texto.size(); ++i) {
            if (controle(texto[i])) return Conjunto::A;
            if (minuscula(texto[i])) return Conjunto::B;
        }
        return Conjunto::B;
    };
    auto valorEm = [](Conjunto c, char ch) {
        const auto u = static_cast<unsigned char>(ch);
        if (c == Conjunto::A && u < 32) return static_cast<uint8_t>(u + 64);
        return static_cast<uint8_t>(u - 32);
    };

    std::vector<uint8_t> v;
    v.reserve(texto.size() + 4);
    Conjunto atual;
    const size_t inicio = digitosEm(0);
    if (inicio >= 4 || (inicio == texto.size() && inicio % 2 == 0)) {
        atual = Conjunto::C;
        v.push_back(kInicioCode128C);
    } else {
        atual = conjuntoPara(0);
        v.push_back(atual == Conjunto::A ? kInicioCode128A : kInicioCode128B);
    }

    size_t i = 0;
    while (i < texto.size()) {
        if (atual == Conjunto::C) {
            if (i + 1 < texto.size() && digito(texto[i]) && digito(texto[i + 1])) {
                v.push_back(static_cast<uint8_t>((texto[i] - '0') * 10 + (texto[i + 1] - '0')));
                i += 2;
                continue;
            }
            atual = conjuntoPara(i);
            v.push_back(atual == Conjunto::A ? kCodigoACode128 : kCodigoBCode128);
            continue;
        }
        const size_t run = digitosEm(i);
        if (run >= 4) {
            // An odd digit goes first in the current set so that the run ends the pairs evenly.
            if (run % 2 == 1) {
                v.push_back(valorEm(atual, texto[i]));
                ++i;
            }
            atual = Conjunto::C;
            v.push_back(kCodigoCCode128);
            continue;
        }
        const char c = texto[i];
        const bool precisaA = controle(c);
        const bool precisaB = minuscula(c);
        if ((precisaA && atual == Conjunto::B) || (precisaB && atual == Conjunto::A)) {
            const Conjunto outro = precisaA ? Conjunto::A : Conjunto::B;
            // One character of the other set: shift; more: change set.
            if (conjuntoPara(i + 1) == atual || i + 1 == texto.size()) {
                v.push_back(kShiftCode128);
                v.push_back(valorEm(outro, c));
                ++i;
                continue;
            }
            atual = outro;
            v.push_back(atual == Conjunto::A ? kCodigoACode128 : kCodigoBCode128);
            continue;
        }
        v.push_back(valorEm(atual, c));
        ++i;
    }
    return v;
}

}  // namespace Ordal::Symbols
