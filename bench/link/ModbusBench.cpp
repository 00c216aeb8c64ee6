// What one Modbus transaction costs on a real termios line, against kestiva-sim (2 ms
// turnaround, transmission time paced at the bit rate), next to what the sampling engine's
// timing step budgets for it: (N + 13) x 10 bits + 11 ms + 3.5 characters.
//
// Counters: budget_ms (the timing step's allowance for one range), and the time per iteration
// is one transaction.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <vector>

#include "link/ModbusMaster.h"
#include "link/SimProcess.h"

namespace kestiva {
namespace {

using testing::SimProcess;
using testing::TempProgramFolder;

// A simulator on COM1 and a master with the port open at the bit rate.
struct Bench {
    explicit Bench(uint32_t bitRate)
        : sim({"--bitrate", std::to_string(bitRate)}, folder.portLink(1)) {
        ok = sim.ok() && link.openPort(context, "COM1") == 0 &&
             link.configurePort(bitRate, context, 1, 0) == 0;
    }
    TempProgramFolder folder;
    SimProcess sim;
    SerialLink link{folder.path()};
    ModbusMaster master{link};
    PortContext context;
    bool ok = false;
};

double budgetMs(uint32_t bitRate, uint32_t byteCount) {
    uint32_t silent = static_cast<uint32_t>(35'000'000.0 / bitRate);
    return ((byteCount + 13) * 10'000'000 / bitRate + 11'000 + silent) / 1000.0;
}

void BM_ReadTransaction(benchmark::State& state) {
    const auto bitRate = static_cast<uint32_t>(state.range(0));
    const auto byteCount = static_cast<uint16_t>(state.range(1));
    Bench bench(bitRate);
    if (!bench.ok) {
        state.SkipWithError("simulator or port not available");
        return;
    }
    bench.master.warmUpCount = ModbusMaster::kWarmUpRequests;
    std::array<uint8_t, 256> frame{};
    for (auto _ : state) {
        if (!bench.master.readHoldingBlock(byteCount, 1, 0x1000, frame).ok()) {
            state.SkipWithError("transaction failed");
            break;
        }
    }
    state.counters["budget_ms"] = budgetMs(bitRate, byteCount);
}
BENCHMARK(BM_ReadTransaction)
    ->ArgsProduct({{9600, 38400, 115200, 230400}, {16, 250}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_EchoTransaction(benchmark::State& state) {
    const auto bitRate = static_cast<uint32_t>(state.range(0));
    Bench bench(bitRate);
    if (!bench.ok) {
        state.SkipWithError("simulator or port not available");
        return;
    }
    for (auto _ : state) {
        if (!bench.master.echoCheck(1, bench.context).ok()) {
            state.SkipWithError("echo failed");
            break;
        }
    }
}
BENCHMARK(BM_EchoTransaction)
    ->Arg(9600)
    ->Arg(38400)
    ->Arg(230400)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// An echo attempt nobody answers: what each of the 192 attempts of a fruitless search costs.
void BM_EchoNoAnswer(benchmark::State& state) {
    const auto bitRate = static_cast<uint32_t>(state.range(0));
    Bench bench(bitRate);
    if (!bench.ok) {
        state.SkipWithError("simulator or port not available");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(bench.master.echoCheck(2, bench.context));
    state.counters["limit_ms"] =
        double(echoIntervalLimitMs(bitRate, 0, bench.context.silentTimeMs));
}
BENCHMARK(BM_EchoNoAnswer)->Arg(9600)->Arg(230400)->Unit(benchmark::kMillisecond)->UseRealTime();

// One read of 16 bytes, request to whole reply, over each transport the link has: the serial
// pseudo-terminal at 230400 bit/s (whose bytes the simulator paces at the bit rate), Modbus TCP
// and RTU over TCP on the loopback address. The simulator answers without turnaround, so that
// the figures are the transport's own. Counters: median_ms and p99_ms of the round trips.
void BM_ReadRoundTrip(benchmark::State& state) {
    static const char* const kTransport[] = {"serial", "--tcp", "--rtu-tcp"};
    const int transport = int(state.range(0));
    state.SetLabel(transport == 0 ? "serial pty" : transport == 1 ? "Modbus TCP" : "RTU over TCP");
    TempProgramFolder folder;
    std::vector<std::string> options = {"--turnaround", "0", "--bitrate", "230400"};
    if (transport != 0) {
        options.push_back(kTransport[transport]);
        options.push_back("0");
    }
    SimProcess sim(options, folder.portLink(1));
    SerialLink link(folder.path());
    ModbusMaster master(link);
    PortContext context;
    if (!sim.ok() || link.openPort(context, "COM1") != 0 ||
        link.configurePort(230400, context, 1, 0) != 0) {
        state.SkipWithError("simulator or port not available");
        return;
    }
    master.warmUpCount = ModbusMaster::kWarmUpRequests;
    std::array<uint8_t, 256> frame{};
    std::vector<double> trips;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (!master.readHoldingBlock(16, 1, 0x1000, frame).ok()) {
            state.SkipWithError("transaction failed");
            break;
        }
        trips.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    if (trips.empty())
        return;
    std::sort(trips.begin(), trips.end());
    state.counters["median_ms"] = trips[trips.size() / 2];
    state.counters["p99_ms"] = trips[std::min(trips.size() - 1, trips.size() * 99 / 100)];
}
BENCHMARK(BM_ReadRoundTrip)
    ->DenseRange(0, 2)
    ->Iterations(2000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Crc16(benchmark::State& state) {
    std::vector<uint8_t> frame(static_cast<std::size_t>(state.range(0)), 0x5A);
    for (auto _ : state)
        benchmark::DoNotOptimize(crc16(frame));
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc16)->Arg(25)->Arg(255);

}  // namespace
}  // namespace kestiva

BENCHMARK_MAIN();
