#pragma once
// The plot of the data page: a few traces of real values over a 20 x 20 grid, for a window of
// sample indices shared by all traces. No input of its own; the page sets everything.

#include "views/GraphPainting.h"
#include "views/TraceGraphWidget.h"
#include "views/TraceGraphData.h"

#include <QImage>

namespace kestiva {

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

// Paints the graph into `image` (its size is the plot's): background, major grid, minor grid,
// then each visible trace over the earlier ones. Needs neither a window nor an application
// object, so a command-line program can render the same picture.
void renderMultiGraph(const MultiGraphData& graph, QImage& image,
                      PolylineMode mode = PolylineMode::Envelope);

class CMultiGraph : public CTraceGraphWidget, public MultiGraphData {
    Q_OBJECT

public:
    explicit CMultiGraph(QWidget* parent = nullptr) : CTraceGraphWidget(parent) {}

    void renderGraph(QImage& image) const override { renderMultiGraph(*this, image); }
};

}  // namespace kestiva
