#pragma once
// The link device for a network target: a TCP connection that carries RTU frames as they are
// (rtu-tcp://) or as Modbus TCP (tcp://), presented to the master as the byte stream of RTU
// frames a serial line gives, with the serial line's read time-outs. The connection is made
// once at open, with a time-out of its own; a connection that is lost stays lost (the device
// reports it as a vanished serial port does) until the next open.

#include <chrono>
#include <deque>

#include "link/LinkDevice.h"
#include "link/MbapFraming.h"
#include "link/NetworkTarget.h"
#include "link/TcpSocket.h"

namespace kestiva {

class NetworkDevice final : public LinkDevice {
public:
    static constexpr std::chrono::milliseconds kConnectTimeout{3000};

    NetworkDevice() = default;
    ~NetworkDevice() override = default;
    NetworkDevice(const NetworkDevice&) = delete;
    NetworkDevice& operator=(const NetworkDevice&) = delete;

    // path is a network target's text (tcp://HOST[:PORT], rtu-tcp://HOST:PORT).
    bool open(const std::string& path) override;
    bool isOpen() const override { return socket_.isOpen(); }
    void close() override;

    // There is no line speed; every rate is taken. Replies still due to requests sent before
    // are forgotten, as the line's new set-up makes them on a serial line.
    bool configure(uint32_t bitRate) override;
    bool purge() override;

    int read(std::span<uint8_t> destination, const ReadTimeouts& timeouts) override;
    // bytes is one whole RTU frame (station, PDU, CRC).
    bool write(std::span<const uint8_t> bytes, const WriteTimeouts& timeouts) override;
    int bytesWaiting() override;
    int waitForInput(Clock::time_point deadline) override;

    SerialError lastError() const override { return lastError_; }
    std::string lastReason() const override { return reason_; }

    // Replies dropped for a wrong transaction id or protocol id since the open.
    uint64_t droppedReplies() const { return receiver_.droppedReplies(); }

private:
    // Takes what the connection has by deadline into input_. The number of RTU bytes it added
    // (0 when the deadline passed first), or -1 when the connection failed.
    int pump(Clock::time_point deadline);
    // Moves waiting RTU bytes into destination.
    std::size_t take(std::span<uint8_t> destination);
    bool fail(SerialError error, const std::string& reason);

    NetworkTarget target_;
    TcpSocket socket_;
    MbapReceiver receiver_;
    std::deque<uint8_t> input_;  // received RTU bytes not yet read
    uint16_t nextTransaction_ = 1;
    bool lost_ = false;  // the connection failed or its replies fell out of step
    SerialError lastError_ = SerialError::None;
    std::string reason_;
};

}  // namespace kestiva
