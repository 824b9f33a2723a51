// The NFC-e QR code text: the built version 1.00 address checked against real authorised
// documents and against sha1sum, and the printed symbol decoded by an independent reader.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "TestSupport.h"
#include "fiscal/NFCe.h"
#include "fiscalprint/EnderecoQRCode.h"

using namespace Ordal::NFCe;
using rx457test::TempDir;

namespace {

NotaFiscalEletronicaSaida lerAmostra(const std::string& nome) {
    NotaFiscalEletronicaSaida nota;
    EXPECT_TRUE(nota.lerArquivoXML(std::string(FISCAL_SAMPLES_DIR) + "/" + nome)) << nome;
    return nota;
}

std::string sha1sum(const std::string& texto) {
    TempDir dir;
    rx457test::writeFile(dir.file("entrada"), texto);
    int codigo = -1;
    const std::string saida = rx457test::runCommand("sha1sum '" + dir.file("entrada") + "'", &codigo);
    EXPECT_EQ(codigo, 0);
    return saida.substr(0, 40);
}

// What an authorised document of layout 3.10 printed, between "?" and the digest, is exactly what
// the builder must produce from the same document (their token was 000001).
TEST(EnderecoQRCode, ParametrosIguaisAosDasNotasAutorizadas) {
    for (const char* nome : {"nfce-nfeproc-310-prod-pr-1item-oldpag.xml", "nfce-nfeproc-310-hom-df-cnpj-troco.xml"}) {
        SCOPED_TRACE(nome);
        const NotaFiscalEletronicaSaida nota = lerAmostra(nome);
        const std::string& publicado = nota.qrCodeTexto;
        const size_t inicio = publicado.find('?');
        const size_t fim = publicado.find("&cHashQRCode=");
        ASSERT_NE(inicio, std::string::npos);
        ASSERT_NE(fim, std::string::npos);
        EXPECT_EQ(parametrosQRCodeV1(nota, "000001"), publicado.substr(inicio + 1, fim - inicio - 1));
    }
}

TEST(EnderecoQRCode, ResumoIncluiCodigoDeSegurancaEConfereComSha1sum) {
    if (!rx457test::commandAvailable("sha1sum")) GTEST_SKIP() << "sha1sum is not installed";
    NotaFiscalEletronicaSaida nota = lerAmostra("nfce-nfeproc-310-hom-df-cnpj-troco.xml");
    nota.qrCodeTexto.clear();
    const std::string csc = "0123456789ABCDEF0123456789ABCDEF";
    const std::string endereco = montarEnderecoQRCode(nota, "000001", csc, "http://consulta.exemplo/qr");
    const std::string parametros = parametrosQRCodeV1(nota, "000001");
    EXPECT_EQ(endereco, "http://consulta.exemplo/qr?" + parametros + "&cHashQRCode=" + sha1sum(parametros + csc));
    // Another security code must change the digest, or a forged code would pass.
    EXPECT_NE(endereco, montarEnderecoQRCode(nota, "000001", csc + "X", "http://consulta.exemplo/qr"));
    EXPECT_EQ(textoQRCode(nota, "000001", csc, "http://consulta.exemplo/qr"), endereco);
}

TEST(EnderecoQRCode, BaseEDocumentoDoConsumidor) {
    NotaFiscalEletronicaSaida nota;
    nota.chaveAcesso = "NFe53171022769530000131654000000000601171025449";
    nota.tipoAmbiente = 2;
    nota.dataHoraEmissao = "2017";
    nota.valorTotal.valor = 1250;
    nota.totalICMS.vICMS.valor = 5;
    nota.assinatura.digestValue = "a=";
    const std::string resto = "&dhEmi=32303137&vNF=12.50&vICMS=0.05&digVal=613d&cIdToken=7";
    const std::string inicio = "chNFe=53171022769530000131654000000000601171025449&nVersao=100&tpAmb=2";

    struct Caso {
        std::string cpf, cnpj, base, esperadoInicio;
    } casos[] = {
        {"", "", "", inicio + resto},
        {"12345678901", "", "http://q", "http://q?" + inicio + "&cDest=12345678901" + resto},
        {"12345678901", "25504949000150", "http://q?", "http://q?" + inicio + "&cDest=25504949000150" + resto},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.base + "|" + c.cpf + "|" + c.cnpj);
        nota.destinatario.cpf = c.cpf;
        nota.destinatario.cnpj = c.cnpj;
        const std::string e = montarEnderecoQRCode(nota, "7", "123456", c.base);
        ASSERT_EQ(e.size(), c.esperadoInicio.size() + 13 + 40);
        EXPECT_EQ(e.substr(0, c.esperadoInicio.size()), c.esperadoInicio);
        EXPECT_EQ(e.substr(c.esperadoInicio.size(), 13), "&cHashQRCode=");
        EXPECT_EQ(e.find_first_not_of("0123456789abcdef", c.esperadoInicio.size() + 13), std::string::npos);
    }

