#pragma once
// What both graph widgets are: a plot that shows the picture its data renders, kept between
// paints so that a cursor over the graph costs a copy. The data page's and the I/O page's
// graphs differ only in their data and how it is rendered.

#include "views/GraphPainting.h"
#include "window/PixelBuffer.h"

#include <QWidget>

#include <cstddef>

namespace kestiva {

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

    // Bytes of the picture kept between paints.
    std::size_t pictureBytes() const { return picture_.bytes(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GraphPicture picture_;
};

}  // namespace kestiva
