#include "printer/Engine.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "transport/Diagnostico.h"
#include "transport/UART.h"

namespace Ordal::Printer {

namespace {

using Relogio = std::chrono::steady_clock;

constexpr int kPassoAvanco = 24;
constexpr int kLinhasPorRaster = 512;
// Most dots one feed command advances.
constexpr int kAvancoMaximoComando = 255;
// Longest time the output thread holds the link in one write: a stop request or a query waiting
// between bands is served at least this often.
constexpr int kFatiaEnvioMs = 200;

int64_t agoraMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(Relogio::now().time_since_epoch()).count();
}
// Largest distance a converted motion may give (dots, about 2 km): sums of positions then stay
// far inside int.
constexpr int64_t kMovimentoMaximo = int64_t(1) << 24;

// Bytes per row of an image `largura` dots wide, for any int.
int64_t bytesPorLinha(int largura) { return (int64_t(largura) + 7) / 8; }

struct TabelaInversao {
    uint8_t v[256];
    constexpr TabelaInversao() : v{} {
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                if (i & (1 << b)) r |= 0x80 >> b;
            v[i] = static_cast<uint8_t>(r);
        }
    }
};
constexpr TabelaInversao kInverter;

// 24-dot pattern row cycles of preencherRetangulo.
struct Padrao {
    int n;
    uint32_t linhas[4];
};
constexpr Padrao kPadroes[5] = {
    {1, {0xFFFFFF}},
    {2, {0xAAAAAA, 0x555555}},
    {3, {0x492492, 0x249249, 0x924924}},
    {4, {0x000000, 0x555555, 0x000000, 0xAAAAAA}},
    {3, {0x000000, 0x000000, 0x555555}},
};

void escrever32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

Engine::Engine(Driver& destino)
    : Driver(static_cast<const Specification&>(destino), static_cast<const Settings&>(destino)),
      impressoraDestino(&destino) {
    for (int i = 0; i < 6; ++i) {
        const DescritorFonte& d = descritorFonte(i);
        fontes[i] = Fonte{d.nome, d.avanco, d.altura, d.ascendente};
    }
    Specification::espelharFontes();
    // Full width, one motion unit per dot. Specification::resolucao may be 0 in a bare template: the
    // ring still needs a capacity.
    padroes.larguraImpressao = Specification::larguraPontos;
    padroes.unidadeHorizontal = Specification::resolucaoX;
    padroes.unidadeVertical = Specification::resolucaoY;
    configurarLayout(padroes);
    celulas_.reserve(kMaximoCelulas);
    alocarAnel(Specification::larguraPontos);
    atualizarPorta();
    // A printer that could not be reached at construction is down until an attempt succeeds.
    linkCaido_.store(destino.link && !destino.link->utilizavel(), std::memory_order_relaxed);
    ultimoProgressoMs_.store(agoraMs(), std::memory_order_relaxed);
    startEngine();
}

Engine::~Engine() {
    drenarSaida();
    std::lock_guard<std::mutex> trava(mutexAnel_);
    stopEngine();
    if (arquivo_) arquivo_->close();
}

void Engine::alocarAnel(int largura) {
    largura = std::max(8, (largura + 7) / 8 * 8);
    bytesLinha_ = largura / 8;
    const int res = Specification::resolucao > 0 ? Specification::resolucao : 180;
    capacidade_ = 40 * res;
    anel_.assign(static_cast<size_t>(capacidade_) * bytesLinha_, 0);
    saidaBuffer_.assign(static_cast<size_t>(kLinhasPorRaster) * bytesLinha_, 0);
    linhaEscrita_ = 0;
    coluna_ = std::min(margemTexto, largura - 1);
    inicioPagina_ = alturaPagina_ = origemPaginaY_ = 0;
    linhaPronta_.store(0, std::memory_order_release);
    linhaLeitura_.store(0, std::memory_order_release);
}

// ---------------------------------------------------------------------------------------------
// Ring primitives

void Engine::pontoOu(int linha, int x) {
    if (x < 0 || x >= bytesLinha_ * 8) return;
    linhaPtr(linha)[x >> 3] |= static_cast<uint8_t>(1u << (x & 7));
}

void Engine::pontoXor(int linha, int x) {
    if (x < 0 || x >= bytesLinha_ * 8) return;
    linhaPtr(linha)[x >> 3] ^= static_cast<uint8_t>(1u << (x & 7));
}

void Engine::limparLinhas(int inicio, int quantidade) {
    quantidade = std::min(quantidade, capacidade_);
    for (int i = 0; i < quantidade; ++i) std::memset(linhaPtr(inicio + i), 0, bytesLinha_);
}

int Engine::linhasLivres() const {
    const int leitura = linhaLeitura_.load(std::memory_order_acquire);
    int livres = (leitura - linhaEscrita_) % capacidade_;
    if (livres < 0) livres += capacidade_;
    return livres == 0 ? capacidade_ : livres;
}

int Engine::linhasPendentesSaida() const {
    int n =
        (linhaPronta_.load(std::memory_order_acquire) - linhaLeitura_.load(std::memory_order_acquire)) % capacidade_;
    return n < 0 ? n + capacidade_ : n;
}

bool Engine::aguardarEspaco(int k) {
    if (k < 0) k = 0;
    if (k >= capacidade_ - 1) return false;
    if (k < linhasLivres()) return true;
    // In page mode the thread stops at the page start: once there, nothing more will drain.
    auto paginaParada = [&] { return modoPagina && linhaLeitura_.load(std::memory_order_acquire) == inicioPagina_; };
    // A printer that is away keeps its lines in the ring: the wait lasts the time limit, so a
    // printer plugged back in meanwhile completes the receipt.
    aguardarProgresso([&] { return k < linhasLivres() || paginaParada(); }, tempoLimite_.load(), false, true);
    return k < linhasLivres();
}

void Engine::publicar() {
    // Lines above the write line (or above the page in page mode) are finished.
    linhaPronta_.store(modoPagina ? inicioPagina_ : linhaEscrita_, std::memory_order_release);
    sinalizar();
}

bool Engine::avancarLinhasAnel(int n) {
    while (n > 0) {
        const int passo = std::min(n, kPassoAvanco);
        if (!aguardarEspaco(passo)) return false;
        linhaEscrita_ = modLinha(linhaEscrita_ + passo);
        n -= passo;
        if (modoPagina) {
            const int dist = modLinha(linhaEscrita_ - inicioPagina_);
            alturaPagina_ = std::max(alturaPagina_, dist);
        }
        publicar();
    }
    return true;
}

bool Engine::aguardarSaida(int ms) {
    return aguardarProgresso([this] { return saidaConcluida(); }, ms, true, true);
}

bool Engine::saidaConcluida() const {
    return linhasPendentesSaida() == 0 && comandosPendentes_.load(std::memory_order_acquire) == 0;
}

void Engine::sinalizar() {
    {
        std::lock_guard<std::mutex> trava(mutexSinal_);
        ++sinais_;
    }
    cvSinal_.notify_all();
}

Engine::Contado::Contado(Engine& e, std::atomic<int>& contador) : e_(e), n_(contador) {
    n_.fetch_add(1, std::memory_order_acq_rel);
    e_.sinalizar();
}

Engine::Contado::~Contado() {
    n_.fetch_sub(1, std::memory_order_acq_rel);
    e_.sinalizar();
}

void Engine::registrarProgresso() {
    ultimoProgressoMs_.store(agoraMs(), std::memory_order_release);
    desistiu_.store(false, std::memory_order_release);
}

bool Engine::aguardarProgresso(const std::function<bool()>& pronto, int ms, bool desistirSeCaido, bool desistencia) {
    const int64_t inicio = agoraMs();
    // A caller waiting on the output means the burst is complete: the start-up delay ends.
    const Contado espera(*this, esperasSaida_);
    std::unique_lock<std::mutex> trava(mutexSinal_);
    for (;;) {
        if (pronto()) return true;
        if (!engineRunning() || parar_.load(std::memory_order_acquire)) return false;
        // An earlier wait already gave up on this printer and it took nothing since.
        if (desistiu_.load(std::memory_order_acquire)) return false;
        if (desistirSeCaido && linkCaido_.load(std::memory_order_acquire)) return false;
        const int64_t base = std::max(inicio, ultimoProgressoMs_.load(std::memory_order_acquire));
        const int64_t limite = base + std::max(ms, 0);
        if (agoraMs() >= limite) {
            if (desistencia && !desistiu_.exchange(true)) {
                trava.unlock();
                UART::relatarDiagnostico("RX457: a impressora não aceitou dados em " + std::to_string(ms) +
                                         " ms; a espera foi abandonada");
            }
            return false;
        }
        cvSinal_.wait_until(trava, Relogio::time_point(std::chrono::milliseconds(limite)));
    }
}

