// TCP connections: what is the same on every platform, over TcpSocketPlatform.h.

#include "link/TcpSocket.h"

#include <memory>

#include "link/TcpSocketPlatform.h"

namespace kestiva {

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
    std::string reason;
    if (!tcp::ready(reason))
        return fail(reason);
    const auto deadline = Clock::now() + timeout;
    addrinfo* found = tcp::resolve(host, port, reason);
    if (found == nullptr)
        return fail(reason);
    const std::unique_ptr<addrinfo, void (*)(addrinfo*)> addresses(found, tcp::freeAddresses);
    int lastError = tcp::timedOut();
    for (const addrinfo* address = found; address != nullptr;
         address = tcp::nextAddress(*address)) {
        const tcp::Handle handle = tcp::connectTo(*address, deadline, lastError);
        if (handle != tcp::kNoHandle) {
            handle_ = handle;
            return true;
        }
        if (Clock::now() >= deadline)
            break;
    }
    return fail(tcp::errorText(lastError));
}

void TcpSocket::close() {
    if (handle_ == kClosed)
        return;
    tcp::closeHandle(handle_);
    handle_ = kClosed;
}

bool TcpSocket::send(std::span<const uint8_t> bytes, Clock::time_point deadline) {
    if (!isOpen())
        return fail("not connected");
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        int error = 0;
        const long n = tcp::sendSome(handle_, bytes.subspan(sent), error);
        if (n > 0) {
            sent += std::size_t(n);
            continue;
        }
        if (tcp::interrupted(error))
            continue;
        if (n == 0 || !tcp::wouldBlock(error))
            return fail(tcp::errorText(error));
        if (const int waited = tcp::waitUntilReady(handle_, false, deadline); waited != 0)
            return fail(tcp::errorText(waited));
    }
    return true;
}

int TcpSocket::receive(std::span<uint8_t> destination, Clock::time_point deadline) {
    if (!isOpen()) {
        fail("not connected");
        return -1;
    }
    for (;;) {
        int error = 0;
        const long n = tcp::receiveSome(handle_, destination, error);
        if (n > 0)
            return int(n);
        if (n == 0) {
            fail("the connection was closed by the other side");
            return -1;
        }
        if (tcp::interrupted(error))
            continue;
        if (!tcp::wouldBlock(error)) {
            fail(tcp::errorText(error));
            return -1;
        }
        if (Clock::now() >= deadline)
            return 0;
        const int waited = tcp::waitUntilReady(handle_, true, deadline);
        if (waited == tcp::timedOut())
            return 0;
        if (waited != 0) {
            fail(tcp::errorText(waited));
            return -1;
        }
    }
}

}  // namespace kestiva
