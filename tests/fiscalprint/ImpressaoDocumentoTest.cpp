// The layout engine's text primitives against a driver that records what it is asked to print:
// field placement, word wrap, addresses, the access key and the item table.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Gravadores.h"
#include "fiscalprint/ImpressaoDocumento.h"

using namespace Ordal::DocumentoFiscal;

namespace {

// Keeps a readable log of the operations the layout uses: T[text], LF, X=pos, M=margin, FEED=n.
class Registro : public teste::EncoderGravador {
public:
    bool imprimirTexto(std::string_view bytes) override {
        log.push_back("T[" + std::string(bytes) + "]");
        return EncoderGravador::imprimirTexto(bytes);
    }
    void avancarLinhas(int n) override {
        for (int i = 0; i < n; ++i) log.push_back("LF");
    }
    void posicaoHorizontalAbsoluta(int n) override {
        log.push_back("X=" + std::to_string(n));
        EncoderGravador::posicaoHorizontalAbsoluta(n);
    }
    void imprimirCodigoBarras(int tipo, const uint8_t* dados, int n) override {
        log.push_back("BARRAS" + std::to_string(tipo) + ":" + std::to_string(n));
        EncoderGravador::imprimirCodigoBarras(tipo, dados, n);
    }
    std::string texto() const {
        std::string r;
        for (const std::string& l : log) {
            if (!r.empty()) r += ' ';
            r += l;
        }
        return r;
    }
    std::vector<std::string> log;
};

class Layout : public ImpressaoDocumento {
public:
    using ImpressaoDocumento::ImpressaoDocumento;
    void ImprimirDocumento() override {}
};

ParametrosImpressao parametros(Registro& r, int fonte = 8) {
    ParametrosImpressao p;
    p.driver = &r;
    p.fonte = fonte;
    return p;
}

// A layout whose area is `colunas` characters of 12 dots (font 0).
struct Bancada {
    explicit Bancada(int colunas = 10, int fonte = 8) : layout(ModeloDocumento{}, parametros(registro, fonte)) {
        layout.selecionarFonteCorpo();
        layout.definirArea(0, 0, colunas * 12, 0, {});
        registro.log.clear();
    }
    Registro registro;
    Layout layout;
};

TEST(ImpressaoDocumento, ImprimirCampo) {
    struct Caso {
        const char* nome;
        const char* antes;  // text already on the line
        const char* valor;
        unsigned flags;
        const char* separador;
        const char* rotulo;
        const char* esperado;
    } casos[] = {
        {"cabe exatamente", "", "0123456789", 0, "", "", "T[0123456789]"},
        {"um caractere a mais vai para a linha seguinte", "ab", "12345678", 0, " ", "", "LF T[12345678]"},
        {"exatamente com separador", "ab", "1234567", 0, " ", "", "T[ 1234567]"},
        {"separador so entre campos", "", "abc", 0, " - ", "", "T[abc]"},
        {"rotulo primeiro na linha nova", "abcdef", "1234", 0, " ", "CEP: ", "LF T[CEP:] T[ 1234]"},
        {"valor em branco omitido", "ab", "   ", 0x02, " ", "R: ", ""},
        {"omitido ainda encerra a linha", "ab", "", 0x03, " ", "", "LF"},
        {"alinhado a direita", "", "12,50", 0x10, "", "", "X=60 T[12,50] LF"},
        {"direita com linha ocupada", "ab", "12", 0x04, " ", "", "X=84 T[ 12]"},
        {"0x04 sem linha ocupada fica a esquerda", "", "12", 0x04, " ", "", "T[12]"},
        {"valor para linha propria com 0x08", "", "ABCDEFGH", 0x08, "", "Nome: ", "T[Nome:] LF T[ABCDEFGH]"},
        {"0x20 so move o que cabe sozinho", "", "ABCDEFGH", 0x20, "", "Nome: ", "T[Nome:] LF T[ABCDEFGH]"},
        {"0x20 nao move o que nunca cabe", "", "ABCDEFGHIJKL", 0x20, "",
         "Nome: ", "T[Nome:] LF T[ABCDEFGHIJ] LF T[KL]"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        Bancada b;
        b.layout.imprimirTextoQuebrado(c.antes);
        b.registro.log.clear();
        b.layout.imprimirCampo(c.valor, c.flags, c.separador, c.rotulo);
        EXPECT_EQ(b.registro.texto(), c.esperado);
    }
}

TEST(ImpressaoDocumento, QuebraDePalavras) {
    struct Caso {
        const char* nome;
        const char* antes;
        const char* texto;
        const char* esperado;
        int posicaoX;  // characters on the line afterwards
    } casos[] = {
        {"entre palavras", "", "aaaa bbbb cccc", "T[aaaa bbbb] LF T[cccc]", 4},
        {"cabe exatamente", "", "aaaa bbbbb", "T[aaaa bbbbb]", 10},
        {"corte duro de palavra longa", "", "abcdefghijklmno", "T[abcdefghij] LF T[klmno]", 5},
        {"depois de hifen", "", "abc-defghijk", "T[abc-] LF T[defghijk]", 8},
        {"depois de barra vertical", "", "abcdefgh|ij", "T[abcdefgh|] LF T[ij]", 2},
        {"so brancos nao imprime nada", "ab", "    ", "", 2},
        {"brancos demais nao mudam a linha", "ab", "                      ", "", 2},
        {"quebra de linha encerra", "", "ab\ncd\n", "T[ab] LF T[cd] LF", 0},
        {"continua a linha ocupada", "abcdef", "ghij klm", "T[ghij] LF T[klm]", 3},
        {"nada cabe depois da linha cheia", "abcdefghij", "k", "LF T[k]", 1},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        Bancada b;
        b.layout.imprimirTextoQuebrado(c.antes);
        b.registro.log.clear();
        b.layout.imprimirTextoQuebrado(c.texto);
        EXPECT_EQ(b.registro.texto(), c.esperado);
        EXPECT_EQ(b.layout.area().posicaoX, c.posicaoX * 12);
    }
}

TEST(ImpressaoDocumento, Endereco) {
    struct Caso {
        const char* nome;
        Endereco endereco;
        const char* esperado;
    } casos[] = {
        {"sem complemento nao dobra o separador",
         {"Rua A", "10", "", "Centro", "Manaus", "AM", "69075010"},
         "T[Rua A] T[, 10] T[ - Centro] LF T[Manaus-AM] LF T[CEP:] T[ 69075-010] LF"},
        {"sem numero", {"Rua A", "", "Fundos", "", "Manaus", "", ""}, "T[Rua A] T[ - Fundos] T[-Manaus] LF"},
        {"sem rua nada", {"", "10", "", "Centro", "Manaus", "AM", "69075010"}, ""},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        Bancada b(24);
        b.layout.imprimirEndereco(c.endereco);
        EXPECT_EQ(b.registro.texto(), c.esperado);
    }
}

// Two fields right-aligned on one line (flag 0x04) must not be drawn over each other.
TEST(ImpressaoDocumento, CamposADireitaNaoSeSobrepoem) {
    Bancada b(30);
    b.layout.imprimirCampo("CNPJ", 0x02, " ", "");
    b.layout.imprimirCampo("IE 123", 0x06, " ", "");
    b.layout.imprimirCampo("IM 4", 0x06, " ", "");
    EXPECT_EQ(b.registro.texto(), "T[CNPJ] X=276 T[ IE 123] LF T[IM 4]");
}

TEST(ImpressaoDocumento, ChaveDeAcesso) {
    const std::string chave = "35210814200166000166599000238700000482452078";
    {
        Bancada b;  // 512 dots of 12: 42 columns, fewer than 54
        b.layout.restaurarArea();
        b.registro.log.clear();
        b.layout.imprimirChaveAcesso(chave);
        EXPECT_EQ(b.registro.texto(), "T[3521 0814 2001 6600 0166] LF T[5990 0023 8700 0004 8245 2078] LF");
    }
    {
        Bancada b(10, 9);  // 9-dot font: 56 columns, the whole key on one line
        b.layout.restaurarArea();
        b.registro.log.clear();
        b.layout.imprimirChaveAcesso(chave);
        EXPECT_EQ(b.registro.texto(), "T[3521 0814 2001 6600 0166 5990 0023 8700 0004 8245 2078] LF");
    }
    // Code 128: 22 pairs are 277 modules, 594 dots with the quiet zones at module width 2.
    struct Caso {
        int pontos;
        const char* esperado;
    } casos[] = {{512, "BARRAS8:12 BARRAS8:12"}, {344, "BARRAS8:12 BARRAS8:12"}, {600, "BARRAS8:23"}};
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.pontos);
        Bancada b;
        b.registro.Specification::larguraPontos = c.pontos;
        b.layout.imprimirCodigoBarrasChave(chave);
        std::string barras;
        for (const std::string& l : b.registro.log)
            if (l.rfind("BARRAS", 0) == 0) barras += (barras.empty() ? "" : " ") + l;
        EXPECT_EQ(barras, c.esperado);
    }
    Bancada b;
    b.layout.imprimirCodigoBarrasChave("3521081420016600016659900023870000048245207X");
    EXPECT_EQ(b.registro.texto().find("BARRAS"), std::string::npos);
}

