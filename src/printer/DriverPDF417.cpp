// PDF417 printing through the driver; kept apart so that only users of it pull in the encoder.
#include <algorithm>
#include <iostream>

#include "printer/Driver.h"
#include "symbols/PDF417.h"

namespace Ordal::Printer {

bool Driver::imprimirPDF417(const ParametrosCodigoPDF417& pedido) {
    if (pedido.dados.empty()) return false;
    // Scale factors beyond these only make a symbol that no roll can hold.
    int modulo = std::clamp(pedido.larguraModulo, 1, 32);
    const int repeticoes = std::clamp(pedido.alturaLinha, 1, 64);

    Symbols::ParametrosPDF417 simbolo;
    Symbols::iniciarPDF417(simbolo);
    simbolo.texto = pedido.dados.data();
    simbolo.tamanhoTexto = static_cast<int>(std::min<size_t>(pedido.dados.size(), 1 << 20));
    simbolo.opcoes = pedido.opcoes;
    simbolo.nivelErro = pedido.nivelErro;
    Symbols::codificarPDF417(simbolo);
    if (simbolo.erro != 0 || !simbolo.bits) {
        Symbols::liberarPDF417(simbolo);
        return false;
    }

    // As for linear symbols: a symbol wider than the printable band would be cut and unreadable, so
    // the modules narrow (down to one dot) until it fits; when even that is too wide, nothing prints.
    const int margem = Status::margemEsquerda;
    const int largura = Specification::larguraPontos;
    const int disponivel = margem > 0 && margem < largura ? largura - margem : largura;
    while (modulo > 1 && simbolo.colunasBits * modulo > disponivel) --modulo;
    if (simbolo.colunasBits * modulo > disponivel) {
        std::cerr << "Erro PDF417: o símbolo de " << simbolo.colunasBits << " módulos não cabe na largura imprimível ("
                  << disponivel << " pontos)." << std::endl;
        Symbols::liberarPDF417(simbolo);
        return false;
    }

    // Every symbol row is repeated `repeticoes` times (the raster is as tall as those rows need).
    Raster linhas;
    linhas.largura = simbolo.colunasBits;
    linhas.altura = repeticoes * simbolo.linhas;
    const int bpl = linhas.bytesPorLinha();
    linhas.bytes.assign(static_cast<size_t>(bpl) * linhas.altura, '\0');
    const int copiar = std::min(bpl, simbolo.bytesPorLinha);
    for (int j = 0; j < simbolo.linhas; ++j)
        for (int k = 0; k < repeticoes; ++k)
            std::copy_n(reinterpret_cast<const char*>(simbolo.bits) + static_cast<size_t>(j) * simbolo.bytesPorLinha,
                        copiar, &linhas.bytes[static_cast<size_t>(repeticoes * j + k) * bpl]);
    Symbols::liberarPDF417(simbolo);

    Raster raster = redimensionarRaster(linhas, linhas.largura * modulo, linhas.altura * modulo);
    if (raster.vazio()) return false;
    avancarPapel(modulo * repeticoes);
    imprimirRaster(0, raster, -1);
    avancarPapel(modulo * repeticoes);
    return true;
}

}  // namespace Ordal::Printer
