#include <gtest/gtest.h>

#include <stdexcept>

#include "AmostrasFiscais.h"
#include "fiscal/CFe.h"
#include "fiscal/NFCe.h"
#include "xml/XML.h"

using namespace Ordal;
using DocumentoFiscal::Decimal2;

// ---------------------------------------------------------------- CF-e sale

TEST(LeitorCFe, VendaV006) {
    CFe::CupomFiscalEletronico c;
    ASSERT_TRUE(c.lerArquivoXML(caminhoAmostra("cfe-sale-hom-1item-infcpl-v006.xml")));
    EXPECT_EQ(c.versaoXML, "1.0");
    EXPECT_EQ(c.codificacaoXML, "utf-8");  // the declaration names none
    EXPECT_EQ(c.chaveAcesso, "CFe35150708723218000186599000040190000215133408");
    EXPECT_EQ(c.versaoDadosEnt, 6);
    EXPECT_EQ(c.numeroSerieSAT, "900004019");
    EXPECT_EQ(c.numeroDocumento, "000021");
    EXPECT_EQ(c.dataEmissao, "20150718");
    EXPECT_EQ(c.horaEmissao, "154423");
    EXPECT_EQ(c.tipoAmbiente, 2);
    EXPECT_EQ(c.numeroCaixa, 2);

    EXPECT_EQ(c.emitente.cnpj, "08723218000186");
    EXPECT_EQ(c.emitente.razaoSocial, "LOJA EXEMPLO INFORMATICA EIRELI");
    EXPECT_EQ(c.emitente.inscricaoEstadual, "149626224113");
    EXPECT_EQ(c.emitente.rateioISSQN, 'N');
    EXPECT_EQ(c.emitente.endereco.logradouro, "RUA ENGENHEIRO JORGE OLIVA");
    EXPECT_EQ(c.emitente.endereco.cep, "04362060");
    EXPECT_EQ(c.emitente.endereco.uf, "SP");  // from cUF
    EXPECT_TRUE(c.destinatario.nome.empty() && c.destinatario.cpf.empty() && c.destinatario.cnpj.empty());

    ASSERT_EQ(c.quantidadeItens, 1);
    const auto& i = c.itens[0];
    EXPECT_EQ(i.numeroItem, 1);
    EXPECT_EQ(i.codigo, "7894321722016");
    EXPECT_EQ(i.descricao, "TODDYNHO 200 ML");
    EXPECT_EQ(i.quantidade.toString(), "1.0000");
    EXPECT_EQ(i.valorUnitario.toString(), "2.000");
    EXPECT_EQ(i.icms.cst, 500);
    EXPECT_EQ(i.pis.cst, 49);
    EXPECT_EQ(i.pisST.cst, -1);
    EXPECT_EQ(c.valoresProduto[0].toString(), "2.00");

    EXPECT_EQ(c.valorTotal.toString(), "2.00");
    EXPECT_EQ(c.quantidadePagamentos(), 1);
    EXPECT_EQ(c.pagamentos[0].codigo, 1);
    EXPECT_EQ(c.pagamentos[0].valor.toString(), "2.00");
    EXPECT_EQ(c.troco.toString(), "0.00");
    EXPECT_EQ(c.informacoesComplementares.rfind("Valores aproximados dos tributos:\nFed R$   0,23", 0), 0u);
    EXPECT_EQ(c.observacoesFisco[0].campo, "xCampo1");
    EXPECT_EQ(c.observacoesFisco[0].texto, "xTexto1");
    EXPECT_EQ(c.assinatura.uri, "#CFe35150708723218000186599000040190000215133408");
    EXPECT_EQ(c.assinatura.digestValue, "ZqVDFXd/eo4uGGpBbIHJQQ8ZcNN7k5eaZSE0xibgB1Y=");
}

