#pragma once
// The communication check as check and record run it: the link options laid over the values
// of CommunicationSetting.ini, the port opened as the check button opens it, and the check on
// a worker thread that Ctrl+C cancels.

#include <string>

#include "link/CommunicationCheck.h"
#include "link/SerialLink.h"
#include "settings/CommunicationSettings.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/TerminalWindow.h"

namespace kestiva::cli {

inline constexpr OptionSpec kLinkOptions[] = {
    {"--port", true}, {"--search", false}, {"--station", true}, {"--bitrate", true}};

// The option lines of the link options for --help.
extern const char* const kLinkOptionsHelp;

// Lays --port, --search, --station and --bitrate over settings, as a user changes them in the
// settings page: a station or bit rate selects the manual check, --search the automatic one,
// neither keeps COM_SELECT. False with error for a bad value or for --search with a station
// or bit rate, and, for the manual check, for a station (COM_CONNECTION_ID) or bit rate
// (COM_BITRATE) of the file that the settings page does not offer and no option replaces.
bool applyLinkOptions(const ParsedArgs& args, const SystemFolder& folder,
                      CommunicationSettings& settings, std::string& error);

// The check's outcome: CommunicationCheck's results, and the port that did not open.
enum LinkCheckResult : int {
    kLinkFound = kCheckFound,
    kLinkNotFound = kCheckNotFound,
    kLinkCancelled = kCheckCancelled,
    kLinkPortOpenFailed = -2,
};

// Opens settings.portName into context and runs the check with settings' method, station and
// bit rate; a found controller's station and bit rate are in settings afterwards. The check's
// messages reach window (standard error), its progress the terminal.
int runLinkCheck(CommunicationCheck& check, PortContext& context,
                 const CommunicationSettings& settings, TerminalWindow& window);

// "auto" or "manual".
const char* methodName(const CommunicationSettings& settings);

}  // namespace kestiva::cli
