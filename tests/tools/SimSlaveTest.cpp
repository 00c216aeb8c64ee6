// The simulated controller's protocol side, without a line: framing, answers, exceptions and
// scripted faults.

#include "tools/sim/Slave.h"

#include <gtest/gtest.h>

#include <fstream>

#include "link/ModbusFrames.h"
#include "link/SimProcess.h"
#include "tools/sim/DeterministicMap.h"

namespace kestiva::sim {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

Bytes withCrc(Bytes frame) {
    appendCrc(frame);
    return frame;
}

Bytes readRequest(uint8_t station, uint16_t address, uint16_t count) {
    return withCrc({station, 0x03, static_cast<uint8_t>(address >> 8),
                    static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(count >> 8),
                    static_cast<uint8_t>(count & 0xFF)});
}

const Bytes kEcho{0x01, 0x08, 0x00, 0x00, 0x12, 0x34, 0xED, 0x7C};

Bytes exceptionFrom(uint8_t station, uint8_t function, uint8_t code) {
    return withCrc({station, static_cast<uint8_t>(function | 0x80), code});
}

TEST(SimSchedule, Parse) {
    struct Case {
        const char* text;
        std::vector<uint64_t> hits;
        std::vector<uint64_t> misses;
    };
    const Case cases[] = {
        {"all", {1, 2, 1000}, {0}}, {"3", {3}, {2, 4}},
        {"2-4", {2, 3, 4}, {1, 5}}, {"5-", {5, 6, 99999}, {4}},
        {"3+2", {3, 4}, {2, 5}},    {"every:3", {3, 6, 9}, {1, 2, 4, 5, 7}},
    };
    for (const auto& c : cases) {
        auto schedule = Schedule::parse(c.text);
        ASSERT_TRUE(schedule) << c.text;
        for (auto n : c.hits)
            EXPECT_TRUE(schedule->matches(n)) << c.text << " " << n;
        for (auto n : c.misses)
            EXPECT_FALSE(schedule->matches(n)) << c.text << " " << n;
    }
    for (const char* bad :
         {"", "0", "4-2", "every:0", "every:", "x", "3+0", "-3", "3 ", "+2", "1-x"})
        EXPECT_FALSE(Schedule::parse(bad)) << "'" << bad << "'";
}

TEST(SimSchedule, FaultsAndHangUp) {
    auto f = parseFault(FaultKind::Exception, "2@5", 1, 255);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->argument, 2);
    EXPECT_TRUE(f->when.matches(5));
    EXPECT_FALSE(f->when.matches(4));
    auto always = parseFault(FaultKind::Exception, "4", 1, 255);
    ASSERT_TRUE(always);
    EXPECT_TRUE(always->when.matches(77));
    EXPECT_TRUE(parseFault(FaultKind::BadCrc, "every:10", 0, 0));
    EXPECT_FALSE(parseFault(FaultKind::Exception, "256", 1, 255));
    EXPECT_FALSE(parseFault(FaultKind::Exception, "0", 1, 255));
    EXPECT_FALSE(parseFault(FaultKind::Exception, "2@x", 1, 255));
    EXPECT_FALSE(parseFault(FaultKind::Silent, "2@3", 0, 0));

    auto h = parseHangUp("3:10");
    ASSERT_TRUE(h);
    EXPECT_EQ(h->request, 3u);
    EXPECT_EQ(h->bytesSent, 10u);
    EXPECT_EQ(parseHangUp("4")->bytesSent, 0u);
    EXPECT_FALSE(parseHangUp("0"));
    EXPECT_FALSE(parseHangUp("3:x"));

    auto d = parseDelay("every:3:40");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->kind, FaultKind::Delay);
    EXPECT_EQ(d->argument, 40);
    EXPECT_TRUE(d->when.matches(6));
    EXPECT_FALSE(d->when.matches(7));
    EXPECT_EQ(parseDelay("2-4:60000")->argument, 60000);
    for (const char* bad : {"40", "3:", ":40", "3:0", "3:60001", "0:5", "3:4x"})
        EXPECT_FALSE(parseDelay(bad)) << bad;
}

TEST(SimSlave, AnswersReadsAndEchoes) {
    Slave slave(SlaveConfig{});
    SlaveAction read = slave.handle(readRequest(1, 0, 10), 0);
    ASSERT_EQ(read.reply.size(), 25u);
    EXPECT_EQ(Bytes(read.reply.begin(), read.reply.begin() + 5),
              (Bytes{0x01, 0x03, 20, 0x1A, 0x00}));
    EXPECT_TRUE(frameCrcValid(read.reply));
    EXPECT_TRUE(read.heard);
    EXPECT_EQ(read.requestNumber, 1u);

    SlaveAction echo = slave.handle(kEcho, 0);
    EXPECT_EQ(echo.reply, kEcho);
    EXPECT_EQ(slave.counters().echoes, 1u);
    EXPECT_EQ(slave.counters().replies, 2u);
}