TEST(LeitorCFe, VendasV007EV008) {
    CFe::CupomFiscalEletronico c;
    ASSERT_TRUE(c.lerArquivoXML(caminhoAmostra("cfe-sale-hom-1item-layout-v007.xml")));
    EXPECT_EQ(c.versaoDadosEnt, 7);
    EXPECT_EQ(c.emitente.razaoSocial, "COMERCIAL MODELO DA AMAZONIA LTDA");
    EXPECT_EQ(c.emitente.rateioISSQN, 'S');
    EXPECT_EQ(c.itens[0].regraCalculo, 'T');
    EXPECT_EQ(c.itens[0].icms.cst, 20);
    EXPECT_EQ(c.itens[0].icms.aliquota.toString(), "18.00");
    EXPECT_EQ(c.itens[0].icms.valor.toString(), "0.33");
    EXPECT_EQ(c.itens[0].pis.baseCalculo.toString(), "1.85");
    EXPECT_EQ(c.valorTotal.toString(), "1.85");
    EXPECT_EQ(c.observacoesFisco[0].campo, "04.04.05.04");

    // Reading another file into the same object leaves nothing of the previous one.
    ASSERT_TRUE(c.lerArquivoXML(caminhoAmostra("cfe-sale-hom-1item-v008.xml")));
    EXPECT_EQ(c.versaoDadosEnt, 8);
    EXPECT_EQ(c.versaoXML, "1.0");  // no declaration: default
    EXPECT_EQ(c.dataEmissao, "20210812");
    EXPECT_EQ(c.emitente.inscricaoMunicipal, "111111111111");
    EXPECT_EQ(c.itens[0].codigo, "00026");
    EXPECT_EQ(c.itens[0].ncm, "96081000");
    EXPECT_EQ(c.itens[0].cest, "0202400");
    EXPECT_EQ(c.itens[0].icms.cst, 0);
    EXPECT_EQ(c.itens[0].icms.aliquota.toString(), "4.00");
    EXPECT_EQ(c.valorTotal.toString(), "3.40");
    EXPECT_EQ(c.observacoesFisco[0].texto, "Comete crime quem sonega");
    EXPECT_EQ(c.informacoesComplementares.find("smallsoft"), 4u);
}

TEST(LeitorCFe, Cancelamentos) {
    struct Caso {
        const char* arquivo;
        const char* chave;
        const char* cancelada;
        const char* dataOriginal;
        const char* horaOriginal;
        const char* data;
        const char* hora;
        const char* total;
        const char* emitente;
    } casos[] = {
        {"cfe-cancel-hom-v006.xml", "CFe35150908723218000186599000040190000378585470",
         "CFe35150908723218000186599000040190000360539948", "20150911", "175840", "20150911", "175921", "2.00",
         "LOJA EXEMPLO INFORMATICA EIRELI"},
        {"cfe-cancel-hom-v007.xml", "CFe35210814200166000166599000238290000408855230",
         "CFe35210814200166000166599000238290000391066135", "20210818", "120030", "20210818", "120036", "1.85",
         "COMERCIAL MODELO DA AMAZONIA LTDA"},
    };
    for (const auto& k : casos) {
        SCOPED_TRACE(k.arquivo);
        CFe::CupomCancelamento c;
        ASSERT_TRUE(c.lerXML(lerAmostra(k.arquivo)));
        EXPECT_EQ(c.chaveAcesso, k.chave);
        EXPECT_EQ(c.chaveCancelada, k.cancelada);
        EXPECT_EQ(c.dataEmissaoOriginal, k.dataOriginal);
        EXPECT_EQ(c.horaEmissaoOriginal, k.horaOriginal);
        EXPECT_EQ(c.dataEmissao, k.data);
        EXPECT_EQ(c.horaEmissao, k.hora);
        EXPECT_EQ(c.valorTotal.toString(), k.total);
        EXPECT_EQ(c.emitente.razaoSocial, k.emitente);
        EXPECT_EQ(c.emitente.endereco.uf, "SP");
        EXPECT_FALSE(c.assinaturaQRCODE.empty());
        // The signature is read from the sale path only.
        EXPECT_TRUE(c.assinatura.digestValue.empty());
        EXPECT_TRUE(c.assinatura.signatureValue.empty());
    }
}

// ---------------------------------------------------------------- CF-e rules on edited files

namespace {

const char* VENDA_MINIMA = R"(<CFe><infCFe Id="CFe1" versaoDadosEnt="0.07"><ide><cUF>%UF%</cUF></ide>
<emit><enderEmit><UF>RJ</UF></enderEmit><indRatISSQN>X</indRatISSQN></emit>
<det nItem="1"><prod><qCom>3.0000</qCom><vUnCom>1.995</vUnCom><indRegra>Q</indRegra><vDesc>0.10</vDesc><vOutro>0.30</vOutro></prod>
<imposto><ICMS><ICMS00><Orig>0</Orig><CST>00</CST><CSOSN>102</CSOSN></ICMS00></ICMS></imposto></det>
<det nItem="2"><prod><qCom>1.0000</qCom><vUnCom>0.335</vUnCom><indRegra>T</indRegra><vProd>0.40</vProd></prod></det>
<total/>
<pgto><MP><cMP>07</cMP><vMP>1.00</vMP><cAdmC>5</cAdmC></MP><MP><cMP>17</cMP><vMP>2.00</vMP></MP><x/><MP><cMP>1</cMP><vMP>3.00</vMP></MP></pgto>
</infCFe></CFe>)";

