#include "views/GraphPainting.h"

#include "views/QtWindow.h"
#include "window/GraphGeometry.h"

#include <QtMath>

namespace kestiva {

QPen graphPen(Color color, Qt::PenStyle style) {
    QPen pen(toQColor(color), 1, style);
    pen.setCosmetic(true);
    // A flat cap leaves a segment's end point to the next segment, as line drawing always did
    // here; a square cap would add a pixel at the end of every line.
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void paintVerticalLines(QPainter& painter, const std::vector<int>& xs, int height,
                        const QPen& pen) {
    painter.setPen(pen);
    for (int x : xs) {
        painter.drawLine(x, 0, x, height);
    }
}

void paintHorizontalLines(QPainter& painter, const std::vector<int>& ys, int width,
                          const QPen& pen) {
    painter.setPen(pen);
    for (int y : ys) {
        painter.drawLine(0, y, width, y);
    }
}

namespace {

void drawPolyline(QPainter& painter, const std::vector<Point>& points) {
    std::vector<QPoint> qt;
    qt.reserve(points.size());
    for (const Point& p : points)
        qt.push_back(toQt(p));
    painter.drawPolyline(qt.data(), int(qt.size()));
}

}  // namespace

void paintTrace(QPainter& painter, const std::vector<Point>& points, Color color,
                PolylineMode mode, QSize plot) {
    if (points.size() < 2) {
        return;
    }
    painter.setPen(graphPen(color, Qt::SolidLine));
    if (mode == PolylineMode::EveryVertex) {
        drawPolyline(painter, points);
        return;
    }
    const CollapsedTrace collapsed = collapseColumns(points, fromQt(plot));
    drawPolyline(painter, collapsed.polyline);
    if (collapsed.spans.empty()) {
        return;
    }
    // A span is one pixel wide, so a painter fills it a scanline at a time, which costs more
    // than its pixels; into the plain image the graphs paint, the pixels are written directly.
    auto* image = dynamic_cast<QImage*>(painter.device());
    if (image && image->format() == QImage::Format_RGB32 && painter.transform().isIdentity() &&
        !painter.hasClipping() &&
        painter.compositionMode() == QPainter::CompositionMode_SourceOver) {
        const QRgb rgb = toQColor(color).rgb();
        const qsizetype stride = image->bytesPerLine() / qsizetype(sizeof(QRgb));
        QRgb* bits = reinterpret_cast<QRgb*>(image->bits());
        for (const Line& span : collapsed.spans) {
            QRgb* pixel = bits + span.y1() * stride + span.x1();
            for (int y = span.y1(); y <= span.y2(); ++y, pixel += stride) {
                *pixel = rgb;
            }
        }
        return;
    }
    // Elsewhere one call for all spans: a thousand separate fills cost more than their pixels.
    std::vector<QRect> rects;
    rects.reserve(collapsed.spans.size());
    for (const Line& span : collapsed.spans) {
        rects.emplace_back(toQt(span.p1()), toQt(span.p2()));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(color));
    painter.drawRects(rects.data(), int(rects.size()));
    painter.setBrush(Qt::NoBrush);
}

QSize devicePixels(QSize logical, qreal ratio) {
    if (!(ratio > 0.0))
        ratio = 1.0;
    // Less than a pixel's rounding noise is no reason for another column (100 x 1.1 is not 111).
    const auto scaled = [ratio](int length) { return qCeil(length * ratio - 1e-6); };
    return QSize(scaled(logical.width()), scaled(logical.height()));
}

}  // namespace kestiva
