#include "link/ModbusMaster.h"

#include <algorithm>
#include <cstring>
#include <chrono>
#include <thread>

namespace kestiva {

namespace {

using Clock = SerialDevice::Clock;

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_acquire);
}

// The response delay, cut short when the attempt is cancelled.
bool sleepUnlessCancelled(int32_t milliseconds, const std::atomic<bool>* cancel) {
    if (milliseconds <= 0)
        return !cancelled(cancel);
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (!cancelled(cancel)) {
        auto now = Clock::now();
        if (now >= end)
            return true;
        std::this_thread::sleep_for(
            std::min<Clock::duration>(end - now, std::chrono::milliseconds(5)));
    }
    return false;
}

}  // namespace

std::string composeExceptionReport(const LanguageCatalogue& texts, uint8_t exceptionCode) {
    return texts.composeError(exceptionContentsText(exceptionCode),
                              text::MSG_COM_ABNORMAL_RESPONSE_COUNTERMEASURE_CONTENTS);
}

ModbusMaster::ModbusMaster(SerialLink& link) : link_(link) {}

LinkFault ModbusMaster::receiveFault() const {
    return link_.lastError() == SerialError::NotOpen ? LinkFault::NoPort : LinkFault::PortLost;
}

LinkFault ModbusMaster::sendFault() const {
    switch (link_.lastError()) {
        case SerialError::NotOpen:
            return LinkFault::NoPort;
        case SerialError::ResourceLost:
            return LinkFault::PortLost;
        default:
            return LinkFault::SendFailed;
    }
}

TransactionResult ModbusMaster::readHoldingBlock(uint16_t byteCount, uint8_t station,
                                                 uint16_t address,
                                                 std::span<uint8_t> destination) {
    auto request = std::span<uint8_t, kRequestLength>(transmit_.data(), kRequestLength);
    buildReadRequest(station, address, byteCount, request);
    const std::size_t replyLength = readReplyLength(byteCount);
    // Refused before anything is sent, so the reply of a later request cannot be misread.
    if (replyLength > destination.size())
        return {LinkFault::TooLong};
    if (!link_.isOpen())
        return {LinkFault::NoPort};
    if (!link_.write(request))
        return {sendFault()};
    requestQueuedAt_ = std::chrono::steady_clock::now();
    if (warmUpCount.load() < kWarmUpRequests)
        return {};
    if (!link_.isOpen())
        return {LinkFault::NoPort};
    if (TransactionResult received = readExact(static_cast<uint32_t>(replyLength), destination);
        !received.ok())
        return received;
    if (destination[0] != station)
        return {LinkFault::WrongStation};
    if (destination[1] == (kReadHoldingRegisters | kExceptionFlag))
        return {LinkFault::Exception, destination[2]};
    return {};
}

TransactionResult ModbusMaster::readExact(uint32_t count, std::span<uint8_t> destination) {
    if (count > destination.size())
        return {LinkFault::TooLong};
    uint32_t offset = std::min(count, bytesAhead());
    if (offset > 0) {
        std::memcpy(destination.data(), aheadStore_.data() + streamPosition_, offset);
        receivedByteTotal.fetch_add(offset);
    }
    streamPosition_ += offset;
    while (offset < count) {
        int got = link_.read(destination.subspan(offset, count - offset));
        if (got < 0)
            return {receiveFault()};
        if (got == 0)
            return {offset == 0 ? LinkFault::TimeOut : LinkFault::ShortReply};
        offset += static_cast<uint32_t>(got);
        receivedByteTotal.fetch_add(static_cast<uint32_t>(got));
        if (!aheadStore_.empty())
            streamPosition_ += static_cast<uint32_t>(got);
    }
    aheadEnd_ = std::max(aheadEnd_, streamPosition_);
    return {};
}

void ModbusMaster::startReadAhead(std::span<uint8_t> store) {
    aheadStore_ = store;
    streamPosition_ = 0;
    aheadEnd_ = 0;
}

void ModbusMaster::stopReadAhead() {
    startReadAhead({});
}

