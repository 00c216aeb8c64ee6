// Markers A and B on both pages as a user places and moves them, and the measurement panel
// between them: its figures are the core's, its copy is the core's table, and hidden traces
// stay out of it. The marker code is the pages' shared code; the I/O page's case checks only
// what differs (signals in the panel, steps on the graph).

#include "views/DataMonitor.h"
#include "views/IoMonitor.h"
#include "views/MeasurementPanel.h"

#include "PageFixtures.h"
#include "recording/MarkerFigures.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace kestiva {
namespace {

constexpr int kA = CMonitorPage::kMarkerA;
constexpr int kB = CMonitorPage::kMarkerB;

void clickWith(QWidget* target, int x, Qt::KeyboardModifiers modifiers) {
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(x, 30), QPointF(target->mapToGlobal(QPoint(x, 30))),
                          Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          modifiers);
        QApplication::sendEvent(target, &event);
    }
}

std::vector<std::vector<QString>> splitTable(const QString& text) {
    std::vector<std::vector<QString>> rows;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList cells = line.split(QLatin1Char('\t'));
        rows.emplace_back(cells.begin(), cells.end());
    }
    return rows;
}

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

class MarkersTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLocale_ = QLocale();
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override { QLocale::setDefault(savedLocale_); }

    template <typename Page>
    std::unique_ptr<Page> shownPage() {
        auto page = std::make_unique<Page>(programCatalogue());
        page->resize(1000, 600);
        page->initialise(testColors());
        page->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(page.get()));
        return page;
    }

    static QTableWidget* table(const CMonitorPage& page) {
        return page.findChild<QTableWidget*>(QStringLiteral("measurementTable"));
    }
    static QStringList row(const CMonitorPage& page, int r) {
        QStringList cells;
        for (int c = 0; c < table(page)->columnCount(); ++c)
            cells << table(page)->item(r, c)->text();
        return cells;
    }
    static std::optional<int> lineX(const CMonitorPage& page, int which) {
        return page.markerLines().marks()[std::size_t(which)].x;
    }

    QLocale savedLocale_;
};

TEST_F(MarkersTest, PlacedWithTheMouseAndTheKeysAndMovedByDragAndArrows) {
    auto page = shownPage<CDataMonitor>();
    const auto recording = dataRecording(10, 1001);
    page->loadRecording(*recording);
    page->enableEntry();
    QWidget* graph = page->findChild<QWidget*>(QStringLiteral("dataGraph"));
    const auto sampleAt = [&](int x) {
        return *pixelToSample(TraceStyle::Line, GraphWindow{0, 1000}, graph->width(), x);
    };
    const int graphBottomBefore = graph->geometry().bottom();

    clickWith(graph, 200, Qt::ShiftModifier);
    EXPECT_EQ(page->marker(kA), sampleAt(200));
    EXPECT_FALSE(page->marker(kB));
    EXPECT_FALSE(page->measurementPanel().isVisible());  // one marker: the page as before
    EXPECT_EQ(page->findChild<QLineEdit*>(QStringLiteral("startTimeEdit"))->text(), "0.0");
    clickWith(graph, 600, Qt::ControlModifier);
    EXPECT_EQ(page->marker(kB), sampleAt(600));
    EXPECT_EQ(page->activeMarker(), kB);
    EXPECT_EQ(page->findChild<QLineEdit*>(QStringLiteral("startTimeEdit"))->text(), "0.0")
        << "a marker click pans nothing";

    // Both placed: the panel takes the page's foot, and nothing lies over it.
    const MeasurementPanel& panel = page->measurementPanel();
    ASSERT_TRUE(panel.isVisible());
    EXPECT_LT(graph->geometry().bottom(), graphBottomBefore);
    for (const QWidget* control : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control != &panel && control->isVisible()) {
            EXPECT_FALSE(control->geometry().intersects(panel.geometry()))
                << control->objectName().toStdString();
        }
    }

    // Dragging A's line moves A along, without panning the window.
    const int ax = *lineX(*page, kA);
    sendMouse(graph, QEvent::MouseButtonPress, QPoint(ax + 2, 30), Qt::LeftButton);
    EXPECT_EQ(page->activeMarker(), kA);
    sendMouse(graph, QEvent::MouseMove, QPoint(300, 30), Qt::LeftButton);
    EXPECT_EQ(page->marker(kA), sampleAt(300));
    EXPECT_EQ(panel.figures().a, sampleAt(300)) << "the panel follows the drag";
    sendMouse(graph, QEvent::MouseButtonRelease, QPoint(300, 30), Qt::LeftButton);
    EXPECT_EQ(page->findChild<QLineEdit*>(QStringLiteral("startTimeEdit"))->text(), "0.0");

    // The keys: arrows move the active marker by one sample; B makes B active where it is.
    graph->setFocus();
    QTest::keyClick(graph, Qt::Key_Right);
    EXPECT_EQ(page->marker(kA), sampleAt(300) + 1);
    sendMouse(graph, QEvent::Leave, QPoint());
    QTest::keyClick(graph, Qt::Key_B);
    EXPECT_EQ(page->activeMarker(), kB);
    EXPECT_EQ(page->marker(kB), sampleAt(600));
    QTest::keyClick(graph, Qt::Key_Left);
    QTest::keyClick(graph, Qt::Key_Left);
    EXPECT_EQ(page->marker(kB), sampleAt(600) - 2);
    EXPECT_EQ(page->marker(kA), sampleAt(300) + 1);
    EXPECT_EQ(panel.figures().b, sampleAt(600) - 2);
    // A with the mouse over the graph places A under it.
    sendMouse(graph, QEvent::MouseMove, QPoint(100, 30));
    QTest::keyClick(graph, Qt::Key_A);
    EXPECT_EQ(page->marker(kA), sampleAt(100));
    QTest::keyClick(graph, Qt::Key_Delete);
    EXPECT_FALSE(page->marker(kA));
    EXPECT_FALSE(page->marker(kB));
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(graph->geometry().bottom(), graphBottomBefore);

    // Keys on an empty page place nothing; a marker never goes past the last sample.
    sendMouse(graph, QEvent::Leave, QPoint());
    QTest::keyClick(graph, Qt::Key_B);
    EXPECT_EQ(page->marker(kB), 500u) << "mid-window without the mouse";
    for (int i = 0; i < 600; ++i)
        QTest::keyClick(graph, Qt::Key_Right);
    EXPECT_EQ(page->marker(kB), 1000u);
}

