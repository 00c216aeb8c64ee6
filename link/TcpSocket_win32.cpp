// TCP connections on Winsock.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <memory>

#include "link/TcpSocket.h"

namespace kestiva {

namespace {

using Clock = TcpSocket::Clock;

// Winsock is started once for the life of the program, the first time a socket is needed.
bool winsockReady() {
    static const bool ready = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

// The codes users meet, in the words the other build uses; the system's message for the rest.
std::string errorText(int error) {
    switch (error) {
        case WSAECONNREFUSED:
            return "connection refused";
        case WSAEHOSTUNREACH:
            return "no route to host";
        case WSAENETUNREACH:
            return "network is unreachable";
        case WSAETIMEDOUT:
            return "timed out";
        case WSAECONNRESET:
            return "connection reset by peer";
        case WSAECONNABORTED:
            return "software caused connection abort";
        case WSAHOST_NOT_FOUND:
            return "name or service not known";
        case WSATRY_AGAIN:
            return "temporary failure in name resolution";
        default:
            break;
    }
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, DWORD(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == '.' || message.back() == ' '))
        message.pop_back();
    if (!message.empty())
        message[0] = char(std::tolower(static_cast<unsigned char>(message[0])));
    return message;
}

timeval untilDeadline(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    left = std::clamp(left, std::chrono::microseconds(0), std::chrono::microseconds(60'000'000));
    return {long(left.count() / 1'000'000), long(left.count() % 1'000'000)};
}

// 0 when s became readable (read) or writable (!read) by deadline; WSAETIMEDOUT at the
// deadline; else the error. A failed connect shows in the exception set.
int waitFor(SOCKET s, bool read, Clock::time_point deadline) {
    for (;;) {
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);
        timeval wait = untilDeadline(deadline);
        const int n = ::select(0, read ? &ready : nullptr, read ? nullptr : &ready, &failed, &wait);
        if (n == SOCKET_ERROR)
            return WSAGetLastError();
        if (n > 0) {
            if (FD_ISSET(s, &failed)) {
                int error = 0;
                int length = sizeof error;
                ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
                return error != 0 ? error : WSAECONNRESET;
            }
            return 0;
        }
        if (Clock::now() >= deadline)
            return WSAETIMEDOUT;
    }
}

int connectBy(SOCKET s, const addrinfo& address, Clock::time_point deadline) {
    if (::connect(s, address.ai_addr, int(address.ai_addrlen)) == 0)
        return 0;
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS)
        return error;
    return waitFor(s, false, deadline);
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
    if (!winsockReady())
        return fail("the network functions could not be started");
    const auto deadline = Clock::now() + timeout;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0)
        return fail(errorText(WSAGetLastError()));
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
    int lastError = WSAETIMEDOUT;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        const SOCKET s = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (s == INVALID_SOCKET) {
            lastError = WSAGetLastError();
            continue;
        }
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
        lastError = connectBy(s, *address, deadline);
        if (lastError == 0) {
            // One request is one small segment: sent at once, not held back for more.
            const BOOL one = TRUE;
            ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one),
                         sizeof one);
            handle_ = std::intptr_t(s);
            return true;
        }
        ::closesocket(s);
        if (Clock::now() >= deadline)
            break;
    }
    return fail(errorText(lastError));
}

void TcpSocket::close() {
    if (handle_ == kClosed)
        return;
    ::closesocket(SOCKET(handle_));
    handle_ = kClosed;
}

bool TcpSocket::send(std::span<const uint8_t> bytes, Clock::time_point deadline) {
    if (!isOpen())
        return fail("not connected");
    const SOCKET s = SOCKET(handle_);
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = ::send(s, reinterpret_cast<const char*>(bytes.data() + sent),
                             int(bytes.size() - sent), 0);
        if (n > 0) {
            sent += std::size_t(n);
            continue;
        }
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK)
            return fail(errorText(error));
        if (const int waited = waitFor(s, false, deadline); waited != 0)
            return fail(errorText(waited));
    }
    return true;
}

int TcpSocket::receive(std::span<uint8_t> destination, Clock::time_point deadline) {
    if (!isOpen()) {
        fail("not connected");
        return -1;
    }
    const SOCKET s = SOCKET(handle_);
    for (;;) {
        const int n = ::recv(s, reinterpret_cast<char*>(destination.data()),
                             int(destination.size()), 0);
        if (n > 0)
            return n;
        if (n == 0) {
            fail("the connection was closed by the other side");
            return -1;
        }
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            fail(errorText(error));
            return -1;
        }
        if (Clock::now() >= deadline)
            return 0;
        const int waited = waitFor(s, true, deadline);
        if (waited == WSAETIMEDOUT)
            return 0;
        if (waited != 0) {
            fail(errorText(waited));
            return -1;
        }
    }
}

}  // namespace kestiva
