#include "fiscalprint/DadoFormatado.h"

#include <algorithm>

namespace Ordal::DocumentoFiscal {

namespace {

// Lays the raw characters into a mask where every 'd' takes the next character; a raw text of
// any other length than the mask's digit count is returned unchanged.
std::string aplicarMascara(const std::string& bruto, std::string_view mascara) {
    size_t digitos = static_cast<size_t>(std::count(mascara.begin(), mascara.end(), 'd'));
    if (bruto.size() != digitos) return bruto;
    std::string r;
    r.reserve(mascara.size());
    size_t i = 0;
    for (char m : mascara) r += (m == 'd') ? bruto[i++] : m;
    return r;
}

}  // namespace

std::string CPF::formatado() const { return aplicarMascara(*this, "ddd.ddd.ddd-dd"); }

std::string CNPJ::formatado() const { return aplicarMascara(*this, "dd.ddd.ddd/dddd-dd"); }

std::string CEP::formatado() const { return aplicarMascara(*this, "ddddd-ddd"); }

std::string IM::formatado() const {
    const std::string& s = *this;
    // A registration written as a word ("ISENTO") is printed as it stands.
    if (s.find_first_not_of("0123456789") != std::string::npos) return s;
    size_t n = s.size();
    std::string r;
    while (n >= 4) {
        r.insert(0, s, n - 3, 3);
        r.insert(0, 1, '.');
        n -= 3;
    }
    r.insert(0, s, 0, n);
    return r;
}

std::string Data::formatado() const {
    if (size() != 8) return *this;
    return substr(6, 2) + "/" + substr(4, 2) + "/" + substr(0, 4);
}

std::string Horario::formatado() const {
    if (size() != 6) return *this;
    return substr(0, 2) + ":" + substr(2, 2) + ":" + substr(4, 2);
}

std::string formatarNumero(std::string_view texto, int casasMinimas, bool agrupar) {
    casasMinimas = std::clamp(casasMinimas, 0, 64);
    // Built from the right: the digits met before the separator are the decimals; only an
    // integer part that follows a separator is grouped.
    std::string r;
    r.reserve(texto.size() + texto.size() / 3 + static_cast<size_t>(casasMinimas) + 2);
    bool separador = false;
    int decimais = 0;
    int inteiros = 0;
    for (size_t i = texto.size(); i-- > 0;) {
        char c = texto[i];
        if (c >= '0' && c <= '9') {
            if (!separador) {
                ++decimais;
            } else {
                if (agrupar && inteiros > 0 && inteiros % 3 == 0) r += '.';
                ++inteiros;
            }
            r += c;
        } else if (c == '.' || c == ',') {
            separador = true;
            r += ',';
        } else if (c == '-') {
            r += '-';
        }
    }
    std::reverse(r.begin(), r.end());
    if (!separador) {
        // A whole number: every digit was an integer digit.
        inteiros = decimais;
        decimais = 0;
        r += ',';
    }
    if (inteiros == 0) {
        // ",5" or an empty text: the integer part is 0, after any sign.
        size_t p = r.find(',');
        r.insert(p, 1, '0');
    }
    for (; decimais < casasMinimas; ++decimais) r += '0';
    while (decimais > casasMinimas && r.back() == '0') {
        r.pop_back();
        --decimais;
    }
    if (r.back() == ',') r.pop_back();
    return r;
}

}  // namespace Ordal::DocumentoFiscal

namespace Ordal::SAT {

std::string NumeroSerie::formatado() const {
    if (size() != 9) return *this;
    return substr(0, 3) + "." + substr(3, 3) + "." + substr(6, 3);
}

}  // namespace Ordal::SAT
