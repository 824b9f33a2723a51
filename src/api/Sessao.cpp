// The process's one session, built when the library is loaded, printing through the virtual printer.
#include "printer/VirtualPrinter.h"
#include "text/ORVEX.h"

namespace ORDAL_VEX {

namespace {
ORVEX sessao("CONVERSOR.ini", [](const std::string& porta) -> std::unique_ptr<Ordal::Printer::Driver> {
    return std::make_unique<Ordal::Printer::VirtualPrinter<Ordal::Printer::RX457>>(porta);
});
}  // namespace

ORVEX& ORVEX::instancia() { return sessao; }

}  // namespace ORDAL_VEX
