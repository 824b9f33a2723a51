// Host-side renderer: draws text, images, rules and symbols into a ring of dot lines and has an
// output thread pass the finished lines on to the downstream printer as raster images, or into a
// 1-bit BMP capture. The ESC/POS stream parser that drives it lives in ParserEscPOS.cpp.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "printer/Driver.h"
#include "printer/fonts/Fontes.h"

namespace Ordal::Printer {

// The layout in effect: 16 words, stored and restored together by configurarLayout.
struct PrintSettings {
    int32_t espacamentoLinha = 0;      // dots between line tops; 0 = the line's own height
    int32_t espacamentoCaractere = 0;  // dots after every character
    int32_t margemTexto = 0;           // left margin, dots
    int32_t larguraImpressao = 0;      // right end of the printable area, dots from the left edge
    int32_t unidadeHorizontal = 0;     // motion units per inch
    int32_t unidadeVertical = 0;
    int32_t reservado1 = 0;  // kept and restored with the layout; the engine reads neither
    int32_t modoPagina = 0;  // 0 standard, 1 page mode
    int32_t reservado2 = 10;
    int32_t chaves = 0;            // byte 0: user-defined characters on; byte 1: line wrap on
    int32_t alinhamentoTexto = 0;  // 0 left, 1 centre, 2 right, 6 right from a mark, 7 justified
    int32_t estilo = 0;            // byte 0: font (bits 0..2), underline 8, emphasis 0x10,
                                   // reverse 0x20; byte 1: (height-1) << 4 | (width-1)
    int32_t barras = 0x500002;     // byte 0 module width, bytes 2..3 bar height
    int32_t opcoesBarras = 0x201;  // byte 0 option, byte 1 HRI position, byte 2 on/off byte
    int32_t fonteHRI = 1;
    int32_t conversao = 0;  // 0 = no code-page table, else entry index + 1
};
static_assert(sizeof(PrintSettings) == 16 * sizeof(int32_t));

// Defaults restored by inicializar; kept in memory only. The layout's are the named defaults above,
// with the printer's width and resolution filled in by the engine.
struct NonVolatilData {
    int32_t statusAutomatico = 0xFFFFFF;
    PrintSettings padroes;
};

struct ComandoEscPOS;

class Engine : public Driver, public NonVolatilData, public PrintSettings {
public:
    // Renders for `destino`, which receives the finished raster; allocates the ring and starts the
    // output thread.
    explicit Engine(Driver& destino);
    ~Engine() override;
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // --- printer commands, drawn instead of encoded ---
    void cancelarDadosPagina() override;
    void desativarCaracteresUsuario() override;
    void acionarGuilhotina(int flags) override;
    void definirImagemNV(int n, int largura, int altura, const uint8_t* dados) override;
    void definirCaracteresUsuario(int codigo, int largura, int y, const uint8_t* dados) override;
    void desativarStatusAutomatico() override;
    void selecionarFonteCondensada() override;
    void desativarQuebraLinha() override;
    void selecionarNegrito(bool on) override;
    void ativarStatusAutomatico() override;
    void selecionarFonteNormal() override;
    void ativarQuebraLinha() override;
    void gravarMacro() override;
    void executarMacro() override;
    void avancarPapel(int pontos) override;
    void acionarGaveta(int m, int t1, int t2) override;
    void inicializar() override;
    void imprimirPagina() override;
    void imprimirCodigoBarras(int tipo, const uint8_t* dados, int n) override;
    void imprimirImagemNV(int n, int modo) override;
    void imprimirImagemRaster(int modo, int largura, int altura, const uint8_t* dados) override;
    // Waits until the output thread has passed every finished line on, for as long as the link
    // keeps taking bytes (giving up after the time limit without progress, or at once when the link
    // is known to be down), then asks the downstream printer, at most ms (and the time limit). While
    // capturing to a file the drain alone counts.
    bool aguardarFimImpressao(int ms) override;
    void selecionarReverso(bool on) override;
    void selecionarAlinhamento(int n) override;
    void imprimirImagemBits(int modo, int largura, const uint8_t* dados) override;
    bool selecionarTabelaCaracteres(int chave) override;
    void selecionarFonte(int n) override;
    void selecionarTamanhoCaractere(int largura, int altura) override;
    void selecionarFonteHRI(int n) override;
    void selecionarModoPagina() override;
    void selecionarPosicaoHRI(int n) override;
    void selecionarModoPadrao() override;
    void posicaoHorizontalAbsoluta(int n) override;
    void posicaoVerticalAbsoluta(int n) override;
    void alturaCodigoBarras(int n) override;
    void larguraCodigoBarras(int n) override;
    void espacamentoEntreLinhas(int n) override;
    void margemEsquerda(int n) override;
    void unidadesMovimentacao(int x, int y) override;
    void selecionarDispositivo(int n) override;
    void areaImpressaoPagina(int x, int y, int dx, int dy) override;
    void larguraAreaImpressao(int n) override;
    void cabecalhoImagemRaster(int modo, int largura, int altura) override;
    void deslocamentoHorizontal(int n) override;
    void deslocamentoVertical(int n) override;
    void espacamentoEntreCaracteres(int n) override;
    void ativarCaracteresUsuario() override;
    void selecionarInvertido(bool on) override;
    void definirMacro() override;
    void selecionarSublinhado(bool on) override;

