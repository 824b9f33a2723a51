// Detection, operation status and the wait for the end of printing.
#include <cstddef>
#include <cstring>

#include "RX457.h"
#include "api/Exportacao.h"

using Ordal::Printer::PalavraStatus;
using ORDAL_VEX::ORVEX;
using ORDAL_VEX::sobTrava;

namespace {

constexpr int kFalha = ORDAL_VEX::codigoFalhaInterna;

// Handed out through InfoImpressora: valid for the life of the process, overwritten by each detection.
char bufModelo[32];
char bufFirmware[32];
char bufPorta[256];
char textoVazio[1];

constexpr unsigned int kTamanhoMinimoInfo = offsetof(InfoImpressora, estado) + sizeof(InfoImpressora{}.estado);

template <size_t N>
void copiarLimitado(char (&destino)[N], const std::string& texto) {
    std::memset(destino, 0, N);
    std::memcpy(destino, texto.data(), texto.size() < N - 1 ? texto.size() : N - 1);
}

// Refreshes the driver's status word and writes the operation-status bytes; false when unreadable.
bool lerEstadoOperacao(ORVEX& s, unsigned char* estado) {
    PalavraStatus palavra{};
    if (!s.obterDriver().atualizarStatus(palavra)) return false;
    auto bit = [&](int byte, int b) { return (palavra[byte] >> b) & 1; };
    estado[0] = static_cast<unsigned char>(bit(1, 1) << 0 | bit(1, 3) << 1 | bit(0, 2) << 2 | bit(0, 0) << 3 |
                                           bit(0, 6) << 5 | bit(0, 1) << 6 | bit(1, 0) << 7);
    estado[1] = static_cast<unsigned char>(bit(0, 7));
    return true;
}

}  // namespace

extern "C" {

RX457_API int VEX_AtualizarEstadoOperacao(unsigned char* estado, unsigned int len) {
    return sobTrava("VEX_AtualizarEstadoOperacao", kFalha, [&](ORVEX& s) {
        if (!estado || len < 4) return 14;
        std::memset(estado, 0, len);
        return lerEstadoOperacao(s, estado) ? 0 : 6;
    });
}

RX457_API int VEX_DetectarImpressora(InfoImpressora* info, unsigned int len) {
    return sobTrava("VEX_DetectarImpressora", kFalha, [&](ORVEX& s) {
        if (!info) return 3;
        if (len < kTamanhoMinimoInfo) return 14;
        std::memset(static_cast<void*>(info), 0, len);
        info->nomeModelo = info->versaoFirmware = info->reservado = info->porta = textoVazio;
        info->flags = 8;
        info->modelo = 0;
        if (!lerEstadoOperacao(s, info->estado)) return 1;
        Ordal::Printer::Driver& d = s.obterDriver();
        Ordal::Printer::PrinterID id;
        if (!d.lerIdentificacao(id)) return 1;
        copiarLimitado(bufModelo, id.nomeModelo);
        copiarLimitado(bufFirmware, id.versaoFirmware);
        copiarLimitado(bufPorta, d.nomePorta());
        info->larguraPontos = d.larguraPontos();
        info->resolucaoDpi = d.resolucao();
        info->nomeModelo = bufModelo;
        info->versaoFirmware = bufFirmware;
        info->porta = bufPorta;
        info->modelo = id.nomeModelo == "RX-457" ? 2 : id.nomeModelo == "RX-268" ? 1 : -1;
        return 0;
    });
}

RX457_API int VEX_EsperarPeloTerminoImpressao(void) {
    return ORDAL_VEX::protegido("VEX_EsperarPeloTerminoImpressao", 0, [] {
        ORVEX& s = ORVEX::instancia();
        Ordal::Printer::Driver* d;
        {
            // Created under the lock, so two threads never build two drivers; the wait runs without it.
            ORDAL_VEX::Trava trava(s.mutex);
            d = &s.obterDriver();
        }
        return d->aguardarFimImpressao(10000) ? 1 : 0;
    });
}

}  // extern "C"

// In a 32-bit build the record has exactly the documented offsets.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(InfoImpressora, nomeModelo) == 4 && offsetof(InfoImpressora, versaoFirmware) == 8 &&
              offsetof(InfoImpressora, reservado) == 12 && offsetof(InfoImpressora, porta) == 16 &&
              offsetof(InfoImpressora, larguraPontos) == 20 && offsetof(InfoImpressora, resolucaoDpi) == 24 &&
              offsetof(InfoImpressora, flags) == 28 && offsetof(InfoImpressora, estado) == 36 &&
              sizeof(InfoImpressora) == 40);
#endif
