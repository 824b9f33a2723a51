// The driver the library prints through: an ESC/POS encoder whose device write feeds the embedded
// engine's stream parser; the engine renders and sends raster to the real printer.
#pragma once

#include <string>

#include "printer/Engine.h"
#include "printer/EscPOS.h"
#include "printer/Modelos.h"

namespace Ordal::Printer {

template <class Modelo>
class VirtualPrinter : public EscPOSPrinter::EscPOS {
public:
    // nomePorta: the printer's port, empty = probe for one.
    explicit VirtualPrinter(const std::string& nomePorta)
        : EscPOS(Modelo::especificacaoModelo(), Modelo::configuracaoModelo()), motor(nomePorta) {
        Engine& e = motor;
        static_cast<Specification&>(*this) = static_cast<const Specification&>(e);
        // The real printer's identity, as the model part read it while connecting.
        static_cast<PrinterID&>(e) = static_cast<const PrinterID&>(motor.impressora());
        static_cast<PrinterID&>(*this) = static_cast<const PrinterID&>(motor.impressora());
        static_cast<Settings&>(*this) = static_cast<const Settings&>(e);
        // The front measures with its current font: render with the same one.
        e.selecionarFonte(fonte);
    }
    // What the ring still holds goes to the printer first (library unload, process exit).
    ~VirtualPrinter() override {
        motor.motor().drenarSaida();
        motor.motor().stopEngine();
    }

    // Every byte the encoder produces goes to the renderer.
    bool escreverDispositivo(const uint8_t* dados, size_t n) override {
        motor.motor().alimentarBytes(dados, n);
        return true;
    }
    bool enviarDireto(std::string_view bytes) override {
        return escreverDispositivo(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }

    bool lerIdentificacao(PrinterID& destino) override { return motor.motor().lerIdentificacao(destino); }
    bool lerStatus(PalavraStatus& destino) override { return motor.motor().lerStatus(destino); }
    // The port as of the last connection; the output thread may be reconnecting meanwhile.
    int codigoPorta() const override { return motor.motor().codigoPorta(); }
    std::string nomePorta() const override { return motor.motor().nomePorta(); }
    void definirTempoLimite(int ms) override { motor.motor().definirTempoLimite(ms); }
    void definirCompactacaoRaster(bool ligada) override { motor.motor().definirCompactacaoRaster(ligada); }
    void marcarChamada(bool emCurso) noexcept override { motor.motor().marcarChamada(emCurso); }
    unsigned conexoesRealizadas() const override { return motor.motor().conexoesRealizadas(); }

    // The printer has finished only when the ring has drained too.
    bool aguardarFimImpressao(int ms) override { return motor.motor().aguardarFimImpressao(ms); }
    // Queries share the link with the output thread: go through the engine's device lock.
    std::string consultar(std::string_view comando, int ms, int maximo) override {
        return motor.motor().consultarDestino(comando, ms, maximo);
    }

    // Line wrapping has no ESC/POS command: set it on the renderer directly.
    void desativarQuebraLinha() override { motor.motor().desativarQuebraLinha(); }
    void ativarQuebraLinha() override { motor.motor().ativarQuebraLinha(); }

    void preencherRetangulo(int x0, int y0, int x1, int y1, int padrao) override {
        motor.motor().preencherRetangulo(x0, y0, x1, y1, padrao);
    }
    bool definirLarguraPapel(int pontos) override {
        const bool ok = motor.motor().definirLarguraPapel(pontos);
        Specification::larguraPontos = motor.motor().larguraPontos();
        return ok;
    }
    bool salvarImagem(const std::string& caminho) override { return motor.motor().salvarImagem(caminho); }
    bool obterImagem(std::ostream& fluxo) override { return motor.motor().obterImagem(fluxo); }
    bool limparImagem() override { return motor.motor().limparImagem(); }

    TEngine<Modelo> motor;
};

}  // namespace Ordal::Printer
