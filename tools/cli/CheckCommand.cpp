// kestiva-cli check: the communication check of the settings page.

#include <cstdio>
#include <memory>
#include <string>

#include "link/NetworkTarget.h"
#include "link/SerialPorts.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/LinkCheck.h"

namespace kestiva::cli {

namespace {

std::string helpText() {
    return std::string(
               "Usage: kestiva-cli check [--port COMn] [--search | --station N --bitrate B]\n"
               "                         [--save] [--json] [--system DIR]\n"
               "\n"
               "Runs the communication check: one Diagnostics echo with the chosen station and\n"
               "bit rate (manual), or the search over stations 1 to 32 and, for each, the bit\n"
               "rates 9600 to 230400 until a controller answers (automatic). Prints the station\n"
               "and bit rate found; the check's own messages go to standard error. The\n"
               "percentage is shown on standard error when it is a terminal. Ctrl+C cancels.\n"
               "\n") +
           kLinkOptionsHelp +
           "  --save            write the found port, method, station and bit rate back to\n"
           "                    CommunicationSetting.ini (comments kept), as the program does\n"
           "                    when it closes; without it nothing is written. A file that\n"
           "                    cannot be replaced whole is left as it is, and the command\n"
           "                    fails. A network target given as --port is saved as the\n"
           "                    COM port assigned to it (kestiva-cli ports --assign), and\n"
           "                    refused when there is none\n";
}

const char* resultName(CheckResult result) {
    switch (result) {
        case CheckResult::Found:
            return "found";
        case CheckResult::NotFound:
            return "not-found";
        case CheckResult::Cancelled:
            return "cancelled";
        default:
            return "port-open-failed";
    }
}

}  // namespace

int runCheckCommand(const Args& argv) {
    std::vector<OptionSpec> accepted(std::begin(kLinkOptions), std::end(kLinkOptions));
    accepted.push_back({"--save", false});
    std::string error;
    const auto args = ParsedArgs::parse(argv, accepted, error);
    if (!args)
        return usageError("check", error);
    if (args->has("--help")) {
        printOut(helpText());
        return kExitOk;
    }
    if (!args->positional().empty())
        return usageError("check", "unexpected argument " + args->positional().front());
    const auto folder = resolveSystemFolder(*args, error);
    if (!folder)
        return usageError("check", error);
    const bool json = args->has("--json");

    TerminalSession terminal(*folder);
    Session& session = terminal.session;
    if (!loadCatalogue(terminal, json))
        return kExitFailure;
    session.loadCommunicationSettings();
    CommunicationSettings& settings = session.settings();
    const std::string settingsPath = communicationSettingsPath(folder->programFolder);
    if (!applyLinkOptions(*args, *folder, settings, error))
        return usageError("check", error);
    // The settings keep a port name from the window's list, which holds COM ports only: a
    // target is saved as the port that leads there.
    if (args->has("--save") && looksLikeNetworkTarget(settings.portName)) {
        const int number = portLeadingTo(folder->programFolder, settings.portCount,
                                         settings.portName);
        if (number == 0)
            return usageError("check", "--save keeps a COM port, and none of COM1 to COM" +
                                           std::to_string(settings.portCount) + " leads to " +
                                           settings.portName +
                                           ": assign one first (kestiva-cli ports --assign COMn=" +
                                           settings.portName + ")");
        settings.portName = "COM" + std::to_string(number);
    }

    watchInterrupt();
    const CheckResult result = runLinkCheck(terminal).result;
    session.closeCheckPort();
    TerminalWindow& window = terminal.window;

    // The window closes the progress window without a word; a terminal says why it ended.
    if (result == CheckResult::Cancelled)
        std::fputs("kestiva-cli check: cancelled\n", stderr);

    const bool found = result == CheckResult::Found;
    const bool saveWanted = found && args->has("--save");
    const bool saved = saveWanted && session.saveCommunicationSettings();
    if (saveWanted && !saved)
        std::fprintf(stderr, "kestiva-cli check: the settings could not be saved to %s\n",
                     settingsPath.c_str());
    const bool ok = found && saved == saveWanted;

    if (json) {
        Json out = Json::object()
                       .set("ok", ok)
                       .set("result", resultName(result))
                       .set("port", settings.portName)
                       .set("method", methodName(settings));
        if (found) {
            out.set("station", int(settings.verifiedStation.load()))
                .set("bitRate", int(settings.bitRate));
        }
        out.set("saved", saved).set("messages", window.messagesJson());
        printOut(out.dump());
    } else if (found) {
        printOut("Port:      " + settings.portName + "\nMethod:    " + methodName(settings) +
                 "\nStation:   " + std::to_string(settings.verifiedStation.load()) +
                 "\nBit rate:  " + std::to_string(settings.bitRate) + "\n" +
                 (saved ? "Saved to " + settingsPath + "\n" : std::string()));
    }
    return ok ? kExitOk : kExitFailure;
}

}  // namespace kestiva::cli
