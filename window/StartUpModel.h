#pragma once
// The program's start-up without a toolkit, and the question about a recording that a crash
// cut short. Start-up runs in a fixed order: the terms (declining ends the program without
// reading the settings), then a System folder problem is said, the communication settings are
// read and the user confirms them with a check (quitting ends the program), then a language
// file or a sampling configuration that failed to load is reported and ends the program; else
// the main window runs, and the communication settings are written back after it.

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "recording/HostInterfaces.h"
#include "session/Session.h"

namespace kestiva {

class StartUpView {
public:
    virtual ~StartUpView() = default;
    // The terms of use; true when the user accepts them.
    virtual bool userAgrees() = 0;
    // The communication settings with their check; true when the user leaves them with OK.
    virtual bool userConfirmsCommunicationSettings() = 0;
    // A modal message box with no window under it.
    virtual void showMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon) = 0;
    // Runs the main window; returns once it has been closed.
    virtual void runMainWindow() = 0;
};

// The program's name and the configuration failure, said in fixed English: the language file
// may be what failed.
inline constexpr const char* kProgramName = "Kestiva Data Monitor";
inline constexpr const char* kConfigurationFailure = "DataSamplingConfig.ini Reading Failed";

// The whole start-up and run over session; the program's exit code. systemFolderProblem: why
// the per-user System folder could not be made, said once the terms are accepted ("" for none).
int runStartUp(Session& session, StartUpView& view, const std::string& systemFolderProblem = {});

// --- The restore offer ----------------------------------------------------------------------

// The journal that the start-up question asks about: the newest of journals (newest first)
// that was cut short before its end (a crash, a kill, a power cut), is not being written by a
// running recording, and has not been asked about yet. Asked ones are noted in the journal
// folder (ending with '/') whatever the answer and not asked about again: they stay in the
// unsaved recordings' list until pruned.
std::optional<JournalEntry> journalToOffer(const std::string& journalFolder,
                                           const std::vector<JournalEntry>& journals);
// Notes entry as asked. Only the names of journals still kept are written again, so the note
// never outgrows the folder. False when the note could not be written (it is then asked again
// at the next start, which is no harm).
bool noteJournalOffered(const std::string& journalFolder,
                        const std::vector<JournalEntry>& journals, const JournalEntry& entry);
// The same over a session's journal folder and kept journals.
std::optional<JournalEntry> journalToOffer(const Session& session);
bool noteJournalOffered(const Session& session, const JournalEntry& entry);

// A recording's start as local date and time ("2026-05-04 13:45:07"), its length as m:ss or
// h:mm:ss, the monitor's catalogue name, and the start-up question's text.
std::string startTimeText(std::time_t start);
std::string durationText(double seconds);
std::string monitorName(const LanguageCatalogue& texts, MonitorKind monitor);
std::string offerText(const LanguageCatalogue& texts, const JournalEntry& entry);

}  // namespace kestiva
