#include <gtest/gtest.h>

#include <stdexcept>

#include "fiscal/DocumentoFiscal.h"

using namespace Ordal::DocumentoFiscal;

namespace {

ItemVenda item(const char* qCom, const char* vUnCom, char regra = 'A') {
    ItemVenda i;
    i.quantidade.fromString(qCom);
    i.valorUnitario.fromString(vUnCom);
    i.regraCalculo = regra;
    return i;
}

}  // namespace

TEST(ValoresVenda, ValorProdutoCalculado) {
    struct Caso {
        const char* q;
        const char* v;
        char regra;
        const char* esperado;
    } casos[] = {
        {"3.0000", "1.995", 'A', "5.98"},  {"1.0000", "0.335", 'A', "0.34"}, {"1.0000", "0.335", 'T', "0.33"},
        {"2.0000", "1.255", 'A', "2.51"},  {"0.7500", "3.990", 'A', "2.99"},  // 2.9925
        {"1.3330", "9.999", 'A', "13.33"},                                    // 13.328667
        {"1.3330", "9.999", 'T', "13.32"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(std::string(c.q) + " x " + c.v + " " + c.regra);
        EXPECT_EQ(DadosVenda::valorProdutoCalculado(item(c.q, c.v, c.regra)).toString(), c.esperado);
    }
}

TEST(ValoresVenda, ProdutoEnormeSatura) {
    EXPECT_EQ(DadosVenda::valorProdutoCalculado(item("922337203685477", "9223372036854775")).valor,
              std::numeric_limits<long long>::max());
}

TEST(ValoresVenda, SomasEAjustes) {
    DadosVenda v;
    v.itens[0] = item("2.0000", "5.000");  // 10.00
    v.itens[0].outros.fromString("1.00");
    v.itens[0].desconto.fromString("0.50");
    v.itens[0].rateioDesconto.fromString("0.40");
    v.itens[0].valorTributos.fromString("1.10");
    v.itens[1] = item("1.0000", "3.333");  // 3.33
    v.itens[1].rateioAcrescimo.fromString("0.20");
    v.itens[1].rateioDesconto.fromString("0.60");
    v.itens[1].valorTributos.fromString("0.20");
    v.quantidadeItens = 2;
    v.descontoSubtotal.fromString("1.00");
    v.acrescimoSubtotal.fromString("0.20");

    EXPECT_EQ(v.somaValorProduto().toString(), "13.33");
    EXPECT_EQ(v.somaOutros().toString(), "1.00");
    EXPECT_EQ(v.somaDescontos().toString(), "0.50");
    EXPECT_EQ(v.somaTributos().toString(), "1.30");
    EXPECT_EQ(DadosVenda::valorLiquidoItem(v.itens[0]).toString(), "10.10");
    EXPECT_EQ(DadosVenda::valorLiquidoSemRateio(v.itens[0]).toString(), "10.50");
    EXPECT_EQ(DadosVenda::valorBrutoComAcrescimos(v.itens[1]).toString(), "3.53");
    EXPECT_EQ(v.somaValoresLiquidos().toString(), "13.03");
    EXPECT_EQ(v.somaValoresSemRateio().toString(), "13.83");
    EXPECT_EQ(v.somaBrutaComAcrescimos().toString(), "14.53");
    EXPECT_EQ(v.totalComAjustesSubtotal().toString(), "13.03");
    EXPECT_FALSE(v.rateioPendente());

    v.pagamentos[0] = {1, Decimal2(1000), 0};
    v.pagamentos[1] = {3, Decimal2(500), 0};
    EXPECT_EQ(v.quantidadePagamentos(), 2);
    EXPECT_EQ(v.valorTroco().toString(), "1.97");
    EXPECT_EQ(v.valorFaltante().toString(), "0.00");
    v.pagamentos[1].valor = Decimal2(100);
    EXPECT_EQ(v.valorFaltante().toString(), "2.03");
    EXPECT_EQ(v.valorTroco().toString(), "0.00");
}

TEST(ValoresVenda, PagamentosParamNoPrimeiroZero) {
    DadosVenda v;
    v.pagamentos[0] = {1, Decimal2(1000), 0};
    v.pagamentos[1] = {2, Decimal2(0), 0};
    v.pagamentos[2] = {3, Decimal2(500), 0};
    EXPECT_EQ(v.quantidadePagamentos(), 1);
    EXPECT_EQ(v.totalPagamentos().toString(), "10.00");
    for (auto& p : v.pagamentos) p = {1, Decimal2(100), 0};
    EXPECT_EQ(v.quantidadePagamentos(), 10);
    EXPECT_EQ(v.totalPagamentos().toString(), "10.00");
}

TEST(ValoresVenda, RateioPendente) {
    DadosVenda v;
    v.itens[0] = item("1.0000", "10.000");
    v.quantidadeItens = 1;
    EXPECT_FALSE(v.rateioPendente());  // no subtotal adjustment
    v.descontoSubtotal = Decimal2(100);
    EXPECT_TRUE(v.rateioPendente());  // discount not spread over the items
    v.itens[0].rateioDesconto = Decimal2(100);
    EXPECT_FALSE(v.rateioPendente());
}

TEST(ValoresVenda, QuantidadeItensForaDaListaNaoSaiDaLista) {
    DadosVenda v;
    v.quantidadeItens = 100000;
    EXPECT_NO_THROW(v.somaValoresLiquidos());
    v.quantidadeItens = -4;
    EXPECT_EQ(v.somaValorProduto().valor, 0);
}

TEST(ListaItens, PosicoesECapacidade) {
    ListaItens l;
    EXPECT_FALSE(l.existe(0));
    const ListaItens& c = l;
    EXPECT_EQ(c[3].regraCalculo, 'A');  // a position never asked for reads as defaults
    EXPECT_FALSE(l.existe(3));
    l[499].descricao = "ultimo";
    EXPECT_TRUE(l.existe(499));
    EXPECT_EQ(l[499].icms.cst, -1);
    EXPECT_THROW(l[500], std::invalid_argument);
    EXPECT_THROW(l[-1], std::invalid_argument);
    EXPECT_THROW(c[500], std::invalid_argument);
    try {
        l[501];
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "invalid position");
    }
    l.limpar();
    EXPECT_FALSE(l.existe(499));
}

