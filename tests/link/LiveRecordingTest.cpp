// The live view of a recording: it decodes only what the engine has published, and shows the
// values the pass after the recording gives, with a gap where that pass finds a bad frame.
// The engine tests run it on a thread of its own beside the recording worker (ThreadSanitizer
// sees any byte it reads before the worker published it).

#include "link/LiveRecording.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <thread>
#include <vector>

#include "link/CaptureDecoding.h"
#include "link/ConfiguredItems.h"
#include "link/ModbusFrames.h"
#include "link/ModbusMaster.h"
#include "link/SamplingEngine.h"
#include "link/SimProcess.h"
#include "recording/PageFigures.h"
#include "recording/TextToLong.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::dataItem;
using testing::ioSignal;
using testing::SimProcess;
using testing::TempProgramFolder;

// 6 bytes from 0x40: a signed high byte that turns negative as the counting simulator's reads
// pass 127, an unsigned word with a scale, and a DWORD over the last two registers.
ControllerRecord dataRecord() {
    ControllerRecord r;
    r.name = "data";
    r.rangeAddress1 = 0x40;
    r.rangeLength1 = 6;
    r.items[0] = dataItem(0x40, 4, 0.5);   // MSB
    r.items[1] = dataItem(0x41, 3, 0.01);  // UWORD
    r.items[2] = dataItem(0x41, 0);        // DWORD
    return r;
}

// 2 bytes IN at 0x200 and 4 bytes OUT at 0x300; the counting simulator's high byte moves the
// bits from 8 on.
ControllerRecord ioRecord() {
    ControllerRecord r;
    r.name = "io";
    r.rangeAddress1 = 0x200;
    r.rangeLength1 = 2;
    r.rangeAddress2 = 0x300;
    r.rangeLength2 = 4;
    for (int k = 0; k < 8; ++k)
        r.items[std::size_t(k)] = ioSignal(0x200, uint8_t(8 + k));
    r.items[8] = ioSignal(0x301, 8);
    r.items[9] = ioSignal(0x300, 0);
    r.items[15] = ioSignal(0x301, 9);
    return r;
}

// A reply frame of data as the engine stores it, with a good CRC unless spoiled.
std::vector<uint8_t> frame(std::vector<uint8_t> data, bool spoiled = false) {
    std::vector<uint8_t> f{1, 3, uint8_t(data.size())};
    for (const uint8_t b : data)
        f.push_back(b);
    const auto crc = crc16(f);
    f.push_back(crc[0]);
    f.push_back(uint8_t(crc[1] ^ (spoiled ? 0xFF : 0)));
    return f;
}

TEST(LiveRecordingPollTest, DecodesOnlyCompleteSamplesAndMarksBadFramesAsGaps) {
    // Three frames of the data record, the second with a broken CRC, then a fourth whose
    // bytes lie beyond what any poll is shown.
    std::vector<uint8_t> capture;
    for (const auto& f :
         {frame({0x81, 0x02, 0x00, 0x03, 0x00, 0x04}),
          frame({0x01, 0x02, 0x00, 0x03, 0x00, 0x04}, true),
          frame({0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}), frame({0x00, 0x00, 0x00, 0x00, 0x00, 0x00})})
        capture.insert(capture.end(), f.begin(), f.end());
    std::atomic<uint32_t> published{0};
    LiveRecording live(capture.data(), published);
    live.begin(kDataMonitor, dataRecord(), 1000, 2);  // 2 s at 1 s: three samples
    ASSERT_EQ(live.plannedSamples(), 3u);

    EXPECT_EQ(live.poll(), 0u);
    published = 11 + 5;  // the first frame and part of the second
    EXPECT_EQ(live.poll(), 1u);
    published = 3 * 11 + 6;  // three frames and part of the fourth
    EXPECT_EQ(live.poll(), 2u);
    EXPECT_EQ(live.newSamples().size(), 2u);
    published = 4 * 11;  // the fourth is past the planned samples
    EXPECT_EQ(live.poll(), 0u);
    ASSERT_EQ(live.sampleCount(), 3u);
    EXPECT_EQ(live.gapCount(), 1u);

    const LiveSample first = live.sample(0);
    EXPECT_TRUE(first.valid);
    EXPECT_EQ(first.raw[0], -127);  // 0x81 as a signed byte
    EXPECT_DOUBLE_EQ(first.plotted[0], -63.5);
    EXPECT_EQ(first.raw[1], 3);
    EXPECT_DOUBLE_EQ(first.plotted[1], 0.03);
    EXPECT_EQ(first.raw[2], 0x00030004);
    const LiveSample gap = live.sample(1);
    EXPECT_FALSE(gap.valid);
    EXPECT_EQ(gap.timeMs, 1000u);
    EXPECT_EQ(gap.raw[0], 0);
    const LiveSample last = live.sample(2);
    EXPECT_TRUE(last.valid);
    EXPECT_EQ(last.raw[1], 0xFFFF);
    EXPECT_EQ(last.raw[2], -2);  // 0xFFFFFFFE as a DWORD
    EXPECT_EQ(last.timeMs, 2000u);
}

