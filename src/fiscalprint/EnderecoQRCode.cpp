#include "fiscalprint/EnderecoQRCode.h"

#include "fiscalprint/SHA1.h"
#include "printer/QRCodeRaster.h"

namespace Ordal::NFCe {

std::string textoHexadecimal(const std::string& bytes) {
    static const char digitos[] = "0123456789abcdef";
    std::string texto;
    texto.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        texto += digitos[c >> 4];
        texto += digitos[c & 0x0F];
    }
    return texto;
}

std::string parametrosQRCodeV1(const NotaFiscalEletronicaSaida& nota, const std::string& identificadorToken) {
    const std::string chave = nota.chaveAcesso.size() > 3 ? nota.chaveAcesso.substr(3) : std::string();
    const std::string& documento = nota.destinatario.cnpj.empty() ? nota.destinatario.cpf : nota.destinatario.cnpj;

    std::string p = "chNFe=" + chave;
    p += "&nVersao=100";
    p += "&tpAmb=" + std::to_string(nota.tipoAmbiente);
    if (!documento.empty()) p += "&cDest=" + documento;
    p += "&dhEmi=" + textoHexadecimal(nota.dataHoraEmissao);
    // The published layout wants decimal text with a point and two decimals.
    p += "&vNF=" + nota.valorTotal.toString();
    p += "&vICMS=" + nota.totalICMS.vICMS.toString();
    p += "&digVal=" + textoHexadecimal(nota.assinatura.digestValue);
    p += "&cIdToken=" + identificadorToken;
    return p;
}

std::string montarEnderecoQRCode(const NotaFiscalEletronicaSaida& nota, const std::string& identificadorToken,
                                 const std::string& codigoSeguranca, const std::string& base) {
    const std::string parametros = parametrosQRCodeV1(nota, identificadorToken);
    // Without the security code in the digest the authority could not tell a forged code.
    const std::string resumo = Misc::sha1Hex(parametros + codigoSeguranca);
    std::string endereco = base;
    if (!endereco.empty() && endereco.back() != '?') endereco += '?';
    endereco += parametros;
    endereco += "&cHashQRCode=" + resumo;
    return endereco;
}

std::string textoQRCode(const NotaFiscalEletronicaSaida& nota, const std::string& identificadorToken,
                        const std::string& codigoSeguranca, const std::string& base) {
    if (!nota.qrCodeTexto.empty()) return nota.qrCodeTexto;
    return montarEnderecoQRCode(nota, identificadorToken, codigoSeguranca, base);
}

int ladoSimboloQRCode(int dpi, int modulos, int ladoMinimoMm) {
    const long long decimos = static_cast<long long>(dpi) * (ladoMinimoMm > 0 ? ladoMinimoMm : 22) * 10;
    // A minimum side must be reached, so it rounds up; the usual 22 mm is truncated.
    int lado = static_cast<int>(ladoMinimoMm > 0 ? (decimos + 253) / 254 : decimos / 254);
    if (modulos > 0 && lado % modulos != 0) lado += modulos - lado % modulos;
    return lado;
}

Printer::Raster gerarSimboloQRCode(const std::string& texto, int dpi, int ladoMinimoMm) {
    Printer::ParametrosQRCode p;
    p.dados = texto;
    p.tamanhoModulo = 1;
    p.nivelCorrecao = 1;  // M
    const Printer::Raster modulos = Printer::gerarRasterQRCode(p);
    if (modulos.vazio()) return {};
    const int lado = ladoSimboloQRCode(dpi, modulos.largura, ladoMinimoMm);
    return Printer::redimensionarRaster(modulos, lado, lado);
}

}  // namespace Ordal::NFCe
