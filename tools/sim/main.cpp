// kestiva-sim: the line side of the simulated controller. Owns the pseudo-terminal (or the
// serial device), paces the bytes at the bit rate and hands frames to the Slave.

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/NetworkServe.h"
#include "tools/sim/Options.h"
#include "tools/sim/Slave.h"

namespace {

using kestiva::sim::Clock;
using kestiva::sim::SimOptions;
using kestiva::sim::Slave;

volatile sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

speed_t speedConstant(uint32_t bitRate) {
    switch (bitRate) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return B38400;
    }
}

void makeRaw(termios& t, speed_t speed) {
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
}

// The simulator's end of the line.
struct Line {
    int fd = -1;      // what we read requests from and write replies to
    int holdFd = -1;  // our own descriptor on the pty slave, never read
    bool pty = false;
    std::string devicePath;

    // A new pseudo-terminal pair. The slave is made raw from the master before anyone opens
    // it (a cooked slave turns CR into LF and swallows 0x11), and we keep it open ourselves:
    // otherwise reading the master fails with EIO whenever the program has the port closed.
    bool openPty(uint32_t bitRate, std::string& error) {
        fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0 || grantpt(fd) != 0 || unlockpt(fd) != 0) {
            error = "cannot create a pseudo-terminal";
            return false;
        }
        char name[128];
        if (ptsname_r(fd, name, sizeof name) != 0) {
            error = "cannot name the pseudo-terminal";
            return false;
        }
        devicePath = name;
        termios t{};
        if (tcgetattr(fd, &t) != 0) {
            error = "cannot read the pseudo-terminal's settings";
            return false;
        }
        makeRaw(t, speedConstant(bitRate));
        if (tcsetattr(fd, TCSANOW, &t) != 0) {
            error = "cannot make the pseudo-terminal raw";
            return false;
        }
        holdFd = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (holdFd < 0) {
            error = "cannot open " + devicePath;
            return false;
        }
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        pty = true;
        return true;
    }

    bool openDevice(const std::string& path, uint32_t bitRate, std::string& error) {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios t{};
        if (fd < 0 || tcgetattr(fd, &t) != 0) {
            error = "cannot open serial device " + path;
            return false;
        }
        makeRaw(t, speedConstant(bitRate));
        if (tcsetattr(fd, TCSANOW, &t) != 0) {
            error = "cannot set up " + path;
            return false;
        }
        tcflush(fd, TCIOFLUSH);
        devicePath = path;
        return true;
    }

    // On a pseudo-terminal the master sees the speed the program set on its side.
    bool speedMatches(uint32_t bitRate) const {
        if (!pty)
            return true;
        termios t{};
        if (tcgetattr(fd, &t) != 0)
            return false;
        return cfgetospeed(&t) == speedConstant(bitRate);
    }

    void close() {
        if (fd >= 0)
            ::close(fd);
        if (holdFd >= 0)
            ::close(holdFd);
        fd = holdFd = -1;
    }
};

class Tracer {
public:
    Tracer(bool enabled, Clock::time_point start) : enabled_(enabled), start_(start) {}

    // Stamps what with the time it happened, by default now.
    void line(const std::string& what, Clock::time_point when = Clock::now()) const {
        if (!enabled_)
            return;
        double t = std::chrono::duration<double>(when - start_).count();
        std::fprintf(stderr, "[%11.6f] %s\n", t, what.c_str());
    }
    bool enabled() const { return enabled_; }

private:
    bool enabled_;
    Clock::time_point start_;
};

struct PendingRequest {
    std::vector<uint8_t> frame;
    Clock::time_point replyAt;
};

struct OutgoingReply {
    std::vector<uint8_t> bytes;
    Clock::time_point start;
    std::size_t sent = 0;
    bool hangUp = false;
};

