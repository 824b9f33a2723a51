// The emulator as the library meets it: through the slave side of its pty.
#include "PrinterEmulator.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using rx457emu::PrinterEmulator;
using Bytes = std::vector<uint8_t>;

namespace {

// The host side, opened, configured and closed the way the library's link does it.
class Host {
public:
    explicit Host(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK, 0600);
        if (fd_ < 0) return;
        tcgetattr(fd_, &original_);
        termios t{};
        t.c_iflag = IGNPAR;
        t.c_cflag = B115200 | CLOCAL | CREAD | CS8 | CRTSCTS;
        tcsetattr(fd_, TCSANOW, &t);
        tcflush(fd_, TCIOFLUSH);
    }
    ~Host() {
        if (fd_ < 0) return;
        tcdrain(fd_);
        tcsetattr(fd_, TCSANOW, &original_);
        ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool send(const Bytes& b) {
        size_t done = 0;
        while (done < b.size()) {
            ssize_t k = ::write(fd_, b.data() + done, b.size() - done);
            if (k < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    pollfd p{fd_, POLLOUT, 0};
                    ::poll(&p, 1, 100);
                    continue;
                }
                return false;
            }
            done += size_t(k);
        }
        return true;
    }
    // Reads until `max` bytes came or nothing arrived for quietMs (after the first byte) or the
    // whole waitMs passed without any byte.
    Bytes read(size_t max, int waitMs = 300, int quietMs = 30) {
        Bytes out;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (out.size() < max) {
            int left =
                int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
                        .count());
            int timeout = out.empty() ? std::max(0, left) : quietMs;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, timeout) <= 0) break;
            uint8_t buf[512];
            ssize_t k = ::read(fd_, buf, std::min(sizeof buf, max - out.size()));
            if (k <= 0) break;
            out.insert(out.end(), buf, buf + k);
        }
        return out;
    }
    Bytes query(const Bytes& q, size_t max = 255, int waitMs = 300) {
        if (!send(q)) return {};
        return read(max, waitMs);
    }

private:
    int fd_ = -1;
    termios original_{};
};

Bytes withCode(uint8_t code, const std::string& text) {
    Bytes b(text.size() + 1, code);
    std::copy(text.begin(), text.end(), b.begin() + 1);
    return b;
}

Bytes raster(uint8_t m, int bytesPerRow, int rows, const Bytes& data) {
    Bytes b{0x1D, 0x76, 0x30, m, uint8_t(bytesPerRow), uint8_t(bytesPerRow >> 8), uint8_t(rows), uint8_t(rows >> 8)};
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

uint32_t le32(const Bytes& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

uint16_t le16(const Bytes& b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }

}  // namespace

TEST(PrinterEmulator, AnswersTheSixIdentificationQueriesByDefault) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    ASSERT_TRUE(host.ok());
    const struct {
        uint8_t n;
        Bytes reply;
    } cases[] = {
        {'1', withCode(0x20, "RX")},    {'2', withCode(0x02, "T")},     {'3', withCode(0x01, "1.0")},
        {'A', withCode(0x5F, "01.00")}, {'B', withCode(0x5F, "ORDAL")}, {'C', withCode(0x5F, "RX-457")},
        {0x01, withCode(0x20, "RX")},  // binary form of the digit query
    };
    for (const auto& c : cases) EXPECT_EQ(host.query({0x1D, 0x49, c.n}), c.reply) << c.n;
    EXPECT_TRUE(host.query({0x1D, 0x49, 'D'}, 255, 100).empty());
}

TEST(PrinterEmulator, IdentificationCanBeLimitedOrSwitchedOff) {
    PrinterEmulator emu;
    for (char n : std::string("123AB")) emu.setIdentification(n, std::nullopt);
    emu.setIdentification('C', std::string("OUTRO"));
    Host host(emu.slavePath());
    for (uint8_t n : std::string("123AB")) EXPECT_TRUE(host.query({0x1D, 0x49, n}, 255, 100).empty()) << n;
    EXPECT_EQ(host.query({0x1D, 0x49, 'C'}), withCode(0x5F, "OUTRO"));

    emu.setIdentification('C', std::nullopt);
    EXPECT_TRUE(host.query({0x1D, 0x49, 'C'}, 255, 100).empty());
    EXPECT_TRUE(emu.waitForReceived(18, 1000));  // six queries of three bytes were all recorded
}

