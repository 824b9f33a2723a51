#include <gtest/gtest.h>

#include "AmostrasFiscais.h"
#include "fiscal/CFe.h"
#include "xml/XML.h"

using namespace Ordal;
using DocumentoFiscal::Decimal2;

namespace {

// The fields a reader could lose; the rest is covered by comparing the generated texts,
// since gerarXML writes every field the sale data carries.
void compararVenda(const CFe::CupomFiscalEletronico& a, const CFe::CupomFiscalEletronico& b) {
    EXPECT_EQ(a.gerarXML(), b.gerarXML());
    EXPECT_EQ(a.versaoDadosEnt, b.versaoDadosEnt);
    EXPECT_EQ(a.numeroCaixa, b.numeroCaixa);
    EXPECT_EQ(a.emitente.rateioISSQN, b.emitente.rateioISSQN);
    EXPECT_EQ(a.destinatario.nome, b.destinatario.nome);
    EXPECT_EQ(a.destinatario.enderecoEntrega.municipio, b.destinatario.enderecoEntrega.municipio);
    ASSERT_EQ(a.quantidadeItens, b.quantidadeItens);
    for (int i = 0; i < a.quantidadeItens; ++i) {
        const auto& x = a.itens[i];
        const auto& y = b.itens[i];
        EXPECT_EQ(x.numeroItem, y.numeroItem);
        EXPECT_EQ(x.descricao, y.descricao);
        EXPECT_EQ(x.quantidade, y.quantidade);
        EXPECT_EQ(x.valorUnitario, y.valorUnitario);
        EXPECT_EQ(x.regraCalculo, y.regraCalculo);
        EXPECT_EQ(x.icms.cst, y.icms.cst);
        EXPECT_EQ(x.pis.cst, y.pis.cst);
        EXPECT_EQ(x.cofins.aliquota, y.cofins.aliquota);
        EXPECT_EQ(x.pisST.baseCalculo, y.pisST.baseCalculo);
        EXPECT_EQ(x.valorTributos, y.valorTributos);
    }
    EXPECT_EQ(a.descontoSubtotal, b.descontoSubtotal);
    EXPECT_EQ(a.pagamentos[1].codigo, b.pagamentos[1].codigo);
    EXPECT_EQ(a.pagamentos[1].credenciadora, b.pagamentos[1].credenciadora);
    EXPECT_EQ(a.informacoesComplementares, b.informacoesComplementares);
}

}  // namespace

TEST(GerarXML, IdaEVoltaDasVendasReais) {
    for (const char* arquivo :
         {"cfe-sale-hom-1item-infcpl-v006.xml", "cfe-sale-hom-1item-layout-v007.xml", "cfe-sale-hom-1item-v008.xml"}) {
        SCOPED_TRACE(arquivo);
        CFe::CupomFiscalEletronico original, relida;
        ASSERT_TRUE(original.lerArquivoXML(caminhoAmostra(arquivo)));
        ASSERT_TRUE(relida.lerXML(original.gerarXML()));
        compararVenda(original, relida);
        EXPECT_EQ(relida.itens[0].descricao, original.itens[0].descricao);
        EXPECT_EQ(relida.emitente.inscricaoEstadual, original.emitente.inscricaoEstadual);
        EXPECT_EQ(relida.cnpjSoftwareHouse, "16716114000172");
    }
}

TEST(GerarXML, IdaEVoltaComTodosOsGrupos) {
    CFe::CupomFiscalEletronico v;
    v.versaoDadosEnt = 7;
    v.numeroCaixa = 12;
    v.emitente.rateioISSQN = 'S';
    v.destinatario.cpf = "12345678901";
    v.destinatario.nome = "Jos\xE9 da Concei\xE7\xE3o & Filhos <ME>";
    v.destinatario.enderecoEntrega = {"Rua A", "10", "", "Centro", "S\xE3o Paulo", "SP", ""};
    const int cstsICMS[] = {0, 40, 102, 900}, cstsPIS[] = {1, 3, 7, 99};
    for (int i = 0; i < 4; ++i) {
        auto& it = v.itens[i];
        it.numeroItem = i + 1;
        it.descricao = "Caf\xE9 \"especial\" " + std::to_string(i);
        it.quantidade.fromString("1.2345");
        it.valorUnitario.fromString("10.995");
        it.regraCalculo = i % 2 ? 'T' : 'A';
        it.icms.origem = '2';
        it.icms.cst = cstsICMS[i];
        it.icms.aliquota.fromString("18.00");
        it.pis.cst = it.cofins.cst = cstsPIS[i];
        it.cofins.aliquota.fromString(cstsPIS[i] == 7 ? "0" : "0.0760");
        if (cstsPIS[i] == 3) {
            it.cofins.aliquota.fromString("0");
            it.cofins.quantidadeVendida.fromString("1.2345");
        }
        if (i == 2) it.pisST.baseCalculo.fromString("5.00");
        it.valorTributos.fromString("2.50");
    }
    v.quantidadeItens = 4;
    v.descontoSubtotal.fromString("1.00");
    v.pagamentos[0] = {1, Decimal2(2000), 0};
    v.pagamentos[1] = {3, Decimal2(3550), 999};
    v.informacoesComplementares = "Obrigado!";

    std::string xml = v.gerarXML();
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?><CFe><infCFe versaoDadosEnt=\"0.07\"><ide>", 0), 0u)
        << xml;
    EXPECT_NE(xml.find("<numeroCaixa>012</numeroCaixa>"), std::string::npos);
    EXPECT_NE(xml.find("Jos\xC3\xA9 da Concei\xC3\xA7\xC3\xA3o &amp; Filhos &lt;ME&gt;"),
              std::string::npos);                      // UTF-8, escaped
    EXPECT_EQ(xml.find("<cEAN>"), std::string::npos);  // empty strings are left out
    CFe::CupomFiscalEletronico relida;
    ASSERT_TRUE(relida.lerXML(xml));
    compararVenda(v, relida);
}

TEST(GerarXML, VendaSemAjustesNemPagamentos) {
    CFe::CupomFiscalEletronico v;
    v.itens[0].numeroItem = 1;
    v.quantidadeItens = 1;
    std::string xml = v.gerarXML();
    for (const char* ausente : {"DescAcrEntr", "pgto", "infAdic", "vCFeLei12741", "<ICMS>"})
        EXPECT_EQ(xml.find(ausente), std::string::npos) << ausente;
}

TEST(GerarXML, Cancelamento) {
    CFe::CupomCancelamento c;
    ASSERT_TRUE(c.lerArquivoXML(caminhoAmostra("cfe-cancel-hom-v007.xml")));
    std::string xml = c.gerarXML();
    EXPECT_EQ(xml,
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><CFeCanc><infCFe "
              "chCanc=\"CFe35210814200166000166599000238290000391066135\">"
              "<ide><CNPJ>16716114000172</CNPJ><signAC>" +
                  c.assinaturaAC +
                  "</signAC><numeroCaixa>001</numeroCaixa></ide><emit/><dest/><total/></infCFe></CFeCanc>");
    CFe::CupomCancelamento relida;
    ASSERT_TRUE(relida.lerXML(xml));
    EXPECT_EQ(relida.chaveCancelada, c.chaveCancelada);
}