TEST_F(MarkersTest, MarkersKeepTheirSamplesThroughZoomAndPanAndGoWithANewLoad) {
    auto page = shownPage<CDataMonitor>();
    const auto recording = dataRecording(10, 1001);
    page->loadRecording(*recording);
    page->enableEntry();
    QWidget* graph = page->findChild<QWidget*>(QStringLiteral("dataGraph"));
    clickWith(graph, graph->width() / 2, Qt::ShiftModifier);
    clickWith(graph, graph->width() / 2 + 40, Qt::ControlModifier);
    const auto a = page->marker(kA);
    const auto b = page->marker(kB);
    const auto linesFollow = [&](const char* what) {
        const GraphWindow window{page->graph().firstIndex, page->graph().lastIndex};
        EXPECT_EQ(page->marker(kA), a) << what;
        EXPECT_EQ(page->marker(kB), b) << what;
        EXPECT_EQ(lineX(*page, kA), sampleToPixel(TraceStyle::Line, window, graph->width(), *a))
            << what;
        EXPECT_EQ(lineX(*page, kB), sampleToPixel(TraceStyle::Line, window, graph->width(), *b))
            << what;
    };
    const int before = *lineX(*page, kB) - *lineX(*page, kA);
    sendWheel(graph, QPoint(graph->width() / 2, 30), 3);
    linesFollow("zoomed");
    EXPECT_GT(*lineX(*page, kB) - *lineX(*page, kA), before) << "zoomed in, they spread";
    // A pan from a spot clear of both lines.
    sendMouse(graph, QEvent::MouseButtonPress, QPoint(20, 30), Qt::LeftButton);
    sendMouse(graph, QEvent::MouseMove, QPoint(graph->width() - 20, 30), Qt::LeftButton);
    sendMouse(graph, QEvent::MouseButtonRelease, QPoint(graph->width() - 20, 30), Qt::LeftButton);
    linesFollow("panned");
    sendMouse(graph, QEvent::MouseButtonDblClick, QPoint(20, 30), Qt::LeftButton);
    linesFollow("whole recording");

    // Their lines are drawn over the graph in the grid colour, the active one (B) solid.
    const QImage shown = graph->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < graph->height() - 30; y += 7)
        ASSERT_EQ(shown.pixelColor(*lineX(*page, kB), y), toQColor(testColors().gridColor)) << y;

    const auto next = dataRecording(10, 501);
    page->loadRecording(*next);
    EXPECT_FALSE(page->marker(kA));
    EXPECT_FALSE(page->marker(kB));
    EXPECT_FALSE(page->measurementPanel().isVisible());
    EXPECT_FALSE(lineX(*page, kA));
    page->enableEntry();
    clickWith(graph, 100, Qt::ShiftModifier);
    clickWith(graph, 200, Qt::ControlModifier);
    page->clear();
    EXPECT_FALSE(page->marker(kA));
    EXPECT_FALSE(page->measurementPanel().isVisible());
}

