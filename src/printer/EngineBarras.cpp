// Barcode drawing of the engine: the symbol's modules become bars in the ring, with the stored
// module width and bar height, light margins on both sides and the human-readable text in the HRI
// font above, below or on both sides of the bars.
#include <algorithm>
#include <string_view>
#include <vector>

#include "printer/Engine.h"
#include "symbols/LinearBarcode.h"

namespace Ordal::Printer {

namespace {

// Dots between the bars and a line of human-readable text.
constexpr int kEspacoTexto = 2;

void marcar(std::vector<uint8_t>& linha, int x) {
    if (x >= 0 && x < static_cast<int>(linha.size()) * 8) linha[x >> 3] |= static_cast<uint8_t>(1u << (x & 7));
}

}  // namespace

void Engine::desenharCodigoBarras(int tipo, const uint8_t* dados, int n) {
    if (!dados || n <= 0) return;
    Symbols::OpcoesCodigoBarras opcoes;
    // The on/off byte of the barcode word selects 15-module Code 39 characters.
    if (tipo == Symbols::CODE39) opcoes.modulosElementoLargo = ((opcoesBarras >> 16) & 0xFF) ? 3 : 2;
    const auto simbolo = Symbols::codificarCodigoBarras(tipo, dados, static_cast<size_t>(n), opcoes);
    if (!simbolo || simbolo->modulos.empty()) return;

    // A barcode always starts on a line of its own.
    if (!celulas_.empty() || alturaImagemLinha_ > 0) descarregarLinha();

    const int larguraAnel = bytesLinha_ * 8;
    const int esquerda = std::clamp(margemTexto, 0, larguraAnel - 1);
    const int direita = std::clamp(larguraImpressao, esquerda + 1, larguraAnel);
    const int area = direita - esquerda;
    const int modulos = simbolo->largura();

    // A symbol wider than the area would be cut and unreadable: narrow the modules until it fits.
    int modulo = std::clamp(barras & 0xFF, 1, 6);
    while (modulo > 1 && modulos * modulo > area) --modulo;
    if (modulos * modulo > area) return;
    const int altura = std::clamp((barras >> 16) & 0xFFFF, 1, 1023);
    const int larguraBarras = modulos * modulo;

    const DescritorFonte& fonte = descritorFonte(fonteHRI);
    const int avanco = std::max(fonte.avanco, 1);
    const int alturaFonte = std::max(fonte.altura, 1);
    const bool temTexto = !simbolo->gruposHRI.empty() || simbolo->digitoEsquerdo || simbolo->digitoDireito;
    const int posicaoHRI = (opcoesBarras >> 8) & 3;
    const bool acima = temTexto && (posicaoHRI & 1);
    const bool abaixo = temTexto && (posicaoHRI & 2);
    const bool comDigitosFora = acima || abaixo;

    // Light margins; the outer UPC/EAN digits stand inside them, a module clear of the guards.
    const int afastamento = std::max(modulo, 1);
    int zonaEsquerda = simbolo->zonaSilenciosaEsquerda * modulo;
    int zonaDireita = simbolo->zonaSilenciosaDireita * modulo;
    if (comDigitosFora && simbolo->digitoEsquerdo) zonaEsquerda = std::max(zonaEsquerda, avanco + afastamento);
    if (comDigitosFora && simbolo->digitoDireito) zonaDireita = std::max(zonaDireita, avanco + afastamento);

    int xBarras;
    const int bloco = zonaEsquerda + larguraBarras + zonaDireita;
    if (bloco <= area) {
        const int folga = area - bloco;
        const int desloc = alinhamentoTexto == 1                              ? folga / 2
                           : (alinhamentoTexto == 2 || alinhamentoTexto == 6) ? folga
                                                                              : 0;
        xBarras = esquerda + desloc + zonaEsquerda;
    } else {
        // Not enough room for full margins: share what is left evenly.
        xBarras = esquerda + (area - larguraBarras) / 2;
    }

    const bool guardas = !simbolo->guardas.empty();
    const int yBarras = acima ? alturaFonte + kEspacoTexto : 0;
    const int fimBarras = yBarras + altura;
    const int yTextoAbaixo = fimBarras + kEspacoTexto;
    // UPC/EAN guard bars reach down beside the digits (or a little below the bars without text).
    const int extensao = !guardas ? 0 : abaixo ? kEspacoTexto + alturaFonte / 2 : 5 * modulo;
    int total = fimBarras + extensao;
    if (abaixo) total = std::max(total, yTextoAbaixo + alturaFonte);
    if (!aguardarEspaco(total)) return;

    std::vector<uint8_t> linhaBarras(static_cast<size_t>(bytesLinha_), 0);
    std::vector<uint8_t> linhaGuardas(static_cast<size_t>(bytesLinha_), 0);
    for (int i = 0; i < modulos; ++i) {
        if (!simbolo->modulos[static_cast<size_t>(i)]) continue;
        const bool guarda = std::any_of(simbolo->guardas.begin(), simbolo->guardas.end(),
                                        [i](const Symbols::Intervalo& g) { return i >= g.inicio && i < g.fim; });
        for (int d = 0; d < modulo; ++d) {
            marcar(linhaBarras, xBarras + i * modulo + d);
            if (guarda) marcar(linhaGuardas, xBarras + i * modulo + d);
        }
    }
    auto ouLinha = [this](int y, const std::vector<uint8_t>& origem) {
        uint8_t* destino = linhaPtr(linhaEscrita_ + y);
        for (int b = 0; b < bytesLinha_; ++b) destino[b] |= origem[static_cast<size_t>(b)];
    };
    for (int y = yBarras; y < fimBarras; ++y) ouLinha(y, linhaBarras);
    for (int y = fimBarras; y < fimBarras + extensao; ++y) ouLinha(y, linhaGuardas);

    // One character cell of the HRI font with its left edge at x.
    auto caractere = [&](uint8_t c, int x, int y) {
        if (!fonte.glifos) return;
        const GlifoFonte& g = fonte.glifos[glifoDoByte(c, nullptr)];
        if (!g.dados || g.linhas == 0 || g.largura == 0) return;
        const int topo = static_cast<int>(g.topo);
        if (topo >= alturaFonte) return;
        Desenho d;
        d.dados = g.dados;
        d.largura = static_cast<int>(g.largura);
        d.linhas = static_cast<int>(g.linhas);
        d.bytesPorLinha = (d.largura + 7) / 8;
        d.linha = linhaEscrita_ + y + topo;
        d.limiteLinhas = alturaFonte - topo;
        d.x = x;
        carregarGlifo(d);
    };
    // The characters spread evenly over [x0, x1); text wider than that keeps the font's advance,
    // centred on the range, and loses what falls off the line.
    auto texto = [&](std::string_view s, int x0, int x1, int y) {
        const int quantos = static_cast<int>(s.size());
        if (quantos == 0) return;
        const int largura = x1 - x0;
        if (static_cast<int64_t>(quantos) * avanco <= largura) {
            for (int i = 0; i < quantos; ++i) {
                const int centro = x0 + static_cast<int>((2 * int64_t(i) + 1) * largura / (2 * int64_t(quantos)));
                caractere(static_cast<uint8_t>(s[static_cast<size_t>(i)]), centro - avanco / 2, y);
            }
        } else {
            const int64_t inicio = x0 + (largura - int64_t(quantos) * avanco) / 2;
            for (int i = 0; i < quantos; ++i) {
                const int64_t x = inicio + int64_t(i) * avanco;
                if (x + avanco <= 0) continue;
                if (x >= larguraAnel) break;
                caractere(static_cast<uint8_t>(s[static_cast<size_t>(i)]), static_cast<int>(x), y);
            }
        }
    };
    auto linhaTexto = [&](int y) {
        for (const Symbols::GrupoHRI& g : simbolo->gruposHRI)
            texto(g.texto, xBarras + g.inicio * modulo, xBarras + g.fim * modulo, y);
        if (simbolo->digitoEsquerdo)
            caractere(static_cast<uint8_t>(simbolo->digitoEsquerdo), xBarras - afastamento - avanco, y);
        if (simbolo->digitoDireito)
            caractere(static_cast<uint8_t>(simbolo->digitoDireito), xBarras + larguraBarras + afastamento, y);
    };
    if (acima) linhaTexto(0);
    if (abaixo) linhaTexto(yTextoAbaixo);

    avancarPapel(total);
}

}  // namespace Ordal::Printer
