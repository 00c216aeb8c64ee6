// The pages' arrangement as plain functions: what holds at any page size, down to a page too
// small for its controls, and where the cursor's readout box goes.

#include "views/GraphCursor.h"
#include "views/MonitorLayout.h"

#include <gtest/gtest.h>

namespace kestiva {
namespace {

DataPageSizes dataSizes() {
    DataPageSizes s;
    s.check = {80, 20};
    s.rangeEdit = {80, 24};
    s.timeEdit = {60, 24};
    s.unitLabel = {80, 24};
    s.timeUnit = {20, 24};
    s.valueLabel = {80, 15};
    s.timeLabel = {70, 24};
    s.captionRow = {QSize(120, 20), QSize(50, 20), QSize(110, 20), QSize(70, 20)};
    return s;
}

TEST(MonitorLayout, DataPageHangsEverythingOnTheGraph) {
    for (const QSize page : {QSize(1009, 597), QSize(645, 357), QSize(40, 30)}) {
        const DataPageLayout l = layoutDataPage(page, dataSizes());
        EXPECT_GE(l.graph.width(), 0);
        EXPECT_GE(l.graph.height(), 0);
        EXPECT_GE(l.axisLines[0].height(), 0);
        if (page.width() < 400)
            continue;  // too small for the rest to mean anything
        EXPECT_EQ(l.graph.topLeft(), QPoint(l.upperEdits[2].right() + 5, l.upperEdits[2].y()));
        EXPECT_EQ(l.timeUnit.right(), page.width() - 3);
        EXPECT_EQ(l.startEdit.bottom(), page.height() - 1);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(l.lowerEdits[k].bottom(), l.graph.bottom());
            EXPECT_EQ(l.checks[k].x(), l.upperEdits[k].x());
            EXPECT_EQ(l.axisLines[k].top(), l.upperEdits[k].bottom() + 3);
            EXPECT_EQ(l.axisLines[k].bottom(), l.lowerEdits[k].top() - 1);
            // The value at 3/4 of the range on the first quarter line from the top.
            const QRect& top = l.valueLabels[k][0];
            EXPECT_EQ(top.y() + top.height() / 2, l.graph.y() + l.graph.height() / 4);
        }
        EXPECT_EQ(l.captionRow[0].x(), l.checks[2].right() + 5);
        EXPECT_EQ(l.captionRow[3].x(), l.captionRow[2].right() + 5);
    }
}

TEST(MonitorLayout, IoPageGivesEachSignalItsBand) {
    const IoPageSizes sizes{{40, 25}, {20, 25}, {70, 25}, {}};
    const IoPageLayout l = layoutIoPage({1009, 597}, sizes);
    EXPECT_EQ(l.graph, QRect(120, 50, 859, 512));
    EXPECT_EQ(l.checks[0], QRect(0, 50, 115, 32));
    EXPECT_EQ(l.checks[15], QRect(0, 530, 115, 32));
    EXPECT_EQ(l.endEdit, QRect(939, 567, 40, 25));
    EXPECT_EQ(l.timeLabels[1].x() + l.timeLabels[1].width() / 2, 120 + 859 / 4 * 2);
    EXPECT_EQ(layoutIoPage({100, 50}, sizes).graph.size(), QSize(0, 0));
}

TEST(MonitorLayout, ReadoutBoxBesideTheLineWithinTheGraph) {
    const QSize box(100, 40);
    EXPECT_EQ(readoutBoxRect({500, 300}, 50, box), QRect(58, 8, 100, 40));
    EXPECT_EQ(readoutBoxRect({500, 300}, 450, box), QRect(342, 8, 100, 40));  // flipped left
    EXPECT_EQ(readoutBoxRect({80, 300}, 40, box).x(), 0);  // wider than the graph
}

}  // namespace
}  // namespace kestiva
