// The library loaded by a host whose printer is the emulator on a pseudo-terminal.
#pragma once

#include <memory>
#include <string>

#include "LibraryFixture.h"
#include "PrinterEmulator.h"
#include "RX457.h"

namespace rx457test {

class ImpressoraTest : public LibraryTest {
protected:
    void SetUp() override { emulador_ = std::make_unique<rx457emu::PrinterEmulator>(); }
    void TearDown() override {
        unload();
        emulador_.reset();
    }

    // Loads the library with PORTA naming the emulator (plus any further configuration text).
    void carregarComImpressora(const std::string& extra = "") {
        writeIni("[RX457]\nPORTA = " + emulador_->slavePath() + "\n" + extra);
        load();
    }

    // Waits until the output thread has sent everything and the emulator heard nothing for a while.
    void aguardarPapel() {
        fn<int()>("VEX_EsperarPeloTerminoImpressao")();
        emulador_->waitQuiet(150, 5000);
    }

    // Rows of the emulator's page that hold at least one black dot.
    int linhasComTinta() const {
        int n = 0;
        for (int y = 0; y < emulador_->pageHeight(); ++y)
            for (int x = 0; x < emulador_->pageWidth(); ++x)
                if (emulador_->pixel(x, y)) {
                    ++n;
                    break;
                }
        return n;
    }

    std::unique_ptr<rx457emu::PrinterEmulator> emulador_;
};

}  // namespace rx457test
