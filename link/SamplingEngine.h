#pragma once
// Records controller memory at a fixed cycle for a fixed time on a worker thread. The worker
// only sends, receives, copies and keeps time; frames are checked and decoded afterwards.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <thread>

#include "link/PreciseWait.h"
#include "link/RealTimeScheduling.h"
#include "recording/SessionState.h"
#include "recording/HostInterfaces.h"
#include "settings/CommunicationSettings.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

class ModbusMaster;
struct PortContext;

constexpr uint32_t kCaptureBufferSize = 3456000;
constexpr uint32_t kMaxCycles = 150000;
// One read carries at most 125 registers; the engine accepts up to 250 bytes per range.
constexpr uint16_t kMaxRangeBytes = 250;

// How a recording stands. The numbers reach the completion routine's messages and the
// companion command's output, so they never change.
enum class SamplingState : int32_t {
    Running = 0,        // recording, or idle after a start
    Finished = 1,       // every planned cycle done
    StopRequested = 2,  // the user asked it to end after the current cycle
    RequestFailed = 6,  // a request went unanswered or was answered wrongly
    PortLost = 7,       // the port vanished or the network connection closed; what was
                        // stored until then is kept
    CrcError = 8,       // a stored frame failed its CRC check after the recording
    BufferFull = 9,     // the capture buffer could not take the next frame
};

// What a start entry did.
enum class StartResult : int {
    Ok = 0,                    // the worker runs
    BadArgument = -1,          // a zero or oversized argument, no buffer or no port context
    TooManyCycles = -2,        // more than kMaxCycles cycles
    CycleLongerThanTime = -3,  // the cycle is longer than the sampling time
    CycleTooShort = -4,        // the requests of one cycle do not fit it at the bit rate
    Busy = -5,                 // a recording is still running: nothing was touched
    ThreadFailed = -6,         // the worker thread could not be created: the port is closed
};

// Where the time went for a cycle whose request reached the line over 10 ms after its slot.
// The four parts add up to late.
struct StalledCycle {
    uint32_t cycle = 0;  // counted from 0
    std::chrono::microseconds late{0};
    std::chrono::microseconds replyWait{0};  // the previous cycle's reply, still awaited
    std::chrono::microseconds progress{0};   // the previous cycle's progress report to the window
    std::chrono::microseconds wakeUp{0};     // the cycle was due but the thread did not run
    std::chrono::microseconds write{0};      // queueing the request for the line
};

// How closely a recording's cycles kept to their grid: cycle k is due at the first cycle's
// slot + k x cycle.
struct PacingReport {
    static constexpr std::size_t kStallsKept = 8;

    uint32_t cycles = 0;      // cycles started
    uint32_t lateCycles = 0;  // of them, started more than 1 ms after their slot
    std::chrono::microseconds largestDeviation{0};
    Scheduling scheduling = Scheduling::Normal;  // what the recording thread got
    uint32_t stallCount = 0;  // cycles over 10 ms late; the first kStallsKept are kept
    std::array<StalledCycle, kStallsKept> stalls{};
};

// The parameters of one recording, filled by the start entries and read by the worker.
struct SamplingRequest {
    PortContext* portContext = nullptr;
    uint8_t* captureBuffer = nullptr;
    int32_t station = 0;
    uint32_t cycle = 0;  // milliseconds
    uint32_t time = 0;   // seconds
    uint8_t rangeCount = 0;
    uint16_t firstAddress = 0;
    uint16_t secondAddress = 0;
    uint16_t firstCount = 0;   // bytes; 0 = range absent
    uint16_t secondCount = 0;  // bytes; 0 = range absent
    // Called once on the worker thread with (end state, good byte count).
    std::function<void(SamplingState, uint32_t)> completion;
};

class SamplingEngine {
public:
    // bufferLimit: how many bytes of frames the capture buffer takes (tests lower it).
    // texts: for the message that reports an exception reply during a recording.
    SamplingEngine(ModbusMaster& modbus, const CommunicationSettings& settings,
                   SessionState& session, ProgressHost& progress, MessageHost& messages,
                   const LanguageCatalogue& texts,
                   uint32_t bufferLimit = kCaptureBufferSize);
    ~SamplingEngine();
    SamplingEngine(const SamplingEngine&) = delete;
    SamplingEngine& operator=(const SamplingEngine&) = delete;

    StartResult startDataSampling(uint16_t cycle, uint16_t time, SamplingRequest& request,
                                  uint8_t station, uint16_t address, uint16_t byteCount,
                                  uint8_t* captureBuffer);
    StartResult startIoSampling(uint16_t cycle, uint16_t time, SamplingRequest& request,
                                uint8_t station, uint16_t inAddress, uint16_t inByteCount,
                                uint16_t outAddress, uint16_t outByteCount, uint8_t* captureBuffer);

    // The start entries, reapWorker and waitForWorker belong to one thread (the window's).
    // A start while a recording runs returns Busy at once; a finished worker is joined first.

    // The Stop button: asks a running recording to end after its current cycle.
    void requestStop();
    // True while a recording's worker runs, its completion routine included.
    bool workerRunning() const { return workerActive_.load(std::memory_order_acquire); }
    // True when no worker runs: none was started, or its loop and completion have returned.
    bool workerFinished() const { return !workerRunning(); }
    // Joins the worker when it has finished and never waits for one that runs: the window
    // calls it after the completion routine told it of the end. True when no thread is left.
    bool reapWorker();
    // Waits until the worker, completion routine included, has finished. Only for a caller
    // the completion routine never waits on (a terminal front end, the destructor).
    void waitForWorker();

