#include "fiscal/DocumentoFiscal.h"

#include <algorithm>
#include <stdexcept>

namespace Ordal::DocumentoFiscal {

// ---------------------------------------------------------------- ListaItens

ListaItens::ListaItens(const ListaItens& outra) { *this = outra; }

ListaItens& ListaItens::operator=(const ListaItens& outra) {
    if (this == &outra) return *this;
    for (size_t i = 0; i < itens_.size(); ++i) {
        if (outra.presentes_[i]) {
            if (itens_[i])
                *itens_[i] = *outra.itens_[i];
            else
                itens_[i] = std::make_unique<ItemVenda>(*outra.itens_[i]);
        }
    }
    presentes_ = outra.presentes_;
    return *this;
}

ListaItens::ListaItens(ListaItens&& outra) noexcept { *this = std::move(outra); }

ListaItens& ListaItens::operator=(ListaItens&& outra) noexcept {
    if (this == &outra) return *this;
    itens_ = std::move(outra.itens_);
    presentes_ = outra.presentes_;
    outra.presentes_.reset();
    return *this;
}

void ListaItens::verificarPosicao(int posicao) {
    if (posicao < 0 || posicao >= CAPACIDADE) throw std::invalid_argument("invalid position");
}

ItemVenda& ListaItens::operator[](int posicao) {
    verificarPosicao(posicao);
    const auto i = static_cast<size_t>(posicao);
    auto& item = itens_[i];
    if (!presentes_[i]) {
        if (item)
            *item = ItemVenda();
        else
            item = std::make_unique<ItemVenda>();
        presentes_[i] = true;
    }
    return *item;
}

const ItemVenda& ListaItens::operator[](int posicao) const {
    verificarPosicao(posicao);
    static const ItemVenda vazio;
    const auto i = static_cast<size_t>(posicao);
    return presentes_[i] ? *itens_[i] : vazio;
}

bool ListaItens::existe(int posicao) const {
    return posicao >= 0 && posicao < CAPACIDADE && presentes_[static_cast<size_t>(posicao)];
}

void ListaItens::limpar() { presentes_.reset(); }

// ---------------------------------------------------------------- derived values

int DadosVenda::itensValidos() const { return std::clamp(quantidadeItens, 0, ListaItens::CAPACIDADE); }

Decimal2 DadosVenda::valorProdutoCalculado(const ItemVenda& item) {
    // 10 + 4 decimals make 14; the product is taken in 128 bits so no quantity overflows it. A
    // price of at most 3 decimals (every CF-e) gives the same value as with 3 + 4 decimals.
    __int128 produto = static_cast<__int128>(precoUnitario(item).valor) * item.quantidade.valor;
    __int128 v = reescalar(produto, 12, item.regraCalculo);
    constexpr __int128 maximo = std::numeric_limits<long long>::max();
    constexpr __int128 minimo = std::numeric_limits<long long>::min();
    return Decimal2(static_cast<long long>(std::clamp(v, minimo, maximo)));
}

Decimal10 DadosVenda::precoUnitario(const ItemVenda& item) {
    // The document's price stands only when it agrees with the 3-decimal one read beside it: a
    // price too large for 10 decimals stops reading early and is told apart this way.
    constexpr long long fator = Decimal10::escala / Decimal3::escala;
    if (item.valorUnitarioDocumento.valor / fator == item.valorUnitario.valor) return item.valorUnitarioDocumento;
    long long v = 0;
    if (__builtin_mul_overflow(item.valorUnitario.valor, fator, &v)) v = std::numeric_limits<long long>::max();
    return Decimal10(v);
}

Decimal2 DadosVenda::acrescimosItem(const ItemVenda& item) { return item.outros + item.rateioAcrescimo; }

Decimal2 DadosVenda::descontosItem(const ItemVenda& item) { return item.desconto + item.rateioDesconto; }

Decimal2 DadosVenda::valorLiquidoItem(const ItemVenda& item) {
    return valorProdutoCalculado(item) + acrescimosItem(item) - descontosItem(item);
}

Decimal2 DadosVenda::valorLiquidoSemRateio(const ItemVenda& item) {
    return valorProdutoCalculado(item) + item.outros - item.desconto;
}

Decimal2 DadosVenda::valorBrutoComAcrescimos(const ItemVenda& item) {
    return valorProdutoCalculado(item) + acrescimosItem(item);
}

namespace {

template <typename F>
Decimal2 somar(const DadosVenda& venda, F valor) {
    Decimal2 soma;
    int n = venda.itensValidos();
    for (int i = 0; i < n; ++i) soma += valor(venda.itens[i]);
    return soma;
}

}  // namespace

Decimal2 DadosVenda::somaValoresLiquidos() const {
    return somar(*this, [](const ItemVenda& i) { return valorLiquidoItem(i); });
}

Decimal2 DadosVenda::somaValoresSemRateio() const {
    return somar(*this, [](const ItemVenda& i) { return valorLiquidoSemRateio(i); });
}

Decimal2 DadosVenda::totalComAjustesSubtotal() const {
    return somaValoresSemRateio() + acrescimoSubtotal - descontoSubtotal;
}

Decimal2 DadosVenda::somaTributos() const {
    return somar(*this, [](const ItemVenda& i) { return i.valorTributos; });
}

Decimal2 DadosVenda::somaValorProduto() const {
    return somar(*this, [](const ItemVenda& i) { return valorProdutoCalculado(i); });
}

Decimal2 DadosVenda::somaDescontos() const {
    return somar(*this, [](const ItemVenda& i) { return i.desconto; });
}

Decimal2 DadosVenda::somaOutros() const {
    return somar(*this, [](const ItemVenda& i) { return i.outros; });
}

Decimal2 DadosVenda::somaBrutaComAcrescimos() const {
    return somar(*this, [](const ItemVenda& i) { return valorBrutoComAcrescimos(i); });
}

int DadosVenda::quantidadePagamentos() const {
    int n = 0;
    while (n < MAX_PAGAMENTOS && !pagamentos[static_cast<size_t>(n)].valor.zero()) ++n;
    return n;
}

int DadosVenda::pagamentosImpressos() const {
    const int n = quantidadePagamentos();
    return n == 0 && pagamentos[0].codigo == 90 ? 1 : n;
}

Decimal2 DadosVenda::totalPagamentos() const {
    Decimal2 total;
    int n = quantidadePagamentos();
    for (int i = 0; i < n; ++i) total += pagamentos[static_cast<size_t>(i)].valor;
    return total;
}

Decimal2 DadosVenda::valorFaltante() const {
    Decimal2 v = totalComAjustesSubtotal() - totalPagamentos();
    return v.valor < 0 ? Decimal2() : v;
}

Decimal2 DadosVenda::valorTroco() const {
    Decimal2 v = totalPagamentos() - totalComAjustesSubtotal();
    return v.valor < 0 ? Decimal2() : v;
}

bool DadosVenda::rateioPendente() const {
    if (acrescimoSubtotal.zero() && descontoSubtotal.zero()) return false;
    return somaValoresLiquidos() == somaValoresSemRateio();
}

void DadosVenda::reiniciarVenda() {
    acrescimoSubtotal = Decimal2();
    descontoSubtotal = Decimal2();
    itens.limpar();
    quantidadeItens = 0;
    pagamentos.fill(MeioPagamento());
}

void DadosVendaDocumentoFiscalEletronico::reiniciarVendaEletronica() {
    reiniciarVenda();
    valorTributos = Decimal2();
    tributosInformados = false;
    totalICMS = TotalICMS();
    totalISSQN = TotalISSQN();
    troco = Decimal2();
}

// ---------------------------------------------------------------- names

namespace {

struct NomePagamento {
    int codigo;
    const char* latin1;
    const char* utf8;
};

constexpr NomePagamento NOMES_PAGAMENTO[] = {
    {1, "Dinheiro", "Dinheiro"},
    {2, "Cheque", "Cheque"},
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
    {5,
     "Cr\xE9"
     "dito Loja",
     "Cr\xC3\xA9"
     "dito Loja"},
    {10, "Vale Alimenta\xE7\xE3o", "Vale Alimenta\xC3\xA7\xC3\xA3o"},
    {11, "Vale Refei\xE7\xE3o", "Vale Refei\xC3\xA7\xC3\xA3o"},
    {12, "Vale Presente", "Vale Presente"},
    {13, "Vale Combust\xEDvel", "Vale Combust\xC3\xADvel"},
    // Codes 15 to 22 and 90 carry the names of the current national payment table.
    {15, "Boleto Banc\xE1rio", "Boleto Banc\xC3\xA1rio"},
    {16, "Dep\xF3sito Banc\xE1rio", "Dep\xC3\xB3sito Banc\xC3\xA1rio"},
    {17, "Pagamento Instant\xE2neo (PIX) - Din\xE2mico", "Pagamento Instant\xC3\xA2neo (PIX) - Din\xC3\xA2mico"},
    {18, "Transfer\xEAncia banc\xE1ria, Carteira Digital", "Transfer\xC3\xAAncia banc\xC3\xA1ria, Carteira Digital"},
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
    {90, "Sem pagamento", "Sem pagamento"},
    {99, "Outros", "Outros"},
};

const NomePagamento* procurarPagamento(int codigo) {
    for (const auto& n : NOMES_PAGAMENTO)
        if (n.codigo == codigo) return &n;
    return nullptr;
}

}  // namespace

std::string nomeMeioPagamento(int codigo) {
    const NomePagamento* n = procurarPagamento(codigo);
    return n ? n->latin1 : "";
}

std::string nomeMeioPagamentoUTF8(int codigo) {
    const NomePagamento* n = procurarPagamento(codigo);
    return n ? n->utf8 : "";
}

std::string nomeMeioPagamento(const MeioPagamento& pagamento) {
    if (pagamento.codigo == 99 && !pagamento.descricao.empty()) return pagamento.descricao;
    return nomeMeioPagamento(pagamento.codigo);
}

std::string siglaUF(int codigoUF) {
    switch (codigoUF) {
    case 11: return "RO";
    case 12: return "AC";
    case 13: return "AM";
    case 14: return "RR";
    case 15: return "PA";
    case 16: return "AP";
    case 17: return "TO";
    case 21: return "MA";
    case 22: return "PI";
    case 23: return "CE";
    case 24: return "RN";
    case 25: return "PB";
    case 26: return "PE";
    case 27: return "AL";
    case 28: return "SE";
    case 29: return "BA";
    case 31: return "MG";
    case 32: return "ES";
    case 33: return "RJ";
    case 35: return "SP";
    case 41: return "PR";
    case 42: return "SC";
    case 43: return "RS";
    case 50: return "MS";
    case 51: return "MT";
    case 52: return "GO";
    case 53: return "DF";
    default: return "";
    }
}

}  // namespace Ordal::DocumentoFiscal
