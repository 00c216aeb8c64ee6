#include "window/TraceColumns.h"

#include "window/GraphGeometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <type_traits>

namespace kestiva {

StepAccumulator::StepAccumulator(float step, uint64_t count) : count_(count) {
    uint64_t k = 0;
    float a = 0.0f;
    while (k < count) {
        const float b = a + step;
        const float c = b + step;
        // Two equal increments inside one power of two: every later sum there adds the same.
        // (When a sum ties, the first rounding may differ from the rest; equal increments
        // rule that out.)
        const bool samePower =
            a > 0.0f && std::ilogb(a) == std::ilogb(b) && std::ilogb(b) == std::ilogb(c);
        const double increment = double(b) - double(a);
        if (samePower && double(c) - double(b) == increment) {
            const int exponent = std::ilogb(a);
            const double ulp = std::ldexp(1.0, exponent - 23);
            // Stay two grid steps below the next power, where rounding changes its grid.
            const double limit = std::ldexp(1.0, exponent + 1) - 2.0 * ulp;
            uint64_t length = count - k;
            if (increment > 0.0) {
                double steps = std::max(0.0, std::floor((limit - double(a)) / increment));
                while (steps > 0.0 && double(a) + steps * increment > limit) {
                    steps -= 1.0;  // the division rounded up
                }
                length = std::min<uint64_t>(length, uint64_t(steps) + 1);
            }
            runs_.push_back({k, length, double(a), increment});
            k += length;
            a = float(runs_.back().last()) + step;
            continue;
        }
        runs_.push_back({k, 1, double(a), 0.0});
        ++k;
        a = b;
    }
}

const StepAccumulator::Run& StepAccumulator::runHolding(uint64_t k) const {
    const auto after = std::upper_bound(runs_.begin(), runs_.end(), k,
                                        [](uint64_t key, const Run& r) { return key < r.first; });
    return *(after - 1);
}

float StepAccumulator::at(uint64_t k) const {
    const Run& run = runHolding(k);
    return float(run.start + double(k - run.first) * run.increment);
}

uint64_t StepAccumulator::firstReaching(double threshold) const {
    const auto run = std::partition_point(runs_.begin(), runs_.end(),
                                          [&](const Run& r) { return r.last() < threshold; });
    if (run == runs_.end()) {
        return count_;
    }
    if (run->start >= threshold || run->increment == 0.0) {
        return run->first;
    }
    // The division may round either way; the exact positions settle it.
    uint64_t j = uint64_t(std::max(0.0, std::ceil((threshold - run->start) / run->increment)));
    j = std::min(j, run->length - 1);
    while (j > 0 && run->start + double(j - 1) * run->increment >= threshold) {
        --j;
    }
    while (run->start + double(j) * run->increment < threshold) {
        ++j;
    }
    return run->first + j;
}

// The vertices a window of samples makes, and on which column each lies.
class TraceVertices {
public:
    TraceVertices(TraceShape shape, uint32_t firstIndex, uint64_t samples, float step, int width)
        : shape_(shape), first_(firstIndex), step_(step), width_(width), positions_(step, samples) {
        count_ = shape == TraceShape::Line ? samples : 2 * samples;
        // Every column's first vertex, looked up by each trace's every column.
        columnStarts_.resize(std::size_t(std::max(width, 0)) + 1);
        for (int column = 1; column <= width + 1; ++column)
            columnStarts_[std::size_t(column - 1)] = searchColumn(column);
    }

    bool matches(TraceShape shape, uint32_t first, uint64_t samples, float step, int width) const {
        return shape == shape_ && first == first_ && step == step_ && width == width_ &&
               samples == positionCount();
    }

    uint64_t count() const { return count_; }
    int width() const { return width_; }
    uint32_t sampleOf(uint64_t v) const {
        return first_ + uint32_t(shape_ == TraceShape::Line ? v : v / 2);
    }
    uint64_t firstOfSample(uint32_t sample) const {
        const uint64_t k = sample - first_;
        return shape_ == TraceShape::Line ? k : 2 * k;
    }
    uint64_t lastOfSample(uint32_t sample) const {
        const uint64_t k = sample - first_;
        return shape_ == TraceShape::Line ? k : 2 * k + 1;
    }

