#pragma once
// The state every long operation shares with the window: which page is shown, how far the
// operation has come, and which recordings may be saved. Each value has one writer at a time.

#include <atomic>
#include <cstdint>

namespace kestiva {

enum ProgressPhase : int32_t {
    kPhaseIdle = 0,
    kPhaseRecording = 1,
    kPhaseCrcCheck = 2,
    kPhaseConversion = 3,
    kPhaseCsvRead = 4,
    kPhaseCsvReadConversion = 5,
    kPhaseCsvSave = 6,
};

struct SessionState {
    std::atomic<int32_t> monitorMode{0};  // 0 data page shown, 1 I/O page
    // Stored with release, read with acquire: tables written before a phase change are
    // visible to whoever sees the new phase.
    std::atomic<int32_t> progressPhase{kPhaseIdle};
    std::atomic<int32_t> progressTotal{0};
    std::atomic<int32_t> progressCount{0};
    std::atomic<bool> dataSavable{false};
    std::atomic<bool> ioSavable{false};
    std::atomic<bool> communicationConfirmed{false};

    void setPhase(int32_t phase) { progressPhase.store(phase, std::memory_order_release); }
    int32_t phase() const { return progressPhase.load(std::memory_order_acquire); }
};

}  // namespace kestiva
