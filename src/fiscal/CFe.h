// CF-e SAT documents: the sale receipt and its cancellation, read from and written to XML.
#pragma once

#include <array>
#include <string>

#include "fiscal/DocumentoFiscal.h"

namespace Ordal::CFe {

using DocumentoFiscal::Decimal2;

struct DadosCupomFiscalEletronico : DocumentoFiscal::DadosDocumentoFiscalEletronico {
    int versaoDadosEnt = 6;  // digits of the XML value: 0.07 is 7
    std::string versaoSB;
    int versaoLeiaute = 6;
    std::string cnpjSoftwareHouse;
    std::string assinaturaAC;
    int numeroCaixa = 0;
    std::string numeroSerieSAT;
};

struct DadosCupomFiscalCancelamento {
    std::string chaveCancelada;
    std::string dataEmissaoOriginal;
    std::string horaEmissaoOriginal;
};

// Reads the part shared by both CF-e documents (declaration, ide, emit, dest, entrega, vCFe,
// infCpl, obsFisco, signature) from the parsed tree.
void lerParteComum(const XML::Document& documento, DadosCupomFiscalEletronico& dados);

template <class T>
class CupomEletronico : public T, public DocumentoFiscal::InterfaceXML, public DadosCupomFiscalEletronico {
public:
    bool interpretarXML(const XML::Document& documento) override {
        lerParteComum(documento, *this);
        return true;
    }
};

class CupomFiscalEletronico : public CupomEletronico<DocumentoFiscal::DadosVendaDocumentoFiscalEletronico> {
public:
    bool interpretarXML(const XML::Document& documento) override;
    // The sale data as XML text (UTF-8): the fields a SAT unit takes to issue the receipt.
    virtual std::string gerarXML() const;

    // Product value of each item position: prod/vProd, or the computed value without it.
    std::array<Decimal2, DocumentoFiscal::ListaItens::CAPACIDADE> valoresProduto;

private:
    void reiniciar();
};

class CupomCancelamento : public CupomEletronico<DadosCupomFiscalCancelamento> {
public:
    bool interpretarXML(const XML::Document& documento) override;
    virtual std::string gerarXML() const;
};

}  // namespace Ordal::CFe
