#include "PrinterEmulator.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <system_error>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "EscPosStream.h"

extern char** environ;

namespace rx457emu {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxEvents = 100000;
constexpr size_t kMaxText = 1u << 20;
constexpr size_t kMaxQueuedReply = 64 * 1024;  // delayed replies held at most
constexpr int kIdentCount = 6;
const char kIdentChars[kIdentCount] = {'1', '2', '3', 'A', 'B', 'C'};

int identIndex(char n) {
    for (int i = 0; i < kIdentCount; ++i)
        if (kIdentChars[i] == n) return i;
    return -1;
}

void makeRaw(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    t.c_cflag |= CLOCAL | CREAD;
    tcsetattr(fd, TCSANOW, &t);
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void putLE16(std::vector<uint8_t>& v, size_t at, uint16_t x) {
    v[at] = uint8_t(x);
    v[at + 1] = uint8_t(x >> 8);
}

void putLE32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (8 * i));
}

}  // namespace

struct PrinterEmulator::Impl : EscPosSink {
    // Descriptors; only the serving thread touches master while it runs.
    int master = -1;
    int slaveHold = -1;  // keeps the tty alive across the host's close/reopen
    int stopFd = -1;
    int wakeFd = -1;  // a control change (stall, rate, drop) for the serving thread
    std::string slavePath;
    std::string alias;  // symbolic link that names the current pty (empty: none)
    std::thread thread;

    // TCP service on 127.0.0.1: one connection at a time.
    int listenFd = -1;
    int conn = -1;
    int tcpPort = 0;
    int connections = 0;
    bool dropRequested = false;
    int replyFd = -1;  // where replies go: the side that last sent bytes

    // Reading pace.
    bool stalled = false;
    int rate = 0;  // bytes per second, 0 = as fast as they come
    double tokens = 0;
    Clock::time_point refill = Clock::now();

    mutable std::mutex m;
    mutable std::condition_variable cv;

    // Configuration.
    std::array<std::optional<std::string>, kIdentCount> ident{std::string("RX"),    std::string("T"),
                                                              std::string("1.0"),   std::string("01.00"),
                                                              std::string("ORDAL"), std::string("RX-457")};
    std::array<std::optional<uint8_t>, 4> status{uint8_t(0x16), uint8_t(0x12), uint8_t(0x12), uint8_t(0x12)};
    bool silent = false;
    bool gone = false;
    int replyDelayMs = 0;
    bool realtimeInData = true;

    // What came in.
    std::vector<uint8_t> rx;
    uint64_t rxTotal = 0;
    Clock::time_point lastByte = Clock::now();
    uint8_t rt1 = 0, rt2 = 0;  // the two previous raw bytes, for DLE EOT n
    bool rtData1 = false, rtData2 = false;
    int rtCount = 0;

    // Page and events.
    std::vector<std::vector<uint8_t>> rows;  // MSB = leftmost dot; shorter rows are white beyond
    int width = 0;
    int paperWidth = 0;
    size_t pageBytes = 0;
    int cutsFull = 0, cutsPartial = 0, drawer = 0;
    std::deque<std::string> eventLog;
    std::vector<std::string> newEvents;  // handed to the callback after unlocking
    std::string textLog;
    std::function<void(const std::string&)> callback;

    // Replies waiting for their time (see setReplyDelay).
    struct Reply {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
    };
    std::deque<Reply> out;
    size_t outBytes = 0;

    std::unique_ptr<EscPosStream> parser = std::make_unique<EscPosStream>(*this);

    // A printer that was switched off, or a new connection, starts with no command half-read.
    void resetParser() {
        parser = std::make_unique<EscPosStream>(*this);
        rtCount = 0;
        rt1 = rt2 = 0;
        rtData1 = rtData2 = false;
    }

