#include "EscPosStream.h"

#include <algorithm>
#include <cstring>

namespace rx457emu {

namespace {

constexpr uint8_t LF = 0x0A, HT = 0x09, DLE = 0x10, ESC = 0x1B, FS = 0x1C, GS = 0x1D;

uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

void setDot(std::vector<uint8_t>& row, int x) { row[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8)); }

}  // namespace

void EscPosStream::feed(uint8_t b) {
    if (recording_ && !replaying_ && macro_.size() < kMaxMacro) macro_.push_back(b);
    switch (state_) {
    case State::Plain:
        if (b == ESC || b == GS || b == FS || b == DLE) {
            startCommand(b);
        } else if (acting()) {
            if (b >= 0x20 || b == LF || b == HT) sink_.text(b);
        }
        return;
    case State::Header: header(b); return;
    case State::Data: dataByte(b); return;
    case State::UntilNul:
        if (b == 0 || --nulLimit_ == 0) state_ = State::Plain;
        return;
    }
}

void EscPosStream::startCommand(uint8_t b) {
    hdr_[0] = b;
    hdrLen_ = 1;
    state_ = State::Header;
}

void EscPosStream::header(uint8_t b) {
    hdr_[hdrLen_++] = b;
    // A DLE that starts no real-time command is an ordinary byte; the next one is looked at anew.
    if (hdr_[0] == DLE && hdrLen_ == 2 && b != 0x04 && b != 0x05 && b != 0x14) {
        state_ = State::Plain;
        if (recording_ && !replaying_ && !macro_.empty()) macro_.pop_back();  // re-added below
        feed(b);
        return;
    }
    size_t need = headerLength();
    if (need == 0 || hdrLen_ < need) {
        if (hdrLen_ >= sizeof hdr_) state_ = State::Plain;  // cannot happen: headers are short
        return;
    }
    state_ = State::Plain;
    execute();
}

// Total header length (prefix + fixed arguments) of the command collected so far; 0 while the
// bytes seen do not tell yet. Unknown commands take their two prefix bytes and nothing more.
size_t EscPosStream::headerLength() const {
    const uint8_t* h = hdr_;
    const size_t n = hdrLen_;
    if (n < 2) return 0;
    switch (h[0]) {
    case ESC:
        switch (h[1]) {
        case ' ':
        case '!':
        case '%':
        case '-':
        case '3':
        case '=':
        case '?':
        case 'E':
        case 'G':
        case 'J':
        case 'K':
        case 'M':
        case 'R':
        case 'T':
        case 'U':
        case 'V':
        case 'a':
        case 'd':
        case 'e':
        case 'r':
        case 't':
        case 'u':
        case '{': return 3;
        case '$':
        case '\\':
        case 'c': return 4;
        case 'p':
        case '*':
        case '&':
        case '(': return 5;
        case 'W': return 10;
        default: return 2;  // ESC @, ESC 2, ESC L, ESC S, ESC FF, ESC D (+ list), unknown
        }
    case GS:
        switch (h[1]) {
        case '!':
        case 'B':
        case 'H':
        case 'I':
        case 'a':
        case 'b':
        case 'f':
        case 'h':
        case 'r':
        case 'w':
        case '/':
        case 'T':
        case 'j':
        case 'E': return 3;
        case '$':
        case 'L':
        case 'P':
        case 'W':
        case '\\':
        case '*': return 4;
        case '^':
        case '(': return 5;
        case 'V':
            if (n < 3) return 0;
            switch (h[2]) {
            case 0x41:
            case 0x42:
            case 0x61:
            case 0x62:
            case 0x67:
            case 0x68: return 4;
            default: return 3;
            }
        case 'k':
            if (n < 3) return 0;
            return h[2] <= 6 ? 3 : 4;
        case 'v':
            if (n < 3) return 0;
            return h[2] == '0' ? 8 : 3;
        case '8':
            if (n < 3) return 0;
            return h[2] == 'L' ? 7 : 3;
        case 'g':
            if (n < 3) return 0;
            return h[2] == '0' || h[2] == '2' ? 6 : 3;
        default: return 2;  // GS : and unknown
        }
    case FS:
        switch (h[1]) {
        case '!':
        case '-':
        case 'C':
        case 'W': return 3;
        case 'p':
        case 'S':
        case '2': return 4;
        case '(': return 5;
        case 'q': return 7;
        default: return 2;
        }
    case DLE:
        switch (h[1]) {
        case 0x04:
            if (n < 3) return 0;
            return h[2] == 7 || h[2] == 8 ? 4 : 3;
        case 0x05: return 3;
        case 0x14: return 5;
        default: return 1;
        }
    default: return 1;
    }
}

