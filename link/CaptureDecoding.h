#pragma once
// Turns a finished recording's raw reply frames into the shown page's sample tables and hands
// the result to the window.

#include <chrono>
#include <cstdint>
#include <optional>

#include "link/LiveRecording.h"
#include "link/SamplingEngine.h"
#include "recording/SampleTables.h"
#include "recording/SessionState.h"
#include "recording/HostInterfaces.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

// The decoding of one sample, shared by the pass after a recording and the live view during
// it, so that both show the same values.

// Station, function and byte count come before a frame's data bytes, the two CRC bytes after
// them.
constexpr uint32_t kFrameHeaderBytes = 3;
constexpr uint32_t kFrameOverheadBytes = kFrameHeaderBytes + 2;

// Bytes one sample takes in the capture buffer: its frame on the data page, the frames of
// one cycle on the I/O page.
uint32_t sampleBytes(MonitorKind monitor, const ControllerRecord& record);

// The CRC check the engine runs after the recording, on the frames of one sample (sampleBytes
// of them at sample).
bool sampleFramesIntact(MonitorKind monitor, const ControllerRecord& record, const uint8_t* sample);

// A data item's value as its text shows it: a magnitude, with a minus sign when negative.
struct ItemValue {
    bool negative = false;
    uint32_t magnitude = 0;
};

// Data item slot (0 to 2) of record from a frame's data bytes (data points at the first,
// available of them follow). nullopt when its type code is unknown or its registers lie
// outside those bytes.
std::optional<ItemValue> decodeItemValue(const ControllerRecord& record, int slot,
                                         const uint8_t* data, uint32_t available);

// The raw table's word for a value: what its text converts to, clamped to 32 signed bits.
int32_t rawItemValue(ItemValue value);

// I/O signal (1 to 16) of record from a cycle's data bytes (data points at the first data byte
// of its first frame, available bytes follow). nullopt when the signal's register lies in
// neither range or outside those bytes.
std::optional<bool> decodeSignalLevel(const ControllerRecord& record, int signal,
                                      const uint8_t* data, uint32_t available);

class CaptureDecoder {
public:
    CaptureDecoder(const uint8_t* captureBuffer, PageRecording& dataPage, PageRecording& ioPage,
                   SessionState& session, WindowHost& window, const LanguageCatalogue& texts);

    // The completion routine: runs on the sampling worker once the port is closed. live, when
    // given, followed this recording while it ran: the samples it has decoded and checked are
    // taken from it rather than decoded again, so that the page shows the recording sooner.
    // The raw table comes first and the page is loaded from it; the text table, which only a
    // CSV save reads, is written after the load (the window is busy until then).
    void onRecordingComplete(SamplingState endState, uint32_t byteCount,
                             const LiveRecording* live = nullptr);

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
    // The text tables of the pages from the first n bytes: false when a value cannot be
    // decoded; rows gets how many rows were written.
    bool writeDataTexts(uint32_t n, uint32_t& rows);
    bool writeIoTexts(uint32_t n, uint32_t& rows);
    void reportEndState(SamplingState endState);
    // Counts the page's samples in the first byteCount bytes of the capture buffer (as
    // decodeDataFrames and decodeIoFrames do) and fills its raw table with their values, those
    // live has taken from it. 0 when a value cannot be decoded or the cycle is 0.
    int decodeRawValues(PageRecording& page, uint32_t byteCount, const LiveRecording* live);
    // The text table of the samples decodeRawValues counted.
    void decodeTexts(PageRecording& page, uint32_t byteCount);
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
