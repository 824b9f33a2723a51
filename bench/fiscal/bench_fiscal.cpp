// Whole read of a sale (parse + model) for a real NFC-e and for a synthetic 500-item one.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

#include "fiscal/CFe.h"
#include "fiscal/NFCe.h"
#include "fiscal/Verificacao.h"
#include "xml/XML.h"

namespace {

std::string lerArquivo(const std::string& nome) {
    std::ifstream f(std::string(FISCAL_SAMPLES_DIR) + "/" + nome, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// An authorised NFC-e of n items, each carrying the fields of a real one.
std::string nfceSintetica(int n) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><nfeProc versao=\"4.00\"><NFe><infNFe "
        "Id=\"NFe35200114200166000166650010000000011000000011\" versao=\"4.00\">"
        "<ide><cUF>35</cUF><cNF>00000001</cNF><mod>65</mod><serie>1</serie><nNF>1</nNF>"
        "<dhEmi>2020-01-10T10:20:30-03:00</dhEmi><tpAmb>1</tpAmb></ide>"
        "<emit><CNPJ>14200166000166</CNPJ><xNome>Mercado S\xC3\xA3o Jo\xC3\xA3o "
        "Ltda</xNome><xFant>Mercad\xC3\xA3o</xFant>"
        "<enderEmit><xLgr>Rua A</xLgr><nro>1</nro><xBairro>Centro</xBairro><xMun>S\xC3\xA3o "
        "Paulo</xMun><UF>SP</UF><CEP>01001000</CEP></enderEmit>"
        "<IE>111111111111</IE><CRT>1</CRT></emit>\n";
    for (int i = 1; i <= n; ++i) {
        std::string k = std::to_string(i);
        xml += "<det nItem=\"" + k + "\"><prod><cProd>" + k +
               "</cProd><cEAN>7891234567895</cEAN><xProd>Produto a\xC3\xA7\xC3\xBA"
               "car " +
               k +
               "</xProd><NCM>17019900</NCM><CFOP>5102</CFOP><uCom>UN</uCom><qCom>2.0000</qCom><vUnCom>1.2500000000</"
               "vUnCom>"
               "<vProd>2.50</vProd><cEANTrib>7891234567895</cEANTrib><uTrib>UN</uTrib><qTrib>2.0000</qTrib>"
               "<vUnTrib>1.2500000000</vUnTrib><indTot>1</indTot></prod><imposto><vTotTrib>0.50</"
               "vTotTrib><ICMS><ICMSSN102>"
               "<orig>0</orig><CSOSN>102</CSOSN></ICMSSN102></ICMS><PIS><PISNT><CST>07</CST></PISNT></"
               "PIS><COFINS><COFINSNT>"
               "<CST>07</CST></COFINSNT></COFINS></imposto></det>\n";
    }
    std::string total = std::to_string(n * 250 / 100) + "." + (n % 2 ? "50" : "00");
    xml +=
        "<total><ICMSTot><vBC>0.00</vBC><vICMS>0.00</vICMS><vProd>" + total + "</vProd><vDesc>0.00</vDesc><vNF>" +
        total + "</vNF></ICMSTot></total><transp><modFrete>9</modFrete></transp><pag><detPag><tPag>01</tPag><vPag>" +
        total +
        "</vPag></detPag><vTroco>0.00</vTroco></pag><infAdic><infCpl>Obrigado</infCpl></infAdic></infNFe>"
        "<infNFeSupl><qrCode><![CDATA[https://x/?p=35200114200166000166650010000000011000000011|2|1|1|ABC]]></qrCode>"
        "<urlChave>www.x/consulta</urlChave></infNFeSupl></NFe><protNFe><infProt><tpAmb>1</"
        "tpAmb><nProt>135200000000001</nProt>"
        "<dhRecbto>2020-01-10T10:20:31-03:00</dhRecbto></infProt></protNFe></nfeProc>";
    return xml;
}

void lerNFCe(benchmark::State& estado, const std::string& xml) {
    Ordal::NFCe::NotaFiscalEletronicaSaida nota;
    for (auto _ : estado) {
        XML::Document doc;
        nota.lerXML(xml, &doc);
        benchmark::DoNotOptimize(nota.valorTotal.valor);
    }
    estado.SetBytesProcessed(static_cast<int64_t>(estado.iterations()) * static_cast<int64_t>(xml.size()));
    if (nota.quantidadeItens == 0) estado.SkipWithError("nothing read");
}

void BM_NFCeReal(benchmark::State& estado) {
    static const std::string xml = lerArquivo("nfce-nfeproc-310-prod-pr-1item-oldpag.xml");
    lerNFCe(estado, xml);
}

void BM_NFCe500Itens(benchmark::State& estado) {
    static const std::string xml = nfceSintetica(500);
    lerNFCe(estado, xml);
}

void BM_NFCe500ItensComVerificacao(benchmark::State& estado) {
    static const std::string xml = nfceSintetica(500);
    Ordal::NFCe::NotaFiscalEletronicaSaida nota;
    for (auto _ : estado) {
        XML::Document doc;
        nota.lerXML(xml, &doc);
        Ordal::DocumentoFiscal::verificarDocumento(doc, nota);
    }
}

// The parse alone, to tell the tree's share from the model's.
void BM_NFCe500ItensSoParse(benchmark::State& estado) {
    static const std::string xml = nfceSintetica(500);
    for (auto _ : estado) {
        XML::Document doc;
        XML::parse(doc, xml, XML::utf8ToLatin1);
        benchmark::DoNotOptimize(doc.firstChild);
    }
}

void BM_CFeReal(benchmark::State& estado) {
    static const std::string xml = lerArquivo("cfe-sale-hom-1item-v008.xml");
    Ordal::CFe::CupomFiscalEletronico cupom;
    for (auto _ : estado) {
        XML::Document doc;
        cupom.lerXML(xml, &doc);
        benchmark::DoNotOptimize(cupom.valorTotal.valor);
    }
}

}  // namespace

BENCHMARK(BM_NFCeReal)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NFCe500Itens)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NFCe500ItensComVerificacao)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NFCe500ItensSoParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CFeReal)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
