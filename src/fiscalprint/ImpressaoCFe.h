// Paper extracts of a CF-e SAT sale and of its cancellation.
#pragma once

#include <memory>
#include <string>

#include "fiscal/CFe.h"
#include "fiscalprint/ImpressaoDocumento.h"

namespace Ordal::CFe {

// What both CF-e printouts share: title, test banner, consumer, SAT number and date, access key,
// QR code and the closing text.
class ImpressaoCFe : public DocumentoFiscal::ImpressaoDocumento {
public:
    ImpressaoCFe(const DadosCupomFiscalEletronico* cupom, const DocumentoFiscal::ModeloDocumento& modelo,
                 const DocumentoFiscal::ParametrosImpressao& parametros);

    // Only for a key of 47 characters ("CFe" and 44 digits): the digits as text and as Code 128.
    void imprimirChaveAcesso(const std::string& chave) override;
    virtual std::string conteudoQRCode() const;
    // The consumer's CNPJ, or the CPF when there is none (raw digits, may be empty).
    virtual std::string documentoConsumidor() const;
    virtual bool emTeste() const;
    virtual std::string numeroExtrato() const;

    // Reads the XML into the document and prints it once.
    virtual void imprimirXML(const std::string& texto) = 0;

    // A copy of parametros that prints on driver.
    static DocumentoFiscal::ParametrosImpressao comDriver(Printer::Driver& driver,
                                                          DocumentoFiscal::ParametrosImpressao parametros) {
        parametros.driver = &driver;
        return parametros;
    }

protected:
    // QR code text: key digits | date and time | total | consumer | signature.
    std::string montarQRCode(const std::string& chave, const std::string& data, const std::string& hora) const;
    void imprimirSimboloQRCode(const std::string& texto);
    void imprimirTitulo();
    void imprimirBannerTeste();
    void imprimirConsumidorCFe(const DocumentoFiscal::Destinatario& destinatario);
    void imprimirNumeroSATData(const std::string& data, const std::string& hora);
    void imprimirTextoFinal();
    void imprimirCorte();

    const DadosCupomFiscalEletronico* cupom_;
};

class ImpressaoCFeSaida : public ImpressaoCFe {
public:
    // The template of the sale printout.
    static const DocumentoFiscal::ModeloDocumento& modelo();

    ImpressaoCFeSaida(CupomFiscalEletronico* documento, const DocumentoFiscal::ModeloDocumento& modelo,
                      const DocumentoFiscal::ParametrosImpressao& parametros);
    ImpressaoCFeSaida(CupomFiscalEletronico* documento, const DocumentoFiscal::ParametrosImpressao& parametros)
        : ImpressaoCFeSaida(documento, modelo(), parametros) {}
    // Prints on `driver` into a document of its own (filled by imprimirXML).
    ImpressaoCFeSaida(Printer::Driver& driver, const DocumentoFiscal::ParametrosImpressao& parametros);

    void ImprimirDocumento() override;
    DocumentoFiscal::Decimal2 valorItem(int posicao) const override;
    DocumentoFiscal::Decimal2 valorTotal() const override;
    DocumentoFiscal::Decimal2 valorAntesAjustes() const override;
    // Verifies the totals first when the layout asks for it (throws before anything is printed).
    void imprimirXML(const std::string& texto) override;

protected:
    void imprimirCabecalhoItens();
    void imprimirTotais();
    void imprimirObservacoesFisco();
    bool imprimirObservacoesContribuinte();
    bool imprimirRodapeTributos();

    CupomFiscalEletronico* venda_;

private:
    ImpressaoCFeSaida(std::unique_ptr<CupomFiscalEletronico> documento, Printer::Driver& driver,
                      const DocumentoFiscal::ParametrosImpressao& parametros);
    std::unique_ptr<CupomFiscalEletronico> proprio_;
};

class ImpressaoCFeCanc : public ImpressaoCFe {
public:
    static const DocumentoFiscal::ModeloDocumento& modelo();

    ImpressaoCFeCanc(CupomCancelamento* documento, const DocumentoFiscal::ModeloDocumento& modelo,
                     const DocumentoFiscal::ParametrosImpressao& parametros);
    ImpressaoCFeCanc(CupomCancelamento* documento, const DocumentoFiscal::ParametrosImpressao& parametros)
        : ImpressaoCFeCanc(documento, modelo(), parametros) {}
    ImpressaoCFeCanc(Printer::Driver& driver, const DocumentoFiscal::ParametrosImpressao& parametros);

    void ImprimirDocumento() override;
    void imprimirXML(const std::string& texto) override;

    // QR code text of the cancelled sale.
    std::string conteudoQRCodeCancelado() const;

protected:
    CupomCancelamento* cancelamento_;

private:
    ImpressaoCFeCanc(std::unique_ptr<CupomCancelamento> documento, Printer::Driver& driver,
                     const DocumentoFiscal::ParametrosImpressao& parametros);
    std::unique_ptr<CupomCancelamento> proprio_;
};

}  // namespace Ordal::CFe