TEST(NomesFiscais, MeioPagamento) {
    struct Caso {
        int codigo;
        const char* latin1;
        const char* utf8;
    } casos[] = {
        {3,
         "Cart\xE3o Cr\xE9"
         "dito",
         "Cart\xC3\xA3o Cr\xC3\xA9"
         "dito"},
        {4,
         "Cart\xE3o D\xE9"
         "bito",
         "Cart\xC3\xA3o D\xC3\xA9"
         "bito"},
        {13, "Vale Combust\xEDvel", "Vale Combust\xC3\xADvel"},
        {15, "Boleto Banc\xE1rio", "Boleto Banc\xC3\xA1rio"},
        {16, "Dep\xF3sito Banc\xE1rio", "Dep\xC3\xB3sito Banc\xC3\xA1rio"},
        {17, "Pagamento Instant\xE2neo (PIX) - Din\xE2mico", "Pagamento Instant\xC3\xA2neo (PIX) - Din\xC3\xA2mico"},
        {18, "Transfer\xEAncia banc\xE1ria, Carteira Digital",
         "Transfer\xC3\xAAncia banc\xC3\xA1ria, Carteira Digital"},
        {19,
         "Programa de fidelidade, Cashback, Cr\xE9"
         "dito Virtual",
         "Programa de fidelidade, Cashback, Cr\xC3\xA9"
         "dito Virtual"},
        {20, "Pagamento Instant\xE2neo (PIX) - Est\xE1tico", "Pagamento Instant\xC3\xA2neo (PIX) - Est\xC3\xA1tico"},
        {21,
         "Cr\xE9"
         "dito em Loja",
         "Cr\xC3\xA9"
         "dito em Loja"},
        {22, "Pagamento Eletr\xF4nico n\xE3o Informado - falha de hardware do sistema emissor",
         "Pagamento Eletr\xC3\xB4nico n\xC3\xA3o Informado - falha de hardware do sistema emissor"},
        {10, "Vale Alimenta\xE7\xE3o", "Vale Alimenta\xC3\xA7\xC3\xA3o"},
        {11, "Vale Refei\xE7\xE3o", "Vale Refei\xC3\xA7\xC3\xA3o"},
        {90, "Sem pagamento", "Sem pagamento"},
        {91, "", ""},
        {-1, "", ""},
        {99, "Outros", "Outros"},
        {0, "", ""},
        {14, "", ""},
        {23, "", ""},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.codigo);
        EXPECT_EQ(nomeMeioPagamento(c.codigo), c.latin1);
        EXPECT_EQ(nomeMeioPagamentoUTF8(c.codigo), c.utf8);
    }
}

TEST(NomesFiscais, SiglaUF) {
    EXPECT_EQ(siglaUF(35), "SP");
    EXPECT_EQ(siglaUF(53), "DF");
    EXPECT_EQ(siglaUF(43), "RS");
    EXPECT_EQ(siglaUF(99), "");
    EXPECT_EQ(siglaUF(34), "");
}

// A list reused for another document: emptied positions read as defaults again, and copies
// and moves carry exactly the items present.
TEST(ListaItens, ReusoCopiaEMovimento) {
    ListaItens l;
    l[0].descricao = "a";
    l[1].descricao = "b";
    l.limpar();
    EXPECT_FALSE(l.existe(1));
    const ListaItens& c = l;
    EXPECT_EQ(c[1].descricao, "");
    EXPECT_EQ(l[1].descricao, "");  // asked again: a fresh item, nothing of the old one
    l[1].icms.cst = 60;

    ListaItens copia(l);
    EXPECT_FALSE(copia.existe(0));
    EXPECT_EQ(copia[1].icms.cst, 60);
    ListaItens outra;
    outra[0].descricao = "x";
    outra = l;
    EXPECT_FALSE(outra.existe(0));
    EXPECT_EQ(static_cast<const ListaItens&>(outra)[0].descricao, "");

    ListaItens movida(std::move(copia));
    EXPECT_EQ(movida[1].icms.cst, 60);
    EXPECT_FALSE(copia.existe(1));  // NOLINT(bugprone-use-after-move): the moved-from list is empty
    EXPECT_EQ(static_cast<const ListaItens&>(copia)[1].icms.cst, -1);
    copia[1].descricao = "de novo";
    EXPECT_EQ(copia[1].descricao, "de novo");
}
