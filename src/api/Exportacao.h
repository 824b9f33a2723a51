// Framing shared by the exports: the session lock for the whole call, and the exception boundary.
#pragma once

#include <mutex>

#include "api/Fronteira.h"
#include "text/ORVEX.h"

namespace ORDAL_VEX {

using Trava = std::lock_guard<std::mutex>;

// Runs `corpo(sessao)` under the session lock; a failure is recorded and the code `falha` returned.
template <typename F>
int sobTrava(const char* exportacao, int falha, F&& corpo) noexcept {
    return protegido(exportacao, falha, [&] {
        ORVEX& s = ORVEX::instancia();
        Trava trava(s.mutex);
        ORVEX::ChamadaEmCurso chamada(s);
        return corpo(s);
    });
}

template <typename F>
void sobTravaSemRetorno(const char* exportacao, F&& corpo) noexcept {
    protegidoSemRetorno(exportacao, [&] {
        ORVEX& s = ORVEX::instancia();
        Trava trava(s.mutex);
        ORVEX::ChamadaEmCurso chamada(s);
        corpo(s);
    });
}

// The most common export: one driver operation under the lock.
template <typename F>
void comDriver(const char* exportacao, F&& operacao) noexcept {
    sobTravaSemRetorno(exportacao, [&](ORVEX& s) { operacao(s.obterDriver()); });
}

}  // namespace ORDAL_VEX