    // --- forwarded to the downstream printer ---
    bool lerIdentificacao(PrinterID& destino) override;
    bool lerStatus(PalavraStatus& destino) override;
    int codigoPorta() const override;
    std::string nomePorta() const override;
    // Also applied to the downstream printer and its link.
    void definirTempoLimite(int ms) override;
    // Takes effect from the next band.
    void definirCompactacaoRaster(bool ligada) override { compactar_.store(ligada, std::memory_order_relaxed); }
    void marcarChamada(bool emCurso) noexcept override;
    unsigned conexoesRealizadas() const override;

    void preencherRetangulo(int x0, int y0, int x1, int y1, int padrao) override;
    bool definirLarguraPapel(int pontos) override;
    bool salvarImagem(const std::string& caminho) override;
    bool obterImagem(std::ostream& fluxo) override;
    bool limparImagem() override;
    bool escreverDispositivo(const uint8_t* dados, size_t n) override;
    bool enviarDireto(std::string_view bytes) override;
    bool imprimirTexto(std::string_view bytes) override;

    // --- engine operations ---
    virtual void definirStatusAutomatico(int valor);
    virtual bool descarregarLinha();
    virtual void imprimirCodigoBarrasC(int tipo, const char* texto);
    virtual void definirModoImpressao(int v);
    virtual void definirParametroBarras(int v);
    virtual void definirFonteHRI(int v);
    virtual void selecionarModoBarras(int v);
    virtual void configurarLayout(const int32_t valores[16]);
    void configurarLayout(const PrintSettings& layout);
    // Feeds bytes to the ESC/POS stream parser.
    virtual void alimentarBytes(const uint8_t* dados, size_t n);
    virtual bool renderizarLinha();
    virtual void reiniciarLinha();
    virtual void executarLaco();
    // Prepares reception of a bit image: modo 4..7, `altura` 8 or 24 dots, `largura` columns.
    virtual void iniciarImagemBits(int modo, int altura, int largura);

    void startEngine();
    void stopEngine();
    bool engineRunning() const { return thread_.joinable(); }
    // Lets the output thread send what the ring holds before the engine goes away: bounded by the
    // time limit without progress, and skipped when the link is down and cannot be reopened.
    void drenarSaida();

    // One round of the output loop: hands the finished lines up to the ring's end to the target.
    void rodadaSaida();
    // With the output thread stopped, passes every finished line on to the current target at once,
    // so that no line changes target or is lost when the ring is switched or reallocated.
    void esvaziarParado();
    // One call of the printer output target: sends (part of) one band of at most 512 of the n
    // finished lines, or a command queued behind the lines already sent.
    void saidaImpressora(int n);
    // One call of the file output target.
    void saidaArquivo(int n);

    // A query exchange with the downstream printer, serialised with the output thread.
    std::string consultarDestino(std::string_view comando, int ms, int maximo) {
        return consultarImpressora(comando, ms, maximo);
    }

    // --- inspection (tests, tools) ---
    int capacidadeLinhas() const { return capacidade_; }
    int linhaEscrita() const { return linhaEscrita_; }
    int colunaAtual() const { return coluna_; }
    int celulasPendentes() const { return static_cast<int>(celulas_.size()); }
    bool gravandoMacro() const { return gravandoMacro_; }
    const std::string& macroGravada() const { return macro_; }
    // Finished lines not yet passed on by the output thread.
    int linhasPendentesSaida() const;
    // After an idle period, longest wait for a burst of lines to gather before the first band (ms).
    // It ends early once the call producing the lines is over (see marcarChamada), a caller waits
    // for the output or a full band is ready.
    std::atomic<int> atrasoInicial{10};

