#pragma once
// The graph widgets of both pages: a plot that shows the picture the rasteriser draws from its
// data, kept between paints, with the cursor's and the markers' lines drawn into it by the same
// rasteriser. A line keeps the pixels it covered and puts them back when it moves, so a cursor
// over 150,001 samples costs a few columns, not a paint. The data page's and the I/O page's
// graphs differ only in their data and its rasteriser.

#include "views/GraphPainting.h"
#include "views/QtWindow.h"
#include "window/GraphData.h"
#include "window/GraphRaster.h"
#include "window/PixelBuffer.h"

#include <QImage>
#include <QWidget>

#include <cstddef>
#include <vector>

namespace kestiva {

// A line over the graph, from its top to its bottom at x (logical pixels).
struct OverlayLine {
    enum class Kind { Cursor, ActiveMarker, Marker };
    int x = 0;
    Color color = 0;
    Kind kind = Kind::Cursor;
    bool operator==(const OverlayLine&) const = default;
};

class CTraceGraphWidget : public QWidget {
    Q_OBJECT

public:
    explicit CTraceGraphWidget(QWidget* parent = nullptr);

    // Draws the graph into `pixels` (their size is the plot's), as the widget shows it.
    virtual void renderGraph(PixelView pixels) const = 0;

    // Shows the fields as they are now. The widget keeps its last picture between paints, so
    // after changing fields call this rather than update().
    void redraw() {
        picture_.invalidate();
        update();
    }

    // The lines over the graph from now on, later ones over earlier ones.
    void setOverlayLines(std::vector<OverlayLine> lines);
    const std::vector<OverlayLine>& overlayLines() const { return lines_; }

    // Bytes of the picture kept between paints and of the columns under its lines.
    std::size_t pictureBytes() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The columns a drawn line covers, as they were before it was drawn.
    struct Covered {
        int first = 0;
        int last = 0;
        std::vector<uint32_t> pixels;
    };
    // Puts back what the drawn lines covered, then draws lines_ keeping what they cover.
    void moveLines(PixelView pixels, double ratio);
    // Device columns [first, last) that the line at logical x covers.
    static std::pair<int, int> deviceColumns(int x, double ratio, int width);

    GraphPicture picture_;
    std::vector<OverlayLine> lines_;
    std::vector<OverlayLine> drawnLines_;  // what the picture holds
    std::vector<Covered> covered_;         // in the order drawn
};

// The graph of a page: its data, drawn by the rasteriser for that data.
inline void rasterGraph(const MultiGraphData& graph, PixelView pixels) {
    rasterMultiGraph(graph, pixels);
}
inline void rasterGraph(const IoGraphData& graph, PixelView pixels) {
    rasterIoGraph(graph, pixels);
}

template <typename Data>
class CGraphWidget : public CTraceGraphWidget, public Data {
public:
    explicit CGraphWidget(QWidget* parent = nullptr) : CTraceGraphWidget(parent) {}

    void renderGraph(PixelView pixels) const override { rasterGraph(*this, pixels); }
};

// The data page's plot; no input of its own, the page sets everything.
using CMultiGraph = CGraphWidget<MultiGraphData>;
// The I/O page's plot.
using CIoGraph = CGraphWidget<IoGraphData>;

// A graph as the window draws it, into a 32-bit RGB image of the plot's size. Needs neither a
// window nor an application object.
template <typename Data>
void renderGraph(const Data& graph, QImage& image) {
    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    rasterGraph(graph, pixelsOf(image));
}
inline void renderMultiGraph(const MultiGraphData& graph, QImage& image) {
    renderGraph(graph, image);
}
inline void renderIoGraph(const IoGraphData& graph, QImage& image) {
    renderGraph(graph, image);
}

// The same pictures painted with Qt's painter: background, the grid (the data graph's both
// ways, the I/O graph's vertical lines and band baselines), then each visible trace, its
// polylines reaching the painter as `mode` says. The reference of the tests.
void paintMultiGraph(const MultiGraphData& graph, QImage& image, PolylineMode mode);
void paintIoGraph(const IoGraphData& graph, QImage& image, PolylineMode mode);

}  // namespace kestiva
