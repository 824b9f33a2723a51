// Brazilian identifiers, dates and times kept as raw digit strings and printed with their
// customary punctuation, and the Brazilian form of amounts. No check digit is verified:
// a value of an unexpected length is printed as it came.
#pragma once

#include <string>
#include <string_view>

namespace Ordal::DocumentoFiscal {

class DadoFormatado {
public:
    virtual ~DadoFormatado() = default;
    virtual std::string formatado() const = 0;
};

// Each class is the raw text itself (unchanged) plus its printed form.
class CPF : public DadoFormatado, public std::string {
public:
    explicit CPF(std::string bruto) : std::string(std::move(bruto)) {}
    std::string formatado() const override;  // ddd.ddd.ddd-dd
};

class CNPJ : public DadoFormatado, public std::string {
public:
    explicit CNPJ(std::string bruto) : std::string(std::move(bruto)) {}
    std::string formatado() const override;  // dd.ddd.ddd/dddd-dd
};

class CEP : public DadoFormatado, public std::string {
public:
    explicit CEP(std::string bruto, int = 0) : std::string(std::move(bruto)) {}
    std::string formatado() const override;  // ddddd-ddd
};

// Municipal and state registrations: groups of three from the right joined by ".".
class IM : public DadoFormatado, public std::string {
public:
    explicit IM(std::string bruto, int = 0) : std::string(std::move(bruto)) {}
    std::string formatado() const override;
};

// AAAAMMDD printed as DD/MM/AAAA.
class Data : public DadoFormatado, public std::string {
public:
    explicit Data(std::string bruto) : std::string(std::move(bruto)) {}
    std::string formatado() const override;
};

// HHMMSS printed as HH:MM:SS.
class Horario : public DadoFormatado, public std::string {
public:
    explicit Horario(std::string bruto) : std::string(std::move(bruto)) {}
    std::string formatado() const override;
};

// Brazilian form of a plain decimal text ("1234.50" -> "1.234,50"): "," as decimal mark,
// "." between groups of three integer digits when agrupar is set, at least casasMinimas
// decimals and no trailing decimal zeros beyond them.
std::string formatarNumero(std::string_view texto, int casasMinimas, bool agrupar);

}  // namespace Ordal::DocumentoFiscal

namespace Ordal::SAT {

// Serial number of a SAT unit: ddd.ddd.ddd.
class NumeroSerie : public DocumentoFiscal::DadoFormatado, public std::string {
public:
    explicit NumeroSerie(std::string bruto) : std::string(std::move(bruto)) {}
    std::string formatado() const override;
};

}  // namespace Ordal::SAT
