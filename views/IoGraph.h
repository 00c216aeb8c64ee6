#pragma once
// The plot of the I/O page (its data is window/GraphData.h).

#include "views/GraphPainting.h"
#include "views/TraceGraphWidget.h"
#include "window/GraphData.h"
#include "window/GraphRaster.h"

#include <QImage>

namespace kestiva {

// The graph as the window draws it, into a 32-bit RGB image of the plot's size.
void renderIoGraph(const IoGraphData& graph, QImage& image);

// The same picture painted with Qt's painter (see paintMultiGraph).
void paintIoGraph(const IoGraphData& graph, QImage& image, PolylineMode mode);

class CIoGraph : public CTraceGraphWidget, public IoGraphData {
    Q_OBJECT

public:
    explicit CIoGraph(QWidget* parent = nullptr) : CTraceGraphWidget(parent) {}

    void renderGraph(PixelView pixels) const override { rasterIoGraph(*this, pixels); }
};

}  // namespace kestiva
