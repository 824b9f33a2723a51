#include "fiscal/NFCe.h"

#include "fiscal/LeituraXML.h"
#include "xml/XML.h"

namespace Ordal::NFCe {

using namespace DocumentoFiscal;
using namespace DocumentoFiscal::Leitura;

void separarDataHora(const std::string& t, std::string& data, std::string& hora) {
    if (t.size() <= 18) return;
    data = t.substr(0, 4) + t.substr(5, 2) + t.substr(8, 2);
    hora = t.substr(11, 2) + t.substr(14, 2) + t.substr(17, 2);
}

void lerParteComum(const XML::Document& doc, DadosNotaFiscalEletronica& d) {
    lerDeclaracao(doc, d);
    const XML::_Node& inf = doc.findAny("nfeProc/NFe/infNFe", "NFe/infNFe", "nfeProc/NFeCanc/infNFe", "NFeCanc/infNFe");
    inf.attribute("Id").readText(d.chaveAcesso);

    const XML::_Node& ide = inf.find("ide");
    ide.find("cUF").readInt(d.codigoUF);
    ide.find("cNF").readText(d.codigoNumerico);
    ide.find("mod").readText(d.modelo);
    ide.find("serie").readText(d.serie);
    ide.find("nNF").readText(d.numeroDocumento);
    ide.find("dhEmi").readText(d.dataHoraEmissao);
    ide.find("dhSaiEnt").readText(d.dataHoraSaidaEntrada);
    ide.find("tpAmb").readInt(d.tipoAmbiente);
    ide.find("tpEmis").readInt(d.tipoEmissao);

    lerEmitente(inf.find("emit"), d.emitente);
    lerDestinatario(inf.find("dest"), d.destinatario);
    lerEndereco(inf.find("dest/enderDest"), d.destinatario.enderecoEntrega);
    inf.find("total/ICMSTot/vNF").readDecimal(d.valorTotal);
    inf.find("infAdic/infCpl").readText(d.informacoesComplementares);
    lerObservacoesFisco(inf.find("infAdic/obsFisco"), d.observacoesFisco);

    // A bare NFe (not yet in its authorised envelope) is signed as well: its digest goes into the
    // QR code address built for it.
    lerAssinatura(doc.findAny("nfeProc/NFe/Signature", "NFe/Signature"), d.assinatura);

    const XML::_Node& prot = doc.find("nfeProc/protNFe/infProt");
    if (XML::exists(prot)) {
        ProtocoloAutorizacao& p = d.protocolo;
        prot.find("tpAmb").readInt(p.tipoAmbiente);
        prot.find("nProt").readText(p.numeroProtocolo);
        prot.find("digVal").readText(p.digestValue);
        prot.find("verAplic").readText(p.versaoAplicativo);
        prot.find("chNFe").readText(p.chaveAcesso);
        std::string recebimento;
        prot.find("dhRecbto").readText(recebimento);
        separarDataHora(recebimento, p.dataRecebimento, p.horaRecebimento);
    }

    const XML::_Node& supl = doc.findAny("nfeProc/NFe/infNFeSupl", "NFe/infNFeSupl");
    std::string qrCode;
    supl.find("qrCode").readText(qrCode);
    d.qrCodeTexto = semBrancosECdata(qrCode);
    std::string url;
    supl.find("urlChave").readText(url);
    d.urlChave = semBrancosECdata(url);

    separarDataHora(d.dataHoraEmissao, d.dataEmissao, d.horaEmissao);
    d.emitente.endereco.uf = siglaUF(d.codigoUF);
}

void NotaFiscalEletronicaSaida::reiniciar() {
    static_cast<DadosNotaFiscalEletronica&>(*this) = DadosNotaFiscalEletronica();
    reiniciarVendaEletronica();
    valoresProduto.fill(Decimal2());
}

namespace {

void lerPagamento(const XML::_Node& no, MeioPagamento& pagamento) {
    int codigo = 0;
    no.find("tPag").readInt(codigo);
    if (codigoPagamentoValido(codigo)) pagamento.codigo = codigo;
    no.find("vPag").readDecimal(pagamento.valor);
    no.find("xPag").readText(pagamento.descricao);
}

void lerCartao(const XML::_Node& card, MeioPagamento& pagamento) {
    card.find("CNPJ").readText(pagamento.cnpjCredenciadora);
    card.find("tBand").readInt(pagamento.bandeira);
    card.find("cAut").readText(pagamento.autorizacao);
}

}  // namespace

bool NotaFiscalEletronicaSaida::interpretarXML(const XML::Document& doc) {
    reiniciar();
    NotaFiscalEletronica::interpretarXML(doc);
    const XML::_Node& inf = doc.findAny("nfeProc/NFe/infNFe", "NFe/infNFe");
    Decimal2 soma = lerItens(inf.find("det"), *this, valoresProduto);
    lerTotais(inf.find("total"), *this);
    const XML::_Node& vTotTrib = inf.find("total/ICMSTot/vTotTrib");
    vTotTrib.readDecimal(valorTributos);
    tributosInformados = XML::exists(vTotTrib);

    const XML::_Node& pag = inf.find("pag");
    const XML::_Node& detPag = pag.find("detPag");
    if (XML::exists(detPag)) {
        // Layout 4.00: one pag holding a detPag per payment, each with its optional card.
        const XML::_Node* no = &detPag;
        for (auto& pagamento : pagamentos) {
            if (!XML::exists(*no)) break;
            lerPagamento(*no, pagamento);
            lerCartao(no->find("card"), pagamento);
            no = &proximoNaSequencia(*no);
        }
    } else {
        // Older layouts: one pag per payment with tPag and vPag directly inside.
        const XML::_Node* no = &pag;
        for (auto& pagamento : pagamentos) {
            if (!XML::exists(*no)) break;
            lerPagamento(*no, pagamento);
            no = &proximoNaSequencia(*no);
        }
    }
    // The change of layout 4.00; some issuers of older layouts already wrote it in their pag.
    pag.find("vTroco").readDecimal(troco);

    if (!XML::exists(inf.find("total/ICMSTot/vNF"))) valorTotal = soma;
    return true;
}

bool NotaFiscalEletronicaCancelamento::interpretarXML(const XML::Document& doc) {
    static_cast<DadosNotaFiscalEletronica&>(*this) = DadosNotaFiscalEletronica();
    static_cast<DadosNotaFiscalCancelamento&>(*this) = DadosNotaFiscalCancelamento();
    const XML::_Node& inf = doc.findAny("nfeProc/CFeCanc/infNFe", "CFeCanc/infNFe");
    inf.attribute("chCanc").readText(chaveCancelada);
    inf.find("dEmi").readText(dataEmissaoOriginal);
    inf.find("hEmi").readText(horaEmissaoOriginal);
    return NotaFiscalEletronica::interpretarXML(doc);
}

}  // namespace Ordal::NFCe
