#pragma once
// The Modbus RTU master: one Read Holding Registers transaction per range and cycle for the
// sampling engine, one Diagnostics echo per attempt for the communication check.

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "link/ModbusFrames.h"
#include "link/SerialLink.h"
#include "recording/HostInterfaces.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

// The message body for an exception reply to a read: what the code means, then what to do.
std::string composeExceptionReport(const LanguageCatalogue& texts, uint8_t exceptionCode);

class ModbusMaster {
public:
    static constexpr std::size_t kBufferSize = 1024;
    // Replies to the first requests of a short-cycle recording stay in the input queue while
    // warmUpCount is below this; each later transaction reads the reply four requests back.
    static constexpr uint32_t kWarmUpRequests = 4;

    ModbusMaster(SerialLink& link, const LanguageCatalogue& texts, MessageHost& window);

    // Set and counted up by the sampling engine; see kWarmUpRequests.
    std::atomic<uint32_t> warmUpCount{0};
    // Bytes received by readExact since the sampling engine last set it to 0.
    std::atomic<uint32_t> receivedByteTotal{0};

    // Sends a read of byteCount bytes (byteCount / 2 registers) at address of station and,
    // past the warm-up, receives byteCount + 5 reply bytes into destination. An exception reply
    // is shown to the user (the call waits until the message box is closed). 0, or -1 when no
    // port is open, the reply does not fit destination, the send fails, the reply is short or
    // comes from another station, or it is an exception. Function code and CRC are left to
    // the caller.
    int readHoldingBlock(uint16_t byteCount, uint8_t station, uint16_t address,
                         std::span<uint8_t> destination);

    // Receives exactly count bytes into destination, across as many port reads as it takes.
    // -1 when a read fails or brings nothing, or count exceeds destination.
    int readExact(uint32_t count, std::span<uint8_t> destination);

    // One echo attempt: sends the echo request to station, waits the response delay, receives
    // the reply and accepts only an exact, CRC-correct echo. 0 or -1. When cancel is given and
    // becomes true, the attempt ends at once with -1.
    int echoCheck(uint8_t station, const PortContext& context,
                  const std::atomic<bool>* cancel = nullptr);

    // Receives an echo reply byte by byte: 8 bytes, or 5 when the second byte marks an
    // exception. It gives up after ten interval limits (see echoIntervalLimitMs) pass without a
    // byte. 0 or -1.
    int receiveEchoReply(const PortContext& context, std::span<uint8_t> destination,
                         const std::atomic<bool>* cancel = nullptr);

    // The last request sent (its first 8 bytes) and the last echo reply received.
    std::span<const uint8_t, kRequestLength> lastRequest() const {
        return std::span<const uint8_t, kRequestLength>(transmit_.data(), kRequestLength);
    }
    std::span<const uint8_t> echoReceiveBuffer() const { return echoReceive_; }

    SerialLink& link() { return link_; }

private:
    void reportException(uint8_t exceptionCode);

    SerialLink& link_;
    const LanguageCatalogue& texts_;
    MessageHost& window_;
    std::array<uint8_t, kBufferSize> transmit_{};
    std::array<uint8_t, kBufferSize> echoReceive_{};
};

}  // namespace kestiva
