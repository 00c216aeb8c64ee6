// kestiva-cli ports: the serial devices of this machine and the device each port name opens;
// --assign links a port name to a device, as the ports dialog does.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "link/NetworkTarget.h"
#include "link/SerialLink.h"
#include "link/SerialPorts.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"
#include "tools/cli/TerminalSession.h"

namespace kestiva::cli {

namespace {

constexpr const char* kHelp =
    "Usage: kestiva-cli ports [--assign COMn=DEVICE|TARGET] [--json] [--system DIR]\n"
    "\n"
    "Lists the serial devices of this machine (/dev/serial/by-id/ names, /dev/ttyUSB*,\n"
    "/dev/ttyACM*, and the /dev/ttyS* with a UART behind them) and, for COM1 to COM<COM_NUM>,\n"
    "the device each opens: the one that <System>/ports/COMn links to, else /dev/ttyS<n-1>,\n"
    "and whether it is there.\n"
    "\n"
    "  --assign COMn=DEVICE   make COMn open DEVICE (an absolute path, for example\n"
    "                         /dev/ttyUSB0 or a /dev/serial/by-id/ name, which stays with the\n"
    "                         adapter whatever order adapters are plugged in); COMn= gives\n"
    "                         COMn back its /dev/ttyS<n-1>. The list shown is the new one.\n"
    "  --assign COMn=tcp://HOST[:PORT]\n"
    "                         make COMn lead to a Modbus TCP controller or gateway (port\n"
    "                         502 unless given), kept in <System>/ports/COMn-target\n"
    "  --assign COMn=rtu-tcp://HOST:PORT\n"
    "                         the same for a gateway that passes the serial frames as they\n"
    "                         are (transparent mode)\n"
    "\n"
    "Opening a serial port needs membership of the dialout group:\n"
    "  sudo usermod -aG dialout $USER    (then log out and in again)\n";

struct Assignment {
    std::string port;
    std::string device;
};

// "COMn=DEVICE" split at its first '='; nullopt with error for a wrong one.
std::optional<Assignment> parseAssignment(const std::string& text, std::string& error) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
        error = "--assign: COMn=DEVICE or COMn=tcp://HOST[:PORT] expected: " + text;
        return std::nullopt;
    }
    Assignment assignment{text.substr(0, equals), text.substr(equals + 1)};
    if (const std::string wrong = portAssignmentError(assignment.port, assignment.device);
        !wrong.empty()) {
        error = "--assign: " + wrong;
        return std::nullopt;
    }
    return assignment;
}

Json devicesJson(const std::vector<SerialDeviceInfo>& devices) {
    Json list = Json::array();
    for (const SerialDeviceInfo& device : devices) {
        list.push(Json::object()
                      .set("path", device.path)
                      .set("byId", device.byId.empty() ? Json() : Json(device.byId))
                      .set("name", device.readableName())
                      .set("linkTarget", device.linkTarget()));
    }
    return list;
}

Json portsJson(const std::vector<PortAssignment>& ports) {
    Json list = Json::array();
    for (const PortAssignment& port : ports) {
        list.push(Json::object()
                      .set("name", port.name)
                      .set("device", port.device)
                      .set("linked", port.linked)
                      .set("network", port.network)
                      .set("present", port.present)
                      .set("problem", port.problem.empty() ? Json() : Json(port.problem)));
    }
    return list;
}

std::string padded(std::string text, std::size_t width) {
    text.resize(std::max(width, text.size()), ' ');
    return text;
}

std::string devicesText(const std::vector<SerialDeviceInfo>& devices) {
    std::string out = "Serial devices:\n";
    if (devices.empty())
        out += "  (none found)\n";
    for (const SerialDeviceInfo& device : devices) {
        if (device.byId.empty())
            out += "  " + device.path + "\n";
        else
            out += "  " + padded(device.path, 14) + "  " + device.byId + "\n";
    }
    return out;
}

std::string portsText(const std::vector<PortAssignment>& ports, const std::string& linkFolder) {
    std::string out = "Ports (links in " + linkFolder + "):\n";
    for (const PortAssignment& port : ports) {
        out += "  " + padded(port.name, 6) + "  " + padded(port.device, 14) + "  " +
               (port.network ? "network" : port.linked ? "linked" : "default") +
               (port.present ? "" : ", " + (port.problem.empty() ? "not present" : port.problem)) +
               "\n";
    }
    return out;
}

}  // namespace

int runPortsCommand(const Args& argv) {
    std::string error;
    const auto args = ParsedArgs::parse(argv, {{"--assign", true}}, error);
    if (!args)
        return usageError("ports", error);
    if (args->has("--help")) {
        printOut(kHelp);
        return kExitOk;
    }
    if (!args->positional().empty())
        return usageError("ports", "unexpected argument " + args->positional().front());
    std::optional<Assignment> assignment;
    if (const auto text = args->value("--assign")) {
        assignment = parseAssignment(*text, error);
        if (!assignment)
            return usageError("ports", error);
    }
    const auto folder = resolveSystemFolder(*args, error);
    if (!folder)
        return usageError("ports", error);
    const bool json = args->has("--json");

    TerminalSession terminal(*folder, false);
    Session& session = terminal.session;
    if (!loadCatalogue(terminal, json))
        return kExitFailure;
    session.loadCommunicationSettings();

    if (assignment) {
        if (!assignPort(folder->programFolder, assignment->port, assignment->device, error)) {
            std::fprintf(stderr, "kestiva-cli ports: %s\n", error.c_str());
            if (json)
                printOut(failureJson(error).dump());
            return kExitFailure;
        }
        std::error_code ec;
        if (!assignment->device.empty() && !looksLikeNetworkTarget(assignment->device) &&
            !std::filesystem::exists(assignment->device, ec))
            std::fprintf(stderr, "kestiva-cli ports: note: %s is not there now\n",
                         assignment->device.c_str());
    }

    const std::vector<SerialDeviceInfo> devices = listSerialDevices();
    const std::vector<PortAssignment> ports =
        readPortAssignments(folder->programFolder, session.settings().portCount);
    if (json) {
        printOut(Json::object()
                     .set("ok", true)
                     .set("devices", devicesJson(devices))
                     .set("ports", portsJson(ports))
                     .set("messages", terminal.window.messagesJson())
                     .dump());
    } else {
        printOut(devicesText(devices) + "\n" + portsText(ports, folder->systemFolder() + "ports/"));
    }
    return kExitOk;
}

}  // namespace kestiva::cli
