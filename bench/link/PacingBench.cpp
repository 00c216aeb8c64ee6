// How evenly the sampling engine paces its requests, seen from the controller's side:
// kestiva-sim time-stamps every request it receives. The same measurement with mbpoll polling
// the simulator at the same interval gives a reference from an independent master.
//
// Counters: mean_period_error_pct, p50_dev_ms, p99_dev_ms, max_dev_ms (deviation of each
// request from the ideal grid), first_dev_ms (the first request's), requests; for the engine
// also cpu_pct_of_core (the recording process's CPU time per second of recording), and
// late_cycles and largest_late_ms as the engine itself counted them.
//
// The fourth argument of the engine's is the transport: the serial pseudo-terminal (0), Modbus
// TCP (1) or RTU over TCP (2) to the simulator on the loopback address.
//
// The second argument is the number of CPU-bound processes competing with the recording (0 for
// an idle machine, 2 for one per core of a two-core office PC), started and ended here. The
// engine's third is 1 when a live reader follows the recording as the window's timer does,
// polling and decoding the new samples 20 times a second (live_samples: what it decoded), and 2
// when the journal writer keeps the recording's journal as a session does: journal_bytes_per_s
// (the file's size per second of recording, header and end record included), and the writer
// thread's own CPU time (writer_cpu_ms, writer_cpu_pct_of_core).
//
// BM_UnprivilegedCliPacing runs kestiva-cli record as the user nobody, who has no right to real
// time of its own; its third argument 1 starts the desktop's real-time broker on a system bus of
// its own for it, 0 gives it no system bus. Its cpu_pct_of_core is the command's whole CPU time
// per second in the middle of the recording, and realtime is 1 when it reported real-time
// scheduling. It needs root (to start the broker and to act as nobody).

#include <benchmark/benchmark.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "link/CaptureDecoding.h"
#include "link/LiveRecording.h"
#include "link/ModbusMaster.h"
#include "link/SamplingEngine.h"
#include "link/SimProcess.h"
#include "support/RecordingWindow.h"
#include "support/ProcessCpu.h"
#include "support/RealtimeBroker.h"
#include "session/JournalWriter.h"

namespace kestiva {
namespace {

using testing::ChildProcess;
using testing::processCpuSeconds;
using testing::RealtimeBroker;
using testing::SimProcess;
using testing::TempProgramFolder;

constexpr uint32_t kBitRate = 115200;
constexpr uint16_t kSeconds = 10;

// Times, in seconds, of the read requests in the simulator's trace.
std::vector<double> requestTimes(const std::string& trace) {
    std::vector<double> times;
    static const std::regex rx(R"(\[\s*([0-9.]+)\] rx [0-9A-F]{2} 03 )");
    std::istringstream lines(trace);
    std::string line;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_search(line, m, rx)) times.push_back(std::stod(m[1]));
    }
    return times;
}

void report(benchmark::State& state, const std::vector<double>& times, double cycleMs) {
    if (times.size() < 3) {
        state.SkipWithError("too few requests traced");
        return;
    }
    // The mean period is the slope of a least-squares line through the request times, so a
    // single late stamp at either end does not tilt it.
    const double n = double(times.size());
    double sumI = 0, sumT = 0, sumII = 0, sumIT = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        sumI += double(i);
        sumT += times[i];
        sumII += double(i) * double(i);
        sumIT += double(i) * times[i];
    }
    const double period = (n * sumIT - sumI * sumT) / (n * sumII - sumI * sumI);
    // The grid is placed where most requests sit (the median offset), so that one late
    // first request does not shift every other deviation.
    std::vector<double> offsets;
    for (std::size_t i = 0; i < times.size(); ++i)
        offsets.push_back(times[i] - double(i) * cycleMs / 1000);
    std::vector<double> sorted = offsets;
    std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
    const double grid = sorted[sorted.size() / 2];
    std::vector<double> deviations;
    for (double offset : offsets) deviations.push_back(std::fabs(offset - grid) * 1000);
    state.counters["first_dev_ms"] = deviations.front();
    std::sort(deviations.begin(), deviations.end());
    auto percentile = [&](double p) {
        return deviations[std::min(deviations.size() - 1, std::size_t(p * deviations.size()))];
    };
    state.counters["requests"] = double(times.size());
    state.counters["mean_period_error_pct"] = std::fabs(period * 1000 - cycleMs) / cycleMs * 100;
    state.counters["p50_dev_ms"] = percentile(0.50);
    state.counters["p99_dev_ms"] = percentile(0.99);
    state.counters["max_dev_ms"] = deviations.back();
}

