#include "views/TraceGraphWidget.h"

#include "GraphPictures.h"

#include <QImage>

#include <gtest/gtest.h>

#include <set>

namespace kestiva {
namespace {

constexpr Color kBackground = 0x332211;  // R 0x11, G 0x22, B 0x33: a wrong byte order shows
constexpr Color kGrid = 0x808080;
constexpr Color kRed = 0x0000FF;
constexpr Color kBlue = 0xFF0000;
const QSize kPlot(645, 357);

QImage render(const MultiGraphData& graph, QSize size = kPlot) {
    QImage image(size, QImage::Format_RGB32);
    renderMultiGraph(graph, image);
    return image;
}

// A graph of three constant traces on the range 0..100, ready to draw.
MultiGraphData constantTraces(uint32_t samples, double v0, double v1, double v2) {
    MultiGraphData graph;
    graph.reset(3, samples);
    const double values[3] = {v0, v1, v2};
    for (uint32_t i = 0; i < 3; ++i) {
        for (uint32_t k = 0; k < samples; ++k) {
            graph.appendSample(i, values[i]);
        }
        graph.lowerBound[i] = 0.0;
        graph.upperBound[i] = 100.0;
        graph.traceColor[i] = i == 0 ? kRed : kBlue;
    }
    graph.backgroundColor = kBackground;
    graph.gridColor = kGrid;
    graph.firstIndex = 0;
    graph.lastIndex = samples - 1;
    graph.drawEnabled = 1;
    return graph;
}

TEST(MultiGraph, StartsWithThreeTracesOf512Samples) {
    const MultiGraphData graph;
    EXPECT_EQ(graph.traceCount, 3u);
    EXPECT_EQ(graph.capacity, 512u);
    EXPECT_EQ(graph.hasSamples, 0);
    EXPECT_EQ(graph.drawEnabled, 0);
    ASSERT_EQ(graph.samples.size(), 3u);
    EXPECT_EQ(graph.samples[2].size(), 512u);
    EXPECT_EQ(graph.fillCount, (std::vector<uint32_t>{0, 0, 0}));
    EXPECT_EQ(graph.upperBound, (std::vector<double>{0.0, 0.0, 0.0}));
    EXPECT_EQ(graph.traceColor, (std::vector<Color>{0x0000FF, 0xFF0000, 0x00FFFF}));
    EXPECT_EQ(graph.traceVisible, (std::vector<int32_t>{1, 1, 1}));
    EXPECT_EQ(graph.backgroundColor, 0x000000u);
    EXPECT_EQ(graph.gridColor, 0xDFDFDFu);
}

TEST(MultiGraph, ResetRebuildsEverythingButTheWindow) {
    MultiGraphData graph = constantTraces(4, 10, 20, 30);
    graph.firstIndex = 1;
    graph.lastIndex = 3;
    graph.traceVisible[1] = 0;
    graph.reset(10, 7);
    EXPECT_EQ(graph.traceCount, 10u);
    EXPECT_EQ(graph.capacity, 7u);
    EXPECT_EQ(graph.samples[9], std::vector<double>(7, 0.0));
    EXPECT_EQ(graph.fillCount, std::vector<uint32_t>(10, 0));
    EXPECT_EQ(graph.lowerBound, std::vector<double>(10, 0.0));
    EXPECT_EQ(graph.traceVisible, std::vector<int32_t>(10, 1));
    // The palette repeats every eight traces.
    EXPECT_EQ(graph.traceColor[6], 0xFFA5FFu);
    EXPECT_EQ(graph.traceColor[7], 0xEE82EEu);
    EXPECT_EQ(graph.traceColor[8], 0x0000FFu);
    EXPECT_EQ(graph.backgroundColor, 0x000000u);
    EXPECT_EQ(graph.gridColor, 0xDFDFDFu);
    EXPECT_EQ(graph.hasSamples, 0);
    EXPECT_EQ(graph.drawEnabled, 0);
    EXPECT_EQ(graph.firstIndex, 1u);
    EXPECT_EQ(graph.lastIndex, 3u);
}

TEST(MultiGraph, AppendingToAFullBufferDropsTheOldestValue) {
    MultiGraphData graph;
    graph.reset(2, 3);
    for (double v : {1.0, 2.0, 3.0, 4.0, 5.0}) {
        graph.appendSample(1, v);
    }
    EXPECT_EQ(graph.samples[1], (std::vector<double>{3.0, 4.0, 5.0}));
    EXPECT_EQ(graph.fillCount[1], 3u);
    EXPECT_EQ(graph.fillCount[0], 0u);
    EXPECT_EQ(graph.hasSamples, 1);
}

TEST(MultiGraph, AppendsThatCannotBeHeldAreIgnored) {
    MultiGraphData graph;
    graph.reset(3, 0);  // a recording of no samples
    graph.appendSample(0, 1.0);
    graph.appendSample(7, 1.0);  // no such trace
    EXPECT_EQ(graph.fillCount, (std::vector<uint32_t>{0, 0, 0}));
    graph.drawEnabled = 1;
    graph.lastIndex = 10;
    graph.upperBound[0] = 1.0;
    const QImage image = render(graph);
    EXPECT_EQ(countInImage(image, graph.traceColor[0]), 0);
}

TEST(MultiGraph, ClearKeepsRangesColoursVisibilityAndWindow) {
    MultiGraphData graph = constantTraces(5, 10, 20, 30);
    graph.traceVisible[2] = 0;
    graph.clearSamples();
    EXPECT_EQ(graph.hasSamples, 0);
    EXPECT_EQ(graph.fillCount, (std::vector<uint32_t>{0, 0, 0}));
    EXPECT_EQ(graph.samples[0], std::vector<double>(5, 0.0));
    EXPECT_EQ(graph.upperBound[1], 100.0);
    EXPECT_EQ(graph.traceColor[0], kRed);
    EXPECT_EQ(graph.traceVisible[2], 0);
    EXPECT_EQ(graph.lastIndex, 4u);
    EXPECT_EQ(graph.drawEnabled, 1);
}

TEST(MultiGraph, GridOfA645By357Plot) {
    MultiGraphData graph;
    graph.backgroundColor = kBackground;
    graph.gridColor = kGrid;
    const QImage image = render(graph);
    for (int x = 0; x < kPlot.width(); ++x) {
        const LineKind expected = x > 0 && x % 160 == 0  ? LineKind::Solid
                                  : x > 0 && x % 32 == 0 ? LineKind::Dotted
                                                         : LineKind::None;
        EXPECT_EQ(lineKind(countInColumn(image, x, kGrid), kPlot.height()), expected)
            << "column " << x;
    }
    const std::set<int> solidRows = {89, 178, 267};
    const std::set<int> dottedRows = {17,  35,  53,  71,  107, 124, 142, 160,
                                      196, 214, 232, 249, 285, 303, 321, 339};
    for (int y = 0; y < kPlot.height(); ++y) {
        const LineKind expected = solidRows.count(y)    ? LineKind::Solid
                                  : dottedRows.count(y) ? LineKind::Dotted
                                                        : LineKind::None;
        EXPECT_EQ(lineKind(countInRow(image, y, kGrid), kPlot.width()), expected)
            << "row " << y;
    }
    // Nothing but background and grid.
    EXPECT_EQ(countInImage(image, kBackground) + countInImage(image, kGrid),
              kPlot.width() * kPlot.height());
}

TEST(MultiGraph, NoSamplesShowOnlyBackgroundAndGrid) {
    MultiGraphData graph = constantTraces(10, 50, 50, 50);
    const QImage withTraces = render(graph);
    EXPECT_GT(countInImage(withTraces, kRed) + countInImage(withTraces, kBlue), 0);
    graph.clearSamples();
    graph.drawEnabled = 1;  // whatever the flags say
    MultiGraphData empty;
    empty.backgroundColor = kBackground;
    empty.gridColor = kGrid;
    EXPECT_EQ(render(graph), render(empty));
}

TEST(MultiGraph, BoundsLandOnTheTopAndBottomEdges) {
    // Trace 0 at its upper bound, trace 1 at its lower bound, trace 2 half-way.
    MultiGraphData graph = constantTraces(20, 100.0, 0.0, 50.0);
    graph.traceColor[2] = 0x00FF00;
    const QImage image = render(graph);
    EXPECT_EQ(countInRow(image, 0, kRed), kPlot.width());
    EXPECT_EQ(countInImage(image, kRed), kPlot.width());
    // y = 357 lies just below the image.
    EXPECT_EQ(countInImage(image, kBlue), 0);
    EXPECT_EQ(countInRow(image, 178, 0x00FF00), kPlot.width());
}

TEST(MultiGraph, UndrawableTracesDrawNothing) {
    const MultiGraphData drawable = constantTraces(20, 10, 20, 30);
    struct Case {
        const char* what;
        void (*change)(MultiGraphData&);
    };
    const Case cases[] = {
        {"one-sample window", [](MultiGraphData& g) { g.firstIndex = g.lastIndex = 7; }},
        {"reversed window",
         [](MultiGraphData& g) {
             g.firstIndex = 9;
             g.lastIndex = 3;
         }},
        {"window past the samples", [](MultiGraphData& g) { g.firstIndex = 20; }},
        {"equal bounds",
         [](MultiGraphData& g) {
             for (uint32_t i = 0; i < 3; ++i) {
                 g.lowerBound[i] = g.upperBound[i] = 20.0;
             }
         }},
        {"drawing disabled", [](MultiGraphData& g) { g.drawEnabled = 0; }},
        {"all hidden", [](MultiGraphData& g) { g.traceVisible = {0, 0, 0}; }},
    };
    for (const Case& c : cases) {
        MultiGraphData graph = drawable;
        c.change(graph);
        const QImage image = render(graph);
        EXPECT_EQ(countInImage(image, kRed) + countInImage(image, kBlue), 0) << c.what;
    }
}

TEST(MultiGraph, HiddenTraceIsSkippedWithoutAffectingTheOthers) {
    MultiGraphData graph = constantTraces(20, 25.0, 75.0, 50.0);
    graph.traceColor[2] = 0x00FF00;
    graph.traceVisible[1] = 0;
    const QImage image = render(graph);
    EXPECT_EQ(countInImage(image, kBlue), 0);
    EXPECT_EQ(countInRow(image, 267, kRed), kPlot.width());
    EXPECT_EQ(countInRow(image, 178, 0x00FF00), kPlot.width());
    EXPECT_EQ(graph.traceColor[1], kBlue);
    EXPECT_EQ(graph.upperBound[1], 100.0);
}

TEST(MultiGraph, LaterTracesAreDrawnOverEarlierOnes) {
    const QImage image = render(constantTraces(20, 50.0, 50.0, 50.0));
    EXPECT_EQ(countInRow(image, 178, kBlue), kPlot.width());
    EXPECT_EQ(countInImage(image, kRed), 0);
}

TEST(MultiGraph, WindowPastTheSamplesIsDrawnAsFarAsTheyGo) {
    // Ten samples on a window of twenty: the line stops at the tenth, half-way across.
    MultiGraphData graph = constantTraces(10, 50.0, 0.0, 0.0);
    graph.lastIndex = 20;
    const QImage image = render(graph, QSize(200, 100));
    EXPECT_EQ(countInRow(image, 50, kRed), 90);
    EXPECT_TRUE(hasColor(image, 0, 50, kRed));
    EXPECT_TRUE(hasColor(image, 89, 50, kRed));
    EXPECT_FALSE(hasColor(image, 90, 50, kRed));
}

TEST(MultiGraph, ValuesFarBeyondTheBoundsAreCutAtTheEdges) {
    MultiGraphData graph = constantTraces(200, 50.0, 0.0, 0.0);
    graph.clearSamples();
    for (uint32_t k = 0; k < 200; ++k) {
        graph.appendSample(0, k % 2 ? 50.0 : k % 4 ? 1e300 : -1e300);
    }
    graph.traceVisible = {1, 0, 0};
    const QImage image = render(graph, QSize(100, 60));
    // Every other sample lies unimaginably far above or below: the strokes to them leave the
    // plot through its edges, and nothing in between overflows.
    EXPECT_EQ(countInColumn(image, 1, kRed), 60);
    EXPECT_EQ(countInColumn(image, 50, kRed), 60);
}

TEST(MultiGraph, WidgetPaintsWhatRenderGraphPaints) {
    CMultiGraph widget;
    widget.resize(kPlot);
    static_cast<MultiGraphData&>(widget) = constantTraces(300, 20.0, 60.0, 90.0);
    widget.lastIndex = 250;
    const QImage shown = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage rendered(kPlot, QImage::Format_RGB32);
    widget.renderGraph(pixelsOf(rendered));
    EXPECT_EQ(shown, rendered);
    EXPECT_GT(countInImage(shown, kRed), 0);
}

}  // namespace
}  // namespace kestiva