TEST(PrinterEmulator, StatusBytesFollowTheirSettings) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    const Bytes defaults = {0x16, 0x12, 0x12, 0x12};
    for (uint8_t n = 1; n <= 4; ++n) EXPECT_EQ(host.query({0x10, 0x04, n}, 1), Bytes{defaults[n - 1]}) << int(n);

    emu.setStatus(2, 0x16);  // cover opened between two reads
    EXPECT_EQ(host.query({0x10, 0x04, 2}, 1), Bytes{0x16});
    emu.setStatus(2, 0x12);
    EXPECT_EQ(host.query({0x10, 0x04, 2}, 1), Bytes{0x12});

    emu.setStatus(3, std::nullopt);
    EXPECT_TRUE(host.query({0x10, 0x04, 3}, 1, 100).empty());
    EXPECT_EQ(host.query({0x10, 0x04, 4}, 1), Bytes{0x12});
    // Four queries at once come back as four bytes in order (3 stays silent).
    EXPECT_EQ(host.query({0x10, 0x04, 1, 0x10, 0x04, 2, 0x10, 0x04, 3, 0x10, 0x04, 4}, 4), (Bytes{0x16, 0x12, 0x12}));
}

TEST(PrinterEmulator, SilentPrinterStillRecords) {
    PrinterEmulator emu;
    emu.setSilent(true);
    Host host(emu.slavePath());
    EXPECT_TRUE(host.query({0x1D, 0x49, 'C', 0x10, 0x04, 1}, 255, 150).empty());
    ASSERT_TRUE(emu.waitForReceived(6, 1000));
    EXPECT_EQ(emu.received(), (Bytes{0x1D, 0x49, 'C', 0x10, 0x04, 1}));
    emu.setSilent(false);
    EXPECT_EQ(host.query({0x10, 0x04, 1}, 1), Bytes{0x16});
}

TEST(PrinterEmulator, RealTimeStatusIsAnsweredInsideAnImage) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    // Header of a 1 x 8 raster and two rows, then DLE EOT 2, which also counts as three rows.
    ASSERT_TRUE(host.send(raster(0, 1, 8, {0xFF, 0x81})));
    EXPECT_EQ(host.query({0x10, 0x04, 0x02}, 1), Bytes{0x12});
    ASSERT_TRUE(host.send({0x00, 0x00, 0xFF}));
    ASSERT_TRUE(emu.waitForReceived(16, 1000));
    ASSERT_TRUE(emu.waitQuiet(50, 1000));
    EXPECT_EQ(emu.pageHeight(), 8);
    EXPECT_TRUE(emu.pixel(3, 2));  // row 2 = 0x10
    EXPECT_TRUE(emu.pixel(5, 3));  // row 3 = 0x04
    EXPECT_TRUE(emu.pixel(6, 4));  // row 4 = 0x02
    EXPECT_TRUE(emu.pixel(7, 7));

    emu.setRealtimeInData(false);
    ASSERT_TRUE(host.send(raster(0, 1, 3, {})));
    EXPECT_TRUE(host.query({0x10, 0x04, 0x02}, 1, 150).empty());
    EXPECT_EQ(host.query({0x10, 0x04, 0x01}, 1), Bytes{0x16});  // outside the image again
}

