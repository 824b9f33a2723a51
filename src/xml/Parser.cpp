// The forgiving single-pass parser: it never reports an error, it stops at the first thing it
// cannot follow and keeps the tree built up to that point, noting only where that was.
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <new>
#include <vector>

#include "xml/NodeMemory.h"
#include "xml/TextInPlace.h"
#include "xml/XML.h"

namespace XML {

class ParserAccess {
public:
    template <class T>
    static T* make(detail::Arena& arena) noexcept(false) {
        T* n = new (arena.allocateNode(sizeof(T))) T;
        n->storage_ = _Node::Storage::parsed;
        return n;
    }
    static void setArena(Document& d, detail::Arena* a) noexcept { d.arena_ = a; }
    static void setStoppedAt(Document& d, std::size_t at) noexcept { d.stoppedAt_ = at; }
    // A fresh chain of fresh attributes, linked by the parser itself.
    template <int K, class T>
    static void giveAttributes(TElement<K, T>* e, Attribute* head, Attribute* tail) noexcept {
        for (_Node* a = head; a != tail; a = a->next) a->parent = e;
        tail->parent = e;
        e->firstAttribute_ = head;
    }
    // The parser only links fresh nodes under the node it is filling, so the checks of append
    // (cycles, nodes of other trees, attribute chains) never apply.
    static void linkChild(_Node* parent, _Node* child) noexcept { parent->linkChild(child); }
    // Strings of parsed nodes point into the document's memory.
    static void setName(Element* e, std::string_view s) noexcept { point(e->name_, e->nameSize_, s); }
    static void setText(Element* e, std::string_view s) noexcept { point(e->text_, e->textSize_, s); }
    static void setName(Attribute* a, std::string_view s) noexcept { point(a->name_, a->nameSize_, s); }
    static void setValue(Attribute* a, std::string_view s) noexcept { point(a->value_, a->valueSize_, s); }
    static void setText(Comment* c, std::string_view s) noexcept { point(c->text_, c->textSize_, s); }
    static void setTarget(ProcessingInstruction* pi, std::string_view s) noexcept {
        point(pi->target_, pi->targetSize_, s);
    }

private:
    static void point(const char*& data, std::uint32_t& size, std::string_view s) noexcept {
        data = s.data();
        size = static_cast<std::uint32_t>(s.size());
    }
};

namespace {

constexpr std::size_t npos = std::string_view::npos;

constexpr bool spaceTable[256] = {
    false, false, false, false, false, false, false, false, false, true, true, false, false, true,
};
// Blanks that separate a tag's name and attributes (the space itself set below).
inline bool isSpace(char c) { return c == ' ' || spaceTable[static_cast<unsigned char>(c)]; }

// Word-at-a-time scanning: eight bytes are tested with a few arithmetic operations. In each
// mask below the lowest flagged byte is exact (false flags only appear above a true one).
constexpr bool wordScan = std::endian::native == std::endian::little;
constexpr std::uint64_t ones = 0x0101010101010101ull;
constexpr std::uint64_t highs = 0x8080808080808080ull;

inline std::uint64_t load8(const char* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}
// Bytes equal to c.
inline std::uint64_t bytesEqual(std::uint64_t w, unsigned char c) noexcept {
    const std::uint64_t x = w ^ (ones * c);
    return (x - ones) & ~x & highs;
}
// Bytes below 0x21 (blanks and control characters).
inline std::uint64_t bytesBlankOrControl(std::uint64_t w) noexcept { return (w - ones * 0x21) & ~w & highs; }
inline std::size_t firstFlagged(std::uint64_t mask) noexcept {
    return static_cast<std::size_t>(std::countr_zero(mask)) >> 3;
}

inline bool sameBytes(const char* a, const char* b, std::size_t n) noexcept {
    if (wordScan && n >= 8) {
        for (std::size_t i = 0; i + 8 <= n; i += 8)
            if (load8(a + i) != load8(b + i)) return false;
        return load8(a + n - 8) == load8(b + n - 8);
    }
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// The attributes read from a tag until an element takes them (parsed nodes own nothing, so
// a chain no element takes is simply forgotten).
struct PendingAttributes {
    Attribute* head = nullptr;
    Attribute* tail = nullptr;

    void clear() noexcept { head = tail = nullptr; }
    void add(Attribute* a) noexcept {
        if (!head) {
            head = tail = a;
        } else {
            tail->next = a;
            a->previous = tail;
            tail = a;
        }
    }
};

class Parser {
public:
    Parser(Document& doc, detail::Arena& arena, std::string_view text, Converter converter)
        : doc_(doc), arena_(arena), text_(text), copy_(arena.copyOf(text.data(), text.size())), converter_(converter) {}

    // Parses the whole text; returns where it stopped (Document::stoppedAt).
    std::size_t run() {
        stack_[0] = {&doc_, {}};
        depth_ = 1;
        try {
            for (;;) {
                if (step()) continue;
                // The level on top of the stack has ended; its element must now be closed by the
                // parent level, or the parent level ends as well.
                for (bool leftOpen = false;; leftOpen = true) {
                    if (depth_ == 1) return stopPosition(leftOpen);
                    const std::string_view name = stack_[--depth_].name;
                    if (closes(name)) break;
                }
            }
        } catch (const std::bad_alloc&) {
            // Out of memory: the node being read is the first thing not taken.
            return stopPosition(true);
        }
    }

private:
    Document& doc_;
    detail::Arena& arena_;
    std::string_view text_;
    // The text again, in the document's memory: the nodes' strings are the pieces of it they
    // come from, converted where they lie. Parsing reads only text_, which stays as written.
    char* const copy_;
    Converter converter_;
    // Open elements with their names as written (the tree holds them converted).
    struct Open {
        _Node* node;
        std::string_view name;
    };
    // The document, then the open elements; one more level than maxDepth is never opened.
    std::array<Open, maxDepth + 1> stack_;
    std::size_t depth_ = 0;
    std::size_t cur_ = 0;
    PendingAttributes pending_;
    // The last search for '<': from ltFrom_, found at ltAt_ (npos: none).
    std::size_t ltFrom_ = npos;
    std::size_t ltAt_ = npos;

    // Where parsing ended at the top level: every step leaves cur_ after what it took, so the
    // next '<' begins what could not be followed. With no '<' left the text was followed to its
    // end, unless an element was left open: then more text was needed.
    std::size_t stopPosition(bool leftOpen) {
        const std::size_t lt = nextLt(cur_);
        if (lt != npos) return lt;
        return leftOpen ? text_.size() : complete;
    }

    // Next '<' at or after pos (npos when none). Outer levels that end on the same malformed
    // spot repeat this search; remembering the last answer keeps that linear.
    std::size_t nextLt(std::size_t pos) {
        if (pos == ltFrom_) return ltAt_;
        const std::size_t at = findChar('<', pos, text_.size());
        ltFrom_ = pos;
        ltAt_ = at;
        return at;
    }

    std::size_t findChar(char c, std::size_t from, std::size_t end) const {
        if (from >= end) return npos;
        // Most distances between markup characters are short: look at a few bytes before
        // paying for a library call.
        const char* d = text_.data();
        const std::size_t near = end - from < 32 ? end : from + 32;
        std::size_t i = from;
        if constexpr (wordScan) {
            for (; i + 8 <= near; i += 8)
                if (const std::uint64_t m = bytesEqual(load8(d + i), static_cast<unsigned char>(c)))
                    return i + firstFlagged(m);
        }
        for (; i < near; ++i)
            if (d[i] == c) return i;
        if (near == end) return npos;
        const void* p = std::memchr(d + near, c, end - near);
        return p ? static_cast<std::size_t>(static_cast<const char*>(p) - d) : npos;
    }

    std::size_t skipSpace(std::size_t pos) const {
        while (pos < text_.size() && isSpace(text_[pos])) ++pos;
        return pos;
    }

    bool startsWith(std::size_t pos, std::string_view s) const {
        return pos <= text_.size() && text_.substr(pos).starts_with(s);
    }

    // "</name>" at pos.
    bool closingTagAt(std::size_t pos, std::string_view name) const {
        const std::size_t n = name.size();
        if (pos + 3 + n > text_.size()) return false;
        const char* d = text_.data() + pos;
        if (d[0] != '<' || d[1] != '/' || d[2 + n] != '>') return false;
        // Names are short and both copies lie inside the text: when eight bytes can be read
        // after each, one masked word comparison does.
        const char* end = text_.data() + text_.size();
        if (wordScan && n < 8 && d + 10 <= end && name.data() + 8 <= end) {
            const std::uint64_t mask = (std::uint64_t(1) << (8 * n)) - 1;
            return ((load8(d + 2) ^ load8(name.data())) & mask) == 0;
        }
        return sameBytes(d + 2, name.data(), n);
    }

    // After the children of an element: "</name>" must follow.
    bool closes(std::string_view name) {
        const std::size_t lt = nextLt(cur_);
        if (lt == npos || !closingTagAt(lt, name)) return false;
        cur_ = lt + 3 + name.size();
        return true;
    }

    // s in the document's memory, unchanged.
    std::string_view keep(std::string_view s) {
        if (s.empty()) return {detail::emptyChars, 0};
        char* p = arena_.allocateText(s.size());
        std::memcpy(p, s.data(), s.size());
        return {p, s.size()};
    }

    // Whether s holds bytes above 0x7F and whether it holds an '&', in one pass.
    static void survey(std::string_view s, bool& high, bool& amp) {
        const char* p = s.data();
        std::size_t n = s.size();
        std::uint64_t h = 0, a = 0;
        if constexpr (wordScan) {
            for (; n >= 8; p += 8, n -= 8) {
                const std::uint64_t w = load8(p);
                h |= w;
                a |= bytesEqual(w, '&');
            }
        }
        unsigned char hb = 0;
        bool ab = false;
        for (; n; ++p, --n) {
            hb |= static_cast<unsigned char>(*p);
            ab |= *p == '&';
        }
        high = (h & highs) != 0 || hb >= 0x80;
        amp = a != 0 || ab;
    }

    // The copy of s, a piece of text_: each piece becomes at most one string.
    std::string_view copied(std::string_view s) const {
        if (s.empty()) return {detail::emptyChars, 0};
        return {copy_ + (s.data() - text_.data()), s.size()};
    }

    // s (a piece of text_) passed through the converter, then entity decoding when decode is
    // set. The usual converter and the decoding only ever shrink a text, so they work on the
    // piece's own copy.
    std::string_view store(std::string_view s, bool decode) {
        if (s.empty()) return {detail::emptyChars, 0};
        if (converter_ && converter_ != utf8ToLatin1) {
            std::string t = converter_(std::string(s));
            if (decode && t.find('&') != std::string::npos) t = decodeEntities(t);
            return keep(t);
        }
        bool high, amp;
        survey(s, high, amp);
        char* p = copy_ + (s.data() - text_.data());
        std::size_t n = s.size();
        // Folding never makes or removes an '&': it only writes bytes from 0x40 up.
        if (converter_ && high) n = detail::foldUtf8InPlace(p, n);
        if (decode && amp) n = detail::decodeEntitiesInPlace(p, n);
        return {p, n};
    }

    bool nameAscii_ = true;

    Element* makeElement(std::string_view name) {
        auto* e = ParserAccess::make<Element>(arena_);
        ParserAccess::setName(e, nameAscii_ || !converter_ ? copied(name) : store(name, false));
        if (pending_.head) {
            ParserAccess::giveAttributes(e, pending_.head, pending_.tail);
            pending_.clear();
        }
        return e;
    }

    void appendChild(_Node* node) { ParserAccess::linkChild(stack_[depth_ - 1].node, node); }

    // pos: the blank after the tag's name.
    void scanAttributes(std::size_t pos, std::size_t tagEnd) {
        if (pos >= tagEnd) return;
        for (;;) {
            const std::size_t q1 = findChar('"', pos, tagEnd);
            if (q1 == npos) return;
            const std::size_t q2 = findChar('"', q1 + 1, tagEnd);
            if (q2 == npos) return;
            // The name: what lies before the opening quote, less the '=' and blanks around it.
            std::size_t b = pos, e = q1;
            while (b < e && static_cast<unsigned char>(text_[b]) <= 32) ++b;
            while (e > b && static_cast<unsigned char>(text_[e - 1]) <= 32) --e;
            if (e > b && text_[e - 1] == '=') --e;
            while (e > b && static_cast<unsigned char>(text_[e - 1]) <= 32) --e;
            if (e == b) return;
            auto* a = ParserAccess::make<Attribute>(arena_);
            pending_.add(a);
            ParserAccess::setName(a, store(text_.substr(b, e - b), false));
            ParserAccess::setValue(a, store(text_.substr(q1 + 1, q2 - q1 - 1), true));
            pos = q2 + 1;
            while (pos < tagEnd && !isSpace(text_[pos])) ++pos;
            if (pos >= tagEnd) return;
        }
    }

    // Where a tag that begins at ts ends (its first '>'), and where its name ends (the first
    // blank in it, else the '>'); false when no '>' follows. high: the name has bytes above 0x7F.
    bool scanTag(std::size_t ts, std::size_t& gt, std::size_t& nameEnd, bool& high) const {
        const char* d = text_.data();
        const std::size_t n = text_.size();
        std::size_t p = ts;
        std::uint64_t highWord = 0;
        unsigned char highByte = 0;
        if constexpr (wordScan) {
            // Whole words up to the first byte that may end the name (a blank or the '>').
            for (; p + 8 <= n; p += 8) {
                const std::uint64_t w = load8(d + p);
                if (const std::uint64_t stop = bytesBlankOrControl(w) | bytesEqual(w, '>')) {
                    const std::size_t k = firstFlagged(stop);
                    highWord |= w & ((std::uint64_t(1) << (8 * k)) - 1);
                    p += k;
                    break;
                }
                highWord |= w;
            }
        }
        for (; p < n; ++p) {
            const unsigned char c = static_cast<unsigned char>(d[p]);
            if (c <= 0x20 || c == '>') break;
            highByte |= c;
        }
        if (p >= n) return false;
        if (d[p] == '>') {
            gt = nameEnd = p;
        } else {
            gt = findChar('>', p, n);
            if (gt == npos) return false;
            // A control byte is part of the name: it runs on to the first blank.
            while (p < gt && !isSpace(d[p])) highByte |= static_cast<unsigned char>(d[p++]);
            nameEnd = p;
        }
        high = (highWord & highs) != 0 || highByte >= 0x80;
        return true;
    }

    struct TextScan {
        std::size_t lt;  // the next '<', npos when none
        bool high;       // bytes above 0x7F before it
        bool amp;        // an '&' before it
    };
    // The text from pos up to the next '<', surveyed on the way for the conversions it needs.
    TextScan scanText(std::size_t pos) const {
        const char* d = text_.data();
        const std::size_t n = text_.size();
        std::uint64_t h = 0, a = 0;
        std::size_t i = pos;
        if constexpr (wordScan) {
            for (; i + 8 <= n; i += 8) {
                const std::uint64_t w = load8(d + i);
                const std::uint64_t amps = bytesEqual(w, '&');
                if (const std::uint64_t m = bytesEqual(w, '<')) {
                    const std::size_t k = firstFlagged(m);
                    const std::uint64_t before = (std::uint64_t(1) << (8 * k)) - 1;
                    // An '&' flagged below the '<' is a real one (false flags lie above true ones).
                    return {i + k, ((h | (w & before)) & highs) != 0, ((a | (amps & before))) != 0};
                }
                h |= w;
                a |= amps;
            }
        }
        bool high = (h & highs) != 0, amp = a != 0;
        for (; i < n; ++i) {
            const char c = d[i];
            if (c == '<') return {i, high, amp};
            high |= static_cast<unsigned char>(c) >= 0x80;
            amp |= c == '&';
        }
        return {npos, high, amp};
    }

    // A leaf's text: the piece s of text_, converted and entity-decoded where it lies.
    std::string_view storeText(std::string_view s, bool high, bool amp) {
        if (s.empty()) return {detail::emptyChars, 0};
        if (converter_ && converter_ != utf8ToLatin1) return store(s, true);
        char* p = copy_ + (s.data() - text_.data());
        std::size_t n = s.size();
        if (converter_ && high) n = detail::foldUtf8InPlace(p, n);
        if (amp) n = detail::decodeEntitiesInPlace(p, n);
        return {p, n};
    }

    // Parses one node at the level on top of the stack; false when that level ends.
    bool step() {
        pending_.clear();
        const std::size_t n = text_.size();
        const char* d = text_.data();
        const std::size_t lt = nextLt(cur_);
        if (lt == npos || lt + 1 >= n || d[lt + 1] == '/') return false;
        if (depth_ > static_cast<std::size_t>(maxDepth)) return false;
        const std::size_t ts = lt + 1;

        if (d[ts] == '!') {
            // Comments first: their text may hold anything, even "/>".
            if (startsWith(ts, "!--")) {
                const std::size_t end = text_.find("-->", lt + 4);
                if (end == npos) return false;
                auto* c = ParserAccess::make<Comment>(arena_);
                ParserAccess::setText(c, store(text_.substr(lt + 4, end - lt - 4), false));
                appendChild(c);
                cur_ = end + 3;
                return true;
            }
            // Character data between child elements is discarded like any other loose text.
            if (startsWith(ts, "![CDATA[")) {
                const std::size_t end = text_.find("]]>", lt + 9);
                if (end == npos) return false;
                cur_ = end + 3;
                return true;
            }
        }

        std::size_t gt, nameEnd;
        bool high;
        if (!scanTag(ts, gt, nameEnd, high)) return false;
        nameAscii_ = !high;
        if (nameEnd < gt) scanAttributes(nameEnd, gt);
        const std::size_t tagSize = gt - ts;
        std::size_t nameSize = nameEnd - ts;

        if (tagSize != 0 && d[gt - 1] == '/') {
            if (nameSize == tagSize) --nameSize;
            if (nameSize == 0) return false;
            auto* e = makeElement(text_.substr(ts, nameSize));
            appendChild(e);
            cur_ = gt + 1;
            return true;
        }
        if (nameSize == 0) return false;
        const std::string_view name = text_.substr(ts, nameSize);

        if (tagSize >= 2 && d[ts] == '?' && d[gt - 1] == '?') {
            std::string_view target = name.substr(1);
            if (nameSize == tagSize && !target.empty()) target.remove_suffix(1);  // "<?xml?>"
            auto* pi = ParserAccess::make<ProcessingInstruction>(arena_);
            ParserAccess::setTarget(pi, store(target, true));
            if (pending_.head) {
                ParserAccess::giveAttributes(pi, pending_.head, pending_.tail);
                pending_.clear();
            }
            appendChild(pi);
            cur_ = gt + 1;
            return true;
        }

        const std::size_t after = gt + 1;
        const TextScan t = scanText(after);
        // A container's first child begins at that '<': its step finds it there.
        ltFrom_ = after;
        ltAt_ = t.lt;
        if (t.lt == npos) return false;
        // A CDATA leaf, also when blanks surround the section (pretty-printed files). Adjacent
        // sections are joined: that is how a text holding "]]>" is written.
        if (t.lt + 1 < n && d[t.lt + 1] == '!' && startsWith(t.lt, "<![CDATA[") && skipSpace(after) == t.lt) {
            std::string content;
            std::size_t pos = t.lt;
            do {
                const std::size_t end = text_.find("]]>", pos + 9);
                if (end == npos) return false;
                content.append(d + pos + 9, end - pos - 9);
                pos = skipSpace(end + 3);
            } while (startsWith(pos, "<![CDATA["));
            if (closingTagAt(pos, name)) {
                auto* e = makeElement(name);
                ParserAccess::setText(e, keep(converter_ ? converter_(content) : content));
                e->cdata = true;
                appendChild(e);
                cur_ = pos + 3 + name.size();
                return true;
            }
        } else if (closingTagAt(t.lt, name)) {
            auto* e = makeElement(name);
            ParserAccess::setText(e, storeText(text_.substr(after, t.lt - after), t.high, t.amp));
            appendChild(e);
            cur_ = t.lt + 3 + name.size();
            return true;
        }
        // A container: its children follow at the next level.
        auto* e = makeElement(name);
        appendChild(e);
        stack_[depth_++] = {e, name};
        cur_ = after;
        return true;
    }
};

}  // namespace

void parse(Document& document, std::string_view text, Converter converter) {
    document.clear();
    // Nothing is taken until the parser has its memory.
    ParserAccess::setStoppedAt(document, 0);
    // A node's text holds at most 4 GiB; no document comes near that, so none is read.
    if (text.size() > UINT32_MAX) return;
    try {
        auto* arena = new detail::Arena;
        ParserAccess::setArena(document, arena);
        ParserAccess::setStoppedAt(document, Parser(document, *arena, text, converter).run());
    } catch (const std::bad_alloc&) {
        // Out of memory: keep what was built, like any other input that cannot be followed.
    }
}

bool loadFile(Document& document, const std::string& path, Converter converter) {
    document.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string data;
    char buf[65536];
    while (in) {
        in.read(buf, sizeof buf);
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        if (data.size() + static_cast<std::size_t>(got) > maxFileSize) return false;
        data.append(buf, static_cast<std::size_t>(got));
    }
    if (in.bad()) return false;
    parse(document, data, converter);
    return true;
}

}  // namespace XML
