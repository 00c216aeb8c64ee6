// The desktop program as a whole, off-screen: its memory with both pages full, start-up to the
// main window, the end of a full-length data recording up to its graph on the screen, and CSV
// read and save of full-length files through the window's workers. Each operation runs the way
// the window runs it: the core on a worker thread, the window thread answering the calls the
// bridge carries to it. The one-second pauses that let a user see an operation finish are set
// to nothing (Session::setResultPause), as are the message boxes' waits for the user (answered
// as soon as they are up).
//
// Times are milliseconds of wall-clock time (manual time); the counters split them:
//   work_ms   the core's own work on the worker, up to the page load
//   load_ms   the page's loadRecording on the window thread, with the graph's paint when the
//             load paints the shown page itself
//   paint_ms  from the load to the graph painted (0 when the load painted it)
// The end of a recording is timed to its graph painted; final_pass_ms is the time until its
// pass has also written what a CSV save needs and the page takes input again.
// Memory counters are MiB of VmRSS (and the peak, VmHWM) from /proc/self/status.

#include "recording/EmptyHosts.h"
#include "app/LiveFeed.h"
#include "app/MainWindow.h"
#include "app/StartUp.h"
#include "files/CsvFile.h"
#include "link/CaptureDecoding.h"
#include "link/ModbusFrames.h"
#include "views/DataMonitor.h"
#include "views/IoMonitor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <deque>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "app/AppTestSupport.h"
#include "support/ProcessCpu.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::processCpuSeconds;
using testing::ShippedProgramFolder;
using testing::SimProcess;

constexpr double kMiB = 1024.0 * 1024.0;
constexpr uint16_t kDataCycle = 20;  // ms: 150,001 samples in 3000 s
constexpr uint16_t kDataTime = 3000;
constexpr int kIterations = 5;

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM"); 0 when it is not there.
double statusMiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1)) * 1024.0 / kMiB;
    return 0;
}

// Runs the window's events until done() holds; false after the deadline. A timer wakes the
// wait now and then, so that a condition set without an event of its own is seen too.
bool pumpUntil(const std::function<bool()>& done, std::chrono::seconds deadline = 60s) {
    QTimer wake;
    wake.start(20);
    const auto end = Clock::now() + deadline;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Notes when a widget has painted since it was armed. A paint event is handled inside the
// processEvents call that delivers it, so once that call returns the widget has painted.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(const QWidget& widget) {
        const_cast<QWidget&>(widget).installEventFilter(this);
    }
    void arm() { painted_ = false; }
    bool painted() const { return painted_; }
    // When the first paint since arm() had ended.
    Clock::time_point paintedAt() const { return paintedAt_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || painted_)
            return false;
        // Painted here, so that the time taken is that of the paint's end.
        watched->event(event);
        painted_ = true;
        paintedAt_ = Clock::now();
        return true;
    }

private:
    bool painted_ = true;  // nothing to wait for until armed
    Clock::time_point paintedAt_;
};

// The window's progress and page calls, passed on to it with the time of the page load, and
// the graph's paint watch armed once the page has loaded.
class TimedWindow final : public PageHost {
public:
    TimedWindow(MainWindow& window, WindowBridge& bridge)
        : window_(window),
          bridge_(bridge),
          dataPaint_(window.dataPage().graph()),
          ioPaint_(window.ioPage().graph()) {
        bridge_.setTarget(&window.progressHost(), this);
    }
    ~TimedWindow() override { bridge_.setTarget(&window_.progressHost(), &window_); }

    Clock::time_point loadStart, loadEnd;
    PaintWatch& paint(MonitorKind monitor) {
        return monitor == kDataMonitor ? dataPaint_ : ioPaint_;
    }

