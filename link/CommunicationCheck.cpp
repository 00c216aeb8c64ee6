#include "link/CommunicationCheck.h"

#include "link/PortOpenFailure.h"
#include "recording/TextToLong.h"

namespace kestiva {

CommunicationCheck::CommunicationCheck(ModbusMaster& modbus, CommunicationSettings& settings,
                                       SessionState& session, const LanguageCatalogue& texts,
                                       MessageHost& messages)
    : modbus_(modbus), settings_(settings), session_(session), texts_(texts), messages_(messages) {}

bool CommunicationCheck::openCheckPort(PortContext& context, const std::string& portName) {
    SerialLink& link = modbus_.link();
    if (link.openPort(context, portName) == 0) return true;
    // The catalogue's texts say what to check in general; the added line names the device and
    // what the system said about it, which is what a user can act on.
    messages_.showMessage(
        texts_.GetText(text::MSG_COMSETTING_COMOPEN_ERROR_TITLE),
        texts_.composeError(text::MSG_COMSETTING_COMOPEN_ERROR_ALARM_CONTENTS,
                            text::MSG_COMSETTING_COMOPEN_ERROR_COUNTERMEASURE_CONTENTS) +
            "\n" + describePortOpenFailure(texts_, link.programFolder(), portName, link.lastError(),
                                           link.lastReason()),
        MessageIcon::Error);
    settings_.verifiedStation = -1;
    session_.communicationConfirmed = false;
    return false;
}

CheckOutcome CommunicationCheck::runCheckWorker(PortContext& context, const CheckChoice& choice,
                                                CheckProgress& progress) {
    const CheckOutcome outcome = runCommunicationCheck(context, choice, progress);
    if (outcome.result == CheckResult::Found) {
        session_.communicationConfirmed = true;
    } else {
        settings_.verifiedStation = -1;
        session_.communicationConfirmed = false;
    }
    return outcome;
}

CheckOutcome CommunicationCheck::runCommunicationCheck(PortContext& context,
                                                       const CheckChoice& choice,
                                                       CheckProgress& progress) {
    return choice.automatic ? searchAutomatically(context, progress)
                            : checkManually(context, choice, progress);
}

std::string CommunicationCheck::searchStateText(int station) const {
    return texts_.GetText(text::MSG_PROGRESS_STATE_SEARCH) + "\tID:" + std::to_string(station);
}

std::string CommunicationCheck::networkNote(const PortContext& context, bool search) const {
    if (!context.network)
        return {};
    return texts_.GetText(search ? text::MSG_CHECK_NETWORK_SEARCH : text::MSG_CHECK_NETWORK_MANUAL) +
           "\n";
}

CheckOutcome CommunicationCheck::searchAutomatically(PortContext& context,
                                                     CheckProgress& progress) {
    settings_.verifiedStation = -1;
    if (context.network)
        return searchStations(context, progress);
    int attempt = 1;
    for (int station = kFirstStation; station <= kLastStation; ++station) {
        if (cancelTest()) return {CheckResult::Cancelled};
        progress.setStateText(searchStateText(station));
        for (int bitRate : kSearchBitRates) {
            if (cancelTest()) return {CheckResult::Cancelled};
            progress.setPercent(attempt * 100 / kSearchAttempts);
            attempt += 1;
            if (attemptEcho(context, station, bitRate))
                return reportFound(progress, context, station, bitRate, std::to_string(bitRate));
        }
    }
    if (cancelTest()) return {CheckResult::Cancelled};
    return reportNotFound(progress);
}

CheckOutcome CommunicationCheck::searchStations(PortContext& context, CheckProgress& progress) {
    // The bit rate stays the one chosen, for when the port is a serial line again.
    const int32_t bitRate = settings_.bitRate;
    const std::string note = networkNote(context, true);
    for (int station = kFirstStation; station <= kLastStation; ++station) {
        if (cancelTest()) return {CheckResult::Cancelled};
        progress.setStateText(searchStateText(station));
        progress.setPercent(station * 100 / kLastStation);
        if (attemptEcho(context, station, bitRate))
            return reportFound(progress, context, station, bitRate, std::to_string(bitRate), note);
    }
    if (cancelTest()) return {CheckResult::Cancelled};
    return reportNotFound(progress, note);
}

bool CommunicationCheck::attemptEcho(PortContext& context, int32_t station, int32_t bitRate) {
    // A bit rate the line cannot take is no answer: the echo would go out at the old speed.
    if (modbus_.link().configurePort(uint32_t(bitRate), context, uint8_t(settings_.silentFactor),
                                     settings_.responseDelay) != 0)
        return false;
    return modbus_.echoCheck(uint8_t(station), context, &cancelRequested_).ok();
}

CheckOutcome CommunicationCheck::checkManually(PortContext& context, const CheckChoice& choice,
                                               CheckProgress& progress) {
    const int32_t station = textToLong(choice.stationText);
    progress.setStateText(searchStateText(station));
    progress.setPercent(0);
    const int32_t bitRate = textToLong(choice.bitRateText);
    const bool answered = attemptEcho(context, station, bitRate);
    if (cancelTest()) return {CheckResult::Cancelled};
    const std::string note = networkNote(context, false);
    if (!answered) return reportNotFound(progress, note);
    // The found message repeats the bit rate as the list shows it.
    return reportFound(progress, context, station, bitRate, choice.bitRateText, note);
}

CheckOutcome CommunicationCheck::reportFound(CheckProgress& progress, const PortContext& context,
                                             int32_t station, int32_t bitRate,
                                             const std::string& bitRateText,
                                             const std::string& note) {
    const std::string body = texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS1) + "\n" +
                             texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS2) + "\n  " +
                             context.portName + "\n" +
                             texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS3) + "\n  " +
                             std::to_string(station) + "\n" +
                             texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS4) + "\n  " +
                             bitRateText + "bps\n\n" + note;
    progress.finish();
    messages_.showMessage(texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_TITLE), body,
                          MessageIcon::Information);
    settings_.verifiedStation = station;
    return {CheckResult::Found, station, bitRate};
}

CheckOutcome CommunicationCheck::reportNotFound(CheckProgress& progress, const std::string& note) {
    progress.finish();
    const std::string body = texts_.GetText(text::MSG_COMSETTING_COMSEARCH_NG_CONTENTS);
    messages_.showMessage(texts_.GetText(text::MSG_COMSETTING_COMSEARCH_NG_TITLE),
                          note.empty() ? body : body + "\n\n" + note,
                          MessageIcon::Error);
    settings_.verifiedStation = -1;
    return {CheckResult::NotFound};
}

}  // namespace kestiva
