#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "TestSupport.h"
#include "fiscal/CFe.h"
#include "fiscal/NFCe.h"
#include "fiscal/Verificacao.h"
#include "xml/XML.h"

// Every input the fuzzer once found troublesome is read again by every reader.
TEST(RegressoesFuzz, ArquivosGuardados) {
    std::filesystem::path pasta = FISCAL_FUZZ_REGRESSIONS;
    if (!std::filesystem::is_directory(pasta)) GTEST_SKIP() << "no stored regressions";
    for (const auto& e : std::filesystem::directory_iterator(pasta)) {
        if (!e.is_regular_file()) continue;
        SCOPED_TRACE(e.path().string());
        std::string texto = rx457test::readFile(e.path().string());
        XML::Document doc;
        Ordal::CFe::CupomFiscalEletronico cfe;
        try {
            cfe.lerXML(texto, &doc);
            Ordal::DocumentoFiscal::verificarDocumento(doc, cfe);
        } catch (const std::runtime_error&) {
        } catch (const std::invalid_argument&) {}
        (void)cfe.gerarXML();
        Ordal::CFe::CupomCancelamento canc;
        canc.lerXML(texto);  // reads no items
        Ordal::NFCe::NotaFiscalEletronicaSaida nfce;
        try {
            nfce.lerXML(texto, &doc);
            Ordal::DocumentoFiscal::verificarDocumento(doc, nfce);
        } catch (const std::runtime_error&) {
        } catch (const std::invalid_argument&) {}
    }
}
