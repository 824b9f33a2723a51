// The ESC/POS stream parser of the engine: turns the bytes produced by the encoder back into
// engine operations. Every byte is consumed; unknown commands are dropped and the parser always
// returns to plain text. Data blocks are consumed to their announced length even when what they
// carry is too large to keep.
#include <algorithm>
#include <cstring>

#include "printer/Engine.h"

namespace Ordal::Printer {

namespace {

enum Coleta {
    kNenhuma = 0,
    kBarras,
    kSimbolo2D,
    kImagemNV,
    kUsuario,
    kImagem,
    kDescarte,
};

// Largest 2D-symbol payload kept.
constexpr uint64_t kMaximoSimbolo2D = 8192;

inline int n16(const uint8_t* a) { return a[0] | (a[1] << 8); }

// Bit-image modes of ESC *: the engine's mode and the dots of one column; none for other values.
bool modoImagemBits(uint8_t m, int& modo, int& pontos) {
    switch (m) {
    case 0x00:
        modo = 4;
        pontos = 8;
        return true;
    case 0x01:
        modo = 5;
        pontos = 8;
        return true;
    case 0x20:
        modo = 6;
        pontos = 24;
        return true;
    case 0x21:
        modo = 7;
        pontos = 24;
        return true;
    default: return false;
    }
}

constexpr int64_t kSemBloco = -1;

}  // namespace

// One command the parser understands: its bytes, the argument bytes after them, whether a macro
// being recorded only records it, the size of the data block that follows it (kSemBloco when none)
// and what the engine does with it.
struct ComandoEscPOS {
    uint8_t prefixo[3];
    uint8_t tamanho;
    uint8_t argumentos;
    bool somenteGravado;
    int64_t (*bloco)(const Engine& e, const uint8_t* args);
    void (*acao)(Engine& e, const uint8_t* args, int64_t bloco);
};

// The command table; its actions reach the engine's internals as the parser does.
struct ParserAcesso {
    static const ComandoEscPOS kComandos[44];

    static int64_t semBloco(const Engine&, const uint8_t*) { return kSemBloco; }

