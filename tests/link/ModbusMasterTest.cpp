// The Modbus master against the simulated controller, over real pseudo-terminals.

#include "link/ModbusMaster.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>
#include <vector>

#include "link/SimProcess.h"
#include "tools/sim/DeterministicMap.h"

namespace kestiva {

// Failures name the fault rather than print its bytes.
void PrintTo(LinkFault fault, std::ostream* out) { *out << "LinkFault " << int(fault); }

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using testing::SimProcess;
using testing::TempProgramFolder;

class ModbusMasterTest : public ::testing::Test {
protected:
    // Starts a simulator as COM1 and opens the port at bitRate.
    void connect(std::vector<std::string> simOptions, uint32_t bitRate = 38400,
                 int32_t responseDelay = 0) {
        sim = std::make_unique<SimProcess>(std::move(simOptions), folder.portLink(1));
        ASSERT_TRUE(sim->ok()) << sim->log();
        ASSERT_EQ(link.openPort(context, "COM1"), 0) << serialErrorText(link.lastError());
        ASSERT_EQ(link.configurePort(bitRate, context, 1, responseDelay), 0);
    }

    Bytes frameBytes(std::size_t count) const {
        return Bytes(frame.begin(), frame.begin() + count);
    }

    uint16_t registerAt(std::size_t index) const {
        return static_cast<uint16_t>((frame[3 + 2 * index] << 8) | frame[4 + 2 * index]);
    }

    TempProgramFolder folder;
    SerialLink link{folder.path()};
    ModbusMaster master{link};
    PortContext context;
    std::unique_ptr<SimProcess> sim;
    std::array<uint8_t, 256> frame{};
};

TEST_F(ModbusMasterTest, ReadsTwentyBytesFromAddressZero) {
    connect({});
    master.warmUpCount = 4;
    ASSERT_TRUE(master.readHoldingBlock(20, 1, 0x0000, frame).ok());
    auto request = master.lastRequest();
    EXPECT_EQ(Bytes(request.begin(), request.end()),
              (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_EQ(frameBytes(3), (Bytes{0x01, 0x03, 20}));
    for (uint16_t i = 0; i < 10; ++i)
        EXPECT_EQ(registerAt(i), sim::deterministicRegister(i, 10)) << i;
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(frame.data(), 25)));
    EXPECT_EQ(master.receivedByteTotal.load(), 25u);

    // The longest read a frame buffer takes: 125 registers, 255 bytes of reply.
    ASSERT_TRUE(master.readHoldingBlock(250, 1, 0x0100, frame).ok());
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(frame.data(), 255)));
    EXPECT_EQ(registerAt(124), sim::deterministicRegister(0x0100 + 124, 125));
    EXPECT_EQ(master.receivedByteTotal.load(), 280u);
}

TEST_F(ModbusMasterTest, ReplyArrivingInPiecesIsCollected) {
    // At 9600 bit/s the simulator sends a byte a millisecond: the 255-byte reply comes in many
    // small pieces over a quarter of a second.
    connect({"--bitrate", "9600"}, 9600);
    master.warmUpCount = 4;
    ASSERT_TRUE(master.readHoldingBlock(250, 1, 0x0010, frame).ok());
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(frame.data(), 255)));
    EXPECT_EQ(registerAt(0), sim::deterministicRegister(0x0010, 125));
}

TEST_F(ModbusMasterTest, WarmUpSendsWithoutReadingAndLaterReadsLagFour) {
    connect({"--mode", "counting"});
    master.warmUpCount = 0;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(master.readHoldingBlock(20, 1, 0x0040, frame).ok());
        EXPECT_EQ(master.receivedByteTotal.load(), 0u) << "nothing is read during warm-up";
    }
    master.warmUpCount = 4;
    // Each transaction now collects the reply of the request sent four before it.
    for (uint32_t k = 1; k <= 3; ++k) {
        ASSERT_TRUE(master.readHoldingBlock(20, 1, 0x0040, frame).ok()) << k;
        EXPECT_EQ(registerAt(0), sim::countingRegister(0x0040, k)) << k;
        EXPECT_EQ(registerAt(9), sim::countingRegister(0x0049, k)) << k;
    }
    EXPECT_EQ(master.receivedByteTotal.load(), 75u);
}

