#include "fiscal/CFe.h"

#include <cstdio>

#include "fiscal/LeituraXML.h"
#include "xml/XML.h"

namespace Ordal::CFe {

using namespace DocumentoFiscal;
using namespace DocumentoFiscal::Leitura;

void lerParteComum(const XML::Document& doc, DadosCupomFiscalEletronico& d) {
    lerDeclaracao(doc, d);
    const XML::_Node& inf = doc.findAny("CFe/infCFe", "CFeCanc/infCFe");
    inf.attribute("versaoDadosEnt").readDigits(d.versaoDadosEnt);
    inf.attribute("versaoSB").readText(d.versaoSB);
    inf.attribute("versao").readDigits(d.versaoLeiaute);
    inf.attribute("Id").readText(d.chaveAcesso);

    const XML::_Node& ide = inf.find("ide");
    ide.find("cUF").readInt(d.codigoUF);
    ide.find("cNF").readText(d.codigoNumerico);
    ide.find("mod").readText(d.modelo);
    ide.find("nserieSAT").readText(d.numeroSerieSAT);
    ide.find("nCFe").readText(d.numeroDocumento);
    ide.find("dEmi").readText(d.dataEmissao);
    ide.find("hEmi").readText(d.horaEmissao);
    ide.find("tpAmb").readInt(d.tipoAmbiente);
    ide.find("CNPJ").readText(d.cnpjSoftwareHouse);
    ide.find("signAC").readText(d.assinaturaAC);
    ide.find("assinaturaQRCODE").readText(d.assinaturaQRCODE);
    ide.find("numeroCaixa").readInt(d.numeroCaixa);

    lerEmitente(inf.find("emit"), d.emitente);
    lerDestinatario(inf.find("dest"), d.destinatario);
    lerEndereco(inf.find("entrega"), d.destinatario.enderecoEntrega);
    inf.find("total/vCFe").readDecimal(d.valorTotal);
    inf.findAny("infAdic/infCpl", "infCpl").readText(d.informacoesComplementares);
    // Some issuers put obsFisco directly under infCFe instead of inside infAdic.
    lerObservacoesFisco(inf.findAny("infAdic/obsFisco", "obsFisco"), d.observacoesFisco);
    // Only a sale carries the signature on this path; a cancellation leaves it empty.
    lerAssinatura(doc.find("CFe/Signature"), d.assinatura);
    d.emitente.endereco.uf = siglaUF(d.codigoUF);
}

void CupomFiscalEletronico::reiniciar() {
    static_cast<DadosCupomFiscalEletronico&>(*this) = DadosCupomFiscalEletronico();
    reiniciarVendaEletronica();
    valoresProduto.fill(Decimal2());
}

bool CupomFiscalEletronico::interpretarXML(const XML::Document& doc) {
    reiniciar();
    CupomEletronico::interpretarXML(doc);
    const XML::_Node& inf = doc.find("CFe/infCFe");
    Decimal2 soma = lerItens(inf.find("det"), *this, valoresProduto);

    lerTotais(inf.find("total"), *this);

    const XML::_Node* mp = &inf.find("pgto").find("MP");
    for (auto& pagamento : pagamentos) {
        if (!XML::exists(*mp)) break;
        int codigo = 0;
        mp->find("cMP").readInt(codigo);
        if (codigoPagamentoValido(codigo)) pagamento.codigo = codigo;
        mp->find("vMP").readDecimal(pagamento.valor);
        mp->find("cAdmC").readInt(pagamento.credenciadora);
        mp = &proximoNaSequencia(*mp);
    }
    inf.find("pgto/vTroco").readDecimal(troco);

    if (!XML::exists(inf.find("total/vCFe"))) valorTotal = soma;
    tributosInformados = XML::exists(inf.find("total/vCFeLei12741"));
    return true;
}

bool CupomCancelamento::interpretarXML(const XML::Document& doc) {
    static_cast<DadosCupomFiscalEletronico&>(*this) = DadosCupomFiscalEletronico();
    static_cast<DadosCupomFiscalCancelamento&>(*this) = DadosCupomFiscalCancelamento();
    const XML::_Node& inf = doc.find("CFeCanc/infCFe");
    inf.attribute("chCanc").readText(chaveCancelada);
    inf.find("dEmi").readText(dataEmissaoOriginal);
    inf.find("hEmi").readText(horaEmissaoOriginal);
    return CupomEletronico::interpretarXML(doc);
}

// ---------------------------------------------------------------- XML writer

namespace {

using XML::_Node;

_Node* elemento(const std::string& nome, const std::string& texto = {}) { return new XML::Element(nome, texto); }

_Node* elemento(const std::string& nome, _Node* atributos) { return new XML::Element(nome, std::string(), atributos); }

void filho(_Node& pai, const std::string& nome, const std::string& texto) { pai.append(elemento(nome, texto)); }

void filhoSeHouver(_Node& pai, const std::string& nome, const std::string& texto) {
    if (!texto.empty()) filho(pai, nome, texto);
}

std::string inteiro(int v) { return std::to_string(v); }

// Layout versions are kept as their digits (7 for 0.07); a SAT unit takes them as "0.07".
std::string versao(int digitos) {
    if (digitos < 0) digitos = 0;
    char buf[24];
    std::snprintf(buf, sizeof buf, "%d.%02d", digitos / 100, digitos % 100);
    return buf;
}

std::string caixa(int numero) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%03d", numero);
    return buf;
}

_Node* declaracao(const DadosDocumentoFiscalEletronico& d) {
    _Node* atributos = new XML::Attribute("version", d.versaoXML);
    atributos->append(new XML::Attribute("encoding", d.codificacaoXML));
    return new XML::ProcessingInstruction("xml", atributos);
}

_Node* ide(const DadosCupomFiscalEletronico& d) {
    _Node* e = elemento("ide");
    filho(*e, "CNPJ", d.cnpjSoftwareHouse);
    filho(*e, "signAC", d.assinaturaAC);
    filho(*e, "numeroCaixa", caixa(d.numeroCaixa));
    return e;
}

_Node* emit(const DadosCupomFiscalEletronico& d) {
    const Emitente& m = d.emitente;
    _Node* e = elemento("emit");
    filho(*e, "CNPJ", m.cnpj);
    filho(*e, "IE", m.inscricaoEstadual);
    filhoSeHouver(*e, "IM", m.inscricaoMunicipal);
    if (m.regimeTributarioISSQN != 0) filho(*e, "cRegTribISSQN", inteiro(m.regimeTributarioISSQN));
    if (m.rateioISSQN == 'S' || m.rateioISSQN == 'N') filho(*e, "indRatISSQN", std::string(1, m.rateioISSQN));
    return e;
}

_Node* dest(const DadosCupomFiscalEletronico& d) {
    const Destinatario& c = d.destinatario;
    _Node* e = elemento("dest");
    if (!c.cnpj.empty())
        filho(*e, "CNPJ", c.cnpj);
    else
        filhoSeHouver(*e, "CPF", c.cpf);
    filhoSeHouver(*e, "xNome", c.nome);
    return e;
}

_Node* entrega(const Endereco& a) {
    _Node* e = elemento("entrega");
    filhoSeHouver(*e, "xLgr", a.logradouro);
    filhoSeHouver(*e, "nro", a.numero);
    filhoSeHouver(*e, "xCpl", a.complemento);
    filhoSeHouver(*e, "xBairro", a.bairro);
    filhoSeHouver(*e, "xMun", a.municipio);
    filhoSeHouver(*e, "UF", a.uf);
    return e;
}

_Node* icms(const ImpostoICMS& i) {
    std::string origem = i.origem ? std::string(1, i.origem) : std::string("0");
    _Node* g = nullptr;
    switch (i.cst) {
    case 0:
    case 20:
    case 90:
        g = elemento("ICMS00");
        filho(*g, "Orig", origem);
        filho(*g, "CST", i.cst == 0 ? "00" : inteiro(i.cst));
        filho(*g, "pICMS", i.aliquota.toString());
        break;
    case 40:
    case 41:
    case 50:
    case 60:
        g = elemento("ICMS40");
        filho(*g, "Orig", origem);
        filho(*g, "CST", inteiro(i.cst));
        break;
    case 102:
    case 300:
    case 400:
    case 500:
        g = elemento("ICMSSN102");
        filho(*g, "Orig", origem);
        filho(*g, "CSOSN", inteiro(i.cst));
        break;
    case 900:
        g = elemento("ICMSSN900");
        filho(*g, "Orig", origem);
        filho(*g, "CSOSN", inteiro(i.cst));
        filho(*g, "pICMS", i.aliquota.toString());
        break;
    default: return nullptr;
    }
    _Node* e = elemento("ICMS");
    e->append(g);
    return e;
}

std::string cstContribuicao(int cst) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", cst);
    return buf;
}

