// kestiva-sim as a program: its output, its port link, serving an existing device, tracing.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/ModbusFrames.h"
#include "link/PtyLine.h"
#include "link/SimProcess.h"
#include "tools/sim/DeterministicMap.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::SimProcess;
using testing::TempProgramFolder;
using Bytes = std::vector<uint8_t>;

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string linkTarget(const std::string& path) {
    char buffer[4096];
    ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
    return n < 0 ? std::string() : std::string(buffer, static_cast<std::size_t>(n));
}

TEST(SimProgram, HelpAndBadOptions) {
    ChildProcess help;
    ASSERT_TRUE(help.start(SimProcess::programPath(), {"--help"}));
    std::string text = help.readAll(10s);
    EXPECT_EQ(help.wait(10s), 0);
    EXPECT_NE(text.find("Usage: kestiva-sim"), std::string::npos);
    EXPECT_NE(text.find("--hangup"), std::string::npos);

    ChildProcess bad;
    ASSERT_TRUE(bad.start(SimProcess::programPath(), {"--bitrate", "1200"}));
    EXPECT_EQ(bad.wait(10s), 2);
    EXPECT_NE(bad.errorText().find("--bitrate"), std::string::npos);
}

TEST(SimProgram, LinkLivesAsLongAsTheSimulator) {
    TempProgramFolder folder;
    const std::string link = folder.portLink(1);
    {
        SimProcess sim({}, link);
        ASSERT_TRUE(sim.ok()) << sim.log();
        EXPECT_EQ(linkTarget(link), sim.devicePath());
        EXPECT_EQ(sim.stop(), 0);
        EXPECT_FALSE(exists(link)) << "removed on SIGTERM";
        EXPECT_NE(sim.log().find("heard 0"), std::string::npos) << sim.log();
    }
    {
        // A stale link from a simulator that was killed is replaced.
        ASSERT_EQ(symlink("/dev/pts/nonexistent", link.c_str()), 0);
        SimProcess sim({}, link);
        ASSERT_TRUE(sim.ok()) << sim.log();
        EXPECT_EQ(linkTarget(link), sim.devicePath());
    }
    {
        // A real file in the way is not ours to replace.
        ::unlink(link.c_str());
        std::FILE* f = std::fopen(link.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        SimProcess sim({}, link);
        EXPECT_FALSE(sim.ok());
        EXPECT_EQ(sim.waitExit(10s), 1);
    }
}

TEST(SimProgram, ServesAnExistingDeviceAndTraces) {
    // The test's pseudo-terminal stands in for a null-modem cable: the simulator opens the
    // slave side as a device, the test talks through the master.
    testing::PtyLine cable;
    ASSERT_TRUE(cable.ok());
    SimProcess sim({"--device", cable.path(), "--trace"});
    ASSERT_TRUE(sim.ok()) << sim.log();
    EXPECT_EQ(sim.devicePath(), cable.path());

    std::array<uint8_t, kRequestLength> request{};
    buildReadRequest(1, 0x0020, 4, request);
    cable.send(Bytes(request.begin(), request.end()));
    Bytes reply = cable.receive(9, 5s);
    ASSERT_EQ(reply.size(), 9u);
    EXPECT_TRUE(frameCrcValid(reply));
    EXPECT_EQ(reply[3] << 8 | reply[4], sim::deterministicRegister(0x0020, 2));

    buildEchoRequest(1, request);
    cable.send(Bytes(request.begin(), request.end()));
    EXPECT_EQ(cable.receive(8, 5s), Bytes(request.begin(), request.end()));

    EXPECT_EQ(sim.stop(), 0);
    const std::string log = sim.log();
    EXPECT_NE(log.find("on the monotonic clock"), std::string::npos) << log;
    EXPECT_NE(log.find("rx 01 03 00 20 00 02"), std::string::npos) << log;
    EXPECT_NE(log.find("tx 01 03 04"), std::string::npos) << log;
    EXPECT_NE(log.find("rx 01 08 00 00 12 34 ED 7C"), std::string::npos) << log;
    EXPECT_NE(log.find("heard 2, reads 1, echoes 1, replies 2"), std::string::npos) << log;
}

TEST(SimProgram, DelayedReplyComesLateAndTheNextWaitsBehindIt) {
    testing::PtyLine cable;
    ASSERT_TRUE(cable.ok());
    SimProcess sim({"--device", cable.path(), "--mode", "counting", "--delay", "1:300"});
    ASSERT_TRUE(sim.ok()) << sim.log();
    std::array<uint8_t, kRequestLength> request{};
    buildReadRequest(1, 0x0020, 2, request);
    const auto sent = std::chrono::steady_clock::now();
    cable.send(Bytes(request.begin(), request.end()));
    cable.send(Bytes(request.begin(), request.end()));
    const Bytes first = cable.receive(7, 5s);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 300ms);
    const Bytes second = cable.receive(7, 5s);
    ASSERT_EQ(first.size(), 7u);
    ASSERT_EQ(second.size(), 7u);
    EXPECT_TRUE(frameCrcValid(first));
    EXPECT_EQ(first[3] << 8 | first[4], sim::countingRegister(0x0020, 1));
    EXPECT_EQ(second[3] << 8 | second[4], sim::countingRegister(0x0020, 2));
}

TEST(SimProgram, HangUpEndsTheSimulatorAndItsLink) {
    testing::PtyLine cable;
    ASSERT_TRUE(cable.ok());
    TempProgramFolder folder;
    SimProcess sim({"--device", cable.path(), "--hangup", "2"}, folder.portLink(4));
    ASSERT_TRUE(sim.ok()) << sim.log();
    std::array<uint8_t, kRequestLength> echo{};
    buildEchoRequest(1, echo);
    cable.send(Bytes(echo.begin(), echo.end()));
    EXPECT_EQ(cable.receive(8, 5s).size(), 8u);
    cable.send(Bytes(echo.begin(), echo.end()));
    EXPECT_EQ(sim.waitExit(10s), 0);
    EXPECT_FALSE(exists(folder.portLink(4)));
}

}  // namespace
}  // namespace kestiva