    // ---- EscPosSink (called with m held) ----
    void rasterRow(const uint8_t* dots, int widthDots, int copies) override {
        const size_t bytes = size_t(widthDots + 7) / 8;
        for (int c = 0; c < copies; ++c) {
            if (rows.size() >= kMaxPageRows || pageBytes + bytes > kMaxPageBytes) return;
            rows.emplace_back(dots, dots + bytes);
            pageBytes += bytes;
        }
        width = std::max(width, widthDots);
    }
    void feedRows(int n) override {
        for (int i = 0; i < n && rows.size() < kMaxPageRows; ++i) rows.emplace_back();
    }
    void cut(bool full) override {
        if (full)
            ++cutsFull;
        else
            ++cutsPartial;
        event(full ? "cut-full" : "cut-partial");
    }
    void drawerPulse(const std::string& what) override {
        ++drawer;
        event(what);
    }
    void event(const std::string& e) override {
        eventLog.push_back(e);
        if (eventLog.size() > kMaxEvents) eventLog.pop_front();
        if (callback) newEvents.push_back(e);
    }
    void text(uint8_t c) override {
        if (textLog.size() >= kMaxText) textLog.erase(0, kMaxText / 2);
        textLog.push_back(char(c));
    }
    void identify(uint8_t n) override {
        int i = -1;
        uint8_t code = 0x5F;
        switch (n) {
        case 1:
        case '1':
            i = 0;
            code = 0x20;
            break;
        case 2:
        case '2':
            i = 1;
            code = 0x02;
            break;
        case 3:
        case '3':
            i = 2;
            code = 0x01;
            break;
        case 'A': i = 3; break;
        case 'B': i = 4; break;
        case 'C': i = 5; break;
        default: return;
        }
        if (!ident[size_t(i)]) return;
        std::vector<uint8_t> r;
        r.push_back(code);
        r.insert(r.end(), ident[size_t(i)]->begin(), ident[size_t(i)]->end());
        reply(std::move(r));
    }

    void reply(std::vector<uint8_t> bytes) {
        if (silent || gone || bytes.empty()) return;
        if (outBytes + bytes.size() > kMaxQueuedReply) return;
        outBytes += bytes.size();
        out.push_back({Clock::now() + std::chrono::milliseconds(replyDelayMs), std::move(bytes)});
    }

    // DLE EOT n is answered the moment its last byte arrives, whatever is being collected;
    // inData tells whether the parser took this byte as part of a command's data block.
    void realtime(uint8_t b, bool inData) {
        if (rtCount >= 2 && rt2 == 0x10 && rt1 == 0x04 && b >= 1 && b <= 4 && (realtimeInData || !rtData2)) {
            if (status[b - 1]) reply({*status[b - 1]});
        }
        rt2 = rt1;
        rtData2 = rtData1;
        rt1 = b;
        rtData1 = inData;
        if (rtCount < 2) ++rtCount;
    }

    void consume(const uint8_t* data, size_t n) {
        rx.insert(rx.end(), data, data + n);
        rxTotal += n;
        lastByte = Clock::now();
        for (size_t i = 0; i < n; ++i) {
            bool inData = parser->inDataBlock();
            parser->feed(data[i]);
            realtime(data[i], inData);
        }
    }

    // ---- serving thread ----
    // Bytes that may be read now under the configured pace (0 = wait `waitMs` first).
    size_t allowance(size_t most, int& waitMs) {
        waitMs = -1;
        if (stalled) return 0;
        if (rate <= 0) return most;
        auto now = Clock::now();
        const double burst = std::max(64.0, rate / 50.0);
        tokens = std::min(burst, tokens + rate * std::chrono::duration<double>(now - refill).count());
        refill = now;
        if (tokens >= 1.0) return std::min(most, size_t(tokens));
        waitMs = std::max(1, int(std::ceil((1.0 - tokens) * 1000.0 / rate)));
        return 0;
    }

    // Reads what the pace allows from fd; false when the peer closed (TCP) or failed.
    bool readFrom(int fd, std::vector<uint8_t>& buf, bool& gotData) {
        for (;;) {
            size_t most;
            {
                std::lock_guard<std::mutex> lk(m);
                int waitMs;
                most = allowance(buf.size(), waitMs);
            }
            if (most == 0) return true;
            ssize_t k = fd == conn ? ::recv(fd, buf.data(), most, MSG_DONTWAIT) : ::read(fd, buf.data(), most);
            if (k > 0) {
                std::lock_guard<std::mutex> lk(m);
                if (rate > 0) tokens -= double(k);
                consume(buf.data(), size_t(k));
                replyFd = fd;
                gotData = true;
                if (size_t(k) < most) return true;
                continue;
            }
            if (k < 0 && errno == EINTR) continue;
            if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
            return fd != conn;  // a closed connection; a pty read error is ignored as before
        }
    }

