// QR code symbols as printer rasters, through libqrencode.
#pragma once

#include "printer/Driver.h"

namespace Ordal::Printer {

// The symbol for parametros.dados at its error-correction level, tamanhoModulo dots per module;
// empty when there is no data, the module size is 0 or the data do not fit in a QR code.
Raster gerarRasterQRCode(const ParametrosQRCode& parametros);

}  // namespace Ordal::Printer
