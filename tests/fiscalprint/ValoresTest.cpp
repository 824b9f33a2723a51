#include <gtest/gtest.h>

#include "fiscalprint/DadoFormatado.h"

using namespace Ordal::DocumentoFiscal;

TEST(FormatarNumero, Exemplos) {
    struct Caso {
        const char* texto;
        int casas;
        bool agrupar;
        const char* esperado;
    } casos[] = {
        {"1234.50", 2, true, "1.234,50"},
        {"1234.567", 2, true, "1.234,567"},
        {"2.0000", 0, true, "2"},
        {"1.5000", 3, true, "1,500"},
        {"-5.00", 2, true, "-5,00"},
        {".5", 2, true, "0,50"},
        {"-1234567.89", 2, true, "-1.234.567,89"},
        {"-1234567.89", 2, false, "-1234567,89"},
        {"123.45", 2, true, "123,45"},
        {"999999.00", 2, true, "999.999,00"},
        {"1000000.00", 2, true, "1.000.000,00"},
        {"1,5", 2, true, "1,50"},
        {"2.5000", 3, true, "2,500"},
        {"2.1250", 3, true, "2,125"},
        {"3.0000", 0, true, "3"},
        {"1.995", 2, true, "1,995"},
        {"1.990", 2, true, "1,99"},
        {"0.05", 2, true, "0,05"},
        {"-0.05", 2, true, "-0,05"},
        {"1234", 2, true, "1234,00"},  // a whole number without separator is not grouped
        {"-123.00", 2, true, "-123,00"},
        {"-1234.5", 2, true, "-1.234,50"},
        {"123456.7", 1, true, "123.456,7"},
        {"-.5", 2, true, "-0,50"},
        {"0.000", 0, true, "0"},
        {"10.10", 0, true, "10,1"},
        {"1234", 0, false, "1234"},
        {"R$ 12.30", 2, true, "12,30"},  // other characters are dropped
        {"", 2, true, "0,00"},
        {"5.", 2, true, "5,00"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.texto);
        EXPECT_EQ(formatarNumero(c.texto, c.casas, c.agrupar), c.esperado);
    }
}

TEST(DadoFormatado, ClassesDeIdentificadores) {
    struct Caso {
        std::string obtido;
        const char* esperado;
    } casos[] = {
        {CPF("12345678901").formatado(), "123.456.789-01"},
        {CPF("1234567890").formatado(), "1234567890"},
        {CPF("").formatado(), ""},
        {CNPJ("08723218000186").formatado(), "08.723.218/0001-86"},
        {CNPJ("8723218000186").formatado(), "8723218000186"},
        {CEP("01310100", 0).formatado(), "01310-100"},
        {CEP("1310100", 0).formatado(), "1310100"},
        {IM("123456789", 0).formatado(), "123.456.789"},
        {IM("1234", 0).formatado(), "1.234"},
        {IM("1234567", 0).formatado(), "1.234.567"},
        {IM("12", 0).formatado(), "12"},
        {IM("123", 0).formatado(), "123"},
        {IM("", 0).formatado(), ""},
        {IM("ISENTO", 0).formatado(), "ISENTO"},
        {Data("20150911").formatado(), "11/09/2015"},
        {Data("2015091").formatado(), "2015091"},
        {Horario("175840").formatado(), "17:58:40"},
        {Horario("1758").formatado(), "1758"},
        {Ordal::SAT::NumeroSerie("900004019").formatado(), "900.004.019"},
        {Ordal::SAT::NumeroSerie("90000401").formatado(), "90000401"},
    };
    for (const auto& c : casos) EXPECT_EQ(c.obtido, c.esperado);
}

TEST(DadoFormatado, GuardaOTextoBrutoEServeComoBase) {
    CPF cpf("12345678901");
    EXPECT_EQ(static_cast<const std::string&>(cpf), "12345678901");
    const DadoFormatado& d = cpf;
    EXPECT_EQ(d.formatado(), "123.456.789-01");
}
