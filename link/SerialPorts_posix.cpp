// The serial devices of a Linux machine and the System/ports links that name them.

#include "link/SerialPorts.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>
#include <tuple>

#include "link/NetworkTarget.h"
#include "link/SerialLink.h"

namespace kestiva {

namespace fs = std::filesystem;

namespace {

// In the order a user most likely wants them: a USB adapter is what most machines have today,
// a board's own UART is rarer.
enum class NodeKind { UsbAdapter, AcmDevice, BoardUart, Other };

constexpr std::pair<const char*, NodeKind> kNodePrefixes[] = {{"ttyUSB", NodeKind::UsbAdapter},
                                                              {"ttyACM", NodeKind::AcmDevice},
                                                              {"ttyS", NodeKind::BoardUart}};

// n when name is prefix followed by decimal digits only, else -1.
long numberAfter(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.size() > prefix.size() + 9 ||
        name.compare(0, prefix.size(), prefix) != 0)
        return -1;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    if (!std::all_of(first, last, [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    long number = 0;
    std::from_chars(first, last, number);
    return number;
}

// The kind of a node and its number.
std::pair<NodeKind, long> nodeKind(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    for (const auto& [prefix, kind] : kNodePrefixes) {
        if (const long number = numberAfter(name, prefix); number >= 0)
            return {kind, number};
    }
    return {NodeKind::Other, 0};
}

bool listedBefore(const SerialDeviceInfo& a, const SerialDeviceInfo& b) {
    return std::tuple(nodeKind(a.path), a.path) < std::tuple(nodeKind(b.path), b.path);
}

// The entries of folder, sorted, so that the listing is the same at every call; none when the
// folder is missing or unreadable.
std::vector<fs::path> sortedEntries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

// Where the by-id link at entry points, read within root: udev writes relative links
// ("../../ttyUSB0"); an absolute one is taken as inside root too.
std::optional<fs::path> byIdDevice(const fs::path& entry, const fs::path& root) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(entry, ec);
    if (ec)
        return std::nullopt;
    const fs::path node =
        target.is_absolute() ? root / target.relative_path() : entry.parent_path() / target;
    if (!fs::exists(node, ec))
        return std::nullopt;
    return node.lexically_normal();
}

// The UART type the kernel shows in sysfs, readable by every user: 0 is PORT_UNKNOWN.
bool sysfsKnowsUart(const std::string& nodeName) {
    std::ifstream type("/sys/class/tty/" + nodeName + "/type");
    int uart = PORT_UNKNOWN;
    return (type >> uart) && uart != PORT_UNKNOWN;
}

std::string systemReason(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// A port entry that exists but is not a link was put there by hand; it is never replaced.
bool isHandMadeEntry(const std::string& link) {
    struct stat st {};
    return lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode);
}

bool removePortLink(const std::string& link, std::string& error) {
    if (::unlink(link.c_str()) == 0 || errno == ENOENT)
        return true;
    error = "cannot remove " + link + ": " + systemReason(errno);
    return false;
}

bool replacePortLink(const std::string& link, const std::string& device, std::string& error) {
    const fs::path linkPath(link);
    std::error_code ignored;  // a folder that cannot be made fails the symlink below
    fs::create_directories(linkPath.parent_path(), ignored);
    // Hidden from a listing, and named for this process so that two programs assigning at once
    // never share one.
    const std::string temporary = linkPath.parent_path().string() + "/." +
                                  linkPath.filename().string() + ".new-" + std::to_string(getpid());
    (void)::unlink(temporary.c_str());
    if (::symlink(device.c_str(), temporary.c_str()) != 0) {
        error = "cannot write " + link + ": " + systemReason(errno);
        return false;
    }
    if (::rename(temporary.c_str(), link.c_str()) != 0) {
        const int failure = errno;
        (void)::unlink(temporary.c_str());
        error = "cannot write " + link + ": " + systemReason(failure);
        return false;
    }
    return true;
}

}  // namespace

std::string defaultPortDevice(int number) {
    return "/dev/ttyS" + std::to_string(number - 1);
}

std::string resolvePortDevice(const std::string& programFolder, const std::string& name) {
    if (looksLikeNetworkTarget(name))
        return name;
    int number = portNumber(name);
    if (number == 0)
        return {};
    if (std::string target = readPortTarget(programFolder, number); !target.empty())
        return target;
    std::string link = portLinkPath(programFolder, number);
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0)
        return link;
    return defaultPortDevice(number);
}

bool isRealSerialPort(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A user not yet in the port's group cannot open it, but should still see it listed.
        return errno == EACCES && sysfsKnowsUart(fs::path(path).filename().string());
    }
    serial_struct serial{};
    const bool real = ioctl(fd, TIOCGSERIAL, &serial) == 0 && serial.type != PORT_UNKNOWN;
    ::close(fd);
    return real;
}

