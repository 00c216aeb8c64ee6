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

std::size_t CTraceGraphWidget::pictureBytes() const {
    std::size_t bytes = picture_.bytes();
    for (const Covered& c : covered_)
        bytes += c.pixels.capacity() * sizeof(uint32_t);
    return bytes;
}

void CTraceGraphWidget::paintEvent(QPaintEvent*) {
    bool rendered = false;
    const QImage& picture =
        picture_.picture(size(), devicePixelRatioF(), [this, &rendered](PixelView pixels) {
            renderGraph(pixels);
            rendered = true;
        });
    if (rendered) {
        // A new picture has no lines in it yet.
        drawnLines_.clear();
        covered_.clear();
    }
    if (drawnLines_ != lines_)
        moveLines(picture_.pixels(), picture.devicePixelRatio());
    QPainter(this).drawImage(0, 0, picture);
}

std::pair<int, int> CTraceGraphWidget::deviceColumns(int x, double ratio, int width) {
    // At least one column, and none for a line beside the graph.
    const int first = qFloor(x * ratio + 1e-6);
    const int last = std::max(qFloor((x + 1) * ratio + 1e-6), first + 1);
    return {std::clamp(first, 0, width), std::clamp(last, 0, width)};
}

void CTraceGraphWidget::moveLines(PixelView pixels, double ratio) {
    // Last drawn first back, so that where lines crossed the picture comes back as it was.
    for (auto c = covered_.rbegin(); c != covered_.rend(); ++c) {
        const std::size_t width = std::size_t(c->last - c->first);
        for (int y = 0; y < pixels.height; ++y)
            std::memcpy(pixels.row(y) + c->first, c->pixels.data() + std::size_t(y) * width,
                        width * sizeof(uint32_t));
    }
    covered_.clear();
    for (const OverlayLine& line : lines_) {
        const auto [first, last] = deviceColumns(line.x, ratio, pixels.width);
        if (first >= last)
            continue;
        Covered c{first, last, {}};
        const std::size_t width = std::size_t(last - first);
        c.pixels.resize(width * std::size_t(pixels.height));
        for (int y = 0; y < pixels.height; ++y)
            std::memcpy(c.pixels.data() + std::size_t(y) * width, pixels.row(y) + first,
                        width * sizeof(uint32_t));
        covered_.push_back(std::move(c));
        for (int x = first; x < last; ++x) {
            if (line.kind == OverlayLine::Kind::Cursor)
                rasterCursorLine(pixels, x, line.color);
            else
                rasterMarkerLine(pixels, x, line.color,
                                 line.kind == OverlayLine::Kind::ActiveMarker);
        }
    }
    drawnLines_ = lines_;
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