std::string vendaMinima(const std::string& uf) { return trocar(VENDA_MINIMA, "%UF%", uf); }

}  // namespace

TEST(LeitorCFe, RegrasDeLeitura) {
    CFe::CupomFiscalEletronico c;
    ASSERT_TRUE(c.lerXML(vendaMinima("35")));
    EXPECT_EQ(c.emitente.endereco.uf, "SP");  // cUF wins over enderEmit/UF
    EXPECT_EQ(c.emitente.rateioISSQN, 0);     // only S or N are taken
    ASSERT_EQ(c.quantidadeItens, 2);
    EXPECT_EQ(c.itens[0].regraCalculo, 'A');  // only A or T are taken
    EXPECT_EQ(c.itens[0].icms.cst, 102);      // CSOSN read after CST
    // No vProd: 3 x 1.995 = 5.985, half to even gives 5.98.
    EXPECT_EQ(c.valoresProduto[0].toString(), "5.98");
    EXPECT_EQ(c.valoresProduto[1].toString(), "0.40");  // vProd when present
    // No vCFe: sum of product values + additions - discounts.
    EXPECT_EQ(c.valorTotal.toString(), "6.58");
    EXPECT_EQ(c.pagamentos[0].codigo, 0);  // 7 is outside the accepted codes
    EXPECT_EQ(c.pagamentos[0].valor.toString(), "1.00");
    EXPECT_EQ(c.pagamentos[0].credenciadora, 5);
    EXPECT_EQ(c.pagamentos[1].codigo, 17);
    // A differently named element ends the run of MP elements.
    EXPECT_EQ(c.pagamentos[2].valor.valor, 0);
    EXPECT_EQ(c.quantidadePagamentos(), 2);

    ASSERT_TRUE(c.lerXML(vendaMinima("99")));
    EXPECT_EQ(c.emitente.endereco.uf, "");
}

TEST(LeitorCFe, DocumentosVaziosOuEstranhos) {
    const char* textos[] = {"", "<", "<NFe><infNFe/></NFe>", "<CFe><infCFe><det nItem=\"1\"><prod><qCom>",
                            "<CFe><infCFe><det><prod/></det><det/><pgto><MP/></pgto></infCFe></CFe>"};
    for (const char* t : textos) {
        SCOPED_TRACE(t);
        CFe::CupomFiscalEletronico c;
        EXPECT_TRUE(c.lerXML(t));
        EXPECT_LE(c.quantidadeItens, 2);
        EXPECT_EQ(c.versaoDadosEnt, 6);
        CFe::CupomCancelamento k;
        EXPECT_TRUE(k.lerXML(t));
        EXPECT_TRUE(k.chaveCancelada.empty());
    }
    CFe::CupomFiscalEletronico c;
    EXPECT_FALSE(c.lerArquivoXML("/nao/existe.xml"));
}

TEST(LeitorCFe, QuinhentosItensNoMaximo) {
    auto venda = [](int itens) {
        std::string xml = "<CFe><infCFe>";
        for (int i = 1; i <= itens; ++i)
            xml += "<det nItem=\"" + std::to_string(i) + "\"><prod><qCom>1</qCom><vUnCom>0.01</vUnCom></prod></det>";
        return xml + "</infCFe></CFe>";
    };
    CFe::CupomFiscalEletronico c;
    ASSERT_TRUE(c.lerXML(venda(500)));
    EXPECT_EQ(c.quantidadeItens, 500);
    EXPECT_EQ(c.itens[499].numeroItem, 500);
    EXPECT_EQ(c.valorTotal.toString(), "5.00");
    // One more item would leave the list: the sale is refused rather than read cut short.
    EXPECT_THROW(c.lerXML(venda(501)), std::invalid_argument);
    NFCe::NotaFiscalEletronicaSaida n;
    std::string nfce = venda(501);
    nfce.replace(0, 13, "<NFe><infNFe>");
    nfce.replace(nfce.size() - 15, 15, "</infNFe></NFe>");
    EXPECT_THROW(n.lerXML(nfce), std::invalid_argument);
}

// ---------------------------------------------------------------- NFC-e

