// Session and configuration exports.
#include <cstring>
#include <mutex>

#include "RX457.h"
#include "api/Fronteira.h"
#include "text/ORVEX.h"

using ORDAL_VEX::ORVEX;
using ORDAL_VEX::protegido;

namespace {
using Trava = std::lock_guard<std::mutex>;

// Copies text and its terminating zero when it fits: 0, or 14 when the buffer is too small.
int copiarTexto(const std::string& texto, char* destino, unsigned int tamanho) {
    if (texto.size() >= tamanho) return 14;
    std::memcpy(destino, texto.c_str(), texto.size() + 1);
    return 0;
}
}  // namespace

extern "C" {

RX457_API void VEX_NotificarEventos(void* callback) {
    ORDAL_VEX::protegidoSemRetorno("VEX_NotificarEventos", [&] {
        ORVEX& s = ORVEX::instancia();
        Trava trava(s.mutex);
        s.callbackEventos = callback;
    });
}

RX457_API int VEX_ObterUltimoErro(char* destino, unsigned int tamanho) {
    return protegido("VEX_ObterUltimoErro", ORDAL_VEX::codigoFalhaInterna, [&] {
        if (!destino) return 3;
        return copiarTexto(ORDAL_VEX::ultimaFalha(), destino, tamanho);
    });
}

RX457_API int VEX_AlterarParametroConfiguracaoVEX(const char* secao, const char* chave, const char* valor) {
    return protegido("VEX_AlterarParametroConfiguracaoVEX", ORDAL_VEX::codigoFalhaInterna, [&] {
        ORVEX& s = ORVEX::instancia();
        Trava trava(s.mutex);
        if (!secao || !chave || !valor) return 3;
        const std::string nome = s.normalizarSecao(secao);
        if (s.configuracao.alterarValor(nome.c_str(), chave, valor)) {
            s.aplicarAoDriver();
            return 0;
        }
        return s.configuracao.existeChave(nome.c_str(), chave) ? 10 : 1;
    });
}

RX457_API int VEX_LerParametroConfiguracaoVEX(const char* secao, const char* chave, char* valor, unsigned int tamanho) {
    return protegido("VEX_LerParametroConfiguracaoVEX", ORDAL_VEX::codigoFalhaInterna, [&] {
        ORVEX& s = ORVEX::instancia();
        Trava trava(s.mutex);
        if (!secao || !chave || !valor) return 3;
        const std::string nome = s.normalizarSecao(secao);
        std::string texto;
        if (!s.configuracao.lerValor(nome.c_str(), chave, texto)) return 1;
        return copiarTexto(texto, valor, tamanho);
    });
}

}  // extern "C"
