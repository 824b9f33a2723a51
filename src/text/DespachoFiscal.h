// Recognising a fiscal XML and handing it to the printout of its kind.
#pragma once

#include <string>

#include "RX457.h"

namespace ORDAL_VEX {

enum TipoDocumentoFiscal {
    DocumentoNaoFiscal = 0,
    DocumentoNFCe = 1,
    DocumentoCFeVenda = 3,
    DocumentoCFeCancelamento = 4,
};

// Plain substring tests; an NFC-e wins over a CF-e when a text holds both.
TipoDocumentoFiscal detectarTipoDocumento(const char* texto);

// `*texto` is either the document or the name of a file holding it; in the second case the file is read
// into `armazenamento` and `*texto` points at it. 0 when neither is a fiscal document.
TipoDocumentoFiscal carregarDocumentoFiscal(const char** texto, std::string& armazenamento);

// Option bits of the caller, for an NFC-e.
constexpr int kOpcaoSemDetalhe = 0x01;
constexpr int kOpcaoLimparEmissaoBit0 = 0x02;
constexpr int kOpcaoEmissaoSimples = 0x04;
constexpr int kOpcaoDadosConsumidor = 0x08;
constexpr int kOpcaoSemCorte = 0x10;

}  // namespace ORDAL_VEX
