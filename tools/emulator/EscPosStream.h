// The emulated printer's command interpreter: splits an ESC/POS byte stream into commands by
// their known lengths (so image data and text never misalign) and reports what a printer would
// do with them. Real-time commands (DLE EOT) are only skipped here; they are answered on the raw
// stream by the emulator, as a printer does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rx457emu {

constexpr size_t kMaxPageRows = 2000000;  // about 280 m of paper at 180 dpi
constexpr size_t kMaxPageBytes = 256u << 20;
constexpr int kMaxRowDots = 16384;  // wider raster rows are clipped
constexpr size_t kMaxMacro = 2048;

class EscPosSink {
public:
    virtual ~EscPosSink() = default;
    // One decoded dot row (MSB = leftmost dot), to be stacked `copies` times.
    virtual void rasterRow(const uint8_t* dots, int widthDots, int copies) = 0;
    virtual void feedRows(int n) = 0;
    virtual void cut(bool full) = 0;
    virtual void drawerPulse(const std::string& what) = 0;
    virtual void event(const std::string& what) = 0;
    virtual void text(uint8_t c) = 0;
    virtual void identify(uint8_t n) = 0;  // GS I n
};

class EscPosStream {
public:
    explicit EscPosStream(EscPosSink& sink) : sink_(sink) {}
    void feed(uint8_t b);
    // True while the bytes of a command's data block (image, barcode, symbol data...) arrive.
    bool inDataBlock() const { return state_ == State::Data || state_ == State::UntilNul; }
    bool recordingMacro() const { return recording_; }

private:
    enum class State { Plain, Header, Data, UntilNul };
    enum class Block { Skip, Raster };

    void startCommand(uint8_t b);
    void header(uint8_t b);
    void execute();  // the header is complete
    void dataByte(uint8_t b);
    void endBlock();
    void emitRasterRow();
    void runMacro(int times);
    bool acting() const { return !recording_; }
    size_t headerLength() const;  // 0 = more bytes needed to know

    EscPosSink& sink_;
    State state_ = State::Plain;
    uint8_t hdr_[16] = {};
    size_t hdrLen_ = 0;

    Block block_ = Block::Skip;
    uint64_t remaining_ = 0;  // data bytes still expected
    size_t nulLimit_ = 0;     // UntilNul: bytes allowed before giving up

    // Raster being received.
    int rasterBytes_ = 0;  // bytes per row as sent
    bool doubleWidth_ = false, doubleHeight_ = false;
    std::vector<uint8_t> rowIn_;
    std::vector<uint8_t> rowOut_;

    // Printer settings that change what is decoded.
    int marginDots_ = 0;  // GS L
    int font_ = 0;        // ESC M: 0 = 12 dots wide, 1 = 9 dots wide

    bool recording_ = false;
    bool replaying_ = false;
    std::vector<uint8_t> macro_;
};

}  // namespace rx457emu
