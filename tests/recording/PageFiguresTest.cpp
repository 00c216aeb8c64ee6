#include "recording/PageFigures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "settings/NumberText.h"
#include "window/GraphGeometry.h"

namespace kestiva {
namespace {

using enum EntryOutcome;
using Labels = std::array<std::string, 3>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

DataItem item(int32_t typeCode, double scale, const char* scaleText) {
    DataItem d;
    d.name = "item";
    d.enabled = 1;
    d.typeCode = typeCode;
    d.scale = scale;
    d.scaleText = scaleText;
    return d;
}

TEST(PageFigures, TypesDecideHowWordsReadAndWhatTheEditsAllow) {
    struct Case {
        int32_t type;
        int32_t raw;
        double plotted, lowerLimit, upperLimit;  // at a scale of 0.5
    };
    const Case cases[] = {
        {kTypeDword, -1, -0.5, -1073741824.0, 1073741823.5},
        {kTypeUdword, -1, 2147483647.5, 0.0, 2147483647.5},
        {kTypeUword, -2, 2147483647.0, 0.0, 32767.5},  // the whole word, not 16 bits of it
        {kTypeUlsb, 300, 150.0, 0.0, 127.5},
        {kTypeMsb, -128, -64.0, -64.0, 63.5},
        {99, 4, 2.0, -1073741824.0, 1073741823.5},  // unknown: the disabled item's DWORD
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(plottedValue(item(c.type, 0.5, "0.5"), c.raw), c.plotted) << c.type;
        EXPECT_DOUBLE_EQ(rangeEditLimits(c.type, 0.5).lower, c.lowerLimit) << c.type;
        EXPECT_DOUBLE_EQ(rangeEditLimits(c.type, 0.5).upper, c.upperLimit) << c.type;
    }
    const std::pair<const char*, int> decimals[] = {{"0.010", 2}, {"0.5", 1}, {"10.0", 0},
                                                    {"1", 0},     {"1.", 0},  {"", 0}};
    for (const auto& [text, expected] : decimals)
        EXPECT_EQ(scaleDecimals(text), expected) << text;
}

TEST(PageFigures, DataLoadWidensTheExtremesByOneScaleUnit) {
    auto page = std::make_unique<PageRecording>(kDataMonitor);
    page->active.items[0] = item(kTypeUword, 0.010, "0.010");
    page->active.items[1] = item(kTypeUdword, 1.0, "1");
    page->endMarker = EndMarker::CutShort;
    page->cycle = 10;
    page->sampleCount = 1001;
    for (uint32_t j = 0; j < 1001; ++j) {
        page->dataValue(j, 0) = 700;
        page->dataValue(j, 1) = j == 500 ? -1 : int32_t(j);
    }
    const DataPageFigures figures = dataPageFigures(*page);
    // All values equal still give a drawable range, two scale units high.
    const ItemFigures& flat = figures.items[0];
    EXPECT_DOUBLE_EQ(flat.bounds.lower, 6.99);
    EXPECT_DOUBLE_EQ(flat.bounds.upper, 7.01);
    EXPECT_EQ(flat.decimals, 2);
    EXPECT_EQ(flat.valueLabels, (Labels{"7.00", "7.00", "6.99"}));
    EXPECT_DOUBLE_EQ(figures.items[1].bounds.upper, 4294967296.0);  // -1 read unsigned
    EXPECT_DOUBLE_EQ(figures.items[2].scale, 1.0);
    EXPECT_EQ(figures.items[2].valueLabels, (Labels{"---", "---", "---"}));
    // A stopped recording of 1,001 samples at 10 ms covers 10.0 s.
    EXPECT_EQ(figures.spanText, "10.0");
    EXPECT_EQ(figures.timeLabels, (Labels{"2.50", "5.00", "7.50"}));
    EXPECT_DOUBLE_EQ(figures.window.applied.last, 1000.0);
}

TEST(PageFigures, SpanIsTheConfiguredTimeOrTheSamplesCutToATenth) {
    struct Case {
        int32_t marker;  // as the end marker is numbered
        uint32_t time, cycle, samples;
        const char* text;
    };
    // 7 x 30 ms and 7 x 80 ms are cut down to 0.2 and 0.5 s, not rounded.
    const Case cases[] = {{1, 60, 10, 1001, "10.0"}, {0, 60, 10, 5, "60.0"},
                          {2, 0, 30, 8, "0.2"},      {1, 60, 80, 8, "0.5"},
                          {1, 10, 100, 0, "0.0"},    {2, 0, 65535, 150001, "9830250.0"}};
    for (const Case& c : cases)
        EXPECT_EQ(spanText(samplingSpan(EndMarker(c.marker), c.time, c.cycle, c.samples)), c.text)
            << c.samples << " at " << c.cycle;
}

TEST(PageFigures, LabelsCutTheirLastDigit) {
    // 1.2349 prints as 1.235 before the cut.
    const std::pair<double, const char*> cases[] = {
        {1.2361, "1.23"}, {1.2349, "1.23"}, {-0.0004, "-0.00"}, {1e6, "1000000.00"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(labelText(value), text) << value;
    EXPECT_EQ(spanText(0.29), "0.2");
    EXPECT_EQ(valueLabels({-1.0, 3.0}), (Labels{"2.00", "1.00", "0.00"}));
    EXPECT_EQ(timeLabels({1.0, 2.0}), (Labels{"1.25", "1.50", "1.75"}));
}

TEST(PageFigures, CommittedRangesInOrder) {
    struct Step {
        RangeEdit edit;
        double value;
        EntryOutcome outcome;
        double lower, upper;  // applied, and so shown, afterwards
    };
    // Equal bounds hide the traces; a refused number typed again is refused again.
    const Step steps[] = {
        {RangeEdit::Upper, 20.0, Accepted, 0.0, 20.0},
        {RangeEdit::Upper, 20.0, Unchanged, 0.0, 20.0},
        {RangeEdit::Lower, 20.0, AcceptedHidden, 20.0, 20.0},
        {RangeEdit::Lower, 30.0, Rejected, 20.0, 20.0},
        {RangeEdit::Lower, 30.0, Rejected, 20.0, 20.0},
        {RangeEdit::Lower, 5.0, Accepted, 5.0, 20.0},
        {RangeEdit::Upper, kNaN, Rejected, 5.0, 20.0},
    };
    RangeEntry range{{0.0, 10.0}, {0.0, 10.0}};
    for (const Step& s : steps) {
        EXPECT_EQ(commitRange(range, s.edit, s.value), s.outcome) << s.value;
        EXPECT_DOUBLE_EQ(range.applied.lower, s.lower);
        EXPECT_DOUBLE_EQ(range.applied.upper, s.upper);
    }
}

TEST(PageFigures, CommittedTimeWindowsInOrder) {
    struct Step {
        WindowEdit edit;
        double seconds;
        EntryOutcome outcome;
        double start, end;  // what the edits show afterwards
    };
    // At 200 ms 0.1 s lies inside the first cycle and is refused; 2.1 s is still sample 10;
    // equal non-zero ends hide the traces; 0 to 0 is refused.
    const Step steps[] = {
        {WindowEdit::Start, 0.1, Rejected, 0.0, 10.0},
        {WindowEdit::Start, 0.1, Rejected, 0.0, 10.0},
        {WindowEdit::Start, 2.0, Accepted, 2.0, 10.0},
        {WindowEdit::Start, 2.1, Unchanged, 2.0, 10.0},
        {WindowEdit::End, 2.0, AcceptedHidden, 2.0, 2.0},
        {WindowEdit::End, 1.0, Rejected, 2.0, 2.0},
        {WindowEdit::Start, 0.0, Accepted, 0.0, 2.0},
        {WindowEdit::End, 0.0, Rejected, 0.0, 2.0},
    };
    WindowEntry window = wholeRecordingWindow(51);
    for (const Step& s : steps) {
        EXPECT_EQ(commitWindowEdit(window, s.edit, s.seconds, 200, 51), s.outcome) << s.seconds;
        EXPECT_DOUBLE_EQ(appliedSeconds(window, 200).start, s.start);
        EXPECT_DOUBLE_EQ(appliedSeconds(window, 200).end, s.end);
    }
    WindowEntry fine = wholeRecordingWindow(101);  // at 100 ms 0.1 s is sample 1
    EXPECT_EQ(commitWindowEdit(fine, WindowEdit::Start, 0.1, 100, 101), Accepted);
}

TEST(PageFigures, SecondsToSampleIndices) {
    EXPECT_EQ(secondsToIndex(0.3, 10), 30u);
    EXPECT_EQ(secondsToIndex(4294967.5, 4), 51u);  // the low 32 bits of 4294967500 ms: 204
    EXPECT_EQ(secondsToIndex(-0.001, 1), 0xFFFFFFFFu);
    EXPECT_EQ(secondsToIndex(kNaN, 10), 0u);
    EXPECT_EQ(secondsToIndex(5.0, 0), 0u);
    // The graph never reads past the last sample, whatever window was accepted.
    EXPECT_EQ(graphWindow({10.0, 500.0}, 101).last, 100u);
    EXPECT_EQ(graphWindow({10.0, 50.0}, 101).last, 50u);
    EXPECT_EQ(graphWindow({4294967296.0, 4294967296.0}, 0).first, 0xFFFFFFFFu);
}

TEST(PageFigures, IoLoadWithOnlySignalsZeroAndFive) {
    auto page = std::make_unique<PageRecording>(kIoMonitor);
    page->active.items[0] = {.name = "RUN", .enabled = 1};
    page->active.items[5] = {.name = "ALM", .enabled = 1};
    page->time = 10;
    page->cycle = 100;
    page->sampleCount = 101;
    for (uint32_t i = 0; i < 101; ++i)
        page->ioBit(i, 5) = uint8_t(i % 2);
    const IoPageFigures figures = ioPageFigures(*page);
    for (int s = 0; s < kIoSignalCount; ++s)
        EXPECT_EQ(figures.ioSignals[std::size_t(s)].enabled, s == 0 || s == 5) << s;
    EXPECT_EQ(figures.ioSignals[5].name, "ALM");
    EXPECT_DOUBLE_EQ(figures.ioSignals[5].bits.upper, 1.0);
    EXPECT_EQ(figures.spanText, "10.0");
    // Each signal stays within its own band of 8 of the 128 units.
    const std::array<uint32_t, 4> levels = {ioLevel(0, 0), ioLevel(0, 1), ioLevel(5, 0),
                                            ioLevel(5, 1)};
    EXPECT_EQ(levels, (std::array<uint32_t, 4>{121, 127, 81, 87}));
}

// The sample a picture shows at x, read off every painted x (sorted): a step starting at or
// left of x, or a line's nearest vertex (the left one on a tie), the first of its column.
uint32_t shownSample(const std::vector<int>& painted, TraceStyle style, int x) {
    int column = painted.front();
    for (const int px : painted) {
        if (style == TraceStyle::Steps ? px <= x : std::abs(px - x) < std::abs(column - x))
            column = px;
    }
    return uint32_t(std::find(painted.begin(), painted.end(), column) - painted.begin());
}

// Against the graph painting's own vertices: every sample sits where it is painted, and every
// x finds the sample the picture shows there.
TEST(PageFigures, PixelsAndSamplesMatchThePaintedGraph) {
    for (const GraphWindow w : {GraphWindow{0, 1}, GraphWindow{3, 10}, GraphWindow{0, 999},
                                GraphWindow{5, 4000}, GraphWindow{0, 150000}}) {
        const std::vector<double> values(w.last + 1, 1.0);
        const std::vector<uint32_t> levels(w.last + 1, 121);
        for (const int width : {1, 7, 100, 645, 1000}) {
            const Size plot(width, 100);
            std::vector<int> lineXs, stepXs;
            for (const Point& p : multiTracePoints(values, w.first, w.last, 0.0, 2.0, plot))
                lineXs.push_back(p.x());
            const auto steps = ioTracePoints(levels, w.first, w.last, 0.0, 128.0, plot);
            for (std::size_t k = 0; k < steps.size(); k += 2)
                stepXs.push_back(steps[k].x());
            const bool large = w.last - w.first > 5000;  // spot checks only
            for (const TraceStyle style : {TraceStyle::Line, TraceStyle::Steps}) {
                const auto& painted = style == TraceStyle::Line ? lineXs : stepXs;
                const uint32_t stride = large ? 997 : 1;
                for (uint32_t k = 0; k < painted.size(); k += stride)
                    EXPECT_EQ(sampleToPixel(style, w, width, w.first + k), painted[k]) << k;
                EXPECT_EQ(sampleToPixel(style, w, width, w.last), painted.back());
                for (int x = -2; x <= width + 2; x += large ? 97 : 1)
                    EXPECT_EQ(pixelToSample(style, w, width, x),
                              w.first + shownSample(painted, style, x))
                        << x << " of " << width;
            }
        }
    }
    EXPECT_EQ(sampleToPixel(TraceStyle::Line, {4, 4}, 100, 4), std::nullopt);  // nothing drawn
    EXPECT_EQ(sampleToPixel(TraceStyle::Steps, {4, 4}, 100, 5), std::nullopt);
}

TEST(PageFigures, ZoomKeepsTheCursorsTimeAndClamps) {
    struct Case {
        double cursor, factor;
        TimeWindow expected;
    };
    // From [2, 6] of 10 s at 10 ms: the cursor keeps its share of the window, the result stays
    // within the span and at least one cycle wide, and a useless factor changes nothing.
    const Case cases[] = {{3.0, 0.5, {2.5, 4.5}},  {3.0, 2.0, {1.0, 9.0}},
                          {3.0, 4.0, {0.0, 10.0}}, {4.0, 0.001, {3.995, 4.005}},
                          {3.0, kNaN, {2.0, 6.0}}, {3.0, -1.0, {2.0, 6.0}}};
    for (const Case& c : cases) {
        const TimeWindow zoomed = zoomWindow({2.0, 6.0}, 10.0, 10, c.cursor, c.factor);
        EXPECT_NEAR(zoomed.start, c.expected.start, 1e-12) << c.factor;
        EXPECT_NEAR(zoomed.end, c.expected.end, 1e-12) << c.factor;
    }
    const std::pair<double, TimeWindow> pans[] = {
        {3.0, {5.0, 7.0}}, {10.0, {8.0, 10.0}}, {-10.0, {0.0, 2.0}}, {kNaN, {2.0, 4.0}}};
    for (const auto& [delta, expected] : pans) {
        EXPECT_DOUBLE_EQ(panWindow({2.0, 4.0}, 10.0, delta).start, expected.start) << delta;
        EXPECT_DOUBLE_EQ(panWindow({2.0, 4.0}, 10.0, delta).end, expected.end) << delta;
    }
    // A pan past the old end is decided as one window, not refused for its start alone.
    WindowEntry window{{100.0, 200.0}, {100.0, 200.0}};
    EXPECT_EQ(commitWindow(window, panWindow({1.0, 2.0}, 10.0, 2.0), 10, 1001), Accepted);
    EXPECT_DOUBLE_EQ(window.applied.first, 300.0);
    EXPECT_EQ(commitWindow(window, {3.0, 4.0}, 10, 1001), Unchanged);
}

TEST(PageFigures, CursorReadoutOfEachShownTrace) {
    EXPECT_EQ(sampleTimeText(1234, 10), "12.340");
    EXPECT_EQ(sampleTimeText(3, 7), "0.021");
    EXPECT_EQ(sampleTimeText(150000, 65535), "9830250.000");

    auto data = std::make_unique<PageRecording>(kDataMonitor);
    data->active.items[0] = item(kTypeUword, 0.010, "0.010");
    data->active.items[0].unit = "A";
    data->active.items[2] = item(kTypeDword, 1.0, "1");
    data->sampleCount = 3;
    data->dataValue(1, 0) = 700;  // 7.000000000000001 in binary
    data->dataValue(1, 2) = -5;
    struct Case {
        uint32_t index, shown;
        std::vector<std::pair<int, std::string>> values;
    };
    // Item 1 is disabled and never shown; a hidden trace or a sample past the count has none.
    const Case cases[] = {{1, 0b111, {{0, "7.00"}, {2, "-5"}}},
                          {1, 0b100, {{2, "-5"}}},
                          {3, 0b111, {}},
                          {0xFFFFFFFF, 0b111, {}}};
    for (const Case& c : cases) {
        std::vector<std::pair<int, std::string>> values;
        for (const ReadoutLine& line : dataReadout(*data, c.index, c.shown))
            values.emplace_back(line.trace, line.value);
        EXPECT_EQ(values, c.values) << c.index << " " << c.shown;
    }
    EXPECT_EQ(dataReadout(*data, 1, 1)[0].unit, "A");

    auto io = std::make_unique<PageRecording>(kIoMonitor);
    io->active.items[0] = {.name = "RUN", .enabled = 1};
    io->active.items[5] = {.name = "ALM", .enabled = 1};
    io->sampleCount = 2;
    io->ioBit(1, 5) = 1;
    const std::vector<ReadoutLine> states = ioReadout(*io, 1, 0xFFFF);
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0].name + "=" + states[0].value, "RUN=0");
    EXPECT_EQ(states[1].name + "=" + states[1].value, "ALM=1");
    EXPECT_TRUE(ioReadout(*io, 2, 0xFFFF).empty());
}

}  // namespace
}  // namespace kestiva
