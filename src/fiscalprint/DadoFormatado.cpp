#include "fiscalprint/DadoFormatado.h"

#include <algorithm>

namespace Ordal::DocumentoFiscal {

namespace {

// Lays the raw characters into a mask where every 'd' takes the next character; a raw text of
// any other length than the mask's digit count is returned unchanged.
std::string aplicarMascara(const std::string& bruto, std::string_view mascara)
{
    size_t digitos = static_cast<size_t>(std::count(mascara.begin(), mascara.end(), 'd'));
    if (bruto.size() != digitos) return bruto;
    std::string r;
    r.reserve(mascara.size());
    size_t i = 0;
    for (char m : mascara) r += (m == 'd') ? bruto[i++] : m;
    return r;
}

}  // namespace

std::string CPF::formatado() const
{
    return aplicarMascara(*this, "ddd.ddd.ddd-dd");
}

std::string CNPJ::formatado() const
{
    return aplicarMascara(*this, "dd.ddd.ddd/dddd-dd");
}

std::string CEP::formatado() const
{
    return aplicarMascara(*this, "ddddd-ddd");
}

std::string IM::formatado() const
{
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

std::string Data::formatado() const
{
    if (size() != 8) return *this;
    return substr(6, 2) + "/" + substr(4, 2) + "/" + substr(0, 4);
}

std::string Horario::formatado() const
{
    if (size() != 6) return *this;
    return substr(0, 2) + ":" + substr(2, 2) + ":" + substr(4, 2);
}

std::string formatarNumero(std::string_view texto, int casasMinimas, bool agrupar)
{
    casasMinimas = std::clamp(casasMinimas, 0, 64);
    // The decimal separator is the last '.' or ',' of the text; digits after it are decimals.
    size_t separador = texto.find_last_of(".,");
    bool negativo = texto.find('-') != std::string_view::npos;

    std::string inteiros, decimais;
    for (size_t i = 0; i < texto.size(); ++i) {
        char c = texto[i];
        if (c < '0' || c > '9') continue;
        if (separador != std::string_view::npos && i > separador)
            decimais += c;
        else
            inteiros += c;
    }
    if (inteiros.empty()) inteiros = "0";

    std::string r;
    r.reserve(inteiros.size() + inteiros.size() / 3 + decimais.size() + 4);
    if (negativo) r += '-';
    for (size_t i = 0; i < inteiros.size(); ++i) {
        size_t restantes = inteiros.size() - i;
        if (agrupar && i > 0 && restantes % 3 == 0) r += '.';
        r += inteiros[i];
    }
    while (decimais.size() < static_cast<size_t>(casasMinimas)) decimais += '0';
    while (decimais.size() > static_cast<size_t>(casasMinimas) && decimais.back() == '0') decimais.pop_back();
    if (!decimais.empty()) {
        r += ',';
        r += decimais;
    }
    return r;
}

}  // namespace Ordal::DocumentoFiscal

namespace Ordal::SAT {

std::string NumeroSerie::formatado() const
{
    if (size() != 9) return *this;
    return substr(0, 3) + "." + substr(3, 3) + "." + substr(6, 3);
}

}  // namespace Ordal::SAT
