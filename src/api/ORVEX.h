// The process-wide session: configuration, lock, spool and the values shared by all exports.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "config/Parametros.h"

namespace ORDAL_VEX {

// Documents queued for later printing: a ring of 64 slots with its own lock, always taken inside the
// session lock.
struct Spool {
    static constexpr int capacidade = 64;
    std::array<std::vector<uint8_t>, capacidade> documentos;
    int inicio = 0;
    int fim = 0;
    std::mutex mutex;
};

class ORVEX {
public:
    ORVEX();
    ~ORVEX();
    ORVEX(const ORVEX&) = delete;
    ORVEX& operator=(const ORVEX&) = delete;

    static ORVEX& instancia();

    // Loads "CONVERSOR.ini" again and hands its values on to printing.
    void recarregarConfiguracao();
    // Section-name aliases accepted by the configuration exports.
    std::string normalizarSecao(const char* secao);

    Configuracao configuracao;
    std::mutex mutex;
    int32_t tamanhoQRCode = 3;
    int32_t posicaoLinha = 0;
    int32_t fonteCondensada = 1;
    int32_t fonteNormal = 4;
    int32_t fonte = 1;
    void* callbackEventos = nullptr;
    Spool spool;
    int32_t modoImpressaoAtual = 0;
    int32_t modoPadrao = 0;
    int32_t fontePadrao = 1;

private:
    void repassarConfiguracao();
};

}  // namespace ORDAL_VEX