    // Armed before the load, which may paint the graph itself before it returns.
    void loadRecording(MonitorKind monitor) override {
        paint(monitor).arm();
        loadStart = Clock::now();
        window_.loadRecording(monitor);
        loadEnd = Clock::now();
    }
    void clearPage(MonitorKind monitor) override { window_.clearPage(monitor); }
    void enableEntry(MonitorKind monitor) override { window_.enableEntry(monitor); }
    void repaint() override { window_.repaint(); }

private:
    MainWindow& window_;
    WindowBridge& bridge_;
    PaintWatch dataPaint_;
    PaintWatch ioPaint_;
};

// Answers the program's modal dialogs in order, each as soon as it is up and ready, noting
// when it met each one. It looks every millisecond, far below what is measured. A dialog it
// does not expect is closed and noted as an error.
class AutoUser {
public:
    using Action = std::function<void(QWidget*)>;
    using Ready = std::function<bool(QWidget*)>;

    AutoUser() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start(1);
    }
    AutoUser& then(const char* dialog, Action act, Ready ready = nullptr) {
        steps_.push_back({dialog, std::move(act), std::move(ready)});
        return *this;
    }
    AutoUser& thenAcknowledge() {
        return then("messageBox", [](QWidget* box) {
            static_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });
    }
    bool done() const { return steps_.empty(); }
    bool failed() const { return failed_; }
    // When the user met its k-th dialog.
    Clock::time_point met(std::size_t k) const { return met_.at(k); }

private:
    struct Step {
        QString dialog;
        Action act;
        Ready ready;
    };

    void poll() {
        QWidget* active = QApplication::activeModalWidget();
        if (queued_ || active == nullptr)
            return;
        if (steps_.empty()) {
            failed_ = true;
            queue(active, [](QWidget* widget) {
                if (auto* dialog = qobject_cast<QDialog*>(widget))
                    dialog->done(QDialog::Rejected);
            });
            return;
        }
        const Step& step = steps_.front();
        if (active->objectName() != step.dialog || (step.ready && !step.ready(active)))
            return;
        met_.push_back(Clock::now());
        queue(active, step.act);
        steps_.pop_front();
    }
    // Acts once the poll has returned: an action may open a dialog with a loop of its own, in
    // which the polling must go on.
    void queue(QWidget* dialog, Action act) {
        queued_ = true;
        QTimer::singleShot(0, [this, target = QPointer<QWidget>(dialog), act] {
            queued_ = false;
            if (target)
                act(target);
        });
    }

    QTimer timer_;
    std::deque<Step> steps_;
    std::vector<Clock::time_point> met_;
    bool queued_ = false;
    bool failed_ = false;
};

void press(QWidget* dialog, const char* name) {
    if (auto* button = dialog->findChild<QAbstractButton*>(name))
        button->click();
}

// Runs work on a worker thread, as the window runs its file and recording workers, while the
// window thread answers the bridge's calls; returns when the worker has ended and until() holds.
bool runOnWorker(const std::function<void()>& work, const std::function<bool()>& until) {
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        work();
        finished = true;
        // Wakes the window thread's wait for events.
        QMetaObject::invokeMethod(
            qApp, [] {}, Qt::QueuedConnection);
    });
    const bool ended = pumpUntil([&] { return finished.load() && until(); });
    if (!ended)
        pumpUntil([&] { return finished.load(); }, 600s);  // the worker must end before the join
    worker.join();
    return ended;
}

using QuietWindow = EmptyWindow;

