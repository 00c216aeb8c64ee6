// The Modbus master against the simulated controller, over real pseudo-terminals.

#include "link/ModbusMaster.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>
#include <vector>

#include "link/SimProcess.h"
#include "support/RecordingWindow.h"
#include "tools/sim/DeterministicMap.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using testing::SimProcess;
using testing::TempProgramFolder;

class ModbusMasterTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts.languageLoaded = true;
        texts.LoadLanguageCatalogue();
        ASSERT_TRUE(texts.languageLoaded) << "the shipped LanguageData.ini must load";
    }

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

    std::string expectedReport(TextId contents) const {
        return texts.GetText(contents) + "\n" +
               texts.GetText(text::MSG_ALARM_COUNTERMEASURE_TITLE) + "\n  " +
               texts.GetText(text::MSG_COM_ABNORMAL_RESPONSE_COUNTERMEASURE_CONTENTS);
    }

    TempProgramFolder folder;
    LanguageCatalogue texts{testing::testProgramFolder()};
    testing::RecordingWindow window;
    SerialLink link{folder.path()};
    ModbusMaster master{link, texts, window};
    PortContext context;
    std::unique_ptr<SimProcess> sim;
    std::array<uint8_t, 256> frame{};
};

TEST_F(ModbusMasterTest, ReadsTwentyBytesFromAddressZero) {
    connect({});
    master.warmUpCount = 4;
    ASSERT_EQ(master.readHoldingBlock(20, 1, 0x0000, frame), 0);
    auto request = master.lastRequest();
    EXPECT_EQ(Bytes(request.begin(), request.end()),
              (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    EXPECT_EQ(frameBytes(3), (Bytes{0x01, 0x03, 20}));
    for (uint16_t i = 0; i < 10; ++i)
        EXPECT_EQ(registerAt(i), sim::deterministicRegister(i, 10)) << i;
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(frame.data(), 25)));
    EXPECT_EQ(master.receivedByteTotal.load(), 25u);
    EXPECT_TRUE(window.messages().empty());

    // The longest read a frame buffer takes: 125 registers, 255 bytes of reply.
    ASSERT_EQ(master.readHoldingBlock(250, 1, 0x0100, frame), 0);
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(frame.data(), 255)));
    EXPECT_EQ(registerAt(124), sim::deterministicRegister(0x0100 + 124, 125));
    EXPECT_EQ(master.receivedByteTotal.load(), 280u);
}

TEST_F(ModbusMasterTest, ReplyArrivingInPiecesIsCollected) {
    // At 9600 bit/s the simulator sends a byte a millisecond: the 255-byte reply comes in many
    // small pieces over a quarter of a second.
    connect({"--bitrate", "9600"}, 9600);
    master.warmUpCount = 4;
    ASSERT_EQ(master.readHoldingBlock(250, 1, 0x0010, frame), 0);
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(frame.data(), 255)));
    EXPECT_EQ(registerAt(0), sim::deterministicRegister(0x0010, 125));
}

TEST_F(ModbusMasterTest, WarmUpSendsWithoutReadingAndLaterReadsLagFour) {
    connect({"--mode", "counting"});
    master.warmUpCount = 0;
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(master.readHoldingBlock(20, 1, 0x0040, frame), 0);
        EXPECT_EQ(master.receivedByteTotal.load(), 0u) << "nothing is read during warm-up";
    }
    master.warmUpCount = 4;
    // Each transaction now collects the reply of the request sent four before it.
    for (uint32_t k = 1; k <= 3; ++k) {
        ASSERT_EQ(master.readHoldingBlock(20, 1, 0x0040, frame), 0) << k;
        EXPECT_EQ(registerAt(0), sim::countingRegister(0x0040, k)) << k;
        EXPECT_EQ(registerAt(9), sim::countingRegister(0x0049, k)) << k;
    }
    EXPECT_EQ(master.receivedByteTotal.load(), 75u);
}

