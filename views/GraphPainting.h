#pragma once
// The graphs drawn with Qt's painter, aliased with 1-pixel pens: the reference the window's
// rasteriser (window/GraphRaster.h) is held to pixel for pixel, and what it is measured
// against. And the picture a graph widget keeps between paints.

#include "settings/SamplingConfig.h"
#include "window/PixelBuffer.h"
#include "window/TraceColumns.h"

#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QSize>

#include <cstddef>
#include <vector>

namespace kestiva {

// How a trace's polyline reaches the painter. All three paint the same pixels. The graphs
// paint from the envelope, a few vertices per pixel column found without visiting every
// sample; the others build a vertex per sample, then either collapse each column's vertices or
// draw them all. They are kept to prove the sameness and to measure the difference.
enum class PolylineMode { Envelope, CollapsedColumns, EveryVertex };

QPen graphPen(Color color, Qt::PenStyle style);

// Vertical lines from (x, 0) to (x, height) and horizontal ones from (0, y) to (width, y).
void paintVerticalLines(QPainter& painter, const std::vector<int>& xs, int height,
                        const QPen& pen);
void paintHorizontalLines(QPainter& painter, const std::vector<int>& ys, int width,
                          const QPen& pen);

// One polyline (with the spans of its collapsed columns unless every vertex is drawn); nothing
// for fewer than two vertices.
void paintTrace(QPainter& painter, const std::vector<Point>& points, Color color,
                PolylineMode mode, QSize plot);

// Every visible trace of a graph that has samples and may draw, each in the graph's shape and
// broken at its gaps.
template <typename Graph>
void paintVisibleTraces(QPainter& painter, const Graph& graph, PolylineMode mode, QSize plot,
                        TraceShape shape) {
    if (!graph.hasSamples || !graph.drawEnabled) return;
    const uint32_t traces = graph.usableTraceCount();
    for (uint32_t i = 0; i < traces; ++i) {
        if (!graph.traceVisible[i]) continue;
        const auto pieces =
            mode == PolylineMode::Envelope
                ? envelopePolylines(graph.heldSamples(i), graph.envelopes[i], shape,
                                    graph.firstIndex, graph.lastIndex, graph.lowerBound[i],
                                    graph.upperBound[i], Size(plot.width(), plot.height()))
                : everyVertexPolylines(graph.heldSamples(i), shape, graph.firstIndex,
                                       graph.lastIndex, graph.lowerBound[i],
                                       graph.upperBound[i], Size(plot.width(), plot.height()));
        for (const auto& piece : pieces) {
            paintTrace(painter, piece, graph.traceColor[i], mode, plot);
        }
    }
}

// Device pixels of a plot `logical` pixels large on a screen of the given pixel ratio.
QSize devicePixels(QSize logical, qreal ratio);

// The picture a graph widget shows, kept between paints: it is drawn again only after
// invalidate() or when the widget's size or pixel ratio changed, so that a cursor moving over
// the graph costs a copy and not a paint of 150,001 samples.
//
// The picture has the screen's own pixels: on a screen whose pixel ratio is above 1 the graph
// is painted at the device size (lines one device pixel thin) and drawn back at its logical
// size, so that the grid and the traces keep their logical geometry.
class GraphPicture {
public:
    void invalidate() { stale_ = true; }

    // render(pixels) draws the graph into pixels whose size is the plot's. The image shows the
    // buffer's pixels without copying them.
    template <typename Render>
    const QImage& picture(QSize logical, qreal ratio, Render render) {
        const QSize device = devicePixels(logical, ratio);
        if (stale_ || image_.size() != device || image_.devicePixelRatio() != ratio) {
            if (QSize(buffer_.width(), buffer_.height()) != device) {
                buffer_.resize(device.width(), device.height());
                image_ = QImage(reinterpret_cast<const uchar*>(buffer_.data()), device.width(),
                                device.height(), qsizetype(device.width()) * 4,
                                QImage::Format_RGB32);
            }
            render(buffer_.view());
            // Drawn 1:1 in device pixels; the ratio tells drawImage the logical size.
            image_.setDevicePixelRatio(ratio);
            stale_ = false;
        }
        return image_;
    }

    std::size_t bytes() const { return buffer_.bytes(); }
    // The picture's pixels, for lines laid over it between paints.
    PixelView pixels() { return buffer_.view(); }

private:
    PixelBuffer buffer_;
    QImage image_;
    bool stale_ = true;
};

}  // namespace kestiva
