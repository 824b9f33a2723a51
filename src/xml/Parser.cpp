// The forgiving single-pass parser: it never reports an error, it stops at the first thing it
// cannot follow and keeps the tree built up to that point.
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
    static void markHeap(_Node* n) noexcept { n->onHeap_ = true; }
    static void setAttributes(Element* e, _Node* chain) noexcept { e->setAttributes(chain); }
    // A fresh chain of fresh attributes, linked by the parser itself.
    static void giveAttributes(Element* e, Attribute* head, Attribute* tail) noexcept
    {
        for (_Node* a = head; a != tail; a = a->next) a->parent = e;
        tail->parent = e;
        e->firstAttribute_ = head;
        e->lastAttribute_ = tail;
    }
    // The parser only links fresh nodes under the node it is filling, so the checks of append
    // (cycles, nodes of other trees, attribute chains) never apply.
    static void linkChild(_Node* parent, _Node* child) noexcept
    {
        child->onHeap_ = true;
        parent->linkChild(child);
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

inline std::uint64_t load8(const char* p) noexcept
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}
// Bytes equal to c.
inline std::uint64_t bytesEqual(std::uint64_t w, unsigned char c) noexcept
{
    const std::uint64_t x = w ^ (ones * c);
    return (x - ones) & ~x & highs;
}
// Bytes below 0x21 (blanks and control characters).
inline std::uint64_t bytesBlankOrControl(std::uint64_t w) noexcept { return (w - ones * 0x21) & ~w & highs; }
inline std::size_t firstFlagged(std::uint64_t mask) noexcept { return static_cast<std::size_t>(std::countr_zero(mask)) >> 3; }

