#include "link/CaptureDecoding.h"

#include <algorithm>
#include <thread>

#include "link/ModbusFrames.h"

namespace kestiva {

namespace {

// Writes a sample's time in milliseconds.
void setTimeCell(SampleTextTable& table, uint32_t row, uint32_t cycle) {
    table.setPackedCell(row, 0, packedDecimal(false, uint64_t(cycle) * row));
}

// A recording shows at most time / cycle + 1 samples, whatever more it brought. 0 when the
// cycle is 0.
int capSampleCount(PageRecording& page) {
    if (page.cycle == 0) return 0;
    const int32_t limit = int32_t(page.time) * 1000 / int32_t(page.cycle) + 1;
    if (int64_t(page.sampleCount) >= limit) page.sampleCount = uint32_t(limit);
    return 1;
}

// Pumps the window's messages during a pass over every sample, every 10 ms of it rather than
// every sample: often enough for the window to stay responsive, and reading the clock only
// every few hundred samples, so that pumping costs the pass next to nothing.
class PacedPump {
public:
    explicit PacedPump(ProgressHost& window) : window_(window) {}

    // True once about 10 ms have passed since the last pump.
    bool due() {
        if (++steps_ % kStepsPerClockRead != 0) return false;
        return std::chrono::steady_clock::now() - last_ >= kInterval;
    }
    void pump() {
        window_.pumpMessages();
        last_ = std::chrono::steady_clock::now();
    }

private:
    static constexpr uint32_t kStepsPerClockRead = 256;
    static constexpr std::chrono::milliseconds kInterval{10};
    ProgressHost& window_;
    uint32_t steps_ = 0;
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

uint32_t registerBytes(int32_t typeCode) { return typeCode == 0 || typeCode == 1 ? 4 : 2; }

// decodeItemValue and decodeSignalLevel, inlined into the pass after a recording, which runs
// them for every value of the recording (as calls they made it half as slow again).
inline __attribute__((always_inline)) std::optional<ItemValue> itemValue(
    const ControllerRecord& record, int slot, const uint8_t* data, uint32_t available) {
    const DataItem& item = record.items[slot];
    // An item whose registers lie outside the received range cannot be decoded; reading it
    // would run past the frame.
    const uint32_t first = 2u * uint32_t(item.address - record.rangeAddress1);
    if (item.typeCode < 0 || item.typeCode > 7 || item.address < record.rangeAddress1 ||
        first + registerBytes(item.typeCode) > available)
        return std::nullopt;

    const uint8_t* p = data + first;
    ItemValue value;
    auto takeSigned = [&](int32_t v) {
        value.negative = v < 0;
        value.magnitude = value.negative ? uint32_t(0) - uint32_t(v) : uint32_t(v);
    };
    auto dword = [p] {
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    };
    switch (item.typeCode) {
        case 0: takeSigned(int32_t(dword())); break;
        case 1: value.magnitude = dword(); break;
        case 2: takeSigned(int16_t(uint16_t(p[0] << 8 | p[1]))); break;
        case 3: value.magnitude = uint16_t(p[0] << 8 | p[1]); break;
        case 4: takeSigned(int8_t(p[0])); break;
        case 5: value.magnitude = p[0]; break;
        case 6: takeSigned(int8_t(p[1])); break;
        case 7: value.magnitude = p[1]; break;
    }
    return value;
}

inline __attribute__((always_inline)) std::optional<bool> signalLevel(
    const ControllerRecord& record, int signal, const uint8_t* data, uint32_t available) {
    const DataItem& item = record.items[signal - 1];
    const uint32_t a = item.address;
    const uint32_t inStart = record.rangeAddress1, inBytes = record.rangeLength1;
    const uint32_t outStart = record.rangeAddress2, outBytes = record.rangeLength2;
    uint32_t first = 0;  // byte offset of the register from data
    if (inBytes >= 2 && a >= inStart && a <= inStart + inBytes / 2 - 1) {
        first = 2 * (a - inStart);
    } else if (outBytes >= 2 && a >= outStart && a <= outStart + outBytes / 2 - 1) {
        first = 2 * (a - outStart);
        if (inBytes > 0) first += inBytes + kFrameOverheadBytes;
    } else {
        return std::nullopt;
    }
    if (first + 2 > available) return std::nullopt;
    const uint32_t v = uint32_t(data[first]) * 256 + data[first + 1];
    const uint32_t mask = (uint32_t(1) << (item.bit % 32)) & 0xFFFF;
    return (v & mask) != 0;
}

}  // namespace

uint32_t sampleBytes(MonitorKind monitor, const ControllerRecord& record) {
    const uint32_t first = record.rangeLength1, second = record.rangeLength2;
    if (monitor == kDataMonitor) return first + kFrameOverheadBytes;
    if (first > 0 && second > 0) return first + second + 2 * kFrameOverheadBytes;
    return (first > 0 ? first : second) + kFrameOverheadBytes;
}

bool sampleFramesIntact(MonitorKind monitor, const ControllerRecord& record,
                        const uint8_t* sample) {
    const uint32_t first = record.rangeLength1, second = record.rangeLength2;
    if (monitor == kDataMonitor || first == 0 || second == 0)
        return frameCrcValid({sample, sampleBytes(monitor, record)});
    return frameCrcValid({sample, first + kFrameOverheadBytes}) &&
           frameCrcValid({sample + first + kFrameOverheadBytes, second + kFrameOverheadBytes});
}

std::optional<ItemValue> decodeItemValue(const ControllerRecord& record, int slot,
                                         const uint8_t* data, uint32_t available) {
    return itemValue(record, slot, data, available);
}

int32_t rawItemValue(ItemValue value) {
    const int64_t signedValue =
        value.negative ? -int64_t(value.magnitude) : int64_t(value.magnitude);
    return int32_t(std::clamp<int64_t>(signedValue, INT32_MIN, INT32_MAX));
}

std::optional<bool> decodeSignalLevel(const ControllerRecord& record, int signal,
                                      const uint8_t* data, uint32_t available) {
    return signalLevel(record, signal, data, available);
}

CaptureDecoder::CaptureDecoder(const uint8_t* captureBuffer, PageRecording& dataPage,
                               PageRecording& ioPage, SessionState& session, WindowHost& window,
                               const LanguageCatalogue& texts)
    : capture_(captureBuffer),
      dataPage_(dataPage),
      ioPage_(ioPage),
      session_(session),
      window_(window),
      texts_(texts) {}

PageRecording& CaptureDecoder::shownPage() {
    return session_.monitorMode.load() == kDataMonitor ? dataPage_ : ioPage_;
}

void CaptureDecoder::reportEndState(SamplingState endState) {
    TextId contents = text::MSG_COM_COMMUNICATION_ERR;
    if (endState == SamplingState::CrcError) contents = text::MSG_COM_ABNORMAL_RESPONSE_CRCERR;
    if (endState == SamplingState::BufferFull) contents = text::MSG_COM_BUFFER_OVERFLOW_ERR;
    if (endState == SamplingState::PortLost) contents = text::MSG_COM_PORT_LOST;
    window_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE),
                        texts_.composeError(contents,
                                            text::MSG_COM_ABNORMAL_RESPONSE_COUNTERMEASURE_CONTENTS),
                        MessageIcon::Error);
}