    static void alinhamento(Engine& e, const uint8_t* a, int64_t) {
        const int v = a[0] | 0x30;
        // '3' and '4' reach the two extra alignments (right from the mark, justified).
        static const int kAlinhamentos[5] = {0, 1, 2, 6, 7};
        if (v >= '0' && v <= '4')
            e.selecionarAlinhamento(kAlinhamentos[v - '0']);
        else if (a[0] == 6 || a[0] == 7)
            e.selecionarAlinhamento(a[0]);
    }
    static void definirImagemNV(Engine& e, const uint8_t* a, int64_t bloco) {
        e.definirImagemNV(a[0], n16(a + 1) * 8, n16(a + 3) * 8, nullptr);
        e.iniciarColeta(kImagemNV, static_cast<uint64_t>(bloco));
    }
    static void codigoBarras(Engine& e, const uint8_t* a, int64_t bloco) {
        e.argColeta_[0] = a[0] - 0x41;
        e.dadosColeta_.clear();
        e.dadosColeta_.reserve(256);
        e.iniciarColeta(kBarras, static_cast<uint64_t>(bloco));
    }
    static int64_t blocoRaster(const Engine&, const uint8_t* a) {
        return a[0] == '0' || a[0] == 0 ? int64_t(n16(a + 2)) * n16(a + 4) : kSemBloco;
    }
    static void imagemRaster(Engine& e, const uint8_t* a, int64_t bloco) {
        if (bloco < 0) return;
        if (a[1] <= 3) {
            e.cabecalhoImagemRaster(a[1], n16(a + 2) * 8, n16(a + 4));
            e.iniciarColeta(e.recepcao_.ativa ? kImagem : kDescarte, static_cast<uint64_t>(bloco));
        } else {
            e.iniciarColeta(kDescarte, static_cast<uint64_t>(bloco));
        }
    }
    static int64_t blocoImagemBits(const Engine&, const uint8_t* a) {
        int modo = 0, pontos = 0;
        return modoImagemBits(a[0], modo, pontos) ? int64_t(n16(a + 1)) * (pontos / 8) : kSemBloco;
    }
    static void imagemBits(Engine& e, const uint8_t* a, int64_t bloco) {
        int modo = 0, pontos = 0;
        if (bloco < 0 || !modoImagemBits(a[0], modo, pontos)) return;
        e.iniciarImagemBits(modo, pontos, n16(a + 1));
        e.iniciarColeta(e.recepcao_.ativa ? kImagem : kDescarte, static_cast<uint64_t>(bloco));
    }
    static int64_t blocoCaracteresUsuario(const Engine& e, const uint8_t* a) {
        const int largura = descritorFonte(e.estilo & 7).avanco;
        const int y = a[0], c1 = a[1], c2 = a[2];
        if (c1 < 32 || c1 > 126 || c2 < c1 || c2 > 126 || y < 1 || y > 3 || largura < 8 || largura > 16)
            return kSemBloco;
        return int64_t(c2 - c1 + 1) * y * largura;
    }
    static void caracteresUsuario(Engine& e, const uint8_t* a, int64_t bloco) {
        if (bloco < 0) return;
        e.caractereAtual_ = a[1];
        e.dadosColeta_.clear();
        if (a[0] == 3) {
            e.argColeta_[0] = 1;
            e.argColeta_[1] = descritorFonte(e.estilo & 7).avanco;  // columns per character
            e.dadosColeta_.reserve(static_cast<size_t>(e.argColeta_[1]) * 3);
            e.iniciarColeta(kUsuario, static_cast<uint64_t>(bloco));
        } else {
            // Only 24-dot characters are kept; shorter ones are consumed.
            e.iniciarColeta(kDescarte, static_cast<uint64_t>(bloco));
        }
    }
    static void simbolo2D(Engine& e, const uint8_t*, int64_t bloco) {
        e.argColeta_[0] = bloco >= 3 && static_cast<uint64_t>(bloco) <= kMaximoSimbolo2D;
        e.dadosColeta_.clear();
        if (e.argColeta_[0]) e.dadosColeta_.reserve(static_cast<size_t>(bloco));
        e.iniciarColeta(e.argColeta_[0] ? kSimbolo2D : kDescarte, static_cast<uint64_t>(bloco));
    }
    // The three commands a macro recording acts on: each ends it first.
    static void cancelarPagina(Engine& e, const uint8_t*, int64_t) {
        if (e.gravandoMacro_) e.encerrarGravacao(e.inicioComandoMacro_);
        e.cancelarDadosPagina();
    }
    static void macro(Engine& e, const uint8_t*, int64_t) {
        if (e.gravandoMacro_)
            e.encerrarGravacao(e.inicioComandoMacro_);
        else
            e.iniciarGravacao();
    }
    static void executarMacro(Engine& e, const uint8_t*, int64_t) {
        if (e.gravandoMacro_) e.encerrarGravacao(e.inicioComandoMacro_);
        e.reproduzirMacro();
    }
};

namespace {
using A = ParserAcesso;
constexpr bool kGravado = true;  // while a macro is recorded: only recorded
constexpr bool kAtuado = false;  // while a macro is recorded: acted on
}  // namespace

// One row per command, kept on one line each.
// clang-format off
const ComandoEscPOS ParserAcesso::kComandos[44] = {
    {{0x0A}, 1, 0, kGravado, semBloco, [](Engine& e, const uint8_t*, int64_t) { e.descarregarLinha(); }},
    {{0x1B, 0x0C}, 2, 0, kGravado, semBloco, [](Engine& e, const uint8_t*, int64_t) { e.imprimirPagina(); }},
    {{0x18}, 1, 0, kAtuado, semBloco, cancelarPagina},
    {{0x1D, 0x5C}, 2, 2, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.deslocamentoVertical(n16(a)); }},
    {{0x1B, 0x70}, 2, 3, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.acionarGaveta(a[0], a[1] * 2, a[2] * 2); }},
    {{0x1D, 0x61}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.definirStatusAutomatico(a[0]); }},
    {{0x1C, 0x71}, 2, 5, kGravado, [](const Engine&, const uint8_t* a) { return int64_t(n16(a + 1)) * n16(a + 3) * 8; }, A::definirImagemNV},
    {{0x1D, 0x56}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { if (a[0] == '0' || a[0] == '1') e.acionarGuilhotina(a[0] == '0' ? 4 : 8); }},
    {{0x1C, 0x70}, 2, 2, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.imprimirImagemNV(a[0], a[1]); }},
    {{0x1B, 0x33}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.espacamentoEntreLinhas(a[0]); }},
    {{0x1B, 0x7B}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.selecionarInvertido(a[0] & 1); }},
    {{0x1B, 0x20}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.espacamentoEntreCaracteres(a[0]); }},
    {{0x1B, 0x61}, 2, 1, kGravado, semBloco, alinhamento},
    {{0x1D, 0x6B}, 2, 2, kGravado, [](const Engine&, const uint8_t* a) { return int64_t(a[1]); }, codigoBarras},
    {{0x1D, 0x77}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.larguraCodigoBarras(a[0]); }},
    {{0x1D, 0x68}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.alturaCodigoBarras(a[0]); }},
    {{0x1D, 0x48}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { if ((a[0] | 0x30) <= '3') e.selecionarPosicaoHRI(a[0] | 0x30); }},
    {{0x1B, 0x3D}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.selecionarDispositivo(a[0] & 1); }},
    {{0x1B, 0x57}, 2, 8, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.areaImpressaoPagina(n16(a), n16(a + 2), n16(a + 4), n16(a + 6)); }},
    {{0x1B, 0x5C}, 2, 2, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.deslocamentoHorizontal(n16(a)); }},
    {{0x1B, 0x45}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.selecionarNegrito(a[0] & 1); }},
    {{0x1B, 0x4A}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.avancarPapel(a[0]); }},
    {{0x1D, 0x76}, 2, 6, kGravado, blocoRaster, imagemRaster},
    {{0x1B, 0x24}, 2, 2, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.posicaoHorizontalAbsoluta(n16(a)); }},
    {{0x1B, 0x40}, 2, 0, kGravado, semBloco, [](Engine& e, const uint8_t*, int64_t) { e.inicializar(); }},
    {{0x1D, 0x4C}, 2, 2, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.margemEsquerda(n16(a)); }},
    {{0x1B, 0x4C}, 2, 0, kGravado, semBloco, [](Engine& e, const uint8_t*, int64_t) { e.selecionarModoPagina(); }},
    {{0x1B, 0x2A}, 2, 3, kGravado, blocoImagemBits, imagemBits},
    {{0x1D, 0x21}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.selecionarTamanhoCaractere(a[0] >> 4, a[0] & 0x0F); }},
    {{0x1B, 0x53}, 2, 0, kGravado, semBloco, [](Engine& e, const uint8_t*, int64_t) { e.selecionarModoPadrao(); }},
    {{0x1B, 0x74}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.selecionarConversaoPorN(a[0]); }},
    {{0x1B, 0x2D}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.selecionarSublinhado(a[0] & 1); }},
    {{0x1D, 0x24}, 2, 2, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.posicaoVerticalAbsoluta(n16(a)); }},
    {{0x1B, 0x63, 0x35}, 3, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { if (a[0] & 1) e.selecionarFonteCondensada(); else e.selecionarFonteNormal(); }},
    {{0x1D, 0x42}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.selecionarReverso(a[0] & 1); }},
    {{0x1B, 0x4D}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.selecionarFonte(a[0] > 0x30 ? a[0] - 0x30 : a[0]); }},
    {{0x1B, 0x25}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { if (a[0] & 1) e.ativarCaracteresUsuario(); else e.desativarCaracteresUsuario(); }},
    {{0x1B, 0x26}, 2, 3, kGravado, blocoCaracteresUsuario, caracteresUsuario},
    {{0x1D, 0x3A}, 2, 0, kAtuado, semBloco, macro},
    {{0x1D, 0x5E}, 2, 3, kAtuado, semBloco, executarMacro},
    {{0x1D, 0x50}, 2, 2, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.unidadesMovimentacao(a[0], a[1]); }},
    {{0x1D, 0x66}, 2, 1, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.selecionarFonteHRI(a[0] | 0x30); }},
    {{0x1D, 0x57}, 2, 2, kGravado, semBloco, [](Engine& e, const uint8_t* a, int64_t) { e.larguraAreaImpressao(n16(a)); }},
    {{0x1D, 0x28, 0x6B}, 3, 2, kGravado, [](const Engine&, const uint8_t* a) { return int64_t(n16(a)); }, simbolo2D},
};
// clang-format on

