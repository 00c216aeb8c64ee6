#include "link/PortOpenFailure.h"

#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>

#include "link/NetworkTarget.h"
#include "link/SerialLink.h"
#include "link/SerialPorts.h"

namespace kestiva {

namespace fs = std::filesystem;

namespace {

// Device nodes have one name each but are reached through links (System/ports/COMn, by-id
// names); /proc shows the node's own path.
std::string nodePath(const std::string& device) {
    std::error_code ec;
    const fs::path canonical = fs::canonical(device, ec);
    return ec ? device : canonical.string();
}

// The process id a /proc entry is named for; 0 for the entries that are not processes.
int processId(const fs::path& entry) {
    const std::string name = entry.filename().string();
    int pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    return error == std::errc() && end == name.data() + name.size() && pid > 0 ? pid : 0;
}

bool hasOpen(const fs::path& process, const std::string& node) {
    std::error_code ec;
    for (fs::directory_iterator it(process / "fd", ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code unreadable;
        if (fs::read_symlink(it->path(), unreadable) == node && !unreadable)
            return true;
    }
    return false;
}

std::string commandOf(const fs::path& process) {
    std::ifstream comm(process / "comm");
    std::string command;
    std::getline(comm, command);
    return command;
}

std::string holderText(const LanguageCatalogue& texts, const std::optional<PortHolder>& holder) {
    if (!holder)
        return texts.GetText(text::MSG_COMOPEN_REASON_IN_USE);
    std::string process = std::to_string(holder->pid);
    if (!holder->command.empty())
        process += " (" + holder->command + ")";
    std::string line = texts.GetText(text::MSG_COMOPEN_REASON_IN_USE_BY);
    if (const std::size_t at = line.find("%1"); at != std::string::npos)
        line.replace(at, 2, process);
    return line;
}

TextId reasonText(SerialError error) {
    switch (error) {
        case SerialError::NotFound:
            return text::MSG_COMOPEN_REASON_NO_DEVICE;
        // Debian and its derivatives give serial devices to the dialout group; membership
        // counts only from the next log-in.
        case SerialError::PermissionDenied:
            return text::MSG_COMOPEN_REASON_DIALOUT;
        case SerialError::NotSerial:
            return text::MSG_COMOPEN_REASON_NOT_SERIAL;
        case SerialError::UnsupportedBitRate:
            return text::MSG_COMOPEN_REASON_BIT_RATE;
        case SerialError::ResourceLost:
            return text::MSG_COMOPEN_REASON_DEVICE_LOST;
        default:
            return text::MSG_COMOPEN_REASON_DEVICE_ERROR;
    }
}

}  // namespace

std::optional<PortHolder> findPortHolder(const std::string& device, const std::string& procFolder) {
    const std::string node = nodePath(device);
    std::error_code ec;
    for (fs::directory_iterator it(procFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const int pid = processId(it->path());
        if (pid != 0 && pid != getpid() && hasOpen(it->path(), node))
            return PortHolder{pid, commandOf(it->path())};
    }
    return std::nullopt;
}

std::string portOpenFailureLine(const LanguageCatalogue& texts, const std::string& portName,
                                const std::string& device, SerialError error,
                                const std::optional<PortHolder>& holder,
                                const std::string& systemReason) {
    if (device.empty())
        return portName + ": " + texts.GetText(text::MSG_COMOPEN_REASON_NOT_A_PORT);
    const std::string port = portName + " (" + device + "): ";
    if (error == SerialError::Busy)
        return port + holderText(texts, holder);
    if (!systemReason.empty())
        return port + systemReason + ".";
    return port + texts.GetText(reasonText(error));
}

std::string describePortOpenFailure(const LanguageCatalogue& texts,
                                    const std::string& programFolder, const std::string& portName,
                                    SerialError error, const std::string& deviceReason) {
    // A target given as the port name is its own device.
    if (looksLikeNetworkTarget(portName))
        return portName + ": " +
               (deviceReason.empty() ? texts.GetText(reasonText(error)) : deviceReason + ".");
    const int number = portNumber(portName);
    if (number == 0)
        return portOpenFailureLine(texts, portName, "", error, std::nullopt);
    const PortAssignment assigned = readPortAssignment(programFolder, number);
    if (assigned.network)
        return portOpenFailureLine(texts, portName, assigned.device, error, std::nullopt,
                                   assigned.problem.empty() ? deviceReason : assigned.problem);
    std::optional<PortHolder> holder;
    if (error == SerialError::Busy)
        holder = findPortHolder(resolvePortDevice(programFolder, portName));
    return portOpenFailureLine(texts, portName, assigned.device, error, holder, assigned.problem);
}

}  // namespace kestiva