    // Longest macro recording; further bytes are dropped until the recording ends.
    static constexpr size_t kMaximoMacro = 64 * 1024;
    // Most rows of a stored NV image; taller ones are consumed and discarded.
    static constexpr int kMaximoLinhasNV = 4096;
    static constexpr int kMaximoCelulas = 120;
    static constexpr int kNumeroImagensNV = 8;

protected:
    struct Celula {
        const DescritorFonte* fonte = nullptr;
        int32_t x = 0;
        int32_t avanco = 0;
        int32_t altura = 0;
        int32_t ascendente = 0;
        const GlifoFonte* glifo = nullptr;
        uint8_t escala = 0;  // low nibble width-1, high nibble height-1
        uint8_t estilo = 0;  // 8 underline, 0x10 emphasis, 0x20 reverse
        int32_t espacamento = 0;
    };

    // Lays out one glyph of a font as the next cell of the line (text layout without the code
    // lookup); exposed to subclasses so that tests can lay out synthetic glyphs.
    void comporGlifo(const DescritorFonte& fonte, const GlifoFonte& glifo);
    void comporByte(uint8_t byte);

    // Hook for the model-specific query exchange; TEngine forwards it to its printer part.
    virtual std::string consultarImpressora(std::string_view comando, int ms, int maximo);

    // The downstream link for a command or query of the caller's thread: waits while the output
    // thread is in the middle of a band (a command there would land inside the raster data), as
    // long as the band progresses; reconnects a link that is down when an attempt is due. The lock
    // is not owned when the link cannot be had.
    std::unique_lock<std::mutex> tomarDispositivo();

    Driver* impressoraDestino;
    // Serialises everything written to or read from the downstream link: the output thread's
    // raster against forwarded commands and queries from the caller's thread.
    mutable std::mutex mutexDispositivo_;

private:
    friend struct ParserAcesso;

    // Ring of dot lines.
    uint8_t* linhaPtr(int linha) { return anel_.data() + static_cast<size_t>(modLinha(linha)) * bytesLinha_; }
    int modLinha(int linha) const {
        linha %= capacidade_;
        return linha < 0 ? linha + capacidade_ : linha;
    }
    void alocarAnel(int largura);
    void pontoOu(int linha, int x);
    void pontoXor(int linha, int x);
    void limparLinhas(int inicio, int quantidade);
    // Lines that may be drawn from the write line on without touching unsent lines; waits while the
    // output thread drains. False when k lines cannot become free within the time limit without
    // progress (later waits then fail at once until the link takes bytes again).
    bool aguardarEspaco(int k);
    int linhasLivres() const;
    // Advances the write line by n lines (room checked in steps of 24), extends the page.
    bool avancarLinhasAnel(int n);
    void publicar();
    int linhasProntasContiguas() const;
    // With the output thread stopped: sends one band of at most n lines (or a due command) before
    // returning; what the printer does not take within the time limit is discarded.
    void enviarLinhasImpressora(int n);
    // Sleeps up to ms, cut short by a stop request.
    void dormirSaida(int ms);
    // The start-up delay: up to ms, cut short once the burst is known to be complete (a caller
    // waits on the output, a full band or a command is ready) or by a stop request.
    void aguardarRajada(int ms);
    // Waits until every finished line and queued command was accepted by the link, following its
    // progress: false after ms without progress or when the link is known to be down.
    bool aguardarSaida(int ms);

