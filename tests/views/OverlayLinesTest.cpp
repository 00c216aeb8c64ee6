// The lines laid over a graph (cursor, markers) as the rasteriser draws them, held to the
// pens of Qt's painter, and as the graph widget keeps them over its picture.

#include "GraphPictures.h"
#include "views/QtWindow.h"
#include "views/TraceGraphWidget.h"
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

// The widget draws the lines into its kept picture and puts back the columns a line leaves:
// whatever lines came and went (one over another too), the graph shows its picture with
// exactly the lines of now, also after the picture itself changed under them.
TEST(OverlayLines, LinesComeAndGoOverTheKeptPicture) {
    constexpr Color kLine = 0x20C0FF;
    const QSize size(200, 90);
    CMultiGraph graph;
    graph.resize(size);
    graph.reset(1, 200);
    for (uint32_t k = 0; k < 200; ++k)
        graph.appendSample(0, double(k % 7));
    graph.upperBound[0] = 6.0;
    graph.lastIndex = 199;
    graph.drawEnabled = 1;
    graph.traceColor[0] = 0x0000FF;
    using Kind = OverlayLine::Kind;
    const auto expected = [&](const std::vector<OverlayLine>& lines) {
        QImage picture(size, QImage::Format_RGB32);
        graph.renderGraph(pixelsOf(picture));
        for (const OverlayLine& line : lines) {
            if (line.kind == Kind::Cursor)
                rasterCursorLine(pixelsOf(picture), line.x, line.color);
            else
                rasterMarkerLine(pixelsOf(picture), line.x, line.color,
                                 line.kind == Kind::ActiveMarker);
        }
        return picture;
    };
    const std::vector<std::vector<OverlayLine>> steps = {
        {{50, kLine, Kind::Marker}, {120, kLine, Kind::ActiveMarker}, {51, kLine, Kind::Cursor}},
        {{50, kLine, Kind::ActiveMarker}, {121, kLine, Kind::Marker}, {0, kLine, Kind::Cursor}},
        {{70, kLine, Kind::Marker}, {70, 0x00FF00, Kind::Cursor}, {70, kLine, Kind::Marker}},
        {{199, kLine, Kind::Cursor}},
        {{-3, kLine, Kind::Cursor}, {250, kLine, Kind::Marker}},
        {},
        {{80, kLine, Kind::Cursor}},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        graph.setOverlayLines(steps[i]);
        const QImage shown = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(pixelDifference(expected(steps[i]), shown).pixels, 0) << "step " << i;
    }
    // A new picture under the same line.
    graph.backgroundColor = 0x102030;
    graph.redraw();
    const QImage shown = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(pixelDifference(expected(steps.back()), shown).pixels, 0) << "painted again";
}

}  // namespace
}  // namespace kestiva