std::vector<SerialDeviceInfo> listSerialDevices(const std::string& root,
                                                const RealPortCheck& realPort) {
    const fs::path rootPath(root);
    const fs::path dev = rootPath / "dev";
    std::vector<SerialDeviceInfo> devices;
    auto add = [&devices](const std::string& path, const std::string& byId) {
        for (const SerialDeviceInfo& known : devices) {
            if (known.path == path)
                return;
        }
        devices.push_back({path, byId});
    };
    for (const fs::path& entry : sortedEntries(dev / "serial" / "by-id")) {
        if (const auto node = byIdDevice(entry, rootPath))
            add(node->string(), entry.string());
    }
    for (const fs::path& entry : sortedEntries(dev)) {
        const NodeKind kind = nodeKind(entry.string()).first;
        if (kind == NodeKind::Other || (kind == NodeKind::BoardUart && !realPort(entry.string())))
            continue;
        add(entry.string(), "");
    }
    std::sort(devices.begin(), devices.end(), listedBefore);
    return devices;
}

PortAssignment readPortAssignment(const std::string& programFolder, int number) {
    if (auto network = readNetworkAssignment(programFolder, number))
        return *network;
    PortAssignment assignment;
    assignment.name = "COM" + std::to_string(number);
    const std::string link = portLinkPath(programFolder, number);
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(link, ec);
    if (fs::is_symlink(status)) {
        assignment.device = fs::read_symlink(link, ec).string();
        assignment.linked = true;
    } else if (fs::exists(status)) {
        assignment.device = link;  // opened as it stands, like any device node
        assignment.linked = true;
    } else {
        assignment.device = defaultPortDevice(number);
    }
    std::error_code unreachable;
    assignment.present = fs::exists(assignment.linked ? link : assignment.device, unreachable);
    if (unreachable) {
        // Lower case, as it goes after the device in a line of our own.
        assignment.problem = unreachable.message();
        if (!assignment.problem.empty())
            assignment.problem[0] =
                char(std::tolower(static_cast<unsigned char>(assignment.problem[0])));
    }
    return assignment;
}

bool assignPort(const std::string& programFolder, const std::string& name,
                const std::string& device, std::string& error) {
    error = portAssignmentError(name, device);
    if (!error.empty())
        return false;
    const int number = portNumber(name);
    const std::string link = portLinkPath(programFolder, number);
    if (isHandMadeEntry(link)) {
        error = link + " is not a link; it is left as it is";
        return false;
    }
    // The target goes first when one is set and last when one is cleared, so that a failure
    // halfway leaves the port leading to the old device or the new one.
    if (looksLikeNetworkTarget(device))
        return writePortTarget(programFolder, number, device, error) &&
               removePortLink(link, error);
    if (device.empty())
        return removePortLink(link, error) && writePortTarget(programFolder, number, "", error);
    return replacePortLink(link, device, error) &&
           writePortTarget(programFolder, number, "", error);
}

}  // namespace kestiva
