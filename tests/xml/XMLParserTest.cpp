// The parser's rules on small texts, the converters and the entity decoder.
#include <chrono>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "TreeDump.h"
#include "xml/XML.h"

using xmltest::parseAndDump;

namespace {

struct ParseCase {
    const char* what;
    std::string input;
    std::string expected;
    std::size_t stoppedAt = XML::complete;  // the first byte parsing could not use
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.what; }

class ParseRules : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRules, BuildsExpectedTree) {
    const ParseCase& c = GetParam();
    XML::Document doc;
    XML::parse(doc, c.input);
    EXPECT_EQ(xmltest::dumpDocument(doc), c.expected) << c.what << "\ninput: " << c.input;
    EXPECT_EQ(doc.stoppedAt(), c.stoppedAt) << c.what << "\ninput: " << c.input;
}

const ParseCase parseCases[] = {
    // Texts, entities and CDATA
    {"entity in text", "<a>x &amp; y</a>", "a'x & y'"},
    {"all five entities", "<a>&apos;&quot;&lt;&gt;&amp;</a>", "a''\"<>&'"},
    {"entity not decoded twice", "<a>&amp;lt;</a>", "a'&lt;'"},
    {"unknown entities kept", "<a>&foo; & &amp &#; &#x; &#0; &#256;</a>", "a'&foo; & &amp &#; &#x; &#0; &#256;'"},
    {"numeric references to Latin-1", "<a>Ven&#xE2;ncio &#231;&#X41;</a>",
     "a'Ven\xE2ncio \xE7"
     "A'"},
    {"reference beyond Latin-1 kept", "<a>&#x1F600;</a>", "a'&#x1F600;'"},
    {"ampersand at the very end", "<a>x&</a>", "a'x&'"},
    {"CDATA leaf", "<a><![CDATA[1 < 2]]></a>", "aC'1 < 2'"},
    {"CDATA keeps entities raw", "<a><![CDATA[x&amp;y]]></a>", "aC'x&amp;y'"},
    {"empty CDATA", "<a><![CDATA[]]></a>", "aC''"},
    {"CDATA between blanks", "<a>\n  <![CDATA[u]]>\n</a><b/>", "aC'u' b"},
    {"CDATA before a child is dropped", "<a><![CDATA[x]]><b>1</b></a><c/>", "a{b'1'} c"},
    {"whitespace kept in leaf", "<a>  x \n\t</a>", "a'  x \n\t'"},
    {"empty leaf", "<a></a>", "a"},
    {"text before first child dropped", "<a>text<b>1</b></a>", "a{b'1'}"},
    {"text after child dropped", "<a>x<b/>y</a><c/>", "a{b} c"},
    {"top-level text ignored", "junk<a>1</a>more", "a'1'"},
    // Attributes
    {"attributes", "<a  x=\"1\" y=\"2\"/>", "a[x=1,y=2]"},
    {"no attributes", "<a/>", "a"},
    {"self-closing with blank", "<a x=\"1\" />", "a[x=1]"},
    {"single quotes not recognised", "<a x='1'/>", "a"},
    {"attributes on separate lines", "<a\n  x=\"1\"\n\ty=\"2\">t</a>", "a[x=1,y=2]'t'"},
    {"blanks around equals", "<a x = \"1\"/>", "a[x=1]"},
    {"empty attribute name stops", "<a =\"1\" y=\"2\"/>", "a"},
    {"quote right after blank stops", "<a \"1\"/>", "a"},
    {"no blank after value ends scan", "<a x=\"1\"y=\"2\"/>", "a[x=1]"},
    {"unterminated value ignored", "<a x=\"1/>", "a"},
    {"entities in attribute values", "<a x=\"&lt;&amp;&quot;\"/>", "a[x=<&\"]"},
    {"attributes of container", "<r v=\"3\"><b/></r>", "r[v=3]{b}"},
    // Declarations and comments
    {"xml declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r/>", "?xml[version=1.0,encoding=UTF-8] r"},
    {"declaration without blank", "<?xml?><r/>", "?xml r"},
    {"comment", "<r><!-- c --><b/></r>", "r{# c #,b}"},
    {"comment holding a tag end", "<r><!-- x/> y --><b/></r>", "r{# x/> y #,b}"},
    {"comment with attribute-like text", "<!-- a=\"1\" --><r/>", "# a=\"1\" # r"},
    // Structure and malformed input
    {"siblings and nesting", "<r><a><b/></a><c>3</c></r>", "r{a{b},c'3'}"},
    {"wrong closing tag stops", "<a><b>1</b></c><d/>", "a{b'1'}", 11},
    {"missing root close keeps children", "<a><b>1</b><c>2", "a{b'1'}", 11},
    {"root left open at the end", "<r><b/>\n", "r{b}", 8},
    {"truncated inside tag", "<a><b>1</b><c", "a{b'1'}", 11},
    {"truncated closing tag", "<a>x</a", "a", 4},
    {"blank in closing tag stops", "<r><a><b/></a ><c/></r>", "r{a{b}}", 10},
    {"empty tag stops", "<r><></r>", "r", 3},
    {"lone closing tag", "</a><b/>", "", 0},
    {"unterminated comment", "<r><b/><!-- x", "r{b}", 7},
    {"unterminated CDATA", "<r><a><![CDATA[x</a></r>", "r", 3},
    {"less-than at the end", "<r/><", "r", 4},
    {"empty input", "", ""},
    {"unclosed child recovers at parent", "<a><b></a><c/>", "a{b} c"},
    {"leaf needs exact name", "<a>1</ab><c/>", "a", 4},
};

