#pragma once
// The control ids of the monitor pages' controls. Windows shows no object names, so tools that
// work the window from outside find a page's controls by these ids, which stay as they are:
//
//   id = page base + 32 x kind + index        page base: data page 1000, I/O page 2000
//
//   kind (PageControlKind)     data page ids          I/O page ids
//   1  start time edit         1032                   2032
//   2  end time edit           1064                   2064
//   3  time unit label         1096                   2096
//   4  time labels 1/4..3/4    1128-1130              2128-2130
//   5  cycle caption           1160                   2160
//   6  cycle label             1192                   2192
//   7  span caption            1224                   2224
//   8  span label              1256                   2256
//   9  item check boxes        1288-1290
//   10 upper range edits       1320-1322
//   11 lower range edits       1352-1354
//   12 unit labels             1384-1386
//   13 value labels            1416-1424 (item x 3 + 0, 1, 2 at 3/4, 1/2, 1/4 of the range)
//   14 signal check boxes                             2448-2463
//
// The graphs keep the ids they always had (430 data, 431 I/O); the measurement panel's
// "Copy measurements" button is page base + 900, its times label + 901, its table + 902; the
// data page's axis lines + 950 + item.

#include "settings/SamplingConfig.h"
#include "window/PageControls.h"

namespace kestiva {

constexpr int kPageControlStride = 32;
constexpr int kPanelIdOffset = 900;
constexpr int kAxisLineIdOffset = 950;

constexpr int pageIdBase(MonitorKind monitor) {
    return monitor == kDataMonitor ? 1000 : 2000;
}

constexpr int pageControlId(MonitorKind monitor, PageControl control) {
    return pageIdBase(monitor) + kPageControlStride * int(control.kind) + control.index;
}

// The control an id names on the page of `monitor`; false for an id of no page control.
constexpr bool pageControlOf(MonitorKind monitor, int id, PageControl& control) {
    const int offset = id - pageIdBase(monitor);
    if (offset < kPageControlStride || offset >= kPageControlStride * 15)
        return false;
    control = {PageControlKind(offset / kPageControlStride), offset % kPageControlStride};
    return true;
}

}  // namespace kestiva
