#pragma once
// The one serial port the program talks through: open by "COMn" name, line set-up with the
// Modbus silent time, close. At most one port is open per SerialLink, and the program keeps
// one SerialLink; every port context describes that same port.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "link/SerialDevice.h"
#include "settings/CommunicationSettings.h"

namespace kestiva {

// What one user of the port (a communication settings page) knows about it.
struct PortContext {
    std::string portName;         // the name that was opened; empty when closed or failed
    uint32_t bitRate = 0;         // set by the last configuration; 0 after a close
    int32_t silentTimeMs = 0;     // 3.5-character time times the silent factor
    int32_t responseDelayMs = 0;  // the response delay of the last configuration
};

// The read time-outs every port runs with: 10 ms between bytes, 10 ms per byte plus 10 ms in
// total.
inline constexpr ReadTimeouts kPortReadTimeouts{};

// silentFactor times the 3.5-character time at bitRate (10 bits per character), truncated to
// whole milliseconds. 0 for bit rate 0.
int32_t silentTimeMs(uint32_t bitRate, uint8_t silentFactor);

// n of "COMn" (any case) for n from 1 to 256 written without a leading zero; 0 for any other
// name.
int portNumber(const std::string& name);

// Where the link that names COMn's device lives: <programFolder>System/ports/COMn.
std::string portLinkPath(const std::string& programFolder, int number);

// The device COMn opens when it has no link: /dev/ttyS<n-1>.
std::string defaultPortDevice(int number);

// The device a port name stands for: "COMn" is <programFolder>System/ports/COMn when that
// entry exists (a link to /dev/ttyUSB0, or to a simulator's pseudo-terminal), otherwise
// /dev/ttyS<n-1>. Empty for a name that is not "COM" followed by a number from 1 to 256.
std::string resolvePortDevice(const std::string& programFolder, const std::string& name);

class SerialLink {
public:
    // programFolder ends with '/'; port links are looked up in its System/ports/.
    explicit SerialLink(std::string programFolder);

    // Closes the open port (through context), then opens name. 0, or -1 with no port open and
    // context.portName empty.
    int openPort(PortContext& context, const std::string& name);

    // Sets the line to 8N1 at bitRate (0 keeps the speed and the silent time) and stores the
    // bit rate, silent time and response delay in context. -1 when no port is open or the line
    // cannot be set (a bit rate outside the supported six: the line keeps its old speed, and
    // context is left as it was).
    int configurePort(uint32_t bitRate, PortContext& context, uint8_t silentFactor,
                      int32_t responseDelay);

    // Closes the port and clears context's name and bit rate; nothing when no port is open.
    void closePort(PortContext& context);

    // Opens settings.portName and configures it from settings. The open's result is not
    // tested: a failed open leaves no port and the configuration returns -1.
    int openSamplingPort(PortContext& context, const CommunicationSettings& settings);

    bool isOpen() const;
    const std::string& programFolder() const { return programFolder_; }
    // Why the last operation on the device failed.
    SerialError lastError() const;

    // Byte input and output for the Modbus master. All fail with -1/false when no port is
    // open or the device vanished.
    bool write(std::span<const uint8_t> bytes);
    int read(std::span<uint8_t> destination);
    int bytesWaiting();
    int waitForInput(SerialDevice::Clock::time_point deadline);

private:
    std::string programFolder_;
    // Guards the device against a close from one thread while another reads or writes; each
    // operation holds it at most for its own time-out.
    mutable std::mutex mutex_;
    SerialDevice device_;
};

}  // namespace kestiva
