// Barcode drawing of the engine.
#include "printer/Engine.h"

namespace Ordal::Printer {

void Engine::desenharCodigoBarras(int, const uint8_t*, int) {}

}  // namespace Ordal::Printer
