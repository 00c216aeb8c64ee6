// Serial devices found in a device tree, and the port links that assign them to COMn names.

#include "link/SerialPorts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/SerialLink.h"
#include "link/SimProcess.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using testing::TempProgramFolder;

TEST(SerialPorts, ListsAdaptersByIdAndOnlyTheTtySPortsWithAUart) {
    TempProgramFolder root;  // plays "/", with plain files for the device nodes
    const std::string dev = root.path() + "dev/";
    fs::create_directories(dev + "serial/by-id");
    for (const char* name : {"ttyUSB0", "ttyACM1", "ttyS0", "ttyS1", "ttyS2", "ttyS3", "ttyS10",
                             "tty", "tty1", "ttyUSB", "ttyUSBx", "console"})
        std::ofstream(dev + name) << "";
    const std::string ftdi = dev + "serial/by-id/usb-FTDI_FT232R_A10KX2-if00-port0";
    const std::string uno = dev + "serial/by-id/usb-Arduino_Uno_7523-if00";
    fs::create_symlink("../../ttyUSB0", ftdi);
    fs::create_symlink("/dev/ttyACM1", uno);  // absolute: still a node inside the tree
    fs::create_symlink("../../ttyUSB7", dev + "serial/by-id/usb-Unplugged-if00-port0");

    std::vector<std::string> asked;
    const auto uartOn1And10 = [&](const std::string& path) {
        asked.push_back(fs::path(path).filename());
        return path.ends_with("ttyS1") || path.ends_with("ttyS10");
    };
    const auto devices = listSerialDevices(root.path(), uartOn1And10);

    const std::vector<std::pair<std::string, std::string>> expected = {
        {dev + "ttyUSB0", ftdi}, {dev + "ttyACM1", uno}, {dev + "ttyS1", ""}, {dev + "ttyS10", ""}};
    ASSERT_EQ(devices.size(), expected.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(devices[i].path, expected[i].first);
        EXPECT_EQ(devices[i].byId, expected[i].second);
    }
    EXPECT_EQ(devices[0].readableName(), "usb-FTDI_FT232R_A10KX2-if00-port0");
    EXPECT_EQ(devices[0].linkTarget(), ftdi) << "the name that stays with the adapter";
    EXPECT_EQ(devices[2].linkTarget(), dev + "ttyS1");
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"ttyS0", "ttyS1", "ttyS10", "ttyS2", "ttyS3"}));
    EXPECT_TRUE(listSerialDevices(root.path() + "absent/", uartOn1And10).empty());
}

TEST(SerialPorts, AssignmentsWriteReplaceAndRemoveLinksAndAreReadBack) {
    TempProgramFolder folder;
    fs::remove(folder.path() + "System/ports");  // the first assignment makes the folder
    const std::string device = folder.path() + "device";
    std::ofstream(device) << "";
    const struct {
        const char* name;
        std::string device;
        bool accepted;
    } cases[] = {
        {"COM3", "/dev/ttyUSB0", true},
        {"com3", device, true},  // replaces the link
        {"COM2", "/nonexistent/x", true},
        {"COM4", "/dev/ttyUSB0", true},
        {"COM4", "", true},  // back to /dev/ttyS3
        {"COM0", device, false},
        {"COM257", device, false},
        {"COM03", device, false},
        {"COM1", "ttyUSB0", false},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(assignPort(folder.path(), c.name, c.device, error), c.accepted) << c.name;
        EXPECT_EQ(error.empty(), c.accepted) << error;
    }
    std::ofstream(folder.portLink(5)) << "keep";  // made by hand: neither replaced nor removed
    for (const std::string target : {"/dev/ttyUSB0", ""}) {
        std::string error;
        EXPECT_FALSE(assignPort(folder.path(), "COM5", target, error));
    }

    const auto ports = readPortAssignments(folder.path(), 5);
    const struct {
        std::string device;
        bool linked, present;
    } expected[] = {
        {"/dev/ttyS0", false, fs::exists("/dev/ttyS0")},
        {"/nonexistent/x", true, false},
        {device, true, true},
        {"/dev/ttyS3", false, fs::exists("/dev/ttyS3")},
        {folder.portLink(5), true, true},
    };
    ASSERT_EQ(ports.size(), std::size(expected));
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].name, "COM" + std::to_string(i + 1));
        EXPECT_EQ(ports[i].device, expected[i].device);
        EXPECT_EQ(ports[i].linked, expected[i].linked) << ports[i].name;
        EXPECT_EQ(ports[i].present, expected[i].present) << ports[i].name;
    }
    // Nothing half-made is left beside the links.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path() + "System/ports"), {}), 3);
    EXPECT_EQ(resolvePortDevice(folder.path(), "COM3"), folder.portLink(3));
}

TEST(SerialPorts, TheSystemsPortMapListsEachOpenablePortOnceInNumberOrder) {
    const std::vector<PortMapEntry> map = {
        {"\\Device\\VCP0", "COM10"},        {"\\Device\\Serial1", "COM2"},
        {"\\Device\\com0com10", "CNCA0"},   // a name this program cannot open
        {"\\Device\\Serial9", "COM0"},      {"\\Device\\USBSER000", "com3"},
        {"\\Device\\Serial2", "COM2"},      // a second driver claiming a taken name
        {"\\Device\\Serial7", "COM257"},
    };
    const std::vector<std::pair<int, std::string>> expected = {
        {2, "\\Device\\Serial1"}, {3, "\\Device\\USBSER000"}, {10, "\\Device\\VCP0"}};

    const auto devices = devicesFromPortMap(map);
    ASSERT_EQ(devices.size(), expected.size());
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(devices[i].path, defaultPortDevice(expected[i].first)) << i;
        EXPECT_EQ(devices[i].byId, expected[i].second) << i;
    }
    EXPECT_TRUE(devicesFromPortMap({}).empty());
}

}  // namespace
}  // namespace kestiva