TEST(LeitorNFCe, Autorizada310ComPagamentoAntigo) {
    NFCe::NotaFiscalEletronicaSaida n;
    ASSERT_TRUE(n.lerArquivoXML(caminhoAmostra("nfce-nfeproc-310-prod-pr-1item-oldpag.xml")));
    EXPECT_EQ(n.codificacaoXML, "utf-8");
    EXPECT_EQ(n.chaveAcesso, "NFe41170310422724000187650010000000061000005858");
    EXPECT_EQ(n.numeroDocumento, "6");
    EXPECT_EQ(n.tipoAmbiente, 1);
    EXPECT_EQ(n.dataHoraEmissao, "2017-03-28T18:17:08-03:00");
    EXPECT_EQ(n.dataEmissao, "20170328");
    EXPECT_EQ(n.horaEmissao, "181708");
    EXPECT_EQ(n.emitente.cnpj, "10422724000187");
    EXPECT_EQ(n.emitente.razaoSocial, "Lumer Inform\xE1tica LTDA");  // UTF-8 in the file
    EXPECT_EQ(n.emitente.endereco.municipio, "Assa\xED");
    EXPECT_EQ(n.emitente.endereco.uf, "PR");
    ASSERT_EQ(n.quantidadeItens, 1);
    EXPECT_EQ(n.itens[0].descricao, "Caixa de Caneta BIC");
    EXPECT_EQ(n.itens[0].quantidade.toString(), "1.0000");
    EXPECT_EQ(n.itens[0].valorUnitario.toString(), "42.000");
    EXPECT_EQ(n.itens[0].icms.cst, 102);
    EXPECT_EQ(n.valoresProduto[0].toString(), "42.00");
    EXPECT_EQ(n.valorTotal.toString(), "42.00");
    EXPECT_EQ(n.quantidadePagamentos(), 1);
    EXPECT_EQ(n.pagamentos[0].codigo, 1);
    EXPECT_EQ(n.pagamentos[0].valor.toString(), "42.00");
    EXPECT_EQ(n.troco.valor, 0);
    EXPECT_EQ(n.informacoesComplementares, "Valor aproximado de tributos R$ 15,72 (37.43%) - Fonte IBPT");
    EXPECT_EQ(n.protocolo.numeroProtocolo, "141170361108204");
    EXPECT_EQ(n.protocolo.dataRecebimento, "20170328");
    EXPECT_EQ(n.protocolo.horaRecebimento, "181732");
    EXPECT_EQ(n.protocolo.chaveAcesso, "41170310422724000187650010000000061000005858");
    EXPECT_EQ(n.assinatura.digestValue, "7bLiWdBTRp0qiOl9tUwz/vin+14=");
    EXPECT_EQ(n.qrCodeTexto.rfind(
                  "http://www.dfeportal.fazenda.pr.gov.br/dfe-portal/rest/servico/consultaNFCe?chNFe=4117", 0),
              0u);
    EXPECT_NE(n.qrCodeTexto.find("&cHashQRCode=E12CC71108A7A56074B6E3700C5CE7F73BC39748"), std::string::npos);
    EXPECT_TRUE(n.urlChave.empty());
}

TEST(LeitorNFCe, Autorizada310ComTrocoEDestinatario) {
    NFCe::NotaFiscalEletronicaSaida n;
    ASSERT_TRUE(n.lerArquivoXML(caminhoAmostra("nfce-nfeproc-310-hom-df-cnpj-troco.xml")));
    EXPECT_EQ(n.emitente.razaoSocial, "PDVEND");
    EXPECT_EQ(n.emitente.endereco.uf, "DF");
    EXPECT_EQ(n.destinatario.cnpj, "25504949000150");
    EXPECT_EQ(n.destinatario.nome, "NF-E EMITIDA EM AMBIENTE DE HOMOLOGACAO - SEM VALOR FISCAL");
    EXPECT_EQ(n.serie, "400");
    EXPECT_EQ(n.tipoAmbiente, 2);
    ASSERT_EQ(n.quantidadeItens, 2);
    EXPECT_EQ(n.itens[1].descricao, "Bugnnn");
    EXPECT_EQ(n.itens[1].valorUnitario.toString(), "4.900");
    EXPECT_EQ(n.valoresProduto[0].toString(), "0.91");
    EXPECT_EQ(n.valorTotal.toString(), "5.81");
    EXPECT_EQ(n.somaValoresLiquidos().toString(), "5.81");
    EXPECT_EQ(n.pagamentos[0].valor.toString(), "5.81");
    EXPECT_EQ(n.troco.toString(), "0.19");
    EXPECT_EQ(n.protocolo.numeroProtocolo, "353170000106963");
    EXPECT_EQ(n.dataEmissao, "20171004");
    EXPECT_EQ(n.horaEmissao, "165624");
    EXPECT_NE(n.qrCodeTexto.find("&cDest=25504949000150&"), std::string::npos);
    EXPECT_EQ(n.qrCodeTexto.find("CDATA"), std::string::npos);
}