// No width used by the layout is ever zero, whatever font number or paper it is given.
TEST(ImpressaoDocumento, LargurasNuncaZero) {
    for (int fonte : {-3, 6, 7, 14, 15, 1000}) {
        SCOPED_TRACE(fonte);
        Registro r;
        Layout l(ModeloDocumento{}, parametros(r, fonte));
        EXPECT_GT(l.larguraCaractere(), 0);
        EXPECT_GT(l.larguraUtil(), 0);
        l.selecionarFonteCorpo();
        EXPECT_GT(l.avancoCaractere(), 0);
        l.imprimirTextoQuebrado("texto qualquer um pouco longo para quebrar em linhas");
        l.imprimirSeparadorValores();
    }
    Registro r;
    r.Specification::larguraPontos = 0;
    Layout l(ModeloDocumento{}, parametros(r));
    EXPECT_GT(l.larguraUtil(), 0);
    l.imprimirTextoQuebrado("nada trava");
    Registro semDriver;
    ParametrosImpressao p;
    EXPECT_THROW(Layout(ModeloDocumento{}, p), std::invalid_argument);
}

// Items: the table text, the choice between the one-line and the two-line layout.
class Venda : public DadosVenda {};

Venda venda(int n) {
    Venda v;
    for (int i = 0; i < n; ++i) {
        ItemVenda& it = v.itens[i];
        it.numeroItem = i + 1;
        it.codigo = "C" + std::to_string(i + 1);
        it.descricao = "PRODUTO " + std::to_string(i + 1);
        it.unidade = "UN";
        it.quantidade.fromString("2");
        it.valorUnitario.fromString("1.5");
    }
    v.quantidadeItens = n;
    return v;
}

