// PDF417 encoder: a byte string in, a 1-bit bitmap with one dot per module out.
//
// Plain record interface: iniciarPDF417 fills the defaults, the caller sets the input fields,
// codificarPDF417 encodes and sets `erro`, liberarPDF417 releases the bitmap. Nothing throws.
#pragma once

#include <cstdint>

namespace Ordal::Symbols {

// Bits of ParametrosPDF417::opcoes. With none of the three shape bits the shape follows
// `proporcao`; when several are set the first in this order wins.
inline constexpr int PDF417_RETANGULO_FIXO = 0x01;  // use both `colunas` and `linhas`
inline constexpr int PDF417_COLUNAS_FIXAS = 0x02;
inline constexpr int PDF417_LINHAS_FIXAS = 0x04;
inline constexpr int PDF417_NIVEL_FIXO = 0x10;      // use `nivelErro` instead of choosing one
inline constexpr int PDF417_PALAVRAS_DADAS = 0x40;  // caller fills `palavras`, no compaction
inline constexpr int PDF417_INVERTER = 0x80;        // light modules dark and vice versa

// Values of ParametrosPDF417::erro.
inline constexpr int PDF417_SEM_ERRO = 0;
inline constexpr int PDF417_TEXTO_GRANDE = 1;          // over 5420 bytes or 926 data codewords
inline constexpr int PDF417_PALAVRAS_INVALIDAS = 2;    // bad raw codewords (option 0x40)
inline constexpr int PDF417_PARAMETROS_INVALIDOS = 3;  // positive length with no text
inline constexpr int PDF417_SEM_MEMORIA = 4;           // the bitmap could not be allocated

inline constexpr int PDF417_MAXIMO_TEXTO = 5420;
inline constexpr int PDF417_MAXIMO_PALAVRAS = 928;  // codewords of the largest symbol
inline constexpr int PDF417_MAXIMO_DADOS = 926;     // data codewords incl. the length descriptor

struct ParametrosPDF417 {
    // Output bitmap, owned by the record after a successful encoding (released by liberarPDF417 or
    // by the next codificarPDF417). Row-major, `bytesPorLinha` bytes per row, most significant bit
    // leftmost, 1 = dark module; bits past `colunasBits` in each row are always 0.
    uint8_t* bits;
    int tamanhoBits;    // bytes in `bits` = bytesPorLinha x linhas
    int colunasBits;    // bitmap width in modules = 17 x colunas + 69
    int bytesPorLinha;  // (colunasBits + 7) / 8
    int linhas;         // symbol rows, 3..90 (also the bitmap height)
    int colunas;        // data columns, 1..30
    // After encoding: the length descriptor, data and padding, then the error-correction
    // codewords (linhas x colunas in all).
    int palavras[PDF417_MAXIMO_PALAVRAS];
    int quantidadePalavras;  // data codewords including the length descriptor
    int nivelErro;           // 0..8
    const char* texto;
    int tamanhoTexto;  // byte count, or negative for "up to the first zero byte"
    int opcoes;
    float proporcao;    // requested height / width
    float alturaLinha;  // row height in modules, for the ratio computation
    int erro;
};

void iniciarPDF417(ParametrosPDF417* parametros);
void codificarPDF417(ParametrosPDF417* parametros);
void liberarPDF417(ParametrosPDF417* parametros);

inline void iniciarPDF417(ParametrosPDF417& parametros) { iniciarPDF417(&parametros); }
inline void codificarPDF417(ParametrosPDF417& parametros) { codificarPDF417(&parametros); }
inline void liberarPDF417(ParametrosPDF417& parametros) { liberarPDF417(&parametros); }

// Module (x, y) of an encoded symbol: true when dark; false outside the bitmap.
inline bool moduloPDF417(const ParametrosPDF417& p, int x, int y) {
    if (p.bits == nullptr || x < 0 || y < 0 || x >= p.colunasBits || y >= p.linhas) return false;
    return (p.bits[y * p.bytesPorLinha + x / 8] >> (7 - x % 8)) & 1;
}

}  // namespace Ordal::Symbols
