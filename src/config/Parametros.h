// The library's settings, bound to "CONVERSOR.ini".
#pragma once

#include <string>

#include "config/ArquivoINI.h"
#include "config/MetodoComunicacao.h"

namespace ORDAL_VEX {

// Options that depend on the paper width; one copy per paper section, and the one in effect.
struct OpcoesDeLeiaute {
    int fontePadrao = 9;
    int colunasTextoCabecalho = 40;
    bool centralizarLogomarca = false;
    bool centralizarTextoCabecalho = false;
    int tamanhoLogomarca = 100;
    int ajusteBrilhoLogomarca = 7;
    std::string arquivoImagemLogomarca;
};

struct ParametrosDoArquivoInicializacao : OpcoesDeLeiaute {
    // SISTEMA
    int log = 0;
    // RX457
    std::string porta;
    int velocidade = 115200;
    int larguraBobina = 80;
    bool codepageAutomatico = true;
    bool enterAutomatico = true;
    bool enterAlinhamento = true;
    MetodoComunicacao metodoDeComunicacao = SERIAL;
    std::string tabulacao;
    int tamanhoQRCode = 3;
    std::string ipEPorta;
    int alturaCabecalho = 4;
    std::string cabecalho;
    std::string pathLogoXML;
    bool guilhotinaPDF = false;
    bool guilhotinaCupom = true;
    bool verificarCalculosXML = false;
    bool reconhecerPipeComoNovaLinha = false;
    int timeout = 30000;
    bool compactarRaster = false;
    int espacamentoXML = 4;
    std::string simboloMoeda = "R$";
    std::string moedaSingular = "REAL";
    std::string moedaPlural = "REAIS";
    // BOBINA_56MM, BOBINA_80MM
    OpcoesDeLeiaute bobina56{9, 26, false, false, 100, 7, {}};
    OpcoesDeLeiaute bobina80{9, 40, false, false, 100, 7, {}};
    // NFCE
    std::string wsConsultaQRCode;
    std::string urlConsulta;
    std::string nfceInfoDetalheVenda;
    bool msgAproveitamentoICMS = true;
    bool leiautePadrao = false;
    bool nfceForcarQuebraLinha = false;
    bool nfceTruncarDescricao = false;
    int nfceLarguraMinimaDescricao = 20;
    // SAT
    bool valorTributos = true;
    std::string satInfoDetalheVenda;
    bool satForcarQuebraLinha = true;
    bool satTruncarDescricao = false;
    int satLarguraMinimaDescricao = 20;
    std::string aplicativoConsulta;

    ParametrosDoArquivoInicializacao() { static_cast<OpcoesDeLeiaute&>(*this) = bobina80; }
};

}  // namespace ORDAL_VEX

namespace Misc::ArquivoINI {
template <>
void INIFile<ORDAL_VEX::ParametrosDoArquivoInicializacao>::tabela();
template <>
void INIFile<ORDAL_VEX::ParametrosDoArquivoInicializacao>::aposTabela();
}  // namespace Misc::ArquivoINI

namespace ORDAL_VEX {
using Configuracao = Misc::ArquivoINI::INIFile<ParametrosDoArquivoInicializacao>;
}
