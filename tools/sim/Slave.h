#pragma once
// The simulated controller's protocol side: cutting the byte stream into requests and
// answering each one. No file descriptors here; the line loop in main.cpp feeds it.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/sim/FaultPlan.h"
#include "tools/sim/RegisterMap.h"

namespace kestiva::sim {

using Clock = std::chrono::steady_clock;

// Appends the frame's CRC-16/MODBUS, low byte first.
void appendCrc(std::vector<uint8_t>& frame);

// Cuts received bytes into frames. A complete, CRC-correct 8-byte request of function 03 or
// 08 is taken at once; anything else ends where the line has been quiet for the gap (3.5
// characters, at least 1.75 ms as the serial line rules allow above 19200 bit/s).
class FrameAssembler {
public:
    explicit FrameAssembler(Clock::duration gap) : gap_(gap) {}

    void push(std::span<const uint8_t> bytes, Clock::time_point now);
    // The next complete frame, or an empty vector when none is complete at `now`.
    std::vector<uint8_t> next(Clock::time_point now);
    // When the pending bytes become a frame by silence; time_point::max() when none wait.
    Clock::time_point deadline() const;
    // When the first byte of the pending bytes arrived.
    Clock::time_point firstByteTime() const { return firstByte_; }
    bool empty() const { return pending_.empty(); }

private:
    Clock::duration gap_;
    std::vector<uint8_t> pending_;
    Clock::time_point firstByte_{};
    Clock::time_point lastByte_{};
};

// The character-gap used to end frames at a bit rate.
Clock::duration interFrameGap(uint32_t bitRate);

struct SlaveConfig {
    uint8_t station = 1;
    RegisterMap registers;
    FaultPlan faults;
};

// What to put on the line for one frame.
struct SlaveAction {
    std::vector<uint8_t> reply;  // empty: stay silent
    bool hangUp = false;         // send reply (already cut to the hang-up length), then close
    int delayMs = 0;             // extra time before the reply starts
    bool heard = false;          // the frame was a request to this station
    uint64_t requestNumber = 0;  // its number when heard
    std::string note;            // why silent, which faults were applied (for the trace)
};

struct SlaveCounters {
    uint64_t framesReceived = 0;
    uint64_t badFrames = 0;  // CRC wrong or too short
    uint64_t otherStation = 0;
    uint64_t wrongSpeed = 0;
    uint64_t requestsHeard = 0;
    uint64_t reads = 0;
    uint64_t echoes = 0;
    uint64_t exceptions = 0;  // exception replies, scripted or earned
    uint64_t replies = 0;
};

class Slave {
public:
    explicit Slave(SlaveConfig config) : config_(std::move(config)) {}

    // Answers one frame; seconds is the time since the simulator started (demo waveforms).
    SlaveAction handle(std::span<const uint8_t> frame, double seconds);
    // A frame that arrived while the line ran at another speed than ours: not heard.
    void noteWrongSpeed() { ++counters_.wrongSpeed; }

    const SlaveCounters& counters() const { return counters_; }
    const SlaveConfig& config() const { return config_; }
    // One line with every counter and how often each fault struck.
    std::string summary() const;

private:
    std::vector<uint8_t> answer(std::span<const uint8_t> frame, double seconds, bool& exception);

    SlaveConfig config_;
    SlaveCounters counters_;
    uint32_t readNumber_ = 0;
};

// "01 03 00 00" style hex for the trace.
std::string hexBytes(std::span<const uint8_t> bytes);

}  // namespace kestiva::sim
