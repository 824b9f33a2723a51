#include "fiscalprint/DANFE.h"

#include "config/TextosConsulta.h"
#include "fiscal/Verificacao.h"
#include "fiscalprint/EnderecoQRCode.h"
#include "xml/XML.h"

namespace Ordal::NFCe {

using namespace DocumentoFiscal;

namespace {

// Printed texts are Latin-1 bytes; escapes are split from the letters that follow them.
const char* const kEletronica = "Fiscal de Consumidor Eletr\xF4nica";
const char* const kNaoPermite = "N\xE3o permite aproveitamento";
const char* const kCreditoICMS =
    "de cr\xE9"
    "dito de ICMS";
const char* const kContingencia = "EMITIDA EM CONTING\xCANCIA";
const char* const kPendente = "Pendente de autoriza\xE7\xE3o";
const char* const kHomologacao = "EMITIDA EM AMBIENTE DE HOMOLOGA\xC7\xC3O";
const char* const kNumero = "NFC-e n\xBA: ";
const char* const kSerie = "S\xE9rie: ";
const char* const kProtocolo = "Protocolo de autoriza\xE7\xE3o: ";
const char* const kDataAutorizacao = "Data de autoriza\xE7\xE3o: ";
const char* const kAcrescimo = "Acr\xE9scimo ";
const char* const kAcrescimos = "Acr\xE9scimos ";
const char* const kConsultaQRCode = "Consulta via leitor de QR Code";
const char* const kTributosTotais = "Tributos Totais Incidentes (Lei Federal 12.741/2012) ";
// The manual asks for a symbol of at least 25 mm.
constexpr int kLadoMinimoQRCodePadrao = 25;

// A sign before an amount. Built by appending: GCC 12 takes the insert that `"-" + temporary` makes
// for an overlapping copy and warns (-Wrestrict).
std::string comSinal(char sinal, const std::string& valor) {
    std::string texto(1, sinal);
    return texto.append(valor);
}

ParametrosImpressao comDriver(Printer::Driver& driver, ParametrosImpressao parametros) {
    parametros.driver = &driver;
    return parametros;
}

}  // namespace

ModeloDocumento DANFE::modeloDANFE() {
    ModeloDocumento m;
    m.opcoes = ModeloDocumento::TITULOS_NEGRITO;
    m.titulosColunas = {"#",
                        "C\xF3"
                        "digo",
                        "Descri\xE7\xE3o",
                        "Qtde",
                        "UN",
                        "Vl Item",
                        "",
                        "Vl Total"};
    return m;
}

DANFE::DANFE(Printer::Driver& driver, const ParametrosImpressao& parametros, const ParametrosEmissaoDANFE& emissao,
             const ProtocoloAutorizacao& protocolo)
    : ImpressaoDocumento(modeloDANFE(), comDriver(driver, parametros)),
      ParametrosEmissaoDANFE(emissao),
      protocoloChamador_(protocolo) {
    // The manual's item table shows each item's product value and nothing under it.
    if (leiautePadrao()) opcoes |= SEM_AJUSTES_ITEM;
}

DANFE::DANFE(Printer::Driver& driver, const ParametrosImpressao& parametros, const ParametrosEmissaoDANFE& emissao,
             const NotaFiscalEletronicaSaida& nota, const ProtocoloAutorizacao& protocolo)
    : DANFE(driver, parametros, emissao, protocolo) {
    nota_ = nota;
}

void DANFE::imprimirXML(const std::string& texto) {
    XML::Document documento;
    nota_.lerXML(texto, &documento);
    if (opcoesLeiaute & VERIFICAR_CALCULOS) verificarDocumento(documento, nota_);
    ImprimirDocumento();
}

void DANFE::aplicarProtocolo() {
    if (!nota_.protocolo.numeroProtocolo.empty() || protocoloChamador_.numeroProtocolo.empty()) return;
    nota_.protocolo.numeroProtocolo = protocoloChamador_.numeroProtocolo;
    nota_.protocolo.dataRecebimento = protocoloChamador_.dataRecebimento;
    nota_.protocolo.horaRecebimento = protocoloChamador_.horaRecebimento;
}

Decimal2 DANFE::valorItem(int posicao) const {
    if (!leiautePadrao()) return valorLiquidoItem(posicao);
    if (posicao < 0 || posicao >= ListaItens::CAPACIDADE) return {};
    return nota_.valoresProduto[static_cast<size_t>(posicao)];
}

Decimal2 DANFE::valorLiquidoItem(int posicao) const {
    // The authorised product value (prod/vProd) rather than one recomputed from a unit price
    // that the model keeps to three decimals only.
    if (posicao < 0 || posicao >= ListaItens::CAPACIDADE) return {};
    const ItemVenda& item = nota_.itens[posicao];
    Decimal2 v = nota_.valoresProduto[static_cast<size_t>(posicao)];
    v = v + DadosVenda::acrescimosItem(item);
    v = v - DadosVenda::descontosItem(item);
    return v;
}

Decimal2 DANFE::valorTotal() const { return nota_.valorTotal; }

Decimal2 DANFE::valorAntesAjustes() const {
    return nota_.valorTotal + nota_.descontoSubtotal - nota_.acrescimoSubtotal;
}

std::string DANFE::montarEnderecoQRCode() const {
    return NFCe::montarEnderecoQRCode(nota_, identificadorToken, codigoSeguranca, textosConsulta().wsConsultaQRCode);
}

std::string DANFE::textoQRCode() const {
    return nota_.qrCodeTexto.empty() ? montarEnderecoQRCode() : nota_.qrCodeTexto;
}

std::string DANFE::enderecoConsulta() const {
    const std::string url = textosConsulta().urlConsulta;
    if (leiautePadrao()) return nota_.urlChave.empty() ? url : nota_.urlChave;
    return url.empty() ? nota_.urlChave : url;
}

Decimal2 DANFE::valorTroco() const {
    // Without the amount handed over, the change the document states (layout 4.00 vTroco, whose
    // vPag are the amounts handed over) is the one to print.
    if (valorRecebido.valor == 0) return nota_.troco.valor > 0 ? nota_.troco : Decimal2();
    // Freight and insurance are owed too (they are part of vNF).
    Decimal2 devido = nota_.acrescimoSubtotal - nota_.descontoSubtotal;
    for (int i = 0; i < nota_.itensValidos(); ++i) {
        const ItemVenda& item = nota_.itens[i];
        devido = devido + valorLiquidoItem(i) + item.frete + item.seguro;
    }
    const Decimal2 troco = valorRecebido - devido;
    return troco.valor > 0 ? troco : Decimal2();
}

long long DANFE::quantidadeTotalItens() const {
    long long total = 0;
    for (int i = 0; i < nota_.itensValidos(); ++i) {
        const ItemVenda& item = nota_.itens[i];
        const long long q = item.quantidade.valor;
        if (item.unidade == "UN" && q >= 0 && q % Decimal4::escala == 0)
            total += q / Decimal4::escala;
        else
            total += 1;
    }
    return total;
}

// ---- blocks ----

void DANFE::imprimirEmitente(const Emitente& emitente) {
    selecionarFonteCorpo();
    encerrarLinha();
    // An individual issuer (allowed by the manual's layout) is known by a CPF.
    if (leiautePadrao() && emitente.cnpj.empty() && !emitente.cpf.empty())
        imprimirCampo(CPF(emitente.cpf), OMITIR_VAZIO, " ", "CPF: ");
    else
        imprimirCampo(CNPJ(emitente.cnpj), OMITIR_VAZIO, " ", "CNPJ: ");
    imprimirCampo(emitente.razaoSocial, ENCERRAR | OMITIR_VAZIO, " ");
    imprimirEndereco(emitente.endereco);
}

void DANFE::imprimirBannerContingencia() {
    Printer::Driver& d = impressora();
    suspenderQuebra();
    d.selecionarFonte(1);
    d.dobrarLargura();
    imprimirTextoQuebrado(kContingencia);
    novaLinha();
    d.reduzirLargura();
    selecionarFonteCorpo();
    // A contingency document reprinted after its authorisation is no longer pending.
    if (semProtocolo()) {
        d.selecionarNegrito(true);
        imprimirTextoQuebrado(kPendente);
        novaLinha();
        d.selecionarNegrito(false);
    }
    retomarQuebra();
}

void DANFE::imprimirTitulo() {
    Printer::Driver& d = impressora();
    imprimirSeparador();
    d.selecionarAlinhamento(1);
    if (emContingencia()) {
        imprimirBannerContingencia();
        d.selecionarAlinhamento(0);
        return;
    }
    d.selecionarNegrito(false);
    selecionarFonteCorpo();
    imprimirCampo("DANFE NFC-e", OMITIR_VAZIO);
    imprimirCampo("Documento Auxiliar da Nota", NOVA_LINHA_SE_CABE, " - ");
    imprimirCampo(kEletronica, ENCERRAR, " ");
    if (!(opcoesLeiaute & SEM_MENSAGEM_ICMS)) {
        d.selecionarNegrito(true);
        imprimirCampo(kNaoPermite, OMITIR_VAZIO);
        imprimirCampo(kCreditoICMS, ENCERRAR, " ");
    }
    d.selecionarAlinhamento(0);
    d.selecionarNegrito(false);
}

void DANFE::imprimirTotal() {
    Printer::Driver& d = impressora();
    d.selecionarNegrito(true);
    imprimirRotuloValor("Valor a Pagar " + simboloMoeda, valorTotal());
    d.selecionarNegrito(false);
}

void DANFE::imprimirPagamentos() {
    const int n = nota_.pagamentosImpressos();
    if (n == 0) return;
    const Decimal2 troco = valorTroco();
    // The change goes to the cash payment, or to the last one when none is cash, but only when it
    // was worked out from the amount the caller says was handed over.
    int recebeTroco = -1;
    if (valorRecebido.valor != 0 && troco.valor != 0) {
        recebeTroco = n - 1;
        for (int i = 0; i < n; ++i)
            if (nota_.pagamentos[static_cast<size_t>(i)].codigo == 1) {
                recebeTroco = i;
                break;
            }
    }
    imprimirRotuloValor("FORMA PAGAMENTO", "VALOR PAGO " + simboloMoeda);
    for (int i = 0; i < n; ++i) {
        const MeioPagamento& p = nota_.pagamentos[static_cast<size_t>(i)];
        Decimal2 valor = p.valor;
        if (i == recebeTroco) valor = valor + troco;
        imprimirRotuloValor(nomeMeioPagamento(p), valor);
    }
    // The manual's layout always states the change, even when there is none.
    if (leiautePadrao())
        imprimirRotuloValor("Troco " + simboloMoeda, troco);
    else
        imprimirTroco(troco);
}

void DANFE::imprimirTotaisPadrao() {
    Decimal2 bruto, descontos = nota_.descontoSubtotal, acrescimos = nota_.acrescimoSubtotal;
    for (int i = 0; i < nota_.itensValidos(); ++i) {
        const ItemVenda& item = nota_.itens[i];
        bruto += nota_.valoresProduto[static_cast<size_t>(i)];
        descontos += DadosVenda::descontosItem(item);
        acrescimos += DadosVenda::acrescimosItem(item) + item.frete + item.seguro;
    }
    imprimirRotuloValor("Valor total " + simboloMoeda, bruto);
    if (!descontos.zero()) imprimirRotuloValor("Desconto " + simboloMoeda, comSinal('-', formatarValor(descontos)));
    if (!acrescimos.zero()) imprimirRotuloValor(kAcrescimos + simboloMoeda, comSinal('+', formatarValor(acrescimos)));
}

void DANFE::imprimirTributosTotais() {
    if (!nota_.tributosInformados) return;
    imprimirRotuloValor(kTributosTotais + simboloMoeda, nota_.valorTributos);
}

void DANFE::imprimirDetalhe() {
    if (opcaoDetalhe == 0) imprimirItens(nota_);
    avancarMeiaLinha();
    imprimirRotuloValor("Qtde. total de itens", std::to_string(quantidadeTotalItens()));
    avancarMeiaLinha();

    const Decimal2& desconto = nota_.descontoSubtotal;
    const Decimal2& acrescimo = nota_.acrescimoSubtotal;
    if (leiautePadrao()) {
        imprimirTotaisPadrao();
    } else if (desconto.valor != 0 || acrescimo.valor != 0) {
        imprimirRotuloValor("Valor total " + simboloMoeda, valorAntesAjustes());
        if (desconto.valor != 0)
            imprimirRotuloValor("Desconto " + simboloMoeda, comSinal('-', formatarValor(desconto)));
        if (acrescimo.valor != 0)
            imprimirRotuloValor(kAcrescimo + simboloMoeda, comSinal('+', formatarValor(acrescimo)));
    }
    imprimirSeparadorValores();
    imprimirTotal();
    imprimirPagamentos();
    if (leiautePadrao()) imprimirTributosTotais();
    imprimirSeparador();
}

void DANFE::imprimirInformacoesComplementares() {
    std::string texto = nota_.informacoesComplementares;
    if (texto.empty()) return;
    texto = substituirTodos(texto, "<br/>", "\n");
    texto = substituirTodos(texto, "<br />", "\n");
    if (opcoesLeiaute & PIPE_NOVA_LINHA) texto = substituirTodos(texto, "|", "\n");
    texto = aparar(texto);
    impressora().selecionarAlinhamento(0);
    // Through the word wrap even when it would fit, so the line breaks inside it keep the line
    // position right.
    encerrarLinha();
    imprimirTextoQuebrado(texto);
    encerrarLinha();
    avancarMeiaLinha();
}

void DANFE::imprimirConsulta() {
    const std::string url = enderecoConsulta();
    // The manual's layout always tells where to look the key up.
    if (url.empty() && !leiautePadrao()) return;
    Printer::Driver& d = impressora();
    d.selecionarAlinhamento(1);
    imprimirTextoQuebrado("Consulte pela Chave de Acesso em:");
    imprimirCampo(url, ENCERRAR | OMITIR_VAZIO | NOVA_LINHA_SE_CABE, " ");
    avancarMeiaLinha();
    d.selecionarAlinhamento(0);
}

void DANFE::imprimirTextoJuntoAoQRCode() {
    Printer::Driver& d = impressora();
    // The manual's layout always says who the consumer is, or that there is none.
    if (imprimirDadosConsumidor || leiautePadrao()) {
        imprimirConsumidor(nota_.destinatario);
        avancarMeiaLinha();
    }
    if (nota_.tipoAmbiente == 2) {
        suspenderQuebra();
        d.selecionarNegrito(true);
        imprimirCampo(kHomologacao, OMITIR_VAZIO);
        imprimirCampo("SEM VALOR FISCAL", ENCERRAR | NOVA_LINHA_SE_CABE, " - ");
        d.selecionarNegrito(false);
        avancarMeiaLinha();
        retomarQuebra();
    }
    suspenderQuebra();
    imprimirCampo(nota_.numeroDocumento, OMITIR_VAZIO, "", kNumero);
    imprimirCampo(nota_.serie, ENCERRAR | OMITIR_VAZIO, " ", kSerie);
    imprimirCampo(Data(nota_.dataEmissao), OMITIR_VAZIO);
    imprimirCampo(Horario(nota_.horaEmissao), ENCERRAR | OMITIR_VAZIO, " ");
    avancarMeiaLinha();
    retomarQuebra();

    const ProtocoloAutorizacao& p = nota_.protocolo;
    if (emContingencia()) {
        avancarMeiaLinha();
        imprimirBannerContingencia();
        avancarMeiaLinha();
    }
    if (!semProtocolo()) {
        imprimirCampo(p.numeroProtocolo, ENCERRAR | OMITIR_VAZIO | NOVA_LINHA_VALOR, "", kProtocolo);
        imprimirCampo(Data(p.dataRecebimento).formatado() + " " + Horario(p.horaRecebimento).formatado(),
                      ENCERRAR | NOVA_LINHA_SE_CABE, "", kDataAutorizacao);
    }
}

void DANFE::imprimirQRCodeETexto() {
    Printer::Driver& d = impressora();
    selecionarFonteCorpo();
    const bool padrao = leiautePadrao();
    const Printer::Raster simbolo =
        gerarSimboloQRCode(textoQRCode(), d.resolucaoX, padrao ? kLadoMinimoQRCodePadrao : 0);
    const int lado = simbolo.vazio() ? 0 : simbolo.largura;
    const int margem = milimetrosParaPontos(3);
    const int avanco = avancoCaractere();
    const int colunas = (larguraUtil() - lado - margem) / avanco;
    const int meiaLinha = alturaLinha() / 2;
    const bool aoLado = colunas > 23;

    // The manual's caption stands over the symbol: at the left when the text runs beside it.
    if (padrao && aoLado) {
        d.selecionarAlinhamento(0);
        encerrarLinha();
        avancarMeiaLinha();
        imprimirCampo(kConsultaQRCode, ENCERRAR);
    }
    d.selecionarModoPagina();
    if (aoLado) {
        d.avancarPapel(margem);
        d.imprimirRaster(0, simbolo, 0);
        d.avancarPapel(margem);
        d.selecionarAlinhamento(0);
        d.posicionarAbsoluto(0, meiaLinha);
        definirArea(lado + margem, meiaLinha, colunas * avanco, lado + 2 * margem,
                    [&d] { d.selecionarAlinhamento(1); });
    } else {
        d.selecionarAlinhamento(1);
        avancarMeiaLinha();
    }

    imprimirTextoJuntoAoQRCode();

    if (!aoLado) {
        encerrarLinha();
        d.avancarPapel(margem);
        if (padrao) {
            d.selecionarAlinhamento(1);
            imprimirCampo(kConsultaQRCode, ENCERRAR);
        }
        d.imprimirRaster(0, simbolo, 1);
        d.avancarPapel(margem);
    }
    d.imprimirPagina();
    restaurarArea();
    d.selecionarAlinhamento(0);
    if (!(opcoesLeiaute & SEM_CORTE)) d.acionarGuilhotina(9);
}

void DANFE::ImprimirDocumento() {
    aplicarProtocolo();
    restaurarArea();
    impressora().selecionarAlinhamento(0);
    imprimirCabecalho(nota_.emitente, *this);
    imprimirTitulo();
    imprimirSeparador();
    imprimirDetalhe();
    imprimirInformacoesComplementares();
    imprimirConsulta();
    if (nota_.chaveAcesso.size() == 47) {
        imprimirChaveAcesso(nota_.chaveAcesso.substr(3));
    } else if (leiautePadrao()) {
        // The manual's layout prints the key whatever its length, without the "NFe" prefix.
        const std::string& chave = nota_.chaveAcesso;
        imprimirChaveAcesso(chave.rfind("NFe", 0) == 0 ? chave.substr(3) : chave);
    }
    imprimirQRCodeETexto();
}

}  // namespace Ordal::NFCe