TEST_F(ModbusMasterTest, ReadFaultsSayWhy) {
    struct Case {
        const char* what;
        std::vector<std::string> sim;
        uint16_t byteCount;
        LinkFault fault;
        uint8_t exceptionCode;
        int received;  // bytes counted before the end; -1 when it depends on timing
    };
    const Case cases[] = {
        {"nobody answers", {"--silent", "all"}, 20, LinkFault::TimeOut, 0, 0},
        {"another address", {"--station", "7"}, 20, LinkFault::TimeOut, 0, 0},
        {"reply stops short", {"--truncate", "3"}, 20, LinkFault::ShortReply, 0, 22},
        {"lone exception to a long read", {"--exception", "2"}, 20, LinkFault::ShortReply, 0, 5},
        {"another station answers", {"--as-station", "2"}, 20, LinkFault::WrongStation, 0, 25},
        // A read of 0 bytes takes exactly the 5 bytes of an exception reply.
        {"exception 02", {"--exception", "2"}, 0, LinkFault::Exception, 2, 5},
        {"exception 05", {"--exception", "5"}, 0, LinkFault::Exception, 5, 5},
        {"line closed mid-reply", {"--hangup", "1:10"}, 20, LinkFault::PortLost, 0, -1},
        {"more than a frame holds", {}, 252, LinkFault::TooLong, 0, 0},
    };
    for (const auto& c : cases) {
        connect(c.sim);
        master.warmUpCount = 4;
        master.receivedByteTotal = 0;
        const TransactionResult result = master.readHoldingBlock(c.byteCount, 1, 0, frame);
        EXPECT_EQ(result.fault, c.fault) << c.what;
        EXPECT_EQ(result.exceptionCode, c.exceptionCode) << c.what;
        EXPECT_FALSE(result.ok()) << c.what;
        if (c.received >= 0) {
            EXPECT_EQ(master.receivedByteTotal.load(), uint32_t(c.received)) << c.what;
        }
        link.closePort(context);
    }
}

TEST_F(ModbusMasterTest, ExceptionFilledUpByLaterRepliesCarriesItsCode) {
    connect({"--exception", "2@1"});
    master.warmUpCount = 0;
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(master.readHoldingBlock(20, 1, 0, frame).ok());
    master.warmUpCount = 4;
    const TransactionResult result = master.readHoldingBlock(20, 1, 0, frame);
    EXPECT_EQ(result.fault, LinkFault::Exception);
    EXPECT_EQ(result.exceptionCode, 2);
    EXPECT_EQ(frameBytes(3), (Bytes{0x01, 0x83, 0x02}));
}

TEST_F(ModbusMasterTest, ReadThatCannotFitIsRefusedBeforeSending) {
    connect({"--mode", "counting"});
    master.warmUpCount = 4;
    EXPECT_EQ(master.readHoldingBlock(252, 1, 0, frame).fault, LinkFault::TooLong);
    std::array<uint8_t, 20> small{};
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, small).fault, LinkFault::TooLong);
    // Had either been sent, this reply would belong to a later read.
    ASSERT_TRUE(master.readHoldingBlock(20, 1, 0, frame).ok());
    EXPECT_EQ(registerAt(0), sim::countingRegister(0, 1));
}

TEST_F(ModbusMasterTest, NothingWorksWithoutAPort) {
    master.warmUpCount = 4;
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, frame).fault, LinkFault::NoPort);
    EXPECT_EQ(master.readExact(4, frame).fault, LinkFault::NoPort);
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::NoPort);
    EXPECT_EQ(master.receiveEchoReply(context, frame).fault, LinkFault::NoPort);
}

TEST_F(ModbusMasterTest, EchoPasses) {
    connect({});
    ASSERT_TRUE(master.echoCheck(1, context).ok());
    auto request = master.lastRequest();
    const Bytes echo{0x01, 0x08, 0x00, 0x00, 0x12, 0x34, 0xED, 0x7C};
    EXPECT_EQ(Bytes(request.begin(), request.end()), echo);
    auto received = master.echoReceiveBuffer();
    EXPECT_EQ(Bytes(received.begin(), received.begin() + 8), echo);
}

TEST_F(ModbusMasterTest, EchoOnlyAtTheControllersBitRate) {
    const uint32_t rates[] = {9600, 19200, 38400, 57600, 115200, 230400};
    for (std::size_t i = 0; i < std::size(rates); ++i) {
        connect({"--bitrate", std::to_string(rates[i])}, rates[i]);
        EXPECT_TRUE(master.echoCheck(1, context).ok()) << rates[i];
        uint32_t wrong = rates[(i + 1) % std::size(rates)];
        ASSERT_EQ(link.configurePort(wrong, context, 1, 0), 0);
        EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::TimeOut)
            << rates[i] << " heard at " << wrong;
    }
}