    // A step starts at a(k) and ends at a(k) + step, that sum taken in double precision.
    int column(uint64_t v) const {
        if (shape_ == TraceShape::Line || v % 2 == 0) {
            return toPixel(positions_.at(sampleStep(v)));
        }
        return stepEnd(v / 2);
    }

    // The first vertex whose column is `column` or further right.
    uint64_t firstAtColumn(int column) const {
        if (column >= 1 && column <= width_ + 1) {
            return columnStarts_[std::size_t(column - 1)];
        }
        return searchColumn(column);
    }

private:
    uint64_t positionCount() const { return shape_ == TraceShape::Line ? count_ : count_ / 2; }
    uint64_t sampleStep(uint64_t v) const { return shape_ == TraceShape::Line ? v : v / 2; }
    int stepEnd(uint64_t k) const { return toPixel(double(positions_.at(k)) + double(step_)); }

    uint64_t searchColumn(int column) const {
        if (column <= 0) {
            return 0;
        }
        const uint64_t starts = positions_.firstReaching(column);
        if (shape_ == TraceShape::Line) {
            return starts;
        }
        // The end's sum is rounded once more; the threshold only finds where to look.
        uint64_t ends = positions_.firstReaching(double(column) - double(step_));
        while (ends > 0 && stepEnd(ends - 1) >= column) {
            --ends;
        }
        while (ends < count_ / 2 && stepEnd(ends) < column) {
            ++ends;
        }
        return starts == ends ? 2 * starts : 2 * ends + 1;
    }

    TraceShape shape_;
    uint32_t first_;
    float step_;
    int width_;
    StepAccumulator positions_;
    uint64_t count_ = 0;
    std::vector<uint64_t> columnStarts_;
};

TraceColumnCache::TraceColumnCache() = default;
TraceColumnCache::~TraceColumnCache() = default;

const TraceVertices& TraceColumnCache::vertices(TraceShape shape, uint32_t first, uint64_t count,
                                                float step, int width) {
    if (!vertices_ || !vertices_->matches(shape, first, count, step, width))
        vertices_ = std::make_unique<TraceVertices>(shape, first, count, step, width);
    return *vertices_;
}

namespace {

struct SampleWindow {
    uint32_t first = 0;
    uint64_t count = 0;  // samples of the window that the buffer holds
    float step = 0.0f;
};

// The samples the window draws and their spacing, as multiTracePoints and ioTracePoints take
// them; nothing when those draw nothing.
std::optional<SampleWindow> sampleWindow(TraceShape shape, size_t held, uint32_t firstIndex,
                                         uint32_t lastIndex, const TraceScale& scale, Size plot) {
    if (firstIndex >= held || !scale.drawable()) {
        return std::nullopt;
    }
    if (shape == TraceShape::Line) {
        if (lastIndex <= firstIndex) {
            return std::nullopt;
        }
        const uint32_t n = lastIndex - firstIndex;
        const uint64_t count = std::min<uint64_t>(n, held - 1 - firstIndex) + 1;
        if (count < 2) {
            return std::nullopt;
        }
        return SampleWindow{firstIndex, count, float(double(plot.width()) / double(n))};
    }
    if (lastIndex < firstIndex) {
        return std::nullopt;
    }
    const uint64_t n = uint64_t(lastIndex) - firstIndex + 1;
    return SampleWindow{firstIndex, std::min<uint64_t>(n, held - firstIndex),
                        float(double(plot.width()) / double(n))};
}

// Columns holding more vertices than this are reduced; fewer are copied as they are.
constexpr uint64_t kReducedColumn = 6;

template <typename Sample>
class EnvelopeTracer {
public:
    EnvelopeTracer(std::span<const Sample> held, const TraceEnvelope<Sample>& envelope,
                   const TraceVertices& vertices, const TraceScale& scale)
        : held_(held), envelope_(envelope), vertices_(vertices), scale_(scale) {
        if constexpr (!std::is_floating_point_v<Sample>) {
            for (uint32_t level = 0; level < kLevelRows; ++level)
                levelRows_[level] = scale_.y(double(level));
        }
    }

