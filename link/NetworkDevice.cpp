#include "link/NetworkDevice.h"

#include <algorithm>
#include <array>

namespace kestiva {

bool NetworkDevice::fail(SerialError error, const std::string& reason) {
    lastError_ = error;
    reason_ = reason;
    return false;
}

bool NetworkDevice::open(const std::string& path) {
    close();
    lastError_ = SerialError::None;
    reason_.clear();
    std::string error;
    const auto target = parseNetworkTarget(path, error);
    if (!target)
        return fail(SerialError::NotFound, error);
    target_ = *target;
    if (!socket_.connect(target_.host, target_.port, kConnectTimeout))
        return fail(SerialError::ConnectFailed, socket_.reason());
    return true;
}

void NetworkDevice::close() {
    socket_.close();
    lost_ = false;
    receiver_.reset();
    input_.clear();
}

bool NetworkDevice::configure(uint32_t) {
    if (!isOpen())
        return fail(SerialError::NotOpen, "");
    return purge();
}

bool NetworkDevice::purge() {
    if (!isOpen())
        return fail(SerialError::NotOpen, "");
    std::array<uint8_t, 512> discard{};
    int got = 0;
    while (!lost_ && (got = socket_.receive(discard, Clock::time_point{})) > 0) {
    }
    receiver_.reset();
    input_.clear();
    if (got < 0) {
        lost_ = true;
        reason_ = socket_.reason();
    }
    // The reason the connection was lost stays the one given when it was.
    return !lost_ || fail(SerialError::ResourceLost, reason_);
}

int NetworkDevice::pump(Clock::time_point deadline) {
    if (!isOpen()) {
        fail(SerialError::NotOpen, "");
        return -1;
    }
    // A lost connection stays lost: nothing is read from it again until the next open.
    if (lost_) {
        fail(SerialError::ResourceLost, reason_);
        return -1;
    }
    std::array<uint8_t, 1024> bytes{};
    const std::size_t before = input_.size();
    // A partial MBAP frame adds nothing yet: wait on for its rest until the deadline.
    do {
        const int got = socket_.receive(bytes, deadline);
        if (got < 0) {
            lost_ = true;
            fail(SerialError::ResourceLost, socket_.reason());
            return -1;
        }
        if (got == 0)
            break;
        const auto received = std::span<const uint8_t>(bytes.data(), std::size_t(got));
        if (target_.framing == NetworkFraming::RtuOverTcp) {
            input_.insert(input_.end(), received.begin(), received.end());
        } else if (!receiver_.receive(received, input_)) {
            // Nothing after a broken header can be cut into frames again: as good as lost.
            lost_ = true;
            fail(SerialError::ResourceLost, "the replies lost their MBAP framing");
            return -1;
        }
    } while (input_.size() == before);
    return int(input_.size() - before);
}

std::size_t NetworkDevice::take(std::span<uint8_t> destination) {
    const std::size_t count = std::min(destination.size(), input_.size());
    std::copy_n(input_.begin(), count, destination.begin());
    input_.erase(input_.begin(), input_.begin() + std::ptrdiff_t(count));
    return count;
}

int NetworkDevice::read(std::span<uint8_t> destination, const ReadTimeouts& timeouts) {
    if (!isOpen()) {
        fail(SerialError::NotOpen, "");
        return -1;
    }
    // The serial line's time-outs, so that the master times a reply the same on both.
    const auto total = Clock::now() + timeouts.totalConstant +
                       timeouts.totalPerByte * int64_t(destination.size());
    std::size_t got = take(destination);
    while (got < destination.size()) {
        const auto deadline = got > 0 ? std::min(total, Clock::now() + timeouts.interval) : total;
        const int added = pump(deadline);
        if (added < 0)
            return -1;
        if (added == 0)
            break;
        got += take(destination.subspan(got));
    }
    return int(got);
}

bool NetworkDevice::write(std::span<const uint8_t> bytes, const WriteTimeouts& timeouts) {
    if (!isOpen())
        return fail(SerialError::NotOpen, "");
    const auto deadline =
        Clock::now() + timeouts.totalConstant + timeouts.totalPerByte * int64_t(bytes.size());
    if (lost_)
        return fail(SerialError::ResourceLost, reason_);
    if (target_.framing == NetworkFraming::RtuOverTcp) {
        if (socket_.send(bytes, deadline))
            return true;
    } else {
        const uint16_t transaction = nextTransaction_++;
        const std::vector<uint8_t> frame = mbapFromRtu(transaction, bytes);
        if (frame.empty())
            return fail(SerialError::Other, "not a whole Modbus frame");
        receiver_.sent(transaction);
        if (socket_.send(frame, deadline))
            return true;
    }
    if (socket_.reason() == "timed out")
        return fail(SerialError::TimedOut, socket_.reason());
    lost_ = true;
    return fail(SerialError::ResourceLost, socket_.reason());
}

int NetworkDevice::bytesWaiting() {
    if (pump(Clock::time_point{}) < 0)
        return -1;
    return int(input_.size());
}

int NetworkDevice::waitForInput(Clock::time_point deadline) {
    if (!input_.empty())
        return 1;
    const int added = pump(deadline);
    return added < 0 ? -1 : added > 0 ? 1 : 0;
}

}  // namespace kestiva