    void closeConn() {
        closeFd(conn);
        std::lock_guard<std::mutex> lk(m);
        if (replyFd >= 0 && replyFd != master) replyFd = -1;
        resetParser();
        out.clear();
        outBytes = 0;
    }

    void serve() {
        std::vector<uint8_t> buf(4096);
        for (;;) {
            int timeout = -1;
            bool wantOut = false;
            bool readable;
            {
                std::lock_guard<std::mutex> lk(m);
                if (!out.empty()) {
                    auto when = out.front().due;
                    auto now = Clock::now();
                    if (when <= now)
                        wantOut = true;
                    else
                        timeout = int(std::chrono::ceil<std::chrono::milliseconds>(when - now).count());
                }
                int paceMs;
                readable = allowance(buf.size(), paceMs) > 0;
                if (paceMs >= 0) timeout = timeout < 0 ? paceMs : std::min(timeout, paceMs);
            }
            const int outFd = replyFd >= 0 ? replyFd : master;
            auto events = [&](int fd) {
                return short((readable ? POLLIN : 0) | (wantOut && fd == outFd ? POLLOUT : 0));
            };
            pollfd fds[5] = {{stopFd, POLLIN, 0},
                             {wakeFd, POLLIN, 0},
                             {master, events(master), 0},
                             {conn, events(conn), 0},
                             {conn < 0 ? listenFd : -1, POLLIN, 0}};
            int r = ::poll(fds, 5, timeout);
            if (r < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[0].revents) return;
            if (fds[1].revents) {
                uint64_t n;
                ssize_t k = ::read(wakeFd, &n, sizeof n);
                (void)k;
                bool drop;
                {
                    std::lock_guard<std::mutex> lk(m);
                    drop = dropRequested;
                    dropRequested = false;
                }
                if (drop && conn >= 0) closeConn();
            }
            bool gotData = false;
            if (master >= 0 && (fds[2].revents & POLLIN)) {
                readFrom(master, buf, gotData);
            } else if (master >= 0 && (fds[2].revents & (POLLHUP | POLLERR))) {
                // Cannot happen while slaveHold is open; never spin on it anyway.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (conn >= 0 && (fds[3].revents & (POLLIN | POLLHUP | POLLERR))) {
                // A hang-up seen while not reading would wake the loop forever: close at once.
                if (!readable || !readFrom(conn, buf, gotData) || (fds[3].revents & POLLERR)) closeConn();
            }
            if (fds[4].revents & POLLIN) {
                int c = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (c >= 0) {
                    conn = c;
                    std::lock_guard<std::mutex> lk(m);
                    ++connections;
                    resetParser();
                    replyFd = conn;
                }
            }
            if (gotData) {
                cv.notify_all();
                deliverEvents();
            }
            writeDue();
        }
    }

    void deliverEvents() {
        std::vector<std::string> evs;
        std::function<void(const std::string&)> cb;
        {
            std::lock_guard<std::mutex> lk(m);
            evs.swap(newEvents);
            cb = callback;
        }
        if (cb)
            for (const auto& e : evs) cb(e);
    }

