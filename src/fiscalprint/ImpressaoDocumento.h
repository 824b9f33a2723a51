// Layout engine shared by the fiscal printouts (CF-e SAT receipt and cancellation, DANFE NFC-e).
// It owns no paper geometry: every width and height is in printer dots asked of the driver when
// needed, so one layout serves any roll width and font. Texts are Latin-1 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "fiscal/DocumentoFiscal.h"
#include "fiscalprint/DadoFormatado.h"
#include "printer/Driver.h"

namespace Ordal::DocumentoFiscal {

// What the document is: title lines, column titles of the item table, option bits.
struct ModeloDocumento {
    // Option bits read by the item table and the tax lines.
    enum : uint32_t {
        NUMERO_ITEM = 0x01,           // item-number column
        RATEIO_SUBTOTAL = 0x04,       // apportioned subtotal adjustment lines under each item
        DESCRICAO_SOB_CODIGO = 0x08,  // two-line layout: wrapped description stays under the code
        TRIBUTOS = 0x20,              // approximate-tax column and tax footer
        ISSQN = 0x40,                 // ISSQN deduction and base lines under each item
        TITULOS_NEGRITO = 0x80,       // column-title row in bold
        SEM_AJUSTES_ITEM = 0x100,     // no addition and discount lines under each item
    };

    std::array<std::string, 2> titulo;
    uint32_t opcoes = 0;
    std::array<std::string, 8> titulosColunas;  // columns 1..8 of the item table
};

// How the installation wants documents printed (filled from the configuration by the caller).
struct ParametrosImpressao {
    // Bits of opcoesLeiaute.
    enum : uint32_t {
        QUEBRA_LINHA = 0x002,          // force the two-line item layout
        TRUNCAR_DESCRICAO = 0x010,     // cut the item description to its column
        SEM_CORTE = 0x100,             // do not cut the paper at the end
        PIPE_NOVA_LINHA = 0x200,       // "|" is a line break in the contributor's observations
        VERIFICAR_CALCULOS = 0x400,    // verify the XML totals before printing
        LEIAUTE_PADRAO = 0x800,        // DANFE NFC-e in the layout of the published manual
        SEM_MENSAGEM_ICMS = 0x1000,    // DANFE NFC-e without "Não permite aproveitamento de crédito de ICMS"
        SEM_RODAPE_TRIBUTOS = 0x2000,  // CF-e without the footer of approximate taxes
    };

    std::string caminhoLogo;   // empty = no logo
    int colunasCabecalho = 0;  // text columns kept beside a logo at the left
    int brilhoLogo = 127;      // threshold of the 1-bit conversion of the logo
    int tamanhoLogo = 100;     // logo width in percent of the available width (10..100)
    std::string simboloMoeda = "R$";
    uint32_t opcoesLeiaute = 0;
    int fonte = 9;  // body font number (8..12 mean the driver's fonts 0..4)
    int fonteTitulo = 9;
    int centralizarCabecalho = 0;  // 0 left, 1 centred issuer text
    int alinhamentoLogo = 0;       // 1 = logo centred above the issuer; otherwise at the left
    int larguraMinimaDescricao = 20;

    // The driver every operation goes to (not owned; required).
    Printer::Driver* driver = nullptr;
    int larguraBobina = 80;  // paper width in mm, informative
    // Decoder of the logo file. Image files are read by a layer above this one, which installs
    // its decoder here; when empty no logo is printed.
    std::function<bool(const std::string& caminho, Printer::Bitmap& destino)> carregarImagem;
};

// The current print area, in dots.
struct AreaImpressao {
    int esquerda = 0;       // left edge
    int largura = 0;        // width
    int limite = 0;         // height past which the full-width area returns and aoTransbordar runs
    int posicaoX = 0;       // dots already used on the current line
    int altura = 0;         // dots fed since the area was set
    bool suspenso = false;  // while set aoTransbordar is not fired
    std::function<void()> aoTransbordar;
};

class ImpressaoDocumento : public ModeloDocumento, public ParametrosImpressao {
public:
    // Flags of imprimirCampo.
    enum : unsigned {
        ENCERRAR = 0x01,            // end the line afterwards
        OMITIR_VAZIO = 0x02,        // skip the field when its value is blank
        DIREITA_SE_OCUPADA = 0x04,  // right-align when the line already holds something
        NOVA_LINHA_VALOR = 0x08,    // value to a new line when it does not fit after the label
        DIREITA = 0x10,             // right-align and end the line
        NOVA_LINHA_SE_CABE = 0x20   // value to a new line when it would fit on a line of its own
    };

