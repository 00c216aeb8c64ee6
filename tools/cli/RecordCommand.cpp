// kestiva-cli record: check the link, record one monitor, save the recording as CSV.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "files/CsvFile.h"
#include "files/ReceiveDump.h"
#include "link/NetworkTarget.h"
#include "link/SerialLink.h"
#include "settings/FileCalls.h"
#include "settings/ProgramFolder.h"
#include "settings/Utf8Path.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/LinkCheck.h"
#include "tools/cli/LiveOutput.h"
#include "tools/cli/OutputQueue.h"
#include "window/WindowRules.h"

namespace kestiva::cli {

namespace {

std::string helpText() {
    return std::string(
               "Usage: kestiva-cli record data|io --cycle MS --time S --out FILE.csv\n"
               "                          [--controller N|NAME] [--port COMn]\n"
               "                          [--search | --station N --bitrate B] [--dump PATH]\n"
               "                          [--live] [--stream] [--colors K] [--json]\n"
               "                          [--system DIR]\n"
               "\n"
               "Runs the communication check first (a recording needs a controller that\n"
               "answered), then records the data monitor (one register range per cycle) or\n"
               "the I/O monitor (input and output ranges) of the chosen controller type, at\n"
               "the cycle for the time, and saves it with the program's CSV writer. A progress\n"
               "bar goes to standard error when it is a terminal. Ctrl+C is the Stop button:\n"
               "the recording ends after the current cycle and what was recorded is saved\n"
               "(a second Ctrl+C ends the program at once). Messages the window shows in a\n"
               "message box go to standard error; a summary goes to standard output.\n"
               "\n"
               "  data|io           the monitor to record\n"
               "  --cycle MS        sampling cycle in milliseconds (1 to 65535). Any cycle is\n"
               "                    taken, where the window offers only the configured cycles of\n"
               "                    at least ") +
           std::to_string(minimumListedCycle(kDataMonitor)) + " ms (data) or " +
           std::to_string(minimumListedCycle(kIoMonitor)) +
           " ms (I/O): a shorter one may not fit its\n"
           "                    requests in a cycle\n"
           "  --time S          sampling time in seconds (1 to 65535)\n"
           "  --out FILE.csv    where the recording is saved\n"
           "  --controller N|NAME  the controller type: its number in\n"
           "                    DataSamplingConfig.ini (CTL<N>_...) or its name; default the\n"
           "                    first one, as the window's menu starts\n" +
           kLinkOptionsHelp +
           "  --dump PATH       also write the receive-buffer dump: to the file PATH, or into\n"
           "                    the folder PATH under the program's own dated name\n"
           "  --live            while recording, show one status line on the terminal\n"
           "                    (standard error) in place of the progress bar, redrawn up to\n"
           "                    ten times a second: the seconds so far, the samples, and the\n"
           "                    latest value of each item with its unit, or the sixteen I/O\n"
           "                    levels in groups of four\n"
           "  --stream          write each sample to standard output as it comes, one JSON\n"
           "                    object per line, flushed at once. The summary (and the --json\n"
           "                    result) then goes to standard error. A reader that closes the\n"
           "                    pipe ends the stream, not the recording, which is still saved.\n"
           "                    Fields of a line:\n"
           "                      index   the sample's number, from 0\n"
           "                      t       seconds from the start: index x cycle, as the CSV's\n"
           "                              time column\n"
           "                      time    the same place on the grid as a time of day: ISO 8601\n"
           "                              with milliseconds and the UTC offset, for example\n"
           "                              \"2026-12-07T22:50:01.250+01:00\" (the first cycle's\n"
           "                              slot + index x cycle)\n"
           "                      values  data: {NAME: VALUE, ...} per enabled item, the value\n"
           "                              as the page plots it (raw x scale, with the scale's\n"
           "                              decimals)\n"
           "                      levels  I/O: [16 x 0|1], null for a disabled signal\n"
           "                    A sample whose frames failed their CRC check has null values.\n"
           "  --colors K        accepted for symmetry with plot; a recording has no colours\n"
           "\n"
           "\n"
           "While it runs, the recording is also written to a journal (see recover), which is\n"
           "removed once the recording is saved; when the journal cannot be written, the\n"
           "recording goes on and the reason is shown once it has ended.\n"
           "\n"
           "Exit code 0 when the recording was saved, 1 otherwise.\n";
}

// The controller record of the menu choice: a number names CTL<N>, anything else a name.
// Without a choice, the first record the menu lists.
std::optional<int> chooseController(const MonitorConfig& config,
                                    const std::optional<std::string>& given, std::string& error) {
    if (!given) {
        // The window would start with a nameless record 0, which records nothing; here the
        // user is told instead.
        if (const std::optional<int> first = slotController(config, 0))
            return first;
        error = "no controller type is configured for this monitor";
        return std::nullopt;
    }
    if (const auto n = parseNumber(*given, 1, kControllerCount)) {
        if (!config.controllers[std::size_t(*n - 1)].name.empty())
            return int(*n - 1);
        error = "--controller: controller type " + *given + " is not configured or not usable";
        return std::nullopt;
    }
    for (int c = 0; c < kControllerCount; ++c)
        if (config.controllers[std::size_t(c)].name == *given)
            return c;
    error = "--controller: no controller type named '" + *given + "'";
    return std::nullopt;
}

// Holds the message boxes of the dump back until its file has its final name.
class DeferredMessages final : public MessageHost {
public:
    explicit DeferredMessages(MessageHost& messages) : window_(messages) {}
    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override {
        held_.push_back({caption, text, icon});
    }