// A full-length recording of a page's kind with every item in use, as a CSV file: a data
// file of three values that swing, an I/O file of sixteen signals that change now and then.
void writeFullCsv(const std::string& path, MonitorKind kind, const LanguageCatalogue& texts) {
    auto page = std::make_unique<PageRecording>(kind);
    const int items = csvItemCount(kind);
    for (int k = 0; k < items; ++k) {
        DataItem& item = page->active.items[std::size_t(k)];
        item.name = "Item" + std::to_string(k + 1);
        item.enabled = 1;
        if (kind == kDataMonitor) {
            item.typeName = "DWORD";
            item.scaleText = "0.01";
            item.scale = 0.01;
            item.unit = "mm";
        }
    }
    page->cycle = kDataCycle;
    page->time = kDataTime;
    page->startDate = "20240131 08:15";
    page->sampleCount = kMaxSamples;
    for (uint32_t j = 0; j < kMaxSamples; ++j) {
        page->texts.setCell(j, 0, std::to_string(j * kDataCycle));
        for (int k = 0; k < items; ++k) {
            const std::string value = kind == kDataMonitor
                                          ? std::to_string(int(20000 * std::sin(j * 0.0005 + k)))
                                          : ((j / (97 * (k + 1))) % 2 ? "1" : "0");
            page->texts.setCell(j, k + 1, value);
        }
    }
    QuietWindow quiet;
    SessionState state;
    if (writeCsv(path, *page, state, quiet, quiet, texts) != 0)
        std::abort();
}

// The program after start-up: its session on a copy of the shipped files, the main window
// shown on the data page, the pauses that let a user see an operation finish set to nothing.
struct Program {
    ShippedProgramFolder folder;
    WindowBridge bridge;
    Session session{folder.path(), bridge};
    std::unique_ptr<MainWindow> window;

    Program() {
        if (!session.loadCatalogue() || !session.loadSamplingConfiguration())
            std::abort();
        session.loadCommunicationSettings();
        session.setResultPause(0ms);
        window = std::make_unique<MainWindow>(session, bridge);
        PaintWatch paint(window->dataPage().graph());
        paint.arm();
        window->show();
        pumpUntil([&] { return paint.painted(); });
    }
    std::string csvPath(MonitorKind kind) const {
        return folder.path() + (kind == kDataMonitor ? "data.csv" : "io.csv");
    }
    void show(MonitorKind kind) {
        if (session.state().monitorMode.load() != kind)
            window->findChild<QPushButton*>("monitorSwitchButton")->click();
    }
    // The reset timer has returned the window to idle after the last operation.
    bool waitUntilIdle() {
        return pumpUntil([this] { return session.state().phase() == ProgressPhase::Idle; });
    }
    // The window's CSV read into the shown page, up to the page painted.
    bool readCsv(MonitorKind kind, TimedWindow& timed) {
        show(kind);
        bool read = false;
        const bool painted = runOnWorker([&] { read = session.readCsv(csvPath(kind)); },
                                         [&] { return timed.paint(kind).painted(); });
        return read && painted;
    }
};

// The split of each iteration's time, reported as means, and the best time of them all: on a
// shared machine the best shows the program's own cost, the mean what a user may meet.
struct Figures {
    std::map<std::string, std::vector<double>> parts;
    double best = std::numeric_limits<double>::infinity();
    void addTime(double ms) { best = std::min(best, ms); }
    void add(const std::string& name, double ms) { parts[name].push_back(ms); }
    void report(benchmark::State& state) const {
        for (const auto& [name, list] : parts) {
            double sum = 0;
            for (double v : list)
                sum += v;
            state.counters[name] = sum / double(list.size());
        }
        if (std::isfinite(best))
            state.counters["best_ms"] = best;
    }
};

// --- Memory -------------------------------------------------------------------------------------

// The whole program with both pages holding full-length recordings read from CSV files, both
// painted. Run first, before the other benchmarks have grown the heap. Its time includes the
// window's return to idle after each read and means nothing.
void BM_ProgramMemoryWithBothPagesFull(benchmark::State& state) {
    const double atStart = statusMiB("VmRSS");
    Program program;
    for (const MonitorKind kind : {kDataMonitor, kIoMonitor})
        writeFullCsv(program.csvPath(kind), kind, program.session.texts());
    malloc_trim(0);  // the files' recordings are gone; their freed memory is not the program's
    const double withWindow = statusMiB("VmRSS");
    for (auto _ : state) {
        TimedWindow timed(*program.window, program.bridge);
        for (const MonitorKind kind : {kIoMonitor, kDataMonitor})
            if (!program.readCsv(kind, timed) || !program.waitUntilIdle())
                state.SkipWithError("a CSV read failed");
    }
    state.counters["rss_start_MiB"] = atStart;
    state.counters["rss_window_MiB"] = withWindow;
    state.counters["rss_full_MiB"] = statusMiB("VmRSS");
    state.counters["hwm_MiB"] = statusMiB("VmHWM");
    state.counters["pages_MiB"] = double(program.session.page(kDataMonitor).memoryBytes() +
                                         program.session.page(kIoMonitor).memoryBytes()) /
                                  kMiB;
    state.counters["graphs_MiB"] =
        double(program.window->dataPage().memoryBytes() + program.window->ioPage().memoryBytes()) /
        kMiB;
}

