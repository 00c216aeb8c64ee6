#include "tools/sim/NetworkServe.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <vector>

#include "tools/sim/NetworkFrames.h"

namespace kestiva::sim {

namespace {

struct Request {
    std::vector<uint8_t> rtu;
    uint16_t transactionId = 0;
    Clock::time_point replyAt;
};

timespec until(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    left = std::clamp<std::chrono::nanoseconds>(left, std::chrono::nanoseconds(0),
                                                std::chrono::seconds(1));
    return {time_t(left.count() / 1'000'000'000), long(left.count() % 1'000'000'000)};
}

bool sendAll(int fd, const std::vector<uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

// One connection, from its first request until the master closes it, a hang-up fault drops
// it or a signal comes. False when the simulator should stop.
class Connection {
public:
    Connection(int fd, Slave& slave, const SimOptions& options, const TraceLine& trace,
               Clock::time_point start)
        : fd_(fd), slave_(slave), options_(options), trace_(trace), start_(start),
          assembler_(interFrameGap(options.bitRate)) {}

    // Serves until the connection ends; false when a signal asks the simulator to stop.
    bool serve(const sigset_t& waitMask, const volatile sig_atomic_t& stopRequested) {
        std::vector<uint8_t> buffer(4096);
        while (!stopRequested) {
            cutRequests(Clock::now());
            if (!answerDue())
                return true;
            const Clock::time_point wake = std::min(assembler_.deadline(), nextDue());
            pollfd p{fd_, POLLIN, 0};
            timespec ts = until(wake);
            const int ready = ppoll(&p, 1, &ts, &waitMask);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                return false;
            if (ready > 0) {
                const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
                if (n <= 0 && !(n < 0 && (errno == EINTR || errno == EAGAIN))) {
                    trace_("   the master closed the connection");
                    return true;
                }
                if (n > 0)
                    received(std::span(buffer.data(), std::size_t(n)));
            }
        }
        return false;
    }

private:
    bool mbap() const { return options_.network == NetworkMode::ModbusTcp; }

    void received(std::span<const uint8_t> bytes) {
        const auto now = Clock::now();
        if (!mbap()) {
            assembler_.push(bytes, now);
            return;
        }
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        bool broken = false;
        while (auto request = takeMbapRequest(pending_, broken)) {
            trace_("rx " + hexBytes(request->rtu) + " (transaction " +
                   std::to_string(request->transactionId) + ")");
            queue(std::move(request->rtu), request->transactionId, now);
        }
        if (broken)
            trace_("   not an MBAP frame: the bytes are dropped");
    }

    void cutRequests(Clock::time_point now) {
        for (;;) {
            std::vector<uint8_t> frame = assembler_.next(now);
            if (frame.empty())
                return;
            trace_("rx " + hexBytes(frame));
            queue(std::move(frame), 0, now);
        }
    }

    void queue(std::vector<uint8_t> rtu, uint16_t transactionId, Clock::time_point now) {
        const auto turnaround = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::milli>(options_.turnaroundMs));
        requests_.push_back({std::move(rtu), transactionId, now + turnaround});
    }

    // Answers the requests whose time has come, one after the other. False when the
    // connection is to be dropped.
    bool answerDue() {
        for (;;) {
            if (held_) {
                // A delayed reply holds back the ones behind it, as on a half-duplex line.
                if (Clock::now() < held_->sendAt)
                    return true;
                const Held reply = std::move(*held_);
                held_.reset();
                if (!send(reply.action, reply.transactionId))
                    return false;
                continue;
            }
            if (requests_.empty() || Clock::now() < requests_.front().replyAt)
                return true;
            Request request = std::move(requests_.front());
            requests_.pop_front();
            const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
            SlaveAction action = slave_.handle(request.rtu, seconds);
            if (!action.note.empty())
                trace_("   " + action.note);
            const auto sendAt = Clock::now() + std::chrono::milliseconds(action.delayMs);
            held_ = Held{std::move(action), request.transactionId, sendAt};
        }
    }

    // When something is due next.
    Clock::time_point nextDue() const {
        if (held_)
            return held_->sendAt;
        return requests_.empty() ? Clock::time_point::max() : requests_.front().replyAt;
    }

    bool send(const SlaveAction& action, uint16_t transactionId) {
        const std::vector<uint8_t> wire =
            mbap() ? mbapReply(transactionId, action.reply) : action.reply;
        if (!wire.empty()) {
            trace_("tx " + hexBytes(wire));
            if (!sendAll(fd_, wire))
                return false;
        }
        if (action.hangUp) {
            trace_("   dropping the connection");
            return false;
        }
        return true;
    }

    int fd_;
    Slave& slave_;
    const SimOptions& options_;
    const TraceLine& trace_;
    Clock::time_point start_;
    FrameAssembler assembler_;
    std::vector<uint8_t> pending_;
    std::deque<Request> requests_;
    struct Held {
        SlaveAction action;
        uint16_t transactionId = 0;
        Clock::time_point sendAt;
    };
    std::optional<Held> held_;  // a reply handled, waiting for its time
};

}  // namespace

int listenOnLoopback(const SimOptions& options, std::string& target, std::string& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = "cannot make a socket";
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(options.networkPort);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(options.networkPort) + ": " +
                std::strerror(errno);
        ::close(fd);
        return -1;
    }
    target = std::string(options.network == NetworkMode::ModbusTcp ? "tcp://" : "rtu-tcp://") +
             "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    return fd;
}

int serveNetwork(int listener, Slave& slave, const SimOptions& options, const TraceLine& trace,
                 Clock::time_point start, const sigset_t& waitMask,
                 const volatile sig_atomic_t& stopRequested) {
    while (!stopRequested) {
        pollfd p{listener, POLLIN, 0};
        const int ready = ppoll(&p, 1, nullptr, &waitMask);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0) {
            std::perror("kestiva-sim: poll");
            return 1;
        }
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        trace("   a master connected");
        Connection connection(fd, slave, options, trace, start);
        const bool goOn = connection.serve(waitMask, stopRequested);
        ::close(fd);
        if (!goOn && stopRequested)
            break;
    }
    return 0;
}

}  // namespace kestiva::sim
