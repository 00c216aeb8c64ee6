#include "views/GraphMarkers.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace kestiva {

namespace {

constexpr int kPadding = 2;  // inside a name box

}  // namespace

GraphMarkers::GraphMarkers(QWidget* graph) : QWidget(graph) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(graph->rect());
    graph->installEventFilter(this);
    show();
}

void GraphMarkers::showMarks(const std::array<Mark, 2>& marks, int active, QColor color,
                             QColor nameColor) {
    const auto same = [](const Mark& a, const Mark& b) { return a.x == b.x && a.name == b.name; };
    // The page tells of every change over the graph; most leave the markers as they were.
    if (same(marks[0], marks_[0]) && same(marks[1], marks_[1]) && active == active_ &&
        color == color_ && nameColor == nameColor_)
        return;
    const QRegion before = covered();
    marks_ = marks;
    active_ = active;
    color_ = color;
    nameColor_ = nameColor;
    update(before + covered());
}

QRect GraphMarkers::nameRect(int marker) const {
    const Mark& mark = marks_[std::size_t(marker)];
    if (!mark.x)
        return {};
    const QFontMetrics metrics(font());
    const QSize box(metrics.horizontalAdvance(mark.name) + 2 * kPadding,
                    metrics.height() + 2 * kPadding);
    // Centred on the line at the graph's foot, clear of the readout box at the top.
    const int left = std::clamp(*mark.x - box.width() / 2, 0, std::max(width() - box.width(), 0));
    return QRect(QPoint(left, height() - box.height()), box);
}

QRegion GraphMarkers::covered() const {
    QRegion region;
    for (int m = 0; m < 2; ++m)
        if (marks_[std::size_t(m)].x)
            region += QRegion(nameRect(m));
    return region;
}

bool GraphMarkers::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return false;
}

void GraphMarkers::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int m = 0; m < 2; ++m) {
        const Mark& mark = marks_[std::size_t(m)];
        if (!mark.x)
            continue;
        const QRect box = nameRect(m);
        painter.fillRect(box, color_);
        painter.setPen(nameColor_);
        painter.drawText(box, Qt::AlignCenter, mark.name);
    }
}

}  // namespace kestiva
