#include "fiscalprint/ImpressaoCFe.h"

#include <algorithm>
#include <stdexcept>

#include "config/TextosConsulta.h"
#include "fiscal/Verificacao.h"
#include "printer/QRCodeRaster.h"
#include "xml/XML.h"

namespace Ordal::CFe {

using DocumentoFiscal::aparar;
using DocumentoFiscal::Decimal2;
using DocumentoFiscal::ModeloDocumento;
using DocumentoFiscal::ParametrosImpressao;
using DocumentoFiscal::substituirTodos;

namespace {

const char* const kEletronico = "CUPOM FISCAL ELETR\xD4NICO";

// A sign before an amount. Built by appending: GCC 12 takes the insert that `"-" + temporary` makes
// for an overlapping copy and warns (-Wrestrict).
std::string comSinal(char sinal, const std::string& valor) {
    std::string texto(1, sinal);
    return texto.append(valor);
}

}  // namespace

// ---------------------------------------------------------------- shared by both printouts

ImpressaoCFe::ImpressaoCFe(const DadosCupomFiscalEletronico* cupom, const ModeloDocumento& modelo,
                           const ParametrosImpressao& parametros)
    : ImpressaoDocumento(modelo, parametros), cupom_(cupom) {
    if (!cupom_) throw std::invalid_argument("ImpressaoCFe sem documento");
}

void ImpressaoCFe::imprimirChaveAcesso(const std::string& chave) {
    if (chave.size() != 47) return;
    const std::string digitos = chave.substr(3);
    ImpressaoDocumento::imprimirChaveAcesso(digitos);
    imprimirCodigoBarrasChave(digitos);
}

std::string ImpressaoCFe::documentoConsumidor() const {
    return cupom_->destinatario.cnpj.empty() ? cupom_->destinatario.cpf : cupom_->destinatario.cnpj;
}

bool ImpressaoCFe::emTeste() const { return cupom_->tipoAmbiente == 2; }

std::string ImpressaoCFe::numeroExtrato() const { return emTeste() ? "000000" : cupom_->numeroDocumento; }

std::string ImpressaoCFe::montarQRCode(const std::string& chave, const std::string& data,
                                       const std::string& hora) const {
    std::string texto = chave.size() > 3 ? chave.substr(3) : std::string();
    texto += '|';
    texto += data + hora;
    texto += '|';
    texto += cupom_->valorTotal.toString();
    texto += '|';
    texto += documentoConsumidor();
    texto += '|';
    texto += cupom_->assinaturaQRCODE;
    return texto;
}

std::string ImpressaoCFe::conteudoQRCode() const {
    return montarQRCode(cupom_->chaveAcesso, cupom_->dataEmissao, cupom_->horaEmissao);
}

void ImpressaoCFe::imprimirSimboloQRCode(const std::string& texto) {
    Printer::ParametrosQRCode p;
    p.dados = texto;
    p.tamanhoModulo = 1;
    p.nivelCorrecao = 0;  // L
    const Printer::Raster modulos = Printer::gerarRasterQRCode(p);
    // An encoder failure leaves the symbol out; the rest of the document still prints.
    if (modulos.vazio()) return;
    const int lado = std::min(milimetrosParaPontos(40), impressora().larguraPontos());
    if (lado <= 0) return;
    const Printer::Raster simbolo = Printer::redimensionarRaster(modulos, lado, lado);
    encerrarLinha();
    avancarPontos(milimetrosParaPontos(5));
    impressora().imprimirRaster(0, simbolo, 1);
    avancarPontos(milimetrosParaPontos(5));
}

void ImpressaoCFe::imprimirTitulo() {
    selecionarFonteNumero(fonteTitulo);
    const bool negrito = fonteTitulo == fonte;
    if (negrito) impressora().selecionarNegrito(true);
    impressora().selecionarAlinhamento(1);
    imprimirTextoQuebrado("Extrato N\xBA: " + numeroExtrato() + "\n");
    imprimirCampo(titulo[0], OMITIR_VAZIO);
    imprimirCampo(titulo[1], ENCERRAR, " - ");
    if (negrito) impressora().selecionarNegrito(false);
    impressora().selecionarAlinhamento(0);
    selecionarFonteCorpo();
}

void ImpressaoCFe::imprimirBannerTeste() {
    if (!emTeste()) return;
    avancarMeiaLinha();
    impressora().selecionarAlinhamento(1);
    impressora().dobrarLargura();
    impressora().selecionarNegrito(true);
    imprimirTextoQuebrado("= TESTE =\n");
    impressora().selecionarNegrito(false);
    impressora().reduzirLargura();
    const std::string setas(static_cast<size_t>(std::max(colunasImpressora(), 0)), '>');
    for (int i = 0; i < 3; ++i) imprimirCampo(setas, ENCERRAR);
}

void ImpressaoCFe::imprimirConsumidorCFe(const DocumentoFiscal::Destinatario& d) {
    if (d.nome.empty() && d.cpf.empty() && d.cnpj.empty()) return;
    impressora().selecionarAlinhamento(0);
    if (!d.cpf.empty())
        imprimirCampo(DocumentoFiscal::CPF(d.cpf), OMITIR_VAZIO | ENCERRAR, "", "CPF/CNPJ: ");
    else
        imprimirCampo(DocumentoFiscal::CNPJ(d.cnpj), OMITIR_VAZIO | ENCERRAR, "", "CPF/CNPJ: ");
    imprimirCampo(d.nome, OMITIR_VAZIO | ENCERRAR, "", "Raz\xE3o Social/Nome: ");
    imprimirSeparador();
}

void ImpressaoCFe::imprimirNumeroSATData(const std::string& data, const std::string& hora) {
    encerrarLinha();
    impressora().selecionarAlinhamento(1);
    if (!cupom_->numeroSerieSAT.empty()) {
        escreverTexto("SAT N\xBA: ");
        impressora().selecionarNegrito(true);
        imprimirTextoQuebrado(SAT::NumeroSerie(cupom_->numeroSerieSAT).formatado() + "\n");
        impressora().selecionarNegrito(false);
    }
    if (!data.empty() && !hora.empty())
        imprimirTextoQuebrado(DocumentoFiscal::Data(data).formatado() + " " +
                              DocumentoFiscal::Horario(hora).formatado() + "\n");
}

void ImpressaoCFe::imprimirTextoFinal() {
    const std::string aplicativo = DocumentoFiscal::textosConsulta().aplicativoConsulta;
    imprimirTextoQuebrado("Consulte o QR Code pelo aplicativo ");
    imprimirCampo("\"" + aplicativo + "\",", NOVA_LINHA_VALOR, " ");
    imprimirTextoQuebrado(" dispon\xEDvel na AppStore (Apple) e PlayStore (Android)\n");
}

void ImpressaoCFe::imprimirCorte() {
    encerrarLinha();
    impressora().selecionarAlinhamento(0);
    if (!(opcoesLeiaute & SEM_CORTE)) impressora().acionarGuilhotina(9);
}

// ---------------------------------------------------------------- sale

const ModeloDocumento& ImpressaoCFeSaida::modelo() {
    static const ModeloDocumento m{{kEletronico, "SAT"}, 0x6D, {}};
    return m;
}

ImpressaoCFeSaida::ImpressaoCFeSaida(CupomFiscalEletronico* documento, const ModeloDocumento& modelo,
                                     const ParametrosImpressao& parametros)
    : ImpressaoCFe(documento, modelo, parametros), venda_(documento) {}

ImpressaoCFeSaida::ImpressaoCFeSaida(Printer::Driver& driver, const ParametrosImpressao& parametros)
    : ImpressaoCFeSaida(std::make_unique<CupomFiscalEletronico>(), driver, parametros) {}

ImpressaoCFeSaida::ImpressaoCFeSaida(std::unique_ptr<CupomFiscalEletronico> documento, Printer::Driver& driver,
                                     const ParametrosImpressao& parametros)
    : ImpressaoCFe(documento.get(), modelo(), comDriver(driver, parametros)),
      venda_(documento.get()),
      proprio_(std::move(documento)) {}

Decimal2 ImpressaoCFeSaida::valorItem(int posicao) const {
    if (posicao < 0 || posicao >= static_cast<int>(venda_->valoresProduto.size())) return {};
    return venda_->valoresProduto[static_cast<size_t>(posicao)];
}

Decimal2 ImpressaoCFeSaida::valorTotal() const { return venda_->valorTotal; }

Decimal2 ImpressaoCFeSaida::valorAntesAjustes() const {
    return venda_->valorTotal + venda_->descontoSubtotal - venda_->acrescimoSubtotal;
}

void ImpressaoCFeSaida::imprimirXML(const std::string& texto) {
    XML::Document arvore;
    venda_->lerXML(texto, &arvore);
    if (opcoesLeiaute & VERIFICAR_CALCULOS) DocumentoFiscal::verificarDocumento(arvore, *venda_);
    ImprimirDocumento();
}

void ImpressaoCFeSaida::imprimirCabecalhoItens() {
    impressora().selecionarAlinhamento(0);
    imprimirTextoQuebrado("#|COD|DESC|QTD|UN|VL UN " + simboloMoeda);
    const std::string direita =
        (opcoes & TRIBUTOS) ? "(VL TR " + simboloMoeda + ")*|VL ITEM " + simboloMoeda : "VL ITEM " + simboloMoeda;
    imprimirCampo(direita, DIREITA | NOVA_LINHA_VALOR | ENCERRAR, " ");
}

void ImpressaoCFeSaida::imprimirTotais() {
    const CupomFiscalEletronico& v = *venda_;
    Decimal2 acrescimos, descontos, bruto;
    const int n = v.itensValidos();
    for (int i = 0; i < n; ++i) {
        acrescimos += v.itens[i].outros;
        descontos += v.itens[i].desconto;
        bruto += valorItem(i);
    }
    if (!(acrescimos.zero() && descontos.zero() && v.descontoSubtotal.zero() && v.acrescimoSubtotal.zero())) {
        imprimirSeparadorValores();
        imprimirRotuloValor("Total bruto de itens ", bruto);
        if (!acrescimos.zero() || !descontos.zero()) {
            encerrarLinha();
            imprimirCampo("Total acr\xE9scimos/descontos sobre item ", OMITIR_VAZIO);
            imprimirCampo(formatarValor(acrescimos - descontos), DIREITA | NOVA_LINHA_VALOR | ENCERRAR, " ");
        }
        if (!v.descontoSubtotal.zero())
            imprimirRotuloValor("Desconto sobre subtotal", comSinal('-', formatarValor(v.descontoSubtotal)));
        if (!v.acrescimoSubtotal.zero())
            imprimirRotuloValor("Acr\xE9scimo sobre subtotal ", comSinal('+', formatarValor(v.acrescimoSubtotal)));
    }
    imprimirSeparadorValores();
    imprimirTotal();
    const int pagamentos = v.pagamentosImpressos();
    for (int i = 0; i < pagamentos; ++i) {
        const DocumentoFiscal::MeioPagamento& p = v.pagamentos[static_cast<size_t>(i)];
        imprimirRotuloValor(DocumentoFiscal::nomeMeioPagamento(p), p.valor);
    }
    if (pagamentos > 0) imprimirTroco(v.troco);
}

void ImpressaoCFeSaida::imprimirObservacoesFisco() {
    bool primeira = true;
    for (const DocumentoFiscal::ObservacaoFisco& o : venda_->observacoesFisco) {
        if (o.campo == "xCampo1" || o.texto == "xTexto1" || aparar(o.texto).empty()) continue;
        if (primeira) {
            encerrarLinha();
            avancarMeiaLinha();
            primeira = false;
        }
        imprimirCampo(o.campo, OMITIR_VAZIO);
        imprimirCampo(o.texto, OMITIR_VAZIO | ENCERRAR, " ");
    }
}

bool ImpressaoCFeSaida::imprimirObservacoesContribuinte() {
    std::string texto = aparar(venda_->informacoesComplementares);
    if (texto.empty()) return false;
    encerrarLinha();
    impressora().selecionarAlinhamento(1);
    imprimirTextoQuebrado(
        "OBSERVA\xC7\xD5"
        "ES DO CONTRIBUINTE");
    encerrarLinha();
    impressora().selecionarAlinhamento(0);
    texto = substituirTodos(std::move(texto), "<br/>", "\n");
    texto = substituirTodos(std::move(texto), "<br />", "\n");
    if (opcoesLeiaute & PIPE_NOVA_LINHA) texto = substituirTodos(std::move(texto), "|", "\n");
    imprimirTextoQuebrado(texto);
    encerrarLinha();
    avancarMeiaLinha();
    return true;
}

bool ImpressaoCFeSaida::imprimirRodapeTributos() {
    if (!(opcoes & TRIBUTOS) || (opcoesLeiaute & SEM_RODAPE_TRIBUTOS)) return false;
    encerrarLinha();
    impressora().selecionarAlinhamento(0);
    imprimirTextoQuebrado("*Valor aproximado dos tributos do item.\n");
    avancarMeiaLinha();
    imprimirCampo("Valor aproximado dos tributos deste cupom", OMITIR_VAZIO);
    // SAT units of some states write the items' approximate taxes but no document total of them.
    const bool total = venda_->tributosInformados || !venda_->valorTributos.zero();
    const Decimal2 tributos = total ? venda_->valorTributos : venda_->somaTributos();
    imprimirCampo("(conforme Lei Fed. 12.741/2012) " + simboloMoeda + " " + formatarValor(tributos),
                  NOVA_LINHA_SE_CABE | ENCERRAR, " ");
    return true;
}

void ImpressaoCFeSaida::ImprimirDocumento() {
    CupomFiscalEletronico& v = *venda_;
    // The item list holds 500 positions: refuse a larger document before any of it is printed.
    if (v.quantidadeItens > DocumentoFiscal::ListaItens::CAPACIDADE) throw std::invalid_argument("invalid position");

    if (!v.somaTributos().zero() || !v.valorTributos.zero())
        opcoes |= TRIBUTOS;
    else
        opcoes &= ~static_cast<uint32_t>(TRIBUTOS);

    imprimirCabecalho(v.emitente, *this);
    imprimirSeparador();
    imprimirTitulo();
    imprimirBannerTeste();
    imprimirSeparador();
    imprimirConsumidorCFe(v.destinatario);

    imprimirCabecalhoItens();
    imprimirSeparador();
    imprimirItens(v);
    imprimirTotais();

    imprimirObservacoesFisco();
    imprimirSeparador();
    if (!v.destinatario.enderecoEntrega.logradouro.empty()) {
        impressora().selecionarAlinhamento(1);
        imprimirEndereco(v.destinatario.enderecoEntrega);
        imprimirSeparador();
    }
    const bool observacoes = imprimirObservacoesContribuinte();
    const bool rodape = imprimirRodapeTributos();
    if (observacoes || rodape) imprimirSeparador();

    imprimirNumeroSATData(v.dataEmissao, v.horaEmissao);
    avancarMeiaLinha();
    imprimirChaveAcesso(v.chaveAcesso);
    imprimirSimboloQRCode(conteudoQRCode());
    imprimirTextoFinal();
    imprimirCorte();
}

// ---------------------------------------------------------------- cancellation

const ModeloDocumento& ImpressaoCFeCanc::modelo() {
    static const ModeloDocumento m{{kEletronico, "SAT CANCELAMENTO"}, 0, {}};
    return m;
}

ImpressaoCFeCanc::ImpressaoCFeCanc(CupomCancelamento* documento, const ModeloDocumento& modelo,
                                   const ParametrosImpressao& parametros)
    : ImpressaoCFe(documento, modelo, parametros), cancelamento_(documento) {}

ImpressaoCFeCanc::ImpressaoCFeCanc(Printer::Driver& driver, const ParametrosImpressao& parametros)
    : ImpressaoCFeCanc(std::make_unique<CupomCancelamento>(), driver, parametros) {}

ImpressaoCFeCanc::ImpressaoCFeCanc(std::unique_ptr<CupomCancelamento> documento, Printer::Driver& driver,
                                   const ParametrosImpressao& parametros)
    : ImpressaoCFe(documento.get(), modelo(), comDriver(driver, parametros)),
      cancelamento_(documento.get()),
      proprio_(std::move(documento)) {}

void ImpressaoCFeCanc::imprimirXML(const std::string& texto) {
    cancelamento_->lerXML(texto);
    ImprimirDocumento();
}

std::string ImpressaoCFeCanc::conteudoQRCodeCancelado() const {
    return montarQRCode(cancelamento_->chaveCancelada, cancelamento_->dataEmissaoOriginal,
                        cancelamento_->horaEmissaoOriginal);
}

void ImpressaoCFeCanc::ImprimirDocumento() {
    const CupomCancelamento& c = *cancelamento_;
    imprimirCabecalho(c.emitente, *this);
    imprimirSeparador();
    imprimirTitulo();
    imprimirBannerTeste();
    imprimirSeparador();

    impressora().selecionarAlinhamento(1);
    impressora().selecionarNegrito(true);
    imprimirTextoQuebrado("DADOS DO CUPOM FISCAL ELETR\xD4NICO CANCELADO\n");
    impressora().selecionarNegrito(false);
    avancarMeiaLinha();
    imprimirConsumidorCFe(c.destinatario);

    impressora().selecionarAlinhamento(0);
    impressora().selecionarNegrito(true);
    imprimirRotuloValor("TOTAL", simboloMoeda + " " + formatarValor(c.valorTotal));
    impressora().selecionarNegrito(false);
    avancarMeiaLinha();

    imprimirNumeroSATData(c.dataEmissaoOriginal, c.horaEmissaoOriginal);
    avancarMeiaLinha();
    imprimirChaveAcesso(c.chaveCancelada);
    imprimirSimboloQRCode(conteudoQRCodeCancelado());

    imprimirSeparador();
    impressora().selecionarAlinhamento(1);
    impressora().selecionarNegrito(true);
    imprimirTextoQuebrado("DADOS DO CUPOM FISCAL ELETR\xD4NICO DE CANCELAMENTO\n");
    impressora().selecionarNegrito(false);
    avancarMeiaLinha();
    imprimirNumeroSATData(c.dataEmissao, c.horaEmissao);
    avancarMeiaLinha();
    imprimirChaveAcesso(c.chaveAcesso);
    imprimirSimboloQRCode(conteudoQRCode());

    imprimirTextoFinal();
    imprimirCorte();
}

}  // namespace Ordal::CFe
