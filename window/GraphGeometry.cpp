#include "window/GraphGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace kestiva {

namespace {

constexpr int kDivisions = 20;
constexpr int kMajorEvery = 5;
constexpr int kIoBandCount = 16;

bool inPass(int k, GridPass pass) {
    return (k % kMajorEvery == 0) == (pass == GridPass::Major);
}

}  // namespace

std::vector<int> verticalGridLines(int width, GridPass pass) {
    std::vector<int> xs;
    const int step = width / kDivisions;
    // A plot narrower than 20 pixels has a zero step; it gets no lines rather than endless ones.
    if (step <= 0) {
        return xs;
    }
    for (int k = 1; k * step < width; ++k) {
        if (inPass(k, pass)) {
            xs.push_back(k * step);
        }
    }
    return xs;
}

std::vector<int> horizontalGridLines(int height, GridPass pass) {
    std::vector<int> ys;
    const int step = height / kDivisions;
    if (step <= 0) {
        return ys;
    }
    // The integer step bounds the loop; the positions come from a single-precision
    // accumulator of the exact twentieth.
    float position = 0.0f;
    for (int k = 1; k * step < height; ++k) {
        position = float(double(position) + height / 20.0);
        if (inPass(k, pass)) {
            ys.push_back(toPixel(position));
        }
    }
    return ys;
}

std::vector<int> ioBaselines(int height) {
    std::vector<int> ys;
    const float h = float(height);
    for (int m = 0; m < kIoBandCount; ++m) {
        const int level = 121 - 8 * m;
        const float ratio = float(level) * 0.0078125f;
        ys.push_back(toPixel(h - h * ratio));
    }
    return ys;
}

TraceScale::TraceScale(double lowerBound, double upperBound, int height)
    : lower_(lowerBound),
      range_(float(upperBound - lowerBound)),
      height_(float(height)),
      drawable_(range_ != 0.0f && !std::isnan(range_)) {}

std::vector<Point> multiTracePoints(std::span<const double> held, uint32_t firstIndex,
                                     uint32_t lastIndex, double lowerBound, double upperBound,
                                     Size plot) {
    std::vector<Point> points;
    const TraceScale scale(lowerBound, upperBound, plot.height());
    if (lastIndex <= firstIndex || firstIndex >= held.size() || !scale.drawable()) {
        return points;
    }
    const uint32_t n = lastIndex - firstIndex;
    // A window reaching past the samples held is drawn only as far as they go, on the scale
    // of the whole window.
    const size_t count = std::min<size_t>(n, held.size() - 1 - firstIndex) + 1;
    if (count < 2) {
        return points;
    }
    const float xStep = float(double(plot.width()) / double(n));
    const double* samples = held.data() + firstIndex;
    points.reserve(count);
    points.emplace_back(0, scale.y(samples[0]));
    float x = xStep;
    for (size_t k = 1; k < count; ++k) {
        points.emplace_back(toPixel(x), scale.y(samples[k]));
        x += xStep;
    }
    return points;
}

std::vector<Point> ioTracePoints(std::span<const uint32_t> held, uint32_t firstIndex,
                                  uint32_t lastIndex, double lowerBound, double upperBound,
                                  Size plot) {
    std::vector<Point> points;
    const TraceScale scale(lowerBound, upperBound, plot.height());
    if (lastIndex < firstIndex || firstIndex >= held.size() || !scale.drawable()) {
        return points;
    }
    // 64 bits: the window 0 .. 0xFFFFFFFF holds 2^32 samples.
    const uint64_t n = uint64_t(lastIndex) - firstIndex + 1;
    const size_t count = size_t(std::min<uint64_t>(n, held.size() - firstIndex));
    const float xStep = float(double(plot.width()) / double(n));
    const uint32_t* samples = held.data() + firstIndex;
    points.reserve(2 * count);
    const int y0 = scale.y(double(samples[0]));
    points.emplace_back(0, y0);
    points.emplace_back(toPixel(xStep), y0);
    float a = 0.0f;
    for (size_t k = 1; k < count; ++k) {
        a += xStep;
        const int y = scale.y(double(samples[k]));
        points.emplace_back(toPixel(a), y);
        // The segment's end is taken from the unrounded sum, so it can differ by a pixel from
        // the next segment's start; the polyline then joins them with a short diagonal.
        points.emplace_back(toPixel(double(a) + double(xStep)), y);
    }
    return points;
}

