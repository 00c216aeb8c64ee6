// Paint time of the two graphs at the size of a maximised window, holding the longest
// recordings a page loads (150,001 samples, 25 minutes at 10 ms), and the memory the graphs
// hold for them.
//
// Each case paints the whole graph into a 1000 x 600 image the way the widget does. The
// "EveryVertex" cases draw one vertex per sample, as a plain polyline would; the others draw
// the collapsed polylines the graphs use. Both paint the same pixels (see the tests).

#include "views/GraphGeometry.h"
#include "views/IoGraph.h"
#include "views/MultiGraph.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

namespace kestiva {
namespace {

constexpr uint32_t kSamples = 150001;
const QSize kPlot(1000, 600);

// The process's peak before the first case; the framework runs each case more than once.
long gRssAtStart = 0;

long peakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

enum Signal { kNoisySine = 0, kRandomWalk = 1, kUniformNoise = 2 };

const char* signalName(int signal) {
    switch (signal) {
    case kNoisySine: return "noisy sine";
    case kRandomWalk: return "random walk";
    default: return "uniform noise";
    }
}

double sampleValue(int signal, uint32_t k, uint32_t trace, std::mt19937& rng, double& walk) {
    switch (signal) {
    case kNoisySine:
        // A slow swing with 5 % noise, like a motor current.
        return 1000.0 * std::sin(k * 0.0005 + trace) +
               std::uniform_real_distribution<>(-100.0, 100.0)(rng);
    case kRandomWalk:
        walk += std::normal_distribution<>(0.0, 5.0)(rng);
        return walk;
    default:
        return std::uniform_real_distribution<>(-1000.0, 1000.0)(rng);
    }
}

std::unique_ptr<MultiGraphData> makeDataGraph(int signal) {
    auto graph = std::make_unique<MultiGraphData>();
    graph->reset(3, kSamples);
    std::mt19937 rng(1);
    for (uint32_t i = 0; i < 3; ++i) {
        double walk = 0.0;
        double low = 0.0;
        double high = 0.0;
        for (uint32_t k = 0; k < kSamples; ++k) {
            const double v = sampleValue(signal, k, i, rng, walk);
            low = k == 0 ? v : std::min(low, v);
            high = k == 0 ? v : std::max(high, v);
            graph->appendSample(i, v);
        }
        // The page's own range: the extremes widened by one unit.
        graph->lowerBound[i] = low - 1.0;
        graph->upperBound[i] = high + 1.0;
    }
    graph->firstIndex = 0;
    graph->lastIndex = kSamples - 1;
    graph->drawEnabled = 1;
    return graph;
}

// Each bit changes with the given probability per sample.
std::unique_ptr<IoGraphData> makeIoGraph(double toggle) {
    auto graph = std::make_unique<IoGraphData>();
    graph->reset(16, kSamples);
    std::mt19937 rng(2);
    std::bernoulli_distribution flips(toggle);
    for (int j = 0; j < 16; ++j) {
        int bit = 0;
        for (uint32_t k = 0; k < kSamples; ++k) {
            if (flips(rng)) {
                bit ^= 1;
            }
            graph->appendSample(uint32_t(j), IoGraphData::level(j, bit));
        }
        graph->lowerBound[j] = IoGraphData::kLowerBound;
        graph->upperBound[j] = IoGraphData::kUpperBound;
    }
    graph->firstIndex = 0;
    graph->lastIndex = kSamples - 1;
    graph->drawEnabled = 1;
    return graph;
}

constexpr double kMiB = 1024.0 * 1024.0;

// buffers: the graph's sample buffers. scratch: the largest point arrays one trace's paint
// allocates (every vertex, then the collapsed polyline and its spans). peak_rss_delta: growth of the process's
// peak resident size since start-up, set-up and image included; only meaningful for a case
// run alone (--benchmark_filter), since an earlier case may already have raised the peak.
void reportMemory(benchmark::State& state, size_t bufferBytes, size_t scratchBytes) {
    state.counters["buffers_MiB"] = double(bufferBytes) / kMiB;
    state.counters["scratch_MiB"] = double(scratchBytes) / kMiB;
    state.counters["peak_rss_delta_MiB"] = double(peakRssKiB() - gRssAtStart) / 1024.0;
}

template <typename Graph, typename PointsOf>
size_t paintScratchBytes(const Graph& graph, PointsOf pointsOf, PolylineMode mode) {
    size_t largest = 0;
    for (uint32_t i = 0; i < graph.traceCount; ++i) {
        const std::vector<QPoint> points =
            pointsOf(graph.heldSamples(i), graph.firstIndex, graph.lastIndex,
                     graph.lowerBound[i], graph.upperBound[i], kPlot);
        size_t bytes = points.size() * sizeof(QPoint);
        if (mode == PolylineMode::CollapsedColumns) {
            const CollapsedTrace collapsed = collapseColumns(points, kPlot);
            bytes += collapsed.polyline.size() * sizeof(QPoint) +
                     collapsed.spans.size() * sizeof(QLine);
        }
        largest = std::max(largest, bytes);
    }
    return largest;
}

void BM_DataGraphPaint(benchmark::State& state) {
    const int signal = int(state.range(0));
    const auto mode = PolylineMode(state.range(1));
    const auto graph = makeDataGraph(signal);
    QImage image(kPlot, QImage::Format_RGB32);
    for (auto _ : state) {
        renderMultiGraph(*graph, image, mode);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(std::string(signalName(signal)) +
                   (mode == PolylineMode::EveryVertex ? ", every vertex" : ", collapsed"));
    reportMemory(state, graph->sampleBytes(), paintScratchBytes(*graph, multiTracePoints, mode));
}

void BM_IoGraphPaint(benchmark::State& state) {
    const double toggle = double(state.range(0)) / 1000.0;
    const auto mode = PolylineMode(state.range(1));
    const auto graph = makeIoGraph(toggle);
    QImage image(kPlot, QImage::Format_RGB32);
    for (auto _ : state) {
        renderIoGraph(*graph, image, mode);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel("bit change per sample " + std::to_string(toggle) +
                   (mode == PolylineMode::EveryVertex ? ", every vertex" : ", collapsed"));
    reportMemory(state, graph->sampleBytes(), paintScratchBytes(*graph, ioTracePoints, mode));
}

constexpr int64_t kCollapsed = int64_t(PolylineMode::CollapsedColumns);
constexpr int64_t kEveryVertex = int64_t(PolylineMode::EveryVertex);

BENCHMARK(BM_DataGraphPaint)
    ->ArgsProduct({{kNoisySine, kRandomWalk, kUniformNoise}, {kCollapsed, kEveryVertex}})
    ->Unit(benchmark::kMillisecond);
// Toggle probabilities in thousandths: a busy signal, and the worst case of a coin toss.
BENCHMARK(BM_IoGraphPaint)
    ->ArgsProduct({{10, 500}, {kCollapsed, kEveryVertex}})
    ->Unit(benchmark::kMillisecond);

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
