#pragma once
// The communication check as check and record run it: the link options laid over the values
// of CommunicationSetting.ini, then the session's check, which Ctrl+C cancels.

#include <string>

#include "link/CommunicationCheck.h"
#include "settings/CommunicationSettings.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/TerminalSession.h"

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

// Runs the check with the session settings' port, method, station and bit rate; a found
// controller's station and bit rate are in the settings afterwards. The check's messages reach
// the terminal window (standard error), its progress the terminal line; Ctrl+C cancels.
CheckOutcome runLinkCheck(TerminalSession& terminal);

// "auto" or "manual".
const char* methodName(const CommunicationSettings& settings);

}  // namespace kestiva::cli
