// How the printer is said to be attached. Stored and validated only: every link is a character device.
#pragma once

#include <string>

#include "config/ArquivoINI.h"

namespace ORDAL_VEX {

enum MetodoComunicacao { USB = 0, SERIAL = 1, ETHERNET = 2 };

// Exact words "USB", "SERIAL", "ETHERNET"; any other text is USB.
MetodoComunicacao metodoComunicacaoDeTexto(const std::string& texto);
const char* nomeMetodoComunicacao(MetodoComunicacao m);

}  // namespace ORDAL_VEX

namespace Misc::ArquivoINI {
template <>
void Chave<ORDAL_VEX::MetodoComunicacao>::lerTexto(const std::string&);
template <>
std::string Chave<ORDAL_VEX::MetodoComunicacao>::comoTexto() const;
}  // namespace Misc::ArquivoINI
