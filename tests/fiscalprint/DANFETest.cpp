// The DANFE NFC-e printed through the virtual printer: whole pages against reference captures,
// the QR symbol read back from the page by an independent reader, and the texts and amounts
// that depend on the document and on the caller.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "AmostrasFiscais.h"
#include "PrinterEmulator.h"
#include "TestSupport.h"
#include "config/TextosConsulta.h"
#include "fiscalprint/DANFE.h"
#include "fiscalprint/EnderecoQRCode.h"
#include "printer/VirtualPrinter.h"

using namespace Ordal::NFCe;
using Ordal::DocumentoFiscal::ParametrosImpressao;
using Ordal::DocumentoFiscal::TextosConsulta;
using Impressora = Ordal::Printer::VirtualPrinter<Ordal::Printer::RX457>;
using rx457test::TempDir;

namespace {

const char* const kPR = "nfce-nfeproc-310-prod-pr-1item-oldpag.xml";
const char* const kDF = "nfce-nfeproc-310-hom-df-cnpj-troco.xml";
const char* const kRS = "nfce-bare-400-hom-rs-detpag-qrv2.xml";
// Synthetic documents of today: PIX and the other new payment codes, freight, comments between
// items and payments, vTotTrib; and a bare contingency NFe of an individual issuer, without payment.
const char* const kSP = "nfce-nfeproc-400-synth-sp-pix-frete-comments.xml";
const char* const kMG = "nfce-bare-400-synth-mg-cpf-contingencia-sempag.xml";
constexpr uint32_t kPadrao = ParametrosImpressao::LEIAUTE_PADRAO;
const char* const kCSC = "0123456789ABCDEF0123456789ABCDEF";

std::string semGrupo(std::string xml, const std::string& tag) {
    const size_t a = xml.find("<" + tag + ">");
    const size_t b = xml.find("</" + tag + ">");
    if (a == std::string::npos || b == std::string::npos) return xml;
    return xml.erase(a, b + tag.size() + 3 - a);
}

ProtocoloAutorizacao protocolo(const char* numero, const char* data, const char* hora) {
    ProtocoloAutorizacao p;
    p.numeroProtocolo = numero;
    p.dataRecebimento = data;
    p.horaRecebimento = hora;
    return p;
}

ParametrosEmissaoDANFE emissaoPadrao() {
    ParametrosEmissaoDANFE e;
    e.identificadorToken = "000001";
    e.codigoSeguranca = kCSC;
    return e;
}

// Pixel (x, y) of a 1-bit top-down capture.
struct Pagina {
    std::string bmp;
    uint32_t u32(size_t o) const {
        return uint32_t(uint8_t(bmp[o])) | uint32_t(uint8_t(bmp[o + 1])) << 8 | uint32_t(uint8_t(bmp[o + 2])) << 16 |
               uint32_t(uint8_t(bmp[o + 3])) << 24;
    }
    int largura() const { return bmp.size() < 130 ? 0 : static_cast<int>(u32(18)); }
    int altura() const { return bmp.size() < 130 ? 0 : -static_cast<int32_t>(u32(22)); }
    bool ponto(int x, int y) const {
        const size_t passo = static_cast<size_t>((largura() + 31) / 32 * 4);
        const size_t o = 130 + static_cast<size_t>(y) * passo + static_cast<size_t>(x / 8);
        return o < bmp.size() && ((uint8_t(bmp[o]) >> (7 - x % 8)) & 1);
    }
    // Plain bitmap with a white border, which every reader accepts.
    std::string pbm() const {
        const int borda = 24, w = largura() + 2 * borda, h = altura() + 2 * borda, bpl = (w + 7) / 8;
        std::string linhas(static_cast<size_t>(bpl) * h, '\0');
        for (int y = 0; y < altura(); ++y)
            for (int x = 0; x < largura(); ++x)
                if (ponto(x, y)) {
                    const int X = x + borda, Y = y + borda;
                    linhas[static_cast<size_t>(Y) * bpl + X / 8] |= static_cast<char>(0x80 >> (X % 8));
                }
        return "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n" + linhas;
    }
    // Leftmost black column among the rows [y0, y1).
    int primeiraColuna(int y0, int y1) const {
        for (int x = 0; x < largura(); ++x)
            for (int y = y0; y < y1 && y < altura(); ++y)
                if (ponto(x, y)) return x;
        return -1;
    }
};

std::string lerQRCodes(const Pagina& p) {
    TempDir dir;
    rx457test::writeFile(dir.file("pagina.pbm"), p.pbm());
    return rx457test::runCommand("zbarimg -q --nodbus --raw '" + dir.file("pagina.pbm") + "'");
}

// The QR symbol's side on a page, from its finder patterns: the first row holding a black run of
// 7 modules whose left column stays black for as long (the top-left finder), the right end of the
// top-right finder on that row, and the last row where the bottom-left finder's run stays whole.
struct MedidaQRCode {
    int modulo = 0, largura = 0, altura = 0;
};

MedidaQRCode medirQRCode(const Pagina& p) {
    auto preto = [&](int x, int y, int n, bool vertical) {
        for (int k = 0; k < n; ++k)
            if (!p.ponto(vertical ? x : x + k, vertical ? y + k : y)) return false;
        return true;
    };
    // A finder of side n at (x, y): black ring one module wide, white ring, black 3-module centre.
    auto localizador = [&](int x, int y, int n) {
        const int m = n / 7;
        return preto(x, y, n, false) && preto(x, y, n, true) && preto(x + n - 1, y, n, true) &&
               preto(x, y + n - 1, n, false) && !p.ponto(x + m, y + m) && !p.ponto(x + n - m - 1, y + n - m - 1) &&
               preto(x + 2 * m, y + n / 2, 3 * m, false);
    };
    for (int y = 1; y < p.altura(); ++y)
        for (int x = 0; x < p.largura(); ++x) {
            if (!p.ponto(x, y) || (x > 0 && p.ponto(x - 1, y)) || p.ponto(x, y - 1)) continue;
            int n = 0;
            while (x + n < p.largura() && p.ponto(x + n, y)) ++n;
            if (n < 7 || n % 7 != 0 || y + n > p.altura() || !localizador(x, y, n)) continue;
            MedidaQRCode m;
            m.modulo = n / 7;
            // The top-right and bottom-left finders: the farthest ones on the same row and column.
            for (int d = x + n; d + n <= p.largura() && d - x <= 400; ++d)
                if (!p.ponto(d - 1, y) && localizador(d, y, n)) m.largura = d + n - x;
            for (int d = y + n; d + n <= p.altura() && d - y <= 400; ++d)
                if (!p.ponto(x, d - 1) && localizador(x, d, n)) m.altura = d + n - y;
            return m;
        }
    return {};
}

class DANFETest : public ::testing::Test {
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

