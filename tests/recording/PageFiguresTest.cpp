#include "recording/PageFigures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "settings/NumberText.h"
#include "views/GraphGeometry.h"

namespace kestiva {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

DataItem item(const char* name, int32_t typeCode, double scale, const char* scaleText) {
    DataItem d;
    d.name = name;
    d.enabled = 1;
    d.typeCode = typeCode;
    d.typeName = dataTypeName(typeCode);
    d.scale = scale;
    d.scaleText = scaleText;
    d.unit = "mm";
    return d;
}

TEST(PageFigures, RangeEditLimitsAreTheTypeTimesTheScale) {
    struct Case {
        int32_t type;
        double scale, lower, upper;
    };
    const Case cases[] = {
        {kTypeDword, 1.0, -2147483648.0, 2147483647.0}, {kTypeUdword, 0.5, 0.0, 2147483647.5},
        {kTypeWord, 0.1, -3276.8, 3276.7},              {kTypeUword, 2.0, 0.0, 131070.0},
        {kTypeMsb, 1.0, -128.0, 127.0},                 {kTypeUlsb, 10.0, 0.0, 2550.0},
        {99, 1.0, -2147483648.0, 2147483647.0},  // unknown: the disabled item's DWORD
    };
    for (const Case& c : cases) {
        const ValueRange limits = rangeEditLimits(c.type, c.scale);
        EXPECT_DOUBLE_EQ(limits.lower, c.lower) << c.type;
        EXPECT_DOUBLE_EQ(limits.upper, c.upper) << c.type;
    }
}

TEST(PageFigures, PlottedValuesReadTheWholeWord) {
    struct Case {
        int32_t type;
        int32_t raw;
        double expected;
    };
    const Case cases[] = {
        {kTypeUdword, -1, 4294967295.0 * 0.5}, {kTypeDword, -1, -0.5},
        {kTypeUlsb, 300, 150.0},  // not narrowed to a byte
        {kTypeMsb, -128, -64.0},               {kTypeUword, -2, 4294967294.0 * 0.5},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(plottedValue(item("x", c.type, 0.5, "0.5"), c.raw), c.expected) << c.type;
}

TEST(PageFigures, ScaleDecimals) {
    const std::pair<const char*, int> cases[] = {
        {"0.010", 2}, {"0.5", 1}, {"10.0", 0}, {"1", 0}, {"1.", 0}, {".25", 2}, {"0.000", 0}, {"", 0},
    };
    for (const auto& [text, decimals] : cases)
        EXPECT_EQ(scaleDecimals(text), decimals) << text;
}

TEST(PageFigures, DataLoadWidensTheExtremesByOneScaleUnit) {
    auto page = std::make_unique<PageRecording>(kDataMonitor);
    page->active.items[0] = item("Flat", kTypeUword, 0.010, "0.010");
    page->active.items[1] = item("Wide", kTypeUdword, 1.0, "1");
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
    EXPECT_DOUBLE_EQ(flat.editLimits.upper, 655.35);
    EXPECT_EQ(flat.valueLabels, (std::array<std::string, 3>{"7.00", "7.00", "6.99"}));
    // -1 of an unsigned type is its largest value.
    EXPECT_DOUBLE_EQ(figures.items[1].bounds.lower, -1.0);
    EXPECT_DOUBLE_EQ(figures.items[1].bounds.upper, 4294967296.0);

    const ItemFigures& disabled = figures.items[2];
    EXPECT_FALSE(disabled.enabled);
    EXPECT_TRUE(disabled.name.empty());
    EXPECT_DOUBLE_EQ(disabled.scale, 1.0);
    EXPECT_EQ(disabled.valueLabels, (std::array<std::string, 3>{"---", "---", "---"}));

    // A stopped recording of 1,001 samples at 10 ms covers 10.0 s.
    EXPECT_DOUBLE_EQ(figures.span, 10.0);
    EXPECT_EQ(figures.spanText, "10.0");
    EXPECT_EQ(figures.cycleText, "10");
    EXPECT_EQ(figures.timeLabels, (std::array<std::string, 3>{"2.50", "5.00", "7.50"}));
    EXPECT_DOUBLE_EQ(figures.window.applied.last, 1000.0);
}

TEST(PageFigures, SpanOfCompleteAndCutShortRecordings) {
    struct Case {
        int32_t marker;  // as the end marker is numbered
        uint32_t time, cycle, samples;
        double span;
        const char* text;
    };
    const Case cases[] = {
        {1, 60, 10, 1001, 10.0, "10.0"},  {0, 60, 10, 1001, 60.0, "60.0"},
        {0, 60, 10, 5, 60.0, "60.0"},     {2, 0, 30, 8, 0.2, "0.2"},  // 0.21 s cut down
        {1, 10, 100, 2, 0.1, "0.1"},      {1, 10, 100, 0, 0.0, "0.0"},
        {2, 0, 65535, 150001, 9830250.0, "9830250.0"},
    };
    for (const Case& c : cases) {
        const double span = samplingSpan(EndMarker(c.marker), c.time, c.cycle, c.samples);
        EXPECT_DOUBLE_EQ(span, c.span) << c.samples << " at " << c.cycle;
        EXPECT_EQ(spanText(span), c.text);
    }
}

TEST(PageFigures, LabelsCutTheirLastDigit) {
    const std::pair<double, const char*> cases[] = {
        {1.2361, "1.23"}, {1.2349, "1.23"},  // "1.235": printf rounds, the label then cuts
        {-0.0004, "-0.00"}, {1e6, "1000000.00"}, {0.0, "0.00"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(labelText(value), text) << value;
    EXPECT_EQ(spanText(0.29), "0.2");
    EXPECT_EQ(valueLabels({-1.0, 3.0}), (std::array<std::string, 3>{"2.00", "1.00", "0.00"}));
    EXPECT_EQ(timeLabels({1.0, 2.0}), (std::array<std::string, 3>{"1.25", "1.50", "1.75"}));
}

TEST(PageFigures, CommittedRangesInOrder) {
    struct Step {
        RangeEdit edit;
        double value;
        EntryOutcome outcome;
        double lower, upper;  // applied afterwards
    };
    using enum EntryOutcome;
    const Step steps[] = {
        {RangeEdit::Upper, 20.0, Accepted, 0.0, 20.0},
        {RangeEdit::Upper, 20.0, Unchanged, 0.0, 20.0},
        {RangeEdit::Lower, 20.0, AcceptedHidden, 20.0, 20.0},  // equal bounds hide the traces
        {RangeEdit::Lower, 30.0, Rejected, 20.0, 20.0},
        {RangeEdit::Lower, 30.0, Rejected, 20.0, 20.0},  // refused again, not "unchanged"
        {RangeEdit::Lower, 5.0, Accepted, 5.0, 20.0},
        {RangeEdit::Upper, kNaN, Rejected, 5.0, 20.0},
    };
    RangeEntry range{{0.0, 10.0}, {0.0, 10.0}};
    for (const Step& s : steps) {
        EXPECT_EQ(commitRange(range, s.edit, s.value), s.outcome) << s.value;
        EXPECT_DOUBLE_EQ(range.applied.lower, s.lower);
        EXPECT_DOUBLE_EQ(range.applied.upper, s.upper);
        // What the edits hold next time is what they show: the applied range.
        EXPECT_DOUBLE_EQ(range.entered.lower, s.lower);
        EXPECT_DOUBLE_EQ(range.entered.upper, s.upper);
    }
}

TEST(PageFigures, CommittedTimeWindowsInOrder) {
    struct Step {
        WindowEdit edit;
        double seconds;
        EntryOutcome outcome;
        double start, end;  // the applied window in seconds afterwards
    };
    using enum EntryOutcome;
    constexpr uint32_t kCycle = 200;  // above 100 ms: 0.1 s falls inside the first cycle
    const Step steps[] = {
        {WindowEdit::Start, 0.1, Rejected, 0.0, 10.0},
        {WindowEdit::Start, 0.1, Rejected, 0.0, 10.0},
        {WindowEdit::Start, 2.0, Accepted, 2.0, 10.0},
        {WindowEdit::Start, 2.1, Unchanged, 2.0, 10.0},  // still sample 10
        {WindowEdit::End, 2.0, AcceptedHidden, 2.0, 2.0},
        {WindowEdit::End, 1.0, Rejected, 2.0, 2.0},
        {WindowEdit::Start, 0.0, Accepted, 0.0, 2.0},
        {WindowEdit::End, 0.0, Rejected, 0.0, 2.0},  // 0 to 0 is refused
    };
    WindowEntry window = wholeRecordingWindow(51);
    for (const Step& s : steps) {
        EXPECT_EQ(commitWindowEdit(window, s.edit, s.seconds, kCycle, 51), s.outcome)
            << s.seconds;
        const TimeWindow shown = appliedSeconds(window, kCycle);
        EXPECT_DOUBLE_EQ(shown.start, s.start);
        EXPECT_DOUBLE_EQ(shown.end, s.end);
    }
    // At 100 ms, 0.1 s is sample 1 and an ordinary start.
    WindowEntry fine = wholeRecordingWindow(101);
    EXPECT_EQ(commitWindowEdit(fine, WindowEdit::Start, 0.1, 100, 101), Accepted);
}

TEST(PageFigures, SecondsToSampleIndices) {
    EXPECT_EQ(secondsToIndex(0.3, 10), 30u);
    EXPECT_EQ(secondsToIndex(2.99, 1000), 2u);
    EXPECT_EQ(secondsToIndex(4294967.5, 4), 51u);  // the low 32 bits of 4294967500 ms: 204
    EXPECT_EQ(secondsToIndex(-0.001, 1), 0xFFFFFFFFu);
    EXPECT_EQ(secondsToIndex(kNaN, 10), 0u);
    EXPECT_EQ(secondsToIndex(5.0, 0), 0u);
    EXPECT_DOUBLE_EQ(startIndex(0.05, 100, 51), 52.0);
    EXPECT_DOUBLE_EQ(startIndex(0.0, 100, 51), 0.0);
}

TEST(PageFigures, GraphWindowNeverPassesTheLastSample) {
    EXPECT_EQ(graphWindow({10.0, 500.0}, 101).last, 100u);
    EXPECT_EQ(graphWindow({10.0, 50.0}, 101).last, 50u);
    EXPECT_EQ(graphWindow({4294967296.0, 4294967296.0}, 0).first, 0xFFFFFFFFu);
    EXPECT_EQ(graphWindow({0.0, 5.0}, 0).last, 0u);
}

TEST(PageFigures, IoLoadWithOnlySignalsZeroAndFive) {
    auto page = std::make_unique<PageRecording>(kIoMonitor);
    page->active.items[0].name = "RUN";
    page->active.items[0].enabled = 1;
    page->active.items[5].name = "ALM";
    page->active.items[5].enabled = 1;
    page->endMarker = EndMarker::Complete;
    page->time = 10;
    page->cycle = 100;
    page->sampleCount = 101;
    for (uint32_t i = 0; i < 101; ++i)
        page->ioBit(i, 5) = i % 2;
    const IoPageFigures figures = ioPageFigures(*page);
    for (int s = 0; s < kIoSignalCount; ++s)
        EXPECT_EQ(figures.ioSignals[std::size_t(s)].enabled, s == 0 || s == 5) << s;
    EXPECT_EQ(figures.ioSignals[5].name, "ALM");
    EXPECT_DOUBLE_EQ(figures.ioSignals[0].bits.upper, 0.0);
    EXPECT_DOUBLE_EQ(figures.ioSignals[5].bits.upper, 1.0);
    EXPECT_EQ(figures.spanText, "10.0");
    EXPECT_DOUBLE_EQ(figures.window.applied.last, 100.0);
    // Each signal stays within its band of 8 of the 128 units.
    EXPECT_EQ(ioLevel(0, 0), 121u);
    EXPECT_EQ(ioLevel(0, 1), 127u);
    EXPECT_EQ(ioLevel(5, 0), 81u);
    EXPECT_EQ(ioLevel(5, 1), 87u);
    EXPECT_EQ(ioLevel(15, 1), 7u);
}

const GraphWindow kWindows[] = {{0, 1}, {0, 2}, {3, 10}, {0, 999}, {5, 4000}, {0, 150000}};
const int kWidths[] = {1, 7, 100, 645, 1000};

// Every painted vertex (lines) or step start (steps) is where sampleToPixel puts its sample.
TEST(PageFigures, PixelsAreWhereTheGraphPaintsTheSamples) {
    for (const GraphWindow w : kWindows) {
        const std::vector<double> values(w.last + 1, 1.0);
        const std::vector<uint32_t> levels(w.last + 1, 121);
        for (const int width : kWidths) {
            const QSize plot(width, 100);
            const auto line = multiTracePoints(values, w.first, w.last, 0.0, 2.0, plot);
            const auto steps = ioTracePoints(levels, w.first, w.last, 0.0, 128.0, plot);
            const uint32_t stride = std::max(1u, (w.last - w.first) / 300);
            for (uint32_t i = w.first;; i = std::min(i + stride, w.last)) {
                const std::size_t k = i - w.first;
                EXPECT_EQ(sampleToPixel(TraceStyle::Line, w, width, i), line[k].x()) << i;
                EXPECT_EQ(sampleToPixel(TraceStyle::Steps, w, width, i), steps[2 * k].x()) << i;
                if (i == w.last)
                    break;
            }
            EXPECT_EQ(sampleToPixel(TraceStyle::Line, w, width, w.last + 1), std::nullopt);
        }
    }
    EXPECT_EQ(sampleToPixel(TraceStyle::Line, {4, 4}, 100, 4), std::nullopt);  // nothing drawn
    EXPECT_EQ(sampleToPixel(TraceStyle::Steps, {4, 4}, 100, 4), 0);
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

TEST(PageFigures, PixelsAndSamplesRoundTrip) {
    for (const GraphWindow w : {GraphWindow{0, 1}, GraphWindow{3, 10}, GraphWindow{0, 999},
                                GraphWindow{5, 4000}}) {
        const std::vector<double> values(w.last + 1, 1.0);
        const std::vector<uint32_t> levels(w.last + 1, 121);
        for (const int width : kWidths) {
            const QSize plot(width, 100);
            std::vector<int> lineXs, stepXs;
            for (const QPoint& p : multiTracePoints(values, w.first, w.last, 0.0, 2.0, plot))
                lineXs.push_back(p.x());
            const auto steps = ioTracePoints(levels, w.first, w.last, 0.0, 128.0, plot);
            for (std::size_t k = 0; k < steps.size(); k += 2)
                stepXs.push_back(steps[k].x());
            for (const TraceStyle style : {TraceStyle::Line, TraceStyle::Steps}) {
                const auto& painted = style == TraceStyle::Line ? lineXs : stepXs;
                for (int x = -2; x <= width + 2; ++x)
                    EXPECT_EQ(pixelToSample(style, w, width, x),
                              w.first + shownSample(painted, style, x))
                        << x << " of " << width;
                // With at least a pixel per sample every sample comes back from its own x.
                if (w.last - w.first < uint32_t(width)) {
                    for (uint32_t i = w.first; i <= w.last; ++i)
                        EXPECT_EQ(pixelToSample(style, w, width,
                                                *sampleToPixel(style, w, width, i)),
                                  i);
                }
            }
        }
    }
}

TEST(PageFigures, ZoomKeepsTheCursorsTimeAndClamps) {
    // Zooming in at 3 s in [2, 6]: the cursor stays a quarter into the window.
    const TimeWindow in = zoomWindow({2.0, 6.0}, 10.0, 10, 3.0, 0.5);
    EXPECT_DOUBLE_EQ(in.start, 2.5);
    EXPECT_DOUBLE_EQ(in.end, 4.5);
    const TimeWindow out = zoomWindow({2.0, 6.0}, 10.0, 10, 3.0, 2.0);
    EXPECT_DOUBLE_EQ(out.start, 1.0);
    EXPECT_DOUBLE_EQ(out.end, 9.0);
    const TimeWindow wide = zoomWindow({2.0, 6.0}, 10.0, 10, 3.0, 4.0);
    EXPECT_DOUBLE_EQ(wide.start, 0.0);
    EXPECT_DOUBLE_EQ(wide.end, 10.0);
    // Never narrower than one cycle; a useless factor changes nothing.
    const TimeWindow narrow = zoomWindow({2.0, 2.02}, 10.0, 10, 2.01, 0.1);
    EXPECT_NEAR(narrow.end - narrow.start, 0.01, 1e-12);
    EXPECT_DOUBLE_EQ(zoomWindow({2.0, 6.0}, 10.0, 10, 3.0, kNaN).end, 6.0);
    EXPECT_DOUBLE_EQ(zoomWindow({2.0, 6.0}, 10.0, 10, 3.0, -1.0).start, 2.0);

    const std::pair<double, TimeWindow> pans[] = {
        {3.0, {5.0, 7.0}}, {10.0, {8.0, 10.0}}, {-10.0, {0.0, 2.0}}, {kNaN, {2.0, 4.0}}};
    for (const auto& [delta, expected] : pans) {
        const TimeWindow moved = panWindow({2.0, 4.0}, 10.0, delta);
        EXPECT_DOUBLE_EQ(moved.start, expected.start) << delta;
        EXPECT_DOUBLE_EQ(moved.end, expected.end) << delta;
    }

    // A pan past the old end is decided as one window, not refused for its start alone.
    WindowEntry window{{100.0, 200.0}, {100.0, 200.0}};
    EXPECT_EQ(commitWindow(window, panWindow({1.0, 2.0}, 10.0, 2.0), 10, 1001),
              EntryOutcome::Accepted);
    EXPECT_DOUBLE_EQ(window.applied.first, 300.0);
    EXPECT_DOUBLE_EQ(window.applied.last, 400.0);
    EXPECT_EQ(commitWindow(window, {3.0, 4.0}, 10, 1001), EntryOutcome::Unchanged);
}

}  // namespace
}  // namespace kestiva
