#include "symbols/PDF417.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "symbols/PDF417Tables.h"

namespace Ordal::Symbols {
namespace {

using PDF417Tabelas::valorSubmodo;

constexpr int MODO_TEXTO = 900;
constexpr int MODO_BYTE = 901;
constexpr int MODO_NUMERICO = 902;
constexpr int DESVIO_BYTE = 913;
constexpr int MODO_BYTE_6 = 924;

// Sub-modes of text compaction.
constexpr int ALFA = 0;
constexpr int MINUSCULO = 1;
constexpr int MISTO = 2;
constexpr int PONTUACAO = 3;

// Codewords are written at indices 1.. of palavras; a successful result never holds more than
// this many entries counting index 0.
constexpr int LIMITE = PDF417_MAXIMO_DADOS;

bool ehDigito(uint8_t c) { return c >= '0' && c <= '9'; }
bool ehMaiuscula(uint8_t c) { return c >= 'A' && c <= 'Z'; }
bool ehMinuscula(uint8_t c) { return c >= 'a' && c <= 'z'; }
bool temMisto(uint8_t c) { return valorSubmodo[MISTO][c] >= 0; }
bool temPontuacao(uint8_t c) { return valorSubmodo[PONTUACAO][c] >= 0; }
bool ehTexto(uint8_t c) {
    return valorSubmodo[ALFA][c] >= 0 || valorSubmodo[MINUSCULO][c] >= 0 || temMisto(c) || temPontuacao(c);
}

// Appends codewords to palavras with the size limit checked on every write.
struct Saida {
    int* palavras;
    int pos;  // next index to write; also the count including index 0
    bool estourou;

    void por(int valor) {
        if (pos >= LIMITE) {
            estourou = true;
            return;
        }
        palavras[pos++] = valor;
    }
    bool cabe(int quantidade) const { return !estourou && pos + quantidade <= LIMITE; }
};

// ---------------------------------------------------------------------------------------------
// Compaction

void compactarNumerico(const uint8_t* s, int n, Saida& out) {
    out.por(MODO_NUMERICO);
    while (n > 0 && !out.estourou) {
        const int g = n < 44 ? n : 44;
        const int k = g / 3 + 1;
        if (!out.cabe(k)) {
            out.estourou = true;
            return;
        }
        // "1" followed by the digits, converted to base 900 by repeated long division.
        uint8_t dec[45];
        dec[0] = 1;
        for (int i = 0; i < g; ++i) dec[i + 1] = static_cast<uint8_t>(s[i] - '0');
        int digitos = g + 1;
        int inicio = 0;
        int base900[16];
        for (int i = k - 1; i >= 0; --i) {
            int resto = 0;
            for (int d = inicio; d < digitos; ++d) {
                const int v = resto * 10 + dec[d];
                dec[d] = static_cast<uint8_t>(v / 900);
                resto = v % 900;
            }
            while (inicio < digitos && dec[inicio] == 0) ++inicio;
            base900[i] = resto;
        }
        for (int i = 0; i < k; ++i) out.por(base900[i]);
        s += g;
        n -= g;
    }
}

void compactarBytes(const uint8_t* s, int n, Saida& out) {
    const int grupos = n / 6;
    const int resto = n % 6;
    if (!out.cabe(1 + grupos * 5 + resto)) {
        out.estourou = true;
        return;
    }
    out.por(resto == 0 ? MODO_BYTE_6 : MODO_BYTE);
    for (int g = 0; g < grupos; ++g, s += 6) {
        uint64_t v = 0;
        for (int i = 0; i < 6; ++i) v = (v << 8) | s[i];
        int cw[5];
        for (int i = 4; i >= 0; --i) {
            cw[i] = static_cast<int>(v % 900);
            v /= 900;
        }
        for (int i = 0; i < 5; ++i) out.por(cw[i]);
    }
    for (int i = 0; i < resto; ++i) out.por(s[i]);
}

// Text compaction: pairs of sub-mode values become one codeword each. Values are paired on the
// fly (`pendente` holds the first of a pair), so no scratch array is needed.
class CompactadorTexto {
public:
    explicit CompactadorTexto(Saida& out) : out_(out) {}

    void compactar(const uint8_t* s, int n) {
        for (int i = 0; i < n && !out_.estourou; ++i) {
            const uint8_t c = s[i];
            if (!ehTexto(c)) {
                desviarByte(c);
                continue;
            }
            caractere(s, i, n);
        }
        if (pendente_ >= 0) valor(29);
    }

private:
    void valor(int v) {
        if (pendente_ < 0) {
            pendente_ = v;
        } else {
            out_.por(30 * pendente_ + v);
            pendente_ = -1;
        }
    }

