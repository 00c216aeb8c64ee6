// Interoperability with independent Modbus implementations: our master against a pymodbus
// slave on a socat pseudo-terminal pair, and mbpoll as the master against our simulator.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "link/ModbusMaster.h"
#include "link/SimProcess.h"
#include "tools/sim/DeterministicMap.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::SimProcess;
using testing::TempProgramFolder;

// Debian's Python, which has the pymodbus and pyserial packages; the first python3 on PATH
// may be another interpreter without them.
constexpr const char* kPython = "/usr/bin/python3";

bool waitForPath(const std::string& path, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    struct stat st {};
    while (stat(path.c_str(), &st) != 0) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// The register values the pymodbus slave script serves.
uint16_t pymodbusRegister(uint16_t address) {
    return static_cast<uint16_t>(address * 7 + 0x0100);
}

// socat joins two fresh pseudo-terminals: pymodbus serves on one end, and the other end is
// linked as COM1 of the test's program folder.
class PymodbusSlaveTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new TempProgramFolder;
        socat_ = new ChildProcess;
        slave_ = new ChildProcess;
        const std::string slaveEnd = folder_->path() + "pymodbus-end";
        const std::string ourEnd = folder_->portLink(1);
        if (!socat_->start("/usr/bin/socat",
                           {"pty,raw,echo=0,link=" + slaveEnd, "pty,raw,echo=0,link=" + ourEnd}))
            return;
        if (!waitForPath(slaveEnd, 10s) || !waitForPath(ourEnd, 10s))
            return;
        // Held open for the whole suite so that socat keeps the pair while our port is closed.
        holdFd_ = ::open(ourEnd.c_str(), O_RDWR | O_NOCTTY);
        const std::string script = std::string(KESTIVA_TEST_SOURCE_DIR) + "/pymodbus_slave.py";
        if (!slave_->start(kPython, {script, slaveEnd, "1", "38400"}))
            return;
        auto line = slave_->readLine(60s);
        ready_ = line && *line == "ready";
    }
    static void TearDownTestSuite() {
        if (holdFd_ >= 0)
            ::close(holdFd_);
        delete slave_;
        delete socat_;
        delete folder_;
    }

    void SetUp() override {
        ASSERT_TRUE(ready_) << "pymodbus slave did not start: " << slave_->errorText()
                            << socat_->errorText();
        ASSERT_EQ(link.openPort(context, "COM1"), 0) << serialErrorText(link.lastError());
        ASSERT_EQ(link.configurePort(38400, context, 1, 0), 0);
    }

    uint16_t registerAt(std::size_t index) const {
        return static_cast<uint16_t>((frame[3 + 2 * index] << 8) | frame[4 + 2 * index]);
    }

    static inline TempProgramFolder* folder_ = nullptr;
    static inline ChildProcess* socat_ = nullptr;
    static inline ChildProcess* slave_ = nullptr;
    static inline int holdFd_ = -1;
    static inline bool ready_ = false;

    SerialLink link{folder_->path()};
    ModbusMaster master{link};
    PortContext context;
    std::array<uint8_t, 256> frame{};
};

TEST_F(PymodbusSlaveTest, EchoCheck) {
    EXPECT_TRUE(master.echoCheck(1, context).ok());
    // pymodbus serves station 1 only and keeps quiet for others.
    EXPECT_EQ(master.echoCheck(2, context).fault, LinkFault::TimeOut);
}

TEST_F(PymodbusSlaveTest, Reads) {
    master.warmUpCount = 4;
    ASSERT_TRUE(master.readHoldingBlock(20, 1, 0, frame).ok());
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(frame.data(), 25)));
    EXPECT_EQ(frame[2], 20);
    for (uint16_t i = 0; i < 10; ++i)
        EXPECT_EQ(registerAt(i), pymodbusRegister(i)) << i;

    ASSERT_TRUE(master.readHoldingBlock(250, 1, 0x0010, frame).ok());
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(frame.data(), 255)));
    EXPECT_EQ(registerAt(124), pymodbusRegister(0x0010 + 124));
}

