#pragma once
// Records controller memory at a fixed cycle for a fixed time on a worker thread. The worker
// only sends, receives, copies and keeps time; frames are checked and decoded afterwards.

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <thread>

#include "recording/SessionState.h"
#include "recording/HostInterfaces.h"
#include "settings/CommunicationSettings.h"

namespace kestiva {

class ModbusMaster;
struct PortContext;

constexpr uint32_t kCaptureBufferSize = 3456000;
constexpr uint32_t kMaxCycles = 150000;
// One read carries at most 125 registers; the engine accepts up to 250 bytes per range.
constexpr uint16_t kMaxRangeBytes = 250;

// How a recording ends. The numbers reach the companion command's output.
enum class SamplingState : int32_t {
    Running = 0,
    Finished = 1,
    StopRequested = 2,
    RequestFailed = 6,
    CrcError = 8,
    BufferFull = 9,
};

// What a start entry answers.
enum class StartResult : int {
    Ok = 0,
    BadArgument = -1,
    TooManyCycles = -2,
    CycleLongerThanTime = -3,
    CycleTooShort = -4,
    Busy = -5,
};

// Start results.
enum SamplingStartResult : int {
    kStartOk = 0,
    kStartBadArgument = -1,
    kStartTooManyCycles = -2,
    kStartCycleLongerThanTime = -3,
    kStartCycleTooShort = -4,
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
    std::function<void(int32_t, uint32_t)> completion;
};

class SamplingEngine {
public:
    // bufferLimit: how many bytes of frames the capture buffer takes (tests lower it).
    SamplingEngine(ModbusMaster& modbus, const CommunicationSettings& settings,
                   SessionState& session, ProgressHost& progress,
                   uint32_t bufferLimit = kCaptureBufferSize);
    ~SamplingEngine();
    SamplingEngine(const SamplingEngine&) = delete;
    SamplingEngine& operator=(const SamplingEngine&) = delete;

    int startDataSampling(uint16_t cycle, uint16_t time, SamplingRequest& request, uint8_t station,
                          uint16_t address, uint16_t byteCount, uint8_t* captureBuffer);
    int startIoSampling(uint16_t cycle, uint16_t time, SamplingRequest& request, uint8_t station,
                        uint16_t inAddress, uint16_t inByteCount, uint16_t outAddress,
                        uint16_t outByteCount, uint8_t* captureBuffer);

    // The Stop button: asks a running recording to end after its current cycle.
    void requestStop();
    // Waits until the worker, completion routine included, has finished.
    void waitForWorker();
    bool workerRunning() const { return workerActive_.load(); }

    // 0 recording, 1 done, 2 stop requested, 6 request failed, 8 CRC error, 9 buffer full.
    std::atomic<int32_t> samplingState{0};
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

    int checkTimingAndStart(SamplingRequest& request);
    PollPlan planPolls(const SamplingRequest& request);
    // The paced loop both workers share; exchange does one cycle's transactions and returns
    // false to end the recording (its state already set).
    template <typename Exchange>
    void runCycles(SamplingRequest& request, Exchange exchange);
    bool readRange(uint16_t count, uint8_t station, uint16_t address, uint8_t* frame);
    // True while the first replies are still left in the input queue (short cycles).
    bool warmingUp();
    void onePhasePoller(SamplingRequest* request);
    void twoPhasePoller(SamplingRequest* request);
    // Stores one frame; false (and state 9) when it would pass the buffer limit.
    bool storeFrame(SamplingRequest& request, const uint8_t* frame, uint32_t length);
    void finishRecording(SamplingRequest& request, uint32_t polls, uint32_t skipped);
    uint32_t checkStoredFrames(const SamplingRequest& request, uint32_t frames);

    ModbusMaster& modbus_;
    const CommunicationSettings& settings_;
    SessionState& session_;
    ProgressHost& progress_;
    uint32_t bufferLimit_;
    uint32_t storedBytes_ = 0;
    std::thread worker_;
    std::atomic<bool> workerActive_{false};
};

}  // namespace kestiva
