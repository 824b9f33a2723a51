// Abstract printer interface shared by the encoder, the models, the renderer and the virtual printer.
// HEADER COMPLETE: classes, records and the order of the virtual operations below are stable.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace UART {
class Base;
}

namespace Ordal::Printer {

class Driver;

// 4-byte status word (see Driver::lerStatus): byte 0 bit 0 drawer sensor, bit 1 offline, bit 2 cover
// open, bit 3 feed button, bit 6 cutter error, bit 7 unrecoverable error; byte 1 bit 0 recoverable
// error, bit 1 paper near end, bit 3 paper end; byte 2 bit 5 stopped by paper end, bit 6 error.
using PalavraStatus = std::array<uint8_t, 4>;

// Builds the status word from the four real-time status replies r1..r4.
PalavraStatus calcularPalavraStatus(const std::array<uint8_t, 4>& bruto);

// The printer's answers to the identification queries.
struct PrinterID {
    std::string idModelo;        // query '1'
    std::string idTipo;          // query '2'
    std::string idVersaoRom;     // query '3'
    std::string versaoFirmware;  // query 'A'
    std::string fabricante;      // query 'B'
    std::string nomeModelo;      // query 'C'
};

// Resource facet: carries no data; the driver's virtual operations live in Driver.
struct Resources {};

// One font record of a Specification. The renderer stores the font's ascent in `reservado`.
struct Fonte {
    const char* nome = nullptr;
    int32_t largura = 0;
    int32_t altura = 0;
    int32_t reservado = 0;
};

struct Specification {
    int32_t resolucaoX = 0;
    int32_t resolucaoY = 0;
    int32_t resolucao = 0;
    int32_t larguraPontos = 0;
    // Font numbers mean their value mod 8: records 8..13 repeat records 0..5.
    std::array<Fonte, 16> fontes{};

    // Copies records 0..5 into 8..13; call after changing any of records 0..5.
    void espelharFontes();
};

struct Settings {
    const char* fabricanteDriver = nullptr;
    const char* descricaoModelo = nullptr;
    const char* versaoDriver = nullptr;
    UART::Base* link = nullptr;  // owned by the model (device or network link); null in the templates
    int32_t avancoCurto = 0;     // dots fed by acionarGuilhotina with flag bit 0
    int32_t avancoCorte = 0;     // dots fed by acionarGuilhotina with flag bit 1
};

struct ParametrosQRCode {
    int32_t modelo = 1;  // 0 = QR model 1, 1 = QR model 2
    std::string dados;
    unsigned tamanhoModulo = 2;  // dots per module
    int32_t nivelCorrecao = 0;   // 0..3 = L, M, Q, H
    int32_t margem = 8;          // 4 x tamanhoModulo: dots fed before and after the symbol
};

struct ParametrosCodigoBarras {
    int32_t tipo = 0;
    const uint8_t* dados = nullptr;
    int32_t n = 0;
    int32_t alinhamento = 0;
    int32_t largura = 2;  // module width
    int32_t altura = 80;  // bar height
    int32_t margem = 0;   // left margin
    int32_t posicaoHRI = 0;
    int32_t fonteHRI = 0;
};

// Request of Driver::imprimirPDF417.
struct ParametrosCodigoPDF417 {
    std::string dados;
    int32_t nivelErro = 0;
    int32_t opcoes = 0;
    int32_t larguraModulo = 2;  // dots per module, both directions
    int32_t alturaLinha = 3;    // repeats of each symbol row before scaling
};

// 1-bit image: row-major, rows padded to whole bytes, most significant bit leftmost, 1 = black.
struct Raster {
    std::string bytes;
    int32_t largura = 0;
    int32_t altura = 0;

    bool vazio() const { return largura <= 0 || altura <= 0; }
    int32_t bytesPorLinha() const { return (largura + 7) / 8; }
    bool ponto(int x, int y) const;
};

// Decoded picture handed to the bitmap-to-raster conversion: 4 bytes per pixel, row-major, top row
// first; byte 0 red, byte 1 green, byte 2 blue, byte 3 ignored. `altura` may be negative (its absolute
// value counts the rows). `bitsPorPixel` is the depth of the source file (1 = already black and white).
struct Bitmap {
    int32_t largura = 0;
    int32_t altura = 0;
    int32_t bitsPorPixel = 32;
    std::vector<uint8_t> pixels;

