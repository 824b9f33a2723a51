// Data model shared by the CF-e SAT and NFC-e documents: issuer, customer, items, payments,
// totals and the values derived from them. Strings are Latin-1 bytes.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "fiscal/Acumulador.h"

namespace XML {
class Document;
}

namespace Ordal::DocumentoFiscal {

struct Endereco {
    std::string logradouro;   // xLgr
    std::string numero;       // nro
    std::string complemento;  // xCpl
    std::string bairro;       // xBairro
    std::string municipio;    // xMun
    std::string uf;           // UF
    std::string cep;          // CEP
};

struct Emitente {
    std::string razaoSocial;
    std::string nomeFantasia;
    std::string cnpj;
    std::string cpf;  // an individual issuer (NFC-e) has a CPF instead of a CNPJ
    std::string inscricaoEstadual;
    std::string inscricaoMunicipal;
    Endereco endereco;
    int regimeTributario = 0;
    int regimeTributarioISSQN = 0;
    char rateioISSQN = 0;  // 'S', 'N' or 0 when not given
};

struct Destinatario {
    std::string nome;
    std::string cpf;
    std::string cnpj;
    Endereco enderecoEntrega;
};

struct DadosDocumentoFiscal {
    Emitente emitente;
    Destinatario destinatario;
    std::string dataEmissao;  // AAAAMMDD
    std::string horaEmissao;  // HHMMSS
    Decimal2 valorTotal;
    std::string informacoesComplementares;
};

struct Assinatura {
    std::string uri;
    std::string digestValue;
    std::string signatureValue;
    std::string certificado;
};

struct ObservacaoFisco {
    std::string campo;
    std::string texto;
};

constexpr int MAX_OBSERVACOES_FISCO = 10;

struct DadosDocumentoFiscalEletronico : DadosDocumentoFiscal {
    Assinatura assinatura;
    std::string chaveAcesso;  // Id attribute as written, prefix included
    std::string modelo;
    std::string serie;
    std::string numeroDocumento;
    int tipoAmbiente = 0;
    std::string assinaturaQRCODE;
    std::string codigoNumerico;
    int codigoUF = 0;
    std::string versaoXML = "1.0";
    std::string codificacaoXML = "utf-8";
    std::array<ObservacaoFisco, MAX_OBSERVACOES_FISCO> observacoesFisco;
};

struct ImpostoICMS {
    char origem = 0;
    int cst = -1;  // CST or CSOSN
    DecimalInt2 aliquota;
    Decimal2 valor;
};

struct ImpostoPISCOFINS {
    int cst = -1;
    Decimal2 baseCalculo;
    Decimal4 aliquota;
    Decimal4 quantidadeVendida;
    Decimal4 aliquotaValor;
    Decimal2 valor;
};

struct ImpostoISSQN {
    Decimal2 deducao;
    Decimal2 baseCalculo;
    DecimalInt2 aliquota;
    Decimal2 valor;
    std::string municipioFatoGerador;
    std::string itemListaServico;
    std::string codigoServicoMunicipio;
    int naturezaOperacao = 0;
    char incentivoFiscal = 0;
};

struct ItemVenda {
    std::string codigo;        // cProd
    std::string codigoBarras;  // cEAN
    std::string descricao;     // xProd
    std::string unidade;       // uCom
    std::string ncm;
    std::string cest;
    std::string cfop;
    Decimal4 quantidade;     // qCom
    Decimal3 valorUnitario;  // vUnCom
    // vUnCom with every decimal the document gives (NFC-e: up to 10).
    Decimal10 valorUnitarioDocumento;
    char regraCalculo = 'A';   // 'A' rounding, 'T' truncation
    Decimal2 desconto;         // vDesc
    Decimal2 outros;           // vOutro
    Decimal2 rateioDesconto;   // vRatDesc
    Decimal2 rateioAcrescimo;  // vRatAcr
    Decimal2 frete;            // vFrete (NFC-e)
    Decimal2 seguro;           // vSeg (NFC-e)
    int numeroItem = 0;        // nItem
    ImpostoICMS icms;
    ImpostoPISCOFINS pis;
    ImpostoPISCOFINS pisST;
    ImpostoPISCOFINS cofins;
    ImpostoPISCOFINS cofinsST;
    ImpostoISSQN issqn;
    Decimal2 valorTributos;           // vItem12741
    std::string informacaoAdicional;  // infAdProd
};

// Items of a sale by position. A position's item is created the first time it is asked for;
// positions beyond the capacity throw std::invalid_argument("invalid position").
class ListaItens {
public:
    static constexpr int CAPACIDADE = 500;

    ListaItens() = default;
    ListaItens(const ListaItens& outra);
    ListaItens& operator=(const ListaItens& outra);
    ListaItens(ListaItens&& outra) noexcept;
    ListaItens& operator=(ListaItens&& outra) noexcept;

    ItemVenda& operator[](int posicao);
    // A position never asked for reads as an item with default values.
    const ItemVenda& operator[](int posicao) const;
    bool existe(int posicao) const;
    // Drops every item.
    void limpar();

private:
    static void verificarPosicao(int posicao);
    // Items dropped by limpar keep their memory for the next document; presentes_ tells which
    // positions hold an item.
    std::array<std::unique_ptr<ItemVenda>, CAPACIDADE> itens_;
    std::bitset<CAPACIDADE> presentes_;
};

struct MeioPagamento {
    MeioPagamento() = default;
    MeioPagamento(int codigo_, Decimal2 valor_, int credenciadora_ = 0)
        : codigo(codigo_), valor(valor_), credenciadora(credenciadora_) {}

