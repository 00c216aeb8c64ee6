#include "window/LineRaster.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kestiva {

namespace {

// Positions are 26.6 fixed point (truncated), steps along the minor axis 16.16.
int toFixed6(double v) {
    return int(v * 64.0);
}

int divide16(int numerator, int denominator) {
    if (std::abs(numerator) > 0x7fff)
        return int((int64_t(numerator) * 65536) / denominator);
    return int(unsigned(numerator) << 16) / denominator;
}

int swapCaps(int caps) {
    return ((caps & kCapBegin) << 1) | ((caps & kCapEnd) >> 1);
}

// The on and off runs of a broken line, in 1/64 pixel: each entry is where a run ends, counted
// from the pattern's start; the reverse table serves lines stepped against their drawing
// direction. Dotted: one pixel on, two off. Dashed: four on, two off.
struct Pattern {
    int ends[2];
    int reverseEnds[2];
    int length;
};
constexpr Pattern kDotted = {{64, 192}, {128, 192}, 192};
constexpr Pattern kDashed = {{256, 384}, {128, 384}, 384};

class Dashes {
public:
    Dashes(const Pattern& pattern, bool reverse, int start, int stop, int& patternOffset)
        : length_(pattern.length) {
        const int delta = stop - start;
        if (reverse) {
            ends_ = pattern.reverseEnds;
            offset_ = length_ - patternOffset - delta - ((start & 63) - 32);
            phase_ = 0;
        } else {
            ends_ = pattern.ends;
            offset_ = patternOffset - ((start & 63) - 32);
            phase_ = 1;
        }
        offset_ %= length_;
        if (offset_ < 0)
            offset_ += length_;
        index_ = offset_ >= ends_[0] ? 1 : 0;
        patternOffset = (patternOffset + delta) % length_;
    }
    bool on() const { return ((index_ + phase_) & 1) != 0; }
    void advance() {
        offset_ += 64;
        if (offset_ >= ends_[index_])
            index_ = (index_ + 1) % 2;
        offset_ %= length_;
    }

private:
    const int* ends_;
    int length_;
    int offset_;
    int index_;
    int phase_;
};

}  // namespace

LineRaster::LineRaster(PixelView buffer, uint32_t pixel, LineStyle style, bool squareCaps)
    : buffer_(buffer),
      pixel_(pixel),
      style_(style),
      squareCaps_(squareCaps),
      // Lines are cut one pixel beyond the picture on each side (its last pixel + 2 on the
      // right and bottom), the same for every line so that a cut never moves a pixel.
      xmin_(-1.0),
      xmax_(double(buffer.width) + 1.0),
      ymin_(-1.0),
      ymax_(double(buffer.height) + 1.0) {}

void LineRaster::line(Point from, Point to) {
    if (from == to) {
        plot(from.x(), from.y());
        return;
    }
    patternOffset_ = 0;
    lastPixel_ = {};
    segment(from.x(), from.y(), to.x(), to.y(), squareCaps_ ? kCapBegin | kCapEnd : kNoCaps);
}

void LineRaster::polyline(std::span<const Point> points) {
    if (points.size() < 2)
        return;
    patternOffset_ = 0;
    lastPixel_ = {};
    int caps = squareCaps_ ? kCapBegin : kNoCaps;
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (squareCaps_ && i + 1 == points.size())
            caps |= kCapEnd;
        segment(points[i - 1].x(), points[i - 1].y(), points[i].x(), points[i].y(), caps);
        caps = kNoCaps;
    }
}

// True when nothing of the line is left. A line cut at its end forgets the pixel it drew
// last, so that the next segment's joint rules start afresh.
bool LineRaster::clip(double& x1, double& y1, double& x2, double& y2) {
    const auto dropped = [this] {
        lastPixel_.x = INT_MIN;
        return true;
    };
    if (x1 < xmin_) {
        if (x2 <= xmin_)
            return dropped();
        y1 += (y2 - y1) / (x2 - x1) * (xmin_ - x1);
        x1 = xmin_;
    } else if (x1 > xmax_) {
        if (x2 >= xmax_)
            return dropped();
        y1 += (y2 - y1) / (x2 - x1) * (xmax_ - x1);
        x1 = xmax_;
    }
    if (x2 < xmin_) {
        lastPixel_.x = INT_MIN;
        y2 += (y2 - y1) / (x2 - x1) * (xmin_ - x2);
        x2 = xmin_;
    } else if (x2 > xmax_) {
        lastPixel_.x = INT_MIN;
        y2 += (y2 - y1) / (x2 - x1) * (xmax_ - x2);
        x2 = xmax_;
    }
    if (y1 < ymin_) {
        if (y2 <= ymin_)
            return dropped();
        x1 += (x2 - x1) / (y2 - y1) * (ymin_ - y1);
        y1 = ymin_;
    } else if (y1 > ymax_) {
        if (y2 >= ymax_)
            return dropped();
        x1 += (x2 - x1) / (y2 - y1) * (ymax_ - y1);
        y1 = ymax_;
    }
    if (y2 < ymin_) {
        lastPixel_.x = INT_MIN;
        x2 += (x2 - x1) / (y2 - y1) * (ymin_ - y2);
        y2 = ymin_;
    } else if (y2 > ymax_) {
        lastPixel_.x = INT_MIN;
        x2 += (x2 - x1) / (y2 - y1) * (ymax_ - y2);
        y2 = ymax_;
    }
    return false;
}