// --- Start-up -----------------------------------------------------------------------------------

// From StartUp::run to the main window painted: the terms agreed to, the communication checked
// against kestiva-sim and its message acknowledged, the settings confirmed, the sampling
// configuration read, the main window made and shown.
void BM_StartUpToMainWindow(benchmark::State& state) {
    ShippedProgramFolder folder;
    SimProcess sim({"--bitrate", "38400", "--station", "1"}, folder.portLink(1));
    if (!sim.ok()) {
        state.SkipWithError("kestiva-sim did not start");
        return;
    }
    Figures figures;
    for (auto _ : state) {
        const auto made = Clock::now();
        StartUp startUp(folder.path());
        AutoUser user;
        user.then("disclaimerDialog", [](QWidget* d) { press(d, "agreeButton"); })
            .then("comSettingFrame", [](QWidget* d) { press(d, "checkButton"); })
            .thenAcknowledge()
            .then(
                "comSettingFrame", [](QWidget* d) { press(d, "okButton"); },
                [](QWidget* d) { return d->findChild<QWidget*>("okButton")->isEnabled(); });
        Clock::time_point start, entered, built, shown;
        bool painted = false;
        start = Clock::now();
        startUp.run([&](Session& session, WindowBridge& bridge) {
            entered = Clock::now();
            MainWindow window(session, bridge);
            built = Clock::now();
            PaintWatch paint(window.dataPage().graph());
            paint.arm();
            window.show();
            painted = pumpUntil([&] { return paint.painted(); });
            shown = Clock::now();
        });
        if (!user.done() || user.failed() || !painted ||
            !startUp.session().state().communicationConfirmed) {
            state.SkipWithError("start-up did not reach a confirmed main window");
            break;
        }
        state.SetIterationTime(msBetween(start, shown) / 1e3);
        figures.addTime(msBetween(start, shown));
        figures.add("session_ms", msBetween(made, start));
        figures.add("check_ms", msBetween(user.met(1), user.met(2)));
        figures.add("dialogs_ms", msBetween(start, entered));
        figures.add("window_build_ms", msBetween(entered, built));
        figures.add("window_show_ms", msBetween(built, shown));
    }
    figures.report(state);
}

// The main window's construction alone, on a loaded session, and its first paint.
void BM_MainWindowConstruction(benchmark::State& state) {
    ShippedProgramFolder folder;
    WindowBridge bridge;
    Session session(folder.path(), bridge);
    if (!session.loadCatalogue() || !session.loadSamplingConfiguration())
        std::abort();
    Figures figures;
    for (auto _ : state) {
        const auto start = Clock::now();
        MainWindow window(session, bridge);
        const auto built = Clock::now();
        PaintWatch paint(window.dataPage().graph());
        paint.arm();
        window.show();
        pumpUntil([&] { return paint.painted(); });
        state.SetIterationTime(msBetween(start, built) / 1e3);
        figures.addTime(msBetween(start, built));
        figures.add("first_paint_ms", msBetween(built, Clock::now()));
    }
    figures.report(state);
}

// --- End of a recording -------------------------------------------------------------------------

