#include <gtest/gtest.h>

#include "fiscal/Acumulador.h"

using namespace Ordal::DocumentoFiscal;

TEST(Acumulador, LeituraDecimal) {
    struct Caso {
        const char* texto;
        long long dec2, dec3, dec4;
    } casos[] = {
        {"10", 1000, 10000, 100000},
        {"10.999", 1099, 10999, 109990},
        {"1.5", 150, 1500, 15000},
        {"7", 700, 7000, 70000},
        {"0.129", 12, 129, 1290},
        {"-1.00", 0, 0, 0},  // no sign: reading stops at once
        {"1.2345678901", 123, 1234, 12345},
        {"3,50", 300, 3000, 30000},  // a comma ends the number
        {"1.2.3", 120, 1200, 12000},
        {" 5", 0, 0, 0},
        {"", 0, 0, 0},
        {".5", 50, 500, 5000},
        {"12abc", 1200, 12000, 120000},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.texto);
        EXPECT_EQ(Decimal2::deTexto(c.texto).valor, c.dec2);
        EXPECT_EQ(Decimal3::deTexto(c.texto).valor, c.dec3);
        EXPECT_EQ(Decimal4::deTexto(c.texto).valor, c.dec4);
    }
}

TEST(Acumulador, TextoLongoDemaisNaoEstoura) {
    // 40 digits do not fit in 64 bits: reading must stop, not wrap to a negative value.
    Decimal2 a = Decimal2::deTexto("1234567890123456789012345678901234567890.55");
    EXPECT_GE(a.valor, 0);
    DecimalInt2 b = DecimalInt2::deTexto("99999999999.99");
    EXPECT_GE(b.valor, 0);
    // 21474836 is the largest integer part DecimalInt2 can carry with its two decimals.
    EXPECT_EQ(DecimalInt2::deTexto("21474836.47").valor, 2147483647);
}

TEST(Acumulador, Escrita) {
    struct Caso {
        long long bruto;
        const char* dec2;
        const char* dec4;
    } casos[] = {
        {150, "1.50", "0.0150"},
        {5, "0.05", "0.0005"},
        {-5, "-0.05", "-0.0005"},
        {0, "0.00", "0.0000"},
        {-123456, "-1234.56", "-12.3456"},
        {std::numeric_limits<long long>::min(), "-92233720368547758.08", "-922337203685477.5808"},
    };
    for (const auto& c : casos) {
        EXPECT_EQ(Decimal2(c.bruto).toString(), c.dec2);
        EXPECT_EQ(Decimal4(c.bruto).toString(), c.dec4);
    }
    EXPECT_EQ(DecimalInt2(1800).toString(), "18.00");
    EXPECT_EQ(Decimal3(1995).toString(), "1.995");
}

TEST(Acumulador, SomaSatura) {
    Decimal2 a(std::numeric_limits<long long>::max());
    a += Decimal2(1);
    EXPECT_EQ(a.valor, std::numeric_limits<long long>::max());
    Decimal2 b(std::numeric_limits<long long>::min());
    b -= Decimal2(1);
    EXPECT_EQ(b.valor, std::numeric_limits<long long>::min());
    EXPECT_EQ((Decimal2(250) - Decimal2(300)).valor, -50);
}

TEST(Acumulador, Reescalar) {
    struct Caso {
        long long valor;
        int casas;
        char regra;
        long long esperado;
    } casos[] = {
        {1234500, 5, 'A', 12},   {1250000, 5, 'A', 12},                           // tie, 12 is even
        {1350000, 5, 'A', 14},                                                    // tie, 13 is odd
        {1250001, 5, 'A', 13},   {1999999, 5, 'T', 19},   {1999999, 5, 'X', 19},  // any rule but 'A' truncates
        {59850000, 5, 'A', 598}, {-1999999, 5, 'A', -19},                         // negatives never move away from zero
        {-1350000, 5, 'A', -13}, {777, 0, 'A', 777},      {777, -3, 'A', 777},   {5, 1, 'A', 0},  // tie at 0 stays even
        {15, 1, 'A', 2},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.valor);
        EXPECT_EQ(reescalar(c.valor, c.casas, c.regra), c.esperado);
    }
}