TEST_F(PymodbusSlaveTest, ExceptionsCarryTheirCode) {
    master.warmUpCount = 4;
    // A read of no registers: pymodbus refuses the count (03); the 5-byte reply is the whole read.
    const TransactionResult noRegisters = master.readHoldingBlock(0, 1, 0, frame);
    EXPECT_EQ(noRegisters.fault, LinkFault::Exception);
    EXPECT_EQ(noRegisters.exceptionCode, 3);
    // A read past its 200 registers (02), collected behind a later reply as in a short cycle.
    master.warmUpCount = 0;
    ASSERT_TRUE(master.readHoldingBlock(20, 1, 300, frame).ok());
    auto deadline = std::chrono::steady_clock::now() + 10s;
    while (link.bytesWaiting() < 5 && std::chrono::steady_clock::now() < deadline)
        link.waitForInput(std::chrono::steady_clock::now() + 10ms);
    ASSERT_TRUE(master.readHoldingBlock(20, 1, 0, frame).ok());
    master.warmUpCount = 4;
    const TransactionResult outside = master.readHoldingBlock(20, 1, 0, frame);
    EXPECT_EQ(outside.fault, LinkFault::Exception);
    EXPECT_EQ(outside.exceptionCode, 2);
}

// mbpoll (libmodbus) reads holding registers from the simulator once; the output, and the
// register values it printed (by index), come back.
struct MbpollResult {
    std::string output;
    std::map<int, uint16_t> registers;
};

MbpollResult mbpoll(const std::string& device, int station, uint32_t bitRate, int address,
                    int count, const char* timeout = "1") {
    ChildProcess poll;
    MbpollResult result;
    if (!poll.start("/usr/bin/mbpoll",
                    {"-m", "rtu", "-a", std::to_string(station), "-b", std::to_string(bitRate),
                     "-P", "none", "-t", "4:hex", "-0", "-r", std::to_string(address), "-c",
                     std::to_string(count), "-1", "-o", timeout, device}))
        return result;
    result.output = poll.readAll(30s);
    poll.wait(10s);
    result.output += poll.errorText();
    // Value lines read "[index]: <tab>0xVVVV".
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        int index = 0;
        unsigned value = 0;
        if (std::sscanf(line.c_str(), "[%d]: 0x%4x", &index, &value) == 2)
            result.registers[index] = static_cast<uint16_t>(value);
    }
    return result;
}

TEST(MbpollMaster, ReadsTheDeterministicRegisters) {
    struct Case {
        int station;
        uint32_t bitRate;
        int address;
        int count;
    };
    const Case cases[] = {{1, 38400, 0, 10}, {17, 115200, 0x0100, 125}, {32, 9600, 0x7FF0, 16}};
    for (const auto& c : cases) {
        SimProcess sim(
            {"--station", std::to_string(c.station), "--bitrate", std::to_string(c.bitRate)});
        ASSERT_TRUE(sim.ok()) << sim.log();
        MbpollResult r = mbpoll(sim.devicePath(), c.station, c.bitRate, c.address, c.count);
        ASSERT_EQ(r.registers.size(), static_cast<std::size_t>(c.count)) << r.output;
        for (int i = 0; i < c.count; ++i) {
            uint16_t address = static_cast<uint16_t>(c.address + i);
            EXPECT_EQ(r.registers[address], sim::deterministicRegister(address, c.count))
                << c.station << " register " << address;
        }
    }
}

TEST(MbpollMaster, SeesExceptionsAndSilence) {
    SimProcess sim;
    ASSERT_TRUE(sim.ok()) << sim.log();
    MbpollResult outside = mbpoll(sim.devicePath(), 1, 38400, 0x7FFC, 10);
    EXPECT_NE(outside.output.find("Illegal data address"), std::string::npos) << outside.output;
    EXPECT_TRUE(outside.registers.empty());
    // At another line speed the simulator hears nothing it can answer.
    MbpollResult wrongSpeed = mbpoll(sim.devicePath(), 1, 19200, 0, 4, "0.3");
    EXPECT_NE(wrongSpeed.output.find("timed out"), std::string::npos) << wrongSpeed.output;
    EXPECT_TRUE(wrongSpeed.registers.empty());
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_NE(sim.log().find("exceptions 1,"), std::string::npos) << sim.log();
    EXPECT_EQ(sim.log().find("wrong speed 0"), std::string::npos) << sim.log();
}

}  // namespace
}  // namespace kestiva
