#include "window/PageGraphs.h"

#include <algorithm>
#include <optional>

namespace kestiva {

namespace {

template <typename Graph>
void showWholeRecording(uint32_t samples, const ColorTable& colors, Graph& graph) {
    graph.firstIndex = 0;
    graph.lastIndex = samples > 0 ? samples - 1 : 0;
    graph.backgroundColor = colors.backgroundColor;
    graph.gridColor = colors.gridColor;
    graph.drawEnabled = 1;
}

// Colours and visibility of the enabled items or signals of a record, for a graph just reset.
template <typename Graph>
void showEnabledTraces(const ControllerRecord& record, std::size_t traces, const ColorTable& colors,
                       Graph& graph) {
    for (std::size_t k = 0; k < traces; ++k) {
        const bool enabled = record.items[k].enabled == 1;
        if (enabled)
            graph.traceColor[k] = colors.traceColors[k];
        graph.traceVisible[k] = enabled ? 1 : 0;
    }
}

// How many leading samples of every enabled trace the graph already holds exactly as
// valueAt(slot, j) gives them, with room for the rest: what the live view drew while the
// recording ran. 0 when it holds anything else (another recording, a gap, a disabled trace
// with samples), so that a load never shows a picture the page's tables do not hold. Checking
// the values costs a fraction of storing them again and summarising them into the envelopes.
template <typename Graph, typename Enabled, typename ValueAt>
uint32_t heldLiveSamples(const Graph& graph, std::size_t traces, uint32_t n, Enabled enabled,
                         ValueAt valueAt) {
    if (graph.usableTraceCount() != traces || graph.traceCount != traces)
        return 0;
    std::optional<uint32_t> held;
    for (std::size_t slot = 0; slot < traces; ++slot) {
        const uint32_t count = graph.fillCount[slot];
        if (!enabled(slot)) {
            if (count != 0)
                return 0;
            continue;
        }
        if (held && count != *held)
            return 0;
        held = count;
        // The rest must be appended without the full buffer dropping its oldest sample.
        if (count == 0 || count > n || graph.samples[slot].size() < n)
            return 0;
    }
    if (!held)
        return 0;
    for (std::size_t slot = 0; slot < traces; ++slot) {
        if (!enabled(slot))
            continue;
        // A gap never equals a value: NaN compares unequal, kIoGap is no level.
        const auto samples = graph.heldSamples(uint32_t(slot));
        for (uint32_t j = 0; j < *held; ++j)
            if (samples[j] != valueAt(slot, j))
                return 0;
    }
    return *held;
}

// Puts the page's n samples of every enabled trace into the graph, and none of the others:
// after the live view only those it had not drawn yet, else all of them on a graph made anew.
template <typename Graph, typename Enabled, typename ValueAt>
void loadSamples(Graph& graph, std::size_t traces, uint32_t n, Enabled enabled, ValueAt valueAt) {
    const uint32_t held = heldLiveSamples(graph, traces, n, enabled, valueAt);
    if (held == 0)
        graph.reset(uint32_t(traces), n);
    for (std::size_t slot = 0; slot < traces; ++slot) {
        if (!enabled(slot))
            continue;
        const auto at = [&](uint32_t j) { return valueAt(slot, j); };
        if (held == 0) {
            graph.assignSamples(uint32_t(slot), n, at);
            continue;
        }
        for (uint32_t j = held; j < n; ++j)
            graph.appendSample(uint32_t(slot), at(j));
    }
}

}  // namespace

void beginLiveDataGraph(const ControllerRecord& record, uint32_t plannedSamples,
                        const ColorTable& colors, MultiGraphData& graph) {
    graph.reset(kDataItemCount, plannedSamples);
    showEnabledTraces(record, kDataItemCount, colors, graph);
    showWholeRecording(plannedSamples, colors, graph);
}

void beginLiveIoGraph(const ControllerRecord& record, uint32_t plannedSamples,
                      const ColorTable& colors, IoGraphData& graph) {
    graph.reset(kIoSignalCount, plannedSamples);
    showEnabledTraces(record, kIoSignalCount, colors, graph);
    for (std::size_t s = 0; s < kIoSignalCount; ++s) {
        graph.lowerBound[s] = kIoLowerBound;
        graph.upperBound[s] = kIoUpperBound;
    }
    showWholeRecording(plannedSamples, colors, graph);
}

bool appendLiveValues(const ControllerRecord& record, bool valid,
                      std::span<const double> plotted, LiveExtremes& extremes,
                      MultiGraphData& graph) {
    bool widened = false;
    for (std::size_t k = 0; k < kDataItemCount && k < plotted.size(); ++k) {
        const DataItem& item = record.items[k];
        if (item.enabled != 1)
            continue;
        if (!valid) {
            graph.appendGap(uint32_t(k));
            continue;
        }
        const double value = plotted[k];
        graph.appendSample(uint32_t(k), value);
        std::optional<ValueRange>& seen = extremes[k];
        if (seen && value >= seen->lower && value <= seen->upper)
            continue;
        seen = seen ? ValueRange{std::min(seen->lower, value), std::max(seen->upper, value)}
                    : ValueRange{value, value};
        const ValueRange bounds = initialBounds(*seen, item.scale);
        graph.lowerBound[k] = bounds.lower;
        graph.upperBound[k] = bounds.upper;
        widened = true;
    }
    return widened;
}

void appendLiveLevels(const ControllerRecord& record, bool valid,
                      std::span<const uint8_t> levels, IoGraphData& graph) {
    for (std::size_t s = 0; s < kIoSignalCount && s < levels.size(); ++s) {
        if (record.items[s].enabled != 1)
            continue;
        if (valid)
            graph.appendSample(uint32_t(s), ioLevel(int(s), levels[s] != 0));
        else
            graph.appendGap(uint32_t(s));
    }
}

void loadDataGraph(const PageRecording& page, const DataPageFigures& figures,
                   const ColorTable& colors, MultiGraphData& graph) {
    const uint32_t n = page.sampleCount;
    loadSamples(
        graph, kDataItemCount, n, [&](std::size_t slot) { return figures.items[slot].enabled; },
        [&](std::size_t slot, uint32_t j) {
            return plottedValue(page.active.items[slot], page.rawData[j * kDataItemCount + slot]);
        });
    for (std::size_t slot = 0; slot < kDataItemCount; ++slot) {
        const ItemFigures& f = figures.items[slot];
        graph.traceColor[slot] =
            f.enabled ? colors.traceColors[slot] : defaultTraceColor(uint32_t(slot));
        graph.traceVisible[slot] = f.enabled ? 1 : 0;
        graph.lowerBound[slot] = f.bounds.lower;
        graph.upperBound[slot] = f.bounds.upper;
    }
    showWholeRecording(n, colors, graph);
}

void loadIoGraph(const PageRecording& page, const ColorTable& colors, IoGraphData& graph) {
    const uint32_t n = page.sampleCount;
    const auto enabled = [&](std::size_t slot) { return page.active.items[slot].enabled == 1; };
    loadSamples(graph, kIoSignalCount, n, enabled, [&](std::size_t slot, uint32_t i) {
        return ioLevel(int(slot), page.rawIo[i * kIoSignalCount + slot] != 0);
    });
    for (std::size_t slot = 0; slot < kIoSignalCount; ++slot) {
        graph.traceColor[slot] =
            enabled(slot) ? colors.traceColors[slot] : defaultTraceColor(uint32_t(slot));
        graph.traceVisible[slot] = enabled(slot) ? 1 : 0;
        graph.lowerBound[slot] = kIoLowerBound;
        graph.upperBound[slot] = kIoUpperBound;
    }
    showWholeRecording(n, colors, graph);
}

}  // namespace kestiva