    // --- output bands and waiting on progress ---
    // What one band is: raster rows (header, rows, trailer), a paper feed standing for blank
    // lines, or a queued command.
    struct Banda {
        std::string bytes;
        size_t enviados = 0;  // bytes the link accepted on connection `conexao`
        int linhas = 0;       // ring lines the band carries (0 for a command)
        unsigned conexao = 0;
        bool ativa = false;
        size_t cabecalho = 0;  // bytes before the rows
        int larguraLinha = 0;  // bytes per row; 0 when the band carries no rows
        int coluna = 0;        // first byte column of the rows (left margin / 8)
        int avanco = 0;        // dots of a feed band; 0 otherwise
    };
    struct ComandoPendente {
        int antes = 0;  // finished lines still to be sent before it
        std::string bytes;
    };
    bool comandoDevido();
    // Takes a due command, or encodes the next n lines (at most 512) as a band.
    bool prepararBanda(int n);
    // The same with compaction: a blank run becomes a feed, ink lines a band trimmed to their columns.
    void prepararBandaCompacta(int n);
    // With mutexDispositivo_ held: bytes the downstream printer encodes for `comando`, captured
    // through its job buffer.
    std::string codificarNoDestino(const std::function<void(Driver&)>& comando);
    // With mutexDispositivo_ held: the commands that start a raster band of `linhas` rows of
    // `largura` bytes placed at byte column `coluna`, and those that restore the margin after it.
    std::string cabecalhoRaster(int linhas, int coluna, int largura);
    std::string rodapeRaster(int coluna);
    // With mutexDispositivo_ held: prepares a band cut short by a lost link for the new link.
    void retomarBanda();
    // Sends what the link takes of the band within ms; false when the link is down.
    bool enviarBanda(int ms);
    void concluirBanda();
    void descartarBanda();
    // With mutexDispositivo_ held: reopens a link that is down when an attempt is due.
    bool garantirLink();
    void atualizarPorta();
    // Queues a command (encoded by the downstream printer) behind the lines finished so far.
    void enfileirarComando(const std::function<void(Driver&)>& comando);
    // Forwards a mechanical command after the end of printing; queued when that cannot be waited for.
    void encaminharAposImpressao(const std::function<void(Driver&)>& comando);
    bool saidaConcluida() const;
    // Waits for `pronto` on the signals of the output thread (see aguardarSaida for the limits).
    bool aguardarProgresso(const std::function<bool()>& pronto, int ms, bool desistirSeCaido, bool desistencia);
    void registrarProgresso();
    void sinalizar();
    // Counts the calling thread in `contador` while in scope, signalling the output thread when it
    // enters and leaves: the thread's waits (start-up delay, yielding the link) look at the counts.
    class Contado {
    public:
        Contado(Engine& e, std::atomic<int>& contador);
        ~Contado();
        Contado(const Contado&) = delete;
        Contado& operator=(const Contado&) = delete;

    private:
        Engine& e_;
        std::atomic<int>& n_;
    };
    void esperarTrabalho();
    void relatarFalhaSaida(const char* texto) noexcept;
    int paraPontosX(int v) const;
    int paraPontosY(int v) const;
    int movimentoVertical(int v) const;

    struct Desenho {
        const uint8_t* dados = nullptr;
        int largura = 0;
        int linhas = 0;
        int bytesPorLinha = 0;
        bool msbPrimeiro = false;  // raster rows: most significant bit leftmost
        int linha = 0;             // ring line of the first row
        int x = 0;
        int escalaX = 1;
        int escalaY = 1;
        int limiteLinhas = 0;  // rows from `linha` that may be written
    };
    void carregarGlifo(const Desenho& d);

    // Image reception (raster rows or bit-image columns).
    void imagemByte(const uint8_t* dados, size_t n);
    void terminarImagem();

    // Stream parser.
    void tratarTexto(uint8_t b);
    void tratarComando(uint8_t b);
    void executarComando(const ComandoEscPOS& comando, const uint8_t* args);
    size_t coletarDados(const uint8_t* dados, size_t n);
    void iniciarColeta(int tipo, uint64_t quantidade);
    void concluirColeta();
    void despacharSimbolo2D(const uint8_t* p, size_t n);
    void anexarMacro(const uint8_t* dados, size_t n);
    void iniciarGravacao();
    void encerrarGravacao(size_t tamanho);
    void reproduzirMacro();
    void selecionarConversaoPorN(int n);
    // Linear bar codes drawn into the ring (EngineBarras.cpp).
    void desenharCodigoBarras(int tipo, const uint8_t* dados, int n);

    const ConversaoPaginaCodigo* conversaoAtual() const;

    // --- ring state ---
    std::vector<uint8_t> anel_;
    int bytesLinha_ = 0;
    int capacidade_ = 0;
    int linhaEscrita_ = 0;              // caller's thread only
    int coluna_ = 0;                    // composition point, dots
    std::atomic<int> linhaPronta_{0};   // first line not finished (written by the caller)
    std::atomic<int> linhaLeitura_{0};  // first line not output (written by the output thread)
    int inicioPagina_ = 0;
    int alturaPagina_ = 0;   // lines from inicioPagina_ to the page end
    int origemPaginaY_ = 0;  // vertical origin of the page area, lines
    std::mutex mutexAnel_;

    // --- line under composition ---
    std::vector<Celula> celulas_;
    int alturaLinha_ = 0;
    int baseLinha_ = 0;
    int alturaImagemLinha_ = 0;  // bit-image bands drawn on the current line
    int esquerda_ = 0;
    int direita_ = 0;
    int celulaMarcada_ = 0;
    bool linhaCheia_ = false;

