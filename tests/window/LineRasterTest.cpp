// The rasteriser's own rules, without a toolkit: which pixels a line covers, how dots are
// counted, where lines are cut, and the picture a graph gets. That these pixels are exactly
// the Qt painter's is for the Qt tests (tests/views: EnvelopeTrace, CollapseColumns, OverlayLines).

#include "window/GraphRaster.h"
#include "window/LineRaster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kestiva {
namespace {

constexpr uint32_t kBack = 0xFF000000u;
constexpr uint32_t kInk = 0xFFFFFFFFu;

PixelBuffer blank(int width, int height) {
    PixelBuffer buffer;
    buffer.resize(width, height);
    fillAll(buffer.view(), kBack);
    return buffer;
}

// The inked pixels of row y (or column x) as a string of '#' and '.'.
std::string rowOf(const PixelBuffer& b, int y) {
    std::string s;
    for (int x = 0; x < b.width(); ++x)
        s += b.at(x, y) == kInk ? '#' : '.';
    return s;
}
std::string columnOf(const PixelBuffer& b, int x) {
    std::string s;
    for (int y = 0; y < b.height(); ++y)
        s += b.at(x, y) == kInk ? '#' : '.';
    return s;
}

TEST(LineRaster, SeparateLinesCoverTheirLowerEndButNotTheirUpper) {
    struct Case {
        Point from, to;
        LineStyle style;
        bool square;
        const char* row;  // row 2 of a 12 x 5 picture
    };
    const Case cases[] = {
        {{1, 2}, {6, 2}, LineStyle::Solid, false, ".#####......"},
        {{6, 2}, {1, 2}, LineStyle::Solid, false, ".#####......"},  // backwards: the same
        {{1, 2}, {6, 2}, LineStyle::Solid, true, ".######....."},   // square caps
        {{0, 2}, {12, 2}, LineStyle::Dotted, false, "#..#..#..#.."},
        {{-50, 2}, {500000, 2}, LineStyle::Solid, false, "############"},
        {{3, 2}, {3, 2}, LineStyle::Solid, false, "...#........"},  // a point
    };
    for (const Case& c : cases) {
        PixelBuffer b = blank(12, 5);
        LineRaster(b.view(), kInk, c.style, c.square).line(c.from, c.to);
        EXPECT_EQ(rowOf(b, 2), c.row) << c.from.x() << " -> " << c.to.x();
    }
}

TEST(LineRaster, SteepAndShallowLinesStepOnePixelPerRowOrColumn) {
    PixelBuffer b = blank(10, 10);
    LineRaster(b.view(), kInk).line({0, 0}, {3, 9});
    for (int y = 0; y < 9; ++y) {
        const std::string row = rowOf(b, y);
        EXPECT_EQ(std::count(row.begin(), row.end(), '#'), 1) << y;
    }
    EXPECT_EQ(rowOf(b, 9), "..........");

    PixelBuffer c = blank(10, 10);
    LineRaster(c.view(), kInk).line({0, 9}, {9, 6});
    for (int x = 0; x < 9; ++x) {
        const std::string column = columnOf(c, x);
        EXPECT_EQ(std::count(column.begin(), column.end(), '#'), 1) << x;
    }
}

TEST(LineRaster, PolylineJointsLeaveNoGapAndOutsideSegmentsAreCut) {
    // Up and down the same column: every row between the turns is inked once the moves pass.
    PixelBuffer b = blank(3, 12);
    const std::vector<Point> zigzag = {{1, 0}, {1, 8}, {1, 3}, {1, 11}};
    LineRaster(b.view(), kInk).polyline(zigzag);
    EXPECT_EQ(columnOf(b, 1), "###########.");

    // Moves a billion pixels off the picture leave only what crosses it.
    PixelBuffer c = blank(4, 6);
    const std::vector<Point> wild = {{0, -1000000000}, {1, 1000000000}, {2, 2}, {3, 2}};
    LineRaster(c.view(), kInk).polyline(wild);
    EXPECT_EQ(columnOf(c, 0), "######");
}

TEST(LineRaster, ColumnFillsAreClippedToThePicture) {
    PixelBuffer b = blank(4, 6);
    fillColumn(b.view(), 2, -5, 3, kInk);
    fillColumn(b.view(), 7, 0, 5, kInk);   // right of the picture: nothing
    fillColumn(b.view(), -1, 0, 5, kInk);  // left of it: nothing
    EXPECT_EQ(columnOf(b, 2), "####..");
    EXPECT_EQ(columnOf(b, 3), "......");
    EXPECT_EQ(columnOf(b, 0), "......");
}

TEST(GraphRaster, EmptyGraphIsBackgroundAndGrid) {
    MultiGraphData data;
    PixelBuffer b;
    b.resize(200, 100);
    rasterMultiGraph(data, b.view());
    const uint32_t background = pixelOf(data.backgroundColor);
    const uint32_t grid = pixelOf(data.gridColor);
    EXPECT_EQ(b.at(1, 1), background);
    EXPECT_EQ(b.at(50, 37), grid);  // a major line (every fifth of twenty)
    // A minor line: one pixel in three from the top, up to the first horizontal line at y = 5.
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(b.at(10, y) == grid, y % 3 == 0) << y;

    IoGraphData io;
    io.backgroundColor = 0x102030;
    rasterIoGraph(io, b.view());
    EXPECT_EQ(b.at(1, 1), 0xFF302010u);  // 0x00BBGGRR becomes 0xFFRRGGBB
}

}  // namespace
}  // namespace kestiva
