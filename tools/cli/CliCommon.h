#pragma once
// What every kestiva-cli command shares: its options, the System folder it reads, the
// start-up loading of the profile files with the program's own failure texts, and how results
// reach standard output.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "session/Session.h"
#include "settings/LanguageCatalogue.h"
#include "settings/SamplingConfig.h"
#include "tools/cli/Json.h"

namespace kestiva::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,  // the command ran and failed; its message is on standard error
    kExitUsage = 2,    // the command line was wrong
};

struct OptionSpec {
    std::string_view name;  // with its leading "--"
    bool takesValue = false;
};

// The options every command takes.
inline constexpr OptionSpec kCommonOptions[] = {
    {"--help", false}, {"--json", false}, {"--system", true}};

// A command line split into options ("--name value" or "--name=value") and the words around
// them. An option given twice keeps its last value.
class ParsedArgs {
public:
    // nullopt with error set for an unknown option or one that lacks its value.
    static std::optional<ParsedArgs> parse(const std::vector<std::string>& args,
                                           std::vector<OptionSpec> accepted, std::string& error);

    bool has(std::string_view name) const;
    std::optional<std::string> value(std::string_view name) const;
    const std::vector<std::string>& positional() const { return positional_; }

private:
    std::vector<std::pair<std::string, std::string>> options_;
    std::vector<std::string> positional_;
};

// A decimal number from minimum to maximum, digits only.
std::optional<int64_t> parseNumber(std::string_view text, int64_t minimum, int64_t maximum);

// "data" or "io".
std::optional<MonitorKind> parseMonitor(std::string_view text);
const char* monitorName(MonitorKind monitor);

// Where the profile files are: the program folder (ending with '/') whose System/ holds them.
struct SystemFolder {
    std::string programFolder;
    // The folder of the program the files belong to: the executable's, or with --system the
    // given program folder, which then stands for a portable copy.
    std::string executableFolder;
    // Why the user's copy of the System files could not be made; empty when it was made or
    // was not needed.
    std::string userCopyProblem;
    std::string systemFolder() const { return programFolder + "System/"; }
};

// The System folder the desktop program would use (beside the executable, or the user's copy
// for an installed program), or --system DIR: a folder named System (its parent is the program
// folder, and its ports/ names the ports), or a folder that holds one.
std::optional<SystemFolder> resolveSystemFolder(const ParsedArgs& args, std::string& error);

// Where the recording journals of that System folder are kept (see journalFolder).
std::string journalFolderOf(const SystemFolder& folder);

// A recording's end state in words.
const char* endStateName(SamplingState state);

struct TerminalSession;

// The start-up loads, with the program's fixed failure texts on standard error (and, for
// --json, as the failure object on standard output). The texts' load also says, on one line,
// when the user's copy of the System files could not be made.
bool loadCatalogue(TerminalSession& terminal, bool json);
bool loadSamplingConfiguration(Session& session, bool json);

// The --json result of a failed command: {"ok": false, "error": ..., "messages": ...}.
Json failureJson(const std::string& error, Json messages = Json::array());

// Whether the command line holds --json. A usage error may come before its command has parsed
// its options, or instead of it, so main() decides this once, before the command runs.
void setJsonRequested(bool requested);
bool jsonRequested(const std::vector<std::string>& args);

// A usage error: the reason and a pointer to --help on standard error and, when --json was
// given, the failure object on standard output. Returns kExitUsage.
int usageError(std::string_view command, const std::string& reason);

// The one FILE.csv that info and plot read, and the page that reads it: --monitor when given
// (the reader refuses a file of the other monitor, as the page's CSV read does), else the
// monitor the file's first line names. A file that names none goes to the data page, whose
// reader refuses it with its message. nullopt after the usage error has been printed.
struct CsvFileArgs {
    std::string path;
    MonitorKind monitor;
};
std::optional<CsvFileArgs> csvFileArgs(const ParsedArgs& args, std::string_view command);

// Prints text as it stands to standard output, or to standard error once results were sent
// there.
void printOut(const std::string& text);
// Sends what printOut prints (summaries, --json results and failures) to standard error, for a
// command whose standard output carries something else (record --stream).
void sendResultsToStandardError();

// Joins catalogue text for a terminal: CR LF (the catalogue's line break) becomes LF.
std::string terminalText(std::string_view text);
// A text from a file for a terminal: control characters, which could move the cursor or
// change the terminal's state, are shown as \xNN.
std::string printableText(std::string_view text);

// #RRGGBB of a colour packed 0x00BBGGRR.
std::string colorText(Color color);

// "D" and four upper-case hexadecimal digits.
std::string registerText(uint16_t address);

}  // namespace kestiva::cli