INSTANTIATE_TEST_SUITE_P(Xml, ParseRules, ::testing::ValuesIn(parseCases));

TEST(XmlParse, ConvertsUtf8TextToLatin1) {
    EXPECT_EQ(parseAndDump("<a x=\"\xC3\xA9\">\xC3\xA7\xC3\xA3o</a>"), "a[x=\xE9]'\xE7\xE3o'");
    // Without a converter the bytes stay as they are.
    EXPECT_EQ(parseAndDump("<a>\xC3\xA7</a>", nullptr), "a'\xC3\xA7'");
}

TEST(XmlParse, ReplacesExistingChildren) {
    XML::Document doc;
    XML::parse(doc, "<a/><b/>");
    XML::parse(doc, "<c/>");
    EXPECT_EQ(xmltest::dumpDocument(doc), "c");
}

TEST(XmlParse, DepthIsLimited) {
    auto nested = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i) s += "<e>";
        s += "<leaf>x</leaf>";
        for (int i = 0; i < depth; ++i) s += "</e>";
        return s + "<after/>";
    };
    {
        // 255 containers and the leaf: exactly at the limit, parsed completely.
        XML::Document doc;
        XML::parse(doc, nested(XML::maxDepth - 1));
        EXPECT_EQ(xmltest::maxElementDepth(doc), XML::maxDepth);
        EXPECT_TRUE(XML::exists(doc.find("after")));
        EXPECT_EQ(doc.stoppedAt(), XML::complete);
    }
    {
        // One more level ends parsing like malformed input: nothing past the limit, no sibling.
        XML::Document doc;
        XML::parse(doc, nested(XML::maxDepth));
        EXPECT_EQ(xmltest::maxElementDepth(doc), XML::maxDepth);
        EXPECT_FALSE(XML::exists(doc.find("after")));
        EXPECT_EQ(doc.stoppedAt(), 3u * XML::maxDepth);  // the <leaf> one level too deep
    }
    {
        // A hostile document: no stack overflow, bounded time.
        const auto t0 = std::chrono::steady_clock::now();
        XML::Document doc;
        XML::parse(doc, nested(100000));
        EXPECT_EQ(xmltest::maxElementDepth(doc), XML::maxDepth);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    }
}