    // Shows the held messages with every `from` in their text replaced by `to`.
    void release(const std::string& from, const std::string& to) {
        for (auto& m : held_) {
            for (auto at = m.text.find(from); !from.empty() && at != std::string::npos;
                 at = m.text.find(from, at + to.size()))
                m.text.replace(at, from.size(), to);
            window_.showMessage(m.caption, m.text, m.icon);
        }
        held_.clear();
    }

private:
    MessageHost& window_;
    std::vector<TerminalWindow::Message> held_;
};

// The receive-buffer dump at target: into a folder under the program's dated name, or as the
// file target itself (written in a private folder beside it, then renamed, so that nothing
// else in that folder is touched). The written path, or empty.
std::string writeDumpTo(const std::string& target, Session& session, TerminalWindow& window) {
    namespace fs = std::filesystem;
    const std::time_t now = std::time(nullptr);
    std::error_code ec;
    if (fs::is_directory(utf8Path(target), ec)) {
        const std::string folder = target.ends_with('/') ? target : target + "/";
        if (session.writeReceiveDump(folder, window, now) != DumpResult::Written)
            return {};
        return folder + receiveDumpFileName(now);
    }
    fs::path parent = utf8Path(target).parent_path();
    if (parent.empty())
        parent = ".";
    std::string pattern;
    for (int n = 0; pattern.empty() && n < 100; ++n) {
        const fs::path candidate = parent / (".kestiva-dump-" + std::to_string(processId()) + "-" +
                                             std::to_string(n));
        if (fs::create_directory(candidate, ec)) {
            // Private, as nobody else has business in it before the dump is in place.
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, ec);
            pattern = utf8Text(candidate);
        } else if (ec) {
            return {};
        }
    }
    if (pattern.empty())
        return {};
    const std::string folder = pattern + "/";
    DeferredMessages deferred(window);
    const DumpResult result = session.writeReceiveDump(folder, deferred, now);
    const std::string written = folder + receiveDumpFileName(now);
    bool ok = result == DumpResult::Written;
    // A new name only: like the dump itself, never written over an existing file.
    if (ok)
        ok = moveToNewName(written, target);
    fs::remove_all(utf8Path(pattern), ec);
    if (!ok)
        return {};
    deferred.release(written, target);
    return target;
}

bool canWriteDump(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(utf8Path(path), ec))
        return writableByUser(path);
    return !fs::exists(fs::symlink_status(utf8Path(path), ec)) && csvTargetWritable(path);
}