    // Throws std::invalid_argument when parametros.driver is null.
    ImpressaoDocumento(const ModeloDocumento& modelo, const ParametrosImpressao& parametros);
    ImpressaoDocumento(const ImpressaoDocumento&) = delete;
    ImpressaoDocumento& operator=(const ImpressaoDocumento&) = delete;

    // ---- virtual operations, in slot order ----
    virtual void ImprimirDocumento() = 0;
    virtual void imprimirEndereco(const Endereco& endereco);
    // The logo scaled for the header as a 1-bit image; empty when there is none.
    virtual Printer::Raster carregarLogotipo();
    virtual void imprimirEmitente(const Emitente& emitente);
    virtual void imprimirCabecalho(const Emitente& emitente, const ParametrosImpressao& parametros);
    virtual void imprimirConsumidor(const Destinatario& destinatario);
    // Feed 0.4 mm, dotted rule 2 dots high from x0 to x1, feed 0.4 mm.
    virtual void imprimirLinhaHorizontal(int x0, int x1);
    virtual void imprimirSeparador();
    // Access key (44 digits) as Code 128 set C.
    virtual void imprimirCodigoBarrasChave(const std::string& chave);
    // Access key as text in groups of four, centred.
    virtual void imprimirChaveAcesso(const std::string& chave);
    virtual void imprimirSeparadorValores();
    virtual void imprimirTroco(const Decimal2& troco);
    virtual void imprimirTotal();
    // One line per item and per adjustment, nine tab-separated fields each.
    virtual std::string montarTabelaItens(const DadosVenda& venda);
    virtual void imprimirItens(const DadosVenda& venda);
    // Printable dots per line, a whole number of body characters; never below one character.
    virtual int larguraUtil() const;
    virtual void restaurarArea();
    // Moves the left edge to x keeping the right edge.
    virtual void deslocarMargem(int x);
    virtual bool ehQuebraPalavra(char c) const;
    virtual void imprimirTextoQuebrado(std::string_view texto);
    virtual void novaLinha();
    virtual Decimal2 valorItem(int posicao) const;
    virtual Decimal2 valorTotal() const;
    virtual Decimal2 valorAntesAjustes() const;
    virtual void encerrarLinha();
    // Ignored when the area would start beyond the paper or could not hold one body character.
    virtual void definirArea(int esquerda, int altura, int largura, int limite, std::function<void()> aoTransbordar);

    virtual ~ImpressaoDocumento();

    // ---- primitives ----
    void imprimirCampo(std::string_view valor, unsigned flags, std::string_view separador = "",
                       std::string_view rotulo = "");
    void imprimirCampo(const DadoFormatado& valor, unsigned flags, std::string_view separador = "",
                       std::string_view rotulo = "");
    // Label at the left, value at the right edge.
    void imprimirRotuloValor(std::string_view rotulo, std::string_view valor);
    void imprimirRotuloValor(std::string_view rotulo, const Decimal2& valor);
    void imprimirValorDireita(std::string_view valor);
    void avancarPontos(int n);
    void avancarMeiaLinha();
    void suspenderQuebra();
    void retomarQuebra();

    // Amount text: Brazilian form, 2 decimals, thousands grouped.
    static std::string formatarValor(const Decimal2& valor);
    // Millimetres to dots at the driver's resolution, truncated.
    int milimetrosParaPontos(double mm) const;
    // Character cell width of the body font in dots (at least 1).
    int larguraCaractere() const;
    // Character advance of the current font and size (at least 1).
    int avancoCaractere() const;
    // Line height of the current font and size (at least 1).
    int alturaLinha() const;
    // Characters of the current font that fit in larguraUtil().
    int colunasImpressora() const;
    // Selects the body font (or another font number with the same numbering).
    void selecionarFonteCorpo() { selecionarFonteNumero(fonte); }
    void selecionarFonteNumero(int numero);

    const AreaImpressao& area() const { return area_; }
    Printer::Driver& impressora() const { return *driver_; }

protected:
    // Prints text as it is on the current line, advancing posicaoX (no wrapping).
    void escreverTexto(std::string_view texto);
    // The left margin the printer holds; horizontal positions count from it.
    int margemImpressora() const { return driver_->Printer::Status::margemEsquerda; }
    // Runs the overflow rule: back to full width and the callback once limite is passed.
    void verificarTransbordo();

    Printer::Driver* driver_;
    AreaImpressao area_;
};

// Removes blanks (bytes 32 or less) at both ends.
std::string aparar(std::string_view texto);
// Replaces every occurrence of de by para.
std::string substituirTodos(std::string texto, std::string_view de, std::string_view para);

}  // namespace Ordal::DocumentoFiscal