TEST_F(ModbusMasterTest, ExceptionRepliesAreReportedByCode) {
    // A read of 0 bytes takes exactly the 5 bytes of an exception reply, so each is examined.
    connect(
        {"--exception", "2@1", "--exception", "3@2", "--exception", "1@3", "--exception", "5@4"});
    master.warmUpCount = 4;
    const TextId expected[] = {
        text::MSG_COM_ABNORMAL_RESPONSE_ADDRESS_CONTENTS,
        text::MSG_COM_ABNORMAL_RESPONSE_ACCESS_CONTENTS,
        text::MSG_COM_ABNORMAL_RESPONSE_INJUSTICE_CONTENTS,
        text::MSG_COM_ABNORMAL_RESPONSE_INJUSTICE_CONTENTS,
    };
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(master.readHoldingBlock(0, 1, 0, frame), -1) << i;
        auto messages = window.messages();
        ASSERT_EQ(messages.size(), i + 1);
        EXPECT_EQ(messages[i].caption, texts.GetText(text::APP_TITLE));
        EXPECT_EQ(messages[i].text, expectedReport(expected[i])) << i;
        EXPECT_EQ(messages[i].icon, MessageIcon::Error);
    }
    EXPECT_FALSE(texts.GetText(text::APP_TITLE).empty());
}

TEST_F(ModbusMasterTest, LoneExceptionToALongReadTimesOutSilently) {
    connect({"--exception", "2"});
    master.warmUpCount = 4;
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, frame), -1);
    EXPECT_EQ(frameBytes(2), (Bytes{0x01, 0x83}));
    EXPECT_EQ(master.receivedByteTotal.load(), 5u);
    EXPECT_TRUE(window.messages().empty());
}

TEST_F(ModbusMasterTest, ExceptionFilledUpByLaterRepliesIsReported) {
    connect({"--exception", "2@1"});
    master.warmUpCount = 0;
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(master.readHoldingBlock(20, 1, 0, frame), 0);
    master.warmUpCount = 4;
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, frame), -1);
    auto messages = window.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, expectedReport(text::MSG_COM_ABNORMAL_RESPONSE_ADDRESS_CONTENTS));
}

TEST_F(ModbusMasterTest, ReadFailuresWithoutMessages) {
    struct Case {
        std::vector<std::string> sim;
        uint8_t station;
        uint32_t received;  // bytes counted before the failure
    };
    const Case cases[] = {
        {{"--as-station", "2"}, 1, 25},  // another station answers
        {{"--silent", "all"}, 1, 0},     // nobody answers
        {{"--truncate", "3"}, 1, 22},    // the reply stops short
        {{"--station", "7"}, 1, 0},      // the controller listens to another address
    };
    for (const auto& c : cases) {
        connect(c.sim);
        master.warmUpCount = 4;
        master.receivedByteTotal = 0;
        EXPECT_EQ(master.readHoldingBlock(20, c.station, 0, frame), -1) << c.sim[0];
        EXPECT_EQ(master.receivedByteTotal.load(), c.received) << c.sim[0];
        link.closePort(context);
    }
    EXPECT_TRUE(window.messages().empty());
}

TEST_F(ModbusMasterTest, ReadThatCannotFitIsRefusedBeforeSending) {
    connect({"--mode", "counting"});
    master.warmUpCount = 4;
    EXPECT_EQ(master.readHoldingBlock(252, 1, 0, frame), -1);
    std::array<uint8_t, 20> small{};
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, small), -1);
    // Had either been sent, this reply would belong to a later read.
    ASSERT_EQ(master.readHoldingBlock(20, 1, 0, frame), 0);
    EXPECT_EQ(registerAt(0), sim::countingRegister(0, 1));
}

TEST_F(ModbusMasterTest, NothingWorksWithoutAPort) {
    master.warmUpCount = 4;
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, frame), -1);
    EXPECT_EQ(master.readExact(4, frame), -1);
    EXPECT_EQ(master.echoCheck(1, context), -1);
    EXPECT_EQ(master.receiveEchoReply(context, frame), -1);
}

TEST_F(ModbusMasterTest, EchoPasses) {
    connect({});
    ASSERT_EQ(master.echoCheck(1, context), 0);
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
        EXPECT_EQ(master.echoCheck(1, context), 0) << rates[i];
        uint32_t wrong = rates[(i + 1) % std::size(rates)];
        ASSERT_EQ(link.configurePort(wrong, context, 1, 0), 0);
        EXPECT_EQ(master.echoCheck(1, context), -1) << rates[i] << " heard at " << wrong;
    }
}