    int codigo = 0;
    Decimal2 valor;
    int credenciadora = 0;  // CF-e cAdmC
    // NFC-e 4.00 card group (detPag/card); empty or 0 when the payment carries none.
    std::string cnpjCredenciadora;  // card/CNPJ
    int bandeira = 0;               // card/tBand
    std::string autorizacao;        // card/cAut
    // NFC-e detPag/xPag: what the issuer calls a payment of code 99.
    std::string descricao;
};

constexpr int MAX_PAGAMENTOS = 10;

// The payment codes a reader accepts; any other code leaves the entry's code at 0.
constexpr bool codigoPagamentoValido(int codigo) {
    return (codigo >= 1 && codigo <= 5) || (codigo >= 10 && codigo <= 99);
}

class DadosVenda {
public:
    DadosVenda() = default;
    DadosVenda(const DadosVenda&) = default;
    DadosVenda& operator=(const DadosVenda&) = default;
    virtual ~DadosVenda() = default;

    // Item-level checks on the model alone; throws std::runtime_error on the first mismatch
    // (VerificacaoVenda.cpp).
    virtual void verificarCalculos() const;

    Decimal2 acrescimoSubtotal;
    Decimal2 descontoSubtotal;
    ListaItens itens;
    int quantidadeItens = 0;
    std::array<MeioPagamento, MAX_PAGAMENTOS> pagamentos;

    // quantidadeItens limited to what the list can hold, so loops never leave it.
    int itensValidos() const;

    static Decimal2 valorProdutoCalculado(const ItemVenda& item);
    static Decimal2 acrescimosItem(const ItemVenda& item);
    static Decimal2 descontosItem(const ItemVenda& item);
    static Decimal2 valorLiquidoItem(const ItemVenda& item);
    static Decimal2 valorLiquidoSemRateio(const ItemVenda& item);
    static Decimal2 valorBrutoComAcrescimos(const ItemVenda& item);
    // The unit price with 10 decimals: the document's own when it was read whole, else valorUnitario.
    static Decimal10 precoUnitario(const ItemVenda& item);

    Decimal2 valorProdutoCalculado(int posicao) const { return valorProdutoCalculado(itens[posicao]); }
    Decimal2 valorLiquidoItem(int posicao) const { return valorLiquidoItem(itens[posicao]); }

    Decimal2 somaValoresLiquidos() const;
    Decimal2 somaValoresSemRateio() const;
    Decimal2 totalComAjustesSubtotal() const;
    Decimal2 somaTributos() const;
    Decimal2 somaValorProduto() const;
    Decimal2 somaDescontos() const;
    Decimal2 somaOutros() const;
    Decimal2 somaBrutaComAcrescimos() const;
    int quantidadePagamentos() const;
    // The payments a printout lists: quantidadePagamentos, or the one entry of a sale without
    // payment (code 90, whose amount is zero).
    int pagamentosImpressos() const;
    Decimal2 totalPagamentos() const;
    Decimal2 valorFaltante() const;
    Decimal2 valorTroco() const;
    bool rateioPendente() const;

protected:
    void reiniciarVenda();
};

struct TotalICMS {
    Decimal2 vICMS, vProd, vDesc, vPIS, vCOFINS, vPISST, vCOFINSST, vOutro;
};

struct TotalISSQN {
    Decimal2 vBC, vISS, vPIS, vCOFINS, vPISST, vCOFINSST;
};

class DadosVendaDocumentoFiscalEletronico : public DadosVenda {
public:
    Decimal2 valorTributos;
    // The document carried its total of approximate taxes (CF-e vCFeLei12741, NFC-e vTotTrib);
    // without it valorTributos stays 0.
    bool tributosInformados = false;
    TotalICMS totalICMS;
    TotalISSQN totalISSQN;
    Decimal2 troco;

protected:
    void reiniciarVendaEletronica();
};

// Reading a document from XML text or from a file (InterfaceXML.cpp); every document class
// implements interpretarXML on the parsed tree.
class InterfaceXML {
public:
    virtual ~InterfaceXML() = default;
    virtual bool lerArquivoXML(const std::string& caminho, XML::Document* documento = nullptr);
    virtual bool lerXML(const std::string& texto, XML::Document* documento = nullptr);
    virtual bool interpretarXML(const XML::Document& documento) = 0;

    // The byte of the last text read at which the XML parser gave up (the document holds only
    // what came before it); empty when the parser followed the text to its end.
    std::optional<std::size_t> paradaXML() const { return paradaXML_; }

private:
    std::optional<std::size_t> paradaXML_;
};

// Payment-method names: Latin-1 for the NFC-e printout, UTF-8 for the CF-e printout.
// Codes without a name give the empty string.
std::string nomeMeioPagamento(int codigo);
std::string nomeMeioPagamentoUTF8(int codigo);
// The name printed for a payment: for code 99 the document's own description when it has one.
std::string nomeMeioPagamento(const MeioPagamento& pagamento);

// Two-letter state abbreviation of an IBGE state code; empty for unknown codes.
std::string siglaUF(int codigoUF);

}  // namespace Ordal::DocumentoFiscal
