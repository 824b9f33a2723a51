// Navigation, typed reads, building and serialization of the node classes.
#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "TreeDump.h"
#include "xml/XML.h"

namespace {

TEST(XmlNull, IsHarmless) {
    XML::_Node& n = XML::nullNode();
    EXPECT_EQ(n.kind(), 0);
    EXPECT_EQ(n.name(), "");
    EXPECT_EQ(n.value(), "");
    EXPECT_FALSE(XML::exists(n));
    EXPECT_FALSE(XML::exists(&n.firstAttribute()));
    EXPECT_FALSE(XML::exists(n.find("a/b")));
    EXPECT_FALSE(XML::exists(n.sibling(0)));
    EXPECT_EQ(&n.root(), &n);
    EXPECT_EQ(n.toString(), "");
    EXPECT_EQ(n.toStringTree(true), "");
    EXPECT_EQ(n.detach(), &n);
    n.append(new XML::Element("lost"));  // deleted, not linked
    EXPECT_FALSE(XML::exists(n.firstChild));
    EXPECT_EQ(n.parent, &n);
    EXPECT_EQ(n.next, &n);
}

TEST(XmlFind, FirstMatchOnlyAndExactNames) {
    XML::Document doc;
    XML::parse(doc, "<?xml version=\"1.0\"?><!-- c --><r><a><x>1</x></a><a><b>2</b></a><B>3</B></r>");
    EXPECT_FALSE(XML::exists(doc.find("r/a/b")));  // no backtracking to the second a
    EXPECT_EQ(doc.find("r/a/x").value(), "1");
    EXPECT_EQ(doc.find("r/B").value(), "3");
    EXPECT_FALSE(XML::exists(doc.find("r/b")));
    EXPECT_EQ(doc.find("xml").kind(), 7);
    EXPECT_EQ(doc.find("xml").attribute("version").value(), "1.0");
    const char* missing[] = {"", "/r", "r/", "r//a", "q", "r/a/x/y"};
    for (const char* p : missing) EXPECT_FALSE(XML::exists(doc.find(p))) << p;
    EXPECT_EQ(doc.findAny("q", "r/a/b", "r/B").value(), "3");
    EXPECT_FALSE(XML::exists(doc.findAny("q", "z")));
    EXPECT_EQ(&doc.find("r/a/x").root(), &doc);
}

TEST(XmlSibling, RunOfEqualNames) {
    XML::Document doc;
    XML::parse(doc, "<r><det>0</det><det>1</det><x/><det>3</det></r>");
    XML::_Node& first = doc.find("r/det");
    EXPECT_EQ(&first.sibling(0), &first);
    EXPECT_EQ(first.sibling(1).value(), "1");
    EXPECT_FALSE(XML::exists(first.sibling(2)));
    EXPECT_FALSE(XML::exists(first.sibling(3)));
    EXPECT_FALSE(XML::exists(first.sibling(-1)));
}

TEST(XmlSibling, StaysCorrectWhenTheTreeChanges) {
    XML::Document doc;
    XML::parse(doc, "<r><d>0</d><d>1</d><d>2</d><d>3</d></r>");
    XML::_Node& first = doc.find("r/d");
    EXPECT_EQ(first.sibling(3).value(), "3");
    delete &first.sibling(2);
    EXPECT_EQ(first.sibling(2).value(), "3");
    EXPECT_FALSE(XML::exists(first.sibling(3)));
    doc.find("r").append(new XML::Element("d", "4"));
    EXPECT_EQ(first.sibling(3).value(), "4");
    EXPECT_EQ(first.sibling(1).value(), "1");
}

struct Target {
    std::string text = "keep";
    int i = -7;
    long long ll = -7;
    int digits = -7;
    char ch = '?';
};

TEST(XmlReads, ConvertValuesAndSkipMissingNodes) {
    XML::Document doc;
    XML::parse(doc,
               "<r><t>abc</t><n> -42x</n><big>99999999999</big><d>0.07</d><cnpj>12.345.678/0001-90</cnpj>"
               "<e></e><huge>123456789012345678901234567890</huge></r>");
    XML::_Node& r = doc.find("r");
    Target t;
    r.find("t").readText(t.text).readChar(t.ch);
    EXPECT_EQ(t.text, "abc");
    EXPECT_EQ(t.ch, 'a');
    r.find("n").readInt(t.i).readInt64(t.ll);
    EXPECT_EQ(t.i, -42);
    EXPECT_EQ(t.ll, -42);
    r.find("big").readInt(t.i).readInt64(t.ll);
    EXPECT_EQ(t.i, INT_MAX);
    EXPECT_EQ(t.ll, 99999999999LL);
    int truncated = 0;
    r.find("big").readInt64(truncated);
    EXPECT_EQ(truncated, static_cast<int>(99999999999LL));
    r.find("d").readDigits(t.digits);
    EXPECT_EQ(t.digits, 7);
    long long cnpj = 0;
    r.find("cnpj").readDigits(cnpj);
    EXPECT_EQ(cnpj, 12345678000190LL);
    r.find("huge").readDigits(t.digits);
    EXPECT_EQ(t.digits, INT_MAX);
    // Empty text: readChar leaves its target, the others overwrite.
    t.ch = '?';
    r.find("e").readChar(t.ch).readInt(t.i);
    EXPECT_EQ(t.ch, '?');
    EXPECT_EQ(t.i, 0);

    Target untouched;
    r.find("missing")
        .readText(untouched.text)
        .readInt(untouched.i)
        .readInt64(untouched.ll)
        .readDigits(untouched.digits)
        .readChar(untouched.ch);
    EXPECT_EQ(untouched.text, "keep");
    EXPECT_EQ(untouched.i, -7);
    EXPECT_EQ(untouched.ll, -7);
    EXPECT_EQ(untouched.digits, -7);
    EXPECT_EQ(untouched.ch, '?');
}

// Stands in for the fiscal fixed-point type, which brings its own decimal reader.
struct FakeAmount {
    std::string seen = "unset";
    void fromString(std::string_view s) { seen = std::string(s); }
};

TEST(XmlReads, DecimalUsesTheTargetsReader) {
    XML::Document doc;
    XML::parse(doc, "<r><v>1.50</v></r>");
    FakeAmount a, b, c;
    doc.find("r/v").readDecimal<2>(a).readDecimal(b);
    doc.find("r/x").readDecimal<2>(c);
    EXPECT_EQ(a.seen, "1.50");
    EXPECT_EQ(b.seen, "1.50");
    EXPECT_EQ(c.seen, "unset");
}

TEST(XmlSerialize, NodesOnTheirOwn) {
    struct Case {
        std::string out;
        std::string expected;
    };
    XML::Element withAttrs("a", "x<y>&\"'", XML::Attribute("k", "1\"<>&"));
    withAttrs.firstAttribute().append(new XML::Attribute("n", 2));
    const Case cases[] = {
        {XML::Element("a").toString(), "<a/>"},
        {XML::Element("a", "", XML::Attribute("x", "1")).toString(), "<a x=\"1\" />"},
        {XML::Element("a", "t").toString(), "<a>t</a>"},
        {withAttrs.toString(), "<a k=\"1&quot;&lt;&gt;&amp;\" n=\"2\">x&lt;y&gt;&amp;\"'</a>"},
        {XML::Element("q", "<![CDATA[1 < 2]]>").toString(), "<q><![CDATA[1 < 2]]></q>"},
        {XML::Element("q", "<![CDATA[]]>").toString(), "<q/>"},
        {XML::Element("n", 1.5).toString(), "<n>1.5</n>"},
        {XML::Element("n", 42).toString(), "<n>42</n>"},
        {XML::Attribute("a", "v").toString(), "a=\"v\""},
        {XML::Comment("c&").toString(), "<!-- c&amp; -->"},
        {XML::ProcessingInstruction("xml", XML::Attribute("version", "1.0")).toString(), "<?xml version=\"1.0\"?>"},
        {XML::Element("a", "\xE7").toString(XML::latin1ToUtf8), "<a>\xC3\xA7</a>"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.out, c.expected);

    XML::Element cd("q", "<![CDATA[x]]>");
    EXPECT_TRUE(cd.cdata);
    EXPECT_EQ(cd.value(), "x");
    cd.setText("a]]>b");  // cannot stay in one section
    XML::Document back;
    XML::parse(back, "<r>" + cd.toString() + "</r>");
    EXPECT_EQ(xmltest::dumpDocument(back), "r{qC'a]]>b'}");
}

TEST(XmlSerialize, TreeWithAndWithoutIndent) {
    XML::Document doc;
    XML::parse(doc, "<?xml version=\"1.0\"?><r a=\"1\"><b>x</b><c><d/></c><!-- k --></r>");
    EXPECT_EQ(doc.toStringTree(false, nullptr),
              "<?xml version=\"1.0\"?><r a=\"1\"><b>x</b><c><d/></c><!--  k  --></r>");
    EXPECT_EQ(doc.toStringTree(true, nullptr),
              "<?xml version=\"1.0\"?>\n"
              "<r a=\"1\">\n"
              "  <b>x</b>\n"
              "  <c>\n"
              "    <d/>\n"
              "  </c>\n"
              "  <!--  k  -->\n"
              "</r>\n");
    // From an inner node: it and its following siblings.
    EXPECT_EQ(doc.find("r/b").toStringTree(false, nullptr), "<b>x</b><c><d/></c><!--  k  -->");
}

TEST(XmlBuild, DetachAndAppendAssembleATree) {
    XML::Document doc;
    doc.appendDetached(XML::ProcessingInstruction("xml", XML::Attribute("version", "1.0")));
    doc.appendDetached(XML::Element("CFe")
                           .detachWith(XML::Element("infCFe", "", XML::Attribute("versao", "0.07"))
                                           .detachWith(XML::Element("ide").detachWith(XML::Element("CNPJ", "123"))))
                           .detachWith(XML::Element("fim")));
    EXPECT_EQ(xmltest::dumpDocument(doc), "?xml[version=1.0] CFe{infCFe[versao=0.07]{ide{CNPJ'123'}},fim}");

    XML::Element stack("e", "t", XML::Attribute("a", "1"));
    stack.appendDetached(XML::Element("c"));
    XML::_Node* heap = stack.detach();
    EXPECT_EQ(stack.name(), "");
    EXPECT_FALSE(XML::exists(stack.firstChild));
    EXPECT_FALSE(XML::exists(&stack.firstAttribute()));
    EXPECT_EQ(xmltest::dump(*heap), "e[a=1]'t'{c}");
    EXPECT_EQ(heap->firstChild->parent, heap);
    EXPECT_EQ(heap->firstAttribute().parent, heap);
    doc.find("CFe").append(heap);
    EXPECT_EQ(&doc.find("CFe").lastChild(), heap);
}

TEST(XmlBuild, AppendRules) {
    XML::Document doc;
    XML::parse(doc, "<r><a/></r>");
    XML::_Node& r = doc.find("r");
    r.append(new XML::Attribute("k", "v"));  // goes to the attributes
    EXPECT_EQ(r.attribute("k").value(), "v");
    EXPECT_EQ(r.attribute("k").parent, &r);

    XML::Document other;
    XML::parse(other, "<x/><y/>");
    r.append(&other);  // a document stands for its nodes
    EXPECT_EQ(xmltest::dumpDocument(doc), "r[k=v]{a,x,y}");
    EXPECT_FALSE(XML::exists(other.firstChild));

    r.append(&r);  // cycles are refused
    r.find("a").append(&r);
    EXPECT_EQ(xmltest::dumpDocument(doc), "r[k=v]{a,x,y}");

    r.find("a").append(&r.find("y"));  // moved, not shared
    EXPECT_EQ(xmltest::dumpDocument(doc), "r[k=v]{a{y},x}");

    XML::ProcessingInstruction pi("p");
    pi.append(new XML::Element("no"));
    pi.append(new XML::Attribute("yes", "1"));
    EXPECT_FALSE(XML::exists(pi.firstChild));
    EXPECT_EQ(pi.toString(), "<?p yes=\"1\"?>");
    r.append(nullptr);
    r.append(&XML::nullNode());
    EXPECT_EQ(xmltest::dumpDocument(doc), "r[k=v]{a{y},x}");
}

TEST(XmlBuild, DestructionUnlinks) {
    XML::Document doc;
    XML::parse(doc, "<r><a/><b/><c/></r>");
    XML::_Node& r = doc.find("r");
    delete &r.find("a");
    EXPECT_EQ(r.firstChild->name(), "b");
    delete &r.find("c");
    EXPECT_EQ(&r.lastChild(), &r.find("b"));
    delete &r.find("b");
    EXPECT_TRUE(r.isEmpty());
    r.append(new XML::Element("d"));
    EXPECT_EQ(xmltest::dumpDocument(doc), "r{d}");
}

// Counts the nodes of its kind alive, to see that a document deletes what was linked into it.
struct CountedElement : XML::Element {
    static inline int alive = 0;
    explicit CountedElement(const char* name) : XML::Element(name, "t") { ++alive; }
    ~CountedElement() override { --alive; }
};

TEST(XmlOwnership, NodesMovedBetweenDocumentsOutliveTheirSource) {
    XML::Document target;
    XML::parse(target, "<r/>");
    {
        XML::Document source;
        XML::parse(source, "<s><x k=\"1\"><y>\xC3\xA7&amp;</y><!-- c --></x><z a=\"v\"/></s>");
        XML::_Node& x = source.find("s/x");
        target.find("r").append(&x);  // another document's node: linked as a copy of its subtree
        target.find("r").append(&source.find("s/z").firstAttribute());
        EXPECT_EQ(xmltest::dumpDocument(source), "s{z}");
    }
    EXPECT_EQ(xmltest::dumpDocument(target), "r[a=v]{x[k=1]{y'\xE7&',# c #}}");
    EXPECT_EQ(target.toStringTree(false, XML::latin1ToUtf8),
              "<r a=\"v\"><x k=\"1\"><y>\xC3\xA7&amp;</y><!--  c  --></x></r>");

    // Inside one document a move keeps the node itself.
    XML::Document doc;
    XML::parse(doc, "<r><a/><b><c>1</c></b></r>");
    XML::_Node* c = &doc.find("r/b/c");
    doc.find("r/a").append(c);
    EXPECT_EQ(&doc.find("r/a/c"), c);
    EXPECT_EQ(xmltest::dumpDocument(doc), "r{a{c'1'},b}");
}

TEST(XmlOwnership, DetachOfParsedNodesCopiesThem) {
    XML::Document built;
    XML::_Node* copy;
    {
        XML::Document doc;
        XML::parse(doc, "<r><e a=\"1\"><f>x</f></e><g/></r>");
        XML::_Node& e = doc.find("r/e");
        copy = e.detach();
        EXPECT_NE(copy, &e);
        EXPECT_EQ(e.name(), "");
        EXPECT_FALSE(XML::exists(e.firstChild));
        EXPECT_FALSE(XML::exists(&e.firstAttribute()));
        EXPECT_EQ(xmltest::dumpDocument(doc), "r{g}");
        built.append(copy);
        // A copy made by detach() is handed back as it is.
        EXPECT_EQ(copy->detach(), copy);
        built.append(copy);
    }
    EXPECT_EQ(xmltest::dumpDocument(built), "e[a=1]{f'x'}");
    EXPECT_EQ(copy->firstChild->parent, copy);

    // A whole parsed document handed to the heap keeps its nodes.
    XML::_Node* heapDoc;
    {
        XML::Document doc;
        XML::parse(doc, "<r><a>1</a></r>");
        heapDoc = doc.detach();
        EXPECT_FALSE(XML::exists(doc.firstChild));
    }
    EXPECT_EQ(heapDoc->find("r/a").value(), "1");
    delete heapDoc;
}

TEST(XmlOwnership, ParsedDocumentDeletesTheNodesLinkedIntoIt) {
    {
        XML::Document doc;
        XML::parse(doc, "<r><a/></r>");
        doc.find("r/a").append(new CountedElement("n1"));
        doc.append(new CountedElement("n2"));
        XML::_Node& r = doc.find("r");
        r.append(new XML::Attribute("k", "v"));
        EXPECT_EQ(CountedElement::alive, 2);
        EXPECT_EQ(xmltest::dumpDocument(doc), "r[k=v]{a{n1't'}} n2't'");
        // Texts set on parsed nodes stay with the document too.
        static_cast<XML::Element&>(doc.find("r/a")).setText("novo");
        EXPECT_EQ(doc.find("r/a").value(), "novo");
    }
    EXPECT_EQ(CountedElement::alive, 0);

    // Parsing again drops the nodes linked into the previous tree as well.
    XML::Document doc;
    XML::parse(doc, "<r/>");
    doc.find("r").append(new CountedElement("n"));
    XML::parse(doc, "<q/>");
    EXPECT_EQ(CountedElement::alive, 0);
    EXPECT_EQ(xmltest::dumpDocument(doc), "q");
}

TEST(XmlBuild, DeepBuiltTreeNeedsNoRecursion) {
    XML::Document doc;
    XML::_Node* cur = &doc;
    for (int i = 0; i < 300000; ++i) {
        auto* e = new XML::Element("e");
        cur->append(e);
        cur = e;
    }
    const std::string s = doc.toStringTree(false, nullptr);
    EXPECT_EQ(s.size(), 300000u * 7 - 3);  // "<e>"+"</e>" per level, the innermost "<e/>"
}

}  // namespace
