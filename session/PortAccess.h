#pragma once
// The serial ports as a front end's dialogs show them: the devices found on the machine, the
// device each port name opens, and the System/ports links that change it. Thin calls on the
// link's port functions, so that a front end reaches them through the session.

#include <string>
#include <utility>
#include <vector>

#include "link/NetworkTarget.h"
#include "link/SerialLink.h"
#include "link/SerialPorts.h"

namespace kestiva {

class PortAccess {
public:
    // programFolder ends with '/' and holds System/.
    explicit PortAccess(std::string programFolder) : programFolder_(std::move(programFolder)) {}

    std::vector<SerialDeviceInfo> devices() const { return listSerialDevices(); }
    // What COMn (1 to 256) opens now.
    PortAssignment assignment(int number) const {
        return readPortAssignment(programFolder_, number);
    }
    // The device a port name opens now; empty for a name that is not COM1 to COM256.
    std::string device(const std::string& name) const {
        return resolvePortDevice(programFolder_, name);
    }
    // See assignPort: device empty gives the port its default device again.
    bool assign(const std::string& name, const std::string& device, std::string& error) const {
        return assignPort(programFolder_, name, device, error);
    }
    // n of "COMn", 0 for any other name.
    static int number(const std::string& name) { return portNumber(name); }
    // What COMn opens without a link.
    static std::string defaultDevice(int number) { return defaultPortDevice(number); }
    // Whether text is meant as a network target (tcp://..., rtu-tcp://...).
    static bool looksLikeTarget(const std::string& text) { return looksLikeNetworkTarget(text); }
    // Whether text is a good network target; false with the reason in error.
    static bool validTarget(const std::string& text, std::string& error) {
        return parseNetworkTarget(text, error).has_value();
    }

private:
    std::string programFolder_;
};

}  // namespace kestiva