TEST_F(ModbusMasterTest, EchoFaultsSayWhy) {
    struct Case {
        const char* what;
        std::vector<std::string> sim;
        uint8_t station;
        LinkFault fault;
        uint8_t exceptionCode;
    };
    const Case cases[] = {
        {"CRC spoiled", {"--bad-crc", "all"}, 1, LinkFault::BadCrc, 0},
        {"one byte wrong, CRC right", {"--as-station", "3"}, 1, LinkFault::WrongEcho, 0},
        {"the 5-byte exception echo", {"--exception", "1"}, 1, LinkFault::Exception, 1},
        {"reply stops short", {"--truncate", "1"}, 1, LinkFault::ShortReply, 0},
        {"nobody answers", {"--silent", "all"}, 1, LinkFault::TimeOut, 0},
        {"nobody at that station", {}, 2, LinkFault::TimeOut, 0},
        {"line closed", {"--hangup", "1"}, 1, LinkFault::PortLost, 0},
    };
    for (const auto& c : cases) {
        connect(c.sim);
        const TransactionResult result = master.echoCheck(c.station, context);
        EXPECT_EQ(result.fault, c.fault) << c.what;
        EXPECT_EQ(result.exceptionCode, c.exceptionCode) << c.what;
        link.closePort(context);
    }
}

TEST_F(ModbusMasterTest, ExceptionEchoEndsAfterFiveBytes) {
    connect({"--exception", "1"});
    std::array<uint8_t, kRequestLength> request{};
    buildEchoRequest(1, request);
    ASSERT_TRUE(link.write(request));
    std::array<uint8_t, 16> reply{};
    ASSERT_TRUE(master.receiveEchoReply(context, reply).ok());
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 3), (Bytes{0x01, 0x88, 0x01}));
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(reply.data(), 5)));
    EXPECT_EQ(reply[5], 0) << "nothing beyond the five bytes is taken";
}

TEST_F(ModbusMasterTest, EchoWaitsOutSeveralIntervalsButNotTen) {
    // At 38400 bit/s an interval is 8 ms: a 30 ms answer costs a few intervals of the budget,
    // a 400 ms one outlasts all ten.
    connect({"--turnaround", "30"});
    EXPECT_TRUE(master.echoCheck(1, context).ok());
    connect({"--turnaround", "400"});
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::TimeOut);
}

TEST_F(ModbusMasterTest, EchoCanBeCancelled) {
    connect({"--silent", "all"}, 38400, 60000);
    std::atomic<bool> cancel{true};
    EXPECT_EQ(master.echoCheck(1, context, &cancel).fault, LinkFault::Cancelled);
    // Cancelled while it waits out a minute-long response delay.
    cancel = false;
    std::thread canceller([&] {
        std::this_thread::sleep_for(20ms);
        cancel = true;
    });
    EXPECT_EQ(master.echoCheck(1, context, &cancel).fault, LinkFault::Cancelled);
    canceller.join();
    // And while it polls for the reply.
    ASSERT_EQ(link.configurePort(38400, context, 1, 0), 0);
    cancel = false;
    std::array<uint8_t, 16> reply{};
    std::thread late([&] {
        std::this_thread::sleep_for(20ms);
        cancel = true;
    });
    EXPECT_EQ(master.receiveEchoReply(context, reply, &cancel).fault, LinkFault::Cancelled);
    late.join();
}

TEST_F(ModbusMasterTest, LineClosedMidReplyFailsAtOnce) {
    // The simulator sends 10 bytes of the reply, then hangs up and exits.
    connect({"--hangup", "1:10"});
    master.warmUpCount = 4;
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, frame).fault, LinkFault::PortLost);
    EXPECT_EQ(link.lastError(), SerialError::ResourceLost);
    // Once the line is gone, nothing more can be sent.
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, frame).fault, LinkFault::PortLost);
    EXPECT_EQ(master.echoCheck(1, context).fault, LinkFault::PortLost);
    EXPECT_EQ(sim->waitExit(5s), 0);
}

TEST_F(ModbusMasterTest, SimulatorKilledMidReplyFailsAtOnce) {
    // 255 bytes at 9600 bit/s take a quarter of a second: time enough to pull the plug once
    // the simulator has taken the request.
    connect({"--bitrate", "9600", "--trace"}, 9600);
    master.warmUpCount = 4;
    TransactionResult result;
    std::thread reader([&] { result = master.readHoldingBlock(250, 1, 0, frame); });
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (sim->log().find("rx ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    sim->kill();
    reader.join();
    EXPECT_EQ(result.fault, LinkFault::PortLost);
    EXPECT_EQ(link.lastError(), SerialError::ResourceLost);
}

}  // namespace
}  // namespace kestiva
