#include "views/IoGraph.h"

#include "views/QtWindow.h"
#include "window/GraphGeometry.h"

#include <QPainter>

namespace kestiva {

void renderIoGraph(const IoGraphData& graph, QImage& image) {
    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    rasterIoGraph(graph, pixelsOf(image));
}

void paintIoGraph(const IoGraphData& graph, QImage& image, PolylineMode mode) {
    if (image.isNull()) {
        return;
    }
    const QSize plot = image.size();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(image.rect(), toQColor(graph.backgroundColor));

    // The bands replace the horizontal grid: the major pass has only vertical lines, the
    // minor pass adds the baselines.
    paintVerticalLines(painter, verticalGridLines(plot.width(), GridPass::Major), plot.height(),
                       graphPen(graph.gridColor, Qt::SolidLine));
    const QPen minor = graphPen(graph.gridColor, Qt::DotLine);
    paintVerticalLines(painter, verticalGridLines(plot.width(), GridPass::Minor), plot.height(),
                       minor);
    paintHorizontalLines(painter, ioBaselines(plot.height()), plot.width(), minor);

    paintVisibleTraces(painter, graph, mode, plot, TraceShape::Steps);
}

}  // namespace kestiva
