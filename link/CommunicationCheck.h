#pragma once
// The communication check: one echo with the chosen station and bit rate, or a search over
// stations 1 to 32 and six bit rates on the chosen port, until a controller answers.

#include <atomic>
#include <string>

#include "link/ModbusMaster.h"
#include "link/SessionState.h"
#include "link/WindowPort.h"
#include "settings/CommunicationSettings.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

// Where the check shows how far it has come: the progress dialog, or a terminal.
class CheckProgress {
public:
    virtual ~CheckProgress() = default;
    virtual void setStateText(const std::string& text) = 0;
    virtual void setPercent(int percent) = 0;
};

// What the user chose in the settings page.
struct CheckChoice {
    bool automatic = false;
    std::string stationText;  // the station list's text, manual mode
    std::string bitRateText;  // the bit-rate list's text, manual mode
};

enum CheckResult : int { kCheckFound = 0, kCheckNotFound = 1, kCheckCancelled = -1 };

class CommunicationCheck {
public:
    static constexpr int kSearchBitRates[] = {9600, 19200, 38400, 57600, 115200, 230400};
    static constexpr int kFirstStation = 1;
    static constexpr int kLastStation = 32;
    static constexpr int kSearchAttempts = 192;

    // messages: where the check's message boxes appear (owned by the settings page).
    CommunicationCheck(ModbusMaster& modbus, CommunicationSettings& settings,
                       SessionState& session, const LanguageCatalogue& texts,
                       WindowPort& messages);

    // The check button's open: 0, or -1 after the port-open message (the check is then off).
    int openCheckPort(PortContext& context, const std::string& portName);

    // The check worker: runs the check, then records whether the link is confirmed.
    // 0 found, 1 not found (reported), -1 cancelled (not reported).
    int runCheckWorker(PortContext& context, const CheckChoice& choice, CheckProgress& progress);

    // The check itself, without the confirmation flags.
    int runCommunicationCheck(PortContext& context, const CheckChoice& choice,
                              CheckProgress& progress);

    // The cancel button: the check ends before its next attempt, or within its current one.
    void cancel() { cancelRequested_ = true; }
    void resetCancel() { cancelRequested_ = false; }

private:
    int searchAutomatically(PortContext& context, CheckProgress& progress);
    int checkManually(PortContext& context, const CheckChoice& choice, CheckProgress& progress);
    bool cancelTest() const { return cancelRequested_.load(); }
    std::string searchStateText(int station) const;
    void reportFound(const PortContext& context, int station, const std::string& bitRateText);
    int reportNotFound();

    ModbusMaster& modbus_;
    CommunicationSettings& settings_;
    SessionState& session_;
    const LanguageCatalogue& texts_;
    WindowPort& messages_;
    std::atomic<bool> cancelRequested_{false};
};

}  // namespace kestiva