TEST(PrinterEmulator, RasterBecomesThePageAndItsBmp) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    // Two rows of 2 bytes: a left dot and a right dot, a full row; then 3 dots of feed.
    ASSERT_TRUE(host.send(raster(0, 2, 2, {0x80, 0x01, 0xFF, 0xFF})));
    ASSERT_TRUE(host.send({0x1B, 0x4A, 0x03}));
    ASSERT_TRUE(host.send(raster(0, 1, 1, {0x40})));
    ASSERT_TRUE(emu.waitForReceived(24, 1000));
    EXPECT_EQ(emu.pageWidth(), 16);
    EXPECT_EQ(emu.pageHeight(), 6);
    EXPECT_TRUE(emu.pixel(0, 0));
    EXPECT_FALSE(emu.pixel(1, 0));
    EXPECT_TRUE(emu.pixel(15, 0));
    for (int x = 0; x < 16; ++x) EXPECT_TRUE(emu.pixel(x, 1));
    for (int y = 2; y < 5; ++y) EXPECT_FALSE(emu.pixel(0, y));
    EXPECT_TRUE(emu.pixel(1, 5));
    EXPECT_FALSE(emu.pixel(9, 5));  // narrower row: white beyond it
    EXPECT_FALSE(emu.pixel(-1, 0));
    EXPECT_FALSE(emu.pixel(0, 6));

    rx457test::TempDir dir;
    ASSERT_TRUE(emu.writePageBMP(dir.file("page.bmp")));
    Bytes bmp = rx457test::readBytes(dir.file("page.bmp"));
    ASSERT_EQ(bmp.size(), 130u + 4 * 6);
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(le32(bmp, 2), 154u);
    EXPECT_EQ(le32(bmp, 6), 0u);
    EXPECT_EQ(le32(bmp, 10), 130u);
    EXPECT_EQ(le32(bmp, 14), 108u);
    EXPECT_EQ(int32_t(le32(bmp, 18)), 16);
    EXPECT_EQ(int32_t(le32(bmp, 22)), -6);
    EXPECT_EQ(le16(bmp, 26), 1);
    EXPECT_EQ(le16(bmp, 28), 1);
    EXPECT_EQ(le32(bmp, 30), 0u);
    EXPECT_EQ(le32(bmp, 34), 24u);
    EXPECT_EQ(le32(bmp, 38), 7086u);
    EXPECT_EQ(le32(bmp, 42), 7086u);
    EXPECT_EQ(le32(bmp, 46), 2u);
    for (size_t i = 50; i < 122; ++i) ASSERT_EQ(bmp[i], 0) << i;
    EXPECT_EQ(Bytes(bmp.begin() + 122, bmp.begin() + 130), (Bytes{0xDF, 0xDF, 0xDF, 0x00, 0x00, 0x00, 0x00, 0x00}));
    const Bytes rows = {0x80, 0x01, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0};
    EXPECT_EQ(Bytes(bmp.begin() + 130, bmp.end()), rows);
    EXPECT_EQ(emu.pageBMP(), bmp);

    emu.clearPage();
    EXPECT_EQ(emu.pageHeight(), 0);
    EXPECT_FALSE(emu.writePageBMP(dir.file("empty.bmp")));
}

TEST(PrinterEmulator, DoubleWidthAndHeightModes) {
    const struct {
        uint8_t m;
        int width, height;
    } cases[] = {{0, 8, 2}, {1, 16, 2}, {2, 8, 4}, {3, 16, 4}};
    for (const auto& c : cases) {
        PrinterEmulator emu;
        Host host(emu.slavePath());
        ASSERT_TRUE(host.send(raster(c.m, 1, 2, {0x80, 0x01})));
        ASSERT_TRUE(emu.waitForReceived(10, 1000));
        EXPECT_EQ(emu.pageWidth(), c.width) << int(c.m);
        ASSERT_EQ(emu.pageHeight(), c.height) << int(c.m);
        const int sx = c.width / 8, sy = c.height / 2;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                bool expect = (y / sy == 0 && x / sx == 0) || (y / sy == 1 && x / sx == 7);
                EXPECT_EQ(emu.pixel(x, y), expect) << int(c.m) << " " << x << "," << y;
            }
    }
}

