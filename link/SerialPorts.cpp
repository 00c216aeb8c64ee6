// What the port list means the same on every platform.

#include <algorithm>
#include <utility>

#include "link/SerialLink.h"
#include "link/SerialPorts.h"
#include "settings/Utf8Path.h"

namespace kestiva {

std::string SerialDeviceInfo::readableName() const {
    return utf8Text(utf8Path(byId.empty() ? path : byId).filename());
}

std::string SerialDeviceInfo::linkTarget() const {
    return byId.empty() ? path : byId;
}

std::vector<PortAssignment> readPortAssignments(const std::string& programFolder, int portCount) {
    std::vector<PortAssignment> assignments;
    for (int number = 1; number <= std::min(portCount, 256); ++number)
        assignments.push_back(readPortAssignment(programFolder, number));
    return assignments;
}

std::string portAssignmentError(const std::string& name, const std::string& device) {
    if (portNumber(name) == 0)
        return "'" + name + "' is not a port name (COM1 to COM256)";
    // The link is read from the ports folder; a relative target would mean a path below it.
    if (!device.empty() && device.front() != '/')
        return "the device must be an absolute path: " + device;
    const auto control = [](unsigned char c) { return c < 0x20 || c == 0x7F; };
    if (std::any_of(device.begin(), device.end(), control))
        return "the device path holds a control character";
    return {};
}

std::vector<SerialDeviceInfo> devicesFromPortMap(const std::vector<PortMapEntry>& entries) {
    std::vector<std::pair<int, SerialDeviceInfo>> numbered;
    for (const PortMapEntry& entry : entries) {
        const int number = portNumber(entry.port);
        const bool known = std::any_of(numbered.begin(), numbered.end(),
                                       [&](const auto& seen) { return seen.first == number; });
        if (number != 0 && !known)
            numbered.push_back({number, {defaultPortDevice(number), entry.device}});
    }
    std::sort(numbered.begin(), numbered.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<SerialDeviceInfo> devices;
    for (auto& [number, device] : numbered)
        devices.push_back(std::move(device));
    return devices;
}

}  // namespace kestiva
