// A small XML tree and a forgiving single-pass parser for the fiscal documents (CF-e SAT, NFC-e).
//
// Text inside the tree is Latin-1: the parser converts on the way in and the serializer on the
// way out, through the converter functions passed to them. Lookups never fail: a missing node
// is the shared null node, on which every accessor is a harmless no-op.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

namespace XML {

// Text converter applied by the parser to texts it reads and by the serializer to names and
// texts it writes. A null converter leaves the text unchanged.
using Converter = std::string (*)(const std::string&);

// UTF-8 to Latin-1: only the two-byte sequences C1..C3 followed by 80..BF are folded, every
// other byte is copied unchanged (so Latin-1 input mostly survives as it is).
std::string utf8ToLatin1(const std::string& text);
// Latin-1 to UTF-8: each byte 0x80 or above becomes two bytes.
std::string latin1ToUtf8(const std::string& text);

// '&', '<' and '>' always; '"' in attribute values only; the apostrophe never.
std::string escapeText(std::string_view text, bool inAttribute);
// The five predefined entities and numeric character references up to 0xFF; any other '&' is
// kept as it is.
std::string decodeEntities(std::string_view text);

// Deepest element nesting the parser accepts; deeper content ends parsing like malformed input.
inline constexpr int maxDepth = 256;

// Document::stoppedAt() of a parse that followed its text to the end.
inline constexpr std::size_t complete = std::numeric_limits<std::size_t>::max();

class _Node;
class Document;

namespace detail {
union NullHolder;
class Arena;
inline constexpr char emptyChars[1] = "";
}  // namespace detail

// The shared null node: returned by every failed lookup, kind() 0, links pointing to itself.
_Node& nullNode() noexcept;

bool exists(const _Node& node) noexcept;
bool exists(const _Node* node) noexcept;

// Nodes come in three kinds of storage:
// - nodes made by the program (on the stack or with new) own their strings;
// - heap nodes made by detach() own their strings too, and detach() returns them as they are;
// - nodes made by parse() live, with their strings, in memory owned by their document, which
//   releases all of it at once. Linking such a node into another tree links a heap copy of it
//   (and of its subtree) instead, so no tree ever points into another document's memory.
class _Node {
public:
    // Links; a missing link is the null node, never a null pointer. Read them freely; change
    // them only through append/detach.
    _Node* parent;
    _Node* next;
    _Node* previous;
    _Node* firstChild;

    _Node(const _Node&) = delete;
    _Node& operator=(const _Node&) = delete;

    // Unlinks the node from its parent and siblings and deletes its children.
    virtual ~_Node();

    static void* operator new(std::size_t size);
    static void* operator new(std::size_t, void* where) noexcept { return where; }
    static void operator delete(void* p) noexcept;
    static void operator delete(void*, void*) noexcept {}
    // Destroys the node; the memory of a parsed node stays with its document.
    static void operator delete(_Node* node, std::destroying_delete_t) noexcept;
    virtual int kind() const;
    virtual std::string_view name() const;
    virtual std::string_view value() const;
    virtual _Node& firstAttribute() const;
    virtual _Node& attribute(std::string_view name) const;
    // Moves everything (children, attributes, strings) into a new heap node of the same class
    // and returns it; this node is left empty. A node made by detach() is only taken out of its
    // tree and returned as it is; a parsed node is copied with its subtree.
    virtual _Node* detach();
    virtual std::string toString(Converter converter = nullptr) const;
    virtual _Node& root() const;
    virtual bool isEmpty() const;
    // This node and its following siblings, depth first.
    virtual std::string toStringTree(bool indent = false, Converter converter = nullptr) const;
    // Links a heap node as the last child and takes ownership of it. A null pointer or the null
    // node is ignored; a node still inside a tree is moved; a node that cannot be accepted here
    // is deleted (unless it belongs to another tree, which is then left untouched).
    virtual _Node& append(_Node* node);

