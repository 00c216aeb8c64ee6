// The sampling engine against the simulated controller, over real pseudo-terminals.

#include "link/SamplingEngine.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "link/CaptureDecoding.h"
#include "link/ModbusMaster.h"
#include "link/PtyLine.h"
#include "link/SimProcess.h"
#include "support/RecordingWindow.h"
#include "tools/sim/DeterministicMap.h"

namespace kestiva {

// Failures name the state rather than print its bytes.
void PrintTo(SamplingState state, std::ostream* out) { *out << "state " << int(state); }

namespace {

using namespace std::chrono_literals;
using testing::SimProcess;
using testing::TempProgramFolder;

constexpr uint32_t kFastBitRate = 115200;

// Polls until done() holds or ten seconds pass; true when it holds.
template <typename Condition>
bool eventually(Condition done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

struct Completion {
    SamplingState state = SamplingState::Running;
    uint32_t bytes = 0;
    int calls = 0;
};

class SamplingEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        texts.LoadLanguageCatalogue();
        settings.portName = "COM1";
        settings.bitRate = kFastBitRate;
        settings.silentFactor = 1;
        settings.responseDelay = 0;
        settings.verifiedStation = 1;
        request.portContext = &context;
        request.completion = [this](SamplingState state, uint32_t bytes) {
            completion.state = state;
            completion.bytes = bytes;
            completion.calls += 1;
        };
    }

    void startSim(std::vector<std::string> options) {
        options.insert(options.end(), {"--bitrate", std::to_string(settings.bitRate)});
        sim = std::make_unique<SimProcess>(std::move(options), folder.portLink(1));
        ASSERT_TRUE(sim->ok()) << sim->log();
    }

    // Read requests the simulator heard, from its trace, once it has heard at least expected
    // of them (the last one may still be on its way when the recording ends).
    int simReads(int expected) {
        auto count = [&] {
            const std::string log = sim->log();
            int reads = 0;
            for (auto at = log.find("] rx 01 03 "); at != std::string::npos;
                 at = log.find("] rx 01 03 ", at + 1))
                ++reads;
            return reads;
        };
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (count() < expected && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        sim->stop();
        return count();
    }

    StartResult startData(uint16_t cycle, uint16_t time, uint16_t address, uint16_t bytes) {
        return engine->startDataSampling(cycle, time, request, 1, address, bytes, capture.data());
    }

    // The I/O shape the two-range tests record: 2 bytes at 0x200, then 4 bytes at 0x300.
    static constexpr uint32_t kIoCycleBytes = 7 + 9;
    StartResult startIo(uint16_t cycle, uint16_t time) {
        return engine->startIoSampling(cycle, time, request, 1, 0x200, 2, 0x300, 4,
                                       capture.data());
    }

    // A counting simulator's replies as a short-cycle recording stores them: the n-th stored
    // frame (one range of 2 bytes at 0x10) or cycle (the I/O shape) holds the replies to the
    // n-th request, or pair of requests, sent.
    void expectRepliesInOrder(bool io, uint32_t stored) {
        for (uint32_t k = 0; k < stored; ++k) {
            if (io) {
                const uint8_t* cycle = &capture[k * kIoCycleBytes];
                EXPECT_EQ(cycle[3] << 8 | cycle[4], sim::countingRegister(0x200, 2 * k + 1)) << k;
                EXPECT_EQ(cycle[7 + 3] << 8 | cycle[7 + 4],
                          sim::countingRegister(0x300, 2 * k + 2))
                    << k;
            } else {
                EXPECT_EQ(capture[k * 7 + 3] << 8 | capture[k * 7 + 4],
                          sim::countingRegister(0x10, k + 1))
                    << k;
            }
        }
    }

    // When the simulator heard each read request, on the test's own clock. Lower bounds on
    // when they were sent: the simulator notes a request a little after it arrives.
    std::vector<std::chrono::steady_clock::time_point> readRequestTimes() const {
        std::istringstream lines(sim->log());
        double origin = 0;
        std::vector<double> seconds;
        for (std::string line; std::getline(lines, line);) {
            double at = 0;
            if (std::sscanf(line.c_str(), "[%lf]", &at) != 1) continue;
            if (std::sscanf(line.c_str(), "[%*f] time 0 is %lf", &origin) == 1) continue;
            if (line.find("] rx 01 03 ") != std::string::npos) seconds.push_back(at);
        }
        std::vector<std::chrono::steady_clock::time_point> times;
        for (double at : seconds)
            times.emplace_back(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(origin + at)));
        return times;
    }

