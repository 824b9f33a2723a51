// SHA-1 (FIPS 180-4), used for the digest in the NFC-e QR code address.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Misc {

// Digest interface; `resumo` finishes a copy, so the object can go on absorbing bytes.
template <typename Derivada>
class Hash {
public:
    virtual ~Hash() = default;
    virtual std::string nome() const = 0;
    virtual void atualizar(const void* dados, size_t tamanho) = 0;
    virtual size_t tamanhoResumo() const = 0;
    virtual void reiniciar() = 0;

    std::vector<uint8_t> resumo() const {
        Derivada copia(static_cast<const Derivada&>(*this));
        return copia.finalizar();
    }
};

class SHA1 : public Hash<SHA1> {
public:
    SHA1() { reiniciar(); }

    std::string nome() const override { return "SHA-1"; }
    void atualizar(const void* dados, size_t tamanho) override;
    size_t tamanhoResumo() const override { return 20; }
    void reiniciar() override;

    const std::array<uint32_t, 5>& estado() const { return h_; }

private:
    friend class Hash<SHA1>;
    void processarBloco(const uint8_t* bloco);
    std::vector<uint8_t> finalizar();

    std::array<uint32_t, 5> h_{};
    std::array<uint8_t, 64> bloco_{};
    uint64_t contagem_ = 0;  // bytes fed
};

// Lower-case hexadecimal text of the bytes.
std::string paraHexadecimal(const std::vector<uint8_t>& bytes);
std::string sha1Hex(const std::string& texto);

}  // namespace Misc
