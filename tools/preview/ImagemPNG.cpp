#include "ImagemPNG.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace rx457preview {

namespace {

uint32_t lerLE(const std::string& b, size_t pos, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(b[pos + static_cast<size_t>(i)]);
    return v;
}

void escreverBE(std::string& b, uint32_t v) {
    for (int i = 3; i >= 0; --i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t crc32(const std::string& dados, size_t inicio) {
    static const std::array<uint32_t, 256> tabela = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = inicio; i < dados.size(); ++i) c = tabela[(c ^ static_cast<uint8_t>(dados[i])) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void bloco(std::string& png, const char* tipo, const std::string& dados) {
    escreverBE(png, static_cast<uint32_t>(dados.size()));
    std::string corpo(tipo, 4);
    corpo += dados;
    png += corpo;
    escreverBE(png, crc32(corpo, 0));
}

}  // namespace

bool lerBMP1Bit(const std::string& b, Imagem1Bit& imagem, std::string& erro) {
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') {
        erro = "não é um arquivo BMP";
        return false;
    }
    const uint32_t inicioPixels = lerLE(b, 10, 4), tamanhoCabecalho = lerLE(b, 14, 4);
    const int32_t largura = static_cast<int32_t>(lerLE(b, 18, 4)), alturaBruta = static_cast<int32_t>(lerLE(b, 22, 4));
    const uint32_t bits = lerLE(b, 28, 2), compressao = lerLE(b, 30, 4);
    if (bits != 1 || compressao != 0 || largura <= 0 || alturaBruta == 0 || alturaBruta == INT32_MIN) {
        erro = "BMP que não é de 1 bit por ponto sem compressão";
        return false;
    }
    const bool deCimaParaBaixo = alturaBruta < 0;
    const int64_t altura = deCimaParaBaixo ? -int64_t(alturaBruta) : alturaBruta;
    const size_t passo = (static_cast<size_t>(largura) + 31) / 32 * 4;
    const size_t paleta = 14 + static_cast<size_t>(tamanhoCabecalho);
    if (paleta + 8 > b.size() || inicioPixels > b.size() ||
        (b.size() - inicioPixels) / passo < static_cast<size_t>(altura)) {
        erro = "BMP truncado";
        return false;
    }
    imagem.largura = largura;
    imagem.altura = static_cast<int>(altura);
    for (int i = 0; i < 2; ++i)
        for (int c = 0; c < 3; ++c)  // BMP palette entries are blue, green, red, reserved
            imagem.paleta[i][c] =
                static_cast<uint8_t>(b[paleta + 4 * static_cast<size_t>(i) + 2 - static_cast<size_t>(c)]);
    const size_t n = imagem.bytesPorLinha();
    imagem.linhas.assign(n * static_cast<size_t>(altura), 0);
    for (int64_t y = 0; y < altura; ++y) {
        const int64_t origem = deCimaParaBaixo ? y : altura - 1 - y;
        std::memcpy(imagem.linhas.data() + static_cast<size_t>(y) * n,
                    b.data() + inicioPixels + static_cast<size_t>(origem) * passo, n);
    }
    // Bits past the width are padding: keep them at the paper's index, so the PNG holds only the image.
    if (const int resto = largura % 8)
        for (int64_t y = 0; y < altura; ++y)
            imagem.linhas[static_cast<size_t>(y) * n + n - 1] &= static_cast<uint8_t>(0xFF << (8 - resto));
    return true;
}

std::string codificarPNG(const Imagem1Bit& imagem) {
    std::string png("\x89PNG\r\n\x1a\n", 8);

    std::string ihdr;
    escreverBE(ihdr, static_cast<uint32_t>(imagem.largura));
    escreverBE(ihdr, static_cast<uint32_t>(imagem.altura));
    ihdr += std::string("\x01\x03\x00\x00\x00", 5);  // bit depth 1, palette, deflate, no filter, no interlace
    bloco(png, "IHDR", ihdr);

    std::string plte;
    for (const auto& cor : imagem.paleta)
        for (uint8_t c : cor) plte += static_cast<char>(c);
    bloco(png, "PLTE", plte);

    // The filtered image: each row starts with filter type 0 (none).
    const size_t n = imagem.bytesPorLinha();
    std::string cru;
    cru.reserve((n + 1) * static_cast<size_t>(imagem.altura));
    for (int y = 0; y < imagem.altura; ++y) {
        cru += '\0';
        cru.append(reinterpret_cast<const char*>(imagem.linhas.data()) + static_cast<size_t>(y) * n, n);
    }
    std::string zlib("\x78\x01", 2);
    size_t pos = 0;
    do {
        const size_t parte = std::min<size_t>(cru.size() - pos, 65535);
        const bool ultimo = pos + parte == cru.size();
        zlib += static_cast<char>(ultimo ? 1 : 0);
        zlib += static_cast<char>(parte & 0xFF);
        zlib += static_cast<char>(parte >> 8);
        zlib += static_cast<char>(~parte & 0xFF);
        zlib += static_cast<char>((~parte >> 8) & 0xFF);
        zlib.append(cru, pos, parte);
        pos += parte;
    } while (pos < cru.size());
    uint32_t a = 1, b = 0;  // Adler-32 of the uncompressed data
    for (unsigned char c : cru) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    escreverBE(zlib, (b << 16) | a);
    bloco(png, "IDAT", zlib);
    bloco(png, "IEND", std::string());
    return png;
}

}  // namespace rx457preview
