#pragma once
// A trace drawn from its envelope: which samples fall on which pixel column, and the few
// vertices per column that paint what a polyline through every sample paints. The cost of a
// trace is then a few bucket look-ups per pixel column, whatever the number of samples.

#include "window/TraceEnvelope.h"

#include "window/Geometry.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kestiva {

// The positions of a single-precision accumulator: a(0) = 0 and a(k) = a(k-1) + step, each sum
// rounded to single precision, as the graphs place their samples. Inside one power of two every
// sum rounds by the same amount, so the sequence is a few arithmetic runs per power of two and
// any a(k), or the first k that reaches a threshold, is found without adding k times.
class StepAccumulator {
public:
    // a(0) ... a(count - 1); step >= 0.
    StepAccumulator(float step, uint64_t count);

    float at(uint64_t k) const;
    // The smallest k with a(k) >= threshold, or count when none reaches it.
    uint64_t firstReaching(double threshold) const;

private:
    struct Run {
        uint64_t first;
        uint64_t length;
        double start;
        double increment;  // exact: both ends lie on the same grid
        double last() const { return start + double(length - 1) * increment; }
    };
    std::vector<Run> runs_;
    uint64_t count_;

    const Run& runHolding(uint64_t k) const;
};

// How a trace's samples become vertices: a line through one vertex per sample (the data
// graph), or a step per sample, a horizontal segment of two vertices (the I/O graph).
enum class TraceShape { Line, Steps };

class TraceVertices;

// Where a window's samples fall on the pixel columns, worked out once for every trace of a
// paint: the traces of a graph share their window and mostly hold as many samples, so one
// paint of sixteen I/O signals need not place the same vertices sixteen times. A cache that
// does not match a trace's window is made again for it.
class TraceColumnCache {
public:
    TraceColumnCache();
    ~TraceColumnCache();
    TraceColumnCache(const TraceColumnCache&) = delete;
    TraceColumnCache& operator=(const TraceColumnCache&) = delete;

    // The vertices of this window, made now unless the last call asked for the same.
    const TraceVertices& vertices(TraceShape shape, uint32_t first, uint64_t count, float step,
                                  int width);

private:
    std::unique_ptr<TraceVertices> vertices_;
};

// The polylines of a trace for the window [firstIndex, lastIndex], one per run of samples
// between gaps, with at most six vertices per pixel column. Painted through collapseColumns,
// each gives the pixels of the polyline through every vertex the samples of its run make
// (multiTracePoints or ioTracePoints, cut at the gaps: everyVertexPolylines). A cache shared
// by the traces of one paint saves placing their vertices again; without one each trace
// places its own.
template <typename Sample>
std::vector<std::vector<Point>> envelopePolylines(std::span<const Sample> held,
                                                  const TraceEnvelope<Sample>& envelope,
                                                  TraceShape shape, uint32_t firstIndex,
                                                  uint32_t lastIndex, double lowerBound,
                                                  double upperBound, Size plot,
                                                  TraceColumnCache* cache = nullptr);

// Every vertex of the trace, cut into one polyline per run of samples between gaps: the
// reference the envelope drawing is held to.
template <typename Sample>
std::vector<std::vector<Point>> everyVertexPolylines(std::span<const Sample> held, TraceShape shape,
                                                     uint32_t firstIndex, uint32_t lastIndex,
                                                     double lowerBound, double upperBound,
                                                     Size plot);

}  // namespace kestiva
