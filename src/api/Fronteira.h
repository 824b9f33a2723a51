// The boundary every export stands on: no C++ exception may reach a C, Delphi, C# or Java host, where
// it would end the process. Failures become a code, one line on the error stream and the text that
// VEX_ObterUltimoErro returns.
#pragma once

#include <exception>
#include <string>

namespace ORDAL_VEX {

void registrarFalha(const char* exportacao, const char* mensagem) noexcept;
std::string ultimaFalha();
// Keeps a message for VEX_ObterUltimoErro without an export failure (its line was already written).
void registrarMensagem(const char* mensagem) noexcept;

constexpr int codigoFalhaInterna = 11;  // VEX family
constexpr int codigoFalhaLegado = 0;    // RX457 family

template <typename F>
int protegido(const char* exportacao, int codigoFalha, F&& corpo) noexcept {
    try {
        return corpo();
    } catch (const std::exception& e) {
        registrarFalha(exportacao, e.what());
    } catch (...) {
        registrarFalha(exportacao, "falha desconhecida");
    }
    return codigoFalha;
}

template <typename F>
void protegidoSemRetorno(const char* exportacao, F&& corpo) noexcept {
    try {
        corpo();
    } catch (const std::exception& e) {
        registrarFalha(exportacao, e.what());
    } catch (...) {
        registrarFalha(exportacao, "falha desconhecida");
    }
}

}  // namespace ORDAL_VEX