    int32_t linhas() const { return altura < 0 ? (altura == INT32_MIN ? INT32_MAX : -altura) : altura; }
    bool valido() const;
};

// Nearest-neighbour scaling of a raster to the given size.
Raster redimensionarRaster(const Raster& origem, int largura, int altura);

// Bitmap to printer raster for a printer `larguraPontos` dots wide. Flags: bit 0 and bit 2 select the
// conversion of multi-bit pictures (bit 2: fixed level 128; otherwise Floyd-Steinberg with the
// threshold), bit 1 fits the picture to the printable width, bit 3 inverts, bit 4 column format.
Raster converterParaImpressora(int larguraPontos, const Bitmap& imagem, int flags, int limiar);
Raster converterParaImpressora(const Driver& driver, const Bitmap& imagem, int flags, int limiar);

struct Status {
    PalavraStatus estado{};    // last status word
    int32_t estacaoPapel = 0;  // 0 roll, 1..2 sheet
    int32_t fonte = 4;
    int32_t multLargura = 0;  // width multiplier - 1
    int32_t multAltura = 0;   // height multiplier - 1
    int32_t margemEsquerda = 0;
    int32_t alinhamento = 0;  // 0 left, 1 centre, 2 right
    // Output sink of Driver::enviar: Driver::enviarDireto, or the job buffer while a job is open.
    bool (Driver::*saida)(std::string_view) = nullptr;
    std::string trabalho;
    ParametrosQRCode qrcode;
};

class Driver : public Resources, public PrinterID, public Specification, public Settings, public Status {
public:
    // --- printer commands (slots 0..49) ---
    virtual void cancelarDadosPagina() = 0;
    virtual void desativarCaracteresUsuario() = 0;
    virtual void acionarGuilhotina(int flags) = 0;
    virtual void definirImagemNV(int n, int largura, int altura, const uint8_t* dados) = 0;
    virtual void definirCaracteresUsuario(int codigo, int largura, int y, const uint8_t* dados) = 0;
    virtual void desativarStatusAutomatico() = 0;
    virtual void selecionarFonteCondensada() = 0;
    virtual void desativarQuebraLinha() = 0;
    virtual void selecionarNegrito(bool on) = 0;
    virtual void ativarStatusAutomatico() = 0;
    virtual void selecionarFonteNormal() = 0;
    virtual void ativarQuebraLinha() = 0;
    virtual void gravarMacro() = 0;
    virtual void executarMacro() = 0;
    virtual void avancarPapel(int pontos) = 0;
    virtual void acionarGaveta(int m, int t1, int t2) = 0;
    virtual void inicializar() = 0;
    virtual void imprimirPagina() = 0;
    virtual void imprimirCodigoBarras(int tipo, const uint8_t* dados, int n) = 0;
    virtual void imprimirImagemNV(int n, int modo) = 0;
    virtual void imprimirImagemRaster(int modo, int largura, int altura, const uint8_t* dados) = 0;
    // True when the printer confirmed the end of printing within ms milliseconds.
    virtual bool aguardarFimImpressao(int ms) = 0;
    virtual void selecionarReverso(bool on) = 0;
    virtual void selecionarAlinhamento(int n);
    virtual void imprimirImagemBits(int modo, int largura, const uint8_t* dados) = 0;
    // True when the code-page key is known.
    virtual bool selecionarTabelaCaracteres(int chave) = 0;
    virtual void selecionarFonte(int n) = 0;
    virtual void selecionarTamanhoCaractere(int largura, int altura) = 0;
    virtual void selecionarFonteHRI(int n) = 0;
    virtual void selecionarModoPagina() = 0;
    virtual void selecionarPosicaoHRI(int n) = 0;
    virtual void selecionarModoPadrao() = 0;
    virtual void posicaoHorizontalAbsoluta(int n) = 0;
    virtual void posicaoVerticalAbsoluta(int n) = 0;
    virtual void alturaCodigoBarras(int n) = 0;
    virtual void larguraCodigoBarras(int n) = 0;
    virtual void espacamentoEntreLinhas(int n) = 0;
    virtual void margemEsquerda(int n) = 0;
    virtual void unidadesMovimentacao(int x, int y) = 0;
    virtual void selecionarDispositivo(int n) = 0;
    virtual void areaImpressaoPagina(int x, int y, int dx, int dy) = 0;
    virtual void larguraAreaImpressao(int n) = 0;
    virtual void cabecalhoImagemRaster(int modo, int largura, int altura) = 0;
    virtual void deslocamentoHorizontal(int n) = 0;
    virtual void deslocamentoVertical(int n) = 0;
    virtual void espacamentoEntreCaracteres(int n) = 0;
    virtual void ativarCaracteresUsuario() = 0;
    virtual void selecionarInvertido(bool on) = 0;
    virtual void definirMacro() = 0;
    virtual void selecionarSublinhado(bool on) = 0;

