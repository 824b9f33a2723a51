// Fiscal documents: the VEX export and the three legacy XML exports.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "RX457.h"
#include "api/Exportacao.h"
#include "text/DespachoFiscal.h"

using ORDAL_VEX::ORVEX;

namespace {

int imprimirXMLLegado(const char* exportacao, const char* xml, const char* a1, const char* a2, int a3, const char* a4,
                      const char* a5, int a6, const char* a8) {
    return ORDAL_VEX::sobTrava(exportacao, ORDAL_VEX::codigoFalhaLegado, [&](ORVEX& s) {
        if (!xml || !*xml) return -99;
        std::string armazenamento;
        const ORDAL_VEX::TipoDocumentoFiscal tipo = ORDAL_VEX::carregarDocumentoFiscal(&xml, armazenamento);
        if (tipo == ORDAL_VEX::DocumentoNaoFiscal) return 0;
        if (a6 < 0 || a6 > 2 || a3 < 0 || a3 > 1) return -99;

        int opcoes = 0;
        if (a3 == 1) opcoes |= ORDAL_VEX::kOpcaoSemDetalhe;
        if (a6 == 0) opcoes |= ORDAL_VEX::kOpcaoEmissaoSimples;
        if (a6 == 1) opcoes |= ORDAL_VEX::kOpcaoLimparEmissaoBit0;

        int codigo;
        std::string aviso;
        if (tipo == ORDAL_VEX::DocumentoNFCe) {
            InfoDocumento info{};
            info.tipo = ORDAL_VEX::DocumentoNFCe;
            info.identificadorToken = a5;
            info.codigoSeguranca = a4;
            info.numeroProtocolo = a1;
            info.dataHoraProtocolo = a2;
            info.valorRecebido = a8;
            codigo = s.imprimirDocumentoFiscal(xml, &info, sizeof info, opcoes, 0, &aviso);
        } else {
            codigo = s.imprimirDocumentoFiscal(xml, nullptr, 0, opcoes, 0, &aviso);
        }
        if (!aviso.empty()) ORDAL_VEX::registrarFalha(exportacao, aviso.c_str());
        return ORDAL_VEX::traduzirCodigo(codigo);
    });
}

}  // namespace

extern "C" {

int VEX_ImprimirDocumentoFiscal(const char* xml, InfoDocumento* info, unsigned int tamanhoInfo, int opcoes,
                                int reservado) {
    const char* exportacao = __func__;
    return ORDAL_VEX::sobTrava(exportacao, ORDAL_VEX::codigoFalhaInterna, [&](ORVEX& s) {
        std::string armazenamento;
        ORDAL_VEX::carregarDocumentoFiscal(&xml, armazenamento);
        // A document printed from XML the parser gave up on keeps its code; the host hears where.
        std::string aviso;
        const int codigo = s.imprimirDocumentoFiscal(xml, info, tamanhoInfo, opcoes, reservado, &aviso);
        if (!aviso.empty()) ORDAL_VEX::registrarFalha(exportacao, aviso.c_str());
        return codigo;
    });
}

int RX457_iImprimirXML_NFCe(const char* xml, const char* a1, const char* a2, int a3, const char* a4, const char* a5,
                            int a6, int /*a7*/, const char* a8) {
    return imprimirXMLLegado(__func__, xml, a1, a2, a3, a4, a5, a6, a8);
}

int RX457_iImprimirXML(const char* xml, const char* a1, const char* a2, int a3, const char* a4, const char* a5, int a6,
                       int /*a7*/) {
    return imprimirXMLLegado(__func__, xml, a1, a2, a3, a4, a5, a6, nullptr);
}

int RX457_iImprimirXMLString(const char* xml, const char* a1, const char* a2, int a3, const char* a4, const char* a5,
                             int a6, int /*a7*/) {
    return imprimirXMLLegado(__func__, xml, a1, a2, a3, a4, a5, a6, nullptr);
}

}  // extern "C"

// In a 32-bit build the record has exactly the documented offsets.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(offsetof(InfoDocumento, identificadorToken) == 4 && offsetof(InfoDocumento, codigoSeguranca) == 8 &&
              offsetof(InfoDocumento, numeroProtocolo) == 12 && offsetof(InfoDocumento, dataHoraProtocolo) == 16 &&
              offsetof(InfoDocumento, valorRecebido) == 20 && sizeof(InfoDocumento) == 24);
#endif
static_assert(RX457_TAMANHO_INFO_DOCUMENTO == sizeof(InfoDocumento));
