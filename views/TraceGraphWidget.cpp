#include "views/TraceGraphWidget.h"

#include <QPainter>

namespace kestiva {

CTraceGraphWidget::CTraceGraphWidget(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted from the off-screen image, so Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CTraceGraphWidget::paintEvent(QPaintEvent*) {
    const QImage& picture = picture_.picture(size(), devicePixelRatioF(),
                                             [this](PixelView pixels) { renderGraph(pixels); });
    QPainter(this).drawImage(0, 0, picture);
}

}  // namespace kestiva
