#include "text/ORVEX.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "config/TextosConsulta.h"
#include "printer/QRCodeRaster.h"
#include "text/ConversorPDF.h"
#include "text/Imagem.h"
#include "text/LeituraArquivo.h"

namespace ORDAL_VEX {

using Ordal::Printer::Driver;
using Ordal::Printer::Raster;

// ---- spool ----

int Spool::armazenarDocumento(const std::string& dados) {
    std::lock_guard<std::mutex> trava(mutex);
    const int proximo = (inicio + 1) % capacidade;
    if (proximo == fim) return 0;
    documentos[proximo] = DocumentoSpool{dados, std::string(), 0};
    inicio = proximo;
    return proximo + 1;
}

void Spool::esvaziar() {
    std::lock_guard<std::mutex> trava(mutex);
    for (DocumentoSpool& d : documentos) d = DocumentoSpool{};
    inicio = fim = 0;
}

// ---- session ----

// Built by a static initialiser while the host is inside dlopen, where an exception would end the
// process: the configuration's load never throws (it falls back to defaults), and neither may the
// hand-off.
ORVEX::ORVEX(const std::string& arquivoConfiguracao, FabricaDriver fabrica)
    : configuracao(arquivoConfiguracao), fabrica_(std::move(fabrica)) {
    try {
        repassarConfiguracao();
    } catch (const std::exception& e) {
        configuracao.avisarFalhaCarga(e.what());
    } catch (...) {
        configuracao.avisarFalhaCarga("falha desconhecida");
    }
}

ORVEX::~ORVEX() = default;

void ORVEX::recarregarConfiguracao() {
    configuracao.carregar();
    repassarConfiguracao();
}

void ORVEX::repassarConfiguracao() {
    tamanhoQRCode = configuracao.tamanhoQRCode;
    Ordal::DocumentoFiscal::TextosConsulta textos;
    if (!configuracao.aplicativoConsulta.empty()) textos.aplicativoConsulta = configuracao.aplicativoConsulta;
    textos.wsConsultaQRCode = configuracao.wsConsultaQRCode;
    textos.urlConsulta = configuracao.urlConsulta;
    Ordal::DocumentoFiscal::definirTextosConsulta(textos);
    aplicarAoDriver();
}

void ORVEX::aplicarAoDriver() {
    if (!driver) return;
    driver->definirTempoLimite(configuracao.timeout);
    driver->definirCompactacaoRaster(configuracao.compactarRaster);
}

std::string ORVEX::normalizarSecao(const char* secao) {
    std::string nome = secao ? secao : "";
    if (nome == "BOBINA_XXMM") nome = configuracao.larguraBobina > 56 ? "BOBINA_80MM" : "BOBINA_56MM";
    if (nome == "RX457" && !configuracao.existeSecao("RX457")) nome = "ORVEX";
    if (nome == "ORVEX" && !configuracao.existeSecao("ORVEX")) nome = "RX457";
    return nome;
}

Driver& ORVEX::obterDriver() {
    if (driver) {
        // The driver reconnected (printer replugged, switched on): it may have found it elsewhere.
        const unsigned conexoes = driver->conexoesRealizadas();
        if (conexoes != conexoesVistas_) {
            conexoesVistas_ = conexoes;
            seguirPorta();
        }
        return *driver;
    }
    if (!fabrica_) throw std::logic_error("sessão sem fábrica de driver");
    // A network printer is reached over TCP; any other setting keeps the configured port.
    const bool rede = configuracao.metodoDeComunicacao == ETHERNET && !configuracao.ipEPorta.empty();
    std::unique_ptr<Driver> novo = fabrica_(rede ? "tcp://" + configuracao.ipEPorta : configuracao.porta);
    if (!novo) throw std::runtime_error("impressora não pode ser criada");
    driver = std::move(novo);
    conexoesVistas_ = driver->conexoesRealizadas();
    if (!rede) seguirPorta();
    aplicarAoDriver();
    larguraMaximaPontos_ = driver->larguraPontos();
    driver->selecionarFonte(fonte);
    aplicarLarguraBobina();
    return *driver;
}

void ORVEX::seguirPorta() {
    if (configuracao.metodoDeComunicacao == ETHERNET && !configuracao.ipEPorta.empty()) return;
    // The configuration follows the printer when it answered on another port.
    const int32_t configurado = Driver::codigoDaPorta(configuracao.porta.c_str());
    if (configurado != 0 && configurado != driver->codigoPorta()) {
        configuracao.porta = driver->nomePorta();
        // Only PORTA: a full save would put back this process's stale copy of keys others changed.
        configuracao.salvarChave("RX457", "PORTA");
    }
}

void ORVEX::aplicarLarguraBobina() {
    if (!driver) return;
    // The printable band of a roll is 8 mm narrower than the roll itself.
    const int resolucao = driver->resolucao() > 0 ? driver->resolucao() : 180;
    const int pontosBobina = static_cast<int>((configuracao.larguraBobina - 8) * resolucao / 25.4);
    driver->definirLarguraPapel(pontosBobina < larguraMaximaPontos_ ? pontosBobina : larguraMaximaPontos_);
}

// ---- text ----

void ORVEX::imprimirTexto(const char* texto, unsigned int tamanho) {
    interpretarTagsImpressao(texto, tamanho,
                             [this](const char* trecho, unsigned int n) { imprimirTextoSimples(trecho, n); });
}

void ORVEX::imprimirTextoSimples(const char* texto, unsigned int tamanho) {
    if (!texto || tamanho == 0) return;
    Driver& d = obterDriver();
    d.imprimirTexto(std::string_view(texto, tamanho));
    const int passo = d.colunasEfetivas();
    for (unsigned int i = 0; i < tamanho; ++i) {
        if (texto[i] == '\n')
            posicaoLinha = 0;
        else
            posicaoLinha += passo;
    }
}

void ORVEX::quebrarLinhaPendente() {
    if (posicaoLinha == 0) return;
    obterDriver().avancarLinhas(1);
    posicaoLinha = 0;
}

void ORVEX::avancarLinhasTexto(int n) {
    obterDriver().avancarLinhas(n);
    posicaoLinha = 0;
}

// ---- paper, drawer ----

void ORVEX::cortarPapel() {
    obterDriver().acionarGuilhotina(9);
    posicaoLinha = 0;
}

bool ORVEX::abrirGaveta() {
    obterDriver().acionarGaveta(0, 300, 500);
    return true;
}

// ---- header and QR code beside text ----

void ORVEX::imprimirCabecalho(const char* texto, const char* arquivoLogo) {
    const std::string textoCabecalho = texto ? texto : configuracao.cabecalho;
    const std::string logo = arquivoLogo ? arquivoLogo : configuracao.arquivoImagemLogomarca;
    Driver& d = obterDriver();
    d.selecionarAlinhamento(0);
    d.selecionarModoPagina();
    Imagem imagem;
    if (!logo.empty() && imagem.carregarBMP(logo.c_str())) {
        const Raster bitmap = Ordal::Printer::converterParaImpressora(d, imagem.bitmap(), 5, 128);
        if (!bitmap.vazio()) {
            d.imprimirRaster(0, bitmap, -1);
            d.margemEsquerda(bitmap.largura + d.colunasEfetivas());
            d.posicionarAbsoluto(0, 0);
        }
    }
    imprimirTexto(textoCabecalho.data(), static_cast<unsigned int>(textoCabecalho.size()));
    d.imprimirPagina();
    d.margemEsquerda(0);
    posicaoLinha = 0;
    d.selecionarAlinhamento(0);
}

void ORVEX::imprimirQRCodeTextoDireita(const char* dadosQR, const char* texto) {
    // Dots between the symbol and the text, and above and below the symbol.
    constexpr int kEspaco = 8;
    Driver& d = obterDriver();
    d.selecionarModoPagina();
    Ordal::Printer::ParametrosQRCode parametros;
    parametros.modelo = 1;
    parametros.dados = dadosQR ? dadosQR : "";
    parametros.tamanhoModulo = static_cast<unsigned>(tamanhoQRCode > 0 ? tamanhoQRCode : 3);
    parametros.nivelCorrecao = 0;
    const Raster simbolo = Ordal::Printer::gerarRasterQRCode(parametros);
    d.avancarPapel(kEspaco);
    d.imprimirRaster(0, simbolo, 0);
    d.avancarPapel(kEspaco);
    d.posicionarAbsoluto(0, kEspaco - 3);
    d.margemEsquerda(kEspaco + simbolo.largura);
    if (texto) imprimirTexto(texto, static_cast<unsigned int>(std::char_traits<char>::length(texto)));
    d.imprimirPagina();
    d.margemEsquerda(0);
    posicaoLinha = 0;
}

// ---- files and images ----

int ORVEX::lerArquivo(const char* caminho, std::string& conteudo) {
    if (!caminho) return -99;
    return lerArquivoRegular(caminho, conteudo) ? 1 : -27;
}

int ORVEX::imprimirImagemArquivo(const char* caminho, int flags, unsigned int divisor, int limiar) {
    if (!caminho) return 3;
    if (!*caminho) return 4;
    if (divisor == 0) return 3;
    Imagem imagem;
    if (!imagem.carregarBMP(caminho)) return 8;
    Driver& d = obterDriver();
    if (imagem.largura() > d.larguraPontos()) flags |= 2;
    Raster bitmap = Ordal::Printer::converterParaImpressora(d, imagem.bitmap(), flags, limiar);
    if (divisor != 100 && !bitmap.vazio()) {
        const int64_t largura = static_cast<int64_t>(bitmap.largura) * 100 / divisor;
        const int64_t altura = static_cast<int64_t>(bitmap.altura) * 100 / divisor;
        // The renderer cuts a picture at the printable width; sizes no paper could show are refused
        // instead of allocated.
        if (largura < 1 || altura < 1 || largura * altura > (int64_t(1) << 26)) return 8;
        bitmap = Ordal::Printer::redimensionarRaster(bitmap, static_cast<int>(largura), static_cast<int>(altura));
    }
    d.imprimirRaster(0, bitmap, -1);
    posicaoLinha = 0;
    return 0;
}

namespace {
// Drops the bottom rows that hold no black dot.
void removerLinhasBrancasFinais(Raster& r) {
    const int porLinha = r.bytesPorLinha();
    while (r.altura > 0) {
        const size_t inicio = static_cast<size_t>(r.altura - 1) * porLinha;
        bool branca = true;
        for (int i = 0; i < porLinha && branca; ++i) branca = r.bytes[inicio + i] == 0;
        if (!branca) break;
        --r.altura;
    }
    r.bytes.resize(static_cast<size_t>(r.altura) * porLinha);
}
}  // namespace

int ORVEX::imprimirPDF(const char* caminho) {
    if (!caminho) return 3;
    if (!*caminho) return 4;
    Driver& d = obterDriver();
    const PaginasPDF pdf = converterPDF(caminho, d.resolucao());
    if (pdf.codigo != 0) return pdf.codigo;
    for (size_t i = 0; i < pdf.paginas.size(); ++i) {
        Imagem pagina;
        const std::string& bytes = pdf.paginas[i];
        if (!pagina.carregarBMP(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) continue;
        Raster bitmap = Ordal::Printer::converterParaImpressora(d, pagina.bitmap(), 6, 128);
        if (i + 1 == pdf.paginas.size()) removerLinhasBrancasFinais(bitmap);
        d.imprimirRaster(0, bitmap, -1);
    }
    posicaoLinha = 0;
    return 0;
}

int ORVEX::carregarBMPMemoria(const char* caminho, char modo) {
    Imagem imagem;
    if (!caminho || !imagem.carregarBMP(caminho)) return 8;
    Driver& d = obterDriver();
    int flags = modo == '1' ? 1 : 4;
    if (imagem.largura() > d.larguraPontos()) flags |= 2;
    bitmapMemoria = Ordal::Printer::converterParaImpressora(d, imagem.bitmap(), flags, 128);
    return 0;
}

bool ORVEX::imprimirBMPMemoria() {
    if (bitmapMemoria.vazio()) return false;
    obterDriver().imprimirRaster(0, bitmapMemoria, -1);
    posicaoLinha = 0;
    return true;
}

// ---- print modes ----

void ORVEX::alterarModoImpressao(int modos, int operacao) {
    int novo;
    if (operacao == 0)
        novo = modos | modoImpressaoAtual;
    else if (operacao == 1)
        novo = modoImpressaoAtual & ~modos;
    else
        novo = modos;
    Driver& d = obterDriver();
    d.selecionarSublinhado(novo & 1);
    d.selecionarNegrito(novo & 2);
    if (novo & 8)
        d.dobrarLargura();
    else
        d.reduzirLargura();
    if (novo & 4)
        d.dobrarAltura();
    else
        d.reduzirAltura();
    modoImpressaoAtual = novo;
}

int traduzirCodigo(int codigo) {
    switch (codigo) {
    case 0: return 1;
    case 2:
    case 3:
    case 4:
    case 5: return -99;
    case 8: return -8;
    case 10:
    case 13: return -27;
    default: return 0;
    }
}

}  // namespace ORDAL_VEX
