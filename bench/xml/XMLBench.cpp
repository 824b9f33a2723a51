// Parsing speed of real and large NFC-e documents, ours against a general-purpose DOM parser,
// and the whole read of the same texts into the sale model.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <fstream>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "fiscal/NFCe.h"
#include "xml/XML.h"

namespace {

std::string readSample(const char* name) {
    std::ifstream in(std::string(FISCAL_SAMPLES_DIR) + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string& realNfce() {
    static const std::string text = readSample("nfce-nfeproc-310-hom-df-cnpj-troco.xml");
    return text;
}

// An NFC-e with 500 items, laid out like the real ones (items with product and tax groups).
const std::string& largeNfce() {
    static const std::string text = [] {
        std::string s =
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<nfeProc versao=\"4.00\" "
            "xmlns=\"http://www.portalfiscal.inf.br/nfe\">\n"
            "<NFe><infNFe Id=\"NFe53171022769530000131654000000000601171025449\" versao=\"4.00\">\n"
            "<ide><cUF>53</cUF><natOp>Venda</natOp><mod>65</mod><serie>1</serie><nNF>60</nNF>"
            "<dhEmi>2017-10-04T16:56:24-03:00</dhEmi><tpAmb>2</tpAmb></ide>\n"
            "<emit><CNPJ>22769530000131</CNPJ><xNome>Padaria S\xC3\xA3o Jo\xC3\xA3o Ltda</xNome>"
            "<enderEmit><xLgr>Rua das Ac\xC3\xA1\x63ias</xLgr><nro>100</nro><xBairro>Centro</xBairro>"
            "<xMun>Bras\xC3\xADlia</xMun><UF>DF</UF></enderEmit></emit>\n";
        for (int i = 1; i <= 500; ++i) {
            const std::string n = std::to_string(i);
            s += "  <det nItem=\"" + n + "\">\n    <prod><cProd>" + n +
                 "</cProd><cEAN>7891000100103</cEAN>"
                 "<xProd>P\xC3\x83O DE A\xC3\x87\xC3\x9A\x43\x41R &amp; CAF\xC3\x89 " +
                 n +
                 "</xProd><NCM>19059090</NCM>"
                 "<CFOP>5102</CFOP><uCom>UN</uCom><qCom>2.0000</qCom><vUnCom>3.500</vUnCom><vProd>7.00</vProd>"
                 "<indTot>1</indTot></prod>\n    <imposto><vTotTrib>1.23</vTotTrib><ICMS><ICMSSN102><orig>0</orig>"
                 "<CSOSN>102</CSOSN></ICMSSN102></ICMS><PIS><PISNT><CST>07</CST></PISNT></PIS>"
                 "<COFINS><COFINSNT><CST>07</CST></COFINSNT></COFINS></imposto>\n  </det>\n";
        }
        s += "<total><ICMSTot><vProd>3500.00</vProd><vNF>3500.00</vNF></ICMSTot></total>\n"
             "<pag><detPag><tPag>01</tPag><vPag>3500.00</vPag></detPag></pag>\n"
             "<infAdic><infCpl>Valor aproximado dos tributos R$ 615,00</infCpl></infAdic></infNFe>\n"
             "<infNFeSupl><qrCode><![CDATA[http://dec.fazenda.df.gov.br/"
             "ConsultarNFCe.aspx?chNFe=53171022769530000131654000000000601171025449&nVersao=100&tpAmb=2]]></qrCode></"
             "infNFeSupl>\n"
             "</NFe></nfeProc>\n";
        return s;
    }();
    return text;
}

void ours(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        XML::Document doc;
        XML::parse(doc, text);
        benchmark::DoNotOptimize(doc.firstChild);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void pugi(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        pugi::xml_document doc;
        auto result = doc.load_buffer(text.data(), text.size());
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

// Parse plus reading into the NFC-e sale model: what a printout does before laying out.
void read(benchmark::State& state, const std::string& text) {
    Ordal::NFCe::NotaFiscalEletronicaSaida nota;
    for (auto _ : state) {
        XML::Document doc;
        nota.lerXML(text, &doc);
        benchmark::DoNotOptimize(nota.valorTotal.valor);
    }
    if (nota.quantidadeItens == 0) state.SkipWithError("no items read");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

void BM_Ours_RealNfce(benchmark::State& s) { ours(s, realNfce()); }
void BM_Pugi_RealNfce(benchmark::State& s) { pugi(s, realNfce()); }
void BM_Ours_Nfce500Items(benchmark::State& s) { ours(s, largeNfce()); }
void BM_Pugi_Nfce500Items(benchmark::State& s) { pugi(s, largeNfce()); }

void BM_Read_RealNfce(benchmark::State& s) { read(s, realNfce()); }
void BM_Read_Nfce500Items(benchmark::State& s) { read(s, largeNfce()); }

BENCHMARK(BM_Ours_RealNfce)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pugi_RealNfce)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Read_RealNfce)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Ours_Nfce500Items)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pugi_Nfce500Items)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Read_Nfce500Items)->Unit(benchmark::kMicrosecond);

}  // namespace

// Both parsers are measured with memory the C library keeps once it has it, as in a long-running
// application: otherwise each freed document is handed back to the system and the next one pays
// page faults, and which parser pays them depends on the order the benchmarks run in.
int main(int argc, char** argv) {
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    mallopt(M_MMAP_THRESHOLD, 256 * 1024 * 1024);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
