// Test-only: one virtual printer on the emulator shared by a test suite, BMP captures of what it
// renders, and the two independent decoders run on those captures.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PrinterEmulator.h"
#include "TestSupport.h"
#include "printer/VirtualPrinter.h"

namespace impressos {

using Impressora = Ordal::Printer::VirtualPrinter<Ordal::Printer::RX457>;

class Bancada {
public:
    Bancada();
    Impressora& impressora() { return *impressora_; }
    Ordal::Printer::Engine& motor() { return impressora_->motor.motor(); }

    // Renders what `desenhar` prints into a fresh BMP capture; returns the file's path.
    std::string capturar(const std::string& nome, const std::function<void(Impressora&)>& desenhar);

private:
    std::unique_ptr<rx457emu::PrinterEmulator> emulador_;
    std::unique_ptr<Impressora> impressora_;
    rx457test::TempDir dir_;
};

// Pixels of a capture: width, height, 1 = black.
struct Imagem {
    int largura = 0;
    int altura = 0;
    std::vector<uint8_t> pontos;
    bool ponto(int x, int y) const {
        return x >= 0 && y >= 0 && x < largura && y < altura && pontos[static_cast<size_t>(y) * largura + x];
    }
    // Rows [y0, y1) hold a black dot somewhere / columns of black dots in rows [y0, y1).
    bool linhaComTinta(int y) const;
    int primeiraColuna(int y0, int y1) const;  // -1 when none
    int ultimaColuna(int y0, int y1) const;    // -1 when none
};
Imagem lerCaptura(const std::string& caminho);

bool temZbar();
bool temZXing();

// Every symbol zbar finds (data bytes as found); empty when none or when zbar is missing.
std::vector<std::string> lerZbar(const std::string& caminho);
// Every symbol zxing-cpp finds among the given formats (data bytes as found).
std::vector<std::string> lerZXing(const std::string& caminho, const std::string& formatos);

// The text a full-ASCII Code 39 reader would return for what a plain one read.
std::string expandirCode39(const std::string& lido);

}  // namespace impressos