TEST_F(ModbusMasterTest, EchoFailures) {
    struct Case {
        std::vector<std::string> sim;
        uint8_t station;
    };
    const Case cases[] = {
        {{"--bad-crc", "all"}, 1}, {{"--as-station", "3"}, 1},  // CRC right, one byte wrong
        {{"--exception", "1"}, 1},                              // the 5-byte exception echo
        {{"--truncate", "1"}, 1},  {{"--silent", "all"}, 1},   {{}, 2},  // nobody at that station
    };
    for (const auto& c : cases) {
        connect(c.sim);
        EXPECT_EQ(master.echoCheck(c.station, context), -1)
            << (c.sim.empty() ? "station" : c.sim[0]);
        link.closePort(context);
    }
}

TEST_F(ModbusMasterTest, ExceptionEchoEndsAfterFiveBytes) {
    connect({"--exception", "1"});
    std::array<uint8_t, kRequestLength> request{};
    buildEchoRequest(1, request);
    ASSERT_TRUE(link.write(request));
    std::array<uint8_t, 16> reply{};
    ASSERT_EQ(master.receiveEchoReply(context, reply), 0);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 3), (Bytes{0x01, 0x88, 0x01}));
    EXPECT_TRUE(frameCrcValid(std::span<const uint8_t>(reply.data(), 5)));
    EXPECT_EQ(reply[5], 0) << "nothing beyond the five bytes is taken";
}

TEST_F(ModbusMasterTest, EchoWaitsOutSeveralIntervalsButNotTen) {
    // At 38400 bit/s an interval is 8 ms: a 30 ms answer costs a few intervals of the budget,
    // a 400 ms one outlasts all ten.
    connect({"--turnaround", "30"});
    EXPECT_EQ(master.echoCheck(1, context), 0);
    connect({"--turnaround", "400"});
    EXPECT_EQ(master.echoCheck(1, context), -1);
}

TEST_F(ModbusMasterTest, EchoCanBeCancelled) {
    connect({"--silent", "all"}, 38400, 60000);
    std::atomic<bool> cancel{true};
    EXPECT_EQ(master.echoCheck(1, context, &cancel), -1);
    // Cancelled while it waits out a minute-long response delay.
    cancel = false;
    std::thread canceller([&] {
        std::this_thread::sleep_for(20ms);
        cancel = true;
    });
    EXPECT_EQ(master.echoCheck(1, context, &cancel), -1);
    canceller.join();
    // And while it polls for the reply.
    ASSERT_EQ(link.configurePort(38400, context, 1, 0), 0);
    cancel = false;
    std::array<uint8_t, 16> reply{};
    std::thread late([&] {
        std::this_thread::sleep_for(20ms);
        cancel = true;
    });
    EXPECT_EQ(master.receiveEchoReply(context, reply, &cancel), -1);
    late.join();
}

TEST_F(ModbusMasterTest, LineClosedMidReplyFailsAtOnce) {
    // The simulator sends 10 bytes of the reply, then hangs up and exits.
    connect({"--hangup", "1:10"});
    master.warmUpCount = 4;
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, frame), -1);
    EXPECT_EQ(link.lastError(), SerialError::ResourceLost);
    EXPECT_EQ(master.readHoldingBlock(20, 1, 0, frame), -1);
    EXPECT_EQ(master.echoCheck(1, context), -1);
    EXPECT_EQ(sim->waitExit(5s), 0);
}

TEST_F(ModbusMasterTest, SimulatorKilledMidReplyFailsAtOnce) {
    // 255 bytes at 9600 bit/s take a quarter of a second: time enough to pull the plug once
    // the simulator has taken the request.
    connect({"--bitrate", "9600", "--trace"}, 9600);
    master.warmUpCount = 4;
    int result = 0;
    std::thread reader([&] { result = master.readHoldingBlock(250, 1, 0, frame); });
    auto deadline = std::chrono::steady_clock::now() + 5s;
    while (sim->log().find("rx ") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    sim->kill();
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(link.lastError(), SerialError::ResourceLost);
}

TEST_F(ModbusMasterTest, EchoWithTheLineClosedFails) {
    connect({"--hangup", "1"});
    EXPECT_EQ(master.echoCheck(1, context), -1);
    EXPECT_EQ(link.lastError(), SerialError::ResourceLost);
}

}  // namespace
}  // namespace kestiva
