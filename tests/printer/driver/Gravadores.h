// Drivers whose device write appends to a byte string, for checking the bytes of each command.
#pragma once

#include <string>
#include <vector>

#include "printer/EscPOS.h"
#include "printer/Modelos.h"

namespace teste {

// A model bound to no device ("/" in the name: opened as a path, never probed).
inline const char* kSemDispositivo = "/nao/existe/impressora";

template <class Base>
class Gravador : public Base {
public:
    template <class... A>
    explicit Gravador(A&&... a) : Base(std::forward<A>(a)...) {}

    bool escreverDispositivo(const uint8_t* dados, size_t n) override {
        bytes.append(reinterpret_cast<const char*>(dados), n);
        escritas.emplace_back(reinterpret_cast<const char*>(dados), n);
        return true;
    }
    void limpar() {
        bytes.clear();
        escritas.clear();
    }

    std::string bytes;
    std::vector<std::string> escritas;
};

class EncoderGravador : public Gravador<EscPOSPrinter::EscPOS> {
public:
    EncoderGravador()
        : Gravador(Ordal::Printer::RX457::especificacaoModelo(), Ordal::Printer::RX457::configuracaoModelo()) {}
};

using RX457Gravador = Gravador<Ordal::Printer::RX457>;
using RX268Gravador = Gravador<Ordal::Printer::RX268>;

// "1B 4A FF" -> bytes.
inline std::string hex(const std::string& texto) {
    std::string r;
    int valor = -1;
    for (char c : texto) {
        int d = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                         : -1;
        if (d < 0) continue;
        if (valor < 0) {
            valor = d;
        } else {
            r += static_cast<char>(valor * 16 + d);
            valor = -1;
        }
    }
    return r;
}

inline std::string paraHex(const std::string& bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string r;
    for (unsigned char c : bytes) {
        if (!r.empty()) r += ' ';
        r += d[c >> 4];
        r += d[c & 15];
    }
    return r;
}

}  // namespace teste
