// Saving and reading a full-size recording (150,001 lines) of each page, each measured against
// writing or reading the same bytes as one block, interleaved in the same run. The counter
// x_block is the ratio to that baseline. The folder is $KESTIVA_BENCH_DIR or the temporary
// folder.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "recording/EmptyHosts.h"
#include "files/CsvFile.h"
#include "settings/TextIds.h"

namespace kestiva {
namespace {

using Clock = std::chrono::steady_clock;

using QuietWindow = EmptyWindow;

std::string benchFolder() {
    const char* dir = std::getenv("KESTIVA_BENCH_DIR");
    return dir ? dir : std::filesystem::temp_directory_path().string();
}

// Full-size recordings with every item in use and the widest texts they produce.
std::unique_ptr<PageRecording> fullRecording(MonitorKind kind) {
    auto page = std::make_unique<PageRecording>(kind);
    const int items = csvItemCount(kind);
    for (int k = 0; k < items; ++k) {
        DataItem& item = page->active.items[k];
        item.name = "Item" + std::to_string(k + 1);
        item.enabled = 1;
        item.typeName = "DWORD";
        item.scaleText = "0.001";
        item.scale = 0.001;
        item.unit = "mm";
    }
    page->cycle = 20;
    page->time = 3000;
    page->startDate = "20240131 08:15";
    page->sampleCount = kMaxSamples;
    for (uint32_t j = 0; j < kMaxSamples; ++j) {
        page->texts.setCell(j, 0, std::to_string(j * 20));
        for (int k = 0; k < items; ++k) {
            const std::string value = kind == kDataMonitor
                                          ? std::to_string(int32_t(j * 2654435761u) / 3 + k)
                                          : ((j >> k) & 1 ? "1" : "0");
            page->texts.setCell(j, k + 1, value);
        }
    }
    return page;
}

// The catalogue is not loaded: the time title is the empty text, which costs nothing.
const LanguageCatalogue& catalogue() {
    static LanguageCatalogue texts(benchFolder() + "/");
    return texts;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double writeBlock(const std::string& path, const std::string& bytes) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()) ||
        ::fsync(fd) != 0)
        std::abort();
    ::close(fd);
    return seconds(Clock::now() - start);
}

double readBlock(const std::string& path, std::string& into) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::read(fd, into.data(), into.size()) != ssize_t(into.size()))
        std::abort();
    ::close(fd);
    return seconds(Clock::now() - start);
}

std::string fileBytes(const std::string& path) {
    std::string bytes(std::filesystem::file_size(path), '\0');
    readBlock(path, bytes);
    return bytes;
}

void BM_WriteCsv(benchmark::State& state) {
    const MonitorKind kind = MonitorKind(state.range(0));
    const auto page = fullRecording(kind);
    QuietWindow window;
    SessionState session;
    const std::string path = benchFolder() + "/kestiva-bench-write.csv";
    const std::string block = benchFolder() + "/kestiva-bench-block.csv";
    if (writeCsv(path, *page, session, window, window, catalogue()) != 0)
        std::abort();
    const std::string bytes = fileBytes(path);
    double total = 0, baseline = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (writeCsv(path, *page, session, window, window, catalogue()) != 0)
            std::abort();
        const double took = seconds(Clock::now() - start);
        state.SetIterationTime(took);
        total += took;
        baseline += writeBlock(block, bytes);
    }
    state.counters["MB"] = double(bytes.size()) / 1e6;
    state.counters["block_ms"] = baseline / double(state.iterations()) * 1e3;
    state.counters["x_block"] = total / baseline;
    std::filesystem::remove(path);
    std::filesystem::remove(block);
}

void BM_ReadCsv(benchmark::State& state) {
    const MonitorKind kind = MonitorKind(state.range(0));
    const auto source = fullRecording(kind);
    auto page = std::make_unique<PageRecording>(kind);
    QuietWindow window;
    SessionState session;
    const std::string path = benchFolder() + "/kestiva-bench-read.csv";
    if (writeCsv(path, *source, session, window, window, catalogue()) != 0)
        std::abort();
    std::string block(std::filesystem::file_size(path), '\0');
    double total = 0, baseline = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        CsvReader reader(window, window, catalogue());
        if (reader.openCsv(path, kind) != 0 || reader.readRecording(*page, session) != 0)
            std::abort();
        reader.closeCsv();
        const double took = seconds(Clock::now() - start);
        state.SetIterationTime(took);
        total += took;
        baseline += readBlock(path, block);
    }
    if (page->sampleCount != kMaxSamples)
        std::abort();
    // What the page holds once read into: its tables and the spare ones a read stages into.
    state.counters["page_MB"] = double(page->memoryBytes()) / 1e6;
    state.counters["MB"] = double(block.size()) / 1e6;
    state.counters["block_ms"] = baseline / double(state.iterations()) * 1e3;
    state.counters["x_block"] = total / baseline;
    std::filesystem::remove(path);
}

BENCHMARK(BM_WriteCsv)
    ->ArgName("io")
    ->Arg(kDataMonitor)
    ->Arg(kIoMonitor)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCsv)
    ->ArgName("io")
    ->Arg(kDataMonitor)
    ->Arg(kIoMonitor)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestiva

BENCHMARK_MAIN();