// 150,001 reply frames of controller's data range, one per cycle, as a 20 ms recording of
// 3000 s leaves them in the capture buffer: station, function, byte count, the registers, CRC.
// The registers swing slowly, each a little apart from the last. Returns the frames' bytes.
uint32_t fillDataFrames(uint8_t* buffer, const ControllerRecord& controller) {
    const uint32_t rangeBytes = controller.rangeLength1;
    const uint32_t frameBytes = uint32_t(readReplyLength(uint16_t(rangeBytes)));
    for (uint32_t j = 0; j < kMaxSamples; ++j) {
        uint8_t* frame = buffer + std::size_t(j) * frameBytes;
        frame[0] = 1;
        frame[1] = kReadHoldingRegisters;
        frame[2] = uint8_t(rangeBytes);
        for (uint32_t r = 0; r < rangeBytes / 2; ++r) {
            const auto value = uint16_t(int16_t(20000 * std::sin(j * 0.0005 + r)));
            frame[3 + 2 * r] = uint8_t(value >> 8);
            frame[4 + 2 * r] = uint8_t(value);
        }
        const auto crc = crc16(3 + rangeBytes, frame);
        frame[3 + rangeBytes] = crc[0];
        frame[4 + rangeBytes] = crc[1];
    }
    return kMaxSamples * frameBytes;
}

// The CRC check the engine makes of every stored frame before the completion routine runs.
double crcCheckMs(const uint8_t* buffer, uint32_t bytes, uint32_t frameBytes) {
    const auto start = Clock::now();
    uint32_t good = 0;
    for (uint32_t at = 0; at + frameBytes <= bytes; at += frameBytes)
        good += crc16(frameBytes, buffer + at) == std::array<uint8_t, 2>{0, 0} ? 1 : 0;
    if (good != kMaxSamples)
        std::abort();
    return msBetween(start, Clock::now());
}

// A 150,001-sample data recording has ended: its completion routine, run on a worker as the
// engine runs it, takes what the live view decoded while the recording ran, hands the page to
// the window and the graph paints. The live view is fed the whole recording first, as its
// timer feeds it during a recording (not timed). The CRC check before the completion is
// measured apart (crc_check_ms); with_crc_ms is the whole way from the recording's end to the
// graph, the CRC check included.
void BM_DataRecordingEndToGraph(benchmark::State& state) {
    Program program;
    TimedWindow timed(*program.window, program.bridge);
    const ControllerRecord& controller = program.session.config().data().controllers[0];
    const uint32_t frameBytes = uint32_t(readReplyLength(controller.rangeLength1));
    if (uint64_t(frameBytes) * kMaxSamples > kCaptureBufferSize) {
        state.SkipWithError("the first data controller's frames do not fit the capture buffer");
        return;
    }
    const uint32_t bytes = fillDataFrames(program.session.captureBuffer(), controller);
    Figures figures;
    for (auto _ : state) {
        // What Start does to the page before the recording.
        program.window->clearPage(kDataMonitor);
        PageRecording& page = program.session.page(kDataMonitor);
        page.active = controller;
        page.sampleCount = 0;
        page.cycle = kDataCycle;
        page.time = kDataTime;
        page.startDate = "20240131 08:15";
        // The recording as the live view follows it: every sample decoded and on the graph.
        program.session.followCapturedRecording(controller, kDataCycle, kDataTime, bytes);
        program.window->liveFeed().start(kDataTime);
        if (!pumpUntil([&] { return program.session.live().sampleCount() == kMaxSamples; })) {
            state.SkipWithError("the live view did not follow the recording");
            break;
        }
        const double crcMs = crcCheckMs(program.session.captureBuffer(), bytes, frameBytes);
        figures.add("crc_check_ms", crcMs);
        QCoreApplication::processEvents();  // the emptied page paints long before the end

        const auto start = Clock::now();
        const bool painted =
            runOnWorker([&] { program.session.completeRecording(SamplingState::Finished, bytes); },
                        [&] { return timed.paint(kDataMonitor).painted(); });
        const auto passEnd = Clock::now();
        const auto end = timed.paint(kDataMonitor).paintedAt();

        if (!painted || page.sampleCount != kMaxSamples || !program.waitUntilIdle()) {
            state.SkipWithError("the recording did not reach the graph");
            break;
        }
        state.SetIterationTime(msBetween(start, end) / 1e3);
        figures.addTime(msBetween(start, end));
        figures.add("work_ms", msBetween(start, timed.loadStart));
        figures.add("load_ms", msBetween(timed.loadStart, timed.loadEnd));
        figures.add("paint_ms", std::max(0.0, msBetween(timed.loadEnd, end)));
        figures.add("with_crc_ms", crcMs + msBetween(start, end));
        figures.add("final_pass_ms", msBetween(start, passEnd));
    }
    figures.report(state);
}