// Rate by value (vBC and p-rate) or by quantity (qBCProd and vAliqProd).
void porValorOuQuantidade(_Node& g, const ImpostoPISCOFINS& c, const std::string& sufixo) {
    if (c.quantidadeVendida.zero() && c.aliquotaValor.zero()) {
        filho(g, "vBC", c.baseCalculo.toString());
        filho(g, "p" + sufixo, c.aliquota.toString());
    } else {
        filho(g, "qBCProd", c.quantidadeVendida.toString());
        filho(g, "vAliqProd", c.aliquotaValor.toString());
    }
}

_Node* contribuicao(const ImpostoPISCOFINS& c, const std::string& sufixo) {
    _Node* g = nullptr;
    switch (c.cst) {
    case 1:
    case 2:
    case 5:
        g = elemento(sufixo + "Aliq");
        filho(*g, "CST", cstContribuicao(c.cst));
        filho(*g, "vBC", c.baseCalculo.toString());
        filho(*g, "p" + sufixo, c.aliquota.toString());
        break;
    case 3:
        g = elemento(sufixo + "Qtde");
        filho(*g, "CST", cstContribuicao(c.cst));
        filho(*g, "qBCProd", c.quantidadeVendida.toString());
        filho(*g, "vAliqProd", c.aliquotaValor.toString());
        break;
    case 4:
    case 6:
    case 7:
    case 8:
    case 9:
        g = elemento(sufixo + "NT");
        filho(*g, "CST", cstContribuicao(c.cst));
        break;
    case 49:
        g = elemento(sufixo + "SN");
        filho(*g, "CST", cstContribuicao(c.cst));
        break;
    case 99:
        g = elemento(sufixo + "Outr");
        filho(*g, "CST", cstContribuicao(c.cst));
        porValorOuQuantidade(*g, c, sufixo);
        break;
    default: return nullptr;
    }
    _Node* e = elemento(sufixo);
    e->append(g);
    return e;
}