TEST(LeitorNFCe, NFeSemEnvelope400ComDetPag) {
    NFCe::NotaFiscalEletronicaSaida n;
    ASSERT_TRUE(n.lerArquivoXML(caminhoAmostra("nfce-bare-400-hom-rs-detpag-qrv2.xml")));
    EXPECT_EQ(n.chaveAcesso, "NFe43211105730928000145650010000002401717268120");
    EXPECT_EQ(n.emitente.endereco.uf, "RS");
    EXPECT_EQ(n.emitente.endereco.municipio, "Ven\xE2ncio Aires");  // character reference
    EXPECT_EQ(n.dataEmissao, "20211111");
    EXPECT_EQ(n.horaEmissao, "185655");
    EXPECT_EQ(n.itens[0].codigoBarras, "SEM GTIN");
    EXPECT_EQ(n.valorTotal.toString(), "1.00");
    EXPECT_EQ(n.quantidadePagamentos(), 1);
    EXPECT_EQ(n.pagamentos[0].codigo, 1);
    EXPECT_EQ(n.pagamentos[0].valor.toString(), "1.00");
    // No envelope: no protocol, but the NFe's own signature.
    EXPECT_TRUE(n.protocolo.numeroProtocolo.empty());
    EXPECT_EQ(n.assinatura.digestValue, "aWpBMlDjIlWUn2ALNSdwzLi2ntE=");
    EXPECT_EQ(n.qrCodeTexto,
              "https://www.sefaz.rs.gov.br/NFCE/NFCE-COM.aspx?p=43211105730928000145650010000002401717268120|2|2|1|"
              "75FFAFF74CF8ABDD0153D4D18E27CE17DE14B83F");
    EXPECT_EQ(n.urlChave, "www.sefaz.rs.gov.br/nfce/consulta");
}

TEST(LeitorNFCe, FormasDePagamento) {
    struct Caso {
        const char* pag;
        int codigos[3];
        const char* valores[3];
        const char* troco;
    } casos[] = {
        // Layout 4.00: detPag entries in order, then the change.
        {"<pag><detPag><tPag>03</tPag><vPag>25.00</vPag><card><tBand>01</tBand></card></detPag>"
         "<detPag><tPag>17</tPag><vPag>5.00</vPag></detPag><detPag><tPag>07</tPag><vPag>1.00</vPag></detPag>"
         "<vTroco>1.50</vTroco></pag>",
         {3, 17, 0},
         {"25.00", "5.00", "1.00"},
         "1.50"},
        // Older layouts: one pag element per payment.
        {"<pag><tPag>03</tPag><vPag>25.00</vPag></pag><pag><tPag>01</tPag><vPag>2.00</vPag></pag>",
         {3, 1, 0},
         {"25.00", "2.00", "0.00"},
         "0.00"},
        {"<pag><tPag>99</tPag><vPag>4.00</vPag></pag><transp/><pag><tPag>01</tPag><vPag>2.00</vPag></pag>",
         {99, 0, 0},
         {"4.00", "0.00", "0.00"},
         "0.00"},
        // Comments and processing instructions between payments do not end the run.
        {"<pag><detPag><tPag>17</tPag><vPag>5.00</vPag></detPag><!-- x --><?y?><detPag><tPag>20</tPag><vPag>2.00</vPag>"
         "</detPag></pag>",
         {17, 20, 0},
         {"5.00", "2.00", "0.00"},
         "0.00"},
        {"<pag><tPag>01</tPag><vPag>1.00</vPag></pag><!-- x --><pag><tPag>15</tPag><vPag>3.00</vPag></pag>",
         {1, 15, 0},
         {"1.00", "3.00", "0.00"},
         "0.00"},
        {"", {0, 0, 0}, {"0.00", "0.00", "0.00"}, "0.00"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.pag);
        std::string xml = std::string("<NFe><infNFe Id=\"NFe1\"><ide><dhEmi>2017-05-10T14:22:31-03:00</dhEmi></ide>") +
                          c.pag + "</infNFe></NFe>";
        NFCe::NotaFiscalEletronicaSaida n;
        ASSERT_TRUE(n.lerXML(xml));
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(n.pagamentos[k].codigo, c.codigos[k]) << k;
            EXPECT_EQ(n.pagamentos[k].valor.toString(), c.valores[k]) << k;
        }
        EXPECT_EQ(n.troco.toString(), c.troco);
        EXPECT_EQ(n.dataEmissao, "20170510");
        EXPECT_EQ(n.horaEmissao, "142231");
    }
}