    // How many trace lines of the simulator hold text.
    int traceCount(const std::string& text) const {
        const std::string log = sim->log();
        int found = 0;
        for (auto at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++found;
        return found;
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
    Completion completion;
    std::vector<uint8_t> capture = std::vector<uint8_t>(kCaptureBufferSize);
    std::unique_ptr<SamplingEngine> engine =
        std::make_unique<SamplingEngine>(master, settings, session, window, window, texts);
    std::unique_ptr<SimProcess> sim;
};

TEST_F(SamplingEngineTest, StartEntriesRefuseBadArguments) {
    settings.bitRate = 38400;
    uint8_t* buffer = capture.data();
    EXPECT_EQ(engine->startDataSampling(0, 10, request, 1, 0, 20, buffer),
              StartResult::BadArgument);
    EXPECT_EQ(engine->startDataSampling(100, 0, request, 1, 0, 20, buffer),
              StartResult::BadArgument);
    EXPECT_EQ(engine->startDataSampling(100, 10, request, 1, 0, 0, buffer),
              StartResult::BadArgument);
    EXPECT_EQ(engine->startDataSampling(100, 10, request, 1, 0, 20, nullptr),
              StartResult::BadArgument);
    // More than one read can carry would overflow the frame buffers.
    EXPECT_EQ(engine->startDataSampling(1000, 10, request, 1, 0, 252, buffer),
              StartResult::BadArgument);
    EXPECT_EQ(engine->startIoSampling(100, 10, request, 1, 0, 0, 0, 0, buffer),
              StartResult::BadArgument);
    EXPECT_EQ(engine->startIoSampling(1000, 10, request, 1, 0, 2, 0, 251, buffer),
              StartResult::BadArgument);
    SamplingRequest withoutPort;
    EXPECT_EQ(engine->startDataSampling(100, 10, withoutPort, 1, 0, 20, buffer),
              StartResult::BadArgument);

    // 3000 s at 20 ms is 150,000 cycles: past the count test, stopped by the line time.
    EXPECT_EQ(engine->startDataSampling(20, 3000, request, 1, 0, 20, buffer),
              StartResult::CycleTooShort);
    EXPECT_EQ(engine->startDataSampling(20, 3001, request, 1, 0, 20, buffer),
              StartResult::TooManyCycles);
    EXPECT_EQ(engine->startDataSampling(2000, 1, request, 1, 0, 20, buffer),
              StartResult::CycleLongerThanTime);
    EXPECT_FALSE(engine->workerRunning());
}

TEST_F(SamplingEngineTest, CycleMustCoverTheLineTime) {
    EXPECT_EQ(SamplingEngine::requiredCycleMicros(38400, 20, 0), 20504u);
    EXPECT_EQ(SamplingEngine::requiredCycleMicros(9600, 250, 0), 288603u);
    EXPECT_EQ(SamplingEngine::requiredCycleMicros(115200, 2, 2), 25210u);

    settings.bitRate = 38400;
    settings.verifiedStation = 7;
    EXPECT_EQ(startData(20, 10, 0, 20), StartResult::CycleTooShort);
    EXPECT_EQ(request.station, 7);  // the timing step has taken the verified station
    settings.bitRate = 9600;
    EXPECT_EQ(startData(288, 10, 0, 250), StartResult::CycleTooShort);
    settings.bitRate = 0;  // no bit rate, no line time: never long enough
    EXPECT_EQ(startData(1000, 10, 0, 20), StartResult::CycleTooShort);

    // 21 ms at 38400 and 289 ms at 9600 pass; with no port they end at the first read.
    settings.portName = "COM200";
    settings.bitRate = 38400;
    EXPECT_EQ(startData(21, 1, 0, 20), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::RequestFailed);
    settings.bitRate = 9600;
    EXPECT_EQ(startData(289, 1, 0, 250), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::RequestFailed);
    EXPECT_EQ(completion.bytes, 0u);
}

TEST_F(SamplingEngineTest, LongCycleStoresEveryReply) {
    startSim({"--mode", "counting", "--trace"});
    // 1 s at 100 ms: 10 cycles, 12 requests, 12 frames stored and tested.
    ASSERT_EQ(startData(100, 1, 0x100, 4), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.calls, 1);
    EXPECT_EQ(completion.state, SamplingState::Finished);
    EXPECT_EQ(completion.bytes, 12u * 9);
    EXPECT_EQ(master.receivedByteTotal, 12u * 9);
    EXPECT_EQ(session.progressCount, 12);
    EXPECT_EQ(session.phase(), ProgressPhase::CrcCheck);
    // Frame k holds the reply to request k + 1.
    for (uint32_t k = 0; k < 12; ++k) {
        const uint8_t* frame = &capture[k * 9];
        EXPECT_EQ(frame[0], 1);
        EXPECT_EQ(frame[1], 3);
        EXPECT_EQ(frame[2], 4);
        EXPECT_EQ(frame[3] << 8 | frame[4], sim::countingRegister(0x100, k + 1));
    }
    EXPECT_EQ(simReads(12), 12);
    EXPECT_FALSE(link.isOpen());
}

TEST_F(SamplingEngineTest, ShortCycleReadsRepliesFourCyclesLate) {
    startSim({"--mode", "counting", "--trace"});
    // 1 s at 50 ms: 20 cycles, 27 requests, 23 frames stored, 21 tested.
    ASSERT_EQ(startData(50, 1, 0x10, 2), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::Finished);
    EXPECT_EQ(completion.bytes, 21u * 7);
    EXPECT_EQ(master.receivedByteTotal, 23u * 7);
    for (uint32_t k = 0; k < 23; ++k)
        EXPECT_EQ(capture[k * 7 + 3] << 8 | capture[k * 7 + 4], sim::countingRegister(0x10, k + 1));
    EXPECT_EQ(simReads(27), 27);
}

TEST_F(SamplingEngineTest, IoRecordingReadsBothRangesEachCycle) {
    startSim({"--mode", "deterministic", "--trace"});
    ASSERT_EQ(engine->startIoSampling(100, 1, request, 1, 0x200, 2, 0x300, 4, capture.data()),
              StartResult::Ok);
    EXPECT_EQ(request.rangeCount, 2);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::Finished);
    EXPECT_EQ(completion.bytes, 12u * (7 + 9));
    EXPECT_EQ(engine->splitDelayUs, 45000u);
    const uint8_t* cycle = &capture[5 * 16];
    EXPECT_EQ(cycle[3] << 8 | cycle[4], sim::deterministicRegister(0x200, 1));
    EXPECT_EQ(cycle[7 + 5] << 8 | cycle[7 + 6], sim::deterministicRegister(0x301, 2));
    EXPECT_EQ(simReads(24), 24);
}

TEST_F(SamplingEngineTest, OutputRangeAloneUsesOneRequestPerCycle) {
    startSim({"--mode", "deterministic"});
    ASSERT_EQ(engine->startIoSampling(100, 1, request, 1, 0x200, 0, 0x300, 2, capture.data()),
              StartResult::Ok);
    EXPECT_EQ(request.rangeCount, 1);
    EXPECT_EQ(request.firstCount, 0);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::Finished);
    EXPECT_EQ(completion.bytes, 12u * 7);
    EXPECT_EQ(capture[3] << 8 | capture[4], sim::deterministicRegister(0x300, 1));
}

TEST_F(SamplingEngineTest, StopDuringWarmUpStoresNothing) {
    startSim({});
    ASSERT_EQ(startData(50, 10, 0, 2), StartResult::Ok);
    engine->requestStop();  // before the first cycle
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::StopRequested);
    EXPECT_EQ(completion.bytes, 0u);
    EXPECT_EQ(session.phase(), ProgressPhase::Idle);  // no CRC pass ran
}

