// The two printer models and their static descriptions.
// HEADER COMPLETE: classes, templates and virtual operations are stable.
#pragma once

#include <memory>
#include <string>

#include "printer/EscPOS.h"
#include "transport/UART.h"

namespace UART {
// The link a port name calls for: a network link for "tcp://host[:port]", else the device link.
std::unique_ptr<Base> criarLink(const std::string& nomePorta);
}  // namespace UART

namespace Ordal::Printer {

class RX457 : public EscPOSPrinter::EscPOS {
public:
    // Creates the link with the default parameters and connects to `nomePorta` (empty = probe;
    // "tcp://host[:port]" = a network printer).
    explicit RX457(const std::string& nomePorta);
    ~RX457() override;

    // Templates copied at construction.
    static const Specification& especificacaoModelo();
    static const Settings& configuracaoModelo();

    // Repeats the read until two consecutive reads agree; the result is that of the first read.
    bool lerStatus(PalavraStatus& destino) override;
    bool definirImagemNVDeBitmapPadrao(int n, const Bitmap& bitmap, int flags) override;
    // Discards stale input before the exchange.
    std::string consultar(std::string_view comando, int ms, int maximo) override;

    // Pause after storing an NV image (the printer writes its memory); tests shorten it.
    int pausaGravacaoNV = 6000;

protected:
    std::unique_ptr<UART::Base> link_;
};

class RX268 : public EscPOSPrinter::EscPOS {
public:
    explicit RX268(const std::string& nomePorta);
    ~RX268() override;

    static const Specification& especificacaoModelo();
    static const Settings& configuracaoModelo();
    // Conversion of characters 0x80..0xFF installed by code-page key 6.
    static const uint8_t* tabelaConversaoPadrao();

    // Feeds in chunks of at most 32 dots.
    void avancarPapel(int pontos) override;
    bool selecionarTabelaCaracteres(int chave) override;
    // Converts bytes >= 0x80 through tabelaConversao when one is installed.
    bool imprimirTexto(std::string_view bytes) override;
    // One query (GS I 0x10); its reply is the model name.
    bool lerIdentificacao(PrinterID& destino) override;

    const uint8_t* tabelaConversao = nullptr;  // 128 entries for 0x80..0xFF, or null

protected:
    std::unique_ptr<UART::Base> link_;
};

}  // namespace Ordal::Printer
