#include "link/CommunicationCheck.h"

#include "link/TextToLong.h"

namespace kestiva {

CommunicationCheck::CommunicationCheck(ModbusMaster& modbus, CommunicationSettings& settings,
                                       SessionState& session, const LanguageCatalogue& texts,
                                       WindowPort& messages)
    : modbus_(modbus), settings_(settings), session_(session), texts_(texts), messages_(messages) {}

int CommunicationCheck::openCheckPort(PortContext& context, const std::string& portName) {
    if (modbus_.link().openPort(context, portName) == 0) return 0;
    messages_.showMessage(
        texts_.GetText(text::MSG_COMSETTING_COMOPEN_ERROR_TITLE),
        texts_.composeError(text::MSG_COMSETTING_COMOPEN_ERROR_ALARM_CONTENTS,
                            text::MSG_COMSETTING_COMOPEN_ERROR_COUNTERMEASURE_CONTENTS),
        MessageIcon::Error);
    settings_.verifiedStation = -1;
    session_.communicationConfirmed = false;
    return -1;
}

int CommunicationCheck::runCheckWorker(PortContext& context, const CheckChoice& choice,
                                       CheckProgress& progress) {
    const int result = runCommunicationCheck(context, choice, progress);
    if (result == kCheckFound) {
        session_.communicationConfirmed = true;
    } else {
        settings_.verifiedStation = -1;
        session_.communicationConfirmed = false;
    }
    return result;
}

int CommunicationCheck::runCommunicationCheck(PortContext& context, const CheckChoice& choice,
                                              CheckProgress& progress) {
    return choice.automatic ? searchAutomatically(context, progress)
                            : checkManually(context, choice, progress);
}

std::string CommunicationCheck::searchStateText(int station) const {
    return texts_.GetText(text::MSG_PROGRESS_STATE_SEARCH) + "\tID:" + std::to_string(station);
}

int CommunicationCheck::searchAutomatically(PortContext& context, CheckProgress& progress) {
    settings_.verifiedStation = -1;
    int attempt = 1;
    for (int station = kFirstStation; station <= kLastStation; ++station) {
        if (cancelTest()) return kCheckCancelled;
        progress.setStateText(searchStateText(station));
        for (int bitRate : kSearchBitRates) {
            if (cancelTest()) return kCheckCancelled;
            progress.setPercent(attempt * 100 / kSearchAttempts);
            attempt += 1;
            modbus_.link().configurePort(uint32_t(bitRate), context,
                                         uint8_t(settings_.silentFactor), settings_.responseDelay);
            if (modbus_.echoCheck(uint8_t(station), context, &cancelRequested_).ok()) {
                reportFound(context, station, std::to_string(bitRate));
                settings_.bitRate = bitRate;
                settings_.stationId = station;
                settings_.verifiedStation = station;
                return kCheckFound;
            }
        }
    }
    if (cancelTest()) return kCheckCancelled;
    return reportNotFound();
}

int CommunicationCheck::checkManually(PortContext& context, const CheckChoice& choice,
                                      CheckProgress& progress) {
    const int32_t station = textToLong(choice.stationText);
    progress.setStateText(searchStateText(station));
    progress.setPercent(0);
    const int32_t bitRate = textToLong(choice.bitRateText);
    modbus_.link().configurePort(uint32_t(bitRate), context, uint8_t(settings_.silentFactor),
                                 settings_.responseDelay);
    const bool answered = modbus_.echoCheck(uint8_t(station), context, &cancelRequested_).ok();
    if (cancelTest()) return kCheckCancelled;
    if (!answered) return reportNotFound();
    // The found message repeats the bit rate as the list shows it.
    reportFound(context, station, choice.bitRateText);
    settings_.bitRate = bitRate;
    settings_.stationId = station;
    settings_.verifiedStation = station;
    return kCheckFound;
}

void CommunicationCheck::reportFound(const PortContext& context, int station,
                                     const std::string& bitRateText) {
    const std::string body = texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS1) + "\n" +
                             texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS2) + "\n  " +
                             context.portName + "\n" +
                             texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS3) + "\n  " +
                             std::to_string(station) + "\n" +
                             texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_CONTENTS4) + "\n  " +
                             bitRateText + "bps\n\n";
    messages_.showMessage(texts_.GetText(text::MSG_COMSETTING_COMSEARCH_OK_TITLE), body,
                          MessageIcon::Information);
}

int CommunicationCheck::reportNotFound() {
    messages_.showMessage(texts_.GetText(text::MSG_COMSETTING_COMSEARCH_NG_TITLE),
                          texts_.GetText(text::MSG_COMSETTING_COMSEARCH_NG_CONTENTS),
                          MessageIcon::Error);
    settings_.verifiedStation = -1;
    return kCheckNotFound;
}

}  // namespace kestiva