uint32_t ModbusMaster::readAhead(uint32_t limit) {
    const int waiting = link_.bytesWaiting();
    const auto room = static_cast<uint32_t>(aheadStore_.size()) - aheadEnd_;
    const uint32_t wanted = std::min({limit, room, waiting > 0 ? uint32_t(waiting) : 0u});
    if (wanted > 0) {
        // The bytes are there: the read returns them without waiting for more.
        const int got = link_.read(aheadStore_.subspan(aheadEnd_, wanted));
        if (got > 0)
            aheadEnd_ += static_cast<uint32_t>(got);
    }
    return aheadEnd_;
}

TransactionResult ModbusMaster::echoCheck(uint8_t station, const PortContext& context,
                                          const std::atomic<bool>* cancel) {
    transmit_.fill(0);
    echoReceive_.fill(0);
    auto request = std::span<uint8_t, kRequestLength>(transmit_.data(), kRequestLength);
    buildEchoRequest(station, request);
    // With no port open nothing is sent and the receive step fails.
    if (link_.isOpen() && !link_.write(request))
        return {sendFault()};
    if (!sleepUnlessCancelled(context.responseDelayMs, cancel))
        return {LinkFault::Cancelled};
    if (TransactionResult received = receiveEchoReply(context, echoReceive_, cancel);
        !received.ok())
        return received;
    echoReceive_[kRequestLength] = 0;
    return judgeEcho(request);
}

TransactionResult ModbusMaster::judgeEcho(std::span<const uint8_t, kRequestLength> request) const {
    auto crc = crc16(kRequestLength, echoReceive_.data());
    if (crc[0] != 0 || crc[1] != 0)
        return {LinkFault::BadCrc};
    if (std::equal(request.begin(), request.end(), echoReceive_.begin()))
        return {};
    // A 5-byte exception reply with a fitting CRC passes the test above on the zeros behind it.
    if (isEchoExceptionFunction(echoReceive_[1]))
        return {LinkFault::Exception, echoReceive_[2]};
    return {LinkFault::WrongEcho};
}

TransactionResult ModbusMaster::receiveEchoReply(const PortContext& context,
                                                 std::span<uint8_t> destination,
                                                 const std::atomic<bool>* cancel) {
    Clock::time_point intervalStart = Clock::now();
    if (!link_.isOpen())
        return {LinkFault::NoPort};
    const int64_t limitMs =
        echoIntervalLimitMs(context.bitRate, context.responseDelayMs, context.silentTimeMs);
    std::size_t expected = kRequestLength;
    if (destination.size() < expected)
        return {LinkFault::TooLong};
    int retries = 10;
    std::size_t received = 0;
    while (!cancelled(cancel)) {
        int waiting = link_.bytesWaiting();
        if (waiting < 0)
            return {receiveFault()};
        if (waiting > 0) {
            uint8_t byte = 0;
            int got = link_.read(std::span<uint8_t>(&byte, 1));
            if (got < 0)
                return {receiveFault()};
            if (got == 0)
                continue;
            destination[received++] = byte;
            retries = 10;
            if (received == 2 && isEchoExceptionFunction(byte))
                expected = kExceptionReplyLength;
            if (received == expected)
                return {};
            continue;
        }
        // The interval start stays where it is when a byte arrives: the reply fails after ten
        // expired intervals with no byte in between.
        Clock::time_point now = Clock::now();
        auto elapsedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(now - intervalStart).count();
        if (elapsedMs > limitMs) {
            intervalStart = now;
            if (--retries == 0)
                return {received == 0 ? LinkFault::TimeOut : LinkFault::ShortReply};
            continue;
        }
        // Instead of spinning on the queue count, sleep in the driver until a byte arrives or
        // this interval expires: the same millisecond timing without taking a whole core from
        // the controller side. A cancellable attempt looks at its flag every 5 ms.
        Clock::time_point deadline = intervalStart + std::chrono::milliseconds(limitMs + 1);
        if (cancel != nullptr)
            deadline = std::min(deadline, now + std::chrono::milliseconds(5));
        if (link_.waitForInput(deadline) < 0)
            return {receiveFault()};
    }
    return {LinkFault::Cancelled};
}

}  // namespace kestiva
