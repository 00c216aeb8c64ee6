// The serial device on real pseudo-terminals: the test holds the master side and plays the
// line; the device under test opens the slave as the program opens a port.

#include "link/SerialDevice.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "link/PtyLine.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using testing::PtyLine;

// Waits until the device reports count bytes waiting (the pty moves bytes across in a
// kernel worker, so they show up a moment after the write).
bool waitForWaiting(SerialDevice& device, int count) {
    auto deadline = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (device.bytesWaiting() >= count)
            return true;
        device.waitForInput(std::chrono::steady_clock::now() + 10ms);
    }
    return device.bytesWaiting() >= count;
}

TEST(SerialDevice, BinaryBytesPassUnchangedBothWays) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    SerialDevice device;
    ASSERT_TRUE(device.open(line.path())) << serialErrorText(device.lastError());
    // CR, LF, XON, XOFF, interrupt and erase characters, NUL and 0xFF: a cooked line would
    // translate or swallow each of them.
    const Bytes awkward{0x0D, 0x0A, 0x11, 0x13, 0x03, 0x1C, 0x7F, 0x00, 0xFF, 0x04, 0x15, 0x0D};
    line.send(awkward);
    Bytes got(awkward.size());
    ASSERT_EQ(device.read(got), static_cast<int>(awkward.size()));
    EXPECT_EQ(got, awkward);

    ASSERT_TRUE(device.write(awkward));
    EXPECT_EQ(line.receive(awkward.size() + 4, 300ms), awkward);
}

TEST(SerialDevice, ConfigureSetsRaw8N1WithoutFlowControl) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    SerialDevice device;
    ASSERT_TRUE(device.open(line.path()));
    for (uint32_t rate : {9600u, 19200u, 38400u, 57600u, 115200u, 230400u}) {
        ASSERT_TRUE(device.configure(rate)) << rate;
        termios t = line.lineSettings();
        EXPECT_EQ(cfgetospeed(&t), cfgetispeed(&t));
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR), 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
    }
    termios before = line.lineSettings();
    ASSERT_EQ(cfgetospeed(&before), static_cast<speed_t>(B230400));
    // Bit rate 0 keeps the speed; an unknown rate keeps it too and says so.
    EXPECT_TRUE(device.configure(0));
    termios after = line.lineSettings();
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B230400));
    EXPECT_FALSE(device.configure(12345));
    EXPECT_EQ(device.lastError(), SerialError::UnsupportedBitRate);
    after = line.lineSettings();
    EXPECT_EQ(cfgetospeed(&after), static_cast<speed_t>(B230400));
}

TEST(SerialDevice, ReadEndsAtAGapBetweenBytes) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    SerialDevice device;
    ASSERT_TRUE(device.open(line.path()));
    line.send({1, 2, 3});
    // The second piece comes long after the 10 ms interval has run out.
    std::thread late([&] {
        std::this_thread::sleep_for(400ms);
        line.send({4, 5, 6});
    });
    Bytes got(10);
    int first = device.read(got);
    late.join();
    EXPECT_EQ(first, 3);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 3), (Bytes{1, 2, 3}));
    ASSERT_TRUE(waitForWaiting(device, 3));
    EXPECT_EQ(device.read(got), 3);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 3), (Bytes{4, 5, 6}));
}

using Clock = std::chrono::steady_clock;

Clock::duration elapsedSince(Clock::time_point start) {
    return Clock::now() - start;
}

// A peer that goes quiet: the interval time-out, which starts at the first byte and not at the
// call, ends the read long before the total time-out, and a later byte is left for the next
// read. Durations are checked from below only.
TEST(SerialDevice, SilenceAfterAByteEndsTheReadAtTheInterval) {
    struct Case {
        const char* what;
        std::chrono::milliseconds firstByteAt;
    };
    const Case cases[] = {{"a byte at once", 0ms}, {"a byte after a silence", 300ms}};
    const ReadTimeouts timeouts{100ms, 0ms, 5000ms};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PtyLine line;
        ASSERT_TRUE(line.ok());
        SerialDevice device;
        ASSERT_TRUE(device.open(line.path()));
        const auto start = Clock::now();
        std::thread peer([&] {
            std::this_thread::sleep_for(c.firstByteAt);
            line.send({0x11});
            std::this_thread::sleep_for(1000ms);  // far past the interval, far before the total
            line.send({0x22});
        });
        Bytes got(8);
        const int count = device.read(got, timeouts);
        const auto took = elapsedSince(start);
        peer.join();
        ASSERT_EQ(count, 1);
        EXPECT_EQ(got[0], 0x11);
        EXPECT_GE(took, c.firstByteAt + timeouts.interval);
        ASSERT_TRUE(waitForWaiting(device, 1));
        EXPECT_EQ(device.read(got, timeouts), 1);
        EXPECT_EQ(got[0], 0x22);
    }
}

