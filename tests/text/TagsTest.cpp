// The markup interpreter against a recording encoder: the bytes it sends are compared with the bytes
// of the driver calls a person would expect for the same text.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "Bancada.h"
#include "Gravadores.h"
#include "TestSupport.h"
#include "text/ORVEX.h"

namespace {

using Ordal::Printer::Driver;
using teste::EncoderGravador;

class Marcacao : public ::testing::Test {
protected:
    void SetUp() override { criarSessao(""); }

    void criarSessao(const std::string& ini) {
        rx457test::writeFile(dir_.file("CONVERSOR.ini"), ini);
        sessao_ = std::make_unique<ORDAL_VEX::ORVEX>(dir_.file("CONVERSOR.ini"), [this](const std::string&) {
            auto d = std::make_unique<EncoderGravador>();
            gravador_ = d.get();
            return d;
        });
        sessao_->obterDriver();
        gravador_->limpar();
    }

    // The bytes the interpreter sends for a marked-up text.
    std::string bytesDe(const std::string& texto) {
        gravador_->limpar();
        sessao_->imprimirTexto(texto.data(), static_cast<unsigned>(texto.size()));
        return gravador_->bytes;
    }

    // The bytes of the same calls made by hand on a fresh encoder in the same state.
    static std::string esperado(const std::function<void(Driver&)>& chamadas) {
        EncoderGravador d;
        d.selecionarFonte(1);  // the session's font
        d.limpar();
        chamadas(d);
        return d.bytes;
    }

