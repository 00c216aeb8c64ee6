// Serial devices found in a device tree, and the port links that assign them to COMn names.

#include "link/SerialPorts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "link/SerialLink.h"
#include "link/SimProcess.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using testing::TempProgramFolder;

// A folder that plays "/": dev/ with plain files where the device nodes would be.
class FakeRoot {
public:
    FakeRoot() { fs::create_directories(dev() + "serial/by-id"); }
    std::string root() const { return folder_.path(); }
    std::string dev() const { return root() + "dev/"; }
    std::string node(const std::string& name) const {
        std::ofstream(dev() + name) << "";
        return dev() + name;
    }
    std::string byId(const std::string& name, const std::string& target) const {
        fs::create_symlink(target, dev() + "serial/by-id/" + name);
        return dev() + "serial/by-id/" + name;
    }

private:
    TempProgramFolder folder_;
};

TEST(SerialPorts, ListsAdaptersByIdAndOnlyTheTtySPortsWithAUart) {
    FakeRoot tree;
    const std::string usb0 = tree.node("ttyUSB0");
    const std::string acm1 = tree.node("ttyACM1");
    for (const char* name : {"ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyS10"})
        tree.node(name);
    for (const char* name : {"tty", "tty1", "ttyUSB", "ttyUSBx", "ttyS1a", "console"})
        tree.node(name);
    const std::string ftdi =
        tree.byId("usb-FTDI_FT232R_USB_UART_A10KX2-if00-port0", "../../ttyUSB0");
    // udev writes relative links; an absolute one still means a node inside the tree.
    const std::string acm = tree.byId("usb-Arduino_Uno_7523-if00", "/dev/ttyACM1");
    tree.byId("usb-Unplugged_Adapter-if00-port0", "../../ttyUSB7");

    std::vector<std::string> asked;
    const auto uartOn1And10 = [&](const std::string& path) {
        asked.push_back(fs::path(path).filename().string());
        return path.ends_with("ttyS1") || path.ends_with("ttyS10");
    };
    const std::vector<SerialDeviceInfo> devices = listSerialDevices(tree.root(), uartOn1And10);

    struct Expected {
        std::string path, byId, readableName, linkTarget;
    };
    const Expected expected[] = {
        {usb0, ftdi, "usb-FTDI_FT232R_USB_UART_A10KX2-if00-port0", ftdi},
        {acm1, acm, "usb-Arduino_Uno_7523-if00", acm},
        {tree.dev() + "ttyS1", "", "ttyS1", tree.dev() + "ttyS1"},
        {tree.dev() + "ttyS10", "", "ttyS10", tree.dev() + "ttyS10"},
    };
    ASSERT_EQ(devices.size(), std::size(expected));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(expected[i].path);
        EXPECT_EQ(devices[i].path, expected[i].path);
        EXPECT_EQ(devices[i].byId, expected[i].byId);
        EXPECT_EQ(devices[i].readableName(), expected[i].readableName);
        EXPECT_EQ(devices[i].linkTarget(), expected[i].linkTarget);
    }
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"ttyS0", "ttyS1", "ttyS10", "ttyS2", "ttyS3"}))
        << "only ttyS nodes are asked whether a UART is behind them";

    EXPECT_TRUE(listSerialDevices(tree.root() + "absent/", uartOn1And10).empty());
}

TEST(SerialPorts, AssignmentsWriteReplaceAndRemoveTheLinks) {
    TempProgramFolder folder;
    const std::string programFolder = folder.path();
    fs::remove(programFolder + "System/ports");  // the first assignment makes the folder
    const std::string device = programFolder + "device";
    std::ofstream(device) << "";
    struct Case {
        const char* name;
        std::string device;
        bool accepted;
        const char* linkName;  // the link that must then hold device; nullptr: no link
    };
    const Case cases[] = {
        {"COM3", "/dev/ttyUSB0", true, "COM3"},
        {"COM3", device, true, "COM3"},  // replaces the earlier link
        {"com12", "/dev/serial/by-id/usb-x", true, "COM12"},
        {"COM256", "/dev/ttyACM0", true, "COM256"},
        {"COM12", "", true, nullptr},  // back to /dev/ttyS11
        {"COM0", "/dev/ttyUSB0", false, nullptr},
        {"COM257", "/dev/ttyUSB0", false, nullptr},
        {"COM03", "/dev/ttyUSB0", false, nullptr},
        {"ttyUSB0", "/dev/ttyUSB0", false, nullptr},
        {"COM4", "ttyUSB0", false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " -> " + c.device);
        std::string error;
        EXPECT_EQ(assignPort(programFolder, c.name, c.device, error), c.accepted) << error;
        EXPECT_EQ(error.empty(), c.accepted) << error;
        if (c.linkName != nullptr) {
            EXPECT_EQ(fs::read_symlink(programFolder + "System/ports/" + c.linkName), c.device);
        }
    }
    // What remains, and nothing half-made beside it.
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(programFolder + "System/ports"))
        entries.push_back(entry.path().filename().string());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"COM256", "COM3"}));
    EXPECT_EQ(resolvePortDevice(programFolder, "COM3"), programFolder + "System/ports/COM3");
    EXPECT_EQ(resolvePortDevice(programFolder, "COM12"), "/dev/ttyS11");

    // An entry made by hand is neither replaced nor removed.
    std::ofstream(programFolder + "System/ports/COM5") << "keep";
    for (const std::string& target : {std::string("/dev/ttyUSB0"), std::string()}) {
        std::string error;
        EXPECT_FALSE(assignPort(programFolder, "COM5", target, error));
        EXPECT_NE(error.find("COM5"), std::string::npos) << error;
    }
    EXPECT_TRUE(fs::is_regular_file(programFolder + "System/ports/COM5"));
}

TEST(SerialPorts, AssignmentsTellTheDeviceAndWhetherItIsThere) {
    TempProgramFolder folder;
    const std::string device = folder.path() + "device";
    std::ofstream(device) << "";
    fs::create_symlink(device, folder.portLink(1));
    fs::create_symlink("/nonexistent/kestiva-port", folder.portLink(2));
    std::ofstream(folder.portLink(4)) << "";  // not a link: opened as it is

    const std::vector<PortAssignment> ports = readPortAssignments(folder.path(), 4);
    struct Expected {
        std::string name, device;
        bool linked, present;
    };
    const Expected expected[] = {
        {"COM1", device, true, true},
        {"COM2", "/nonexistent/kestiva-port", true, false},
        {"COM3", "/dev/ttyS2", false, fs::exists("/dev/ttyS2")},
        {"COM4", folder.portLink(4), true, true},
    };
    ASSERT_EQ(ports.size(), std::size(expected));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(ports[i].name, expected[i].name);
        EXPECT_EQ(ports[i].device, expected[i].device);
        EXPECT_EQ(ports[i].linked, expected[i].linked);
        EXPECT_EQ(ports[i].present, expected[i].present);
    }
    EXPECT_TRUE(readPortAssignments(folder.path(), 0).empty());
    EXPECT_EQ(readPortAssignments(folder.path(), 1000).size(), 256u);
}

}  // namespace
}  // namespace kestiva
