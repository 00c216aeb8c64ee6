#pragma once
// The one port the program talks through: open by "COMn" name (or a network target's text),
// line set-up with the Modbus silent time, close. A port assigned a network target opens a
// NetworkDevice in place of the serial device; nothing above the link tells them apart but
// PortContext::network. At most one port is open per SerialLink, and the program keeps
// one SerialLink; every port context describes that same port.

#include <chrono>
#include <cstdint>
#include <memory>
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
    bool network = false;         // the open port is a network target: no bit rate applies
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

// Where COMn's network target is kept when it has one: <programFolder>System/ports/COMn-target,
// a text file of one line, beside the links (which a Windows build cannot make). Not
// "COMn.target": Windows takes any name of COM1 to COM9 with an extension for the port itself.
std::string portTargetPath(const std::string& programFolder, int number);

// COMn's network target text, empty when it has none.
std::string readPortTarget(const std::string& programFolder, int number);

// The device COMn opens when it has no link: /dev/ttyS<n-1>.
std::string defaultPortDevice(int number);

// The device a port name stands for: "COMn" is its network target when it has one, else
// <programFolder>System/ports/COMn when that entry exists (a link to /dev/ttyUSB0, or to a
// simulator's pseudo-terminal), otherwise /dev/ttyS<n-1>. A network target's text given as
// the name stands for itself. Empty for any other name.
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
    int waitForInput(LinkDevice::Clock::time_point deadline);
    // The system's words for the last failure (a refused connection), when it has them.
    std::string lastReason() const;

private:
    std::string programFolder_;
    // Guards the device against a close from one thread while another reads or writes; each
    // operation holds it at most for its own time-out.
    mutable std::mutex mutex_;
    // A SerialDevice, or a NetworkDevice while a network target is open; never null.
    std::unique_ptr<LinkDevice> device_;
};

}  // namespace kestiva