TEST(ImpressaoDocumento, TabelaDeItens) {
    Registro r;
    ModeloDocumento m;
    m.opcoes = ModeloDocumento::NUMERO_ITEM | ModeloDocumento::RATEIO_SUBTOTAL;
    Layout l(m, parametros(r));
    Venda v = venda(10);
    v.itens[0].quantidade.fromString("1.25");
    v.itens[0].valorUnitario.fromString("1234.567");
    v.itens[0].desconto.fromString("0.10");
    v.itens[1].rateioAcrescimo.fromString("0.05");
    const std::string t = l.montarTabelaItens(v);
    EXPECT_EQ(t.substr(0, t.find('\n') + 1), "\t01\tC1\tPRODUTO 1\t1,250\tUN\t1.234,567\t0,00\t0,00\n");
    EXPECT_NE(t.find("Desconto sobre item\t\t\t\t\t\t\t\t-0,10\n"), std::string::npos);
    EXPECT_NE(t.find("\t02\tC2\tPRODUTO 2\t2\tUN\t1,50\t"), std::string::npos);
    EXPECT_NE(t.find("Rateio de acr\xE9scimo sobre subtotal\t\t\t\t\t\t\t\t+0,05\n"), std::string::npos);
    // Nothing but the items and the two adjustments.
    EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), 12);
}

// The description column shows the layout: in one line it leaves room for the amounts at the right,
// in two lines it takes the line (42 columns of 12 dots at 512 dots, 20 at 240).
TEST(ImpressaoDocumento, ItensEmUmaOuDuasLinhas) {
    struct Caso {
        const char* nome;
        uint32_t leiaute;
        int largura;  // minimum description width
        int pontos;
        const char* primeiroTrecho;
    } casos[] = {
        {"colunas bastam", 0, 20, 512, "T[AAAA BBBB CCCC DDDD]"},
        {"forcado em duas linhas", ParametrosImpressao::QUEBRA_LINHA, 20, 512, "T[AAAA BBBB CCCC DDDD EEEE FFFF G]"},
        {"descricao minima grande demais", 0, 24, 512, "T[AAAA BBBB CCCC DDDD EEEE FFFF G]"},
        {"minimo 5 vale como 18", 0, 5, 512, "T[AAAA BBBB CCCC DDDD]"},
        {"papel estreito", 0, 20, 240, "T[AAAA BBBB CCCC]"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        Registro r;
        r.Specification::larguraPontos = c.pontos;
        ParametrosImpressao p = parametros(r);
        p.opcoesLeiaute = c.leiaute;
        p.larguraMinimaDescricao = c.largura;
        Layout l(ModeloDocumento{}, p);
        Venda v = venda(1);
        v.itens[0].descricao = "AAAA BBBB CCCC DDDD EEEE FFFF G";
        r.log.clear();
        l.imprimirItens(v);
        const std::string s = r.texto();
        EXPECT_EQ(s.substr(0, s.find(" LF")).substr(s.find("T[A")), c.primeiroTrecho) << s;
        EXPECT_NE(s.find("1,50  0,00]"), std::string::npos) << s;
    }
}

}  // namespace
