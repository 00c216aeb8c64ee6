// The monitor pages' models without a toolkit, through a view that records what it is told:
// the mouse's zoom, pan and double click as the time edits show them, the cursor readout's
// texts, the markers' keys and nearest samples, the measurement rows and their copy, the range
// and time edits' entries, and the live view's latest values.

#include "window/DataPageModel.h"
#include "window/IoPageModel.h"
#include "settings/NumberText.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace kestiva {
namespace {

class RecordingView final : public MonitorPageView {
public:
    void setText(PageControl c, const std::string& t) override { texts[controlName(c)] = t; }
    void setValueText(PageControl c, const std::string& value, const std::string& unit) override {
        texts[controlName(c)] = value + "|" + unit;
    }
    void setControlToolTip(PageControl c, const std::string& t) override {
        toolTips[controlName(c)] = t;
    }
    void setControlEnabled(PageControl c, bool on) override { enabled[controlName(c)] = on; }
    void setChecked(PageControl c, bool on) override { checked[controlName(c)] = on; }
    void setValue(PageControl c, double v) override { values[controlName(c)] = v; }
    void clearValue(PageControl c) override { values.erase(controlName(c)); }
    void setLimits(PageControl c, double lower, double upper) override {
        limits[controlName(c)] = {lower, upper};
    }
    void setNumberFormat(PageControl c, int decimals, bool sign) override {
        formats[controlName(c)] = {decimals, sign};
    }
    void graphChanged() override { ++paints; }
    void overlaysChanged() override {}
    void layoutChanged() override { ++layouts; }
    void copyText(const std::string& t) override { copied = t; }

    std::map<std::string, std::string> texts, toolTips;
    std::map<std::string, bool> enabled, checked;
    std::map<std::string, double> values;
    std::map<std::string, std::pair<double, double>> limits;
    std::map<std::string, std::pair<int, bool>> formats;
    int paints = 0;
    int layouts = 0;
    std::string copied;
};

ColorTable colors() {
    ColorTable c;
    c.backgroundColor = 0x202020;
    c.gridColor = 0xC0C0C0;
    for (std::size_t i = 0; i < c.traceColors.size(); ++i)
        c.traceColors[i] = 0x0000FF + Color(i) * 0x0F0F00;
    return c;
}

DataItem item(const char* name, int32_t type, double scale, const char* scaleText,
              const char* unit) {
    DataItem d;
    d.name = name;
    d.enabled = 1;
    d.typeCode = type;
    d.scale = scale;
    d.scaleText = scaleText;
    d.unit = unit;
    return d;
}

// "Current" holds 700 (7.00 A), "Speed" climbs by one a sample from -50 rpm; 1001 samples at
// 10 ms make 10 s.
std::unique_ptr<PageRecording> dataRecording() {
    auto page = std::make_unique<PageRecording>(kDataMonitor);
    page->active.items[0] = item("Current", kTypeUword, 0.010, "0.010", "A");
    page->active.items[1] = item("Speed", kTypeWord, 1.0, "1", "rpm");
    page->cycle = 10;
    page->time = 10;
    page->endMarker = EndMarker::Complete;
    page->sampleCount = 1001;
    for (uint32_t j = 0; j < page->sampleCount; ++j) {
        page->dataValue(j, 0) = 700;
        page->dataValue(j, 1) = int32_t(j) - 50;
    }
    return page;
}

constexpr int kWidth = 1000;

class DataPageModelTest : public ::testing::Test {
protected:
    DataPageModelTest() : texts("") {
        texts.LoadLanguageCatalogue();
        model.initialise(colors());
        model.graphResized(kWidth);
    }
    void load() {
        model.loadRecording(*recording);
        model.enableEntry();
    }
    std::pair<double, double> edits() {
        return {view.values["startTimeEdit"], view.values["endTimeEdit"]};
    }
    uint32_t sampleAt(int x) const {
        return *pixelToSample(TraceStyle::Line, {graph.firstIndex, graph.lastIndex}, kWidth, x);
    }