    // The polyline of vertices [v0, v1]: its first and last vertex as they are (they carry the
    // line's ends), the columns in between reduced.
    std::vector<Point> polyline(uint64_t v0, uint64_t v1) const {
        std::vector<Point> out;
        // Six vertices a column at the most, and the two ends.
        out.reserve(std::size_t(
            std::min<uint64_t>(v1 - v0 + 1, 6 * uint64_t(std::max(vertices_.width(), 0) + 2) + 2)));
        out.emplace_back(vertices_.column(v0), row(held_[vertices_.sampleOf(v0)]));
        if (v1 == v0) {
            return out;
        }
        uint64_t v = v0 + 1;
        while (v < v1) {
            const int column = vertices_.column(v);
            const uint64_t end = std::min(vertices_.firstAtColumn(column + 1), v1);
            appendColumn(column, v, end - 1, out);
            v = end;
        }
        out.emplace_back(vertices_.column(v1), row(held_[vertices_.sampleOf(v1)]));
        return out;
    }

private:
    // I/O levels are small whole numbers, so their rows are looked up rather than computed
    // again for every sample and bucket a column's search visits.
    static constexpr uint32_t kLevelRows = 256;

    int row(Sample s) const {
        if constexpr (!std::is_floating_point_v<Sample>) {
            if (s < kLevelRows)
                return levelRows_[s];
        }
        return scale_.y(double(s));
    }

    // Vertices [va, vb] all on one column. A vertical run paints what its first move, its last
    // move and the rows between them paint (see collapseColumns), so the column keeps its entry
    // row, the row the first move reaches, the extremes of the rows in between, the row the last
    // move leaves and its exit row. The rows follow the values, so the extremes of the rows are
    // the rows of the extreme values, which the envelope gives.
    void appendColumn(int column, uint64_t va, uint64_t vb, std::vector<Point>& out) const {
        if (vb - va + 1 <= kReducedColumn) {
            for (uint64_t v = va; v <= vb; ++v) {
                out.emplace_back(column, row(held_[vertices_.sampleOf(v)]));
            }
            return;
        }
        const uint32_t sa = vertices_.sampleOf(va);
        const uint32_t sb = vertices_.sampleOf(vb);
        const int entry = row(held_[sa]);
        const int exit = row(held_[sb]);
        out.emplace_back(column, entry);
        const auto firstMove = findRowOtherThan(held_[sa], sa + 1, sb, true);
        if (!firstMove) {
            return;
        }
        const auto lastMove = findRowOtherThan(held_[sb], sa, sb - 1, false);
        out.emplace_back(column, row(held_[*firstMove]));
        if (*firstMove <= *lastMove) {
            const auto between = envelope_.extremes(held_, *firstMove, *lastMove);
            out.emplace_back(column, row(between.low));
            out.emplace_back(column, row(between.high));
            out.emplace_back(column, row(held_[*lastMove]));
        }
        out.emplace_back(column, exit);
    }

    // The first (or last) sample in [from, to] whose row is not the row of `value`. Equal
    // values need no row: a flat stretch is passed over without computing any.
    std::optional<uint32_t> findRowOtherThan(Sample value, uint32_t from, uint32_t to,
                                             bool forward) const {
        const int r = row(value);
        const auto differs = [&](Sample s) { return s != value && row(s) != r; };
        const auto mayDiffer = [&](const SampleExtremes<Sample>& e) {
            return !(e.low == value && e.high == value) && (row(e.low) != r || row(e.high) != r);
        };
        return forward ? envelope_.findFirst(held_, from, to, differs, mayDiffer)
                       : envelope_.findLast(held_, from, to, differs, mayDiffer);
    }

