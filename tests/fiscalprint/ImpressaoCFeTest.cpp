// The CF-e SAT sale and cancellation printed through the virtual printer: whole pages against
// reference captures, the QR and Code 128 symbols read back from the page by an independent
// reader, and the blocks that depend on the document's content.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "AmostrasFiscais.h"
#include "PrinterEmulator.h"
#include "TestSupport.h"
#include "config/TextosConsulta.h"
#include "fiscalprint/ImpressaoCFe.h"
#include "printer/VirtualPrinter.h"

using namespace Ordal::CFe;
using Ordal::DocumentoFiscal::ParametrosImpressao;
using Ordal::DocumentoFiscal::TextosConsulta;
using Impressora = Ordal::Printer::VirtualPrinter<Ordal::Printer::RX457>;
using rx457test::TempDir;

namespace {

const char* const kVenda6 = "cfe-sale-hom-1item-infcpl-v006.xml";
const char* const kVenda7 = "cfe-sale-hom-1item-layout-v007.xml";
const char* const kVenda8 = "cfe-sale-hom-1item-v008.xml";
const char* const kCanc6 = "cfe-cancel-hom-v006.xml";
const char* const kCanc7 = "cfe-cancel-hom-v007.xml";
// Synthetic SP sale: vItem12741 on every item but no vCFeLei12741, comments between items and payments.
const char* const kVendaSP = "cfe-sale-synth-sp-4items-comments-nolei12741.xml";

bool ehCancelamento(const std::string& xml) { return xml.find("<CFeCanc") != std::string::npos; }

size_t contar(const std::string& texto, const std::string& trecho) {
    size_t n = 0;
    for (size_t p = texto.find(trecho); p != std::string::npos; p = texto.find(trecho, p + 1)) ++n;
    return n;
}

::testing::AssertionResult emOrdem(const std::string& texto, std::initializer_list<std::string> trechos) {
    size_t p = 0;
    for (const std::string& t : trechos) {
        const size_t q = texto.find(t, p);
        if (q == std::string::npos) return ::testing::AssertionFailure() << "'" << t << "' ausente ou fora de ordem";
        p = q + t.size();
    }
    return ::testing::AssertionSuccess();
}

// Symbols zbar reads on a capture, one per line of its raw output.
std::vector<std::string> lerSimbolos(const std::string& caminhoBmp) {
    std::string saida = rx457test::runCommand("zbarimg -q --nodbus --raw '" + caminhoBmp + "'");
    std::vector<std::string> linhas;
    size_t inicio = 0;
    while (inicio < saida.size()) {
        size_t fim = saida.find('\n', inicio);
        if (fim == std::string::npos) fim = saida.size();
        if (fim > inicio) linhas.push_back(saida.substr(inicio, fim - inicio));
        inicio = fim + 1;
    }
    return linhas;
}

class ImpressaoCFeTest : public ::testing::Test {
protected:
    void SetUp() override {
        definirTextosConsulta(TextosConsulta{});
        emulador_ = std::make_unique<rx457emu::PrinterEmulator>();
    }
    void TearDown() override { definirTextosConsulta(TextosConsulta{}); }

    std::unique_ptr<Impressora> impressora(int largura) {
        auto vp = std::make_unique<Impressora>(emulador_->slavePath());
        if (largura != 512) {
            EXPECT_TRUE(vp->definirLarguraPapel(largura));
        }
        return vp;
    }

    static void imprimir(Impressora& vp, const std::string& xml, ParametrosImpressao p) {
        p.driver = &vp;
        if (ehCancelamento(xml)) {
            CupomCancelamento doc;
            ImpressaoCFeCanc(&doc, p).imprimirXML(xml);
        } else {
            CupomFiscalEletronico doc;
            ImpressaoCFeSaida(&doc, p).imprimirXML(xml);
        }
    }

    // The page rendered into the virtual printer's BMP capture, written to `caminho`.
    std::string capturar(const std::string& xml, int largura, const std::string& caminho,
                         const ParametrosImpressao& p = {}) {
        auto vp = impressora(largura);
        EXPECT_TRUE(vp->salvarImagem(caminho));
        imprimir(*vp, xml, p);
        EXPECT_TRUE(vp->limparImagem());
        return rx457test::readFile(caminho);
    }

