#include <gtest/gtest.h>

#include <set>

#include "Gravadores.h"
#include "transport/UART.h"

namespace {

// A link that records which devices the driver tries and "opens" those in `existentes`.
class LinkFalso : public UART::UART {
public:
    bool abrirPorCodigo() override {
        fechar();
        tentativas.push_back(codigoDispositivo);
        aberto_ = existentes.count(codigoDispositivo) > 0;
        return aberto_;
    }
    bool abrir(const std::string& caminhoPedido) override {
        caminhos.push_back(caminhoPedido);
        aberto_ = caminhoPedido == caminhoExistente;
        return aberto_;
    }
    void fechar() override { aberto_ = false; }
    bool estaFechado() const override { return !aberto_; }

    std::set<int32_t> existentes;
    std::string caminhoExistente;
    std::vector<int32_t> tentativas;
    std::vector<std::string> caminhos;

private:
    bool aberto_ = false;
};

// A driver on the fake link; the device `impressora` answers the identification query.
class DriverFalso : public teste::EncoderGravador {
public:
    DriverFalso() { link = &falso; }
    ~DriverFalso() override { link = nullptr; }
    bool lerIdentificacao(Ordal::Printer::PrinterID& destino) override {
        ++identificacoes;
        if (falso.estaFechado()) return false;
        bool responde = (!falso.caminhos.empty() && falso.caminhoExistente == falso.caminhos.back()) ||
                        falso.codigoDispositivo == impressora;
        if (responde) destino.nomeModelo = "RX-457";
        return responde;
    }
    LinkFalso falso;
    int32_t impressora = -1;
    int identificacoes = 0;
};

std::vector<int32_t> varredura(int32_t primeiro, int32_t base, int n) {
    std::vector<int32_t> v{primeiro};
    for (int k = 0; static_cast<int>(v.size()) < n; ++k)
        if (base + k != primeiro) v.push_back(base + k);
    return v;
}

void anexar(std::vector<int32_t>& a, const std::vector<int32_t>& b) { a.insert(a.end(), b.begin(), b.end()); }

}  // namespace

TEST(Procura, NomeComBarraAbreCaminhoSemProcurar) {
    DriverFalso d;
    d.falso.caminhoExistente = "/dev/pts/9";
    EXPECT_TRUE(d.conectar("/dev/pts/9"));
    EXPECT_TRUE(d.falso.tentativas.empty());
    EXPECT_EQ(d.nomeModelo, "RX-457");
    // The port is reported by its path, and such a name has no device code of its own, so the
    // configuration is never rewritten for it.
    EXPECT_EQ(d.nomePorta(), "/dev/pts/9");
    EXPECT_EQ(Ordal::Printer::Driver::codigoDaPorta("/dev/pts/9"), 0);
    // Connecting later by a port name reports that name again.
    d.falso.existentes = {0x0801};
    d.impressora = 0x0801;
    EXPECT_TRUE(d.conectar("ttyS1"));
    EXPECT_EQ(d.nomePorta(), "ttyS1");

    DriverFalso e;
    EXPECT_FALSE(e.conectar("/dev/nao-existe"));
    EXPECT_EQ(e.falso.caminhos, std::vector<std::string>{"/dev/nao-existe"});
    EXPECT_TRUE(e.falso.tentativas.empty()) << "a path is never probed";
    EXPECT_EQ(e.identificacoes, 0);
    EXPECT_EQ(e.nomePorta(), "/dev/nao-existe");
}

TEST(Procura, PortaConfiguradaQueRespondeEhAUnicaTentativa) {
    DriverFalso d;
    d.falso.existentes = {0x0803};
    d.impressora = 0x0803;
    EXPECT_TRUE(d.conectar("ttyS3"));
    EXPECT_EQ(d.falso.tentativas, std::vector<int32_t>{0x0803});
    EXPECT_EQ(d.codigoPorta(), 0x0803);
    EXPECT_EQ(d.nomePorta(), "ttyS3");
    EXPECT_TRUE(d.falso.estaAberto());
}

TEST(Procura, OrdemDasTentativas) {
    // Printer on /dev/usb/lp3, configured as ttyACM0: ACM0 first, the ACM sweep without ACM0 twice,
    // then the lp sweep up to lp3.
    DriverFalso d;
    d.falso.existentes = {0x0A00, 0x0A05, 0x0C03};
    d.impressora = 0x0C03;
    EXPECT_TRUE(d.conectar("ttyACM0"));
    std::vector<int32_t> esperado{0x0A00, 0x0A00};  // step 1 and its closing reopen
    anexar(esperado, varredura(0x0A00, 0x0A00, 20));
    esperado.push_back(0x0A00);
    anexar(esperado, {0x0C00, 0x0C01, 0x0C02, 0x0C03});
    EXPECT_EQ(d.falso.tentativas, esperado);
    EXPECT_EQ(d.nomePorta(), "lp3");
}

TEST(Procura, NenhumaImpressoraVoltaAPortaConfigurada) {
    DriverFalso d;
    d.falso.existentes = {0x0A02};  // a device that never answers
    EXPECT_FALSE(d.conectar("2"));
    std::vector<int32_t> esperado{0x0A02, 0x0A02};
    anexar(esperado, varredura(0x0A00, 0x0A00, 20));
    esperado.push_back(0x0A00);
    for (int32_t base : {0x0C00, 0x0800, 0x0B00, 0x0900}) {
        anexar(esperado, varredura(base, base, 20));
        esperado.push_back(base);
    }
    anexar(esperado, {0x0A02, 0x0A02});
    EXPECT_EQ(d.falso.tentativas, esperado);
    // ACM2 is tried once inside the ACM sweep.
    int dentro = 0;
    for (size_t i = 2; i < 22; ++i) dentro += d.falso.tentativas[i] == 0x0A02;
    EXPECT_EQ(dentro, 1);
    // The link ends on the configured device, open although it did not answer.
    EXPECT_EQ(d.codigoPorta(), 0x0A02);
    EXPECT_TRUE(d.falso.estaAberto());
    EXPECT_EQ(d.nomeModelo, "");
}

TEST(Procura, NomeVazioProcuraEmTodasAsClasses) {
    DriverFalso d;
    d.falso.existentes = {0x0913};
    d.impressora = 0x0913;
    EXPECT_TRUE(d.conectar(""));
    EXPECT_EQ(d.falso.tentativas.front(), 0);
    EXPECT_EQ(d.falso.tentativas.back(), 0x0913);
    EXPECT_EQ(d.codigoPorta(), 0x0913);
}