    // Path of names separated by '/', matched exactly against the children, first match only.
    _Node& find(std::string_view path) const;
    template <class... Paths>
    _Node& findAny(const Paths&... paths) const {
        _Node* found = &nullNode();
        ((found->kind() == 0 ? (void)(found = &find(std::string_view(paths))) : (void)0), ...);
        return *found;
    }
    // n steps along 'next', each requiring the same name as this node; sibling(0) is this node.
    // Stepping through a run with a growing n from the same start is linear overall.
    _Node& sibling(int n) const;
    _Node& lastChild() const { return *lastChild_; }

    _Node& appendDetached(_Node& node);
    _Node& appendDetached(_Node&& node) { return appendDetached(static_cast<_Node&>(node)); }
    // Detaches this node, appends node.detach() to the copy and returns the copy.
    _Node& detachWith(_Node& node);
    _Node& detachWith(_Node&& node) { return detachWith(static_cast<_Node&>(node)); }

    // Typed reads: nothing happens on the null node; otherwise the target is overwritten.
    const _Node& readText(std::string& target) const;
    const _Node& readInt(int& target) const;  // atoi, saturated at the int limits
    template <std::integral T>
    const _Node& readInt64(T& target) const  // atoll, then truncated to the field
    {
        if (kind() != 0) target = static_cast<T>(parseInt64(value()));
        return *this;
    }
    template <std::integral T>
    const _Node& readDigits(T& target) const  // every decimal digit, others skipped
    {
        if (kind() == 0) return *this;
        using U = std::make_unsigned_t<T>;
        constexpr U limit = static_cast<U>(std::numeric_limits<T>::max());
        U v = 0;
        for (unsigned char c : value()) {
            if (c < '0' || c > '9') continue;
            U d = c - '0';
            v = (v > (limit - d) / 10) ? limit : static_cast<U>(v * 10 + d);
        }
        target = static_cast<T>(v);
        return *this;
    }
    const _Node& readChar(char& target) const;
    // Fixed-point amounts: readDecimal<N>(amount) or readDecimal(amount); the target's own
    // decimal reader (fromString) does the conversion.
    template <int N, class A>
    const _Node& readDecimal(A& target) const {
        return readDecimal(target);
    }
    template <class A>
    const _Node& readDecimal(A& target) const {
        if (kind() == 0) return *this;
        if constexpr (requires { target.fromString(std::string_view()); })
            target.fromString(value());
        else
            target.fromString(std::string(value()));
        return *this;
    }

protected:
    enum class Storage : unsigned char { owned, detached, parsed };

    _Node() noexcept;

    bool parsed() const noexcept { return storage_ == Storage::parsed; }
    // atoll with strtoll's saturation at the limits, on text that need not end in a NUL.
    static long long parseInt64(std::string_view text) noexcept;
    // Deletes a node that append() cannot accept, unless it still belongs somewhere else.
    static void rejectNode(_Node* node) noexcept;
    // The memory of the parsed tree this node belongs to (a document: its own), or null.
    detail::Arena* arena() const noexcept;
    // The node to link under a node of targetArena's tree: a parsed node of another tree is
    // replaced by a heap copy (and taken out of its tree); any other node marks that tree as
    // holding nodes of its own.
    static _Node* prepareForLink(_Node* node, detail::Arena* targetArena);
    // Takes this node out of its parent's child list or attribute chain.
    void unlink() noexcept;
    void linkChild(_Node* node) noexcept;
    void moveChildrenTo(_Node& target) noexcept;
    void deleteChildren() noexcept;
    bool isAncestorOrSelf(const _Node* node) const noexcept;
    // What every detach() does alike: a node made by detach() leaves its tree as it is; a parsed
    // node leaves it as a heap copy of its subtree and is left childless (its class clears the
    // rest). Null for a node its class moves into a copy itself.
    _Node* detachStored();
    // Finishes a detach(): the copy takes over the children and is marked as made by detach().
    _Node* adopt(_Node* copy) noexcept;
    // A string field of this node set to text: a copy owned by the node, or kept in the
    // document's memory when the node is parsed. The old text is released.
    void assignString(const char*& data, std::uint32_t& size, std::string_view text);
    void releaseString(const char*& data, std::uint32_t& size) noexcept;