void Engine::alimentarBytes(const uint8_t* dados, size_t n) {
    if (!dados) return;
    size_t i = 0;
    while (i < n) {
        if (coleta_ != kNenhuma) {
            i += coletarDados(dados + i, n - i);
            continue;
        }
        (this->*tratadorByte)(dados[i++]);
    }
}

void Engine::tratarTexto(uint8_t b) {
    if (b < 0x20) {
        inicioComandoMacro_ = macro_.size();
        tamanhoComando_ = 0;
        tratadorByte = &Engine::tratarComando;
        tratarComando(b);
        return;
    }
    if (gravandoMacro_) {
        anexarMacro(&b, 1);
        return;
    }
    comporByte(b);
}

void Engine::tratarComando(uint8_t b) {
    if (gravandoMacro_) anexarMacro(&b, 1);
    if (tamanhoComando_ >= comando_.size()) {
        tamanhoComando_ = 0;
        tratadorByte = &Engine::tratarTexto;
        return;
    }
    comando_[tamanhoComando_++] = b;
    for (const ComandoEscPOS& c : ParserAcesso::kComandos) {
        const size_t comparar = std::min<size_t>(c.tamanho, tamanhoComando_);
        if (std::memcmp(comando_.data(), c.prefixo, comparar) != 0) continue;
        if (tamanhoComando_ < static_cast<size_t>(c.tamanho) + c.argumentos) return;  // keep collecting
        uint8_t args[8] = {};
        std::memcpy(args, comando_.data() + c.tamanho, c.argumentos);
        tamanhoComando_ = 0;
        tratadorByte = &Engine::tratarTexto;
        executarComando(c, args);
        return;
    }
    // No command starts like this: drop what was collected.
    tamanhoComando_ = 0;
    tratadorByte = &Engine::tratarTexto;
}

