// Decoding a full recording into the page tables, against a baseline that only formats the
// same integers with std::to_chars; the live view's decoding of the same frames (CRC check
// included) into its own tables; and the memory a full recording takes.

#include <benchmark/benchmark.h>

#include <charconv>
#include <memory>
#include <vector>

#include "link/CaptureDecoding.h"
#include "link/LiveRecording.h"
#include "link/ModbusFrames.h"
#include "link/SamplingEngine.h"
#include "link/ChildProcess.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

constexpr uint32_t kFrames = kMaxSamples;  // 150,001

// Every frame as the engine stores it: station, function, byte count, data, its CRC.
std::vector<uint8_t> makeCapture(const std::vector<uint8_t>& rangeBytes, uint32_t frames) {
    std::vector<uint8_t> capture;
    capture.reserve(kCaptureBufferSize);
    uint32_t seed = 12345;
    for (uint32_t f = 0; f < frames; ++f) {
        for (uint8_t length : rangeBytes) {
            capture.insert(capture.end(), {1, 3, length});
            for (int i = 0; i < length; ++i) {
                seed = seed * 1103515245 + 12345;
                capture.push_back(uint8_t(seed >> 16));
            }
            const auto crc = crc16(std::size_t(length) + 3, &capture[capture.size() - length - 3]);
            capture.insert(capture.end(), crc.begin(), crc.end());
        }
    }
    return capture;
}

struct World {
    LanguageCatalogue texts{testing::testProgramFolder()};
    SessionState session;
    testing::RecordingWindow window;
    std::unique_ptr<PageRecording> data = std::make_unique<PageRecording>(kDataMonitor);
    std::unique_ptr<PageRecording> io = std::make_unique<PageRecording>(kIoMonitor);
};

// 20 bytes from 0x1000 with a DWORD, a WORD and a UMSB item.
ControllerRecord dataRecord() {
    ControllerRecord r;
    r.rangeAddress1 = 0x1000;
    r.rangeLength1 = 20;
    const int32_t types[3] = {0, 2, 5};
    for (int k = 0; k < 3; ++k) {
        r.items[k].enabled = 1;
        r.items[k].address = uint16_t(0x1000 + 3 * k);
        r.items[k].typeCode = types[k];
        r.items[k].scale = 0.01;
    }
    return r;
}

// 2 bytes IN at 0x2000, 2 bytes OUT at 0x2100, sixteen signals over both.
ControllerRecord ioRecord() {
    ControllerRecord r;
    r.rangeAddress1 = 0x2000;
    r.rangeLength1 = 2;
    r.rangeAddress2 = 0x2100;
    r.rangeLength2 = 2;
    for (int k = 0; k < 16; ++k) {
        r.items[k].enabled = 1;
        r.items[k].address = k < 8 ? 0x2000 : 0x2100;
        r.items[k].bit = uint8_t(k);
    }
    return r;
}

void BM_DecodeDataFrames(benchmark::State& state) {
    World w;
    w.data->active = dataRecord();
    w.data->cycle = 20;
    w.data->time = 3000;
    const auto capture = makeCapture({20}, kFrames);
    CaptureDecoder decoder(capture.data(), *w.data, *w.io, w.session, w.window, w.texts);
    for (auto _ : state) {
        if (!decoder.decodeDataFrames(uint32_t(capture.size()))) state.SkipWithError("failed");
        benchmark::DoNotOptimize(w.data->texts.cell(kFrames - 1, 3).size());
    }
    state.counters["samples"] = w.data->sampleCount;
}

// The whole pass after a recording without the page: decoding, then the conversion of the
// texts into the raw table, with the window's pumps and progress as the program makes them.
void BM_CompleteDataRecording(benchmark::State& state) {
    World w;
    w.data->active = dataRecord();
    w.data->cycle = 20;
    w.data->time = 3000;
    w.session.monitorMode = kDataMonitor;
    const auto capture = makeCapture({20}, kFrames);
    CaptureDecoder decoder(capture.data(), *w.data, *w.io, w.session, w.window, w.texts);
    decoder.setLoadPause(std::chrono::milliseconds(0));
    for (auto _ : state) {
        decoder.onRecordingComplete(SamplingState::Finished, uint32_t(capture.size()));
        if (!w.session.dataSavable) state.SkipWithError("failed");
        benchmark::DoNotOptimize(w.data->dataValue(kFrames - 1, 2));
    }
    state.counters["samples"] = w.data->sampleCount;
}

