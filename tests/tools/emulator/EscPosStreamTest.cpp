// The emulator's command splitter, without a pty: command lengths, raster decoding, macros.
#include "EscPosStream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using rx457emu::EscPosSink;
using rx457emu::EscPosStream;
using Bytes = std::vector<uint8_t>;

namespace {

struct RecordingSink : EscPosSink {
    std::vector<Bytes> rows;
    std::vector<int> widths;
    std::vector<std::string> events;
    std::string printed;
    std::vector<int> idents;
    void rasterRow(const uint8_t* dots, int w, int copies) override {
        for (int i = 0; i < copies; ++i) {
            rows.emplace_back(dots, dots + (w + 7) / 8);
            widths.push_back(w);
        }
    }
    void feedRows(int n) override {
        rows.insert(rows.end(), size_t(n), Bytes{});
        widths.insert(widths.end(), size_t(n), 0);
    }
    void cut(bool full) override { events.push_back(full ? "cut-full" : "cut-partial"); }
    void drawerPulse(const std::string& w) override { events.push_back(w); }
    void event(const std::string& w) override { events.push_back(w); }
    void text(uint8_t c) override { printed.push_back(char(c)); }
    void identify(uint8_t n) override { idents.push_back(n); }
};

void feed(EscPosStream& p, const Bytes& b) {
    for (uint8_t c : b) p.feed(c);
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes str(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace

// Every command the library's encoder can emit, with arguments chosen to look like text: if the
// splitter got a length wrong, letters of the command would leak into the text or the marker
// after it would be swallowed.
TEST(EscPosStream, EveryEncoderCommandHasItsLength) {
    struct Case {
        const char* name;
        Bytes bytes;
    };
    Bytes userChars = {0x1B, 0x26, 0x03, 'A', 'A'};
    userChars.insert(userChars.end(), 36, 'u');  // font 0 is 12 dots wide: 3 x 12 bytes
    Bytes bitImage24 = {0x1B, 0x2A, 0x21, 0x03, 0x00};
    bitImage24.insert(bitImage24.end(), 9, 'b');
    Bytes nvImage = {0x1C, 0x71, 0x01, 0x01, 0x00, 0x01, 0x00};
    nvImage.insert(nvImage.end(), 8, 'n');
    Bytes qrStore = {0x1D, 0x28, 0x6B, 0x06, 0x00, 0x31, 0x50, 0x30, 'Q', 'R', 'X'};
    const std::vector<Case> cases = {
        {"CAN", {0x18}},
        {"ESC % n", {0x1B, 0x25, 'A'}},
        {"GS V 1", {0x1D, 0x56, 0x31}},
        {"GS V 0", {0x1D, 0x56, 0x30}},
        {"FS q", nvImage},
        {"ESC &", userChars},
        {"GS a", {0x1D, 0x61, 'A'}},
        {"ESC M", {0x1B, 0x4D, 'A'}},
        {"ESC E", {0x1B, 0x45, 'A'}},
        {"GS : GS :", {0x1D, 0x3A, 0x1D, 0x3A}},  // an empty macro definition
        {"GS ^", {0x1D, 0x5E, 0x00, 'A', 'A'}},
        {"ESC J", {0x1B, 0x4A, 'A'}},
        {"ESC p", {0x1B, 0x70, 'A', 'A', 'A'}},
        {"ESC @", {0x1B, 0x40}},
        {"ESC FF", {0x1B, 0x0C}},
        {"GS k counted", Bytes{0x1D, 0x6B, 0x43, 0x04} + str("1234")},
        {"GS k NUL", Bytes{0x1D, 0x6B, 0x04} + str("ABC") + Bytes{0x00}},
        {"FS p", {0x1C, 0x70, 'A', 'A'}},
        {"GS B", {0x1D, 0x42, 'A'}},
        {"ESC a", {0x1B, 0x61, 'A'}},
        {"ESC * 8", Bytes{0x1B, 0x2A, 0x00, 0x02, 0x00} + str("bb")},
        {"ESC * 24", bitImage24},
        {"ESC t", {0x1B, 0x74, 'A'}},
        {"GS !", {0x1D, 0x21, 'A'}},
        {"GS f", {0x1D, 0x66, 'A'}},
        {"ESC L", {0x1B, 0x4C}},
        {"GS H", {0x1D, 0x48, 'A'}},
        {"ESC S", {0x1B, 0x53}},
        {"ESC $", {0x1B, 0x24, 'A', 'A'}},
        {"GS $", {0x1D, 0x24, 'A', 'A'}},
        {"GS h", {0x1D, 0x68, 'A'}},
        {"GS w", {0x1D, 0x77, 'A'}},
        {"ESC 3", {0x1B, 0x33, 'A'}},
        {"GS L", {0x1D, 0x4C, 0x00, 0x00}},
        {"GS P", {0x1D, 0x50, 'A', 'A'}},
        {"ESC =", {0x1B, 0x3D, 'A'}},
        {"ESC W", {0x1B, 0x57, 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A'}},
        {"GS W", {0x1D, 0x57, 'A', 'A'}},
        {"GS v 0 empty", {0x1D, 0x76, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {"ESC \\", {0x1B, 0x5C, 'A', 'A'}},
        {"GS \\", {0x1D, 0x5C, 'A', 'A'}},
        {"ESC SP", {0x1B, 0x20, 'A'}},
        {"ESC {", {0x1B, 0x7B, 'A'}},
        {"ESC -", {0x1B, 0x2D, 0x31}},
        {"ESC c 0", {0x1B, 0x63, 0x30, 'A'}},
        {"ESC c 1", {0x1B, 0x63, 0x31, 'A'}},
        {"FF", {0x0C}},
        {"DLE ENQ", {0x10, 0x05, 0x03}},
        {"DLE EOT", {0x10, 0x04, 0x01}},
        {"DLE DC4", {0x10, 0x14, 0x01, 'A', 'A'}},
        {"QR model", {0x1D, 0x28, 0x6B, 0x04, 0x00, 0x31, 0x41, 0x32, 0x00}},
        {"QR module", {0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x43, 'A'}},
        {"QR store", qrStore},
        {"QR print", {0x1D, 0x28, 0x6B, 0x03, 0x00, 0x31, 0x51, 0x30}},
        {"GS I", {0x1D, 0x49, 0x43}},
        {"unknown ESC", {0x1B, 'Z'}},
        {"unknown GS", {0x1D, 0x01}},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        EscPosStream p(sink);
        feed(p, str("<") + c.bytes + str(">"));
        EXPECT_EQ(sink.printed, "<>") << c.name;
    }
}

TEST(EscPosStream, LoneDleIsAnOrdinaryByte) {
    RecordingSink sink;
    EscPosStream p(sink);
    feed(p, Bytes{0x10, 'A', 0x10, 0x1B, 0x45, 0x01, 'B'});
    EXPECT_EQ(sink.printed, "AB");
}

TEST(EscPosStream, RasterModesScaleLikeAPrinter) {
    struct Case {
        uint8_t m;
        int width;
        size_t rows;
        Bytes firstRow;
    };
    // One row of one byte 0xA0: dots 0 and 2.
    const std::vector<Case> cases = {
        {0, 8, 1, {0xA0}},          {1, 16, 1, {0xCC, 0x00}}, {2, 8, 2, {0xA0}},
        {3, 16, 2, {0xCC, 0x00}},   {'0', 8, 1, {0xA0}},  // the ASCII form of the mode
        {'3', 16, 2, {0xCC, 0x00}},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        EscPosStream p(sink);
        feed(p, Bytes{0x1D, 0x76, 0x30, c.m, 0x01, 0x00, 0x01, 0x00, 0xA0});
        ASSERT_EQ(sink.rows.size(), c.rows) << int(c.m);
        EXPECT_EQ(sink.widths[0], c.width) << int(c.m);
        for (const auto& r : sink.rows) EXPECT_EQ(r, c.firstRow) << int(c.m);
    }
}

TEST(EscPosStream, LeftMarginShiftsRasterAndInitResetsIt) {
    RecordingSink sink;
    EscPosStream p(sink);
    // Margin of 4 dots (not a whole byte), one row 0xFF, then ESC @ and the same row again.
    feed(p, Bytes{0x1D, 0x4C, 0x04, 0x00, 0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00,
                  0xFF, 0x1B, 0x40, 0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0xFF});
    ASSERT_EQ(sink.rows.size(), 2u);
    EXPECT_EQ(sink.widths[0], 12);
    EXPECT_EQ(sink.rows[0], (Bytes{0x0F, 0xF0}));
    EXPECT_EQ(sink.rows[1], (Bytes{0xFF}));
}

TEST(EscPosStream, CutsFeedsAndDrawer) {
    RecordingSink sink;
    EscPosStream p(sink);
    feed(p, Bytes{0x1D, 0x56, 0x30, 0x1D, 0x56, 0x31, 0x1D, 0x56, 0x00, 0x1D, 0x56, 0x01, 0x1D,
                  0x56, 0x42, 0x05, 0x1D, 0x56, 0x07,  // unknown mode: no cut
                  0x1B, 0x4A, 0x03, 0x1B, 0x70, 0x00, 0x32, 0xFA, 0x10, 0x14, 0x01, 0x01, 0x02});
    EXPECT_EQ(sink.events, (std::vector<std::string>{"cut-full", "cut-partial", "cut-full", "cut-partial", "feed 5",
                                                     "cut-partial", "feed 3", "drawer 0 50 250", "pulse 1 2"}));
    EXPECT_EQ(sink.rows.size(), 8u);
    EXPECT_EQ(sink.printed, "");
}

TEST(EscPosStream, MacroRecordsWithoutActingAndReplays) {
    RecordingSink sink;
    EscPosStream p(sink);
    feed(p, Bytes{0x1D, 0x3A, 'A', 0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x01, 0x00, 0x3A, 0x1D, 0x49, 0x43, 0x1D, 0x3A});
    EXPECT_TRUE(sink.printed.empty());
    EXPECT_TRUE(sink.rows.empty());
    EXPECT_TRUE(sink.idents.empty());
    // The data byte 0x3A inside the raster did not end the recording; replay twice.
    feed(p, Bytes{0x1D, 0x5E, 0x02, 0x00, 0x00, 'z'});
    EXPECT_EQ(sink.printed, "AAz");
    ASSERT_EQ(sink.rows.size(), 2u);
    EXPECT_EQ(sink.rows[0], Bytes{0x3A});
    EXPECT_TRUE(sink.idents.empty());  // queries are not answered again from a macro
}

TEST(EscPosStream, IdentificationQueriesReachTheSink) {
    RecordingSink sink;
    EscPosStream p(sink);
    feed(p, Bytes{0x1D, 0x49, 0x31, 0x1D, 0x49, 0x43, 0x1D, 0x49, 0x02});
    EXPECT_EQ(sink.idents, (std::vector<int>{0x31, 0x43, 0x02}));
}

TEST(EscPosStream, HostileHeadersNeitherCrashNorExplode) {
    RecordingSink sink;
    EscPosStream p(sink);
    // A raster announcing 65535 x 65535 bytes, cut short: rows are clipped in width.
    Bytes b = {0x1D, 0x76, 0x30, 0x03, 0xFF, 0xFF, 0xFF, 0xFF};
    b.insert(b.end(), 200000, 0xFF);
    feed(p, b);
    ASSERT_EQ(sink.rows.size(), 6u);  // three whole rows, each doubled
    EXPECT_EQ(sink.widths[0], rx457emu::kMaxRowDots);

    std::mt19937 rng(457);
    for (int round = 0; round < 20; ++round) {
        RecordingSink s;
        EscPosStream q(s);
        for (int i = 0; i < 50000; ++i) q.feed(uint8_t(rng()));
    }
}