    nota.chaveAcesso = "NFe";
    EXPECT_EQ(parametrosQRCodeV1(nota, "").substr(0, 15), "chNFe=&nVersao=");
}

// A bare NFe (no authorised envelope, no infNFeSupl) signs itself: the address carries its digest.
TEST(EnderecoQRCode, NFeSemEnvelopeLevaODigestDaAssinatura) {
    const NotaFiscalEletronicaSaida nota = lerAmostra("nfce-bare-400-synth-mg-cpf-contingencia-sempag.xml");
    ASSERT_TRUE(nota.qrCodeTexto.empty());
    EXPECT_NE(textoQRCode(nota, "000001", "123456", "")
                  .find("&digVal=" + textoHexadecimal("Zm9sbG93LXRoZS1kaWdlc3Q9") + "&cIdToken=000001"),
              std::string::npos);
}

TEST(EnderecoQRCode, TextoDaNotaTemPrecedencia) {
    const NotaFiscalEletronicaSaida nota = lerAmostra("nfce-bare-400-hom-rs-detpag-qrv2.xml");
    EXPECT_EQ(textoQRCode(nota, "000001", "123456", "http://outro"),
              "https://www.sefaz.rs.gov.br/NFCE/NFCE-COM.aspx?p=43211105730928000145650010000002401717268120|2|2|1|"
              "75FFAFF74CF8ABDD0153D4D18E27CE17DE14B83F");
}

TEST(EnderecoQRCode, LadoDoSimbolo) {
    // 22 mm at 180 dpi is 155 dots, raised to the module count's next multiple.
    EXPECT_EQ(ladoSimboloQRCode(180, 0), 155);
    EXPECT_EQ(ladoSimboloQRCode(180, 31), 155);
    EXPECT_EQ(ladoSimboloQRCode(180, 33), 165);
    EXPECT_EQ(ladoSimboloQRCode(203, 57), 228);
    // A minimum of 25 mm: 177.2 dots at 180 dpi round up to 178, 199.8 at 203 dpi to 200.
    EXPECT_EQ(ladoSimboloQRCode(180, 0, 25), 178);
    EXPECT_EQ(ladoSimboloQRCode(180, 25, 25), 200);
    EXPECT_EQ(ladoSimboloQRCode(203, 25, 25), 200);
    EXPECT_EQ(ladoSimboloQRCode(203, 29, 25), 203);
    EXPECT_TRUE(gerarSimboloQRCode("", 180).vazio());
}

TEST(EnderecoQRCode, SimboloLegivelPorLeitorIndependente) {
    if (!rx457test::commandAvailable("zbarimg")) GTEST_SKIP() << "zbarimg is not installed";
    const NotaFiscalEletronicaSaida nota = lerAmostra("nfce-nfeproc-310-prod-pr-1item-oldpag.xml");
    const Ordal::Printer::Raster s = gerarSimboloQRCode(nota.qrCodeTexto, 180);
    ASSERT_FALSE(s.vazio());
    EXPECT_EQ(s.largura, s.altura);
    EXPECT_GE(s.largura, 155);
    // A white border of 20 dots around it, written as a plain bitmap.
    const int borda = 20, lado = s.largura + 2 * borda, bpl = (lado + 7) / 8;
    std::string pbm = "P4\n" + std::to_string(lado) + " " + std::to_string(lado) + "\n";
    std::string linhas(static_cast<size_t>(bpl) * lado, '\0');
    for (int y = 0; y < s.altura; ++y)
        for (int x = 0; x < s.largura; ++x)
            if (s.ponto(x, y)) {
                const int X = x + borda, Y = y + borda;
                linhas[static_cast<size_t>(Y) * bpl + X / 8] |= static_cast<char>(0x80 >> (X % 8));
            }
    TempDir dir;
    rx457test::writeFile(dir.file("qr.pbm"), pbm + linhas);
    const std::string lido = rx457test::runCommand("zbarimg -q --nodbus --raw '" + dir.file("qr.pbm") + "'");
    EXPECT_EQ(lido, nota.qrCodeTexto + "\n");
}

}  // namespace
