#include "app/ProgramIcon.h"

#include <QPainter>
#include <QPolygonF>

namespace kestiva {

QPixmap programPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    // A screen with a grid line and a recorded trace across it.
    painter.setPen(QPen(QColor(0x1d, 0x3a, 0x5f), 2));
    painter.setBrush(QColor(0x12, 0x22, 0x36));
    painter.drawRoundedRect(QRectF(3, 7, 58, 50), 7, 7);
    painter.setPen(QPen(QColor(0x3c, 0x5a, 0x7c), 1, Qt::DotLine));
    painter.drawLine(QPointF(9, 32), QPointF(55, 32));

    const QPolygonF trace(
        {{9, 42}, {17, 42}, {22, 20}, {29, 20}, {34, 46}, {41, 46}, {46, 26}, {55, 26}});
    painter.setPen(QPen(QColor(0x4c, 0xe0, 0x8c), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(trace);
    return pixmap;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addPixmap(programPixmap(size));
    return icon;
}

}  // namespace kestiva
