// The lines laid over a graph (cursor, markers) as the rasteriser draws them, held to the
// pens the overlay widgets paint them with.

#include "GraphPictures.h"
#include "views/QtWindow.h"
#include "window/GraphRaster.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace kestiva {
namespace {

TEST(OverlayLines, CursorAndMarkerLinesAreThePensPixels) {
    constexpr Color kColor = 0x20C0FF;
    for (const QSize size : {QSize(40, 1), QSize(40, 7), QSize(50, 100), QSize(30, 601)}) {
        for (const int x : {-1, 0, 17, size.width() - 1, size.width()}) {
            for (const int style : {0, 1, 2}) {  // cursor, active marker, other marker
                QImage painted(size, QImage::Format_RGB32);
                painted.fill(Qt::black);
                {
                    QPainter painter(&painted);
                    painter.setPen(
                        QPen(toQColor(kColor), 1, style == 2 ? Qt::DashLine : Qt::SolidLine));
                    painter.drawLine(x, 0, x, size.height());
                }
                QImage drawn(size, QImage::Format_RGB32);
                drawn.fill(Qt::black);
                if (style == 0)
                    rasterCursorLine(pixelsOf(drawn), x, kColor);
                else
                    rasterMarkerLine(pixelsOf(drawn), x, kColor, style == 1);
                const PixelDifference d = pixelDifference(painted, drawn);
                EXPECT_EQ(d.pixels, 0) << "style " << style << " at x " << x << " in "
                                       << size.width() << " x " << size.height();
            }
        }
    }
}

}  // namespace
}  // namespace kestiva
