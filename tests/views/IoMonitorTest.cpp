// The I/O page where it differs from the data page: sixteen check boxes beside their bands,
// signals drawn in their own bands only, time edits that take a sign (and clamp it away), and
// check boxes that never bring back a window that cannot be drawn.

#include "views/IoMonitor.h"

#include "PageFixtures.h"

#include <QCheckBox>
#include <QLabel>

#include <gtest/gtest.h>

namespace kestiva {
namespace {

// Signals 0 ("RUN", always on) and 5 ("ALM", on for every other ten samples) of sixteen;
// 101 samples at 100 ms, complete after 10 s.
std::unique_ptr<PageRecording> ioRecording() {
    auto page = std::make_unique<PageRecording>(kIoMonitor);
    page->active.items[0] = {.name = "RUN", .enabled = 1};
    page->active.items[5] = {.name = "ALM", .enabled = 1};
    page->cycle = 100;
    page->time = 10;
    page->endMarker = EndMarker::Complete;
    page->sampleCount = 101;
    for (uint32_t i = 0; i < 101; ++i) {
        page->ioBit(i, 0) = 1;
        page->ioBit(i, 5) = uint8_t(i / 10 % 2);
    }
    return page;
}

class IoMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLocale_ = QLocale();
        QLocale::setDefault(QLocale::c());
        page_ = std::make_unique<CIoMonitor>(programCatalogue());
        page_->resize(1000, 600);
        page_->initialise(testColors());
        page_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page_.get()));
        recording_ = ioRecording();
    }
    void TearDown() override {
        page_.reset();
        QLocale::setDefault(savedLocale_);
    }

    QCheckBox* check(int signal) const {
        return page_->findChild<QCheckBox*>(QStringLiteral("signal%1Check").arg(signal));
    }
    CNumberEditEx* edit(const char* name) const {
        return page_->findChild<CNumberEditEx*>(QLatin1String(name));
    }
    QWidget* graphWidget() const { return page_->findChild<QWidget*>(QStringLiteral("ioGraph")); }

    QLocale savedLocale_;
    std::unique_ptr<CIoMonitor> page_;
    std::unique_ptr<PageRecording> recording_;
};

TEST_F(IoMonitorTest, OnlySignalsZeroAndFiveAreShownEachInItsBand) {
    page_->loadRecording(*recording_);
    for (int s = 0; s < kIoSignalCount; ++s) {
        const bool enabled = s == 0 || s == 5;
        EXPECT_EQ(check(s)->isEnabled(), enabled) << s;
        EXPECT_EQ(check(s)->isChecked(), enabled) << s;
        EXPECT_EQ(check(s)->text().isEmpty(), !enabled) << s;
    }
    EXPECT_EQ(check(5)->text(), QStringLiteral("ALM"));
    EXPECT_EQ(page_->findChild<QLabel*>(QStringLiteral("spanLabel"))->text(), "10.0");

    const QImage shown = graphWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int height = shown.height();
    for (int s = 0; s < kIoSignalCount; ++s) {
        const QColor color = toQColor(testColors().traceColors[std::size_t(s)]);
        // Band s spans levels 120 - 8s to 128 - 8s of 128, the top band first.
        const int top = height - height * (128 - 8 * s) / 128;
        const int bottom = height - height * (120 - 8 * s) / 128;
        int inBand = 0;
        int outside = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixelColor(x, y) == color)
                    (y >= top && y <= bottom ? inBand : outside) += 1;
        EXPECT_EQ(inBand > 0, s == 0 || s == 5) << s;
        EXPECT_EQ(outside, 0) << s;
    }
}

