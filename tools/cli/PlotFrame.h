#pragma once
// What plot draws around a recording's graph, as the monitor page shows it around its own: a
// title line (file, monitor, start date, cycle), the time axis in seconds, each shown item's
// value range with its unit (or each I/O signal's name beside its lane) and a legend of the
// names in their trace colours. The graph picture comes in finished: the frame never draws a
// sample, so whatever paints the graph, the frame is the same.

#include <QImage>
#include <QRect>
#include <QSize>

#include <array>
#include <string>
#include <vector>

#include "recording/PageFigures.h"
#include "recording/SampleTables.h"
#include "settings/SamplingConfig.h"

namespace kestiva::cli {

// The texts and colours of a frame; nothing about pixels.
struct PlotFrameContent {
    // One shown data item: its range's labels at the major grid lines, top first (the upper
    // bound, three quarters, half, a quarter, the lower bound), and its unit.
    struct ValueAxis {
        std::string unit;
        Color color = 0;
        std::array<std::string, 5> labels;
    };
    // One shown I/O signal: its name beside its lane, whose middle lies at `middle` (0 the
    // graph's top, 1 its bottom).
    struct Lane {
        std::string name;
        Color color = 0;
        double middle = 0.0;
    };
    struct LegendEntry {
        std::string name;
        Color color = 0;
    };

    std::string title;
    std::array<std::string, 5> timeLabels;  // seconds at 0, the quarters and the end
    std::vector<ValueAxis> valueAxes;        // data
    std::vector<Lane> lanes;                 // I/O
    std::vector<LegendEntry> legend;         // data: name and unit of each shown item
    Color background = 0;
    Color grid = 0;
};

// The frame of a loaded data or I/O page, named after the file it was read from.
PlotFrameContent dataPlotFrame(const PageRecording& page, const DataPageFigures& figures,
                               const ColorTable& colors, const std::string& fileName);
PlotFrameContent ioPlotFrame(const PageRecording& page, const IoPageFigures& figures,
                             const ColorTable& colors, const std::string& fileName);

// Where the graph lies in a framed picture of the given size: what the frame's texts leave
// (with the default font of the running application). Empty when they leave nothing.
QRect plotGraphArea(const PlotFrameContent& content, QSize picture);

// The picture of the given size: the frame drawn around graph, which lands unchanged at
// plotGraphArea(content, picture) (graph must have that area's size).
QImage framePlot(const QImage& graph, const PlotFrameContent& content, QSize picture);

}  // namespace kestiva::cli