    LanguageCatalogue texts;
    RecordingView view;
    MultiGraphData graph;
    DataPageModel model{view, texts, graph};
    std::unique_ptr<PageRecording> recording = dataRecording();
};

TEST_F(DataPageModelTest, ZoomPanAndDoubleClickGoThroughTheTimeEdits) {
    model.loadRecording(*recording);
    model.wheel(500, 1);
    EXPECT_EQ(edits(), std::make_pair(0.0, 10.0)) << "read-only until entry is enabled";
    model.enableEntry();

    enum class Act { Wheel, Drag, DoubleClick };
    struct Step {
        const char* what;
        Act act;
        int x;
        double amount;  // wheel notches, or pixels dragged
        double start, end;
        uint32_t first, last;
    };
    const Step steps[] = {
        {"zoom in at the middle", Act::Wheel, 500, 1, 1.0, 9.0, 100, 900},
        {"zoom in at the left edge", Act::Wheel, 0, 1, 1.0, 7.4, 100, 740},
        {"drag right shows earlier", Act::Drag, 500, 100, 0.4, 6.8, 40, 680},
        {"drag past the start stops there", Act::Drag, 0, 900, 0.0, 6.4, 0, 640},
        {"zoom out at the middle stops at the start", Act::Wheel, 500, -1, 0.0, 7.2, 0, 720},
        {"drag left shows later, up to the end", Act::Drag, 900, -500, 2.8, 10.0, 280, 1000},
        {"double click shows everything", Act::DoubleClick, 10, 0, 0.0, 10.0, 0, 1000},
        {"zoom out of everything changes nothing", Act::Wheel, 500, -2, 0.0, 10.0, 0, 1000},
    };
    std::pair<uint32_t, uint32_t> before{0, 1000};
    for (const Step& s : steps) {
        const int paints = view.paints;
        switch (s.act) {
            case Act::Wheel:
                model.wheel(s.x, s.amount);
                break;
            case Act::Drag:
                model.mousePress(s.x, {});
                EXPECT_EQ(model.pointer(), GraphPointer::Pan) << s.what;
                model.mouseMove(s.x + int(s.amount));
                model.mouseRelease();
                EXPECT_EQ(model.pointer(), GraphPointer::Cross) << s.what;
                break;
            case Act::DoubleClick:
                model.doubleClick(s.x, {});
                break;
        }
        EXPECT_EQ(edits(), std::make_pair(s.start, s.end)) << s.what;
        EXPECT_EQ(graph.firstIndex, s.first) << s.what;
        EXPECT_EQ(graph.lastIndex, s.last) << s.what;
        EXPECT_EQ(view.texts["timeAt50Label"], labelText((s.start + s.end) / 2)) << s.what;
        // The graph is painted again exactly when its window moved.
        EXPECT_EQ(view.paints > paints, before != std::make_pair(s.first, s.last)) << s.what;
        before = {graph.firstIndex, graph.lastIndex};
    }
}

TEST_F(DataPageModelTest, TimeEditEntriesAreAcceptedOrShownBackAsApplied) {
    model.loadRecording(*recording);
    model.editCommitted({PageControlKind::EndEdit}, 5.0);
    EXPECT_EQ(graph.lastIndex, 1000u) << "ignored until entry is enabled";
    model.enableEntry();
    model.editCommitted({PageControlKind::EndEdit}, 5.0);
    EXPECT_EQ(graph.lastIndex, 500u);
    EXPECT_EQ(view.texts["graph"], "Current, Speed from 0.0 to 5.0 S");
    // A start past the end is refused: both edits show the window in force again.
    view.values["startTimeEdit"] = 7.0;
    model.editCommitted({PageControlKind::StartEdit}, 7.0);
    EXPECT_EQ(edits(), std::make_pair(0.0, 5.0));
    EXPECT_EQ(graph.firstIndex, 0u);
}

TEST_F(DataPageModelTest, CursorReadoutTextsFollowTheMouseAndTheShownTraces) {
    model.setSeparator(",");
    load();
    struct Case {
        int x;
        std::vector<std::string> texts;  // time, then each shown trace
    };
    const Case cases[] = {
        {0, {"0,000 S", "Current: 7,00 A", "Speed: -50 rpm"}},
        {333, {"3,330 S", "Current: 7,00 A", "Speed: 283 rpm"}},
        {999, {"9,990 S", "Current: 7,00 A", "Speed: 949 rpm"}},
        {5000, {"10,000 S", "Current: 7,00 A", "Speed: 950 rpm"}},
    };
    for (const Case& c : cases) {
        model.mouseMove(c.x);
        const CursorReadout& r = model.cursorReadout();
        ASSERT_TRUE(r.shown) << c.x;
        EXPECT_EQ(r.x, sampleToPixel(TraceStyle::Line, {0, 1000}, kWidth, sampleAt(c.x))) << c.x;
        std::vector<std::string> shown;
        for (const CursorReadout::Text& line : r.lines)
            shown.push_back(line.text);
        EXPECT_EQ(shown, c.texts) << c.x;
        EXPECT_EQ(r.lines[0].color, colors().gridColor);
        EXPECT_EQ(r.lines[2].color, colors().traceColors[1]);
    }
    // A hidden trace leaves the readout; equal bounds leave it too.
    model.checkClicked({PageControlKind::ItemCheck, 0}, false);
    EXPECT_EQ(model.cursorReadout().lines.size(), 2u);
    EXPECT_EQ(model.cursorReadout().lines[1].text, "Speed: 950 rpm");
    model.editCommitted({PageControlKind::LowerEdit, 1}, graph.upperBound[1]);
    EXPECT_FALSE(model.cursorReadout().shown) << "equal bounds draw nothing";
    model.mouseLeave();
    EXPECT_FALSE(model.cursorReadout().shown);
}

TEST_F(DataPageModelTest, RangeEditsAcceptRefuseOrHide) {
    load();
    const double upper = graph.upperBound[1];
    struct Case {
        PageControlKind edit;
        double value;
        double lower, upper;  // the trace's bounds afterwards
        bool drawn;
        std::optional<double> shownBack;  // what a refused edit shows again
    };
    const Case cases[] = {
        {PageControlKind::LowerEdit, 0.0, 0.0, upper, true, {}},
        {PageControlKind::LowerEdit, upper + 1, 0.0, upper, true, 0.0},
        {PageControlKind::UpperEdit, 0.0, 0.0, 0.0, false, {}},
        {PageControlKind::UpperEdit, 400.0, 0.0, 400.0, true, {}},
    };
    for (const Case& c : cases) {
        const PageControl edit{c.edit, 1};
        view.values.erase(controlName(edit));
        model.editCommitted(edit, c.value);
        EXPECT_EQ(graph.lowerBound[1], c.lower) << c.value;
        EXPECT_EQ(graph.upperBound[1], c.upper) << c.value;
        EXPECT_EQ(graph.drawEnabled != 0, c.drawn) << c.value;
        if (c.shownBack)
            EXPECT_EQ(view.values[controlName(edit)], *c.shownBack) << c.value;
        else
            EXPECT_FALSE(view.values.count(controlName(edit))) << c.value;
    }
    EXPECT_EQ(view.texts["item2ValueAt50Label"], labelText(200.0));
}

TEST_F(DataPageModelTest, MarkerKeysAndClicksLieOnTheNearestSample) {
    load();
    enum class Act { ShiftClick, ControlClick, Press, Move, Release, Key, Leave };
    struct Step {
        const char* what;
        Act act;
        int x;
        GraphKey key;
        std::optional<uint32_t> a, b;
        int active;
    };
    const int kA = MonitorPageModel::kMarkerA;
    const int kB = MonitorPageModel::kMarkerB;
    const Step steps[] = {
        {"B without the mouse: mid-window", Act::Key, 0, GraphKey::B, {}, 500, kB},
        {"Shift + click places A", Act::ShiftClick, 200, {}, 200, 500, kA},
        {"Ctrl + click places B", Act::ControlClick, 604, {}, 200, 604, kB},
        {"a press near A's line grabs it", Act::Press, 202, {}, 200, 604, kA},
        {"dragging moves A", Act::Move, 300, {}, 300, 604, kA},
        {"release", Act::Release, 300, {}, 300, 604, kA},
        {"Right moves the active one", Act::Key, 0, GraphKey::Right, 301, 604, kA},
        {"A at the mouse", Act::Key, 0, GraphKey::A, 300, 604, kA},
        {"after leaving, B stays where it is", Act::Leave, 0, GraphKey::B, 300, 604, kB},
        {"Left moves B back", Act::Key, 0, GraphKey::Left, 300, 603, kB},
        {"Delete removes both", Act::Key, 0, GraphKey::Delete, {}, {}, kA},
    };
    for (const Step& s : steps) {
        switch (s.act) {
            case Act::ShiftClick:
                model.mousePress(s.x, {.shift = true});
                model.mouseRelease();
                break;
            case Act::ControlClick:
                model.mousePress(s.x, {.control = true});
                model.mouseRelease();
                break;
            case Act::Press:
                model.mousePress(s.x, {});
                EXPECT_EQ(model.pointer(), GraphPointer::MoveMarker) << s.what;
                break;
            case Act::Move:
                model.mouseMove(s.x);
                break;
            case Act::Release:
                model.mouseRelease();
                break;
            case Act::Leave:
                model.mouseLeave();
                model.graphKey(s.key, {});
                break;
            case Act::Key:
                EXPECT_TRUE(model.graphKey(s.key, {})) << s.what;
                break;
        }
        EXPECT_EQ(model.marker(kA), s.a) << s.what;
        EXPECT_EQ(model.marker(kB), s.b) << s.what;
        EXPECT_EQ(model.activeMarker(), s.active) << s.what;
        EXPECT_EQ(edits(), std::make_pair(0.0, 10.0)) << s.what << ": no pan";
        const MarkerLines& lines = model.markerLines();
        EXPECT_EQ(lines.marks[0].x.has_value(), s.a.has_value()) << s.what;
        if (s.a) {
            EXPECT_EQ(lines.marks[0].x, sampleToPixel(TraceStyle::Line, {0, 1000}, kWidth, *s.a));
        }
        EXPECT_EQ(lines.active, s.active) << s.what;
    }
    // Ctrl with a letter is no marker key; a marker never passes the last sample.
    EXPECT_FALSE(model.graphKey(GraphKey::A, {.control = true}));
    model.graphKey(GraphKey::B, {});
    for (int i = 0; i < 600; ++i)
        model.graphKey(GraphKey::Right, {});
    EXPECT_EQ(model.marker(kB), 1000u);
    // A new load removes them.
    model.loadRecording(*recording);
    EXPECT_FALSE(model.marker(kB));
}

TEST_F(DataPageModelTest, MeasurementRowsAndTheirCopyAreTheCoreFigures) {
    load();
    EXPECT_FALSE(model.graphKey(GraphKey::Copy, {}));
    model.mousePress(700, {.shift = true});
    model.mouseRelease();
    EXPECT_FALSE(model.measurementsShown()) << "one marker: no panel";
    const int layouts = view.layouts;
    model.mousePress(150, {.control = true});
    model.mouseRelease();
    ASSERT_TRUE(model.measurementsShown());
    EXPECT_GT(view.layouts, layouts) << "the panel takes room";

    const MarkerFigures expected = markerFigures(*recording, 700, 150, 0b111);
    const MeasurementRows& rows = model.measurementRows();
    const MeasurementTitles titles = measurementTitles(texts);
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.titles.front(), titles.item);
    EXPECT_EQ(rows.titles.size(), 11u);
    const ItemMeasurement& speed = expected.items[1];
    EXPECT_EQ(rows.rows[1],
              (std::vector<std::string>{speed.name, speed.unit, speed.atAText, speed.atBText,
                                        speed.differenceText, speed.minimumText,
                                        speed.minimumTimeText, speed.maximumText,
                                        speed.maximumTimeText, speed.meanText, speed.rmsText}));
    EXPECT_EQ(rows.rows[1][2], "650");
    EXPECT_NE(rows.timesText.find(expected.deltaText), std::string::npos) << rows.timesText;

