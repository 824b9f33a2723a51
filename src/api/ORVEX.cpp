#include "api/ORVEX.h"

#include "config/TextosConsulta.h"

namespace ORDAL_VEX {

namespace {
// The one session, constructed when the library is loaded.
ORVEX sessao;
}  // namespace

ORVEX& ORVEX::instancia() { return sessao; }

ORVEX::ORVEX() : configuracao("CONVERSOR.ini") { repassarConfiguracao(); }

ORVEX::~ORVEX() = default;

void ORVEX::recarregarConfiguracao() {
    configuracao.carregar();
    repassarConfiguracao();
}

void ORVEX::repassarConfiguracao() {
    tamanhoQRCode = configuracao.tamanhoQRCode;
    Ordal::DocumentoFiscal::TextosConsulta textos;
    if (!configuracao.aplicativoConsulta.empty()) textos.aplicativoConsulta = configuracao.aplicativoConsulta;
    textos.wsConsultaQRCode = configuracao.wsConsultaQRCode;
    textos.urlConsulta = configuracao.urlConsulta;
    Ordal::DocumentoFiscal::definirTextosConsulta(textos);
}

std::string ORVEX::normalizarSecao(const char* secao) {
    std::string nome = secao ? secao : "";
    if (nome == "BOBINA_XXMM") nome = configuracao.larguraBobina > 56 ? "BOBINA_80MM" : "BOBINA_56MM";
    if (nome == "RX457" && !configuracao.existeSecao("RX457")) nome = "ORVEX";
    if (nome == "ORVEX" && !configuracao.existeSecao("ORVEX")) nome = "RX457";
    return nome;
}

}  // namespace ORDAL_VEX
