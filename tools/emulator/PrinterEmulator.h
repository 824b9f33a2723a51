// A receipt printer of our own on a pseudo-terminal, for tests and demonstrations.
//
// The library opens slavePath() exactly as it opens a USB CDC device. The emulator answers the
// identification (GS I n) and real-time status (DLE EOT n) queries, records every byte it gets,
// decodes GS v 0 raster images into one growing 1-bit page and counts cuts and drawer pulses.
// All accessors are thread-safe; the pty is served by a thread of its own that sleeps in poll()
// while nothing happens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rx457emu {

class PrinterEmulator {
public:
    // Opens the pty pair (raw mode on both sides) and starts serving at once.
    // Throws std::system_error when no pseudo-terminal can be allocated.
    PrinterEmulator();
    ~PrinterEmulator();
    PrinterEmulator(const PrinterEmulator&) = delete;
    PrinterEmulator& operator=(const PrinterEmulator&) = delete;

    // What the library is given as its port, e.g. /dev/pts/7.
    const std::string& slavePath() const;

    // Reply text for GS I n, n in '1','2','3','A','B','C' (the binary forms 1, 2, 3 of the digit
    // queries are answered alike). The text follows a code byte: 0x20 for '1', 0x02 for '2', 0x01
    // for '3', 0x5F for the letters. std::nullopt = never answer that query.
    // Defaults: '1' "RX", '2' "T", '3' "1.0", 'A' "01.00", 'B' "ORDAL", 'C' "RX-457".
    void setIdentification(char n, std::optional<std::string> text);
    // Reply byte of DLE EOT n (n = 1..4); std::nullopt = silent for that n.
    // Defaults: 0x16, 0x12, 0x12, 0x12 (drawer sensor high, everything fine).
    void setStatus(int n, std::optional<uint8_t> value);
    // Printer off: answers nothing at all (pending replies are dropped), still records bytes.
    void setSilent(bool silent);
    // Printer unplugged: the master side is closed; the slave's reads and writes fail from now on
    // and the path disappears (the alias too). Bytes already sent by the host are still recorded
    // first.
    void disappear();
    // Printer plugged in again: a new pty (a new slavePath()), with no command half-read. The
    // alias, or `aliasPath` when given (it becomes the alias), is pointed at it. The page, the
    // events and the received bytes are kept. False when no pty or link could be made.
    bool appear(const std::string& aliasPath = "");
    // Names the pty also by a symbolic link at `path` (replaced when it exists), as udev names a
    // USB printer: the library can be given a path that survives unplugging.
    bool setAlias(const std::string& path);
    const std::string& alias() const;
    // Stops reading (paper out with a full buffer): the host's writes block once the pty or the
    // socket buffer is full. Replies and recorded bytes stay as they are.
    void setStalled(bool stalled);
    // Reads at most this many bytes per second (a serial line at 115200 bit/s moves 11520);
    // 0 = as fast as they come.
    void setRate(int bytesPerSecond);
    // Also serves on TCP at 127.0.0.1:port (0 = any free port), one connection at a time; every
    // new connection starts with no command half-read. Returns the port, -1 on failure.
    int listenTcp(int port = 0);
    // Closes the current TCP connection (the host sees it reset); the next one is accepted.
    void dropConnection();
    int tcpConnections() const;
    // Latency before each reply (ms, 0 = none). Bytes keep being received meanwhile.
    // Replies that find the host's input queue full are lost, as on a wire whose receiver
    // overran: a host that flushes its input afterwards hears only fresh replies.
    void setReplyDelay(int ms);
    // Real printers answer DLE EOT even inside the data block of another command (the three bytes
    // still count as that command's data). Off: only outside data blocks. Default on.
    void setRealtimeInData(bool on);

    // Every byte received since construction or the last clearReceived().
    std::vector<uint8_t> received() const;
    void clearReceived();
    // Total bytes received since construction (not reset by clearReceived()).
    uint64_t receivedTotal() const;
    // Blocks (no polling) until received() holds at least count bytes; false on timeout.
    bool waitForReceived(size_t count, int timeoutMs) const;
    // Blocks until no byte arrived for quietMs; false when timeoutMs passed first.
    bool waitQuiet(int quietMs, int timeoutMs) const;
    // Milliseconds since the last byte arrived (since construction when none did).
    int64_t millisSinceLastByte() const;

    // The page: every GS v 0 raster received, stacked top to bottom (after a left margin set with
    // GS L), plus blank rows for ESC J and the feed of GS V 'A'/'B'.
    int pageWidth() const;  // widest raster row seen, in dots (0 before any raster), at
                            // least the paper width once rows exist
    // Width of the paper (dots, 0 = none): pages that leave its right side blank keep its width, so
    // that a stream whose images are trimmed to their ink gives the same BMP. Kept by clearPage().
    void setPaperWidth(int dots);
    int pageHeight() const;          // rows
    bool pixel(int x, int y) const;  // true = black; false outside the page
    // 1-bit BMP, top-down, 108-byte information header, 7086 pixels per metre, palette
    // DF DF DF 00 (paper) / 00 00 00 00 (dot): the layout of the library's capture.
    // false when the page is empty (no width or no rows) or the file cannot be written.
    bool writePageBMP(const std::string& path) const;
    std::vector<uint8_t> pageBMP() const;  // the same bytes in memory (empty for an empty page)
    // Through ImageMagick's `convert`; false when it is missing or fails.
    bool writePagePNG(const std::string& path) const;
    void clearPage();

    int fullCuts() const;
    int partialCuts() const;
    int drawerPulses() const;
    // Mechanical and structural events in arrival order, e.g. "raster 64x24 m0", "feed 50",
    // "cut-full", "cut-partial", "drawer 0 50 250" (ESC p m t1 t2 as sent), "pulse 0 1"
    // (DLE DC4 1 m t), "init" (ESC @), "macro-run 1". Keeps the last 100000.
    std::vector<std::string> events() const;
    // Also resets the cut and drawer counters.
    void clearEvents();
    // Printable text bytes received outside commands (LF kept as '\n'); the emulator does not
    // render text, it only keeps it for inspection. Keeps the last 1 MiB.
    std::string text() const;
    // Called on the serving thread, outside the emulator's lock, for every new event.
    void setEventCallback(std::function<void(const std::string&)> callback);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rx457emu