    void writeDue() {
        std::lock_guard<std::mutex> lk(m);
        auto now = Clock::now();
        const int fd = replyFd >= 0 ? replyFd : master;
        while (!out.empty() && out.front().due <= now) {
            auto& front = out.front().bytes;
            ssize_t k = fd == conn ? ::send(fd, front.data(), front.size(), MSG_NOSIGNAL | MSG_DONTWAIT)
                                   : ::write(fd, front.data(), front.size());
            if (k < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN) {
                    // The host's input queue is full because it does not read. A printer's
                    // replies would overrun the host's UART and be lost, not wait in the printer:
                    // drop what is due now, so nothing stale arrives once the host reads or
                    // flushes, and there is nothing left to retry (no wake-ups while it stays full).
                    while (!out.empty() && out.front().due <= now) {
                        outBytes -= out.front().bytes.size();
                        out.pop_front();
                    }
                    return;
                }
                out.clear();  // the pty is broken: nobody will read these
                outBytes = 0;
                return;
            }
            outBytes -= size_t(k);
            front.erase(front.begin(), front.begin() + k);
            if (front.empty()) out.pop_front();
        }
    }

    void wake() {
        uint64_t one = 1;
        ssize_t k = ::write(stopFd, &one, sizeof one);
        (void)k;
    }

    void poke() {
        uint64_t one = 1;
        ssize_t k = ::write(wakeFd, &one, sizeof one);
        (void)k;
    }

    void stopThread() {
        if (thread.joinable()) {
            wake();
            thread.join();
            uint64_t n;
            ssize_t k = ::read(stopFd, &n, sizeof n);  // ready for the next start
            (void)k;
        }
    }

    void startThread() {
        if (!thread.joinable()) thread = std::thread([this] { serve(); });
    }

    // Opens a fresh pty pair; false (errno set) when none can be had.
    bool openPty() {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0) return false;
        char name[128];
        if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0) {
            int e = errno;
            closeFd(master);
            errno = e;
            return false;
        }
        slavePath = name;
        slaveHold = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (slaveHold < 0) {
            int e = errno;
            closeFd(master);
            errno = e;
            return false;
        }
        // Raw on both sides so that no byte is translated or swallowed by the line discipline.
        makeRaw(slaveHold);
        makeRaw(master);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
        return true;
    }

    bool linkAlias() {
        if (alias.empty()) return true;
        ::unlink(alias.c_str());
        return ::symlink(slavePath.c_str(), alias.c_str()) == 0;
    }

    int pageWidth() const { return rows.empty() ? width : std::max(width, paperWidth); }

    std::vector<uint8_t> bmp() const {
        std::vector<uint8_t> v;
        const int width = pageWidth();
        if (width <= 0 || rows.empty()) return v;
        const size_t stride = size_t((width + 31) / 32) * 4;
        const size_t image = stride * rows.size();
        v.assign(130 + image, 0);
        v[0] = 'B';
        v[1] = 'M';
        putLE32(v, 2, uint32_t(130 + image));
        putLE32(v, 10, 130);
        putLE32(v, 14, 108);
        putLE32(v, 18, uint32_t(width));
        putLE32(v, 22, uint32_t(-int32_t(rows.size())));
        putLE16(v, 26, 1);
        putLE16(v, 28, 1);
        putLE32(v, 34, uint32_t(image));
        putLE32(v, 38, 7086);
        putLE32(v, 42, 7086);
        putLE32(v, 46, 2);
        v[122] = v[123] = v[124] = 0xDF;
        size_t at = 130;
        const size_t used = size_t(width + 7) / 8;
        for (const auto& row : rows) {
            std::copy_n(row.begin(), std::min(row.size(), used), v.begin() + long(at));
            at += stride;
        }
        return v;
    }
};

PrinterEmulator::PrinterEmulator() : impl_(std::make_unique<Impl>()) {
    Impl& d = *impl_;
    if (!d.openPty()) throw std::system_error(errno, std::generic_category(), "pty setup");
    d.stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    d.wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (d.stopFd < 0 || d.wakeFd < 0) {
        int e = errno;
        closeFd(d.stopFd);
        closeFd(d.wakeFd);
        closeFd(d.slaveHold);
        closeFd(d.master);
        throw std::system_error(e, std::generic_category(), "eventfd");
    }
    d.startThread();
}

PrinterEmulator::~PrinterEmulator() {
    impl_->stopThread();
    if (!impl_->alias.empty()) ::unlink(impl_->alias.c_str());
    closeFd(impl_->conn);
    closeFd(impl_->listenFd);
    closeFd(impl_->slaveHold);
    closeFd(impl_->master);
    closeFd(impl_->stopFd);
    closeFd(impl_->wakeFd);
}

const std::string& PrinterEmulator::slavePath() const { return impl_->slavePath; }

void PrinterEmulator::setIdentification(char n, std::optional<std::string> text) {
    int i = identIndex(n);
    if (i < 0) return;
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->ident[size_t(i)] = std::move(text);
}