// --- A recording's cost and its live view --------------------------------------------------------

constexpr uint16_t kLiveCycle = 20;
constexpr uint16_t kLiveSeconds = 10;

// The program after a communication check that found kestiva-sim at 115200 bit/s, with the
// data page set to record 10 s at 20 ms when its Start button is clicked.
class RecordingProgram {
public:
    RecordingProgram() {
        if (!sim_.ok()) {
            error_ = "kestiva-sim did not start";
            return;
        }
        EmptyCheckProgress progress;
        {
            // Gone before the recording: its look for dialogs every millisecond is not the
            // program's.
            AutoUser user;
            user.thenAcknowledge();
            if (program.session
                    .runCheck("COM1", {false, "1", "115200"}, progress,
                              [] { QCoreApplication::processEvents(); })
                    .result != CheckResult::Found) {
                error_ = "the communication check found no controller";
                return;
            }
            pumpUntil([&] { return user.done(); });
        }
        program.session.closeCheckPort();
        // The window made after the check offers Start, as the program's start-up makes it.
        program.window.reset();  // the old window's end would leave the bridge without a target
        program.window = std::make_unique<MainWindow>(program.session, program.bridge);
        program.window->show();
        program.window->findChild<QComboBox*>("dataCycleList")
            ->setCurrentText(QString::number(kLiveCycle));
        program.window->findChild<QComboBox*>("dataTimeList")
            ->setCurrentText(QString::number(kLiveSeconds));
    }
    // Why the program cannot record; empty when it can.
    const std::string& error() const { return error_; }
    QWidget& graphWidget() const { return *program.window->findChild<QWidget*>("dataGraph"); }

    // Clicks Start and runs the window until the recording has ended and the window is idle;
    // false unless it ended with every sample.
    bool record() {
        program.window->findChild<QPushButton*>("dataStartButton")->click();
        const bool ended = pumpUntil([&] {
            return !program.session.recordingRunning() &&
                   program.session.state().phase() == ProgressPhase::Idle;
        });
        return ended && program.session.page(kDataMonitor).sampleCount ==
                            uint32_t(kLiveSeconds) * 1000 / kLiveCycle + 1;
    }

    Program program;

private:
    SimProcess sim_{{"--bitrate", "115200", "--station", "1"}, program.folder.portLink(1)};
    std::string error_;
};

// A real 10 s data recording at 20 ms from kestiva-sim at 115200 bit/s, started with the
// page's Start button: the whole program's CPU time (window thread, worker, the progress and
// live view shown, the graph painted at the end) per second of recording, as cpu_pct_of_core.
void BM_DataRecordingCpu(benchmark::State& state) {
    RecordingProgram recording;
    if (!recording.error().empty()) {
        state.SkipWithError(recording.error().c_str());
        return;
    }
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds();
        const bool recorded = recording.record();
        const double cpuSeconds = processCpuSeconds() - cpuBefore;
        if (!recorded) {
            state.SkipWithError("the recording did not end with every sample");
            break;
        }
        state.counters["cpu_pct_of_core"] = cpuSeconds / kLiveSeconds * 100;
        state.counters["late_cycles"] = recording.program.session.pacingReport().lateCycles;
    }
}

