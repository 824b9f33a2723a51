// rx457-emulator: serves an emulated receipt printer on a pseudo-terminal until told to stop.
//
// The first line on stdout is the pty path to give the library as its port. See usage().

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "PrinterEmulator.h"

namespace {

void usage(std::FILE* f) {
    std::fputs(
        "usage: rx457-emulator [options]\n"
        "  --out FILE.bmp       write the printed page here at exit and on SIGUSR1\n"
        "                       (also FILE.png when ImageMagick's convert is installed)\n"
        "  --model NAME         model name answered to GS I 'C' (default RX-457)\n"
        "  --id N=TEXT          answer GS I N (1 2 3 A B C) with TEXT; N=none: never answer\n"
        "  --status N=VALUE     DLE EOT N (1..4) reply byte, e.g. 2=0x16; N=none: silent\n"
        "  --silent             answer nothing (printer off)\n"
        "  --reply-delay MS     latency before every reply\n"
        "  --quiet-exit MS      exit after MS of silence once something was printed\n"
        "  --link PATH          also name the pty by a symbolic link at PATH (printed first)\n"
        "  --tcp PORT           also serve on 127.0.0.1:PORT (0 = any free port), one\n"
        "                       connection at a time; printed as \"tcp 127.0.0.1:PORT\"\n"
        "  --rate BYTES         read at most BYTES per second (11520 = 115200 bit/s)\n"
        "  --stdin-control      exit when stdin closes; read commands from it, one a line:\n"
        "                       status N VALUE|none, id N TEXT|none, silent on|off,\n"
        "                       delay MS, save [FILE.bmp], clear, quit,\n"
        "                       vanish (or disappear): unplug, the path goes away,\n"
        "                       appear [PATH]: plug in again (at PATH as the new link),\n"
        "                       answered by \"ok PTY\", stall on|off: stop reading,\n"
        "                       rate BYTES_PER_SECOND (0 = no limit), drop: close the\n"
        "                       TCP connection\n"
        "                       (each answered by \"ok\" or \"error ...\" on stdout)\n"
        "  --log                print every event (raster, feed, cut, drawer...) to stderr\n"
        "Exits on SIGINT or SIGTERM.\n",
        f);
}

std::optional<int> parseInt(const std::string& s) {
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < -2147483647L || v > 2147483647L) return std::nullopt;
    return int(v);
}

bool validIdent(const std::string& n) { return n.size() == 1 && std::strchr("123ABC", n[0]) != nullptr; }

bool setStatus(rx457emu::PrinterEmulator& emu, const std::string& n, const std::string& value) {
    auto idx = parseInt(n);
    if (!idx || *idx < 1 || *idx > 4) return false;
    if (value == "none") {
        emu.setStatus(*idx, std::nullopt);
        return true;
    }
    auto v = parseInt(value);
    if (!v || *v < 0 || *v > 255) return false;
    emu.setStatus(*idx, uint8_t(*v));
    return true;
}

bool setIdent(rx457emu::PrinterEmulator& emu, const std::string& n, const std::string& text) {
    if (!validIdent(n)) return false;
    if (text == "none")
        emu.setIdentification(n[0], std::nullopt);
    else
        emu.setIdentification(n[0], text);
    return true;
}

std::string pngPathFor(const std::string& bmp) {
    if (bmp.size() > 4 && bmp.compare(bmp.size() - 4, 4, ".bmp") == 0) return bmp.substr(0, bmp.size() - 4) + ".png";
    return bmp + ".png";
}