// Inputs built to make a naive parser quadratic; each must parse in well under a second.
TEST(XmlParse, HostileInputsStayLinear) {
    const std::string deepOpen = [] {
        std::string s;
        for (int i = 0; i < XML::maxDepth; ++i) s += "<e>";
        return s;
    }();
    const std::string big(4 << 20, 'x');
    std::string manyAttrs = "<a";
    for (int i = 0; i < 100000; ++i) manyAttrs += " a" + std::to_string(i) + "=\"v\"";
    manyAttrs += "/>";
    std::string manySiblings = "<r>";
    for (int i = 0; i < 200000; ++i) manySiblings += "<d/>";
    manySiblings += "</r>";
    std::string manyAmps = "<a>" + std::string(1 << 20, '&') + "</a>";

    const std::pair<const char*, std::string> inputs[] = {
        {"text without '<' under deep nesting", deepOpen + big},
        {"unterminated CDATA under deep nesting", deepOpen + "<x><![CDATA[" + big},
        {"unterminated comment under deep nesting", deepOpen + "<!--" + big},
        {"tag without '>'", deepOpen + "<x " + big},
        {"many attributes", manyAttrs},
        {"many siblings", manySiblings},
        {"many ampersands", manyAmps},
    };
    for (const auto& [what, text] : inputs) {
        const auto t0 = std::chrono::steady_clock::now();
        XML::Document doc;
        XML::parse(doc, text);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500)) << what;
    }
    XML::Document doc;
    XML::parse(doc, manyAttrs);
    EXPECT_EQ(doc.find("a").attribute("a99999").value(), "v");
    XML::parse(doc, manySiblings);
    EXPECT_TRUE(XML::exists(doc.find("r").firstChild->sibling(199999)));
    EXPECT_FALSE(XML::exists(doc.find("r").firstChild->sibling(200000)));
}

TEST(XmlParse, EmbeddedNulBytesAreText) {
    XML::Document doc;
    XML::parse(doc, std::string_view("<a>x\0y</a>", 11));
    EXPECT_EQ(doc.find("a").value(), std::string("x\0y", 3));
}

struct ConvCase {
    std::string in;
    std::string out;
};

TEST(XmlConvert, Utf8ToLatin1) {
    const ConvCase cases[] = {
        {"\xC3\xA7\xC3\xA3o", "\xE7\xE3o"},
        {"\xC2\xA0\xC2\xBA", "\xA0\xBA"},
        {"\xC1\x81", "A"},         // C1 lead bytes are folded too
        {"\xC3", "\xC3"},          // lead byte at the end
        {"\xC3x", "\xC3x"},        // lead byte without follower
        {"\xC4\x80", "\xC4\x80"},  // outside Latin-1: left as it is
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"\xE9t\xE9", "\xE9t\xE9"},  // Latin-1 input survives
        {"plain", "plain"},
    };
    for (const auto& c : cases) EXPECT_EQ(XML::utf8ToLatin1(c.in), c.out) << c.in;
}

TEST(XmlConvert, Latin1ToUtf8RoundTrip) {
    EXPECT_EQ(XML::latin1ToUtf8("\xE7\xE3o"), "\xC3\xA7\xC3\xA3o");
    EXPECT_EQ(XML::latin1ToUtf8("a\x80\xFF"), "a\xC2\x80\xC3\xBF");
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(XML::utf8ToLatin1(XML::latin1ToUtf8(all)), all);
}

TEST(XmlConvert, EscapeText) {
    EXPECT_EQ(XML::escapeText("a&b<c>d\"e'f", false), "a&amp;b&lt;c&gt;d\"e'f");
    EXPECT_EQ(XML::escapeText("a&b<c>d\"e'f", true), "a&amp;b&lt;c&gt;d&quot;e'f");
    EXPECT_EQ(XML::decodeEntities(XML::escapeText("&<>\"'", false)), "&<>\"'");
    EXPECT_EQ(XML::decodeEntities(XML::escapeText("&<>\"'", true)), "&<>\"'");
}

}  // namespace