    rx457test::TempDir dir_;
    std::unique_ptr<ORDAL_VEX::ORVEX> sessao_;
    EncoderGravador* gravador_ = nullptr;
};

TEST_F(Marcacao, PlainTextAroundASwitchTagIsNeitherRepeatedNorLost) {
    EXPECT_EQ(bytesDe("ab<b>cd</b>ef"), esperado([](Driver& d) {
                  d.imprimirTexto("ab");
                  d.selecionarNegrito(true);
                  d.imprimirTexto("cd");
                  d.selecionarNegrito(false);
                  d.imprimirTexto("ef");
                  d.avancarLinhas(1);
              }));
}

TEST_F(Marcacao, UnknownAndUpperCaseTagsPrintAsText) {
    EXPECT_EQ(bytesDe("<B>x</B> <zz>\n"), esperado([](Driver& d) { d.imprimirTexto("<B>x</B> <zz>\n"); }));
}

TEST_F(Marcacao, CentreTagIsNotTheCondensedTagFollowedByText) {
    EXPECT_EQ(bytesDe("<ce>T</ce>"), esperado([](Driver& d) {
                  d.selecionarAlinhamento(1);
                  d.imprimirTexto("T");
                  d.avancarLinhas(1);
                  d.selecionarAlinhamento(0);
              }));
}

TEST_F(Marcacao, AlignmentEndsAnOpenLineButNeverMakesAnEmptyOne) {
    EXPECT_EQ(bytesDe("a<ad>b</ad>\n"), esperado([](Driver& d) {
                  d.imprimirTexto("a");
                  d.avancarLinhas(1);
                  d.selecionarAlinhamento(2);
                  d.imprimirTexto("b");
                  d.avancarLinhas(1);
                  d.selecionarAlinhamento(0);
                  d.imprimirTexto("\n");
              }));
}

TEST_F(Marcacao, ContentTagsPrintTheirSymbolNotTheirText) {
    EXPECT_EQ(bytesDe("<ean8>1234567</ean8>"),
              esperado([](Driver& d) { d.imprimirCodigoBarras(3, reinterpret_cast<const uint8_t*>("1234567"), 7); }));
    EXPECT_EQ(bytesDe("<i2of5>1234</i2of5>"),
              esperado([](Driver& d) { d.imprimirCodigoBarras(5, reinterpret_cast<const uint8_t*>("1234"), 4); }));
}

TEST_F(Marcacao, Code128TagTakesTextAndSendsSymbolValues) {
    const std::string bytes = bytesDe("<code128>AB12</code128>");
    // GS k 'I' n: start B (104), 'A' 'B' '1' '2' as set B values.
    EXPECT_EQ(bytes.substr(0, 3), std::string("\x1D\x6B\x49", 3));
    ASSERT_GE(bytes.size(), 5u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 104);
}

// Symbol value 0 (a space in set B, "00" in set C) is data like any other: the whole text is in the
// symbol that prints, as zbar reads it back from the rendering.
TEST_F(Marcacao, Code128TagPrintsTheWholeText) {
    if (!rx457test::commandAvailable("zbarimg")) GTEST_SKIP() << "zbarimg is not installed";
    const std::string textos[] = {
        "Hello World 123",     // spaces, and a run of three digits left in set B
        " A",                  // value 0 right after the start
        "00112233",            // set C from the start, value 0 first
        "0012345",             // an odd run from the start: pairs in set C, the last digit in set B
        "AB 0000 CD",          // set C inside text, value 0 there too
        "X123456789",          // an odd run after a letter: one digit in set B, then pairs
        std::string(64, '0'),  // the longest content the tag takes
    };
    const std::string arquivo = dir_.file("code128.bmp");
    for (const std::string& texto : textos) {
        rx457test::writeFile(arquivo, rx457engine::capturar(bytesDe("<code128>" + texto + "</code128>")));
        EXPECT_EQ(rx457test::runCommand("zbarimg -q --raw --nodbus '" + arquivo + "' 2>/dev/null"), texto + "\n")
            << "'" << texto << "'";
    }
}

TEST_F(Marcacao, NumericTagsActWithTheirValue) {
    EXPECT_EQ(bytesDe("<sl>3</sl><sp>2</sp><cespl>31</cespl><largbarras>3</largbarras>"), esperado([](Driver& d) {
                  d.avancarLinhas(3);
                  d.imprimirTexto("  ");
                  d.espacamentoEntreLinhas(15);
                  d.larguraCodigoBarras(3);
                  d.avancarLinhas(1);
              }));
}

TEST_F(Marcacao, ClosingTagWithNothingToCloseKeepsTheTextBeforeIt) {
    EXPECT_EQ(bytesDe("abc</gui>def"), esperado([](Driver& d) {
                  d.imprimirTexto("abc");
                  d.imprimirTexto("def");
                  d.avancarLinhas(1);
              }));
    // <n> has no closing action: the text it wraps is printed in the session's font.
    EXPECT_EQ(bytesDe("<n>normal</n>!"), esperado([](Driver& d) {
                  d.selecionarFonte(1);
                  d.selecionarTamanhoCaractere(0, 0);
                  d.imprimirTexto("normal");
                  d.imprimirTexto("!");
                  d.avancarLinhas(1);
              }));
}

TEST_F(Marcacao, UnterminatedLiteralTagEndsThePrint) {
    EXPECT_EQ(bytesDe("a<cabecalho>b<b>c"), esperado([](Driver& d) { d.imprimirTexto("a"); }));
    // The closing tag lies beyond the given length: it must not be found there.
    const std::string texto = "x<cabecalho>y</cabecalho>";
    gravador_->limpar();
    sessao_->imprimirTexto(texto.data(), 14);
    EXPECT_EQ(gravador_->bytes, esperado([](Driver& d) { d.imprimirTexto("x"); }));
}

TEST_F(Marcacao, RuleTagFillsOneLineInTheCurrentFont) {
    const std::string bytes = bytesDe("<tc>-</tc>");
    EncoderGravador d;
    d.selecionarFonte(1);
    const size_t n = static_cast<size_t>(d.larguraPontos() / d.larguraFonte());
    EXPECT_EQ(bytes, esperado([&](Driver& e) {
                  e.imprimirTexto(std::string(n, '-'));
                  e.avancarLinhas(1);
              }));
}

TEST_F(Marcacao, NoFinalLineFeedWhenTheConfigurationSaysSo) {
    criarSessao("[RX457]\nENTERAUTOMATICO = 0\n");
    EXPECT_EQ(bytesDe("texto"), esperado([](Driver& d) { d.imprimirTexto("texto"); }));
}

TEST_F(Marcacao, LinePositionCountsCharactersAndResetsAtLineFeeds) {
    sessao_->imprimirTextoSimples("ab\nc", 4);
    EXPECT_EQ(sessao_->posicaoLinha, gravador_->colunasEfetivas());
    sessao_->avancarLinhasTexto(1);
    EXPECT_EQ(sessao_->posicaoLinha, 0);
}

// Invalid content: the exact message on the error stream, and nothing printed.
struct CasoValidacao {
    const char* nome;
    const char* texto;
    const char* mensagem;
};

class Validacao : public Marcacao, public ::testing::WithParamInterface<CasoValidacao> {};

TEST_P(Validacao, WritesTheMessageAndSkipsTheAction) {
    criarSessao("[RX457]\nENTERAUTOMATICO = 0\n");
    ::testing::internal::CaptureStderr();
    const std::string bytes = bytesDe(GetParam().texto);
    const std::string erro = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(erro, std::string(GetParam().mensagem) + "\n");
    EXPECT_EQ(bytes, "");
}

INSTANTIATE_TEST_SUITE_P(
    Mensagens, Validacao,
    ::testing::Values(
        CasoValidacao{"minimum_length", "<ean8>123</ean8>",
                      "Erro tag '<ean8>123</ean8>': Não possue a extensão mínima requerida (7 bytes)."},
        CasoValidacao{"not_numeric", "<ean13>12345678901a</ean13>",
                      "Erro tag '<ean13>': Caracter não numérico: 'a', posição: 12."},
        CasoValidacao{"above_maximum", "<largbarras>7</largbarras>",
                      "Erro tag '<largbarras>7</largbarras>': Valor acima do máximo (6)."},
        CasoValidacao{"below_minimum", "<sl>0</sl>", "Erro tag '<sl>0</sl>': Valor abaixo do mínimo (1)."},
        CasoValidacao{"empty", "<code39></code39>", "Erro tag: '<code39>': Conteúdo vazio."},
        CasoValidacao{"maximum_length",
                      "<code93>12345678901234567890123456789012345678901234567890123456789012345</code93>",
                      "Erro tag '<code93>12345678901234567890123456789012345678901234567890123456789012345</code93>': "
                      "Excede a extensão máxima suportada (64 bytes)."},
        CasoValidacao{"odd_digits", "<i2of5>123</i2of5>", "Erro tag '<i2of5>': Requer número par de dígitos."},
        CasoValidacao{"rule_needs_one_character", "<tc>ab</tc>",
                      "Erro tag '<tc>ab</tc>': Excede a extensão máxima suportada (1 bytes)."},
        CasoValidacao{"huge_number_saturates", "<sp>99999999999999999999</sp>",
                      "Erro tag '<sp>99999999999999999999</sp>': Valor acima do máximo (255)."}),
    [](const ::testing::TestParamInfo<CasoValidacao>& i) { return std::string(i.param.nome); });

}  // namespace
