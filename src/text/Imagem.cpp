#include "text/Imagem.h"

#include <array>
#include <vector>

#include "text/LeituraArquivo.h"

namespace ORDAL_VEX {

namespace {

uint32_t le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

// One colour channel described by a bit mask, scaled to 0..255.
struct Canal {
    uint32_t mascara = 0;
    int deslocamento = 0;
    uint32_t maximo = 0;

    explicit Canal(uint32_t m = 0) : mascara(m) {
        if (!m) return;
        while (!((m >> deslocamento) & 1)) ++deslocamento;
        maximo = m >> deslocamento;
    }
    uint8_t valor(uint32_t pixel) const {
        if (!maximo) return 0;
        return static_cast<uint8_t>(((pixel & mascara) >> deslocamento) * 255u / maximo);
    }
};

bool mascaraContigua(uint32_t m) {
    if (!m) return false;
    while (!(m & 1)) m >>= 1;
    return (m & (m + 1)) == 0;
}

}  // namespace

bool Imagem::carregarBMP(const char* caminho) {
    bitmap_ = {};
    nome_.clear();
    if (!caminho) return false;
    std::string dados;
    if (!lerArquivoRegular(caminho, dados)) return false;
    if (!carregarBMP(reinterpret_cast<const uint8_t*>(dados.data()), dados.size())) return false;
    nome_ = caminho;
    return true;
}

bool Imagem::carregarBMP(const uint8_t* dados, size_t tamanho) {
    bitmap_ = {};
    if (!dados || tamanho < 14 + 12 || dados[0] != 'B' || dados[1] != 'M') return false;

    const uint32_t inicioPixels = le32(dados + 10);
    const uint32_t tamanhoCabecalho = le32(dados + 14);
    if (tamanhoCabecalho < 12 || tamanhoCabecalho > tamanho - 14) return false;
    const uint8_t* h = dados + 14;

    int64_t largura, altura;
    uint32_t planos, bpp, compressao = 0, coresUsadas = 0;
    size_t bytesPorCor = 4;
    if (tamanhoCabecalho == 12) {  // the old core header
        largura = le16(h + 4);
        altura = static_cast<int16_t>(le16(h + 6));
        planos = le16(h + 8);
        bpp = le16(h + 10);
        bytesPorCor = 3;
    } else {
        if (tamanhoCabecalho < 40) return false;
        largura = static_cast<int32_t>(le32(h + 4));
        altura = static_cast<int32_t>(le32(h + 8));
        planos = le16(h + 12);
        bpp = le16(h + 14);
        compressao = le32(h + 16);
        coresUsadas = le32(h + 32);
    }
    if (planos != 1) return false;
    if (largura <= 0 || largura > larguraMaxima || altura == 0 || altura < -alturaMaxima || altura > alturaMaxima)
        return false;
    const bool deCimaParaBaixo = altura < 0;
    const int64_t linhas = deCimaParaBaixo ? -altura : altura;

    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    const bool comMascaras = compressao == 3 || compressao == 6;
    if (compressao != 0 && !(comMascaras && (bpp == 16 || bpp == 32))) return false;

    // Bit-field masks: inside a version 4/5 header, or right after a plain 40-byte one.
    Canal vermelho, verde, azul;
    if (bpp == 16) {
        vermelho = Canal(0x7C00), verde = Canal(0x03E0), azul = Canal(0x001F);
    } else if (bpp == 32) {
        vermelho = Canal(0xFF0000), verde = Canal(0xFF00), azul = Canal(0xFF);
    }
    if (comMascaras) {
        const size_t posMascaras = 14 + 40;
        if (posMascaras + 12 > tamanho) return false;
        const uint32_t mr = le32(dados + posMascaras), mg = le32(dados + posMascaras + 4),
                       mb = le32(dados + posMascaras + 8);
        if (!mascaraContigua(mr) || !mascaraContigua(mg) || !mascaraContigua(mb)) return false;
        vermelho = Canal(mr), verde = Canal(mg), azul = Canal(mb);
    }

    // Palette of the indexed depths, which must lie inside the file.
    std::array<std::array<uint8_t, 3>, 256> paleta{};
    size_t cores = 0;
    if (bpp <= 8) {
        const size_t maximo = size_t(1) << bpp;
        cores = coresUsadas ? coresUsadas : maximo;
        if (cores > maximo) return false;
        size_t posPaleta = 14 + tamanhoCabecalho + (compressao == 3 && tamanhoCabecalho == 40 ? 12 : 0);
        if (posPaleta + cores * bytesPorCor > tamanho) return false;
        for (size_t i = 0; i < cores; ++i) {
            const uint8_t* c = dados + posPaleta + i * bytesPorCor;
            paleta[i] = {c[2], c[1], c[0]};  // stored blue, green, red
        }
    }

    // Rows are padded to 4 bytes; every row the header announces must be in the file.
    const uint64_t bytesPorLinha = ((static_cast<uint64_t>(largura) * bpp + 31) / 32) * 4;
    if (inicioPixels > tamanho || bytesPorLinha * linhas > tamanho - inicioPixels) return false;
    if (static_cast<uint64_t>(largura) * static_cast<uint64_t>(linhas) > pixelsMaximos) return false;

    Ordal::Printer::Bitmap b;
    b.largura = static_cast<int32_t>(largura);
    b.altura = static_cast<int32_t>(linhas);
    b.bitsPorPixel = static_cast<int32_t>(bpp);
    b.pixels.assign(static_cast<size_t>(largura) * static_cast<size_t>(linhas) * 4, 0);

    for (int64_t y = 0; y < linhas; ++y) {
        const int64_t linhaArquivo = deCimaParaBaixo ? y : linhas - 1 - y;
        const uint8_t* p = dados + inicioPixels + linhaArquivo * bytesPorLinha;
        uint8_t* saida = b.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(largura) * 4;
        for (int64_t x = 0; x < largura; ++x, saida += 4) {
            uint8_t r, g, bl;
            if (bpp <= 8) {
                const uint64_t bit = static_cast<uint64_t>(x) * bpp;
                const unsigned deslocamento = 8 - bpp - (bit % 8);
                const unsigned indice = (p[bit / 8] >> deslocamento) & ((1u << bpp) - 1);
                // An index past the palette paints as the first colour instead of reading beyond it.
                const auto& c = paleta[indice < cores ? indice : 0];
                r = c[0], g = c[1], bl = c[2];
            } else if (bpp == 24) {
                bl = p[x * 3], g = p[x * 3 + 1], r = p[x * 3 + 2];
            } else {
                const uint32_t pixel = bpp == 16 ? le16(p + x * 2) : le32(p + x * 4);
                r = vermelho.valor(pixel), g = verde.valor(pixel), bl = azul.valor(pixel);
            }
            saida[0] = r, saida[1] = g, saida[2] = bl, saida[3] = 0;
        }
    }
    bitmap_ = std::move(b);
    return true;
}

}  // namespace ORDAL_VEX
