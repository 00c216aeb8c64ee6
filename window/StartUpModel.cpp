#include "window/StartUpModel.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

#include "settings/FileCalls.h"

namespace kestiva {

int runStartUp(Session& session, StartUpView& view, const std::string& systemFolderProblem) {
    // A broken language file is reported only once the user has seen the terms and the
    // settings; until then the dialogs show their built-in texts.
    const bool languageLoaded = session.loadCatalogue();
    if (!view.userAgrees())
        return 0;
    // Said once the user goes on to the settings that it concerns, not before the terms.
    if (!systemFolderProblem.empty())
        view.showMessage(session.texts().GetText(text::APP_TITLE),
                         session.texts().GetText(text::MSG_USER_SYSTEM_FOLDER_ERR) + "\n" +
                             systemFolderProblem,
                         MessageIcon::Warning);
    session.loadCommunicationSettings();
    // Number texts follow the user's locale from here on.
    std::setlocale(LC_ALL, "");
    if (!view.userConfirmsCommunicationSettings())
        return 0;
    if (!languageLoaded) {
        view.showMessage(kProgramName, session.catalogueFailure(), MessageIcon::Warning);
        return 0;
    }
    if (!session.loadSamplingConfiguration()) {
        view.showMessage(session.texts().GetText(text::APP_TITLE), kConfigurationFailure,
                         MessageIcon::Error);
        return 0;
    }
    view.runMainWindow();
    session.saveCommunicationSettings();
    return 0;
}

// --- The restore offer ----------------------------------------------------------------------

namespace {

// The journals the start-up question has asked about, by file name, one a line.
constexpr const char* kOfferedNote = "offered.txt";
// A note longer than this is no note of ours: it is read as empty.
constexpr std::size_t kNoteLimit = 1 << 20;

std::string fileName(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::set<std::string> offeredJournals(const std::string& journalFolder) {
    std::set<std::string> names;
    const std::optional<std::string> note =
        readRegularFile(journalFolder + kOfferedNote, kNoteLimit);
    if (!note)
        return names;
    std::size_t start = 0;
    while (start < note->size()) {
        std::size_t end = note->find('\n', start);
        if (end == std::string::npos)
            end = note->size();
        std::string line = note->substr(start, end - start);
        // Written by any system: a line may end in "\r\n", and blanks around a name are no part
        // of it.
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
        while (!line.empty() && blank(line.back()))
            line.pop_back();
        line.erase(line.begin(), std::find_if_not(line.begin(), line.end(), blank));
        if (!line.empty())
            names.insert(line);
        start = end + 1;
    }
    return names;
}

// Writes bytes to path through a new file beside it that then takes its name, so that a crash
// leaves the old note or the new one.
bool writeReplacing(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + "." + std::to_string(processId()) + ".new";
    removeFile(temporary);  // a leftover of this process id's earlier run
    const int fd = createNewFile(temporary);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes.data(), bytes.size()) && syncFile(fd);
    if (!closeFile(fd) || !written || !replaceFile(temporary, path)) {
        removeFile(temporary);
        return false;
    }
    return true;
}

}  // namespace

std::optional<JournalEntry> journalToOffer(const std::string& journalFolder,
                                           const std::vector<JournalEntry>& journals) {
    const std::set<std::string> offered = offeredJournals(journalFolder);
    for (const JournalEntry& entry : journals)
        if (!entry.ended && !entry.recording && !offered.contains(fileName(entry.path)))
            return entry;
    return std::nullopt;
}

bool noteJournalOffered(const std::string& journalFolder,
                        const std::vector<JournalEntry>& journals, const JournalEntry& entry) {
    const std::set<std::string> offered = offeredJournals(journalFolder);
    std::string note;
    for (const JournalEntry& kept : journals) {
        const std::string name = fileName(kept.path);
        if (kept.path == entry.path || offered.contains(name))
            note += name + "\n";
    }
    return writeReplacing(journalFolder + kOfferedNote, note);
}

std::optional<JournalEntry> journalToOffer(const Session& session) {
    return journalToOffer(session.journalFolder(), session.listJournals());
}

bool noteJournalOffered(const Session& session, const JournalEntry& entry) {
    return noteJournalOffered(session.journalFolder(), session.listJournals(), entry);
}

std::string startTimeText(std::time_t start) {
    const std::tm local = localTime(start);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string durationText(double seconds) {
    const long long total = std::isfinite(seconds) ? std::max(0LL, std::llround(seconds)) : 0;
    const long long hours = total / 3600, minutes = total / 60 % 60, rest = total % 60;
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, rest);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", minutes, rest);
    return text;
}

std::string monitorName(const LanguageCatalogue& texts, MonitorKind monitor) {
    return texts.GetText(monitor == kDataMonitor ? text::BTN_MONITOR_TITLE_DATA
                                                 : text::BTN_MONITOR_TITLE_IO);
}

std::string offerText(const LanguageCatalogue& texts, const JournalEntry& entry) {
    // %1 to %3 each once, in one pass: a value that itself holds "%2" stays as it is.
    const std::string values[] = {monitorName(texts, entry.monitor),
                                  startTimeText(entry.startTime),
                                  durationText(entry.durationSeconds)};
    const std::string pattern = texts.GetText(text::MSG_JOURNAL_OFFER);
    std::string out;
    for (std::size_t at = 0; at < pattern.size(); ++at) {
        if (pattern[at] == '%' && at + 1 < pattern.size() && pattern[at + 1] >= '1' &&
            pattern[at + 1] <= '3') {
            out += values[pattern[at + 1] - '1'];
            ++at;
        } else {
            out += pattern[at];
        }
    }
    return out;
}

}  // namespace kestiva
