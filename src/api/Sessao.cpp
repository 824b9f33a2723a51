// The process's one session, built when the library is loaded, printing through the virtual printer.
#include "api/Fronteira.h"
#include "printer/VirtualPrinter.h"
#include "text/ORVEX.h"
#include "transport/Diagnostico.h"

namespace ORDAL_VEX {

namespace {
// Link diagnostics (a port that cannot be opened, a printer that takes nothing) also become the
// text of VEX_ObterUltimoErro; installed before the session can create a driver.
[[maybe_unused]] const bool receptorInstalado = (UART::definirReceptorDiagnostico(&registrarMensagem), true);

ORVEX sessao("CONVERSOR.ini", [](const std::string& porta) -> std::unique_ptr<Ordal::Printer::Driver> {
    return std::make_unique<Ordal::Printer::VirtualPrinter<Ordal::Printer::RX457>>(porta);
});
}  // namespace

ORVEX& ORVEX::instancia() { return sessao; }

}  // namespace ORDAL_VEX
