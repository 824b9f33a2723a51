// Helpers shared by the PDF417 tests: an owning wrapper of the encoder record and a reader that
// takes a bitmap apart again (patterns back to codewords) without trusting the encoder's own state.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "symbols/PDF417.h"
#include "symbols/PDF417Tables.h"

namespace pdf417test {

using namespace Ordal::Symbols;

struct Simbolo {
    std::unique_ptr<ParametrosPDF417> p = std::make_unique<ParametrosPDF417>();
    Simbolo() { iniciarPDF417(*p); }
    ~Simbolo() { liberarPDF417(*p); }
    ParametrosPDF417* operator->() { return p.get(); }
    const ParametrosPDF417* operator->() const { return p.get(); }
};

inline std::unique_ptr<Simbolo> codificar(const std::string& dados, int opcoes = 0, int nivel = 0, int colunas = 0,
                                          int linhas = 0) {
    auto s = std::make_unique<Simbolo>();
    (*s)->texto = dados.data();
    (*s)->tamanhoTexto = static_cast<int>(dados.size());
    (*s)->opcoes = opcoes;
    (*s)->nivelErro = nivel;
    (*s)->colunas = colunas;
    (*s)->linhas = linhas;
    codificarPDF417(*s->p);
    return s;
}

// Module values of one bitmap row as an integer of `n` bits starting at x.
inline uint32_t lerBits(const ParametrosPDF417& p, int y, int x, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | (moduloPDF417(p, x + i, y) ? 1u : 0u);
    return v;
}

struct Leitura {
    bool ok = false;
    std::string falha;
    std::vector<int> palavras;  // row by row, data columns only
    std::vector<int> esquerda, direita;
};

// Decodes every symbol character of the bitmap through a reverse lookup of the cluster tables.
inline Leitura lerSimbolo(const ParametrosPDF417& p) {
    static const std::vector<std::map<uint32_t, int>> reverso = [] {
        std::vector<std::map<uint32_t, int>> r(3);
        for (int k = 0; k < 3; ++k)
            for (int v = 0; v < 929; ++v) r[k][PDF417Tabelas::padroes[k][v]] = v;
        return r;
    }();
    Leitura l;
    if (p.colunasBits != 17 * p.colunas + 69) {
        l.falha = "largura";
        return l;
    }
    for (int y = 0; y < p.linhas; ++y) {
        if (lerBits(p, y, 0, 17) != 0x1FEA8 || lerBits(p, y, p.colunasBits - 18, 18) != 0x3FA29) {
            l.falha = "inicio/fim na linha " + std::to_string(y);
            return l;
        }
        for (int c = 0; c < p.colunas + 2; ++c) {
            const uint32_t padrao = lerBits(p, y, 17 + 17 * c, 17);
            auto it = reverso[y % 3].find(padrao);
            if (it == reverso[y % 3].end()) {
                l.falha = "padrao desconhecido na linha " + std::to_string(y);
                return l;
            }
            if (c == 0)
                l.esquerda.push_back(it->second);
            else if (c == p.colunas + 1)
                l.direita.push_back(it->second);
            else
                l.palavras.push_back(it->second);
        }
    }
    l.ok = true;
    return l;
}

// The codeword polynomial of a correct symbol vanishes at 3^1..3^e.
inline bool sindromesNulas(const std::vector<int>& palavras, int e) {
    for (int i = 1; i <= e; ++i) {
        int64_t x = 1;
        for (int k = 0; k < i; ++k) x = x * 3 % 929;
        int64_t acc = 0;
        for (int c : palavras) acc = (acc * x + c) % 929;
        if (acc != 0) return false;
    }
    return true;
}

}  // namespace pdf417test
