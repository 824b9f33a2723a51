#include "fiscalprint/ImpressaoDocumento.h"

#include <stdexcept>

namespace Ordal::DocumentoFiscal {

ImpressaoDocumento::ImpressaoDocumento(const ModeloDocumento& modelo, const ParametrosImpressao& parametros)
    : ModeloDocumento(modelo), ParametrosImpressao(parametros), driver_(parametros.driver) {
    if (!driver_) throw std::invalid_argument("ImpressaoDocumento sem driver");
}
ImpressaoDocumento::~ImpressaoDocumento() = default;
void ImpressaoDocumento::imprimirEndereco(const Endereco&) {}
Printer::Raster ImpressaoDocumento::carregarLogotipo() { return {}; }
void ImpressaoDocumento::imprimirEmitente(const Emitente&) {}
void ImpressaoDocumento::imprimirCabecalho(const Emitente&, const ParametrosImpressao&) {}
void ImpressaoDocumento::imprimirConsumidor(const Destinatario&) {}
void ImpressaoDocumento::imprimirLinhaHorizontal(int, int) {}
void ImpressaoDocumento::imprimirSeparador() {}
void ImpressaoDocumento::imprimirCodigoBarrasChave(const std::string&) {}
void ImpressaoDocumento::imprimirChaveAcesso(const std::string&) {}
void ImpressaoDocumento::imprimirSeparadorValores() {}
void ImpressaoDocumento::imprimirTroco(const Decimal2&) {}
void ImpressaoDocumento::imprimirTotal() {}
std::string ImpressaoDocumento::montarTabelaItens(const DadosVenda&) { return {}; }
void ImpressaoDocumento::imprimirItens(const DadosVenda&) {}
int ImpressaoDocumento::larguraUtil() const { return 1; }
void ImpressaoDocumento::restaurarArea() {}
void ImpressaoDocumento::deslocarMargem(int) {}
bool ImpressaoDocumento::ehQuebraPalavra(char) const { return false; }
void ImpressaoDocumento::imprimirTextoQuebrado(std::string_view) {}
void ImpressaoDocumento::novaLinha() {}
Decimal2 ImpressaoDocumento::valorItem(int) const { return {}; }
Decimal2 ImpressaoDocumento::valorTotal() const { return {}; }
Decimal2 ImpressaoDocumento::valorAntesAjustes() const { return {}; }
void ImpressaoDocumento::encerrarLinha() {}
void ImpressaoDocumento::definirArea(int, int, int, int, std::function<void()>) {}
void ImpressaoDocumento::imprimirCampo(std::string_view, unsigned, std::string_view, std::string_view) {}
void ImpressaoDocumento::imprimirCampo(const DadoFormatado&, unsigned, std::string_view, std::string_view) {}
void ImpressaoDocumento::imprimirRotuloValor(std::string_view, std::string_view) {}
void ImpressaoDocumento::imprimirRotuloValor(std::string_view, const Decimal2&) {}
void ImpressaoDocumento::imprimirValorDireita(std::string_view) {}
void ImpressaoDocumento::avancarPontos(int) {}
void ImpressaoDocumento::avancarMeiaLinha() {}
void ImpressaoDocumento::suspenderQuebra() {}
void ImpressaoDocumento::retomarQuebra() {}
std::string ImpressaoDocumento::formatarValor(const Decimal2&) { return {}; }
int ImpressaoDocumento::milimetrosParaPontos(double) const { return 0; }
int ImpressaoDocumento::larguraCaractere() const { return 1; }
int ImpressaoDocumento::avancoCaractere() const { return 1; }
int ImpressaoDocumento::alturaLinha() const { return 1; }
int ImpressaoDocumento::colunasImpressora() const { return 1; }
void ImpressaoDocumento::selecionarFonteNumero(int) {}
void ImpressaoDocumento::escreverTexto(std::string_view) {}
void ImpressaoDocumento::verificarTransbordo() {}
std::string aparar(std::string_view t) { return std::string(t); }
std::string substituirTodos(std::string t, std::string_view, std::string_view) { return t; }

}  // namespace Ordal::DocumentoFiscal
