// Process-wide texts that fiscal printouts read: set from the configuration whenever it is loaded.
#pragma once

#include <mutex>
#include <string>

namespace Ordal::DocumentoFiscal {

struct TextosConsulta {
    std::string aplicativoConsulta = "De olho na nota";  // named in the CF-e closing text
    std::string wsConsultaQRCode;                        // base address of the NFC-e QR code
    std::string urlConsulta;                             // NFC-e query address printed under the key
};

// A copy of the current texts, and their replacement; safe from any thread.
TextosConsulta textosConsulta();
void definirTextosConsulta(const TextosConsulta& textos);

}  // namespace Ordal::DocumentoFiscal
