#pragma once
// What the Start button does: prepare the page for a new recording with the chosen controller,
// cycle and time, call the sampling engine's start entry, and either show the recording as
// running or report why it could not start. The main window and the terminal command both go
// through here, so that a recording starts the same way whichever front end asked for it.

#include <cstdint>
#include <ctime>
#include <string>

#include "recording/SampleTables.h"
#include "link/SamplingEngine.h"
#include "recording/SessionState.h"
#include "recording/HostInterfaces.h"
#include "settings/CommunicationSettings.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

// The start date of a recording as it is kept with it and written to its CSV file: local time
// as "%Y%m%d %H:%M" for the data monitor and "%Y/%m/%d %H:%M" for the I/O monitor.
std::string recordingDateText(MonitorKind monitor, std::time_t when);

// The progress total of a running recording: its cycles, time x 1000 / cycle (0 for cycle 0).
int32_t recordingProgressTotal(uint16_t cycle, uint16_t time);

class RecordingStart {
public:
    // request must already carry the port context and the completion routine; captureBuffer
    // holds kCaptureBufferSize bytes.
    RecordingStart(SamplingEngine& engine, SamplingRequest& request, uint8_t* captureBuffer,
                   const CommunicationSettings& settings, SessionState& session, WindowHost& window,
                   const LanguageCatalogue& texts);

    // Start for page (its kind names the monitor): the page's savable flag cleared, the page
    // cleared through the window, controller copied into its active record, sample count 0,
    // cycle, time and the date text of `now`; then the start entry with the low byte of the
    // verified station, the record's ranges and the capture buffer. On 0 the progress counts
    // the cycles, phase 1 (recording) is set and the window's controls are disabled; the caller
    // still stops its own reset timer. -2, -3 and -4 are reported with their message; -1 shows
    // nothing. Returns the start entry's result.
    StartResult start(PageRecording& page, const ControllerRecord& controller, uint16_t cycle,
                      uint16_t time, std::time_t now);

private:
    void reportStartError(StartResult result);

    SamplingEngine& engine_;
    SamplingRequest& request_;
    uint8_t* captureBuffer_;
    const CommunicationSettings& settings_;
    SessionState& session_;
    WindowHost& window_;
    const LanguageCatalogue& texts_;
};

}  // namespace kestiva
