#include "window/GraphRaster.h"

#include "window/GraphGeometry.h"
#include "window/LineRaster.h"
#include "window/TraceColumns.h"

#include <cstring>
#include <vector>

namespace kestiva {

namespace {

// The background with the grid, a row at a time: the axis-parallel grid lines of one colour make
// only a few kinds of row, each built once and copied, which costs no more than the fill
// alone. A pixel is the grid's where a solid line crosses it or a dotted one has a dot there;
// dotted lines start with a dot at their first pixel (row or column 0) and have one in three
// (see LineRaster), so a dotted vertical line has its dots on the rows y % 3 == 0 and a dotted
// horizontal one on the columns x % 3 == 0.
struct GridLines {
    std::vector<int> solidXs, dottedXs, solidYs, dottedYs;
};

void gridBackground(PixelView buffer, uint32_t background, uint32_t grid, const GridLines& g) {
    const int w = buffer.width;
    const int h = buffer.height;
    const auto mark = [](std::vector<uint32_t>& row, const std::vector<int>& xs, uint32_t pixel) {
        for (int x : xs)
            if (x >= 0 && x < int(row.size()))
                row[std::size_t(x)] = pixel;
    };
    // Rows without a horizontal line: with and without the vertical lines' dots.
    std::vector<uint32_t> plain(std::size_t(w), background);
    mark(plain, g.solidXs, grid);
    std::vector<uint32_t> dots = plain;
    mark(dots, g.dottedXs, grid);
    // Rows of a dotted horizontal line: the same, with its dots added.
    std::vector<uint32_t> plainDotted = plain, dotsDotted = dots;
    for (int x = 0; x < w; x += 3)
        plainDotted[std::size_t(x)] = dotsDotted[std::size_t(x)] = grid;
    const std::vector<uint32_t> solid(std::size_t(w), grid);

    enum : uint8_t { kNone, kDotted, kSolid };
    std::vector<uint8_t> kind(std::size_t(h), kNone);
    for (int y : g.dottedYs)
        if (y >= 0 && y < h)
            kind[std::size_t(y)] = kDotted;
    for (int y : g.solidYs)
        if (y >= 0 && y < h)
            kind[std::size_t(y)] = kSolid;
    for (int y = 0; y < h; ++y) {
        const bool dotRow = y % 3 == 0;
        const uint8_t k = kind[std::size_t(y)];
        const std::vector<uint32_t>& source = k == kSolid    ? solid
                                              : k == kDotted ? (dotRow ? dotsDotted : plainDotted)
                                                             : (dotRow ? dots : plain);
        std::memcpy(buffer.row(y), source.data(), std::size_t(w) * sizeof(uint32_t));
    }
}

// One polyline of a trace: its columns of many vertices become filled runs, the rest is
// stepped as lines (collapseColumns keeps the pixels the same).
void tracePiece(PixelView buffer, const std::vector<Point>& points, uint32_t pixel, Size plot) {
    if (points.size() < 2)
        return;
    const CollapsedTrace collapsed = collapseColumns(points, plot);
    LineRaster(buffer, pixel).polyline(collapsed.polyline);
    for (const Line& span : collapsed.spans)
        fillColumn(buffer, span.x1(), span.y1(), span.y2(), pixel);
}

template <typename Graph>
void visibleTraces(const Graph& graph, PixelView buffer, TraceShape shape) {
    if (!graph.hasSamples || !graph.drawEnabled)
        return;
    const Size plot(buffer.width, buffer.height);
    const uint32_t traces = graph.usableTraceCount();
    TraceColumnCache columns;
    for (uint32_t i = 0; i < traces; ++i) {
        if (!graph.traceVisible[i])
            continue;
        const auto pieces = envelopePolylines(
            graph.heldSamples(i), graph.envelopes[i], shape, graph.firstIndex, graph.lastIndex,
            graph.lowerBound[i], graph.upperBound[i], plot, &columns);
        const uint32_t pixel = pixelOf(graph.traceColor[i]);
        for (const auto& piece : pieces)
            tracePiece(buffer, piece, pixel, plot);
    }
}

}  // namespace

void rasterMultiGraph(const MultiGraphData& graph, PixelView buffer) {
    if (buffer.empty())
        return;
    // A major grid of solid lines and a minor one of dotted lines, both ways.
    gridBackground(buffer, pixelOf(graph.backgroundColor), pixelOf(graph.gridColor),
                   {verticalGridLines(buffer.width, GridPass::Major),
                    verticalGridLines(buffer.width, GridPass::Minor),
                    horizontalGridLines(buffer.height, GridPass::Major),
                    horizontalGridLines(buffer.height, GridPass::Minor)});
    visibleTraces(graph, buffer, TraceShape::Line);
}

void rasterIoGraph(const IoGraphData& graph, PixelView buffer) {
    if (buffer.empty())
        return;
    // The bands replace the horizontal grid: solid and dotted vertical lines, and a dotted
    // baseline per band.
    gridBackground(buffer, pixelOf(graph.backgroundColor), pixelOf(graph.gridColor),
                   {verticalGridLines(buffer.width, GridPass::Major),
                    verticalGridLines(buffer.width, GridPass::Minor),
                    {},
                    ioBaselines(buffer.height)});
    visibleTraces(graph, buffer, TraceShape::Steps);
}

// Lines over the graph end square, half a pixel past each end, as the shells' pens do.
void rasterCursorLine(PixelView buffer, int x, Color color) {
    LineRaster(buffer, pixelOf(color), LineStyle::Solid, true).line({x, 0}, {x, buffer.height});
}

void rasterMarkerLine(PixelView buffer, int x, Color color, bool active) {
    LineRaster(buffer, pixelOf(color), active ? LineStyle::Solid : LineStyle::Dashed, true)
        .line({x, 0}, {x, buffer.height});
}

}  // namespace kestiva