// Where a recording goes when its own file cannot be written after all: a new file in the
// temporary folder, so that a recording that cannot be repeated is never thrown away.
std::string fallbackCsvPath(MonitorKind monitor) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::temp_directory_path(ec);
    if (ec)
        folder = "/tmp";
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    const std::tm local = localTime(now);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int n = 0;; ++n) {
        const fs::path candidate =
            folder / ("kestiva-" + std::string(monitorName(monitor)) + "-" + stamp + "-" +
                      std::to_string(processId()) + (n ? "-" + std::to_string(n) : "") + ".csv");
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return utf8Text(candidate);
    }
}

// The window's CSV save to out; when it fails, the same save to a fallback file. The path
// written, or empty when neither could be written.
std::string saveRecording(Session& session, TerminalWindow& window, const std::string& out) {
    if (session.saveCsv(out))
        return out;
    const std::string fallback = fallbackCsvPath(session.state().monitorMode.load());
    if (!session.saveCsv(fallback))
        return {};
    window.writeLine("kestiva-cli record: " + out +
                     " could not be written; the recording was saved to " + fallback);
    return fallback;
}

// The window's output goes through a queue while the recording runs, so that neither the
// recording nor its save waits for the terminal; the end brings back direct writing.
class QueuedWindowOutput {
public:
    // Progress lines that may wait: six seconds of them.
    static constexpr std::size_t kLines = 64;

    explicit QueuedWindowOutput(TerminalWindow& window)
        : window_(window), queue_(StandardStream::Error, kLines) {
        window.sendOutputThrough(&queue_);
    }
    ~QueuedWindowOutput() { end(std::chrono::milliseconds(0)); }
    QueuedWindowOutput(const QueuedWindowOutput&) = delete;
    QueuedWindowOutput& operator=(const QueuedWindowOutput&) = delete;

    // Gives the terminal grace to take what is queued; the messages it has not taken by then
    // are written directly, however long that takes now that nothing else waits. The number
    // of progress lines left out.
    std::size_t end(std::chrono::milliseconds grace) {
        if (!ended_) {
            ended_ = true;
            window_.sendOutputThrough(nullptr);
            const std::string kept = queue_.finish(grace);
            std::fwrite(kept.data(), 1, kept.size(), stderr);
            std::fflush(stderr);
        }
        return queue_.dropped();
    }

private:
    TerminalWindow& window_;
    OutputQueue queue_;
    bool ended_ = false;
};

// How long the stream's reader and the terminal may still take what waits for them once the
// recording is saved.
constexpr std::chrono::milliseconds kOutputGrace(500);

Json optionalText(const std::string& text) {
    return text.empty() ? Json() : Json(text);
}

double milliseconds(std::chrono::microseconds d) { return double(d.count()) / 1000; }

// The cycles that reached the line over 10 ms late, with where their time went.
std::span<const StalledCycle> keptStalls(const PacingReport& pacing) {
    return std::span(pacing.stalls)
        .first(std::min<std::size_t>(pacing.stallCount, PacingReport::kStallsKept));
}

Json stallsJson(const PacingReport& pacing) {
    Json list = Json::array();
    for (const StalledCycle& s : keptStalls(pacing))
        list.push(Json::object()
                      .set("cycle", int64_t(s.cycle))
                      .set("lateMs", Json::number(milliseconds(s.late), 3))
                      .set("replyWaitMs", Json::number(milliseconds(s.replyWait), 3))
                      .set("progressMs", Json::number(milliseconds(s.progress), 3))
                      .set("wakeUpMs", Json::number(milliseconds(s.wakeUp), 3))
                      .set("writeMs", Json::number(milliseconds(s.write), 3)));
    return list;
}