TEST_F(SamplingEngineTest, StopMidRecordingKeepsWhatCame) {
    startSim({});
    ASSERT_EQ(startData(100, 10, 0, 2), StartResult::Ok);
    while (session.progressCount < 3) std::this_thread::yield();
    engine->requestStop();
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::StopRequested);
    EXPECT_GE(completion.bytes, 3u * 7);
    EXPECT_LT(completion.bytes, 20u * 7);
    EXPECT_EQ(completion.bytes % 7, 0u);
}

TEST_F(SamplingEngineTest, CorruptReplyFailsTheCrcPass) {
    startSim({"--bad-crc", "5"});
    ASSERT_EQ(startData(100, 1, 0, 2), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::CrcError);
    EXPECT_EQ(completion.bytes, 4u * 7);  // the four good frames before it
}

TEST_F(SamplingEngineTest, SilenceOrExceptionEndsWithACommunicationError) {
    startSim({"--silent", "3-"});
    ASSERT_EQ(startData(100, 1, 0, 2), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::RequestFailed);
    EXPECT_EQ(completion.bytes, 0u);
    EXPECT_TRUE(window.messages().empty());

    // A lone exception reply is shorter than the read expects: it times out unreported.
    startSim({"--exception", "2@2"});
    ASSERT_EQ(startData(100, 1, 0, 2), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::RequestFailed);
    EXPECT_TRUE(window.messages().empty());

    // With short cycles the replies behind it fill the read, and the exception is shown.
    startSim({"--exception", "2@2"});
    ASSERT_EQ(startData(50, 1, 0, 2), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::RequestFailed);
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_EQ(window.messages()[0].caption, texts.GetText(text::APP_TITLE));
    EXPECT_EQ(window.messages()[0].text, composeExceptionReport(texts, 2));
    EXPECT_NE(window.messages()[0].text.find(
                  texts.GetText(text::MSG_COM_ABNORMAL_RESPONSE_ADDRESS_CONTENTS)),
              std::string::npos);
    EXPECT_EQ(window.messages()[0].icon, MessageIcon::Error);
}

