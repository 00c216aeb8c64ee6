// The Start button's preparation: the page made ready for the new recording, the start entry
// called with the verified station and the record's ranges, and the outcome shown.

#include "link/RecordingStart.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "link/ModbusMaster.h"
#include "link/SimProcess.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

using testing::SimProcess;
using testing::TempProgramFolder;

// 2024-03-01 14:05:30 UTC.
constexpr std::time_t kStartTime = 1709301930;

ControllerRecord dataController() {
    ControllerRecord record;
    record.name = "Motion";
    record.rangeAddress1 = 0x1000;
    record.rangeLength1 = 16;
    record.items[0].name = "Position";
    record.items[0].enabled = 1;
    record.items[0].address = 0x1000;
    return record;
}

ControllerRecord ioController() {
    ControllerRecord record;
    record.name = "Bits";
    record.rangeAddress1 = 0x2000;
    record.rangeLength1 = 2;
    record.rangeAddress2 = 0x2100;
    record.rangeLength2 = 2;
    record.items[0].name = "Start";
    record.items[0].enabled = 1;
    record.items[0].address = 0x2000;
    return record;
}

class RecordingStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        texts.LoadLanguageCatalogue();
        settings.portName = "COM1";
        settings.bitRate = 115200;
        settings.silentFactor = 1;
        settings.verifiedStation = 0x105;  // only its low byte addresses the controller
        request.portContext = &context;
        request.completion = [this](SamplingState state, uint32_t) { endState = state; };
        // What the previous recording left behind.
        dataPage->sampleCount = 42;
        dataPage->active.name = "Previous";
        session.dataSavable = true;
        session.ioSavable = true;
    }

    TempProgramFolder folder;
    LanguageCatalogue texts{testing::testProgramFolder()};
    testing::RecordingWindow window;
    CommunicationSettings settings;
    SessionState session;
    SerialLink link{folder.path()};
    ModbusMaster master{link};
    PortContext context;
    SamplingRequest request;
    std::vector<uint8_t> capture = std::vector<uint8_t>(kCaptureBufferSize);
    SamplingEngine engine{master, settings, session, window, window, texts};
    std::unique_ptr<PageRecording> dataPage = std::make_unique<PageRecording>(kDataMonitor);
    std::unique_ptr<PageRecording> ioPage = std::make_unique<PageRecording>(kIoMonitor);
    RecordingStart starter{engine, request, capture.data(), settings, session, window, texts};
    SamplingState endState = SamplingState::Running;
};

TEST_F(RecordingStartTest, DateTextsFollowTheMonitor) {
    EXPECT_EQ(recordingDateText(kDataMonitor, kStartTime), "20240301 14:05");
    EXPECT_EQ(recordingDateText(kIoMonitor, kStartTime), "2024/03/01 14:05");
    EXPECT_EQ(recordingProgressTotal(20, 10), 500);
    EXPECT_EQ(recordingProgressTotal(30, 1), 33);
    EXPECT_EQ(recordingProgressTotal(0, 10), 0);
}

TEST_F(RecordingStartTest, ADataRecordingStartsOnAPreparedPage) {
    SimProcess sim({"--station", "5", "--bitrate", "115200"}, folder.portLink(1));
    ASSERT_TRUE(sim.ok()) << sim.log();

    ASSERT_EQ(starter.start(*dataPage, dataController(), 100, 1, kStartTime), StartResult::Ok);
    EXPECT_FALSE(session.dataSavable.load());
    EXPECT_TRUE(session.ioSavable.load()) << "the other page keeps its recording";
    EXPECT_EQ(dataPage->active.name, "Motion");
    EXPECT_EQ(dataPage->active.items[0].name, "Position");
    EXPECT_EQ(dataPage->cycle, 100);
    EXPECT_EQ(dataPage->time, 1);
    EXPECT_EQ(dataPage->startDate, "20240301 14:05");
    EXPECT_EQ(session.progressTotal.load(), 10);
    EXPECT_EQ(session.phase(), ProgressPhase::Recording);
    EXPECT_EQ(request.station, 0x105) << "the timing step keeps the verified station";
    EXPECT_EQ(request.rangeCount, 1);
    EXPECT_EQ(request.firstAddress, 0x1000);
    EXPECT_EQ(request.firstCount, 16);
    const auto calls = window.calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "clear0");
    EXPECT_EQ(calls[1], "disableControls");

    engine.waitForWorker();
    // Station 5 (the low byte of 0x105) answered every read.
    EXPECT_EQ(endState, SamplingState::Finished) << sim.log();
    EXPECT_TRUE(window.messages().empty());
}

TEST_F(RecordingStartTest, AnIoRecordingReadsBothRanges) {
    SimProcess sim({"--station", "5", "--bitrate", "115200"}, folder.portLink(1));
    ASSERT_TRUE(sim.ok()) << sim.log();

    ASSERT_EQ(starter.start(*ioPage, ioController(), 100, 1, kStartTime), StartResult::Ok);
    EXPECT_FALSE(session.ioSavable.load());
    EXPECT_TRUE(session.dataSavable.load());
    EXPECT_EQ(ioPage->startDate, "2024/03/01 14:05");
    EXPECT_EQ(request.rangeCount, 2);
    EXPECT_EQ(request.secondAddress, 0x2100);
    EXPECT_EQ(request.secondCount, 2);
    EXPECT_EQ(window.calls().front(), "clear1");
    engine.waitForWorker();
    EXPECT_EQ(endState, SamplingState::Finished) << sim.log();
}

TEST_F(RecordingStartTest, StartErrorsShowTheirMessageOnAPageAlreadyPrepared) {
    struct Case {
        uint16_t cycle;
        uint16_t time;
        StartResult result;
        TextId message;  // -1: no message
    };
    const Case cases[] = {
        {20, 3001, StartResult::TooManyCycles, text::MSG_SAMPLING_BUFFER_ERR},
        {2000, 1, StartResult::CycleLongerThanTime, text::MSG_SAMPLING_CYCLE_ERR},
        {13, 1, StartResult::CycleTooShort, text::MSG_SAMPLING_OVER_ERR},
        {0, 1, StartResult::BadArgument, -1},
    };
    for (const Case& c : cases) {
        testing::RecordingWindow quiet;
        RecordingStart start(engine, request, capture.data(), settings, session, quiet, texts);
        session.dataSavable = true;
        EXPECT_EQ(start.start(*dataPage, dataController(), c.cycle, c.time, kStartTime), c.result);
        const auto messages = quiet.messages();
        if (c.message < 0) {
            EXPECT_TRUE(messages.empty());
        } else {
            ASSERT_EQ(messages.size(), 1u) << c.cycle;
            EXPECT_EQ(messages[0].caption, texts.GetText(text::MSG_ALARM_TITLE));
            EXPECT_EQ(messages[0].text, texts.GetText(c.message));
            EXPECT_EQ(messages[0].icon, MessageIcon::Error);
        }
        // The preparation is not undone, and the window stays idle.
        EXPECT_FALSE(session.dataSavable.load());
        EXPECT_EQ(dataPage->active.name, "Motion");
        EXPECT_EQ(dataPage->sampleCount, 0u);
        EXPECT_EQ(session.phase(), ProgressPhase::Idle);
        EXPECT_FALSE(quiet.called("disableControls"));
        EXPECT_FALSE(engine.workerRunning());
    }
}

}  // namespace
}  // namespace kestiva
