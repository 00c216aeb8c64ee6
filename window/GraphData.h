#pragma once
// The data of the two graphs without their widgets: the data page's multi-trace graph and the
// I/O page's sixteen bands. The pages fill them; the rasteriser draws them.

#include "recording/PageFigures.h"
#include "window/TraceGraphData.h"

#include <cstdint>

namespace kestiva {

// A few traces of real values over a 20 x 20 grid, for a window of sample indices shared by
// all traces.
struct MultiGraphData : TraceGraphData<double> {
    static constexpr uint32_t kInitialTraceCount = 3;
    static constexpr uint32_t kInitialCapacity = 512;

    MultiGraphData() { reset(kInitialTraceCount, kInitialCapacity); }

    // New trace count and capacity with every per-trace value back at its start, and
    // nothing drawable until the page says so. The window stays.
    void reset(uint32_t traces, uint32_t newCapacity) {
        resetTraces(traces, newCapacity);
        drawEnabled = 0;
    }
};

// Sixteen on/off signals stacked in bands of 8/128 of the height, each a step line, over the
// vertical grid and one dotted baseline per band.
struct IoGraphData : TraceGraphData<uint32_t> {
    static constexpr uint32_t kInitialTraceCount = 16;
    static constexpr uint32_t kInitialCapacity = 512;
    // The page draws every band against these bounds.
    static constexpr double kLowerBound = kIoLowerBound;
    static constexpr double kUpperBound = kIoUpperBound;

    IoGraphData() { reset(kInitialTraceCount, kInitialCapacity); }

    // As the data graph's reset, except that drawEnabled is left alone: the page keeps its
    // own record of whether the window is drawable across loads.
    void reset(uint32_t traces, uint32_t newCapacity) { resetTraces(traces, newCapacity); }

    // The sample value of signal `signal` (0 = top band) with bit `bit`.
    static uint32_t level(int signal, int bit) { return ioLevel(signal, bit); }
};

}  // namespace kestiva