TEST_F(SamplingEngineTest, FullBufferEndsTheRecording) {
    engine = std::make_unique<SamplingEngine>(master, settings, session, window, window, texts, 5 * 7 + 3);
    startSim({});
    ASSERT_EQ(startData(100, 10, 0, 2), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::BufferFull);
    EXPECT_EQ(completion.bytes, 0u);
    EXPECT_EQ(session.progressCount, 5);  // the cycle that overflowed is not counted
}

TEST_F(SamplingEngineTest, RecordingDecodesIntoThePage) {
    startSim({"--mode", "deterministic"});
    auto page = std::make_unique<PageRecording>(kDataMonitor);
    auto ioPage = std::make_unique<PageRecording>(kIoMonitor);
    page->active.rangeAddress1 = 0x40;
    page->active.rangeLength1 = 6;
    page->active.items[0].name = "value";
    page->active.items[0].enabled = 1;
    page->active.items[0].address = 0x42;
    page->active.items[0].typeCode = 3;  // UWORD
    page->cycle = 100;
    page->time = 1;
    CaptureDecoder decoder(capture.data(), *page, *ioPage, session, window, texts);
    decoder.setLoadPause(0ms);
    request.completion = [&](SamplingState state, uint32_t bytes) {
        decoder.onRecordingComplete(state, bytes);
    };
    ASSERT_EQ(startData(100, 1, 0x40, 6), StartResult::Ok);
    engine->waitForWorker();
    ASSERT_EQ(page->sampleCount, 11u);
    EXPECT_EQ(page->dataValue(10, 0), sim::deterministicRegister(0x42, 3));
    EXPECT_EQ(page->texts.cell(10, 0), "1000");
    EXPECT_TRUE(session.dataSavable);
    EXPECT_TRUE(window.called("load0"));
}

