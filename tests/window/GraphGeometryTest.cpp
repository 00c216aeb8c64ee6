#include "window/GraphGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace kestiva {
namespace {

TEST(GraphGeometry, GridLinesAtAndPastTheEdges) {
    // The twentieth line is kept where the integer step allows it, even on or past the edge:
    // 357 / 20 = 17 allows twenty lines, the last at 357; 256 / 20 = 12 allows twenty-one.
    EXPECT_EQ(horizontalGridLines(357, GridPass::Major), (std::vector<int>{89, 178, 267, 357}));
    EXPECT_EQ(horizontalGridLines(256, GridPass::Major), (std::vector<int>{64, 128, 192, 256}));
    EXPECT_EQ(horizontalGridLines(256, GridPass::Minor).back(), 268);
    // A width that is a multiple of 20 has no line on its right edge.
    EXPECT_EQ(verticalGridLines(1000, GridPass::Major), (std::vector<int>{250, 500, 750}));
}

TEST(GraphGeometry, PlotsNarrowerThanTwentyPixelsHaveNoGridLines) {
    for (const GridPass pass : {GridPass::Major, GridPass::Minor}) {
        EXPECT_TRUE(verticalGridLines(19, pass).empty());
        EXPECT_TRUE(verticalGridLines(0, pass).empty());
        EXPECT_TRUE(horizontalGridLines(19, pass).empty());
        EXPECT_TRUE(horizontalGridLines(-5, pass).empty());
    }
}

TEST(GraphGeometry, TraceScaleMapsTheBoundsToTheEdges) {
    const TraceScale scale(-10.0, 30.0, 357);
    ASSERT_TRUE(scale.drawable());
    EXPECT_EQ(scale.y(30.0), 0);
    EXPECT_EQ(scale.y(-10.0), 357);
    EXPECT_EQ(scale.y(10.0), 178);  // 178.5 truncated
    EXPECT_EQ(scale.y(40.0), -89);  // not clamped: cut by the image later
    EXPECT_EQ(scale.y(-20.0), 446);
    // Values no pixel row can hold stay far outside without overflowing.
    EXPECT_LT(scale.y(1e300), -1000000);
    EXPECT_GT(scale.y(-1e300), 1000000);
    EXPECT_LT(scale.y(std::numeric_limits<double>::quiet_NaN()), -1000000);
}

TEST(GraphGeometry, ZeroRangesAreNotDrawable) {
    EXPECT_FALSE(TraceScale(5.0, 5.0, 100).drawable());
    // A difference too small for single precision is a zero range too.
    EXPECT_FALSE(TraceScale(0.0, 1e-300, 100).drawable());
    EXPECT_FALSE(TraceScale(0.0, std::numeric_limits<double>::quiet_NaN(), 100).drawable());
    EXPECT_TRUE(TraceScale(5.0, -5.0, 100).drawable());  // upside down, but drawable
}

TEST(GraphGeometry, DataTraceHasOneVertexPerSampleAcrossTheWidth) {
    const std::vector<double> samples = {0.0, 1.0, 2.0, 3.0, 4.0, 5.0};
    EXPECT_EQ(multiTracePoints(samples, 1, 5, 0.0, 4.0, Size(100, 40)),
              (std::vector<Point>{{0, 30}, {25, 20}, {50, 10}, {75, 0}, {100, -10}}));
    // Thirds of 1000 in single precision still end on the edge.
    EXPECT_EQ(multiTracePoints(samples, 0, 3, 0.0, 3.0, Size(1000, 30)),
              (std::vector<Point>{{0, 30}, {333, 20}, {666, 10}, {1000, 0}}));
    // The widest window the index type allows reads nothing beyond the samples held.
    EXPECT_EQ(multiTracePoints(samples, 0, 0xFFFFFFFFu, 0.0, 4.0, Size(90, 40)).size(), 6u);
}

TEST(GraphGeometry, DataTraceLastVertexLandsAtOrNextToTheRightEdge) {
    std::mt19937 rng(3);
    for (int round = 0; round < 200; ++round) {
        const int width = std::uniform_int_distribution<>(1, 2000)(rng);
        const uint32_t n = std::uniform_int_distribution<uint32_t>(1, 20000)(rng);
        const std::vector<double> samples(n + 1, 0.5);
        const auto points = multiTracePoints(samples, 0, n, 0.0, 1.0, Size(width, 10));
        ASSERT_EQ(points.size(), n + 1);
        EXPECT_LE(std::abs(points.back().x() - width), 1) << width << " / " << n;
    }
}

TEST(GraphGeometry, IoTraceIsOneStepPerSample) {
    const std::vector<uint32_t> samples = {121, 127, 121};
    // Ends come from the unrounded sum: 6.6666665f + 3.3333333f is 9.99999976, so the last
    // step ends at 9, not 10.
    EXPECT_EQ(ioTracePoints(samples, 0, 2, 0.0, 128.0, Size(10, 256)),
              (std::vector<Point>{{0, 14}, {3, 14}, {3, 2}, {6, 2}, {6, 14}, {9, 14}}));
    EXPECT_EQ(ioTracePoints(samples, 1, 1, 0.0, 128.0, Size(200, 256)),
              (std::vector<Point>{{0, 2}, {200, 2}}));
    // 2^32 samples in the window: the count must not wrap to zero.
    EXPECT_EQ(ioTracePoints(samples, 0, 0xFFFFFFFFu, 0.0, 128.0, Size(200, 256)).size(), 6u);
}

}  // namespace
}  // namespace kestiva