    std::span<const Sample> held_;
    const TraceEnvelope<Sample>& envelope_;
    const TraceVertices& vertices_;
    const TraceScale& scale_;
    std::array<int, std::is_floating_point_v<Sample> ? 0 : kLevelRows> levelRows_{};
};

// Calls onRun(first, last) for each run of valid samples in [from, to].
template <typename Sample, typename OnRun>
void forEachValidRun(std::span<const Sample> held, const TraceEnvelope<Sample>& envelope,
                     uint32_t from, uint32_t to, OnRun onRun) {
    uint64_t k = from;
    while (k <= to) {
        const auto start = envelope.firstValid(held, uint32_t(k), to);
        if (!start) {
            return;
        }
        const auto gap = *start < to ? envelope.firstGap(held, *start + 1, to) : std::nullopt;
        const uint32_t end = gap ? *gap - 1 : to;
        onRun(*start, end);
        k = uint64_t(end) + 1;
    }
}

}  // namespace

template <typename Sample>
std::vector<std::vector<Point>> envelopePolylines(std::span<const Sample> held,
                                                  const TraceEnvelope<Sample>& envelope,
                                                  TraceShape shape, uint32_t firstIndex,
                                                  uint32_t lastIndex, double lowerBound,
                                                  double upperBound, Size plot,
                                                  TraceColumnCache* cache) {
    std::vector<std::vector<Point>> pieces;
    const TraceScale scale(lowerBound, upperBound, plot.height());
    // Samples stored around appendSample are not in the envelope; only what it covers is drawn.
    held = held.first(std::min<size_t>(held.size(), envelope.count()));
    const auto window = sampleWindow(shape, held.size(), firstIndex, lastIndex, scale, plot);
    if (!window) {
        return pieces;
    }
    TraceColumnCache own;
    const TraceVertices& vertices =
        (cache ? *cache : own)
            .vertices(shape, window->first, window->count, window->step, plot.width());
    const EnvelopeTracer<Sample> tracer(held, envelope, vertices, scale);
    const uint32_t lastSample = uint32_t(window->first + window->count - 1);
    forEachValidRun(held, envelope, window->first, lastSample, [&](uint32_t a, uint32_t b) {
        pieces.push_back(tracer.polyline(vertices.firstOfSample(a), vertices.lastOfSample(b)));
    });
    return pieces;
}

template <typename Sample>
std::vector<std::vector<Point>> everyVertexPolylines(std::span<const Sample> held, TraceShape shape,
                                                     uint32_t firstIndex, uint32_t lastIndex,
                                                     double lowerBound, double upperBound,
                                                     Size plot) {
    std::vector<Point> points;
    if constexpr (std::is_same_v<Sample, double>) {
        points = multiTracePoints(held, firstIndex, lastIndex, lowerBound, upperBound, plot);
    } else {
        points = ioTracePoints(held, firstIndex, lastIndex, lowerBound, upperBound, plot);
    }
    const uint64_t perSample = shape == TraceShape::Line ? 1 : 2;
    std::vector<std::vector<Point>> pieces(1);
    for (uint64_t v = 0; v < points.size(); ++v) {
        if (isGap(held[firstIndex + v / perSample])) {
            if (!pieces.back().empty()) {
                pieces.emplace_back();
            }
        } else {
            pieces.back().push_back(points[v]);
        }
    }
    if (pieces.back().empty()) {
        pieces.pop_back();
    }
    return pieces;
}

template std::vector<std::vector<Point>> envelopePolylines<double>(std::span<const double>,
                                                                   const TraceEnvelope<double>&,
                                                                   TraceShape, uint32_t, uint32_t,
                                                                   double, double, Size,
                                                                   TraceColumnCache*);
template std::vector<std::vector<Point>> envelopePolylines<uint32_t>(std::span<const uint32_t>,
                                                                     const TraceEnvelope<uint32_t>&,
                                                                     TraceShape, uint32_t, uint32_t,
                                                                     double, double, Size,
                                                                     TraceColumnCache*);
template std::vector<std::vector<Point>> everyVertexPolylines<double>(std::span<const double>,
                                                                      TraceShape, uint32_t,
                                                                      uint32_t, double, double,
                                                                      Size);
template std::vector<std::vector<Point>> everyVertexPolylines<uint32_t>(std::span<const uint32_t>,
                                                                        TraceShape, uint32_t,
                                                                        uint32_t, double, double,
                                                                        Size);

}  // namespace kestiva
