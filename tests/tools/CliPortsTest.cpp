// kestiva-cli ports as a process: the devices found, each port's device, and --assign.

#include <gtest/gtest.h>

#include "link/SerialPorts.h"
#include "tools/CliHarness.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using testing::CliFolder;
using testing::CliRun;
using testing::contains;
using testing::jsonText;
using testing::runCli;

TEST(CliPorts, JsonListsTheDevicesAndEachPortsDevice) {
    CliFolder folder;
    folder.writeSettings(38400, 1);  // COM_NUM=8
    const std::string device = folder.file("device");
    testing::writeFile(device, "");
    fs::create_symlink(device, folder.portLink(1));
    fs::create_symlink("/nonexistent/kestiva-port", folder.portLink(2));

    const CliRun run = runCli({"ports", "--json", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const QJsonObject result = run.json();
    EXPECT_TRUE(result.value("ok").toBool());

    const QJsonArray ports = result.value("ports").toArray();
    ASSERT_EQ(ports.size(), 8);
    const struct {
        std::string device;
        bool linked, present;
    } expected[] = {
        {device, true, true},
        {"/nonexistent/kestiva-port", true, false},
        {"/dev/ttyS2", false, fs::exists("/dev/ttyS2")},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i + 1);
        const QJsonObject port = ports[i].toObject();
        EXPECT_EQ(jsonText(port, "name"), "COM" + std::to_string(i + 1));
        EXPECT_EQ(jsonText(port, "device"), expected[i].device);
        EXPECT_EQ(port.value("linked").toBool(), expected[i].linked);
        EXPECT_EQ(port.value("present").toBool(), expected[i].present);
    }
    EXPECT_EQ(jsonText(ports[7].toObject(), "device"), "/dev/ttyS7");

    // The same devices the program's own listing finds on this machine.
    const std::vector<SerialDeviceInfo> found = listSerialDevices();
    const QJsonArray devices = result.value("devices").toArray();
    ASSERT_EQ(std::size_t(devices.size()), found.size()) << run.out;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const QJsonObject shown = devices[int(i)].toObject();
        EXPECT_EQ(jsonText(shown, "path"), found[i].path);
        EXPECT_EQ(jsonText(shown, "linkTarget"), found[i].linkTarget());
        EXPECT_EQ(jsonText(shown, "name"), found[i].readableName());
    }

    const CliRun text = runCli({"ports", "--system", folder.system()});
    EXPECT_EQ(text.exitCode, 0) << text.describe();
    EXPECT_TRUE(contains(text.out, "COM2    /nonexistent/kestiva-port  linked, not present\n"))
        << text.out;
}

TEST(CliPorts, AssignWritesOrRemovesTheLinkAndRefusesWhatIsNoAssignment) {
    CliFolder folder;
    folder.writeSettings(38400, 1);
    testing::writeFile(folder.portLink(5), "made by hand");
    const struct {
        const char* assignment;
        int exitCode;
        const char* link;  // COM3's link afterwards; "" none
        const char* error;
    } cases[] = {
        {"COM3=/dev/ttyUSB0", 0, "/dev/ttyUSB0", ""},
        {"com3=/dev/serial/by-id/usb-x", 0, "/dev/serial/by-id/usb-x", ""},
        {"COM3=ttyUSB0", 2, "/dev/serial/by-id/usb-x", "absolute path"},
        {"COM0=/dev/ttyUSB0", 2, "/dev/serial/by-id/usb-x", "not a port name"},
        {"COM3", 2, "/dev/serial/by-id/usb-x", "COMn=DEVICE"},
        {"COM5=/dev/ttyUSB0", 1, "/dev/serial/by-id/usb-x", "not a link"},
        {"COM3=", 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.assignment);
        const CliRun run =
            runCli({"ports", "--json", "--assign", c.assignment, "--system", folder.system()});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.describe();
        std::error_code ec;
        EXPECT_EQ(fs::read_symlink(folder.portLink(3), ec).string(), c.link);
        EXPECT_TRUE(contains(run.err, c.error)) << run.err;
        const QJsonObject result = run.json();
        EXPECT_EQ(result.value("ok").toBool(), c.exitCode == 0);
        if (c.exitCode == 0) {
            const QJsonObject com3 = result.value("ports").toArray()[2].toObject();
            EXPECT_EQ(jsonText(com3, "device"), *c.link ? c.link : "/dev/ttyS2");
        }
    }
    EXPECT_EQ(testing::readFile(folder.portLink(5)), "made by hand");
}

}  // namespace
}  // namespace kestiva
