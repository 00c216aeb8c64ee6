#include "window/PageGraphs.h"

#include <algorithm>

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
void showEnabledTraces(const ControllerRecord& record, std::size_t traces,
                       const ColorTable& colors, Graph& graph) {
    for (std::size_t k = 0; k < traces; ++k) {
        const bool enabled = record.items[k].enabled == 1;
        if (enabled)
            graph.traceColor[k] = colors.traceColors[k];
        graph.traceVisible[k] = enabled ? 1 : 0;
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
    graph.reset(kDataItemCount, n);
    for (int k = 0; k < kDataItemCount; ++k) {
        const std::size_t slot = std::size_t(k);
        const ItemFigures& f = figures.items[slot];
        if (f.enabled) {
            const DataItem& item = page.active.items[slot];
            graph.assignSamples(uint32_t(k), n, [&](uint32_t j) {
                return plottedValue(item, page.rawData[j * kDataItemCount + slot]);
            });
            graph.traceColor[slot] = colors.traceColors[slot];
        }
        graph.traceVisible[slot] = f.enabled ? 1 : 0;
        graph.lowerBound[slot] = f.bounds.lower;
        graph.upperBound[slot] = f.bounds.upper;
    }
    showWholeRecording(n, colors, graph);
}

void loadIoGraph(const PageRecording& page, const ColorTable& colors, IoGraphData& graph) {
    const uint32_t n = page.sampleCount;
    graph.reset(kIoSignalCount, n);
    for (int s = 0; s < kIoSignalCount; ++s) {
        const std::size_t slot = std::size_t(s);
        const bool enabled = page.active.items[slot].enabled == 1;
        if (enabled) {
            graph.assignSamples(uint32_t(s), n, [&](uint32_t i) {
                return ioLevel(s, page.rawIo[i * kIoSignalCount + slot] != 0);
            });
            graph.traceColor[slot] = colors.traceColors[slot];
        }
        graph.traceVisible[slot] = enabled ? 1 : 0;
        graph.lowerBound[slot] = kIoLowerBound;
        graph.upperBound[slot] = kIoUpperBound;
    }
    showWholeRecording(n, colors, graph);
}

}  // namespace kestiva