    EXPECT_TRUE(model.graphKey(GraphKey::Copy, {}));
    EXPECT_EQ(view.copied, measurementsTable(expected, titles));
    // A hidden item leaves the rows and the copy.
    model.checkClicked({PageControlKind::ItemCheck, 0}, false);
    ASSERT_EQ(model.measurementRows().rows.size(), 1u);
    model.copyMeasurements();
    EXPECT_EQ(view.copied, measurementsTable(markerFigures(*recording, 700, 150, 0b110), titles));
    model.graphKey(GraphKey::Delete, {});
    EXPECT_FALSE(model.measurementsShown());
}

TEST_F(DataPageModelTest, LiveViewShowsTheLatestValuesAndTheTimeReached) {
    ControllerRecord record;
    record.items[0] = item("Current", kTypeUword, 0.010, "0.010", "A");
    record.items[2] = item("Torque", kTypeWord, 0.1, "0.1", "Nm");
    model.beginLive(record, 20, 5, 251);
    EXPECT_EQ(view.texts["item1Check"], "Current");
    EXPECT_TRUE(view.checked["item1Check"]);
    EXPECT_FALSE(view.checked["item2Check"]);
    EXPECT_EQ(view.texts["cycleLabel"], cycleText(20));
    EXPECT_EQ(graph.lastIndex, 250u) << "the window spans the planned time";
    const double first[] = {7.0, 0.0, -1.5};
    const double second[] = {7.25, 0.0, 2.0};
    model.appendLive(true, first);
    model.appendLive(false, second);
    model.appendLive(true, second);
    model.showLatest(60);
    EXPECT_EQ(view.texts["item1UnitLabel"], "7.25|A");
    EXPECT_EQ(view.texts["item3UnitLabel"], "2.0|Nm");
    EXPECT_EQ(view.texts["spanLabel"], spanText(0.06));
    EXPECT_EQ(graph.heldSamples(0).size(), 3u);
    const ValueRange torque = initialBounds({-1.5, 2.0}, 0.1);
    EXPECT_EQ(graph.lowerBound[2], torque.lower);
    EXPECT_EQ(view.texts["item3ValueAt50Label"], valueLabels(torque)[1]);
}

