#pragma once
// What a monitor page's graph holds right after Load recording: every sample of the enabled
// items or signals, the ranges of the page figures, the whole recording in the window and the
// colour table's colours. The pages and the companion command's plot fill their graphs here.

#include "recording/PageFigures.h"
#include "recording/SampleTables.h"
#include "settings/SamplingConfig.h"
#include "views/IoGraph.h"
#include "views/MultiGraph.h"

namespace kestiva {

void loadDataGraph(const PageRecording& page, const DataPageFigures& figures,
                   const ColorTable& colors, MultiGraphData& graph);

void loadIoGraph(const PageRecording& page, const ColorTable& colors, IoGraphData& graph);

}  // namespace kestiva