TEST(LeitorNFCe, DataHora) {
    struct Caso {
        const char* texto;
        const char* data;
        const char* hora;
    } casos[] = {
        {"2017-05-10T14:22:31-03:00", "20170510", "142231"},
        {"2017-05-10T14:22:31Z", "20170510", "142231"},
        {"2017-05-10T14:22:31", "20170510", "142231"},
        {"2017-05-10T14:22:3", "antes", "antes"},  // 18 characters leave both unchanged
        {"", "antes", "antes"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.texto);
        std::string data = "antes", hora = "antes";
        NFCe::separarDataHora(c.texto, data, hora);
        EXPECT_EQ(data, c.data);
        EXPECT_EQ(hora, c.hora);
    }
}

TEST(LeitorNFCe, SemTotalEComPrecoLongo) {
    NFCe::NotaFiscalEletronicaSaida n;
    ASSERT_TRUE(
        n.lerXML("<NFe><infNFe><det nItem=\"1\"><prod><qCom>2.0000</qCom><vUnCom>1.2345678901</vUnCom>"
                 "<vProd>2.47</vProd><vDesc>0.07</vDesc></prod></det><det nItem=\"2\"><prod><qCom>1</qCom>"
                 "<vUnCom>1.00</vUnCom></prod></det></infNFe></NFe>"));
    EXPECT_EQ(n.itens[0].valorUnitario.toString(), "1.234");
    EXPECT_EQ(n.valorProdutoCalculado(0).toString(), "2.47");  // 2.468 rounded
    EXPECT_EQ(n.valoresProduto[0].toString(), "2.47");
    EXPECT_EQ(n.valorTotal.toString(), "3.40");
}

TEST(LeitorNFCe, QRCodeComBrancosECdata) {
    NFCe::NotaFiscalEletronicaSaida n;
    ASSERT_TRUE(
        n.lerXML("<NFe><infNFe/><infNFeSupl><qrCode>\n   http://x/?a=1&amp;b=2  \n</qrCode>"
                 "<urlChave> www.x/consulta </urlChave></infNFeSupl></NFe>"));
    EXPECT_EQ(n.qrCodeTexto, "http://x/?a=1&b=2");
    EXPECT_EQ(n.urlChave, "www.x/consulta");
}

TEST(LeitorNFCe, CartaoDoPagamento) {
    NFCe::NotaFiscalEletronicaSaida n;
    ASSERT_TRUE(
        n.lerXML("<NFe><infNFe><pag><detPag><tPag>03</tPag><vPag>25.00</vPag><card><tpIntegra>1</tpIntegra>"
                 "<CNPJ>01027058000191</CNPJ><tBand>02</tBand><cAut>A1B2C3</cAut></card></detPag>"
                 "<detPag><tPag>01</tPag><vPag>5.00</vPag></detPag></pag></infNFe></NFe>"));
    EXPECT_EQ(n.pagamentos[0].cnpjCredenciadora, "01027058000191");
    EXPECT_EQ(n.pagamentos[0].bandeira, 2);
    EXPECT_EQ(n.pagamentos[0].autorizacao, "A1B2C3");
    EXPECT_EQ(n.pagamentos[0].credenciadora, 0);
    EXPECT_TRUE(n.pagamentos[1].cnpjCredenciadora.empty());
    EXPECT_EQ(n.pagamentos[1].bandeira, 0);

    // Eleven entries: the first ten are kept.
    std::string onze = "<NFe><infNFe><pag>";
    for (int k = 1; k <= 11; ++k) onze += "<detPag><tPag>01</tPag><vPag>" + std::to_string(k) + ".00</vPag></detPag>";
    ASSERT_TRUE(n.lerXML(onze + "</pag></infNFe></NFe>"));
    EXPECT_EQ(n.quantidadePagamentos(), 10);
    EXPECT_EQ(n.pagamentos[9].valor.toString(), "10.00");
    EXPECT_EQ(n.totalPagamentos().toString(), "55.00");
}

