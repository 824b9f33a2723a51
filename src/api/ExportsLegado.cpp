// The older RX457_* family: 1 success, 0 failure, negative codes for bad input.
#include <chrono>
#include <cstring>
#include <string>
#include <utility>

#include "RX457.h"
#include "api/Exportacao.h"

using ORDAL_VEX::ORVEX;
using ORDAL_VEX::sobTrava;
using ORDAL_VEX::sobTravaSemRetorno;
using ORDAL_VEX::traduzirCodigo;

namespace {

constexpr int kFalha = ORDAL_VEX::codigoFalhaLegado;
constexpr int kParametroInvalido = -99;
// Longest text one call prints. A larger size is a caller's mistake, and honouring it would read far
// past the text it handed over.
constexpr size_t kTamanhoMaximoTexto = size_t(16) << 20;
// Module sizes accepted for the QR code beside text: the range of TAMANHO_QRCODE.
constexpr int kModuloQRMinimo = 1;
constexpr int kModuloQRMaximo = 16;

// Status read through a cache: the printer is asked at most once per 100 ms.
struct CacheStatus {
    Ordal::Printer::PalavraStatus palavra{};
    bool lido = false;
    std::chrono::steady_clock::time_point instante;
} cacheStatus;

bool lerStatusComCache(ORVEX& s) {
    if (cacheStatus.lido && std::chrono::steady_clock::now() - cacheStatus.instante <= std::chrono::milliseconds(99))
        return false;
    Ordal::Printer::PalavraStatus palavra{};
    if (!s.obterDriver().atualizarStatus(palavra)) return false;
    cacheStatus.palavra = palavra;
    cacheStatus.lido = true;
    cacheStatus.instante = std::chrono::steady_clock::now();
    return true;
}

int itemStatus(int item) {
    auto bit = [](int byte, int b) { return (cacheStatus.palavra[byte] >> b) & 1; };
    switch (item) {
    case 1: return bit(0, 1) | bit(0, 2) | bit(0, 5) | bit(1, 3) | bit(1, 4);
    case 2: return !bit(0, 1);
    case 3: return !bit(1, 3) && !bit(1, 4);
    case 4: return !bit(0, 5);
    case 5: return bit(0, 2);
    case 6: return !bit(1, 1) && !bit(1, 2);
    case 7: return !bit(0, 0);
    default: return bit(1, 6);
    }
}

int consultarStatus(ORVEX& s, int item, int comoTexto, char* saida) {
    if (item < 1 || item > 8 || !saida) return kParametroInvalido;
    if (!lerStatusComCache(s)) return 0;
    const int valor = itemStatus(item);
    if (comoTexto) {
        saida[0] = static_cast<char>('0' + valor);
        saida[1] = '\0';
    } else {
        const int32_t v = valor;
        std::memcpy(saida, &v, sizeof v);
    }
    return 1;
}

// Sets one key of the model section and saves just that key, so that changes other processes made to
// the file meanwhile stay. A save that fails leaves the previous value in effect, as the file does.
template <typename T>
int registrarCampo(ORVEX& s, T ORDAL_VEX::ParametrosDoArquivoInicializacao::*campo, T novo, const char* nomeChave) {
    T anterior = s.configuracao.*campo;
    s.configuracao.*campo = std::move(novo);
    bool salvo = false;
    try {
        salvo = s.configuracao.salvarChave("RX457", nomeChave);
    } catch (...) {
        s.configuracao.*campo = std::move(anterior);
        throw;
    }
    if (salvo) return 1;
    s.configuracao.*campo = std::move(anterior);
    return 0;
}

// Sets a switch from a text starting with '0' or '1'. The text as a whole must be one the file could
// hold, as for every configuration value.
int registrarChave(ORVEX& s, const char* valor, bool ORDAL_VEX::ParametrosDoArquivoInicializacao::*campo,
                   const char* nomeChave) {
    if (!valor || (valor[0] != '0' && valor[0] != '1') || !Misc::ArquivoINI::INIFileBase::valorGravavel(valor))
        return kParametroInvalido;
    return registrarCampo(s, campo, valor[0] == '1', nomeChave);
}

}  // namespace