TEST(IoPageModel, SignalsReadOutAndMeasureTheirLevels) {
    LanguageCatalogue texts("");
    texts.LoadLanguageCatalogue();
    RecordingView view;
    IoGraphData graph;
    IoPageModel model(view, texts, graph);
    model.initialise(colors());
    EXPECT_EQ(view.formats["startTimeEdit"], std::make_pair(1, true)) << "I/O time edits take a sign";
    model.graphResized(kWidth);
    PageRecording recording(kIoMonitor);
    recording.active.items[0] = {.name = "RUN", .enabled = 1};
    recording.active.items[5] = {.name = "ALM", .enabled = 1};
    recording.cycle = 100;
    recording.time = 10;
    recording.endMarker = EndMarker::Complete;
    recording.sampleCount = 101;
    for (uint32_t i = 0; i < 101; ++i) {
        recording.ioBit(i, 0) = 1;
        recording.ioBit(i, 5) = uint8_t(i / 10 % 2);
    }
    model.loadRecording(recording);
    EXPECT_EQ(view.texts["signal5Check"], "ALM");
    EXPECT_TRUE(view.enabled["signal5Check"]);
    EXPECT_FALSE(view.enabled["signal1Check"]);
    model.enableEntry();

    const int x15 = *sampleToPixel(TraceStyle::Steps, {0, 100}, kWidth, 15);
    model.mouseMove(x15 + 1);
    std::vector<std::string> lines;
    for (const CursorReadout::Text& line : model.cursorReadout().lines)
        lines.push_back(line.text);
    EXPECT_EQ(lines, (std::vector<std::string>{"1.500 S", "RUN: 1", "ALM: 1"}));

    model.mousePress(*sampleToPixel(TraceStyle::Steps, {0, 100}, kWidth, 5) + 1, {.shift = true});
    model.mousePress(*sampleToPixel(TraceStyle::Steps, {0, 100}, kWidth, 47) + 1,
                     {.control = true});
    model.mouseRelease();
    ASSERT_EQ(model.marker(MonitorPageModel::kMarkerA), 5u);
    ASSERT_EQ(model.marker(MonitorPageModel::kMarkerB), 47u);
    const MeasurementRows& rows = model.measurementRows();
    ASSERT_EQ(rows.rows.size(), 2u);
    EXPECT_EQ(rows.rows[1], (std::vector<std::string>{"ALM", "0", "0", "2", "2", "1.000", "2.000"}));
    // A hidden signal leaves the rows and the graph's description.
    model.checkClicked({PageControlKind::SignalCheck, 0}, false);
    EXPECT_EQ(model.measurementRows().rows.size(), 1u);
    EXPECT_EQ(view.texts["graph"], "ALM from 0.0 to 10.0 S");
}