// Accented UTF-8 texts of a real file arrive in the model as Latin-1 bytes.
TEST(LeitorNFCe, DescricaoAcentuadaEmLatin1) {
    std::string xml =
        trocar(lerAmostra("nfce-nfeproc-310-prod-pr-1item-oldpag.xml"), "<xProd>Caixa de Caneta BIC</xProd>",
               "<xProd>Caf\xC3\xA9 S\xC3\xA3o Jo\xC3\xA3o A\xC3\xA7\xC3\xBA"
               "car &amp; P\xC3\x83O</xProd>");
    NFCe::NotaFiscalEletronicaSaida n;
    ASSERT_TRUE(n.lerXML(xml));
    EXPECT_EQ(n.itens[0].descricao,
              "Caf\xE9 S\xE3o Jo\xE3o A\xE7\xFA"
              "car & P\xC3O");
    EXPECT_EQ(n.emitente.razaoSocial, "Lumer Inform\xE1tica LTDA");
    EXPECT_EQ(n.valorTotal.toString(), "42.00");
}

// What a person reads on each real sale, as the model holds it.
TEST(LeitoresAmostras, CamposVisiveis) {
    struct Caso {
        const char* arquivo;
        const char* cnpj;
        const char* emitente;
        int itens;
        const char* descricao;  // of the last item
        const char* quantidade;
        const char* preco;
        const char* total;
        int codigoPagamento;
        const char* valorPago;
        const char* chave;
        const char* protocolo;
        const char* data;
    } casos[] = {
        {"cfe-sale-hom-1item-infcpl-v006.xml", "08723218000186", "LOJA EXEMPLO INFORMATICA EIRELI", 1,
         "TODDYNHO 200 ML", "1.0000", "2.000", "2.00", 1, "2.00", "CFe35150708723218000186599000040190000215133408", "",
         "20150718"},
        {"cfe-sale-hom-1item-layout-v007.xml", "14200166000166", "COMERCIAL MODELO DA AMAZONIA LTDA", 1, "ICMS",
         "1.0000", "1.850", "1.85", 1, "1.85", "CFe35210914200166000166599000238700001108211590", "", "20210908"},
        {"cfe-sale-hom-1item-v008.xml", "14200166000166", "COMERCIAL MODELO DA AMAZONIA LTDA", 1, "Produto com ST",
         "1.0000", "3.400", "3.40", 1, "3.40", "CFe35210814200166000166599000238700000482452078", "", "20210812"},
        {"nfce-bare-400-hom-rs-detpag-qrv2.xml", "42530613000180",
         "NF-E EMITIDA EM AMBIENTE DE HOMOLOGACAO - SEM VALOR FISCAL", 1,
         "NOTA FISCAL EMITIDA EM AMBIENTE DE HOMOLOGACAO - SEM VALOR FISCAL", "1.0000", "1.000", "1.00", 1, "1.00",
         "NFe43211105730928000145650010000002401717268120", "", "20211111"},
        {"nfce-nfeproc-310-hom-df-cnpj-troco.xml", "22769530000131", "PDVEND", 2, "Bugnnn", "1.0000", "4.900", "5.81",
         1, "5.81", "NFe53171022769530000131654000000000601171025449", "353170000106963", "20171004"},
        {"nfce-nfeproc-310-prod-pr-1item-oldpag.xml", "10422724000187", "Lumer Inform\xE1tica LTDA", 1,
         "Caixa de Caneta BIC", "1.0000", "42.000", "42.00", 1, "42.00",
         "NFe41170310422724000187650010000000061000005858", "141170361108204", "20170328"},
        // Synthetic documents of today: comments between items and payments, PIX, an individual issuer.
        {"cfe-sale-synth-sp-4items-comments-nolei12741.xml", "47508411000156", "MERCADINHO BOA COMPRA LTDA", 4,
         "PAO DE FORMA", "1.0000", "3.500", "34.96", 1, "25.00", "CFe35251147508411000156590001234560001234567893", "",
         "20251110"},
        {"nfce-nfeproc-400-synth-sp-pix-frete-comments.xml", "12345678000195",
         "EMPORIO CENTRAL COMERCIO DE ALIMENTOS LTDA", 5, "SACOLA RETORNAVEL", "1.0000", "2.000", "135.28", 17, "50.00",
         "NFe35251112345678000195650020000123451123456780", "135250001234567", "20251110"},
        {"nfce-bare-400-synth-mg-cpf-contingencia-sempag.xml", "", "JOAO DA SILVA PRODUTOR RURAL", 1,
         "QUEIJO MINAS ARTESANAL - AMOSTRA", "1.0000", "15.000", "0.00", 90, "0.00",
         "NFe31251198765432100123650010000004569000045672", "", "20251112"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.arquivo);
        CFe::CupomFiscalEletronico cfe;
        NFCe::NotaFiscalEletronicaSaida nfce;
        const bool ehCFe = std::string(c.arquivo).starts_with("cfe");
        using Venda = DocumentoFiscal::DadosVendaDocumentoFiscalEletronico;
        using Documento = DocumentoFiscal::DadosDocumentoFiscalEletronico;
        const Venda& venda = ehCFe ? static_cast<const Venda&>(cfe) : nfce;
        const Documento& doc = ehCFe ? static_cast<const Documento&>(cfe) : nfce;
        ASSERT_TRUE(ehCFe ? cfe.lerArquivoXML(caminhoAmostra(c.arquivo))
                          : nfce.lerArquivoXML(caminhoAmostra(c.arquivo)));
        EXPECT_EQ(doc.emitente.cnpj, c.cnpj);
        EXPECT_EQ(doc.emitente.razaoSocial, c.emitente);
        ASSERT_EQ(venda.quantidadeItens, c.itens);
        const auto& item = venda.itens[c.itens - 1];
        EXPECT_EQ(item.descricao, c.descricao);
        EXPECT_EQ(item.quantidade.toString(), c.quantidade);
        EXPECT_EQ(item.valorUnitario.toString(), c.preco);
        EXPECT_EQ(doc.valorTotal.toString(), c.total);
        EXPECT_EQ(venda.pagamentos[0].codigo, c.codigoPagamento);
        EXPECT_EQ(venda.pagamentos[0].valor.toString(), c.valorPago);
        EXPECT_EQ(doc.chaveAcesso, c.chave);
        EXPECT_EQ(doc.dataEmissao, c.data);
        if (!ehCFe) {
            EXPECT_EQ(nfce.protocolo.numeroProtocolo, c.protocolo);
        }
    }
}

