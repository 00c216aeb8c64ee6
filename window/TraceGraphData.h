#pragma once
// The data both graphs hold: per-trace sample buffers with their ranges, colours and
// visibility, and the window of sample indices that every trace shares. Each buffer has an
// envelope beside it, extended by appendSample, from which the graphs paint. The page writes the
// fields directly and then asks for a repaint; nothing here knows about widgets, so the same
// data can be painted into an image by a program that shows no window.

#include "settings/SamplingConfig.h"
#include "window/TraceEnvelope.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestiva {

constexpr Color kDefaultBackgroundColor = 0x000000;
constexpr Color kDefaultGridColor = 0xDFDFDF;

// Trace colours before a colour table is applied, by trace index modulo 8 (0x00BBGGRR).
constexpr std::array<Color, 8> kDefaultTracePalette = {
    0x0000FF,  // red
    0xFF0000,  // blue
    0x00FFFF,  // yellow
    0x00FF00,  // green
    0xFF00FF,  // magenta
    0xFFFF00,  // cyan
    0xFFA5FF,  // pink
    0xEE82EE,  // violet
};

inline Color defaultTraceColor(uint32_t trace) {
    return kDefaultTracePalette[trace % kDefaultTracePalette.size()];
}

template <typename Sample>
struct TraceGraphData {
    uint32_t traceCount = 0;
    uint32_t capacity = 0;
    int32_t hasSamples = 0;
    int32_t drawEnabled = 0;
    std::vector<double> upperBound;
    std::vector<double> lowerBound;
    std::vector<std::vector<Sample>> samples;
    std::vector<uint32_t> fillCount;
    uint32_t lastIndex = 0;
    uint32_t firstIndex = 0;
    std::vector<Color> traceColor;
    Color backgroundColor = kDefaultBackgroundColor;
    Color gridColor = kDefaultGridColor;
    std::vector<int32_t> traceVisible;
    // One per trace, covering its held samples; kept up to date by appendSample and
    // clearSamples, so samples must be stored through them.
    std::vector<TraceEnvelope<Sample>> envelopes;

    // Rebuilds every per-trace array for a new trace count and capacity. The window and
    // drawEnabled are the caller's business.
    void resetTraces(uint32_t traces, uint32_t newCapacity) {
        traceCount = traces;
        capacity = newCapacity;
        upperBound.assign(traces, 0.0);
        lowerBound.assign(traces, 0.0);
        samples.assign(traces, {});
        for (auto& buffer : samples) {
            buffer.assign(newCapacity, Sample{});
        }
        fillCount.assign(traces, 0);
        envelopes.assign(traces, {});
        for (auto& envelope : envelopes) {
            envelope.reset(newCapacity);
        }
        traceColor.resize(traces);
        for (uint32_t i = 0; i < traces; ++i) {
            traceColor[i] = defaultTraceColor(i);
        }
        traceVisible.assign(traces, 1);
        backgroundColor = kDefaultBackgroundColor;
        gridColor = kDefaultGridColor;
        hasSamples = 0;
    }

    // Stores a value after the trace's last one; a full buffer drops its oldest value.
    void appendSample(uint32_t trace, Sample value) {
        hasSamples = 1;
        if (trace >= samples.size() || trace >= fillCount.size() || trace >= envelopes.size()) {
            return;
        }
        auto& buffer = samples[trace];
        if (buffer.empty()) {
            return;  // a zero capacity holds nothing
        }
        uint32_t& count = fillCount[trace];
        if (count < buffer.size()) {
            buffer[count++] = value;
            envelopes[trace].append(value);
            return;
        }
        std::move(buffer.begin() + 1, buffer.end(), buffer.begin());
        buffer.back() = value;
        count = uint32_t(buffer.size());
        envelopes[trace].rebuild(buffer);  // every sample moved to another bucket
    }

    // Stores the first `count` samples of a trace at once, valueAt(j) giving sample j (as many
    // as the buffer holds), and builds its envelope in one pass: what a page load does, for a
    // fraction of what appending them one by one costs.
    template <typename ValueAt>
    void assignSamples(uint32_t trace, uint32_t count, ValueAt valueAt) {
        if (count == 0) return;
        hasSamples = 1;
        if (trace >= samples.size() || trace >= fillCount.size() || trace >= envelopes.size()) {
            return;
        }
        auto& buffer = samples[trace];
        const uint32_t stored = uint32_t(std::min<size_t>(count, buffer.size()));
        for (uint32_t j = 0; j < stored; ++j) {
            buffer[j] = valueAt(j);
        }
        fillCount[trace] = stored;
        envelopes[trace].rebuild(heldSamples(trace));
    }

    // Stores a sample that has no value (its frame failed or never came): the trace's line
    // breaks there.
    void appendGap(uint32_t trace) { appendSample(trace, gapSample<Sample>()); }

    // Empties every buffer; ranges, colours, visibility and window stay.
    void clearSamples() {
        for (auto& buffer : samples) {
            std::fill(buffer.begin(), buffer.end(), Sample{});
        }
        std::fill(fillCount.begin(), fillCount.end(), 0u);
        for (auto& envelope : envelopes) {
            envelope.clear();
        }
        hasSamples = 0;
    }

    // The valid samples of a trace. Bounded by the buffer itself, so a count or capacity
    // written carelessly by a caller can never make painting read past the storage.
    std::span<const Sample> heldSamples(uint32_t trace) const {
        if (trace >= samples.size() || trace >= fillCount.size()) {
            return {};
        }
        const auto& buffer = samples[trace];
        return std::span<const Sample>(buffer.data(),
                                       std::min<size_t>(fillCount[trace], buffer.size()));
    }

    // The traces every per-trace array has room for.
    uint32_t usableTraceCount() const {
        size_t n = std::min<size_t>(traceCount, samples.size());
        n = std::min({n, fillCount.size(), upperBound.size(), lowerBound.size(),
                      traceColor.size(), traceVisible.size(), envelopes.size()});
        return uint32_t(n);
    }

    // Bytes held by the sample buffers and their envelopes.
    size_t sampleBytes() const {
        size_t bytes = 0;
        for (const auto& buffer : samples) {
            bytes += buffer.capacity() * sizeof(Sample);
        }
        for (const auto& envelope : envelopes) {
            bytes += envelope.bytes();
        }
        return bytes;
    }
};

}  // namespace kestiva
