#pragma once
// What a monitor page's graph holds right after Load recording: every sample of the enabled
// items or signals, the ranges of the page figures, the whole recording in the window and the
// colour table's colours. The pages and the companion command's plot fill their graphs here.

#include "recording/PageFigures.h"
#include "recording/SampleTables.h"
#include "settings/SamplingConfig.h"
#include "window/GraphData.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kestiva {

void loadDataGraph(const PageRecording& page, const DataPageFigures& figures,
                   const ColorTable& colors, MultiGraphData& graph);

void loadIoGraph(const PageRecording& page, const ColorTable& colors, IoGraphData& graph);

// What a graph holds when a recording starts to arrive: room for its planned samples, the
// enabled items or signals visible in the colour table's colours, and the whole planned time
// in the window, so that the traces grow from the left under a time axis that stays put. The
// data graph's ranges are the page's business (they follow the values as they come).
void beginLiveDataGraph(const ControllerRecord& record, uint32_t plannedSamples,
                        const ColorTable& colors, MultiGraphData& graph);
void beginLiveIoGraph(const ControllerRecord& record, uint32_t plannedSamples,
                      const ColorTable& colors, IoGraphData& graph);
// The value extremes of each data item so far while a recording arrives; none before its
// first value.
using LiveExtremes = std::array<std::optional<ValueRange>, kDataItemCount>;
// One arriving data sample: the plotted value of each enabled item, or a gap in each when it
// failed. An item's range widens to initialBounds of its extremes once a value leaves them.
// Returns whether a range changed (the value labels then follow).
bool appendLiveValues(const ControllerRecord& record, bool valid,
                      std::span<const double> plotted, LiveExtremes& extremes,
                      MultiGraphData& graph);
// One arriving I/O sample: a level per enabled signal, or a gap in each when it failed.
void appendLiveLevels(const ControllerRecord& record, bool valid,
                      std::span<const uint8_t> levels, IoGraphData& graph);

}  // namespace kestiva
