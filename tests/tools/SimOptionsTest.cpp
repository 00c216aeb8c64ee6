// kestiva-sim's command line and the demo actuator.

#include "tools/sim/NetworkFrames.h"
#include "tools/sim/Options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "link/ChildProcess.h"
#include "tools/sim/DemoController.h"

namespace kestiva::sim {
namespace {

std::optional<SimOptions> parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
    std::string error;
    auto options = parseOptions(args, error);
    if (errorOut)
        *errorOut = error;
    return options;
}

TEST(SimOptions, Defaults) {
    auto o = parse({});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->slave.station, 1);
    EXPECT_EQ(o->bitRate, 38400u);
    EXPECT_EQ(o->slave.registers.mode, RegisterMode::Deterministic);
    ASSERT_EQ(o->slave.registers.ranges.size(), 1u);
    EXPECT_EQ(o->slave.registers.ranges[0].last, 0x7FFF);
    EXPECT_DOUBLE_EQ(o->turnaroundMs, 2.0);
    EXPECT_FALSE(o->trace);
    EXPECT_TRUE(o->device.empty());
    EXPECT_TRUE(o->slave.faults.faults.empty());
}

TEST(SimOptions, EveryOptionTakesItsValue) {
    auto o = parse({"--station",  "32",           "--bitrate",    "230400",       "--mode",
                    "demo",       "--turnaround", "0.5",          "--trace",      "--link",
                    "/tmp/x",     "--device",     "/dev/ttyUSB0", "--range",      "0x100-0x1FF",
                    "--range",    "4096-4100",    "--bad-crc",    "every:3",      "--exception",
                    "2@1",        "--silent",     "4+2",          "--as-station", "9",
                    "--truncate", "2@3",          "--garbage",    "5@every:2",    "--hangup",
                    "10:4",       "--delay",      "every:3:40"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->slave.station, 32);
    EXPECT_EQ(o->bitRate, 230400u);
    EXPECT_EQ(o->slave.registers.mode, RegisterMode::Demo);
    EXPECT_DOUBLE_EQ(o->turnaroundMs, 0.5);
    EXPECT_TRUE(o->trace);
    EXPECT_EQ(o->link, "/tmp/x");
    EXPECT_EQ(o->device, "/dev/ttyUSB0");
    ASSERT_EQ(o->slave.registers.ranges.size(), 2u) << "given ranges replace the default";
    EXPECT_EQ(o->slave.registers.ranges[0].first, 0x100);
    EXPECT_EQ(o->slave.registers.ranges[1].last, 4100);
    ASSERT_EQ(o->slave.faults.faults.size(), 7u);
    EXPECT_EQ(o->slave.faults.faults[5].kind, FaultKind::Garbage);
    EXPECT_TRUE(o->slave.faults.faults[5].when.matches(4));
    EXPECT_EQ(o->slave.faults.faults[6].kind, FaultKind::Delay);
    EXPECT_EQ(o->slave.faults.faults[6].argument, 40);
    EXPECT_TRUE(o->slave.faults.faults[6].when.matches(6));
    EXPECT_FALSE(o->slave.faults.faults[6].when.matches(4));
    EXPECT_EQ(o->slave.faults.hangUp.request, 10u);
    EXPECT_EQ(o->slave.faults.hangUp.bytesSent, 4u);

    auto demo = parse({"--mode", "demo"});
    ASSERT_TRUE(demo);
    EXPECT_EQ(demo->slave.registers.ranges[0].last, 0xFFFF) << "demo serves every address";
}

TEST(SimOptions, BadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {"--station", "0"},
        {"--station", "248"},
        {"--bitrate", "4800"},
        {"--bitrate", "fast"},
        {"--mode", "random"},
        {"--turnaround", "-1"},
        {"--turnaround", "x"},
        {"--range", "9-3"},
        {"--exception", "0"},
        {"--silent", "0"},
        {"--hangup", "0"},
        {"--delay", "40"},
        {"--delay", "3:0"},
        {"--delay", "3:60001"},
        {"--delay", "x:5"},
        {"--frobnicate", "1"},
        {"--station"},
        {"stray"},
        {"--map", "/nonexistent/map"},
        {"--tcp", "65536"},
        {"--rtu-tcp", "x"},
        {"--tcp", "0", "--device", "/dev/ttyUSB0"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(parse(args, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SimOptions, NetworkModes) {
    std::string error;
    auto tcp = parse({"--tcp", "1502"}, &error);
    ASSERT_TRUE(tcp) << error;
    EXPECT_EQ(tcp->network, sim::NetworkMode::ModbusTcp);
    EXPECT_EQ(tcp->networkPort, 1502);
    auto rtu = parse({"--rtu-tcp", "0"}, &error);
    ASSERT_TRUE(rtu) << error;
    EXPECT_EQ(rtu->network, sim::NetworkMode::RtuOverTcp);
    EXPECT_EQ(rtu->networkPort, 0);
}

TEST(SimNetworkFrames, RequestsAndRepliesInMbapForm) {
    // Read of 2 registers at 0x10 from unit 1 under transaction 0x0102, in two pieces.
    std::vector<uint8_t> pending = {0x01, 0x02, 0, 0, 0, 6, 1, 3};
    bool broken = false;
    EXPECT_FALSE(sim::takeMbapRequest(pending, broken));
    EXPECT_FALSE(broken);
    pending.insert(pending.end(), {0x00, 0x10, 0x00, 0x02});
    const auto request = sim::takeMbapRequest(pending, broken);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->transactionId, 0x0102);
    std::vector<uint8_t> rtu = {1, 3, 0x00, 0x10, 0x00, 0x02};
    sim::appendCrc(rtu);
    EXPECT_EQ(request->rtu, rtu);
    EXPECT_TRUE(pending.empty());

    std::vector<uint8_t> reply = {1, 3, 4, 0xA, 0xB, 0xC, 0xD};
    sim::appendCrc(reply);
    const std::vector<uint8_t> whole = {0x01, 0x02, 0, 0, 0, 7, 1, 3, 4, 0xA, 0xB, 0xC, 0xD};
    EXPECT_EQ(sim::mbapReply(0x0102, reply), whole);
    // Cut short by the Slave: the header still announces the whole reply.
    std::vector<uint8_t> cut(reply.begin(), reply.end() - 4);
    EXPECT_EQ(sim::mbapReply(0x0102, cut), std::vector<uint8_t>(whole.begin(), whole.end() - 2));
    // Noise behind the reply follows the frame.
    reply.push_back(0xEE);
    std::vector<uint8_t> noisy = whole;
    noisy.push_back(0xEE);
    EXPECT_EQ(sim::mbapReply(0x0102, reply), noisy);

    pending = {0, 1, 0, 1, 0, 6, 1, 3, 0, 0, 0, 1};  // protocol id 1
    EXPECT_FALSE(sim::takeMbapRequest(pending, broken));
    EXPECT_TRUE(broken);
    EXPECT_TRUE(pending.empty());
}

TEST(SimOptions, HelpDocumentsEveryOption) {
    const std::string help = usageText();
    for (const char* option :
         {"--device",  "--link",        "--station", "--bitrate",    "--turnaround", "--trace",
          "--mode",    "deterministic", "counting",  "demo",         "--map",        "--range",
          "--bad-crc", "--exception",   "--silent",  "--as-station", "--truncate",   "--garbage",
          "--hangup",  "--delay",       "every:N",   "--help", "--tcp", "--rtu-tcp"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    EXPECT_NE(help.find("(0x1000 + C * 0x100 + A * 3) mod 0x10000"), std::string::npos);
    EXPECT_TRUE(parse({"--help"})->help);
}

TEST(SimDemo, TheActuatorMovesPlausibly) {
    constexpr double step = 0.01;
    DemoState previous = DemoController::stateAt(0);
    bool sawBusy = false;
    bool sawAlarm = false;
    int32_t highest = 0;
    for (double t = step; t < DemoController::cycleStart(5); t += step) {
        DemoState s = DemoController::stateAt(t);
        // Never beyond the stroke, never faster than the top speed allows.
        EXPECT_GE(s.position, 0) << t;
        EXPECT_LE(s.position, 15050) << t;
        EXPECT_LE(std::abs(s.position - previous.position), 10000 * step + 1) << t;
        EXPECT_LE(std::abs(s.speed), 10000) << t;
        EXPECT_TRUE(s.inputs & 0x0004) << "servo on throughout";
        bool busy = s.outputs & 0x0002;
        if (s.speed != 0) {
            EXPECT_TRUE(busy) << t;
        }
        sawBusy = sawBusy || busy;
        if (s.alarm != 0) {
            sawAlarm = true;
            EXPECT_EQ(s.cycle % 5, 4) << "only the fifth press overloads";
            EXPECT_TRUE(s.outputs & 0x0010);
        }
        highest = std::max(highest, s.position);
        previous = s;
    }
    EXPECT_TRUE(sawBusy);
    EXPECT_TRUE(sawAlarm);
    EXPECT_EQ(highest, 15050);
    EXPECT_EQ(DemoController::stateAt(DemoController::cycleStart(3) + 0.1).position, 0);
}

// A newcomer's first I/O recording lasts a few seconds, started at any moment: busy and in
// position, read from the output register every 20 ms, must switch within any 3 s, and the
// actuator is never in position while it is busy.
TEST(SimDemo, BusyAndInPositionSwitchWithinAFewSeconds) {
    struct Bit {
        const char* name;
        uint16_t mask;
        int rises = 0;
        int falls = 0;
        double lastEdge = 0;
        double longestSteady = 0;
    };
    Bit bits[] = {{"busy", demo::kOutBusy}, {"in position", demo::kOutInPosition}};
    const DemoController demo;
    constexpr double step = 0.02;
    const double end = DemoController::cycleStart(10);
    uint16_t previous = demo.registerValue(demo::kOutputs, 0);
    for (double t = step; t < end; t += step) {
        const uint16_t outputs = demo.registerValue(demo::kOutputs, t);
        EXPECT_FALSE((outputs & demo::kOutBusy) && (outputs & demo::kOutInPosition)) << t;
        for (Bit& bit : bits) {
            const bool was = previous & bit.mask;
            const bool is = outputs & bit.mask;
            if (was == is) continue;
            (is ? bit.rises : bit.falls) += 1;
            bit.longestSteady = std::max(bit.longestSteady, t - bit.lastEdge);
            bit.lastEdge = t;
        }
        previous = outputs;
    }
    for (const Bit& bit : bits) {
        EXPECT_GE(bit.rises, 10) << bit.name;
        EXPECT_GE(bit.falls, 10) << bit.name;
        EXPECT_LT(std::max(bit.longestSteady, end - bit.lastEdge), 3.0) << bit.name;
    }
}

TEST(SimDemo, RegistersCarryTheState) {
    DemoController demo;
    const double t = 1.3;  // moving out to point 1
    DemoState s = DemoController::stateAt(t);
    ASSERT_GT(s.position, 0);
    uint32_t position = (uint32_t{demo.registerValue(demo::kPositionHigh, t)} << 16) |
                        demo.registerValue(demo::kPositionLow, t);
    EXPECT_EQ(static_cast<int32_t>(position), s.position);
    EXPECT_EQ(demo.registerValue(demo::kOutputs, t), s.outputs);
    EXPECT_EQ(demo.registerValue(demo::kInputs, t), s.inputs);
    EXPECT_EQ((demo.registerValue(demo::kInputs, t) >> 8) & 0x0F, 1) << "point 1 selected";
    EXPECT_EQ(static_cast<int16_t>(demo.registerValue(demo::kCurrent, t)), s.current);
    EXPECT_EQ(demo.registerValue(demo::kTemperatures, t),
              (uint16_t(uint8_t(s.driverTemperature)) << 8) | uint8_t(s.motorTemperature));
    EXPECT_EQ(demo.registerValue(demo::kTargetLow, t), 15000);
    // Returning home, the speed is negative and goes over the wire as a two's complement DWORD.
    const double back = 5.5;
    DemoState r = DemoController::stateAt(back);
    ASSERT_LT(r.speed, 0);
    uint32_t speed = (uint32_t{demo.registerValue(demo::kSpeedHigh, back)} << 16) |
                     demo.registerValue(demo::kSpeedLow, back);
    EXPECT_EQ(static_cast<int32_t>(speed), r.speed);
    EXPECT_EQ(demo.registerValue(0x0000, t), 0);
    EXPECT_EQ(demo.registerValue(0x1010, t), 0);
}

// The demo must serve whatever the shipped configuration reads: every range and every item
// of DataSamplingConfig.ini, read here field by field ("D" and four hex digits, and the
// lengths that go with the range addresses).
TEST(SimDemo, ServesTheShippedConfiguration) {
    std::ifstream in(kestiva::testing::testProgramFolder() + "System/DataSamplingConfig.ini");
    ASSERT_TRUE(in) << "System/ is copied beside the tests";
    std::string line;
    int checked = 0;
    std::map<std::string, uint32_t> starts;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ';' || line[0] == '[')
            continue;
        auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        std::istringstream fields(value);
        std::string field;
        while (std::getline(fields, field, ',')) {
            if (field.size() != 5 || field[0] != 'D' ||
                field.find_first_not_of("0123456789ABCDEFabcdef", 1) != std::string::npos)
                continue;
            uint32_t a = std::stoul(field.substr(1), nullptr, 16);
            EXPECT_TRUE(DemoController::serves(static_cast<uint16_t>(a))) << line;
            if (key.ends_with("_ADDRESS"))
                starts[key.substr(0, key.size() - 8)] = a;
            ++checked;
        }
        if (key.ends_with("_LENGTH")) {
            std::string range = key.substr(0, key.size() - 7);
            ASSERT_TRUE(starts.count(range)) << line;
            uint32_t bytes = std::stoul(value);
            for (uint32_t r = 0; r < (bytes + 1) / 2; ++r)
                EXPECT_TRUE(DemoController::serves(static_cast<uint16_t>(starts[range] + r)))
                    << line;
        }
    }
    EXPECT_GT(checked, 40);
}

}  // namespace
}  // namespace kestiva::sim