    // True when the two characters after position i both have a Punctuation value.
    static bool seguemPontuacao(const uint8_t* s, int i, int n) {
        return i + 2 < n && temPontuacao(s[i + 1]) && temPontuacao(s[i + 2]);
    }
    static bool seguemMaiusculas(const uint8_t* s, int i, int n) {
        return i + 2 < n && ehMaiuscula(s[i + 1]) && ehMaiuscula(s[i + 2]);
    }

    void caractere(const uint8_t* s, int i, int n) {
        const uint8_t c = s[i];
        for (;;) {
            const int v = valorSubmodo[modo_][c];
            if (v >= 0) {
                valor(v);
                return;
            }
            switch (modo_) {
            case ALFA:
            case MINUSCULO:
                if (modo_ == ALFA && ehMinuscula(c)) {
                    valor(27);
                    modo_ = MINUSCULO;
                } else if (modo_ == MINUSCULO && ehMaiuscula(c)) {
                    if (seguemMaiusculas(s, i, n)) {
                        valor(28);
                        valor(28);
                        modo_ = ALFA;
                    } else {
                        valor(27);
                        valor(valorSubmodo[ALFA][c]);
                        return;
                    }
                } else if (temMisto(c)) {
                    valor(28);
                    modo_ = MISTO;
                } else if (seguemPontuacao(s, i, n)) {
                    valor(28);
                    valor(25);
                    modo_ = PONTUACAO;
                } else {
                    valor(29);
                    valor(valorSubmodo[PONTUACAO][c]);
                    return;
                }
                break;
            case MISTO:
                if (ehMinuscula(c)) {
                    valor(27);
                    modo_ = MINUSCULO;
                } else if (ehMaiuscula(c)) {
                    valor(28);
                    modo_ = ALFA;
                } else if (seguemPontuacao(s, i, n)) {
                    valor(25);
                    modo_ = PONTUACAO;
                } else {
                    valor(29);
                    valor(valorSubmodo[PONTUACAO][c]);
                    return;
                }
                break;
            default:  // PONTUACAO: back to Alpha, then the character is taken again
                valor(29);
                modo_ = ALFA;
                break;
            }
        }
    }

    // A byte with no text value: 913 and the byte as whole codewords, so a half-filled pair is
    // closed first (29 is a shift in Alpha/Lower/Mixed that the 913 consumes, a latch to Alpha in
    // Punctuation).
    void desviarByte(uint8_t c) {
        if (pendente_ >= 0) {
            valor(29);
            if (modo_ == PONTUACAO) modo_ = ALFA;
        }
        out_.por(DESVIO_BYTE);
        out_.por(c);
    }

    Saida& out_;
    int modo_ = ALFA;
    int pendente_ = -1;
};

// ---------------------------------------------------------------------------------------------
// Segmentation

enum TipoSegmento : uint8_t { NUMERICO, TEXTO, BYTES };

// The segments as a doubly linked list over fixed arrays, so merges cost O(1) and a merge only
// requires re-examining its neighbourhood.
struct Segmentos {
    static constexpr int MAXIMO = PDF417_MAXIMO_TEXTO + 1;
    uint16_t inicio[MAXIMO];
    uint16_t tamanho[MAXIMO];
    int16_t anterior[MAXIMO];
    int16_t proximo[MAXIMO];
    TipoSegmento tipo[MAXIMO];
    int quantidade = 0;
    int primeiro = -1;

    void acrescentar(TipoSegmento t, int ini, int tam) {
        const int ultimo = quantidade - 1;
        if (ultimo >= 0 && t != NUMERICO && tipo[ultimo] == t) {
            tamanho[ultimo] = static_cast<uint16_t>(tamanho[ultimo] + tam);
            return;
        }
        const int i = quantidade++;
        inicio[i] = static_cast<uint16_t>(ini);
        tamanho[i] = static_cast<uint16_t>(tam);
        tipo[i] = t;
        anterior[i] = static_cast<int16_t>(ultimo);
        proximo[i] = -1;
        if (ultimo >= 0) proximo[ultimo] = static_cast<int16_t>(i);
        if (primeiro < 0) primeiro = i;
    }

    // Folds segment b (the one right after a) into a; a keeps its position and takes type t.
    void juntar(int a, int b, TipoSegmento t) {
        tamanho[a] = static_cast<uint16_t>(tamanho[a] + tamanho[b]);
        tipo[a] = t;
        proximo[a] = proximo[b];
        if (proximo[b] >= 0) anterior[proximo[b]] = static_cast<int16_t>(a);
    }

