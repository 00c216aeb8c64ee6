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

namespace kestiva {

// What went wrong with the device, mapped once where the system call failed.
enum class SerialError {
    None,
    NotFound,            // no such device
    PermissionDenied,    // no access rights
    Busy,                // another process holds it exclusively
    NotSerial,           // it exists but is not a terminal device
    UnsupportedBitRate,  // not one of the six rates the controllers speak
    ResourceLost,        // the device vanished while open (unplugged, hung up)
    TimedOut,            // a write could not queue its bytes in time
    NotOpen,
    Other,
};

const char* serialErrorText(SerialError error);

// Read time-outs: a read of n bytes returns when n bytes have arrived, when more than
// `interval` passes between two bytes (timed from the first byte on), or when
// `totalConstant + totalPerByte * n` has passed since the call.
struct ReadTimeouts {
    std::chrono::milliseconds interval{10};
    std::chrono::milliseconds totalPerByte{10};
    std::chrono::milliseconds totalConstant{10};
};

// The write gives up when not all bytes are queued within constant + per-byte * n.
struct WriteTimeouts {
    std::chrono::milliseconds totalPerByte{200};
    std::chrono::milliseconds totalConstant{30000};
};

class SerialDevice {
public:
    using Clock = std::chrono::steady_clock;

    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens the device at path for exclusive use and makes the line raw at its current speed.
    // Closes whatever this object had open first. False with lastError() set on failure.
    bool open(const std::string& path);
    bool isOpen() const;
    // Gives up exclusive use and closes. Harmless when nothing is open.
    void close();

    // 8 data bits, no parity, 1 stop bit, no flow control, receiver on, modem lines ignored.
    // bitRate 0 leaves the speed as it is; a rate outside the supported six sets the format but
    // keeps the speed and returns false.
    bool configure(uint32_t bitRate);
    static bool isSupportedBitRate(uint32_t bitRate);

    // Throws away what waits in both directions.
    bool purge();

    // Reads up to destination.size() bytes under the time-outs. Returns the number of bytes
    // read (0 on a time-out with nothing received), or -1 when the device failed or vanished.
    int read(std::span<uint8_t> destination, const ReadTimeouts& timeouts = {});

    // Queues every byte for sending. False when the device failed or the time-out passed.
    bool write(std::span<const uint8_t> bytes, const WriteTimeouts& timeouts = {});

    // Bytes waiting in the input queue, or -1 when the device failed.
    int bytesWaiting();

    // Waits until input is waiting or the deadline passes. 1 when input waits, 0 on time-out,
    // -1 when the device failed or vanished.
    int waitForInput(Clock::time_point deadline);

    SerialError lastError() const { return lastError_; }
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
