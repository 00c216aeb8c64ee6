// plot's frame as laid out for every system: where the graph goes, where each text, tick and
// swatch goes around it, and the picture the marks are drawn over. A font of fixed-width
// characters stands in for the system's.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/cli/PlotFrame.h"

namespace kestiva::cli {
namespace {

class FixedFont : public FrameFont {
public:
    int lineHeight() const override { return 14; }
    int textWidth(const std::string& text) const override { return 7 * int(text.size()); }
};

PlotFrameContent dataContent() {
    PlotFrameContent content;
    content.title = "data.csv    data monitor    start 20261207 11:00    cycle 10 ms";
    content.timeLabels = {"0.00", "0.25", "0.50", "0.75", "1.00 s"};
    content.valueAxes = {{"mm", 0x00FFFF, {"40.10", "22.55", "5.00", "-12.55", "-30.10"}},
                         {"A", 0xFFFF00, {"51.00", "25.50", "0.00", "-25.50", "-51.00"}}};
    content.legend = {{"Ramp [mm]", 0x00FFFF}, {"Square [A]", 0xFFFF00}};
    content.background = 0x000000;
    content.grid = 0x404040;
    return content;
}

PlotFrameContent ioContent() {
    PlotFrameContent content;
    content.title = "io.csv    I/O monitor";
    content.timeLabels = {"0.0", "2.5", "5.0", "7.5", "10.0 s"};
    content.lanes = {{"Fast", 0x00FFFF, 0.1}, {"Slow signal", 0xFF00FF, 0.9}};
    content.background = 0xFFFFFF;
    return content;
}

bool overlaps(const Rect& a, const Rect& b) {
    return a.x() <= b.right() && b.x() <= a.right() && a.y() <= b.bottom() && b.y() <= a.bottom();
}

TEST(PlotFrame, EveryMarkLiesInThePictureAroundTheGraphWithoutOverlaps) {
    const FixedFont font;
    for (const bool io : {false, true}) {
        SCOPED_TRACE(io ? "I/O" : "data");
        const PlotFrameContent content = io ? ioContent() : dataContent();
        const Size picture(900, 500);
        const Rect area = plotGraphArea(content, picture, font);
        ASSERT_FALSE(area.isEmpty());
        // The widest column of labels (7 characters of 7 px, and a 6 px gap) or the lane names.
        EXPECT_EQ(area.x(), io ? 6 + 77 + 6 : 6 + 42 + 6 + 42 + 6);
        EXPECT_EQ(area.y(), 6 + 14 + 6 + 14);
        EXPECT_EQ(picture.width() - 1 - area.right(), 6 * 7 / 2 + 6);  // half the last label
        EXPECT_EQ(picture.height() - 1 - area.bottom(), 4 + 14 + 6 + (io ? 0 : 14 + 6));

        const std::vector<FrameMark> marks = plotFrameMarks(content, area, picture, font);
        const Rect whole(Point(0, 0), picture);
        std::vector<Rect> texts;
        std::vector<int> ticks;
        for (const FrameMark& mark : marks) {
            SCOPED_TRACE(mark.text);
            EXPECT_TRUE(whole.contains(mark.box.topLeft()));
            EXPECT_TRUE(whole.contains(Point(mark.box.right(), mark.box.bottom())));
            EXPECT_FALSE(overlaps(mark.box, area));
            if (mark.kind == FrameMark::Kind::Text) {
                EXPECT_GE(mark.box.width(), font.textWidth(mark.text));
                for (const Rect& other : texts)
                    EXPECT_FALSE(overlaps(mark.box, other));
                texts.push_back(mark.box);
            } else if (mark.box.width() == 1) {
                ticks.push_back(mark.box.x());
                EXPECT_EQ(mark.box.y(), area.bottom() + 1);
            }
        }
        EXPECT_EQ(marks.front().text, content.title);
        const int w = area.width();
        EXPECT_EQ(ticks, (std::vector<int>{area.x(), area.x() + w / 4, area.x() + w / 2,
                                           area.x() + 3 * w / 4, area.right()}));
    }
}

TEST(PlotFrame, TheValueLabelsSitAtTheGridsMajorLinesAndTheLegendFollowsItsOrder) {
    const FixedFont font;
    const PlotFrameContent content = dataContent();
    const Size picture(800, 415);
    const Rect area = plotGraphArea(content, picture, font);
    const std::vector<FrameMark> marks = plotFrameMarks(content, area, picture, font);
    std::vector<const FrameMark*> inner, legend;
    for (const FrameMark& mark : marks) {
        if (mark.kind == FrameMark::Kind::Text && mark.color == 0x00FFFF &&
            mark.box.right() == area.x() - 6 - 1 && !mark.atBottom)
            inner.push_back(&mark);
        if (mark.box.y() > area.bottom() + 4 + 14)
            legend.push_back(&mark);
    }
    // The first axis is nearest the graph: upper bound at the top edge, then each quarter.
    ASSERT_EQ(inner.size(), 5u);
    const int h = area.height();
    for (int j = 0; j < 5; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(inner[std::size_t(j)]->text, content.valueAxes[0].labels[std::size_t(j)]);
        EXPECT_EQ(inner[std::size_t(j)]->align, FrameMark::Align::Right);
        const int middle = area.y() + (h - 1) * j / 4;
        const Rect box = inner[std::size_t(j)]->box;
        EXPECT_TRUE(box.y() == area.y() || box.bottom() == area.bottom() || box.y() == middle - 7);
    }
    // A swatch and a name for each entry, left to right, in the entry's colour.
    ASSERT_EQ(legend.size(), 4u);
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(legend[2 * k]->kind, FrameMark::Kind::Fill);
        EXPECT_EQ(legend[2 * k + 1]->text, content.legend[k].name);
        EXPECT_EQ(legend[2 * k]->color, content.legend[k].color);
        EXPECT_EQ(legend[2 * k + 1]->color, content.legend[k].color);
        EXPECT_LT(legend[2 * k]->box.right(), legend[2 * k + 1]->box.x());
    }
    EXPECT_EQ(legend[0]->box.x(), area.x());
}

TEST(PlotFrame, APictureTooSmallForTheTextsLeavesNoGraph) {
    const FixedFont font;
    for (const Size picture : {Size(100, 500), Size(900, 60), Size(0, 0)})
        EXPECT_TRUE(plotGraphArea(dataContent(), picture, font).isEmpty())
            << picture.width() << "x" << picture.height();
}

TEST(PlotFrame, TheCanvasIsTheBackgroundWithTheGraphAtItsPlaceCutToThePicture) {
    PlotFrameContent content = dataContent();
    content.background = 0x102030;
    PixelBuffer graph;
    graph.resize(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            graph.view().row(y)[x] = 0xFF000000u | uint32_t(10 * y + x);
    const struct {
        Rect area;
        int copiedColumns, copiedRows;
    } cases[] = {{Rect(2, 1, 4, 3), 4, 3}, {Rect(7, 3, 4, 3), 3, 2}, {Rect(9, 4, 4, 3), 1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.area.x());
        const PixelBuffer canvas = plotCanvas(graph, content, c.area, Size(10, 5));
        ASSERT_EQ(canvas.width(), 10);
        ASSERT_EQ(canvas.height(), 5);
        int copied = 0;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 10; ++x) {
                const int gx = x - c.area.x(), gy = y - c.area.y();
                if (gx >= 0 && gx < 4 && gy >= 0 && gy < 3) {
                    EXPECT_EQ(canvas.at(x, y), graph.at(gx, gy)) << x << "," << y;
                    ++copied;
                } else {
                    EXPECT_EQ(canvas.at(x, y), pixelOf(0x102030)) << x << "," << y;
                }
            }
        EXPECT_EQ(copied, c.copiedColumns * c.copiedRows);
    }
}

TEST(PlotFrame, TextIsDarkOnLightBackgroundsAndLightOnDarkOnes) {
    const struct {
        Color background, text;
    } cases[] = {{0x000000, 0xE0E0E0}, {0xFFFFFF, 0}, {0x301810, 0xE0E0E0},
                 {0xECECEC, 0},        {0x00FF00, 0}, {0xFF0000, 0xE0E0E0}};
    for (const auto& c : cases)
        EXPECT_EQ(frameTextColor(c.background), c.text) << std::hex << c.background;
}

}  // namespace
}  // namespace kestiva::cli
