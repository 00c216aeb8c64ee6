// kestiva-cli record: check the link, record one monitor, save the recording as CSV.

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "files/CsvFile.h"
#include "files/ReceiveDump.h"
#include "link/CaptureDecoding.h"
#include "link/ModbusMaster.h"
#include "link/RecordingStart.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/LinkCheck.h"

namespace kestiva::cli {

namespace {

std::string helpText() {
    return std::string(
               "Usage: kestiva-cli record data|io --cycle MS --time S --out FILE.csv\n"
               "                          [--controller N|NAME] [--port COMn]\n"
               "                          [--search | --station N --bitrate B] [--dump PATH]\n"
               "                          [--colors K] [--json] [--system DIR]\n"
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
               "  --cycle MS        sampling cycle in milliseconds (1 to 65535)\n"
               "  --time S          sampling time in seconds (1 to 65535)\n"
               "  --out FILE.csv    where the recording is saved\n"
               "  --controller N|NAME  the controller type: its number in\n"
               "                    DataSamplingConfig.ini (CTL<N>_...) or its name; default the\n"
               "                    first one, as the window's menu starts\n") +
           kLinkOptionsHelp +
           "  --dump PATH       also write the receive-buffer dump: to the file PATH, or into\n"
           "                    the folder PATH under the program's own dated name\n"
           "  --colors K        accepted for symmetry with plot; a recording has no colours\n"
           "\n"
           "Exit code 0 when the recording was saved, 1 otherwise.\n";
}

const char* endStateName(SamplingState state) {
    switch (state) {
        case SamplingState::Finished:
            return "complete";
        case SamplingState::StopRequested:
            return "stopped";
        case SamplingState::RequestFailed:
            return "communication error";
        case SamplingState::CrcError:
            return "CRC error";
        case SamplingState::BufferFull:
            return "buffer full";
        default:
            return "not started";
    }
}

// The controller record of the menu choice: a number names CTL<N>, anything else a name.
// Without a choice, the first record the menu lists.
std::optional<int> chooseController(const MonitorConfig& config,
                                    const std::optional<std::string>& given, std::string& error) {
    if (!given) {
        for (int c = 0; c < kControllerCount; ++c)
            if (!config.controllers[std::size_t(c)].name.empty())
                return c;
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
class DeferredMessages final : public WindowPort {
public:
    explicit DeferredMessages(WindowPort& window) : window_(window) {}
    void showProgress() override { window_.showProgress(); }
    void pumpMessages() override { window_.pumpMessages(); }
    void setControlsEnabled(bool enabled) override { window_.setControlsEnabled(enabled); }
    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override {
        held_.push_back({caption, text, icon});
    }
    void clearPage(int monitor) override { window_.clearPage(monitor); }
    void loadRecording(int monitor) override { window_.loadRecording(monitor); }
    void enableEntry(int monitor) override { window_.enableEntry(monitor); }
    void setPhaseText(const std::string& text) override { window_.setPhaseText(text); }
    void startResetTimer(int ms) override { window_.startResetTimer(ms); }
    void stopProgressTimer() override { window_.stopProgressTimer(); }
    void repaint() override { window_.repaint(); }

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
    WindowPort& window_;
    std::vector<TerminalWindow::Message> held_;
};

// The receive-buffer dump at target: into a folder under the program's dated name, or as the
// file target itself (written in a private folder beside it, then renamed, so that nothing
// else in that folder is touched). The written path, or empty.
std::string writeDumpTo(const std::string& target, const uint8_t* capture, std::size_t bytes,
                        const ControllerRecord& shownActive, TerminalWindow& window,
                        const LanguageCatalogue& texts) {
    namespace fs = std::filesystem;
    const std::time_t now = std::time(nullptr);
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        const std::string folder = target.ends_with('/') ? target : target + "/";
        if (writeReceiveDump(capture, bytes, shownActive, folder, window, texts, now) !=
            DumpResult::Written)
            return {};
        return folder + receiveDumpFileName(now);
    }
    fs::path parent = fs::path(target).parent_path();
    if (parent.empty())
        parent = ".";
    std::string pattern = (parent / ".kestiva-dump-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return {};
    const std::string folder = pattern + "/";
    DeferredMessages deferred(window);
    const DumpResult result =
        writeReceiveDump(capture, bytes, shownActive, folder, deferred, texts, now);
    const std::string written = folder + receiveDumpFileName(now);
    bool ok = result == DumpResult::Written;
    if (ok) {
        fs::rename(written, target, ec);
        ok = !ec;
    }
    fs::remove_all(pattern, ec);
    if (!ok)
        return {};
    deferred.release(written, target);
    return target;
}

// Whether a file can be created at path: its folder exists and may be written, and path is
// not a folder. A recording is not repeatable; a name that cannot be saved is refused before
// the controller is touched rather than after the recording.
bool canCreateFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(path, ec))
        return false;
    fs::path parent = fs::path(path).parent_path();
    if (parent.empty())
        parent = ".";
    return fs::is_directory(parent, ec) && ::access(parent.c_str(), W_OK) == 0;
}

bool canWriteDump(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return ::access(path.c_str(), W_OK) == 0;
    return canCreateFile(path);
}

Json optionalText(const std::string& text) {
    return text.empty() ? Json() : Json(text);
}

}  // namespace

int runRecordCommand(const Args& argv) {
    std::vector<OptionSpec> accepted(std::begin(kLinkOptions), std::end(kLinkOptions));
    for (const char* name : {"--controller", "--cycle", "--time", "--out", "--dump", "--colors"})
        accepted.push_back({name, true});
    std::string error;
    const auto args = ParsedArgs::parse(argv, accepted, error);
    if (!args)
        return usageError("record", error);
    if (args->has("--help")) {
        printOut(helpText());
        return kExitOk;
    }
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
    if (out->empty() || !canCreateFile(*out))
        return usageError("record", "--out: cannot create a file at '" + *out + "'");
    if (const auto dump = args->value("--dump"); dump && (dump->empty() || !canWriteDump(*dump)))
        return usageError("record", "--dump: cannot write a dump at '" + *dump + "'");
    const auto folder = resolveSystemFolder(*args, error);
    if (!folder)
        return usageError("record", error);
    const bool json = args->has("--json");

    LanguageCatalogue texts(folder->programFolder);
    if (!loadCatalogue(texts, json))
        return kExitFailure;
    CommunicationSettings settings;
    loadCommunicationSettings(communicationSettingsPath(folder->programFolder), settings);
    auto config = std::make_unique<SamplingConfig>();
    if (!loadSamplingConfiguration(*folder, *config, json))
        return kExitFailure;
    if (!applyLinkOptions(*args, *folder, settings, error))
        return usageError("record", error);
    const MonitorConfig& monitorConfig = config->monitors[std::size_t(*monitor)];
    const auto controller = chooseController(monitorConfig, args->value("--controller"), error);
    if (!controller)
        return usageError("record", error);
    const ControllerRecord& record = monitorConfig.controllers[std::size_t(*controller)];

    SessionState session;
    TerminalWindow window(session, texts);
    SerialLink link(folder->programFolder);
    ModbusMaster modbus(link);
    CommunicationCheck check(modbus, settings, session, texts, window);
    PortContext context;

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
    const int checked = runLinkCheck(check, context, settings, window);
    if (checked == kLinkCancelled)
        return fail("cancelled");
    if (checked != kLinkFound)
        return fail({});

    // Allocated once, at full size, before the recording, as the program does at start-up.
    auto dataPage = std::make_unique<PageRecording>(kDataMonitor);
    auto ioPage = std::make_unique<PageRecording>(kIoMonitor);
    std::vector<uint8_t> capture(kCaptureBufferSize);
    PageRecording& page = *monitor == kDataMonitor ? *dataPage : *ioPage;

    SamplingEngine engine(modbus, settings, session, window, texts);
    CaptureDecoder decoder(capture.data(), *dataPage, *ioPage, session, window, texts);
    // The pause before the page loads lets a window's user see the conversion finish; a
    // terminal has nothing to see.
    decoder.setLoadPause(std::chrono::milliseconds(0));
    SamplingRequest request;
    request.portContext = &context;
    request.completion = [&decoder](SamplingState state, uint32_t bytes) {
        decoder.onRecordingComplete(state, bytes);
    };
    session.monitorMode = *monitor;

    RecordingStart starter(engine, request, capture.data(), settings, session, window, texts);
    const StartResult started =
        starter.start(page, record, uint16_t(*cycle), uint16_t(*time), std::time(nullptr));
    if (started != StartResult::Ok) {
        // -1 has no message of its own in the window.
        return fail(started == StartResult::BadArgument ? "the recording could not be started"
                                                        : "");
    }

    // The window's timers: Stop when Ctrl+C was pressed, progress every 100 ms.
    bool stopPressed = false;
    auto nextRefresh = std::chrono::steady_clock::now();
    while (engine.workerRunning()) {
        if (!stopPressed && interrupted()) {
            engine.requestStop();
            stopPressed = true;
        }
        if (std::chrono::steady_clock::now() >= nextRefresh) {
            window.refreshProgress();
            nextRefresh += std::chrono::milliseconds(100);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    engine.waitForWorker();
    window.endProgress();
    session.setPhase(kPhaseIdle);
    const SamplingState endState = engine.samplingState.load();
    const TerminalWindow::CycleTiming timing = window.cycleTiming();

    std::string dumpPath;
    if (const auto dump = args->value("--dump")) {
        const uint32_t received = modbus.receivedByteTotal.load();
        if (received == 0) {
            std::fputs("kestiva-cli record: nothing was received; no dump written\n", stderr);
        } else {
            dumpPath = writeDumpTo(*dump, capture.data(), received, page.active, window, texts);
            if (dumpPath.empty())
                std::fprintf(stderr, "kestiva-cli record: the dump could not be written to %s\n",
                             dump->c_str());
        }
    }

    const bool savable =
        (*monitor == kDataMonitor ? session.dataSavable : session.ioSavable).load();
    bool saved = false;
    if (savable) {
        // The window's CSV save: its phase and progress, the writer, then its message.
        session.progressTotal = int32_t(page.sampleCount);
        session.progressCount = 0;
        session.setPhase(kPhaseCsvSave);
        window.showProgress();
        saved = writeCsv(*out, page, session, window, texts) == 0;
        window.endProgress();
        session.setPhase(kPhaseIdle);
        window.showMessage(texts.GetText(text::MSG_ALARM_TITLE),
                           texts.GetText(saved ? text::MSG_PROGRESS_STATE_CSV_SAVE_COMP_MSG
                                               : text::MSG_PROGRESS_STATE_CSV_SAVE_ERR_MSG),
                           saved ? MessageIcon::Information : MessageIcon::Error);
    } else {
        std::fputs("kestiva-cli record: no recording to save; no file written\n", stderr);
    }

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
                .set("out", saved ? Json(*out) : Json())
                .set("dump", optionalText(dumpPath))
                .set("messages", window.messagesJson());
        printOut(result.dump());
    } else {
        std::string summary = "Monitor:    " + std::string(monitorName(*monitor)) +
                              ", controller " + std::to_string(*controller + 1) + " (" +
                              record.name + ")\n";
        summary += "Link:       " + settings.portName + ", station " +
                   std::to_string(settings.verifiedStation.load()) + ", " +
                   std::to_string(settings.bitRate) + " bit/s\n";
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
        if (saved)
            summary += "Saved:      " + *out + "\n";
        if (!dumpPath.empty())
            summary += "Dump:       " + dumpPath + "\n";
        printOut(summary);
    }
    return saved ? kExitOk : kExitFailure;
}

}  // namespace kestiva::cli
