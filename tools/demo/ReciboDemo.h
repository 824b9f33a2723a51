// The demonstration receipt: everything the markup can do on one page, printed through the exports.
// Shared by the demonstration, the tests that compare its paper and the wire benchmark.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace rx457demo {

// Finds an export of the loaded library by name (never null).
using BuscaExportacao = std::function<void*(const char*)>;

inline void escreverLE(std::vector<uint8_t>& b, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

// A 24-bit logo: a ring, a bar of grey steps and a stylised receipt, so that both the threshold and the
// dithering of the image conversion show on paper.
inline void escreverLogo(const std::string& caminho) {
    const int w = 180, h = 90, linha = (w * 3 + 3) / 4 * 4;
    std::vector<uint8_t> b = {'B', 'M'};
    escreverLE(b, 54 + linha * h, 4);
    escreverLE(b, 0, 4);
    escreverLE(b, 54, 4);
    escreverLE(b, 40, 4);
    escreverLE(b, w, 4);
    escreverLE(b, h, 4);
    escreverLE(b, 1, 2);
    escreverLE(b, 24, 2);
    for (int i = 0; i < 6; ++i) escreverLE(b, 0, 4);
    for (int y = h - 1; y >= 0; --y) {  // bottom-up rows
        for (int x = 0; x < w; ++x) {
            const double d = std::hypot(x - 45.0, y - 45.0);
            int v = 255;
            if (d > 30 && d < 42) v = 0;                                        // ring
            if (x > 33 && x < 57 && y > 20 && y < 70 && (y / 6) % 2) v = 0;     // receipt lines
            if (x >= 100 && y >= 15 && y < 75) v = ((x - 100) / 16) * 255 / 4;  // grey steps
            if (v > 255) v = 255;
            for (int c = 0; c < 3; ++c) b.push_back(uint8_t(v));
        }
        for (int p = w * 3; p < linha; ++p) b.push_back(0);
    }
    std::ofstream(caminho, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

// A one-page PDF drawn by Ghostscript from PostScript; false when gs is not there.
inline bool escreverPDF(const std::string& caminho) {
    const std::string ps = "demo.ps";
    std::ofstream(ps) << "%!PS\n<< /PageSize [200 90] >> setpagedevice\n"
                         "4 setlinewidth 6 6 188 78 rectstroke\n"
                         "/Helvetica-Bold findfont 22 scalefont setfont 20 50 moveto (Pagina PDF) show\n"
                         "/Helvetica findfont 11 scalefont setfont 20 25 moveto (convertida pelo Ghostscript) show\n"
                         "showpage\n";
    const std::string comando =
        "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile=" + caminho + " " + ps + " >/dev/null 2>&1";
    return std::system(comando.c_str()) == 0;
}

// Expects logo.bmp in the working directory (escreverLogo); writes demo.pdf there. Without `relogio`
// the line with the date and time is left out, so that two printings give the same paper.
inline void imprimirRecibo(const BuscaExportacao& busca, bool relogio = true) {
    auto texto = reinterpret_cast<int (*)(const char*, int)>(busca("RX457_iImprimirTexto"));
    auto qrTexto = reinterpret_cast<void (*)(const char*, const char*)>(busca("RX457_iImprimeQRCode_TextoDireita"));
    auto pdf = reinterpret_cast<int (*)(const char*)>(busca("RX457_iImprimirBMP"));

    // Latin-1 text, as a host on this printer writes it.
    texto("<cabecalho>PADARIA BOA MASSA LTDA\nRua das Flores, 123 - Centro\nS\xE3o Paulo - SP</cabecalho>", 0);
    texto("<tc>=</tc><ce><e><b>RECIBO DE DEMONSTRA\xC7\xC3O</b></e></ce>\n", 0);
    texto("<ce>Fontes e estilos</ce>\n", 0);
    texto("Normal, <b>negrito</b>, <s>sublinhado</s>, <c>condensado</c>\n", 0);
    texto("<e>Largura dupla</e> <da>Altura dupla</da>\n", 0);
    texto("<xl>Grande</xl>\n", 0);
    texto("Acentos: a\xE7\xFA\x63\x61r, caf\xE9, p\xE3o, ma\xE7\xE3, \xAA \xBA \xA7 \xBD\n", 0);
    texto("<sp>4</sp>quatro espa\xE7os<tb>tabula\xE7\xE3o</tb><l>", 0);
    texto("<cespl>80</cespl>Entrelinha maior\nsegunda linha<cespl>60</cespl>\n", 0);
    texto("<b><s>Estilos</s></b> <n>e volta ao normal</n>\n<ce><ibmp>logo.bmp</ibmp></ce>", 0);
    texto("<tc>-</tc>", 0);
    texto("Esquerda\n<ce>Centro</ce>\n<ad>Direita</ad>\n", 0);
    texto("<tc>-</tc>", 0);
    texto("2 x P\xC3O FRANC\xCAS          R$ 1,60\n1 x CAF\xC9 COM LEITE        R$ 6,50\n", 0);
    texto("<b>TOTAL                     R$ 8,10</b>\n", 0);
    if (relogio) texto("<dt></dt> <hr></hr>\n", 0);
    texto("<tc>-</tc><ce>C\xF3\x64igos de barras</ce>\n", 0);
    texto("<altbarras>60</altbarras><largbarras>2</largbarras>", 0);
    texto("<ce>UPC-A<upc-a>03600029145</upc-a>EAN-13<ean13>789100031550</ean13>EAN-8<ean8>9638507</ean8></ce>", 0);
    texto("<ce>CODE39<code39>RX-457 $12</code39>CODE93<code93>Demo93</code93></ce>", 0);
    texto("<ce>CODABAR<codabar>A40156B</codabar>ITF<i2of5>12345678</i2of5></ce>", 0);
    texto("<ce>CODE128<code128>Recibo-2026</code128></ce>", 0);
    texto("<ce>PDF417</ce>\n<pdf>Recibo de demonstracao: PDF417 com texto e numeros 1234567890</pdf>", 0);
    texto("<ce>QR Code</ce>\n<ce><qrcode>https://exemplo.com.br/recibo?id=2026</qrcode></ce>", 0);
    qrTexto("https://exemplo.com.br/cardapio",
            "<b>Card\xE1pio digital</b>\nAponte a c\xE2mera\npara o c\xF3\x64igo\nao lado.");
    texto("<tc>-</tc>", 0);
    if (escreverPDF("demo.pdf"))
        pdf("demo.pdf");
    else
        texto("(Ghostscript ausente: sem p\xE1gina PDF)\n", 0);
    texto("<ce>Obrigado pela prefer\xEAncia!</ce>\n<sl>3</sl><gui></gui>", 0);
}

}  // namespace rx457demo
