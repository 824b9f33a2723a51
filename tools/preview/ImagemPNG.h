// 1-bit images as the library's job capture writes them (BMP) and as PNG, without any image library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rx457preview {

// A 1-bit image: rows top to bottom, (largura + 7) / 8 bytes each, most significant bit leftmost;
// bit value = palette index (in the library's BMP, 0 = paper, 1 = dot).
struct Imagem1Bit {
    int largura = 0;
    int altura = 0;
    std::vector<uint8_t> linhas;
    uint8_t paleta[2][3] = {{0xFF, 0xFF, 0xFF}, {0, 0, 0}};  // RGB of index 0 and 1

    size_t bytesPorLinha() const { return (static_cast<size_t>(largura) + 7) / 8; }
};

// Reads an uncompressed 1-bit BMP (top-down or bottom-up); false, with a message in erro, otherwise.
bool lerBMP1Bit(const std::string& bytes, Imagem1Bit& imagem, std::string& erro);

// A palette PNG of bit depth 1 with the image's two colours. The pixel data goes in stored (not
// compressed) deflate blocks: no zlib is needed, and a receipt's PNG is about the size of its BMP.
std::string codificarPNG(const Imagem1Bit& imagem);

}  // namespace rx457preview
