// Link to a network printer over TCP (the raw printing port, 9100 unless given): the same byte pipe
// as the device link, with the same time limits and the same notion of a link that fell.
#pragma once

#include <string>

#include "transport/UART.h"

namespace UART {

class Rede : public Base {
public:
    Rede();
    ~Rede() override;
    Rede(const Rede&) = delete;
    Rede& operator=(const Rede&) = delete;

    // Port names that name a network printer start with this prefix: "tcp://host[:port]".
    static constexpr const char* kPrefixo = "tcp://";
    static constexpr int kPortaPadrao = 9100;
    static bool ehEnderecoRede(const std::string& nome);
    // Splits "host", "host:port", "[v6]", "[v6]:port" or a bare IPv6 literal (the "tcp://" prefix
    // is optional). False when the host is empty or the port is not 1..65535.
    static bool separarEndereco(const std::string& endereco, std::string& host, int& porta);

    // A network printer has no device code.
    bool abrirPorCodigo() override;
    // Connects (non-blocking, at most tempoConexaoMs); the address as separarEndereco takes it.
    bool abrir(const std::string& endereco) override;
    void fechar() override;
    int escrever(const void* dados, size_t n) override;
    int ler(void* buffer, size_t n) override;
    bool estaFechado() const override;
    std::array<uint8_t, 2> lerSinais() override;
    int escreverComTimeout(const void* dados, size_t n, int ms) override;
    void verificarConexao() override;

    // Longest time one connection attempt may take.
    int tempoConexaoMs = 3000;
    int descritor = -1;

protected:
    int aguardarDispositivo(short eventos, int ms) override;

private:
    bool escreverAte(const uint8_t* p, size_t n, int64_t prazo, size_t& feitos);
    void registrar(const char* operacao, int erro);
};

}  // namespace UART