// The pass after a recording takes the samples the live view has decoded and checked instead
// of decoding them again: whatever the live view holds, the page ends with the tables, the
// count and the window calls of the pass that decodes every frame itself.
TEST(LiveRecordingPassTest, ThePassGivesTheSameTablesWithOrWithoutTheLiveView) {
    struct Case {
        const char* what;
        MonitorKind followed;  // the monitor the live view follows
        uint32_t published;    // samples the live view has polled
        int spoiled;           // a frame whose CRC the live view finds broken; -1 none
    };
    const Case cases[] = {
        {"all samples", kDataMonitor, 12, -1},
        {"the first five", kDataMonitor, 5, -1},
        {"a gap at the fourth", kDataMonitor, 12, 3},
        {"none yet", kDataMonitor, 0, -1},
        {"another monitor's", kIoMonitor, 12, -1},
    };
    const ControllerRecord record = dataRecord();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> capture;
        for (int j = 0; j < 12; ++j) {
            const auto b = uint8_t(j * 37);
            const auto f = frame({uint8_t(0x80 + j), b, uint8_t(j), uint8_t(~b), b, uint8_t(j * 5)},
                                 j == c.spoiled);
            capture.insert(capture.end(), f.begin(), f.end());
        }
        struct Pass {
            LanguageCatalogue texts{testing::testProgramFolder()};
            SessionState session;
            testing::RecordingWindow window;
            std::unique_ptr<PageRecording> dataPage = std::make_unique<PageRecording>(kDataMonitor);
            std::unique_ptr<PageRecording> ioPage = std::make_unique<PageRecording>(kIoMonitor);
            void run(std::vector<uint8_t>& capture, const ControllerRecord& record,
                     const LiveRecording* live) {
                session.monitorMode = kDataMonitor;
                dataPage->active = record;
                dataPage->cycle = 1000;
                dataPage->time = 11;
                CaptureDecoder decoder(capture.data(), *dataPage, *ioPage, session, window, texts);
                decoder.setLoadPause(0ms);
                decoder.onRecordingComplete(SamplingState::Finished,
                                            uint32_t(capture.size()), live);
            }
        };
        Pass plain, followed;
        plain.run(capture, record, nullptr);
        std::atomic<uint32_t> published{c.published * 11};
        LiveRecording live(capture.data(), published);
        live.begin(c.followed, c.followed == kDataMonitor ? record : ioRecord(), 1000, 11);
        live.poll();
        // The live view's tables differ from what the pass writes wherever it would take them
        // from the wrong place: the page starts from other values.
        std::fill(followed.dataPage->rawData.begin(), followed.dataPage->rawData.end(), 99);
        followed.run(capture, record, &live);

        const PageRecording& want = *plain.dataPage;
        const PageRecording& got = *followed.dataPage;
        ASSERT_EQ(got.sampleCount, 12u);
        ASSERT_EQ(got.sampleCount, want.sampleCount);
        for (uint32_t j = 0; j < want.sampleCount; ++j) {
            for (int k = 0; k < kDataItemCount; ++k)
                EXPECT_EQ(got.rawData[j * kDataItemCount + std::size_t(k)],
                          want.rawData[j * kDataItemCount + std::size_t(k)])
                    << "sample " << j << " item " << k;
            for (int col = 0; col <= kDataItemCount; ++col)
                EXPECT_EQ(got.texts.cell(j, col), want.texts.cell(j, col))
                    << "sample " << j << " column " << col;
        }
        EXPECT_EQ(followed.window.calls(), plain.window.calls());
        EXPECT_EQ(followed.session.dataSavable.load(), plain.session.dataSavable.load());
    }
}

