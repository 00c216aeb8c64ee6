// kestiva-cli recover: list the kept recording journals, or bring one back as a CSV file.

#include <cstdio>
#include <ctime>
#include <string>

#include "files/CsvFile.h"
#include "settings/FileCalls.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"
#include "tools/cli/TerminalSession.h"

namespace kestiva::cli {

namespace {

constexpr const char* kHelp =
    "Usage: kestiva-cli recover --list [--json] [--system DIR]\n"
    "       kestiva-cli recover JOURNAL --out FILE.csv [--json] [--system DIR]\n"
    "\n"
    "Every recording is written to a journal while it runs, so that a crash or a power cut\n"
    "loses at most its last moment. A journal is removed once its recording is saved as CSV;\n"
    "the others are kept for 7 days and 1 GB in all (the oldest go first), in\n"
    "$XDG_DATA_HOME/kestiva/journal (~/.local/share/kestiva/journal), or in journal/ beside a\n"
    "portable program (and beside the folder --system names).\n"
    "\n"
    "  --list            the kept journals, newest first: start, monitor, controller type,\n"
    "                    the time recorded and how the recording ended ('unfinished' when\n"
    "                    the program stopped before its end, 'recording' while a running\n"
    "                    recording still writes it: that one cannot be recovered yet)\n"
    "  JOURNAL --out FILE.csv\n"
    "                    decodes the journal as the end of its recording does (frames with\n"
    "                    a failed CRC check end it) and writes the CSV file the recording's\n"
    "                    save would have written; the journal is removed once it is saved\n"
    "\n"
    "A journal needs no DataSamplingConfig.ini: it carries the controller type it was\n"
    "recorded with. Exit code 0 on success, 1 when the journal cannot be restored.\n";

std::string localTimeText(std::time_t when) {
    const std::tm local = localTime(when);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(text, length);
}

std::string stateText(const JournalEntry& entry) {
    if (entry.recording)
        return "recording";
    return entry.ended ? endStateName(entry.endState) : "unfinished";
}

int listJournals(const Session& session, bool json) {
    const std::vector<JournalEntry> entries = session.listJournals();
    if (json) {
        Json list = Json::array();
        for (const JournalEntry& e : entries)
            list.push(Json::object()
                          .set("path", e.path)
                          .set("monitor", monitorName(e.monitor))
                          .set("controller", e.controller)
                          .set("start", localTimeText(e.startTime))
                          .set("startTime", int64_t(e.startTime))
                          .set("seconds", Json::number(e.durationSeconds, 3))
                          .set("ended", e.ended)
                          .set("recording", e.recording)
                          .set("endState", e.ended ? Json(int(e.endState)) : Json())
                          .set("state", stateText(e)));
        printOut(list.dump());
        return kExitOk;
    }
    if (entries.empty()) {
        printOut("No journals in " + session.journalFolder() + "\n");
        return kExitOk;
    }
    char line[512];
    std::snprintf(line, sizeof line, "%-19s  %-4s  %-24s  %10s  %-19s  %s\n", "Start", "Page",
                  "Controller", "Seconds", "State", "Journal");
    std::string table = line;
    for (const JournalEntry& e : entries) {
        std::snprintf(line, sizeof line, "%-19s  %-4s  %-24s  %10s  %-19s  %s\n",
                      localTimeText(e.startTime).c_str(), monitorName(e.monitor),
                      printableText(e.controller).c_str(), fixedText(e.durationSeconds, 3).c_str(),
                      stateText(e).c_str(), printableText(e.path).c_str());
        table += line;
    }
    printOut(table);
    return kExitOk;
}

int recoverJournal(TerminalSession& terminal, const std::string& journal, const std::string& out,
                   bool json) {
    Session& session = terminal.session;
    const auto fail = [&](const std::string& reason) {
        std::fprintf(stderr, "kestiva-cli recover: %s\n", reason.c_str());
        if (json)
            printOut(failureJson(reason, terminal.window.messagesJson()).dump());
        return kExitFailure;
    };
    std::string error;
    const bool restored = session.restoreJournal(journal, &error);
    terminal.window.endProgress();
    session.state().setPhase(ProgressPhase::Idle);
    if (!restored)
        return fail(journal + ": " + terminalText(error));
    const MonitorKind monitor = session.state().monitorMode.load();
    const PageRecording& page = session.page(monitor);
    if (!session.saveCsv(out))
        return fail(out + " could not be written");
    if (json) {
        printOut(Json::object()
                     .set("ok", true)
                     .set("monitor", monitorName(monitor))
                     .set("controller", page.active.name)
                     .set("samples", int64_t(page.sampleCount))
                     .set("out", out)
                     .set("messages", terminal.window.messagesJson())
                     .dump());
    } else {
        printOut("Restored:   " + std::to_string(page.sampleCount) + " samples of " +
                 monitorName(monitor) + " (" + page.active.name + ")\nSaved:      " + out + "\n");
    }
    return kExitOk;
}

}  // namespace

int runRecoverCommand(const Args& argv) {
    std::vector<OptionSpec> accepted(std::begin(kCommonOptions), std::end(kCommonOptions));
    accepted.push_back({"--list", false});
    accepted.push_back({"--out", true});
    std::string error;
    const auto args = ParsedArgs::parse(argv, accepted, error);
    if (!args)
        return usageError("recover", error);
    if (args->has("--help")) {
        printOut(kHelp);
        return kExitOk;
    }
    const bool list = args->has("--list");
    const auto out = args->value("--out");
    if (list != args->positional().empty())
        return usageError("recover", "--list or one JOURNAL expected");
    if (!list && (!out || out->empty() || !csvTargetWritable(*out)))
        return usageError("recover", "--out: cannot create a file at '" + out.value_or("") + "'");
    const auto folder = resolveSystemFolder(*args, error);
    if (!folder)
        return usageError("recover", error);
    // Written over the journal, the CSV would be removed with it: the only copy gone.
    if (!list && sameFile(*out, args->positional().front()))
        return usageError("recover", "--out: '" + *out + "' is the journal itself");
    const bool json = args->has("--json");

    TerminalSession terminal(*folder, false);
    if (!loadCatalogue(terminal, json))
        return kExitFailure;
    terminal.session.setJournalFolder(journalFolderOf(*folder));
    if (list)
        return listJournals(terminal.session, json);
    return recoverJournal(terminal, args->positional().front(), *out, json);
}

}  // namespace kestiva::cli