std::string stallLines(const PacingReport& pacing) {
    std::string lines;
    for (const StalledCycle& s : keptStalls(pacing))
        lines += "            cycle " + std::to_string(s.cycle) + " reached the line " +
                 fixedText(milliseconds(s.late), 3) + " ms late: reply wait " +
                 fixedText(milliseconds(s.replyWait), 3) + " ms, progress " +
                 fixedText(milliseconds(s.progress), 3) + " ms, wake-up " +
                 fixedText(milliseconds(s.wakeUp), 3) + " ms, write " +
                 fixedText(milliseconds(s.write), 3) + " ms\n";
    if (pacing.stallCount > PacingReport::kStallsKept)
        lines += "            and " + std::to_string(pacing.stallCount - PacingReport::kStallsKept) +
                 " more cycles over 10 ms late\n";
    return lines;
}

std::string schedulingLine(Scheduling scheduling) {
    const char* meaning = scheduling == Scheduling::Fifo    ? "real time"
                          : scheduling == Scheduling::Rtkit ? "real time granted by the system's "
                                                              "real-time broker"
                          : scheduling == Scheduling::TimeCritical
                              ? "the highest thread priority Windows gives a program"
                              : "real time not allowed; the README tells how to allow it";
    return "Scheduling: " + std::string(schedulingName(scheduling)) + " (" + meaning + ")\n";
}

// The summary's link: the port and its bit rate, or for a port that leads over the network
// its target and transport, where a bit rate means nothing.
std::string linkLine(const std::string& programFolder, const CommunicationSettings& settings) {
    const std::string device = resolvePortDevice(programFolder, settings.portName);
    std::string error;
    const auto target = parseNetworkTarget(device, error);
    std::string link = settings.portName + ", ";
    if (target) {
        link = device == settings.portName ? target->text() : settings.portName + " (" +
                                                                  target->text() + ")";
        link += ", " + std::string(target->transportName()) + ", ";
    }
    link += "station " + std::to_string(settings.verifiedStation.load());
    if (!target)
        link += ", " + std::to_string(settings.bitRate) + " bit/s";
    return "Link:       " + link + "\n";
}

}  // namespace