TEST_F(SamplingEngineTest, TwoRangeShortCycleReadsRepliesFourCyclesLate) {
    startSim({"--mode", "counting", "--trace"});
    // 1 s at 50 ms: 20 cycles, 27 cycles of two requests, 23 cycles stored, 21 tested.
    ASSERT_EQ(startIo(50, 1), StartResult::Ok);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::Finished);
    EXPECT_EQ(completion.bytes, 21u * kIoCycleBytes);
    EXPECT_EQ(master.receivedByteTotal, 23u * kIoCycleBytes);
    EXPECT_EQ(session.progressCount, 21);
    expectRepliesInOrder(true, 23);
    EXPECT_EQ(simReads(54), 54);
}

TEST_F(SamplingEngineTest, StopAfterTheFirstPhaseDropsThatCyclesFirstFrame) {
    startSim({"--mode", "counting", "--trace"});
    // 400 ms cycles: the second range's request goes out 180 ms into each cycle, time enough
    // to ask for the stop between the two requests of the second cycle.
    ASSERT_EQ(startIo(400, 2), StartResult::Ok);
    const std::string firstRange = "] rx 01 03 02 00 00 01";
    const std::string secondRange = "] rx 01 03 03 00 00 02";
    ASSERT_TRUE(eventually([&] { return traceCount(firstRange) == 2; })) << sim->log();
    engine->requestStop();
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::StopRequested);
    EXPECT_EQ(completion.bytes, kIoCycleBytes) << "the first cycle, whole";
    EXPECT_EQ(session.progressCount, 1);
    expectRepliesInOrder(true, 1);
    sim->stop();
    EXPECT_EQ(traceCount(firstRange), 2);
    EXPECT_EQ(traceCount(secondRange), 1) << "the stopped cycle sent no second request";
}

// Short cycles leave each reply in the input queue for four cycles, where a reply that never
// came or bytes nobody asked for would shift every later sample without a read failing. Such
// a recording must end as a failed request does; a reply that is only late must not.
TEST_F(SamplingEngineTest, ShortCycleFaultsNeverShiftTheSamples) {
    struct Shape {
        bool io;
        uint16_t cycle;  // the shortest I/O cycle at this bit rate is 26 ms
    };
    struct Fault {
        const char* what;
        std::vector<std::string> sim;
        SamplingState end;
        bool exceptionShown;
    };
    const Shape shapes[] = {{false, 20}, {false, 50}, {true, 26}, {true, 50}};
    for (const Shape& shape : shapes) {
        const Fault faults[] = {
            {"one silent reply", {"--silent", "10"}, SamplingState::RequestFailed, false},
            {"three silent replies", {"--silent", "10+3"}, SamplingState::RequestFailed, false},
            {"exception reply", {"--exception", "2@10"}, SamplingState::RequestFailed, true},
            {"garbage after a reply", {"--garbage", "3@10"}, SamplingState::RequestFailed, false},
            {"a reply two cycles late",
             {"--delay", "10:" + std::to_string(2 * shape.cycle)},
             SamplingState::Finished,
             false},
        };
        for (const Fault& fault : faults) {
            const std::string row = std::string(shape.io ? "I/O " : "data ") +
                                    std::to_string(shape.cycle) + " ms, " + fault.what;
            std::vector<std::string> options = fault.sim;
            options.insert(options.end(), {"--mode", "counting"});
            startSim(options);
            completion = {};
            const std::size_t messagesBefore = window.messages().size();
            ASSERT_EQ(shape.io ? startIo(shape.cycle, 1) : startData(shape.cycle, 1, 0x10, 2),
                      StartResult::Ok)
                << row;
            engine->waitForWorker();
            EXPECT_EQ(completion.calls, 1) << row;
            EXPECT_EQ(completion.state, fault.end) << row;
            const auto messages = window.messages();
            ASSERT_EQ(messages.size() - messagesBefore, fault.exceptionShown ? 1u : 0u) << row;
            if (fault.exceptionShown) {
                EXPECT_EQ(messages.back().text, composeExceptionReport(texts, 2)) << row;
            }
            if (fault.end != SamplingState::Finished) {
                EXPECT_EQ(completion.bytes, 0u) << row;
                continue;
            }
            const uint32_t cycles = 1000u / shape.cycle;
            const uint32_t unit = shape.io ? kIoCycleBytes : 7;
            EXPECT_EQ(completion.bytes, (cycles + 1) * unit) << row;
            expectRepliesInOrder(shape.io, cycles + 3);
        }
    }
}

