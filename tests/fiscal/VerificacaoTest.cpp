#include <gtest/gtest.h>

#include <stdexcept>

#include "AmostrasFiscais.h"
#include "fiscal/Verificacao.h"
#include "xml/XML.h"

using namespace Ordal;
using DocumentoFiscal::verificarDocumento;

namespace {

// The message of the first mismatch, or "" when the document passes.
template <class Venda>
std::string verificar(const std::string& xml) {
    XML::Document doc;
    Venda venda;
    venda.lerXML(xml, &doc);
    try {
        verificarDocumento(doc, venda);
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

// A sale of two items built from the v007 sample by repeating its det element.
std::string vendaDoisItens() {
    std::string xml = lerAmostra("cfe-sale-hom-1item-layout-v007.xml");
    size_t ini = xml.find("<det nItem=\"1\">");
    size_t fim = xml.find("</det>") + 6;
    std::string det = xml.substr(ini, fim - ini);
    xml.insert(fim, trocar(det, "nItem=\"1\"", "nItem=\"2\""));
    return trocar(xml, "<vCFe>1.85</vCFe>", "<vCFe>3.70</vCFe>");
}

}  // namespace

TEST(Verificacao, AmostrasReaisPassam) {
    for (const char* a : {"cfe-sale-hom-1item-infcpl-v006.xml", "cfe-sale-hom-1item-layout-v007.xml",
                          "cfe-sale-hom-1item-v008.xml", "cfe-sale-synth-sp-4items-comments-nolei12741.xml"}) {
        SCOPED_TRACE(a);
        EXPECT_EQ(verificar<CFe::CupomFiscalEletronico>(lerAmostra(a)), "");
    }
    // The synthetic NFC-e has a unit price of 4 decimals (80 x 0.0125), freight, a vProd truncated
    // within one cent (0.755 x 8.99 = 6.78745 written 6.78) and comments between its items.
    for (const char* a : {"nfce-nfeproc-310-prod-pr-1item-oldpag.xml", "nfce-nfeproc-310-hom-df-cnpj-troco.xml",
                          "nfce-bare-400-hom-rs-detpag-qrv2.xml", "nfce-nfeproc-400-synth-sp-pix-frete-comments.xml",
                          "nfce-bare-400-synth-mg-cpf-contingencia-sempag.xml"}) {
        SCOPED_TRACE(a);
        EXPECT_EQ(verificar<NFCe::NotaFiscalEletronicaSaida>(lerAmostra(a)), "");
    }
    EXPECT_EQ(verificar<CFe::CupomFiscalEletronico>(vendaDoisItens()), "");
}

TEST(Verificacao, MensagensDeCadaFalha) {
    const std::string v007 = lerAmostra("cfe-sale-hom-1item-layout-v007.xml");
    const std::string dois = vendaDoisItens();
    // Item 2 with subtotal shares that do not add up to the subtotal adjustment.
    // vCFe equals the items' net values, so the check reaches the shares.
    auto comRateio = [&](const std::string& desc, const std::string& acr, const std::string& subtotal,
                         const std::string& total) {
        std::string x =
            trocar(dois, "<vItem>1.85</vItem>", "<vRatDesc>" + desc + "</vRatDesc><vRatAcr>" + acr + "</vRatAcr>");
        return trocar(x, "<vCFe>3.70</vCFe>", "<vCFe>" + total + "</vCFe><DescAcrEntr>" + subtotal + "</DescAcrEntr>");
    };
    struct Caso {
        const char* nome;
        std::string xml;
        std::string mensagem;
    } casos[] = {
        {"total", trocar(v007, "<vCFe>1.85</vCFe>", "<vCFe>1.86</vCFe>"),
         "O valor do documento (1.86) n\xE3o confere com a somat\xF3ria dos valores l\xEDquidos do itens registrados "
         "(1.85).\n"},
        {"vProd", trocar(v007, "<vProd>1.85</vProd>", "<vProd>1.84</vProd>"),
         "Item 1: Valor do produto (vProd) n\xE3o confere: 1.84\n"},
        {"vItem", trocar(v007, "<vItem>1.85</vItem>", "<vItem>1.80</vItem>"),
         "Item 1: Valor l\xEDquido do item (vItem) n\xE3o confere: 1.80\n"},
        {"nItem", trocar(dois, "nItem=\"2\"", "nItem=\"4\""),
         "Elemento 2 Valor sequencial do item (nItem) n\xE3o confere:  4\n"},
        {"descontos", comRateio("0.30", "0.00", "<vDescSubtot>1.00</vDescSubtot>", "3.40"),
         "A somat\xF3ria dos descontos distribuido nos itens (0.30) n\xE3o confere com o valor de desconto no subtotal "
         "(1.00).\n"},
        {"acrescimos", comRateio("0.00", "0.40", "<vAcresSubtot>0.50</vAcresSubtot>", "4.10"),
         "A somat\xF3ria dos acr\xE9scimos distribuido nos itens (0.40) n\xE3o confere com o valor de acr\xE9scimo no "
         "subtotal (0.50).\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        EXPECT_EQ(verificar<CFe::CupomFiscalEletronico>(c.xml), c.mensagem);
    }
}

TEST(Verificacao, ItensNumerados124) {
    std::string xml = "<CFe><infCFe>";
    for (int n : {1, 2, 4})
        xml += "<det nItem=\"" + std::to_string(n) +
               "\"><prod><qCom>1.0000</qCom><vUnCom>1.00</vUnCom><vProd>1.00</vProd></prod></det>";
    xml += "<total><vCFe>3.00</vCFe></total></infCFe></CFe>";
    EXPECT_EQ(verificar<CFe::CupomFiscalEletronico>(xml),
              "Elemento 3 Valor sequencial do item (nItem) n\xE3o confere:  4\n");
}

TEST(Verificacao, RateiosEArredondamento) {
    auto venda = [](const std::string& itens, const std::string& total) {
        return "<CFe><infCFe>" + itens + "<total><vCFe>" + total + "</vCFe>" + "</total></infCFe></CFe>";
    };
    auto item = [](int n, const std::string& prod) {
        return "<det nItem=\"" + std::to_string(n) + "\"><prod>" + prod + "</prod></det>";
    };
    const std::string qUn = "<qCom>2.0000</qCom><vUnCom>1.255</vUnCom><indRegra>A</indRegra>";
    struct Caso {
        const char* nome;
        std::string xml;
        std::string mensagem;
    } casos[] = {
        {"2 x 1.255 = 2.51 exato", venda(item(1, qUn + "<vProd>2.51</vProd>"), "2.51"), ""},
        {"vProd 2.52", venda(item(1, qUn + "<vProd>2.52</vProd>"), "2.51"),
         "Item 1: Valor do produto (vProd) n\xE3o confere: 2.52\n"},
        // Subtotal discount not spread over the items: the total is not compared.
        {"rateio pendente",
         trocar(venda(item(1, qUn), "9.99"), "</total>",
                "<DescAcrEntr><vDescSubtot>1.00</vDescSubtot></DescAcrEntr></total>"),
         ""},
        {"rateio 0.30 + 0.60",
         trocar(venda(item(1, qUn + "<vRatDesc>0.30</vRatDesc>") + item(2, qUn + "<vRatDesc>0.60</vRatDesc>"), "4.12"),
                "</total>", "<DescAcrEntr><vDescSubtot>1.00</vDescSubtot></DescAcrEntr></total>"),
         "A somat\xF3ria dos descontos distribuido nos itens (0.90) n\xE3o confere com o valor de desconto no subtotal "
         "(1.00).\n"},
        {"total igual aos liquidos com ajuste",
         trocar(venda(item(1, qUn + "<vRatAcr>0.50</vRatAcr>"), "3.01"), "</total>",
                "<DescAcrEntr><vAcresSubtot>0.50</vAcresSubtot></DescAcrEntr></total>"),
         ""},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        EXPECT_EQ(verificar<CFe::CupomFiscalEletronico>(c.xml), c.mensagem);
    }
}

TEST(Verificacao, NFCeComparaOTotal) {
    std::string xml =
        trocar(lerAmostra("nfce-nfeproc-310-hom-df-cnpj-troco.xml"), "<vNF>5.81</vNF>", "<vNF>5.80</vNF>");
    EXPECT_EQ(verificar<NFCe::NotaFiscalEletronicaSaida>(xml),
              "O valor do documento (5.80) n\xE3o confere com a somat\xF3ria dos valores l\xEDquidos do itens "
              "registrados (5.81).\n");
}

// NFC-e items against the authority's one-cent tolerance; the total holds freight, insurance and
// other charges; unit prices keep their 10 decimals.
TEST(Verificacao, NFCeRegrasDaAutoridade) {
    const std::string hoje = lerAmostra("nfce-nfeproc-400-synth-sp-pix-frete-comments.xml");
    auto comTotal = [&](const std::string& de, const std::string& para, const std::string& vNF) {
        return trocar(trocar(hoje, de, para), "<vNF>135.28</vNF>", "<vNF>" + vNF + "</vNF>");
    };
    struct Caso {
        const char* nome;
        std::string xml;
        std::string mensagem;
    } casos[] = {
        {"total sem o frete", comTotal("<vNF>", "<vNF>", "130.28"),
         "O valor do documento (130.28) n\xE3o confere com a somat\xF3ria dos valores l\xEDquidos do itens registrados "
         "(135.28).\n"},
        {"seguro entra no total", comTotal("<vFrete>5.00</vFrete>", "<vFrete>5.00</vFrete><vSeg>1.10</vSeg>", "136.38"),
         ""},
        {"6.79 arredondado para cima", comTotal("<vProd>6.78</vProd>", "<vProd>6.79</vProd>", "135.29"), ""},
        {"dois centavos abaixo", comTotal("<vProd>6.78</vProd>", "<vProd>6.77</vProd>", "135.27"),
         "Item 4: Valor do produto (vProd) n\xE3o confere: 6.77\n"},
        {"preco de 4 casas", comTotal("<vProd>1.00</vProd>", "<vProd>1.02</vProd>", "135.30"),
         "Item 2: Valor do produto (vProd) n\xE3o confere: 1.02\n"},
        {"preco de 10 casas", comTotal("<vUnCom>0.0125000000</vUnCom>", "<vUnCom>0.0125000001</vUnCom>", "135.28"), ""},
        {"nItem depois de um comentario", trocar(hoje, "<det nItem=\"3\">", "<det nItem=\"7\">"),
         "Elemento 3 Valor sequencial do item (nItem) n\xE3o confere:  7\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        EXPECT_EQ(verificar<NFCe::NotaFiscalEletronicaSaida>(c.xml), c.mensagem);
    }
}
