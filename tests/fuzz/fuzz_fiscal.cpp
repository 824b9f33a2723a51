// Any byte string through every fiscal reader, the verification and the CF-e writer.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fiscal/CFe.h"
#include "fiscal/NFCe.h"
#include "fiscal/Verificacao.h"
#include "xml/XML.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho)
{
    std::string texto(reinterpret_cast<const char*>(dados), tamanho);
    XML::Document doc;
    Ordal::CFe::CupomFiscalEletronico cfe;
    cfe.lerXML(texto, &doc);
    try {
        Ordal::DocumentoFiscal::verificarDocumento(doc, cfe);
    } catch (const std::runtime_error&) {
    }
    Ordal::CFe::CupomFiscalEletronico relido;
    relido.lerXML(cfe.gerarXML());

    Ordal::CFe::CupomCancelamento canc;
    canc.lerXML(texto);
    (void)canc.gerarXML();

    Ordal::NFCe::NotaFiscalEletronicaSaida nfce;
    nfce.lerXML(texto, &doc);
    try {
        Ordal::DocumentoFiscal::verificarDocumento(doc, nfce);
    } catch (const std::runtime_error&) {
    }
    (void)nfce.valorTroco();
    (void)nfce.somaBrutaComAcrescimos();
    return 0;
}
