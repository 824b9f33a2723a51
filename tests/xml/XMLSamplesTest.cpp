// The parser on real CF-e SAT and NFC-e files, round trips, and replay of fuzzing finds.
#include <cctype>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TreeDump.h"
#include "xml/XML.h"

namespace {

const std::string samples = FISCAL_SAMPLES_DIR;

const char* const sampleFiles[] = {
    "cfe-cancel-hom-v006.xml",
    "cfe-cancel-hom-v007.xml",
    "cfe-sale-hom-1item-infcpl-v006.xml",
    "cfe-sale-hom-1item-layout-v007.xml",
    "cfe-sale-hom-1item-v008.xml",
    "nfce-bare-400-hom-rs-detpag-qrv2.xml",
    "nfce-nfeproc-310-hom-df-cnpj-troco.xml",
    "nfce-nfeproc-310-prod-pr-1item-oldpag.xml",
};

class Samples : public ::testing::TestWithParam<const char*> {};

// Every start tag of the file became an element: nothing was cut off.
TEST_P(Samples, ParsedCompletely) {
    const std::string path = samples + "/" + GetParam();
    const std::string text = rx457test::readFile(path);
    ASSERT_FALSE(text.empty()) << path;
    std::ptrdiff_t startTags = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '<' && std::isalpha(static_cast<unsigned char>(text[i + 1]))) ++startTags;

    XML::Document doc;
    ASSERT_TRUE(XML::loadFile(doc, path));
    EXPECT_EQ(xmltest::countElements(doc), startTags);
    EXPECT_EQ(doc.stoppedAt(), XML::complete);
    // One root element, plus the declaration when the file has one.
    int roots = 0;
    for (const XML::_Node* c = doc.firstChild; XML::exists(c); c = c->next) roots += c->kind() == 2;
    EXPECT_EQ(roots, 1);
    EXPECT_EQ(XML::exists(doc.find("xml")), text.starts_with("<?xml"));
}

// parse -> toStringTree -> parse gives the same tree, indented or not.
TEST_P(Samples, RoundTrip) {
    XML::Document doc;
    ASSERT_TRUE(XML::loadFile(doc, samples + "/" + GetParam()));
    const std::string picture = xmltest::dumpDocument(doc);
    for (bool indent : {false, true}) {
        const std::string written = doc.toStringTree(indent, XML::latin1ToUtf8);
        XML::Document again;
        XML::parse(again, written);
        EXPECT_EQ(xmltest::dumpDocument(again), picture) << "indent " << indent;
        EXPECT_EQ(again.toStringTree(indent, XML::latin1ToUtf8), written);
    }
}

