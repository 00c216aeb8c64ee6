// The two monitor pages holding the longest recordings they load (150,001 samples, 25 minutes
// at 10 ms): Load recording followed by the first paint of a 1000 x 600 page, one zoom step
// (a committed window) up to the repainted graph, a cursor move over the loaded graph, and
// the memory each page holds (counters, in MiB: the graph's buffers and its kept picture; the
// recording itself belongs to the session).

#include "settings/NumberText.h"
#include "settings/ProgramFolder.h"
#include "views/DataMonitor.h"
#include "views/IoMonitor.h"
#include "views/MeasurementPanel.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

namespace kestiva {
namespace {

constexpr uint32_t kSamples = 150001;
const QSize kPage(1000, 600);
constexpr double kMiB = 1024.0 * 1024.0;

LanguageCatalogue& catalogue() {
    static LanguageCatalogue texts = [] {
        LanguageCatalogue t(programFolder());
        t.languageLoaded = true;
        t.LoadLanguageCatalogue();
        return t;
    }();
    return texts;
}

ColorTable colors() {
    ColorTable table;
    table.name = "bench";
    table.gridColor = 0xDFDFDF;
    for (std::size_t i = 0; i < table.traceColors.size(); ++i)
        table.traceColors[i] = 0x0000FF + Color(i) * 0x0F0F00;
    return table;
}

// Three items as a motor shows them: a noisy current, a slow speed swing, a climbing position.
const PageRecording& dataRecording() {
    static const auto page = [] {
        auto p = std::make_unique<PageRecording>(kDataMonitor);
        DataItem item;
        item.enabled = 1;
        item.typeCode = kTypeWord;
        item.scale = 0.01;
        item.scaleText = "0.01";
        const char* names[] = {"Current", "Speed", "Position"};
        for (std::size_t k = 0; k < kDataItemCount; ++k) {
            item.name = names[k];
            p->active.items[k] = item;
        }
        p->cycle = 10;
        p->time = 1500;
        p->endMarker = EndMarker::Complete;
        p->sampleCount = kSamples;
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> noise(-100, 100);
        for (uint32_t j = 0; j < kSamples; ++j) {
            p->dataValue(j, 0) = int32_t(1000 * std::sin(j * 0.0005)) + noise(rng);
            p->dataValue(j, 1) = int32_t(3000 * std::sin(j * 0.00005));
            p->dataValue(j, 2) = int32_t(j / 10);
        }
        return p;
    }();
    return *page;
}

// Sixteen signals, each changing on about one sample in a hundred.
const PageRecording& ioRecording() {
    static const auto page = [] {
        auto p = std::make_unique<PageRecording>(kIoMonitor);
        for (int s = 0; s < kIoSignalCount; ++s)
            p->active.items[std::size_t(s)] = {.name = "IN" + std::to_string(s), .enabled = 1};
        p->cycle = 10;
        p->time = 1500;
        p->endMarker = EndMarker::Complete;
        p->sampleCount = kSamples;
        std::mt19937 rng(2);
        std::bernoulli_distribution flips(0.01);
        for (int s = 0; s < kIoSignalCount; ++s) {
            uint8_t bit = 0;
            for (uint32_t i = 0; i < kSamples; ++i) {
                bit ^= flips(rng) ? 1 : 0;
                p->ioBit(i, s) = bit;
            }
        }
        return p;
    }();
    return *page;
}

template <typename Page>
std::unique_ptr<Page> makePage() {
    auto page = std::make_unique<Page>(catalogue());
    page->resize(kPage);
    page->initialise(colors());
    return page;
}

template <typename Page>
QWidget* graphOf(Page& page) {
    return const_cast<QWidget*>(static_cast<const QWidget*>(&page.graph()));
}

template <typename Page>
void loadAndPaint(benchmark::State& state, const PageRecording& recording) {
    const auto page = makePage<Page>();
    for (auto _ : state) {
        state.PauseTiming();
        page->clear();  // as the window does when a recording starts
        state.ResumeTiming();
        page->loadRecording(recording);
        page->enableEntry();
        benchmark::DoNotOptimize(page->grab());
    }
    state.counters["page_MiB"] = double(page->memoryBytes()) / kMiB;
}

// Alternately one notch in and one out around the middle: each step commits a window of
// 120,000 to 150,001 samples and paints the graph again.
template <typename Page>
void zoomStep(benchmark::State& state, const PageRecording& recording) {
    const auto page = makePage<Page>();
    page->loadRecording(recording);
    page->enableEntry();
    QWidget* graph = graphOf(*page);
    const QPointF middle(graph->width() / 2.0, 10.0);
    int notch = 1;
    for (auto _ : state) {
        QWheelEvent wheel(middle, middle, QPoint(), QPoint(0, 120 * notch), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(graph, &wheel);
        benchmark::DoNotOptimize(graph->grab());
        notch = -notch;
    }
}

// The readout follows the mouse; the graph's kept picture is copied, not painted again.
template <typename Page>
void cursorMove(benchmark::State& state, const PageRecording& recording) {
    const auto page = makePage<Page>();
    page->loadRecording(recording);
    QWidget* graph = graphOf(*page);
    benchmark::DoNotOptimize(graph->grab());
    int x = 0;
    for (auto _ : state) {
        const QPointF at((x += 7) % graph->width(), 10.0);
        QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(graph, &move);
        benchmark::DoNotOptimize(graph->grab());
    }
}

void sendMouse(QWidget* graph, QEvent::Type type, QPointF at, Qt::KeyboardModifiers modifiers) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, at, Qt::LeftButton, held, modifiers);
    QApplication::sendEvent(graph, &event);
}

// Marker A dragged a few pixels to and fro near the start while B lies on the last sample:
// each move measures about 150,000 samples of every item or signal, refills the panel and
// repaints the page (the graph's kept picture is copied, not painted again).
template <typename Page>
void markerDrag(benchmark::State& state, const PageRecording& recording) {
    const auto page = makePage<Page>();
    page->loadRecording(recording);
    page->enableEntry();
    QWidget* graph = graphOf(*page);
    const double a = 10.0;
    for (const auto& [x, modifier] : {std::pair{a, Qt::ShiftModifier},
                                      std::pair{graph->width() - 1.0, Qt::ControlModifier}}) {
        sendMouse(graph, QEvent::MouseButtonPress, {x, 10.0}, modifier);
        sendMouse(graph, QEvent::MouseButtonRelease, {x, 10.0}, modifier);
    }
    benchmark::DoNotOptimize(page->grab());
    sendMouse(graph, QEvent::MouseButtonPress, {a, 10.0}, Qt::NoModifier);
    int step = 0;
    for (auto _ : state) {
        sendMouse(graph, QEvent::MouseMove, {a + (step++ % 8), 10.0}, Qt::NoModifier);
        benchmark::DoNotOptimize(page->grab());
    }
    sendMouse(graph, QEvent::MouseButtonRelease, {a, 10.0}, Qt::NoModifier);
    state.counters["measured_samples"] = double(page->measurementPanel().figures().last -
                                                page->measurementPanel().figures().first + 1);
}

void BM_DataPageLoadAndPaint(benchmark::State& state) {
    loadAndPaint<CDataMonitor>(state, dataRecording());
}
void BM_IoPageLoadAndPaint(benchmark::State& state) {
    loadAndPaint<CIoMonitor>(state, ioRecording());
}
void BM_DataPageZoomStep(benchmark::State& state) {
    zoomStep<CDataMonitor>(state, dataRecording());
}
void BM_IoPageZoomStep(benchmark::State& state) {
    zoomStep<CIoMonitor>(state, ioRecording());
}
void BM_DataPageCursorMove(benchmark::State& state) {
    cursorMove<CDataMonitor>(state, dataRecording());
}
void BM_IoPageCursorMove(benchmark::State& state) {
    cursorMove<CIoMonitor>(state, ioRecording());
}

void BM_DataPageMarkerDrag(benchmark::State& state) {
    markerDrag<CDataMonitor>(state, dataRecording());
}
void BM_IoPageMarkerDrag(benchmark::State& state) {
    markerDrag<CIoMonitor>(state, ioRecording());
}

// Both pages full at once, as after a data and an I/O recording.
void BM_BothPagesMemory(benchmark::State& state) {
    const auto data = makePage<CDataMonitor>();
    const auto io = makePage<CIoMonitor>();
    data->loadRecording(dataRecording());
    io->loadRecording(ioRecording());
    benchmark::DoNotOptimize(data->grab());
    benchmark::DoNotOptimize(io->grab());
    for (auto _ : state)
        benchmark::DoNotOptimize(data->memoryBytes() + io->memoryBytes());
    state.counters["data_page_MiB"] = double(data->memoryBytes()) / kMiB;
    state.counters["io_page_MiB"] = double(io->memoryBytes()) / kMiB;
    state.counters["both_MiB"] = double(data->memoryBytes() + io->memoryBytes()) / kMiB;
}

BENCHMARK(BM_DataPageLoadAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IoPageLoadAndPaint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataPageZoomStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataPageMarkerDrag)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IoPageMarkerDrag)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IoPageZoomStep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataPageCursorMove)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IoPageCursorMove)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BothPagesMemory)->Iterations(1);

}  // namespace
}  // namespace kestiva

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
