// kestiva-cli ports as a process: the devices found, each port's device, and --assign; and why
// a port did not open, as a user without root meets it.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "link/PtyLine.h"
#include "link/SerialPorts.h"
#include "tools/CliHarness.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using testing::CliFolder;
using testing::jsonText;
using testing::runCli;
using testing::startAsNobody;

TEST(CliPorts, JsonListsTheDevicesFoundAndEachPortsDevice) {
    CliFolder folder;
    folder.writeSettings(38400, 1);  // COM_NUM=8
    fs::create_symlink("/nonexistent/kestiva-port", folder.portLink(2));

    const auto run = runCli({"ports", "--json", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const QJsonArray ports = run.json().value("ports").toArray();
    ASSERT_EQ(ports.size(), 8);
    const QJsonObject com2 = ports[1].toObject();
    EXPECT_EQ(jsonText(com2, "device"), "/nonexistent/kestiva-port");
    EXPECT_TRUE(com2.value("linked").toBool());
    EXPECT_FALSE(com2.value("present").toBool());
    EXPECT_EQ(jsonText(ports[7].toObject(), "name"), "COM8");
    EXPECT_EQ(jsonText(ports[7].toObject(), "device"), "/dev/ttyS7");
    EXPECT_FALSE(ports[7].toObject().value("linked").toBool());

    const std::vector<SerialDeviceInfo> found = listSerialDevices();
    const QJsonArray devices = run.json().value("devices").toArray();
    ASSERT_EQ(std::size_t(devices.size()), found.size());
    for (std::size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(jsonText(devices[int(i)].toObject(), "linkTarget"), found[i].linkTarget());
}

TEST(CliPorts, AssignWritesOrRemovesTheLinkAndRefusesWhatIsNoAssignment) {
    CliFolder folder;
    folder.writeSettings(38400, 1);
    testing::writeFile(folder.portLink(5), "made by hand");
    const struct {
        const char* assignment;
        int exitCode;
        const char* com3;  // COM3's device in the result
    } cases[] = {
        {"COM3=/dev/ttyUSB0", 0, "/dev/ttyUSB0"}, {"COM3=ttyUSB0", 2, nullptr},
        {"COM0=/dev/ttyUSB0", 2, nullptr},        {"COM3", 2, nullptr},
        {"COM5=/dev/ttyUSB0", 1, nullptr},        {"COM3=", 0, "/dev/ttyS2"},
        {"COM3=/dev/tty\nUSB0", 2, nullptr},     {"COM3=/dev/tty\x7fUSB0", 2, nullptr},
    };
    for (const auto& c : cases) {
        const auto run =
            runCli({"ports", "--json", "--assign", c.assignment, "--system", folder.system()});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.describe();
        EXPECT_EQ(run.json().value("ok").toBool(), c.exitCode == 0) << c.assignment;
        if (c.com3 != nullptr) {
            const QJsonObject com3 = run.json().value("ports").toArray()[2].toObject();
            EXPECT_EQ(jsonText(com3, "device"), c.com3);
        }
    }
    EXPECT_FALSE(fs::is_symlink(folder.portLink(3)));
    EXPECT_EQ(testing::readFile(folder.portLink(5)), "made by hand");
}

TEST(CliPorts, ALinkLoopIsListedAndReportedWithTheSystemsReason) {
    CliFolder folder;
    folder.writeSettings(38400, 1, "MANUAL", "COM2");
    fs::create_symlink(folder.portLink(2), folder.portLink(2));
    const auto listing = runCli({"ports", "--system", folder.system()});
    EXPECT_TRUE(testing::contains(listing.out, "linked, too many levels of symbolic links\n"))
        << listing.describe();
    const auto check = runCli({"check", "--system", folder.system()});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_TRUE(testing::contains(check.err, "\nCOM2 (" + folder.portLink(2) +
                                                 "): too many levels of symbolic links.\n"))
        << check.describe();
}

// A port that does not open for a user without root: COM1 is a pseudo-terminal whose rights
// each test sets.
class CliPortOpenTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root to act as another user";
        ASSERT_TRUE(line.ok());
        folder.writeSettings(38400, 1);
        fs::permissions(folder.path(), fs::perms(0755));
        fs::create_symlink(line.path(), folder.portLink(1));
    }

    // What the check of COM1 prints on standard error when run as nobody.
    std::string checkAsNobody() {
        testing::ChildProcess cli;
        if (!startAsNobody(cli, {testing::cliProgram(), "check", "--system", folder.system()}))
            return "not started";
        cli.readAll(std::chrono::seconds(60));
        return cli.wait(std::chrono::seconds(60)) == 1 ? cli.errorText() : "not exit code 1";
    }

    CliFolder folder;
    testing::PtyLine line;
};

TEST_F(CliPortOpenTest, APortTheUserMayNotOpenTellsHowToJoinTheDialoutGroup) {
    ASSERT_EQ(chown(line.path().c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(line.path().c_str(), 0600), 0);
    const std::string err = checkAsNobody();
    EXPECT_TRUE(testing::contains(
        err, testing::shown(text::MSG_COMSETTING_COMOPEN_ERROR_COUNTERMEASURE_CONTENTS) +
                 "\nCOM1 (" + line.path() +
                 "): permission denied. Serial ports belong to the dialout group: add yourself "
                 "with 'sudo usermod -aG dialout $USER', then log out and in again.\n"))
        << err;
}

TEST_F(CliPortOpenTest, ABusyPortNamesTheProcessThatHoldsIt) {
    ASSERT_EQ(chmod(line.path().c_str(), 0666), 0);
    // Another program of the same user holds the port for itself, as a terminal program does.
    testing::ChildProcess holder;
    ASSERT_TRUE(startAsNobody(holder, {"/usr/bin/python3", "-c",
                                       "import fcntl, os, signal, sys, termios\n"
                                       "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)\n"
                                       "fcntl.ioctl(fd, termios.TIOCEXCL)\n"
                                       "print('holding', flush=True)\n"
                                       "signal.pause()\n",
                                       line.path()}));
    ASSERT_EQ(holder.readLine(std::chrono::seconds(30)), "holding") << holder.errorText();
    const std::string err = checkAsNobody();
    EXPECT_TRUE(testing::contains(err, "\nCOM1 (" + line.path() + "): device in use by process " +
                                           std::to_string(holder.pid()) + " (python3).\n"))
        << err;
}

}  // namespace
}  // namespace kestiva
