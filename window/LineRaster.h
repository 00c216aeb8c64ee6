#pragma once
// One-pixel lines without smoothing, stepped in fixed point the way the Qt shell's painter
// steps them, so that the window draws the same pixels on every system: a line covers the rows
// (or columns) from its start up to, not including, its end; where two segments of a polyline
// meet, a pixel is neither drawn twice nor left out (the joint rules below). Ends are flat.
//
// Coordinates are whole pixels; a line may start or end far outside the picture and is cut at
// one pixel beyond its edges before it is stepped, as the painter cuts it.

#include "window/Geometry.h"
#include "window/PixelBuffer.h"

#include <climits>
#include <cstdint>
#include <span>

namespace kestiva {

enum class LineStyle {
    Solid,
    Dotted,  // one pixel on, two off, counted along the line from its start
    Dashed,  // four pixels on, two off
};

enum LineCaps { kNoCaps = 0, kCapBegin = 1, kCapEnd = 2 };

class LineRaster {
public:
    // Draws into `buffer` in `pixel` (see pixelOf); `squareCaps` extends each separate line by
    // half a pixel at both ends, as a square-capped pen does.
    LineRaster(PixelView buffer, uint32_t pixel, LineStyle style = LineStyle::Solid,
               bool squareCaps = false);

    // A line on its own, its dots counted from its start.
    void line(Point from, Point to);
    // Segments through the points, joined (nothing for fewer than two).
    void polyline(std::span<const Point> points);

private:
    enum Direction {
        kNoDirection = 0,
        kTopToBottom = 1,
        kBottomToTop = 2,
        kLeftToRight = 4,
        kRightToLeft = 8,
        kVerticalMask = 3,
        kHorizontalMask = 12,
    };
    struct Pixel {
        int x = INT_MIN;
        int y = INT_MIN;
    };

    bool clip(double& x1, double& y1, double& x2, double& y2);
    void segment(double x1, double y1, double x2, double y2, int caps);
    template <bool Vertical>
    void step(int a1, int b1, int a2, int b2, int caps);
    void plot(int x, int y) {
        if (unsigned(x) < unsigned(buffer_.width) && unsigned(y) < unsigned(buffer_.height))
            buffer_.pixels[std::size_t(y) * std::size_t(buffer_.stride) + std::size_t(x)] = pixel_;
    }

    PixelView buffer_;
    uint32_t pixel_;
    LineStyle style_;
    bool squareCaps_;
    double xmin_, xmax_, ymin_, ymax_;
    int patternOffset_ = 0;  // in 1/64 pixel along the polyline, for dotted lines
    int lastDir_ = kNoDirection;
    bool lastAxisAligned_ = false;
    Pixel lastPixel_;
};

// Fills the pixels of column x from row top to row bottom (both included, clipped).
void fillColumn(PixelView buffer, int x, int top, int bottom, uint32_t pixel);
// Fills the pixels of row y from column left to column right (both included, clipped).
void fillRow(PixelView buffer, int y, int left, int right, uint32_t pixel);
// Fills the whole buffer.
void fillAll(PixelView buffer, uint32_t pixel);

}  // namespace kestiva