int Engine::paraPontosX(int v) const {
    const int unidade = unidadeHorizontal > 0 ? unidadeHorizontal : Specification::resolucaoX;
    const int64_t pontos = unidade <= 0 ? v : int64_t(v) * Specification::resolucaoX / unidade;
    return static_cast<int>(std::clamp(pontos, -kMovimentoMaximo, kMovimentoMaximo));
}

int Engine::paraPontosY(int v) const {
    const int unidade = unidadeVertical > 0 ? unidadeVertical : Specification::resolucaoY;
    const int64_t pontos = unidade <= 0 ? v : int64_t(v) * Specification::resolucaoY / unidade;
    return static_cast<int>(std::clamp(pontos, -kMovimentoMaximo, kMovimentoMaximo));
}

// ---------------------------------------------------------------------------------------------
// Drawing

void Engine::carregarGlifo(const Desenho& d) {
    if (!d.dados || d.largura <= 0 || d.linhas <= 0 || d.bytesPorLinha <= 0) return;
    const int larguraAnel = bytesLinha_ * 8;
    const int sx = std::max(1, d.escalaX), sy = std::max(1, d.escalaY);
    const int linhasMax = d.limiteLinhas;
    if (!d.msbPrimeiro && sx == 1 && sy == 1 && d.largura <= 16 && d.bytesPorLinha <= 2 && d.x >= 0) {
        // Common case: each row is one 16-bit little-endian word ORed in at the row's bit position.
        const int byte0 = d.x >> 3, desloc = d.x & 7;
        for (int r = 0; r < d.linhas && r < linhasMax; ++r) {
            const uint8_t* s = d.dados + static_cast<size_t>(r) * d.bytesPorLinha;
            uint32_t palavra = s[0] | (d.bytesPorLinha > 1 ? uint32_t(s[1]) << 8 : 0u);
            palavra &= (1u << d.largura) - 1u;
            if (!palavra) continue;
            palavra <<= desloc;
            uint8_t* linha = linhaPtr(d.linha + r);
            for (int b = 0; b < 3 && palavra; ++b, palavra >>= 8)
                if (byte0 + b < bytesLinha_) linha[byte0 + b] |= static_cast<uint8_t>(palavra);
        }
        return;
    }
    for (int r = 0; r < d.linhas; ++r) {
        if (r * sy >= linhasMax) break;
        const uint8_t* s = d.dados + static_cast<size_t>(r) * d.bytesPorLinha;
        for (int c = 0; c < d.largura; ++c) {
            const int byte = c >> 3;
            const bool preto = d.msbPrimeiro ? (s[byte] >> (7 - (c & 7))) & 1 : (s[byte] >> (c & 7)) & 1;
            if (!preto) continue;
            const int x0 = d.x + c * sx;
            if (x0 >= larguraAnel) break;
            for (int ry = 0; ry < sy && r * sy + ry < linhasMax; ++ry)
                for (int rx = 0; rx < sx; ++rx) pontoOu(d.linha + r * sy + ry, x0 + rx);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Text layout

const ConversaoPaginaCodigo* Engine::conversaoAtual() const {
    if (conversao <= 0) return nullptr;
    int quantidade = 0;
    const ConversaoPaginaCodigo* todas = conversoesPaginaCodigo(&quantidade);
    return conversao <= quantidade ? &todas[conversao - 1] : nullptr;
}

void Engine::comporByte(uint8_t byte) {
    const int numeroFonte = estilo & 7;
    const DescritorFonte& fonte = descritorFonte(numeroFonte);
    const int indice = glifoDoByte(byte, conversaoAtual());
    if (indice < 0 || indice >= kGlifosPorFonte || !fonte.glifos) return;
    const GlifoFonte* glifo = &fonte.glifos[indice];
    if ((chaves & 0xFF) && byte >= 32 && byte <= 127 && numeroFonte < 6) {
        const GlifoUsuario* u = byte - 32 < 96 ? &usuario_[numeroFonte][byte - 32] : nullptr;
        if (u && u->definido) glifo = &u->glifo;
    }
    comporGlifo(fonte, *glifo);
}

void Engine::comporGlifo(const DescritorFonte& fonte, const GlifoFonte& glifo) {
    const int sx = ((estilo >> 8) & 0xF) + 1;
    const int sy = ((estilo >> 12) & 0xF) + 1;
    const int avanco = static_cast<int>(glifo.largura) * sx;
    const bool quebra = (chaves >> 8) & 0xFF;
    auto cabe = [&] {
        return !linhaCheia_ && coluna_ + avanco <= larguraImpressao &&
               static_cast<int>(celulas_.size()) < kMaximoCelulas;
    };
    if (!cabe()) {
        if (!quebra) {
            linhaCheia_ = true;
            return;
        }
        // A line holding nothing yet is not fed again: a glyph wider than the whole area would
        // otherwise feed one blank line per character.
        if (!celulas_.empty() || coluna_ > margemTexto) descarregarLinha();
        linhaCheia_ = false;
        if (!cabe()) return;
    }
    Celula c;
    c.fonte = &fonte;
    c.x = coluna_;
    c.avanco = avanco;
    c.altura = fonte.altura * sy;
    c.ascendente = fonte.ascendente * sy;
    c.glifo = &glifo;
    c.escala = static_cast<uint8_t>(((sy - 1) << 4) | (sx - 1));
    c.estilo = static_cast<uint8_t>(estilo & 0x38);
    c.espacamento = (espacamentoCaractere + fonte.espacamentoExtra) * sx;
    if (celulas_.empty()) {
        esquerda_ = c.x;
        direita_ = c.x + avanco;
    } else {
        esquerda_ = std::min(esquerda_, c.x);
        direita_ = std::max(direita_, c.x + avanco);
    }
    celulas_.push_back(c);
    coluna_ += avanco;
    if (coluna_ < larguraImpressao)
        coluna_ = std::min(coluna_ + std::max(c.espacamento, 0), larguraImpressao);
    else
        linhaCheia_ = true;
    alturaLinha_ = std::max(alturaLinha_, c.altura);
    baseLinha_ = std::max(baseLinha_, c.ascendente);
}

void Engine::reiniciarLinha() {
    celulas_.clear();
    alturaLinha_ = baseLinha_ = alturaImagemLinha_ = 0;
    esquerda_ = direita_ = 0;
    celulaMarcada_ = 0;
    linhaCheia_ = false;
}

bool Engine::renderizarLinha() {
    if (celulas_.empty()) return true;
    const int altura = std::max(alturaLinha_, espacamentoLinha);
    if (!aguardarEspaco(altura)) {
        reiniciarLinha();
        return false;
    }
    const int usado = direita_ - esquerda_;
    if (usado > 0 && usado < larguraImpressao - margemTexto) {
        const int d = larguraImpressao - usado - esquerda_;
        switch (alinhamentoTexto) {
        case 1:
            for (Celula& c : celulas_) c.x += d / 2;
            break;
        case 2:
            for (Celula& c : celulas_) c.x += d;
            break;
        case 6:
            for (size_t i = static_cast<size_t>(std::max(celulaMarcada_, 0)); i < celulas_.size(); ++i)
                celulas_[i].x += d;
            alinhamentoTexto = 0;
            Status::alinhamento = 0;
            break;
        case 7: {
            // Spread the cells so that the last one ends at the right end of the area.
            const Celula& ultima = celulas_.back();
            const int origem = ultima.x - esquerda_;
            const int destino = larguraImpressao - ultima.avanco - esquerda_;
            if (celulas_.size() > 1 && origem > 0 && destino > origem)
                for (Celula& c : celulas_)
                    c.x = esquerda_ + static_cast<int>(int64_t(c.x - esquerda_) * destino / origem);
            break;
        }
        default: break;
        }
    }
    for (const Celula& c : celulas_) {
        const int sx = (c.escala & 0xF) + 1, sy = (c.escala >> 4) + 1;
        // Cells of different heights share the baseline.
        const int topoCelula = baseLinha_ - c.ascendente;
        if (c.glifo && c.glifo->dados && c.glifo->linhas > 0) {
            Desenho d;
            d.dados = c.glifo->dados;
            d.largura = static_cast<int>(c.glifo->largura);
            d.linhas = static_cast<int>(c.glifo->linhas);
            d.bytesPorLinha = (d.largura + 7) / 8;
            const int topo = topoCelula + static_cast<int>(c.glifo->topo) * sy;
            d.linha = linhaEscrita_ + topo;
            d.limiteLinhas = std::max(0, altura - topo);
            d.x = c.x;
            d.escalaX = sx;
            d.escalaY = sy;
            carregarGlifo(d);
            if (c.estilo & 0x10) {
                d.x = c.x + 1;
                carregarGlifo(d);
            }
        }
        if (c.estilo & 0x08) {
            // A steady bar two rows under the baseline, so underlined words read as one line.
            const int y0 = topoCelula + (c.ascendente / sy + 1) * sy;
            for (int r = 0; r < 2 * sy && y0 + r < altura; ++r)
                for (int x = c.x; x < c.x + c.avanco + std::max(c.espacamento, 0); ++x)
                    pontoOu(linhaEscrita_ + y0 + r, x);
        }
        if (c.estilo & 0x20) {
            for (int r = topoCelula; r < topoCelula + c.altura && r < altura; ++r)
                for (int x = c.x; x < c.x + c.avanco + std::max(c.espacamento, 0); ++x) pontoXor(linhaEscrita_ + r, x);
        }
    }
    reiniciarLinha();
    return true;
}

bool Engine::descarregarLinha() {
    int avanco;
    bool ok = true;
    if (!celulas_.empty()) {
        const int altura = std::max(alturaLinha_, alturaImagemLinha_);
        ok = renderizarLinha();
        avanco = std::max(altura, espacamentoLinha);
    } else if (espacamentoLinha > 0) {
        avanco = std::max(espacamentoLinha, alturaImagemLinha_);
    } else {
        avanco = std::max(descritorFonte(estilo & 7).altura * (((estilo >> 12) & 0xF) + 1), alturaImagemLinha_);
    }
    reiniciarLinha();
    avancarPapel(avanco);
    return ok;
}

// ---------------------------------------------------------------------------------------------
// Styles and positions

void Engine::selecionarNegrito(bool on) { estilo = on ? (estilo | 0x10) : (estilo & ~0x10); }
void Engine::selecionarSublinhado(bool on) { estilo = on ? (estilo | 0x08) : (estilo & ~0x08); }
void Engine::selecionarReverso(bool on) { estilo = on ? (estilo | 0x20) : (estilo & ~0x20); }
void Engine::selecionarInvertido(bool) {}
void Engine::selecionarDispositivo(int) {}
void Engine::desativarCaracteresUsuario() { chaves &= ~0xFF; }
void Engine::ativarCaracteresUsuario() { chaves = (chaves & ~0xFF) | 1; }
void Engine::desativarQuebraLinha() { chaves &= ~0xFF00; }
void Engine::ativarQuebraLinha() { chaves = (chaves & ~0xFF00) | 0x100; }
void Engine::desativarStatusAutomatico() { definirStatusAutomatico(0); }
void Engine::ativarStatusAutomatico() { definirStatusAutomatico(0x0F); }

void Engine::definirStatusAutomatico(int valor) {
    if (gravandoMacro_) encerrarGravacao(macro_.size());
    statusAutomatico = valor;
}

void Engine::selecionarAlinhamento(int n) {
    if (n != 0 && n != 1 && n != 2 && n != 6 && n != 7) return;
    Driver::selecionarAlinhamento(n);
    alinhamentoTexto = n;
    celulaMarcada_ = static_cast<int>(celulas_.size());
}

void Engine::selecionarFonte(int n) {
    // Font numbers mean their value mod 8; only descriptors 0..5 are selectable.
    const int f = n & 7;
    if (f > 5) return;
    estilo = (estilo & ~7) | f;
    fonte = f;
}

void Engine::selecionarTamanhoCaractere(int largura, int altura) {
    if (largura >= 0 && largura <= 15) {
        estilo = (estilo & ~0x0F00) | (largura << 8);
        multLargura = largura;
    }
    if (altura >= 0 && altura <= 15) {
        estilo = (estilo & ~0xF000) | (altura << 12);
        multAltura = altura;
    }
}

void Engine::definirModoImpressao(int v) {
    if ((v & 7) > 5) return;
    estilo = v;
    fonte = v & 7;
    multLargura = (v >> 8) & 0xF;
    multAltura = (v >> 12) & 0xF;
}

void Engine::selecionarFonteHRI(int n) { definirFonteHRI(n); }
void Engine::definirFonteHRI(int v) {
    if ((v & 7) <= 5) fonteHRI = v & 7;
}
void Engine::selecionarPosicaoHRI(int n) { opcoesBarras = (opcoesBarras & ~0xFF00) | ((n & 3) << 8); }
void Engine::definirParametroBarras(int v) { opcoesBarras = (opcoesBarras & ~0xFF) | (v & 0xFF); }
void Engine::selecionarModoBarras(int v) {
    if (v == 0 || v == 1 || v == '0' || v == '1') opcoesBarras = (opcoesBarras & ~0xFF0000) | ((v & 1) << 16);
}
void Engine::alturaCodigoBarras(int n) {
    if (n >= 1 && n <= 1023) barras = (barras & 0xFFFF) | (n << 16);
}
void Engine::larguraCodigoBarras(int n) {
    if (n >= 1 && n <= 6) barras = (barras & ~0xFF) | n;
}

void Engine::selecionarFonteCondensada() {
    std::unique_lock<std::mutex> trava = tomarDispositivo();
    if (trava.owns_lock()) impressoraDestino->selecionarFonteCondensada();
}

void Engine::selecionarFonteNormal() {
    std::unique_lock<std::mutex> trava = tomarDispositivo();
    if (trava.owns_lock()) impressoraDestino->selecionarFonteNormal();
}

void Engine::posicaoHorizontalAbsoluta(int n) {
    const int x = margemTexto + paraPontosX(n);
    if (x >= 0 && x < larguraImpressao) {
        coluna_ = x;
        linhaCheia_ = false;
    }
}

void Engine::deslocamentoHorizontal(int n) {
    const int x = coluna_ + paraPontosX(static_cast<int16_t>(n & 0xFFFF));
    if (x >= margemTexto && x < larguraImpressao) {
        coluna_ = x;
        linhaCheia_ = false;
    }
}

// A tiny vertical motion unit would turn one command into miles of blank paper: a single motion
// goes at most the length of the ring (40 inches), and the line spacing at most 255 dots.
int Engine::movimentoVertical(int v) const { return std::clamp(paraPontosY(v), 0, capacidade_); }

void Engine::deslocamentoVertical(int n) { avancarPapel(movimentoVertical(n & 0xFFFF)); }

void Engine::posicaoVerticalAbsoluta(int n) {
    if (!modoPagina) return;
    if (!celulas_.empty()) descarregarLinha();
    const int coluna = coluna_;
    linhaEscrita_ = modLinha(inicioPagina_ + origemPaginaY_);
    avancarLinhasAnel(movimentoVertical(n & 0xFFFF));
    coluna_ = coluna;
}

void Engine::espacamentoEntreLinhas(int n) { espacamentoLinha = std::min(movimentoVertical(n & 0xFF), 255); }

void Engine::espacamentoEntreCaracteres(int n) {
    const int v = paraPontosX(n);
    if (v >= 0 && v <= 47) espacamentoCaractere = v;
}

void Engine::margemEsquerda(int n) {
    const int m = paraPontosX(n);
    if (m < 0 || m >= Specification::larguraPontos) return;
    margemTexto = m;
    Status::margemEsquerda = m;
    if (larguraImpressao <= m) larguraImpressao = Specification::larguraPontos;
    if (celulas_.empty()) {
        coluna_ = m;
        linhaCheia_ = false;
    }
}

void Engine::larguraAreaImpressao(int n) {
    larguraImpressao = std::min(margemTexto + paraPontosX(n), Specification::larguraPontos);
    if (larguraImpressao <= margemTexto) larguraImpressao = Specification::larguraPontos;
}

void Engine::unidadesMovimentacao(int x, int y) {
    // Unit 0 stands for the printer's own resolution (it would otherwise divide by zero).
    unidadeHorizontal = x > 0 ? x : Specification::resolucaoX;
    unidadeVertical = y > 0 ? y : Specification::resolucaoY;
}

void Engine::areaImpressaoPagina(int x, int y, int dx, int dy) {
    (void)dy;
    if (!modoPagina) return;
    const int px = paraPontosX(x), pdx = paraPontosX(dx);
    if (px < 0 || px >= Specification::larguraPontos || pdx <= 0) return;
    margemTexto = px;
    larguraImpressao = std::min(px + pdx, Specification::larguraPontos);
    origemPaginaY_ = std::clamp(paraPontosY(y), 0, capacidade_ / 2);
    if (celulas_.empty()) coluna_ = px;
}

void Engine::configurarLayout(const int32_t valores[16]) {
    PrintSettings layout;
    std::memcpy(static_cast<void*>(&layout), valores, sizeof layout);
    configurarLayout(layout);
}

void Engine::configurarLayout(const PrintSettings& layout) {
    static_cast<PrintSettings&>(*this) = layout;
    const int w = Specification::larguraPontos;
    margemTexto = std::clamp(margemTexto, 0, std::max(0, w - 1));
    if (larguraImpressao <= margemTexto || larguraImpressao > w) larguraImpressao = w;
    fonte = estilo & 7;
    multLargura = (estilo >> 8) & 0xF;
    multAltura = (estilo >> 12) & 0xF;
    Status::margemEsquerda = margemTexto;
    Status::alinhamento = alinhamentoTexto;
    if (celulas_.empty()) {
        coluna_ = margemTexto;
        linhaCheia_ = false;
    }
}

void Engine::inicializar() {
    if (modoPagina) cancelarDadosPagina();
    padroes.larguraImpressao = Specification::larguraPontos;
    configurarLayout(padroes);
}

bool Engine::selecionarTabelaCaracteres(int chave) {
    int quantidade = 0;
    const ConversaoPaginaCodigo* todas = conversoesPaginaCodigo(&quantidade);
    for (int i = 0; i < quantidade; ++i)
        if (todas[i].chave == chave) {
            conversao = i + 1;
            return true;
        }
    return false;
}

void Engine::selecionarConversaoPorN(int n) {
    int quantidade = 0;
    const ConversaoPaginaCodigo* todas = conversoesPaginaCodigo(&quantidade);
    for (int i = 0; i < quantidade; ++i)
        if (todas[i].n == n) {
            conversao = i + 1;
            return;
        }
}

void Engine::definirCaracteresUsuario(int codigo, int largura, int y, const uint8_t* dados) {
    const int f = estilo & 7;
    if (!dados || y != 3 || codigo < 32 || codigo > 125 || f > 5) return;
    const DescritorFonte& fonte = descritorFonte(f);
    if (largura < 8 || largura > 16) return;
    GlifoUsuario& u = usuario_[f][codigo - 32];
    u.dados.fill(0);
    const int bytesLinha = (largura + 7) / 8;
    // Columns of three bytes, top to bottom, most significant bit first.
    for (int c = 0; c < largura; ++c)
        for (int r = 0; r < 24; ++r)
            if ((dados[c * 3 + r / 8] >> (7 - r % 8)) & 1) u.dados[r * bytesLinha + c / 8] |= uint8_t(1u << (c % 8));
    u.glifo = GlifoFonte{static_cast<uint32_t>(largura), static_cast<uint32_t>(std::min(fonte.altura, 24)), 0,
                         u.dados.data()};
    u.definido = true;
}

// ---------------------------------------------------------------------------------------------
// Feeding and page mode

void Engine::avancarPapel(int pontos) {
    if (!celulas_.empty()) descarregarLinha();
    coluna_ = margemTexto;
    linhaCheia_ = false;
    alturaImagemLinha_ = 0;
    if (pontos > 0) avancarLinhasAnel(pontos);
}

void Engine::selecionarModoPagina() {
    if (modoPagina) imprimirPagina();
    if (!celulas_.empty()) descarregarLinha();
    inicioPagina_ = linhaEscrita_;
    alturaPagina_ = 0;
    origemPaginaY_ = 0;
    coluna_ = margemTexto;
    modoPagina = 1;
    publicar();
}

void Engine::imprimirPagina() {
    if (!modoPagina) return;
    if (!celulas_.empty()) descarregarLinha();
    linhaEscrita_ = modLinha(inicioPagina_ + alturaPagina_);
    coluna_ = margemTexto;
    modoPagina = 0;
    publicar();
}

void Engine::cancelarDadosPagina() {
    if (!modoPagina) return;
    reiniciarLinha();
    // Everything from the page start up to the first unsent line belongs to the page (or is
    // blank): clear it all, so no dot drawn below the page end survives either.
    const int leitura = linhaLeitura_.load(std::memory_order_acquire);
    int n = modLinha(leitura - inicioPagina_);
    if (n == 0) n = capacidade_;
    limparLinhas(inicioPagina_, n);
    linhaEscrita_ = inicioPagina_;
    coluna_ = margemTexto;
    modoPagina = 0;
    publicar();
}

void Engine::selecionarModoPadrao() {
    imprimirPagina();
    modoPagina = 0;
    publicar();
}

// ---------------------------------------------------------------------------------------------
// Rectangles

void Engine::preencherRetangulo(int x0, int y0, int x1, int y1, int padrao) {
    if (padrao < 0 || padrao > 4) return;
    const int wmax = bytesLinha_ * 8 - 1;
    x0 = std::clamp(x0, 0, wmax);
    x1 = std::clamp(x1, 0, wmax);
    if (x1 < x0 || y0 < 0 || y1 < y0) return;
    y1 = std::min(y1, capacidade_ - 3);
    if (y0 > y1) return;
    if (!aguardarEspaco(y1 + 1)) return;
    const Padrao& p = kPadroes[padrao];
    for (int y = y0; y <= y1; ++y) {
        const uint32_t linha = p.linhas[(y % 24) % p.n];
        if (!linha) continue;
        for (int x = x0; x <= x1; ++x)
            if ((linha >> (23 - x % 24)) & 1) pontoOu(linhaEscrita_ + y, x);
    }
}

// ---------------------------------------------------------------------------------------------
// Images

void Engine::cabecalhoImagemRaster(int modo, int largura, int altura) {
    terminarImagem();
    if (modo < 0 || modo > 3 || largura <= 0 || altura <= 0) return;
    if (!celulas_.empty()) descarregarLinha();
    recepcao_ = Recepcao{};
    recepcao_.ativa = true;
    recepcao_.colunas = false;
    recepcao_.bytesPorUnidade = static_cast<int>(bytesPorLinha(largura));
    recepcao_.unidades = altura;
    recepcao_.escalaX = (modo & 1) ? 2 : 1;
    recepcao_.escalaY = (modo & 2) ? 2 : 1;
    recepcao_.x = coluna_;
    // Only what fits on the line is kept of each row; the rest is consumed.
    recepcao_.buffer.reserve(static_cast<size_t>(std::min(recepcao_.bytesPorUnidade, bytesLinha_ + 1)));
}

void Engine::iniciarImagemBits(int modo, int altura, int largura) {
    terminarImagem();
    if (modo < 4 || modo > 7 || (altura != 8 && altura != 24) || largura <= 0) return;
    recepcao_ = Recepcao{};
    recepcao_.ativa = true;
    recepcao_.colunas = true;
    recepcao_.bytesPorUnidade = altura / 8;
    recepcao_.unidades = largura;
    // Single-density modes halve the horizontal density; the 8-dot modes print each dot 3 rows tall.
    recepcao_.escalaX = (modo == 4 || modo == 6) ? 2 : 1;
    recepcao_.escalaY = (modo == 4 || modo == 5) ? 3 : 1;
    const int bandaAltura = altura * recepcao_.escalaY;
    const int64_t larguraBanda = int64_t(largura) * recepcao_.escalaX;
    if (coluna_ + larguraBanda > larguraImpressao && coluna_ > margemTexto) {
        if (!celulas_.empty()) descarregarLinha();
        avancarPapel(std::max(bandaAltura, alturaImagemLinha_));
    }
    recepcao_.x = coluna_;
    recepcao_.semEspaco = !aguardarEspaco(bandaAltura);
    alturaImagemLinha_ = std::max(alturaImagemLinha_, bandaAltura);
}

void Engine::imagemByte(const uint8_t* dados, size_t n) {
    Recepcao& r = recepcao_;
    if (!r.ativa) return;
    const int larguraAnel = bytesLinha_ * 8;
    for (size_t i = 0; i < n && r.ativa; ++i) {
        if (static_cast<int>(r.buffer.size()) < std::min(r.bytesPorUnidade, bytesLinha_ + 1))
            r.buffer.push_back(dados[i]);
        // Bytes past the buffered part of a row are consumed without being kept.
        if (++r.recebidos < r.bytesPorUnidade) continue;
        r.recebidos = 0;
        if (!r.colunas) {
            if (aguardarEspaco(r.escalaY)) {
                Desenho d;
                d.dados = r.buffer.data();
                d.largura = std::min(static_cast<int>(r.buffer.size()) * 8, larguraAnel);
                d.linhas = 1;
                d.bytesPorLinha = static_cast<int>(r.buffer.size());
                d.msbPrimeiro = true;
                d.linha = linhaEscrita_;
                d.x = r.x;
                d.escalaX = r.escalaX;
                d.escalaY = r.escalaY;
                d.limiteLinhas = r.escalaY;
                if (r.escalaX == 1 && (r.x & 7) == 0) {
                    // Byte-aligned rows at 1:1 go in whole bytes.
                    const int b0 = r.x >> 3;
                    for (int b = 0; b < d.bytesPorLinha && b0 + b < bytesLinha_; ++b)
                        for (int ry = 0; ry < r.escalaY; ++ry)
                            linhaPtr(linhaEscrita_ + ry)[b0 + b] |= kInverter.v[r.buffer[b]];
                } else {
                    carregarGlifo(d);
                }
                avancarLinhasAnel(r.escalaY);
            }
        } else if (!r.semEspaco) {
            const int x = r.x + r.feitas * r.escalaX;
            for (int k = 0; k < r.bytesPorUnidade && x < larguraAnel; ++k)
                for (int bit = 0; bit < 8; ++bit)
                    if ((r.buffer[k] >> (7 - bit)) & 1)
                        for (int ry = 0; ry < r.escalaY; ++ry)
                            for (int rx = 0; rx < r.escalaX; ++rx)
                                pontoOu(linhaEscrita_ + (k * 8 + bit) * r.escalaY + ry, x + rx);
        }
        r.buffer.clear();
        if (++r.feitas >= r.unidades) terminarImagem();
    }
}

void Engine::terminarImagem() {
    Recepcao& r = recepcao_;
    if (!r.ativa) return;
    r.ativa = false;
    if (r.colunas) {
        coluna_ = static_cast<int>(std::min<int64_t>(r.x + int64_t(r.unidades) * r.escalaX, larguraImpressao));
    } else {
        coluna_ = margemTexto;
        linhaCheia_ = false;
    }
}

void Engine::imprimirImagemRaster(int modo, int largura, int altura, const uint8_t* dados) {
    if (!dados || largura <= 0 || altura <= 0) return;
    cabecalhoImagemRaster(modo, largura, altura);
    if (!recepcao_.ativa) return;
    imagemByte(dados, static_cast<size_t>(bytesPorLinha(largura)) * static_cast<size_t>(altura));
    terminarImagem();
}

void Engine::imprimirImagemBits(int modo, int largura, const uint8_t* dados) {
    if (!dados || largura <= 0) return;
    const int altura = modo >= 6 ? 24 : 8;
    iniciarImagemBits(modo, altura, largura);
    if (!recepcao_.ativa) return;
    imagemByte(dados, static_cast<size_t>(largura) * (altura / 8));
    terminarImagem();
}

void Engine::definirImagemNV(int n, int largura, int altura, const uint8_t* dados) {
    imagemNVRecebendo_ = -1;
    if (n < 0 || n >= kNumeroImagensNV || largura <= 0 || altura <= 0) return;
    ImagemNV& img = imagensNV_[n];
    img = ImagemNV{};
    // The command counts in 16 bits: larger images cannot be described.
    if (bytesPorLinha(largura) > 0xFFFF || bytesPorLinha(altura) * 8 > kMaximoLinhasNV) return;
    const int bytesOrigem = (largura + 7) / 8;
    const int altura8 = (altura + 7) / 8 * 8;
    img.bytesOrigem = bytesOrigem;
    img.largura = std::min(bytesOrigem, bytesLinha_) * 8;
    img.altura = altura8;
    img.dados.assign(static_cast<size_t>(img.largura / 8) * altura8, 0);
    img.esperado = static_cast<uint64_t>(bytesOrigem) * altura8;
    if (dados) {
        const size_t linhasDados = static_cast<size_t>(altura);
        for (size_t r = 0; r < linhasDados; ++r)
            std::memcpy(&img.dados[r * (img.largura / 8)], dados + r * bytesOrigem, img.largura / 8);
        img.recebido = img.esperado;
        img.valida = true;
    } else {
        imagemNVRecebendo_ = n;
    }
}

void Engine::imprimirImagemNV(int n, int modo) {
    if (n < 0 || n >= kNumeroImagensNV) return;
    const ImagemNV& img = imagensNV_[n];
    if (!img.valida || img.largura <= 0) return;
    imprimirImagemRaster(modo & 3, img.largura, img.altura, img.dados.data());
}

// ---------------------------------------------------------------------------------------------
// Mechanical commands and queries

void Engine::acionarGuilhotina(int flags) {
    avancarPapel(avancoCurto);
    if (alvo_ == Alvo::Arquivo) return;
    encaminharAposImpressao([flags](Driver& d) { d.acionarGuilhotina(flags & ~3); });
}

void Engine::acionarGaveta(int m, int t1, int t2) {
    encaminharAposImpressao([=](Driver& d) { d.acionarGaveta(m, t1, t2); });
}

void Engine::encaminharAposImpressao(const std::function<void(Driver&)>& comando) {
    if (aguardarSaida(tempoLimite_.load())) {
        std::unique_lock<std::mutex> trava = tomarDispositivo();
        if (trava.owns_lock()) {
            impressoraDestino->aguardarFimImpressao(std::min(10000, tempoLimite_.load()));
            comando(*impressoraDestino);
            if (!impressoraDestino->link || impressoraDestino->link->utilizavel()) return;
        }
    }
    // The printer is away or stalled: the command follows the receipt's last line whenever that
    // line goes out, never before it.
    enfileirarComando(comando);
}

void Engine::enfileirarComando(const std::function<void(Driver&)>& comando) {
    std::string bytes;
    {
        const Contado codificacao(*this, codificacoes_);
        std::lock_guard<std::mutex> trava(mutexDispositivo_);
        bytes = codificarNoDestino(comando);
    }
    if (bytes.empty()) return;
    {
        std::lock_guard<std::mutex> trava(mutexFila_);
        fila_.push_back(ComandoPendente{linhasPendentesSaida(), std::move(bytes)});
        comandosPendentes_.fetch_add(1, std::memory_order_acq_rel);
    }
    sinalizar();
}

bool Engine::aguardarFimImpressao(int ms) {
    if (!aguardarSaida(tempoLimite_.load())) return false;
    if (alvo_ == Alvo::Arquivo) return true;
    std::unique_lock<std::mutex> trava = tomarDispositivo();
    if (!trava.owns_lock()) return false;
    return impressoraDestino->aguardarFimImpressao(std::max(1, std::min(ms, tempoLimite_.load())));
}

bool Engine::lerIdentificacao(PrinterID& destino) {
    std::unique_lock<std::mutex> trava = tomarDispositivo();
    return trava.owns_lock() && impressoraDestino->lerIdentificacao(destino);
}

bool Engine::lerStatus(PalavraStatus& destino) {
    std::unique_lock<std::mutex> trava = tomarDispositivo();
    if (!trava.owns_lock()) {
        destino = calcularPalavraStatus({});
        return false;
    }
    return impressoraDestino->lerStatus(destino);
}

int Engine::codigoPorta() const {
    std::lock_guard<std::mutex> trava(mutexPorta_);
    return codigoPortaAtual_;
}

std::string Engine::nomePorta() const {
    std::lock_guard<std::mutex> trava(mutexPorta_);
    return nomePortaAtual_;
}

void Engine::atualizarPorta() {
    const int32_t codigo = impressoraDestino->codigoPorta();
    std::string nome = impressoraDestino->nomePorta();
    std::lock_guard<std::mutex> trava(mutexPorta_);
    codigoPortaAtual_ = codigo;
    nomePortaAtual_ = std::move(nome);
}

void Engine::definirTempoLimite(int ms) {
    // The engine's own facets share the downstream link: only the downstream printer, under the
    // device lock, touches it.
    tempoLimite_.store(ms > 0 ? ms : kTempoLimitePadrao, std::memory_order_release);
    std::lock_guard<std::mutex> trava(mutexDispositivo_);
    impressoraDestino->definirTempoLimite(ms);
}

unsigned Engine::conexoesRealizadas() const { return impressoraDestino->conexoesRealizadas(); }

std::string Engine::consultarImpressora(std::string_view, int, int) { return {}; }

bool Engine::escreverDispositivo(const uint8_t*, size_t) { return true; }
bool Engine::enviarDireto(std::string_view bytes) {
    return escreverDispositivo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
bool Engine::imprimirTexto(std::string_view bytes) {
    alimentarBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return true;
}

void Engine::imprimirCodigoBarrasC(int tipo, const char* texto) {
    if (!texto) return;
    imprimirCodigoBarras(tipo, reinterpret_cast<const uint8_t*>(texto), static_cast<int>(std::strlen(texto)));
}

void Engine::imprimirCodigoBarras(int tipo, const uint8_t* dados, int n) {
    if (!dados || n <= 0) return;
    desenharCodigoBarras(tipo, dados, n);
}

// ---------------------------------------------------------------------------------------------
// Output thread

void Engine::startEngine() {
    if (thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> trava(mutexSinal_);
        parar_.store(false, std::memory_order_release);
    }
    ocioso_ = true;
    // The non-virtual body: the thread may start while a derived class is still being built.
    thread_ = std::thread([this] { Engine::executarLaco(); });
}

void Engine::stopEngine() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> trava(mutexSinal_);
        parar_.store(true, std::memory_order_release);
    }
    cvSinal_.notify_all();
    thread_.join();
}

void Engine::drenarSaida() {
    if (!engineRunning() || alvo_ == Alvo::Arquivo) return;
    aguardarProgresso([this] { return saidaConcluida(); }, tempoLimite_.load(), true, false);
}

int Engine::linhasProntasContiguas() const {
    const int pronta = linhaPronta_.load(std::memory_order_acquire);
    const int leitura = linhaLeitura_.load(std::memory_order_relaxed);
    // Behind the read line, the ring has wrapped: its end comes first.
    return pronta >= leitura ? pronta - leitura : capacidade_ - leitura;
}

void Engine::rodadaSaida() {
    {
        std::lock_guard<std::mutex> trava(mutexSinal_);
        sinaisVistos_ = sinais_;
    }
    const int n = linhasProntasContiguas();
    if (alvo_ == Alvo::Arquivo)
        saidaArquivo(n);
    else
        saidaImpressora(n);
}

void Engine::executarLaco() {
    // Nothing may leave this thread: an exception escaping it would end the host process.
    while (!parar_.load(std::memory_order_acquire)) {
        try {
            rodadaSaida();
        } catch (const std::exception& e) {
            relatarFalhaSaida(e.what());
        } catch (...) {
            relatarFalhaSaida("falha desconhecida");
        }
    }
}

void Engine::relatarFalhaSaida(const char* texto) noexcept {
    try {
        UART::relatarDiagnostico(std::string("RX457: falha na thread de saida: ") + texto);
    } catch (...) {
        std::fprintf(stderr, "RX457: falha na thread de saida\n");
    }
    // A failure that repeats must not turn the loop into a busy one.
    try {
        dormirSaida(1000);
    } catch (...) {}
}

void Engine::esvaziarParado() {
    if (engineRunning()) return;
    for (;;) {
        const int n = linhasProntasContiguas();
        if (n <= 0) return;
        if (alvo_ == Alvo::Arquivo) {
            if (!fluxo_) return;
            saidaArquivo(n);
        } else {
            enviarLinhasImpressora(n);
        }
    }
}

void Engine::dormirSaida(int ms) {
    // A pause that a stop request cuts short.
    std::unique_lock<std::mutex> trava(mutexSinal_);
    cvSinal_.wait_for(trava, std::chrono::milliseconds(ms), [this] { return parar_.load(std::memory_order_acquire); });
}

void Engine::aguardarRajada(int ms) {
    std::unique_lock<std::mutex> trava(mutexSinal_);
    cvSinal_.wait_for(trava, std::chrono::milliseconds(ms), [this] {
        return parar_.load(std::memory_order_acquire) || !produzindo_.load(std::memory_order_acquire) ||
               esperasSaida_.load(std::memory_order_acquire) > 0 ||
               pedidosDispositivo_.load(std::memory_order_acquire) > 0 ||
               comandosPendentes_.load(std::memory_order_acquire) > 0 || linhasPendentesSaida() >= kLinhasPorRaster;
    });
}

void Engine::marcarChamada(bool emCurso) noexcept {
    produzindo_.store(emCurso, std::memory_order_release);
    if (emCurso) return;
    try {
        sinalizar();
    } catch (...) {
        // The burst then waits out its delay.
    }
}

void Engine::esperarTrabalho() {
    // New lines, a queued command, a caller done with the link, or a stop: each bumps sinais_.
    std::unique_lock<std::mutex> trava(mutexSinal_);
    cvSinal_.wait(trava, [this] { return parar_.load(std::memory_order_acquire) || sinais_ != sinaisVistos_; });
}

bool Engine::comandoDevido() {
    std::lock_guard<std::mutex> trava(mutexFila_);
    return !fila_.empty() && fila_.front().antes <= 0;
}

void Engine::saidaImpressora(int n) {
    if (!banda_.ativa) {
        // A caller waits for the link between two bands: let it have it first.
        if (pedidosDispositivo_.load(std::memory_order_acquire) > 0) {
            esperarTrabalho();
            return;
        }
        const bool comando = comandoDevido();
        if (!comando && n <= 0) {
            ocioso_ = true;
            esperarTrabalho();
            return;
        }
        if (!comando && ocioso_) {
            // Let a burst of lines accumulate, so that it goes out as one image.
            ocioso_ = false;
            const int atraso = atrasoInicial.load(std::memory_order_relaxed);
            if (atraso > 0) {
                aguardarRajada(atraso);
                return;
            }
        }
        if (!prepararBanda(n)) {
            esperarTrabalho();
            return;
        }
    }
    // A link that is down is tried again once per interval; the lines wait in the ring.
    if (!enviarBanda(kFatiaEnvioMs)) dormirSaida(Driver::kIntervaloReconexaoMs);
}

bool Engine::prepararBanda(int n) {
    {
        std::lock_guard<std::mutex> trava(mutexFila_);
        if (!fila_.empty() && fila_.front().antes <= 0) {
            banda_ = Banda{std::move(fila_.front().bytes), 0, 0, 0, true};
            fila_.pop_front();
            return true;
        }
        // A band never runs past a queued command's place.
        if (!fila_.empty()) n = std::min(n, fila_.front().antes);
    }
    if (n <= 0) return false;
    if (compactar_.load(std::memory_order_relaxed)) {
        prepararBandaCompacta(n);
        return true;
    }
    n = std::min(n, kLinhasPorRaster);
    std::string bytes;
    {
        std::lock_guard<std::mutex> trava(mutexDispositivo_);
        bytes = cabecalhoRaster(n, 0, bytesLinha_);
    }
    const size_t cabecalho = bytes.size();
    const size_t dados = static_cast<size_t>(n) * bytesLinha_;
    bytes.resize(cabecalho + dados);
    const uint8_t* origem = linhaPtr(linhaLeitura_.load(std::memory_order_relaxed));  // never crosses the end
    for (size_t i = 0; i < dados; ++i) bytes[cabecalho + i] = static_cast<char>(kInverter.v[origem[i]]);
    banda_ = Banda{std::move(bytes), 0, n, 0, true, cabecalho, bytesLinha_};
    return true;
}

namespace {

// First and last byte holding ink in a dot line; false for a blank line.
bool extensaoTinta(const uint8_t* linha, int bytes, int& primeiro, int& ultimo) {
    int a = 0;
    while (a < bytes && linha[a] == 0) ++a;
    if (a == bytes) return false;
    int b = bytes - 1;
    while (linha[b] == 0) --b;
    primeiro = a;
    ultimo = b;
    return true;
}

// Bytes around the rows of a trimmed band: position (4) and raster header (8), plus the margin set
// and restored (4 + 4) when the band does not start at the left edge. A feed costs 3 per 255 dots.
constexpr int kCustoBanda = 12;
constexpr int kCustoMargem = 8;
constexpr int kCustoAvanco = 3;
// Lines looked ahead when choosing where a band ends: about two text lines. The choice costs the
// square of it per band; 128 lines saved no byte on the fiscal receipts but took 50% longer on a
// 500-item sale. A taller image is sent in several bands at 12 to 20 bytes each.
constexpr int kJanelaCompactacao = 48;

}  // namespace

void Engine::prepararBandaCompacta(int n) {
    const uint8_t* origem = linhaPtr(linhaLeitura_.load(std::memory_order_relaxed));  // never crosses the end
    auto linha = [&](int i) { return origem + static_cast<size_t>(i) * bytesLinha_; };
    int primeiro = 0, ultimo = 0;
    int brancas = 0;
    while (brancas < n && !extensaoTinta(linha(brancas), bytesLinha_, primeiro, ultimo)) ++brancas;
    if (brancas > 0) {
        std::string bytes;
        {
            std::lock_guard<std::mutex> trava(mutexDispositivo_);
            bytes = codificarNoDestino([brancas](Driver& d) { d.avancarPapel(brancas); });
        }
        banda_ = Banda{std::move(bytes), 0, brancas, 0, true};
        banda_.avanco = brancas;
        return;
    }
    // The band that starts the cheapest cover of the lines ahead, each covered by trimmed bands or
    // feeds: custo[i] is the least cost of lines i.. to the end of the window.
    const int janela = std::min(n, kJanelaCompactacao);
    int inicio[kJanelaCompactacao], fim[kJanelaCompactacao], custo[kJanelaCompactacao + 1];
    for (int i = 0; i < janela; ++i)
        if (!extensaoTinta(linha(i), bytesLinha_, inicio[i], fim[i])) inicio[i] = fim[i] = -1;
    struct Escolha {
        int custo, linhas, coluna, ultima;
    };
    auto melhorBanda = [&](int i) {
        Escolha e{INT32_MAX, 0, 0, 0};
        int a = INT32_MAX, b = -1;
        for (int j = i + 1; j <= janela; ++j) {
            if (fim[j - 1] >= 0) {
                a = std::min(a, inicio[j - 1]);
                b = std::max(b, fim[j - 1]);
            }
            if (b < 0) continue;
            const int c = (j - i) * (b - a + 1) + kCustoBanda + (a > 0 ? kCustoMargem : 0) + custo[j];
            if (c < e.custo) e = Escolha{c, j - i, a, b};
        }
        return e;
    };
    custo[janela] = 0;
    for (int i = janela - 1; i > 0; --i) {
        int c = melhorBanda(i).custo;
        if (fim[i] < 0) {
            int j = i;
            while (j < janela && fim[j] < 0) ++j;
            c = std::min(c, kCustoAvanco * ((j - i + kAvancoMaximoComando - 1) / kAvancoMaximoComando) + custo[j]);
        }
        custo[i] = c;
    }
    const Escolha e = melhorBanda(0);
    const int linhas = e.linhas, coluna = e.coluna, largura = e.ultima - e.coluna + 1;
    std::string bytes, rodape;
    {
        std::lock_guard<std::mutex> trava(mutexDispositivo_);
        bytes = cabecalhoRaster(linhas, coluna, largura);
        rodape = rodapeRaster(coluna);
    }
    const size_t cabecalho = bytes.size();
    bytes.resize(cabecalho + static_cast<size_t>(linhas) * largura);
    char* destino = bytes.data() + cabecalho;
    for (int i = 0; i < linhas; ++i) {
        const uint8_t* p = linha(i) + coluna;
        for (int b = 0; b < largura; ++b) *destino++ = static_cast<char>(kInverter.v[p[b]]);
    }
    bytes += rodape;
    banda_ = Banda{std::move(bytes), 0, linhas, 0, true, cabecalho, largura, coluna};
}

std::string Engine::codificarNoDestino(const std::function<void(Driver&)>& comando) {
    Driver& d = *impressoraDestino;
    const std::string trabalhoAnterior = d.trabalho;
    const auto saidaAnterior = d.saida;
    d.iniciarTrabalho();
    comando(d);
    std::string bytes = d.obterTrabalho();
    d.trabalho = trabalhoAnterior;
    d.saida = saidaAnterior;
    return bytes;
}

std::string Engine::cabecalhoRaster(int linhas, int coluna, int largura) {
    return codificarNoDestino([&](Driver& d) {
        // The margin places a trimmed band; every printer honours it for a raster image.
        if (coluna > 0) d.margemEsquerda(coluna * 8);
        d.posicaoHorizontalAbsoluta(0);
        d.cabecalhoImagemRaster(0, largura * 8, linhas);
    });
}

std::string Engine::rodapeRaster(int coluna) {
    if (coluna <= 0) return {};
    return codificarNoDestino([](Driver& d) { d.margemEsquerda(0); });
}

void Engine::retomarBanda() {
    // The printer reached again starts with no command half-read (switched off and on, another
    // port, a new connection): what it fully got is not sent again. Rows left go as a new raster
    // command, dots left of a feed as a new feed; a command band is short: it goes again whole.
    if (banda_.avanco > 0) {
        const std::string um = codificarNoDestino([](Driver& d) { d.avancarPapel(kAvancoMaximoComando); });
        const int comandos = um.empty() ? 0 : static_cast<int>(banda_.enviados / um.size());
        const int feitos = std::min(banda_.avanco, kAvancoMaximoComando * comandos);
        banda_.avanco -= feitos;
        banda_.bytes = codificarNoDestino([this](Driver& d) { d.avancarPapel(banda_.avanco); });
    } else if (banda_.larguraLinha > 0 && banda_.enviados > banda_.cabecalho) {
        const size_t largura = static_cast<size_t>(banda_.larguraLinha);
        const size_t total = static_cast<size_t>(banda_.linhas);
        const size_t feitas = std::min(total, (banda_.enviados - banda_.cabecalho) / largura);
        std::string novo;
        if (feitas < total)
            novo = cabecalhoRaster(static_cast<int>(total - feitas), banda_.coluna, banda_.larguraLinha);
        const size_t cabecalho = novo.size();
        novo.append(banda_.bytes, banda_.cabecalho + feitas * largura, std::string::npos);
        banda_.bytes = std::move(novo);
        banda_.cabecalho = cabecalho;
        // Only the margin's restoration left: it goes again whole.
        if (feitas == total) banda_.larguraLinha = 0;
    }
    banda_.enviados = 0;
}

bool Engine::garantirLink() {
    Driver& d = *impressoraDestino;
    // A downstream printer without a link of its own writes through escreverDispositivo.
    if (!d.link) return true;
    d.link->verificarConexao();
    if (d.link->utilizavel()) {
        if (linkCaido_.exchange(false)) sinalizar();
        return true;
    }
    const bool devida = d.tentativaDevida();
    const unsigned antes = d.conexoesRealizadas();
    const bool ok = d.reconectar();
    if (d.conexoesRealizadas() != antes) atualizarPorta();
    // The link is known to be down only once an attempt to reopen it failed.
    if (ok || devida) {
        if (linkCaido_.exchange(!ok) != !ok) sinalizar();
    }
    return ok;
}

std::unique_lock<std::mutex> Engine::tomarDispositivo() {
    const Contado pedido(*this, pedidosDispositivo_);
    // A printer that took nothing for the whole time limit would only make the caller wait again.
    if (desistiu_.load(std::memory_order_acquire) && impressoraDestino->link) return {};
    for (;;) {
        std::unique_lock<std::mutex> trava(mutexDispositivo_);
        if (!bandaParcial_.load(std::memory_order_acquire)) {
            if (!garantirLink()) trava.unlock();
            return trava;
        }
        trava.unlock();
        if (!aguardarProgresso([this] { return !bandaParcial_.load(std::memory_order_acquire); }, tempoLimite_.load(),
                               true, false))
            return {};
    }
}

bool Engine::enviarBanda(int ms) {
    Driver& d = *impressoraDestino;
    {
        // The device mutex is not fair: slice after slice this thread would take it back at once and
        // a caller could wait for minutes on a stalled printer. A caller that only encodes a command
        // goes first, and so does one waiting for the link while this band is not half sent (its
        // command cannot land inside the raster; a caller waits for a half-sent band to end).
        std::unique_lock<std::mutex> sinal(mutexSinal_);
        cvSinal_.wait(sinal, [this] {
            return parar_.load(std::memory_order_acquire) ||
                   (codificacoes_.load(std::memory_order_acquire) == 0 &&
                    (bandaParcial_.load(std::memory_order_acquire) ||
                     pedidosDispositivo_.load(std::memory_order_acquire) == 0));
        });
    }
    std::unique_lock<std::mutex> trava(mutexDispositivo_);
    if (!garantirLink()) {
        bandaParcial_.store(false, std::memory_order_release);
        return false;
    }
    // Completed bands are never sent twice; one cut short by a lost link is resumed.
    const unsigned conexao = d.conexoesRealizadas();
    if (banda_.conexao != conexao && banda_.enviados > 0) retomarBanda();
    banda_.conexao = conexao;
    const size_t resta = banda_.bytes.size() - banda_.enviados;
    const auto* p = reinterpret_cast<const uint8_t*>(banda_.bytes.data()) + banda_.enviados;
    int aceitos;
    bool caiu;
    if (d.link) {
        aceitos = d.link->escreverComTimeout(p, resta, ms);
        caiu = !d.link->utilizavel();
    } else {
        caiu = !d.escreverDispositivo(p, resta);
        aceitos = caiu ? 0 : static_cast<int>(resta);
    }
    if (aceitos > 0) {
        banda_.enviados += static_cast<size_t>(aceitos);
        registrarProgresso();
    }
    const bool completa = banda_.enviados >= banda_.bytes.size();
    bandaParcial_.store(!caiu && !completa && banda_.enviados > 0, std::memory_order_release);
    // Without a link to reopen, a refused write is all there is to know.
    if (!d.link && linkCaido_.exchange(caiu) != caiu) sinalizar();
    trava.unlock();
    if (completa)
        concluirBanda();
    else if (aceitos > 0)
        sinalizar();
    return !caiu;
}

void Engine::concluirBanda() {
    if (banda_.linhas > 0) {
        const int leitura = linhaLeitura_.load(std::memory_order_relaxed);
        std::memset(linhaPtr(leitura), 0, static_cast<size_t>(banda_.linhas) * bytesLinha_);
        std::lock_guard<std::mutex> trava(mutexFila_);
        linhaLeitura_.store(modLinha(leitura + banda_.linhas), std::memory_order_release);
        for (ComandoPendente& c : fila_) c.antes -= banda_.linhas;
    } else if (banda_.ativa) {
        comandosPendentes_.fetch_sub(1, std::memory_order_acq_rel);
    }
    banda_ = Banda{};
    bandaParcial_.store(false, std::memory_order_release);
    sinalizar();
}

void Engine::descartarBanda() {
    if (banda_.linhas > 0)
        UART::relatarDiagnostico("RX457: " + std::to_string(banda_.linhas) +
                                 " linhas descartadas: a impressora não as aceitou");
    concluirBanda();
}

void Engine::enviarLinhasImpressora(int n) {
    if (!banda_.ativa && !prepararBanda(n)) return;
    int64_t ultimo = agoraMs();
    while (banda_.ativa) {
        const size_t antes = banda_.enviados;
        const bool ok = enviarBanda(kFatiaEnvioMs);
        if (!banda_.ativa) return;
        if (banda_.enviados != antes) ultimo = agoraMs();
        // The lines are about to change target or ring: what cannot go out now is dropped.
        if (!ok || desistiu_.load() || agoraMs() - ultimo > tempoLimite_.load()) {
            descartarBanda();
            return;
        }
    }
}

void Engine::saidaArquivo(int n) {
    if (n <= 0 || !fluxo_) {
        esperarTrabalho();
        return;
    }
    const int leitura = linhaLeitura_.load(std::memory_order_relaxed);
    const int preenchimento = (4 - bytesLinha_ % 4) % 4;
    const size_t passo = static_cast<size_t>(bytesLinha_ + preenchimento);
    std::vector<uint8_t>& linhaSaida = saidaBuffer_;
    if (linhaSaida.size() < passo) linhaSaida.resize(passo);
    for (int i = 0; i < n; ++i) {
        uint8_t* origem = linhaPtr(leitura + i);
        for (int b = 0; b < bytesLinha_; ++b) linhaSaida[b] = kInverter.v[origem[b]];
        for (int b = bytesLinha_; b < static_cast<int>(passo); ++b) linhaSaida[b] = 0;
        fluxo_->write(reinterpret_cast<const char*>(linhaSaida.data()), static_cast<std::streamsize>(passo));
        std::memset(origem, 0, bytesLinha_);
    }
    fluxo_->flush();
    linhasArquivo_ += n;
    {
        std::lock_guard<std::mutex> trava(mutexFila_);
        linhaLeitura_.store(modLinha(leitura + n), std::memory_order_release);
        for (ComandoPendente& c : fila_) c.antes -= n;
    }
    registrarProgresso();
    sinalizar();
}

// ---------------------------------------------------------------------------------------------
// Paper width and capture

bool Engine::definirLarguraPapel(int pontos) {
    if (pontos <= 0) return false;
    const int64_t arredondado = bytesPorLinha(pontos) * 8;
    if (arredondado == bytesLinha_ * 8 && engineRunning()) return true;
    const int maximo = impressoraDestino->larguraPontos();
    pontos = static_cast<int>(std::min<int64_t>(arredondado, maximo));
    if (pontos < maximo / 2) return false;
    // Nothing already rendered is lost: finish the line, let the thread pass every line on.
    if (!celulas_.empty()) descarregarLinha();
    if (modoPagina) imprimirPagina();
    aguardarSaida(10000);
    std::lock_guard<std::mutex> trava(mutexAnel_);
    stopEngine();
    esvaziarParado();
    Specification::larguraPontos = pontos;
    padroes.larguraImpressao = pontos;
    larguraImpressao = pontos;
    if (margemTexto >= pontos) margemTexto = Status::margemEsquerda = 0;
    anel_.clear();
    anel_.shrink_to_fit();
    alocarAnel(pontos);
    reiniciarLinha();
    startEngine();
    return true;
}

bool Engine::salvarImagem(const std::string& caminho) {
    auto arquivo = std::make_unique<std::ofstream>(caminho, std::ios::binary | std::ios::trunc);
    if (!arquivo->is_open()) return false;
    if (fluxo_) limparImagem();
    std::ostream& fluxo = *arquivo;
    arquivo_ = std::move(arquivo);
    return obterImagem(fluxo);
}

bool Engine::obterImagem(std::ostream& fluxo) {
    if (fluxo_ && fluxo_ != &fluxo) {
        // A capture still open on another stream is finished first; keep a file opened for this one.
        std::unique_ptr<std::ofstream> proprio;
        if (arquivo_ && arquivo_.get() == &fluxo) proprio = std::move(arquivo_);
        limparImagem();
        arquivo_ = std::move(proprio);
    }
    // Lines rendered before the switch still go to the printer, even when it is slow to take them.
    aguardarSaida(10000);
    stopEngine();
    esvaziarParado();
    static const char zeros[122] = {};
    static const char paleta[8] = {'\xDF', '\xDF', '\xDF', 0, 0, 0, 0, 0};
    fluxo.write(zeros, sizeof zeros);
    fluxo.write(paleta, sizeof paleta);
    linhasArquivo_ = 0;
    fluxo_ = &fluxo;
    alvo_ = Alvo::Arquivo;
    startEngine();
    return true;
}

bool Engine::limparImagem() {
    if (!fluxo_) return true;
    // Text still waiting for its line feed belongs to the capture too.
    if (!celulas_.empty()) descarregarLinha();
    aguardarSaida(10000);
    stopEngine();
    esvaziarParado();
    const uint32_t w = static_cast<uint32_t>(bytesLinha_ * 8);
    const uint32_t tamanhoImagem = (w + 31) / 32 * 4 * static_cast<uint32_t>(linhasArquivo_);
    uint8_t cab[122] = {};
    cab[0] = 'B';
    cab[1] = 'M';
    escrever32(cab + 2, 130 + tamanhoImagem);
    escrever32(cab + 10, 130);
    escrever32(cab + 14, 108);
    escrever32(cab + 18, w);
    escrever32(cab + 22, static_cast<uint32_t>(-linhasArquivo_));
    cab[26] = 1;
    cab[28] = 1;
    escrever32(cab + 34, tamanhoImagem);
    const uint32_t ppm = static_cast<uint32_t>(Specification::resolucao * 39.37007874015748);
    escrever32(cab + 38, ppm);
    escrever32(cab + 42, ppm);
    escrever32(cab + 46, 2);
    fluxo_->flush();
    fluxo_->seekp(0);
    fluxo_->write(reinterpret_cast<const char*>(cab), sizeof cab);
    fluxo_->seekp(0, std::ios::end);
    fluxo_->flush();
    if (arquivo_) {
        arquivo_->close();
        arquivo_.reset();
    }
    fluxo_ = nullptr;
    alvo_ = Alvo::Impressora;
    startEngine();
    return true;
}

}  // namespace Ordal::Printer
