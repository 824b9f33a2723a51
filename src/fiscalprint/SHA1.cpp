#include "fiscalprint/SHA1.h"

#include <cstring>

namespace Misc {

namespace {
inline uint32_t rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
}  // namespace

void SHA1::reiniciar() {
    h_ = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
    bloco_.fill(0);
    contagem_ = 0;
}

void SHA1::processarBloco(const uint8_t* b) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] =
            (uint32_t(b[4 * i]) << 24) | (uint32_t(b[4 * i + 1]) << 16) | (uint32_t(b[4 * i + 2]) << 8) | b[4 * i + 3];
    for (int i = 16; i < 80; ++i) w[i] = rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = h_[0], bb = h_[1], c = h_[2], d = h_[3], e = h_[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (bb & c) | (~bb & d), k = 0x5A827999u;
        } else if (i < 40) {
            f = bb ^ c ^ d, k = 0x6ED9EBA1u;
        } else if (i < 60) {
            f = (bb & c) | (bb & d) | (c & d), k = 0x8F1BBCDCu;
        } else {
            f = bb ^ c ^ d, k = 0xCA62C1D6u;
        }
        const uint32_t t = rotl(a, 5) + f + e + k + w[i];
        e = d, d = c, c = rotl(bb, 30), bb = a, a = t;
    }
    h_[0] += a, h_[1] += bb, h_[2] += c, h_[3] += d, h_[4] += e;
}

void SHA1::atualizar(const void* dados, size_t tamanho) {
    const uint8_t* p = static_cast<const uint8_t*>(dados);
    while (tamanho > 0) {
        const size_t ocupado = contagem_ % 64;
        const size_t n = std::min(tamanho, 64 - ocupado);
        std::memcpy(bloco_.data() + ocupado, p, n);
        contagem_ += n, p += n, tamanho -= n;
        if (contagem_ % 64 == 0) processarBloco(bloco_.data());
    }
}

std::vector<uint8_t> SHA1::finalizar() {
    const uint64_t bits = contagem_ * 8;
    const uint8_t um = 0x80, zero = 0;
    atualizar(&um, 1);
    while (contagem_ % 64 != 56) atualizar(&zero, 1);
    uint8_t tamanho[8];
    for (int i = 0; i < 8; ++i) tamanho[i] = uint8_t(bits >> (56 - 8 * i));
    atualizar(tamanho, 8);
    std::vector<uint8_t> r(20);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j) r[4 * i + j] = uint8_t(h_[i] >> (24 - 8 * j));
    return r;
}

std::string paraHexadecimal(const std::vector<uint8_t>& bytes) {
    static const char digitos[] = "0123456789abcdef";
    std::string s;
    s.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        s.push_back(digitos[b >> 4]);
        s.push_back(digitos[b & 15]);
    }
    return s;
}

std::string sha1Hex(const std::string& texto) {
    SHA1 h;
    h.atualizar(texto.data(), texto.size());
    return paraHexadecimal(h.resumo());
}

}  // namespace Misc