// A line that vanishes mid-recording takes nothing stored with it: the recording ends as a
// lost port with every whole cycle stored before it, in order and CRC-checked, both when the
// replies are read ahead (short cycles) and when each is read in its own cycle.
TEST_F(SamplingEngineTest, AVanishedLineKeepsTheCyclesStoredBeforeIt) {
    struct Shape {
        bool io;
        uint16_t cycle;
    };
    const Shape shapes[] = {{false, 20}, {false, 60}, {true, 26}, {true, 60}};
    for (const Shape& shape : shapes) {
        const std::string row =
            std::string(shape.io ? "I/O " : "data ") + std::to_string(shape.cycle) + " ms";
        startSim({"--hangup", "40", "--mode", "counting"});
        completion = {};
        ASSERT_EQ(shape.io ? startIo(shape.cycle, 5) : startData(shape.cycle, 5, 0x10, 2),
                  StartResult::Ok)
            << row;
        engine->waitForWorker();
        EXPECT_EQ(completion.state, SamplingState::PortLost) << row;
        const uint32_t unit = shape.io ? kIoCycleBytes : 7;
        const uint32_t requestsPerCycle = shape.io ? 2 : 1;
        EXPECT_EQ(completion.bytes % unit, 0u) << row;
        const uint32_t cycles = completion.bytes / unit;
        // The simulator answered 39 requests: no more cycles than those, and not all of them
        // lost to the read-ahead.
        EXPECT_LE(cycles, 39 / requestsPerCycle) << row;
        EXPECT_GE(cycles, 10u) << row;
        for (uint32_t k = 0; k < cycles; ++k) {
            const uint32_t n = k * requestsPerCycle;
            const uint8_t* at = &capture[k * unit];
            if (shape.io) {
                EXPECT_EQ(at[3] << 8 | at[4], sim::countingRegister(0x200, n + 1)) << row << k;
                EXPECT_EQ(at[7 + 3] << 8 | at[7 + 4], sim::countingRegister(0x300, n + 2))
                    << row << k;
            } else {
                EXPECT_EQ(at[3] << 8 | at[4], sim::countingRegister(0x10, n + 1)) << row << k;
            }
        }
    }
}

// Notes whether the thread that pumps messages (during a recording, the worker) ever ran
// with real-time priority.
class PolicyWatchingWindow : public testing::RecordingWindow {
public:
    void pumpMessages() override {
        if (currentPolicy() == SCHED_FIFO) sawRealTime = true;
        RecordingWindow::pumpMessages();
    }
    static int currentPolicy() {
        int policy = -1;
        sched_param parameters{};
        pthread_getschedparam(pthread_self(), &policy, &parameters);
        return policy;
    }
    std::atomic<bool> sawRealTime{false};
};

// Whether this machine lets a thread of ours take real-time priority.
bool realTimeAllowed() {
    bool allowed = false;
    std::thread probe([&] {
        sched_param parameters{};
        parameters.sched_priority = 10;
        allowed = pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters) == 0;
    });
    probe.join();
    return allowed;
}

