// The XML node classes: linking, ownership, navigation, typed reads and serialization.
#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "xml/NodeMemory.h"
#include "xml/XML.h"

namespace XML {

namespace detail {
constinit NullHolder nullHolder;
}

namespace {

// Bumped whenever a node leaves a live tree or a tree is destroyed, so that the sibling
// lookup cache below never follows a pointer into freed or rearranged nodes.
std::atomic<unsigned long long> structureGeneration{1};

void structureChanged() noexcept { structureGeneration.fetch_add(1, std::memory_order_acq_rel); }

// Readers walk repeated elements with sibling(0), sibling(1), ... from the first one; remembering
// the last step keeps such a loop linear instead of quadratic in the number of elements.
struct SiblingCache {
    const _Node* start = nullptr;
    unsigned long long generation = 0;
    int index = 0;
    _Node* node = nullptr;
};
thread_local SiblingCache siblingCache;

std::string convert(std::string_view text, Converter converter) {
    return converter ? converter(std::string(text)) : std::string(text);
}

void indentTo(std::string& out, int depth) { out.append(static_cast<std::size_t>(depth) * 2, ' '); }

// CDATA content cannot hold "]]>": such a text is split over two sections.
std::string cdataSection(std::string_view text) {
    std::string out = "<![CDATA[";
    std::size_t from = 0;
    for (std::size_t at; (at = text.find("]]>", from)) != std::string::npos; from = at + 2) {
        out.append(text, from, at + 2 - from);
        out += "]]><![CDATA[";
    }
    out.append(text, from, std::string::npos);
    out += "]]>";
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// _Node

_Node::_Node() noexcept
    : parent(&nullNode()), next(&nullNode()), previous(&nullNode()), firstChild(&nullNode()), lastChild_(&nullNode()) {}

_Node::~_Node() {
    _Node* nul = &nullNode();
    if (this == nul) return;
    // Nodes of a tree being destroyed arrive already unlinked and childless.
    if (parent != nul || next != nul || previous != nul) unlink();
    if (firstChild != nul) deleteChildren();
}

int _Node::kind() const { return 0; }
std::string_view _Node::name() const { return {}; }
std::string_view _Node::value() const { return {}; }
_Node& _Node::firstAttribute() const { return nullNode(); }
_Node& _Node::attribute(std::string_view) const { return nullNode(); }
_Node* _Node::detach() { return &nullNode(); }

std::string _Node::toString(Converter converter) const {
    const std::string_view n = name();
    if (n.empty()) return {};
    const std::string cn = convert(n, converter);
    const std::string_view v = value();
    if (v.empty()) return "<" + cn + "/>";
    return "<" + cn + ">" + escapeText(convert(v, converter), false) + "</" + cn + ">";
}

_Node& _Node::root() const {
    const _Node* n = this;
    while (exists(n->parent)) n = n->parent;
    return const_cast<_Node&>(*n);
}

bool _Node::isEmpty() const { return !exists(firstChild); }

std::string _Node::toStringTree(bool indent, Converter converter) const {
    std::string out;
    if (!exists(this)) return out;
    const _Node* nul = &nullNode();
    const _Node* n = this;
    int depth = 0;
    auto piece = [&](const std::string& s, int d) {
        if (indent) indentTo(out, d);
        out += s;
        if (indent) out += '\n';
    };
    // Iterative walk: a deep tree must not exhaust the stack.
    while (n != nul) {
        const bool container = n->kind() == 2 && exists(n->firstChild);
        if (container) {
            const auto* e = static_cast<const Element*>(n);
            std::string open = e->openTag(converter);
            const std::string_view text = e->value();
            if (!text.empty())
                open += e->cdata ? cdataSection(convert(text, converter)) : escapeText(convert(text, converter), false);
            piece(open, depth);
        } else {
            piece(n->toString(converter), depth);
        }
        if (exists(n->firstChild)) {
            n = n->firstChild;
            ++depth;
            continue;
        }
        for (;;) {
            if (n->next != nul) {
                n = n->next;
                break;
            }
            if (depth == 0) {
                n = nul;
                break;
            }
            n = n->parent;
            --depth;
            if (n->kind() == 2) piece(static_cast<const Element*>(n)->closeTag(converter), depth);
        }
    }
    return out;
}

_Node& _Node::append(_Node* node) {
    _Node* nul = &nullNode();
    if (node == nullptr || node == nul) return *this;
    // Would make a cycle; only a node with children can be an ancestor.
    if (node == this || (exists(node->firstChild) && node->isAncestorOrSelf(this))) return *this;
    if (this == nul) {
        rejectNode(node);
        return *this;
    }
    if (node->kind() == 1) {
        // A document stands for its top-level nodes.
        while (exists(node->firstChild)) {
            _Node* c = node->firstChild;
            c->unlink();
            append(c);
        }
        if (node->storage_ == Storage::detached) delete node;
        return *this;
    }
    if (node->kind() == 3) {
        rejectNode(node);
        return *this;
    }
    node = prepareForLink(node, arena());
    if (exists(node->parent) || exists(node->previous) || exists(node->next)) node->unlink();
    linkChild(node);
    return *this;
}

_Node& _Node::find(std::string_view path) const {
    const _Node* nul = &nullNode();
    const _Node* cur = this;
    const char* p = path.data();
    const char* const end = p + path.size();
    for (;;) {
        // Segments are short: a plain scan finds the next '/' sooner than a library call.
        const char* slash = p;
        while (slash != end && *slash != '/') ++slash;
        const std::size_t len = static_cast<std::size_t>(slash - p);
        if (len == 0) return nullNode();
        const _Node* found = nul;
        for (const _Node* c = cur->firstChild; c != nul; c = c->next) {
            const std::string_view n = c->name();
            if (n.size() == len && n[0] == p[0] && std::memcmp(n.data(), p, len) == 0) {
                found = c;
                break;
            }
        }
        if (found == nul) return nullNode();
        cur = found;
        if (slash == end) return const_cast<_Node&>(*cur);
        p = slash + 1;
    }
}

_Node& _Node::sibling(int n) const {
    if (n < 0 || !exists(this)) return nullNode();
    if (n == 0) return const_cast<_Node&>(*this);
    const unsigned long long gen = structureGeneration.load(std::memory_order_acquire);
    const _Node* cur = this;
    int i = 0;
    SiblingCache& cache = siblingCache;
    if (cache.start == this && cache.generation == gen && cache.index <= n) {
        cur = cache.node;
        i = cache.index;
    }
    const std::string_view own = name();
    while (i < n) {
        const _Node* nx = cur->next;
        if (!exists(nx) || nx->name() != own) return nullNode();
        cur = nx;
        ++i;
    }
    cache = {this, gen, n, const_cast<_Node*>(cur)};
    return const_cast<_Node&>(*cur);
}

_Node& _Node::appendDetached(_Node& node) {
    if (&node == this) return *this;
    return append(node.detach());
}

_Node& _Node::detachWith(_Node& node) {
    _Node* copy = detach();
    if (!exists(copy)) return nullNode();
    if (&node != this && &node != copy) copy->append(node.detach());
    return *copy;
}

const _Node& _Node::readText(std::string& target) const {
    if (kind() != 0) target = value();
    return *this;
}

const _Node& _Node::readInt(int& target) const {
    if (kind() != 0) {
        const long long v = parseInt64(value());
        target = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    }
    return *this;
}

const _Node& _Node::readChar(char& target) const {
    if (kind() != 0 && !value().empty()) target = value()[0];
    return *this;
}

long long _Node::parseInt64(std::string_view text) noexcept {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Accumulated as a negative number, whose range includes LLONG_MIN.
    long long v = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int d = text[i] - '0';
        if (v < (LLONG_MIN + d) / 10) return negative ? LLONG_MIN : LLONG_MAX;
        v = v * 10 - d;
    }
    if (negative) return v;
    return v == LLONG_MIN ? LLONG_MAX : -v;
}

detail::Arena* _Node::arena() const noexcept {
    if (parsed()) return detail::Arena::of(this);
    if (kind() == 1) return static_cast<const Document*>(this)->arena_;
    return nullptr;
}

void _Node::assignString(const char*& data, std::uint32_t& size, std::string_view text) {
    if (text.size() > UINT32_MAX) throw std::length_error("XML text too long");
    const char* fresh = detail::emptyChars;
    if (!text.empty()) {
        char* p;
        if (parsed()) {
            p = detail::Arena::of(this)->allocateText(text.size());
        } else {
            p = new char[text.size()];
        }
        std::memcpy(p, text.data(), text.size());
        fresh = p;
    }
    releaseString(data, size);
    data = fresh;
    size = static_cast<std::uint32_t>(text.size());
}

void _Node::releaseString(const char*& data, std::uint32_t& size) noexcept {
    if (size != 0 && !parsed()) delete[] data;
    data = detail::emptyChars;
    size = 0;
}

void _Node::rejectNode(_Node* node) noexcept {
    if (node == nullptr || !exists(node) || node->kind() == 1) return;
    if (exists(node->parent) || exists(node->previous)) return;  // it belongs to another tree
    delete node;  // an attribute chain's head takes its followers with it
}

void _Node::unlink() noexcept {
    _Node* nul = &nullNode();
    if (this == nul) return;
    if (parent != nul) {
        if (parent->firstChild == this) parent->firstChild = next;
        if (parent->lastChild_ == this) parent->lastChild_ = previous;
        structureChanged();
    }
    if (previous != nul) previous->next = next;
    if (next != nul) next->previous = previous;
    parent = next = previous = nul;
}

void _Node::linkChild(_Node* node) noexcept {
    _Node* nul = &nullNode();
    node->parent = this;
    node->next = nul;
    node->previous = lastChild_;
    if (lastChild_ != nul)
        lastChild_->next = node;
    else
        firstChild = node;
    lastChild_ = node;
}

void _Node::moveChildrenTo(_Node& target) noexcept {
    _Node* nul = &nullNode();
    if (firstChild == nul) return;
    for (_Node* c = firstChild; c != nul; c = c->next) c->parent = &target;
    if (target.lastChild_ != nul) {
        target.lastChild_->next = firstChild;
        firstChild->previous = target.lastChild_;
    } else {
        target.firstChild = firstChild;
    }
    target.lastChild_ = lastChild_;
    firstChild = lastChild_ = nul;
    structureChanged();
}

void _Node::deleteChildren() noexcept {
    _Node* nul = &nullNode();
    if (firstChild == nul) return;
    structureChanged();
    // Grandchildren are moved up to this list before their parent goes, so destroying a deep
    // tree needs no recursion.
    while (firstChild != nul) {
        _Node* c = firstChild;
        if (c->firstChild != nul) {
            for (_Node* g = c->firstChild; g != nul; g = g->next) g->parent = this;
            lastChild_->next = c->firstChild;
            c->firstChild->previous = lastChild_;
            lastChild_ = c->lastChild_;
            c->firstChild = c->lastChild_ = nul;
        }
        firstChild = c->next;
        if (firstChild != nul)
            firstChild->previous = nul;
        else
            lastChild_ = nul;
        c->parent = c->next = c->previous = nul;
        delete c;
    }
}

bool _Node::isAncestorOrSelf(const _Node* node) const noexcept {
    const _Node* nul = &nullNode();
    for (const _Node* p = node; p != nul; p = p->parent)
        if (p == this) return true;
    return false;
}

_Node* _Node::adopt(_Node* copy) noexcept {
    unlink();
    moveChildrenTo(*copy);
    copy->storage_ = Storage::detached;
    return copy;
}

// ---------------------------------------------------------------------------------------------
// Copies of parsed nodes

// Heap copies of parsed nodes, for the trees they are moved into.
class NodeCopy {
public:
    // The node alone: strings and attributes, no children.
    static _Node* one(const _Node& n) {
        switch (n.kind()) {
        case 2: {
            const auto& src = static_cast<const Element&>(n);
            auto copy = std::make_unique<Element>();
            copy->setName(src.name());
            copy->setText(src.value());
            copy->cdata = src.cdata;
            copyAttributes(src, *copy);
            return finish(copy.release());
        }
        case 3: return finish(new Attribute(n.name(), n.value()));
        case 6: return finish(new Comment(static_cast<const Comment&>(n).text()));
        case 7: {
            auto copy = std::make_unique<ProcessingInstruction>(n.name());
            copyAttributes(static_cast<const ProcessingInstruction&>(n), *copy);
            return finish(copy.release());
        }
        default: return finish(new Element);  // a parser makes no other kind
        }
    }

