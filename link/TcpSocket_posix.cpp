// TCP connections on BSD sockets (Linux).

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "link/TcpSocket.h"

namespace kestiva {

namespace {

using Clock = TcpSocket::Clock;

std::string lowerFirst(std::string text) {
    if (!text.empty())
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string errnoText(int error) {
    if (error == ETIMEDOUT)
        return "timed out";
    return lowerFirst(std::strerror(error));
}

// Milliseconds left until deadline for poll(), never negative.
int pollMillis(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    // Rounded up: a poll that returns a little early would only spin once more.
    return int(std::min<int64_t>(
        std::chrono::ceil<std::chrono::milliseconds>(left).count(), 60'000));
}

// 0 when fd became ready for events, else the reason's errno (ETIMEDOUT at the deadline).
int waitFor(int fd, short events, Clock::time_point deadline, short& revents) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, pollMillis(deadline));
        if (ready > 0) {
            revents = p.revents;
            return 0;
        }
        if (ready < 0 && errno != EINTR)
            return errno;
        if (ready == 0 && Clock::now() >= deadline)
            return ETIMEDOUT;
    }
}

// Connects fd to address by deadline: 0, or the reason's errno.
int connectBy(int fd, const addrinfo& address, Clock::time_point deadline) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS && errno != EINTR)
        return errno;
    short revents = 0;
    if (const int error = waitFor(fd, POLLOUT, deadline, revents); error != 0)
        return error;
    int result = 0;
    socklen_t length = sizeof result;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &length) != 0)
        return errno;
    return result;
}

}  // namespace

TcpSocket::~TcpSocket() {
    close();
}

bool TcpSocket::fail(const std::string& reason) {
    reason_ = reason;
    return false;
}

bool TcpSocket::connect(const std::string& host, uint16_t port,
                        std::chrono::milliseconds timeout) {
    close();
    reason_.clear();
    const auto deadline = Clock::now() + timeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        error != 0)
        return fail(error == EAI_SYSTEM ? errnoText(errno) : lowerFirst(gai_strerror(error)));
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
    int lastError = ETIMEDOUT;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        const int fd = ::socket(address->ai_family,
                                address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                address->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        lastError = connectBy(fd, *address, deadline);
        if (lastError == 0) {
            // One request is one small segment: sent at once, not held back for more.
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            handle_ = fd;
            return true;
        }
        ::close(fd);
        if (Clock::now() >= deadline)
            break;
    }
    return fail(errnoText(lastError));
}

void TcpSocket::close() {
    if (handle_ == kClosed)
        return;
    ::close(int(handle_));
    handle_ = kClosed;
}

bool TcpSocket::send(std::span<const uint8_t> bytes, Clock::time_point deadline) {
    if (!isOpen())
        return fail("not connected");
    const int fd = int(handle_);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        // MSG_NOSIGNAL: a peer that has gone is a failed send, not a SIGPIPE.
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            short revents = 0;
            if (const int error = waitFor(fd, POLLOUT, deadline, revents); error != 0)
                return fail(errnoText(error));
            continue;
        }
        return fail(errnoText(errno));
    }
    return true;
}

int TcpSocket::receive(std::span<uint8_t> destination, Clock::time_point deadline) {
    if (!isOpen()) {
        fail("not connected");
        return -1;
    }
    const int fd = int(handle_);
    for (;;) {
        const ssize_t n = ::recv(fd, destination.data(), destination.size(), 0);
        if (n > 0)
            return int(n);
        if (n == 0) {
            fail("the connection was closed by the other side");
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            fail(errnoText(errno));
            return -1;
        }
        if (Clock::now() >= deadline)
            return 0;
        short revents = 0;
        const int error = waitFor(fd, POLLIN, deadline, revents);
        if (error == ETIMEDOUT)
            return 0;
        if (error != 0) {
            fail(errnoText(error));
            return -1;
        }
    }
}

}  // namespace kestiva