TEST_F(SamplingEngineTest, PacingCatchesUpWithTheGridWithoutCrowdingTheLine) {
    // At 19200 bit/s a read of 20 bytes needs 30 ms of line time, which a 40 ms cycle leaves
    // 10 ms to spare. Reply 10 comes 300 ms late: the read that waits for it holds its cycle
    // up by about four slots, and the cycles after it come closer together until they are
    // back on the grid.
    settings.bitRate = 19200;
    startSim({"--mode", "counting", "--trace", "--delay", "10:300"});
    PolicyWatchingWindow watcher;
    SamplingEngine paced(master, settings, session, watcher, watcher, texts);
    int completionPolicy = -1;
    PacingReport reported;
    request.completion = [&](SamplingState state, uint32_t bytes) {
        completion.state = state;
        completion.bytes = bytes;
        completionPolicy = PolicyWatchingWindow::currentPolicy();
        reported = paced.pacingReport();
    };
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(paced.startDataSampling(40, 1, request, 1, 0x10, 20, capture.data()),
              StartResult::Ok);
    paced.waitForWorker();

    // As many requests and frames as ever: 1 s at 40 ms is 25 cycles, 32 requests, 28 frames
    // stored and 26 tested, each the reply to its own request.
    EXPECT_EQ(completion.state, SamplingState::Finished);
    EXPECT_EQ(completion.bytes, 26u * 25);
    for (uint32_t k = 0; k < 28; ++k)
        EXPECT_EQ(capture[k * 25 + 3] << 8 | capture[k * 25 + 4],
                  sim::countingRegister(0x10, k + 1))
            << k;
    EXPECT_EQ(simReads(32), 32);

    const auto times = readRequestTimes();
    ASSERT_EQ(times.size(), 32u);
    EXPECT_GE(times.front() - started, 100ms);
    // The simulator notes a request when it gets round to it, which on a busy machine can be
    // some milliseconds late; a catch-up that crowded the line would send requests back to
    // back, far below even half the line time.
    const auto lineTime =
        std::chrono::microseconds(SamplingEngine::requiredCycleMicros(19200, 20, 0));
    EXPECT_EQ(lineTime, 30009us);
    for (std::size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], lineTime / 2) << "request " << i + 1;

    EXPECT_EQ(reported.cycles, 32u);
    EXPECT_GE(reported.lateCycles, 3u);
    EXPECT_GE(reported.largestDeviation, 60ms);
    // The cycle after the long wait is reported with its time where it went: the parts add up
    // to its lateness, and most of it was the wait for the late reply.
    ASSERT_GE(reported.stallCount, 1u);
    const StalledCycle& stall = reported.stalls[0];
    EXPECT_EQ(stall.cycle, 14u);
    EXPECT_NEAR(double((stall.replyWait + stall.progress + stall.wakeUp + stall.write).count()),
                double(stall.late.count()), 4);
    EXPECT_GT(stall.replyWait, stall.late / 2);
    EXPECT_EQ(paced.pacingReport().cycles, reported.cycles);
    EXPECT_NE(completionPolicy, SCHED_FIFO) << "the completion routine runs at normal priority";
    if (realTimeAllowed()) {
        EXPECT_TRUE(watcher.sawRealTime);
        EXPECT_EQ(reported.scheduling, Scheduling::Fifo);
    }
}