    // --- composite operations and hooks (slots 50..71) ---
    virtual void posicionarAbsoluto(int x, int y);
    virtual void deslocarRelativo(int x, int y);
    virtual bool selecionarEstacaoPapel(int n);
    virtual void recurso53();
    virtual bool selecionarBobina();
    virtual bool selecionarFolhaSolta();
    virtual void ejetarFolha();
    virtual void liberarFolha();
    virtual void recurso58();
    virtual void recurso59();
    virtual void recurso60();
    virtual void recurso61();
    virtual void recurso62();
    virtual int recurso63();
    virtual void recurso64();
    virtual void recurso65();
    // Model, module size, level and data, then qrImprimir; true when a symbol was printed.
    virtual bool imprimirQRCode(const ParametrosQRCode& parametros);
    virtual void qrSelecionarModelo(int m);
    virtual void qrTamanhoModulo(unsigned n);
    virtual void qrNivelCorrecao(int n);
    // Renders the stored QR data as a raster (fallback for printers without a QR command).
    virtual bool qrImprimir();
    virtual void qrArmazenarDados(std::string_view texto);

    virtual ~Driver();

    // --- jobs, connection, formatting (slots 74..82) ---
    virtual void iniciarTrabalho();
    virtual void encerrarTrabalho();
    virtual void limparTrabalho();
    virtual std::string obterTrabalho() const;
    // Opens the named device (a name with "/" is a path) or probes for a printer.
    virtual bool conectar(const std::string& nome);
    virtual bool imprimirFormatado(const char* formato, ...) __attribute__((format(printf, 2, 3)));
    virtual bool definirImagemNVDeBitmap(int n, const Bitmap& bitmap, int flags, int limiar);
    virtual bool definirImagemNVRaster(int n, const Raster& raster);
    virtual bool imprimirPadraoTeste(int x0, int x1, int linhas);

    // --- metrics (slots 83..89) ---
    virtual int colunasEfetivas() const;
    virtual int linhasEfetivas() const;
    virtual int resolucao() const;
    virtual int alturaFonte() const;
    virtual Fonte obterFonte(int i) const;
    virtual int larguraFonte() const;
    virtual int larguraPontos() const;

    // --- identification, status, images (slots 90..105) ---
    virtual bool lerIdentificacao(PrinterID& destino) = 0;
    virtual bool atualizarIdentificacao();
    // lerStatus into destino; on success the word is kept in `estado`.
    virtual bool atualizarStatus(PalavraStatus& destino);
    virtual void avancarLinhas(int n);
    virtual bool imprimirBitmap(const Bitmap& bitmap, int flags, int alinhamento, int limiar);
    // False when the raster is empty; alignment -1 = current alignment.
    virtual bool imprimirRaster(int modo, const Raster& raster, int alinhamento);
    virtual bool imprimirRasterAlinhado(int modo, int largura, int altura, const uint8_t* dados, int alinhamento);
    virtual void preencherRetangulo(int x0, int y0, int x1, int y1, int padrao);
    virtual void dobrarLargura();
    virtual void reduzirLargura();
    virtual void dobrarAltura();
    virtual void reduzirAltura();
    virtual bool definirLarguraPapel(int pontos);
    virtual bool salvarImagem(const std::string& caminho);
    virtual bool obterImagem(std::ostream& fluxo);
    virtual bool limparImagem();

