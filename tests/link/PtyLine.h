#pragma once
// A pseudo-terminal pair for tests that play the line themselves: the test holds the master
// and the device under test opens the slave (path()), as the program opens a port.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kestiva::testing {

// Left cooked, as the kernel makes it: whoever opens the slave has to make it raw.
class PtyLine {
public:
    PtyLine() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        char name[128];
        if (ptsname_r(master_, name, sizeof name) != 0)
            return;
        path_ = name;
        // Held so that the line stays up whatever the device does, as the simulator does.
        hold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~PtyLine() { hangUp(); }

    const std::string& path() const { return path_; }
    bool ok() const { return master_ >= 0 && hold_ >= 0; }

    void send(const std::vector<uint8_t>& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Everything the device sent that arrives within the timeout, up to count bytes.
    std::vector<uint8_t> receive(std::size_t count, std::chrono::milliseconds timeout =
                                                        std::chrono::milliseconds(2000)) const {
        std::vector<uint8_t> got;
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (got.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{master_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            uint8_t buffer[256];
            ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
    termios lineSettings() const {
        termios t{};
        tcgetattr(master_, &t);
        return t;
    }
    // The other end goes away, as when an adapter is unplugged.
    void hangUp() {
        if (master_ >= 0)
            ::close(master_);
        if (hold_ >= 0)
            ::close(hold_);
        master_ = hold_ = -1;
    }

private:
    int master_ = -1;
    int hold_ = -1;
    std::string path_;
};

}  // namespace kestiva::testing
