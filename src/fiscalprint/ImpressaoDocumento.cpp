#include "fiscalprint/ImpressaoDocumento.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

#include "symbols/LinearBarcode.h"

namespace Ordal::DocumentoFiscal {

namespace {

bool branco(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string formatar(const char* formato, int largura, const std::string& texto) {
    char buffer[512];
    int n = std::snprintf(buffer, sizeof buffer, formato, std::max(largura, 0), texto.c_str());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
    std::string grande(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(grande.data(), grande.size(), formato, std::max(largura, 0), texto.c_str());
    grande.resize(static_cast<size_t>(n));
    return grande;
}

// Nearest-neighbour scaling of a decoded picture (4 bytes per pixel).
Printer::Bitmap redimensionar(const Printer::Bitmap& origem, int largura, int altura) {
    Printer::Bitmap r;
    r.largura = largura;
    r.altura = altura;
    r.bitsPorPixel = origem.bitsPorPixel;
    r.pixels.resize(static_cast<size_t>(largura) * altura * 4);
    const int w0 = origem.largura, h0 = origem.linhas();
    for (int y = 0; y < altura; ++y) {
        const int ys = static_cast<int>(static_cast<long long>(y) * h0 / altura);
        for (int x = 0; x < largura; ++x) {
            const int xs = static_cast<int>(static_cast<long long>(x) * w0 / largura);
            const size_t de = (static_cast<size_t>(ys) * w0 + xs) * 4;
            const size_t para = (static_cast<size_t>(y) * largura + x) * 4;
            std::copy_n(origem.pixels.begin() + static_cast<std::ptrdiff_t>(de), 4,
                        r.pixels.begin() + static_cast<std::ptrdiff_t>(para));
        }
    }
    return r;
}

std::vector<std::string> dividir(const std::string& texto, char separador) {
    std::vector<std::string> partes;
    size_t inicio = 0;
    while (true) {
        size_t fim = texto.find(separador, inicio);
        partes.push_back(texto.substr(inicio, fim == std::string::npos ? std::string::npos : fim - inicio));
        if (fim == std::string::npos) break;
        inicio = fim + 1;
    }
    return partes;
}

// A sign before an amount. Built by appending: GCC 12 takes the insert that `"-" + temporary` makes
// for an overlapping copy and warns (-Wrestrict).
std::string comSinal(char sinal, const std::string& valor) {
    std::string texto(1, sinal);
    return texto.append(valor);
}

}  // namespace

std::string aparar(std::string_view texto) {
    size_t i = 0, f = texto.size();
    while (i < f && branco(texto[i])) ++i;
    while (f > i && branco(texto[f - 1])) --f;
    return std::string(texto.substr(i, f - i));
}

std::string substituirTodos(std::string texto, std::string_view de, std::string_view para) {
    if (de.empty()) return texto;
    size_t p = 0;
    while ((p = texto.find(de, p)) != std::string::npos) {
        texto.replace(p, de.size(), para);
        p += para.size();
    }
    return texto;
}

// ---------------------------------------------------------------- construction and metrics

ImpressaoDocumento::ImpressaoDocumento(const ModeloDocumento& modelo, const ParametrosImpressao& parametros)
    : ModeloDocumento(modelo), ParametrosImpressao(parametros), driver_(parametros.driver) {
    if (!driver_) throw std::invalid_argument("ImpressaoDocumento sem driver");
    restaurarArea();
}

ImpressaoDocumento::~ImpressaoDocumento() = default;

std::string ImpressaoDocumento::formatarValor(const Decimal2& valor) {
    return formatarNumero(valor.toString(), 2, true);
}

int ImpressaoDocumento::milimetrosParaPontos(double mm) const {
    const double pontos = mm * driver_->resolucao() / 25.4;
    return pontos > 0 ? static_cast<int>(pontos) : 0;
}

int ImpressaoDocumento::larguraCaractere() const {
    int w = driver_->obterFonte(fonte < 0 ? 0 : (fonte & 7)).largura;
    if (w <= 0) w = driver_->obterFonte(0).largura;
    return w > 0 ? w : 1;
}

int ImpressaoDocumento::avancoCaractere() const { return std::max(driver_->colunasEfetivas(), 1); }

int ImpressaoDocumento::alturaLinha() const { return std::max(driver_->linhasEfetivas(), 1); }

int ImpressaoDocumento::colunasImpressora() const { return larguraUtil() / avancoCaractere(); }

void ImpressaoDocumento::selecionarFonteNumero(int numero) {
    int f = numero < 0 ? 0 : (numero & 7);
    // A number without a font would leave the printer and the layout measuring different fonts.
    if (driver_->obterFonte(f).largura <= 0 || driver_->obterFonte(f).altura <= 0) f = 0;
    driver_->selecionarFonte(f);
}

int ImpressaoDocumento::larguraUtil() const {
    const int pontos = driver_->larguraPontos();
    if (pontos <= 0) return 1;
    const int util = pontos - pontos % larguraCaractere();
    return util > 0 ? util : pontos;
}

// ---------------------------------------------------------------- print area

void ImpressaoDocumento::definirArea(int esquerda, int altura, int largura, int limite,
                                     std::function<void()> aoTransbordar) {
    const int pontos = driver_->larguraPontos();
    if (esquerda < 0 || pontos < esquerda) return;
    largura = std::min(largura, pontos - esquerda);
    if (largura < larguraCaractere()) return;
    area_.esquerda = esquerda;
    area_.largura = largura;
    area_.limite = std::max(limite, 0);
    area_.posicaoX = 0;
    area_.altura = std::max(altura, 0);
    area_.suspenso = false;
    area_.aoTransbordar = std::move(aoTransbordar);
    driver_->margemEsquerda(esquerda);
}

void ImpressaoDocumento::restaurarArea() { definirArea(0, 0, larguraUtil(), 0, {}); }

void ImpressaoDocumento::deslocarMargem(int x) {
    const int delta = area_.esquerda - x;
    // The right edge stays: a margin past it would leave no room at all.
    if (x < 0 || area_.largura + delta < 1) return;
    area_.largura += delta;
    area_.posicaoX = std::max(area_.posicaoX + delta, 0);
    area_.esquerda = x;
    driver_->margemEsquerda(x);
}

void ImpressaoDocumento::verificarTransbordo() {
    if (area_.suspenso || !(area_.limite < area_.altura)) return;
    std::function<void()> copia = area_.aoTransbordar;
    restaurarArea();
    if (copia) copia();
}

void ImpressaoDocumento::suspenderQuebra() { area_.suspenso = true; }

void ImpressaoDocumento::retomarQuebra() {
    area_.suspenso = false;
    verificarTransbordo();
}

void ImpressaoDocumento::novaLinha() {
    driver_->avancarLinhas(1);
    area_.posicaoX = 0;
    if (area_.limite != 0) {
        area_.altura += alturaLinha();
        verificarTransbordo();
    }
}

void ImpressaoDocumento::encerrarLinha() {
    if (area_.posicaoX != 0) novaLinha();
}

void ImpressaoDocumento::avancarPontos(int n) {
    if (n < 0) n = 0;
    driver_->avancarPapel(n);
    // A feed ends the line the printer was holding.
    area_.posicaoX = 0;
    area_.altura += n;
    verificarTransbordo();
}

void ImpressaoDocumento::avancarMeiaLinha() { avancarPontos(alturaLinha() / 2); }

// ---------------------------------------------------------------- text primitives

void ImpressaoDocumento::escreverTexto(std::string_view texto) {
    if (texto.empty()) return;
    driver_->imprimirTexto(texto);
    area_.posicaoX += static_cast<int>(texto.size()) * avancoCaractere();
}

bool ImpressaoDocumento::ehQuebraPalavra(char c) const {
    return c == '-' || c == '.' || c == '/' || c == ':' || c == ';' || c == '|';
}

void ImpressaoDocumento::imprimirTextoQuebrado(std::string_view texto) {
    const int cw = avancoCaractere();
    if (area_.largura < cw || texto.empty()) return;
    // Nothing but blanks (and no line feed): nothing to print, the line stays as it is.
    if (std::all_of(texto.begin(), texto.end(), [](char c) { return branco(c) && c != '\n'; })) return;

    const size_t n = texto.size();
    constexpr size_t nenhum = std::string_view::npos;
    size_t inicio = 0, j = 0, corte = nenhum;
    int acumulado = area_.posicaoX;
    while (j < n) {
        acumulado += cw;
        if (j > inicio && (branco(texto[j - 1]) || ehQuebraPalavra(texto[j - 1]))) corte = j;
        const bool nl = texto[j] == '\n';
        bool ultimo = j == n - 1;
        if (acumulado > area_.largura || nl || ultimo) {
            if (branco(texto[j]) || (ultimo && acumulado <= area_.largura)) {
                ++j;
                corte = j;
            } else {
                ultimo = false;
            }
            if (corte == nenhum) corte = j;
            size_t fim = corte;
            while (fim > inicio && branco(texto[fim - 1])) --fim;
            escreverTexto(texto.substr(inicio, fim - inicio));
            inicio = corte;
            while (inicio < n && branco(texto[inicio]) && texto[inicio] != '\n') ++inicio;
            j = inicio;
            corte = nenhum;
            if (!ultimo || nl) encerrarLinha();
            acumulado = area_.posicaoX;
        } else {
            ++j;
        }
    }
}

void ImpressaoDocumento::imprimirCampo(std::string_view valor, unsigned flags, std::string_view separador,
                                       std::string_view rotulo) {
    const int cw = avancoCaractere();
    const std::string_view sep = area_.posicaoX != 0 ? separador : std::string_view();
    if (!((flags & OMITIR_VAZIO) && aparar(valor).empty())) {
        const int wValor = static_cast<int>(valor.size()) * cw;
        const int total = static_cast<int>(sep.size() + rotulo.size()) * cw + wValor;
        const int fim = area_.posicaoX + total;
        if (fim > area_.largura) {
            encerrarLinha();
            imprimirTextoQuebrado(rotulo);
            // The wrap drops the label's closing blank: keep it when the value follows on the line.
            const bool espaco = !rotulo.empty() && branco(rotulo.back()) && area_.posicaoX != 0;
            if (area_.posicaoX + wValor > area_.largura &&
                ((flags & NOVA_LINHA_VALOR) || ((flags & NOVA_LINHA_SE_CABE) && wValor <= area_.largura)))
                encerrarLinha();
            if ((flags & DIREITA) && area_.posicaoX + wValor <= area_.largura) {
                driver_->posicaoHorizontalAbsoluta(area_.esquerda + area_.largura - wValor - margemImpressora());
                area_.posicaoX = area_.largura - wValor;
            }
            if (espaco && area_.posicaoX != 0 && !valor.empty() && !branco(valor.front())) {
                // Appended, not `" " + std::string(valor)`: see comSinal (-Wrestrict at -O3).
                std::string texto(1, ' ');
                imprimirTextoQuebrado(texto.append(valor));
            } else {
                imprimirTextoQuebrado(valor);
            }
        } else {
            const bool direita = (flags & DIREITA) || ((flags & DIREITA_SE_OCUPADA) && area_.posicaoX != 0);
            if (direita)
                driver_->posicaoHorizontalAbsoluta(area_.esquerda + area_.largura - total - margemImpressora());
            std::string texto;
            texto.reserve(sep.size() + rotulo.size() + valor.size());
            texto.append(sep).append(rotulo).append(valor);
            if (!texto.empty()) driver_->imprimirTexto(texto);
            // After right-aligned text the line is full: what follows must not be drawn over it.
            area_.posicaoX = direita ? area_.largura : fim;
        }
    }
    if (flags & (ENCERRAR | DIREITA)) encerrarLinha();
}

void ImpressaoDocumento::imprimirCampo(const DadoFormatado& valor, unsigned flags, std::string_view separador,
                                       std::string_view rotulo) {
    imprimirCampo(valor.formatado(), flags, separador, rotulo);
}

void ImpressaoDocumento::imprimirRotuloValor(std::string_view rotulo, std::string_view valor) {
    encerrarLinha();
    imprimirCampo(rotulo, OMITIR_VAZIO, "", "");
    imprimirValorDireita(valor);
}

void ImpressaoDocumento::imprimirRotuloValor(std::string_view rotulo, const Decimal2& valor) {
    imprimirRotuloValor(rotulo, formatarValor(valor));
}

void ImpressaoDocumento::imprimirValorDireita(std::string_view valor) {
    imprimirCampo(valor, DIREITA | OMITIR_VAZIO | ENCERRAR, " ", "");
}

// ---------------------------------------------------------------- blocks

void ImpressaoDocumento::imprimirLinhaHorizontal(int x0, int x1) {
    avancarPontos(milimetrosParaPontos(0.4));
    driver_->imprimirPadraoTeste(std::max(x0, 0), std::max(x1, 0), 2);
    area_.posicaoX = 0;
    avancarPontos(milimetrosParaPontos(0.4));
}

void ImpressaoDocumento::imprimirSeparador() { imprimirLinhaHorizontal(0, larguraUtil()); }

void ImpressaoDocumento::imprimirSeparadorValores() {
    avancarPontos(milimetrosParaPontos(0.4));
    imprimirLinhaHorizontal(larguraUtil() - 15 * larguraCaractere(), larguraUtil());
    avancarPontos(milimetrosParaPontos(0.4));
}

void ImpressaoDocumento::imprimirTroco(const Decimal2& troco) {
    if (troco.zero()) return;
    imprimirRotuloValor("Troco " + simboloMoeda, troco);
}

void ImpressaoDocumento::imprimirTotal() {
    encerrarLinha();
    driver_->dobrarLargura();
    imprimirCampo("Total " + simboloMoeda, OMITIR_VAZIO);
    driver_->reduzirLargura();
    driver_->selecionarNegrito(true);
    imprimirValorDireita(formatarValor(valorTotal()));
    driver_->selecionarNegrito(false);
}

void ImpressaoDocumento::imprimirChaveAcesso(const std::string& chave) {
    driver_->selecionarAlinhamento(1);
    std::string texto;
    const size_t grupos = chave.size() / 4;
    for (size_t g = 0; g < grupos; ++g) {
        if (g) texto += ' ';
        texto.append(chave, g * 4, 4);
    }
    if (grupos >= 2 && colunasImpressora() < static_cast<int>(texto.size())) {
        const size_t k = (grupos / 2) * 5;
        imprimirCampo(std::string_view(texto).substr(0, k - 1), OMITIR_VAZIO);
        encerrarLinha();
        imprimirCampo(std::string_view(texto).substr(k), ENCERRAR);
    } else {
        imprimirCampo(texto, ENCERRAR);
    }
    driver_->selecionarAlinhamento(0);
}

void ImpressaoDocumento::imprimirCodigoBarrasChave(const std::string& chave) {
    if (chave.size() < 2 || chave.size() % 2 != 0 ||
        !std::all_of(chave.begin(), chave.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return;
    std::vector<uint8_t> pares;
    for (size_t i = 0; i < chave.size(); i += 2)
        pares.push_back(static_cast<uint8_t>((chave[i] - '0') * 10 + (chave[i + 1] - '0')));

    constexpr int kModulo = 2;
    const int altura = milimetrosParaPontos(6);
    const int espaco = milimetrosParaPontos(1.5);
    auto dadosSimbolo = [](std::vector<uint8_t>::const_iterator de, std::vector<uint8_t>::const_iterator ate) {
        std::vector<uint8_t> d{105};
        d.insert(d.end(), de, ate);
        return d;
    };
    auto imprimir = [&](const std::vector<uint8_t>& dados) {
        Printer::ParametrosCodigoBarras p;
        p.tipo = 8;
        p.dados = dados.data();
        p.n = static_cast<int>(dados.size());
        p.alinhamento = 1;
        p.largura = kModulo;
        p.altura = altura;
        p.margem = 0;
        p.posicaoHRI = 0;
        p.fonteHRI = 0;
        driver_->imprimirCodigoBarrasCompleto(p);
        area_.posicaoX = 0;
    };

    // One symbol only when it fits with its quiet zones; a narrower printout would cut it.
    const std::vector<uint8_t> inteiro = dadosSimbolo(pares.begin(), pares.end());
    bool cabe = false;
    if (auto s = Symbols::codificarCodigoBarras(8, inteiro.data(), inteiro.size())) {
        const int largura = (s->zonaSilenciosaEsquerda + s->largura() + s->zonaSilenciosaDireita) * kModulo;
        cabe = largura <= driver_->larguraPontos();
    }
    avancarPontos(espaco);
    if (cabe) {
        imprimir(inteiro);
    } else {
        const auto meio = pares.begin() + static_cast<std::ptrdiff_t>((pares.size() + 1) / 2);
        imprimir(dadosSimbolo(pares.begin(), meio));
        avancarPontos(espaco);
        imprimir(dadosSimbolo(meio, pares.end()));
    }
    // The barcode command leaves the margin at 0: give the area its own back.
    if (margemImpressora() != area_.esquerda) driver_->margemEsquerda(area_.esquerda);
}

void ImpressaoDocumento::imprimirEndereco(const Endereco& e) {
    if (e.logradouro.empty()) return;
    suspenderQuebra();
    imprimirCampo(e.logradouro, OMITIR_VAZIO, " - ");
    imprimirCampo(e.numero, OMITIR_VAZIO, ", ");
    imprimirCampo(e.complemento, OMITIR_VAZIO, " - ");
    retomarQuebra();
    suspenderQuebra();
    imprimirCampo(e.bairro, OMITIR_VAZIO, " - ");
    if (!e.uf.empty())
        imprimirCampo(e.municipio.empty() ? e.uf : e.municipio + "-" + e.uf, NOVA_LINHA_SE_CABE | OMITIR_VAZIO, ", ");
    else
        imprimirCampo(e.municipio, OMITIR_VAZIO, "-");
    imprimirCampo(CEP(e.cep), OMITIR_VAZIO | ENCERRAR, ", ", "CEP: ");
    retomarQuebra();
}

void ImpressaoDocumento::imprimirEmitente(const Emitente& e) {
    selecionarFonteCorpo();
    imprimirCampo(e.razaoSocial, ENCERRAR);
    if (e.nomeFantasia != e.razaoSocial) imprimirCampo(e.nomeFantasia, ENCERRAR);
    imprimirEndereco(e.endereco);
    avancarMeiaLinha();
    suspenderQuebra();
    imprimirCampo(CNPJ(e.cnpj), OMITIR_VAZIO, " ", "CNPJ: ");
    const unsigned f = centralizarCabecalho ? OMITIR_VAZIO : (OMITIR_VAZIO | DIREITA_SE_OCUPADA);
    imprimirCampo(IM(e.inscricaoEstadual, 0), f, " ", "I.E.: ");
    imprimirCampo(IM(e.inscricaoMunicipal, 0), f, " ", "I.M.: ");
    retomarQuebra();
}

Printer::Raster ImpressaoDocumento::carregarLogotipo() {
    if (caminhoLogo.empty() || !carregarImagem) return {};
    int disponivel = larguraUtil();
    if (alinhamentoLogo != 1) disponivel -= (colunasCabecalho + 1) * larguraCaractere();
    if (disponivel <= 0) return {};
    Printer::Bitmap imagem;
    if (!carregarImagem(caminhoLogo, imagem) || !imagem.valido() || imagem.largura <= 0 || imagem.linhas() <= 0)
        return {};
    int alvo = imagem.largura;
    if (tamanhoLogo >= 10 && tamanhoLogo <= 100) alvo = tamanhoLogo * disponivel / 100;
    alvo = std::min(alvo, disponivel);
    if (alvo < milimetrosParaPontos(2) || alvo <= 0) return {};
    const int altura = std::max(1, static_cast<int>(static_cast<long long>(imagem.linhas()) * alvo / imagem.largura));
    const Printer::Bitmap escalada = redimensionar(imagem, alvo, altura);
    return Printer::converterParaImpressora(driver_->larguraPontos(), escalada, 0, brilhoLogo);
}

void ImpressaoDocumento::imprimirCabecalho(const Emitente& emitente, const ParametrosImpressao& parametros) {
    const Printer::Raster logo = carregarLogotipo();
    driver_->selecionarModoPagina();
    restaurarArea();
    if (!logo.vazio()) {
        driver_->imprimirRaster(0, logo, parametros.alinhamentoLogo == 1 ? 1 : 0);
        if (parametros.alinhamentoLogo == 1) {
            avancarMeiaLinha();
        } else {
            driver_->posicionarAbsoluto(0, 0);
            const int textW = parametros.colunasCabecalho * larguraCaractere();
            definirArea(larguraUtil() - textW, 0, textW, logo.altura + milimetrosParaPontos(1), {});
        }
    }
    driver_->selecionarAlinhamento(parametros.centralizarCabecalho ? 1 : 0);
    imprimirEmitente(emitente);
    encerrarLinha();
    driver_->imprimirPagina();
    restaurarArea();
    driver_->selecionarAlinhamento(0);
}

void ImpressaoDocumento::imprimirConsumidor(const Destinatario& d) {
    const bool identificado = !d.cpf.empty() || !d.cnpj.empty();
    if (!identificado)
        imprimirCampo("CONSUMIDOR N\xC3O IDENTIFICADO", ENCERRAR);
    else if (!d.cpf.empty())
        imprimirCampo(CPF(d.cpf), NOVA_LINHA_VALOR, "", "CONSUMIDOR-CPF: ");
    else
        imprimirCampo(CNPJ(d.cnpj), NOVA_LINHA_VALOR, "", "CONSUMIDOR-CNPJ: ");
    if (identificado) imprimirCampo(d.nome, OMITIR_VAZIO, " - ");
    imprimirEndereco(d.enderecoEntrega);
    encerrarLinha();
    avancarMeiaLinha();
}

// ---------------------------------------------------------------- item table

Decimal2 ImpressaoDocumento::valorItem(int) const { return {}; }
Decimal2 ImpressaoDocumento::valorTotal() const { return {}; }
Decimal2 ImpressaoDocumento::valorAntesAjustes() const { return {}; }

std::string ImpressaoDocumento::montarTabelaItens(const DadosVenda& venda) {
    const int n = venda.itensValidos();
    const int digitos = static_cast<int>(std::to_string(std::max(n, 0)).size());
    std::string tabela;
    tabela.reserve(static_cast<size_t>(n) * 96);
    auto ajuste = [&tabela](const char* texto, const std::string& valor) {
        tabela.append(texto).append(8, '\t').append(valor).push_back('\n');
    };
    char numero[32];
    for (int i = 0; i < n; ++i) {
        const ItemVenda& item = venda.itens[i];
        std::snprintf(numero, sizeof numero, "%0*d", digitos, item.numeroItem);
        const bool fracao = item.quantidade.valor % 10000 != 0;
        tabela.append("\t").append(numero);
        tabela.append("\t").append(item.codigo);
        tabela.append("\t").append(item.descricao);
        tabela.append("\t").append(formatarNumero(item.quantidade.toString(), fracao ? 3 : 0, true));
        tabela.append("\t").append(item.unidade);
        // Every decimal of the document's unit price (up to 10), at least 2.
        tabela.append("\t").append(formatarNumero(DadosVenda::precoUnitario(item).toString(), 2, true));
        tabela.append("\t").append(formatarValor(item.valorTributos));
        tabela.append("\t").append(formatarValor(valorItem(i)));
        tabela.push_back('\n');
        if (opcoes & SEM_AJUSTES_ITEM) continue;
        if (!item.outros.zero()) ajuste("Acr\xE9scimo sobre item", comSinal('+', formatarValor(item.outros)));
        if (!item.desconto.zero()) ajuste("Desconto sobre item", comSinal('-', formatarValor(item.desconto)));
        if (opcoes & RATEIO_SUBTOTAL) {
            if (!item.rateioAcrescimo.zero())
                ajuste("Rateio de acr\xE9scimo sobre subtotal", comSinal('+', formatarValor(item.rateioAcrescimo)));
            if (!item.rateioDesconto.zero())
                ajuste("Rateio de desconto sobre subtotal", comSinal('-', formatarValor(item.rateioDesconto)));
        }
        if ((opcoes & ISSQN) && !item.issqn.baseCalculo.zero()) {
            ajuste("Dedu\xE7\xE3o para ISSQN", comSinal('-', formatarValor(item.issqn.deducao)));
            ajuste("Base de c\xE1lculo ISSQN", formatarValor(item.issqn.baseCalculo));
        }
    }
    return tabela;
}

void ImpressaoDocumento::imprimirItens(const DadosVenda& venda) {
    using Linha = std::array<std::string, 9>;
    std::vector<Linha> linhas;
    {
        const std::string tabela = montarTabelaItens(venda);
        size_t inicio = 0;
        while (inicio < tabela.size()) {
            size_t fim = tabela.find('\n', inicio);
            if (fim == std::string::npos) fim = tabela.size();
            const std::vector<std::string> campos = dividir(tabela.substr(inicio, fim - inicio), '\t');
            Linha l;
            for (size_t c = 0; c < l.size() && c < campos.size(); ++c) l[c] = campos[c];
            linhas.push_back(std::move(l));
            inicio = fim + 1;
        }
    }
    driver_->selecionarAlinhamento(0);
    selecionarFonteCorpo();

    const bool temTitulo = !titulosColunas[1].empty();
    if (temTitulo) {
        Linha t;
        for (int c = 1; c <= 3; ++c) t[c] = titulosColunas[c - 1];
        linhas.insert(linhas.begin(), t);
    }

    int w[9] = {};
    auto calcular = [&]() {
        std::fill(std::begin(w), std::end(w), 0);
        for (const Linha& l : linhas)
            for (int c = 1; c <= 8; ++c) w[c] = std::max(w[c], static_cast<int>(l[c].size()));
        w[1] = (opcoes & NUMERO_ITEM) ? w[1] + 1 : 0;
        w[7] = (opcoes & TRIBUTOS) ? w[7] + 3 : 0;
    };
    calcular();
    const int fixo = w[1] + w[2] + w[4] + w[5] + w[6] + w[7] + w[8] + 6;
    int minimo = larguraMinimaDescricao <= 17 ? 18 : larguraMinimaDescricao;
    const int cw = avancoCaractere();
    const int colunas = larguraUtil() / cw;
    const bool duasLinhas = (opcoesLeiaute & QUEBRA_LINHA) || minimo + fixo >= colunas;
    bool truncar = (opcoesLeiaute & TRUNCAR_DESCRICAO) != 0;
    int larguraDescricao;
    if (duasLinhas) {
        if (temTitulo) {
            for (int c : {4, 5, 6, 8}) linhas.front()[c] = titulosColunas[c - 1];
            calcular();
        }
        larguraDescricao = colunas - w[2] - w[1] - 1;
        w[4] = colunas - w[6] - w[5] - w[7] - w[8] - 4;
        if (larguraDescricao < minimo) truncar = false;
    } else {
        larguraDescricao = colunas - fixo;
    }
    larguraDescricao = std::max(larguraDescricao, 1);

    for (size_t r = 0; r < linhas.size(); ++r) {
        const Linha& l = linhas[r];
        if (!l[0].empty()) {
            imprimirCampo(l[0], OMITIR_VAZIO, "", "");
            imprimirCampo(l[8], DIREITA | NOVA_LINHA_VALOR | ENCERRAR, " ", "");
            continue;
        }
        if (temTitulo && r == 0 && (opcoes & TITULOS_NEGRITO)) driver_->selecionarNegrito(true);
        driver_->selecionarModoPagina();
        if (opcoes & NUMERO_ITEM) driver_->imprimirFormatado("%-*s ", std::max(w[1] - 1, 0), l[1].c_str());
        definirArea(w[1] * cw, 0, (w[2] + 1) * cw + larguraDescricao * cw, 0, {});
        imprimirCampo(formatar("%-*s ", w[2], l[2]), OMITIR_VAZIO);
        if (!(duasLinhas && (opcoes & DESCRICAO_SOB_CODIGO))) deslocarMargem(w[1] * cw + (w[2] + 1) * cw);
        if (truncar && static_cast<int>(l[3].size()) > larguraDescricao)
            imprimirTextoQuebrado(std::string_view(l[3]).substr(0, static_cast<size_t>(larguraDescricao)));
        else
            imprimirTextoQuebrado(l[3]);
        if (duasLinhas)
            deslocarMargem(0);
        else
            restaurarArea();
        std::string direita = l[4] + " " + formatar("%-*s", w[5], l[5]) + " " + formatar("%*s", w[6], l[6]);
        if (opcoes & TRIBUTOS) direita += formatar(" (%*s)", w[7] - 3, l[7]);
        direita += formatar("  %*s", w[8], l[8]);
        imprimirCampo(direita, DIREITA | NOVA_LINHA_VALOR | ENCERRAR, " ", "");
        restaurarArea();
        driver_->imprimirPagina();
        driver_->selecionarNegrito(false);
    }
}

}  // namespace Ordal::DocumentoFiscal
