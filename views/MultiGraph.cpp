#include "views/MultiGraph.h"

#include "views/QtWindow.h"
#include "window/GraphGeometry.h"

#include <QPainter>

namespace kestiva {

void renderMultiGraph(const MultiGraphData& graph, QImage& image) {
    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    rasterMultiGraph(graph, pixelsOf(image));
}

void paintMultiGraph(const MultiGraphData& graph, QImage& image, PolylineMode mode) {
    if (image.isNull()) {
        return;
    }
    const QSize plot = image.size();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(image.rect(), toQColor(graph.backgroundColor));

    const QPen major = graphPen(graph.gridColor, Qt::SolidLine);
    const QPen minor = graphPen(graph.gridColor, Qt::DotLine);
    for (const GridPass pass : {GridPass::Major, GridPass::Minor}) {
        const QPen& pen = pass == GridPass::Major ? major : minor;
        paintVerticalLines(painter, verticalGridLines(plot.width(), pass), plot.height(), pen);
        paintHorizontalLines(painter, horizontalGridLines(plot.height(), pass), plot.width(),
                             pen);
    }

    paintVisibleTraces(painter, graph, mode, plot, TraceShape::Line);
}

}  // namespace kestiva