void PrinterEmulator::setStatus(int n, std::optional<uint8_t> value) {
    if (n < 1 || n > 4) return;
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->status[size_t(n - 1)] = value;
}

void PrinterEmulator::setSilent(bool silent) {
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->silent = silent;
    if (silent) {
        impl_->out.clear();
        impl_->outBytes = 0;
    }
}

void PrinterEmulator::disappear() {
    Impl& d = *impl_;
    if (d.master < 0) return;
    d.stopThread();
    // Whatever the host's writes took before the plug was pulled still counts as received. Hanging
    // up the tty first makes the host's further writes fail, so what is pending is all there is
    // (needs CAP_SYS_ADMIN; without it, only what already reached this side is read).
    const bool hungUp = ::ioctl(d.slaveHold, TIOCVHANGUP) == 0;
    int pending = 0;
    if (::ioctl(d.master, FIONREAD, &pending) != 0) pending = 0;
    std::vector<uint8_t> buf(4096);
    for (;;) {
        if (!hungUp && pending <= 0) break;
        ssize_t k = ::read(d.master, buf.data(), hungUp ? buf.size() : std::min(buf.size(), size_t(pending)));
        if (k > 0) {
            std::lock_guard<std::mutex> lk(d.m);
            d.consume(buf.data(), size_t(k));
            pending -= int(k);
            continue;
        }
        if (k < 0 && errno == EINTR) continue;
        // After the hang-up the host adds nothing: wait for what the tty still moves across.
        pollfd p{d.master, POLLIN, 0};
        if (hungUp && k < 0 && errno == EAGAIN && ::poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) continue;
        break;
    }
    {
        std::lock_guard<std::mutex> lk(d.m);
        d.gone = true;
        d.out.clear();
        d.outBytes = 0;
    }
    d.cv.notify_all();
    d.deliverEvents();
    if (!d.alias.empty()) ::unlink(d.alias.c_str());
    closeFd(d.slaveHold);
    closeFd(d.master);
    // The network side, when served, stays: only the device went away.
    d.startThread();
}

bool PrinterEmulator::appear(const std::string& aliasPath) {
    Impl& d = *impl_;
    d.stopThread();
    closeFd(d.slaveHold);
    closeFd(d.master);
    bool ok = d.openPty();
    {
        std::lock_guard<std::mutex> lk(d.m);
        d.gone = !ok;
        d.resetParser();
        d.replyFd = -1;
    }
    if (ok) {
        if (!aliasPath.empty()) d.alias = aliasPath;
        ok = d.linkAlias();
    }
    d.startThread();
    return ok;
}

bool PrinterEmulator::setAlias(const std::string& path) {
    if (!impl_->alias.empty() && impl_->alias != path) ::unlink(impl_->alias.c_str());
    impl_->alias = path;
    return impl_->linkAlias();
}

const std::string& PrinterEmulator::alias() const { return impl_->alias; }

void PrinterEmulator::setStalled(bool stalled) {
    {
        std::lock_guard<std::mutex> lk(impl_->m);
        impl_->stalled = stalled;
    }
    impl_->poke();
}

void PrinterEmulator::setRate(int bytesPerSecond) {
    {
        std::lock_guard<std::mutex> lk(impl_->m);
        impl_->rate = std::max(0, bytesPerSecond);
        impl_->tokens = 0;
        impl_->refill = Clock::now();
    }
    impl_->poke();
}

int PrinterEmulator::listenTcp(int port) {
    Impl& d = *impl_;
    if (d.listenFd >= 0) return d.tcpPort;
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    socklen_t len = sizeof a;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    d.stopThread();
    d.listenFd = fd;
    d.tcpPort = ntohs(a.sin_port);
    d.startThread();
    return d.tcpPort;
}

void PrinterEmulator::dropConnection() {
    {
        std::lock_guard<std::mutex> lk(impl_->m);
        impl_->dropRequested = true;
    }
    impl_->poke();
}

int PrinterEmulator::tcpConnections() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return impl_->connections;
}

void PrinterEmulator::setReplyDelay(int ms) {
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->replyDelayMs = std::max(0, ms);
}

void PrinterEmulator::setRealtimeInData(bool on) {
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->realtimeInData = on;
}

