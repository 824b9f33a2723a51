// The NFC-e QR code: its text (the one the authority put in the document, or the version 1.00
// consultation address built here) and the printed symbol.
#pragma once

#include <string>

#include "fiscal/NFCe.h"
#include "printer/Driver.h"

namespace Ordal::NFCe {

// Bytes as lower-case hexadecimal text, two digits per byte.
std::string textoHexadecimal(const std::string& bytes);

// "chNFe=...&nVersao=100&...&cIdToken=<token>": the parameters of the version 1.00 address up to
// and including the token, without the leading "?" and without the digest. cDest is left out
// when the consumer has no document.
std::string parametrosQRCodeV1(const NotaFiscalEletronicaSaida& nota, const std::string& identificadorToken);

// The full version 1.00 address: base (WS_CONSULTA_QRCODE), "?" unless the base is empty or
// already ends with one, the parameters and "&cHashQRCode=" with the SHA-1 of the parameters
// followed by the taxpayer's security code.
std::string montarEnderecoQRCode(const NotaFiscalEletronicaSaida& nota, const std::string& identificadorToken,
                                 const std::string& codigoSeguranca, const std::string& base);

// The text the symbol must carry: the document's own infNFeSupl/qrCode when it has one (the
// only one a phone can check for layouts after 1.00), else the address built above.
std::string textoQRCode(const NotaFiscalEletronicaSaida& nota, const std::string& identificadorToken,
                        const std::string& codigoSeguranca, const std::string& base);

// Side of the printed symbol: 22 mm at dpi (truncated), raised to a whole multiple of the module
// count. With a minimum in millimetres instead: the fewest dots that reach it, raised likewise.
int ladoSimboloQRCode(int dpi, int modulos, int ladoMinimoMm = 0);

// The symbol at level M, resampled to ladoSimboloQRCode; empty for an empty text or one that
// does not fit in a QR code.
Printer::Raster gerarSimboloQRCode(const std::string& texto, int dpi, int ladoMinimoMm = 0);

}  // namespace Ordal::NFCe
