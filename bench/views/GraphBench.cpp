// Paint time of the two graphs at the size of a maximised window, holding the longest
// recordings a page loads (150,001 samples, 25 minutes at 10 ms), and the memory the graphs
// hold for them.
//
// Each case paints the whole graph into a 1000 x 600 image the way the widget does, for a
// window a user can show: the whole recording, a zoomed window of 12,001 samples, and 41
// samples (fewer than the plot's columns). "raster" is how the graphs draw: the window's
// rasteriser, from the traces' envelopes, straight into the pixels. The others paint with Qt's
// painter: "envelope" from the same envelope polylines (how the graphs painted before the
// rasteriser), "collapsed" builds a vertex per sample and collapses each column's, "every
// vertex" draws one vertex per sample as a plain polyline would. All give the same pixels (see
// the tests).

#include "bench/GraphCases.h"
#include "window/GraphGeometry.h"
#include "window/TraceColumns.h"
#include "views/TraceGraphWidget.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace kestiva {
namespace {

using namespace graph_cases;

const QSize kPlot(1000, 600);
const Size kPlotSize(1000, 600);

// How a case draws: one of Qt's PolylineModes, or the rasteriser.
constexpr int64_t kRaster = 3;

// The process's peak before the first case; the framework runs each case more than once.
long gRssAtStart = 0;

long peakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

const char* modeName(int64_t mode) {
    if (mode == kRaster) return "raster";
    switch (PolylineMode(mode)) {
    case PolylineMode::Envelope: return "envelope";
    case PolylineMode::CollapsedColumns: return "collapsed";
    default: return "every vertex";
    }
}

constexpr double kMiB = 1024.0 * 1024.0;

// buffers: the graph's sample buffers and envelopes. scratch: the largest point arrays one
// trace's paint allocates (every vertex, or the envelope's vertices, then the collapsed
// polyline and its spans). peak_rss_delta: growth of the process's peak resident size since
// start-up, set-up and image included; only meaningful for a case run alone
// (--benchmark_filter), since an earlier case may already have raised the peak.
void reportMemory(benchmark::State& state, size_t bufferBytes, size_t scratchBytes) {
    state.counters["buffers_MiB"] = double(bufferBytes) / kMiB;
    state.counters["scratch_MiB"] = double(scratchBytes) / kMiB;
    state.counters["peak_rss_delta_MiB"] = double(peakRssKiB() - gRssAtStart) / 1024.0;
}

template <typename Graph>
size_t paintScratchBytes(const Graph& graph, TraceShape shape, int64_t mode) {
    size_t largest = 0;
    for (uint32_t i = 0; i < graph.traceCount; ++i) {
        const auto pieces =
            mode != int64_t(PolylineMode::EveryVertex)
                ? envelopePolylines(graph.heldSamples(i), graph.envelopes[i], shape,
                                    graph.firstIndex, graph.lastIndex, graph.lowerBound[i],
                                    graph.upperBound[i], kPlotSize)
                : everyVertexPolylines(graph.heldSamples(i), shape, graph.firstIndex,
                                       graph.lastIndex, graph.lowerBound[i],
                                       graph.upperBound[i], kPlotSize);
        size_t bytes = 0;
        for (const auto& points : pieces) {
            bytes += points.size() * sizeof(Point);
            if (mode != int64_t(PolylineMode::EveryVertex)) {
                const CollapsedTrace collapsed = collapseColumns(points, kPlotSize);
                bytes += collapsed.polyline.size() * sizeof(Point) +
                         collapsed.spans.size() * sizeof(Line);
            }
        }
        largest = std::max(largest, bytes);
    }
    return largest;
}

void BM_DataGraphPaint(benchmark::State& state) {
    const int signal = int(state.range(0));
    const int window = int(state.range(1));
    const int64_t mode = state.range(2);
    const auto graph = makeDataGraph(signal);
    showWindow(*graph, window);
    QImage image(kPlot, QImage::Format_RGB32);
    for (auto _ : state) {
        if (mode == kRaster)
            renderMultiGraph(*graph, image);
        else
            paintMultiGraph(*graph, image, PolylineMode(mode));
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(std::string(signalName(signal)) + ", " + windowName(window) + ", " +
                   modeName(mode));
    reportMemory(state, graph->sampleBytes(), paintScratchBytes(*graph, TraceShape::Line, mode));
}

void BM_IoGraphPaint(benchmark::State& state) {
    const double toggle = double(state.range(0)) / 1000.0;
    const int window = int(state.range(1));
    const int64_t mode = state.range(2);
    const auto graph = makeIoGraph(toggle);
    showWindow(*graph, window);
    QImage image(kPlot, QImage::Format_RGB32);
    for (auto _ : state) {
        if (mode == kRaster)
            renderIoGraph(*graph, image);
        else
            paintIoGraph(*graph, image, PolylineMode(mode));
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel("bit change per sample " + std::to_string(toggle) + ", " +
                   windowName(window) + ", " + modeName(mode));
    reportMemory(state, graph->sampleBytes(), paintScratchBytes(*graph, TraceShape::Steps, mode));
}

// Storing the samples of a recording as they arrive, envelope included: three traces of
// 150,001 values (the time per sample is the time divided by 450,003).
void BM_DataGraphAppend(benchmark::State& state) {
    MultiGraphData graph;
    graph.reset(3, kSamples);
    std::mt19937 rng(3);
    std::vector<double> values(kSamples);
    double walk = 0.0;
    for (uint32_t k = 0; k < kSamples; ++k)
        values[k] = sampleValue(kNoisySine, k, 0, rng, walk);
    for (auto _ : state) {
        graph.clearSamples();
        for (uint32_t i = 0; i < 3; ++i)
            for (const double v : values)
                graph.appendSample(i, v);
        benchmark::DoNotOptimize(graph.fillCount.data());
    }
}

constexpr int64_t kEnvelope = int64_t(PolylineMode::Envelope);
constexpr int64_t kCollapsed = int64_t(PolylineMode::CollapsedColumns);
constexpr int64_t kEveryVertex = int64_t(PolylineMode::EveryVertex);

BENCHMARK(BM_DataGraphPaint)
    ->ArgsProduct({{kNoisySine, kRandomWalk, kUniformNoise, kWildValues},
                   {kWhole, kZoomed, kFewSamples},
                   {kEnvelope, kCollapsed, kRaster}})
    ->Unit(benchmark::kMillisecond);
// Toggle probabilities in thousandths: a busy signal, and the worst case of a coin toss.
BENCHMARK(BM_IoGraphPaint)
    ->ArgsProduct({{10, 500}, {kWhole, kZoomed, kFewSamples}, {kEnvelope, kCollapsed, kRaster}})
    ->Unit(benchmark::kMillisecond);
// The plain polyline, for scale: the whole recording only, it is slow.
BENCHMARK(BM_DataGraphPaint)
    ->ArgsProduct({{kNoisySine, kRandomWalk, kUniformNoise}, {kWhole}, {kEveryVertex}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IoGraphPaint)
    ->ArgsProduct({{10, 500}, {kWhole}, {kEveryVertex}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataGraphAppend)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestiva

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    kestiva::gRssAtStart = kestiva::peakRssKiB();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
