// Any byte string through every fiscal reader, the verification and the CF-e writer.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "fiscal/CFe.h"
#include "fiscal/NFCe.h"
#include "fiscal/Verificacao.h"
#include "xml/XML.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* dados, size_t tamanho) {
    std::string texto(reinterpret_cast<const char*>(dados), tamanho);
    XML::Document doc;
    Ordal::CFe::CupomFiscalEletronico cfe;
    try {
        cfe.lerXML(texto, &doc);
        Ordal::DocumentoFiscal::verificarDocumento(doc, cfe);
    } catch (const std::runtime_error&) {
    } catch (const std::invalid_argument&) {  // more items than a sale can hold
    }
    Ordal::CFe::CupomFiscalEletronico relido;
    try {
        relido.lerXML(cfe.gerarXML());
    } catch (const std::invalid_argument&) {}

    Ordal::CFe::CupomCancelamento canc;
    canc.lerXML(texto);
    (void)canc.gerarXML();

    Ordal::NFCe::NotaFiscalEletronicaSaida nfce;
    try {
        nfce.lerXML(texto, &doc);
        Ordal::DocumentoFiscal::verificarDocumento(doc, nfce);
    } catch (const std::runtime_error&) {
    } catch (const std::invalid_argument&) {}
    (void)nfce.valorTroco();
    (void)nfce.somaBrutaComAcrescimos();
    return 0;
}
