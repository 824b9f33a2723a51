#include "printer/Driver.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "printer/QRCodeRaster.h"
#include "transport/Diagnostico.h"
#include "transport/UART.h"

namespace Ordal::Printer {

PalavraStatus calcularPalavraStatus(const std::array<uint8_t, 4>& r) {
    auto bit = [](uint8_t v, int b) { return (v >> b) & 1; };
    PalavraStatus s{};
    s[0] = static_cast<uint8_t>(bit(r[0], 2) | bit(r[0], 3) << 1 | bit(r[1], 2) << 2 | bit(r[1], 3) << 3 |
                                bit(r[2], 3) << 6 | bit(r[2], 5) << 7);
    s[1] = static_cast<uint8_t>(bit(r[2], 6) | (bit(r[3], 2) | bit(r[3], 3)) << 1 | (bit(r[3], 5) | bit(r[3], 6)) << 3);
    s[2] = static_cast<uint8_t>(bit(r[1], 5) << 5 | bit(r[1], 6) << 6);
    s[3] = 0;
    return s;
}

void Specification::espelharFontes() {
    for (int i = 0; i < 6; ++i) fontes[8 + i] = fontes[i];
}

bool Raster::ponto(int x, int y) const {
    if (x < 0 || y < 0 || x >= largura || y >= altura) return false;
    size_t indice = static_cast<size_t>(y) * bytesPorLinha() + x / 8;
    if (indice >= bytes.size()) return false;
    return (static_cast<uint8_t>(bytes[indice]) >> (7 - x % 8)) & 1;
}

namespace {
int64_t agoraMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Largest picture side accepted; beyond it a file is hostile or broken.
constexpr int64_t kLadoMaximo = 1 << 15;
constexpr int64_t kPixelsMaximos = int64_t(1) << 24;
}  // namespace

bool Bitmap::valido() const {
    const int64_t linhasImagem = altura < 0 ? -int64_t(altura) : int64_t(altura);
    if (largura <= 0 || linhasImagem <= 0 || largura > kLadoMaximo || linhasImagem > kLadoMaximo) return false;
    if (largura * linhasImagem > kPixelsMaximos) return false;
    return pixels.size() >= static_cast<size_t>(largura * linhasImagem * 4);
}

Raster redimensionarRaster(const Raster& origem, int largura, int altura) {
    Raster r;
    if (origem.vazio() || largura <= 0 || altura <= 0 || largura > kLadoMaximo || altura > kLadoMaximo ||
        int64_t(largura) * altura > 8 * kPixelsMaximos)
        return r;
    r.largura = largura;
    r.altura = altura;
    const int bpl = r.bytesPorLinha();
    r.bytes.assign(static_cast<size_t>(bpl) * altura, '\0');
    std::vector<int> colunaOrigem(largura);
    for (int x = 0; x < largura; ++x) colunaOrigem[x] = static_cast<int>(int64_t(x) * origem.largura / largura);
    for (int y = 0; y < altura; ++y) {
        int yo = static_cast<int>(int64_t(y) * origem.altura / altura);
        char* linha = &r.bytes[static_cast<size_t>(y) * bpl];
        for (int x = 0; x < largura; ++x)
            if (origem.ponto(colunaOrigem[x], yo)) linha[x / 8] = static_cast<char>(linha[x / 8] | (0x80 >> (x % 8)));
    }
    return r;
}

Raster converterParaImpressora(int larguraPontos, const Bitmap& imagem, int flags, int limiar) {
    Raster resultado;
    if (!imagem.valido() || larguraPontos <= 0) return resultado;
    limiar = std::min(limiar, 256);

    // Grey level of every pixel, after the optional fit to the printable width.
    int largura = imagem.largura;
    int linhas = imagem.linhas();
    auto cinzaOrigem = [&](int x, int y) {
        const uint8_t* p = &imagem.pixels[(static_cast<size_t>(y) * imagem.largura + x) * 4];
        // Integer weights summing to 1000 keep a neutral grey exactly at its value.
        return (299 * p[0] + 587 * p[1] + 114 * p[2]) / 1000.0f;
    };
    std::vector<float> cinza;
    if ((flags & 2) && largura != larguraPontos) {
        int novaAltura = static_cast<int>(std::max<int64_t>(1, int64_t(linhas) * larguraPontos / largura));
        if (novaAltura > kLadoMaximo || int64_t(novaAltura) * larguraPontos > kPixelsMaximos) return resultado;
        cinza.resize(static_cast<size_t>(larguraPontos) * novaAltura);
        for (int y = 0; y < novaAltura; ++y) {
            int yo = static_cast<int>(int64_t(y) * linhas / novaAltura);
            for (int x = 0; x < larguraPontos; ++x)
                cinza[static_cast<size_t>(y) * larguraPontos + x] =
                    cinzaOrigem(static_cast<int>(int64_t(x) * largura / larguraPontos), yo);
        }
        largura = larguraPontos;
        linhas = novaAltura;
    } else {
        cinza.resize(static_cast<size_t>(largura) * linhas);
        for (int y = 0; y < linhas; ++y)
            for (int x = 0; x < largura; ++x) cinza[static_cast<size_t>(y) * largura + x] = cinzaOrigem(x, y);
    }

    if ((flags & 1) && (flags & 4)) {
        bool pretoEBranco = true;
        for (size_t i = 0, n = static_cast<size_t>(imagem.largura) * imagem.linhas(); i < n && pretoEBranco; ++i) {
            const uint8_t* p = &imagem.pixels[i * 4];
            pretoEBranco = p[0] == p[1] && p[1] == p[2] && (p[0] == 0 || p[0] == 255);
        }
        if (!pretoEBranco) flags &= ~4;
    }

    std::vector<uint8_t> preto(cinza.size(), 0);
    if (imagem.bitsPorPixel > 1 && !(flags & 4)) {
        const int parametro = std::max(limiar, 15);
        const float escala = (256.0f - parametro) / 128.0f;
        for (float& v : cinza) v = std::min(v * escala, 255.0f);
        for (int y = 0; y < linhas; ++y) {
            for (int x = 0; x < largura; ++x) {
                size_t i = static_cast<size_t>(y) * largura + x;
                float v = cinza[i];
                bool escuro = v < 128.0f;
                preto[i] = escuro;
                float erro = v - (escuro ? 0.0f : 255.0f);
                if (x + 1 < largura) cinza[i + 1] += erro * 7 / 16;
                if (y + 1 < linhas) {
                    if (x > 0) cinza[i + largura - 1] += erro * 3 / 16;
                    cinza[i + largura] += erro * 5 / 16;
                    if (x + 1 < largura) cinza[i + largura + 1] += erro * 1 / 16;
                }
            }
        }
    } else {
        for (size_t i = 0; i < cinza.size(); ++i) preto[i] = cinza[i] < 128.0f;
    }

    const int larguraSaida = std::min(largura, larguraPontos);
    const int h8 = (linhas + 7) / 8 * 8;
    const int w8 = (larguraSaida + 7) / 8 * 8;
    resultado.bytes.assign(static_cast<size_t>(w8) * h8 / 8, '\0');
    for (int i = 0; i < linhas; ++i) {
        for (int j = 0; j < larguraSaida; ++j) {
            if (!preto[static_cast<size_t>(i) * largura + j]) continue;
            size_t k = (flags & 16) ? static_cast<size_t>(i) + static_cast<size_t>(j) * h8
                                    : static_cast<size_t>(j) + static_cast<size_t>(i) * w8;
            resultado.bytes[k / 8] = static_cast<char>(resultado.bytes[k / 8] | (0x80 >> (k % 8)));
        }
    }
    // Row format needs only the real rows; the rounding rows would only trail after the image.
    if (!(flags & 16)) resultado.bytes.resize(static_cast<size_t>(w8 / 8) * linhas);
    if (flags & 8)
        for (char& c : resultado.bytes) c = static_cast<char>(~c);
    resultado.largura = larguraSaida;
    resultado.altura = (flags & 16) ? h8 : linhas;
    return resultado;
}

Raster converterParaImpressora(const Driver& driver, const Bitmap& imagem, int flags, int limiar) {
    return converterParaImpressora(driver.larguraPontos(), imagem, flags, limiar);
}

// ---------------------------------------------------------------------------------------------

Driver::Driver() { reiniciarEstado(); }

Driver::Driver(const Specification& especificacao, const Settings& configuracao)
    : Specification(especificacao), Settings(configuracao) {
    Specification::espelharFontes();
    reiniciarEstado();
}

Driver::~Driver() = default;

void Driver::reiniciarEstado() {
    estado = {};
    estacaoPapel = 0;
    fonte = 4;
    multLargura = 0;
    multAltura = 0;
    Status::margemEsquerda = 0;
    alinhamento = 0;
    saida = &Driver::enviarDireto;
    trabalho.clear();
    qrcode = ParametrosQRCode{};
}

void Driver::selecionarAlinhamento(int n) { alinhamento = n; }

void Driver::posicionarAbsoluto(int x, int y) {
    posicaoHorizontalAbsoluta(x);
    posicaoVerticalAbsoluta(y);
}

void Driver::deslocarRelativo(int x, int y) {
    deslocamentoHorizontal(x);
    deslocamentoVertical(y);
}

bool Driver::selecionarEstacaoPapel(int n) {
    estacaoPapel = n;
    return true;
}

void Driver::recurso53() {}
bool Driver::selecionarBobina() { return true; }
bool Driver::selecionarFolhaSolta() { return false; }
void Driver::ejetarFolha() {}
void Driver::liberarFolha() {}
void Driver::recurso58() {}
void Driver::recurso59() {}
void Driver::recurso60() {}
void Driver::recurso61() {}
void Driver::recurso62() {}
int Driver::recurso63() { return 0; }
void Driver::recurso64() {}
void Driver::recurso65() {}

bool Driver::imprimirQRCode(const ParametrosQRCode& p) {
    qrSelecionarModelo(p.modelo);
    qrTamanhoModulo(p.tamanhoModulo);
    qrNivelCorrecao(p.nivelCorrecao);
    qrArmazenarDados(p.dados);
    return qrImprimir();
}

void Driver::qrSelecionarModelo(int m) {
    if (m == 0 || m == 1) qrcode.modelo = m;
}

void Driver::qrTamanhoModulo(unsigned n) {
    if (n <= 15) {
        qrcode.tamanhoModulo = n;
        qrcode.margem = static_cast<int32_t>(4 * n);
    }
}

void Driver::qrNivelCorrecao(int n) {
    if (n >= 0 && n <= 3) qrcode.nivelCorrecao = n;
}

bool Driver::qrImprimir() {
    Raster simbolo = gerarRasterQRCode(qrcode);
    if (simbolo.vazio()) return false;
    avancarPapel(qrcode.margem);
    bool ok = imprimirRaster(0, simbolo, -1);
    avancarPapel(qrcode.margem);
    return ok;
}

void Driver::qrArmazenarDados(std::string_view texto) { qrcode.dados.assign(texto.data(), texto.size()); }

void Driver::iniciarTrabalho() {
    trabalho.clear();
    saida = &Driver::anexarTrabalho;
}

void Driver::encerrarTrabalho() { saida = &Driver::enviarDireto; }

void Driver::limparTrabalho() { trabalho.clear(); }

std::string Driver::obterTrabalho() const { return trabalho; }

bool Driver::anexarTrabalho(std::string_view bytes) {
    trabalho.append(bytes.data(), bytes.size());
    return true;
}

bool Driver::conectar(const std::string& nome) {
    if (!link) return false;
    nomeConexao_ = nome;
    bool ok = false;
    if (nome.find('/') != std::string::npos) {
        link->caminhoInformado = nome;
        ok = link->abrir(nome) && atualizarIdentificacao();
        if (link->estaFechado()) relatarFalhaConexao(nome, 0);
    } else {
        link->caminhoInformado.clear();
        const int32_t codigo = codigoDaPorta(nome.c_str());
        static const struct {
            bool doNome;
            int32_t base;
            int tentativas;
        } passos[] = {
            {true, 0, 1},        {false, 0x0A00, 20}, {false, 0x0C00, 20}, {false, 0x0800, 20},
            {false, 0x0B00, 20}, {false, 0x0900, 20}, {true, 0, 1},
        };
        codigoExplicito_ = codigo != 0 ? codigo : -1;
        prazoProcuraMs_ = agoraMs() + kLimiteProcuraMs;
        for (const auto& passo : passos)
            if ((ok = procurarDispositivo(passo.doNome ? codigo : passo.base, passo.tentativas))) break;
        codigoExplicito_ = -1;
        prazoProcuraMs_ = 0;
        if (link->estaFechado()) relatarFalhaConexao(nome, codigo);
    }
    if (link->estaAberto()) {
        ultimoDiagnostico_.clear();
        conexoes_.fetch_add(1, std::memory_order_acq_rel);
    }
    proximaTentativaMs_ = agoraMs() + kIntervaloReconexaoMs;
    return ok;
}

void Driver::relatarFalhaConexao(const std::string& nome, int32_t codigo) {
    std::string texto;
    const std::string caminho = codigo != 0 ? UART::caminhoDoCodigo(codigo) : std::string();
    if (nome.find('/') != std::string::npos || !caminho.empty())
        texto = UART::textoFalhaAbertura(nome, caminho, link->erroAbertura);
    else
        texto = "RX457: nenhuma impressora encontrada" +
                (nome.empty() ? std::string(" (nenhuma porta configurada)") : " (porta '" + nome + "')");
    // A port that stays unavailable is reported once, not at every new attempt.
    if (texto == ultimoDiagnostico_) return;
    ultimoDiagnostico_ = texto;
    UART::relatarDiagnostico(texto);
}

bool Driver::linkUtilizavel() const { return link && link->utilizavel(); }

bool Driver::tentativaDevida() const { return agoraMs() >= proximaTentativaMs_; }

bool Driver::reconectar() {
    if (!link) return false;
    if (link->utilizavel()) return true;
    if (agoraMs() < proximaTentativaMs_) return false;
    link->fechar();
    conectar(nomeConexao_);
    return link->utilizavel();
}

void Driver::definirTempoLimite(int ms) {
    tempoLimiteMs_ = ms > 0 ? ms : kTempoLimitePadrao;
    if (link) link->esperaMaximaEscritaMs = tempoLimiteMs_;
}

unsigned Driver::conexoesRealizadas() const { return conexoes_.load(std::memory_order_acquire); }

bool Driver::procurarDispositivo(int32_t codigo, int tentativas) {
    if (!link) return false;
    link->caminhoInformado.clear();
    auto tentar = [&](int32_t c) {
        const bool explicito = c == codigoExplicito_;
        // A long probe must not hold its callers: other devices wait for the next attempt.
        if (!explicito && prazoProcuraMs_ != 0 && agoraMs() > prazoProcuraMs_) return false;
        link->codigoDispositivo = c;
        link->evitarConsoles = !explicito;
        const bool aberto = link->abrirPorCodigo();
        link->evitarConsoles = false;
        if (!aberto) return false;
        if (atualizarIdentificacao()) return true;
        link->fechar();
        return false;
    };
    int feitas = 0;
    if (tentativas > 0) {
        if (tentar(codigo)) return true;
        ++feitas;
    }
    const int32_t base = codigo & ~0xFF;
    for (int k = 0; k < 256 && feitas < tentativas; ++k) {
        if (base + k == codigo) continue;
        if (tentar(base + k)) return true;
        ++feitas;
    }
    link->codigoDispositivo = codigo;
    link->evitarConsoles = codigo != codigoExplicito_;
    link->abrirPorCodigo();
    link->evitarConsoles = false;
    return false;
}

bool Driver::imprimirFormatado(const char* formato, ...) {
    if (!formato) return false;
    char texto[4096];
    va_list argumentos;
    va_start(argumentos, formato);
    int n = std::vsnprintf(texto, sizeof texto, formato, argumentos);
    va_end(argumentos);
    if (n < 0) return false;
    return imprimirTexto(std::string_view(texto, std::min<size_t>(static_cast<size_t>(n), sizeof texto - 1)));
}

bool Driver::definirImagemNVDeBitmap(int n, const Bitmap& bitmap, int flags, int limiar) {
    Raster r = converterParaImpressora(*this, bitmap, flags, limiar);
    if (r.vazio()) return false;
    return definirImagemNVRaster(n, r);
}

bool Driver::definirImagemNVRaster(int n, const Raster& raster) {
    if (raster.vazio() || raster.bytes.size() < static_cast<size_t>(raster.bytesPorLinha()) * raster.altura)
        return false;
    definirImagemNV(n, raster.largura, raster.altura, reinterpret_cast<const uint8_t*>(raster.bytes.data()));
    return true;
}

bool Driver::imprimirPadraoTeste(int x0, int x1, int linhas) {
    // Rows wider than the buffer could never be built: refuse them before any arithmetic on them.
    if (x1 <= 0 || x1 > 8 * 2047 || linhas <= 0) return false;
    const int b = (x1 + 7) / 8;
    uint8_t buffer[2048] = {};
    x0 = std::max(x0, 0);
    int construidas = 0;
    for (int i = 0; i < linhas && (i + 1) * b <= 2047; ++i) {
        for (int j = x0; j < x1; ++j)
            if (((i + j) & 1) == 0) buffer[i * b + j / 8] |= static_cast<uint8_t>(0x80 >> (j % 8));
        construidas = i + 1;
    }
    if (construidas == 0) return false;
    return imprimirRasterAlinhado(0, 8 * b, construidas, buffer, 0);
}

const Fonte& Driver::fonteAtual() const {
    const Fonte& f = fontes[static_cast<size_t>(fonte) & 15];
    // A font number without a record would give zero-width characters: fall back to font 0.
    return (f.largura > 0 && f.altura > 0) ? f : fontes[0];
}

int Driver::colunasEfetivas() const { return fonteAtual().largura * (multLargura + 1); }
int Driver::linhasEfetivas() const { return fonteAtual().altura * (multAltura + 1); }
int Driver::resolucao() const { return Specification::resolucao; }
int Driver::alturaFonte() const { return fonteAtual().altura; }
Fonte Driver::obterFonte(int i) const { return fontes[static_cast<size_t>(i) & 15]; }
int Driver::larguraFonte() const { return fonteAtual().largura; }
int Driver::larguraPontos() const { return Specification::larguraPontos; }

bool Driver::atualizarIdentificacao() { return lerIdentificacao(*this); }

bool Driver::atualizarStatus(PalavraStatus& destino) {
    PalavraStatus palavra{};
    bool ok = lerStatus(palavra);
    if (ok) estado = palavra;
    destino = ok ? palavra : estado;
    return ok;
}

void Driver::avancarLinhas(int n) {
    for (int i = 0; i < n; ++i) enviar("\n");
}

bool Driver::imprimirBitmap(const Bitmap& bitmap, int flags, int alinhamentoImagem, int limiar) {
    Raster r = converterParaImpressora(*this, bitmap, flags, limiar);
    return imprimirRaster(0, r, alinhamentoImagem);
}

bool Driver::imprimirRaster(int modo, const Raster& raster, int alinhamentoImagem) {
    if (raster.vazio()) return false;
    if (raster.bytes.size() < static_cast<size_t>(raster.bytesPorLinha()) * raster.altura) return false;
    return imprimirRasterAlinhado(modo, raster.largura, raster.altura,
                                  reinterpret_cast<const uint8_t*>(raster.bytes.data()), alinhamentoImagem);
}

bool Driver::imprimirRasterAlinhado(int modo, int largura, int altura, const uint8_t* dados, int alinhamentoImagem) {
    if (!dados || largura <= 0 || altura <= 0) return false;
    if (alinhamentoImagem == -1) alinhamentoImagem = alinhamento;
    const int m = Status::margemEsquerda;
    const int64_t w = Specification::larguraPontos;
    // Wide arithmetic: margin and width come from callers and may be anything an int holds.
    if (int64_t(largura) + m < w) {
        if (alinhamentoImagem == 1)
            margemEsquerda(static_cast<int>(m + (w - m - largura) / 2));
        else if (alinhamentoImagem == 2)
            margemEsquerda(static_cast<int>(w - largura));
    }
    imprimirImagemRaster(modo, largura, altura, dados);
    margemEsquerda(m);
    return true;
}

void Driver::preencherRetangulo(int, int, int, int, int) {}

void Driver::dobrarLargura() { selecionarTamanhoCaractere(2 * multLargura + 1, multAltura); }

void Driver::reduzirLargura() {
    int w = (multLargura + 1) / 2;
    if (w > 0) selecionarTamanhoCaractere(w - 1, multAltura);
}

void Driver::dobrarAltura() { selecionarTamanhoCaractere(multLargura, 2 * multAltura + 1); }

void Driver::reduzirAltura() {
    int h = (multAltura + 1) / 2;
    if (h > 0) selecionarTamanhoCaractere(multLargura, h - 1);
}

bool Driver::definirLarguraPapel(int) { return false; }
bool Driver::salvarImagem(const std::string&) { return false; }
bool Driver::obterImagem(std::ostream&) { return false; }
bool Driver::limparImagem() { return true; }

bool Driver::enviarDiretoTexto(const char* texto) {
    if (!texto) return false;
    return enviarDireto(texto);
}

bool Driver::escreverDispositivo(const uint8_t*, size_t) { return true; }

bool Driver::enviarDireto(std::string_view bytes) {
    return escreverDispositivo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

bool Driver::enviarTrabalho() {
    // Copy first: a sink that opens a new job must not see the buffer change under it.
    const std::string copia = trabalho;
    return enviarDireto(copia);
}

void Driver::imprimirCodigoBarrasTexto(int tipo, const char* texto) {
    if (!texto) return;
    size_t n = std::strlen(texto);
    imprimirCodigoBarras(tipo, reinterpret_cast<const uint8_t*>(texto),
                         static_cast<int>(std::min<size_t>(n, 0x7FFFFFFF)));
}

void Driver::imprimirCodigoBarrasCompleto(const ParametrosCodigoBarras& p) {
    alturaCodigoBarras(p.altura);
    larguraCodigoBarras(p.largura);
    margemEsquerda(p.margem);
    selecionarAlinhamento(p.alinhamento);
    selecionarPosicaoHRI(p.posicaoHRI);
    selecionarFonteHRI(p.fonteHRI);
    imprimirCodigoBarras(p.tipo, p.dados, p.n);
}

bool Driver::imprimirTexto(std::string_view bytes) { return enviar(bytes); }

bool Driver::imprimirTextoC(const char* texto) {
    if (!texto) return false;
    return imprimirTexto(texto);
}

bool Driver::enviar(std::string_view bytes) {
    if (!saida) saida = &Driver::enviarDireto;
    return (this->*saida)(bytes);
}

int Driver::codigoPorta() const { return link ? link->codigoDispositivo : 0; }

std::string Driver::nomePorta() const {
    if (!link) return {};
    // A port named by its path has no device code of its own: its name is the path.
    if (!link->caminhoInformado.empty()) return link->caminhoInformado;
    return nomeDaPorta(link->codigoDispositivo);
}

int32_t Driver::codigoDaPorta(const char* nome) { return UART::codigoDaPorta(nome); }

std::string Driver::nomeDaPorta(int32_t codigo) { return UART::nomeDaPorta(codigo); }

}  // namespace Ordal::Printer
