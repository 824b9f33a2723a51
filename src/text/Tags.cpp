// The print markup: switch tags such as <b>...</b>, content tags such as <ean13>...</ean13>, numeric
// tags such as <sl>3</sl>. Text that matches no tag prints as written.
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string_view>
#include <vector>

#include "symbols/Code128.h"
#include "text/ORVEX.h"

namespace ORDAL_VEX {

using Ordal::Printer::Driver;

namespace {

constexpr uint32_t kIlimitado = 0xFFFFFFFFu;

struct EntradaTag {
    RegraConteudo regra;
    std::string nome;
    std::function<void(ORVEX&)> abertura;
    std::function<void(ORVEX&)> fechamento;
    std::function<void(ORVEX&, const std::string&)> conteudo;
    std::function<void(ORVEX&, uint32_t)> numerica;
};

// atoi without its overflow: saturates at the largest 32-bit value.
uint32_t valorDecimal(const std::string& texto) {
    uint64_t v = 0;
    for (char c : texto) {
        if (c < '0' || c > '9') break;
        v = v * 10 + static_cast<uint64_t>(c - '0');
        if (v > kIlimitado) return kIlimitado;
    }
    return static_cast<uint32_t>(v);
}

RegraConteudo qualquer() { return RegraConteudo{0, 0, kIlimitado, 0, kIlimitado, false}; }
RegraConteudo tamanho(uint32_t minimo, uint32_t maximo) {
    return RegraConteudo{0, minimo, maximo, 0, kIlimitado, false};
}
RegraConteudo digitos(uint32_t minimo, uint32_t maximo) {
    return RegraConteudo{1, minimo, maximo, 0, kIlimitado, false};
}
RegraConteudo numero(uint32_t minimo, uint32_t maximo) { return RegraConteudo{1, 0, 0, minimo, maximo, false}; }

void codigoBarras(ORVEX& s, int tipo, const std::string& dados) {
    s.obterDriver().imprimirCodigoBarrasTexto(tipo, dados.c_str());
    s.posicaoLinha = 0;
}

std::string dataOuHora(bool hora) {
    const std::time_t agora = std::time(nullptr);
    std::tm local{};
    localtime_r(&agora, &local);
    char texto[32];
    if (hora)
        std::snprintf(texto, sizeof texto, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    else
        std::snprintf(texto, sizeof texto, "%02d/%02d/%04d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
    return texto;
}

void imprimirSimples(ORVEX& s, const std::string& texto) {
    s.imprimirTextoSimples(texto.data(), static_cast<unsigned int>(texto.size()));
}

std::vector<EntradaTag> construirTabela() {
    auto sw = [](const char* nome, std::function<void(ORVEX&)> abre, std::function<void(ORVEX&)> fecha) {
        return EntradaTag{qualquer(), nome, std::move(abre), std::move(fecha), {}, {}};
    };
    auto ct = [](const char* nome, RegraConteudo regra, std::function<void(ORVEX&, const std::string&)> acao) {
        return EntradaTag{regra, nome, {}, {}, std::move(acao), {}};
    };
    auto nm = [](const char* nome, RegraConteudo regra, std::function<void(ORVEX&, uint32_t)> acao) {
        return EntradaTag{regra, nome, {}, {}, {}, std::move(acao)};
    };
    auto alinhar = [](int n) {
        return [n](ORVEX& s) {
            s.quebrarLinhaPendente();
            s.obterDriver().selecionarAlinhamento(n);
        };
    };
    std::vector<EntradaTag> t;
    t.push_back(sw(
        "b", [](ORVEX& s) { s.obterDriver().selecionarNegrito(true); },
        [](ORVEX& s) { s.obterDriver().selecionarNegrito(false); }));
    t.push_back(sw(
        "c", [](ORVEX& s) { s.obterDriver().selecionarFonte(s.fonteCondensada); },
        [](ORVEX& s) { s.obterDriver().selecionarFonte(s.fonteNormal); }));
    t.push_back(sw(
        "s", [](ORVEX& s) { s.obterDriver().selecionarSublinhado(true); },
        [](ORVEX& s) { s.obterDriver().selecionarSublinhado(false); }));
    t.push_back(sw(
        "e", [](ORVEX& s) { s.obterDriver().dobrarLargura(); }, [](ORVEX& s) { s.obterDriver().reduzirLargura(); }));
    t.push_back(sw(
        "da", [](ORVEX& s) { s.obterDriver().dobrarAltura(); }, [](ORVEX& s) { s.obterDriver().reduzirAltura(); }));
    t.push_back(sw(
        "xl", [](ORVEX& s) { s.obterDriver().selecionarTamanhoCaractere(1, 1); },
        [](ORVEX& s) { s.obterDriver().selecionarTamanhoCaractere(0, 0); }));
    t.push_back(sw("n",
                   [](ORVEX& s) {
                       Driver& d = s.obterDriver();
                       d.selecionarFonte(s.fonte);
                       d.selecionarTamanhoCaractere(0, 0);
                   },
                   {}));
    t.push_back(sw("ad", alinhar(2), alinhar(0)));
    t.push_back(sw("ce", alinhar(1), alinhar(0)));
    t.push_back(sw("l", [](ORVEX& s) { s.avancarLinhasTexto(1); }, {}));
    t.push_back(ct("gui", qualquer(), [](ORVEX& s, const std::string&) { s.cortarPapel(); }));
    t.push_back(ct("ibmp", qualquer(),
                   [](ORVEX& s, const std::string& c) { s.imprimirImagemArquivo(c.c_str(), 5, 100, 128); }));
    t.push_back(ct("tb", qualquer(), [](ORVEX& s, const std::string& c) { imprimirSimples(s, "\t" + c); }));
    t.push_back(ct("mg", qualquer(), [](ORVEX&, const std::string&) {}));
    t.push_back(ct("dt", qualquer(), [](ORVEX& s, const std::string&) { imprimirSimples(s, dataOuHora(false)); }));
    t.push_back(ct("hr", qualquer(), [](ORVEX& s, const std::string&) { imprimirSimples(s, dataOuHora(true)); }));
    t.push_back(ct("upc-a", digitos(11, 12), [](ORVEX& s, const std::string& c) { codigoBarras(s, 0, c); }));
    t.push_back(ct("ean8", digitos(7, 8), [](ORVEX& s, const std::string& c) { codigoBarras(s, 3, c); }));
    t.push_back(ct("ean13", digitos(12, 13), [](ORVEX& s, const std::string& c) { codigoBarras(s, 2, c); }));
    t.push_back(ct("code39", tamanho(1, 64), [](ORVEX& s, const std::string& c) { codigoBarras(s, 4, c); }));
    t.push_back(ct("code93", tamanho(1, 64), [](ORVEX& s, const std::string& c) { codigoBarras(s, 7, c); }));
    t.push_back(ct("codabar", tamanho(1, kIlimitado), [](ORVEX& s, const std::string& c) { codigoBarras(s, 6, c); }));
    t.push_back(ct("code128", tamanho(1, 64), [](ORVEX& s, const std::string& c) {
        // A person writes text here; the barcode command takes Code 128 symbol values.
        const auto valores = Ordal::Symbols::valoresCode128Texto(c);
        if (!valores) {
            std::cerr << "Erro tag '<code128>" << c << "</code128>': Caracter fora do conjunto do código." << std::endl;
            return;
        }
        // Values, not text: 0 is a space in set B and "00" in set C, so the count travels with them.
        s.obterDriver().imprimirCodigoBarras(8, valores->data(), static_cast<int>(valores->size()));
        s.posicaoLinha = 0;
    }));
    t.push_back(ct("pdf", tamanho(1, kIlimitado), [](ORVEX& s, const std::string& c) {
        Ordal::Printer::ParametrosCodigoPDF417 p;
        p.dados = c;
        p.nivelErro = 0;
        p.opcoes = 0;
        p.larguraModulo = 2;
        p.alturaLinha = 3;
        s.obterDriver().imprimirPDF417(p);
        s.posicaoLinha = 0;
    }));
    t.push_back(ct("i2of5", digitos(1, kIlimitado), [](ORVEX& s, const std::string& c) {
        if (c.size() % 2 != 0) {
            std::cerr << "Erro tag '<i2of5>': Requer número par de dígitos." << std::endl;
            return;
        }
        codigoBarras(s, 5, c);
    }));
    t.push_back(ct("qrcode", tamanho(1, kIlimitado), [](ORVEX& s, const std::string& c) {
        Ordal::Printer::ParametrosQRCode p;
        p.modelo = 1;
        p.dados = c;
        p.tamanhoModulo = 2;
        p.nivelCorrecao = 0;
        s.obterDriver().imprimirQRCode(p);
        s.posicaoLinha = 0;
    }));
    t.push_back(ct("tc", tamanho(1, 1), [](ORVEX& s, const std::string& c) {
        const bool enter = s.configuracao.enterAutomatico;
        if (enter) s.quebrarLinhaPendente();
        Driver& d = s.obterDriver();
        const int largura = d.larguraFonte() > 0 ? d.larguraFonte() : 1;
        const std::string linha(static_cast<size_t>(d.larguraPontos() / largura), c[0]);
        d.imprimirTexto(linha);
        // The line is full: the next text starts a new one.
        if (!linha.empty()) s.posicaoLinha = d.larguraPontos();
        if (enter) s.quebrarLinhaPendente();
    }));
    RegraConteudo literal = qualquer();
    literal.conteudoLiteral = true;
    t.push_back(
        ct("cabecalho", literal, [](ORVEX& s, const std::string& c) { s.imprimirCabecalho(c.c_str(), nullptr); }));
    t.push_back(
        nm("cespl", numero(0, 255), [](ORVEX& s, uint32_t v) { s.obterDriver().espacamentoEntreLinhas(int(v / 2)); }));
    t.push_back(nm("sl", numero(1, 255), [](ORVEX& s, uint32_t v) { s.avancarLinhasTexto(int(v)); }));
    t.push_back(nm("sp", numero(1, 255), [](ORVEX& s, uint32_t v) { imprimirSimples(s, std::string(v, ' ')); }));
    t.push_back(
        nm("altbarras", numero(1, 255), [](ORVEX& s, uint32_t v) { s.obterDriver().alturaCodigoBarras(int(v)); }));
    t.push_back(
        nm("largbarras", numero(1, 6), [](ORVEX& s, uint32_t v) { s.obterDriver().larguraCodigoBarras(int(v)); }));
    return t;
}

const std::vector<EntradaTag>& tabelaTags() {
    static const std::vector<EntradaTag> tabela = construirTabela();
    return tabela;
}

}  // namespace

bool ORVEX::validarConteudo(const RegraConteudo& regra, const std::string& nome, const std::string& conteudo) {
    const std::string marcado = "<" + nome + ">" + conteudo + "</" + nome + ">";
    const size_t n = conteudo.size();
    if (regra.tamanhoMinimo == 1 && n == 0) {
        std::cerr << "Erro tag: '<" << nome << ">': Conteúdo vazio." << std::endl;
        return false;
    }
    if (regra.tamanhoMinimo != 0 && n < regra.tamanhoMinimo) {
        std::cerr << "Erro tag '" << marcado << "': Não possue a extensão mínima requerida (" << regra.tamanhoMinimo
                  << " bytes)." << std::endl;
        return false;
    }
    if (regra.tamanhoMaximo != 0 && n > regra.tamanhoMaximo) {
        std::cerr << "Erro tag '" << marcado << "': Excede a extensão máxima suportada (" << regra.tamanhoMaximo
                  << " bytes)." << std::endl;
        return false;
    }
    if (regra.somenteNumeros != 1) return true;
    for (size_t i = 0; i < n; ++i) {
        if (conteudo[i] < '0' || conteudo[i] > '9') {
            std::cerr << "Erro tag '<" << nome << ">': Caracter não numérico: '" << conteudo[i]
                      << "', posição: " << i + 1 << "." << std::endl;
            return false;
        }
    }
    const uint32_t valor = valorDecimal(conteudo);
    if (valor < regra.valorMinimo) {
        std::cerr << "Erro tag '" << marcado << "': Valor abaixo do mínimo (" << regra.valorMinimo << ")." << std::endl;
        return false;
    }
    if (valor > regra.valorMaximo) {
        std::cerr << "Erro tag '" << marcado << "': Valor acima do máximo (" << regra.valorMaximo << ")." << std::endl;
        return false;
    }
    return true;
}

void ORVEX::interpretarTagsImpressao(const char* texto, unsigned int tamanho,
                                     const std::function<void(const char*, unsigned int)>& imprimir) {
    if (!texto) return;
    const std::vector<EntradaTag>& tabela = tabelaTags();
    const std::string_view tudo(texto, tamanho);
    size_t p = 0, pendentes = 0;
    const size_t semConteudo = std::string_view::npos;
    size_t inicioConteudo = semConteudo;
    auto descarregar = [&] {
        if (pendentes) imprimir(texto + p - pendentes, static_cast<unsigned int>(pendentes));
        pendentes = 0;
    };

    while (p < tamanho) {
        bool casou = false;
        if (texto[p] == '<') {
            const size_t resta = tamanho - p;
            for (const EntradaTag& e : tabela) {
                const size_t n = e.nome.size();
                if (resta >= n + 2 && tudo.compare(p + 1, n, e.nome) == 0 && texto[p + 1 + n] == '>') {
                    descarregar();
                    p += n + 2;
                    if (e.abertura) {
                        e.abertura(*this);
                    } else {
                        inicioConteudo = p;
                        if (e.regra.conteudoLiteral) {
                            const size_t fim = tudo.find("</" + e.nome + ">", p);
                            if (fim == std::string_view::npos) return;
                            p = fim;
                        }
                    }
                    casou = true;
                    break;
                }
                if (resta >= n + 3 && texto[p + 1] == '/' && tudo.compare(p + 2, n, e.nome) == 0 &&
                    texto[p + 2 + n] == '>') {
                    if (e.fechamento) {
                        descarregar();
                        e.fechamento(*this);
                    } else if (inicioConteudo == semConteudo) {
                        // A closing tag with nothing to close (</n>, </l>, a stray </gui>): the text
                        // written before it is the customer's and still prints.
                        descarregar();
                    } else {
                        const std::string conteudo(texto + inicioConteudo, p - inicioConteudo);
                        if (validarConteudo(e.regra, e.nome, conteudo)) {
                            if (e.conteudo) e.conteudo(*this, conteudo);
                            if (e.numerica) e.numerica(*this, valorDecimal(conteudo));
                        }
                    }
                    inicioConteudo = semConteudo;
                    pendentes = 0;
                    p += n + 3;
                    casou = true;
                    break;
                }
            }
        }
        if (!casou) {
            ++pendentes;
            ++p;
        }
    }
    descarregar();
    if (configuracao.enterAutomatico) quebrarLinhaPendente();
}

}  // namespace ORDAL_VEX