extern "C" {

RX457_API int RX457_eBuscarPortaVelocidade(void) {
    return sobTrava("RX457_eBuscarPortaVelocidade", kFalha,
                    [](ORVEX& s) { return s.obterDriver().atualizarIdentificacao() ? 1 : 0; });
}

RX457_API int RX457_fecharPorta(void) { return 1; }

RX457_API int RX457_iAcionarGaveta(void) {
    return sobTrava("RX457_iAcionarGaveta", kFalha, [](ORVEX& s) {
        s.abrirGaveta();
        return 1;
    });
}

RX457_API int RX457_rConsultaStatusImpressora(int item, int comoTexto, char* saida) {
    return sobTrava("RX457_rConsultaStatusImpressora", kFalha,
                    [&](ORVEX& s) { return consultarStatus(s, item, comoTexto, saida); });
}

RX457_API int RX457_rStatusGaveta(char* saida) { return RX457_rConsultaStatusImpressora(7, 1, saida); }

RX457_API int RX457_regCodePageAutomatico(const char* valor) {
    return sobTrava("RX457_regCodePageAutomatico", kFalha, [&](ORVEX& s) {
        return registrarChave(s, valor, &ORDAL_VEX::ParametrosDoArquivoInicializacao::codepageAutomatico,
                              "CODEPAGE_AUTOMATICO");
    });
}

RX457_API int RX457_regEnterFinal(const char* valor) {
    return sobTrava("RX457_regEnterFinal", kFalha, [&](ORVEX& s) {
        return registrarChave(s, valor, &ORDAL_VEX::ParametrosDoArquivoInicializacao::enterAutomatico,
                              "ENTERAUTOMATICO");
    });
}

RX457_API int RX457_regTabulacao(const char* valor) {
    return sobTrava("RX457_regTabulacao", kFalha, [&](ORVEX& s) {
        if (!valor || !Misc::ArquivoINI::INIFileBase::valorGravavel(valor)) return kParametroInvalido;
        return registrarCampo(s, &ORDAL_VEX::ParametrosDoArquivoInicializacao::tabulacao, std::string(valor),
                              "TABULACAO");
    });
}

RX457_API int RX457_iImprimirTexto(const char* texto, int tamanho) {
    return sobTrava("RX457_iImprimirTexto", kFalha, [&](ORVEX& s) {
        if (!texto || tamanho < 0) return kParametroInvalido;
        const size_t n = tamanho == 0 ? strnlen(texto, kTamanhoMaximoTexto + 1) : static_cast<size_t>(tamanho);
        if (n > kTamanhoMaximoTexto) return kParametroInvalido;
        s.imprimirTexto(texto, static_cast<unsigned int>(n));
        return 1;
    });
}

RX457_API int RX457_iImprimirArquivo(const char* caminho) {
    return sobTrava("RX457_iImprimirArquivo", kFalha, [&](ORVEX& s) {
        std::string conteudo;
        const int r = ORVEX::lerArquivo(caminho, conteudo);
        if (r == 1) s.imprimirTexto(conteudo.data(), static_cast<unsigned int>(conteudo.size()));
        return r;
    });
}

RX457_API int RX457_iImprimirBMP(const char* caminho) {
    return sobTrava("RX457_iImprimirBMP", kFalha, [&](ORVEX& s) {
        if (caminho && std::strstr(caminho, ".pdf")) return traduzirCodigo(s.imprimirPDF(caminho));
        return traduzirCodigo(s.imprimirImagemArquivo(caminho, 5, 100, 128));
    });
}

RX457_API int RX457_iImprimirImagem(const char* caminho) {
    return sobTrava("RX457_iImprimirImagem", kFalha,
                    [&](ORVEX& s) { return traduzirCodigo(s.imprimirImagemArquivo(caminho, 5, 100, 128)); });
}

RX457_API int RX457_iCarregarBMPMemoria(const char* caminho, int modo) {
    return sobTrava("RX457_iCarregarBMPMemoria", kFalha, [&](ORVEX& s) {
        if (!caminho || !*caminho || (modo != '0' && modo != '1')) return kParametroInvalido;
        return s.carregarBMPMemoria(caminho, static_cast<char>(modo)) == 0 ? 1 : -8;
    });
}

RX457_API int RX457_iImprimirBMPMemoria(void) {
    return sobTrava("RX457_iImprimirBMPMemoria", kFalha, [](ORVEX& s) { return s.imprimirBMPMemoria() ? 1 : 0; });
}

RX457_API int RX457_iImprimeCheque(void) { return 1; }

RX457_API int RX457_Consulta_UltimaImpressao(void) {
    return sobTrava("RX457_Consulta_UltimaImpressao", kFalha, [](ORVEX& s) {
        s.obterDriver().aguardarFimImpressao(10000);
        return 1;
    });
}

RX457_API int RX457_ModeloImpressora(char* destino) {
    return sobTrava("RX457_ModeloImpressora", kFalha, [&](ORVEX& s) {
        if (!destino) return kParametroInvalido;
        Ordal::Printer::PrinterID id;
        if (!s.obterDriver().lerIdentificacao(id)) return 0;
        const size_t n = std::min<size_t>(id.idModelo.size(), RX457_TAMANHO_MODELO - 1);
        std::memcpy(destino, id.idModelo.data(), n);
        destino[n] = '\0';
        return 1;
    });
}

RX457_API int RX457_Ler_CMC7(void) { return 1; }
RX457_API int RX457_Autenticar_Doc(void) { return 1; }
RX457_API int RX457_ConsultaNumeroSerie(void) { return 1; }
RX457_API int RX457_regLinhasGuilhotina(void) { return 0; }
RX457_API int RX457_regModoGaveta(void) { return 1; }
RX457_API int RX457_regPortaComunicacao(void) { return 0; }
RX457_API int RX457_regVelocidade(void) { return 0; }
RX457_API int RX457_rStatusGuilhotina(void) { return 1; }
RX457_API int RX457_iConfigurarGuilhotina(void) { return 0; }

RX457_API void RX457_setSize_Qrcode(int tamanho) {
    // A size no roll can hold is ignored: the symbol would only be cut, or not fit in memory.
    if (tamanho < kModuloQRMinimo || tamanho > kModuloQRMaximo) return;
    sobTravaSemRetorno("RX457_setSize_Qrcode", [&](ORVEX& s) {
        s.tamanhoQRCode = tamanho;
        s.obterDriver().qrTamanhoModulo(static_cast<unsigned>(tamanho));
    });
}

RX457_API void RX457_iImprimeQRCode_TextoDireita(const char* dadosQR, const char* texto) {
    sobTravaSemRetorno("RX457_iImprimeQRCode_TextoDireita",
                       [&](ORVEX& s) { s.imprimirQRCodeTextoDireita(dadosQR, texto); });
}

}  // extern "C"
