#pragma once
// The few drawing steps the two graphs share. Everything is drawn aliased with 1-pixel pens,
// so a picture is the same on every screen and can be checked pixel by pixel.

#include "settings/SamplingConfig.h"

#include <QPainter>
#include <QPoint>
#include <QSize>

#include <vector>

namespace kestiva {

// How a trace's polyline reaches the painter. Both paint the same pixels; the collapsed form
// is what the graphs use, the other is kept to prove that and to measure the difference.
enum class PolylineMode { CollapsedColumns, EveryVertex };

QPen graphPen(Color color, Qt::PenStyle style);

// Vertical lines from (x, 0) to (x, height) and horizontal ones from (0, y) to (width, y).
void paintVerticalLines(QPainter& painter, const std::vector<int>& xs, int height,
                        const QPen& pen);
void paintHorizontalLines(QPainter& painter, const std::vector<int>& ys, int width,
                          const QPen& pen);

// One trace as one polyline (with the spans of its collapsed columns); nothing for fewer than
// two vertices.
void paintTrace(QPainter& painter, const std::vector<QPoint>& points, Color color,
                PolylineMode mode, QSize plot);

// Every visible trace of a graph that has samples and may draw, each through the graph's own
// point rule: tracePoints(samples, first, last, lower, upper, plot).
template <typename Graph, typename TracePoints>
void paintVisibleTraces(QPainter& painter, const Graph& graph, PolylineMode mode, QSize plot,
                        TracePoints tracePoints) {
    if (!graph.hasSamples || !graph.drawEnabled) return;
    const uint32_t traces = graph.usableTraceCount();
    for (uint32_t i = 0; i < traces; ++i) {
        if (!graph.traceVisible[i]) continue;
        paintTrace(painter,
                   tracePoints(graph.heldSamples(i), graph.firstIndex, graph.lastIndex,
                               graph.lowerBound[i], graph.upperBound[i], plot),
                   graph.traceColor[i], mode, plot);
    }
}

}  // namespace kestiva
