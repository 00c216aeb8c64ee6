// The data page as its user and the main window meet it: what a load shows, what Clear leaves,
// committed entries with their accept and reject rules, the keyboard filter, the layout after
// a resize, the cursor readout and the mouse zoom. The shared parts (time window, keys, mouse)
// are tested here once; the I/O page's tests cover what it does differently.

#include "views/DataMonitor.h"

#include "PageFixtures.h"
#include "window/GraphGeometry.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace kestiva {
namespace {

class DataMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLocale_ = QLocale();
        QLocale::setDefault(QLocale::c());  // the edits take their separator when made
        page_ = std::make_unique<CDataMonitor>(programCatalogue());
        page_->resize(1000, 600);
        page_->initialise(testColors());
        page_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
    }
    void TearDown() override {
        page_.reset();
        QLocale::setDefault(savedLocale_);
    }

    template <typename Widget>
    Widget* child(const char* name) const {
        auto* widget = page_->findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    CNumberEditEx* edit(const char* name) const { return child<CNumberEditEx>(name); }
    QString text(const char* name) const {
        if (auto* label = page_->findChild<QLabel*>(QLatin1String(name)))
            return label->text();
        if (auto* check = page_->findChild<QCheckBox*>(QLatin1String(name)))
            return check->text();
        return edit(name)->text();
    }
    QWidget* graphWidget() const { return child<QWidget>("dataGraph"); }

    void load(const PageRecording& recording) {
        page_->loadRecording(recording);
        page_->enableEntry();
    }

    QLocale savedLocale_;
    std::unique_ptr<CDataMonitor> page_;
};

TEST_F(DataMonitorTest, LoadShowsTheRecordingReadOnlyUntilEntryIsEnabled) {
    const auto recording = dataRecording(10, 1001);  // stopped: 1,000 cycles of 10 ms
    page_->loadRecording(*recording);
    // Item 1's values are all equal and still give a drawable range, with the scale's two
    // decimals; item 3 is disabled.
    // clang-format off
    const std::pair<const char*, const char*> shown[] = {
        {"cycleLabel", "10"}, {"spanLabel", "10.0"}, {"item1Check", "Current"},
        {"item3Check", ""}, {"item1UnitLabel", "A"}, {"item2UnitLabel", "rpm"},
        {"item1UpperEdit", "7.01"}, {"item1LowerEdit", "6.99"}, {"item1ValueAt75Label", "7.00"},
        {"item1ValueAt25Label", "6.99"}, {"item2UpperEdit", "951"}, {"item2LowerEdit", "-51"},
        {"item2ValueAt75Label", "700.50"}, {"item3ValueAt50Label", "---"}, {"item3UpperEdit", ""},
        {"startTimeEdit", "0.0"}, {"endTimeEdit", "10.0"}, {"timeAt25Label", "2.50"},
        {"timeAt75Label", "7.50"}, {"timeUnitLabel", "S"}};
    // clang-format on
    for (const auto& [name, expected] : shown)
        EXPECT_EQ(text(name), QLatin1String(expected)) << name;
    EXPECT_FALSE(page_->entryActive());
    EXPECT_FALSE(edit("item1UpperEdit")->isEnabled());
    EXPECT_TRUE(child<QCheckBox>("item1Check")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("item3Check")->isChecked());
    EXPECT_DOUBLE_EQ(edit("item2LowerEdit")->lowerLimit(), -32768.0);
    EXPECT_DOUBLE_EQ(edit("endTimeEdit")->upperLimit(), 10.0);
    const CMultiGraph& graph = page_->graph();
    EXPECT_TRUE(graph.hasSamples && graph.drawEnabled);
    EXPECT_EQ(graph.lastIndex, 1000u);
    EXPECT_EQ(graph.traceColor[1], testColors().traceColors[1]);
    EXPECT_EQ(page_->recording(), recording.get());

    page_->enableEntry();
    for (const char* name : {"item1Check", "item2UpperEdit", "item1LowerEdit", "startTimeEdit"})
        EXPECT_TRUE(child<QWidget>(name)->isEnabled()) << name;
    for (const char* name : {"item3Check", "item3UpperEdit", "item3LowerEdit"})
        EXPECT_FALSE(child<QWidget>(name)->isEnabled()) << name;
}

