#pragma once
// The plot of the data page (its data is window/GraphData.h). No input of its own; the page
// sets everything.

#include "views/GraphPainting.h"
#include "views/TraceGraphWidget.h"
#include "window/GraphData.h"
#include "window/GraphRaster.h"

#include <QImage>

namespace kestiva {

// The graph as the window draws it, into a 32-bit RGB image of the plot's size. Needs neither a
// window nor an application object.
void renderMultiGraph(const MultiGraphData& graph, QImage& image);

// The same picture painted with Qt's painter: background, major grid, minor grid, then each
// visible trace, its polylines reaching the painter as `mode` says. The reference of the tests.
void paintMultiGraph(const MultiGraphData& graph, QImage& image, PolylineMode mode);

class CMultiGraph : public CTraceGraphWidget, public MultiGraphData {
    Q_OBJECT

public:
    explicit CMultiGraph(QWidget* parent = nullptr) : CTraceGraphWidget(parent) {}

    void renderGraph(PixelView pixels) const override { rasterMultiGraph(*this, pixels); }
};

}  // namespace kestiva