TEST(SimSlave, ExceptionsByRequest) {
    struct Case {
        const char* what;
        Bytes request;
        Bytes reply;
    };
    const Case cases[] = {
        {"write single register", withCrc({1, 0x06, 0, 1, 0, 5}), exceptionFrom(1, 0x06, 1)},
        {"other diagnostics", withCrc({1, 0x08, 0, 1, 0x12, 0x34}), exceptionFrom(1, 0x08, 1)},
        {"no registers", readRequest(1, 0, 0), exceptionFrom(1, 0x03, 3)},
        {"126 registers", readRequest(1, 0, 126), exceptionFrom(1, 0x03, 3)},
        {"past the map", readRequest(1, 0x7FFF, 2), exceptionFrom(1, 0x03, 2)},
        {"wraps round", readRequest(1, 0xFFFF, 2), exceptionFrom(1, 0x03, 2)},
        {"read too long", withCrc({1, 0x03, 0, 0, 0, 1, 0}), exceptionFrom(1, 0x03, 3)},
    };
    for (const auto& c : cases) {
        Slave slave(SlaveConfig{});
        EXPECT_EQ(slave.handle(c.request, 0).reply, c.reply) << c.what;
        EXPECT_EQ(slave.counters().exceptions, 1u) << c.what;
    }
    Slave slave(SlaveConfig{});
    EXPECT_EQ(slave.handle(readRequest(1, 0x7FFF, 1), 0).reply.size(), 7u) << "last register";
    EXPECT_EQ(slave.handle(readRequest(1, 0, 125), 0).reply.size(), 255u);
}

TEST(SimSlave, IgnoresWhatIsNotForIt) {
    Slave slave(SlaveConfig{});
    Bytes damaged = readRequest(1, 0, 10);
    damaged[7] ^= 0x01;
    EXPECT_TRUE(slave.handle(damaged, 0).reply.empty());
    EXPECT_TRUE(slave.handle(readRequest(2, 0, 10), 0).reply.empty());
    EXPECT_TRUE(slave.handle(readRequest(0, 0, 10), 0).reply.empty()) << "broadcast";
    EXPECT_TRUE(slave.handle(Bytes{0x01, 0x03}, 0).reply.empty());
    EXPECT_EQ(slave.counters().badFrames, 2u);
    EXPECT_EQ(slave.counters().otherStation, 2u);
    EXPECT_EQ(slave.counters().requestsHeard, 0u);
}

TEST(SimSlave, FaultsStrikeTheirRequests) {
    SlaveConfig config;
    auto add = [&](FaultKind kind, const char* text, int lo, int hi) {
        config.faults.faults.push_back(*parseFault(kind, text, lo, hi));
    };
    add(FaultKind::BadCrc, "2", 0, 0);
    add(FaultKind::Silent, "3+2", 0, 0);
    add(FaultKind::AsStation, "9@5", 1, 255);
    add(FaultKind::Truncate, "4@6", 1, 1000);
    add(FaultKind::Garbage, "3@7", 1, 1000);
    add(FaultKind::Exception, "4@8", 1, 255);
    config.faults.faults.push_back(*parseDelay("1:25"));
    config.faults.hangUp = *parseHangUp("9:6");
    Slave slave(config);
    std::vector<SlaveAction> actions;
    for (int i = 0; i < 9; ++i)
        actions.push_back(slave.handle(readRequest(1, 0, 2), 0));

    EXPECT_TRUE(frameCrcValid(actions[0].reply));
    EXPECT_EQ(actions[0].delayMs, 25) << "delayed, otherwise whole";
    EXPECT_EQ(actions[1].delayMs, 0);
    EXPECT_EQ(actions[1].reply.size(), 9u);
    EXPECT_FALSE(frameCrcValid(actions[1].reply)) << "bad CRC";
    EXPECT_TRUE(actions[2].reply.empty());
    EXPECT_TRUE(actions[3].reply.empty());
    EXPECT_EQ(actions[4].reply[0], 9);
    EXPECT_TRUE(frameCrcValid(actions[4].reply)) << "another station, with a fitting CRC";
    EXPECT_EQ(actions[5].reply.size(), 5u) << "truncated";
    ASSERT_EQ(actions[6].reply.size(), 12u) << "garbage after";
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(actions[6].reply.data(), 9)));
    EXPECT_EQ(actions[7].reply, exceptionFrom(1, 0x03, 4));
    EXPECT_TRUE(actions[8].hangUp);
    EXPECT_EQ(actions[8].reply.size(), 6u);
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(actions[i].hangUp) << i;

    for (const Fault& fault : slave.config().faults.faults) {
        uint64_t expected = fault.kind == FaultKind::Silent ? 2 : 1;
        EXPECT_EQ(fault.applied, expected) << faultName(fault.kind);
    }
    std::string summary = slave.summary();
    EXPECT_NE(summary.find("heard 9"), std::string::npos) << summary;
    EXPECT_NE(summary.find("silent 2"), std::string::npos) << summary;
}