void LineRaster::segment(double x1, double y1, double x2, double y2, int caps) {
    if (clip(x1, y1, x2, y2))
        return;
    const int fx1 = toFixed6(x1), fy1 = toFixed6(y1), fx2 = toFixed6(x2), fy2 = toFixed6(y2);
    const int dx = std::abs(fx2 - fx1);
    const int dy = std::abs(fy2 - fy1);
    if (dx < dy)
        step<true>(fy1, fx1, fy2, fx2, caps);
    else if (dx != 0)
        step<false>(fx1, fy1, fx2, fy2, caps);
}

// Steps one pixel at a time along the major axis (y when Vertical), a1 to a2, moving the minor
// coordinate b by a fixed increment. Joint rules against the pixel the previous segment drew
// last: a first pixel equal to it is left out; after a change of direction, a gap of more than
// one pixel (or a diagonal step between two nearly axis-parallel segments) gets one pixel more.
// (Segments between whole pixels never leave a gap along the major axis in one direction.)
template <bool Vertical>
void LineRaster::step(int a1, int b1, int a2, int b2, int caps) {
    const int forward = Vertical ? kTopToBottom : kLeftToRight;
    const int backward = Vertical ? kBottomToTop : kRightToLeft;
    const int mask = Vertical ? kVerticalMask : kHorizontalMask;
    const auto point = [](int major, int minor) {
        return Vertical ? Pixel{minor, major} : Pixel{major, minor};
    };
    const auto majorOf = [](const Pixel& p) { return Vertical ? p.y : p.x; };

    Pixel last = lastPixel_;
    int dir = forward;
    const bool swapped = a1 > a2;
    if (swapped) {
        std::swap(a1, a2);
        std::swap(b1, b2);
        caps = swapCaps(caps);
        dir = backward;
    }
    const int increment = divide16(b2 - b1, a2 - a1);
    int b = b1 * (1 << 10);
    if ((lastDir_ ^ mask) == dir)
        caps |= swapped ? kCapEnd : kCapBegin;
    if (caps & kCapBegin) {
        a1 -= 32;
        b -= increment >> 1;
    }
    if (caps & kCapEnd)
        a2 += 32;

    int a = (a1 + 32) >> 6;
    int end = (a2 + 32) >> 6;
    const int round = increment > 0 ? 32 : 0;
    if ((caps & kCapBegin) && majorOf(lastPixel_) == a + 1)
        ++a;
    if (a != end) {
        b += ((a * (1 << 6)) + round - a1) * increment >> 6;
        Pixel first = point(a, b >> 16);
        last = point(end - 1, (b + (end - a - 1) * increment) >> 16);
        if (swapped)
            std::swap(first, last);

        const bool axisAligned = std::abs(increment) < (1 << 14);
        if (lastPixel_.x > INT_MIN) {
            const int gapX = std::abs(lastPixel_.x - first.x);
            const int gapY = std::abs(lastPixel_.y - first.y);
            if (first.x == lastPixel_.x && first.y == lastPixel_.y) {
                if (swapped) {
                    --end;
                } else {
                    ++a;
                    b += increment;
                }
            } else if (lastDir_ != dir &&
                       ((axisAligned && lastAxisAligned_ && gapX != 0 && gapY != 0) || gapX > 1 ||
                        gapY > 1)) {
                if (swapped) {
                    ++end;
                } else {
                    --a;
                    b -= increment;
                }
            }
        }
        lastDir_ = dir;
        lastAxisAligned_ = axisAligned;

        if (style_ == LineStyle::Solid && increment == 0 && a < end) {
            // Axis-parallel (most lines of a step trace): the same pixels as the loop below
            // plots one by one, filled as one run.
            if constexpr (Vertical)
                fillColumn(buffer_, b >> 16, a, end - 1, pixel_);
            else
                fillRow(buffer_, b >> 16, a, end - 1, pixel_);
        } else if (style_ == LineStyle::Solid) {
            do {
                if constexpr (Vertical)
                    plot(b >> 16, a);
                else
                    plot(a, b >> 16);
                b += increment;
            } while (++a < end);
        } else {
            const Pattern& pattern = style_ == LineStyle::Dotted ? kDotted : kDashed;
            Dashes dashes(pattern, swapped, a * 64, end * 64, patternOffset_);
            do {
                if (dashes.on()) {
                    if constexpr (Vertical)
                        plot(b >> 16, a);
                    else
                        plot(a, b >> 16);
                }
                dashes.advance();
                b += increment;
            } while (++a < end);
        }
    }
    lastPixel_ = last;
}

void fillColumn(PixelView buffer, int x, int top, int bottom, uint32_t pixel) {
    if (x < 0 || x >= buffer.width)
        return;
    top = std::max(top, 0);
    bottom = std::min(bottom, buffer.height - 1);
    uint32_t* p = buffer.pixels + std::size_t(top) * std::size_t(buffer.stride) + std::size_t(x);
    for (int y = top; y <= bottom; ++y, p += buffer.stride)
        *p = pixel;
}

void fillRow(PixelView buffer, int y, int left, int right, uint32_t pixel) {
    if (y < 0 || y >= buffer.height)
        return;
    left = std::max(left, 0);
    right = std::min(right, buffer.width - 1);
    if (left <= right)
        std::fill(buffer.row(y) + left, buffer.row(y) + right + 1, pixel);
}

void fillAll(PixelView buffer, uint32_t pixel) {
    if (buffer.empty())
        return;
    // One row filled, the others copied from it: the copy is the C library's fastest loop.
    std::fill(buffer.row(0), buffer.row(0) + buffer.width, pixel);
    for (int y = 1; y < buffer.height; ++y)
        std::memcpy(buffer.row(y), buffer.row(0), std::size_t(buffer.width) * sizeof(uint32_t));
}

}  // namespace kestiva