void Engine::iniciarColeta(int tipo, uint64_t quantidade) {
    coleta_ = tipo;
    restantes_ = quantidade;
    if (quantidade == 0) concluirColeta();
}

size_t Engine::coletarDados(const uint8_t* dados, size_t n) {
    const size_t k = static_cast<size_t>(std::min<uint64_t>(n, restantes_));
    if (coletaNaMacro_) {
        anexarMacro(dados, k);
    } else {
        switch (coleta_) {
        case kBarras:
        case kSimbolo2D: {
            const size_t cabe = dadosColeta_.capacity() - dadosColeta_.size();
            dadosColeta_.insert(dadosColeta_.end(), dados, dados + std::min(k, cabe));
            break;
        }
        case kImagemNV:
            if (imagemNVRecebendo_ >= 0) {
                ImagemNV& img = imagensNV_[imagemNVRecebendo_];
                const size_t bytesGuardados = static_cast<size_t>(img.largura / 8);
                for (size_t i = 0; i < k; ++i, ++img.recebido) {
                    const uint64_t linha = img.recebido / static_cast<uint64_t>(img.bytesOrigem);
                    const uint64_t coluna = img.recebido % static_cast<uint64_t>(img.bytesOrigem);
                    if (coluna < bytesGuardados && linha < static_cast<uint64_t>(img.altura))
                        img.dados[linha * bytesGuardados + coluna] = dados[i];
                }
            }
            break;
        case kUsuario: {
            const size_t bloco = static_cast<size_t>(argColeta_[1]) * 3;
            for (size_t i = 0; i < k; ++i) {
                dadosColeta_.push_back(dados[i]);
                if (dadosColeta_.size() < bloco) continue;
                if (argColeta_[0]) definirCaracteresUsuario(caractereAtual_, argColeta_[1], 3, dadosColeta_.data());
                ++caractereAtual_;
                dadosColeta_.clear();
            }
            break;
        }
        case kImagem: imagemByte(dados, k); break;
        default: break;
        }
    }
    restantes_ -= k;
    if (restantes_ == 0) concluirColeta();
    return k;
}

