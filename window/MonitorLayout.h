#pragma once
// Where the controls of the two monitor pages go for a page of a given size. Plain functions
// of the page size and the controls' own sizes (which the font decides), so that the
// arrangement is tested without widgets and the pages only place what they get.
//
// Both pages put the graph where the page has room and hang everything else on the graph's
// edges; the value and time labels sit on the graph's quarter lines at any size.

#include "window/Geometry.h"

#include <array>

namespace kestiva {

// The graph's quarter lines: graph top (or left) + (length / 4) x 1, 2, 3, the division done
// first, as the grid's labels are placed.
int quarterLine(int start, int length, int quarter);

// A rectangle of `size` whose centre lies on `centre` horizontally or vertically.
Rect centredOnX(int centre, int top, Size size);
Rect centredOnY(int left, int centre, Size size);

// Where the cursor's readout box of `box` size goes in a graph of `area` size for a line at x:
// beside the line to its right, or to its left where the right has no room, a little below
// the top.
Rect readoutBoxRect(Size area, int lineX, Size box);

// ---- The data page ----

// Sizes the data page's controls keep whatever the page's size.
struct DataPageSizes {
    Size check;                      // height of a one-line check box
    std::array<Size, 3> itemChecks;  // each item's check box with its whole (wrapped) name
    Size rangeEdit;                  // each upper and lower range edit
    Size timeEdit;                   // the start and end edits
    Size unitLabel;                  // a unit label under a lower edit
    Size timeUnit;                   // "S" beside the end edit
    Size valueLabel;                 // a value label on the axis line of its column
    Size timeLabel;                  // a time label under the graph
    std::array<Size, 4> captionRow;  // cycle caption, cycle, span caption, span
    int axisLineWidth = 2;
};

struct DataPageLayout {
    std::array<Rect, 3> checks, upperEdits, lowerEdits, unitLabels, axisLines;
    // valueLabels[k][0] is trace k's label at 3/4 of its range (the top one), [1] at 1/2,
    // [2] at 1/4.
    std::array<std::array<Rect, 3>, 3> valueLabels;
    Rect graph, startEdit, endEdit, timeUnit;
    std::array<Rect, 3> timeLabels;  // at 1/4, 1/2, 3/4 of the window
    std::array<Rect, 4> captionRow;
};

// The captions in a row at the top right; the item check boxes at the top left, each as wide
// as its name, a new line begun where the next one does not fit beside the ones before;
// under them the columns of range edit pairs with the axis line between them; the graph to
// the right of the columns, from the upper edits' top to the lower edits' bottom; the time
// edits and labels under it.
DataPageLayout layoutDataPage(Size page, const DataPageSizes& sizes);

// The width the item check boxes share, left of the captions: no check box is wider.
int itemCheckRoom(Size page, const DataPageSizes& sizes);

// ---- The I/O page ----

struct IoPageSizes {
    Size timeEdit;  // at least 40 x 25
    Size timeUnit;
    Size timeLabel;
    std::array<Size, 4> captionRow;
};

struct IoPageLayout {
    Rect graph, startEdit, endEdit, timeUnit;
    std::array<Rect, 3> timeLabels;
    std::array<Rect, 16> checks;  // check box i beside band i of the graph
    std::array<Rect, 4> captionRow;
};

// The graph at (120, 50), 150 pixels narrower and 85 lower than the page; each signal's
// check box on the left beside its band (a sixteenth of the graph's height); the captions in
// a row on the graph's top edge; the time edits and labels under it.
IoPageLayout layoutIoPage(Size page, const IoPageSizes& sizes);

}  // namespace kestiva