// When each count of complete bytes was published, as a thread of the benchmark sees it: it
// loads the engine's count with acquire order every 0.2 ms (a tight loop would take a core
// of the two from the program it measures), so a time is late by at most about that.
class ArrivalWatch {
public:
    explicit ArrivalWatch(const std::atomic<uint32_t>& completeBytes)
        : completeBytes_(completeBytes), thread_([this] { run(); }) {}
    ~ArrivalWatch() { stop(); }
    void stop() {
        stop_.store(true, std::memory_order_relaxed);
        if (thread_.joinable())
            thread_.join();
    }
    // When sample `index` of `sampleBytes` bytes became complete; nullopt if it never did.
    // Read after stop().
    std::optional<Clock::time_point> arrival(uint32_t index, uint32_t sampleBytes) const {
        const uint64_t needed = uint64_t(index + 1) * sampleBytes;
        for (const auto& [bytes, when] : published_)
            if (bytes >= needed)
                return when;
        return std::nullopt;
    }

private:
    void run() {
        published_.reserve(4096);
        uint32_t last = completeBytes_.load(std::memory_order_acquire);
        while (!stop_.load(std::memory_order_relaxed)) {
            const uint32_t bytes = completeBytes_.load(std::memory_order_acquire);
            if (bytes != last) {
                if (bytes < last)  // a new recording has started
                    published_.clear();
                published_.emplace_back(bytes, Clock::now());
                last = bytes;
            }
            std::this_thread::sleep_for(200us);
        }
    }

    const std::atomic<uint32_t>& completeBytes_;
    std::atomic<bool> stop_{false};
    std::vector<std::pair<uint32_t, Clock::time_point>> published_;
    std::thread thread_;
};

// When the data graph has finished each paint that shows samples it did not show before, and
// how many it held then.
class LivePaints : public QObject {
public:
    LivePaints(const CMultiGraph& graph, QWidget& widget) : graph_(graph) {
        widget.installEventFilter(this);
    }
    const std::vector<std::pair<std::size_t, Clock::time_point>>& paints() const { return paints_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const std::size_t held = graph_.heldSamples(0).size();
        if (event->type() != QEvent::Paint || held <= shown_)
            return QObject::eventFilter(watched, event);
        // The widget's own handler paints here rather than after the filter, so that the time
        // is the paint's end: the moment the samples are on the screen.
        watched->event(event);
        paints_.emplace_back(held, Clock::now());
        shown_ = held;
        return true;
    }

private:
    const CMultiGraph& graph_;
    std::size_t shown_ = 0;
    std::vector<std::pair<std::size_t, Clock::time_point>> paints_;
};

// The live view's latency in the same recording as BM_DataRecordingCpu, apart from it so that
// the watching thread's CPU time is not counted there: for every sample, the time from its
// reply's bytes being complete in the capture buffer (published by the engine) to the end of
// the first paint of the data graph that holds it, as live_ms_median and live_ms_p99.
void BM_DataRecordingLiveLatency(benchmark::State& state) {
    RecordingProgram recording;
    if (!recording.error().empty()) {
        state.SkipWithError(recording.error().c_str());
        return;
    }
    Session& session = recording.program.session;
    for (auto _ : state) {
        LivePaints paints(recording.program.window->dataPage().graph(), recording.graphWidget());
        ArrivalWatch arrivals(session.completeBytes());
        const bool recorded = recording.record();
        arrivals.stop();
        if (!recorded) {
            state.SkipWithError("the recording did not end with every sample");
            break;
        }
        const uint32_t bytes = sampleBytes(kDataMonitor, session.live().record());
        std::vector<double> latencies;
        std::size_t shown = 0;
        for (const auto& [held, paintEnd] : paints.paints()) {
            for (; shown < held; ++shown)
                if (const auto arrival = arrivals.arrival(uint32_t(shown), bytes))
                    latencies.push_back(msBetween(*arrival, paintEnd));
        }
        if (latencies.empty()) {
            state.SkipWithError("no sample was shown while the recording ran");
            break;
        }
        std::sort(latencies.begin(), latencies.end());
        const auto at = [&](double p) {
            return latencies[std::size_t(p * double(latencies.size() - 1))];
        };
        state.counters["live_ms_median"] = at(0.5);
        state.counters["live_ms_p99"] = at(0.99);
        state.counters["live_ms_max"] = latencies.back();
        state.counters["samples_shown_live"] = double(latencies.size());
    }
}

