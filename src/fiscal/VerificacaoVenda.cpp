#include <sstream>
#include <stdexcept>

#include "fiscal/DocumentoFiscal.h"

namespace Ordal::DocumentoFiscal {

void DadosVenda::verificarCalculos() const {
    Decimal2 somaAcrescimos, somaDescontos;
    int n = itensValidos();
    for (int i = 0; i < n; ++i) {
        const ItemVenda& item = itens[i];
        if (item.numeroItem != i + 1) {
            std::ostringstream m;
            m << "Elemento " << (i + 1) << " Valor sequencial do item (nItem) n\xE3o confere:  " << item.numeroItem
              << '\n';
            throw std::runtime_error(m.str());
        }
        somaAcrescimos += item.rateioAcrescimo;
        somaDescontos += item.rateioDesconto;
    }
    if (!somaAcrescimos.zero() && somaAcrescimos != acrescimoSubtotal) {
        std::ostringstream m;
        m << "A somat\xF3ria dos acr\xE9scimos distribuido nos itens (" << somaAcrescimos.toString()
          << ") n\xE3o confere com o valor de acr\xE9scimo no subtotal (" << acrescimoSubtotal.toString() << ").\n";
        throw std::runtime_error(m.str());
    }
    if (!somaDescontos.zero() && somaDescontos != descontoSubtotal) {
        std::ostringstream m;
        m << "A somat\xF3ria dos descontos distribuido nos itens (" << somaDescontos.toString()
          << ") n\xE3o confere com o valor de desconto no subtotal (" << descontoSubtotal.toString() << ").\n";
        throw std::runtime_error(m.str());
    }
}

}  // namespace Ordal::DocumentoFiscal
