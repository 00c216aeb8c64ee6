// What the serial device means the same on every platform.

#include <algorithm>
#include <array>

#include "link/SerialDevice.h"

namespace kestiva {

namespace {

// The rates the controllers speak.
constexpr std::array<uint32_t, 6> kBitRates = {9600, 19200, 38400, 57600, 115200, 230400};

}  // namespace

const char* serialErrorText(SerialError error) {
    switch (error) {
        case SerialError::None:
            return "no error";
        case SerialError::NotFound:
            return "no such device";
        case SerialError::PermissionDenied:
            return "permission denied";
        case SerialError::Busy:
            return "device in use";
        case SerialError::NotSerial:
            return "not a serial device";
        case SerialError::UnsupportedBitRate:
            return "unsupported bit rate";
        case SerialError::ResourceLost:
            return "device lost";
        case SerialError::TimedOut:
            return "write timed out";
        case SerialError::NotOpen:
            return "device not open";
        case SerialError::ConnectFailed:
            return "connection failed";
        case SerialError::Other:
            break;
    }
    return "device error";
}

SerialDevice::~SerialDevice() {
    close();
}

bool SerialDevice::fail(SerialError error) {
    lastError_ = error;
    return false;
}

bool SerialDevice::isSupportedBitRate(uint32_t bitRate) {
    return std::find(kBitRates.begin(), kBitRates.end(), bitRate) != kBitRates.end();
}

}  // namespace kestiva