    _Node* lastChild_;
    Storage storage_ = Storage::owned;

private:
    struct NullTag {};
    constexpr explicit _Node(NullTag) noexcept
        : parent(this), next(this), previous(this), firstChild(this), lastChild_(this) {}
    friend union detail::NullHolder;
    friend class ParserAccess;
    friend class NodeCopy;
    template <int K, class T>
    friend class TElement;
    friend class Attribute;
};

template <int K, class T>
class TNode : public _Node {
public:
    static constexpr int Kind = K;
    int kind() const override { return K; }
};

// Kinds that carry an attribute chain (Element, ProcessingInstruction).
template <int K, class T>
class TElement : public TNode<K, T> {
public:
    ~TElement() override;
    _Node& firstAttribute() const override { return *firstAttribute_; }
    _Node& attribute(std::string_view name) const override;
    _Node& append(_Node* node) override;

    // Head of the attribute chain (the null node when there is none); the element owns it.
    _Node* firstAttribute_;

protected:
    TElement() noexcept;
    // Takes ownership of a heap attribute chain (its head), or detaches a chain built elsewhere.
    void setAttributes(_Node* chain) noexcept;
    void moveAttributesTo(TElement& target) noexcept;
    std::string attributesToString(Converter converter) const;
    friend class ParserAccess;
    friend class NodeCopy;
};

class Document : public TNode<1, Document> {
public:
    Document() noexcept = default;
    ~Document() override;
    _Node* detach() override;
    std::string toString(Converter converter = nullptr) const override;
    std::string toStringTree(bool indent = false, Converter converter = nullptr) const override;
    // Removes every child.
    void clear() noexcept;
    // Where the last parse() into this document gave up: the offset, in the text it was given, of
    // the first byte it could not use (the end of the text when elements were left open), or
    // complete when it followed the text to its end. Text outside the markup counts as followed.
    std::size_t stoppedAt() const noexcept { return stoppedAt_; }

private:
    // Memory of the nodes parse() made in this document.
    detail::Arena* arena_ = nullptr;
    std::size_t stoppedAt_ = complete;
    friend class _Node;
    friend class ParserAccess;
};

class Attribute : public TNode<3, Attribute> {
public:
    Attribute(std::string_view name = {}, std::string_view value = {});
    template <class V>
    requires(!std::is_convertible_v<const V&, std::string_view>) Attribute(std::string_view name, const V& value)
        : Attribute(name, std::string_view(streamed(value))) {}
    ~Attribute() override;
    std::string_view name() const override { return {name_, nameSize_}; }
    std::string_view value() const override { return {value_, valueSize_}; }
    _Node* detach() override;
    std::string toString(Converter converter = nullptr) const override;
    // Adds another attribute (or chain) to the end of this attribute's chain.
    _Node& append(_Node* node) override;

    // This attribute alone, without the chain that follows it.
    std::string toStringSingle(Converter converter = nullptr) const;
    // Takes this attribute out of its element's or its standalone chain.
    void unlinkAttribute() noexcept;
    void setName(std::string_view text) { assignString(name_, nameSize_, text); }
    void setValue(std::string_view text) { assignString(value_, valueSize_, text); }

    template <class V>
    static std::string streamed(const V& v) {
        std::ostringstream s;
        s << v;
        return s.str();
    }

private:
    const char* name_ = detail::emptyChars;
    const char* value_ = detail::emptyChars;
    std::uint32_t nameSize_ = 0;
    std::uint32_t valueSize_ = 0;
    friend class ParserAccess;
};

class Element : public TElement<2, Element> {
public:
    Element() noexcept = default;
    // attributes: the head of a heap attribute chain (owned from now on) or null.
    Element(std::string_view name, std::string_view text = {}, _Node* attributes = nullptr);
    // attributes: a chain built on the stack (moved in), or the null node.
    Element(std::string_view name, std::string_view text, _Node& attributes);
    Element(std::string_view name, std::string_view text, _Node&& attributes)
        : Element(name, text, static_cast<_Node&>(attributes)) {}
    template <class V>
    requires(!std::is_convertible_v<const V&, std::string_view>)
        Element(std::string_view name, const V& value, _Node* attributes = nullptr)
        : Element(name, std::string_view(Attribute::streamed(value)), attributes) {}
    template <class V>
    requires(!std::is_convertible_v<const V&, std::string_view>)
        Element(std::string_view name, const V& value, _Node& attributes)
        : Element(name, std::string_view(Attribute::streamed(value)), attributes) {}
    template <class V>
    requires(!std::is_convertible_v<const V&, std::string_view>)
        Element(std::string_view name, const V& value, _Node&& attributes)
        : Element(name, std::string_view(Attribute::streamed(value)), static_cast<_Node&>(attributes)) {}
    ~Element() override;

