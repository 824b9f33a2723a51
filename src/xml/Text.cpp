// Character conversions, escaping and entity decoding of the XML tree's texts.
#include <cstdint>
#include <cstring>

#include "xml/TextInPlace.h"
#include "xml/XML.h"

namespace XML {

std::string utf8ToLatin1(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0xC1 && c <= 0xC3 && i + 1 < n) {
            const unsigned char f = static_cast<unsigned char>(text[i + 1]);
            if ((f & 0xC0) == 0x80) {
                out += static_cast<char>(((c << 6) | (f & 0x3F)) & 0xFF);
                ++i;
                continue;
            }
        }
        out += static_cast<char>(c);
    }
    return out;
}

std::string latin1ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x80) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += ch;
        }
    }
    return out;
}

std::string escapeText(std::string_view text, bool inAttribute) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        // Also inside attribute values: the reader ends a tag at the first '>'.
        case '>': out += "&gt;"; break;
        case '"':
            if (inAttribute)
                out += "&quot;";
            else
                out += c;
            break;
        default: out += c;
        }
    }
    return out;
}

namespace {

// "&#231;" or "&#xE7;" at the start of s: the byte it stands for and the length consumed, or 0
// when it is no reference to a Latin-1 character (those are copied through as text).
std::size_t numericReference(std::string_view s, char& out) {
    if (s.size() < 4 || s[1] != '#') return 0;
    std::size_t i = 2;
    const bool hex = s[i] == 'x' || s[i] == 'X';
    if (hex) ++i;
    const std::size_t first = i;
    unsigned value = 0;
    for (; i < s.size() && i - first < 8; ++i) {
        const char c = s[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        value = value * (hex ? 16u : 10u) + d;
    }
    if (i == first || i >= s.size() || s[i] != ';') return 0;
    if (value == 0 || value > 0xFF) return 0;
    out = static_cast<char>(value);
    return i + 1;
}

}  // namespace

namespace detail {

std::size_t foldUtf8InPlace(char* p, std::size_t n) noexcept {
    // Nothing moves before the first byte above 0x7F: skip the plain ASCII start a word at a time.
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    std::size_t w = i;
    for (; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c >= 0xC1 && c <= 0xC3 && i + 1 < n) {
            const unsigned char f = static_cast<unsigned char>(p[i + 1]);
            if ((f & 0xC0) == 0x80) {
                p[w++] = static_cast<char>(((c << 6) | (f & 0x3F)) & 0xFF);
                ++i;
                continue;
            }
        }
        p[w++] = static_cast<char>(c);
    }
    return w;
}

std::size_t decodeEntitiesInPlace(char* p, std::size_t n) noexcept {
    struct Entity {
        std::string_view code;
        char c;
    };
    static constexpr Entity entities[] = {
        {"&apos;", '\''}, {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'},
    };
    // Every entity is longer than the character it stands for, so the write position never
    // passes the read position.
    std::size_t r = 0, w = 0;
    while (r < n) {
        const void* amp = std::memchr(p + r, '&', n - r);
        const std::size_t at = amp ? static_cast<std::size_t>(static_cast<const char*>(amp) - p) : n;
        if (w != r) std::memmove(p + w, p + r, at - r);
        w += at - r;
        if (at == n) break;
        const std::string_view rest(p + at, n - at);
        std::size_t used = 0;
        char out = '&';
        for (const Entity& e : entities) {
            if (rest.starts_with(e.code)) {
                out = e.c;
                used = e.code.size();
                break;
            }
        }
        if (used == 0) {
            used = numericReference(rest, out);
            if (used == 0) {
                out = '&';  // no entity we know: keep the text as it was written
                used = 1;
            }
        }
        p[w++] = out;
        r = at + used;
    }
    return w;
}

}  // namespace detail

std::string decodeEntities(std::string_view text) {
    std::string out(text);
    if (out.find('&') == std::string::npos) return out;
    out.resize(detail::decodeEntitiesInPlace(out.data(), out.size()));
    return out;
}

}  // namespace XML
