#include "window/GraphRaster.h"

#include "window/GraphGeometry.h"
#include "window/LineRaster.h"
#include "window/TraceColumns.h"

#include <vector>

namespace kestiva {

namespace {

void verticalLines(PixelView buffer, const std::vector<int>& xs, uint32_t pixel,
                   LineStyle style) {
    LineRaster lines(buffer, pixel, style);
    for (int x : xs)
        lines.line({x, 0}, {x, buffer.height});
}

void horizontalLines(PixelView buffer, const std::vector<int>& ys, uint32_t pixel,
                     LineStyle style) {
    LineRaster lines(buffer, pixel, style);
    for (int y : ys)
        lines.line({0, y}, {buffer.width, y});
}

// One polyline of a trace: its columns of many vertices become filled runs, the rest is
// stepped as lines (collapseColumns keeps the pixels the same).
void tracePiece(PixelView buffer, const std::vector<Point>& points, uint32_t pixel,
                Size plot) {
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
    for (uint32_t i = 0; i < traces; ++i) {
        if (!graph.traceVisible[i])
            continue;
        const auto pieces = envelopePolylines(graph.heldSamples(i), graph.envelopes[i], shape,
                                              graph.firstIndex, graph.lastIndex,
                                              graph.lowerBound[i], graph.upperBound[i], plot);
        const uint32_t pixel = pixelOf(graph.traceColor[i]);
        for (const auto& piece : pieces)
            tracePiece(buffer, piece, pixel, plot);
    }
}

}  // namespace

void rasterMultiGraph(const MultiGraphData& graph, PixelView buffer) {
    if (buffer.empty())
        return;
    fillAll(buffer, pixelOf(graph.backgroundColor));
    const uint32_t grid = pixelOf(graph.gridColor);
    for (const GridPass pass : {GridPass::Major, GridPass::Minor}) {
        const LineStyle style = pass == GridPass::Major ? LineStyle::Solid : LineStyle::Dotted;
        verticalLines(buffer, verticalGridLines(buffer.width, pass), grid, style);
        horizontalLines(buffer, horizontalGridLines(buffer.height, pass), grid, style);
    }
    visibleTraces(graph, buffer, TraceShape::Line);
}

void rasterIoGraph(const IoGraphData& graph, PixelView buffer) {
    if (buffer.empty())
        return;
    fillAll(buffer, pixelOf(graph.backgroundColor));
    const uint32_t grid = pixelOf(graph.gridColor);
    // The bands replace the horizontal grid: the major pass has only vertical lines, the
    // minor pass adds the baselines.
    verticalLines(buffer, verticalGridLines(buffer.width, GridPass::Major), grid,
                  LineStyle::Solid);
    verticalLines(buffer, verticalGridLines(buffer.width, GridPass::Minor), grid,
                  LineStyle::Dotted);
    horizontalLines(buffer, ioBaselines(buffer.height), grid, LineStyle::Dotted);
    visibleTraces(graph, buffer, TraceShape::Steps);
}

void rasterCursorLine(PixelView buffer, int x, Color color) {
    LineRaster(buffer, pixelOf(color), LineStyle::Solid, true).line({x, 0}, {x, buffer.height});
}

}  // namespace kestiva