_Node* contribuicaoST(const ImpostoPISCOFINS& c, const std::string& sufixo) {
    if (c.baseCalculo.zero() && c.aliquota.zero() && c.quantidadeVendida.zero() && c.aliquotaValor.zero())
        return nullptr;
    _Node* e = elemento(sufixo + "ST");
    porValorOuQuantidade(*e, c, sufixo);
    return e;
}

bool temISSQN(const ImpostoISSQN& s) {
    return !s.aliquota.zero() || !s.deducao.zero() || !s.itemListaServico.empty() || !s.municipioFatoGerador.empty() ||
           !s.codigoServicoMunicipio.empty();
}

_Node* issqn(const ImpostoISSQN& s) {
    _Node* e = elemento("ISSQN");
    filho(*e, "vDeducISSQN", s.deducao.toString());
    filho(*e, "vAliq", s.aliquota.toString());
    filhoSeHouver(*e, "cMunFG", s.municipioFatoGerador);
    filho(*e, "cListServ", s.itemListaServico);
    filho(*e, "cServTribMun", s.codigoServicoMunicipio);
    filho(*e, "cNatOp", cstContribuicao(s.naturezaOperacao));
    filho(*e, "indIncFisc", std::string(1, s.incentivoFiscal ? s.incentivoFiscal : '2'));
    return e;
}