int runRecordCommand(const Args& argv) {
    std::vector<OptionSpec> accepted(std::begin(kLinkOptions), std::end(kLinkOptions));
    for (const char* name : {"--controller", "--cycle", "--time", "--out", "--dump", "--colors"})
        accepted.push_back({name, true});
    for (const char* name : {"--live", "--stream"})
        accepted.push_back({name, false});
    std::string error;
    const auto args = ParsedArgs::parse(argv, accepted, error);
    if (!args)
        return usageError("record", error);
    if (args->has("--help")) {
        printOut(helpText());
        return kExitOk;
    }
    // Standard output belongs to the stream: everything else goes to standard error.
    const LiveOutput::Options liveOptions{args->has("--live"), args->has("--stream")};
    if (liveOptions.stream)
        sendResultsToStandardError();
    if (args->positional().size() != 1)
        return usageError("record", "data or io expected");
    const auto monitor = parseMonitor(args->positional().front());
    if (!monitor)
        return usageError("record", "data or io expected: " + args->positional().front());
    const auto cycleText = args->value("--cycle");
    const auto timeText = args->value("--time");
    const auto out = args->value("--out");
    if (!cycleText || !timeText || !out)
        return usageError("record", "--cycle, --time and --out are required");
    const auto cycle = parseNumber(*cycleText, 1, 65535);
    const auto time = parseNumber(*timeText, 1, 65535);
    if (!cycle)
        return usageError("record", "--cycle: 1 to 65535 ms expected: " + *cycleText);
    if (!time)
        return usageError("record", "--time: 1 to 65535 s expected: " + *timeText);
    if (out->empty() || !csvTargetWritable(*out))
        return usageError("record", "--out: cannot create a file at '" + *out + "'");
    if (const auto dump = args->value("--dump"); dump && (dump->empty() || !canWriteDump(*dump)))
        return usageError("record", "--dump: cannot write a dump at '" + *dump + "'");
    const auto folder = resolveSystemFolder(*args, error);
    if (!folder)
        return usageError("record", error);
    const bool json = args->has("--json");

    TerminalSession terminal(*folder);
    Session& session = terminal.session;
    TerminalWindow& window = terminal.window;
    if (!loadCatalogue(terminal, json))
        return kExitFailure;
    session.loadCommunicationSettings();
    if (!loadSamplingConfiguration(session, json))
        return kExitFailure;
    CommunicationSettings& settings = session.settings();
    if (!applyLinkOptions(*args, *folder, settings, error))
        return usageError("record", error);
    const MonitorConfig& monitorConfig = session.config().monitors[std::size_t(*monitor)];
    const auto controller = chooseController(monitorConfig, args->value("--controller"), error);
    if (!controller)
        return usageError("record", error);
    const ControllerRecord& record = monitorConfig.controllers[std::size_t(*controller)];

    auto fail = [&](const std::string& reason) {
        if (!reason.empty())
            std::fprintf(stderr, "kestiva-cli record: %s\n", reason.c_str());
        if (json) {
            const auto messages = window.messages();
            const std::string shown = !reason.empty()    ? reason
                                      : messages.empty() ? std::string("failed")
                                                         : terminalText(messages.back().text);
            printOut(failureJson(shown, window.messagesJson()).dump());
        }
        return kExitFailure;
    };

    // The window enables Start only after a successful check.
    watchInterrupt();
    const CheckResult checked = runLinkCheck(terminal).result;
    if (checked == CheckResult::Cancelled)
        return fail("cancelled");
    if (checked != CheckResult::Found)
        return fail({});

    session.setJournalFolder(journalFolderOf(*folder));
    session.state().monitorMode = *monitor;
    QueuedWindowOutput windowOutput(window);
    const StartResult started = session.startRecording(record, uint16_t(*cycle), uint16_t(*time),
                                                       std::time(nullptr), nullptr);
    if (started != StartResult::Ok) {
        windowOutput.end(kOutputGrace);
        // A start refused without a reason of its own has no message in the window.
        return fail(started == StartResult::BadArgument || started == StartResult::Busy
                        ? "the recording could not be started"
                        : "");
    }

    // The window's timers: Stop when Ctrl+C was pressed, progress every 100 ms (the status
    // line instead while the recording runs with --live); the live samples every turn.
    LiveOutput live(session, window, liveOptions);
    bool stopPressed = false;
    auto nextRefresh = std::chrono::steady_clock::now();
    while (session.recordingRunning()) {
        if (!stopPressed && interrupted()) {
            session.requestStop();
            stopPressed = true;
        }
        live.poll();
        if (std::chrono::steady_clock::now() >= nextRefresh) {
            if (live.showsStatus() && session.state().phase() == ProgressPhase::Recording)
                live.drawStatus();
            else
                window.refreshProgress();
            nextRefresh += std::chrono::milliseconds(100);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const SamplingState endState = session.endRecording();
    live.finish();
    const std::optional<std::string> journalProblem = session.takeJournalProblem();
    if (journalProblem)
        window.writeLine("kestiva-cli record: " + *journalProblem);
    window.endProgress();
    session.state().setPhase(ProgressPhase::Idle);
    const TerminalWindow::CycleTiming timing = window.cycleTiming();
    const PageRecording& page = session.page(*monitor);

    std::string dumpPath;
    if (const auto dump = args->value("--dump")) {
        if (session.receivedBytes() == 0) {
            window.writeLine("kestiva-cli record: nothing was received; no dump written");
        } else {
            dumpPath = writeDumpTo(*dump, session, window);
            if (dumpPath.empty())
                window.writeLine("kestiva-cli record: the dump could not be written to " + *dump);
        }
    }

    const bool savable = session.state().savable(*monitor);
    std::string savedPath;
    if (savable)
        savedPath = saveRecording(session, window, *out);
    else
        window.writeLine("kestiva-cli record: no recording to save; no file written");
    const bool saved = savedPath == *out;

    // Saved: now the stream's reader and the terminal get what still waits for them, for a
    // moment, and what they could not take is counted.
    live.endStream(kOutputGrace);
    if (const std::size_t dropped = windowOutput.end(kOutputGrace); dropped > 0)
        std::fputs(("kestiva-cli record: the terminal did not keep up; " + std::to_string(dropped) +
                    " progress line updates were left out\n")
                       .c_str(),
                   stderr);

    const PacingReport& pacing = session.pacingReport();
    const double largestLateMs = double(pacing.largestDeviation.count()) / 1000;
    const double achievedMs =
        timing.cycles > 0
            ? std::chrono::duration<double, std::milli>(timing.elapsed).count() / timing.cycles
            : 0.0;
    const uint32_t samples = savable ? page.sampleCount : 0;
    if (json) {
        Json result =
            Json::object()
                .set("ok", saved)
                .set("monitor", monitorName(*monitor))
                .set("controller",
                     Json::object().set("number", *controller + 1).set("name", record.name))
                .set("port", settings.portName)
                .set("station", int(settings.verifiedStation.load()))
                .set("bitRate", int(settings.bitRate))
                .set("cycle", int(*cycle))
                .set("time", int(*time))
                .set("date", page.startDate)
                .set("endState", int(endState))
                .set("endStateText", endStateName(endState))
                .set("samples", int64_t(samples))
                .set("achievedCycleMs", timing.cycles > 0 ? Json::number(achievedMs, 3) : Json())
                .set("lateCycles", int64_t(pacing.lateCycles))
                .set("largestLateMs", Json::number(largestLateMs, 3))
                .set("scheduling", schedulingName(pacing.scheduling))
                .set("stalledCycles", int64_t(pacing.stallCount))
                .set("stalls", stallsJson(pacing))
                .set("out", optionalText(savedPath))
                .set("dump", optionalText(dumpPath))
                .set("journalProblem", journalProblem ? Json(*journalProblem) : Json())
                .set("messages", window.messagesJson());
        printOut(result.dump());
    } else {
        std::string summary = "Monitor:    " + std::string(monitorName(*monitor)) +
                              ", controller " + std::to_string(*controller + 1) + " (" +
                              record.name + ")\n";
        summary += linkLine(folder->programFolder, settings);
        summary += "Cycle:      " + std::to_string(*cycle) + " ms for " + std::to_string(*time) +
                   " s, started " + page.startDate + "\n";
        summary +=
            "End state:  " + std::to_string(int(endState)) + " (" + endStateName(endState) + ")\n";
        summary += "Samples:    " + std::to_string(samples) + "\n";
        if (timing.cycles > 0) {
            summary += "Achieved:   " + fixedText(achievedMs, 3) + " ms per cycle (" +
                       std::to_string(timing.cycles) + " cycles in " +
                       fixedText(std::chrono::duration<double>(timing.elapsed).count(), 3) +
                       " s)\n";
        }
        summary += "Late:       " + std::to_string(pacing.lateCycles) + " of " +
                   std::to_string(pacing.cycles) + " cycles started over 1 ms late (largest " +
                   fixedText(largestLateMs, 3) + " ms)\n";
        summary += stallLines(pacing);
        summary += schedulingLine(pacing.scheduling);
        if (!savedPath.empty())
            summary += "Saved:      " + savedPath + "\n";
        if (!dumpPath.empty())
            summary += "Dump:       " + dumpPath + "\n";
        printOut(summary);
    }
    // A lost port keeps what was recorded in the file, but the recording did not run its
    // course: a script must not take it for one that did.
    return saved && endState != SamplingState::PortLost ? kExitOk : kExitFailure;
}

}  // namespace kestiva::cli
