#include "views/TraceGraphWidget.h"

#include "GraphPictures.h"

#include <QImage>

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace kestiva {
namespace {

constexpr Color kGrid = 0x808080;
constexpr Color kBackground = 0x000000;
const QSize kPlot(400, 256);

QImage render(const IoGraphData& graph, QSize size = kPlot) {
    QImage image(size, QImage::Format_RGB32);
    renderIoGraph(graph, image);
    return image;
}

// Signals as the I/O page loads them: bits per sample of each listed signal, bounds 0..128.
IoGraphData loaded(const std::vector<std::pair<int, std::vector<int>>>& bitsBySignal) {
    IoGraphData graph;
    const uint32_t samples = uint32_t(bitsBySignal.front().second.size());
    graph.reset(16, samples);
    for (uint32_t j = 0; j < 16; ++j) {
        graph.lowerBound[j] = IoGraphData::kLowerBound;
        graph.upperBound[j] = IoGraphData::kUpperBound;
        graph.traceVisible[j] = 0;
    }
    for (const auto& [signal, bits] : bitsBySignal) {
        for (int bit : bits) {
            graph.appendSample(uint32_t(signal), IoGraphData::level(signal, bit));
        }
        graph.traceVisible[signal] = 1;
    }
    graph.gridColor = kGrid;
    graph.lastIndex = samples - 1;
    graph.drawEnabled = 1;
    return graph;
}

TEST(IoGraph, StartsWithSixteenTracesAndDrawingOff) {
    IoGraphData graph;
    EXPECT_EQ(graph.traceCount, 16u);
    EXPECT_EQ(graph.capacity, 512u);
    EXPECT_EQ(graph.drawEnabled, 0);
    EXPECT_EQ(graph.traceColor[9], 0xFF0000u);  // the data graph's palette, repeated
    // Unlike the data graph, a reset leaves drawing as the page set it.
    graph.drawEnabled = 1;
    graph.reset(16, 40);
    EXPECT_EQ(graph.drawEnabled, 1);
    EXPECT_EQ(graph.samples[15].size(), 40u);
}

TEST(IoGraph, LevelsStackTheSignalsInBandsOfEight) {
    EXPECT_EQ(IoGraphData::level(0, 0), 121u);
    EXPECT_EQ(IoGraphData::level(0, 1), 127u);
    EXPECT_EQ(IoGraphData::level(15, 0), 1u);
    EXPECT_EQ(IoGraphData::level(15, 1), 7u);
}

TEST(IoGraph, GridHasVerticalLinesAndSixteenDottedBaselines) {
    IoGraphData graph;
    graph.gridColor = kGrid;
    const QImage image = render(graph);
    for (int x = 0; x < kPlot.width(); ++x) {
        const LineKind expected = x > 0 && x % 100 == 0  ? LineKind::Solid
                                  : x > 0 && x % 20 == 0 ? LineKind::Dotted
                                                         : LineKind::None;
        EXPECT_EQ(lineKind(countInColumn(image, x, kGrid), kPlot.height()), expected)
            << "column " << x;
    }
    std::set<int> baselines;
    for (int y = 14; y <= 254; y += 16) {
        baselines.insert(y);
    }
    for (int y = 0; y < kPlot.height(); ++y) {
        const LineKind expected = baselines.count(y) ? LineKind::Dotted : LineKind::None;
        EXPECT_EQ(lineKind(countInRow(image, y, kGrid), kPlot.width()), expected) << "row " << y;
    }
}

TEST(IoGraph, ConstantSignalIsFlatAtItsBaselineOrSixUnitsAbove) {
    const std::vector<int> low(50, 0);
    const std::vector<int> high(50, 1);
    const QImage image = render(loaded({{0, low}, {3, high}, {15, high}}));
    const Color red = defaultTraceColor(0);
    const Color green = defaultTraceColor(3);
    const Color violet = defaultTraceColor(15);
    EXPECT_EQ(countInRow(image, 14, red), kPlot.width());
    EXPECT_EQ(countInImage(image, red), kPlot.width());
    // Band 3's baseline is at 62; a set bit is 6/128 of 256 = 12 pixels higher.
    EXPECT_EQ(countInRow(image, 50, green), kPlot.width());
    EXPECT_EQ(countInImage(image, green), kPlot.width());
    EXPECT_EQ(countInRow(image, 242, violet), kPlot.width());
}

TEST(IoGraph, OneSampleWindowIsOneSegmentAcrossTheWidth) {
    IoGraphData graph = loaded({{2, {0, 1, 0, 1}}});
    graph.firstIndex = graph.lastIndex = 1;
    const QImage image = render(graph);
    const Color yellow = defaultTraceColor(2);
    EXPECT_EQ(countInRow(image, 34, yellow), kPlot.width());  // 256 - 2 * 111 - 12
    EXPECT_EQ(countInImage(image, yellow), kPlot.width());
}

TEST(IoGraph, StepsJoinWithVerticalStrokes) {
    const QImage image = render(loaded({{0, {0, 1}}}));
    const Color red = defaultTraceColor(0);
    // First half on the baseline (14), second half on the set level (2), joined at x = 200.
    EXPECT_EQ(countInRow(image, 14, red), 201);
    EXPECT_EQ(countInRow(image, 2, red), 200);
    for (int y = 2; y <= 14; ++y) {
        EXPECT_TRUE(hasColor(image, 200, y, red)) << y;
    }
}

TEST(IoGraph, HiddenSignalLeavesItsBaseline) {
    IoGraphData graph = loaded({{0, std::vector<int>(30, 0)}});
    const QImage shown = render(graph);
    graph.traceVisible[0] = 0;
    const QImage hidden = render(graph);
    EXPECT_EQ(countInImage(hidden, defaultTraceColor(0)), 0);
    EXPECT_EQ(lineKind(countInRow(hidden, 14, kGrid), kPlot.width()), LineKind::Dotted);
    EXPECT_NE(shown, hidden);
}

TEST(IoGraph, NothingIsDrawnWithoutDrawableWindowOrRange) {
    const IoGraphData drawable = loaded({{4, {1, 0, 1, 0, 1}}});
    const Color colour = defaultTraceColor(4);
    ASSERT_GT(countInImage(render(drawable), colour), 0);
    struct Case {
        const char* what;
        void (*change)(IoGraphData&);
    };
    const Case cases[] = {
        {"reversed window",
         [](IoGraphData& g) {
             g.firstIndex = 3;
             g.lastIndex = 1;
         }},
        {"window past the samples",
         [](IoGraphData& g) {
             g.firstIndex = 5;
             g.lastIndex = 90;
         }},
        {"zero range", [](IoGraphData& g) { g.upperBound[4] = 0.0; }},
        {"drawing disabled", [](IoGraphData& g) { g.drawEnabled = 0; }},
        {"samples cleared", [](IoGraphData& g) { g.clearSamples(); }},
    };
    for (const Case& c : cases) {
        IoGraphData graph = drawable;
        c.change(graph);
        EXPECT_EQ(countInImage(render(graph), colour), 0) << c.what;
    }
}

TEST(IoGraph, WindowPastTheSamplesIsDrawnAsFarAsTheyGo) {
    IoGraphData graph = loaded({{0, {0, 0}}});
    graph.lastIndex = 3;  // four samples' width, two held
    const QImage image = render(graph);
    EXPECT_EQ(countInRow(image, 14, defaultTraceColor(0)), 200);
}

TEST(IoGraph, WidgetPaintsWhatRenderGraphPaints) {
    CIoGraph widget;
    widget.resize(kPlot);
    static_cast<IoGraphData&>(widget) = loaded({{1, {0, 1, 1, 0, 1}}, {9, {1, 1, 0, 0, 1}}});
    const QImage shown = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage rendered(kPlot, QImage::Format_RGB32);
    widget.renderGraph(pixelsOf(rendered));
    EXPECT_EQ(shown, rendered);
    EXPECT_GT(countInImage(shown, defaultTraceColor(9)), 0);
    EXPECT_GT(countInImage(shown, kBackground), 0);
}

}  // namespace
}  // namespace kestiva
