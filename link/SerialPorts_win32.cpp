// The serial ports of a Windows machine: the system names them itself, COMn is its own device,
// and the list is the one the drivers write into the registry's device map.

#include <windows.h>

#include <algorithm>
#include <string>

#include "link/NetworkTarget.h"
#include "link/SerialLink.h"
#include "link/SerialPorts.h"

namespace kestiva {

namespace {

std::string narrow(const wchar_t* text, DWORD length) {
    if (length == 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, int(length), nullptr, 0, nullptr,
                                         nullptr);
    std::string result(std::size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, int(length), result.data(), size, nullptr, nullptr);
    return result;
}

// Each value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: named for the driver's device, holding the
// port name. None when the key is missing (a machine without serial ports).
std::vector<PortMapEntry> readPortMap() {
    std::vector<PortMapEntry> entries;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return entries;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        wchar_t data[256];
        DWORD nameLength = DWORD(std::size(name));
        DWORD dataBytes = sizeof data;
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataBytes);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        // The stored text may or may not end with its terminator.
        DWORD dataLength = dataBytes / sizeof(wchar_t);
        while (dataLength > 0 && data[dataLength - 1] == L'\0')
            --dataLength;
        entries.push_back({narrow(name, nameLength), narrow(data, dataLength)});
    }
    RegCloseKey(key);
    return entries;
}

}  // namespace

std::string defaultPortDevice(int number) {
    return "\\\\.\\COM" + std::to_string(number);
}

std::string resolvePortDevice(const std::string& programFolder, const std::string& name) {
    if (looksLikeNetworkTarget(name))
        return name;
    const int number = portNumber(name);
    if (number == 0)
        return {};
    // A network target is this program's own: it stands in front of the system's port.
    if (std::string target = readPortTarget(programFolder, number); !target.empty())
        return target;
    return defaultPortDevice(number);
}

// Every port the system lists has a device behind it.
bool isRealSerialPort(const std::string& path) {
    const std::vector<SerialDeviceInfo> devices = listSerialDevices();
    return std::any_of(devices.begin(), devices.end(),
                       [&](const SerialDeviceInfo& device) { return device.path == path; });
}

std::vector<SerialDeviceInfo> listSerialDevices(const std::string&, const RealPortCheck&) {
    return devicesFromPortMap(readPortMap());
}

PortAssignment readPortAssignment(const std::string& programFolder, int number) {
    if (auto network = readNetworkAssignment(programFolder, number))
        return *network;
    PortAssignment assignment;
    assignment.name = "COM" + std::to_string(number);
    assignment.device = defaultPortDevice(number);
    assignment.present = isRealSerialPort(assignment.device);
    return assignment;
}

bool assignPort(const std::string& programFolder, const std::string& name,
                const std::string& device, std::string& error) {
    // Only a network target is ours to assign; clearing one gives COMn back to the system.
    if (device.empty() || looksLikeNetworkTarget(device)) {
        error = portAssignmentError(name, device);
        return error.empty() && writePortTarget(programFolder, portNumber(name), device, error);
    }
    error = portAssignmentError(name, "");
    if (error.empty())
        error = "on Windows " + name +
                " is the system's own port; its number is changed in the Device Manager" +
                (device.empty() ? "" : ", not linked to " + device);
    return false;
}

}  // namespace kestiva
