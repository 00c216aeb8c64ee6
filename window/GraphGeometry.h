#pragma once
// Where the graphs put their grid lines and trace vertices. Plain functions of the plot size
// and the data, so that the positions are tested without a screen and painting only draws.
//
// The positions keep the graphs' fixed-point habits: integer grid steps, single-precision
// accumulators truncated towards zero. Changing them moves lines by a pixel, which users of
// saved pictures would notice.

#include "window/Geometry.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kestiva {

enum class GridPass { Major, Minor };

// Far enough outside any plot to be clipped, near enough that no later arithmetic overflows.
constexpr float kFarAway = float(1 << 30);

// A position truncated towards zero to its pixel, defined for values no int can hold (they
// land far outside any plot).
inline int toPixel(double v) {
    if (v >= double(kFarAway)) {
        return int(kFarAway);
    }
    if (v > -double(kFarAway)) {
        return int(v);
    }
    return -int(kFarAway);  // very negative, or not a number
}

// x of the vertical grid lines a pass draws, each from (x, 0) to (x, height). Twenty
// divisions on the integer step width / 20; every fifth line belongs to the major pass.
std::vector<int> verticalGridLines(int width, GridPass pass);

// y of the horizontal grid lines of the multi-trace graph, each from (0, y) to (width, y).
std::vector<int> horizontalGridLines(int height, GridPass pass);

// y of the sixteen dotted band baselines of the I/O graph (levels 121, 113, ..., 1 of 128).
std::vector<int> ioBaselines(int height);

// Maps the values of one trace to pixel rows: the upper bound lands on y = 0 and the lower
// bound on y = height. Values outside the bounds map outside the plot.
class TraceScale {
public:
    TraceScale(double lowerBound, double upperBound, int height);

    // False when the range is zero (or not a number): such a trace is never drawn.
    bool drawable() const { return drawable_; }
    int y(double value) const {
        const float ratio = float(value - lower_) / range_;
        return toPixel(height_ - height_ * ratio);
    }

private:
    double lower_;
    float range_;
    float height_;
    bool drawable_;
};

// Every vertex of a data trace for the window [firstIndex, lastIndex]: sample firstIndex at
// x = 0, the last one at (or next to) x = width. Only samples that `held` contains become
// vertices. Empty when fewer than two vertices remain, when lastIndex < firstIndex, or when
// the range is zero.
std::vector<Point> multiTracePoints(std::span<const double> held, uint32_t firstIndex,
                                     uint32_t lastIndex, double lowerBound, double upperBound,
                                     Size plot);

// Every vertex of an I/O trace drawn as a step line: each sample of the window
// [firstIndex, lastIndex] is a horizontal segment width / n pixels long (two vertices).
// Only samples that `held` contains are drawn; empty when lastIndex < firstIndex or when the
// range is zero.
std::vector<Point> ioTracePoints(std::span<const uint32_t> held, uint32_t firstIndex,
                                  uint32_t lastIndex, double lowerBound, double upperBound,
                                  Size plot);

// A trace ready to paint: a polyline, and vertical spans of the same colour painted with it.
struct CollapsedTrace {
    std::vector<Point> polyline;
    std::vector<Line> spans;  // from (x, top) to (x, bottom), both ends painted
};

// The same picture with far fewer vertices: where consecutive vertices share a pixel column,
// the rows the column's moves pass over become one filled span, and the polyline keeps only the
// moves that reach outside it or lead into the next segment.
// A 1-pixel aliased polyline through the result plus its spans paints exactly the pixels of a
// polyline through `polyline` in an image of size `plot`. Columns left or right of the image
// are kept unchanged; a column whose rows leave the image is reduced only as far as the
// painter's clipping provably paints the same, and the segments between columns stay as they
// are.
CollapsedTrace collapseColumns(std::span<const Point> polyline, Size plot);

}  // namespace kestiva
