#pragma once
// The plot of the I/O page: sixteen on/off signals stacked in bands of 8/128 of the height,
// each a step line, over the vertical grid and one dotted baseline per band.

#include "recording/PageFigures.h"
#include "views/GraphPainting.h"
#include "views/TraceGraphWidget.h"
#include "views/TraceGraphData.h"

#include <QImage>

namespace kestiva {

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

void renderIoGraph(const IoGraphData& graph, QImage& image,
                   PolylineMode mode = PolylineMode::Envelope);

class CIoGraph : public CTraceGraphWidget, public IoGraphData {
    Q_OBJECT

public:
    explicit CIoGraph(QWidget* parent = nullptr) : CTraceGraphWidget(parent) {}

    void renderGraph(QImage& image) const override { renderIoGraph(*this, image); }
};

}  // namespace kestiva