// Processes that keep a core busy each for as long as the object lives.
class CompetingLoad {
public:
    explicit CompetingLoad(int processes) : spinners_(std::size_t(processes)) {
        for (ChildProcess& spinner : spinners_)
            spinner.start("/bin/sh", {"-c", "while :; do :; done"});
    }
    ~CompetingLoad() {
        for (ChildProcess& spinner : spinners_)
            spinner.kill();
    }

private:
    std::vector<ChildProcess> spinners_;
};

// The simulator stamps each request as it reads it. Beside CPU-bound processes a simulator at
// normal priority reads late and its stamps measure its own delay; at real-time priority (where
// allowed) they measure the recording's.
void stampPromptly(const SimProcess& sim) {
    sched_param parameters{};
    parameters.sched_priority = 20;
    [[maybe_unused]] const int ignored = sched_setscheduler(sim.pid(), SCHED_FIFO, &parameters);
}

// The recorded range: 20 bytes from 0x100, three items as the live view decodes them.
ControllerRecord benchRecord() {
    ControllerRecord record;
    record.name = "bench";
    record.rangeAddress1 = 0x100;
    record.rangeLength1 = 20;
    for (int k = 0; k < kDataItemCount; ++k) {
        DataItem& item = record.items[std::size_t(k)];
        item.name = "item";
        item.address = uint16_t(0x100 + 2 * k);
        item.typeCode = 0;
        item.scale = 0.01;
        item.enabled = 1;
    }
    return record;
}

// The simulator's options for the transport of BM_EnginePacing's fourth argument: the serial
// pseudo-terminal (0), Modbus TCP (1) or RTU over TCP (2) on the loopback address.
std::vector<std::string> transportOptions(int64_t transport) {
    std::vector<std::string> options = {"--trace", "--bitrate", std::to_string(kBitRate)};
    if (transport != 0) {
        options.push_back(transport == 1 ? "--tcp" : "--rtu-tcp");
        options.push_back("0");
    }
    return options;
}

