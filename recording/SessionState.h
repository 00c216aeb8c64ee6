#pragma once
// The state every long operation shares with the window: which page is shown, how far the
// operation has come, and which recordings may be saved. Each value has one writer at a time.

#include <atomic>
#include <cstdint>

#include "settings/SamplingConfig.h"
#include "settings/TextIds.h"

namespace kestiva {

// What the progress area shows. The numbers pick the state texts.
enum class ProgressPhase : int32_t {
    Idle = 0,
    Recording = 1,
    CrcCheck = 2,
    Conversion = 3,
    CsvRead = 4,
    CsvReadConversion = 5,
    CsvSave = 6,
};

// The state text of a phase under the progress bar; -1 for idle.
constexpr TextId progressStateTextId(ProgressPhase phase) {
    switch (phase) {
        case ProgressPhase::Recording:
            return text::MSG_PROGRESS_STATE_MONITOR;
        case ProgressPhase::CrcCheck:
            return text::MSG_PROGRESS_STATE_MONITOR_CRC;
        case ProgressPhase::Conversion:
            return text::MSG_PROGRESS_STATE_MONITOR_CONVERT;
        case ProgressPhase::CsvRead:
            return text::MSG_PROGRESS_STATE_CSV_READ;
        case ProgressPhase::CsvReadConversion:
            return text::MSG_PROGRESS_STATE_CSV_READ_CONVERT;
        case ProgressPhase::CsvSave:
            return text::MSG_PROGRESS_STATE_CSV_SAVE;
        case ProgressPhase::Idle:
            break;
    }
    return -1;
}

struct SessionState {
    std::atomic<MonitorKind> monitorMode{kDataMonitor};  // the page that is shown
    std::atomic<int32_t> progressTotal{0};
    std::atomic<int32_t> progressCount{0};
    std::atomic<bool> dataSavable{false};
    std::atomic<bool> ioSavable{false};
    std::atomic<bool> communicationConfirmed{false};

    // Stored with release, read with acquire: tables written before a phase change are
    // visible to whoever sees the new phase.
    void setPhase(ProgressPhase phase) { progressPhase_.store(phase, std::memory_order_release); }
    ProgressPhase phase() const { return progressPhase_.load(std::memory_order_acquire); }

    std::atomic<bool>& savable(MonitorKind monitor) {
        return monitor == kDataMonitor ? dataSavable : ioSavable;
    }
    bool savable(MonitorKind monitor) const {
        return (monitor == kDataMonitor ? dataSavable : ioSavable).load();
    }

private:
    std::atomic<ProgressPhase> progressPhase_{ProgressPhase::Idle};
};

}  // namespace kestiva