    std::string_view name() const override { return {name_, nameSize_}; }
    std::string_view value() const override { return {text_, textSize_}; }
    _Node* detach() override;
    std::string toString(Converter converter = nullptr) const override;
    bool isEmpty() const override;
    virtual std::string openTag(Converter converter = nullptr) const;
    virtual std::string closeTag(Converter converter = nullptr) const;

    void setName(std::string_view text) { assignString(name_, nameSize_, text); }
    // The text as it stands (CDATA markers are not looked for; set cdata for that form).
    void setText(std::string_view text) { assignString(text_, textSize_, text); }

    bool cdata = false;  // the text came from, and is written as, a CDATA section

private:
    const char* name_ = detail::emptyChars;
    const char* text_ = detail::emptyChars;
    std::uint32_t nameSize_ = 0;
    std::uint32_t textSize_ = 0;
    friend class ParserAccess;
};

class Comment : public TNode<6, Comment> {
public:
    explicit Comment(std::string_view text = {});
    ~Comment() override;
    _Node* detach() override;
    std::string toString(Converter converter = nullptr) const override;
    virtual std::string_view text() const { return {text_, textSize_}; }

private:
    const char* text_ = detail::emptyChars;
    std::uint32_t textSize_ = 0;
    friend class ParserAccess;
};

class ProcessingInstruction : public TElement<7, ProcessingInstruction> {
public:
    ProcessingInstruction(std::string_view target = {}, _Node* attributes = nullptr);
    ProcessingInstruction(std::string_view target, _Node& attributes);
    ProcessingInstruction(std::string_view target, _Node&& attributes)
        : ProcessingInstruction(target, static_cast<_Node&>(attributes)) {}
    ~ProcessingInstruction() override;
    std::string_view name() const override { return {target_, targetSize_}; }
    std::string_view value() const override { return {target_, targetSize_}; }
    _Node* detach() override;
    std::string toString(Converter converter = nullptr) const override;
    _Node& append(_Node* node) override;  // attributes only

private:
    const char* target_ = detail::emptyChars;
    std::uint32_t targetSize_ = 0;
    friend class ParserAccess;
};

extern template class TElement<2, Element>;
extern template class TElement<7, ProcessingInstruction>;

// Removes every child of document, then parses text into it. Never fails, never throws:
// malformed input ends parsing and the tree keeps what was built before that point
// (document.stoppedAt() tells where that was).
void parse(Document& document, std::string_view text, Converter converter = utf8ToLatin1);
// Reads the whole file and parses it; false (document left empty) when it cannot be read or
// is larger than maxFileSize.
bool loadFile(Document& document, const std::string& path, Converter converter = utf8ToLatin1);
inline constexpr std::size_t maxFileSize = 64u * 1024u * 1024u;

namespace detail {
// Holds the null node without ever destroying it, so that nodes destroyed late at exit still
// find it intact.
union NullHolder {
    _Node node;
    constexpr NullHolder() noexcept : node(_Node::NullTag{}) {}
    ~NullHolder() {}
};
extern NullHolder nullHolder;
}  // namespace detail

inline _Node& nullNode() noexcept { return detail::nullHolder.node; }
inline bool exists(const _Node& node) noexcept { return &node != &nullNode(); }
inline bool exists(const _Node* node) noexcept { return node != nullptr && node != &nullNode(); }

}  // namespace XML
