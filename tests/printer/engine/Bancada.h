// Test bench: an engine whose downstream printer has no link (everything sent to it is dropped),
// with helpers to capture what a stream renders.
#pragma once

#include <array>
#include <atomic>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "printer/Engine.h"
#include "printer/EscPOS.h"
#include "printer/Modelos.h"

namespace rx457engine {

using Ordal::Printer::Engine;

// A downstream printer that counts what it is sent instead of writing to a device.
class DestinoContador : public EscPOSPrinter::EscPOS {
public:
    DestinoContador()
        : EscPOS(Ordal::Printer::RX457::especificacaoModelo(), Ordal::Printer::RX457::configuracaoModelo()) {}
    bool escreverDispositivo(const uint8_t*, size_t n) override {
        bytes += n;
        return true;
    }
    bool aguardarFimImpressao(int) override { return true; }
    void acionarGuilhotina(int flags) override { cortes.push_back(flags); }
    void acionarGaveta(int m, int t1, int t2) override { gavetas.push_back({m, t1, t2}); }
    std::atomic<size_t> bytes{0};
    std::vector<int> cortes;
    std::vector<std::array<int, 3>> gavetas;
};

struct Bancada {
    DestinoContador destino;
    Engine motor{destino};

    void enviar(const std::string& s) { motor.alimentarBytes(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
    // Renders `s` into a capture and returns the BMP bytes.
    std::string capturar(const std::string& s) {
        std::stringstream fluxo(std::ios::in | std::ios::out | std::ios::binary);
        motor.obterImagem(fluxo);
        enviar(s);
        motor.limparImagem();
        return fluxo.str();
    }
};

inline std::string capturar(const std::string& s) {
    Bancada b;
    return b.capturar(s);
}

// Reads pixel (x, y) of a capture (1 = black); false outside.
inline bool pontoBMP(const std::string& bmp, int x, int y) {
    if (bmp.size() < 130) return false;
    auto u32 = [&](size_t o) {
        return uint32_t(uint8_t(bmp[o])) | uint32_t(uint8_t(bmp[o + 1])) << 8 | uint32_t(uint8_t(bmp[o + 2])) << 16 |
               uint32_t(uint8_t(bmp[o + 3])) << 24;
    };
    const int w = static_cast<int>(u32(18));
    const int h = -static_cast<int>(u32(22));
    if (x < 0 || y < 0 || x >= w || y >= h) return false;
    const size_t passo = static_cast<size_t>((w + 31) / 32 * 4);
    const size_t o = 130 + static_cast<size_t>(y) * passo + static_cast<size_t>(x / 8);
    if (o >= bmp.size()) return false;
    return (uint8_t(bmp[o]) >> (7 - x % 8)) & 1;
}

inline int alturaBMP(const std::string& bmp) {
    if (bmp.size() < 26) return 0;
    int32_t h;
    std::memcpy(&h, bmp.data() + 22, 4);
    return -h;
}

inline int pontosPretos(const std::string& bmp) {
    int n = 0;
    for (size_t i = 130; i < bmp.size(); ++i) n += __builtin_popcount(uint8_t(bmp[i]));
    return n;
}

}  // namespace rx457engine