// The engine records from the counting simulator while a thread of the test follows it as the
// window's timer would; the completion routine then runs the pass after the recording.
class LiveRecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts.LoadLanguageCatalogue();
        settings.portName = "COM1";
        settings.bitRate = 115200;
        settings.silentFactor = 1;
        settings.responseDelay = 0;
        settings.verifiedStation = 1;
        request.portContext = &context;
        request.completion = [this](SamplingState state, uint32_t bytes) {
            endState = state;
            goodBytes = bytes;
            decoder.onRecordingComplete(state, bytes);
        };
        decoder.setLoadPause(0ms);
    }

    // Records monitor with record; the live view polls on its own thread throughout.
    void recordFollowed(MonitorKind monitor, const ControllerRecord& record, uint16_t cycle,
                        uint16_t time, std::vector<std::string> simOptions) {
        simOptions.insert(simOptions.end(), {"--mode", "counting", "--bitrate", "115200"});
        sim = std::make_unique<SimProcess>(simOptions, folder.portLink(1));
        ASSERT_TRUE(sim->ok()) << sim->log();
        PageRecording& page = monitor == kDataMonitor ? *dataPage : *ioPage;
        page.active = record;
        page.cycle = cycle;
        page.time = time;
        session.monitorMode = monitor;
        const StartResult started =
            monitor == kDataMonitor
                ? engine->startDataSampling(cycle, time, request, 1, record.rangeAddress1,
                                            record.rangeLength1, capture.data())
                : engine->startIoSampling(cycle, time, request, 1, record.rangeAddress1,
                                          record.rangeLength1, record.rangeAddress2,
                                          record.rangeLength2, capture.data());
        ASSERT_EQ(started, StartResult::Ok);
        live.begin(monitor, record, cycle, time);
        const uint32_t bytesPerSample = sampleBytes(monitor, record);
        std::thread follower([&] {
            while (engine->workerRunning()) {
                live.poll();
                // Whatever it decoded lay below the count published before it looked.
                EXPECT_LE(uint64_t(live.sampleCount()) * bytesPerSample,
                          engine->completeBytes().load(std::memory_order_acquire));
                std::this_thread::sleep_for(1ms);
            }
        });
        follower.join();
        engine->waitForWorker();
        live.poll();
    }

    // Compares the live samples with what the pass after the recording made of the same
    // frames: raw words (data) or bits (I/O) by sample, and the plotted value of each word.
    template <typename FinalValue>
    void expectLiveMatches(MonitorKind monitor, uint32_t samples, FinalValue finalValue) {
        ASSERT_EQ(live.sampleCount(), samples);
        const ControllerRecord& record = live.record();
        for (const LiveSample s : live.samples()) {
            EXPECT_EQ(s.timeMs, s.index * live.cycle());
            if (!s.valid)
                continue;
            for (int k = 0; k < (monitor == kDataMonitor ? kDataItemCount : kIoSignalCount); ++k) {
                if (record.items[std::size_t(k)].enabled != 1)
                    continue;
                const int32_t expected = finalValue(s.index, k);
                if (monitor == kDataMonitor) {
                    EXPECT_EQ(s.raw[std::size_t(k)], expected)
                        << "sample " << s.index << " item " << k;
                    EXPECT_EQ(s.plotted[std::size_t(k)],
                              plottedValue(record.items[std::size_t(k)], expected));
                } else {
                    EXPECT_EQ(s.levels[std::size_t(k)], expected)
                        << "sample " << s.index << " signal " << k;
                }
            }
        }
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
    std::unique_ptr<SamplingEngine> engine =
        std::make_unique<SamplingEngine>(master, settings, session, window, window, texts);
    std::unique_ptr<PageRecording> dataPage = std::make_unique<PageRecording>(kDataMonitor);
    std::unique_ptr<PageRecording> ioPage = std::make_unique<PageRecording>(kIoMonitor);
    CaptureDecoder decoder{capture.data(), *dataPage, *ioPage, session, window, texts};
    LiveRecording live{capture.data(), engine->completeBytes()};
    std::unique_ptr<SimProcess> sim;
    SamplingState endState = SamplingState::Running;
    uint32_t goodBytes = 0;
};

