// Hostile bytes through the parser, the lookups, the typed reads and a serialize/re-parse cycle.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "xml/XML.h"

namespace {

// The elements of a tree (names, attributes, texts) in document order; comments are left out
// because their text is not meant to survive a round trip byte for byte.
bool picture(const XML::_Node& root, std::string& out) {
    const XML::_Node* n = root.firstChild;
    int depth = 0;
    while (depth >= 0 && XML::exists(n)) {
        if (n->kind() == 2 || n->kind() == 7) {
            const std::string_view name = n->name();
            // Names no XML writer produces (markup characters in them, or names the reader takes
            // for declarations) cannot be written back as the same elements.
            if (n->kind() == 2 && !name.empty() && (name[0] == '?' || name[0] == '!')) return false;
            if (name.find_first_of("/<>\"'=&") != std::string_view::npos) return false;
            out += std::to_string(depth) + ":" + std::to_string(n->kind()) + std::string(name) + "[";
            for (const XML::_Node* a = &n->firstAttribute(); XML::exists(a); a = a->next)
                out += std::string(a->name()) + "=" + std::string(a->value()) + ";";
            out += "]" + std::string(n->value()) + "\n";
        }
        if (XML::exists(n->firstChild)) {
            n = n->firstChild;
            ++depth;
            continue;
        }
        while (depth >= 0 && !XML::exists(n->next)) {
            n = n->parent;
            --depth;
        }
        if (depth >= 0) n = n->next;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    XML::Document doc;
    XML::parse(doc, text);

    std::string s;
    int i = 0;
    long long ll = 0;
    char c = 0;
    XML::_Node& first = XML::exists(doc.firstChild->firstChild) ? *doc.firstChild->firstChild : *doc.firstChild;
    first.readText(s).readInt(i).readInt64(ll).readDigits(i).readChar(c);
    for (int n = 0; n < 64 && XML::exists(first.sibling(n)); ++n) first.sibling(n).readDigits(ll);
    doc.findAny("a/b", "xml", "CFe/infCFe", "nfeProc/NFe/infNFe/det");
    first.attribute("Id");
    (void)doc.toStringTree(true, nullptr);

    // What was read must be written and read back as the same tree.
    XML::Document again;
    XML::parse(again, doc.toStringTree(false, XML::latin1ToUtf8));
    std::string before, after;
    if (picture(doc, before)) {
        picture(again, after);
        if (before != after) __builtin_trap();
    }
    return 0;
}