TEST(PrinterEmulator, RasterSplitAcrossWritesStaysAligned) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    Bytes data(64 * 24);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 37 + 11);
    Bytes stream = Bytes{0x1B, 0x24, 0x00, 0x00} + raster(0, 64, 24, data);
    stream.push_back('O');
    stream.push_back('K');
    stream.push_back(0x0A);
    // Odd-sized pieces with pauses, so the emulator sees them as separate reads.
    size_t at = 0, piece = 1;
    while (at < stream.size()) {
        size_t n = std::min(piece, stream.size() - at);
        ASSERT_TRUE(host.send(Bytes(stream.begin() + long(at), stream.begin() + long(at + n))));
        at += n;
        piece = piece * 3 + 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(emu.waitForReceived(stream.size(), 2000));
    EXPECT_EQ(emu.pageWidth(), 512);
    ASSERT_EQ(emu.pageHeight(), 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 512; ++x)
            ASSERT_EQ(emu.pixel(x, y), bool((data[size_t(y * 64 + x / 8)] >> (7 - x % 8)) & 1)) << x << "," << y;
    EXPECT_EQ(emu.text(), "OK\n");
    EXPECT_EQ(emu.received(), stream);
}

TEST(PrinterEmulator, CutsAndDrawerPulsesAreCounted) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    ASSERT_TRUE(
        host.send({0x1D, 0x56, 0x30, 0x1D, 0x56, 0x31, 0x1D, 0x56, 0x31, 0x1B, 0x70, 0x00, 0x32, 0xFA, 0x1B, 0x40}));
    ASSERT_TRUE(emu.waitForReceived(16, 1000));
    EXPECT_EQ(emu.fullCuts(), 1);
    EXPECT_EQ(emu.partialCuts(), 2);
    EXPECT_EQ(emu.drawerPulses(), 1);
    EXPECT_EQ(emu.events(),
              (std::vector<std::string>{"cut-full", "cut-partial", "cut-partial", "drawer 0 50 250", "init"}));
    emu.clearEvents();
    EXPECT_EQ(emu.fullCuts() + emu.partialCuts() + emu.drawerPulses(), 0);
    EXPECT_TRUE(emu.events().empty());
}

