// The measurements between two markers over the longest recording a page loads (150,001
// samples, 25 minutes at 10 ms), markers on the first and last sample: the data page's three
// items and the I/O page's sixteen signals, each with its texts and the copied table.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>

#include "recording/MarkerFigures.h"
#include "settings/NumberText.h"

namespace kestiva {
namespace {

constexpr uint32_t kSamples = 150001;

std::unique_ptr<PageRecording> dataRecording() {
    auto page = std::make_unique<PageRecording>(kDataMonitor);
    page->cycle = 10;
    page->sampleCount = kSamples;
    const int32_t types[] = {kTypeWord, kTypeUdword, kTypeDword};
    for (int k = 0; k < kDataItemCount; ++k) {
        DataItem& item = page->active.items[std::size_t(k)];
        item.enabled = 1;
        item.name = "Item " + std::to_string(k + 1);
        item.typeCode = types[k];
        item.scale = 0.01;
        item.scaleText = "0.01";
        item.unit = "mm";
    }
    std::mt19937 random(7);
    for (uint32_t j = 0; j < kSamples; ++j)
        for (int k = 0; k < kDataItemCount; ++k)
            page->dataValue(j, k) =
                int32_t(3000.0 * std::sin(j / (40.0 + k))) + int32_t(random() % 200);
    return page;
}

std::unique_ptr<PageRecording> ioRecording() {
    auto page = std::make_unique<PageRecording>(kIoMonitor);
    page->cycle = 10;
    page->sampleCount = kSamples;
    for (int s = 0; s < kIoSignalCount; ++s) {
        page->active.items[std::size_t(s)].enabled = 1;
        page->active.items[std::size_t(s)].name = "Signal " + std::to_string(s + 1);
    }
    // Square waves of different periods, and one that never changes (its first edge is looked
    // for to the end).
    for (uint32_t i = 0; i < kSamples; ++i)
        for (int s = 0; s < kIoSignalCount; ++s)
            page->ioBit(i, s) = s == 15 ? 0 : uint8_t((i / uint32_t(3 + 7 * s)) % 2);
    return page;
}

void run(benchmark::State& state, const PageRecording& page) {
    for (auto _ : state) {
        const MarkerFigures figures = markerFigures(page, 0, kSamples - 1, 0xFFFFu);
        benchmark::DoNotOptimize(figures);
        if (state.range(0) != 0) {
            std::string table = measurementsTable(figures);
            benchmark::DoNotOptimize(table);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kSamples);
}

void BM_DataFiguresWholeRecording(benchmark::State& state) {
    static const auto page = dataRecording();
    run(state, *page);
}
BENCHMARK(BM_DataFiguresWholeRecording)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_IoFiguresWholeRecording(benchmark::State& state) {
    static const auto page = ioRecording();
    run(state, *page);
}
BENCHMARK(BM_IoFiguresWholeRecording)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestiva

BENCHMARK_MAIN();
