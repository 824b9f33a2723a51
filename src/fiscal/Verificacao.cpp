#include "fiscal/Verificacao.h"

#include <sstream>
#include <stdexcept>

#include "fiscal/LeituraXML.h"
#include "xml/XML.h"

namespace Ordal::DocumentoFiscal {

namespace {

[[noreturn]] void falhar(const std::ostringstream& m) { throw std::runtime_error(m.str()); }

[[noreturn]] void falharTotal(const Decimal2& valorTotal, const Decimal2& soma) {
    std::ostringstream m;
    m << "O valor do documento (" << valorTotal.toString()
      << ") n\xE3o confere com a somat\xF3ria dos valores l\xEDquidos do itens registrados (" << soma.toString()
      << ").\n";
    falhar(m);
}

[[noreturn]] void falharValorProduto(int posicao, const XML::_Node& vProd) {
    std::ostringstream m;
    m << "Item " << (posicao + 1) << ": Valor do produto (vProd) n\xE3o confere: " << vProd.value() << '\n';
    falhar(m);
}

// The CF-e: the SAT unit works the values out itself, so they must agree exactly.
void verificar(const XML::Document& documento, const DadosVenda& venda, const Decimal2& valorTotal) {
    const XML::_Node* det = &documento.find("CFe/infCFe/det");

    Decimal2 liquidos = venda.somaValoresLiquidos();
    if (valorTotal != liquidos && !venda.rateioPendente()) falharTotal(valorTotal, liquidos);

    venda.verificarCalculos();

    int n = venda.itensValidos();
    for (int i = 0; i < n && XML::exists(*det); ++i) {
        const ItemVenda& item = venda.itens[i];
        const XML::_Node& vProd = det->find("prod/vProd");
        if (XML::exists(vProd)) {
            Decimal2 v;
            vProd.readDecimal(v);
            if (v != DadosVenda::valorProdutoCalculado(item)) falharValorProduto(i, vProd);
        }
        const XML::_Node& vItem = det->find("prod/vItem");
        if (XML::exists(vItem)) {
            Decimal2 v;
            vItem.readDecimal(v);
            if (v != DadosVenda::valorLiquidoItem(item)) {
                std::ostringstream m;
                m << "Item " << (i + 1) << ": Valor l\xEDquido do item (vItem) n\xE3o confere: " << vItem.value()
                  << '\n';
                falhar(m);
            }
        }
        det = &Leitura::proximoNaSequencia(*det);
    }
}

// Largest difference the authority accepts between an NFC-e item's value and quantity times unit
// price: one cent, with the 4 + 10 decimals of that product.
constexpr __int128 kToleranciaItem = 1'000'000'000'000;  // 0.01 with 14 decimals

// The NFC-e by the authority's own rules: each item's vProd within one cent of qCom x vUnCom (the
// unit price with all its decimals, up to 10), and vNF equal to the items' values less their
// discounts plus their freight, insurance and other charges.
void verificarNFCe(const XML::Document& documento, const NFCe::NotaFiscalEletronicaSaida& venda) {
    const int n = venda.itensValidos();
    Decimal2 soma;
    for (int i = 0; i < n; ++i) {
        const ItemVenda& item = venda.itens[i];
        soma += venda.valoresProduto[static_cast<size_t>(i)] - item.desconto + item.frete + item.seguro + item.outros;
    }
    if (venda.valorTotal != soma) falharTotal(venda.valorTotal, soma);

    venda.verificarCalculos();

    const XML::_Node* det = &documento.findAny("nfeProc/NFe/infNFe", "NFe/infNFe").find("det");
    for (int i = 0; i < n && XML::exists(*det); ++i) {
        const XML::_Node& vProd = det->find("prod/vProd");
        if (XML::exists(vProd)) {
            const ItemVenda& item = venda.itens[i];
            Decimal2 v;
            vProd.readDecimal(v);
            constexpr __int128 escala = Decimal10::escala * Decimal4::escala / Decimal2::escala;
            const __int128 calculado =
                static_cast<__int128>(DadosVenda::precoUnitario(item).valor) * item.quantidade.valor;
            __int128 diferenca = static_cast<__int128>(v.valor) * escala - calculado;
            if (diferenca < 0) diferenca = -diferenca;
            if (diferenca > kToleranciaItem) falharValorProduto(i, vProd);
        }
        det = &Leitura::proximoNaSequencia(*det);
    }
}

}  // namespace

void verificarDocumento(const XML::Document& documento, const CFe::CupomFiscalEletronico& venda) {
    verificar(documento, venda, venda.valorTotal);
}

void verificarDocumento(const XML::Document& documento, const NFCe::NotaFiscalEletronicaSaida& venda) {
    verificarNFCe(documento, venda);
}

}  // namespace Ordal::DocumentoFiscal
