// Job and spool exports.
#include <fstream>
#include <sstream>

#include "RX457.h"
#include "api/Exportacao.h"

using ORDAL_VEX::ORVEX;
using ORDAL_VEX::sobTrava;
using ORDAL_VEX::sobTravaSemRetorno;

namespace {
constexpr int kFalha = ORDAL_VEX::codigoFalhaInterna;

int guardarNoSpool(ORVEX& s, const std::string& dados, int* numero) {
    const int n = s.spool.armazenarDocumento(dados);
    if (numero) *numero = n;
    return n == 0 ? 9 : 0;
}
}  // namespace

extern "C" {

RX457_API void VEX_IniciarTrabalhoImpressao(void) {
    sobTravaSemRetorno("VEX_IniciarTrabalhoImpressao", [](ORVEX& s) { s.obterDriver().iniciarTrabalho(); });
}

RX457_API void VEX_CancelarTrabalhoImpressao(void) {
    sobTravaSemRetorno("VEX_CancelarTrabalhoImpressao", [](ORVEX& s) {
        Ordal::Printer::Driver& d = s.obterDriver();
        d.limparTrabalho();
        d.encerrarTrabalho();
    });
}

RX457_API int VEX_EnviarTrabalhoImpressaoParaSpooler(const void* reservado, int* numero) {
    (void)reservado;
    return sobTrava("VEX_EnviarTrabalhoImpressaoParaSpooler", kFalha,
                    [&](ORVEX& s) { return guardarNoSpool(s, s.obterDriver().obterTrabalho(), numero); });
}

RX457_API int VEX_EnviarArquivoParaSpooler(const char* caminho, const void* reservado, int* numero) {
    (void)reservado;
    return sobTrava("VEX_EnviarArquivoParaSpooler", kFalha, [&](ORVEX& s) {
        if (!caminho) return 3;
        std::string dados;
        if (ORVEX::lerArquivo(caminho, dados) != 1) return 8;
        return guardarNoSpool(s, dados, numero);
    });
}

RX457_API int VEX_SalvarTrabalhoImpressaoEmArquivo(const char* caminho) {
    return sobTrava("VEX_SalvarTrabalhoImpressaoEmArquivo", kFalha, [&](ORVEX& s) {
        if (!caminho) return 3;
        std::ofstream out(caminho, std::ios::binary | std::ios::trunc);
        if (!out) return 7;
        const std::string trabalho = s.obterDriver().obterTrabalho();
        out.write(trabalho.data(), static_cast<std::streamsize>(trabalho.size()));
        out.close();
        return out ? 0 : 7;
    });
}

RX457_API int VEX_SalvarTrabalhoImpressaoComoImagem(const char* caminho) {
    return sobTrava("VEX_SalvarTrabalhoImpressaoComoImagem", kFalha, [&](ORVEX& s) {
        if (!caminho) return 3;
        std::ofstream out(caminho, std::ios::binary | std::ios::trunc);
        if (!out) return 7;
        Ordal::Printer::Driver& d = s.obterDriver();
        const std::string trabalho = d.obterTrabalho();
        if (!d.obterImagem(out)) return 12;
        d.enviarDireto(trabalho);
        const bool ok = d.limparImagem();
        out.close();
        return ok && out ? 0 : 12;
    });
}

RX457_API int VEX_ObterEstadoDocumentoEmSpooler(int numero) {
    (void)numero;
    return sobTrava("VEX_ObterEstadoDocumentoEmSpooler", kFalha, [](ORVEX&) { return 0; });
}

RX457_API int VEX_ReimprimirDocumentoEmSpooler(int numero) {
    (void)numero;
    return sobTrava("VEX_ReimprimirDocumentoEmSpooler", kFalha, [](ORVEX&) { return 1; });
}

RX457_API int VEX_CancelarImpressaoDocumentoEmSpooler(int numero) {
    (void)numero;
    return sobTrava("VEX_CancelarImpressaoDocumentoEmSpooler", kFalha, [](ORVEX&) { return 1; });
}

RX457_API int VEX_ReimprimirUltimoDocumento(void) {
    return sobTrava("VEX_ReimprimirUltimoDocumento", kFalha, [](ORVEX&) { return 0; });
}

RX457_API void VEX_EsvaziarSpooler(void) {
    sobTravaSemRetorno("VEX_EsvaziarSpooler", [](ORVEX& s) { s.spool.esvaziar(); });
}

}  // extern "C"