void CaptureDecoder::onRecordingComplete(SamplingState endState, uint32_t byteCount,
                                         const LiveRecording* live) {
    PageRecording& page = shownPage();
    int result = 0;
    switch (endState) {
        case SamplingState::Finished:
            page.endMarker = EndMarker::Complete;
            result = 1;
            break;
        case SamplingState::StopRequested:
            page.endMarker = EndMarker::CutShort;
            result = 1;
            break;
        case SamplingState::RequestFailed:
        case SamplingState::BufferFull:
        case SamplingState::PortLost:
            reportEndState(endState);
            page.endMarker = EndMarker::CutShort;
            result = 1;
            break;
        case SamplingState::CrcError:
            // The end marker stays as the previous recording left it.
            reportEndState(endState);
            break;
        default:
            break;
    }
    // Less than two frames of the smallest kind: nothing to show.
    if (byteCount < 14) result = 0;

    if (result == 1) {
        session_.progressTotal = 100;
        session_.progressCount = 0;
        session_.setPhase(ProgressPhase::Conversion);
        window_.showProgress();
        window_.pumpMessages();

        if (decodeRawValues(page, byteCount, live) == 0 || page.sampleCount < 2) {
            result = 0;
        } else {
            std::this_thread::sleep_for(loadPause_);
            window_.loadRecording(page.kind);
            // The page has what it shows; the texts are for the CSV save, which waits for the
            // window to be idle again.
            decodeTexts(page, byteCount);
            window_.setPhaseText(texts_.GetText(text::MSG_PROGRESS_STATE_MONITOR_COMP));
        }
        window_.repaint();
    }

    (page.kind == kDataMonitor ? session_.dataSavable : session_.ioSavable) = result == 1;
    if (result == 1) window_.enableEntry(page.kind);
    window_.startResetTimer(1000);
    window_.stopProgressTimer();
}