    // --- output routing (slots 106..114) ---
    virtual bool enviarDiretoTexto(const char* texto);
    virtual bool escreverDispositivo(const uint8_t* dados, size_t n);
    virtual bool enviarDireto(std::string_view bytes);
    virtual bool enviarTrabalho();
    virtual void imprimirCodigoBarrasTexto(int tipo, const char* texto);
    virtual void imprimirCodigoBarrasCompleto(const ParametrosCodigoBarras& parametros);
    virtual bool imprimirTexto(std::string_view bytes);
    virtual bool imprimirTextoC(const char* texto);
    virtual bool enviar(std::string_view bytes);

    // --- status and port (slots 115..117) ---
    // Fills destino with the status word; true when every status reply arrived.
    virtual bool lerStatus(PalavraStatus& destino) = 0;
    virtual int codigoPorta() const;
    virtual std::string nomePorta() const;

    // --- link upkeep ---
    // Longest time (ms) an operation waits on a printer that makes no progress; values <= 0 restore
    // the default of 30000. The link's blocking writes follow it.
    virtual void definirTempoLimite(int ms);
    // Compact raster output (a renderer's option; printers that encode directly ignore it): blank
    // dot lines go out as paper feeds and bands are trimmed to the columns holding ink.
    virtual void definirCompactacaoRaster(bool) {}
    // The host's call that produces lines has begun or ended: a renderer stops gathering a burst
    // once the call that makes it is over.
    virtual void marcarChamada(bool) noexcept {}
    // Connections made so far, the first included: a change may mean the printer is on another port.
    virtual unsigned conexoesRealizadas() const;

    // --- non-virtual helpers ---
    // When the link is closed or fell, closes it and runs conectar again with the name of the first
    // connection (a path is reopened as that path, a port name may probe), at most once per
    // kIntervaloReconexaoMs. True when the link is usable afterwards.
    bool reconectar();
    bool linkUtilizavel() const;
    // True when reconectar would make an attempt now.
    bool tentativaDevida() const;
    int tempoLimite() const { return tempoLimiteMs_; }
    static constexpr int kIntervaloReconexaoMs = 1000;
    // Longest time a probe may spend on devices other than the configured one.
    static constexpr int kLimiteProcuraMs = 3000;
    static constexpr int kTempoLimitePadrao = 30000;
    // Prints one PDF417 symbol; false when the text cannot be encoded (DriverPDF417.cpp).
    bool imprimirPDF417(const ParametrosCodigoPDF417& parametros);
    // Tries `tentativas` device codes of the class of `codigo`, `codigo` first; true when a printer
    // answered the identification query (the link then stays open on it).
    bool procurarDispositivo(int32_t codigo, int tentativas);
    // The font record of the current font (font 0 when the selected record is empty).
    const Fonte& fonteAtual() const;
    static int32_t codigoDaPorta(const char* nome);
    static std::string nomeDaPorta(int32_t codigo);

protected:
    Driver();
    Driver(const Specification& especificacao, const Settings& configuracao);
    Driver(const Driver&) = default;
    Driver& operator=(const Driver&) = default;

    // Sink used while a job is open.
    bool anexarTrabalho(std::string_view bytes);
    // Restores the working state of a freshly constructed model (fonts, sizes, sink, job, QR).
    void reiniciarEstado();

private:
    // Reports why the link could not be opened, once until it opens again.
    void relatarFalhaConexao(const std::string& nome, int32_t codigo);

    std::string nomeConexao_;         // the name given to the last conectar
    int64_t proximaTentativaMs_ = 0;  // steady clock
    int32_t codigoExplicito_ = -1;    // the device the name designates: probed even when a console
    int64_t prazoProcuraMs_ = 0;      // 0 = no limit
    std::string ultimoDiagnostico_;
    std::atomic<unsigned> conexoes_{0};
    int tempoLimiteMs_ = kTempoLimitePadrao;
};

}  // namespace Ordal::Printer