TEST_F(IoMonitorTest, CheckBoxesStayBesideTheirBandsWhenResized) {
    for (const QSize size : {QSize(640, 400), QSize(1400, 1000)}) {
        page_->resize(size);
        const QRect graph = graphWidget()->geometry();
        EXPECT_EQ(graph, QRect(120, 50, size.width() - 150, size.height() - 85));
        for (int s = 0; s < kIoSignalCount; ++s) {
            const int middle = check(s)->geometry().center().y();
            EXPECT_GE(middle, graph.y() + graph.height() * s / 16) << s;
            EXPECT_LT(middle, graph.y() + graph.height() * (s + 1) / 16) << s;
        }
        EXPECT_EQ(page_->findChild<QLabel*>(QStringLiteral("spanLabel"))->geometry().bottom(),
                  graph.y() - 1);
        EXPECT_EQ(edit("endTimeEdit")->geometry().right(), graph.right());
    }
}

TEST_F(IoMonitorTest, MinusOneInTheStartEditIsClampedToTheRecordingsStart) {
    page_->loadRecording(*recording_);
    page_->enableEntry();
    typeAndEnter(edit("startTimeEdit"), QStringLiteral("3"));
    settle();
    ASSERT_EQ(page_->graph().firstIndex, 30u);
    typeAndEnter(edit("startTimeEdit"), QStringLiteral("-1"));
    settle();
    EXPECT_EQ(edit("startTimeEdit")->text(), QStringLiteral("0.0"));
    EXPECT_EQ(page_->graph().firstIndex, 0u);
    EXPECT_EQ(page_->findChild<QLabel*>(QStringLiteral("timeAt25Label"))->text(), "2.50");
}

TEST_F(IoMonitorTest, CheckBoxesNeverBringBackAWindowThatCannotBeDrawn) {
    page_->loadRecording(*recording_);
    check(0)->click();  // before Enable entry the box toggles but the graph stays
    EXPECT_EQ(page_->graph().traceVisible[0], 1);
    page_->enableEntry();
    typeAndEnter(edit("endTimeEdit"), QStringLiteral("5"));
    settle();
    typeAndEnter(edit("startTimeEdit"), QStringLiteral("5"));
    settle();
    ASSERT_EQ(page_->graph().drawEnabled, 0);  // one sample: kept, not drawn
    check(5)->click();
    EXPECT_EQ(page_->graph().traceVisible[5], 0);
    check(5)->click();
    EXPECT_EQ(page_->graph().traceVisible[5], 1);
    EXPECT_EQ(page_->graph().drawEnabled, 0);
}

TEST_F(IoMonitorTest, ReadoutShowsEachShownSignalsState) {
    page_->loadRecording(*recording_);
    QWidget* graph = graphWidget();
    const GraphWindow window{0, 100};
    const int x = *sampleToPixel(TraceStyle::Steps, window, graph->width(), 15);
    sendMouse(graph, QEvent::MouseMove, QPoint(x + 1, 10));
    const GraphCursor& cursor = page_->cursor();
    ASSERT_TRUE(cursor.shown());
    EXPECT_EQ(cursor.lineX(), x);
    ASSERT_EQ(cursor.lines().size(), 3u);
    EXPECT_EQ(cursor.lines()[0].text, QStringLiteral("1.500 S"));
    EXPECT_EQ(cursor.lines()[1].text, QStringLiteral("RUN: 1"));
    EXPECT_EQ(cursor.lines()[2].text, QStringLiteral("ALM: 1"));
    page_->clear();
    EXPECT_FALSE(cursor.shown());
    for (int s : {0, 5, 15}) {
        EXPECT_EQ(check(s)->text(), QStringLiteral("---")) << s;
        EXPECT_FALSE(check(s)->isEnabled()) << s;
    }
}

TEST_F(IoMonitorTest, RecordingsTooShortToDrawAreShownWithoutReadingPastThem) {
    for (const uint32_t samples : {0u, 1u}) {
        recording_->sampleCount = samples;
        page_->loadRecording(*recording_);
        page_->enableEntry();
        pokeEverything(*page_, graphWidget());
        EXPECT_EQ(page_->graph().lastIndex, 0u) << samples;
    }
}

}  // namespace
}  // namespace kestiva