bool savePage(const rx457emu::PrinterEmulator& emu, const std::string& path) {
    if (emu.pageHeight() == 0 || emu.pageWidth() == 0) {
        std::fprintf(stderr, "rx457-emulator: nothing printed, %s not written\n", path.c_str());
        return false;
    }
    if (!emu.writePageBMP(path)) {
        std::fprintf(stderr, "rx457-emulator: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    std::fprintf(stderr, "rx457-emulator: page %dx%d written to %s\n", emu.pageWidth(), emu.pageHeight(), path.c_str());
    std::string png = pngPathFor(path);
    if (emu.writePagePNG(png)) std::fprintf(stderr, "rx457-emulator: also %s\n", png.c_str());
    return true;
}

struct Options {
    std::string out;
    std::string link;
    int tcp = -1;
    int rate = 0;
    int quietExit = 0;
    bool stdinControl = false;
    bool log = false;
};

// One command of --stdin-control; false = quit.
bool command(rx457emu::PrinterEmulator& emu, const Options& opt, const std::string& line) {
    std::istringstream in(line);
    std::string verb, a, b;
    in >> verb >> a;
    std::getline(in >> std::ws, b);
    bool ok = true;
    if (verb.empty()) return true;
    if (verb == "quit") {
        std::puts("ok");
        std::fflush(stdout);
        return false;
    } else if (verb == "status") {
        ok = setStatus(emu, a, b);
    } else if (verb == "id") {
        ok = setIdent(emu, a, b);
    } else if (verb == "silent") {
        ok = a == "on" || a == "off";
        if (ok) emu.setSilent(a == "on");
    } else if (verb == "delay") {
        auto ms = parseInt(a);
        ok = ms && *ms >= 0;
        if (ok) emu.setReplyDelay(*ms);
    } else if (verb == "save") {
        std::string path = a.empty() ? opt.out : a;
        ok = !path.empty() && savePage(emu, path);
    } else if (verb == "clear") {
        emu.clearPage();
        emu.clearEvents();
        emu.clearReceived();
    } else if (verb == "disappear" || verb == "vanish") {
        emu.disappear();
    } else if (verb == "appear") {
        if (!emu.appear(a)) {
            std::printf("error cannot appear: %s\n", std::strerror(errno));
            std::fflush(stdout);
            return true;
        }
        std::printf("ok %s\n", emu.slavePath().c_str());
        std::fflush(stdout);
        return true;
    } else if (verb == "stall") {
        ok = a == "on" || a == "off";
        if (ok) emu.setStalled(a == "on");
    } else if (verb == "rate") {
        auto bps = parseInt(a);
        ok = bps && *bps >= 0;
        if (ok) emu.setRate(*bps);
    } else if (verb == "drop") {
        emu.dropConnection();
    } else {
        std::printf("error unknown command %s\n", verb.c_str());
        std::fflush(stdout);
        return true;
    }
    std::puts(ok ? "ok" : "error bad arguments");
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    std::optional<std::string> model;
    bool silent = false;
    int delay = 0;
    struct Pending {
        std::string n, v;
    };
    std::vector<Pending> ids, statuses;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& dst) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "rx457-emulator: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            dst = argv[++i];
        };
        auto pair = [&](std::vector<Pending>& dst) {
            std::string v;
            value(v);
            auto eq = v.find('=');
            if (eq == std::string::npos) {
                std::fprintf(stderr, "rx457-emulator: %s expects N=VALUE\n", arg.c_str());
                std::exit(2);
            }
            dst.push_back({v.substr(0, eq), v.substr(eq + 1)});
        };
        std::string v;
        if (arg == "--out")
            value(opt.out);
        else if (arg == "--link")
            value(opt.link);
        else if (arg == "--tcp" || arg == "--rate") {
            value(v);
            auto n = parseInt(v);
            if (!n || *n < 0 || (arg == "--tcp" && *n > 65535)) {
                std::fprintf(stderr, "rx457-emulator: bad value for %s: %s\n", arg.c_str(), v.c_str());
                return 2;
            }
            (arg == "--tcp" ? opt.tcp : opt.rate) = *n;
        } else if (arg == "--model") {
            value(v);
            model = v;
        } else if (arg == "--id")
            pair(ids);
        else if (arg == "--status")
            pair(statuses);
        else if (arg == "--silent")
            silent = true;
        else if (arg == "--stdin-control")
            opt.stdinControl = true;
        else if (arg == "--log")
            opt.log = true;
        else if (arg == "--reply-delay" || arg == "--quiet-exit") {
            value(v);
            auto ms = parseInt(v);
            if (!ms || *ms < 0) {
                std::fprintf(stderr, "rx457-emulator: bad value for %s: %s\n", arg.c_str(), v.c_str());
                return 2;
            }
            (arg == "--reply-delay" ? delay : opt.quietExit) = *ms;
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "rx457-emulator: unknown option %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }

    // Signals are taken through a signalfd; block them before the serving thread exists so that
    // it inherits the mask and never receives them itself.
    sigset_t sigs;
    sigemptyset(&sigs);
    sigaddset(&sigs, SIGINT);
    sigaddset(&sigs, SIGTERM);
    sigaddset(&sigs, SIGUSR1);
    sigaddset(&sigs, SIGHUP);
    sigprocmask(SIG_BLOCK, &sigs, nullptr);
    signal(SIGPIPE, SIG_IGN);
    int sigFd = signalfd(-1, &sigs, SFD_CLOEXEC);
    int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (sigFd < 0 || wakeFd < 0) {
        std::perror("rx457-emulator");
        return 1;
    }

    std::optional<rx457emu::PrinterEmulator> holder;
    try {
        holder.emplace();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "rx457-emulator: %s\n", e.what());
        return 1;
    }
    rx457emu::PrinterEmulator& emu = *holder;
    if (model) emu.setIdentification('C', *model);
    for (const auto& p : ids)
        if (!setIdent(emu, p.n, p.v)) {
            std::fprintf(stderr, "rx457-emulator: bad --id %s=%s\n", p.n.c_str(), p.v.c_str());
            return 2;
        }
    for (const auto& p : statuses)
        if (!setStatus(emu, p.n, p.v)) {
            std::fprintf(stderr, "rx457-emulator: bad --status %s=%s\n", p.n.c_str(), p.v.c_str());
            return 2;
        }
    emu.setSilent(silent);
    emu.setReplyDelay(delay);
    const bool log = opt.log;
    emu.setEventCallback([wakeFd, log](const std::string& e) {
        if (log) std::fprintf(stderr, "event: %s\n", e.c_str());
        uint64_t one = 1;
        ssize_t k = write(wakeFd, &one, sizeof one);
        (void)k;
    });

    emu.setRate(opt.rate);
    if (!opt.link.empty() && !emu.setAlias(opt.link)) {
        std::fprintf(stderr, "rx457-emulator: cannot link %s: %s\n", opt.link.c_str(), std::strerror(errno));
        return 1;
    }
    int tcpPort = -1;
    if (opt.tcp >= 0 && (tcpPort = emu.listenTcp(opt.tcp)) < 0) {
        std::fprintf(stderr, "rx457-emulator: cannot listen on 127.0.0.1:%d: %s\n", opt.tcp, std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", opt.link.empty() ? emu.slavePath().c_str() : opt.link.c_str());
    if (tcpPort >= 0) std::printf("tcp 127.0.0.1:%d\n", tcpPort);
    std::fflush(stdout);

    std::string pendingLine;
    bool stdinOpen = opt.stdinControl;
    bool running = true;
    while (running) {
        int timeout = -1;
        if (opt.quietExit > 0 &&
            (emu.pageHeight() > 0 || emu.fullCuts() + emu.partialCuts() + emu.drawerPulses() > 0)) {
            int64_t since = emu.millisSinceLastByte();
            if (since >= opt.quietExit) break;
            timeout = int(opt.quietExit - since);
        }
        pollfd fds[3] = {{sigFd, POLLIN, 0}, {wakeFd, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        int r = poll(fds, 3, timeout);
        if (r < 0) {
            if (errno == EINTR) continue;
            std::perror("rx457-emulator: poll");
            break;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo si{};
            if (read(sigFd, &si, sizeof si) == ssize_t(sizeof si)) {
                if (si.ssi_signo == SIGUSR1) {
                    if (!opt.out.empty()) savePage(emu, opt.out);
                } else {
                    running = false;
                }
            }
        }
        if (fds[1].revents & POLLIN) {
            uint64_t n;
            ssize_t k = read(wakeFd, &n, sizeof n);
            (void)k;
        }
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[4096];
            ssize_t k = read(0, buf, sizeof buf);
            if (k <= 0) {
                if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
                running = false;  // stdin closed: the controlling script is done
            } else {
                pendingLine.append(buf, size_t(k));
                size_t nl;
                while (running && (nl = pendingLine.find('\n')) != std::string::npos) {
                    std::string line = pendingLine.substr(0, nl);
                    pendingLine.erase(0, nl + 1);
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    running = command(emu, opt, line);
                }
                if (pendingLine.size() > 65536) pendingLine.clear();
            }
        }
    }

    emu.setEventCallback(nullptr);
    if (!opt.out.empty()) savePage(emu, opt.out);
    holder.reset();
    close(wakeFd);
    close(sigFd);
    return 0;
}
