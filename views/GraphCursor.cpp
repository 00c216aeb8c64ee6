#include "views/GraphCursor.h"

#include "views/QtWindow.h"
#include "window/MonitorLayout.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace kestiva {

namespace {

constexpr int kPadding = 4;    // inside the box

}  // namespace

GraphCursor::GraphCursor(QWidget* graph) : QWidget(graph) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(graph->rect());
    graph->installEventFilter(this);
    hide();
}

void GraphCursor::showAt(int x, std::vector<Line> lines, QColor background, QColor frame) {
    const QRegion before = isVisible() ? covered() : QRegion();
    lineX_ = x;
    lines_ = std::move(lines);
    background_ = background;
    frame_ = frame;
    if (!isVisible()) {
        show();
        return;
    }
    update(before + covered());
}

void GraphCursor::hideReadout() {
    hide();
    lines_.clear();
}

QRect GraphCursor::boxRect() const {
    const QFontMetrics metrics(font());
    int width = 0;
    for (const Line& line : lines_)
        width = std::max(width, metrics.horizontalAdvance(line.text));
    const QSize box(width + 2 * kPadding,
                    metrics.lineSpacing() * int(lines_.size()) + 2 * kPadding);
    return toQt(readoutBoxRect(fromQt(size()), lineX_, fromQt(box)));
}

QRegion GraphCursor::covered() const {
    return QRegion(boxRect());
}

bool GraphCursor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return false;
}

void GraphCursor::paintEvent(QPaintEvent*) {
    if (lines_.empty())
        return;
    QPainter painter(this);
    painter.setPen(QPen(frame_, 1));
    const QRect box = boxRect();
    painter.fillRect(box, background_);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    const QFontMetrics metrics(font());
    int baseline = box.y() + kPadding + metrics.ascent();
    for (const Line& line : lines_) {
        painter.setPen(line.color);
        painter.drawText(box.x() + kPadding, baseline, line.text);
        baseline += metrics.lineSpacing();
    }
}

}  // namespace kestiva
