// ESC/POS command encoder and printer queries.
// HEADER COMPLETE: the class and the order of its virtual operations are stable.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "printer/Driver.h"

namespace EscPOSPrinter {

using Ordal::Printer::Bitmap;
using Ordal::Printer::PalavraStatus;
using Ordal::Printer::PrinterID;
using Ordal::Printer::Settings;
using Ordal::Printer::Specification;

// One entry of the code-page table: driver key -> n of ESC t n.
struct PaginaCodigo {
    int32_t chave;
    uint8_t n;
};

// The 20 code pages known to the encoder, in search order.
const std::array<PaginaCodigo, 20>& paginasCodigo();

class EscPOS : public Ordal::Printer::Driver {
public:
    EscPOS(const Specification& especificacao, const Settings& configuracao);
    ~EscPOS() override;

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

    bool selecionarEstacaoPapel(int n) override;
    bool selecionarBobina() override;
    bool selecionarFolhaSolta() override;
    void ejetarFolha() override;
    void liberarFolha() override;
    void qrSelecionarModelo(int m) override;
    void qrTamanhoModulo(unsigned n) override;
    void qrNivelCorrecao(int n) override;
    bool qrImprimir() override;
    void qrArmazenarDados(std::string_view texto) override;

    bool lerIdentificacao(PrinterID& destino) override;
    bool escreverDispositivo(const uint8_t* dados, size_t n) override;
    bool enviarDireto(std::string_view bytes) override;
    bool lerStatus(PalavraStatus& destino) override;

    // Slot 118: stores a bitmap as NV image n with threshold 128 in column format.
    virtual bool definirImagemNVDeBitmapPadrao(int n, const Bitmap& bitmap, int flags);
    // Slot 119: writes a command on the link and collects its reply (at most `maximo` bytes, at most
    // 255) for about ms milliseconds; empty on a write failure or silence.
    virtual std::string consultar(std::string_view comando, int ms, int maximo);

    // Last replies to the real-time status requests 1..4.
    std::array<uint8_t, 4> estadoBruto{};

protected:
    // Appends a command through the output sink.
    void emitir(std::initializer_list<uint8_t> bytes);
    void emitirDireto(std::initializer_list<uint8_t> bytes);
};

}  // namespace EscPOSPrinter