// The reading rules the documents of today need: runs of items and payments across comments and
// processing instructions, payment descriptions, freight, long unit prices, the approximate taxes,
// the emission type, an individual issuer and the signature of a bare NFe.
TEST(LeitoresAmostras, DocumentosDeHoje) {
    CFe::CupomFiscalEletronico cfe;
    ASSERT_TRUE(cfe.lerArquivoXML(caminhoAmostra("cfe-sale-synth-sp-4items-comments-nolei12741.xml")));
    EXPECT_EQ(cfe.quantidadePagamentos(), 2);
    EXPECT_EQ(cfe.pagamentos[1].codigo, 17);
    EXPECT_FALSE(cfe.tributosInformados);
    EXPECT_EQ(cfe.somaTributos().toString(), "7.43");

    NFCe::NotaFiscalEletronicaSaida n;
    ASSERT_TRUE(n.lerArquivoXML(caminhoAmostra("nfce-nfeproc-400-synth-sp-pix-frete-comments.xml")));
    EXPECT_EQ(n.quantidadePagamentos(), 9);
    EXPECT_EQ(n.pagamentos[8].codigo, 99);
    EXPECT_EQ(n.pagamentos[8].descricao, "Vale-presente da loja");
    EXPECT_EQ(DocumentoFiscal::nomeMeioPagamento(n.pagamentos[8]), "Vale-presente da loja");
    EXPECT_EQ(DocumentoFiscal::nomeMeioPagamento(n.pagamentos[0]), "Pagamento Instant\xE2neo (PIX) - Din\xE2mico");
    EXPECT_EQ(n.itens[1].valorUnitario.toString(), "0.012");
    EXPECT_EQ(n.itens[1].valorUnitarioDocumento.toString(), "0.0125000000");
    EXPECT_EQ(n.itens[2].frete.toString(), "5.00");
    EXPECT_TRUE(n.tributosInformados);
    EXPECT_EQ(n.valorTributos.toString(), "24.43");
    EXPECT_EQ(n.tipoEmissao, 1);

    ASSERT_TRUE(n.lerArquivoXML(caminhoAmostra("nfce-bare-400-synth-mg-cpf-contingencia-sempag.xml")));
    EXPECT_EQ(n.emitente.cpf, "98765432100");
    EXPECT_EQ(n.tipoEmissao, 9);
    EXPECT_FALSE(n.tributosInformados);
    EXPECT_EQ(n.assinatura.digestValue, "Zm9sbG93LXRoZS1kaWdlc3Q9");
    EXPECT_EQ(DocumentoFiscal::nomeMeioPagamento(n.pagamentos[0]), "Sem pagamento");
    // Without a description, code 99 keeps its table name.
    EXPECT_EQ(DocumentoFiscal::nomeMeioPagamento(DocumentoFiscal::MeioPagamento(99, {})), "Outros");
}
