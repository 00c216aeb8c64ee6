#include "link/ModbusMaster.h"

#include <algorithm>
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

ModbusMaster::ModbusMaster(SerialLink& link, const LanguageCatalogue& texts, MessageHost& window)
    : link_(link), texts_(texts), window_(window) {}

void ModbusMaster::reportException(uint8_t exceptionCode) {
    window_.showMessage(texts_.GetText(text::APP_TITLE),
                        composeExceptionReport(texts_, exceptionCode), MessageIcon::Error);
}

int ModbusMaster::readHoldingBlock(uint16_t byteCount, uint8_t station, uint16_t address,
                                   std::span<uint8_t> destination) {
    auto request = std::span<uint8_t, kRequestLength>(transmit_.data(), kRequestLength);
    buildReadRequest(station, address, byteCount, request);
    const std::size_t replyLength = readReplyLength(byteCount);
    // Refused before anything is sent, so the reply of a later request cannot be misread.
    if (replyLength > destination.size())
        return -1;
    if (!link_.isOpen())
        return -1;
    if (!link_.write(request))
        return -1;
    if (warmUpCount.load() < kWarmUpRequests)
        return 0;
    if (!link_.isOpen())
        return -1;
    if (readExact(static_cast<uint32_t>(replyLength), destination) != 0)
        return -1;
    if (destination[0] != station)
        return -1;
    if (destination[1] == (kReadHoldingRegisters | kExceptionFlag)) {
        reportException(destination[2]);
        return -1;
    }
    return 0;
}

int ModbusMaster::readExact(uint32_t count, std::span<uint8_t> destination) {
    if (count > destination.size())
        return -1;
    uint32_t offset = 0;
    while (offset < count) {
        int got = link_.read(destination.subspan(offset, count - offset));
        if (got <= 0)
            return -1;
        offset += static_cast<uint32_t>(got);
        receivedByteTotal.fetch_add(static_cast<uint32_t>(got));
    }
    return 0;
}

int ModbusMaster::echoCheck(uint8_t station, const PortContext& context,
                            const std::atomic<bool>* cancel) {
    transmit_.fill(0);
    echoReceive_.fill(0);
    auto request = std::span<uint8_t, kRequestLength>(transmit_.data(), kRequestLength);
    buildEchoRequest(station, request);
    // With no port open nothing is sent and the receive step fails.
    if (link_.isOpen() && !link_.write(request))
        return -1;
    if (!sleepUnlessCancelled(context.responseDelayMs, cancel))
        return -1;
    if (receiveEchoReply(context, echoReceive_, cancel) != 0)
        return -1;
    echoReceive_[kRequestLength] = 0;
    auto crc = crc16(kRequestLength, echoReceive_.data());
    if (crc[0] != 0 || crc[1] != 0)
        return -1;
    return std::equal(request.begin(), request.end(), echoReceive_.begin()) ? 0 : -1;
}

int ModbusMaster::receiveEchoReply(const PortContext& context, std::span<uint8_t> destination,
                                   const std::atomic<bool>* cancel) {
    Clock::time_point intervalStart = Clock::now();
    if (!link_.isOpen())
        return -1;
    const int64_t limitMs =
        echoIntervalLimitMs(context.bitRate, context.responseDelayMs, context.silentTimeMs);
    std::size_t expected = kRequestLength;
    if (destination.size() < expected)
        return -1;
    int retries = 10;
    std::size_t received = 0;
    while (!cancelled(cancel)) {
        int waiting = link_.bytesWaiting();
        if (waiting < 0)
            return -1;
        if (waiting > 0) {
            uint8_t byte = 0;
            int got = link_.read(std::span<uint8_t>(&byte, 1));
            if (got < 0)
                return -1;
            if (got == 0)
                continue;
            destination[received++] = byte;
            retries = 10;
            if (received == 2 && isEchoExceptionFunction(byte))
                expected = kExceptionReplyLength;
            if (received == expected)
                return 0;
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
                return -1;
            continue;
        }
        // Instead of spinning on the queue count, sleep in the driver until a byte arrives or
        // this interval expires: the same millisecond timing without taking a whole core from
        // the controller side. A cancellable attempt looks at its flag every 5 ms.
        Clock::time_point deadline = intervalStart + std::chrono::milliseconds(limitMs + 1);
        if (cancel != nullptr)
            deadline = std::min(deadline, now + std::chrono::milliseconds(5));
        if (link_.waitForInput(deadline) < 0)
            return -1;
    }
    return -1;
}

}  // namespace kestiva