    // The printer commands of the printout, collected as a job (texts appear in them as bytes).
    std::string comandos(const std::string& xml, const ParametrosImpressao& p = {}) {
        auto vp = impressora(512);
        vp->iniciarTrabalho();
        try {
            imprimir(*vp, xml, p);
        } catch (...) {
            vp->encerrarTrabalho();
            trabalho_ = vp->obterTrabalho();
            throw;
        }
        vp->encerrarTrabalho();
        return vp->obterTrabalho();
    }

    std::unique_ptr<rx457emu::PrinterEmulator> emulador_;
    std::string trabalho_;
};

TEST_F(ImpressaoCFeTest, PaginasIguaisAsDeReferencia) {
    const bool atualizar = std::getenv("RX457_UPDATE_GOLDEN") != nullptr;
    const char* copia = std::getenv("RX457_GOLDEN_COPY_DIR");  // where to leave the captures for a look
    struct Caso {
        const char* arquivo;
        const char* nome;
    } casos[] = {{kVenda6, "venda-v006"},       {kVenda7, "venda-v007"},       {kVenda8, "venda-v008"},
                 {kCanc6, "cancelamento-v006"}, {kCanc7, "cancelamento-v007"}, {kVendaSP, "venda-sp-hoje"}};
    TempDir dir;
    for (const Caso& c : casos)
        for (int largura : {512, 344}) {
            const std::string nome = std::string("cfe-") + c.nome + (largura == 512 ? "-80mm" : "-56mm") + ".bmp";
            SCOPED_TRACE(nome);
            const std::string bmp = capturar(lerAmostra(c.arquivo), largura, dir.file(nome));
            ASSERT_GT(bmp.size(), 130u);
            if (copia) rx457test::writeFile(std::string(copia) + "/" + nome, bmp);
            const std::string referencia = std::string(GOLDEN_DIR) + "/" + nome;
            if (atualizar) {
                rx457test::writeFile(referencia, bmp);
                continue;
            }
            ASSERT_TRUE(rx457test::fileExists(referencia)) << "missing reference; run with RX457_UPDATE_GOLDEN=1";
            EXPECT_TRUE(rx457test::readFile(referencia) == bmp) << "page differs from " << referencia;
        }
}

// The QR code on paper carries conteudoQRCode() and the Code 128 symbols carry the 44 key digits,
// on both paper widths.
TEST_F(ImpressaoCFeTest, SimbolosLidosDaPagina) {
    if (!rx457test::commandAvailable("zbarimg")) GTEST_SKIP() << "zbarimg is not installed";
    TempDir dir;
    for (const char* arquivo : {kVenda6, kVenda8, kCanc7})
        for (int largura : {512, 344}) {
            SCOPED_TRACE(std::string(arquivo) + " " + std::to_string(largura));
            const std::string xml = lerAmostra(arquivo);
            const std::string caminho = dir.file("pagina.bmp");
            capturar(xml, largura, caminho);
            const std::vector<std::string> lidos = lerSimbolos(caminho);

            std::vector<std::string> esperadosQR, chaves;
            if (ehCancelamento(xml)) {
                CupomCancelamento doc;
                doc.lerXML(xml);
                ParametrosImpressao p;
                auto vp = impressora(largura);
                p.driver = vp.get();
                ImpressaoCFeCanc canc(&doc, p);
                esperadosQR = {canc.conteudoQRCodeCancelado(), canc.conteudoQRCode()};
                chaves = {doc.chaveCancelada.substr(3), doc.chaveAcesso.substr(3)};
            } else {
                CupomFiscalEletronico doc;
                doc.lerXML(xml);
                ParametrosImpressao p;
                auto vp = impressora(largura);
                p.driver = vp.get();
                esperadosQR = {ImpressaoCFeSaida(&doc, p).conteudoQRCode()};
                chaves = {doc.chaveAcesso.substr(3)};
            }
            for (const std::string& qr : esperadosQR)
                EXPECT_NE(std::find(lidos.begin(), lidos.end(), qr), lidos.end()) << "QR ausente: " << qr;
            // On this printer the key does not fit in one symbol: two halves of 22 digits each.
            std::vector<std::string> barras, metades;
            for (const std::string& l : lidos)
                if (l.find('|') == std::string::npos) barras.push_back(l);
            for (const std::string& c : chaves) {
                metades.push_back(c.substr(0, 22));
                metades.push_back(c.substr(22));
            }
            std::sort(barras.begin(), barras.end());
            std::sort(metades.begin(), metades.end());
            // The reader reports identical symbols once (both keys may begin alike).
            metades.erase(std::unique(metades.begin(), metades.end()), metades.end());
            EXPECT_EQ(barras, metades);
        }
}

TEST_F(ImpressaoCFeTest, BlocosDaVendaNaOrdem) {
    const std::string c = comandos(lerAmostra(kVenda8));
    EXPECT_TRUE(emOrdem(c, {"COMERCIAL MODELO DA AMAZONIA LTDA", "CNPJ: 14.200.166/0001-66", "Extrato N\xBA: 000000",
                            "CUPOM FISCAL ELETR\xD4NICO - SAT", "= TESTE =", "#|COD|DESC|QTD|UN|VL UN R$",
                            "Produto com ST", "Total R$", "Dinheiro",
                            "OBSERVA\xC7\xD5"
                            "ES DO CONTRIBUINTE",
                            "SAT N\xBA: ", "900.023.870", "12/08/2021 15:45:40", "3521 0814 2001",
                            "Consulte o QR Code pelo aplicativo ", "\"De olho na nota\",",
                            "dispon\xEDvel na AppStore (Apple) e PlayStore (Android)"}));
    // Test environment: three rows of '>' as wide as the printer's columns (9-dot font, 504 dots).
    EXPECT_EQ(contar(c, std::string(56, '>')), 3u);
    EXPECT_EQ(contar(c, std::string(57, '>')), 0u);
    // Cut at the end unless the layout says otherwise.
    EXPECT_NE(c.find("\x1D\x56"), std::string::npos);
    ParametrosImpressao semCorte;
    semCorte.opcoesLeiaute = ParametrosImpressao::SEM_CORTE;
    EXPECT_EQ(comandos(lerAmostra(kVenda8), semCorte).find("\x1D\x56"), std::string::npos);
}

TEST_F(ImpressaoCFeTest, ConteudoDoBlocoDependeDoDocumento) {
    struct Caso {
        const char* nome;
        std::string xml;
        std::vector<std::string> presentes;
        std::vector<std::string> ausentes;
        uint32_t opcoes = 0;
    };
    const std::string base = lerAmostra(kVenda8);
    const std::string identificado =
        trocar(base, "<dest></dest>", "<dest><CPF>12345678901</CPF><xNome>Fulano</xNome></dest>");
    const std::string producao = trocar(base, "<tpAmb>2</tpAmb>", "<tpAmb>1</tpAmb>");
    const Caso casos[] = {
        {"sem ajustes", base, {"Total R$"}, {"Total bruto de itens", "Desconto sobre subtotal"}},
        {"consumidor nao identificado", base, {}, {"CPF/CNPJ: ", "Raz\xE3o Social/Nome: "}},
        {"consumidor identificado", identificado, {"CPF/CNPJ: 123.456.789-01", "Raz\xE3o Social/Nome: Fulano"}, {}},
        {"producao", producao, {"Extrato N\xBA: 000048"}, {"= TESTE =", ">>>>>>>>"}},
        {"tributos",
         trocar(base, "<vCFeLei12741>0.00</vCFeLei12741>", "<vCFeLei12741>1.23</vCFeLei12741>"),
         {"(VL TR R$)*|VL ITEM R$", "*Valor aproximado dos tributos do item.",
          "Valor aproximado dos tributos deste cupom", "(conforme Lei Fed. 12.741/2012) R$ 1,23"},
         {}},
        {"sem tributos", base, {"VL ITEM R$"}, {"(VL TR", "Valor aproximado dos tributos"}},
        {"desconto no subtotal",
         trocar(trocar(base, "<vCFe>3.40</vCFe>", "<vCFe>3.00</vCFe>"), "</ICMSTot>",
                "</ICMSTot><DescAcrEntr><vDescSubtot>0.40</vDescSubtot></DescAcrEntr>"),
         {"Total bruto de itens ", "Desconto sobre subtotal", "-0,40"},
         {"Acr\xE9scimo sobre subtotal"}},
        // Items with vItem12741 and no vCFeLei12741: the footer adds the items up; all four items are
        // there despite the comments between them, and so is the PIX payment after a comment.
        {"tributos so nos itens",
         lerAmostra(kVendaSP),
         {"PAO DE FORMA", "(conforme Lei Fed. 12.741/2012) R$ 7,43", "Pagamento Instant\xE2neo (PIX) - Din\xE2mico"},
         {"R$ 0,00"}},
        {"VALOR_TRIBUTOS desligado",
         lerAmostra(kVendaSP),
         {"(VL TR R$)*|VL ITEM R$", "(3,10)"},
         {"Valor aproximado dos tributos"},
         ParametrosImpressao::SEM_RODAPE_TRIBUTOS},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        ParametrosImpressao p;
        p.opcoesLeiaute = c.opcoes;
        const std::string bytes = comandos(c.xml, p);
        for (const std::string& t : c.presentes) EXPECT_NE(bytes.find(t), std::string::npos) << t;
        for (const std::string& t : c.ausentes) EXPECT_EQ(bytes.find(t), std::string::npos) << t;
    }
}

TEST_F(ImpressaoCFeTest, TextoDoQRCode) {
    CupomFiscalEletronico doc;
    doc.lerXML(lerAmostra(kVenda8));
    auto vp = impressora(512);
    ParametrosImpressao p;
    p.driver = vp.get();
    ImpressaoCFeSaida saida(&doc, p);
    // Unidentified consumer: two adjacent bars between the total and the signature.
    EXPECT_EQ(saida.conteudoQRCode(),
              "35210814200166000166599000238700000482452078|20210812154540|3.40||" + doc.assinaturaQRCODE);
    doc.destinatario.cpf = "12345678901";
    EXPECT_NE(saida.conteudoQRCode().find("|3.40|12345678901|"), std::string::npos);
    doc.destinatario.cnpj = "14200166000166";
    EXPECT_NE(saida.conteudoQRCode().find("|3.40|14200166000166|"), std::string::npos);
}

TEST_F(ImpressaoCFeTest, Observacoes) {
    std::string xml = lerAmostra(kVenda8);
    const size_t a = xml.find("<infCpl>"), b = xml.find("</infCpl>");
    ASSERT_NE(a, std::string::npos);
    xml.replace(a, b - a, "<infCpl>um&lt;br/&gt;dois&lt;br /&gt;tres|quatro");
    {
        const std::string bytes = comandos(xml);
        EXPECT_TRUE(emOrdem(bytes, {"um", "\n", "dois", "\n", "tres|quatro"}));
    }
    {
        ParametrosImpressao p;
        p.opcoesLeiaute = ParametrosImpressao::PIPE_NOVA_LINHA;
        const std::string bytes = comandos(xml, p);
        EXPECT_TRUE(emOrdem(bytes, {"tres", "\n", "quatro"}));
        EXPECT_EQ(bytes.find("tres|quatro"), std::string::npos);
    }
    // Placeholder entries of the tax authority observations are not printed.
    const std::string canc = comandos(lerAmostra(kCanc6));
    EXPECT_EQ(canc.find("xTexto1"), std::string::npos);
    EXPECT_EQ(canc.find("xCampo1"), std::string::npos);
}

TEST_F(ImpressaoCFeTest, CancelamentoNaOrdem) {
    const std::string c = comandos(lerAmostra(kCanc7));
    EXPECT_TRUE(
        emOrdem(c, {"CUPOM FISCAL ELETR\xD4NICO - SAT CANCELAMENTO", "DADOS DO CUPOM FISCAL ELETR\xD4NICO CANCELADO",
                    "TOTAL", "R$ 1,85", "18/08/2021 12:00:30", "3521 0814 2001 6600 0166 5990 0023 8290 0003 9106 6135",
                    "DADOS DO CUPOM FISCAL ELETR\xD4NICO DE CANCELAMENTO", "18/08/2021 12:00:36",
                    "3521 0814 2001 6600 0166 5990 0023 8290 0004 0885 5230", "Consulte o QR Code pelo aplicativo "}));
}

// A sale of more than 500 items is refused before anything of it reaches the printer.
TEST_F(ImpressaoCFeTest, MaisDeQuinhentosItensNaoImprimeNada) {
    auto vp = impressora(512);
    ParametrosImpressao p;
    p.driver = vp.get();
    CupomFiscalEletronico doc;
    doc.lerXML(lerAmostra(kVenda8));
    doc.quantidadeItens = 501;
    ImpressaoCFeSaida saida(&doc, p);
    vp->iniciarTrabalho();
    const size_t antes = vp->obterTrabalho().size();
    EXPECT_THROW(saida.ImprimirDocumento(), std::invalid_argument);
    EXPECT_EQ(vp->obterTrabalho().size(), antes);
    vp->encerrarTrabalho();
}

}  // namespace
