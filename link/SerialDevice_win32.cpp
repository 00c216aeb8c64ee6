// The serial device on the Windows communications functions.

#include <windows.h>

#include <algorithm>
#include <chrono>

#include "link/SerialDevice.h"
#include "settings/Utf8Path.h"

namespace kestiva {

namespace {

using Clock = SerialDevice::Clock;

// The driver's queues: room for the longest request and several pipelined replies.
constexpr DWORD kQueueBytes = 1024;

HANDLE asHandle(void* handle) {
    return static_cast<HANDLE>(handle);
}

// The one place where system error codes become device errors. While opening, a port that
// another program holds refuses with "access denied"; once open, the codes a driver gives
// for an unplugged adapter all mean the device went away under us.
SerialError mapSystemError(DWORD error, bool opening) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_NOT_READY:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_GEN_FAILURE:
        case ERROR_BAD_COMMAND:
        case ERROR_INVALID_HANDLE:
        case ERROR_OPERATION_ABORTED:
        case ERROR_BROKEN_PIPE:
            return opening ? SerialError::NotFound : SerialError::ResourceLost;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return opening ? SerialError::Busy : SerialError::ResourceLost;
        case ERROR_INVALID_FUNCTION:
        case ERROR_NOT_SUPPORTED:
            return opening ? SerialError::NotSerial : SerialError::ResourceLost;
        default:
            return SerialError::Other;
    }
}

// Raw binary line: 8N1, no software or hardware flow control, RTS off (a raised RTS keys the
// RS-485 driver of some adapters and blocks the reply). Null bytes are kept, line errors do
// not stop the reads, and DSR does not gate the input: a register value may be any byte.
void makeRaw(DCB& dcb) {
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
}

DWORD wholeMs(std::chrono::milliseconds ms) {
    return DWORD(std::max<std::chrono::milliseconds::rep>(ms.count(), 0));
}

// The driver's time-outs have the same meaning as ours, with one exception: all three read
// time-outs zero waits forever there, and returns at once here.
COMMTIMEOUTS driverTimeouts(const ReadTimeouts& read, const WriteTimeouts& write) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = wholeMs(read.interval);
    t.ReadTotalTimeoutMultiplier = wholeMs(read.totalPerByte);
    t.ReadTotalTimeoutConstant = wholeMs(read.totalConstant);
    if (t.ReadIntervalTimeout == 0 && t.ReadTotalTimeoutMultiplier == 0 &&
        t.ReadTotalTimeoutConstant == 0)
        t.ReadIntervalTimeout = MAXDWORD;
    t.WriteTotalTimeoutMultiplier = wholeMs(write.totalPerByte);
    t.WriteTotalTimeoutConstant = wholeMs(write.totalConstant);
    return t;
}

bool sameTimeouts(const ReadTimeouts& a, const ReadTimeouts& b) {
    return a.interval == b.interval && a.totalPerByte == b.totalPerByte &&
           a.totalConstant == b.totalConstant;
}

bool sameTimeouts(const WriteTimeouts& a, const WriteTimeouts& b) {
    return a.totalPerByte == b.totalPerByte && a.totalConstant == b.totalConstant;
}

}  // namespace

bool SerialDevice::failSystem(unsigned long error) {
    return fail(mapSystemError(DWORD(error), !isOpen()));
}

bool SerialDevice::isOpen() const {
    return handle_ != nullptr;
}

bool SerialDevice::open(const std::string& path) {
    close();
    // No sharing: a second opener, this program or another, is refused while we hold it.
    HANDLE handle = CreateFileW(widePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failSystem(GetLastError());
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetFileType(handle) != FILE_TYPE_CHAR || !GetCommState(handle, &dcb)) {
        CloseHandle(handle);
        return fail(SerialError::NotSerial);
    }
    (void)SetupComm(handle, kQueueBytes, kQueueBytes);
    // Until the first configure the line must already pass every byte as it is.
    makeRaw(dcb);
    (void)SetCommState(handle, &dcb);
    handle_ = handle;
    path_ = path;
    timeoutsApplied_ = false;
    heldByte_ = -1;
    lastError_ = SerialError::None;
    return true;
}

void SerialDevice::close() {
    if (!isOpen())
        return;
    CloseHandle(asHandle(handle_));
    handle_ = nullptr;
    heldByte_ = -1;
    path_.clear();
}

