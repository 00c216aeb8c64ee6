#include "tools/cli/LoadedRecording.h"


namespace kestiva::cli {

bool readCsvRecording(TerminalSession& terminal, const std::string& path, MonitorKind monitor,
                      std::string& version, bool json) {
    Session& session = terminal.session;
    session.state().monitorMode = monitor;
    const bool read = session.readCsv(path, &version);
    session.state().setPhase(ProgressPhase::Idle);
    if (!read && json) {
        const auto messages = terminal.window.messages();
        printOut(failureJson(messages.empty() ? std::string("the file was refused")
                                              : terminalText(messages.back().text),
                             terminal.window.messagesJson())
                     .dump());
    }
    return read;
}

std::vector<ItemSummary> itemSummaries(const PageRecording& page) {
    std::vector<ItemSummary> summaries;
    if (page.kind == kDataMonitor) {
        for (const ItemFigures& f : dataPageFigures(page).items)
            summaries.push_back(
                {f.enabled, f.name, f.typeName, f.scaleText, f.unit, f.decimals, f.extremes});
    } else {
        for (const SignalFigures& f : ioPageFigures(page).ioSignals)
            summaries.push_back({f.enabled, f.name, {}, {}, {}, 0, f.bits});
    }
    return summaries;
}

}  // namespace kestiva::cli
