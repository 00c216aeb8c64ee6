// The graphs on a screen with two device pixels to a logical one: painted at the device's
// resolution (lines one device pixel thin), in the logical geometry of a plain screen.

#include "views/TraceGraphWidget.h"
#include "views/QtWindow.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

namespace kestiva {
namespace {

// Before the test environment makes the application.
[[maybe_unused]] const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

template <typename Graph>
void expectDevicePixels(Graph& graph) {
    graph.resize(300, 200);
    graph.hasSamples = 1;
    graph.drawEnabled = 1;
    graph.redraw();
    const QImage shown = graph.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.size(), QSize(600, 400));
    QImage device(600, 400, QImage::Format_RGB32);
    graph.renderGraph(pixelsOf(device));
    EXPECT_EQ(shown, device);
}

TEST(HiDpiGraph, PaintedAtDeviceResolution) {
    ASSERT_DOUBLE_EQ(qApp->devicePixelRatio(), 2.0);
    CMultiGraph data;
    data.reset(1, 5);
    for (double v : {0.0, 4.0, 1.0, 3.0, 2.0})
        data.appendSample(0, v);
    data.upperBound[0] = 4.0;
    data.lastIndex = 4;
    expectDevicePixels(data);

    CIoGraph io;
    io.reset(16, 3);
    for (int bit : {0, 1, 0})
        io.appendSample(3, IoGraphData::level(3, bit));
    io.upperBound.assign(16, 128.0);
    io.lastIndex = 2;
    expectDevicePixels(io);
}

}  // namespace
}  // namespace kestiva