    // --- images ---
    struct ImagemNV {
        int largura = 0;  // stored width, dots (multiple of 8, at most the line)
        int altura = 0;
        int bytesOrigem = 0;  // bytes per row as received
        std::vector<uint8_t> dados;
        uint64_t esperado = 0;
        uint64_t recebido = 0;
        bool valida = false;
    };
    std::array<ImagemNV, kNumeroImagensNV> imagensNV_{};
    int imagemNVRecebendo_ = -1;

    struct Recepcao {
        bool ativa = false;
        bool colunas = false;     // bit image (column format)
        int bytesPorUnidade = 0;  // raster: bytes per row; bits: bytes per column
        int unidades = 0;         // raster: rows; bits: columns
        int escalaX = 1;
        int escalaY = 1;
        int x = 0;
        int feitas = 0;
        int recebidos = 0;  // bytes of the current row or column
        bool semEspaco = false;
        std::vector<uint8_t> buffer;
    };
    Recepcao recepcao_;

    struct GlifoUsuario {
        GlifoFonte glifo{};
        std::array<uint8_t, 48> dados{};
        bool definido = false;
    };
    std::array<std::array<GlifoUsuario, 96>, 6> usuario_{};

    // --- output ---
    enum class Alvo { Impressora, Arquivo };
    Alvo alvo_ = Alvo::Impressora;
    std::ostream* fluxo_ = nullptr;
    std::unique_ptr<std::ofstream> arquivo_;
    int linhasArquivo_ = 0;
    bool ocioso_ = true;
    std::vector<uint8_t> saidaBuffer_;
    std::thread thread_;
    std::atomic<bool> parar_{false};
    // Signals between the caller's thread and the output thread: new lines, progress, link state,
    // stop. Every change is counted in sinais_ under the mutex, so no wake-up is lost.
    std::mutex mutexSinal_;
    std::condition_variable cvSinal_;
    uint64_t sinais_ = 0;
    uint64_t sinaisVistos_ = 0;  // output thread only

    Banda banda_;           // output thread (or the caller with the thread stopped)
    std::mutex mutexFila_;  // the queue and the read line move together
    std::deque<ComandoPendente> fila_;
    std::atomic<int> comandosPendentes_{0};
    std::atomic<bool> bandaParcial_{false};
    std::atomic<int> pedidosDispositivo_{0};  // callers waiting in tomarDispositivo
    std::atomic<int> esperasSaida_{0};        // callers waiting on the output thread's progress
    std::atomic<bool> produzindo_{true};      // more lines may come (a call in progress, or unknown)
    std::atomic<bool> compactar_{false};
    std::atomic<int> codificacoes_{0};  // callers encoding a queued command (no I/O)
    std::atomic<int64_t> ultimoProgressoMs_{0};
    std::atomic<bool> linkCaido_{false};
    std::atomic<bool> desistiu_{false};
    std::atomic<int> tempoLimite_{Driver::kTempoLimitePadrao};
    mutable std::mutex mutexPorta_;
    int32_t codigoPortaAtual_ = 0;
    std::string nomePortaAtual_;

    // --- parser ---
    void (Engine::*tratadorByte)(uint8_t) = &Engine::tratarTexto;
    std::array<uint8_t, 255> comando_{};
    size_t tamanhoComando_ = 0;
    int coleta_ = 0;
    uint64_t restantes_ = 0;
    bool coletaNaMacro_ = false;
    std::vector<uint8_t> dadosColeta_;
    int argColeta_[4] = {0, 0, 0, 0};
    int caractereAtual_ = 0;
    bool gravandoMacro_ = false;
    bool reproduzindo_ = false;
    size_t inicioComandoMacro_ = 0;
    std::string macro_;
};

// The renderer bound to a printer model: the model part owns the link and is the downstream
// printer of the engine part.
template <class Modelo>
class TEngine : public Modelo, public Engine {
public:
    explicit TEngine(const std::string& nomePorta) : Modelo(nomePorta), Engine(static_cast<Modelo&>(*this)) {}
    ~TEngine() override {
        Engine::drenarSaida();
        Engine::stopEngine();
    }

    Modelo& impressora() { return *this; }
    const Modelo& impressora() const { return *this; }
    Engine& motor() { return *this; }
    const Engine& motor() const { return *this; }
    virtual void executarLaco() override { Engine::executarLaco(); }

protected:
    std::string consultarImpressora(std::string_view comando, int ms, int maximo) override {
        std::unique_lock<std::mutex> trava = tomarDispositivo();
        if (!trava.owns_lock()) return {};
        return Modelo::consultar(comando, ms, maximo);
    }
};

}  // namespace Ordal::Printer
