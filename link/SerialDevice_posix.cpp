// The serial device on POSIX termios (Linux).

#include <errno.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "link/SerialDevice.h"

namespace kestiva {

namespace {

using Clock = SerialDevice::Clock;

// The one place where system error numbers become device errors. While opening, a missing
// device node and a driver without hardware both mean "not found"; once open, the same codes
// mean the device went away under us.
SerialError mapErrno(int error, bool opening) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return SerialError::NotFound;
        case ENXIO:
        case ENODEV:
            return opening ? SerialError::NotFound : SerialError::ResourceLost;
        case EACCES:
        case EPERM:
        case EROFS:
            return SerialError::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:
            return SerialError::Busy;
        case ENOTTY:
            return SerialError::NotSerial;
        case EIO:
        case EPIPE:
        case EBADF:
            return SerialError::ResourceLost;
        default:
            return SerialError::Other;
    }
}

speed_t speedConstant(uint32_t bitRate) {
    switch (bitRate) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        default:
            return B0;
    }
}

// Raw binary line: 8N1, receiver on, modem status lines ignored, no software or hardware flow
// control (cfmakeraw leaves IXOFF, IXANY and CRTSCTS alone, and an XOFF byte inside a register
// value would otherwise stop our own output). VMIN 1 makes a non-blocking read report "nothing
// yet" as EAGAIN, so that a read returning 0 can only mean a hang-up.
void makeRaw(termios& t) {
    cfmakeraw(&t);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    t.c_iflag |= IGNBRK;
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

// USB adapters otherwise hold short replies for up to 16 ms, which splits a reply across the
// 10 ms interval time-out. Drivers without the request (pseudo-terminals) simply refuse it.
void requestLowLatency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        (void)ioctl(fd, TIOCSSERIAL, &serial);
    }
}

// RTS stays off: on adapters that key their RS-485 driver with it, a raised RTS would block
// the controller's reply. Pseudo-terminals have no modem lines and refuse this.
void lowerRts(int fd) {
    int rts = TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &rts);
}

timespec untilDeadline(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
    if (left.count() < 0)
        left = std::chrono::nanoseconds(0);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(left.count() / 1'000'000'000);
    ts.tv_nsec = static_cast<long>(left.count() % 1'000'000'000);
    return ts;
}

}  // namespace

bool SerialDevice::failSystem(unsigned long error) {
    return fail(mapErrno(static_cast<int>(error), !isOpen()));
}

bool SerialDevice::isOpen() const {
    return fd_ >= 0;
}

bool SerialDevice::open(const std::string& path) {
    close();
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return failSystem(errno);
    auto giveUp = [&](SerialError error) {
        ::close(fd);
        return fail(error);
    };
    if (!isatty(fd))
        return giveUp(SerialError::NotSerial);
    // TIOCEXCL keeps other processes out but not root; the advisory lock also keeps a second
    // copy of this program away from a port in use, whoever runs it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return giveUp(mapErrno(errno, true));
    if (ioctl(fd, TIOCEXCL) != 0)
        return giveUp(mapErrno(errno, true));
    requestLowLatency(fd);
    // A cooked line would translate CR and swallow XON/XOFF bytes before the first configure.
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        int error = errno;
        (void)ioctl(fd, TIOCNXCL);
        return giveUp(mapErrno(error, true));
    }
    makeRaw(t);
    (void)tcsetattr(fd, TCSANOW, &t);
    // The driver raises RTS on open; a line that is not configured yet must not hold it up.
    lowerRts(fd);
    fd_ = fd;
    path_ = path;
    lastError_ = SerialError::None;
    return true;
}

