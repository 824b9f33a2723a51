// Formatting and device-command exports: each is one driver or facade operation under the lock.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "RX457.h"
#include "api/Exportacao.h"

using Ordal::Printer::Driver;
using ORDAL_VEX::comDriver;
using ORDAL_VEX::ORVEX;
using ORDAL_VEX::sobTrava;
using ORDAL_VEX::sobTravaSemRetorno;

namespace {
constexpr int kFalha = ORDAL_VEX::codigoFalhaInterna;
// Most data one symbol can hold: a version 40 QR code in byte mode, and a PDF417 symbol.
constexpr size_t kMaximoQRCode = 7089;
constexpr size_t kMaximoPDF417 = 5420;
// Longest feed of one call: the renderer's ring of 40 inches. More is no receipt, only a long wait.
constexpr int kPolegadasAvancoMaximo = 40;
}  // namespace

extern "C" {

RX457_API void VEX_AbrirGavetaDinheiro(void) {
    sobTravaSemRetorno("VEX_AbrirGavetaDinheiro", [](ORVEX& s) { s.abrirGaveta(); });
}

RX457_API void VEX_AcionarCortadorPapel(void) {
    sobTravaSemRetorno("VEX_AcionarCortadorPapel", [](ORVEX& s) { s.cortarPapel(); });
}

RX457_API void VEX_AvancarPapelBobina(unsigned int pontos) {
    comDriver("VEX_AvancarPapelBobina", [&](Driver& d) {
        const unsigned int maximo = static_cast<unsigned int>(kPolegadasAvancoMaximo * std::max(d.resolucao(), 1));
        d.avancarPapel(static_cast<int>(std::min(pontos, maximo)));
    });
}

RX457_API void VEX_DefinirModoImpressaoPadrao(int fonte, int modo) {
    sobTravaSemRetorno("VEX_DefinirModoImpressaoPadrao", [&](ORVEX& s) {
        s.fontePadrao = fonte;
        s.modoPadrao = modo;
    });
}

RX457_API void VEX_SelecionarModoImpressaoPadrao(void) {
    sobTravaSemRetorno("VEX_SelecionarModoImpressaoPadrao", [](ORVEX& s) {
        s.obterDriver().selecionarFonte(s.fontePadrao);
        s.alterarModoImpressao(s.modoPadrao, 2);
    });
}

RX457_API void VEX_AlterarModoImpressao(int modos, int operacao) {
    sobTravaSemRetorno("VEX_AlterarModoImpressao", [&](ORVEX& s) { s.alterarModoImpressao(modos, operacao); });
}

RX457_API void VEX_SelecionarFonteCaracteres(int fonte) {
    comDriver("VEX_SelecionarFonteCaracteres", [&](Driver& d) { d.selecionarFonte(fonte); });
}

RX457_API void VEX_SelecionarTamanhoCaracter(int largura, int altura) {
    comDriver("VEX_SelecionarTamanhoCaracter", [&](Driver& d) { d.selecionarTamanhoCaractere(largura, altura); });
}

RX457_API void VEX_SelecionarConjuntoDeCaracteres(int pagina) {
    comDriver("VEX_SelecionarConjuntoDeCaracteres", [&](Driver& d) { d.selecionarTabelaCaracteres(pagina); });
}

RX457_API void VEX_SelecionarMargemEsquerda(int margem) {
    comDriver("VEX_SelecionarMargemEsquerda", [&](Driver& d) { d.margemEsquerda(margem); });
}

RX457_API void VEX_SelecionarLarguraAreaImpressao(int largura) {
    comDriver("VEX_SelecionarLarguraAreaImpressao", [&](Driver& d) { d.definirLarguraPapel(largura); });
}

RX457_API void VEX_SelecionarEspacamentoEntreCaracteres(int espaco) {
    comDriver("VEX_SelecionarEspacamentoEntreCaracteres", [&](Driver& d) { d.espacamentoEntreCaracteres(espaco); });
}

RX457_API void VEX_SelecionarEspacamentoEntreLinhas(int espaco) {
    comDriver("VEX_SelecionarEspacamentoEntreLinhas", [&](Driver& d) { d.espacamentoEntreLinhas(espaco); });
}

RX457_API void VEX_SelecionarAlinhamento(unsigned int alinhamento) {
    comDriver("VEX_SelecionarAlinhamento", [&](Driver& d) { d.selecionarAlinhamento(static_cast<int>(alinhamento)); });
}

RX457_API int VEX_ImprimirImagemDoArquivo(const char* caminho, int limiar, int divisor) {
    return sobTrava("VEX_ImprimirImagemDoArquivo", kFalha, [&](ORVEX& s) {
        if (divisor < 0) return 3;
        return s.imprimirImagemArquivo(caminho, 5, static_cast<unsigned int>(divisor), limiar);
    });
}

RX457_API int VEX_ImprimirImagemGrafica(int modo, int largura, int altura, const unsigned char* dados) {
    return sobTrava("VEX_ImprimirImagemGrafica", kFalha, [&](ORVEX& s) {
        if (!dados) return 3;
        // The raster command carries 16-bit sizes and modes 0..3: anything else cannot be sent.
        if (modo < 0 || modo > 3 || largura <= 0 || altura <= 0 || (int64_t(largura) + 7) / 8 > 0xFFFF ||
            altura > 0xFFFF)
            return 2;
        s.obterDriver().imprimirImagemRaster(modo, largura, altura, dados);
        s.posicaoLinha = 0;
        return 0;
    });
}

RX457_API void VEX_SelecionarImpressaoPaginada(void) {
    comDriver("VEX_SelecionarImpressaoPaginada", [](Driver& d) { d.selecionarModoPagina(); });
}

RX457_API void VEX_RealizarImpressaoPaginada(void) {
    comDriver("VEX_RealizarImpressaoPaginada", [](Driver& d) { d.imprimirPagina(); });
}

RX457_API void VEX_CancelarImpressaoPaginada(void) {
    comDriver("VEX_CancelarImpressaoPaginada", [](Driver& d) { d.cancelarDadosPagina(); });
}

RX457_API void VEX_DefinirAreaImpressaoModoPaginado(int x, int y, int largura, int altura) {
    comDriver("VEX_DefinirAreaImpressaoModoPaginado", [&](Driver& d) { d.areaImpressaoPagina(x, y, largura, altura); });
}

RX457_API void VEX_DesenharLinha(void) {
    sobTravaSemRetorno("VEX_DesenharLinha", [](ORVEX&) {});
}

RX457_API void VEX_PreencherArea(int x0, int y0, int x1, int y1, int padrao) {
    if (padrao < 0 || padrao > 4) return;
    comDriver("VEX_PreencherArea", [&](Driver& d) { d.preencherRetangulo(x0, y0, x1, y1, padrao); });
}

RX457_API void VEX_RedefinirUnidadeMovimentacao(int unidade) {
    comDriver("VEX_RedefinirUnidadeMovimentacao", [&](Driver& d) { d.unidadesMovimentacao(unidade, unidade); });
}

RX457_API void VEX_AjustarPosicaoHorizontalAbsoluta(unsigned int posicao) {
    comDriver("VEX_AjustarPosicaoHorizontalAbsoluta",
              [&](Driver& d) { d.posicaoHorizontalAbsoluta(static_cast<int>(posicao)); });
}

RX457_API void VEX_AjustarPosicaoVerticalAbsoluta(int posicao) {
    comDriver("VEX_AjustarPosicaoVerticalAbsoluta", [&](Driver& d) { d.posicaoVerticalAbsoluta(posicao); });
}

RX457_API void VEX_DeslocamentoHorizontal(int deslocamento) {
    comDriver("VEX_DeslocamentoHorizontal", [&](Driver& d) { d.deslocamentoHorizontal(deslocamento); });
}

RX457_API void VEX_DeslocamentoVertical(int deslocamento) {
    comDriver("VEX_DeslocamentoVertical", [&](Driver& d) { d.deslocamentoVertical(deslocamento); });
}

RX457_API void VEX_ImprimirTexto(const char* texto) {
    if (!texto) return;
    sobTravaSemRetorno("VEX_ImprimirTexto",
                       [&](ORVEX& s) { s.imprimirTextoSimples(texto, static_cast<unsigned int>(std::strlen(texto))); });
}

RX457_API void VEX_QRCodeSelecionarModelo(int modelo) {
    comDriver("VEX_QRCodeSelecionarModelo", [&](Driver& d) { d.qrSelecionarModelo(modelo); });
}

RX457_API void VEX_QRCodeSelecionarNivelCorrecaoErro(int nivel) {
    comDriver("VEX_QRCodeSelecionarNivelCorrecaoErro", [&](Driver& d) { d.qrNivelCorrecao(nivel); });
}

RX457_API void VEX_QRCodeSelecionarTamanhoModulo(int tamanho) {
    comDriver("VEX_QRCodeSelecionarTamanhoModulo", [&](Driver& d) {
        if (tamanho >= 0) d.qrTamanhoModulo(static_cast<unsigned>(tamanho));
    });
}

RX457_API void VEX_SelecionarAlturaCodigoBarras(int altura) {
    comDriver("VEX_SelecionarAlturaCodigoBarras", [&](Driver& d) { d.alturaCodigoBarras(altura); });
}

RX457_API void VEX_SelecionarLarguraCodigoBarras(int largura) {
    comDriver("VEX_SelecionarLarguraCodigoBarras", [&](Driver& d) { d.larguraCodigoBarras(largura); });
}

RX457_API int VEX_ImprimirCodigoBarras(unsigned int tipo, const char* dados, int tamanho) {
    return sobTrava("VEX_ImprimirCodigoBarras", kFalha, [&](ORVEX& s) {
        if (tipo >= 11) return 5;
        if (!dados) return 3;
        if (!*dados && tamanho <= 0) return 4;
        if (tamanho < 0) return 2;
        const size_t n = tamanho == 0 ? std::strlen(dados) : static_cast<size_t>(tamanho);
        // Refused before the data are read: no symbol holds more, and a size beyond it is no size.
        if ((tipo == 9 && n > kMaximoQRCode) || (tipo == 10 && n > kMaximoPDF417)) return 2;
        Driver& d = s.obterDriver();
        if (tipo == 9) {
            // QR code with the parameters chosen through the QR exports.
            Ordal::Printer::ParametrosQRCode p = d.qrcode;
            p.dados.assign(dados, n);
            d.imprimirQRCode(p);
        } else if (tipo == 10) {
            Ordal::Printer::ParametrosCodigoPDF417 p;
            p.dados.assign(dados, n);
            d.imprimirPDF417(p);
        } else {
            // The barcode command counts its data in one byte.
            if (n > 255) return 2;
            d.imprimirCodigoBarras(static_cast<int>(tipo), reinterpret_cast<const uint8_t*>(dados),
                                   static_cast<int>(n));
        }
        s.posicaoLinha = 0;
        return 0;
    });
}

RX457_API int VEX_LerMICR(char* saida, int tamanho) {
    return sobTrava("VEX_LerMICR", kFalha, [&](ORVEX&) { return !saida || tamanho == 0 ? 3 : 12; });
}

RX457_API int VEX_PreencherCheque(const char* dados, int tamanho, const void* reservado, int opcoes) {
    (void)reservado;
    return sobTrava("VEX_PreencherCheque", kFalha,
                    [&](ORVEX&) { return !dados || tamanho == 0 || opcoes == 0 ? 3 : 12; });
}

RX457_API int VEX_AutenticarDocumento(const char* texto) {
    return sobTrava("VEX_AutenticarDocumento", kFalha, [&](ORVEX&) { return texto ? 12 : 3; });
}

RX457_API int VEX_CancelarEsperaDeDocumento(void) {
    return sobTrava("VEX_CancelarEsperaDeDocumento", kFalha, [](ORVEX&) { return 0; });
}

RX457_API void VEX_DefinirMacro(void) {
    comDriver("VEX_DefinirMacro", [](Driver& d) { d.definirMacro(); });
}

RX457_API void VEX_GravarMacro(void) {
    comDriver("VEX_GravarMacro", [](Driver& d) { d.gravarMacro(); });
}

RX457_API void VEX_ExecutarMacro(void) {
    comDriver("VEX_ExecutarMacro", [](Driver& d) { d.executarMacro(); });
}

RX457_API void VEX_ImprimirCabecalhoDocumento(void) {}

RX457_API void VEX_ImprimirLogomarca(void) {}

RX457_API void VEX_ImprimirCampo(int campo, int valor, int opcoes) {
    (void)campo;
    (void)valor;
    (void)opcoes;
}

}  // extern "C"
