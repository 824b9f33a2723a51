#include "printer/EscPOS.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "transport/UART.h"

namespace EscPOSPrinter {

namespace {
constexpr uint8_t ESC = 0x1B, GS = 0x1D, FS = 0x1C, DLE = 0x10;

constexpr int64_t kImagemNVMaxima = 16 << 20;

inline uint8_t lo(int v) { return static_cast<uint8_t>(v & 0xFF); }
inline uint8_t hi(int v) { return static_cast<uint8_t>((v >> 8) & 0xFF); }
// A byte argument plus a code offset, wrapped to a byte without passing through int overflow.
inline uint8_t loMais(int v, int deslocamento) { return static_cast<uint8_t>(lo(v) + deslocamento); }
// Bytes per row of a raster `largura` dots wide, without overflow for any int.
inline int64_t bytesPorLinha(int largura) { return (int64_t(largura) + 7) / 8; }

}  // namespace

const std::array<PaginaCodigo, 20>& paginasCodigo() {
    static const std::array<PaginaCodigo, 20> tabela = {{
        {0, 0},   {1, 2},   {2, 3},   {3, 4},   {4, 5},   {5, 14},  {6, 16},  {7, 17},  {8, 18},  {10, 19},
        {11, 33}, {12, 34}, {14, 36}, {15, 37}, {16, 45}, {17, 46}, {18, 47}, {20, 49}, {21, 50}, {22, 51},
    }};
    return tabela;
}

EscPOS::EscPOS(const Specification& especificacao, const Settings& configuracao)
    : Driver(especificacao, configuracao) {}

EscPOS::~EscPOS() = default;

void EscPOS::emitir(std::initializer_list<uint8_t> bytes) {
    enviar(std::string_view(reinterpret_cast<const char*>(bytes.begin()), bytes.size()));
}

void EscPOS::emitirDireto(std::initializer_list<uint8_t> bytes) {
    enviarDireto(std::string_view(reinterpret_cast<const char*>(bytes.begin()), bytes.size()));
}

void EscPOS::cancelarDadosPagina() { emitir({0x18}); }
void EscPOS::desativarCaracteresUsuario() { emitir({ESC, 0x25, 0x00}); }

void EscPOS::acionarGuilhotina(int flags) {
    if (flags & 2) avancarPapel(avancoCorte);
    if (flags & 1) avancarPapel(avancoCurto);
    if (flags & 8)
        emitir({GS, 0x56, 0x31});
    else if (flags & 4)
        emitir({GS, 0x56, 0x30});
}

void EscPOS::definirImagemNV(int n, int largura, int altura, const uint8_t* dados) {
    if (!dados || largura <= 0 || altura <= 0) return;
    const int64_t x = (int64_t(largura) + 7) / 8, y = (int64_t(altura) + 7) / 8;
    // The counts travel as 16-bit values: a larger image cannot be described, so send nothing.
    // Larger than any printer's image memory: refuse instead of building gigabytes.
    if (x > 0xFFFF || y > 0xFFFF || x * y * 8 > kImagemNVMaxima) return;
    const size_t dadosBytes = static_cast<size_t>(altura) * x;
    const size_t total = static_cast<size_t>(x * y * 8);
    std::string cmd;
    cmd.reserve(7 + total);
    cmd += static_cast<char>(FS);
    cmd += static_cast<char>(0x71);
    cmd += static_cast<char>(lo(n));
    cmd += static_cast<char>(lo(static_cast<int>(x)));
    cmd += static_cast<char>(hi(static_cast<int>(x)));
    cmd += static_cast<char>(lo(static_cast<int>(y)));
    cmd += static_cast<char>(hi(static_cast<int>(y)));
    cmd.append(reinterpret_cast<const char*>(dados), dadosBytes);
    cmd.append(total - dadosBytes, '\0');
    enviarDireto(cmd);
}

void EscPOS::definirCaracteresUsuario(int codigo, int largura, int y, const uint8_t* dados) {
    if (!dados || largura < 0 || largura > 255) return;
    std::string cmd{static_cast<char>(ESC), 0x26, static_cast<char>(lo(y)), static_cast<char>(lo(codigo)),
                    static_cast<char>(lo(codigo))};
    cmd.append(reinterpret_cast<const char*>(dados), static_cast<size_t>(3 * largura));
    enviar(cmd);
}

void EscPOS::desativarStatusAutomatico() { emitirDireto({GS, 0x61, 0x00}); }
void EscPOS::selecionarFonteCondensada() { emitir({ESC, 0x4D, 0x01}); }
void EscPOS::desativarQuebraLinha() {}
void EscPOS::selecionarNegrito(bool on) { emitir({ESC, 0x45, static_cast<uint8_t>(on ? 1 : 0)}); }
void EscPOS::ativarStatusAutomatico() { emitirDireto({GS, 0x61, 0x0F}); }
void EscPOS::selecionarFonteNormal() { emitir({ESC, 0x4D, 0x00}); }
void EscPOS::ativarQuebraLinha() {}
void EscPOS::gravarMacro() { emitir({GS, 0x3A}); }
void EscPOS::executarMacro() { emitir({GS, 0x5E, 0x01, 0x00, 0x00}); }

void EscPOS::avancarPapel(int pontos) {
    while (pontos > 0) {
        int k = std::min(pontos, 255);
        emitir({ESC, 0x4A, static_cast<uint8_t>(k)});
        pontos -= k;
    }
}

void EscPOS::acionarGaveta(int m, int t1, int t2) { emitirDireto({ESC, 0x70, lo(m), lo(t1 / 2), lo(t2 / 2)}); }

void EscPOS::inicializar() { emitir({ESC, 0x40}); }
void EscPOS::imprimirPagina() { emitir({ESC, 0x0C}); }

void EscPOS::imprimirCodigoBarras(int tipo, const uint8_t* dados, int n) {
    // The count is one byte: longer data would be cut and the rest printed as text.
    if (n < 0 || n > 255 || (n > 0 && !dados)) return;
    std::string cmd{static_cast<char>(GS), 0x6B, static_cast<char>(loMais(tipo, 0x41)), static_cast<char>(n)};
    if (n > 0) cmd.append(reinterpret_cast<const char*>(dados), static_cast<size_t>(n));
    enviar(cmd);
}

void EscPOS::imprimirImagemNV(int n, int modo) { emitir({FS, 0x70, lo(n), lo(modo)}); }

void EscPOS::imprimirImagemRaster(int modo, int largura, int altura, const uint8_t* dados) {
    // Without a header the image bytes would be printed as text: send nothing in that case.
    if (modo < 0 || modo > 3 || !dados || largura <= 0 || altura <= 0) return;
    const int64_t x = bytesPorLinha(largura);
    if (x > 0xFFFF || altura > 0xFFFF) return;
    cabecalhoImagemRaster(modo, largura, altura);
    const size_t bytes = static_cast<size_t>(altura) * static_cast<size_t>(x);
    enviar(std::string_view(reinterpret_cast<const char*>(dados), bytes));
}

bool EscPOS::aguardarFimImpressao(int ms) {
    static const char cmd[] = {GS, 0x49, 0x43};
    return !consultar(std::string_view(cmd, 3), ms, 255).empty();
}

void EscPOS::selecionarReverso(bool on) { emitir({GS, 0x42, static_cast<uint8_t>(on ? 1 : 0)}); }

void EscPOS::selecionarAlinhamento(int n) {
    alinhamento = n;
    emitir({ESC, 0x61, lo(n)});
}

void EscPOS::imprimirImagemBits(int modo, int largura, const uint8_t* dados) {
    uint8_t m;
    switch (modo) {
    case 4: m = 0x00; break;
    case 5: m = 0x01; break;
    case 6: m = 0x20; break;
    case 7: m = 0x21; break;
    default: return;
    }
    if (!dados || largura < 0 || largura > 0xFFFF) return;
    std::string cmd{static_cast<char>(ESC), 0x2A, static_cast<char>(m), static_cast<char>(lo(largura)),
                    static_cast<char>(hi(largura))};
    cmd.append(reinterpret_cast<const char*>(dados), static_cast<size_t>(largura) * ((m & 0x20) ? 3 : 1));
    enviar(cmd);
}

bool EscPOS::selecionarTabelaCaracteres(int chave) {
    for (const auto& p : paginasCodigo()) {
        if (p.chave == chave) {
            emitir({ESC, 0x74, p.n});
            return true;
        }
    }
    return false;
}

void EscPOS::selecionarFonte(int n) {
    fonte = n;
    emitir({ESC, 0x4D, lo(n)});
}

void EscPOS::selecionarTamanhoCaractere(int largura, int altura) {
    // Keep what the printer will really use (3 bits each), so the layout measures what is printed.
    multLargura = largura & 7;
    multAltura = altura & 7;
    emitir({GS, 0x21, static_cast<uint8_t>((multLargura << 4) | multAltura)});
}

void EscPOS::selecionarFonteHRI(int n) { emitir({GS, 0x66, static_cast<uint8_t>(n > 1 ? 1 : 0)}); }
void EscPOS::selecionarModoPagina() { emitir({ESC, 0x4C}); }
void EscPOS::selecionarPosicaoHRI(int n) { emitir({GS, 0x48, lo(n)}); }
void EscPOS::selecionarModoPadrao() { emitir({ESC, 0x53}); }
void EscPOS::posicaoHorizontalAbsoluta(int n) { emitir({ESC, 0x24, lo(n), hi(n)}); }
void EscPOS::posicaoVerticalAbsoluta(int n) { emitir({GS, 0x24, lo(n), hi(n)}); }
void EscPOS::alturaCodigoBarras(int n) { emitir({GS, 0x68, lo(n)}); }
void EscPOS::larguraCodigoBarras(int n) { emitir({GS, 0x77, lo(n)}); }
void EscPOS::espacamentoEntreLinhas(int n) { emitir({ESC, 0x33, lo(n)}); }

void EscPOS::margemEsquerda(int n) {
    // The command carries 16 bits: keep what the printer will use, so positions computed from the
    // margin stay in range.
    Status::margemEsquerda = n & 0xFFFF;
    emitir({GS, 0x4C, lo(n), hi(n)});
}

void EscPOS::unidadesMovimentacao(int x, int y) {
    emitir({GS, 0x50, static_cast<uint8_t>(((x % 180) + 180) % 180), lo(((y % 360) + 360) % 360)});
}

void EscPOS::selecionarDispositivo(int n) { emitir({ESC, 0x3D, lo(n)}); }

void EscPOS::areaImpressaoPagina(int x, int y, int dx, int dy) {
    const int64_t w = Specification::larguraPontos;
    if (int64_t(x) + dx >= w) dx = static_cast<int>(std::clamp<int64_t>(w - x - 1, 0, 0xFFFF));
    emitir({ESC, 0x57, lo(x), hi(x), lo(y), hi(y), lo(dx), hi(dx), lo(dy), hi(dy)});
}

void EscPOS::larguraAreaImpressao(int n) { emitir({GS, 0x57, lo(n), hi(n)}); }

void EscPOS::cabecalhoImagemRaster(int modo, int largura, int altura) {
    if (modo < 0 || modo > 3) return;
    // Sizes the 16-bit fields cannot carry would announce a different image than the one sent.
    const int64_t x = bytesPorLinha(largura);
    if (x < 0 || x > 0xFFFF || altura < 0 || altura > 0xFFFF) return;
    emitir({GS, 0x76, 0x30, static_cast<uint8_t>(modo), lo(static_cast<int>(x)), hi(static_cast<int>(x)), lo(altura),
            hi(altura)});
}

void EscPOS::deslocamentoHorizontal(int n) { emitir({ESC, 0x5C, lo(n), hi(n)}); }
void EscPOS::deslocamentoVertical(int n) { emitir({GS, 0x5C, lo(n), hi(n)}); }
void EscPOS::espacamentoEntreCaracteres(int n) { emitir({ESC, 0x20, lo(n)}); }
void EscPOS::ativarCaracteresUsuario() { emitir({ESC, 0x25, 0x01}); }
void EscPOS::selecionarInvertido(bool on) { emitir({ESC, 0x7B, static_cast<uint8_t>(on ? 1 : 0)}); }
void EscPOS::definirMacro() { emitir({GS, 0x3A}); }
void EscPOS::selecionarSublinhado(bool on) { emitir({ESC, 0x2D, static_cast<uint8_t>(on ? 0x31 : 0x30)}); }

bool EscPOS::selecionarEstacaoPapel(int n) {
    if (n == 0) {
        liberarFolha();
        selecionarBobina();
    } else if (n == 1 || n == 2) {
        selecionarFolhaSolta();
    } else {
        return false;
    }
    estacaoPapel = n;
    return true;
}

bool EscPOS::selecionarBobina() {
    emitir({ESC, 0x63, 0x30, 0x01});
    emitir({ESC, 0x63, 0x31, 0x01});
    return true;
}

bool EscPOS::selecionarFolhaSolta() {
    emitir({ESC, 0x63, 0x30, 0x04});
    emitir({ESC, 0x63, 0x31, 0x04});
    return true;
}

void EscPOS::ejetarFolha() { emitir({0x0C}); }
void EscPOS::liberarFolha() { emitir({DLE, 0x05, 0x03}); }

void EscPOS::qrSelecionarModelo(int m) {
    Driver::qrSelecionarModelo(m);
    emitir({GS, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x41, loMais(m, 0x31), 0x00});
}

void EscPOS::qrTamanhoModulo(unsigned n) {
    Driver::qrTamanhoModulo(n);
    emitir({GS, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x43, static_cast<uint8_t>(n & 0xFF)});
}

void EscPOS::qrNivelCorrecao(int n) {
    Driver::qrNivelCorrecao(n);
    emitir({GS, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x45, loMais(n, 0x30)});
}

bool EscPOS::qrImprimir() {
    emitir({GS, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x51, 0x30, 0x00, 0x00, 0x0A});
    return true;
}

void EscPOS::qrArmazenarDados(std::string_view texto) {
    if (texto.empty() || texto.size() >= 7090) return;
    Driver::qrArmazenarDados(texto);
    const int p = static_cast<int>(texto.size()) + 3;
    std::string cmd{static_cast<char>(GS),    0x28, 0x6B, static_cast<char>(lo(p)),
                    static_cast<char>(hi(p)), 0x31, 0x50, 0x30};
    cmd.append(texto.data(), texto.size());
    enviar(cmd);
}

bool EscPOS::lerIdentificacao(PrinterID& destino) {
    static const struct {
        char consulta;
        int ms;
        uint8_t codigo;
    } consultas[6] = {{'1', 100, 0x20}, {'2', 100, 0x02}, {'3', 100, 0x01},
                      {'A', 20, 0x5F},  {'B', 20, 0x5F},  {'C', 20, 0x5F}};
    std::string textos[6];
    for (int i = 0; i < 6; ++i) {
        const char cmd[3] = {static_cast<char>(GS), 0x49, consultas[i].consulta};
        std::string resposta = consultar(std::string_view(cmd, 3), consultas[i].ms, 255);
        if (!resposta.empty() && static_cast<uint8_t>(resposta[0]) == consultas[i].codigo)
            textos[i] = resposta.substr(1);
    }
    if (textos[4].empty() && textos[5].empty()) return false;
    destino.idModelo = textos[0];
    destino.idTipo = textos[1];
    destino.idVersaoRom = textos[2];
    destino.versaoFirmware = textos[3];
    destino.fabricante = textos[4];
    destino.nomeModelo = textos[5];
    return true;
}

bool EscPOS::escreverDispositivo(const uint8_t* dados, size_t n) {
    if (!link) return false;
    if (n == 0) return true;
    if (!dados) return false;
    return link->escrever(dados, n) == static_cast<int>(n);
}

bool EscPOS::enviarDireto(std::string_view bytes) {
    return escreverDispositivo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool EscPOS::lerStatus(PalavraStatus& destino) {
    std::array<uint8_t, 4> respostas{};
    bool todas = true;
    for (int n = 1; n <= 4; ++n) {
        const char cmd[3] = {static_cast<char>(DLE), 0x04, static_cast<char>(n)};
        std::string r = consultar(std::string_view(cmd, 3), 1000, 1);
        if (r.empty()) {
            todas = false;
            break;
        }
        respostas[n - 1] = static_cast<uint8_t>(r[0]);
    }
    if (todas) estadoBruto = respostas;
    destino = Ordal::Printer::calcularPalavraStatus(estadoBruto);
    return todas;
}

bool EscPOS::definirImagemNVDeBitmapPadrao(int n, const Bitmap& bitmap, int flags) {
    return definirImagemNVDeBitmap(n, bitmap, flags | 0x10, 128);
}

namespace {

// Queries whose reply starts with a known byte: the identification (GS I n).
struct RespostaConhecida {
    char n;
    uint8_t cabecalho;
};
constexpr RespostaConhecida kRespostasIdentificacao[] = {
    {'1', 0x20}, {'2', 0x02}, {'3', 0x01}, {'A', 0x5F}, {'B', 0x5F}, {'C', 0x5F},
};

int cabecalhoResposta(std::string_view comando) {
    if (comando.size() != 3 || static_cast<uint8_t>(comando[0]) != GS || comando[1] != 0x49) return -1;
    for (const RespostaConhecida& r : kRespostasIdentificacao)
        if (r.n == comando[2]) return r.cabecalho;
    return -1;
}

// A real-time status reply (DLE EOT): bits 1 and 4 set, bits 0 and 7 clear.
bool pareceStatusTempoReal(uint8_t b) { return (b & 0x93) == 0x12; }

}  // namespace

std::string EscPOS::consultar(std::string_view comando, int ms, int maximo) {
    std::string resposta;
    // A printer answers DLE EOT wherever the three bytes appear, raster data included: status bytes
    // ahead of a reply with a known first byte belong to the rows sent before, not to this query.
    const int cabecalho = cabecalhoResposta(comando);
    if (!link || link->estaFechado() || comando.empty()) return resposta;
    if (link->escrever(comando.data(), comando.size()) < static_cast<int>(comando.size())) return resposta;
    maximo = std::min(maximo, 255);
    if (maximo <= 0) return resposta;
    // A reply is complete once it fills `maximo` or, after its first byte, the link stays quiet for
    // kSilencioRespostaMs: a printer sends its answer back to back (a byte takes about 1 ms even at
    // 9600 bit/s, and USB delivers in 1 ms frames), so 3 ms of silence means it has said all.
    // Waiting for the first byte, and the whole exchange, keep the time limit ms.
    constexpr int kSilencioRespostaMs = 3;
    using Relogio = std::chrono::steady_clock;
    const auto prazo = Relogio::now() + std::chrono::milliseconds(std::max(ms, 0));
    uint8_t buffer[255];
    while (static_cast<int>(resposta.size()) < maximo) {
        const auto resta = std::chrono::duration_cast<std::chrono::milliseconds>(prazo - Relogio::now()).count();
        if (resta <= 0 && !resposta.empty()) break;
        const int espera = resposta.empty() ? static_cast<int>(std::max<int64_t>(resta, 0))
                                            : static_cast<int>(std::min<int64_t>(resta, kSilencioRespostaMs));
        const int lidos = link->lerDisponivel(buffer, static_cast<size_t>(maximo) - resposta.size(), espera);
        if (lidos < 0) break;
        if (lidos == 0) {
            if (!resposta.empty() || resta <= 0) break;
            continue;  // a wake-up without data before the time limit
        }
        int inicio = 0;
        if (resposta.empty() && cabecalho >= 0)
            while (inicio < lidos && buffer[inicio] != cabecalho && pareceStatusTempoReal(buffer[inicio])) ++inicio;
        resposta.append(reinterpret_cast<const char*>(buffer) + inicio, static_cast<size_t>(lidos - inicio));
    }
    return resposta;
}

}  // namespace EscPOSPrinter
