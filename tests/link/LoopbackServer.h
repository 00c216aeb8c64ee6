#pragma once
// A scripted Modbus server on 127.0.0.1 for the network link's fault tests: it listens on a
// free port, takes one connection at a time and hands each to the test's script on a thread
// of its own. Everything it started ends with the object.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kestiva::testing {

class LoopbackServer {
public:
    class Peer;
    using Script = std::function<void(Peer&)>;

    // One accepted connection as the script sees it.
    class Peer {
    public:
        Peer(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}

        // Exactly count bytes, or fewer when the master closed or the server is stopping.
        std::vector<uint8_t> receive(std::size_t count) {
            std::vector<uint8_t> bytes;
            while (bytes.size() < count && !stopping_) {
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                uint8_t buffer[512];
                const ssize_t n = ::recv(fd_, buffer, std::min(sizeof buffer, count - bytes.size()), 0);
                if (n <= 0)
                    break;
                bytes.insert(bytes.end(), buffer, buffer + n);
            }
            return bytes;
        }
        // One MBAP request whole (header and unit id + PDU); empty when none came.
        std::vector<uint8_t> receiveMbap() {
            std::vector<uint8_t> frame = receive(6);
            if (frame.size() < 6)
                return {};
            const std::vector<uint8_t> rest = receive(std::size_t(frame[4] << 8 | frame[5]));
            frame.insert(frame.end(), rest.begin(), rest.end());
            return frame;
        }
        void send(const std::vector<uint8_t>& bytes) {
            ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        }
        // Keeps the connection open without a word until the master closes it.
        void stayQuiet() {
            while (!stopping_ && !receive(1).empty()) {
            }
        }
        bool stopping() const { return stopping_; }

    private:
        int fd_;
        const std::atomic<bool>& stopping_;
    };

    explicit LoopbackServer(Script script) : script_(std::move(script)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~LoopbackServer() {
        stopping_ = true;
        if (thread_.joinable())
            thread_.join();
        if (listener_ >= 0)
            ::close(listener_);
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t port() const { return port_; }
    std::string target(const std::string& scheme = "tcp") const {
        return scheme + "://127.0.0.1:" + std::to_string(port_);
    }
    int connections() const { return connections_; }

    // A port on which nothing listens: bound, then given up again.
    static uint16_t closedPort() {
        LoopbackServer none([](Peer&) {});
        const uint16_t port = none.port();
        none.stopping_ = true;
        none.thread_.join();
        ::close(none.listener_);
        none.listener_ = -1;
        return port;
    }

private:
    void run() {
        while (!stopping_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ++connections_;
            Peer peer(fd, stopping_);
            script_(peer);
            ::close(fd);
        }
    }

    Script script_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
};

}  // namespace kestiva::testing