// --- CSV read and save --------------------------------------------------------------------------

// The window's CSV read of a 150,001-line file into its page, up to the graph painted.
void BM_CsvReadToPage(benchmark::State& state) {
    const MonitorKind kind = MonitorKind(state.range(0));
    Program program;
    writeFullCsv(program.csvPath(kind), kind, program.session.texts());
    TimedWindow timed(*program.window, program.bridge);
    Figures figures;
    for (auto _ : state) {
        const auto start = Clock::now();
        const bool read = program.readCsv(kind, timed);
        const auto end = Clock::now();
        if (!read || program.session.page(kind).sampleCount != kMaxSamples ||
            !program.waitUntilIdle()) {
            state.SkipWithError("the CSV read did not reach the page");
            break;
        }
        state.SetIterationTime(msBetween(start, end) / 1e3);
        figures.addTime(msBetween(start, end));
        figures.add("work_ms", msBetween(start, timed.loadStart));
        figures.add("load_ms", msBetween(timed.loadStart, timed.loadEnd));
        figures.add("paint_ms", std::max(0.0, msBetween(timed.loadEnd, end)));
    }
    figures.report(state);
}

// The window's CSV save of a page holding 150,001 samples, up to its completion message,
// beside the writer alone on the same page (writer_ms, as bench/files/CsvBench.cpp measures
// it), interleaved in the same run.
void BM_CsvSaveFromWindow(benchmark::State& state) {
    const MonitorKind kind = MonitorKind(state.range(0));
    Program program;
    writeFullCsv(program.csvPath(kind), kind, program.session.texts());
    {
        TimedWindow timed(*program.window, program.bridge);
        if (!program.readCsv(kind, timed) || !program.waitUntilIdle()) {
            state.SkipWithError("the page could not be loaded");
            return;
        }
    }
    const std::string path = program.folder.path() + "saved.csv";
    Figures figures;
    for (auto _ : state) {
        AutoUser user;
        user.thenAcknowledge();
        const auto start = Clock::now();
        bool saved = false;
        runOnWorker([&] { saved = program.session.saveCsv(path); }, [] { return true; });
        if (!saved || !user.done() || !program.waitUntilIdle()) {
            state.SkipWithError("the CSV save failed");
            break;
        }
        state.SetIterationTime(msBetween(start, user.met(0)) / 1e3);
        figures.addTime(msBetween(start, user.met(0)));
        QuietWindow quiet;
        SessionState scratch;
        const auto writerStart = Clock::now();
        if (writeCsv(path, program.session.page(kind), scratch, quiet, quiet,
                     program.session.texts()) != 0)
            std::abort();
        figures.add("writer_ms", msBetween(writerStart, Clock::now()));
    }
    figures.report(state);
}

BENCHMARK(BM_ProgramMemoryWithBothPagesFull)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpToMainWindow)
    ->Iterations(kIterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MainWindowConstruction)
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataRecordingEndToGraph)
    ->Iterations(kIterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataRecordingCpu)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_DataRecordingLiveLatency)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_CsvReadToPage)
    ->ArgName("io")
    ->Arg(kDataMonitor)
    ->Arg(kIoMonitor)
    ->Iterations(kIterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CsvSaveFromWindow)
    ->ArgName("io")
    ->Arg(kDataMonitor)
    ->Arg(kIoMonitor)
    ->Iterations(kIterations)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

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
