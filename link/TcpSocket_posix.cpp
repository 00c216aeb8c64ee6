// TCP connections on BSD sockets (Linux): the platform calls of TcpSocketPlatform.h.

#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "link/TcpSocketPlatform.h"

namespace kestiva::tcp {

namespace {

std::string lowerFirst(std::string text) {
    if (!text.empty())
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
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

// Connects fd to address by deadline: 0, or the reason's errno.
int connectBy(int fd, const addrinfo& address, Clock::time_point deadline) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS && errno != EINTR)
        return errno;
    if (const int error = waitUntilReady(fd, false, deadline); error != 0)
        return error;
    int result = 0;
    socklen_t length = sizeof result;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &length) != 0)
        return errno;
    return result;
}

}  // namespace

bool ready(std::string&) {
    return true;
}

addrinfo* resolve(const std::string& host, uint16_t port, std::string& reason) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
        error != 0) {
        reason = error == EAI_SYSTEM ? errorText(errno) : lowerFirst(gai_strerror(error));
        return nullptr;
    }
    return found;
}

void freeAddresses(addrinfo* addresses) {
    ::freeaddrinfo(addresses);
}

const addrinfo* nextAddress(const addrinfo& address) {
    return address.ai_next;
}

Handle connectTo(const addrinfo& address, Clock::time_point deadline, int& error) {
    const int fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            address.ai_protocol);
    if (fd < 0) {
        error = errno;
        return kNoHandle;
    }
    error = connectBy(fd, address, deadline);
    if (error != 0) {
        ::close(fd);
        return kNoHandle;
    }
    // One request is one small segment: sent at once, not held back for more.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

void closeHandle(Handle handle) {
    ::close(int(handle));
}

long sendSome(Handle handle, std::span<const uint8_t> bytes, int& error) {
    // MSG_NOSIGNAL: a peer that has gone is a failed send, not a SIGPIPE.
    const ssize_t n = ::send(int(handle), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0)
        error = errno;
    return long(n);
}

long receiveSome(Handle handle, std::span<uint8_t> destination, int& error) {
    const ssize_t n = ::recv(int(handle), destination.data(), destination.size(), 0);
    if (n < 0)
        error = errno;
    return long(n);
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool interrupted(int error) {
    return error == EINTR;
}

int waitUntilReady(Handle handle, bool forReading, Clock::time_point deadline) {
    for (;;) {
        pollfd p{int(handle), short(forReading ? POLLIN : POLLOUT), 0};
        const int ready = ::poll(&p, 1, pollMillis(deadline));
        if (ready > 0)
            return 0;
        if (ready < 0 && errno != EINTR)
            return errno;
        if (ready == 0 && Clock::now() >= deadline)
            return ETIMEDOUT;
    }
}

int timedOut() {
    return ETIMEDOUT;
}

std::string errorText(int error) {
    if (error == ETIMEDOUT)
        return "timed out";
    return lowerFirst(std::strerror(error));
}

}  // namespace kestiva::tcp
