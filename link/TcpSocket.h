#pragma once
// One TCP connection to a network target: connect within a time-out, send, receive with a
// deadline, close. TcpSocket.cpp holds what is the same everywhere; the platform's socket calls
// (TcpSocketPlatform.h) live in TcpSocket_<platform>.cpp (BSD sockets, Winsock); nothing above
// this class sees either.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace kestiva {

class TcpSocket {
public:
    using Clock = std::chrono::steady_clock;

    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Resolves host once and connects to the first of its addresses that takes the connection
    // before timeout has passed in all. Closes what was open first. False with reason() in the
    // system's words, lower case: "connection refused", "no route to host", "timed out".
    bool connect(const std::string& host, uint16_t port, std::chrono::milliseconds timeout);
    bool isOpen() const { return handle_ != kClosed; }
    void close();

    // Sends every byte, waiting for room until deadline. False when the connection failed or
    // the deadline passed.
    bool send(std::span<const uint8_t> bytes, Clock::time_point deadline);

    // What has arrived, up to destination.size() bytes, waiting for the first until deadline
    // (a deadline already passed only takes what is there). The count, 0 when nothing came in
    // time, -1 when the peer closed the connection or it failed (reason() says which).
    int receive(std::span<uint8_t> destination, Clock::time_point deadline);

    const std::string& reason() const { return reason_; }

private:
    // SOCKET on Windows, a descriptor elsewhere; both fit.
    static constexpr std::intptr_t kClosed = -1;
    bool fail(const std::string& reason);

    std::intptr_t handle_ = kClosed;
    std::string reason_;
};

}  // namespace kestiva
