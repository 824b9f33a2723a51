// Fiscal documents from the host: recognise the kind, check the caller's record, build the print
// parameters from the configuration and hand the text to the printout of its kind.
#include "text/DespachoFiscal.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "fiscal/Acumulador.h"
#include "fiscal/NFCe.h"
#include "fiscalprint/DANFE.h"
#include "fiscalprint/ImpressaoCFe.h"
#include "fiscalprint/ImpressaoDocumento.h"
#include "text/Imagem.h"
#include "text/ORVEX.h"

namespace ORDAL_VEX {

namespace {

using Ordal::DocumentoFiscal::ParametrosImpressao;

constexpr uint32_t kLeiauteForcarQuebraLinha = ParametrosImpressao::QUEBRA_LINHA;
constexpr uint32_t kLeiauteTruncarDescricao = ParametrosImpressao::TRUNCAR_DESCRICAO;
constexpr uint32_t kLeiauteSemCorte = ParametrosImpressao::SEM_CORTE;
constexpr uint32_t kLeiautePipeNovaLinha = ParametrosImpressao::PIPE_NOVA_LINHA;
constexpr uint32_t kLeiauteVerificarCalculos = ParametrosImpressao::VERIFICAR_CALCULOS;
constexpr uint32_t kLeiautePadraoNFCe = ParametrosImpressao::LEIAUTE_PADRAO;
constexpr uint32_t kLeiauteSemMensagemICMS = ParametrosImpressao::SEM_MENSAGEM_ICMS;
constexpr uint32_t kLeiauteSemRodapeTributos = ParametrosImpressao::SEM_RODAPE_TRIBUTOS;

bool contem(const char* texto, const char* trecho) { return std::strstr(texto, trecho) != nullptr; }

bool vazio(const char* texto) { return !texto || !*texto; }

// The record is read only as far as the caller said it reaches.
bool temTipo(unsigned int tamanhoInfo) { return tamanhoInfo > offsetof(InfoDocumento, tipo) + sizeof(int32_t); }

ParametrosImpressao parametrosDaConfiguracao(ORVEX& s, TipoDocumentoFiscal tipo) {
    const Configuracao& c = s.configuracao;
    ParametrosImpressao p;
    p.driver = &s.obterDriver();
    p.larguraBobina = c.larguraBobina;
    p.carregarImagem = [](const std::string& caminho, Ordal::Printer::Bitmap& destino) {
        Imagem imagem;
        if (!imagem.carregarBMP(caminho.c_str())) return false;
        destino = imagem.bitmap();
        return true;
    };
    p.caminhoLogo = c.arquivoImagemLogomarca;
    p.colunasCabecalho = c.colunasTextoCabecalho;
    p.brilhoLogo = c.ajusteBrilhoLogomarca * 16 + 15;
    p.tamanhoLogo = c.tamanhoLogomarca;
    p.simboloMoeda = c.simboloMoeda;
    p.fonte = c.fontePadrao;
    p.centralizarCabecalho = c.centralizarTextoCabecalho ? 1 : 0;
    p.alinhamentoLogo = c.centralizarLogomarca ? 1 : 0;
    p.larguraMinimaDescricao = tipo == DocumentoNFCe ? c.nfceLarguraMinimaDescricao : c.satLarguraMinimaDescricao;
    p.opcoesLeiaute = 0;
    if (c.reconhecerPipeComoNovaLinha) p.opcoesLeiaute |= kLeiautePipeNovaLinha;
    if (c.verificarCalculosXML) p.opcoesLeiaute |= kLeiauteVerificarCalculos;
    // A receipt is cut at its end only when the installation wants the cutter used for receipts.
    if (!c.guilhotinaCupom) p.opcoesLeiaute |= kLeiauteSemCorte;
    return p;
}

// A fiscal receipt looks the same whatever the host printed before it: the styles, sizes, spacing, margin
// and alignment that earlier text left on the printer go back to their defaults, and an open line is ended.
void prepararImpressora(ORVEX& s) {
    s.quebrarLinhaPendente();
    s.posicaoLinha = 0;
    Ordal::Printer::Driver& d = s.obterDriver();
    d.selecionarModoPadrao();
    d.selecionarNegrito(false);
    d.selecionarSublinhado(false);
    d.selecionarReverso(false);
    d.selecionarInvertido(false);
    d.selecionarTamanhoCaractere(0, 0);
    d.espacamentoEntreLinhas(0);
    d.espacamentoEntreCaracteres(0);
    d.margemEsquerda(0);
    d.selecionarAlinhamento(0);
}

// Whether a message is UTF-8 (or plain ASCII); the verification's messages are Latin-1.
bool emUTF8(const std::string& texto) {
    for (size_t i = 0; i < texto.size();) {
        const unsigned char c = static_cast<unsigned char>(texto[i]);
        const size_t n = c < 0x80 ? 1 : c < 0xC2 ? 0 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 0;
        if (n == 0 || n > texto.size() - i) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(texto[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// The message with where the XML parser gave up, in the message's own encoding and before the line
// end it may carry.
std::string comParada(const std::string& mensagem, size_t byte) {
    size_t fim = mensagem.size();
    while (fim > 0 && (mensagem[fim - 1] == '\n' || mensagem[fim - 1] == '\r')) --fim;
    const char* nao = emUTF8(mensagem) ? "n\xC3\xA3o" : "n\xE3o";
    return mensagem.substr(0, fim) + " (XML " + nao + " entendido a partir do byte " + std::to_string(byte) + ")" +
           mensagem.substr(fim);
}

// Reads, verifies and prints through `imprimir` the document that `lido` receives. When the parser
// gave up before the end of the XML the host hears at which byte: in the message of a document that
// is refused, or in `aviso` for one printed from what came before that byte.
template <typename F>
void imprimirLido(const Ordal::DocumentoFiscal::InterfaceXML& lido, std::string* aviso, F&& imprimir) {
    try {
        imprimir();
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        const std::optional<size_t> parada = lido.paradaXML();
        if (!parada) throw;
        throw std::runtime_error(comParada(e.what(), *parada));
    }
    if (const std::optional<size_t> parada = lido.paradaXML(); parada && aviso)
        *aviso = comParada("documento fiscal lido em parte", *parada);
}

void aplicarChaves(ParametrosImpressao& p, bool forcarQuebraLinha, bool truncarDescricao) {
    if (forcarQuebraLinha) p.opcoesLeiaute |= kLeiauteForcarQuebraLinha;
    if (truncarDescricao) p.opcoesLeiaute |= kLeiauteTruncarDescricao;
}

int despacharNFCe(ORVEX& s, const char* xml, const InfoDocumento* info, unsigned int tamanhoInfo, int opcoes,
                  ParametrosImpressao parametros, std::string* aviso) {
    if (!info) return 3;
    if (tamanhoInfo < RX457_TAMANHO_INFO_DOCUMENTO) return 2;
    if (info->tipo != DocumentoNFCe) return 5;

    Ordal::NFCe::ProtocoloAutorizacao protocolo;
    if (!vazio(info->numeroProtocolo)) {
        const char* dh = info->dataHoraProtocolo;
        if (!dh) return 3;
        if (!*dh) return 4;
        if (std::strlen(dh) <= 18) return 2;
        protocolo.numeroProtocolo = info->numeroProtocolo;
        protocolo.dataRecebimento = std::string(dh, 4) + std::string(dh + 5, 2) + std::string(dh + 8, 2);
        protocolo.horaRecebimento = std::string(dh + 11, 2) + std::string(dh + 14, 2) + std::string(dh + 17, 2);
    }
    if (!info->codigoSeguranca || !info->identificadorToken) return 3;
    if (std::strlen(info->codigoSeguranca) < 6 || !*info->identificadorToken) return 2;

    Ordal::NFCe::ParametrosEmissaoDANFE emissao;
    emissao.identificadorToken = info->identificadorToken;
    emissao.codigoSeguranca = info->codigoSeguranca;
    emissao.opcaoDetalhe = (opcoes & kOpcaoSemDetalhe) ? 1 : 0;
    emissao.opcoesEmissao = (opcoes & kOpcaoEmissaoSimples) ? 1 : 3;
    if (opcoes & kOpcaoLimparEmissaoBit0) emissao.opcoesEmissao &= ~1;
    emissao.imprimirDadosConsumidor = (opcoes & kOpcaoDadosConsumidor) ? 1 : 0;
    if (info->valorRecebido) {
        std::string valor = info->valorRecebido;
        std::replace(valor.begin(), valor.end(), ',', '.');
        emissao.valorRecebido.fromString(valor);
    }

    if (opcoes & kOpcaoSemCorte) parametros.opcoesLeiaute |= kLeiauteSemCorte;
    aplicarChaves(parametros, s.configuracao.nfceForcarQuebraLinha, s.configuracao.nfceTruncarDescricao);
    if (s.configuracao.leiautePadrao) parametros.opcoesLeiaute |= kLeiautePadraoNFCe;
    if (!s.configuracao.msgAproveitamentoICMS) parametros.opcoesLeiaute |= kLeiauteSemMensagemICMS;

    prepararImpressora(s);
    Ordal::NFCe::DANFE danfe(s.obterDriver(), parametros, emissao, protocolo);
    imprimirLido(danfe.nota(), aviso, [&] { danfe.imprimirXML(xml); });
    return 0;
}

int despacharCFe(ORVEX& s, const char* xml, ParametrosImpressao parametros, std::string* aviso) {
    aplicarChaves(parametros, s.configuracao.satForcarQuebraLinha, s.configuracao.satTruncarDescricao);
    if (!s.configuracao.valorTributos) parametros.opcoesLeiaute |= kLeiauteSemRodapeTributos;
    prepararImpressora(s);
    parametros.driver = &s.obterDriver();
    // The documents are held here: where their XML reading stopped must outlive a refusal.
    if (contem(xml, "<CFeCanc")) {
        auto documento = std::make_unique<Ordal::CFe::CupomCancelamento>();
        Ordal::CFe::ImpressaoCFeCanc cancelamento(documento.get(), parametros);
        imprimirLido(*documento, aviso, [&] { cancelamento.imprimirXML(xml); });
    } else {
        auto documento = std::make_unique<Ordal::CFe::CupomFiscalEletronico>();
        Ordal::CFe::ImpressaoCFeSaida venda(documento.get(), parametros);
        imprimirLido(*documento, aviso, [&] { venda.imprimirXML(xml); });
    }
    return 0;
}

}  // namespace

TipoDocumentoFiscal detectarTipoDocumento(const char* texto) {
    if (!texto) return DocumentoNaoFiscal;
    if (contem(texto, "<infNFe")) return DocumentoNFCe;
    if (contem(texto, "<infCFe")) return contem(texto, "<CFeCanc") ? DocumentoCFeCancelamento : DocumentoCFeVenda;
    return DocumentoNaoFiscal;
}

TipoDocumentoFiscal carregarDocumentoFiscal(const char** texto, std::string& armazenamento) {
    if (!texto || !*texto) return DocumentoNaoFiscal;
    if (const TipoDocumentoFiscal tipo = detectarTipoDocumento(*texto)) return tipo;
    if (ORVEX::lerArquivo(*texto, armazenamento) != 1) return DocumentoNaoFiscal;
    const TipoDocumentoFiscal tipo = detectarTipoDocumento(armazenamento.c_str());
    if (tipo) *texto = armazenamento.c_str();
    return tipo;
}

int ORVEX::imprimirDocumentoFiscal(const char* xml, const InfoDocumento* info, unsigned int tamanhoInfo, int opcoes,
                                   int /*reservado*/, std::string* aviso) {
    if (!xml || (!info && tamanhoInfo != 0)) return 3;
    if (!*xml) return 4;

    // Edits of the configuration file by other programs apply from this document on.
    recarregarConfiguracao();
    aplicarLarguraBobina();

    const TipoDocumentoFiscal tipo = detectarTipoDocumento(xml);
    if (tipo == DocumentoNaoFiscal) return 8;
    ParametrosImpressao parametros = parametrosDaConfiguracao(*this, tipo);
    if (info && temTipo(tamanhoInfo) && info->tipo != tipo) return 5;

    if (tipo == DocumentoNFCe) return despacharNFCe(*this, xml, info, tamanhoInfo, opcoes, parametros, aviso);
    return despacharCFe(*this, xml, parametros, aviso);
}

}  // namespace ORDAL_VEX
