#include "tools/cli/PlotFrame.h"

#include <algorithm>

namespace kestiva::cli {

namespace {

constexpr int kPad = 6;   // between texts and around the picture
constexpr int kTick = 4;  // the time axis' marks below the graph

using Align = FrameMark::Align;

FrameMark text(Rect box, Color color, const std::string& s, Align align, bool atBottom = false) {
    return {FrameMark::Kind::Text, box, color, s, align, atBottom};
}

FrameMark fill(Rect box, Color color) {
    return {FrameMark::Kind::Fill, box, color, {}, Align::Left, false};
}

// The widest label (unit included) of one value axis.
int axisWidth(const FrameFont& font, const PlotFrameContent::ValueAxis& axis) {
    int width = font.textWidth(axis.unit);
    for (const std::string& label : axis.labels)
        width = std::max(width, font.textWidth(label));
    return width;
}

struct Margins {
    int left = kPad;
    int top = kPad;
    int right = kPad;
    int bottom = kPad;
};

Margins frameMargins(const PlotFrameContent& content, const FrameFont& font) {
    const int line = font.lineHeight();
    Margins m;
    // The title, then a row for the units above the value axes.
    m.top = kPad + line + kPad + line;
    for (const auto& axis : content.valueAxes)
        m.left += axisWidth(font, axis) + kPad;
    int lane = 0;
    for (const auto& l : content.lanes)
        lane = std::max(lane, font.textWidth(l.name));
    m.left += lane > 0 ? lane + kPad : 0;
    // The first and last time labels are centred on the graph's edges.
    m.left = std::max(m.left, font.textWidth(content.timeLabels.front()) / 2 + kPad);
    m.right = font.textWidth(content.timeLabels.back()) / 2 + kPad;
    m.bottom = kTick + line + kPad + (content.legend.empty() ? 0 : line + kPad);
    return m;
}

PlotFrameContent frameBase(const PageRecording& page, const ColorTable& colors,
                           const std::string& fileName, const std::string& monitor,
                           const std::string& cycle, double span) {
    PlotFrameContent content;
    content.title = fileName + "    " + monitor + " monitor    start " + page.startDate +
                    "    cycle " + cycle + " ms";
    for (int i = 0; i < 5; ++i)
        content.timeLabels[std::size_t(i)] = labelText(span * i / 4.0);
    content.timeLabels[4] += " s";
    content.background = colors.backgroundColor;
    content.grid = colors.gridColor;
    return content;
}

void addValueAxes(std::vector<FrameMark>& marks, const PlotFrameContent& content, Rect area,
                  const FrameFont& font) {
    const int line = font.lineHeight();
    int right = area.x() - kPad;
    for (const auto& axis : content.valueAxes) {
        const int width = axisWidth(font, axis);
        marks.push_back(text(Rect(right - width, area.y() - line - 2, width, line), axis.color,
                             axis.unit, Align::Right, true));
        for (int j = 0; j < 5; ++j) {
            // The grid's major lines; the end labels stay inside the graph's height.
            const int y = area.y() + (area.height() - 1) * j / 4;
            const int top = std::clamp(y - line / 2, area.y(), area.bottom() + 1 - line);
            marks.push_back(text(Rect(right - width, top, width, line), axis.color,
                                 axis.labels[std::size_t(j)], Align::Right));
        }
        right -= width + kPad;
    }
}

void addLanes(std::vector<FrameMark>& marks, const PlotFrameContent& content, Rect area,
              const FrameFont& font) {
    const int line = font.lineHeight();
    for (const auto& lane : content.lanes) {
        const int y = area.y() + int(lane.middle * area.height());
        marks.push_back(text(Rect(0, y - line / 2, area.x() - kPad, line), lane.color, lane.name,
                             Align::Right));
    }
}

void addTimeAxis(std::vector<FrameMark>& marks, const PlotFrameContent& content, Rect area,
                 const FrameFont& font, Color color) {
    const int below = area.bottom() + 1;
    for (int i = 0; i < 5; ++i) {
        // At the grid's major lines (a quarter of the width each) and the right edge.
        const int x = i < 4 ? area.x() + area.width() * i / 4 : area.right();
        marks.push_back(fill(Rect(x, below, 1, kTick), color));
        const std::string& label = content.timeLabels[std::size_t(i)];
        const int width = font.textWidth(label);
        marks.push_back(text(Rect(x - width / 2, below + kTick, width + 1, font.lineHeight()),
                             color, label, Align::Center));
    }
}

void addLegend(std::vector<FrameMark>& marks, const PlotFrameContent& content, Rect area,
               const FrameFont& font) {
    const int line = font.lineHeight();
    const int top = area.bottom() + 1 + kTick + line + kPad;
    int x = area.x();
    for (const auto& entry : content.legend) {
        const int swatch = line - 4;
        marks.push_back(fill(Rect(x, top + 2, swatch, swatch), entry.color));
        x += swatch + kPad / 2;
        const int width = font.textWidth(entry.name);
        marks.push_back(text(Rect(x, top, width + 1, line), entry.color, entry.name, Align::Left));
        x += width + 3 * kPad;
    }
}

}  // namespace

PlotFrameContent dataPlotFrame(const PageRecording& page, const DataPageFigures& figures,
                               const ColorTable& colors, const std::string& fileName) {
    PlotFrameContent content =
        frameBase(page, colors, fileName, "data", figures.cycleText, figures.span);
    for (int k = 0; k < kDataItemCount; ++k) {
        const ItemFigures& f = figures.items[std::size_t(k)];
        if (!f.enabled)
            continue;
        const Color color = colors.traceColors[std::size_t(k)];
        const ValueRange b = f.bounds;
        content.valueAxes.push_back({f.unit,
                                     color,
                                     {labelText(b.upper), f.valueLabels[0], f.valueLabels[1],
                                      f.valueLabels[2], labelText(b.lower)}});
        content.legend.push_back({f.unit.empty() ? f.name : f.name + " [" + f.unit + "]", color});
    }
    return content;
}

PlotFrameContent ioPlotFrame(const PageRecording& page, const IoPageFigures& figures,
                             const ColorTable& colors, const std::string& fileName) {
    PlotFrameContent content =
        frameBase(page, colors, fileName, "I/O", figures.cycleText, figures.span);
    for (int s = 0; s < kIoSignalCount; ++s) {
        const SignalFigures& f = figures.ioSignals[std::size_t(s)];
        if (!f.enabled)
            continue;
        // A lane spans its low and high levels; its middle is between them.
        const double middle = (double(ioLevel(s, 0)) + double(ioLevel(s, 1))) / 2.0;
        content.lanes.push_back({f.name, colors.traceColors[std::size_t(s)],
                                 1.0 - (middle - kIoLowerBound) / (kIoUpperBound - kIoLowerBound)});
    }
    return content;
}

Rect plotGraphArea(const PlotFrameContent& content, Size picture, const FrameFont& font) {
    const Margins m = frameMargins(content, font);
    const Rect area(m.left, m.top, picture.width() - m.left - m.right,
                    picture.height() - m.top - m.bottom);
    return area.isEmpty() ? Rect() : area;
}

std::vector<FrameMark> plotFrameMarks(const PlotFrameContent& content, Rect area, Size picture,
                                      const FrameFont& font) {
    std::vector<FrameMark> marks;
    const Color color = frameTextColor(content.background);
    marks.push_back(text(Rect(kPad, kPad, picture.width() - 2 * kPad, font.lineHeight()), color,
                         content.title, Align::Left));
    addValueAxes(marks, content, area, font);
    addLanes(marks, content, area, font);
    addTimeAxis(marks, content, area, font, color);
    addLegend(marks, content, area, font);
    return marks;
}

PixelBuffer plotCanvas(const PixelBuffer& graph, const PlotFrameContent& content, Rect area,
                       Size picture) {
    PixelBuffer canvas;
    canvas.resize(picture.width(), picture.height());
    const PixelView view = canvas.view();
    std::fill_n(view.pixels, std::size_t(view.width) * std::size_t(view.height),
                pixelOf(content.background));
    // Cut to the picture, so that a graph larger than its place never writes outside it.
    const int rows = std::min(graph.height(), picture.height() - area.y());
    const int columns = std::min(graph.width(), picture.width() - area.x());
    for (int y = 0; y < rows && area.x() >= 0 && area.y() >= 0; ++y)
        std::copy_n(graph.data() + std::size_t(y) * std::size_t(graph.width()),
                    std::max(columns, 0), view.row(area.y() + y) + area.x());
    return canvas;
}

Color frameTextColor(Color background) {
    const int red = int(background & 0xFF), green = int((background >> 8) & 0xFF),
              blue = int((background >> 16) & 0xFF);
    const int luminance = (299 * red + 587 * green + 114 * blue) / 1000;
    return luminance < 128 ? Color(0xE0E0E0) : Color(0);
}

}  // namespace kestiva::cli