TEST_F(SamplingEngineTest, StartDuringARecordingIsBusyAndTouchesNothing) {
    startSim({});
    ASSERT_EQ(startData(100, 1, 0x100, 4), StartResult::Ok);
    ASSERT_TRUE(eventually([&] { return session.progressCount >= 1; }));

    EXPECT_EQ(startData(50, 2, 0x200, 6), StartResult::Busy);
    EXPECT_EQ(engine->startIoSampling(50, 2, request, 1, 0x200, 2, 0x300, 2, capture.data()),
              StartResult::Busy);
    EXPECT_TRUE(engine->workerRunning()) << "the refused start did not wait for the recording";
    EXPECT_EQ(request.cycle, 100u);
    EXPECT_EQ(request.time, 1u);
    EXPECT_EQ(request.rangeCount, 1);
    EXPECT_EQ(request.firstAddress, 0x100);
    EXPECT_EQ(request.firstCount, 4);
    EXPECT_EQ(request.secondCount, 0);
    EXPECT_EQ(engine->samplingState, SamplingState::Running);

    // A start after Stop leaves the stop pending, so the recording still ends as stopped.
    engine->requestStop();
    EXPECT_EQ(startData(100, 1, 0x100, 4), StartResult::Busy);
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::StopRequested);
    EXPECT_EQ(completion.calls, 1);
}

TEST_F(SamplingEngineTest, FinishedWorkerIsReapedAndARunningOneIsLeftAlone) {
    startSim({});
    // The completion routine holds the worker, as a message box on the window thread does.
    std::atomic<bool> inCompletion{false};
    std::atomic<bool> release{false};
    StartResult fromCompletion = StartResult::Ok;
    request.completion = [&](SamplingState state, uint32_t) {
        completion.state = state;
        // A start from the worker itself must not join the worker.
        fromCompletion = engine->startDataSampling(100, 1, request, 1, 0, 2, capture.data());
        inCompletion = true;
        while (!release) std::this_thread::sleep_for(1ms);
    };
    ASSERT_EQ(startData(100, 1, 0, 2), StartResult::Ok);
    engine->requestStop();
    ASSERT_TRUE(eventually([&] { return inCompletion.load(); }));
    EXPECT_EQ(fromCompletion, StartResult::Busy);
    EXPECT_FALSE(engine->workerFinished());
    EXPECT_FALSE(engine->reapWorker()) << "a worker in its completion routine is left alone";
    EXPECT_EQ(startData(100, 1, 0, 2), StartResult::Busy);

    release = true;
    ASSERT_TRUE(eventually([&] { return engine->workerFinished(); }));
    EXPECT_TRUE(engine->reapWorker());
    EXPECT_EQ(completion.state, SamplingState::StopRequested);

    // The engine takes the next recording.
    request.completion = [&](SamplingState state, uint32_t) { completion.state = state; };
    ASSERT_EQ(startData(100, 1, 0, 2), StartResult::Ok);
    engine->requestStop();
    engine->waitForWorker();
    EXPECT_EQ(completion.state, SamplingState::StopRequested);
}

// Starts a recording in a child process whose user may not have another process or thread.
// Its exit status: 0 when the start failed cleanly, otherwise which expectation did not hold.
int startWithoutThreads(SamplingEngine& engine, SerialLink& link, SamplingRequest& request,
                        uint8_t* capture) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 10;
    const rlimit none{1, 1};
    if (setrlimit(RLIMIT_NPROC, &none) != 0) return 11;
    if (engine.startDataSampling(100, 1, request, 1, 0, 2, capture) != StartResult::ThreadFailed)
        return 1;
    if (link.isOpen()) return 2;
    if (engine.samplingState == SamplingState::Running) return 3;
    if (engine.workerRunning()) return 4;
    return 0;
}

TEST_F(SamplingEngineTest, AWorkerThatCannotStartLeavesNoPortOpen) {
    // Root may always make threads: the child gives up root for another user first, who
    // must reach the line through the program folder.
    testing::PtyLine line;
    ASSERT_TRUE(line.ok());
    ASSERT_EQ(chmod(line.path().c_str(), 0666), 0);
    std::filesystem::permissions(folder.path(), std::filesystem::perms(0755));
    ASSERT_EQ(symlink(line.path().c_str(), folder.portLink(1).c_str()), 0);

    const pid_t child = fork();
    if (child == 0) _exit(startWithoutThreads(*engine, link, request, capture.data()));
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace kestiva
