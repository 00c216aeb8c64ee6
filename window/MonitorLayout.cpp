#include "window/MonitorLayout.h"

#include <algorithm>
#include <cmath>

namespace kestiva {

namespace {

constexpr int kGap = 4;  // between neighbouring controls and from the page's edges

// x just past a rectangle, where a neighbour kGap to its right starts from.
int after(const Rect& r) {
    return r.x() + r.width();
}

int below(const Rect& r) {
    return r.y() + r.height();
}

// Each of `sizes` kGap to the right of the one before, the first at (left, top).
std::array<Rect, 4> rowOf(const std::array<Size, 4>& sizes, int left, int top) {
    std::array<Rect, 4> row;
    for (std::size_t i = 0; i < row.size(); ++i) {
        row[i] = Rect(Point(left, top), sizes[i]);
        left = after(row[i]) + kGap;
    }
    return row;
}

// A graph never gets a negative size, however small the page.
Rect graphRect(int left, int top, int width, int height) {
    return Rect(left, top, std::max(width, 0), std::max(height, 0));
}

}  // namespace

int quarterLine(int start, int length, int quarter) {
    return start + (length / 4) * quarter;
}

Rect readoutBoxRect(Size area, int lineX, Size box) {
    constexpr int kBoxOffset = 8;  // between the line and the box, and from the graph's top
    int left = lineX + kBoxOffset;
    if (left + box.width() > area.width())
        left = lineX - kBoxOffset - box.width();
    left = std::max(left, 0);
    return Rect(Point(left, kBoxOffset), box);
}

Rect centredOnX(int centre, int top, Size size) {
    return Rect(Point(centre - size.width() / 2, top), size);
}

Rect centredOnY(int left, int centre, Size size) {
    return Rect(Point(left, centre - size.height() / 2), size);
}

// Where the caption row starts so that it ends kGap before the page's right edge.
int captionRowLeft(Size page, const DataPageSizes& sizes) {
    int width = 0;
    for (const Size& caption : sizes.captionRow)
        width += caption.width() + kGap;
    return page.width() - width;
}

int itemCheckRoom(Size page, const DataPageSizes& sizes) {
    return std::max(captionRowLeft(page, sizes) - 3 * kGap, 0);
}

DataPageLayout layoutDataPage(Size page, const DataPageSizes& sizes) {
    DataPageLayout l;
    l.captionRow = rowOf(sizes.captionRow, captionRowLeft(page, sizes), kGap);
    int topBottom = kGap + sizes.check.height();
    for (const Rect& caption : l.captionRow)
        topBottom = std::max(topBottom, below(caption));
    // The check boxes flow like words: the item names are read whole, however long.
    const int room = kGap + itemCheckRoom(page, sizes);
    Point at(kGap, kGap);
    int lineBottom = at.y();
    for (std::size_t k = 0; k < 3; ++k) {
        const Size size = sizes.itemChecks[k];
        if (at.x() > kGap && at.x() + size.width() > room)
            at = Point(kGap, lineBottom + kGap);
        l.checks[k] = Rect(at, size);
        at.setX(after(l.checks[k]) + 3 * kGap);
        lineBottom = std::max(lineBottom, below(l.checks[k]));
        topBottom = std::max(topBottom, lineBottom);
    }
    const int editTop = topBottom + kGap;
    int left = kGap;
    for (Rect& upper : l.upperEdits) {
        upper = Rect(Point(left, editTop), sizes.rangeEdit);
        left = after(upper) + kGap;
    }
    const int columnsRight = after(l.upperEdits[2]);
    l.graph = graphRect(columnsRight + kGap, editTop,
                        page.width() - columnsRight - sizes.timeUnit.width() - 10,
                        page.height() - editTop - sizes.unitLabel.height() - kGap);
    const int graphBottom = below(l.graph);
    const int underGraph = graphBottom + kGap;

    for (std::size_t k = 0; k < 3; ++k) {
        const Rect& upper = l.upperEdits[k];
        l.lowerEdits[k] =
            Rect(Point(upper.x(), graphBottom - sizes.rangeEdit.height()), sizes.rangeEdit);
        l.unitLabels[k] = Rect(Point(upper.x(), below(l.lowerEdits[k]) + kGap), sizes.unitLabel);
        // The axis runs down the middle of the column, from under the upper edit to the
        // lower one.
        const int axisTop = below(upper) + 2;
        l.axisLines[k] = Rect(upper.x() + upper.width() / 2 - sizes.axisLineWidth / 2, axisTop,
                               sizes.axisLineWidth, std::max(l.lowerEdits[k].y() - axisTop, 0));
        for (std::size_t i = 0; i < 3; ++i)
            l.valueLabels[k][i] =
                centredOnY(upper.x(), quarterLine(l.graph.y(), l.graph.height(), int(i) + 1),
                           sizes.valueLabel);
    }

    l.startEdit = Rect(Point(l.graph.x(), underGraph), sizes.timeEdit);
    l.endEdit = Rect(Point(after(l.graph) - sizes.timeEdit.width(), underGraph), sizes.timeEdit);
    l.timeUnit = Rect(Point(after(l.graph) + kGap, underGraph), sizes.timeUnit);
    for (std::size_t i = 0; i < 3; ++i)
        l.timeLabels[i] = centredOnX(quarterLine(l.graph.x(), l.graph.width(), int(i) + 1),
                                     underGraph, sizes.timeLabel);
    return l;
}

IoPageLayout layoutIoPage(Size page, const IoPageSizes& sizes) {
    IoPageLayout l;
    l.graph = graphRect(120, 50, page.width() - 150, page.height() - 85);
    const int graphBottom = below(l.graph);
    l.startEdit = Rect(Point(l.graph.x(), graphBottom + 5), sizes.timeEdit);
    l.endEdit =
        Rect(Point(after(l.graph) - sizes.timeEdit.width(), graphBottom + 5), sizes.timeEdit);
    l.timeUnit = Rect(Point(after(l.graph) + kGap, graphBottom + kGap), sizes.timeUnit);
    for (std::size_t i = 0; i < 3; ++i)
        l.timeLabels[i] = centredOnX(quarterLine(l.graph.x(), l.graph.width(), int(i) + 1),
                                     graphBottom + kGap, sizes.timeLabel);
    // One band per signal: a sixteenth of the graph's height, as the graph draws it.
    const float band = float(l.graph.height()) * 0.0625f;
    for (std::size_t i = 0; i < l.checks.size(); ++i)
        l.checks[i] =
            Rect(0, l.graph.y() + int(std::floor(float(i) * band)), 115, int(std::floor(band)));
    l.captionRow = rowOf(sizes.captionRow, l.graph.x(), l.graph.y());
    for (Rect& caption : l.captionRow)
        caption.moveTop(l.graph.y() - caption.height());  // standing on the graph's top edge
    return l;
}

}  // namespace kestiva
