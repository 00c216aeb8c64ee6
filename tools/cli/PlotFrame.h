#pragma once
// What plot draws around a recording's graph, as the monitor page shows it around its own: a
// title line (file, monitor, start date, cycle), the time axis in seconds, each shown item's
// value range with its unit (or each I/O signal's name beside its lane) and a legend of the
// names in their trace colours. The graph picture comes in finished: the frame never draws a
// sample, so whatever paints the graph, the frame is the same.
// Where things go is decided here for every system; the system only measures and draws the
// texts (PlotFace.h).

#include <array>
#include <string>
#include <vector>

#include "recording/PageFigures.h"
#include "recording/SampleTables.h"
#include "settings/SamplingConfig.h"
#include "window/Geometry.h"
#include "window/PixelBuffer.h"

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

// How the system measures the frame's one font.
class FrameFont {
public:
    virtual ~FrameFont() = default;
    virtual int lineHeight() const = 0;
    virtual int textWidth(const std::string& text) const = 0;
};

// One thing the frame draws, in the order given: a text in its box on one line, or a filled
// rectangle (a legend's swatch, a one-pixel-wide tick of the time axis).
struct FrameMark {
    enum class Kind { Text, Fill };
    enum class Align { Left, Right, Center };
    Kind kind = Kind::Text;
    Rect box;
    Color color = 0;
    std::string text;
    Align align = Align::Left;
    bool atBottom = false;  // the text at its box's bottom; else in its middle
};

// Where the graph lies in a framed picture of the given size: what the frame's texts leave.
// Empty when they leave nothing.
Rect plotGraphArea(const PlotFrameContent& content, Size picture, const FrameFont& font);

// The frame's texts, ticks and swatches around the graph at area, in drawing order.
std::vector<FrameMark> plotFrameMarks(const PlotFrameContent& content, Rect area, Size picture,
                                      const FrameFont& font);

// A picture of the given size in the frame's background with graph copied unchanged to area
// (graph must have that area's size), ready for the marks.
PixelBuffer plotCanvas(const PixelBuffer& graph, const PlotFrameContent& content, Rect area,
                       Size picture);

// The colour of the title and the time axis: black on a light background, near white on a
// dark one.
Color frameTextColor(Color background);

}  // namespace kestiva::cli