_Node* det(const ItemVenda& item, int posicao) {
    _Node* e =
        elemento("det", new XML::Attribute("nItem", inteiro(item.numeroItem != 0 ? item.numeroItem : posicao + 1)));
    _Node* prod = elemento("prod");
    filho(*prod, "cProd", item.codigo);
    filhoSeHouver(*prod, "cEAN", item.codigoBarras);
    filho(*prod, "xProd", item.descricao);
    filhoSeHouver(*prod, "NCM", item.ncm);
    filhoSeHouver(*prod, "CEST", item.cest);
    filho(*prod, "CFOP", item.cfop);
    filho(*prod, "uCom", item.unidade);
    filho(*prod, "qCom", item.quantidade.toString());
    filho(*prod, "vUnCom", item.valorUnitario.toString());
    filho(*prod, "indRegra", std::string(1, item.regraCalculo == 'T' ? 'T' : 'A'));
    filho(*prod, "vDesc", item.desconto.toString());
    filho(*prod, "vOutro", item.outros.toString());
    e->append(prod);

    _Node* imposto = elemento("imposto");
    filho(*imposto, "vItem12741", item.valorTributos.toString());
    _Node* grupoICMS = icms(item.icms);
    if (grupoICMS)
        imposto->append(grupoICMS);
    else if (temISSQN(item.issqn))
        imposto->append(issqn(item.issqn));
    imposto->append(contribuicao(item.pis, "PIS"));
    imposto->append(contribuicaoST(item.pisST, "PIS"));
    imposto->append(contribuicao(item.cofins, "COFINS"));
    imposto->append(contribuicaoST(item.cofinsST, "COFINS"));
    e->append(imposto);
    filhoSeHouver(*e, "infAdProd", item.informacaoAdicional);
    return e;
}

std::string serializar(XML::Document& doc) { return doc.toStringTree(false, XML::latin1ToUtf8); }

}  // namespace

std::string CupomFiscalEletronico::gerarXML() const {
    XML::Document doc;
    doc.append(declaracao(*this));
    _Node* raiz = elemento("CFe");
    _Node* inf = elemento("infCFe", new XML::Attribute("versaoDadosEnt", versao(versaoDadosEnt)));
    raiz->append(inf);
    inf->append(ide(*this));
    inf->append(emit(*this));
    inf->append(dest(*this));
    if (!destinatario.enderecoEntrega.logradouro.empty()) inf->append(entrega(destinatario.enderecoEntrega));

    int n = itensValidos();
    for (int i = 0; i < n; ++i) inf->append(det(itens[i], i));

    _Node* total = elemento("total");
    if (!descontoSubtotal.zero() || !acrescimoSubtotal.zero()) {
        _Node* ajuste = elemento("DescAcrEntr");
        if (!descontoSubtotal.zero()) filho(*ajuste, "vDescSubtot", descontoSubtotal.toString());
        if (!acrescimoSubtotal.zero()) filho(*ajuste, "vAcresSubtot", acrescimoSubtotal.toString());
        total->append(ajuste);
    }
    if (!valorTributos.zero()) filho(*total, "vCFeLei12741", valorTributos.toString());
    inf->append(total);

    _Node* pgto = elemento("pgto");
    bool algum = false;
    for (const auto& p : pagamentos) {
        if (p.valor.zero()) continue;
        _Node* mp = elemento("MP");
        filho(*mp, "cMP", cstContribuicao(p.codigo));
        filho(*mp, "vMP", p.valor.toString());
        if (p.credenciadora != 0) filho(*mp, "cAdmC", caixa(p.credenciadora));
        pgto->append(mp);
        algum = true;
    }
    if (algum)
        inf->append(pgto);
    else
        delete pgto;

    if (!informacoesComplementares.empty()) {
        _Node* adic = elemento("infAdic");
        filho(*adic, "infCpl", informacoesComplementares);
        inf->append(adic);
    }
    doc.append(raiz);
    return serializar(doc);
}

std::string CupomCancelamento::gerarXML() const {
    XML::Document doc;
    doc.append(declaracao(*this));
    _Node* raiz = elemento("CFeCanc");
    _Node* inf = elemento("infCFe", new XML::Attribute("chCanc", chaveCancelada));
    raiz->append(inf);
    inf->append(ide(*this));
    inf->append(elemento("emit"));
    inf->append(dest(*this));
    inf->append(elemento("total"));
    doc.append(raiz);
    return serializar(doc);
}

}  // namespace Ordal::CFe
