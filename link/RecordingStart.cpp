#include "link/RecordingStart.h"

#include "settings/FileCalls.h"

namespace kestiva {

std::string recordingDateText(MonitorKind monitor, std::time_t when) {
    const std::tm local = localTime(when);
    char text[64];
    const char* format = monitor == kDataMonitor ? "%Y%m%d %H:%M" : "%Y/%m/%d %H:%M";
    const std::size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

int32_t recordingProgressTotal(uint16_t cycle, uint16_t time) {
    if (cycle == 0)
        return 0;
    return int32_t(time) * 1000 / int32_t(cycle);
}

RecordingStart::RecordingStart(SamplingEngine& engine, SamplingRequest& request,
                               uint8_t* captureBuffer, const CommunicationSettings& settings,
                               SessionState& session, WindowHost& window,
                               const LanguageCatalogue& texts)
    : engine_(engine),
      request_(request),
      captureBuffer_(captureBuffer),
      settings_(settings),
      session_(session),
      window_(window),
      texts_(texts) {}

StartResult RecordingStart::start(PageRecording& page, const ControllerRecord& controller,
                                  uint16_t cycle, uint16_t time, std::time_t now) {
    // A recording still running keeps its page; nothing of it is touched.
    if (engine_.workerRunning())
        return StartResult::Busy;
    const MonitorKind monitor = page.kind;
    (monitor == kDataMonitor ? session_.dataSavable : session_.ioSavable) = false;
    window_.clearPage(monitor);
    page.active = controller;
    page.sampleCount = 0;
    page.cycle = cycle;
    page.time = time;
    page.startDate = recordingDateText(monitor, now);

    const uint8_t station = uint8_t(settings_.verifiedStation.load());
    const ControllerRecord& active = page.active;
    const StartResult result =
        monitor == kDataMonitor
            ? engine_.startDataSampling(cycle, time, request_, station, active.rangeAddress1,
                                        active.rangeLength1, captureBuffer_)
            : engine_.startIoSampling(cycle, time, request_, station, active.rangeAddress1,
                                      active.rangeLength1, active.rangeAddress2,
                                      active.rangeLength2, captureBuffer_);
    if (result == StartResult::Ok) {
        session_.progressTotal = recordingProgressTotal(cycle, time);
        session_.progressCount = 0;
        session_.setPhase(ProgressPhase::Recording);
        window_.setControlsEnabled(false);
    } else {
        reportStartError(result);
    }
    return result;
}

void RecordingStart::reportStartError(StartResult result) {
    TextId contents = -1;
    switch (result) {
        case StartResult::TooManyCycles:
            contents = text::MSG_SAMPLING_BUFFER_ERR;
            break;
        case StartResult::CycleLongerThanTime:
            contents = text::MSG_SAMPLING_CYCLE_ERR;
            break;
        case StartResult::CycleTooShort:
            contents = text::MSG_SAMPLING_OVER_ERR;
            break;
        default:
            return;  // a zero argument: nothing to tell the user
    }
    window_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE), texts_.GetText(contents),
                        MessageIcon::Error);
}

}  // namespace kestiva