void BM_EnginePacing(benchmark::State& state) {
    const auto cycle = uint16_t(state.range(0));
    const CompetingLoad load(int(state.range(1)));
    const bool liveReader = state.range(2) == 1;
    const bool journal = state.range(2) == 2;
    const ControllerRecord record = benchRecord();
    for (auto _ : state) {
        TempProgramFolder folder;
        SimProcess sim(transportOptions(state.range(3)), folder.portLink(1));
        if (!sim.ok()) {
            state.SkipWithError("kestiva-sim did not start");
            return;
        }
        stampPromptly(sim);
        LanguageCatalogue texts(testing::testProgramFolder());
        texts.LoadLanguageCatalogue();
        testing::RecordingWindow window;
        SerialLink link(folder.path());
        ModbusMaster master(link);
        CommunicationSettings settings;
        settings.portName = "COM1";
        settings.bitRate = kBitRate;
        settings.silentFactor = 1;
        settings.verifiedStation = 1;
        SessionState session;
        SamplingEngine engine(master, settings, session, window, window, texts);
        PortContext context;
        SamplingRequest request;
        request.portContext = &context;
        SamplingState endState = SamplingState::Running;
        std::vector<uint8_t> capture(kCaptureBufferSize);
        JournalWriter writer(capture.data(), engine.completeBytes());
        request.completion = [&](SamplingState s, uint32_t goodBytes) {
            endState = s;
            writer.finish({int32_t(s), goodBytes});
        };
        LiveRecording live(capture.data(), engine.completeBytes());
        live.begin(kDataMonitor, record, cycle, kSeconds);
        if (journal) {
            JournalHeader header;
            header.controller = record;
            header.cycle = cycle;
            header.time = kSeconds;
            std::string problem;
            if (!writer.create(folder.path() + "journal/", header, std::time(nullptr), problem)) {
                state.SkipWithError(("no journal: " + problem).c_str());
                return;
            }
        }
        const double cpuBefore = processCpuSeconds();
        if (engine.startDataSampling(cycle, kSeconds, request, 1, record.rangeAddress1,
                                     record.rangeLength1, capture.data()) != StartResult::Ok) {
            state.SkipWithError("start refused");
            return;
        }
        if (journal) writer.start();
        std::thread reader;
        if (liveReader) {
            reader = std::thread([&] {
                while (engine.workerRunning()) {
                    live.poll();
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
            });
        }
        engine.waitForWorker();
        if (reader.joinable()) reader.join();
        if (journal) {
            if (const auto problem = writer.join())
                state.SkipWithError(("journal stopped: " + *problem).c_str());
            state.counters["journal_bytes_per_s"] =
                double(std::filesystem::file_size(writer.path())) / kSeconds;
            const double writerMs = double(writer.threadCpu().count()) / 1000;
            state.counters["writer_cpu_ms"] = writerMs;
            state.counters["writer_cpu_pct_of_core"] = writerMs / 1000 / kSeconds * 100;
        }
        const double cpuSeconds = processCpuSeconds() - cpuBefore;
        sim.stop();
        if (endState != SamplingState::Finished) state.SkipWithError("recording did not finish");
        report(state, requestTimes(sim.log()), cycle);
        state.counters["cpu_pct_of_core"] = cpuSeconds / kSeconds * 100;
        state.counters["late_cycles"] = engine.pacingReport().lateCycles;
        state.counters["live_samples"] = live.sampleCount();
        state.counters["largest_late_ms"] =
            double(engine.pacingReport().largestDeviation.count()) / 1000;
    }
}

// CPU time, user and system, that process pid has used so far, in seconds.
double cpuSecondsOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(stat.rfind(')') + 1));
    std::string field;
    double ticks = 0;
    // Fields after the name start with the third; utime and stime are the 14th and 15th.
    for (int number = 3; number <= 15 && fields >> field; ++number)
        if (number >= 14) ticks += std::stod(field);
    return ticks / double(sysconf(_SC_CLK_TCK));
}

// The text of "key": "text" in the command's JSON result.
std::string jsonString(const std::string& json, const std::string& key) {
    std::smatch m;
    const std::regex rx("\"" + key + "\": \"([^\"]*)\"");
    return std::regex_search(json, m, rx) ? m[1].str() : std::string();
}