TEST(SimSlave, CountingModeNumbersReadsOnly) {
    SlaveConfig config;
    config.registers.mode = RegisterMode::Counting;
    Slave slave(config);
    auto first = slave.handle(readRequest(1, 0x10, 1), 0);
    slave.handle(kEcho, 0);
    auto second = slave.handle(readRequest(1, 0x10, 1), 0);
    EXPECT_EQ(first.reply[3], 1);
    EXPECT_EQ(first.reply[4], 0x10);
    EXPECT_EQ(second.reply[3], 2) << "the echo between them is no read";
}

TEST(SimFrameAssembler, SplitsRequestsAndWaitsForSilence) {
    const auto gap = interFrameGap(38400);
    EXPECT_EQ(gap, std::chrono::microseconds(1750)) << "3.5 characters are less than 1.75 ms";
    EXPECT_EQ(interFrameGap(9600), std::chrono::microseconds(3645));
    FrameAssembler assembler(gap);
    const Clock::time_point t0{};
    EXPECT_EQ(assembler.deadline(), Clock::time_point::max());

    // Two requests in one burst come out one by one, at once.
    Bytes two = readRequest(1, 0, 10);
    two.insert(two.end(), kEcho.begin(), kEcho.end());
    assembler.push(two, t0);
    EXPECT_EQ(assembler.next(t0), readRequest(1, 0, 10));
    EXPECT_EQ(assembler.next(t0), kEcho);
    EXPECT_TRUE(assembler.next(t0).empty());
    EXPECT_TRUE(assembler.empty());

    // Half a request waits for the rest.
    Bytes request = readRequest(1, 5, 3);
    assembler.push(std::span<const uint8_t>(request.data(), 4), t0);
    EXPECT_TRUE(assembler.next(t0 + 1ms).empty());
    assembler.push(std::span<const uint8_t>(request.data() + 4, 4), t0 + 1ms);
    EXPECT_EQ(assembler.next(t0 + 1ms), request);

    // Anything else is a frame once the line has been quiet for the gap.
    Bytes odd = withCrc({1, 0x10, 0, 0, 0, 1, 2, 0, 7});
    assembler.push(odd, t0 + 5ms);
    EXPECT_EQ(assembler.deadline(), t0 + 5ms + gap);
    EXPECT_TRUE(assembler.next(t0 + 5ms + gap / 2).empty());
    EXPECT_EQ(assembler.next(t0 + 5ms + gap), odd);
}

TEST(SimRegisterMap, RangesFixedValuesAndFiles) {
    RegisterMap map;
    map.ranges = {{0x0000, 0x000F}, {0x1000, 0x10FF}};
    EXPECT_TRUE(map.covers(0x0000, 16));
    EXPECT_FALSE(map.covers(0x0000, 17));
    EXPECT_FALSE(map.covers(0x000F, 2)) << "a read may not span two ranges' gap";
    EXPECT_TRUE(map.covers(0x10FF, 1));
    EXPECT_FALSE(map.covers(0x2000, 1));
    EXPECT_FALSE(map.covers(0x1000, 0));

    testing::TempProgramFolder folder;
    const std::string path = folder.path() + "map.txt";
    std::ofstream(path) << "# fixed values\n0x1000 = 0xBEEF\n  16 = 1, 2, 0x0003 ; a list\n\n";
    std::string error;
    ASSERT_TRUE(map.loadFixedValues(path, error)) << error;
    EXPECT_EQ(map.value(0x1000, 1, 0, 0), 0xBEEF);
    EXPECT_EQ(map.value(16, 3, 0, 0), 1);
    EXPECT_EQ(map.value(18, 3, 0, 0), 3);
    EXPECT_EQ(map.value(19, 3, 0, 0), deterministicRegister(19, 3)) << "the mode fills the rest";

    for (const char* bad : {"5\n", "x = 1\n", "1 = 70000\n", "0xFFFF = 1, 2\n", "1 = \n"}) {
        std::ofstream(path) << bad;
        EXPECT_FALSE(map.loadFixedValues(path, error)) << bad;
        EXPECT_NE(error.find("map.txt:1"), std::string::npos) << error;
    }
    EXPECT_FALSE(map.loadFixedValues(folder.path() + "missing.txt", error));
}

}  // namespace
}  // namespace kestiva::sim