void BM_DecodeIoFrames(benchmark::State& state) {
    World w;
    w.io->active = ioRecord();
    w.io->cycle = 30;
    w.io->time = 4500;
    const auto capture = makeCapture({2, 2}, kFrames);
    CaptureDecoder decoder(capture.data(), *w.data, *w.io, w.session, w.window, w.texts);
    for (auto _ : state) {
        if (!decoder.decodeIoFrames(uint32_t(capture.size()))) state.SkipWithError("failed");
        benchmark::DoNotOptimize(w.io->texts.cell(kFrames - 1, 16).size());
    }
    state.counters["samples"] = w.io->sampleCount;
}

// The live view decoding a whole recording at once, from its start; a poll during a recording
// decodes the few samples that came since the last one at the same cost per sample.
void liveDecoding(benchmark::State& state, MonitorKind monitor, const ControllerRecord& record,
                  uint16_t cycle, uint16_t time, const std::vector<uint8_t>& capture) {
    const std::atomic<uint32_t> published{uint32_t(capture.size())};
    LiveRecording live(capture.data(), published);
    for (auto _ : state) {
        live.begin(monitor, record, cycle, time);
        benchmark::DoNotOptimize(live.poll());
    }
    state.counters["samples"] = live.sampleCount();
    state.counters["gaps"] = live.gapCount();
    state.counters["seconds_per_sample"] = benchmark::Counter(
        double(live.sampleCount()), benchmark::Counter::kIsIterationInvariantRate |
                                        benchmark::Counter::kInvert);
}

void BM_LiveDecodeData(benchmark::State& state) {
    liveDecoding(state, kDataMonitor, dataRecord(), 20, 3000, makeCapture({20}, kFrames));
}

void BM_LiveDecodeIo(benchmark::State& state) {
    liveDecoding(state, kIoMonitor, ioRecord(), 30, 4500, makeCapture({2, 2}, kFrames));
}

// The baseline: format the same number of integers (time plus values) with std::to_chars into
// one reused buffer.
void formatIntegers(benchmark::State& state, int valuesPerSample) {
    char buffer[16];
    for (auto _ : state) {
        std::size_t total = 0;
        for (uint32_t row = 0; row < kFrames; ++row) {
            total += std::to_chars(buffer, buffer + 16, int64_t(row) * 20).ptr - buffer;
            for (int v = 0; v < valuesPerSample; ++v)
                total += std::to_chars(buffer, buffer + 16, int32_t(row * 2654435761u >> v)).ptr -
                         buffer;
            benchmark::DoNotOptimize(buffer);
        }
        benchmark::DoNotOptimize(total);
    }
}
void BM_BaselineToCharsData(benchmark::State& state) { formatIntegers(state, 3); }
void BM_BaselineToCharsIo(benchmark::State& state) { formatIntegers(state, 16); }

void BM_RecordingMemory(benchmark::State& state) {
    for (auto _ : state) {
        auto data = std::make_unique<PageRecording>(kDataMonitor);
        auto io = std::make_unique<PageRecording>(kIoMonitor);
        for (uint32_t row = 0; row < kSampleCapacity; ++row) {
            data->texts.setCell(row, 0, "65600000");
            for (int c = 1; c <= 3; ++c) data->texts.setCell(row, c, "-2147483648");
            io->texts.setCell(row, 0, "65600000");
            for (int c = 1; c <= 16; ++c) io->texts.setCell(row, c, "1");
        }
        state.counters["text_tables_MB"] =
            double(data->texts.memoryBytes() + io->texts.memoryBytes()) / 1e6;
        state.counters["all_storage_MB"] =
            double(data->memoryBytes() + io->memoryBytes() + kCaptureBufferSize) / 1e6;
    }
}

BENCHMARK(BM_DecodeDataFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineToCharsData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompleteDataRecording)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeIoFrames)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineToCharsIo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveDecodeData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveDecodeIo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordingMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestiva

BENCHMARK_MAIN();
