// NFC-e documents (model 65): the authorised consumer invoice and its cancellation.
#pragma once

#include <array>
#include <string>

#include "fiscal/DocumentoFiscal.h"

namespace Ordal::NFCe {

using DocumentoFiscal::Decimal2;

struct ProtocoloAutorizacao {
    std::string numeroProtocolo;
    std::string dataRecebimento;  // AAAAMMDD
    std::string horaRecebimento;  // HHMMSS
    int tipoAmbiente = 0;
    std::string digestValue;
    std::string versaoAplicativo;
    std::string chaveAcesso;
};

struct DadosNotaFiscalEletronica : DocumentoFiscal::DadosDocumentoFiscalEletronico {
    ProtocoloAutorizacao protocolo;
    std::string dataHoraEmissao;       // ide/dhEmi as written
    std::string dataHoraSaidaEntrada;  // ide/dhSaiEnt as written
    int tipoEmissao = 0;               // ide/tpEmis: 1 normal, 9 offline contingency
    // infNFeSupl: the QR code text the authority expects on the DANFE (blanks and CDATA
    // markers removed) and the consultation address; empty when the file has none.
    std::string qrCodeTexto;
    std::string urlChave;
};

struct DadosNotaFiscalCancelamento {
    std::string chaveCancelada;
    std::string dataEmissaoOriginal;
    std::string horaEmissaoOriginal;
};

// Splits "AAAA-MM-DDThh:mm:ss..." into AAAAMMDD and hhmmss; a text of 18 characters or fewer
// leaves both unchanged. The time zone is dropped without conversion.
void separarDataHora(const std::string& dataHora, std::string& data, std::string& hora);

void lerParteComum(const XML::Document& documento, DadosNotaFiscalEletronica& dados);

template <class T>
class NotaFiscalEletronica : public T, public DocumentoFiscal::InterfaceXML, public DadosNotaFiscalEletronica {
public:
    bool interpretarXML(const XML::Document& documento) override {
        lerParteComum(documento, *this);
        return true;
    }
};

class NotaFiscalEletronicaSaida : public NotaFiscalEletronica<DocumentoFiscal::DadosVendaDocumentoFiscalEletronico> {
public:
    bool interpretarXML(const XML::Document& documento) override;

    std::array<Decimal2, DocumentoFiscal::ListaItens::CAPACIDADE> valoresProduto;

private:
    void reiniciar();
};

class NotaFiscalEletronicaCancelamento : public NotaFiscalEletronica<DadosNotaFiscalCancelamento> {
public:
    bool interpretarXML(const XML::Document& documento) override;
};

}  // namespace Ordal::NFCe
