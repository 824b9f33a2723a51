#include "symbols/UPCEAN.h"

#include "symbols/UPCEANTables.h"

namespace Ordal::Symbols {

namespace t = tabelas;

namespace {

constexpr int kModulosDigito = 7;

// Digit values of an all-digit input of an accepted length, else nothing. Room for the check digit.
struct Digitos {
    std::array<uint8_t, 13> v{};
    size_t n = 0;
};

std::optional<Digitos> lerDigitos(std::span<const uint8_t> dados, size_t semVerificador) {
    if (dados.size() != semVerificador && dados.size() != semVerificador + 1) return std::nullopt;
    Digitos d;
    for (uint8_t c : dados) {
        if (c < '0' || c > '9') return std::nullopt;
        d.v[d.n++] = static_cast<uint8_t>(c - '0');
    }
    if (d.n == semVerificador) {
        d.v[d.n] = static_cast<uint8_t>(digitoVerificadorGS1({d.v.data(), d.n}));
        ++d.n;
    }
    return d;
}

void digitoEsquerda(std::vector<uint8_t>& m, uint8_t digito, bool paridadePar) {
    detalhe::anexarBits(m, paridadePar ? t::kConjuntoG[digito] : t::kConjuntoL[digito], kModulosDigito);
}

void digitoDireita(std::vector<uint8_t>& m, uint8_t digito) {
    detalhe::anexarBits(m, t::kConjuntoR[digito], kModulosDigito);
}

std::string texto(const Digitos& d, size_t de, size_t ate) {
    std::string s;
    for (size_t i = de; i < ate; ++i) s.push_back(static_cast<char>('0' + d.v[i]));
    return s;
}

// The two-halves layout shared by UPC-A, EAN-13 and EAN-8: digits [primeiro, primeiro + metade)
// left of the centre guard, the next `metade` right of it, each half with the given left parity.
LinearSymbol duasMetades(const Digitos& d, size_t primeiro, size_t metade, uint8_t paridade) {
    LinearSymbol s;
    const int total =
        t::kGuardaNormalModulos * 2 + t::kGuardaCentralModulos + static_cast<int>(metade) * 2 * kModulosDigito;
    s.modulos.reserve(total);
    detalhe::anexarBits(s.modulos, t::kGuardaNormal, t::kGuardaNormalModulos);
    for (size_t i = 0; i < metade; ++i)
        digitoEsquerda(s.modulos, d.v[primeiro + i], (paridade >> (metade - 1 - i)) & 1u);
    detalhe::anexarBits(s.modulos, t::kGuardaCentral, t::kGuardaCentralModulos);
    for (size_t i = 0; i < metade; ++i) digitoDireita(s.modulos, d.v[primeiro + metade + i]);
    detalhe::anexarBits(s.modulos, t::kGuardaNormal, t::kGuardaNormalModulos);
    s.textoHRI = texto(d, 0, d.n);
    return s;
}

}  // namespace

int digitoVerificadorGS1(std::span<const uint8_t> valores) {
    int soma = 0;
    int peso = 3;
    for (size_t i = valores.size(); i-- > 0;) {
        soma += valores[i] * peso;
        peso = 4 - peso;
    }
    return (10 - soma % 10) % 10;
}

std::optional<std::array<uint8_t, 11>> expandirUPCE(std::span<const uint8_t, 7> e) {
    if (e[0] > 1) return std::nullopt;
    const uint8_t d1 = e[1], d2 = e[2], d3 = e[3], d4 = e[4], d5 = e[5], d6 = e[6];
    std::array<uint8_t, 11> a{};
    a[0] = e[0];
    switch (d6) {
    case 0:
    case 1:
    case 2:  // manufacturer d1 d2 d6 00, product 00 d3 d4 d5
        a = {e[0], d1, d2, d6, 0, 0, 0, 0, d3, d4, d5};
        break;
    case 3:  // manufacturer d1 d2 d3 00, product 000 d4 d5
        a = {e[0], d1, d2, d3, 0, 0, 0, 0, 0, d4, d5};
        break;
    case 4:  // manufacturer d1 d2 d3 d4 0, product 0000 d5
        a = {e[0], d1, d2, d3, d4, 0, 0, 0, 0, 0, d5};
        break;
    default:  // manufacturer d1..d5, product 000 d6
        a = {e[0], d1, d2, d3, d4, d5, 0, 0, 0, 0, d6};
        break;
    }
    return a;
}

std::optional<LinearSymbol> codificarUPCA(std::span<const uint8_t> dados) {
    auto d = lerDigitos(dados, 11);
    if (!d) return std::nullopt;
    LinearSymbol s = duasMetades(*d, 0, 6, 0);
    s.digitoEsquerdo = static_cast<char>('0' + d->v[0]);
    s.digitoDireito = static_cast<char>('0' + d->v[11]);
    // The number system and check characters are printed full height with the guards.
    s.guardas = {{0, 10}, {45, 50}, {85, 95}};
    s.gruposHRI = {{texto(*d, 1, 6), 10, 45}, {texto(*d, 6, 11), 50, 85}};
    s.zonaSilenciosaEsquerda = 9;
    s.zonaSilenciosaDireita = 9;
    return s;
}

std::optional<LinearSymbol> codificarEAN13(std::span<const uint8_t> dados) {
    auto d = lerDigitos(dados, 12);
    if (!d) return std::nullopt;
    LinearSymbol s = duasMetades(*d, 1, 6, t::kParidadeEAN13[d->v[0]]);
    s.digitoEsquerdo = static_cast<char>('0' + d->v[0]);
    s.guardas = {{0, 3}, {45, 50}, {92, 95}};
    s.gruposHRI = {{texto(*d, 1, 7), 3, 45}, {texto(*d, 7, 13), 50, 92}};
    s.zonaSilenciosaEsquerda = 11;
    s.zonaSilenciosaDireita = 7;
    return s;
}

std::optional<LinearSymbol> codificarEAN8(std::span<const uint8_t> dados) {
    auto d = lerDigitos(dados, 7);
    if (!d) return std::nullopt;
    LinearSymbol s = duasMetades(*d, 0, 4, 0);
    s.guardas = {{0, 3}, {31, 36}, {64, 67}};
    s.gruposHRI = {{texto(*d, 0, 4), 3, 31}, {texto(*d, 4, 8), 36, 64}};
    s.zonaSilenciosaEsquerda = 7;
    s.zonaSilenciosaDireita = 7;
    return s;
}

std::optional<LinearSymbol> codificarUPCE(std::span<const uint8_t> dados) {
    if (dados.size() != 7 && dados.size() != 8) return std::nullopt;
    std::array<uint8_t, 8> v{};
    for (size_t i = 0; i < dados.size(); ++i) {
        if (dados[i] < '0' || dados[i] > '9') return std::nullopt;
        v[i] = static_cast<uint8_t>(dados[i] - '0');
    }
    auto upca = expandirUPCE(std::span<const uint8_t, 7>(v.data(), 7));
    if (!upca) return std::nullopt;
    if (dados.size() == 7) v[7] = static_cast<uint8_t>(digitoVerificadorGS1(*upca));

    // Number system and check digit are not encoded as characters: they select the parities.
    const uint8_t paridade = (v[0] == 0 ? t::kParidadeUPCE0 : t::kParidadeUPCE1)[v[7]];
    LinearSymbol s;
    s.modulos.reserve(51);
    detalhe::anexarBits(s.modulos, t::kGuardaNormal, t::kGuardaNormalModulos);
    for (int i = 0; i < 6; ++i) digitoEsquerda(s.modulos, v[1 + i], (paridade >> (5 - i)) & 1u);
    detalhe::anexarBits(s.modulos, t::kGuardaFinalUPCE, t::kGuardaFinalUPCEModulos);
    for (uint8_t x : v) s.textoHRI.push_back(static_cast<char>('0' + x));
    s.digitoEsquerdo = s.textoHRI[0];
    s.digitoDireito = s.textoHRI[7];
    s.guardas = {{0, 3}, {45, 51}};
    s.gruposHRI = {{s.textoHRI.substr(1, 6), 3, 45}};
    s.zonaSilenciosaEsquerda = 9;
    s.zonaSilenciosaDireita = 7;
    return s;
}

}  // namespace Ordal::Symbols