int CaptureDecoder::decodeRawValues(PageRecording& page, uint32_t byteCount,
                                    const LiveRecording* live) {
    const bool data = page.kind == kDataMonitor;
    const uint32_t bytesPerSample = sampleBytes(page.kind, page.active);
    // As many rows as decodeDataFrames and decodeIoFrames count: every sample that starts in
    // the bytes, the table's rows at most.
    uint32_t rows = 0;
    if (byteCount > kFrameHeaderBytes && bytesPerSample > 0)
        rows = std::min<uint32_t>((byteCount - kFrameHeaderBytes + bytesPerSample - 1) /
                                      bytesPerSample,
                                  page.texts.rows());
    // Only whole samples are taken from the live view: it never decodes a part of one.
    const uint32_t wholeRows = bytesPerSample > 0 ? byteCount / bytesPerSample : 0;
    const uint32_t taken = live ? live->copyRawValues(page, std::min(rows, wholeRows)) : 0;
    session_.progressTotal = int32_t(rows);
    PacedPump pump(window_);
    for (uint32_t row = taken; row < rows; ++row) {
        const uint32_t offset = kFrameHeaderBytes + row * bytesPerSample;
        const uint8_t* frame = capture_ + offset;
        const uint32_t available = byteCount - offset;
        if (data) {
            for (int slot = 0; slot < kDataItemCount; ++slot) {
                if (page.active.items[slot].enabled != 1) continue;
                const std::optional<ItemValue> value = itemValue(
                    page.active, slot, frame, std::min<uint32_t>(page.active.rangeLength1, available));
                if (!value) return 0;
                page.dataValue(row, slot) = rawItemValue(*value);
            }
        } else {
            for (int signal = 1; signal <= kIoSignalCount; ++signal) {
                if (page.active.items[signal - 1].enabled != 1) continue;
                const std::optional<bool> level = signalLevel(page.active, signal, frame, available);
                if (!level) return 0;
                page.ioBit(row, signal - 1) = *level ? 1 : 0;
            }
        }
        if (pump.due()) {
            session_.progressCount.store(int32_t(row + 1), std::memory_order_relaxed);
            pump.pump();
        }
    }
    page.sampleCount = rows;
    const int counted = capSampleCount(page);
    session_.progressTotal = int32_t(page.sampleCount);
    session_.progressCount = int32_t(page.sampleCount);
    return counted;
}