void SerialDevice::close() {
    if (fd_ < 0)
        return;
    // Exclusive mode belongs to the terminal, not to our descriptor: left set, it would keep
    // out the next opener while anyone else (a simulator) still holds the terminal open.
    (void)ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

bool SerialDevice::configure(uint32_t bitRate) {
    if (!isOpen())
        return fail(SerialError::NotOpen);
    termios t{};
    if (tcgetattr(fd_, &t) != 0)
        return failSystem(errno);
    makeRaw(t);
    bool speedSet = true;
    if (bitRate != 0) {
        speed_t speed = speedConstant(bitRate);
        if (speed == B0) {
            speedSet = false;
        } else {
            cfsetispeed(&t, speed);
            cfsetospeed(&t, speed);
        }
    }
    if (tcsetattr(fd_, TCSANOW, &t) != 0)
        return failSystem(errno);
    lowerRts(fd_);
    if (!speedSet)
        return fail(SerialError::UnsupportedBitRate);
    lastError_ = SerialError::None;
    return true;
}

bool SerialDevice::purge() {
    if (!isOpen())
        return fail(SerialError::NotOpen);
    if (tcflush(fd_, TCIOFLUSH) != 0)
        return failSystem(errno);
    return true;
}

int SerialDevice::read(std::span<uint8_t> destination, const ReadTimeouts& timeouts) {
    if (!isOpen()) {
        fail(SerialError::NotOpen);
        return -1;
    }
    const std::size_t wanted = destination.size();
    const Clock::time_point total =
        Clock::now() + timeouts.totalConstant +
        timeouts.totalPerByte * static_cast<std::chrono::milliseconds::rep>(wanted);
    std::size_t got = 0;
    Clock::time_point lastByte{};
    while (got < wanted) {
        ssize_t r = ::read(fd_, destination.data() + got, wanted - got);
        if (r > 0) {
            got += static_cast<std::size_t>(r);
            lastByte = Clock::now();
            continue;
        }
        if (r == 0) {
            // Hang-up: with VMIN 1 an empty queue is EAGAIN, never 0.
            fail(SerialError::ResourceLost);
            return -1;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            failSystem(errno);
            return -1;
        }
        Clock::time_point deadline = total;
        if (got > 0)
            deadline = std::min(total, lastByte + timeouts.interval);
        if (Clock::now() >= deadline)
            break;
        int ready = waitForInput(deadline);
        if (ready < 0)
            return -1;
    }
    return static_cast<int>(got);
}

int SerialDevice::waitForInput(Clock::time_point deadline) {
    if (!isOpen()) {
        fail(SerialError::NotOpen);
        return -1;
    }
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        timespec ts = untilDeadline(deadline);
        int r = ppoll(&p, 1, &ts, nullptr);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            failSystem(errno);
            return -1;
        }
        if (r == 0)
            return 0;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            fail(SerialError::ResourceLost);
            return -1;
        }
        if (p.revents & POLLIN)
            return 1;
    }
}

bool SerialDevice::write(std::span<const uint8_t> bytes, const WriteTimeouts& timeouts) {
    if (!isOpen())
        return fail(SerialError::NotOpen);
    const Clock::time_point deadline =
        Clock::now() + timeouts.totalConstant +
        timeouts.totalPerByte * static_cast<std::chrono::milliseconds::rep>(bytes.size());
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t r = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (r > 0) {
            done += static_cast<std::size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return failSystem(errno);
        // The output queue is full: wait for room, but never past the write time-out.
        if (Clock::now() >= deadline)
            return fail(SerialError::TimedOut);
        pollfd p{fd_, POLLOUT, 0};
        timespec ts = untilDeadline(deadline);
        int ready = ppoll(&p, 1, &ts, nullptr);
        if (ready < 0 && errno != EINTR)
            return failSystem(errno);
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            return fail(SerialError::ResourceLost);
    }
    return true;
}

int SerialDevice::bytesWaiting() {
    if (!isOpen()) {
        fail(SerialError::NotOpen);
        return -1;
    }
    int count = 0;
    if (ioctl(fd_, FIONREAD, &count) != 0) {
        failSystem(errno);
        return -1;
    }
    return count;
}

}  // namespace kestiva
