// DANFE NFC-e: the consumer's paper auxiliary of an NFC-e, with the QR code that points to the
// state authority's query service.
#pragma once

#include <string>

#include "fiscal/NFCe.h"
#include "fiscalprint/ImpressaoDocumento.h"
#include "printer/Driver.h"

namespace Ordal::NFCe {

// Per-call emission parameters given by the caller.
struct ParametrosEmissaoDANFE {
    std::string identificadorToken;  // sent after "&cIdToken="
    std::string codigoSeguranca;     // the taxpayer's security code that goes into the digest
    int opcaoDetalhe = 0;            // non-zero: leave the item table out
    int opcoesEmissao = 3;
    int imprimirDadosConsumidor = 0;  // 1: print the consumer block
    Decimal2 valorRecebido;           // amount handed over by the consumer; 0 = not given
};

class DANFE : public DocumentoFiscal::ImpressaoDocumento, public ParametrosEmissaoDANFE {
public:
    // The document is read later by imprimirXML. `protocolo` stands in for the document's own
    // authorisation when the document carries none.
    DANFE(Printer::Driver& driver, const DocumentoFiscal::ParametrosImpressao& parametros,
          const ParametrosEmissaoDANFE& emissao, const ProtocoloAutorizacao& protocolo = {});
    // With a document already read.
    DANFE(Printer::Driver& driver, const DocumentoFiscal::ParametrosImpressao& parametros,
          const ParametrosEmissaoDANFE& emissao, const NotaFiscalEletronicaSaida& nota,
          const ProtocoloAutorizacao& protocolo = {});

    static DocumentoFiscal::ModeloDocumento modeloDANFE();

    void ImprimirDocumento() override;
    void imprimirEmitente(const DocumentoFiscal::Emitente& emitente) override;
    void imprimirTotal() override;
    DocumentoFiscal::Decimal2 valorItem(int posicao) const override;
    DocumentoFiscal::Decimal2 valorTotal() const override;
    DocumentoFiscal::Decimal2 valorAntesAjustes() const override;

    // Reads the XML text, verifies its totals when the layout asks for it (throwing before
    // anything is printed) and prints the document.
    void imprimirXML(const std::string& texto);

    // The version 1.00 consultation address built from the document (WS_CONSULTA_QRCODE base).
    std::string montarEnderecoQRCode() const;
    // What the symbol encodes: the document's own QR text when it has one, else the address above.
    std::string textoQRCode() const;
    // The address printed under "Consulte pela Chave de Acesso em:": URL_CONSULTA, or the
    // document's urlChave when that is empty. The manual's layout prefers the document's own.
    std::string enderecoConsulta() const;
    // The change printed under the payments (see the .cpp for where it comes from).
    DocumentoFiscal::Decimal2 valorTroco() const;
    // "Qtde. total de itens".
    long long quantidadeTotalItens() const;

    const NotaFiscalEletronicaSaida& nota() const { return nota_; }

private:
    void aplicarProtocolo();
    void imprimirTitulo();
    void imprimirBannerContingencia();
    void imprimirDetalhe();
    void imprimirPagamentos();
    void imprimirInformacoesComplementares();
    void imprimirConsulta();
    void imprimirQRCodeETexto();
    void imprimirTextoJuntoAoQRCode();
    void imprimirTotaisPadrao();
    void imprimirTributosTotais();
    // LEIAUTE_PADRAO: the layout of the published DANFE NFC-e manual.
    bool leiautePadrao() const { return (opcoesLeiaute & LEIAUTE_PADRAO) != 0; }
    bool semProtocolo() const { return nota_.protocolo.numeroProtocolo.empty(); }
    // The manual's layout follows the emission type; the other one the missing authorisation.
    bool emContingencia() const { return leiautePadrao() ? nota_.tipoEmissao == 9 : semProtocolo(); }
    // Item value with its own additions and discounts, freight and insurance left out.
    DocumentoFiscal::Decimal2 valorLiquidoItem(int posicao) const;

    NotaFiscalEletronicaSaida nota_;
    ProtocoloAutorizacao protocoloChamador_;
};

}  // namespace Ordal::NFCe
