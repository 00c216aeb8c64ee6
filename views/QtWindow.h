#pragma once
// Where the window's own types (window/) meet Qt's: points, sizes, rectangles, lines and
// colours each way. Nothing else in views/ converts.

#include "settings/SamplingConfig.h"
#include "window/Geometry.h"
#include "window/PixelBuffer.h"

#include <QColor>
#include <QImage>
#include <QLine>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace kestiva {

inline QPoint toQt(Point p) {
    return {p.x(), p.y()};
}
inline QSize toQt(Size s) {
    return {s.width(), s.height()};
}
inline QRect toQt(const Rect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}
inline QLine toQt(const Line& l) {
    return {l.x1(), l.y1(), l.x2(), l.y2()};
}

inline Point fromQt(QPoint p) {
    return {p.x(), p.y()};
}
inline Size fromQt(QSize s) {
    return {s.width(), s.height()};
}
inline Rect fromQt(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}
inline Line fromQt(const QLine& l) {
    return {l.x1(), l.y1(), l.x2(), l.y2()};
}

// Colours are packed 0x00BBGGRR everywhere outside Qt; this is the one place they cross over.
inline QColor toQColor(Color color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

// The pixels of a 32-bit RGB image, for the rasteriser to draw into; empty for other formats.
inline PixelView pixelsOf(QImage& image) {
    if (image.isNull() || image.format() != QImage::Format_RGB32)
        return {};
    return {reinterpret_cast<uint32_t*>(image.bits()), image.width(), image.height(),
            int(image.bytesPerLine() / 4)};
}

// An image over a buffer's pixels, valid while the buffer is neither resized nor gone.
inline QImage imageOver(PixelBuffer& buffer) {
    const PixelView v = buffer.view();
    return QImage(reinterpret_cast<const uchar*>(v.pixels), v.width, v.height,
                  qsizetype(v.stride) * 4, QImage::Format_RGB32);
}

}  // namespace kestiva
