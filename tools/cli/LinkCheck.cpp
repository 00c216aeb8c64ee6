#include "tools/cli/LinkCheck.h"

#include "link/NetworkTarget.h"
#include "tools/cli/Interrupt.h"

namespace kestiva::cli {

const char* const kLinkOptionsHelp =
    "  --port COMn       the serial port (default: COM_PORT); COMn opens the device that\n"
    "                    <System>/ports/COMn links to, else /dev/ttyS<n-1>, or the network\n"
    "                    target assigned to it (kestiva-cli ports --assign)\n"
    "  --port tcp://HOST[:PORT]      a Modbus TCP controller or gateway (port 502 unless\n"
    "                    given); rtu-tcp://HOST:PORT: serial frames over TCP, as a gateway\n"
    "                    in transparent mode passes them. Over the network the search tries\n"
    "                    the stations only and the check does not use the bit rate.\n"
    "  --search          search stations 1 to 32 at 9600 ... 230400 bit/s, in that order\n"
    "  --station N       check station N (1 to 32) ...\n"
    "  --bitrate B       ... at B bit/s (9600, 19200, 38400, 57600, 115200, 230400)\n"
    "                    Without these the method, station and bit rate of\n"
    "                    CommunicationSetting.ini apply (COM_SELECT, COM_CONNECTION_ID,\n"
    "                    COM_BITRATE); for the manual check, a station or bit rate there\n"
    "                    that is not one of these is refused (exit code 2).\n";

namespace {

// The bit rates the settings page lists.
bool isOfferedBitRate(int64_t bitRate) {
    for (const int rate : CommunicationCheck::kSearchBitRates) {
        if (bitRate == rate)
            return true;
    }
    return false;
}

bool isOfferedStation(int64_t station) {
    return station >= CommunicationCheck::kFirstStation &&
           station <= CommunicationCheck::kLastStation;
}

// The manual check sends the station and bit rate as they stand; from the file, only what the
// settings page could have saved is taken, so that a hand-edited value is not tried as it is.
bool checkFileChoice(const CommunicationSettings& settings, std::string& error) {
    if (!isOfferedStation(settings.stationId)) {
        error =
            "CommunicationSetting.ini: COM_CONNECTION_ID=" + std::to_string(settings.stationId) +
            " is not a station from 1 to 32; give --station N or --search";
        return false;
    }
    if (!isOfferedBitRate(settings.bitRate)) {
        error = "CommunicationSetting.ini: COM_BITRATE=" + std::to_string(settings.bitRate) +
                " is not 9600, 19200, 38400, 57600, 115200 or 230400; give --bitrate B or "
                "--search";
        return false;
    }
    return true;
}

}  // namespace

bool applyLinkOptions(const ParsedArgs& args, const SystemFolder& folder,
                      CommunicationSettings& settings, std::string& error) {
    const auto port = args.value("--port");
    const auto station = args.value("--station");
    const auto bitRate = args.value("--bitrate");
    if (args.has("--search") && (station || bitRate)) {
        error = "--search searches every station and bit rate; it takes no --station or --bitrate";
        return false;
    }
    if (port) {
        if (looksLikeNetworkTarget(*port)) {
            if (!parseNetworkTarget(*port, error)) {
                error = "--port: " + error;
                return false;
            }
        } else if (resolvePortDevice(folder.programFolder, *port).empty()) {
            error = "--port: not a port name (COM1 to COM256): " + *port;
            return false;
        }
        settings.portName = *port;
    }
    if (station) {
        const auto n = parseNumber(*station, CommunicationCheck::kFirstStation,
                                   CommunicationCheck::kLastStation);
        if (!n) {
            error = "--station: 1 to 32 expected: " + *station;
            return false;
        }
        settings.stationId = int32_t(*n);
    }
    if (bitRate) {
        const auto n = parseNumber(*bitRate, 1, 230400);
        if (!n || !isOfferedBitRate(*n)) {
            error = "--bitrate: 9600, 19200, 38400, 57600, 115200 or 230400 expected: " + *bitRate;
            return false;
        }
        settings.bitRate = int32_t(*n);
    }
    if (args.has("--search"))
        settings.autoSearch = true;
    if (station || bitRate)
        settings.autoSearch = false;
    // A changed selection is no longer the verified one.
    if (port || station || bitRate || args.has("--search"))
        settings.verifiedStation = -1;
    // The options' own values are checked above: what fails here came from the file.
    return settings.autoSearch || checkFileChoice(settings, error);
}

CheckOutcome runLinkCheck(TerminalSession& terminal) {
    Session& session = terminal.session;
    const CommunicationSettings& settings = session.settings();
    // The settings page's lists show the settings' station and bit rate as decimal texts.
    CheckChoice choice;
    choice.automatic = settings.autoSearch;
    choice.stationText = std::to_string(settings.stationId);
    choice.bitRateText = std::to_string(settings.bitRate);

    TerminalCheckProgress progress(terminal.window);
    // The cancel button: Ctrl+C reaches the worker before its next attempt or within it.
    const CheckOutcome outcome = session.runCheck(settings.portName, choice, progress, [&] {
        if (interrupted())
            session.cancelCheck();
    });
    if (outcome.result != CheckResult::PortOpenFailed)
        terminal.window.endProgress();
    return outcome;
}

const char* methodName(const CommunicationSettings& settings) {
    return settings.autoSearch ? "auto" : "manual";
}

}  // namespace kestiva::cli
