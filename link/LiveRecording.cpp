#include "link/LiveRecording.h"

#include <algorithm>

#include "link/CaptureDecoding.h"
#include "link/ModbusFrames.h"
#include "recording/PageFigures.h"
#include "recording/SampleTables.h"

namespace kestiva {

LiveRecording::LiveRecording(const uint8_t* captureBuffer,
                             const std::atomic<uint32_t>& completeBytes)
    : capture_(captureBuffer), completeBytes_(completeBytes) {}

void LiveRecording::begin(MonitorKind monitor, const ControllerRecord& record, uint16_t cycle,
                          uint16_t time) {
    std::lock_guard lock(tables_);
    monitor_ = monitor;
    record_ = record;
    cycle_ = cycle;
    sampleBytes_ = sampleBytes(monitor, record);
    // As many samples as the finished recording shows at most.
    planned_ = cycle == 0 ? 0 : std::min(uint32_t(time) * 1000 / cycle + 1, kMaxSamples);
    count_ = 0;
    firstNew_ = 0;
    gaps_ = 0;
    origin_.reset();
    // assign keeps the capacity of an earlier recording: a second one of the same size
    // allocates nothing.
    const bool data = monitor == kDataMonitor;
    valid_.assign(planned_, 0);
    plotted_.assign(data ? std::size_t(planned_) * kDataItemCount : 0, 0.0);
    raw_.assign(data ? std::size_t(planned_) * kDataItemCount : 0, 0);
    levels_.assign(data ? 0 : std::size_t(planned_) * kIoSignalCount, 0);
}

void LiveRecording::clear() {
    std::lock_guard lock(tables_);
    planned_ = 0;
    origin_.reset();
    count_ = 0;
    firstNew_ = 0;
    gaps_ = 0;
}

uint32_t LiveRecording::poll() {
    firstNew_ = count_;
    if (planned_ == 0 || sampleBytes_ == 0)
        return 0;
    // Acquire: the bytes below the count are those the worker had stored when it published.
    const uint32_t complete = completeBytes_.load(std::memory_order_acquire);
    const uint32_t ready = std::min(complete / sampleBytes_, planned_);
    std::lock_guard lock(tables_);
    for (; count_ < ready; ++count_)
        decodeSample(count_, capture_ + std::size_t(count_) * sampleBytes_);
    return count_ - firstNew_;
}

void LiveRecording::decodeSample(uint32_t index, const uint8_t* sample) {
    const bool good = sampleFramesIntact(monitor_, record_, sample) &&
                      (monitor_ == kDataMonitor ? decodeDataSample(index, sample)
                                                : decodeIoSample(index, sample));
    valid_[index] = good ? 1 : 0;
    if (good)
        return;
    gaps_ += 1;
    // A gap holds no values, not even those decoded before a later item failed.
    if (monitor_ == kDataMonitor) {
        std::fill_n(plotted_.begin() + std::ptrdiff_t(index) * kDataItemCount, kDataItemCount, 0.0);
        std::fill_n(raw_.begin() + std::ptrdiff_t(index) * kDataItemCount, kDataItemCount, 0);
    } else {
        std::fill_n(levels_.begin() + std::ptrdiff_t(index) * kIoSignalCount, kIoSignalCount, 0);
    }
}

bool LiveRecording::decodeDataSample(uint32_t index, const uint8_t* sample) {
    for (int slot = 0; slot < kDataItemCount; ++slot) {
        const DataItem& item = record_.items[std::size_t(slot)];
        if (item.enabled != 1)
            continue;
        const auto value =
            decodeItemValue(record_, slot, sample + kFrameHeaderBytes, record_.rangeLength1);
        if (!value)
            return false;
        const std::size_t at = std::size_t(index) * kDataItemCount + std::size_t(slot);
        raw_[at] = rawItemValue(*value);
        plotted_[at] = plottedValue(item, raw_[at]);
    }
    return true;
}

bool LiveRecording::decodeIoSample(uint32_t index, const uint8_t* sample) {
    for (int signal = 1; signal <= kIoSignalCount; ++signal) {
        if (record_.items[std::size_t(signal - 1)].enabled != 1)
            continue;
        const auto level = decodeSignalLevel(record_, signal, sample + kFrameHeaderBytes,
                                             sampleBytes_ - kFrameHeaderBytes);
        if (!level)
            return false;
        levels_[std::size_t(index) * kIoSignalCount + std::size_t(signal - 1)] = *level ? 1 : 0;
    }
    return true;
}

uint32_t LiveRecording::copyRawValues(PageRecording& page, uint32_t rows) const {
    std::lock_guard lock(tables_);
    if (planned_ == 0 || page.kind != monitor_)
        return 0;
    const uint32_t end = std::min(rows, count_);
    uint32_t row = 0;
    while (row < end && valid_[row] != 0)
        ++row;
    if (monitor_ == kDataMonitor)
        std::copy_n(raw_.begin(), std::size_t(row) * kDataItemCount, page.rawData.begin());
    else
        std::copy_n(levels_.begin(), std::size_t(row) * kIoSignalCount, page.rawIo.begin());
    return row;
}

LiveSample LiveRecording::sample(uint32_t index) const {
    LiveSample s;
    s.index = index;
    s.timeMs = index * cycle_;
    if (index >= count_)
        return s;
    s.valid = valid_[index] != 0;
    if (monitor_ == kDataMonitor) {
        s.plotted =
            std::span(plotted_).subspan(std::size_t(index) * kDataItemCount, kDataItemCount);
        s.raw = std::span(raw_).subspan(std::size_t(index) * kDataItemCount, kDataItemCount);
    } else {
        s.levels = std::span(levels_).subspan(std::size_t(index) * kIoSignalCount, kIoSignalCount);
    }
    return s;
}

}  // namespace kestiva