timespec until(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    if (left.count() < 0)
        left = std::chrono::nanoseconds(0);
    if (left > std::chrono::seconds(1))
        left = std::chrono::seconds(1);
    return {static_cast<time_t>(left.count() / 1'000'000'000),
            static_cast<long>(left.count() % 1'000'000'000)};
}

// Serves requests until a signal, a hang-up fault or a lost line. Returns the exit status.
int serve(Line& line, Slave& slave, const SimOptions& options, const Tracer& trace,
          Clock::time_point start, const sigset_t& waitMask) {
    using namespace std::chrono;
    const auto byteTime = nanoseconds(10'000'000'000LL / options.bitRate);
    const auto turnaround =
        duration_cast<nanoseconds>(duration<double, std::milli>(options.turnaroundMs));
    kestiva::sim::FrameAssembler assembler(kestiva::sim::interFrameGap(options.bitRate));
    std::deque<PendingRequest> requests;
    std::optional<OutgoingReply> out;
    std::vector<uint8_t> buffer(4096);
    bool writeBlocked = false;

    while (!stopRequested) {
        Clock::time_point now = Clock::now();

        // Frames that are complete become requests, answered after their own transmission
        // time and the turnaround.
        for (;;) {
            Clock::time_point firstByte = assembler.firstByteTime();
            std::vector<uint8_t> frame = assembler.next(now);
            if (frame.empty())
                break;
            // A request is stamped with the arrival of its first byte, not with the end of the
            // silence that closes it, which the wake-up from a time-out would blur.
            trace.line("rx " + kestiva::sim::hexBytes(frame), firstByte);
            if (!line.speedMatches(options.bitRate)) {
                slave.noteWrongSpeed();
                trace.line("   line is not at " + std::to_string(options.bitRate) +
                           " bit/s: not heard");
                continue;
            }
            auto onWire = firstByte + byteTime * static_cast<int64_t>(frame.size());
            requests.push_back({std::move(frame), std::max(now, onWire) + turnaround});
        }

        // One reply at a time, as on a half-duplex line.
        while (!out && !requests.empty() && now >= requests.front().replyAt) {
            PendingRequest request = std::move(requests.front());
            requests.pop_front();
            double seconds = duration<double>(now - start).count();
            kestiva::sim::SlaveAction action = slave.handle(request.frame, seconds);
            if (trace.enabled() && !action.note.empty()) {
                std::string prefix =
                    action.heard ? "   request " + std::to_string(action.requestNumber) + ": "
                                 : "   ";
                trace.line(prefix + action.note);
            }
            // A delayed reply holds back the ones behind it, as on a half-duplex line.
            if (!action.reply.empty() || action.hangUp)
                out = OutgoingReply{std::move(action.reply),
                                    now + milliseconds(action.delayMs), 0, action.hangUp};
        }

        // Each byte leaves when its ten bit times are over.
        writeBlocked = false;
        if (out) {
            std::size_t due = 0;
            if (now >= out->start)
                due = std::min(static_cast<std::size_t>((now - out->start) / byteTime),
                               out->bytes.size());
            while (out->sent < due) {
                ssize_t n = ::write(line.fd, out->bytes.data() + out->sent, due - out->sent);
                if (n > 0) {
                    out->sent += static_cast<std::size_t>(n);
                } else if (n < 0 && errno == EINTR) {
                    continue;
                } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                    writeBlocked = true;  // the other side's queue is full; wait for room
                    break;
                } else {
                    std::fprintf(stderr, "kestiva-sim: the line was lost\n");
                    return 1;
                }
            }
            if (out->sent == out->bytes.size()) {
                if (!out->bytes.empty())
                    trace.line("tx " + kestiva::sim::hexBytes(out->bytes));
                if (out->hangUp) {
                    trace.line("   closing the line");
                    return 0;
                }
                out.reset();
            }
        }

        Clock::time_point wake = assembler.deadline();
        if (out && !writeBlocked)
            wake = std::min(wake, out->start + byteTime * static_cast<int64_t>(out->sent + 1));
        else if (!out && !requests.empty())
            wake = std::min(wake, requests.front().replyAt);
        pollfd p{line.fd, static_cast<short>(writeBlocked ? POLLIN | POLLOUT : POLLIN), 0};
        timespec ts = until(wake);
        int ready = ppoll(&p, 1, &ts, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("kestiva-sim: poll");
            return 1;
        }
        if (ready > 0 && (p.revents & POLLIN)) {
            ssize_t n = ::read(line.fd, buffer.data(), buffer.size());
            if (n > 0) {
                assembler.push(std::span<const uint8_t>(buffer.data(), static_cast<std::size_t>(n)),
                               Clock::now());
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                std::fprintf(stderr, "kestiva-sim: the line was lost\n");
                return 1;
            }
        } else if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            std::fprintf(stderr, "kestiva-sim: the line was lost\n");
            return 1;
        }
    }
    return 0;
}

// Makes path a symbolic link to target, replacing an old link (never a real file).
bool makeLink(const std::string& path, const std::string& target) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "kestiva-sim: %s exists and is not a link\n", path.c_str());
            return false;
        }
        ::unlink(path.c_str());
    }
    if (symlink(target.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "kestiva-sim: cannot create the link %s\n", path.c_str());
        return false;
    }
    return true;
}

