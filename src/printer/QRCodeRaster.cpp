#include "printer/QRCodeRaster.h"

#include <cstdint>

#include <qrencode.h>

namespace Ordal::Printer {

Raster gerarRasterQRCode(const ParametrosQRCode& p) {
    if (p.dados.empty() || p.tamanhoModulo == 0) return {};
    static const QRecLevel niveis[4] = {QR_ECLEVEL_L, QR_ECLEVEL_M, QR_ECLEVEL_Q, QR_ECLEVEL_H};
    QRcode* qr =
        QRcode_encodeData(static_cast<int>(p.dados.size()), reinterpret_cast<const unsigned char*>(p.dados.data()), 0,
                          niveis[p.nivelCorrecao & 3]);
    if (!qr) return {};
    // One dot per module, then nearest-neighbour scaling by the module size.
    Raster modulos;
    modulos.largura = modulos.altura = qr->width;
    modulos.bytes.assign(static_cast<size_t>(modulos.bytesPorLinha()) * qr->width, '\0');
    for (int y = 0; y < qr->width; ++y)
        for (int x = 0; x < qr->width; ++x)
            if (qr->data[y * qr->width + x] & 1) {
                char& b = modulos.bytes[static_cast<size_t>(y) * modulos.bytesPorLinha() + x / 8];
                b = static_cast<char>(b | (0x80 >> (x % 8)));
            }
    QRcode_free(qr);
    // The module size may come straight from a caller: a side no raster can have is refused.
    const int64_t lado = int64_t(modulos.largura) * p.tamanhoModulo;
    if (lado > INT32_MAX) return {};
    return redimensionarRaster(modulos, static_cast<int>(lado), static_cast<int>(lado));
}

}  // namespace Ordal::Printer
