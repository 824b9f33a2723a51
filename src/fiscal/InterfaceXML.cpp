#include "fiscal/DocumentoFiscal.h"
#include "xml/XML.h"

namespace Ordal::DocumentoFiscal {

bool InterfaceXML::lerArquivoXML(const std::string& caminho, XML::Document* documento)
{
    XML::Document temporario;
    XML::Document& doc = documento ? *documento : temporario;
    if (!XML::loadFile(doc, caminho, XML::utf8ToLatin1)) return false;
    return interpretarXML(doc);
}

bool InterfaceXML::lerXML(const std::string& texto, XML::Document* documento)
{
    XML::Document temporario;
    XML::Document& doc = documento ? *documento : temporario;
    XML::parse(doc, texto, XML::utf8ToLatin1);
    return interpretarXML(doc);
}

}  // namespace Ordal::DocumentoFiscal