    bool eh(int i, TipoSegmento t) const { return i >= 0 && tipo[i] == t; }
    // Where to resume after a change at i: nothing before its predecessor can have changed.
    int retomar(int i) const { return anterior[i] >= 0 ? anterior[i] : i; }
};

void segmentar(const uint8_t* s, int n, Segmentos& g) {
    for (int i = 0; i < n;) {
        if (ehDigito(s[i])) {
            int j = i;
            while (j < n && ehDigito(s[j])) ++j;
            g.acrescentar(j - i >= 13 ? NUMERICO : TEXTO, i, j - i);
            i = j;
        } else {
            g.acrescentar(ehTexto(s[i]) ? TEXTO : BYTES, i, 1);
            ++i;
        }
    }

    // A lone byte between two text runs is cheaper shifted inside text.
    for (int i = g.primeiro; i >= 0;) {
        const int a = g.anterior[i], p = g.proximo[i];
        if (g.tipo[i] == BYTES && g.tamanho[i] == 1 && g.eh(a, TEXTO) && g.eh(p, TEXTO) &&
            g.tamanho[a] + g.tamanho[p] > 2) {
            g.juntar(a, i, TEXTO);
            g.juntar(a, p, TEXTO);
            i = g.retomar(a);
        } else {
            i = p;
        }
    }

    // A long text run swallows adjacent lone bytes.
    for (int i = g.primeiro; i >= 0;) {
        const int a = g.anterior[i], p = g.proximo[i];
        if (g.tipo[i] == TEXTO && g.tamanho[i] > 4) {
            if (g.eh(a, TEXTO) || (g.eh(a, BYTES) && g.tamanho[a] == 1)) {
                g.juntar(a, i, TEXTO);
                i = g.retomar(a);
                continue;
            }
            if (g.eh(p, TEXTO) || (g.eh(p, BYTES) && g.tamanho[p] == 1)) {
                g.juntar(i, p, TEXTO);
                i = g.retomar(i);
                continue;
            }
        }
        i = p;
    }

    // A byte run swallows adjacent short text runs and byte runs.
    for (int i = g.primeiro; i >= 0;) {
        const int a = g.anterior[i], p = g.proximo[i];
        if (g.tipo[i] == BYTES) {
            if (g.eh(a, BYTES) || (g.eh(a, TEXTO) && g.tamanho[a] < 5)) {
                g.juntar(a, i, BYTES);
                i = g.retomar(a);
                continue;
            }
            if (g.eh(p, BYTES) || (g.eh(p, TEXTO) && g.tamanho[p] < 5)) {
                g.juntar(i, p, BYTES);
                i = g.retomar(i);
                continue;
            }
        }
        i = p;
    }

    // A short all-digit text is shorter numerically compacted.
    const int u = g.primeiro;
    if (u >= 0 && g.proximo[u] < 0 && g.tipo[u] == TEXTO && g.tamanho[u] > 7) {
        bool digitos = true;
        for (int k = 0; k < g.tamanho[u] && digitos; ++k) digitos = ehDigito(s[g.inicio[u] + k]);
        if (digitos) g.tipo[u] = NUMERICO;
    }
}

// Compacts the text into palavras[1..]; returns the count including index 0, or -1 when it does
// not fit.
int compactar(const uint8_t* s, int n, int* palavras) {
    Segmentos g;
    segmentar(s, n, g);
    Saida out{palavras, 1, false};
    bool primeiro = true;
    for (int i = g.primeiro; i >= 0 && !out.estourou; i = g.proximo[i], primeiro = false) {
        const uint8_t* seg = s + g.inicio[i];
        const int tam = g.tamanho[i];
        switch (g.tipo[i]) {
        case NUMERICO: compactarNumerico(seg, tam, out); break;
        case BYTES: compactarBytes(seg, tam, out); break;
        case TEXTO:
            if (!primeiro) out.por(MODO_TEXTO);
            CompactadorTexto(out).compactar(seg, tam);
            break;
        }
    }
    return out.estourou ? -1 : out.pos;
}

// ---------------------------------------------------------------------------------------------
// Shape, error correction, bitmap

int maiorNivel(int espaco) {
    int nivel = 8;
    while (nivel > 0 && (2 << nivel) > espaco) --nivel;
    return nivel;
}

int tetoDivisao(int a, int b) { return (a + b - 1) / b; }

void linhasPelasColunas(int t, int& linhas, int& colunas) {
    linhas = tetoDivisao(t, colunas);
    if (linhas < 3) linhas = 3;
    if (linhas > 90) {
        linhas = 90;
        colunas = tetoDivisao(t, 90);
    }
}

void maiorQuadrado(int& linhas, int& colunas) {
    if (colunas < 22) {
        colunas = 16;
        linhas = 58;
    } else {
        colunas = 29;
        linhas = 32;
    }
}

int colunasPelaProporcao(double proporcao, double alturaLinha, int t) {
    // Non-numbers and nonsense fall back to the defaults rather than into undefined casts.
    double r = std::isnan(proporcao) ? 0.5 : proporcao;
    if (r < 0.001) r = 0.001;
    if (r > 1000.0) r = 1000.0;
    double a = alturaLinha;
    if (!(a > 0.0) || std::isinf(a)) a = 3.0;
    if (a > 1000.0) a = 1000.0;
    const double u = 73.0 * r - 4.0;
    const double w = std::sqrt(u * u + 68.0 * r * t * a);
    const double c = (w - u) / (34.0 * r) + 0.5;
    if (!(c >= 1.0)) return 1;
    if (c >= 30.0) return 30;
    return static_cast<int>(c);
}

// Error-correction codewords of palavras[0..m-1] into palavras[m..m+e-1].
void reedSolomon(int* palavras, int m, int nivel) {
    const int e = 2 << nivel;
    const uint16_t* g = PDF417Tabelas::coeficientesRS + PDF417Tabelas::offsetRS(nivel);
    uint32_t ec[512] = {};
    for (int i = 0; i < m; ++i) {
        const uint32_t f = (static_cast<uint32_t>(palavras[i]) + ec[0]) % 929;
        for (int j = 0; j < e - 1; ++j) ec[j] = (ec[j + 1] + 929u * 929u - f * g[e - 1 - j]) % 929;
        ec[e - 1] = (929u * 929u - f * g[0]) % 929;
    }
    for (int j = 0; j < e; ++j) palavras[m + j] = static_cast<int>((929 - ec[j]) % 929);
}

// Writes the most significant `quantos` bits of `valor` (right-aligned) into a zeroed row.
class Escritor {
public:
    explicit Escritor(uint8_t* linha) : p_(linha) {}
    void por(uint32_t valor, int quantos) {
        acc_ = (acc_ << quantos) | valor;
        n_ += quantos;
        while (n_ >= 8) {
            n_ -= 8;
            *p_++ = static_cast<uint8_t>(acc_ >> n_);
        }
    }
    void fim() {
        if (n_ > 0) *p_ = static_cast<uint8_t>(acc_ << (8 - n_));
    }

private:
    uint8_t* p_;
    uint64_t acc_ = 0;
    int n_ = 0;
};

}  // namespace

void iniciarPDF417(ParametrosPDF417* p) {
    if (p == nullptr) return;
    std::memset(p, 0, sizeof *p);
    p->bits = nullptr;
    p->tamanhoTexto = -1;
    p->texto = "";
    p->alturaLinha = 3.0f;
    p->proporcao = 0.5f;
}

void liberarPDF417(ParametrosPDF417* p) {
    if (p == nullptr) return;
    std::free(p->bits);
    p->bits = nullptr;
    p->tamanhoBits = 0;
}

void codificarPDF417(ParametrosPDF417* p) {
    if (p == nullptr) return;
    liberarPDF417(p);  // re-encoding with the same record must not leak the previous symbol
    p->erro = PDF417_SEM_ERRO;

    int n;
    if ((p->opcoes & PDF417_PALAVRAS_DADAS) == 0) {
        const uint8_t* texto = reinterpret_cast<const uint8_t*>(p->texto);
        long tamanho = p->tamanhoTexto;
        if (texto == nullptr) {
            if (tamanho > 0) {
                p->erro = PDF417_PARAMETROS_INVALIDOS;
                return;
            }
            tamanho = 0;
        } else if (tamanho < 0) {
            // Bounded: a missing terminator must not make us read far past the limit.
            tamanho = static_cast<long>(strnlen(p->texto, PDF417_MAXIMO_TEXTO + 1));
        }
        if (tamanho > PDF417_MAXIMO_TEXTO) {
            p->erro = PDF417_TEXTO_GRANDE;
            return;
        }
        n = compactar(texto, static_cast<int>(tamanho), p->palavras);
        if (n < 0) {
            p->erro = PDF417_TEXTO_GRANDE;
            return;
        }
        p->quantidadePalavras = n;
    } else {
        n = p->quantidadePalavras;
        if (n < 1 || n > PDF417_MAXIMO_DADOS || p->palavras[0] != n) {
            p->erro = PDF417_PALAVRAS_INVALIDAS;
            return;
        }
        // Every codeword indexes the bar-pattern tables.
        for (int i = 1; i < n; ++i) {
            if (p->palavras[i] < 0 || p->palavras[i] > 928) {
                p->erro = PDF417_PALAVRAS_INVALIDAS;
                return;
            }
        }
    }

    int nivel = p->nivelErro;
    if ((p->opcoes & PDF417_NIVEL_FIXO) == 0) nivel = n <= 40 ? 2 : n <= 160 ? 3 : n <= 320 ? 4 : 5;
    if (nivel < 0) nivel = 0;
    if (nivel > 8) nivel = 8;
    if (nivel > maiorNivel(928 - n)) nivel = maiorNivel(928 - n);

    int colunas = p->colunas < 1 ? 1 : p->colunas > 30 ? 30 : p->colunas;
    int linhas = p->linhas < 3 ? 3 : p->linhas > 90 ? 90 : p->linhas;
    const int minimo = n + (2 << nivel);
    int t = minimo;
    bool retanguloFica = false;
    if (p->opcoes & PDF417_RETANGULO_FIXO) {
        const int area = colunas * linhas;
        if (area > 928) {
            maiorQuadrado(linhas, colunas);
        } else if (area < minimo) {
            linhasPelasColunas(t, linhas, colunas);
        } else {
            t = area;
            retanguloFica = true;
        }
    } else if (p->opcoes & PDF417_COLUNAS_FIXAS) {
        linhasPelasColunas(t, linhas, colunas);
    } else if (p->opcoes & PDF417_LINHAS_FIXAS) {
        colunas = tetoDivisao(t, linhas);
        if (colunas > 30) {
            colunas = 30;
            linhas = tetoDivisao(t, 30);
        }
    } else {
        colunas = colunasPelaProporcao(p->proporcao, p->alturaLinha, t);
        linhasPelasColunas(t, linhas, colunas);
    }
    if (!retanguloFica) {
        t = linhas * colunas;
        if (t > 928) {
            maiorQuadrado(linhas, colunas);
            t = 928;
        }
    }

    nivel = maiorNivel(t - n);
    const int e = 2 << nivel;
    const int m = t - e;
    for (int i = n; i < m; ++i) p->palavras[i] = MODO_TEXTO;
    p->palavras[0] = m;
    p->quantidadePalavras = m;
    reedSolomon(p->palavras, m, nivel);

    const int largura = 17 * colunas + 69;
    const int porLinha = (largura + 7) / 8;
    uint8_t* bits = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(porLinha) * linhas, 1));
    if (bits == nullptr) {
        p->erro = PDF417_SEM_MEMORIA;
        return;
    }
    const int R = linhas - 1, Q = colunas - 1;
    for (int j = 0; j < linhas; ++j) {
        const int k = j % 3;
        const int base = 30 * (j / 3);
        const int ind[3] = {base + R / 3, base + 3 * nivel + R % 3, base + Q};
        const uint32_t* padrao = PDF417Tabelas::padroes[k];
        Escritor w(bits + j * porLinha);
        w.por(PDF417Tabelas::padraoInicio, 17);
        w.por(padrao[ind[k]], 17);
        for (int c = 0; c < colunas; ++c) w.por(padrao[p->palavras[j * colunas + c]], 17);
        w.por(padrao[ind[(k + 2) % 3]], 17);
        w.por(PDF417Tabelas::padraoFim, 18);
        w.fim();
    }
    if (p->opcoes & PDF417_INVERTER) {
        // Only the symbol's modules: the row padding stays blank so it never prints as a dark edge.
        const int sobra = porLinha * 8 - largura;
        const uint8_t mascaraFinal = static_cast<uint8_t>(0xFF << sobra);
        for (int j = 0; j < linhas; ++j) {
            uint8_t* linha = bits + j * porLinha;
            for (int b = 0; b < porLinha; ++b) linha[b] = static_cast<uint8_t>(~linha[b]);
            linha[porLinha - 1] &= mascaraFinal;
        }
    }

    p->bits = bits;
    p->tamanhoBits = porLinha * linhas;
    p->colunasBits = largura;
    p->bytesPorLinha = porLinha;
    p->linhas = linhas;
    p->colunas = colunas;
    p->nivelErro = nivel;
}

}  // namespace Ordal::Symbols