TEST(PrinterEmulator, EventCallbackSeesEveryEvent) {
    PrinterEmulator emu;
    std::mutex m;
    std::vector<std::string> seen;
    emu.setEventCallback([&](const std::string& e) {
        std::lock_guard<std::mutex> lk(m);
        seen.push_back(e);
    });
    Host host(emu.slavePath());
    ASSERT_TRUE(host.send(raster(0, 1, 1, {0xFF}) + Bytes{0x1D, 0x56, 0x31}));
    ASSERT_TRUE(emu.waitForReceived(12, 1000));
    // The callback runs right after the bytes are recorded; wait for it without spinning hard.
    for (int i = 0; i < 100; ++i) {
        {
            std::lock_guard<std::mutex> lk(m);
            if (seen.size() >= 2) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard<std::mutex> lk(m);
    EXPECT_EQ(seen, (std::vector<std::string>{"raster 1x1 m0", "cut-partial"}));
}

TEST(PrinterEmulator, HostCanCloseAndReopenThePort) {
    PrinterEmulator emu;
    for (int round = 0; round < 5; ++round) {
        Host host(emu.slavePath());
        ASSERT_TRUE(host.ok()) << round;
        EXPECT_EQ(host.query({0x1D, 0x49, 'C'}), withCode(0x5F, "RX-457")) << round;
    }
    // A reply the host never read is gone after the next open's flush, not delivered late.
    {
        Host host(emu.slavePath());
        ASSERT_TRUE(host.send({0x1D, 0x49, 'B'}));
        ASSERT_TRUE(emu.waitForReceived(18, 1000));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Host host(emu.slavePath());
    EXPECT_EQ(host.query({0x1D, 0x49, 'C'}), withCode(0x5F, "RX-457"));
}

TEST(PrinterEmulator, UnpluggedPrinterMakesTheHostFailNotHang) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    ASSERT_TRUE(host.send({0x1B, 0x40}));
    ASSERT_TRUE(emu.waitForReceived(2, 1000));
    ASSERT_TRUE(host.send({0x1D, 0x56, 0x30}));
    emu.disappear();
    EXPECT_EQ(emu.fullCuts(), 1);  // sent before the plug was pulled

    auto start = std::chrono::steady_clock::now();
    uint8_t b = 0x10;
    errno = 0;
    EXPECT_EQ(::write(host.fd(), &b, 1), -1);
    EXPECT_EQ(errno, EIO);
    uint8_t in[8];
    EXPECT_LE(::read(host.fd(), in, sizeof in), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_LT(::open(emu.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), 0);
    emu.disappear();  // twice is harmless
}

TEST(PrinterEmulator, ReplyDelayIsHonoured) {
    PrinterEmulator emu;
    emu.setReplyDelay(120);
    Host host(emu.slavePath());
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(host.query({0x1D, 0x49, 'C'}, 255, 60).empty());
    Bytes late = host.read(255, 500);
    EXPECT_EQ(late, withCode(0x5F, "RX-457"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
}

TEST(PrinterEmulator, WaitsBlockUntilTheirCondition) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    EXPECT_FALSE(emu.waitForReceived(1, 50));
    EXPECT_TRUE(emu.waitQuiet(10, 100));  // nothing arrived at all
    std::thread sender([&] {
        for (int i = 0; i < 6; ++i) {
            host.send({'x'});
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    EXPECT_TRUE(emu.waitForReceived(1, 1000));
    EXPECT_FALSE(emu.waitQuiet(80, 60));  // bytes keep arriving every 20 ms
    EXPECT_TRUE(emu.waitQuiet(80, 2000));
    sender.join();
    EXPECT_EQ(emu.received().size(), 6u);
    EXPECT_GE(emu.millisSinceLastByte(), 80);
    emu.clearReceived();
    EXPECT_TRUE(emu.received().empty());
    EXPECT_EQ(emu.receivedTotal(), 6u);
}

TEST(PrinterEmulator, IdleEmulatorBurnsNoCpu) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    emu.setReplyDelay(10000);  // a pending reply must not make the thread spin either
    ASSERT_TRUE(host.send({0x10, 0x04, 0x01}));
    ASSERT_TRUE(emu.waitForReceived(3, 1000));
    timespec a{}, b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    double used = double(b.tv_sec - a.tv_sec) * 1e3 + double(b.tv_nsec - a.tv_nsec) / 1e6;
    EXPECT_LT(used, 50.0);
}

TEST(PrinterEmulator, PngThroughConvert) {
    if (!rx457test::commandAvailable("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
    PrinterEmulator emu;
    Host host(emu.slavePath());
    ASSERT_TRUE(host.send(raster(0, 2, 2, {0xF0, 0x0F, 0x0F, 0xF0})));
    ASSERT_TRUE(emu.waitForReceived(12, 1000));
    rx457test::TempDir dir;
    ASSERT_TRUE(emu.writePagePNG(dir.file("p.png")));
    int code = -1;
    std::string info = rx457test::runCommand(
        "convert " + dir.file("p.png") + " -format '%w %h %[pixel:p{0,0}] %[pixel:p{4,0}]' info:", &code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(info.find("16 2"), std::string::npos) << info;
    EXPECT_NE(info.find("gray(0)"), std::string::npos) << info;
}

// The command-line tool run as a child process, its stdin and stdout on pipes.
class Ferramenta {
public:
    explicit Ferramenta(std::vector<std::string> argumentos) {
        int paraFilho[2], doFilho[2];
        if (::pipe(paraFilho) != 0 || ::pipe(doFilho) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(paraFilho[0], 0);
            ::dup2(doFilho[1], 1);
            ::close(paraFilho[1]);
            ::close(doFilho[0]);
            std::vector<char*> argv{const_cast<char*>(EMULATOR_EXE)};
            for (std::string& a : argumentos) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(EMULATOR_EXE, argv.data());
            ::_exit(127);
        }
        ::close(paraFilho[0]);
        ::close(doFilho[1]);
        entrada_ = paraFilho[1];
        saida_ = doFilho[0];
    }
    ~Ferramenta() {
        fecharEntrada();
        if (saida_ >= 0) ::close(saida_);
        if (pid_ > 0 && !terminou_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool iniciou() const { return pid_ > 0 && entrada_ >= 0 && saida_ >= 0; }
    pid_t pid() const { return pid_; }
    std::string lerLinha() {
        std::string linha;
        char c;
        while (::read(saida_, &c, 1) == 1 && c != '\n') linha.push_back(c);
        return linha;
    }
    bool escrever(const std::string& texto) {
        return ::write(entrada_, texto.data(), texto.size()) == ssize_t(texto.size());
    }
    void fecharEntrada() {
        if (entrada_ >= 0) ::close(entrada_);
        entrada_ = -1;
    }
    // True when the tool exited by itself with status 0 within 3 s.
    bool saiuComSucesso() {
        int status = 0;
        pid_t fim = 0;
        for (int i = 0; i < 300 && fim == 0; ++i) {
            fim = ::waitpid(pid_, &status, WNOHANG);
            if (fim == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (fim == 0) return false;
        terminou_ = true;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t pid_ = -1;
    int entrada_ = -1, saida_ = -1;
    bool terminou_ = false;
};

// The command-line tool: the path on the first line, the page written when it goes quiet.
TEST(EmulatorTool, ExitsAfterQuietAndWritesThePage) {
    rx457test::TempDir dir;
    const std::string out = dir.file("page.bmp");
    Ferramenta ferramenta(
        {"--out", out, "--quiet-exit", "200", "--model", "TESTE", "--status", "1=0x1E", "--stdin-control"});
    ASSERT_TRUE(ferramenta.iniciou());
    const std::string line = ferramenta.lerLinha();
    ASSERT_EQ(line.rfind("/dev/", 0), 0u) << line;
    {
        Host host(line);
        ASSERT_TRUE(host.ok());
        EXPECT_EQ(host.query({0x1D, 0x49, 'C'}), withCode(0x5F, "TESTE"));
        EXPECT_EQ(host.query({0x10, 0x04, 1}, 1), Bytes{0x1E});
        // A control command answered on stdout.
        ASSERT_TRUE(ferramenta.escrever("status 1 0x16\n"));
        EXPECT_EQ(ferramenta.lerLinha(), "ok");
        EXPECT_EQ(host.query({0x10, 0x04, 1}, 1), Bytes{0x16});
        ASSERT_TRUE(host.send(raster(0, 1, 2, {0xAA, 0x55}) + Bytes{0x1D, 0x56, 0x31}));
    }
    ASSERT_TRUE(ferramenta.saiuComSucesso()) << "the emulator did not exit cleanly after going quiet";
    Bytes bmp = rx457test::readBytes(out);
    ASSERT_EQ(bmp.size(), 130u + 8);
    EXPECT_EQ(int32_t(le32(bmp, 22)), -2);
    EXPECT_EQ(bmp[130], 0xAA);
    EXPECT_EQ(bmp[134], 0x55);
}

TEST(EmulatorTool, StopsWhenStdinClosesAndOnSigterm) {
    for (bool bySignal : {false, true}) {
        Ferramenta ferramenta(bySignal ? std::vector<std::string>{} : std::vector<std::string>{"--stdin-control"});
        ASSERT_TRUE(ferramenta.iniciou());
        ferramenta.lerLinha();
        if (bySignal) ::kill(ferramenta.pid(), SIGTERM);
        ferramenta.fecharEntrada();
        EXPECT_TRUE(ferramenta.saiuComSucesso()) << bySignal;
    }
}

TEST(PrinterEmulator, HostThatNeverReadsRepliesDoesNotMakeItSpin) {
    PrinterEmulator emu;
    Host host(emu.slavePath());
    Bytes many;
    for (int i = 0; i < 40000; ++i) many.insert(many.end(), {0x10, 0x04, 0x01});
    ASSERT_TRUE(host.send(many));
    ASSERT_TRUE(emu.waitForReceived(many.size(), 5000));
    timespec a{}, b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    double used = double(b.tv_sec - a.tv_sec) * 1e3 + double(b.tv_nsec - a.tv_nsec) / 1e6;
    EXPECT_LT(used, 60.0);
    // The host flushes what piled up, as the library does on open, and is answered afresh.
    tcflush(host.fd(), TCIFLUSH);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    tcflush(host.fd(), TCIFLUSH);
    EXPECT_EQ(host.query({0x1D, 0x49, 'C'}), withCode(0x5F, "RX-457"));
}

// The fault-injection commands: unplug and plug back under the same link, stop reading, a pace,
// and the TCP service with a dropped connection.
TEST(EmulatorTool, FaultCommandsChangeWhatTheHostMeets) {
    rx457test::TempDir dir;
    const std::string link = dir.file("impressora");
    Ferramenta ferramenta({"--stdin-control", "--link", link, "--tcp", "0"});
    ASSERT_TRUE(ferramenta.iniciou());
    ASSERT_EQ(ferramenta.lerLinha(), link);
    const std::string tcp = ferramenta.lerLinha();
    ASSERT_EQ(tcp.rfind("tcp 127.0.0.1:", 0), 0u) << tcp;
    auto comando = [&](const std::string& c) {
        EXPECT_TRUE(ferramenta.escrever(c + "\n"));
        return ferramenta.lerLinha();
    };
    {
        Host host(link);
        ASSERT_TRUE(host.ok());
        EXPECT_EQ(comando("vanish"), "ok");
        uint8_t b = 0;
        EXPECT_EQ(::write(host.fd(), &b, 1), -1);
        EXPECT_NE(::access(link.c_str(), F_OK), 0) << "the path goes away";
    }
    EXPECT_EQ(comando("appear").rfind("ok /dev/", 0), 0u);
    Host host(link);  // the same path, a new device
    ASSERT_TRUE(host.ok());
    EXPECT_EQ(host.query({0x1D, 0x49, 'C'}), withCode(0x5F, "RX-457"));
    // Stalled: the host's writes stop being taken once the pty is full.
    EXPECT_EQ(comando("stall on"), "ok");
    const Bytes muito(1 << 20, 0x0A);
    const ssize_t aceitos = ::write(host.fd(), muito.data(), muito.size());
    EXPECT_GT(aceitos, 0);
    EXPECT_LT(aceitos, ssize_t(muito.size()));
    // Paced: 200000 bytes at 200000 B/s take about a second once reading resumes (the pty buffers
    // some 14 KB of it).
    EXPECT_EQ(comando("rate 200000"), "ok");
    const auto inicio = std::chrono::steady_clock::now();
    EXPECT_EQ(comando("stall off"), "ok");
    ASSERT_TRUE(host.send(Bytes(200000, 0x0A)));
    EXPECT_GE(std::chrono::steady_clock::now() - inicio, std::chrono::milliseconds(750));
    EXPECT_EQ(comando("rate 0"), "ok");
    // TCP: served and answered like the pty; dropped on command.
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(std::stoi(tcp.substr(tcp.rfind(':') + 1))));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::send(s, "\x1dIC", 3, 0), 3);
    char resposta[16] = {};
    ASSERT_EQ(::recv(s, resposta, sizeof resposta, 0), 7);
    EXPECT_EQ(std::string(resposta + 1, 6), "RX-457");
    EXPECT_EQ(comando("drop"), "ok");
    EXPECT_EQ(::recv(s, resposta, sizeof resposta, 0), 0) << "the connection was closed";
    ::close(s);
}
