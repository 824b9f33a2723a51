// Diagnostics of the printer link that the host should hear about: one line on the error stream,
// also handed to a receiver that the API layer installs (it keeps the text for VEX_ObterUltimoErro).
#pragma once

#include <string>

namespace UART {

using ReceptorDiagnostico = void (*)(const char* texto) noexcept;

// Installs the receiver (null: none). Safe to call from any thread.
void definirReceptorDiagnostico(ReceptorDiagnostico receptor) noexcept;

// Writes `texto` as one line on the error stream and hands it to the receiver.
void relatarDiagnostico(const std::string& texto) noexcept;

// Why the port could not be opened: the port, the device path when it differs, the system's error
// text and, for a permission error, the group the user must belong to.
std::string textoFalhaAbertura(const std::string& porta, const std::string& caminho, int erro);

}  // namespace UART