// A peer that never pauses for the interval: only the total time-out, constant plus per byte
// asked for, ends the read, with what has come so far.
TEST(SerialDevice, ASteadyTrickleEndsTheReadAtTheTotal) {
    struct Case {
        const char* what;
        ReadTimeouts timeouts;
        std::size_t wanted;
        std::chrono::milliseconds total;
    };
    const Case cases[] = {
        {"constant", {500ms, 0ms, 800ms}, 4000, 800ms},
        {"per byte", {500ms, 1ms, 0ms}, 800, 800ms},
        {"constant and per byte", {500ms, 1ms, 300ms}, 500, 800ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PtyLine line;
        ASSERT_TRUE(line.ok());
        SerialDevice device;
        ASSERT_TRUE(device.open(line.path()));
        std::atomic<bool> done{false};
        const auto start = Clock::now();
        // One byte every 10 ms, counting up, until the read is over.
        std::thread peer([&] {
            for (uint8_t next = 0; !done; ++next) {
                line.send({next});
                std::this_thread::sleep_for(10ms);
            }
        });
        Bytes got(c.wanted);
        const int count = device.read(got, c.timeouts);
        const auto took = elapsedSince(start);
        done = true;
        peer.join();
        EXPECT_GE(took, c.total);
        ASSERT_GT(count, 0);
        ASSERT_LT(std::size_t(count), c.wanted);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(got[std::size_t(i)], uint8_t(i)) << "byte " << i;
    }
}

TEST(SerialDevice, ReadTimesOutEmptyWithoutFailing) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    SerialDevice device;
    ASSERT_TRUE(device.open(line.path()));
    Bytes got(4);
    EXPECT_EQ(device.read(got), 0);
    EXPECT_EQ(device.lastError(), SerialError::None);
    EXPECT_TRUE(device.isOpen());
    EXPECT_EQ(device.waitForInput(std::chrono::steady_clock::now() + 5ms), 0);
    // A byte that turns up after the total time-out is there for the next read.
    line.send({0x42});
    ASSERT_TRUE(waitForWaiting(device, 1));
    EXPECT_EQ(device.read(got), 1);
    EXPECT_EQ(got[0], 0x42);
}

TEST(SerialDevice, PurgeDropsWhatWaits) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    SerialDevice device;
    ASSERT_TRUE(device.open(line.path()));
    line.send({1, 2, 3, 4, 5});
    ASSERT_TRUE(waitForWaiting(device, 5));
    EXPECT_EQ(device.bytesWaiting(), 5);
    ASSERT_TRUE(device.purge());
    EXPECT_EQ(device.bytesWaiting(), 0);
    Bytes got(1);
    EXPECT_EQ(device.read(got), 0);
}

TEST(SerialDevice, AVanishedLineFailsEveryOperation) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    SerialDevice device;
    ASSERT_TRUE(device.open(line.path()));
    // A reader already waiting when the line goes must come back with a failure.
    std::thread pull([&] {
        std::this_thread::sleep_for(50ms);
        line.hangUp();
    });
    Bytes got(200);  // the total time-out alone would be over two seconds
    EXPECT_EQ(device.read(got), -1);
    pull.join();
    EXPECT_EQ(device.lastError(), SerialError::ResourceLost);
    EXPECT_EQ(device.read(got), -1);
    EXPECT_FALSE(device.write(Bytes{1, 2, 3}));
    EXPECT_EQ(device.lastError(), SerialError::ResourceLost);
    EXPECT_EQ(device.waitForInput(std::chrono::steady_clock::now() + 1s), -1);
    device.close();
    EXPECT_FALSE(device.isOpen());
}

TEST(SerialDevice, WriteGivesUpWhenNothingDrains) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    SerialDevice device;
    ASSERT_TRUE(device.open(line.path()));
    // Nobody reads the master, so the queues fill and stay full.
    Bytes flood(1 << 20, 0x55);
    EXPECT_FALSE(device.write(flood, WriteTimeouts{0ms, 100ms}));
    EXPECT_EQ(device.lastError(), SerialError::TimedOut);
}

TEST(SerialDevice, OpenFailuresAreNamed) {
    struct Case {
        const char* path;
        SerialError expected;
    };
    const Case cases[] = {
        {"/nonexistent/ttyX", SerialError::NotFound},
        {"/dev/null", SerialError::NotSerial},
    };
    for (const auto& c : cases) {
        SerialDevice device;
        EXPECT_FALSE(device.open(c.path)) << c.path;
        EXPECT_EQ(device.lastError(), c.expected) << c.path;
        EXPECT_FALSE(device.isOpen());
    }
    SerialDevice closed;
    Bytes got(1);
    EXPECT_EQ(closed.read(got), -1);
    EXPECT_EQ(closed.lastError(), SerialError::NotOpen);
    EXPECT_FALSE(closed.write(got));
    EXPECT_EQ(closed.bytesWaiting(), -1);
    EXPECT_FALSE(closed.configure(9600));
    closed.close();
}

TEST(SerialDevice, SecondOpenOfTheSameDeviceIsRefused) {
    PtyLine line;
    ASSERT_TRUE(line.ok());
    SerialDevice first;
    ASSERT_TRUE(first.open(line.path()));
    SerialDevice second;
    EXPECT_FALSE(second.open(line.path()));
    EXPECT_EQ(second.lastError(), SerialError::Busy);
    first.close();
    EXPECT_TRUE(second.open(line.path()));
}

// Whether a process with another user id can open path (0 yes, 1 no, 2 could not try).
int openAsOtherUser(const std::string& path) {
    pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        _exit(fd >= 0 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}

TEST(SerialDevice, ExclusiveUseKeepsOthersOutAndEndsWithClose) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    PtyLine line;
    ASSERT_TRUE(line.ok());
    ASSERT_EQ(chmod(line.path().c_str(), 0666), 0);
    ASSERT_EQ(openAsOtherUser(line.path()), 0) << "the line must be open to all before we take it";
    SerialDevice device;
    ASSERT_TRUE(device.open(line.path()));
    EXPECT_EQ(openAsOtherUser(line.path()), 1);
    // The line stays up (the test holds it, as the simulator does): exclusive use must still
    // end with our close, or the next start of the program could not open its port.
    device.close();
    EXPECT_EQ(openAsOtherUser(line.path()), 0);
}

}  // namespace
}  // namespace kestiva
