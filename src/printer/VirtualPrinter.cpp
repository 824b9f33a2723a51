#include "printer/VirtualPrinter.h"

namespace Ordal::Printer {

// The library builds only this one; instantiate it here so that its users compile it once.
template class TEngine<RX457>;
template class VirtualPrinter<RX457>;

}  // namespace Ordal::Printer
