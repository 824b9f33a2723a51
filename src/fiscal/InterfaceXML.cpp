#include "fiscal/DocumentoFiscal.h"
#include "xml/XML.h"

namespace Ordal::DocumentoFiscal {

namespace {
std::optional<std::size_t> parada(const XML::Document& doc) {
    if (doc.stoppedAt() == XML::complete) return std::nullopt;
    return doc.stoppedAt();
}
}  // namespace

bool InterfaceXML::lerArquivoXML(const std::string& caminho, XML::Document* documento) {
    XML::Document temporario;
    XML::Document& doc = documento ? *documento : temporario;
    paradaXML_.reset();
    if (!XML::loadFile(doc, caminho, XML::utf8ToLatin1)) return false;
    paradaXML_ = parada(doc);
    return interpretarXML(doc);
}

bool InterfaceXML::lerXML(const std::string& texto, XML::Document* documento) {
    XML::Document temporario;
    XML::Document& doc = documento ? *documento : temporario;
    XML::parse(doc, texto, XML::utf8ToLatin1);
    paradaXML_ = parada(doc);
    return interpretarXML(doc);
}

}  // namespace Ordal::DocumentoFiscal
