#include "config/Parametros.h"

#include <vector>

namespace Misc::ArquivoINI {

using ORDAL_VEX::MetodoComunicacao;

template <>
void INIFile<ORDAL_VEX::ParametrosDoArquivoInicializacao>::tabela() {
    static const std::vector<int> velocidades{9600, 19200, 38400, 57600, 115200};
    static const std::vector<MetodoComunicacao> metodos{ORDAL_VEX::USB, ORDAL_VEX::SERIAL, ORDAL_VEX::ETHERNET};
    const MetodoComunicacao metodoPadrao = ORDAL_VEX::SERIAL;
    const bool R = true;

    secao("SISTEMA");
    chave("LOG", log, 0, 0, 1, R);

    secao("RX457");
    chave("PORTA", porta, "", R);
    chave("VELOCIDADE", velocidade, 115200, velocidades, R);
    chave("LARGURA_BOBINA", larguraBobina, 80, 56, 120, R);
    chave("CODEPAGE_AUTOMATICO", codepageAutomatico, true, R);
    chave("ENTERAUTOMATICO", enterAutomatico, true, R);
    chave("ENTERALINHAMENTO", enterAlinhamento, true, R);
    declarar(PropriedadesChave<MetodoComunicacao>{"METODO_DE_COMUNICACAO", &metodoDeComunicacao, &metodoPadrao, nullptr,
                                                  nullptr, &metodos},
             R);
    chave("TABULACAO", tabulacao, "", R);
    chave("TAMANHO_QRCODE", tamanhoQRCode, 3, 1, 16, R);
    chave("IP_E_PORTA", ipEPorta, "", R);
    chave("ALTURA_CABECALHO", alturaCabecalho, 4, 1, 60, R);
    chave("CABECALHO", cabecalho, "", R);
    // The logo's older key: read, never appended; it stands in for a missing ARQUIVO_IMAGEM_LOGOMARCA.
    const bool temPathLogo = chave("PATH_LOGO_XML", pathLogoXML, "", false);
    chave("GUILHOTINA_PDF", guilhotinaPDF, false, R);
    chave("GUILHOTINA_CUPOM", guilhotinaCupom, true, R);
    chave("VERIFICAR_CALCULOS_XML", verificarCalculosXML, false, R);
    chave("RECONHECER_PIPE_COMO_NOVA_LINHA", reconhecerPipeComoNovaLinha, false, R);
    chave("TIMEOUT", timeout, 30000, R);
    chave("ESPACAMENTO_XML", espacamentoXML, 4, 1, 6, R);
    chave("SIMBOLO_MOEDA", simboloMoeda, "R$", R);
    chave("MOEDA_SINGULAR", moedaSingular, "REAL", R);
    chave("MOEDA_PLURAL", moedaPlural, "REAIS", R);
    // Optional: never appended, so files written before it stay as they were.
    chave("COMPACTAR_RASTER", compactarRaster, false, false);

    // A change, or a save of one key, skips every other key, so the fallback only applies to full passes.
    const bool completo = passeCompleto();
    auto bobina = [&](const char* nomeSecao, ORDAL_VEX::OpcoesDeLeiaute& o, int fonteMaxima, int colunas) {
        secao(nomeSecao);
        chave("FONTE_PADRAO", o.fontePadrao, 9, 8, fonteMaxima, R);
        chave("COLUNAS_TEXTO_CABECALHO", o.colunasTextoCabecalho, colunas, 26, 72, R);
        chave("CENTRALIZAR_TEXTO_CABECALHO", o.centralizarTextoCabecalho, false, R);
        if (!chave("ARQUIVO_IMAGEM_LOGOMARCA", o.arquivoImagemLogomarca, "", !temPathLogo) && completo)
            o.arquivoImagemLogomarca = pathLogoXML;
        chave("TAMANHO_LOGOMARCA", o.tamanhoLogomarca, 100, 0, 100, R);
        chave("CENTRALIZAR_LOGOMARCA", o.centralizarLogomarca, false, R);
        chave("AJUSTE_BRILHO_LOGOMARCA", o.ajusteBrilhoLogomarca, 7, 0, 15, R);
    };
    bobina("BOBINA_56MM", bobina56, 11, 26);
    bobina("BOBINA_80MM", bobina80, 12, 40);

    secao("NFCE");
    chave("WS_CONSULTA_QRCODE", wsConsultaQRCode, "", R);
    chave("URL_CONSULTA", urlConsulta, "", R);
    chave("INFO_DETALHE_VENDA", nfceInfoDetalheVenda, "", R);
    chave("MSG_APROVEITAMENTO_ICMS", msgAproveitamentoICMS, true, R);
    chave("LEIAUTE_PADRAO", leiautePadrao, false, R);
    chave("FORCAR_QUEBRA_LINHA", nfceForcarQuebraLinha, false, R);
    chave("TRUNCAR_DESCRICAO", nfceTruncarDescricao, false, R);
    chave("LARGURA_MINIMA_DESCRICAO", nfceLarguraMinimaDescricao, 20, 0, 80, R);

    secao("SAT");
    chave("VALOR_TRIBUTOS", valorTributos, true, R);
    chave("INFO_DETALHE_VENDA", satInfoDetalheVenda, "", R);
    chave("FORCAR_QUEBRA_LINHA", satForcarQuebraLinha, true, R);
    chave("TRUNCAR_DESCRICAO", satTruncarDescricao, false, R);
    chave("LARGURA_MINIMA_DESCRICAO", satLarguraMinimaDescricao, 20, 0, 80, R);
    chave("APLICATIVO_CONSULTA", aplicativoConsulta, "", R);
}

template <>
void INIFile<ORDAL_VEX::ParametrosDoArquivoInicializacao>::aposTabela() {
    static_cast<ORDAL_VEX::OpcoesDeLeiaute&>(*this) = larguraBobina < 57 ? bobina56 : bobina80;
}

}  // namespace Misc::ArquivoINI
