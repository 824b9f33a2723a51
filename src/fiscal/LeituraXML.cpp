#include "fiscal/LeituraXML.h"

#include <stdexcept>

namespace Ordal::DocumentoFiscal::Leitura {

const XML::_Node& proximoNaSequencia(const XML::_Node& no) {
    if (!XML::exists(no)) return XML::nullNode();
    for (const XML::_Node* p = no.next; XML::exists(p); p = p->next) {
        const int tipo = p->kind();
        if (tipo == XML::Comment::Kind || tipo == XML::ProcessingInstruction::Kind) continue;
        return p->kind() == no.kind() && p->name() == no.name() ? *p : XML::nullNode();
    }
    return XML::nullNode();
}

void lerEndereco(const XML::_Node& no, Endereco& endereco) {
    endereco = Endereco();
    no.find("xLgr").readText(endereco.logradouro);
    no.find("nro").readText(endereco.numero);
    no.find("xCpl").readText(endereco.complemento);
    no.find("xBairro").readText(endereco.bairro);
    no.find("xMun").readText(endereco.municipio);
    no.find("CEP").readText(endereco.cep);
    no.find("UF").readText(endereco.uf);
}

void lerEmitente(const XML::_Node& emit, Emitente& emitente) {
    emitente = Emitente();
    emit.find("CNPJ").readText(emitente.cnpj);
    emit.find("CPF").readText(emitente.cpf);
    emit.find("xNome").readText(emitente.razaoSocial);
    emit.find("xFant").readText(emitente.nomeFantasia);
    emit.find("IE").readText(emitente.inscricaoEstadual);
    emit.find("IM").readText(emitente.inscricaoMunicipal);
    emit.find("cRegTrib").readInt(emitente.regimeTributario);
    emit.find("cRegTribISSQN").readInt(emitente.regimeTributarioISSQN);
    char rateio = 0;
    emit.find("indRatISSQN").readChar(rateio);
    if (rateio == 'S' || rateio == 'N') emitente.rateioISSQN = rateio;
    lerEndereco(emit.find("enderEmit"), emitente.endereco);
}

void lerDestinatario(const XML::_Node& dest, Destinatario& destinatario) {
    dest.find("xNome").readText(destinatario.nome);
    dest.find("CNPJ").readText(destinatario.cnpj);
    dest.find("CPF").readText(destinatario.cpf);
}

void lerObservacoesFisco(const XML::_Node& primeira, std::array<ObservacaoFisco, MAX_OBSERVACOES_FISCO>& obs) {
    const XML::_Node* no = &primeira;
    for (size_t k = 0; k < obs.size(); ++k) {
        if (no->kind() != XML::Element::Kind || no->name() != "obsFisco") break;
        no->attribute("xCampo").readText(obs[k].campo);
        no->find("xTexto").readText(obs[k].texto);
        no = &proximoNaSequencia(*no);
    }
}

void lerAssinatura(const XML::_Node& sig, Assinatura& assinatura) {
    sig.find("SignatureValue").readText(assinatura.signatureValue);
    sig.find("KeyInfo/X509Data/X509Certificate").readText(assinatura.certificado);
    sig.find("SignedInfo/Reference").attribute("URI").readText(assinatura.uri);
    sig.find("SignedInfo/Reference/DigestValue").readText(assinatura.digestValue);
}

void lerDeclaracao(const XML::_Node& doc, DadosDocumentoFiscalEletronico& dados) {
    const XML::_Node& xml = doc.find("xml");
    xml.attribute("version").readText(dados.versaoXML);
    xml.attribute("encoding").readText(dados.codificacaoXML);
}

namespace {

// pX and vX are the rate and value elements of the contribution (pPIS, vPIS, pCOFINS, vCOFINS).
void lerContribuicao(const XML::_Node& g, const char* pX, const char* vX, ImpostoPISCOFINS& imposto) {
    imposto = ImpostoPISCOFINS();
    if (!XML::exists(g)) return;
    g.find("CST").readInt(imposto.cst);
    g.find(pX).readDecimal(imposto.aliquota);
    g.find("vBC").readDecimal(imposto.baseCalculo);
    g.find("qBCProd").readDecimal(imposto.quantidadeVendida);
    g.find("vAliqProd").readDecimal(imposto.aliquotaValor);
    g.find(vX).readDecimal(imposto.valor);
}

}  // namespace

namespace {

// Fields of prod, in the order their bits are kept while reading.
enum CampoProd {
    cProd,
    cEAN,
    xProd,
    NCM,
    CEST,
    CFOP,
    uCom,
    qCom,
    vUnCom,
    indRegra,
    vDesc,
    vOutro,
    vRatDesc,
    vRatAcr,
    vProd,
    vFrete,
    vSeg
};

int campoProd(std::string_view n) {
    switch (n.size()) {
    case 3: return n == "NCM" ? NCM : -1;
    case 4:
        if (n == "vSeg") return vSeg;
        if (n == "CEST") return CEST;
        if (n == "CFOP") return CFOP;
        if (n == "uCom") return uCom;
        if (n == "qCom") return qCom;
        if (n == "cEAN") return cEAN;
        return -1;
    case 5:
        if (n == "cProd") return cProd;
        if (n == "xProd") return xProd;
        if (n == "vDesc") return vDesc;
        if (n == "vProd") return vProd;
        return -1;
    case 6:
        if (n == "vUnCom") return vUnCom;
        if (n == "vOutro") return vOutro;
        if (n == "vFrete") return vFrete;
        return -1;
    case 7: return n == "vRatAcr" ? vRatAcr : -1;
    case 8:
        if (n == "indRegra") return indRegra;
        if (n == "vRatDesc") return vRatDesc;
        return -1;
    default: return -1;
    }
}

// One pass over the children of prod instead of a path lookup per field; as with find, only
// the first element of each name counts.
const XML::_Node* lerProd(const XML::_Node& prod, ItemVenda& item) {
    const XML::_Node* valorProduto = &XML::nullNode();
    unsigned vistos = 0;
    for (const XML::_Node* c = prod.firstChild; XML::exists(c); c = c->next) {
        if (c->kind() != XML::Element::Kind) continue;
        int campo = campoProd(c->name());
        if (campo < 0 || (vistos & (1u << campo))) continue;
        vistos |= 1u << campo;
        switch (campo) {
        case cProd: c->readText(item.codigo); break;
        case cEAN: c->readText(item.codigoBarras); break;
        case xProd: c->readText(item.descricao); break;
        case NCM: c->readText(item.ncm); break;
        case CEST: c->readText(item.cest); break;
        case CFOP: c->readText(item.cfop); break;
        case uCom: c->readText(item.unidade); break;
        case qCom: c->readDecimal(item.quantidade); break;
        case vUnCom:
            c->readDecimal(item.valorUnitario);
            c->readDecimal(item.valorUnitarioDocumento);
            break;
        case indRegra: {
            char regra = 0;
            c->readChar(regra);
            if (regra == 'A' || regra == 'T') item.regraCalculo = regra;
            break;
        }
        case vDesc: c->readDecimal(item.desconto); break;
        case vOutro: c->readDecimal(item.outros); break;
        case vRatDesc: c->readDecimal(item.rateioDesconto); break;
        case vRatAcr: c->readDecimal(item.rateioAcrescimo); break;
        case vProd: valorProduto = c; break;
        case vFrete: c->readDecimal(item.frete); break;
        case vSeg: c->readDecimal(item.seguro); break;
        }
    }
    return valorProduto;
}

}  // namespace

void lerItem(const XML::_Node& det, ItemVenda& item) { lerItem(det, item, nullptr); }

void lerItem(const XML::_Node& det, ItemVenda& item, const XML::_Node** vProd) {
    item = ItemVenda();
    det.attribute("nItem").readInt64(item.numeroItem);

    const XML::_Node* valorProduto = lerProd(det.find("prod"), item);
    if (vProd) *vProd = valorProduto;

    const XML::_Node& imposto = det.find("imposto");
    const XML::_Node& icms = imposto.find("ICMS").findAny("ICMS00", "ICMSSN900", "ICMS40", "ICMSSN102");
    if (XML::exists(icms)) {
        // The CF-e spells the origin Orig, the NFC-e orig.
        icms.findAny("Orig", "orig").readChar(item.icms.origem);
        icms.find("CST").readInt(item.icms.cst);
        icms.find("CSOSN").readInt(item.icms.cst);
        icms.find("pICMS").readDecimal(item.icms.aliquota);
        icms.find("vICMS").readDecimal(item.icms.valor);
    }

    lerContribuicao(imposto.find("PIS").findAny("PISAliq", "PISQtde", "PISNT", "PISSN", "PISOutr"), "pPIS", "vPIS",
                    item.pis);
    lerContribuicao(imposto.find("PISST"), "pPIS", "vPIS", item.pisST);
    lerContribuicao(imposto.find("COFINS").findAny("COFINSAliq", "COFINSQtde", "COFINSNT", "COFINSSN", "COFINSOutr"),
                    "pCOFINS", "vCOFINS", item.cofins);
    lerContribuicao(imposto.find("COFINSST"), "pCOFINS", "vCOFINS", item.cofinsST);

    const XML::_Node& issqn = imposto.find("ISSQN");
    if (XML::exists(issqn)) {
        issqn.find("vDeducISSQN").readDecimal(item.issqn.deducao);
        issqn.find("vBC").readDecimal(item.issqn.baseCalculo);
        issqn.find("vAliq").readDecimal(item.issqn.aliquota);
        issqn.find("vISSQN").readDecimal(item.issqn.valor);
        issqn.find("cMunFG").readText(item.issqn.municipioFatoGerador);
        issqn.find("cListServ").readText(item.issqn.itemListaServico);
        issqn.find("cServTribMun").readText(item.issqn.codigoServicoMunicipio);
        issqn.find("cNatOp").readInt(item.issqn.naturezaOperacao);
        issqn.find("indIncFisc").readChar(item.issqn.incentivoFiscal);
    }

    imposto.find("vItem12741").readDecimal(item.valorTributos);
    det.find("infAdProd").readText(item.informacaoAdicional);
}

Decimal2 lerItens(const XML::_Node& primeiro, DadosVenda& venda,
                  std::array<Decimal2, ListaItens::CAPACIDADE>& valoresProduto) {
    Decimal2 soma;
    const XML::_Node* det = &primeiro;
    for (int i = 0; XML::exists(*det) && i < ListaItens::CAPACIDADE; ++i) {
        ItemVenda& item = venda.itens[i];
        const XML::_Node* noValor = nullptr;
        lerItem(*det, item, &noValor);
        Decimal2& valor = valoresProduto[static_cast<size_t>(i)];
        const XML::_Node& vProd = *noValor;
        if (XML::exists(vProd))
            vProd.readDecimal(valor);
        else
            valor = DadosVenda::valorProdutoCalculado(item);
        // Freight and insurance are NFC-e item charges; a CF-e item has neither.
        soma += valor + item.outros + item.frete + item.seguro - item.desconto;
        venda.quantidadeItens = i + 1;
        det = &proximoNaSequencia(*det);
    }
    // Printing the first 500 items of a longer sale would put a wrong document on paper.
    if (XML::exists(*det)) throw std::invalid_argument("documento com mais de 500 itens");
    return soma;
}

void lerTotais(const XML::_Node& total, DadosVendaDocumentoFiscalEletronico& venda) {
    const XML::_Node& icms = total.find("ICMSTot");
    if (XML::exists(icms)) {
        TotalICMS& t = venda.totalICMS;
        t = TotalICMS();
        icms.find("vICMS").readDecimal(t.vICMS);
        icms.find("vProd").readDecimal(t.vProd);
        icms.find("vDesc").readDecimal(t.vDesc);
        icms.find("vPIS").readDecimal(t.vPIS);
        icms.find("vCOFINS").readDecimal(t.vCOFINS);
        icms.find("vPISST").readDecimal(t.vPISST);
        icms.find("vCOFINSST").readDecimal(t.vCOFINSST);
        icms.find("vOutro").readDecimal(t.vOutro);
    }
    const XML::_Node& issqn = total.find("ISSQNtot");
    if (XML::exists(issqn)) {
        TotalISSQN& t = venda.totalISSQN;
        t = TotalISSQN();
        issqn.find("vBC").readDecimal(t.vBC);
        issqn.find("vISS").readDecimal(t.vISS);
        issqn.find("vPIS").readDecimal(t.vPIS);
        issqn.find("vCOFINS").readDecimal(t.vCOFINS);
        issqn.find("vPISST").readDecimal(t.vPISST);
        issqn.find("vCOFINSST").readDecimal(t.vCOFINSST);
    }
    total.find("vCFeLei12741").readDecimal(venda.valorTributos);
    total.find("DescAcrEntr/vDescSubtot").readDecimal(venda.descontoSubtotal);
    total.find("DescAcrEntr/vAcresSubtot").readDecimal(venda.acrescimoSubtotal);
}

std::string semBrancosECdata(const std::string& texto) {
    auto branco = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    size_t ini = 0, fim = texto.size();
    while (ini < fim && branco(texto[ini])) ++ini;
    while (fim > ini && branco(texto[fim - 1])) --fim;
    std::string_view t(texto.data() + ini, fim - ini);
    constexpr std::string_view abre = "<![CDATA[", fecha = "]]>";
    if (t.size() >= abre.size() + fecha.size() && t.starts_with(abre) && t.ends_with(fecha)) {
        t = t.substr(abre.size(), t.size() - abre.size() - fecha.size());
        while (!t.empty() && branco(t.front())) t.remove_prefix(1);
        while (!t.empty() && branco(t.back())) t.remove_suffix(1);
    }
    return std::string(t);
}

}  // namespace Ordal::DocumentoFiscal::Leitura