    // The node with its whole subtree, copied without recursion.
    static _Node* tree(const _Node& n) {
        std::unique_ptr<_Node> root(one(n));
        std::vector<std::pair<const _Node*, _Node*>> todo{{&n, root.get()}};
        while (!todo.empty()) {
            auto [from, to] = todo.back();
            todo.pop_back();
            for (const _Node* c = from->firstChild; exists(c); c = c->next) {
                _Node* cc = one(*c);
                to->linkChild(cc);
                if (exists(c->firstChild)) todo.push_back({c, cc});
            }
        }
        return root.release();
    }

private:
    static _Node* finish(_Node* n) noexcept {
        n->storage_ = _Node::Storage::detached;
        return n;
    }
    template <int K, class T>
    static void copyAttributes(const TElement<K, T>& from, TElement<K, T>& to) {
        for (const _Node* a = from.firstAttribute_; exists(a); a = a->next) to.append(one(*a));
    }
};

_Node* _Node::prepareForLink(_Node* node, detail::Arena* targetArena) {
    if (node->parsed()) {
        if (detail::Arena::of(node) == targetArena) return node;  // moved inside its own tree
        _Node* copy = node->kind() == 3 ? NodeCopy::one(*node) : NodeCopy::tree(*node);
        if (node->kind() == 3)
            static_cast<Attribute*>(node)->unlinkAttribute();
        else
            node->unlink();
        node = copy;
    }
    if (targetArena) targetArena->markMixed();
    return node;
}

_Node* _Node::detachStored() {
    if (storage_ == Storage::owned) return nullptr;
    if (storage_ == Storage::detached) {
        unlink();
        return this;
    }
    _Node* copy = NodeCopy::tree(*this);
    unlink();
    // The parsed children stay behind in the document's memory.
    firstChild = lastChild_ = &nullNode();
    return copy;
}

// ---------------------------------------------------------------------------------------------
// TElement

template <int K, class T>
TElement<K, T>::TElement() noexcept : firstAttribute_(&nullNode()) {}

template <int K, class T>
TElement<K, T>::~TElement() {
    _Node* nul = &nullNode();
    while (firstAttribute_ != nul) {
        _Node* a = firstAttribute_;
        firstAttribute_ = a->next;
        a->parent = a->next = a->previous = nul;
        delete a;
    }
}

template <int K, class T>
_Node& TElement<K, T>::attribute(std::string_view name) const {
    for (_Node* a = firstAttribute_; exists(a); a = a->next)
        if (a->name() == name) return *a;
    return nullNode();
}

template <int K, class T>
_Node& TElement<K, T>::append(_Node* node) {
    _Node* nul = &nullNode();
    if (node == nullptr || node == nul) return *this;
    if (node->kind() != 3) return _Node::append(node);
    detail::Arena* here = this->arena();
    if (node->parsed() && detail::Arena::of(node) != here) {
        node = _Node::prepareForLink(node, here);
    } else {
        if (exists(node->parent) || exists(node->previous)) {
            // Taken from another element or from the middle of a chain: move that attribute alone.
            static_cast<Attribute*>(node)->unlinkAttribute();
            node->next = nul;
        }
        if (!node->parsed() && here) here->markMixed();
    }
    _Node* last = firstAttribute_;
    if (last == nul) {
        firstAttribute_ = node;
        node->previous = nul;
    } else {
        while (last->next != nul) last = last->next;
        last->next = node;
        node->previous = last;
    }
    for (_Node* a = node; a != nul; a = a->next) a->parent = this;
    return *this;
}

template <int K, class T>
void TElement<K, T>::setAttributes(_Node* chain) noexcept {
    if (chain == nullptr || !exists(chain)) return;
    if (chain->kind() != 3) return;
    append(chain);
}

template <int K, class T>
void TElement<K, T>::moveAttributesTo(TElement& target) noexcept {
    _Node* nul = &nullNode();
    _Node* chain = firstAttribute_;
    firstAttribute_ = nul;
    if (chain == nul) return;
    for (_Node* a = chain; a != nul; a = a->next) a->parent = nul;
    target.append(chain);
}

template <int K, class T>
std::string TElement<K, T>::attributesToString(Converter converter) const {
    std::string out;
    for (_Node* a = firstAttribute_; exists(a); a = a->next) {
        if (!out.empty()) out += ' ';
        out += static_cast<Attribute*>(a)->toStringSingle(converter);
    }
    return out;
}

template class TElement<2, Element>;
template class TElement<7, ProcessingInstruction>;

// ---------------------------------------------------------------------------------------------
// Document

Document::~Document() { clear(); }

void Document::clear() noexcept {
    if (arena_ && !arena_->mixed()) {
        // Every node below was made by the parser and owns nothing: the memory goes at once.
        if (exists(firstChild)) structureChanged();
        firstChild = lastChild_ = &nullNode();
    } else {
        deleteChildren();
    }
    delete arena_;
    arena_ = nullptr;
    stoppedAt_ = complete;
}

_Node* Document::detach() {
    if (storage_ == Storage::detached) return this;
    auto* copy = new Document;
    copy->arena_ = arena_;
    copy->stoppedAt_ = stoppedAt_;
    arena_ = nullptr;
    stoppedAt_ = complete;
    return adopt(copy);
}

std::string Document::toString(Converter converter) const { return toStringTree(false, converter); }

std::string Document::toStringTree(bool indent, Converter converter) const {
    if (!exists(firstChild)) return {};
    return firstChild->toStringTree(indent, converter);
}

// ---------------------------------------------------------------------------------------------
// Attribute

Attribute::Attribute(std::string_view name, std::string_view value) {
    setName(name);
    setValue(value);
}

Attribute::~Attribute() {
    _Node* nul = &nullNode();
    if (!exists(parent) && !exists(previous)) {
        // Head of a standalone chain: it owns the attributes that follow it.
        while (next != nul) {
            _Node* a = next;
            next = a->next;
            if (next != nul) next->previous = this;
            a->parent = a->next = a->previous = nul;
            delete a;
        }
    }
    unlinkAttribute();
    releaseString(name_, nameSize_);
    releaseString(value_, valueSize_);
}

void Attribute::unlinkAttribute() noexcept {
    _Node* nul = &nullNode();
    if (parent != nul) {
        if (parent->kind() == 2) {
            auto* e = static_cast<TElement<2, Element>*>(parent);
            if (e->firstAttribute_ == this) e->firstAttribute_ = next;
        } else if (parent->kind() == 7) {
            auto* e = static_cast<TElement<7, ProcessingInstruction>*>(parent);
            if (e->firstAttribute_ == this) e->firstAttribute_ = next;
        }
    }
    if (previous != nul) previous->next = next;
    if (next != nul) next->previous = previous;
    parent = next = previous = nul;
}

_Node* Attribute::detach() {
    _Node* nul = &nullNode();
    if (exists(parent)) unlinkAttribute();
    if (storage_ == Storage::detached) return this;
    Attribute* copy;
    if (parsed()) {
        copy = static_cast<Attribute*>(NodeCopy::one(*this));
        name_ = value_ = detail::emptyChars;
        nameSize_ = valueSize_ = 0;
    } else {
        copy = new Attribute;
        std::swap(copy->name_, name_);
        std::swap(copy->nameSize_, nameSize_);
        std::swap(copy->value_, value_);
        std::swap(copy->valueSize_, valueSize_);
        copy->storage_ = Storage::detached;
    }
    // The copy takes this attribute's place at the head of its chain.
    if (previous != nul) {
        previous->next = next;
        if (next != nul) next->previous = previous;
    } else {
        copy->next = next;
        if (next != nul) next->previous = copy;
    }
    next = previous = nul;
    return copy;
}

std::string Attribute::toStringSingle(Converter converter) const {
    return convert(name(), converter) + "=\"" + escapeText(convert(value(), converter), true) + "\"";
}

std::string Attribute::toString(Converter converter) const {
    std::string out = toStringSingle(converter);
    for (const _Node* a = next; exists(a); a = a->next) {
        out += ' ';
        out += static_cast<const Attribute*>(a)->toStringSingle(converter);
    }
    return out;
}

_Node& Attribute::append(_Node* node) {
    _Node* nul = &nullNode();
    if (node == nullptr || node == nul || node == this) return *this;
    if (node->kind() != 3) {
        rejectNode(node);
        return *this;
    }
    if (exists(parent)) return parent->append(node);
    // A parsed attribute out of its element is never deleted on its own: it takes no chain.
    if (parsed()) {
        rejectNode(node);
        return *this;
    }
    for (const _Node* a = this; a != nul; a = a->next)
        if (a == node) return *this;  // already in this chain
    if (node->parsed()) {
        node = prepareForLink(node, nullptr);
    } else if (exists(node->parent) || exists(node->previous)) {
        static_cast<Attribute*>(node)->unlinkAttribute();
    }
    _Node* last = this;
    while (last->next != nul) last = last->next;
    last->next = node;
    node->previous = last;
    return *this;
}

// ---------------------------------------------------------------------------------------------
// Element

namespace {

// A text written "<![CDATA[...]]>" given to a constructor stands for its content in that form.
std::string_view cdataContent(std::string_view text, bool& cdata) {
    if (text.size() >= 12 && text.starts_with("<![CDATA[") && text.ends_with("]]>")) {
        cdata = true;
        return text.substr(9, text.size() - 12);
    }
    return text;
}

}  // namespace

Element::Element(std::string_view name, std::string_view text, _Node* attributes) {
    setName(name);
    setText(cdataContent(text, cdata));
    setAttributes(attributes);
}

Element::Element(std::string_view name, std::string_view text, _Node& attributes) {
    setName(name);
    setText(cdataContent(text, cdata));
    if (attributes.kind() == 3) setAttributes(attributes.detach());
}

Element::~Element() {
    releaseString(name_, nameSize_);
    releaseString(text_, textSize_);
}

_Node* Element::detach() {
    if (_Node* done = detachStored()) {
        if (parsed()) {
            firstAttribute_ = &nullNode();
            releaseString(name_, nameSize_);
            releaseString(text_, textSize_);
            cdata = false;
        }
        return done;
    }
    auto* copy = new Element;
    std::swap(copy->name_, name_);
    std::swap(copy->nameSize_, nameSize_);
    std::swap(copy->text_, text_);
    std::swap(copy->textSize_, textSize_);
    copy->cdata = cdata;
    cdata = false;
    moveAttributesTo(*copy);
    return adopt(copy);
}

bool Element::isEmpty() const { return textSize_ == 0 && !exists(firstChild); }

std::string Element::openTag(Converter converter) const {
    // Appended, not `"<" + temporary`: GCC 12 takes that insert for an overlapping copy (-Wrestrict).
    std::string out = "<";
    out += convert(name(), converter);
    const bool attrs = exists(firstAttribute_);
    if (attrs) {
        out += ' ';
        out += attributesToString(converter);
    }
    if (isEmpty()) {
        if (attrs) out += ' ';
        out += '/';
    }
    out += '>';
    return out;
}

std::string Element::closeTag(Converter converter) const {
    if (isEmpty()) return {};
    return "</" + convert(name(), converter) + ">";
}

std::string Element::toString(Converter converter) const {
    std::string out = openTag(converter);
    if (isEmpty()) return out;
    if (cdata)
        out += cdataSection(convert(value(), converter));
    else
        out += escapeText(convert(value(), converter), false);
    out += closeTag(converter);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Comment

Comment::Comment(std::string_view text) { assignString(text_, textSize_, text); }

Comment::~Comment() { releaseString(text_, textSize_); }

_Node* Comment::detach() {
    if (_Node* done = detachStored()) {
        if (parsed()) releaseString(text_, textSize_);
        return done;
    }
    auto* copy = new Comment;
    std::swap(copy->text_, text_);
    std::swap(copy->textSize_, textSize_);
    return adopt(copy);
}

std::string Comment::toString(Converter converter) const {
    return "<!-- " + escapeText(convert(text(), converter), false) + " -->";
}

// ---------------------------------------------------------------------------------------------
// ProcessingInstruction

ProcessingInstruction::ProcessingInstruction(std::string_view target, _Node* attributes) {
    assignString(target_, targetSize_, target);
    setAttributes(attributes);
}

ProcessingInstruction::ProcessingInstruction(std::string_view target, _Node& attributes) {
    assignString(target_, targetSize_, target);
    if (attributes.kind() == 3) setAttributes(attributes.detach());
}

ProcessingInstruction::~ProcessingInstruction() { releaseString(target_, targetSize_); }

_Node* ProcessingInstruction::detach() {
    if (_Node* done = detachStored()) {
        if (parsed()) {
            firstAttribute_ = &nullNode();
            releaseString(target_, targetSize_);
        }
        return done;
    }
    auto* copy = new ProcessingInstruction;
    std::swap(copy->target_, target_);
    std::swap(copy->targetSize_, targetSize_);
    moveAttributesTo(*copy);
    return adopt(copy);
}

std::string ProcessingInstruction::toString(Converter converter) const {
    std::string out = "<?" + escapeText(convert(name(), converter), false);
    if (exists(firstAttribute_)) {
        out += ' ';
        out += attributesToString(converter);
    }
    out += "?>";
    return out;
}

_Node& ProcessingInstruction::append(_Node* node) {
    if (node == nullptr || !exists(node)) return *this;
    if (node->kind() == 3) return TElement::append(node);
    rejectNode(node);
    return *this;
}

}  // namespace XML
