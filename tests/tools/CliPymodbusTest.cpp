// kestiva-cli check and record against an independent Modbus slave: pymodbus (Debian's
// /usr/bin/python3) on one end of a socat pseudo-terminal pair, the other end linked as COM1.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "tools/CliHarness.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::CliFolder;
using testing::CliRun;
using testing::crlfLines;
using testing::readFile;
using testing::runCli;

// The slave script's registers: a holds (a * 7 + 0x0100) mod 0x10000, for a below 200.
uint16_t slaveRegister(uint16_t address) {
    return uint16_t(address * 7 + 0x0100);
}

bool waitForPath(const std::string& path, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    struct stat st {};
    while (stat(path.c_str(), &st) != 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Controller types over the registers the slave has.
constexpr const char* kSlaveConfig =
    "[DATA_SAMPLING_SETTING]\r\nSAMPLING=100\r\nTIME=1\r\n"
    "[IO_SAMPLING_SETTING]\r\nSAMPLING=100\r\nTIME=1\r\n"
    "[COLOR_SETTING]\r\n"
    "DATA_COLOR_TABLE_1=Plain,#000000,#404040,#FF0000,#00FF00,#0000FF\r\n"
    "IO_COLOR_TABLE_1=Plain,#000000,#404040,#FF0000,#00FF00,#0000FF,#FF0000,#00FF00,#0000FF,"
    "#FF0000,#00FF00,#0000FF,#FF0000,#00FF00,#0000FF,#FF0000,#00FF00,#0000FF,#FFFFFF\r\n"
    "[CTL1_DATASAMPLING_SETTING]\r\nCTL_NAME=Low registers\r\n"
    "DATA_ADDRESS=D0000\r\nDATA_LENGTH=16\r\n"
    "DATA1=Double,D0000,DWORD,1,a\r\nDATA2=Unsigned,D0003,UWORD,1,b\r\n"
    "DATA3=Low byte,D0007,ULSB,1,c\r\n"
    "[CTL1_IOSAMPLING_SETTING]\r\nCTL_NAME=Bits\r\n"
    "IN_DATA_ADDRESS=D0010\r\nIN_DATA_LENGTH=2\r\n"
    "DATA1=Bit 0,D0010,0\r\n";

class CliPymodbusTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.writeSettings(38400, 1);
        folder.writeConfig(kSlaveConfig);
        const std::string slaveEnd = folder.file("pymodbus-end");
        const std::string ourEnd = folder.portLink(1);
        ASSERT_TRUE(socat.start("/usr/bin/socat", {"pty,raw,echo=0,link=" + slaveEnd,
                                                   "pty,raw,echo=0,link=" + ourEnd}));
        ASSERT_TRUE(waitForPath(slaveEnd, 10s) && waitForPath(ourEnd, 10s)) << socat.errorText();
        // Held open so that socat keeps the pair while the command has the port closed.
        holdFd = ::open(ourEnd.c_str(), O_RDWR | O_NOCTTY);
        const std::string script = std::string(KESTIVA_LINK_TEST_DIR) + "/pymodbus_slave.py";
        ASSERT_TRUE(slave.start("/usr/bin/python3", {script, slaveEnd, "1", "38400"}));
        const auto line = slave.readLine(60s);
        ASSERT_TRUE(line && *line == "ready") << slave.errorText();
    }
    void TearDown() override {
        if (holdFd >= 0)
            ::close(holdFd);
    }

    CliFolder folder;
    ChildProcess socat;
    ChildProcess slave;
    int holdFd = -1;
};

TEST_F(CliPymodbusTest, ChecksAndRecordsAnotherImplementationsSlave) {
    CliRun run = runCli({"check", "--json", "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe() << slave.errorText();
    EXPECT_EQ(run.json().value("station").toInt(), 1);

    // The slave answers station 1 only.
    run = runCli({"check", "--station", "2", "--bitrate", "38400", "--system", folder.system()});
    EXPECT_EQ(run.exitCode, 1) << run.describe();

    const std::string csv = folder.file("slave.csv");
    run = runCli({"record", "data", "--cycle", "100", "--time", "1", "--out", csv, "--json",
                  "--system", folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe() << slave.errorText();
    EXPECT_EQ(run.json().value("endState").toInt(), 1);
    const std::string row =
        "," + std::to_string(uint32_t(slaveRegister(0)) << 16 | slaveRegister(1)) + "," +
        std::to_string(slaveRegister(3)) + "," + std::to_string(slaveRegister(7) & 0xFF);
    const std::vector<std::string> lines = crlfLines(readFile(csv));
    ASSERT_EQ(lines.size(), 6u + 11u);
    for (std::size_t j = 0; j < 11; ++j)
        EXPECT_EQ(lines[6 + j], std::to_string(100 * j) + row);

    // One input register, bit 0 of (0x10 * 7 + 0x100) = 0x170.
    const std::string io = folder.file("slave-io.csv");
    run = runCli({"record", "io", "--cycle", "100", "--time", "1", "--out", io, "--system",
                  folder.system()});
    ASSERT_EQ(run.exitCode, 0) << run.describe() << slave.errorText();
    const std::vector<std::string> ioLines = crlfLines(readFile(io));
    ASSERT_EQ(ioLines.size(), 5u + 11u);
    EXPECT_EQ(ioLines[5], "0," + std::to_string(slaveRegister(0x10) & 1) + ",,,,,,,,,,,,,,,");
}

}  // namespace
}  // namespace kestiva
