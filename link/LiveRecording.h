#pragma once
// What a running recording has brought so far, for a front end to show while it runs. It
// reads the capture buffer only below the count of complete bytes that the sampling engine
// publishes, and decodes each sample with the same functions as the pass after the
// recording, CRC check included, into tables of its own; the page's tables are left to that
// pass. A sample whose frames fail their CRC check (or cannot be decoded) is a gap, not a
// zero. Everything is called from one thread, the front end's; the engine's worker is never
// waited for. The one exception is copyRawValues, which the pass after the recording calls on
// the recording's worker: the tables change only under a lock that it takes too.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <iterator>
#include <mutex>
#include <span>
#include <vector>

#include "settings/SamplingConfig.h"

namespace kestiva {

struct PageRecording;

// One sample of a live recording, as a front end reads it.
struct LiveSample {
    uint32_t index = 0;
    uint32_t timeMs = 0;  // from the start: index x cycle
    bool valid = false;   // false: a gap (its frames failed the CRC check)
    // Data: per item 0 to 2, the plotted value (raw x scale as the page plots it) and the raw
    // word; 0 for a disabled item or a gap.
    std::span<const double> plotted;
    std::span<const int32_t> raw;
    // I/O: per signal 0 to 15, 1 or 0; 0 for a disabled signal or a gap.
    std::span<const uint8_t> levels;

    double seconds() const { return timeMs / 1000.0; }
};

class LiveRecording {
public:
    // captureBuffer and completeBytes belong to the sampling engine that records into it.
    LiveRecording(const uint8_t* captureBuffer, const std::atomic<uint32_t>& completeBytes);

    // A recording has started with this record, cycle and time: the tables are made for its
    // planned samples (time x 1000 / cycle + 1) and emptied.
    void begin(MonitorKind monitor, const ControllerRecord& record, uint16_t cycle, uint16_t time);
    // No recording to follow: nothing held, polls find nothing.
    void clear();

    // Decodes the samples that have become complete since the last poll; how many it added.
    uint32_t poll();

    bool active() const { return planned_ > 0; }
    MonitorKind monitor() const { return monitor_; }
    const ControllerRecord& record() const { return record_; }
    uint16_t cycle() const { return cycle_; }
    uint32_t plannedSamples() const { return planned_; }
    uint32_t sampleCount() const { return count_; }
    // Samples that failed their check so far.
    uint32_t gapCount() const { return gaps_; }
    // The time of day of sample 0's place on the grid (sample k's is k cycles later), once
    // the owner has told it; nullopt before that and after begin.
    std::optional<std::chrono::system_clock::time_point> gridOrigin() const { return origin_; }
    void setGridOrigin(std::chrono::system_clock::time_point origin) { origin_ = origin; }
    LiveSample sample(uint32_t index) const;

    // For the pass after the recording, from any thread: copies the raw values of the leading
    // samples below rows that have been decoded and passed their check into page's raw table,
    // when page is of the monitor this recording follows; how many rows it copied (it stops at
    // the first gap, which the pass decodes again like every row after it).
    uint32_t copyRawValues(PageRecording& page, uint32_t rows) const;

    // The samples [first, end) in order, for a range-for.
    class Samples {
    public:
        class Iterator {
        public:
            using iterator_category = std::input_iterator_tag;
            using value_type = LiveSample;
            using difference_type = std::ptrdiff_t;
            Iterator(const LiveRecording& live, uint32_t index) : live_(&live), index_(index) {}
            LiveSample operator*() const { return live_->sample(index_); }
            Iterator& operator++() {
                ++index_;
                return *this;
            }
            bool operator==(const Iterator& other) const { return index_ == other.index_; }

        private:
            const LiveRecording* live_;
            uint32_t index_;
        };
        Samples(const LiveRecording& live, uint32_t first, uint32_t end)
            : live_(live), first_(first), end_(end) {}
        Iterator begin() const { return {live_, first_}; }
        Iterator end() const { return {live_, end_}; }
        uint32_t size() const { return end_ - first_; }

    private:
        const LiveRecording& live_;
        uint32_t first_;
        uint32_t end_;
    };
    // What the last poll added.
    Samples newSamples() const { return {*this, firstNew_, count_}; }
    Samples samples() const { return {*this, 0, count_}; }

private:
    void decodeSample(uint32_t index, const uint8_t* sample);
    bool decodeDataSample(uint32_t index, const uint8_t* sample);
    bool decodeIoSample(uint32_t index, const uint8_t* sample);

    const uint8_t* capture_;
    const std::atomic<uint32_t>& completeBytes_;
    MonitorKind monitor_ = kDataMonitor;
    ControllerRecord record_;
    uint16_t cycle_ = 0;
    uint32_t sampleBytes_ = 0;
    uint32_t planned_ = 0;
    uint32_t count_ = 0;
    uint32_t firstNew_ = 0;
    uint32_t gaps_ = 0;
    std::optional<std::chrono::system_clock::time_point> origin_;
    std::vector<uint8_t> valid_;
    std::vector<double> plotted_;  // data: kDataItemCount per sample
    std::vector<int32_t> raw_;     // data: kDataItemCount per sample
    std::vector<uint8_t> levels_;  // I/O: kIoSignalCount per sample
    // Held while the tables or the count change, and while copyRawValues reads them.
    mutable std::mutex tables_;
};

}  // namespace kestiva
