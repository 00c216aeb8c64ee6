// The pages' arrangement where the widget tests do not reach it: a page too small for its
// controls, and where the cursor's readout box goes.

#include "window/MonitorLayout.h"

#include <gtest/gtest.h>

namespace kestiva {
namespace {

TEST(MonitorLayout, PagesTooSmallForTheirControlsGiveAnEmptyGraph) {
    DataPageSizes data;
    data.check = {80, 20};
    data.rangeEdit = data.unitLabel = {80, 24};
    data.timeUnit = {20, 24};
    const IoPageSizes io{{40, 25}, {20, 25}, {70, 25}, {}};
    for (const Size page : {Size(0, 0), Size(100, 50), Size(300, 90)}) {
        const DataPageLayout d = layoutDataPage(page, data);
        EXPECT_GE(d.graph.width(), 0) << page.width();
        EXPECT_GE(d.graph.height(), 0) << page.width();
        EXPECT_GE(d.axisLines[2].height(), 0) << page.width();
        const IoPageLayout i = layoutIoPage(page, io);
        EXPECT_GE(i.graph.width(), 0) << page.width();
        EXPECT_GE(i.checks[15].height(), 0) << page.width();
    }
}

TEST(MonitorLayout, ReadoutBoxBesideTheLineWithinTheGraph) {
    const Size box(100, 40);
    EXPECT_EQ(readoutBoxRect({500, 300}, 50, box), Rect(58, 8, 100, 40));
    EXPECT_EQ(readoutBoxRect({500, 300}, 450, box), Rect(342, 8, 100, 40));  // flipped left
    EXPECT_EQ(readoutBoxRect({80, 300}, 40, box).x(), 0);  // wider than the graph
}

}  // namespace
}  // namespace kestiva