void CaptureDecoder::decodeTexts(PageRecording& page, uint32_t byteCount) {
    // The same frames as the raw table, so the same values: the page's count, which the window
    // may read meanwhile, stays as it was loaded.
    uint32_t rows = 0;
    if (page.kind == kDataMonitor)
        writeDataTexts(byteCount, rows);
    else
        writeIoTexts(byteCount, rows);
}

// Inlined into the loop over the frames, which runs it for every value of a recording.
inline __attribute__((always_inline)) int CaptureDecoder::decodeDataItem(
    int slot, uint32_t row, const uint8_t* data, uint32_t available) {
    PageRecording& page = dataPage_;
    const std::optional<ItemValue> value = itemValue(page.active, slot, data, available);
    if (!value) {
        page.texts.setCell(row, slot + 1, {});
        return 0;
    }
    page.texts.setPackedCell(row, slot + 1, packedDecimal(value->negative, value->magnitude));
    return 1;
}

int CaptureDecoder::decodeDataFrames(uint32_t n) {
    const bool decoded = writeDataTexts(n, dataPage_.sampleCount);
    return decoded ? capSampleCount(dataPage_) : 0;
}

int CaptureDecoder::decodeIoFrames(uint32_t n) {
    const bool decoded = writeIoTexts(n, ioPage_.sampleCount);
    return decoded ? capSampleCount(ioPage_) : 0;
}

bool CaptureDecoder::writeDataTexts(uint32_t n, uint32_t& rows) {
    PageRecording& page = dataPage_;
    const uint32_t rangeBytes = page.active.rangeLength1;
    const uint32_t frameBytes = sampleBytes(kDataMonitor, page.active);
    // Start from an empty table: long texts of the previous recording would otherwise stay
    // in the overflow arena and make it grow from one recording to the next.
    page.texts.clear();
    uint32_t row = 0;
    bool decoded = true;
    for (uint32_t offset = kFrameHeaderBytes; offset < n && decoded; offset += frameBytes) {
        if (row >= page.texts.rows()) break;
        const uint32_t available = std::min(rangeBytes, n - offset);
        bool decodedAny = false;
        for (int slot = 0; slot < kDataItemCount && decoded; ++slot) {
            if (page.active.items[slot].enabled != 1) continue;
            decoded = decodeDataItem(slot, row, capture_ + offset, available) != 0;
            decodedAny = true;
        }
        if (!decoded) break;
        // Every decoded value of a row carries the same time: write it once.
        if (decodedAny) setTimeCell(page.texts, row, page.cycle);
        row += 1;
    }
    rows = row;
    return decoded;
}

bool CaptureDecoder::writeIoTexts(uint32_t n, uint32_t& rows) {
    PageRecording& page = ioPage_;
    const uint32_t cycleBytes = sampleBytes(kIoMonitor, page.active);
    // Start from an empty table: long texts of the previous recording would otherwise stay
    // in the overflow arena and make it grow from one recording to the next.
    page.texts.clear();
    uint32_t row = 0;
    bool decoded = true;
    for (uint32_t offset = kFrameHeaderBytes; offset < n && decoded; offset += cycleBytes) {
        if (row >= page.texts.rows()) break;
        const uint32_t available = n - offset;
        bool decodedAny = false;
        for (int signal = 1; signal <= kIoSignalCount && decoded; ++signal) {
            if (page.active.items[signal - 1].enabled != 1) continue;
            decoded = decodeIoSignal(signal, row, capture_ + offset, available) != 0;
            decodedAny = true;
        }
        if (!decoded) break;
        if (decodedAny) setTimeCell(page.texts, row, page.cycle);
        row += 1;
    }
    rows = row;
    return decoded;
}

int CaptureDecoder::decodeIoSignal(int signal, uint32_t row, const uint8_t* data,
                                   uint32_t available) {
    const std::optional<bool> level = signalLevel(ioPage_.active, signal, data, available);
    ioPage_.texts.setCell(row, signal, !level ? "" : *level ? "1" : "0");
    return level ? 1 : 0;
}

}  // namespace kestiva
