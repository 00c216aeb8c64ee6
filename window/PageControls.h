#pragma once
// The controls of the monitor pages, as their models name them to a front end: a kind and,
// for the controls a page has several of, which one. controlName gives the object name every
// front end gives the control.

#include <string>

namespace kestiva {

enum class PageControlKind {
    Graph,
    StartEdit,
    EndEdit,
    TimeUnitLabel,
    TimeLabel,  // index 0, 1, 2: at 1/4, 1/2, 3/4 of the window
    CycleCaption,
    CycleLabel,
    SpanCaption,
    SpanLabel,
    ItemCheck,   // the data page's, index = item
    UpperEdit,   // index = item
    LowerEdit,   // index = item
    UnitLabel,   // index = item
    ValueLabel,  // index = item * 3 + i, i = 0, 1, 2 at 3/4, 1/2, 1/4 of the item's range
    SignalCheck,  // the I/O page's, index = signal
};

struct PageControl {
    PageControlKind kind = PageControlKind::Graph;
    int index = 0;
    bool operator==(const PageControl&) const = default;
};

// "startTimeEdit", "item2UpperEdit", "signal15Check", ...; the graph is named by its page.
std::string controlName(PageControl control);

}  // namespace kestiva