TEST_F(DataMonitorTest, ClearLeavesAnEmptyPage) {
    const auto recording = dataRecording(10, 1001);
    load(*recording);
    page_->clear();
    for (const char* name : {"cycleLabel", "spanLabel", "item1Check", "item2UnitLabel",
                             "item1ValueAt50Label", "item3ValueAt25Label", "timeAt50Label"})
        EXPECT_EQ(text(name), QLatin1String("---")) << name;
    for (const char* name : {"item1UpperEdit", "item2LowerEdit", "startTimeEdit", "endTimeEdit"}) {
        EXPECT_EQ(text(name), QString()) << name;
        EXPECT_FALSE(edit(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(child<QCheckBox>("item1Check")->isEnabled());
    EXPECT_FALSE(page_->graph().hasSamples || page_->graph().drawEnabled);
    EXPECT_FALSE(page_->entryActive());
    EXPECT_EQ(page_->recording(), nullptr);
}

TEST_F(DataMonitorTest, CommittedEntriesInOrder) {
    // 51 samples at 200 ms, complete: the span is the configured 10 s. Speed runs from -50 to
    // 0, so its range starts at -51 to 1.
    const auto recording = dataRecording(200, 51, EndMarker::Complete, 10);
    load(*recording);
    struct Step {
        const char* edit;
        const char* typed;
        const char* shown;  // the edit's text afterwards
        int drawEnabled;
        GraphWindow window;
        const char* label;  // one label the entry moves, and its text afterwards
        const char* labelText;
    };
    const Step steps[] = {
        {"item2UpperEdit", "20", "20", 1, {0, 50}, "item2ValueAt75Label", "2.25"},
        // Equal bounds are kept but hide every trace; a lower bound above them is refused.
        {"item2LowerEdit", "20", "20", 0, {0, 50}, "item2ValueAt75Label", "20.00"},
        {"item2LowerEdit", "30", "20", 0, {0, 50}, "item2ValueAt25Label", "20.00"},
        {"item2LowerEdit", "30", "20", 0, {0, 50}, "item2ValueAt25Label", "20.00"},
        // At 200 ms, 0.1 s lies inside the first cycle: refused, both edits show the window.
        {"startTimeEdit", "0.1", "0.0", 0, {0, 50}, "endTimeEdit", "10.0"},
        {"startTimeEdit", "2", "2.0", 1, {10, 50}, "timeAt25Label", "4.00"},
        {"endTimeEdit", "2", "2.0", 0, {10, 10}, "timeAt50Label", "2.00"},
        {"startTimeEdit", "0", "0.0", 1, {0, 10}, "timeAt75Label", "1.50"},
        {"endTimeEdit", "0", "2.0", 1, {0, 10}, "startTimeEdit", "0.0"},
    };
    for (const Step& s : steps) {
        typeAndEnter(edit(s.edit), QLatin1String(s.typed));
        settle();
        EXPECT_EQ(text(s.edit), QLatin1String(s.shown)) << s.edit << " " << s.typed;
        EXPECT_EQ(page_->graph().drawEnabled, s.drawEnabled) << s.edit << " " << s.typed;
        EXPECT_EQ(page_->graph().firstIndex, s.window.first) << s.edit << " " << s.typed;
        EXPECT_EQ(page_->graph().lastIndex, s.window.last) << s.edit << " " << s.typed;
        EXPECT_EQ(text(s.label), QLatin1String(s.labelText)) << s.edit << " " << s.typed;
    }
    EXPECT_DOUBLE_EQ(page_->graph().upperBound[1], 20.0);
    EXPECT_DOUBLE_EQ(page_->graph().lowerBound[1], 20.0);

    // A commit of the number taken last time does nothing: the check box's drawing stays.
    child<QCheckBox>("item1Check")->click();
    ASSERT_EQ(page_->graph().drawEnabled, 1);
    typeAndEnter(edit("item2LowerEdit"), QStringLiteral("20"));
    settle();
    EXPECT_EQ(page_->graph().drawEnabled, 1);
    EXPECT_EQ(page_->graph().traceVisible[0], 0);
}

TEST_F(DataMonitorTest, CommitReachesThePageOnlyFromTheEventLoop) {
    const auto recording = dataRecording(10, 1001);
    load(*recording);
    typeAndEnter(edit("item2UpperEdit"), QStringLiteral("2000"));
    // Still inside the edit's own handling: the page has not acted yet.
    EXPECT_DOUBLE_EQ(page_->graph().upperBound[1], 951.0);
    settle();
    EXPECT_DOUBLE_EQ(page_->graph().upperBound[1], 2000.0);
    // Before Enable entry, and after Clear, a commit that is still on its way does nothing.
    typeAndEnter(edit("item2UpperEdit"), QStringLiteral("3000"));
    page_->clear();
    settle();
    EXPECT_DOUBLE_EQ(page_->graph().upperBound[1], 2000.0);
}

TEST_F(DataMonitorTest, EnterAndEscapeStayOnThePageAndTheChordAsksForTheDump) {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* defaultButton = new QPushButton(QStringLiteral("OK"), &dialog);
    defaultButton->setDefault(true);
    // The page is the fixture's: it leaves the dialog before the dialog would delete it.
    struct Lend {
        QWidget* page;
        ~Lend() { page->setParent(nullptr); }
    } lend{page_.get()};
    page_->setParent(&dialog);
    layout->addWidget(page_.get());
    layout->addWidget(defaultButton);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const auto recording = dataRecording(10, 1001);
    load(*recording);
    QSignalSpy pressed(defaultButton, &QPushButton::clicked);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    for (QWidget* target : {static_cast<QWidget*>(child<QCheckBox>("item1Check")),
                            static_cast<QWidget*>(edit("startTimeEdit"))}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Escape);
    }
    EXPECT_EQ(pressed.count(), 0);
    EXPECT_EQ(rejected.count(), 0);
    EXPECT_TRUE(dialog.isVisible());

    QSignalSpy dumps(page_.get(), &CMonitorPage::receiveDumpRequested);
    QWidget* target = edit("item1UpperEdit");
    const auto chord = [target](std::initializer_list<Qt::Key> keys) {
        Qt::KeyboardModifiers held;
        for (const Qt::Key key : keys) {
            QTest::keyPress(target, key, held);
            held |= key == Qt::Key_Control ? Qt::ControlModifier
                    : key == Qt::Key_Shift ? Qt::ShiftModifier
                                           : Qt::NoModifier;
        }
        for (const Qt::Key key : keys)
            QTest::keyRelease(target, key);
    };
    // Whichever of the three keys goes down last; two of them are no chord.
    chord({Qt::Key_F1, Qt::Key_Control, Qt::Key_Shift});
    chord({Qt::Key_Control, Qt::Key_Shift, Qt::Key_F1});
    chord({Qt::Key_Control, Qt::Key_Shift});
    EXPECT_EQ(dumps.count(), 2);
    // Holding the chord down asks once, not once per repeated key.
    QTest::keyPress(target, Qt::Key_Control);
    QTest::keyPress(target, Qt::Key_Shift, Qt::ControlModifier);
    QTest::keyPress(target, Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_F1, Qt::ControlModifier | Qt::ShiftModifier,
                     QString(), true);
    QApplication::sendEvent(target, &repeat);
    EXPECT_EQ(dumps.count(), 3);
}

// The rows of the page's picture where the graph draws a solid horizontal grid line.
std::vector<int> solidGridRows(const QImage& picture, const QRect& graph, Color grid) {
    std::vector<int> rows;
    for (int y = graph.top(); y <= graph.bottom(); ++y) {
        int count = 0;
        for (int x = graph.left(); x <= graph.right(); ++x)
            count += picture.pixelColor(x, y) == toQColor(grid);
        if (count == graph.width())
            rows.push_back(y);
    }
    return rows;
}

TEST_F(DataMonitorTest, LabelsStayOnTheQuarterLinesWhenThePageIsResized) {
    // Empty, so that no trace crosses the grid lines looked for.
    for (const QSize size : {QSize(700, 420), QSize(1009, 597), QSize(1500, 950)}) {
        page_->resize(size);
        settle();
        const QRect graph = graphWidget()->geometry();
        // The graph takes the room: "S" and the page's edges stay a fixed distance away.
        EXPECT_EQ(child<QLabel>("timeUnitLabel")->geometry().right(), size.width() - 3);
        EXPECT_EQ(edit("startTimeEdit")->geometry().bottom(), size.height() - 1);
        EXPECT_EQ(edit("item1LowerEdit")->geometry().bottom(), graph.bottom());
        const QImage picture = page_->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const std::vector<int> rows = solidGridRows(picture, graph, testColors().gridColor);
        ASSERT_GE(rows.size(), 3u) << size.width();
        const char* values[] = {"item2ValueAt75Label", "item2ValueAt50Label",
                                "item2ValueAt25Label"};
        const char* times[] = {"timeAt25Label", "timeAt50Label", "timeAt75Label"};
        for (int i = 0; i < 3; ++i) {
            const QRect value = child<QLabel>(values[i])->geometry();
            // Quarter lines sit at whole quarters, the grid's at its twentieths: within 3 px.
            EXPECT_NEAR(value.y() + value.height() / 2, rows[std::size_t(i)], 3) << size.width();
            EXPECT_EQ(value.y() + value.height() / 2, graph.y() + (graph.height() / 4) * (i + 1));
            const QRect time = child<QLabel>(times[i])->geometry();
            EXPECT_EQ(time.x() + time.width() / 2, graph.x() + (graph.width() / 4) * (i + 1));
        }
    }
}

TEST_F(DataMonitorTest, ItemNamesShowInFullWithoutCoveringTheirNeighbours) {
    // An item line keeps 259 characters, and the shortest rest after its name is
    // ",D1000,MSB,1,": the longest names the configuration lets through.
    constexpr int kLongestName = 259 - 13;
    QString words;
    while (words.size() < kLongestName)
        words += QStringLiteral("Position deviation ");
    auto recording = dataRecording(10, 101);
    recording->active.items[0].name = words.left(kLongestName).toStdString();
    recording->active.items[1].name = std::string(kLongestName, 'W');
    recording->active.items[2] = dataItem("Motor current", kTypeWord, 0.1, "0.1", "%");
    for (const QSize size : {QSize(1009, 597), QSize(1000, 600)}) {
        page_->resize(size);
        load(*recording);
        settle();
        for (std::size_t k = 0; k < 3; ++k) {
            const auto* check = child<QCheckBox>(("item" + std::to_string(k + 1) + "Check").c_str());
            const std::string name = recording->active.items[k].name;
            EXPECT_EQ(check->text().remove('\n').toStdString(), name) << k;
            EXPECT_EQ(check->toolTip().toStdString(), name) << k;
            EXPECT_GE(check->width(), check->sizeHint().width()) << k;
            EXPECT_GE(check->height(), check->sizeHint().height()) << k;
        }
        // The axis lines run through their value labels on purpose, as ticks on an axis.
        const auto onItsAxis = [](const QWidget* a, const QWidget* b) {
            return a->objectName().endsWith("AxisLine") && b->objectName().contains("ValueAt");
        };
        const auto widgets = page_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (const QWidget* a : widgets)
            for (const QWidget* b : widgets)
                if (a < b && a->isVisible() && b->isVisible() && !onItsAxis(a, b) &&
                    !onItsAxis(b, a)) {
                    EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                        << a->objectName().toStdString() << " on " << b->objectName().toStdString();
                }
    }
}

TEST_F(DataMonitorTest, CursorReadoutFollowsTheMouse) {
    const auto recording = dataRecording(10, 1001);
    load(*recording);
    QWidget* graph = graphWidget();
    const int x = graph->width() / 3;
    sendMouse(graph, QEvent::MouseMove, QPoint(x, 40));
    const GraphWindow window{0, 1000};
    const uint32_t index = *pixelToSample(TraceStyle::Line, window, graph->width(), x);
    const GraphCursor& cursor = page_->cursor();
    ASSERT_TRUE(cursor.shown());
    EXPECT_EQ(cursor.lineX(), sampleToPixel(TraceStyle::Line, window, graph->width(), index));
    ASSERT_EQ(cursor.lines().size(), 3u);
    EXPECT_EQ(cursor.lines()[0].text, QString::fromStdString(sampleTimeText(index, 10)) + " S");
    EXPECT_EQ(cursor.lines()[1].text, QStringLiteral("Current: 7.00 A"));
    EXPECT_EQ(cursor.lines()[2].text, QStringLiteral("Speed: %1 rpm").arg(int(index) - 50));
    EXPECT_EQ(cursor.lines()[2].color, toQColor(testColors().traceColors[1]));
    // The box is painted over the graph in its background colour.
    const QImage shown = graph->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect box = cursor.boxRect();
    EXPECT_EQ(shown.pixelColor(box.right() - 2, box.bottom() - 2),
              toQColor(testColors().backgroundColor));
    EXPECT_EQ(shown.pixelColor(cursor.lineX(), graph->height() - 2),
              toQColor(testColors().gridColor));

    child<QCheckBox>("item1Check")->click();  // a hidden trace leaves the readout
    EXPECT_EQ(cursor.lines().size(), 2u);
    sendMouse(graph, QEvent::Leave, QPoint());
    EXPECT_FALSE(cursor.shown());
}

TEST_F(DataMonitorTest, WheelAndDragMoveTheWindowThroughTheTimeEdits) {
    const auto recording = dataRecording(10, 1001);
    page_->loadRecording(*recording);
    QWidget* graph = graphWidget();
    const QPoint middle(graph->width() / 2, 40);
    sendWheel(graph, middle, 1);
    EXPECT_EQ(text("endTimeEdit"), QStringLiteral("10.0"));  // read-only: no zoom
    page_->enableEntry();

    // The edits, the labels and the graph always show the same window.
    const auto agree = [&](const char* what) {
        const double start = edit("startTimeEdit")->value();
        const double end = edit("endTimeEdit")->value();
        EXPECT_EQ(page_->graph().firstIndex, secondsToIndex(start, 10)) << what;
        EXPECT_EQ(page_->graph().lastIndex, secondsToIndex(end, 10)) << what;
        const auto labels = timeLabels({start, end});
        EXPECT_EQ(text("timeAt25Label"), QString::fromStdString(labels[0])) << what;
        EXPECT_EQ(text("timeAt75Label"), QString::fromStdString(labels[2])) << what;
    };
    sendWheel(graph, middle, 2);  // two notches in: 0.64 of 10 s around the middle
    EXPECT_EQ(text("startTimeEdit"), QStringLiteral("1.8"));
    EXPECT_EQ(text("endTimeEdit"), QStringLiteral("8.2"));
    agree("zoomed in");
    sendMouse(graph, QEvent::MouseButtonPress, middle, Qt::LeftButton);
    sendMouse(graph, QEvent::MouseMove, middle - QPoint(graph->width() / 4, 0), Qt::LeftButton);
    sendMouse(graph, QEvent::MouseButtonRelease, middle, Qt::LeftButton);
    // A quarter of the graph's width to the left shows a quarter of the window later.
    EXPECT_EQ(text("startTimeEdit"), QStringLiteral("3.4"));
    EXPECT_EQ(text("endTimeEdit"), QStringLiteral("9.8"));
    agree("dragged");
    sendWheel(graph, middle, -20);
    EXPECT_EQ(text("startTimeEdit"), QStringLiteral("0.0"));
    EXPECT_EQ(text("endTimeEdit"), QStringLiteral("10.0"));
    typeAndEnter(edit("startTimeEdit"), QStringLiteral("5"));
    settle();
    sendMouse(graph, QEvent::MouseButtonDblClick, middle, Qt::LeftButton);
    EXPECT_EQ(text("startTimeEdit"), QStringLiteral("0.0"));
    agree("double click");
}

TEST_F(DataMonitorTest, RecordingsTooShortToDrawAreShownWithoutReadingPastThem) {
    // Also a complete recording whose configured time implies samples it does not hold.
    for (const uint32_t samples : {0u, 1u, 2u}) {
        const auto recording = dataRecording(10, samples, EndMarker::Complete, 60);
        load(*recording);
        pokeEverything(*page_, graphWidget());
        EXPECT_LE(page_->graph().lastIndex, samples > 0 ? samples - 1 : 0) << samples;
    }
}

TEST_F(DataMonitorTest, ControlsCarryStableNamesAndTheirLabels) {
    for (const char* name :
         {"item1Check", "item3Check", "item2UpperEdit", "item3LowerEdit", "startTimeEdit",
          "endTimeEdit", "cycleLabel", "spanLabel", "cycleCaption", "spanCaption", "item1UnitLabel",
          "item2AxisLine", "item3ValueAt50Label", "timeAt75Label", "timeUnitLabel", "dataGraph"})
        EXPECT_NE(page_->findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(child<QLabel>("item2UnitLabel")->buddy(), edit("item2LowerEdit"));
    EXPECT_EQ(child<QLabel>("timeUnitLabel")->buddy(), edit("endTimeEdit"));
    EXPECT_EQ(text("cycleCaption"),
              QString::fromStdString(programCatalogue().GetText(text::MSG_SAMPLING_SPAN)));
    const auto recording = dataRecording(10, 1001);
    load(*recording);
    // A value label is read out by what it shows.
    for (const char* name : {"spanLabel", "item2ValueAt50Label", "timeAt25Label"}) {
        QAccessibleInterface* label = QAccessible::queryAccessibleInterface(child<QLabel>(name));
        EXPECT_EQ(label->text(QAccessible::Name), text(name)) << name;
    }
    EXPECT_FALSE(graphWidget()->accessibleName().isEmpty());
    EXPECT_EQ(graphWidget()->accessibleDescription(),
              QStringLiteral("Current, Speed from 0.0 to 10.0 S"));
}

TEST_F(DataMonitorTest, LatestValueShowsInFullInItsLabelUpToTheTypesLimits) {
    struct Case {
        int32_t type;
        double scale;
        const char* scaleText;
        int32_t raw;
        const char* value;
        bool unitShown;
    };
    const Case cases[] = {
        {kTypeUmsb, 1.0, "1", 255, "255", true},
        {kTypeWord, 0.1, "0.1", -32768, "-3276.8", true},
        {kTypeDword, 0.01, "0.01", INT32_MIN, "-21474836.48", false},
        {kTypeDword, 1.0, "1", INT32_MIN, "-2147483648", false},
        {kTypeUdword, 1000.0, "1000", -1, "4294967295000", false},
        {kTypeUdword, 0.0001, "0.0001", -1, "429496.7295", false},
    };
    for (const Case& c : cases) {
        ControllerRecord record;
        record.items[0] = dataItem("Torque", c.type, c.scale, c.scaleText, "N");
        page_->beginLive(record, 20, 10, 501);
        const double plotted[kDataItemCount] = {plottedValue(record.items[0], c.raw), 0, 0};
        page_->appendLive(true, plotted);
        page_->showLatest(20);
        const QLabel* label = child<QLabel>("item1UnitLabel");
        const QString shown = label->text();
        EXPECT_EQ(shown.toStdString(), c.unitShown ? std::string(c.value) + " N" : c.value);
        EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width())
            << c.value;
        EXPECT_EQ(label->toolTip().toStdString(), c.unitShown ? "" : "N") << c.value;
    }
    // The next recording's unit is shown in the page's own type again.
    page_->clear();
    EXPECT_EQ(child<QLabel>("item1UnitLabel")->font(), page_->font());
}

TEST_F(DataMonitorTest, FiguresUseTheEditsDecimalSeparator) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    CDataMonitor german(programCatalogue());
    german.initialise(testColors());
    const auto recording = dataRecording(10, 1001);
    german.loadRecording(*recording);
    EXPECT_EQ(german.findChild<QLabel*>(QStringLiteral("timeAt25Label"))->text(), "2,50");
    EXPECT_EQ(german.findChild<QLabel*>(QStringLiteral("spanLabel"))->text(), "10,0");
    EXPECT_EQ(german.findChild<CNumberEditEx*>(QStringLiteral("item1UpperEdit"))->text(), "7,01");
}

}  // namespace
}  // namespace kestiva
