// What the port list means the same on every platform.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "link/NetworkTarget.h"
#include "link/SerialLink.h"
#include "link/SerialPorts.h"
#include "settings/FileCalls.h"
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

int portLeadingTo(const std::string& programFolder, int portCount, const std::string& target) {
    std::string error;
    const auto wanted = parseNetworkTarget(target, error);
    if (!wanted)
        return 0;
    for (int number = 1; number <= std::min(portCount, 256); ++number) {
        const auto assigned = parseNetworkTarget(readPortTarget(programFolder, number), error);
        if (assigned && assigned->text() == wanted->text())
            return number;
    }
    return 0;
}

std::string portAssignmentError(const std::string& name, const std::string& device) {
    if (portNumber(name) == 0)
        return "'" + name + "' is not a port name (COM1 to COM256)";
    if (looksLikeNetworkTarget(device)) {
        std::string error;
        return parseNetworkTarget(device, error) ? std::string() : error;
    }
    // The link is read from the ports folder; a relative target would mean a path below it.
    if (!device.empty() && device.front() != '/')
        return "the device must be an absolute path: " + device;
    const auto control = [](unsigned char c) { return c < 0x20 || c == 0x7F; };
    if (std::any_of(device.begin(), device.end(), control))
        return "the device path holds a control character";
    return {};
}

std::optional<PortAssignment> readNetworkAssignment(const std::string& programFolder,
                                                   int number) {
    const std::string target = readPortTarget(programFolder, number);
    if (target.empty())
        return std::nullopt;
    PortAssignment assignment;
    assignment.name = "COM" + std::to_string(number);
    assignment.device = target;
    assignment.linked = true;
    assignment.network = true;
    assignment.present = true;
    std::string error;
    if (!parseNetworkTarget(target, error)) {
        assignment.present = false;
        assignment.problem = error;
    }
    return assignment;
}

bool writePortTarget(const std::string& programFolder, int number, const std::string& text,
                     std::string& error) {
    const std::string path = portTargetPath(programFolder, number);
    if (text.empty()) {
        if (!readRegularFile(path, 1024) || removeFile(path))
            return true;
        error = "cannot remove " + path;
        return false;
    }
    std::error_code ignored;  // a folder that cannot be made fails the write below
    std::filesystem::create_directories(utf8Path(path).parent_path(), ignored);
    // A new file beside it takes the old one's place whole, so that an open at the same moment
    // reads the old target or the new one, never a part.
    const std::string temporary = path + ".new-" + std::to_string(processId());
    removeFile(temporary);  // left by a copy of the same process id that crashed
    const int fd = createNewFile(temporary);
    const std::string line = text + "\n";
    bool written = fd >= 0 && writeAll(fd, line.data(), line.size()) && syncFile(fd);
    const int failure = errno;
    written = fd >= 0 && closeFile(fd) && written;
    if (written && replaceFile(temporary, path))
        return true;
    if (fd >= 0)
        removeFile(temporary);
    error = "cannot write " + path + ": " + std::strerror(written ? errno : failure);
    return false;
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
