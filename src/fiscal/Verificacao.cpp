#include "fiscal/Verificacao.h"

#include <sstream>
#include <stdexcept>

#include "xml/XML.h"

namespace Ordal::DocumentoFiscal {

namespace {

[[noreturn]] void falhar(const std::ostringstream& m)
{
    throw std::runtime_error(m.str());
}

void verificar(const XML::Document& documento, const DadosVenda& venda, const Decimal2& valorTotal)
{
    // Item elements are only compared in a CF-e; an NFC-e finds nothing on this path.
    const XML::_Node* det = &documento.find("CFe/infCFe/det");

    Decimal2 liquidos = venda.somaValoresLiquidos();
    if (valorTotal != liquidos && !venda.rateioPendente()) {
        std::ostringstream m;
        m << "O valor do documento (" << valorTotal.toString()
          << ") n\xE3o confere com a somat\xF3ria dos valores l\xEDquidos do itens registrados (" << liquidos.toString() << ").\n";
        falhar(m);
    }

    venda.verificarCalculos();

    int n = venda.itensValidos();
    for (int i = 0; i < n && XML::exists(*det); ++i) {
        const ItemVenda& item = venda.itens[i];
        const XML::_Node& vProd = det->find("prod/vProd");
        if (XML::exists(vProd)) {
            Decimal2 v;
            vProd.readDecimal(v);
            if (v != DadosVenda::valorProdutoCalculado(item)) {
                std::ostringstream m;
                m << "Item " << (i + 1) << ": Valor do produto (vProd) n\xE3o confere: " << vProd.value() << '\n';
                falhar(m);
            }
        }
        const XML::_Node& vItem = det->find("prod/vItem");
        if (XML::exists(vItem)) {
            Decimal2 v;
            vItem.readDecimal(v);
            if (v != DadosVenda::valorLiquidoItem(item)) {
                std::ostringstream m;
                m << "Item " << (i + 1) << ": Valor l\xEDquido do item (vItem) n\xE3o confere: " << vItem.value() << '\n';
                falhar(m);
            }
        }
        det = &det->sibling(1);
    }
}

}  // namespace

void verificarDocumento(const XML::Document& documento, const CFe::CupomFiscalEletronico& venda)
{
    verificar(documento, venda, venda.valorTotal);
}

void verificarDocumento(const XML::Document& documento, const NFCe::NotaFiscalEletronicaSaida& venda)
{
    verificar(documento, venda, venda.valorTotal);
}

}  // namespace Ordal::DocumentoFiscal
