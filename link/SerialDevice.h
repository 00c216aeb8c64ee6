#pragma once
// One serial device: exclusive open, raw 8N1 line settings, purge, timed reads, a bounded
// blocking write, the count of bytes waiting, close. The platform lives in
// SerialDevice_<platform>.cpp; nothing above this class sees termios or the Windows
// communications functions.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/LinkDevice.h"

namespace kestiva {

class SerialDevice final : public LinkDevice {
public:
    SerialDevice() = default;
    ~SerialDevice() override;
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens the device at path for exclusive use and makes the line raw at its current speed.
    // Closes whatever this object had open first. False with lastError() set on failure.
    bool open(const std::string& path) override;
    bool isOpen() const override;
    // Gives up exclusive use and closes. Harmless when nothing is open.
    void close() override;

    // 8 data bits, no parity, 1 stop bit, no flow control, receiver on, modem lines ignored.
    // bitRate 0 leaves the speed as it is; a rate outside the supported six sets the format but
    // keeps the speed and returns false.
    bool configure(uint32_t bitRate) override;
    static bool isSupportedBitRate(uint32_t bitRate);

    // Throws away what waits in both directions.
    bool purge() override;

    // Reads up to destination.size() bytes under the time-outs. Returns the number of bytes
    // read (0 on a time-out with nothing received), or -1 when the device failed or vanished.
    int read(std::span<uint8_t> destination, const ReadTimeouts& timeouts = {}) override;

    // Queues every byte for sending. False when the device failed or the time-out passed.
    bool write(std::span<const uint8_t> bytes, const WriteTimeouts& timeouts = {}) override;

    // Bytes waiting in the input queue, or -1 when the device failed.
    int bytesWaiting() override;

    // Waits until input is waiting or the deadline passes. 1 when input waits, 0 on time-out,
    // -1 when the device failed or vanished.
    int waitForInput(Clock::time_point deadline) override;

    SerialError lastError() const override { return lastError_; }
    const std::string& path() const { return path_; }

private:
    bool fail(SerialError error);
    // error is errno on POSIX, GetLastError() on Windows.
    bool failSystem(unsigned long error);

#ifdef _WIN32
    bool applyTimeouts(const ReadTimeouts& read, const WriteTimeouts& write);

    void* handle_ = nullptr;  // the port's HANDLE; null when closed
    // The time-outs the driver holds now, so that they are set only when a call needs others.
    ReadTimeouts appliedRead_{};
    WriteTimeouts appliedWrite_{};
    bool timeoutsApplied_ = false;
    // A byte that arrived while waitForInput waited in the driver: the next read returns it
    // first, and the count of bytes waiting includes it.
    int heldByte_ = -1;
#else
    int fd_ = -1;
#endif
    std::string path_;
    SerialError lastError_ = SerialError::None;
};

}  // namespace kestiva
