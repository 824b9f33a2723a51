// Byte pipe to the printer's character device (serial, USB CDC-ACM or USB printer class).
// HEADER COMPLETE: the interface below is stable; other parts may rely on it.
#pragma once

#include <termios.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace UART {

// Line parameters of a link; plain record.
struct Parameters {
    // High byte = device class (see caminhoDoCodigo), low byte = device number 0..255.
    int32_t codigoDispositivo = 0x0A00;
    int32_t velocidade = 115200;
    int32_t bitsDados = 8;
    // Carried only: the line is always set to one stop bit.
    int32_t bitsParada = 1;
    // 0 none, 1 odd, anything else even.
    int32_t paridade = 0;
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, other values leave RTS/CTS as the base flags set it.
    int32_t controleFluxo = 0;
};

// Default parameters every printer model uses for its link.
Parameters parametrosPadrao();

// Device path prefix of a device class ("" when the class has no device path).
const char* prefixoCaminho(int classe);
// Port-name prefix of a device class ("" when the class has none).
const char* prefixoNome(int classe);
// Device path of a code ("/dev/usb/lp1" for 0x0C01); "" when the class has no path.
std::string caminhoDoCodigo(int32_t codigo);
// Port name to device code: "ttyS1" -> 0x0801, "3" -> 0x0A03; 0 when nothing matches.
int32_t codigoDaPorta(const char* nome);
// Device code to port name: 0x0A00 -> "ttyACM0"; "" for a class without a name prefix.
std::string nomeDaPorta(int32_t codigo);
// True for a virtual terminal (tty major 4, minor below 64) or a device the kernel uses as system
// console: probing must never write to one of those.
bool ehConsole(const std::string& caminho);
// True for an errno that means the device or connection is gone (unplugged, switched off, reset):
// the link must be closed and opened again.
bool erroDeQueda(int erro);

class Base : public Parameters {
public:
    Base() = default;
    explicit Base(const Parameters& p) : Parameters(p) {}
    virtual ~Base();

    // Closes, then opens the device path of codigoDispositivo (classes 8..13 only).
    virtual bool abrirPorCodigo() = 0;
    // Opens the path in raw mode with the fixed line settings; true when open.
    virtual bool abrir(const std::string& caminho) = 0;
    // Drains output, restores the original terminal settings and closes; no-op when closed.
    virtual void fechar() = 0;
    // Writes all n bytes; returns n, 0 when closed/nothing to do,
    // -1 on an I/O error (logged).
    virtual int escrever(const void* dados, size_t n) = 0;
    // One read: byte count, 0 when nothing is pending, -1 on an I/O error (logged).
    virtual int ler(void* buffer, size_t n) = 0;
    virtual bool estaFechado() const = 0;
    virtual bool estaAberto() const;
    // {DSR, CTS}, each 0 or 1; both 0 when closed.
    virtual std::array<uint8_t, 2> lerSinais() = 0;
    // Writes until n bytes are out or ms milliseconds passed; returns the bytes written.
    virtual int escreverComTimeout(const void* dados, size_t n, int ms);
    // Reads until n bytes are in or ms milliseconds passed; returns the bytes read.
    virtual int lerComTimeout(void* buffer, size_t n, int ms);
    // Reads what the device holds, waiting at most ms for the first byte; returns the bytes read
    // (0 when nothing came in time) or -1 on an I/O error or a hang-up.
    int lerDisponivel(void* buffer, size_t n, int ms);

    // True after an error or hang-up that means the device is gone; abrir clears it. The link keeps
    // its descriptor until closed, so that its owner decides when to reconnect.
    bool caiu() const { return caiu_; }
    // Open and not fallen: bytes written may reach the printer.
    bool utilizavel() const { return estaAberto() && !caiu_; }
    // Notices a peer that closed the connection while the link was idle (network links); a device
    // link learns it from its next transfer.
    virtual void verificarConexao() {}

    // Path last opened, shown in log lines.
    std::string caminho;
    // The path the port was named by when the driver was told to open a path rather than a port
    // name; empty when the device was chosen by its code. The port's name is then that path.
    std::string caminhoInformado;
    // errno of the last failed open (0 after a successful one).
    int erroAbertura = 0;
    // Set while probing: abrirPorCodigo then refuses virtual terminals and system consoles.
    bool evitarConsoles = false;
    // Longest time a write waits for a device that accepts no byte at all (ms).
    int esperaMaximaEscritaMs = 10000;

protected:
    bool caiu_ = false;

    // Waits until the device is readable (POLLIN) or writable (POLLOUT), at most ms
    // milliseconds: > 0 ready, 0 time limit reached, < 0 the device hung up or failed.
    // The base has no descriptor: it sleeps briefly and reports "not ready", so the timed
    // transfers of a derived link without its own wait never spin.
    virtual int aguardarDispositivo(short eventos, int ms);
};

class UART : public Base {
public:
    UART();
    explicit UART(const Parameters& p);
    ~UART() override;
    UART(const UART&) = delete;
    UART& operator=(const UART&) = delete;

    bool abrirPorCodigo() override;
    bool abrir(const std::string& caminho) override;
    void fechar() override;
    int escrever(const void* dados, size_t n) override;
    int ler(void* buffer, size_t n) override;
    bool estaFechado() const override;
    std::array<uint8_t, 2> lerSinais() override;
    // Waits in poll for room in the output queue, never past the time limit.
    int escreverComTimeout(const void* dados, size_t n, int ms) override;

    // Terminal settings the link applies for the given parameters (exposed for tests).
    static termios configuracaoLinha(const Parameters& p);

    int descritor = -1;
    termios termiosOriginal{};

protected:
    int aguardarDispositivo(short eventos, int ms) override;

private:
    // Writes from p[feitos] on. prazo < 0: give up after a long stall without progress; else at
    // the steady-clock time prazo (ms). False on an I/O error (logged).
    bool escreverAte(const uint8_t* p, size_t n, int64_t prazo, size_t& feitos);
    bool termiosValido_ = false;
};

}  // namespace UART
