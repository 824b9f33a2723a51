// Checks that the values written in a sale XML agree with the values computed from its items.
#pragma once

#include "fiscal/CFe.h"
#include "fiscal/NFCe.h"

namespace XML {
class Document;
}

namespace Ordal::DocumentoFiscal {

// documento is the tree the sale was read from. Returns when everything agrees; otherwise
// throws std::runtime_error with a Latin-1 message naming the values involved.
void verificarDocumento(const XML::Document& documento, const CFe::CupomFiscalEletronico& venda);
void verificarDocumento(const XML::Document& documento, const NFCe::NotaFiscalEletronicaSaida& venda);

}  // namespace Ordal::DocumentoFiscal
