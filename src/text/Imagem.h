// Pictures from Windows bitmap files: decoded into 32-bit pixels for the printer conversion.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "printer/Driver.h"

namespace ORDAL_VEX {

class Imagem {
public:
    // Reads and decodes a BMP file (1, 4, 8 bpp with palette, 16, 24, 32 bpp; bottom-up or top-down;
    // uncompressed or with bit-field masks). False when the file cannot be read or is not a sound BMP;
    // the picture is then empty.
    bool carregarBMP(const char* caminho);
    // The same from bytes in memory (a page written by the PDF converter, for example).
    bool carregarBMP(const uint8_t* dados, size_t tamanho);

    const std::string& nome() const { return nome_; }
    const Ordal::Printer::Bitmap& bitmap() const { return bitmap_; }
    int32_t largura() const { return bitmap_.largura; }
    int32_t altura() const { return bitmap_.linhas(); }
    int32_t bitsPorPixel() const { return bitmap_.bitsPorPixel; }
    bool vazia() const { return bitmap_.largura <= 0 || bitmap_.altura == 0; }

    // Limits on what a file may claim, whatever its size: a receipt picture is far smaller.
    static constexpr int32_t larguraMaxima = 16384;
    static constexpr int32_t alturaMaxima = 65536;
    static constexpr uint64_t pixelsMaximos = 32u << 20;

private:
    std::string nome_;
    Ordal::Printer::Bitmap bitmap_;
};

}  // namespace ORDAL_VEX