std::vector<uint8_t> PrinterEmulator::received() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return impl_->rx;
}

void PrinterEmulator::clearReceived() {
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->rx.clear();
}

uint64_t PrinterEmulator::receivedTotal() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return impl_->rxTotal;
}

bool PrinterEmulator::waitForReceived(size_t count, int timeoutMs) const {
    std::unique_lock<std::mutex> lk(impl_->m);
    return impl_->cv.wait_for(lk, std::chrono::milliseconds(std::max(0, timeoutMs)),
                              [&] { return impl_->rx.size() >= count; });
}

bool PrinterEmulator::waitQuiet(int quietMs, int timeoutMs) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, timeoutMs));
    const auto quiet = std::chrono::milliseconds(std::max(0, quietMs));
    std::unique_lock<std::mutex> lk(impl_->m);
    for (;;) {
        auto now = Clock::now();
        auto quietAt = impl_->lastByte + quiet;
        if (now >= quietAt) return true;
        if (now >= deadline) return false;
        impl_->cv.wait_until(lk, std::min(quietAt, deadline));
    }
}

int64_t PrinterEmulator::millisSinceLastByte() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - impl_->lastByte).count();
}

int PrinterEmulator::pageWidth() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return impl_->pageWidth();
}

void PrinterEmulator::setPaperWidth(int dots) {
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->paperWidth = std::clamp(dots, 0, kMaxRowDots);
}

int PrinterEmulator::pageHeight() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return int(impl_->rows.size());
}

bool PrinterEmulator::pixel(int x, int y) const {
    std::lock_guard<std::mutex> lk(impl_->m);
    if (x < 0 || y < 0 || size_t(y) >= impl_->rows.size()) return false;
    const auto& row = impl_->rows[size_t(y)];
    size_t byte = size_t(x) / 8;
    if (byte >= row.size()) return false;
    return (row[byte] >> (7 - x % 8)) & 1;
}

std::vector<uint8_t> PrinterEmulator::pageBMP() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return impl_->bmp();
}

bool PrinterEmulator::writePageBMP(const std::string& path) const {
    std::vector<uint8_t> v = pageBMP();
    if (v.empty()) return false;
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(reinterpret_cast<const char*>(v.data()), std::streamsize(v.size()));
    f.close();
    return bool(f);
}

bool PrinterEmulator::writePagePNG(const std::string& path) const {
    char tmp[] = "/tmp/rx457emu-XXXXXX.bmp";
    int fd = ::mkstemps(tmp, 4);
    if (fd < 0) return false;
    ::close(fd);
    bool ok = writePageBMP(tmp);
    if (ok) {
        std::string in = std::string("bmp:") + tmp;
        std::string outArg = "png:" + path;
        char* argv[] = {const_cast<char*>("convert"), in.data(), outArg.data(), nullptr};
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        ok = ::posix_spawnp(&pid, "convert", &fa, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&fa);
        if (ok) {
            int st = 0;
            while (::waitpid(pid, &st, 0) < 0 && errno == EINTR) {}
            ok = WIFEXITED(st) && WEXITSTATUS(st) == 0;
        }
    }
    ::unlink(tmp);
    return ok;
}

void PrinterEmulator::clearPage() {
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->rows.clear();
    impl_->width = 0;
    impl_->pageBytes = 0;
}

int PrinterEmulator::fullCuts() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return impl_->cutsFull;
}

int PrinterEmulator::partialCuts() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return impl_->cutsPartial;
}

int PrinterEmulator::drawerPulses() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return impl_->drawer;
}

std::vector<std::string> PrinterEmulator::events() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return {impl_->eventLog.begin(), impl_->eventLog.end()};
}

void PrinterEmulator::clearEvents() {
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->eventLog.clear();
    impl_->cutsFull = impl_->cutsPartial = impl_->drawer = 0;
}

std::string PrinterEmulator::text() const {
    std::lock_guard<std::mutex> lk(impl_->m);
    return impl_->textLog;
}

void PrinterEmulator::setEventCallback(std::function<void(const std::string&)> callback) {
    std::lock_guard<std::mutex> lk(impl_->m);
    impl_->callback = std::move(callback);
    impl_->newEvents.clear();
}

}  // namespace rx457emu
