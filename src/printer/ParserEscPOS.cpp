// The ESC/POS stream parser of the engine: turns the bytes produced by the encoder back into
// engine operations. Every byte is consumed; unknown commands are dropped and the parser always
// returns to plain text. Data blocks are consumed to their announced length even when what they
// carry is too large to keep.
#include <algorithm>
#include <cstring>

#include "printer/Engine.h"

namespace Ordal::Printer {

namespace {

struct EntradaComando {
    uint8_t prefixo[6];
    uint8_t tamanho;
    uint8_t argumentos;
    uint8_t somenteGravado;  // while a macro is recorded: only recorded (1) or still acted on (0)
};

constexpr EntradaComando kComandos[44] = {
    {{0x0A}, 1, 0, 1},             // 0  line feed
    {{0x1B, 0x0C}, 2, 0, 1},       // 1  print page
    {{0x18}, 1, 0, 0},             // 2  cancel page data
    {{0x1D, 0x5C}, 2, 2, 1},       // 3  relative vertical position
    {{0x1B, 0x70}, 2, 3, 1},       // 4  drawer pulse
    {{0x1D, 0x61}, 2, 1, 1},       // 5  automatic status
    {{0x1C, 0x71}, 2, 5, 0},       // 6  define NV image
    {{0x1D, 0x56}, 2, 1, 1},       // 7  cut
    {{0x1C, 0x70}, 2, 2, 1},       // 8  print NV image
    {{0x1B, 0x33}, 2, 1, 1},       // 9  line spacing
    {{0x1B, 0x7B}, 2, 1, 1},       // 10 upside down
    {{0x1B, 0x20}, 2, 1, 1},       // 11 character spacing
    {{0x1B, 0x61}, 2, 1, 1},       // 12 alignment
    {{0x1D, 0x6B}, 2, 2, 0},       // 13 barcode
    {{0x1D, 0x77}, 2, 1, 1},       // 14 barcode module width
    {{0x1D, 0x68}, 2, 1, 1},       // 15 barcode height
    {{0x1D, 0x48}, 2, 1, 1},       // 16 HRI position
    {{0x1B, 0x3D}, 2, 1, 1},       // 17 peripheral device
    {{0x1B, 0x57}, 2, 8, 1},       // 18 page area
    {{0x1B, 0x5C}, 2, 2, 1},       // 19 relative horizontal position
    {{0x1B, 0x45}, 2, 1, 1},       // 20 emphasis
    {{0x1B, 0x4A}, 2, 1, 1},       // 21 feed dots
    {{0x1D, 0x76}, 2, 6, 0},       // 22 raster image
    {{0x1B, 0x24}, 2, 2, 1},       // 23 absolute horizontal position
    {{0x1B, 0x40}, 2, 0, 1},       // 24 initialise
    {{0x1D, 0x4C}, 2, 2, 1},       // 25 left margin
    {{0x1B, 0x4C}, 2, 0, 1},       // 26 page mode
    {{0x1B, 0x2A}, 2, 3, 0},       // 27 bit image
    {{0x1D, 0x21}, 2, 1, 1},       // 28 character size
    {{0x1B, 0x53}, 2, 0, 1},       // 29 standard mode
    {{0x1B, 0x74}, 2, 1, 1},       // 30 code page
    {{0x1B, 0x2D}, 2, 1, 1},       // 31 underline
    {{0x1D, 0x24}, 2, 2, 1},       // 32 absolute vertical position
    {{0x1B, 0x63, 0x35}, 3, 1, 1}, // 33 condensed / normal font
    {{0x1D, 0x42}, 2, 1, 1},       // 34 reverse
    {{0x1B, 0x4D}, 2, 1, 1},       // 35 font
    {{0x1B, 0x25}, 2, 1, 1},       // 36 user-defined characters on/off
    {{0x1B, 0x26}, 2, 3, 0},       // 37 define user characters
    {{0x1D, 0x3A}, 2, 0, 0},       // 38 start/end macro
    {{0x1D, 0x5E}, 2, 3, 0},       // 39 run macro
    {{0x1D, 0x50}, 2, 2, 1},       // 40 motion units
    {{0x1D, 0x66}, 2, 1, 1},       // 41 HRI font
    {{0x1D, 0x57}, 2, 2, 1},       // 42 printable area width
    {{0x1D, 0x28, 0x6B}, 3, 2, 1}, // 43 2D symbol
};

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

}  // namespace

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
    for (int i = 0; i < 44; ++i) {
        const EntradaComando& e = kComandos[i];
        const size_t comparar = std::min<size_t>(e.tamanho, tamanhoComando_);
        if (std::memcmp(comando_.data(), e.prefixo, comparar) != 0) continue;
        if (tamanhoComando_ < static_cast<size_t>(e.tamanho) + e.argumentos) return;  // keep collecting
        uint8_t args[8] = {};
        std::memcpy(args, comando_.data() + e.tamanho, e.argumentos);
        tamanhoComando_ = 0;
        tratadorByte = &Engine::tratarTexto;
        executarComando(i, args);
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
        case kImagem:
            imagemByte(dados, k);
            break;
        default:
            break;
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
    case kImagem:
        terminarImagem();
        break;
    default:
        break;
    }
    dadosColeta_.clear();
}