void EscPosStream::execute() {
    const uint8_t* h = hdr_;
    uint64_t data = 0;
    bool untilNul = false;
    size_t nulMax = 0;
    block_ = Block::Skip;
    const bool act = acting();

    switch (h[0]) {
    case ESC:
        switch (h[1]) {
        case '@':
            if (act) {
                marginDots_ = 0;
                font_ = 0;
                sink_.event("init");
            }
            break;
        case 'J':
            if (act) {
                sink_.feedRows(h[2]);
                sink_.event("feed " + std::to_string(h[2]));
            }
            break;
        case 'M':
            if (act) font_ = h[2] & 1;
            break;
        case 'p':
            if (act)
                sink_.drawerPulse("drawer " + std::to_string(h[2]) + " " + std::to_string(h[3]) + " " +
                                  std::to_string(h[4]));
            break;
        case '*': {
            uint32_t cols = le16(h + 3);
            if (h[2] == 0 || h[2] == 1)
                data = cols;
            else if (h[2] == 32 || h[2] == 33)
                data = uint64_t(cols) * 3;
            break;
        }
        case '&': {
            // y c1 c2, then for each code y x w bytes with w the current font's width: the
            // library sends no width byte, so the printer goes by its font.
            const int y = h[2], c1 = h[3], c2 = h[4];
            if (y >= 1 && y <= 3 && c1 >= 32 && c1 <= c2 && c2 <= 126)
                data = uint64_t(y) * (font_ ? 9 : 12) * uint64_t(c2 - c1 + 1);
            break;
        }
        case 'D':
            untilNul = true;
            nulMax = 33;
            break;
        case '(': data = le16(h + 3); break;
        default: break;
        }
        break;
    case GS:
        switch (h[1]) {
        case 'V': {
            bool full;
            int feedRows = 0;
            switch (h[2]) {
            case 0x00:
            case '0': full = true; break;
            case 0x01:
            case '1': full = false; break;
            case 0x41:
            case 0x61:
            case 0x67:
                full = true;
                feedRows = h[3];
                break;
            case 0x42:
            case 0x62:
            case 0x68:
                full = false;
                feedRows = h[3];
                break;
            default: return;
            }
            if (act) {
                if (feedRows > 0) {
                    sink_.feedRows(feedRows);
                    sink_.event("feed " + std::to_string(feedRows));
                }
                sink_.cut(full);
            }
            break;
        }
        case 'I':
            if (act && !replaying_) sink_.identify(h[2]);
            break;
        case 'L':
            if (act) marginDots_ = int(std::min<uint32_t>(le16(h + 2), kMaxRowDots));
            break;
        case 'v': {
            if (h[2] != '0') break;
            const uint32_t x = le16(h + 4), y = le16(h + 6);
            data = uint64_t(x) * y;
            rasterBytes_ = int(x);
            doubleWidth_ = h[3] & 1;
            doubleHeight_ = h[3] & 2;
            rowIn_.clear();
            block_ = Block::Raster;
            if (act) sink_.event("raster " + std::to_string(x) + "x" + std::to_string(y) + " m" + std::to_string(h[3]));
            break;
        }
        case '(': data = le16(h + 3); break;
        case '8':
            if (h[2] == 'L') data = uint64_t(h[3]) | uint64_t(h[4]) << 8 | uint64_t(h[5]) << 16 | uint64_t(h[6]) << 24;
            break;
        case '*': data = uint64_t(h[2]) * h[3] * 8; break;
        case 'k':
            if (h[2] <= 6) {
                untilNul = true;
                nulMax = 256;
            } else {
                data = h[3];
            }
            break;
        case ':':
            if (replaying_) break;
            if (recording_) {
                recording_ = false;
                if (macro_.size() >= 2) macro_.resize(macro_.size() - 2);  // the closing GS :
            } else {
                recording_ = true;
                macro_.clear();
            }
            break;
        case '^':
            if (replaying_) break;
            if (recording_) {
                recording_ = false;
                if (macro_.size() >= 5) macro_.resize(macro_.size() - 5);
            }
            runMacro(h[2]);
            break;
        default: break;
        }
        break;
    case FS:
        if (h[1] == 'q')
            data = uint64_t(le16(h + 3)) * le16(h + 5) * 8;
        else if (h[1] == '2')
            data = 72;
        else if (h[1] == '(')
            data = le16(h + 3);
        break;
    case DLE:
        if (h[1] == 0x14 && h[2] == 1 && act)
            sink_.drawerPulse("pulse " + std::to_string(h[3]) + " " + std::to_string(h[4]));
        break;
    default: break;
    }

    if (untilNul) {
        state_ = State::UntilNul;
        nulLimit_ = nulMax;
    } else if (data > 0) {
        state_ = State::Data;
        remaining_ = data;
    } else {
        state_ = State::Plain;
    }
}

void EscPosStream::dataByte(uint8_t b) {
    if (block_ == Block::Raster) {
        rowIn_.push_back(b);
        if (int(rowIn_.size()) == rasterBytes_) {
            if (acting()) emitRasterRow();
            rowIn_.clear();
        }
    }
    if (--remaining_ == 0) endBlock();
}

void EscPosStream::endBlock() {
    state_ = State::Plain;
    rowIn_.clear();
}

void EscPosStream::emitRasterRow() {
    const int scale = doubleWidth_ ? 2 : 1;
    const int widthDots = std::min(kMaxRowDots, marginDots_ + rasterBytes_ * 8 * scale);
    rowOut_.assign(size_t(widthDots + 7) / 8, 0);
    if (!doubleWidth_ && marginDots_ % 8 == 0) {
        const size_t at = size_t(marginDots_) / 8;
        const size_t n = std::min(rowIn_.size(), rowOut_.size() - std::min(at, rowOut_.size()));
        std::memcpy(rowOut_.data() + at, rowIn_.data(), n);
    } else {
        for (int x = 0; x < rasterBytes_ * 8; ++x) {
            if (!((rowIn_[size_t(x) / 8] >> (7 - x % 8)) & 1)) continue;
            for (int k = 0; k < scale; ++k) {
                int d = marginDots_ + x * scale + k;
                if (d < widthDots) setDot(rowOut_, d);
            }
        }
    }
    sink_.rasterRow(rowOut_.data(), widthDots, doubleHeight_ ? 2 : 1);
}

void EscPosStream::runMacro(int times) {
    if (macro_.empty() || times <= 0) return;
    sink_.event("macro-run " + std::to_string(times));
    const std::vector<uint8_t> body = macro_;
    replaying_ = true;
    for (int t = 0; t < times; ++t) {
        for (uint8_t b : body) feed(b);
        // A macro that ends inside a command does not swallow what follows it.
        state_ = State::Plain;
    }
    replaying_ = false;
}

}  // namespace rx457emu