INSTANTIATE_TEST_SUITE_P(Fiscal, Samples, ::testing::ValuesIn(sampleFiles), [](const auto& info) {
    std::string name = info.param;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

struct Seen {
    const char* file;
    const char* path;
    const char* attribute;  // nullptr: the element's text
    std::string expected;
};

// What a person sees in the files, as the fiscal readers will get it (Latin-1).
TEST(FiscalSamples, TextsAsWritten) {
    const Seen cases[] = {
        {"cfe-cancel-hom-v006.xml", "CFeCanc/infCFe", "Id", "CFe35150908723218000186599000040190000378585470"},
        {"cfe-cancel-hom-v006.xml", "CFeCanc/infCFe", "chCanc", "CFe35150908723218000186599000040190000360539948"},
        {"cfe-cancel-hom-v006.xml", "CFeCanc/infCFe", "versao", "0.06"},
        {"cfe-cancel-hom-v006.xml", "CFeCanc/infCFe/ide/nCFe", nullptr, "000037"},
        {"cfe-cancel-hom-v006.xml", "CFeCanc/infCFe/total/vCFe", nullptr, "2.00"},
        {"cfe-cancel-hom-v007.xml", "CFeCanc/infCFe/emit/enderEmit/xMun", nullptr, "MANAUS"},
        {"cfe-sale-hom-1item-infcpl-v006.xml", "CFe/infCFe/det", "nItem", "1"},
        {"cfe-sale-hom-1item-infcpl-v006.xml", "CFe/infCFe/infAdic/obsFisco", "xCampo", "xCampo1"},
        {"cfe-sale-hom-1item-infcpl-v006.xml", "CFe/infCFe/infAdic/obsFisco/xTexto", nullptr, "xTexto1"},
        {"cfe-sale-hom-1item-layout-v007.xml", "CFe/infCFe", "versaoSB", "030014"},
        {"cfe-sale-hom-1item-v008.xml", "CFe/infCFe/total/vCFe", nullptr, "3.40"},
        {"cfe-sale-hom-1item-v008.xml", "CFe/infCFe/infAdic/infCpl", nullptr,
         "www.smallsoft.com.br software para emissao de CF-e-SAT  Build  2022.0.0.2 "},
        {"nfce-nfeproc-310-prod-pr-1item-oldpag.xml", "nfeProc/NFe/infNFe/emit/xNome", nullptr,
         "Lumer Inform\xE1tica LTDA"},
        {"nfce-nfeproc-310-prod-pr-1item-oldpag.xml", "nfeProc/NFe/infNFe/emit/enderEmit/xMun", nullptr, "Assa\xED"},
        {"nfce-nfeproc-310-prod-pr-1item-oldpag.xml", "nfeProc/NFe/infNFe/total/ICMSTot/vNF", nullptr, "42.00"},
        {"nfce-nfeproc-310-prod-pr-1item-oldpag.xml", "nfeProc/protNFe/infProt/cStat", nullptr, "100"},
        {"nfce-nfeproc-310-prod-pr-1item-oldpag.xml", "xml", "encoding", "utf-8"},
        {"nfce-bare-400-hom-rs-detpag-qrv2.xml", "NFe/infNFe/emit/enderEmit/xMun", nullptr, "Ven\xE2ncio Aires"},
        {"nfce-bare-400-hom-rs-detpag-qrv2.xml", "NFe/infNFe/infAdic/infAdFisco", nullptr,
         "DOCUMENTO EMITIDO POR ME OU EPP OPTANTE PELO SIMPLES NACIONAL. N\xC3O GERA DIREITO A CR\xC9"
         "DITO."},
        {"nfce-bare-400-hom-rs-detpag-qrv2.xml", "NFe", "xmlns", "http://www.portalfiscal.inf.br/nfe"},
        {"nfce-bare-400-hom-rs-detpag-qrv2.xml", "NFe/infNFeSupl/urlChave", nullptr,
         "www.sefaz.rs.gov.br/nfce/consulta"},
        {"nfce-nfeproc-310-hom-df-cnpj-troco.xml", "nfeProc/NFe/infNFe/total/ICMSTot/vNF", nullptr, "5.81"},
        {"nfce-nfeproc-310-hom-df-cnpj-troco.xml", "nfeProc/protNFe/infProt/dhRecbto", nullptr,
         "2017-10-04T16:56:26-03:00"},
    };
    for (const Seen& c : cases) {
        XML::Document doc;
        ASSERT_TRUE(XML::loadFile(doc, samples + "/" + c.file)) << c.file;
        XML::_Node& n = doc.find(c.path);
        ASSERT_TRUE(XML::exists(n)) << c.file << " " << c.path;
        EXPECT_EQ(c.attribute ? n.attribute(c.attribute).value() : n.value(), c.expected) << c.file << " " << c.path;
    }
}

TEST(FiscalSamples, QrCodeInCdata) {
    XML::Document doc;
    ASSERT_TRUE(XML::loadFile(doc, samples + "/nfce-nfeproc-310-hom-df-cnpj-troco.xml"));
    auto& qr = static_cast<XML::Element&>(doc.find("nfeProc/NFe/infNFeSupl/qrCode"));
    ASSERT_EQ(qr.kind(), 2);
    EXPECT_TRUE(qr.cdata);
    EXPECT_TRUE(
        qr.value().starts_with("http://dec.fazenda.df.gov.br/"
                               "ConsultarNFCe.aspx?chNFe=53171022769530000131654000000000601171025449&nVersao=100&"
                               "tpAmb=2&cDest=25504949000150"));
    EXPECT_EQ(qr.value().find("]]"), std::string::npos);
    EXPECT_EQ(qr.toString().substr(0, 17), "<qrCode><![CDATA[");

    XML::Document plain;
    ASSERT_TRUE(XML::loadFile(plain, samples + "/nfce-bare-400-hom-rs-detpag-qrv2.xml"));
    auto& qr2 = static_cast<XML::Element&>(plain.find("NFe/infNFeSupl/qrCode"));
    EXPECT_FALSE(qr2.cdata);
    EXPECT_EQ(
        qr2.value(),
        "https://www.sefaz.rs.gov.br/NFCE/"
        "NFCE-COM.aspx?p=43211105730928000145650010000002401717268120|2|2|1|75FFAFF74CF8ABDD0153D4D18E27CE17DE14B83F");
}

TEST(FiscalSamples, RepeatedItems) {
    XML::Document doc;
    ASSERT_TRUE(XML::loadFile(doc, samples + "/nfce-nfeproc-310-hom-df-cnpj-troco.xml"));
    XML::_Node& det = doc.find("nfeProc/NFe/infNFe/det");
    EXPECT_EQ(det.attribute("nItem").value(), "1");
    EXPECT_EQ(det.sibling(1).attribute("nItem").value(), "2");
    EXPECT_FALSE(XML::exists(det.sibling(2)));
    int troco = 0;
    doc.find("nfeProc/NFe/infNFe/pag/vTroco").readDigits(troco);
    EXPECT_EQ(troco, 19);
}

TEST(FiscalSamples, InfCplKeepsLineBreaks) {
    XML::Document doc;
    ASSERT_TRUE(XML::loadFile(doc, samples + "/cfe-sale-hom-1item-infcpl-v006.xml"));
    const std::string_view t = doc.find("CFe/infCFe/infAdic/infCpl").value();
    EXPECT_TRUE(t.starts_with("Valores aproximados dos tributos:\n")) << t;
    EXPECT_TRUE(t.ends_with("\n")) << t;
}

TEST(XmlLoad, FileErrors) {
    rx457test::TempDir dir;
    XML::Document doc;
    XML::parse(doc, "<old/>");
    EXPECT_FALSE(XML::loadFile(doc, dir.file("missing.xml")));
    EXPECT_FALSE(XML::exists(doc.firstChild));
    EXPECT_FALSE(XML::loadFile(doc, dir.path()));  // a folder
    rx457test::writeFile(dir.file("crlf.xml"), "<a>x\r\ny</a>");
    ASSERT_TRUE(XML::loadFile(doc, dir.file("crlf.xml")));
    EXPECT_EQ(doc.find("a").value(), "x\r\ny");  // read without newline translation
}

// Inputs the fuzzer once found troublesome; each must parse, serialize and re-parse.
TEST(XmlFuzzRegressions, Replay) {
    namespace fs = std::filesystem;
    const fs::path dir = FUZZ_REGRESSIONS_DIR;
    if (!fs::exists(dir)) GTEST_SKIP() << "no regression folder";
    int replayed = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        const std::string data = rx457test::readFile(entry.path().string());
        XML::Document doc;
        XML::parse(doc, data);
        XML::Document again;
        XML::parse(again, doc.toStringTree(true, XML::latin1ToUtf8));
        ++replayed;
    }
    SUCCEED() << replayed << " inputs replayed";
}

}  // namespace
