#pragma once
// Turns a finished recording's raw reply frames into the shown page's sample tables and hands
// the result to the window.

#include <chrono>
#include <cstdint>

#include "link/SamplingEngine.h"
#include "recording/SampleTables.h"
#include "recording/SessionState.h"
#include "recording/HostInterfaces.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

class CaptureDecoder {
public:
    CaptureDecoder(const uint8_t* captureBuffer, PageRecording& dataPage, PageRecording& ioPage,
                   SessionState& session, WindowHost& window, const LanguageCatalogue& texts);

    // The completion routine: runs on the sampling worker once the port is closed.
    void onRecordingComplete(SamplingState endState, uint32_t byteCount);

    // Decode the first byteCount bytes of the capture buffer into the page's text table.
    // 1 on success, 0 when a value cannot be decoded or the cycle is 0.
    int decodeDataFrames(uint32_t byteCount);
    int decodeIoFrames(uint32_t byteCount);

    // The pause between the conversion and loading the page (one second in the program, so
    // the user sees the conversion finish); tests shorten it.
    void setLoadPause(std::chrono::milliseconds pause) { loadPause_ = pause; }

private:
    // data points at a frame's first data byte; available is how many data bytes follow it.
    int decodeDataItem(int slot, uint32_t row, const uint8_t* data, uint32_t available);
    int decodeIoSignal(int signal, uint32_t row, const uint8_t* data, uint32_t available);
    void reportEndState(SamplingState endState);
    void convertTexts(PageRecording& page);
    PageRecording& shownPage();

    const uint8_t* capture_;
    PageRecording& dataPage_;
    PageRecording& ioPage_;
    SessionState& session_;
    WindowHost& window_;
    const LanguageCatalogue& texts_;
    std::chrono::milliseconds loadPause_{1000};
};

}  // namespace kestiva