void Engine::executarComando(int indice, const uint8_t* a) {
    // Size of the data block that follows the command, when it has one.
    uint64_t bloco = 0;
    bool temBloco = false;
    int modoBits = 0, pontosBits = 0;
    switch (indice) {
    case 6:
        bloco = uint64_t(n16(a + 1)) * uint64_t(n16(a + 3)) * 8;
        temBloco = true;
        break;
    case 13:
        bloco = a[1];
        temBloco = true;
        break;
    case 22:
        if (a[0] == '0' || a[0] == 0) {
            bloco = uint64_t(n16(a + 2)) * uint64_t(n16(a + 4));
            temBloco = true;
        }
        break;
    case 27:
        switch (a[0]) {
        case 0x00: modoBits = 4; pontosBits = 8; break;
        case 0x01: modoBits = 5; pontosBits = 8; break;
        case 0x20: modoBits = 6; pontosBits = 24; break;
        case 0x21: modoBits = 7; pontosBits = 24; break;
        default: break;
        }
        if (modoBits) {
            bloco = uint64_t(n16(a + 1)) * uint64_t(pontosBits / 8);
            temBloco = true;
        }
        break;
    case 37: {
        const int largura = descritorFonte(estilo & 7).avanco;
        const int y = a[0], c1 = a[1], c2 = a[2];
        if (c1 >= 32 && c1 <= 126 && c2 >= c1 && c2 <= 126 && y >= 1 && y <= 3 && largura >= 8 && largura <= 16) {
            bloco = uint64_t(c2 - c1 + 1) * uint64_t(y) * uint64_t(largura);
            temBloco = true;
        }
        break;
    }
    case 43:
        bloco = uint64_t(n16(a));
        temBloco = true;
        break;
    default:
        break;
    }

    if (gravandoMacro_) {
        switch (indice) {
        case 2:
            encerrarGravacao(inicioComandoMacro_);
            cancelarDadosPagina();
            return;
        case 38:
            encerrarGravacao(inicioComandoMacro_);
            return;
        case 39:
            encerrarGravacao(inicioComandoMacro_);
            reproduzirMacro();
            return;
        default:
            if (temBloco) {
                // The data block belongs to the recording; it is not acted on now.
                coletaNaMacro_ = true;
                iniciarColeta(kDescarte, bloco);
            }
            return;
        }
    }

    switch (indice) {
    case 0: descarregarLinha(); break;
    case 1: imprimirPagina(); break;
    case 2: cancelarDadosPagina(); break;
    case 3: deslocamentoVertical(n16(a)); break;
    case 4: acionarGaveta(a[0], a[1] * 2, a[2] * 2); break;
    case 5: definirStatusAutomatico(a[0]); break;
    case 6:
        definirImagemNV(a[0], n16(a + 1) * 8, n16(a + 3) * 8, nullptr);
        iniciarColeta(kImagemNV, bloco);
        break;
    case 7:
        if (a[0] == '0') acionarGuilhotina(4);
        else if (a[0] == '1') acionarGuilhotina(8);
        break;
    case 8: imprimirImagemNV(a[0], a[1]); break;
    case 9: espacamentoEntreLinhas(a[0]); break;
    case 10: selecionarInvertido(a[0] & 1); break;
    case 11: espacamentoEntreCaracteres(a[0]); break;
    case 12: {
        const int v = a[0] | 0x30;
        // '3' and '4' reach the two extra alignments (right from the mark, justified).
        static const int kAlinhamentos[5] = {0, 1, 2, 6, 7};
        if (v >= '0' && v <= '4') selecionarAlinhamento(kAlinhamentos[v - '0']);
        else if (a[0] == 6 || a[0] == 7) selecionarAlinhamento(a[0]);
        break;
    }
    case 13:
        argColeta_[0] = a[0] - 0x41;
        dadosColeta_.clear();
        dadosColeta_.reserve(256);
        iniciarColeta(kBarras, bloco);
        break;
    case 14: larguraCodigoBarras(a[0]); break;
    case 15: alturaCodigoBarras(a[0]); break;
    case 16: {
        const int v = a[0] | 0x30;
        if (v >= '0' && v <= '3') selecionarPosicaoHRI(v);
        break;
    }
    case 17: selecionarDispositivo(a[0] & 1); break;
    case 18: areaImpressaoPagina(n16(a), n16(a + 2), n16(a + 4), n16(a + 6)); break;
    case 19: deslocamentoHorizontal(n16(a)); break;
    case 20: selecionarNegrito(a[0] & 1); break;
    case 21: avancarPapel(a[0]); break;
    case 22:
        if (!temBloco) break;
        if (a[1] <= 3) {
            cabecalhoImagemRaster(a[1], n16(a + 2) * 8, n16(a + 4));
            iniciarColeta(recepcao_.ativa ? kImagem : kDescarte, bloco);
        } else {
            iniciarColeta(kDescarte, bloco);
        }
        break;
    case 23: posicaoHorizontalAbsoluta(n16(a)); break;
    case 24: inicializar(); break;
    case 25: margemEsquerda(n16(a)); break;
    case 26: selecionarModoPagina(); break;
    case 27:
        if (!temBloco) break;
        iniciarImagemBits(modoBits, pontosBits, n16(a + 1));
        iniciarColeta(recepcao_.ativa ? kImagem : kDescarte, bloco);
        break;
    case 28: selecionarTamanhoCaractere(a[0] >> 4, a[0] & 0x0F); break;
    case 29: selecionarModoPadrao(); break;
    case 30: selecionarConversaoPorN(a[0]); break;
    case 31: selecionarSublinhado(a[0] & 1); break;
    case 32: posicaoVerticalAbsoluta(n16(a)); break;
    case 33:
        if (a[0] & 1) selecionarFonteCondensada();
        else selecionarFonteNormal();
        break;
    case 34: selecionarReverso(a[0] & 1); break;
    case 35: selecionarFonte(a[0] > 0x30 ? a[0] - 0x30 : a[0]); break;
    case 36:
        if (a[0] & 1) ativarCaracteresUsuario();
        else desativarCaracteresUsuario();
        break;
    case 37:
        if (!temBloco) break;
        caractereAtual_ = a[1];
        dadosColeta_.clear();
        if (a[0] == 3) {
            argColeta_[0] = 1;
            argColeta_[1] = descritorFonte(estilo & 7).avanco;  // columns per character
            dadosColeta_.reserve(static_cast<size_t>(argColeta_[1]) * 3);
            iniciarColeta(kUsuario, bloco);
        } else {
            // Only 24-dot characters are kept; shorter ones are consumed.
            iniciarColeta(kDescarte, bloco);
        }
        break;
    case 38: iniciarGravacao(); break;
    case 39: reproduzirMacro(); break;
    case 40: unidadesMovimentacao(a[0], a[1]); break;
    case 41: selecionarFonteHRI(a[0] | 0x30); break;
    case 42: larguraAreaImpressao(n16(a)); break;
    case 43:
        argColeta_[0] = bloco >= 3 && bloco <= kMaximoSimbolo2D;
        dadosColeta_.clear();
        if (argColeta_[0]) dadosColeta_.reserve(static_cast<size_t>(bloco));
        iniciarColeta(argColeta_[0] ? kSimbolo2D : kDescarte, bloco);
        break;
    default:
        break;
    }
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