namespace {

// The painter clips every line to the image grown by one pixel on each side. A vertical move
// that reaches beyond that band paints, and leaves for the next segment, the same whether it
// ends two pixels outside the image or a billion, so rows are pulled in to there.
int pulledIn(int y, int height) { return std::clamp(y, -2, height + 2); }
bool insideBand(int y, int height) { return y >= -1 && y <= height + 1; }

// The distinct rows a column's moves visit (see appendColumnRun).
struct ColumnWalk {
    int entry = 0;      // where the segment into the column ends
    int firstEnd = 0;   // the row the first move reaches
    int lastStart = 0;  // the row the last move leaves
    int current = 0;    // the exit row, where the segment out of the column starts
    size_t moves = 0;
    int low = std::numeric_limits<int>::max();  // the rows between the first and the last move
    int high = std::numeric_limits<int>::min();
};

ColumnWalk walkColumn(std::span<const Point> run, int height) {
    ColumnWalk w;
    w.entry = w.lastStart = w.current = pulledIn(run.front().y(), height);
    // Zero-length moves paint nothing and leave the rasterizer's state alone inside the band;
    // beyond it they make it forget its last pixel, which matters only to a move starting
    // there (whose start is clipped away) or to the segment out of the column (see
    // lastMoveIsDrawn).
    for (const Point& p : run.subspan(1)) {
        const int y = pulledIn(p.y(), height);
        if (y == w.current) {
            continue;
        }
        if (++w.moves == 1) {
            w.firstEnd = y;
        } else {
            w.low = std::min(w.low, w.current);
            w.high = std::max(w.high, w.current);
        }
        w.lastStart = w.current;
        w.current = y;
    }
    return w;
}

// The row the shortened last move starts from: inside the filled span, going the same way to
// the exit row. A last move leaving the band must still cross it, as the long one did, or the
// painter would drop it.
int lastMoveStart(const ColumnWalk& w, int height) {
    const int from = w.current > w.high        ? w.high
                     : w.current < w.low       ? w.low
                     : w.lastStart < w.current ? w.current - 1
                                               : w.current + 1;
    return w.current < -1           ? std::max(from, 0)
           : w.current > height + 1 ? std::min(from, height)
                                    : from;
}

// Whether the painter draws the run's last segment: a segment with both ends beyond the same edge
// of the band is dropped, and the rasterizer forgets the pixel it drew last.
bool lastMoveIsDrawn(std::span<const Point> run, int height) {
    const auto inBand = [height](const Point& p) { return std::clamp(p.y(), -1, height + 1); };
    return inBand(run[run.size() - 2]) != inBand(run.back());
}

// Where the kept part of the first move ends, if any of it is kept: as far as the span's edge,
// going the same way. In a column that leaves the image, whether the move's start row and the
// row beside it are painted may depend on the whole first move (its end beyond the band turns
// the rasterizer's joint checks off), so the move is kept whole unless those rows lie in the
// span or outside the image.
std::optional<int> firstMoveEnd(const ColumnWalk& w, int height, bool inImage) {
    if (!inImage && insideBand(w.entry, height) &&
        (w.entry == w.low || w.entry == w.high || !insideBand(w.firstEnd, height))) {
        return w.firstEnd;
    }
    if (w.entry < w.low || w.entry > w.high) {
        return std::clamp(w.entry, w.low, w.high);
    }
    return std::nullopt;
}

// Appends one run of vertices that share a pixel column (see collapseColumns).
//
// Inside a column every move is vertical. A vertical move paints the rows between its ends;
// only whether it paints its start row depends on the move before it, and what it leaves for
// the next segment depends only on its own direction and end. So three things must stay: the
// first move (it follows the segment into the column), the last move (the segment out of the
// column follows it), and every row the moves in between pass over. Those rows are one unbroken
// span between their extremes, since each joint of two vertical moves is painted whatever the
// directions; the span is filled, and the polyline keeps of the first move only the rows outside
// the span and of the last move only its direction and end (see below).
void appendColumnRun(std::span<const Point> run, Size plot, CollapsedTrace& out) {
    const int x = run.front().x();
    const int height = plot.height();
    if (x < 0 || x >= plot.width() || run.size() <= 4) {
        out.polyline.insert(out.polyline.end(), run.begin(), run.end());
        return;
    }
    const bool inImage = std::all_of(run.begin(), run.end(), [&](const Point& p) {
        return p.y() >= 0 && p.y() < height;
    });
    const ColumnWalk w = walkColumn(run, height);
    if (inImage && w.moves < 4) {  // nothing to gain
        out.polyline.emplace_back(x, run.front().y());
        for (const Point& p : run.subspan(1)) {
            if (p.y() != out.polyline.back().y()) {
                out.polyline.push_back(p);
            }
        }
        return;
    }
    if (!inImage && (w.moves < 4 || !lastMoveIsDrawn(run, height))) {
        out.polyline.insert(out.polyline.end(), run.begin(), run.end());
        return;
    }
    // Every row of the span is filled, so the polyline need not pass over it: the first move is
    // kept only as far as the span's edge, and the last move only its last row, going the same
    // way. Both still start inside the span, where whether they paint their start row no longer
    // matters, and the short last move leaves the next segment what the long one did; the
    // rasterizer draws pixel by pixel, so each row left out saves time.
    out.polyline.push_back(run.front());
    if (const auto end = firstMoveEnd(w, height, inImage)) {
        out.polyline.emplace_back(x, *end);
    }
    const int lastFrom = lastMoveStart(w, height);
    if (lastFrom != out.polyline.back().y()) {
        out.polyline.emplace_back(x, lastFrom);
    }
    out.polyline.push_back(run.back());
    const int top = std::max(w.low, 0);
    const int bottom = std::min(w.high, height - 1);
    if (top <= bottom) {
        out.spans.emplace_back(x, top, x, bottom);
    }
}

}  // namespace

CollapsedTrace collapseColumns(std::span<const Point> polyline, Size plot) {
    CollapsedTrace out;
    const size_t n = polyline.size();
    if (n <= 4) {
        out.polyline.assign(polyline.begin(), polyline.end());
        return out;
    }
    out.polyline.reserve(std::min<size_t>(n, size_t(std::max(plot.width(), 1)) * 8 + 16));
    // The first and the last segment carry the line's caps; they stay exactly as they are.
    out.polyline.push_back(polyline[0]);
    const size_t end = n - 1;
    size_t i = 1;
    while (i < end) {
        size_t j = i + 1;
        while (j < end && polyline[j].x() == polyline[i].x()) {
            ++j;
        }
        appendColumnRun(polyline.subspan(i, j - i), plot, out);
        i = j;
    }
    out.polyline.push_back(polyline[n - 1]);
    return out;
}

}  // namespace kestiva
