#pragma once
// The serial devices of this machine and the device each port name stands for: what the
// ports dialog and `kestiva-cli ports` show, and the System/ports/COMn links they write. On
// Windows "COMn" is the system's own device and the list is the system's; nothing is linked.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestiva {

// One serial device found on the machine.
struct SerialDeviceInfo {
    std::string path;  // the device node, /dev/ttyUSB0
    std::string byId;  // its name under /dev/serial/by-id/, empty when udev gave it none

    // The by-id file name (maker, model and serial number of an adapter), else the node's name.
    std::string readableName() const;
    // What a port link points to: the by-id name when there is one, since it stays with the
    // adapter whichever order adapters are plugged in; else the node.
    std::string linkTarget() const;
};

// Whether the ttyS node at path has a UART behind it: the kernel makes ttyS0 to ttyS31 whether
// or not there is hardware, and reports PORT_UNKNOWN for the empty ones.
using RealPortCheck = std::function<bool(const std::string& path)>;
bool isRealSerialPort(const std::string& path);

// The serial devices under root ("/" for this machine; a test gives a folder holding dev/):
// the device of each /dev/serial/by-id/ entry, /dev/ttyUSB*, /dev/ttyACM*, and the /dev/ttyS*
// that realPort accepts. USB adapters first, then ACM, ttyS and any other, each by number.
std::vector<SerialDeviceInfo> listSerialDevices(const std::string& root = "/",
                                                const RealPortCheck& realPort = isRealSerialPort);

// One value of the system's own list of serial ports (on Windows the registry's device map):
// the driver's device name and the port name it gave, \Device\Serial0 and COM1.
struct PortMapEntry {
    std::string device;
    std::string port;
};

// The ports of such a list that this program can open (COM1 to COM256), each once, in number
// order: the device that opens it as path, the driver's device name as byId.
std::vector<SerialDeviceInfo> devicesFromPortMap(const std::vector<PortMapEntry>& entries);

// The device one port name opens now.
struct PortAssignment {
    std::string name;      // "COMn"
    std::string device;    // the link's target, or /dev/ttyS<n-1> without a link
    bool linked = false;   // System/ports/COMn names the device
    bool network = false;  // device is a network target's text (System/ports/COMn-target)
    bool present = false;  // the device is there (a network target is taken to be)
    // Why the device cannot be reached when that is not simply its absence, in the system's
    // words (a loop of links: "too many levels of symbolic links"); empty otherwise.
    std::string problem;
};

// COMn's assignment; programFolder ends with '/'. number from 1 to 256.
PortAssignment readPortAssignment(const std::string& programFolder, int number);

// COMn's network target as an assignment, when it has one.
std::optional<PortAssignment> readNetworkAssignment(const std::string& programFolder, int number);

// Writes text as COMn's network target, replacing any earlier one whole; removes it when text
// is empty. False with error when the file cannot be written or removed.
bool writePortTarget(const std::string& programFolder, int number, const std::string& text,
                     std::string& error);
// COM1 to COM<portCount>.
std::vector<PortAssignment> readPortAssignments(const std::string& programFolder, int portCount);

// The first of COM1 to COM<portCount> whose network target is target (compared in canonical
// form, so tcp://h and tcp://h:502 are one target); 0 when none leads there.
int portLeadingTo(const std::string& programFolder, int portCount, const std::string& target);

// Why name=device cannot be assigned: a name other than COM1 to COM256, a device that is not
// an absolute path or holds a control character (a line break in a link's target would split
// every listing that shows it), or a malformed network target. Empty when it can.
std::string portAssignmentError(const std::string& name, const std::string& device);

// Makes the port name open device from now on, or /dev/ttyS<n-1> again when device is empty.
// A network target is written to COMn-target (and the link, if any, removed); a device or
// nothing removes COMn-target. Assignments from before network targets are links only and
// keep working unchanged.
// The new link is made under a temporary name and renamed over the old one, so that an open at
// the same moment finds the old device or the new one, never none. False with error for a name
// that is not COM1 to COM256, a device that is not an absolute path, or a link that cannot be
// written.
bool assignPort(const std::string& programFolder, const std::string& name,
                const std::string& device, std::string& error);

}  // namespace kestiva