TEST_F(LiveRecordingTest, AgreesWithThePassAfterTheRecordingSampleBySample) {
    struct Case {
        const char* what;
        MonitorKind monitor;
        uint16_t cycle;  // 83 ms or less: replies read four cycles late
        uint16_t time;
    };
    const Case cases[] = {
        {"data, short cycles", kDataMonitor, 20, 3},
        {"I/O, short cycles", kIoMonitor, 50, 2},
        {"data, long cycles", kDataMonitor, 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ControllerRecord record = c.monitor == kDataMonitor ? dataRecord() : ioRecord();
        recordFollowed(c.monitor, record, c.cycle, c.time, {});
        ASSERT_EQ(endState, SamplingState::Finished);
        EXPECT_EQ(live.gapCount(), 0u);
        PageRecording& page = c.monitor == kDataMonitor ? *dataPage : *ioPage;
        expectLiveMatches(c.monitor, page.sampleCount, [&](uint32_t sample, int k) {
            return c.monitor == kDataMonitor ? page.dataValue(sample, k)
                                             : int32_t(page.ioBit(sample, k));
        });
    }
}

TEST_F(LiveRecordingTest, AFrameThatFailsItsCrcIsAGapWhereThePassAfterwardsStops) {
    struct Case {
        const char* what;
        MonitorKind monitor;
        uint16_t cycle;
        const char* badRequest;
    };
    const Case cases[] = {
        {"data", kDataMonitor, 100, "6"},
        {"I/O, its second range", kIoMonitor, 50, "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ControllerRecord record = c.monitor == kDataMonitor ? dataRecord() : ioRecord();
        recordFollowed(c.monitor, record, c.cycle, 1, {"--bad-crc", c.badRequest});
        ASSERT_EQ(endState, SamplingState::CrcError);
        // The pass stops at the bad frame; the live view shows it as the one gap and goes on.
        const uint32_t badSample = goodBytes / sampleBytes(c.monitor, record);
        EXPECT_EQ(live.gapCount(), 1u);
        EXPECT_FALSE(live.sample(badSample).valid) << "sample " << badSample;
        // The values of every other frame as the pass decodes them when it gets them all.
        PageRecording& page = c.monitor == kDataMonitor ? *dataPage : *ioPage;
        const uint32_t stored = engine->completeBytes().load();
        ASSERT_EQ(c.monitor == kDataMonitor ? decoder.decodeDataFrames(stored)
                                            : decoder.decodeIoFrames(stored),
                  1);
        expectLiveMatches(c.monitor, page.sampleCount, [&](uint32_t sample, int k) {
            return textToLong(page.texts.cell(sample, k + 1));
        });
    }
}

}  // namespace
}  // namespace kestiva
