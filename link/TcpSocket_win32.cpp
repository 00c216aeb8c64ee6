// TCP connections on Winsock: the platform calls of TcpSocketPlatform.h.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

#include "link/TcpSocketPlatform.h"

namespace kestiva::tcp {

namespace {

timeval untilDeadline(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    left = std::clamp(left, std::chrono::microseconds(0), std::chrono::microseconds(60'000'000));
    return {long(left.count() / 1'000'000), long(left.count() % 1'000'000)};
}

int connectBy(SOCKET s, const addrinfo& address, Clock::time_point deadline) {
    if (::connect(s, address.ai_addr, int(address.ai_addrlen)) == 0)
        return 0;
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS)
        return error;
    return waitUntilReady(Handle(s), false, deadline);
}

}  // namespace

bool ready(std::string& reason) {
    // Winsock is started once for the life of the program, the first time a socket is needed.
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        reason = "the network functions could not be started";
    return started;
}

addrinfo* resolve(const std::string& host, uint16_t port, std::string& reason) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
        reason = errorText(WSAGetLastError());
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
    const SOCKET s = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return kNoHandle;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    error = connectBy(s, address, deadline);
    if (error != 0) {
        ::closesocket(s);
        return kNoHandle;
    }
    // One request is one small segment: sent at once, not held back for more.
    const BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return Handle(s);
}

void closeHandle(Handle handle) {
    ::closesocket(SOCKET(handle));
}

long sendSome(Handle handle, std::span<const uint8_t> bytes, int& error) {
    const int n =
        ::send(SOCKET(handle), reinterpret_cast<const char*>(bytes.data()), int(bytes.size()), 0);
    if (n == SOCKET_ERROR)
        error = WSAGetLastError();
    return n == SOCKET_ERROR ? -1 : long(n);
}

long receiveSome(Handle handle, std::span<uint8_t> destination, int& error) {
    const int n = ::recv(SOCKET(handle), reinterpret_cast<char*>(destination.data()),
                         int(destination.size()), 0);
    if (n == SOCKET_ERROR)
        error = WSAGetLastError();
    return n == SOCKET_ERROR ? -1 : long(n);
}

bool wouldBlock(int error) {
    return error == WSAEWOULDBLOCK;
}

bool interrupted(int error) {
    return error == WSAEINTR;
}

// A failed connect shows in the exception set.
int waitUntilReady(Handle handle, bool forReading, Clock::time_point deadline) {
    const SOCKET s = SOCKET(handle);
    for (;;) {
        fd_set ready;
        fd_set failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);
        timeval wait = untilDeadline(deadline);
        const int n = ::select(0, forReading ? &ready : nullptr, forReading ? nullptr : &ready,
                               &failed, &wait);
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

int timedOut() {
    return WSAETIMEDOUT;
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

}  // namespace kestiva::tcp
