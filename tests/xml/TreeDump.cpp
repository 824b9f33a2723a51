#include "TreeDump.h"

#include <utility>
#include <vector>

namespace xmltest {

namespace {

std::string attrs(const XML::_Node& n) {
    std::string out;
    for (const XML::_Node* a = &n.firstAttribute(); XML::exists(a); a = a->next) {
        out += out.empty() ? "[" : ",";
        out += std::string(a->name()) + "=" + std::string(a->value());
    }
    if (!out.empty()) out += "]";
    return out;
}

}  // namespace

std::string dump(const XML::_Node& n) {
    std::string out;
    switch (n.kind()) {
    case 2: {
        const auto& e = static_cast<const XML::Element&>(n);
        out = std::string(e.name()) + attrs(e);
        if (e.cdata) out += "C";
        if (!e.value().empty() || e.cdata) out += "'" + std::string(e.value()) + "'";
        break;
    }
    case 6: out = "#" + std::string(static_cast<const XML::Comment&>(n).text()) + "#"; break;
    case 7: out = "?" + std::string(n.name()) + attrs(n); break;
    default: out = "<kind " + std::to_string(n.kind()) + ">";
    }
    if (XML::exists(n.firstChild)) {
        out += "{";
        bool first = true;
        for (const XML::_Node* c = n.firstChild; XML::exists(c); c = c->next) {
            if (!first) out += ",";
            first = false;
            out += dump(*c);
        }
        out += "}";
    }
    return out;
}

std::string dumpDocument(const XML::Document& doc) {
    std::string out;
    for (const XML::_Node* c = doc.firstChild; XML::exists(c); c = c->next) {
        if (!out.empty()) out += " ";
        out += dump(*c);
    }
    return out;
}

std::string parseAndDump(std::string_view text, XML::Converter converter) {
    XML::Document doc;
    XML::parse(doc, text, converter);
    return dumpDocument(doc);
}

// Both walks are iterative: they also run on trees thousands of levels deep.
int countElements(const XML::_Node& root) {
    int count = 0;
    std::vector<const XML::_Node*> todo{&root};
    while (!todo.empty()) {
        const XML::_Node* n = todo.back();
        todo.pop_back();
        if (n->kind() == 2) ++count;
        for (const XML::_Node* c = n->firstChild; XML::exists(c); c = c->next) todo.push_back(c);
    }
    return count;
}

int maxElementDepth(const XML::_Node& root) {
    int best = 0;
    std::vector<std::pair<const XML::_Node*, int>> todo{{&root, 0}};
    while (!todo.empty()) {
        auto [n, d] = todo.back();
        todo.pop_back();
        if (d > best) best = d;
        for (const XML::_Node* c = n->firstChild; XML::exists(c); c = c->next)
            if (c->kind() == 2) todo.push_back({c, d + 1});
    }
    return best;
}

}  // namespace xmltest