    std::atomic<SamplingState> samplingState{SamplingState::Running};
    // The last recording's pacing, complete when its completion routine is called. Read it in
    // the completion routine or once workerFinished().
    const PacingReport& pacingReport() const { return pacing_; }
    // How many bytes at the start of the capture buffer hold complete frames of the running
    // (or last) recording: stored with release after each stored frame, 0 before a worker
    // starts. A reader that loads it with acquire may read the bytes below it while the worker
    // runs; the worker never moves or rewrites them.
    const std::atomic<uint32_t>& completeBytes() const { return completeBytes_; }
    // How many bytes at the start of the capture buffer hold reply bytes that have arrived, in
    // the order they are stored: at least completeBytes(), more while a short-cycle recording's
    // replies wait for their turn (see ModbusMaster::readAhead). Published and kept like
    // completeBytes(); the journal takes them, so that a crash loses only what had not arrived.
    // Bytes past completeBytes() have not been checked: a torn or damaged frame among them
    // fails its CRC wherever it is decoded.
    const std::atomic<uint32_t>& arrivedBytes() const { return arrivedBytes_; }
    // The time of day of the running (or last) recording's first cycle slot, the origin of its
    // grid: sample k belongs to origin + k x cycle. Published before the first frame is stored,
    // so a reader that has seen a frame through completeBytes() finds it; nullopt before.
    std::optional<std::chrono::system_clock::time_point> gridOrigin() const;
    // For a benchmark that fills the capture buffer itself instead of recording: publishes its
    // first bytes as complete, as the worker does after each stored frame.
    void publishCompleteBytes(uint32_t bytes) {
        completeBytes_.store(bytes, std::memory_order_release);
    }
    // 45 % of the cycle: when the second range's request of a cycle goes out.
    uint32_t splitDelayUs = 0;

    // The time the requests of one cycle need on the line, in microseconds.
    static uint32_t requiredCycleMicros(int32_t bitRate, uint16_t firstCount, uint16_t secondCount);

private:
    // How many polls a recording makes and how many of its first polls store nothing tested.
    struct PollPlan {
        uint32_t limit;
        uint32_t skipped;
    };

    // False when a recording still runs; otherwise joins a finished worker.
    bool readyForStart();
    StartResult checkTimingAndStart(SamplingRequest& request);
    // Starts the worker for the request's range count; false when no thread could be made.
    bool launchWorker(SamplingRequest& request);
    PollPlan planPolls(const SamplingRequest& request);
    // The paced loop both workers share; exchange does one cycle's transactions and returns
    // false to end the recording (its state already set).
    template <typename Exchange>
    void runCycles(SamplingRequest& request, Exchange exchange);
    bool readRange(uint16_t count, uint8_t station, uint16_t address, uint8_t* frame);
    // Waits for a deadline: sleeps on the recording's PreciseWait, then spins the last stretch.
    void waitUntil(std::chrono::steady_clock::time_point deadline);
    // Reply bytes that have come so far, read or waiting in the input queue; -1 when the port
    // failed.
    int64_t arrivedReplyBytes();
    // Short cycles, at the end: waits for the replies still on their way. True when exactly
    // the bytes the requests asked for have come.
    bool allRepliesCame(const SamplingRequest& request);
    // True while the first replies are still left in the input queue (short cycles).
    bool warmingUp();
    void onePhasePoller(SamplingRequest* request);
    void twoPhasePoller(SamplingRequest* request);
    // Stores one frame; false (and state 9) when it would pass the buffer limit.
    bool storeFrame(SamplingRequest& request, const uint8_t* frame, uint32_t length);
    // Short cycles: takes the replies that have arrived from the port into their place in
    // the capture buffer and publishes them through arrivedBytes().
    void readRepliesAhead();
    void finishRecording(SamplingRequest& request, uint32_t polls, uint32_t skipped);
    uint32_t checkStoredFrames(const SamplingRequest& request, uint32_t frames);
    // Whole cycles of frames in the capture buffer.
    uint32_t storedCycles(const SamplingRequest& request) const;

    ModbusMaster& modbus_;
    const CommunicationSettings& settings_;
    SessionState& session_;
    ProgressHost& progress_;
    MessageHost& messages_;
    const LanguageCatalogue& texts_;
    uint32_t bufferLimit_;
    uint32_t storedBytes_ = 0;
    std::atomic<uint32_t> completeBytes_{0};
    std::atomic<uint32_t> arrivedBytes_{0};
    std::atomic<int64_t> gridOriginMicros_{0};  // since the epoch; 0 before the first slot
    uint32_t lineTimeMicros_ = 0;  // what the requests of one cycle need on the line
    PacingReport pacing_;
    // Real-time wake-ups: how late sleeps of the recording end, and so how long to spin.
    std::chrono::steady_clock::duration spinStretch_{};
    std::chrono::steady_clock::duration largestWakeDelay_{};
    bool measureWakeUps_ = false;
    // The sleep before each deadline; there while the cycles run.
    std::optional<PreciseWait> sleeper_;
    // When the current cycle's first request was queued for the line (zero until it is).
    std::chrono::steady_clock::time_point cycleRequestQueuedAt_{};
    // Short cycles read each reply four cycles after its request. A reply that never comes,
    // or bytes nobody asked for, would shift every later frame by a reply without a read
    // failing, so the worker accounts for every reply byte the requests ask for.
    bool pipelined_ = false;
    uint64_t requestedBytes_ = 0;
    std::chrono::steady_clock::time_point lastRequestAt_{};
    std::thread worker_;
    std::atomic<bool> workerActive_{false};
};

}  // namespace kestiva