TEST(PageControls, NamesAreTheControlsObjectNames) {
    const std::pair<PageControl, const char*> cases[] = {
        {{PageControlKind::StartEdit}, "startTimeEdit"},
        {{PageControlKind::TimeLabel, 0}, "timeAt25Label"},
        {{PageControlKind::TimeLabel, 2}, "timeAt75Label"},
        {{PageControlKind::ItemCheck, 0}, "item1Check"},
        {{PageControlKind::UpperEdit, 2}, "item3UpperEdit"},
        {{PageControlKind::ValueLabel, 0}, "item1ValueAt75Label"},
        {{PageControlKind::ValueLabel, 5}, "item2ValueAt25Label"},
        {{PageControlKind::SignalCheck, 15}, "signal15Check"},
    };
    for (const auto& [control, name] : cases)
        EXPECT_EQ(controlName(control), name);
}

TEST(RoundedValue, IsWhatANumberEditShows) {
    const std::tuple<double, int, double> cases[] = {
        {0.36, 1, 0.4}, {6.76, 1, 6.8}, {-0.04, 1, -0.0}, {1234.5678, 2, 1234.57}, {7.0, 0, 7.0}};
    for (const auto& [value, decimals, shown] : cases)
        EXPECT_EQ(roundedValue(value, decimals), shown) << value;
}

}  // namespace
}  // namespace kestiva