void BM_UnprivilegedCliPacing(benchmark::State& state) {
    const auto cycle = uint16_t(state.range(0));
    const CompetingLoad load(int(state.range(1)));
    std::optional<RealtimeBroker> broker;
    if (state.range(2) != 0) {
        broker.emplace();
        if (!broker->failure().empty()) {
            state.SkipWithError(("no real-time broker: " + broker->failure()).c_str());
            return;
        }
    } else {
        setenv("DBUS_SYSTEM_BUS_ADDRESS", RealtimeBroker::absentBusAddress().c_str(), 1);
    }
    for (auto _ : state) {
        TempProgramFolder folder;
        SimProcess sim({"--trace", "--bitrate", std::to_string(kBitRate)}, folder.portLink(1));
        if (!sim.ok()) {
            state.SkipWithError("kestiva-sim did not start");
            return;
        }
        stampPromptly(sim);
        namespace fs = std::filesystem;
        for (const char* name : {"LanguageData.ini", "DataSamplingConfig.ini"})
            fs::copy_file(testing::testProgramFolder() + "System/" + name,
                          folder.path() + "System/" + name);
        std::ofstream(folder.path() + "System/CommunicationSetting.ini")
            << "[COMMUNICATION_SETTING]\r\nCOM_NUM=8\r\nCOM_PORT=COM1\r\nCOM_SELECT=MANUAL\r\n"
               "COM_BITRATE=" << kBitRate << "\r\nCOM_CONNECTION_ID=1\r\n"
               "COM_SILENT_INTERVAL=1\r\nCOM_DELAY=0\r\n";
        for (const auto& entry : fs::recursive_directory_iterator(folder.path()))
            if (!entry.is_symlink()) fs::permissions(entry.path(), fs::perms::all);
        fs::permissions(folder.path(), fs::perms::all);
        chmod(sim.devicePath().c_str(), 0666);
        ChildProcess cli;
        if (!testing::startAsNobody(
                cli, {testing::testProgramFolder() + "kestiva-cli", "record", "data", "--cycle",
                      std::to_string(cycle), "--time", std::to_string(kSeconds), "--json",
                      "--out", folder.path() + "recording.csv", "--system",
                      folder.path() + "System/"})) {
            state.SkipWithError("kestiva-cli did not start");
            return;
        }
        // The middle of the recording, after the communication check and before the save.
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const double cpuBefore = cpuSecondsOf(cli.pid());
        std::this_thread::sleep_for(std::chrono::seconds(kSeconds - 2));
        const double cpuSeconds = cpuSecondsOf(cli.pid()) - cpuBefore;
        const std::string result = cli.readAll(std::chrono::seconds(kSeconds + 30));
        cli.wait(std::chrono::seconds(10));
        sim.stop();
        if (jsonString(result, "endStateText") != "complete")
            state.SkipWithError(("recording did not finish: " + result + cli.errorText()).c_str());
        report(state, requestTimes(sim.log()), cycle);
        state.counters["cpu_pct_of_core"] = cpuSeconds / (kSeconds - 2) * 100;
        state.counters["realtime"] = jsonString(result, "scheduling") != "normal";
    }
    if (!broker) unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

void BM_MbpollPacing(benchmark::State& state) {
    const int cycle = int(state.range(0));
    const CompetingLoad load(int(state.range(1)));
    for (auto _ : state) {
        SimProcess sim({"--trace", "--bitrate", std::to_string(kBitRate)});
        if (!sim.ok()) {
            state.SkipWithError("kestiva-sim did not start");
            return;
        }
        stampPromptly(sim);
        ChildProcess mbpoll;
        if (!mbpoll.start("/usr/bin/mbpoll",
                          {"-m", "rtu", "-a", "1", "-b", std::to_string(kBitRate), "-P", "none",
                           "-t", "4", "-0", "-r", "256", "-c", "10", "-l", std::to_string(cycle),
                           sim.devicePath()})) {
            state.SkipWithError("mbpoll did not start");
            return;
        }
        mbpoll.readAll(std::chrono::seconds(kSeconds));  // keeps its output pipe drained
        mbpoll.stop();
        sim.stop();
        report(state, requestTimes(sim.log()), cycle);
    }
}

BENCHMARK(BM_EnginePacing)
    ->ArgsProduct({{20, 50}, {0, 2}, {0, 1, 2}, {0}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
// The same 20 ms recording over the network transports.
BENCHMARK(BM_EnginePacing)
    ->ArgsProduct({{20}, {0, 2}, {0}, {0, 1, 2}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_UnprivilegedCliPacing)
    ->ArgsProduct({{20}, {0, 2}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_MbpollPacing)
    ->ArgsProduct({{20, 50}, {0, 2}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
}  // namespace kestiva

BENCHMARK_MAIN();
