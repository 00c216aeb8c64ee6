#pragma once
// The link's one device face: what the Modbus master needs from whatever carries its frames.
// A serial line (SerialDevice) and a TCP connection to a network target (NetworkDevice) both
// present RTU frames through it, so that the master, the engine and every stored frame stay
// the same whichever carries them.

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
    ConnectFailed,       // a network target did not take the connection (lastReason says why)
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

class LinkDevice {
public:
    using Clock = std::chrono::steady_clock;

    virtual ~LinkDevice() = default;

    // Opens path for exclusive use. Closes whatever this object had open first. False with
    // lastError() set on failure.
    virtual bool open(const std::string& path) = 0;
    virtual bool isOpen() const = 0;
    // Harmless when nothing is open.
    virtual void close() = 0;

    // Sets the line to 8N1 at bitRate; see SerialDevice. A network device has no line speed
    // and takes any rate.
    virtual bool configure(uint32_t bitRate) = 0;
    // Throws away what waits in both directions.
    virtual bool purge() = 0;

    // Up to destination.size() bytes under the time-outs: the count read, 0 on a time-out with
    // nothing received, -1 when the device failed or vanished.
    virtual int read(std::span<uint8_t> destination, const ReadTimeouts& timeouts) = 0;
    // Queues every byte of one frame for sending. False when the device failed or the time-out
    // passed.
    virtual bool write(std::span<const uint8_t> bytes, const WriteTimeouts& timeouts) = 0;
    // Bytes waiting to be read, or -1 when the device failed.
    virtual int bytesWaiting() = 0;
    // 1 when input waits, 0 when the deadline passed first, -1 when the device failed.
    virtual int waitForInput(Clock::time_point deadline) = 0;

    virtual SerialError lastError() const = 0;
    // The system's own words for the last failure when they tell more than lastError() (a
    // refused connection); empty otherwise.
    virtual std::string lastReason() const { return {}; }
};

}  // namespace kestiva