// Removes the link only while it still points at our device: a newer simulator may own it.
void removeLink(const std::string& path, const std::string& target) {
    char buffer[4096];
    ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
    if (n < 0)
        return;
    buffer[n] = '\0';
    if (target == buffer)
        ::unlink(path.c_str());
}

// Writes the port's network target file beside where its link would be.
bool writeTargetFile(const std::string& path, const std::string& target) {
    const std::string temporary = path + ".sim-" + std::to_string(getpid());
    FILE* file = std::fopen(temporary.c_str(), "w");
    const bool written = file != nullptr && std::fprintf(file, "%s\n", target.c_str()) > 0;
    if (file != nullptr && std::fclose(file) == 0 && written &&
        std::rename(temporary.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    std::fprintf(stderr, "kestiva-sim: cannot write %s\n", path.c_str());
    return false;
}

// Removes the target file only while it still names our address.
void removeTargetFile(const std::string& path, const std::string& target) {
    char buffer[1024] = {};
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return;
    const bool ours = std::fgets(buffer, sizeof buffer, file) != nullptr &&
                      std::string(buffer) == target + "\n";
    std::fclose(file);
    if (ours)
        ::unlink(path.c_str());
}

// Serves on the loopback address until a signal. Returns the exit status.
int runOnNetwork(const SimOptions& options, const sigset_t& waitMask) {
    std::string target;
    std::string error;
    const int listener = kestiva::sim::listenOnLoopback(options, target, error);
    if (listener < 0) {
        std::fprintf(stderr, "kestiva-sim: %s\n", error.c_str());
        return 1;
    }
    const std::string targetFile = options.link.empty() ? "" : options.link + "-target";
    if (!targetFile.empty() && !writeTargetFile(targetFile, target)) {
        ::close(listener);
        return 1;
    }
    std::printf("%s\n", target.c_str());
    std::fflush(stdout);
    const Clock::time_point start = Clock::now();
    Tracer trace(options.trace, start);
    trace.line("serving " + target);
    Slave slave(options.slave);
    const int status = kestiva::sim::serveNetwork(
        listener, slave, options, [&](const std::string& line) { trace.line(line); }, start,
        waitMask, stopRequested);
    ::close(listener);
    if (!targetFile.empty())
        removeTargetFile(targetFile, target);
    std::fprintf(stderr, "kestiva-sim: %s\n", slave.summary().c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<SimOptions> options = kestiva::sim::parseOptions(args, error);
    if (!options) {
        std::fprintf(stderr, "kestiva-sim: %s\nTry kestiva-sim --help.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(kestiva::sim::usageText().c_str(), stdout);
        return 0;
    }

    // Signals are held back except while waiting for the line, so a stop request can never
    // slip in between the test and the wait.
    sigset_t blocked, waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGHUP);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGHUP);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    if (options->network != kestiva::sim::NetworkMode::None)
        return runOnNetwork(*options, waitMask);

    Line line;
    bool opened = options->device.empty()
                      ? line.openPty(options->bitRate, error)
                      : line.openDevice(options->device, options->bitRate, error);
    if (!opened) {
        std::fprintf(stderr, "kestiva-sim: %s\n", error.c_str());
        line.close();
        return 1;
    }
    if (!options->link.empty() && !makeLink(options->link, line.devicePath)) {
        line.close();
        return 1;
    }
    // The first line of output is the device: tests and scripts wait for it.
    std::printf("%s\n", line.devicePath.c_str());
    std::fflush(stdout);

    const Clock::time_point start = Clock::now();
    Tracer trace(options->trace, start);
    // Lets a test place the trace's times against its own clock.
    char origin[96];
    std::snprintf(origin, sizeof origin, "time 0 is %.6f s on the monotonic clock",
                  std::chrono::duration<double>(start.time_since_epoch()).count());
    trace.line(origin);
    Slave slave(options->slave);
    int status = serve(line, slave, *options, trace, start, waitMask);

    line.close();
    if (!options->link.empty())
        removeLink(options->link, line.devicePath);
    std::fprintf(stderr, "kestiva-sim: %s\n", slave.summary().c_str());
    return status;
}
