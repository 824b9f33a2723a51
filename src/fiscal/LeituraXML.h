// Pieces of the fiscal XML readers shared by the CF-e and NFC-e documents.
#pragma once

#include <array>
#include <string>

#include "fiscal/DocumentoFiscal.h"
#include "xml/XML.h"

namespace Ordal::DocumentoFiscal::Leitura {

// The next element of a run of repeated elements (det, MP, pag, detPag, obsFisco): comments and
// processing instructions between two of them are stepped over, any other element ends the run
// (the null node). Issuers do leave comments between items.
const XML::_Node& proximoNaSequencia(const XML::_Node& no);

void lerEndereco(const XML::_Node& no, Endereco& endereco);
void lerEmitente(const XML::_Node& emit, Emitente& emitente);
void lerDestinatario(const XML::_Node& dest, Destinatario& destinatario);
void lerObservacoesFisco(const XML::_Node& primeira, std::array<ObservacaoFisco, MAX_OBSERVACOES_FISCO>& obs);
void lerAssinatura(const XML::_Node& sig, Assinatura& assinatura);
void lerDeclaracao(const XML::_Node& doc, DadosDocumentoFiscalEletronico& dados);
void lerItem(const XML::_Node& det, ItemVenda& item);
// Also hands back the prod/vProd node (the null node when there is none).
void lerItem(const XML::_Node& det, ItemVenda& item, const XML::_Node** vProd);
void lerTotais(const XML::_Node& total, DadosVendaDocumentoFiscalEletronico& venda);

// Reads the run of consecutive det elements starting at det (at most 500) into the sale and
// returns the sum of the product values with item additions and discounts. A run longer than
// the list can hold throws std::invalid_argument: such a sale must not be printed cut short.
Decimal2 lerItens(const XML::_Node& det, DadosVenda& venda,
                  std::array<Decimal2, ListaItens::CAPACIDADE>& valoresProduto);

// Text without surrounding blanks and, when present, without its CDATA markers.
std::string semBrancosECdata(const std::string& texto);

}  // namespace Ordal::DocumentoFiscal::Leitura
