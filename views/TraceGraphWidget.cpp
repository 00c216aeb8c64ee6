#include "views/TraceGraphWidget.h"

#include "window/GraphGeometry.h"

#include <QPainter>
#include <QPaintEvent>
#include <QRegion>
#include <QtMath>

#include <algorithm>
#include <cstring>

namespace kestiva {

CTraceGraphWidget::CTraceGraphWidget(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted from the off-screen image, so Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTraceGraphWidget::setOverlayLines(std::vector<OverlayLine> lines) {
    if (lines == lines_)
        return;
    // Only the columns of the lines that go and come are painted again.
    QRegion dirty;
    for (const std::vector<OverlayLine>* set : {&lines_, &lines})
        for (const OverlayLine& line : *set)
            dirty += QRect(line.x - 1, 0, 3, height());
    lines_ = std::move(lines);
    update(dirty);
}

void CTraceGraphWidget::paintEvent(QPaintEvent*) {
    const QImage& traces = picture_.picture(size(), devicePixelRatioF(),
                                            [this](PixelView pixels) { renderGraph(pixels); });
    QPainter painter(this);
    if (lines_.empty()) {
        // Nothing over the picture: it is shown as it is, and the copy is made again when a
        // line comes.
        tracesChanged_ = true;
        painter.drawImage(0, 0, traces);
        return;
    }
    painter.drawImage(0, 0, composed(traces));
}

std::pair<int, int> CTraceGraphWidget::deviceColumns(int x, qreal ratio, int width) {
    // At least one column, and none for a line beside the graph.
    const int first = qFloor(x * ratio + 1e-6);
    const int last = std::max(qFloor((x + 1) * ratio + 1e-6), first + 1);
    return {std::clamp(first, 0, width), std::clamp(last, 0, width)};
}

const QImage& CTraceGraphWidget::composed(const QImage& traces) {
    const qreal ratio = traces.devicePixelRatio();
    const int w = traces.width();
    const int h = traces.height();
    const auto* source = reinterpret_cast<const uint32_t*>(traces.constBits());
    const auto sourceStride = std::size_t(traces.bytesPerLine() / 4);
    if (tracesChanged_ || shown_.width() != w || shown_.height() != h ||
        shownImage_.devicePixelRatio() != ratio) {
        if (shown_.width() != w || shown_.height() != h) {
            shown_.resize(w, h);
            shownImage_ = imageOver(shown_);
        }
        const PixelView to = shown_.view();
        for (int y = 0; y < h; ++y)
            std::memcpy(to.row(y), source + std::size_t(y) * sourceStride,
                        std::size_t(w) * sizeof(uint32_t));
        shownImage_.setDevicePixelRatio(ratio);
        tracesChanged_ = false;
    } else if (drawnLines_ != lines_) {
        // Back to the kept picture where the lines were.
        const PixelView to = shown_.view();
        for (const OverlayLine& line : drawnLines_) {
            const auto [first, last] = deviceColumns(line.x, ratio, w);
            if (first >= last)
                continue;
            for (int y = 0; y < h; ++y)
                std::memcpy(to.row(y) + first, source + std::size_t(y) * sourceStride + first,
                            std::size_t(last - first) * sizeof(uint32_t));
        }
    } else {
        return shownImage_;
    }
    drawLines(shown_.view(), ratio);
    drawnLines_ = lines_;
    return shownImage_;
}

void CTraceGraphWidget::drawLines(PixelView pixels, qreal ratio) const {
    for (const OverlayLine& line : lines_) {
        const auto [first, last] = deviceColumns(line.x, ratio, pixels.width);
        for (int x = first; x < last; ++x) {
            if (line.kind == OverlayLine::Kind::Cursor)
                rasterCursorLine(pixels, x, line.color);
            else
                rasterMarkerLine(pixels, x, line.color, line.kind == OverlayLine::Kind::ActiveMarker);
        }
    }
}

namespace {

// Background, then the grid lines, painted as the rasteriser's reference.
void paintGrid(QPainter& painter, QSize plot, Color background, Color grid, bool bands) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), plot), toQColor(background));
    const QPen major = graphPen(grid, Qt::SolidLine);
    const QPen minor = graphPen(grid, Qt::DotLine);
    for (const GridPass pass : {GridPass::Major, GridPass::Minor}) {
        const QPen& pen = pass == GridPass::Major ? major : minor;
        paintVerticalLines(painter, verticalGridLines(plot.width(), pass), plot.height(), pen);
        // The I/O graph's bands replace the horizontal grid: the minor pass adds their
        // baselines.
        if (!bands)
            paintHorizontalLines(painter, horizontalGridLines(plot.height(), pass), plot.width(),
                                 pen);
        else if (pass == GridPass::Minor)
            paintHorizontalLines(painter, ioBaselines(plot.height()), plot.width(), minor);
    }
}

template <typename Data>
void paintGraph(const Data& graph, QImage& image, PolylineMode mode, bool bands,
                TraceShape shape) {
    if (image.isNull())
        return;
    QPainter painter(&image);
    paintGrid(painter, image.size(), graph.backgroundColor, graph.gridColor, bands);
    paintVisibleTraces(painter, graph, mode, image.size(), shape);
}

}  // namespace

void paintMultiGraph(const MultiGraphData& graph, QImage& image, PolylineMode mode) {
    paintGraph(graph, image, mode, false, TraceShape::Line);
}

void paintIoGraph(const IoGraphData& graph, QImage& image, PolylineMode mode) {
    paintGraph(graph, image, mode, true, TraceShape::Steps);
}

}  // namespace kestiva