TEST_F(MarkersTest, DataPanelShowsTheCoreFiguresAndCopiesTheCoreTable) {
    auto page = shownPage<CDataMonitor>();
    const auto recording = dataRecording(10, 1001);
    page->loadRecording(*recording);
    page->enableEntry();
    QWidget* graph = page->findChild<QWidget*>(QStringLiteral("dataGraph"));
    clickWith(graph, 700, Qt::ShiftModifier);  // B before A measures the same stretch
    clickWith(graph, 150, Qt::ControlModifier);
    const uint32_t a = *page->marker(kA);
    const uint32_t b = *page->marker(kB);

    const MarkerFigures expected = markerFigures(*recording, a, b, 0b111);
    ASSERT_EQ(expected.items.size(), 2u);
    const QString times = page->findChild<QLabel*>(QStringLiteral("markerTimesLabel"))->text();
    for (const std::string& figure :
         {expected.aTimeText, expected.bTimeText, expected.deltaText, expected.inverseDeltaText})
        EXPECT_TRUE(times.contains(q(figure))) << times.toStdString() << " lacks " << figure;
    ASSERT_EQ(table(*page)->rowCount(), 2);
    for (int r = 0; r < 2; ++r) {
        const ItemMeasurement& m = expected.items[std::size_t(r)];
        EXPECT_EQ(row(*page, r),
                  QStringList({q(m.name), q(m.unit), q(m.atAText), q(m.atBText),
                               q(m.differenceText), q(m.minimumText), q(m.minimumTimeText),
                               q(m.maximumText), q(m.maximumTimeText), q(m.meanText),
                               q(m.rmsText)}));
    }

    // The copy is the core's table, cell for cell, with the catalogue's titles.
    const MeasurementTitles titles = measurementTitles(programCatalogue());
    QGuiApplication::clipboard()->clear();
    page->findChild<QPushButton*>(QStringLiteral("copyMeasurementsButton"))->click();
    const auto copied = splitTable(QGuiApplication::clipboard()->text());
    EXPECT_EQ(copied, splitTable(q(measurementsTable(expected, titles))));
    ASSERT_EQ(copied.size(), 3u);
    EXPECT_EQ(copied[0][0], q(titles.item));
    EXPECT_EQ(copied[2][0], QStringLiteral("Speed"));

    // A hidden item leaves the panel and the copy; Ctrl + C on the graph copies too.
    page->findChild<QCheckBox*>(QStringLiteral("item1Check"))->click();
    const MarkerFigures speedOnly = markerFigures(*recording, a, b, 0b110);
    ASSERT_EQ(table(*page)->rowCount(), 1);
    EXPECT_EQ(row(*page, 0)[0], QStringLiteral("Speed"));
    EXPECT_EQ(row(*page, 0)[9], q(speedOnly.items[0].meanText));
    graph->setFocus();
    QTest::keyClick(graph, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), q(measurementsTable(speedOnly, titles)));
}

TEST_F(MarkersTest, IoPanelShowsEachShownSignalsLevelsAndEdges) {
    auto page = shownPage<CIoMonitor>();
    // "ALM" toggles every ten samples, "RUN" stays on; 101 samples at 100 ms.
    auto recording = std::make_unique<PageRecording>(kIoMonitor);
    recording->active.items[0] = {.name = "RUN", .enabled = 1};
    recording->active.items[5] = {.name = "ALM", .enabled = 1};
    recording->cycle = 100;
    recording->time = 10;
    recording->endMarker = EndMarker::Complete;
    recording->sampleCount = 101;
    for (uint32_t i = 0; i < 101; ++i) {
        recording->ioBit(i, 0) = 1;
        recording->ioBit(i, 5) = uint8_t(i / 10 % 2);
    }
    page->loadRecording(*recording);
    page->enableEntry();
    QWidget* graph = page->findChild<QWidget*>(QStringLiteral("ioGraph"));
    const auto sampleAt = [&](int x) {
        return *pixelToSample(TraceStyle::Steps, GraphWindow{0, 100}, graph->width(), x);
    };
    const int x5 = *sampleToPixel(TraceStyle::Steps, GraphWindow{0, 100}, graph->width(), 5);
    const int x47 = *sampleToPixel(TraceStyle::Steps, GraphWindow{0, 100}, graph->width(), 47);
    clickWith(graph, x5 + 1, Qt::ShiftModifier);
    clickWith(graph, x47 + 1, Qt::ControlModifier);
    ASSERT_EQ(page->marker(kA), sampleAt(x5 + 1));
    ASSERT_EQ(page->marker(kA), 5u);
    ASSERT_EQ(page->marker(kB), 47u);

    const MarkerFigures expected = markerFigures(*recording, 5, 47, 0xFFFF);
    ASSERT_EQ(table(*page)->rowCount(), 2);
    const SignalMeasurement& alm = expected.ioSignals[1];
    EXPECT_EQ(row(*page, 1), QStringList({"ALM", "0", "0", "2", "2", q(alm.firstEdgeTimeText),
                                          q(alm.highTimeText)}));
    EXPECT_EQ(q(alm.firstEdgeTimeText), QStringLiteral("1.000"));  // sample 10
    EXPECT_EQ(q(alm.highTimeText), QStringLiteral("2.000"));        // samples 10-19 and 30-39
    EXPECT_EQ(row(*page, 0)[0], QStringLiteral("RUN"));

    page->findChild<QCheckBox*>(QStringLiteral("signal0Check"))->click();
    ASSERT_EQ(table(*page)->rowCount(), 1);
    EXPECT_EQ(row(*page, 0)[0], QStringLiteral("ALM"));
}

}  // namespace
}  // namespace kestiva
