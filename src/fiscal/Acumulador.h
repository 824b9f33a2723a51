// Exact fixed-point numbers for money, unit prices, quantities and rates of fiscal documents.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>

namespace Ordal::DocumentoFiscal {

namespace detail {

constexpr long long potencia10(int n) {
    long long p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

// Sums of hostile values must not be undefined behaviour: they stop at the limits instead.
template <typename T>
constexpr T somarSaturado(T a, T b) {
    T r{};
    if (__builtin_add_overflow(a, b, &r)) return b > 0 ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
    return r;
}

template <typename T>
constexpr T subtrairSaturado(T a, T b) {
    T r{};
    if (__builtin_sub_overflow(a, b, &r)) return b < 0 ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
    return r;
}

}  // namespace detail

// Divides a raw value by 10^casas. Rule 'A' rounds half to even, any other rule truncates.
// Negative values are truncated toward zero (never rounded away from it).
inline __int128 reescalar(__int128 valor, int casas, char regra) {
    if (casas <= 0) return valor;
    if (casas > 36) return 0;
    __int128 divisor = 1;
    for (int i = 0; i < casas; ++i) divisor *= 10;
    __int128 q = valor / divisor;
    __int128 r = valor % divisor;
    if (regra == 'A') {
        __int128 metade = divisor / 2;
        if (r > metade || (r == metade && (q % 2) != 0)) q += 1;
    }
    return q;
}

inline long long reescalar(long long valor, int casas, char regra) {
    return static_cast<long long>(reescalar(static_cast<__int128>(valor), casas, regra));
}

template <typename T, int N>
class Acumulador {
    static_assert(std::is_integral_v<T> && std::is_signed_v<T>, "raw value must be a signed integer");
    static_assert(N >= 0 && N <= 10, "unsupported number of decimals");

public:
    using Bruto = T;
    static constexpr int casas = N;
    static constexpr long long escala = detail::potencia10(N);

    T valor = 0;

    constexpr Acumulador() = default;
    constexpr explicit Acumulador(T bruto) : valor(bruto) {}
    Acumulador(const Acumulador&) = default;
    Acumulador& operator=(const Acumulador&) = default;
    virtual ~Acumulador() = default;

    // Fixed-point text "%lld.%0*lld"; a negative value is "-" and its absolute value.
    virtual std::string toString() const {
        long long v = static_cast<long long>(valor);
        unsigned long long a = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
        std::string texto = v < 0 ? "-" : "";
        if constexpr (N == 0) {
            texto += std::to_string(a);
        } else {
            unsigned long long e = static_cast<unsigned long long>(escala);
            texto += std::to_string(a / e);
            texto += '.';
            std::string fracao = std::to_string(a % e);
            texto.append(static_cast<size_t>(N) - fracao.size(), '0');
            texto += fracao;
        }
        return texto;
    }

    // Reads a plain decimal text: digits, at most one '.', no sign; anything else ends it.
    // Fraction digits beyond N are truncated; digits that would overflow the raw type end
    // the reading as well, so hostile input never wraps around.
    void fromString(std::string_view texto) {
        T v = 0;
        bool ponto = false;
        int fracao = 0;
        for (char c : texto) {
            if (c >= '0' && c <= '9') {
                if (ponto && fracao >= N) break;
                T proximo{};
                if (__builtin_mul_overflow(v, T(10), &proximo) || __builtin_add_overflow(proximo, T(c - '0'), &proximo))
                    break;
                v = proximo;
                if (ponto) ++fracao;
            } else if (c == '.' && !ponto) {
                ponto = true;
            } else {
                break;
            }
        }
        for (; fracao < N; ++fracao) {
            if (__builtin_mul_overflow(v, T(10), &v)) {
                v = std::numeric_limits<T>::max();
                break;
            }
        }
        valor = v;
    }

    static Acumulador deTexto(std::string_view texto) {
        Acumulador a;
        a.fromString(texto);
        return a;
    }

    constexpr bool zero() const { return valor == 0; }

    Acumulador& operator+=(const Acumulador& o) {
        valor = detail::somarSaturado(valor, o.valor);
        return *this;
    }
    Acumulador& operator-=(const Acumulador& o) {
        valor = detail::subtrairSaturado(valor, o.valor);
        return *this;
    }
    friend Acumulador operator+(Acumulador a, const Acumulador& b) { return a += b; }
    friend Acumulador operator-(Acumulador a, const Acumulador& b) { return a -= b; }
    friend bool operator==(const Acumulador& a, const Acumulador& b) { return a.valor == b.valor; }
    friend auto operator<=>(const Acumulador& a, const Acumulador& b) { return a.valor <=> b.valor; }
};

using Decimal2 = Acumulador<long long, 2>;
using Decimal3 = Acumulador<long long, 3>;
using Decimal4 = Acumulador<long long, 4>;
using DecimalInt2 = Acumulador<int, 2>;
// NFC-e unit prices carry up to 10 decimals.
using Decimal10 = Acumulador<long long, 10>;

}  // namespace Ordal::DocumentoFiscal