void Engine::concluirColeta() {
    const int tipo = coleta_;
    const bool naMacro = coletaNaMacro_;
    coleta_ = kNenhuma;
    coletaNaMacro_ = false;
    restantes_ = 0;
    if (naMacro) return;
    switch (tipo) {
    case kBarras: {
        std::vector<uint8_t> dados;
        dados.swap(dadosColeta_);
        imprimirCodigoBarras(argColeta_[0], dados.data(), static_cast<int>(dados.size()));
        break;
    }
    case kSimbolo2D: {
        std::vector<uint8_t> dados;
        dados.swap(dadosColeta_);
        if (argColeta_[0]) despacharSimbolo2D(dados.data(), dados.size());
        break;
    }
    case kImagemNV:
        if (imagemNVRecebendo_ >= 0) imagensNV_[imagemNVRecebendo_].valida = true;
        imagemNVRecebendo_ = -1;
        break;
    case kImagem: terminarImagem(); break;
    default: break;
    }
    dadosColeta_.clear();
}

void Engine::executarComando(const ComandoEscPOS& comando, const uint8_t* args) {
    const int64_t bloco = comando.bloco(*this, args);
    if (gravandoMacro_ && comando.somenteGravado) {
        // The command and its data block belong to the recording; they are not acted on now.
        if (bloco != kSemBloco) {
            coletaNaMacro_ = true;
            iniciarColeta(kDescarte, static_cast<uint64_t>(bloco));
        }
        return;
    }
    comando.acao(*this, args, bloco);
}

void Engine::despacharSimbolo2D(const uint8_t* p, size_t n) {
    if (n < 3) return;
    // Only QR code functions (cn = '1') are understood; other symbols' functions are ignored.
    if (p[0] != 0x31) return;
    switch (p[1]) {
    case 'A': qrSelecionarModelo(p[2] - 0x31); break;
    case 'C': qrTamanhoModulo(p[2]); break;
    case 'E': qrNivelCorrecao(p[2] - 0x30); break;
    case 'P': qrArmazenarDados(std::string_view(reinterpret_cast<const char*>(p + 3), n - 3)); break;
    case 'Q': qrImprimir(); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------------------------
// Macros

void Engine::anexarMacro(const uint8_t* dados, size_t n) {
    if (!gravandoMacro_ || macro_.size() >= kMaximoMacro) return;
    const size_t k = std::min(n, kMaximoMacro - macro_.size());
    if (macro_.capacity() < macro_.size() + k)
        macro_.reserve(std::min(kMaximoMacro, (macro_.size() + k + 1023) / 1024 * 1024));
    macro_.append(reinterpret_cast<const char*>(dados), k);
}

void Engine::iniciarGravacao() {
    macro_.clear();
    gravandoMacro_ = true;
}

void Engine::encerrarGravacao(size_t tamanho) {
    // The command that ends the recording is not part of it.
    if (tamanho < macro_.size()) macro_.resize(tamanho);
    gravandoMacro_ = false;
}

void Engine::reproduzirMacro() {
    // A macro never runs itself: replaying while replaying would recurse without end.
    if (reproduzindo_ || macro_.empty()) return;
    const std::string copia = macro_;
    reproduzindo_ = true;
    alimentarBytes(reinterpret_cast<const uint8_t*>(copia.data()), copia.size());
    reproduzindo_ = false;
}

void Engine::definirMacro() {
    if (gravandoMacro_) {
        size_t tamanho = macro_.size();
        if (tamanho >= 2 && macro_.compare(tamanho - 2, 2, "\x1D\x3A") == 0) tamanho -= 2;
        encerrarGravacao(tamanho);
    } else {
        iniciarGravacao();
    }
}

void Engine::gravarMacro() { definirMacro(); }

void Engine::executarMacro() {
    if (gravandoMacro_) definirMacro();
    reproduzirMacro();
}

}  // namespace Ordal::Printer
