#pragma once
// The Modbus RTU master: one Read Holding Registers transaction per range and cycle for the
// sampling engine, one Diagnostics echo per attempt for the communication check.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "link/ModbusFrames.h"
#include "link/SerialLink.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

// The message body for an exception reply to a read: what the code means, then what to do.
std::string composeExceptionReport(const LanguageCatalogue& texts, uint8_t exceptionCode);

// Why a transaction failed. The controller's own refusal (an exception reply) is kept apart
// from faults of the line, and the caller chooses what, if anything, the user is told.
enum class LinkFault {
    None,
    NoPort,        // no port is open: nothing was sent
    TimeOut,       // no byte of the reply came in time
    ShortReply,    // the reply stopped before its last byte
    WrongStation,  // the reply came from another station
    BadCrc,        // the echo's CRC does not fit its bytes
    Exception,     // the controller answered with an exception reply
    WrongEcho,     // the echo has a fitting CRC but differs from the request
    PortLost,      // the device failed or vanished
    SendFailed,    // the request could not be queued for sending
    TooLong,       // the reply would not fit the destination: nothing was sent
    Cancelled,     // the caller gave up while the echo was under way
};

// How one transaction ended; for LinkFault::Exception, with the controller's exception code.
struct TransactionResult {
    LinkFault fault = LinkFault::None;
    uint8_t exceptionCode = 0;

    bool ok() const { return fault == LinkFault::None; }
};

class ModbusMaster {
public:
    static constexpr std::size_t kBufferSize = 1024;
    // Replies to the first requests of a short-cycle recording stay in the input queue while
    // warmUpCount is below this; each later transaction reads the reply four requests back.
    static constexpr uint32_t kWarmUpRequests = 4;

    explicit ModbusMaster(SerialLink& link);

    // Set and counted up by the sampling engine; see kWarmUpRequests.
    std::atomic<uint32_t> warmUpCount{0};
    // Bytes received by readExact since the sampling engine last set it to 0.
    std::atomic<uint32_t> receivedByteTotal{0};

    // Sends a read of byteCount bytes (byteCount / 2 registers) at address of station and,
    // past the warm-up, receives byteCount + 5 reply bytes into destination. Fails when no
    // port is open, the reply cannot fit destination (nothing is sent then), the send fails,
    // the reply times out, stops short or comes from another station, or it is an exception
    // reply (with its code). Function code and CRC are left to the caller.
    TransactionResult readHoldingBlock(uint16_t byteCount, uint8_t station, uint16_t address,
                                       std::span<uint8_t> destination);

    // Receives exactly count bytes into destination, across as many port reads as it takes,
    // bytes read ahead first. TimeOut when nothing comes, ShortReply when the bytes stop before
    // count, TooLong when count exceeds destination.
    TransactionResult readExact(uint32_t count, std::span<uint8_t> destination);

    // Reading ahead, for a short-cycle recording whose replies are read four requests late:
    // the reply bytes that have arrived are taken from the port early, into store at their
    // place in the stream of replies (byte n of the stream at store[n]), where the sampling
    // engine stores its frames. readExact hands them out in their turn.
    void startReadAhead(std::span<uint8_t> store);
    void stopReadAhead();
    // Takes what has arrived, without waiting, at most limit bytes; the stream's bytes taken
    // from the port so far (those read ahead and those handed out).
    uint32_t readAhead(uint32_t limit);
    // Bytes read ahead that readExact has not handed out yet.
    uint32_t bytesAhead() const { return aheadEnd_ - streamPosition_; }

    // One echo attempt: sends the echo request to station, waits the response delay, receives
    // the reply and accepts only an exact, CRC-correct echo. When cancel is given and becomes
    // true, the attempt ends at once as Cancelled.
    TransactionResult echoCheck(uint8_t station, const PortContext& context,
                                const std::atomic<bool>* cancel = nullptr);

    // Receives an echo reply byte by byte: 8 bytes, or 5 when the second byte marks an
    // exception. It gives up after ten interval limits (see echoIntervalLimitMs) pass without a
    // byte: TimeOut when none came at all, ShortReply otherwise.
    TransactionResult receiveEchoReply(const PortContext& context, std::span<uint8_t> destination,
                                       const std::atomic<bool>* cancel = nullptr);

    // The last request sent (its first 8 bytes) and the last echo reply received.
    std::span<const uint8_t, kRequestLength> lastRequest() const {
        return std::span<const uint8_t, kRequestLength>(transmit_.data(), kRequestLength);
    }
    std::span<const uint8_t> echoReceiveBuffer() const { return echoReceive_; }
    // When readHoldingBlock last had its request queued for the line: the sampling engine
    // tells a slow send from a slow reply with it.
    std::chrono::steady_clock::time_point lastRequestQueuedAt() const { return requestQueuedAt_; }

    SerialLink& link() { return link_; }

private:
    // What the device's last error means for a read or for a send.
    LinkFault receiveFault() const;
    LinkFault sendFault() const;
    // Why a received echo is not the request sent.
    TransactionResult judgeEcho(std::span<const uint8_t, kRequestLength> request) const;

    SerialLink& link_;
    std::array<uint8_t, kBufferSize> transmit_{};
    std::array<uint8_t, kBufferSize> echoReceive_{};
    std::chrono::steady_clock::time_point requestQueuedAt_{};
    std::span<uint8_t> aheadStore_;
    uint32_t streamPosition_ = 0;  // stream bytes handed out by readExact
    uint32_t aheadEnd_ = 0;        // stream bytes taken from the port
};

}  // namespace kestiva
