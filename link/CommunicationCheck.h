#pragma once
// The communication check: one echo with the chosen station and bit rate, or a search over
// stations 1 to 32 and six bit rates on the chosen port, until a controller answers. Over a
// network target the bit rate is the gateway's business: the search tries the stations only,
// and both say so in their answer.

#include <atomic>
#include <string>

#include "link/ModbusMaster.h"
#include "recording/SessionState.h"
#include "recording/HostInterfaces.h"
#include "settings/CommunicationSettings.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

// What the user chose in the settings page.
struct CheckChoice {
    bool automatic = false;
    std::string stationText;  // the station list's text, manual mode
    std::string bitRateText;  // the bit-rate list's text, manual mode
};

enum class CheckResult {
    Found,
    NotFound,        // reported with the not-found message
    Cancelled,       // not reported
    PortOpenFailed,  // reported with the port-open message
};

// What a check found. The caller hands station and bit rate to the settings record on its own
// thread once the worker has ended, so that the window never reads them while a worker writes.
struct CheckOutcome {
    CheckResult result = CheckResult::NotFound;
    int32_t station = -1;
    int32_t bitRate = 0;
};

class CommunicationCheck {
public:
    static constexpr int kSearchBitRates[] = {9600, 19200, 38400, 57600, 115200, 230400};
    static constexpr int kFirstStation = 1;
    static constexpr int kLastStation = 32;
    static constexpr int kSearchAttempts = 192;

    // messages: where the check's message boxes appear (owned by the settings page).
    CommunicationCheck(ModbusMaster& modbus, CommunicationSettings& settings,
                       SessionState& session, const LanguageCatalogue& texts,
                       MessageHost& messages);

    // The check button's open: true, or false after the port-open message (the check is then
    // off: verifiedStation -1, communicationConfirmed cleared).
    bool openCheckPort(PortContext& context, const std::string& portName);

    // The check worker: runs the check, then records whether the link is confirmed
    // (verifiedStation and communicationConfirmed, both atomic).
    CheckOutcome runCheckWorker(PortContext& context, const CheckChoice& choice,
                                CheckProgress& progress);

    // The check itself, without the confirmation flags.
    CheckOutcome runCommunicationCheck(PortContext& context, const CheckChoice& choice,
                                       CheckProgress& progress);

    // The cancel button: the check ends before its next attempt, or within its current one.
    void cancel() { cancelRequested_ = true; }
    void resetCancel() { cancelRequested_ = false; }

private:
    CheckOutcome searchAutomatically(PortContext& context, CheckProgress& progress);
    CheckOutcome checkManually(PortContext& context, const CheckChoice& choice,
                               CheckProgress& progress);
    // The search over a network target: each station once, at no bit rate of its own.
    CheckOutcome searchStations(PortContext& context, CheckProgress& progress);
    // The line that tells that the bit rate played no part (empty for a serial port).
    std::string networkNote(const PortContext& context, bool search) const;
    // One attempt: the port set to bitRate, then the echo to station. True when it answered.
    bool attemptEcho(PortContext& context, int32_t station, int32_t bitRate);
    bool cancelTest() const { return cancelRequested_.load(); }
    std::string searchStateText(int station) const;
    // Both end the progress display before their message.
    CheckOutcome reportFound(CheckProgress& progress, const PortContext& context,
                             int32_t station, int32_t bitRate,
                             const std::string& bitRateText, const std::string& note = "");
    CheckOutcome reportNotFound(CheckProgress& progress, const std::string& note = "");

    ModbusMaster& modbus_;
    CommunicationSettings& settings_;
    SessionState& session_;
    const LanguageCatalogue& texts_;
    MessageHost& messages_;
    std::atomic<bool> cancelRequested_{false};
};

}  // namespace kestiva