    // The page rendered into the virtual printer's capture.
    Pagina capturar(const std::string& xml, int largura, const ParametrosEmissaoDANFE& e = emissaoPadrao(),
                    const ProtocoloAutorizacao& protocolo = {}, ParametrosImpressao p = {}) {
        auto vp = impressora(largura);
        TempDir dir;
        EXPECT_TRUE(vp->salvarImagem(dir.file("pagina.bmp")));
        DANFE danfe(*vp, p, e, protocolo);
        danfe.imprimirXML(xml);
        EXPECT_TRUE(vp->limparImagem());
        return Pagina{rx457test::readFile(dir.file("pagina.bmp"))};
    }

    // The printer commands of the printout, collected as a job (texts appear in them as bytes).
    std::string comandos(const std::string& xml, const ParametrosEmissaoDANFE& e = emissaoPadrao(),
                         const ProtocoloAutorizacao& protocolo = {}, ParametrosImpressao p = {}) {
        auto vp = impressora(512);
        vp->iniciarTrabalho();
        DANFE danfe(*vp, p, e, protocolo);
        try {
            danfe.imprimirXML(xml);
        } catch (...) {
            vp->encerrarTrabalho();
            ultimoTrabalho_ = vp->obterTrabalho();
            throw;
        }
        vp->encerrarTrabalho();
        return vp->obterTrabalho();
    }