bool SerialDevice::configure(uint32_t bitRate) {
    if (!isOpen())
        return fail(SerialError::NotOpen);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(asHandle(handle_), &dcb))
        return failSystem(GetLastError());
    makeRaw(dcb);
    const bool speedSet = bitRate == 0 || isSupportedBitRate(bitRate);
    if (bitRate != 0 && speedSet)
        dcb.BaudRate = bitRate;
    if (!SetCommState(asHandle(handle_), &dcb))
        return failSystem(GetLastError());
    if (!speedSet)
        return fail(SerialError::UnsupportedBitRate);
    lastError_ = SerialError::None;
    return true;
}

bool SerialDevice::purge() {
    if (!isOpen())
        return fail(SerialError::NotOpen);
    heldByte_ = -1;
    if (!PurgeComm(asHandle(handle_),
                   PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR))
        return failSystem(GetLastError());
    return true;
}

bool SerialDevice::applyTimeouts(const ReadTimeouts& read, const WriteTimeouts& write) {
    if (timeoutsApplied_ && sameTimeouts(read, appliedRead_) && sameTimeouts(write, appliedWrite_))
        return true;
    COMMTIMEOUTS t = driverTimeouts(read, write);
    if (!SetCommTimeouts(asHandle(handle_), &t))
        return failSystem(GetLastError());
    appliedRead_ = read;
    appliedWrite_ = write;
    timeoutsApplied_ = true;
    return true;
}

int SerialDevice::read(std::span<uint8_t> destination, const ReadTimeouts& timeouts) {
    if (!isOpen()) {
        fail(SerialError::NotOpen);
        return -1;
    }
    std::size_t got = 0;
    if (heldByte_ >= 0 && !destination.empty()) {
        destination[0] = uint8_t(heldByte_);
        heldByte_ = -1;
        got = 1;
    }
    if (got == destination.size())
        return int(got);
    if (!applyTimeouts(timeouts, appliedWrite_))
        return -1;
    DWORD read = 0;
    if (!ReadFile(asHandle(handle_), destination.data() + got, DWORD(destination.size() - got),
                  &read, nullptr)) {
        failSystem(GetLastError());
        return -1;
    }
    got += read;
    // A read that timed out short may have met a device that is gone: ask the driver, so that
    // a vanished adapter fails this call rather than the next ones one time-out each.
    if (got < destination.size() && bytesWaiting() < 0)
        return -1;
    return int(got);
}

int SerialDevice::waitForInput(Clock::time_point deadline) {
    if (!isOpen()) {
        fail(SerialError::NotOpen);
        return -1;
    }
    for (;;) {
        const int waiting = bytesWaiting();
        if (waiting != 0)
            return waiting > 0 ? 1 : -1;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return 0;
        // The driver waits for us: a read of one byte that gives up after what is left. The
        // byte it brings is held for the next read.
        if (!applyTimeouts({std::chrono::milliseconds(0), std::chrono::milliseconds(0), left},
                           appliedWrite_))
            return -1;
        uint8_t byte = 0;
        DWORD read = 0;
        if (!ReadFile(asHandle(handle_), &byte, 1, &read, nullptr)) {
            failSystem(GetLastError());
            return -1;
        }
        if (read == 1) {
            heldByte_ = byte;
            return 1;
        }
    }
}

bool SerialDevice::write(std::span<const uint8_t> bytes, const WriteTimeouts& timeouts) {
    if (!isOpen())
        return fail(SerialError::NotOpen);
    if (bytes.empty())
        return true;
    if (!applyTimeouts(appliedRead_, timeouts))
        return false;
    DWORD written = 0;
    if (!WriteFile(asHandle(handle_), bytes.data(), DWORD(bytes.size()), &written, nullptr))
        return failSystem(GetLastError());
    if (written < bytes.size())
        return fail(SerialError::TimedOut);
    return true;
}

int SerialDevice::bytesWaiting() {
    if (!isOpen()) {
        fail(SerialError::NotOpen);
        return -1;
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(asHandle(handle_), &errors, &status)) {
        failSystem(GetLastError());
        return -1;
    }
    return int(status.cbInQue) + (heldByte_ >= 0 ? 1 : 0);
}

}  // namespace kestiva