inline bool sameBytes(const char* a, const char* b, std::size_t n) noexcept
{
    if (wordScan && n >= 8) {
        for (std::size_t i = 0; i + 8 <= n; i += 8)
            if (load8(a + i) != load8(b + i)) return false;
        return load8(a + n - 8) == load8(b + n - 8);
    }
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

// Owns the attributes read from a tag until an element takes them.
struct PendingAttributes {
    Attribute* head = nullptr;
    Attribute* tail = nullptr;

    ~PendingAttributes() { clear(); }
    void clear() noexcept
    {
        delete head;  // a standalone chain's head deletes its followers
        head = tail = nullptr;
    }
    void add(Attribute* a) noexcept
    {
        if (!head) {
            head = tail = a;
        } else {
            tail->next = a;
            a->previous = tail;
            tail = a;
        }
    }
    Attribute* release() noexcept
    {
        Attribute* h = head;
        head = tail = nullptr;
        return h;
    }
};

class Parser {
public:
    Parser(Document& doc, std::string_view text, Converter converter) : doc_(doc), text_(text), converter_(converter) {}

    void run()
    {
        stack_.reserve(64);
        stack_.push_back({&doc_, {}});
        for (;;) {
            if (step()) continue;
            // The level on top of the stack has ended; its element must now be closed by the
            // parent level, or the parent level ends as well.
            for (;;) {
                if (stack_.size() == 1) return;
                const std::string_view name = stack_.back().name;
                stack_.pop_back();
                if (closes(name)) break;
            }
        }
    }

private:
    Document& doc_;
    std::string_view text_;
    Converter converter_;
    // Open elements with their names as written (the tree holds them converted).
    struct Open {
        _Node* node;
        std::string_view name;
    };
    std::vector<Open> stack_;
    std::size_t cur_ = 0;
    PendingAttributes pending_;
    // The last search for '<': no '<' lies in [ltFrom_, ltAt_).
    std::size_t ltFrom_ = npos;
    std::size_t ltAt_ = npos;

    // Next '<' at or after pos (npos when none). Outer levels that end on the same malformed
    // spot repeat this search; remembering the last answer keeps that linear.
    std::size_t nextLt(std::size_t pos)
    {
        if (ltFrom_ != npos && pos >= ltFrom_ && pos <= ltAt_) return ltAt_ >= text_.size() ? npos : ltAt_;
        const std::size_t at = findChar('<', pos, text_.size());
        ltFrom_ = pos;
        ltAt_ = at == npos ? text_.size() : at;
        return at;
    }

    std::size_t findChar(char c, std::size_t from, std::size_t end) const
    {
        if (from >= end) return npos;
        // Most distances between markup characters are short: look at a few bytes before
        // paying for a library call.
        const char* d = text_.data();
        const std::size_t near = end - from < 32 ? end : from + 32;
        std::size_t i = from;
        if constexpr (wordScan) {
            for (; i + 8 <= near; i += 8)
                if (const std::uint64_t m = bytesEqual(load8(d + i), static_cast<unsigned char>(c))) return i + firstFlagged(m);
        }
        for (; i < near; ++i)
            if (d[i] == c) return i;
        if (near == end) return npos;
        const void* p = std::memchr(d + near, c, end - near);
        return p ? static_cast<std::size_t>(static_cast<const char*>(p) - d) : npos;
    }

    std::size_t skipSpace(std::size_t pos) const
    {
        while (pos < text_.size() && isSpace(text_[pos])) ++pos;
        return pos;
    }

    bool startsWith(std::size_t pos, std::string_view s) const
    {
        return pos <= text_.size() && text_.substr(pos).starts_with(s);
    }

    // "</name>" at pos.
    bool closingTagAt(std::size_t pos, std::string_view name) const
    {
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
    bool closes(std::string_view name)
    {
        const std::size_t lt = nextLt(cur_);
        if (lt == npos || !closingTagAt(lt, name)) return false;
        cur_ = lt + 3 + name.size();
        return true;
    }

    static bool isAscii(std::string_view s)
    {
        const char* p = s.data();
        std::size_t n = s.size();
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            if (w & 0x8080808080808080ull) return false;
        }
        for (; n; ++p, --n)
            if (static_cast<unsigned char>(*p) >= 0x80) return false;
        return true;
    }

    std::string convert(std::string_view s) const
    {
        if (!converter_) return std::string(s);
        if (converter_ == utf8ToLatin1) {
            // Plain ASCII is the same in both encodings the fiscal files use; anything else
            // is folded here directly, without a temporary copy.
            if (isAscii(s)) return std::string(s);
            return foldUtf8(s);
        }
        return converter_(std::string(s));
    }

    // utf8ToLatin1 on a view.
    static std::string foldUtf8(std::string_view s)
    {
        std::string out;
        out.resize(s.size());
        char* o = out.data();
        const std::size_t n = s.size();
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c >= 0xC1 && c <= 0xC3 && i + 1 < n) {
                const unsigned char f = static_cast<unsigned char>(s[i + 1]);
                if ((f & 0xC0) == 0x80) {
                    *o++ = static_cast<char>(((c << 6) | (f & 0x3F)) & 0xFF);
                    ++i;
                    continue;
                }
            }
            *o++ = static_cast<char>(c);
        }
        out.resize(static_cast<std::size_t>(o - out.data()));
        return out;
    }

    std::string textValue(std::string_view s) const
    {
        std::string t = convert(s);
        if (t.find('&') != std::string::npos) return decodeEntities(t);
        return t;
    }

    // convert(s) written straight into out.
    void convertInto(std::string& out, std::string_view s) const
    {
        if (converter_ && converter_ != utf8ToLatin1) {
            out = converter_(std::string(s));
            return;
        }
        // The target is always fresh and empty: append() copies straight into it, where
        // assign() would take the general (overlap-safe) replace path.
        out.clear();
        out.append(s.data(), s.size());
        if (converter_ && !isAscii(s)) out.resize(detail::foldUtf8InPlace(out.data(), out.size()));
    }

    // Whether s holds bytes above 0x7F and whether it holds an '&', in one pass.
    static void survey(std::string_view s, bool& high, bool& amp)
    {
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

    // textValue(s) written straight into out.
    void textInto(std::string& out, std::string_view s) const
    {
        if (converter_ && converter_ != utf8ToLatin1) {
            out = textValue(s);
            return;
        }
        bool high, amp;
        survey(s, high, amp);
        out.clear();
        out.append(s.data(), s.size());
        // Folding never makes or removes an '&': it only writes bytes from 0x40 up.
        if (converter_ && high) out.resize(detail::foldUtf8InPlace(out.data(), out.size()));
        if (amp) out.resize(detail::decodeEntitiesInPlace(out.data(), out.size()));
    }

    bool nameAscii_ = true;

    Element* makeElement(std::string_view name)
    {
        auto* e = new Element;
        if (nameAscii_ || !converter_)
            e->name_.append(name.data(), name.size());
        else
            e->name_ = converter_(std::string(name));
        if (pending_.head) {
            ParserAccess::giveAttributes(e, pending_.head, pending_.tail);
            pending_.head = pending_.tail = nullptr;
        }
        return e;
    }

    void appendChild(_Node* node) { ParserAccess::linkChild(stack_.back().node, node); }

    // pos: the blank after the tag's name.
    void scanAttributes(std::size_t pos, std::size_t tagEnd)
    {
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
            auto* a = new Attribute;
            ParserAccess::markHeap(a);
            pending_.add(a);
            convertInto(a->name_, text_.substr(b, e - b));
            textInto(a->value_, text_.substr(q1 + 1, q2 - q1 - 1));
            pos = q2 + 1;
            while (pos < tagEnd && !isSpace(text_[pos])) ++pos;
            if (pos >= tagEnd) return;
        }
    }

    // Parses one node at the level on top of the stack; false when that level ends.
    bool step()
    {
        pending_.clear();
        const std::size_t n = text_.size();
        const std::size_t lt = nextLt(cur_);
        if (lt == npos || lt + 1 >= n || text_[lt + 1] == '/') return false;
        if (stack_.size() > static_cast<std::size_t>(maxDepth)) return false;
        const std::size_t gt = findChar('>', lt + 1, n);
        if (gt == npos) return false;
        const std::size_t ts = lt + 1;
        const std::string_view tag = text_.substr(ts, gt - ts);

        // Comments first: their text may hold anything, even "/>".
        if (tag.starts_with("!--")) {
            const std::size_t end = text_.find("-->", lt + 4);
            if (end == npos) return false;
            auto* c = new Comment(convert(text_.substr(lt + 4, end - lt - 4)));
            appendChild(c);
            cur_ = end + 3;
            return true;
        }
        // Character data between child elements is discarded like any other loose text.
        if (tag.starts_with("![CDATA[")) {
            const std::size_t end = text_.find("]]>", lt + 9);
            if (end == npos) return false;
            cur_ = end + 3;
            return true;
        }

        std::size_t nameEnd = 0;
        unsigned char high = 0;
        if constexpr (wordScan) {
            // Whole words up to the first byte that may end the name (a blank or the '>').
            std::uint64_t highWord = 0;
            while (ts + nameEnd + 8 <= n) {
                const std::uint64_t w = load8(tag.data() + nameEnd);
                const std::uint64_t stop = bytesBlankOrControl(w) | bytesEqual(w, '>');
                if (stop) {
                    const std::size_t k = firstFlagged(stop);
                    highWord |= w & ((std::uint64_t(1) << (8 * k)) - 1);
                    nameEnd += k;
                    break;
                }
                highWord |= w;
                nameEnd += 8;
            }
            if (nameEnd > tag.size()) nameEnd = tag.size();  // cannot happen: '>' stops the words
            high = (highWord & highs) ? 0x80 : 0;
        }
        while (nameEnd < tag.size() && !isSpace(tag[nameEnd])) high |= static_cast<unsigned char>(tag[nameEnd++]);
        nameAscii_ = high < 0x80;
        scanAttributes(ts + nameEnd, gt);

        if (!tag.empty() && tag.back() == '/') {
            if (nameEnd == tag.size()) --nameEnd;
            if (nameEnd == 0) return false;
            auto* e = makeElement(tag.substr(0, nameEnd));
            appendChild(e);
            cur_ = gt + 1;
            return true;
        }
        if (nameEnd == 0) return false;
        std::string_view name = tag.substr(0, nameEnd);

        if (tag.size() >= 2 && tag.front() == '?' && tag.back() == '?') {
            std::string_view target = name.substr(1);
            if (nameEnd == tag.size() && !target.empty()) target.remove_suffix(1);  // "<?xml?>"
            auto* pi = new ProcessingInstruction(textValue(target), pending_.release());
            appendChild(pi);
            cur_ = gt + 1;
            return true;
        }

        const std::size_t after = gt + 1;
        // A CDATA leaf, also when blanks surround the section (pretty-printed files). Adjacent
        // sections are joined: that is how a text holding "]]>" is written.
        const std::size_t c0 = skipSpace(after);
        if (startsWith(c0, "<![CDATA[")) {
            std::string content;
            std::size_t pos = c0;
            do {
                const std::size_t end = text_.find("]]>", pos + 9);
                if (end == npos) return false;
                content.append(text_.data() + pos + 9, end - pos - 9);
                pos = skipSpace(end + 3);
            } while (startsWith(pos, "<![CDATA["));
            if (closingTagAt(pos, name)) {
                auto* e = makeElement(name);
                e->text_ = convert(content);
                e->cdata = true;
                appendChild(e);
                cur_ = pos + 3 + name.size();
                return true;
            }
        } else {
            const std::size_t next = nextLt(after);
            if (next == npos) return false;
            if (closingTagAt(next, name)) {
                auto* e = makeElement(name);
                textInto(e->text_, text_.substr(after, next - after));
                appendChild(e);
                cur_ = next + 3 + name.size();
                return true;
            }
        }
        // A container: its children follow at the next level.
        auto* e = makeElement(name);
        appendChild(e);
        stack_.push_back({e, name});
        cur_ = after;
        return true;
    }
};

}  // namespace

void parse(Document& document, std::string_view text, Converter converter)
{
    document.clear();
    try {
        // Nodes take roughly three times the bytes of the text they come from.
        detail::NodeArena arena(text.size() * 3);
        Parser(document, text, converter).run();
    } catch (const std::bad_alloc&) {
        // Out of memory: keep what was built, like any other input that cannot be followed.
    }
}

bool loadFile(Document& document, const std::string& path, Converter converter)
{
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