    std::unique_ptr<rx457emu::PrinterEmulator> emulador_;
    std::string ultimoTrabalho_;
};

size_t contar(const std::string& texto, const std::string& trecho) {
    size_t n = 0;
    for (size_t p = texto.find(trecho); p != std::string::npos; p = texto.find(trecho, p + 1)) ++n;
    return n;
}

// The texts in the order given, each after the previous one.
::testing::AssertionResult emOrdem(const std::string& texto, std::initializer_list<std::string> trechos) {
    size_t p = 0;
    for (const std::string& t : trechos) {
        const size_t q = texto.find(t, p);
        if (q == std::string::npos) return ::testing::AssertionFailure() << "'" << t << "' ausente ou fora de ordem";
        p = q + t.size();
    }
    return ::testing::AssertionSuccess();
}

TEST_F(DANFETest, PaginasIguaisAsDeReferencia) {
    const bool atualizar = std::getenv("RX457_UPDATE_GOLDEN") != nullptr;
    struct Caso {
        const char* arquivo;
        const char* nome;
        uint32_t opcoes;
    } casos[] = {{kPR, "pr-prod", 0}, {kDF, "df-hom-troco", 0},         {kRS, "rs-contingencia", 0},
                 {kSP, "sp-hoje", 0}, {kSP, "sp-hoje-padrao", kPadrao}, {kMG, "mg-cpf-contingencia-padrao", kPadrao}};
    for (const Caso& c : casos)
        for (int largura : {512, 344}) {
            const std::string nome = std::string("danfe-") + c.nome + (largura == 512 ? "-80mm" : "-56mm") + ".bmp";
            SCOPED_TRACE(nome);
            ParametrosImpressao parametros;
            parametros.opcoesLeiaute = c.opcoes;
            const Pagina p = capturar(lerAmostra(c.arquivo), largura, emissaoPadrao(), {}, parametros);
            ASSERT_GT(p.altura(), 0);
            const std::string caminho = std::string(GOLDEN_DIR) + "/" + nome;
            if (atualizar) {
                rx457test::writeFile(caminho, p.bmp);
                continue;
            }
            ASSERT_TRUE(rx457test::fileExists(caminho)) << caminho;
            EXPECT_TRUE(rx457test::readFile(caminho) == p.bmp) << "pagina diferente de " << caminho;
        }
}

TEST_F(DANFETest, QRCodeDaPaginaEOTextoDaNota) {
    if (!rx457test::commandAvailable("zbarimg")) GTEST_SKIP() << "zbarimg is not installed";
    for (const char* arquivo : {kPR, kDF, kRS})
        for (int largura : {512, 344}) {
            SCOPED_TRACE(std::string(arquivo) + " " + std::to_string(largura));
            NotaFiscalEletronicaSaida nota;
            ASSERT_TRUE(nota.lerXML(lerAmostra(arquivo)));
            ASSERT_FALSE(nota.qrCodeTexto.empty());
            EXPECT_EQ(lerQRCodes(capturar(lerAmostra(arquivo), largura)), nota.qrCodeTexto + "\n");
        }
}

TEST_F(DANFETest, FontesDoCorpo) {
    // Body fonts 8..12 are the printer's fonts 0..4; a number without a font falls back to one that
    // exists, never to a zero width. The page must come out whole, symbol included.
    if (!rx457test::commandAvailable("zbarimg")) GTEST_SKIP() << "zbarimg is not installed";
    NotaFiscalEletronicaSaida nota;
    ASSERT_TRUE(nota.lerXML(lerAmostra(kDF)));
    for (int fonte : {8, 9, 10, 11, 12, 15}) {
        SCOPED_TRACE(fonte);
        ParametrosImpressao p;
        p.fonte = fonte;
        const Pagina pagina = capturar(lerAmostra(kDF), 512, emissaoPadrao(), {}, p);
        EXPECT_GT(pagina.altura(), 600);
        EXPECT_EQ(lerQRCodes(pagina), nota.qrCodeTexto + "\n");
    }
}

TEST_F(DANFETest, QuebrasNasInformacoesComplementares) {
    const std::string xml = trocar(lerAmostra(kPR), "Valor aproximado de tributos R$ 15,72 (37.43%) - Fonte IBPT",
                                   "Linha um|Linha dois&lt;br/&gt;Linha tres&lt;br /&gt;Linha quatro");
    struct Caso {
        uint32_t opcoes;
        std::initializer_list<std::string> presentes;
        std::string ausente;
    } casos[] = {
        {0, {"Linha um|Linha dois", "Linha tres", "Linha quatro"}, "<br"},
        {ParametrosImpressao::PIPE_NOVA_LINHA, {"Linha um", "Linha dois", "Linha tres", "Linha quatro"}, "|"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.opcoes);
        ParametrosImpressao p;
        p.opcoesLeiaute = c.opcoes;
        const std::string s = comandos(xml, emissaoPadrao(), {}, p);
        const size_t inicio = s.find("Linha um");
        ASSERT_NE(inicio, std::string::npos);
        const std::string trecho = s.substr(inicio, s.find("Linha quatro") + 12 - inicio);
        EXPECT_TRUE(emOrdem(trecho, c.presentes));
        EXPECT_EQ(trecho.find(c.ausente), std::string::npos);
    }
}

TEST_F(DANFETest, QRCodeMontadoQuandoANotaNaoTrazTexto) {
    if (!rx457test::commandAvailable("zbarimg") || !rx457test::commandAvailable("sha1sum"))
        GTEST_SKIP() << "zbarimg or sha1sum is not installed";
    const std::string base = "http://www.dfeportal.fazenda.pr.gov.br/dfe-portal/rest/servico/consultaNFCe";
    TextosConsulta textos;
    textos.wsConsultaQRCode = base;
    definirTextosConsulta(textos);

    const std::string xml = semGrupo(lerAmostra(kPR), "infNFeSupl");
    const std::string publicado = lerAmostra(kPR);
    // The parameters of the authorised document, up to the token; the digest worked out apart.
    const size_t a = publicado.find("chNFe="), b = publicado.find("&cHashQRCode=");
    ASSERT_NE(a, std::string::npos);
    const std::string parametros = publicado.substr(a, b - a);
    TempDir dir;
    rx457test::writeFile(dir.file("entrada"), parametros + kCSC);
    const std::string resumo = rx457test::runCommand("sha1sum '" + dir.file("entrada") + "'").substr(0, 40);

    EXPECT_EQ(lerQRCodes(capturar(xml, 512)), base + "?" + parametros + "&cHashQRCode=" + resumo + "\n");
}

TEST_F(DANFETest, SimboloAoLadoDoTextoSoComColunasSuficientes) {
    NotaFiscalEletronicaSaida nota;
    ASSERT_TRUE(nota.lerXML(lerAmostra(kPR)));
    const int lado = gerarSimboloQRCode(nota.qrCodeTexto, 180).largura;
    ASSERT_GT(lado, 0);
    // 80 mm leaves (512 - lado - 21) / 9 > 23 columns beside the symbol: it stands at the left.
    // 56 mm leaves fewer: it is centred under the text.
    for (int largura : {512, 344}) {
        SCOPED_TRACE(largura);
        const Pagina p = capturar(lerAmostra(kPR), largura);
        // The symbol's last rows are the page's last black rows (the cut feed follows).
        int fim = p.altura() - 1;
        while (fim > 0 && p.primeiraColuna(fim, fim + 1) < 0) --fim;
        EXPECT_EQ(p.primeiraColuna(fim - 20, fim + 1), largura == 512 ? 0 : (largura - lado) / 2);
    }
}

TEST_F(DANFETest, ContingenciaEHomologacao) {
    // Single words: beside the symbol the column is narrow and longer texts are wrapped.
    const std::string contingencia = "CONTING\xCANCIA";
    const std::string homologacao = "HOMOLOGA\xC7\xC3O";
    struct Caso {
        const char* arquivo;
        ProtocoloAutorizacao protocolo;
        size_t contingencias;
        bool homologacao;
        std::string protocoloImpresso;
        uint32_t opcoes = 0;
    } casos[] = {
        // No authorisation anywhere: banner under the separator and above the symbol.
        {kRS, {}, 2, true, ""},
        // The caller's authorisation stands in for the missing one.
        {kRS, protocolo("143210000012345", "20211111", "185801"), 0, true, "143210000012345"},
        // The document's own authorisation wins over the caller's.
        {kPR, protocolo("999999999999999", "20200101", "000000"), 0, false, "141170361108204"},
        {kDF, {}, 0, true, "353170000106963"},
        // The manual's layout follows tpEmis: 1 without a protocol is no contingency, 9 is one.
        {kRS, {}, 0, true, "", kPadrao},
        {kMG, {}, 2, true, "", kPadrao},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(std::string(c.arquivo) + " " + c.protocolo.numeroProtocolo + " " + std::to_string(c.opcoes));
        ParametrosImpressao p;
        p.opcoesLeiaute = c.opcoes;
        const std::string s = comandos(lerAmostra(c.arquivo), emissaoPadrao(), c.protocolo, p);
        EXPECT_EQ(contar(s, contingencia), c.contingencias);
        EXPECT_EQ(contar(s, "Pendente de autoriza\xE7\xE3o"), c.contingencias);
        EXPECT_EQ(contar(s, homologacao), c.homologacao ? 1u : 0u);
        EXPECT_EQ(contar(s, "DANFE NFC-e"), c.contingencias ? 0u : 1u);
        if (c.protocoloImpresso.empty()) {
            EXPECT_EQ(contar(s, "Protocolo de autoriza"), 0u);
        } else {
            EXPECT_TRUE(emOrdem(s, {"Protocolo de autoriza\xE7\xE3o:", c.protocoloImpresso, "Data de autoriza"}));
        }
    }
    const std::string rs = comandos(lerAmostra(kRS));
    EXPECT_TRUE(
        emOrdem(rs, {"CNPJ", contingencia, "Qtde. total de itens", "Valor a Pagar R$", "FORMA PAGAMENTO", "Dinheiro",
                     "Consulte pela Chave de Acesso em:", "www.sefaz.rs.gov.br/nfce/consulta", "4321 1105", homologacao,
                     "NFC-e n\xBA:", "240", "S\xE9rie:", "11/11/2021", "18:56:55", contingencia}));
}

TEST_F(DANFETest, ConsumidorSoQuandoPedido) {
    ParametrosEmissaoDANFE e = emissaoPadrao();
    EXPECT_EQ(contar(comandos(lerAmostra(kDF), e), "CONSUMIDOR"), 0u);
    e.imprimirDadosConsumidor = 1;
    EXPECT_TRUE(emOrdem(comandos(lerAmostra(kDF), e), {"CONSUMIDOR-CNPJ:", "25.504.949/0001-50", "NFC-e n\xBA:"}));
    EXPECT_TRUE(emOrdem(comandos(lerAmostra(kPR), e), {"CONSUMIDOR N\xC3O IDENTIFICADO", "NFC-e n\xBA:"}));
}

TEST_F(DANFETest, EnderecoDeConsulta) {
    // Without URL_CONSULTA, the document's urlChave; with it, the configured one.
    EXPECT_EQ(contar(comandos(lerAmostra(kRS)), "www.sefaz.rs.gov.br/nfce/consulta"), 1u);
    EXPECT_EQ(contar(comandos(lerAmostra(kPR)), "Consulte pela Chave"), 0u);
    TextosConsulta textos;
    textos.urlConsulta = "http://consulta.exemplo/nfce";
    definirTextosConsulta(textos);
    const std::string s = comandos(lerAmostra(kRS));
    EXPECT_EQ(contar(s, "http://consulta.exemplo/nfce"), 1u);
    EXPECT_EQ(contar(s, "www.sefaz.rs.gov.br/nfce/consulta"), 0u);
}

TEST_F(DANFETest, PagamentosETroco) {
    const std::string doisPagamentos = trocar(lerAmostra(kDF), "<tPag>01</tPag>\n\t  \t  \t<vPag>5.81</vPag>",
                                              "<tPag>03</tPag><vPag>3.00</vPag></pag><pag><tPag>01</tPag>"
                                              "<vPag>2.81</vPag>");
    struct Caso {
        const char* nome;
        std::string xml;
        std::string recebido;
        std::initializer_list<std::string> linhas;
        std::string semTexto;
    } casos[] = {
        // The document's own change when the caller gives no received amount; payments unchanged.
        {"troco do documento", lerAmostra(kDF), "", {"Dinheiro", "5,81", "Troco R$", "0,19"}, ""},
        // The received amount decides the change, which is added to the cash payment.
        {"valor recebido", lerAmostra(kDF), "10.00", {"Dinheiro", "10,00", "Troco R$", "4,19"}, "5,81"},
        {"cartao e dinheiro",
         doisPagamentos,
         "7.00",
         {"Cart\xE3o Cr\xE9"
          "dito",
          "3,00", "Dinheiro", "4,00", "Troco R$", "1,19"},
         "2,81"},
        // Received amount below the total: no change at all.
        {"recebido insuficiente", lerAmostra(kDF), "5.00", {"Dinheiro", "5,81"}, "Troco"},
        // No change anywhere.
        {"sem troco", lerAmostra(kPR), "", {"FORMA PAGAMENTO", "VALOR PAGO R$", "Dinheiro", "42,00"}, "Troco"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        ParametrosEmissaoDANFE e = emissaoPadrao();
        e.valorRecebido.fromString(c.recebido);
        const std::string s = comandos(c.xml, e);
        const size_t inicio = s.find("FORMA PAGAMENTO");
        ASSERT_NE(inicio, std::string::npos);
        EXPECT_TRUE(emOrdem(s.substr(inicio), c.linhas));
        if (!c.semTexto.empty()) {
            EXPECT_EQ(contar(s.substr(inicio, 600), c.semTexto), 0u);
        }
    }
}

TEST_F(DANFETest, QuantidadeTotalDeItens) {
    NotaFiscalEletronicaSaida nota;
    struct Item {
        const char* unidade;
        long long quantidade;  // four decimals
    } itens[] = {{"UN", 20000}, {"KG", 15000}, {"UN", 5000}, {"CX", 30000}, {"UN", 10000}};
    for (int i = 0; i < 5; ++i) {
        nota.itens[i].unidade = itens[i].unidade;
        nota.itens[i].quantidade.valor = itens[i].quantidade;
    }
    nota.quantidadeItens = 5;
    auto vp = impressora(512);
    DANFE danfe(*vp, {}, emissaoPadrao(), nota);
    // 2 + 1 (KG) + 1 (0.5 UN) + 1 (CX) + 1.
    EXPECT_EQ(danfe.quantidadeTotalItens(), 6);
}

// Which blocks each layout prints, in order, and what it leaves out.
TEST_F(DANFETest, LeiautePadraoEChavesDeConfiguracao) {
    struct Caso {
        const char* nome;
        const char* arquivo;
        uint32_t opcoes;
        std::initializer_list<std::string> emOrdem;
        std::initializer_list<std::string> ausentes;
    } casos[] = {
        {"padrao",
         kSP,
         kPadrao,
         {"CNPJ: ",
          "12.345.678/0001-95",
          "N\xE3o permite aproveitamento",
          "0,0125",
          "Qtde. total de itens",
          "85",
          "Valor total R$",
          "130,76",
          "Desconto R$",
          "-0,98",
          "Acr\xE9scimos R$",
          "+5,50",
          "Valor a Pagar R$",
          "135,28",
          "Pagamento Instant\xE2neo (PIX) - Din\xE2mico",
          "50,00",
          "Pagamento Instant\xE2neo (PIX) - Est\xE1tico",
          "Boleto Banc\xE1rio",
          "Dep\xF3sito Banc\xE1rio",
          "Transfer\xEAncia banc\xE1ria, Carteira Digital",
          "Programa de fidelidade, Cashback, Cr\xE9"
          "dito Virtual",
          "Cr\xE9"
          "dito em Loja",
          "Pagamento Eletr\xF4nico n\xE3o Informado",
          "Vale-presente da loja",
          "15,28",
          "Troco R$",
          "0,00",
          "Tributos Totais Incidentes (Lei Federal 12.741/2012) R$",
          "24,43",
          "Consulte pela Chave de Acesso em:",
          "https://www.nfce.fazenda.sp.gov.br/consulta",
          "3525 1112",
          "Consulta via leitor de QR Code",
          "CONSUMIDOR N\xC3O IDENTIFICADO",
          "Protocolo de autoriza\xE7\xE3o:",
          "135250001234567"},
         {"Desconto sobre item", "Acr\xE9scimo sobre item", "CONTING"}},
        // The same document in the usual layout: item adjustments, none of the manual's own lines.
        {"sem o leiaute padrao",
         kSP,
         0,
         {"10,00", "Desconto sobre item", "-0,98", "0,0125", "Acr\xE9scimo sobre item", "Valor a Pagar R$", "135,28",
          "Vale-presente da loja", "https://www.nfce.fazenda.sp.gov.br/consulta"},
         {"Valor total R$", "Tributos Totais", "Consulta via leitor", "CONSUMIDOR", "Troco"}},
        {"emitente pessoa fisica, sem pagamento",
         kMG,
         kPadrao,
         {"CPF: ", "987.654.321-00", "JOAO DA SILVA", "Desconto R$", "-15,00", "Valor a Pagar R$", "0,00",
          "Sem pagamento", "0,00", "Troco R$", "Consulte pela Chave de Acesso em:", "3125 1198",
          "CONSUMIDOR-CPF: ", "123.456.789-09"},
         {"CNPJ:", "Tributos Totais", "Protocolo"}},
        {"sem a mensagem do ICMS",
         kPR,
         ParametrosImpressao::SEM_MENSAGEM_ICMS,
         {"DANFE NFC-e", "Caixa de Caneta BIC"},
         {"aproveitamento",
          "de cr\xE9"
          "dito de ICMS"}},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        ParametrosImpressao p;
        p.opcoesLeiaute = c.opcoes;
        const std::string s = comandos(lerAmostra(c.arquivo), emissaoPadrao(), {}, p);
        EXPECT_TRUE(emOrdem(s, c.emOrdem));
        for (const std::string& a : c.ausentes) EXPECT_EQ(contar(s, a), 0u) << a;
    }
    // The manual's layout prefers the document's own consultation address to URL_CONSULTA.
    TextosConsulta textos;
    textos.urlConsulta = "http://consulta.exemplo/nfce";
    definirTextosConsulta(textos);
    ParametrosImpressao p;
    p.opcoesLeiaute = kPadrao;
    EXPECT_EQ(contar(comandos(lerAmostra(kSP), emissaoPadrao(), {}, p), "http://consulta.exemplo/nfce"), 0u);
    EXPECT_EQ(contar(comandos(lerAmostra(kMG), emissaoPadrao(), {}, p), "http://consulta.exemplo/nfce"), 1u);
}

// The manual's symbol is at least 25 mm a side in whole modules, measured on the page from its
// finder patterns; a short text whose symbol today's 22 mm leave under 25 mm shows the difference.
TEST_F(DANFETest, QRCodeDoLeiautePadraoComAoMenos25mm) {
    const std::string curto =
        trocar(lerAmostra(kSP),
               lerAmostra(kSP).substr(lerAmostra(kSP).find("<qrCode>"),
                                      lerAmostra(kSP).find("</qrCode>") - lerAmostra(kSP).find("<qrCode>")),
               "<qrCode>https://nfce.exemplo/q?p=1");
    const int minimo = (180 * 250 + 253) / 254;  // 25 mm at 180 dpi, rounded up
    struct Caso {
        std::string xml;
        uint32_t opcoes;
        bool aoMenos25;
    } casos[] = {{curto, 0, false}, {curto, kPadrao, true}, {lerAmostra(kMG), kPadrao, true}};
    for (const Caso& c : casos)
        for (int largura : {512, 344}) {
            SCOPED_TRACE(std::to_string(c.opcoes) + " " + std::to_string(largura));
            ParametrosImpressao p;
            p.opcoesLeiaute = c.opcoes;
            const Pagina pagina = capturar(c.xml, largura, emissaoPadrao(), {}, p);
            const MedidaQRCode m = medirQRCode(pagina);
            ASSERT_GT(m.modulo, 0);
            EXPECT_EQ(m.largura, m.altura);
            EXPECT_EQ(m.largura % m.modulo, 0);
            EXPECT_EQ(m.largura >= minimo, c.aoMenos25) << m.largura;
            if (rx457test::commandAvailable("zbarimg")) {
                EXPECT_FALSE(lerQRCodes(pagina).empty());
            }
        }
}

TEST_F(DANFETest, VerificacaoFalhaAntesDeImprimir) {
    ParametrosImpressao p;
    p.opcoesLeiaute = ParametrosImpressao::VERIFICAR_CALCULOS;
    const std::string errado = trocar(lerAmostra(kPR), "<vNF>42.00</vNF>", "<vNF>43.00</vNF>");
    EXPECT_THROW(comandos(errado, emissaoPadrao(), {}, p), std::runtime_error);
    EXPECT_EQ(ultimoTrabalho_.find("CNPJ"), std::string::npos);
    EXPECT_NE(comandos(lerAmostra(kPR), emissaoPadrao(), {}, p).find("DANFE NFC-e"), std::string::npos);
}

TEST_F(DANFETest, SemCorteQuandoPedido) {
    // GS V with the partial cut (flags 9: short feed, partial cut).
    ParametrosImpressao p;
    const std::string comCorte = comandos(lerAmostra(kPR), emissaoPadrao(), {}, p);
    p.opcoesLeiaute = ParametrosImpressao::SEM_CORTE;
    const std::string semCorte = comandos(lerAmostra(kPR), emissaoPadrao(), {}, p);
    EXPECT_GT(contar(comCorte, "\x1dV"), contar(semCorte, "\x1dV"));
}

}  // namespace
