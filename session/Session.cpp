#include "session/Session.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/CsvFile.h"
#include "settings/Utf8Path.h"

namespace kestiva {

Session::Session(std::string programFolder, WindowHost& window, uint32_t captureLimit)
    : programFolder_(std::move(programFolder)),
      window_(window),
      texts_(programFolder_),
      config_(std::make_unique<SamplingConfig>()),
      link_(programFolder_),
      modbus_(link_),
      check_(modbus_, settings_, state_, texts_, window),
      capture_(kCaptureBufferSize),
      dataPage_(std::make_unique<PageRecording>(kDataMonitor)),
      ioPage_(std::make_unique<PageRecording>(kIoMonitor)),
      engine_(modbus_, settings_, state_, window, window, texts_, captureLimit),
      decoder_(capture_.data(), *dataPage_, *ioPage_, state_, window, texts_),
      live_(capture_.data(), engine_.completeBytes()),
      starter_(engine_, request_, capture_.data(), settings_, state_, window, texts_) {
    request_.portContext = &samplingContext_;
    request_.completion = [this](SamplingState endState, uint32_t goodBytes) {
        onRecordingComplete(endState, goodBytes);
    };
}

Session::~Session() {
    // A front end ends its workers before it lets the session go; these only reap them.
    check_.cancel();
    if (checkWorker_.joinable())
        checkWorker_.join();
    engine_.requestStop();
    engine_.waitForWorker();
}

bool Session::loadCatalogue() {
    texts_.languageLoaded = true;
    texts_.LoadLanguageCatalogue();
    return !texts_.languageReadFailed;
}

void Session::loadCommunicationSettings() {
    kestiva::loadCommunicationSettings(communicationSettingsPath(programFolder_), settings_);
}

bool Session::loadSamplingConfiguration() {
    return LoadSamplingConfig(samplingConfigPath(programFolder_), *config_) == 0 &&
           ValidateDataControllers(config_->data()) == 0 &&
           ValidateIoControllers(config_->io()) == 0;
}

bool Session::saveCommunicationSettings() {
    return kestiva::saveCommunicationSettings(communicationSettingsPath(programFolder_),
                                              settings_) == 0;
}

void Session::setResultPause(std::chrono::milliseconds pause) {
    resultPause_ = pause;
    decoder_.setLoadPause(pause);
}

// --- Communication check ---------------------------------------------------------------------

bool Session::openCheckPort(const std::string& portName) {
    return check_.openCheckPort(checkContext_, portName);
}

bool Session::openCheckPortQuietly(const std::string& portName) {
    return link_.openPort(checkContext_, portName) == 0;
}

bool Session::configureCheckPort(int32_t bitRate, int32_t responseDelay) {
    settings_.responseDelay = responseDelay;
    return link_.configurePort(uint32_t(bitRate), checkContext_, uint8_t(settings_.silentFactor),
                               responseDelay) == 0;
}

bool Session::startCheck(const CheckChoice& choice, CheckProgress& progress,
                         std::function<void()> finished) {
    if (checkWorker_.joinable())
        return false;
    check_.resetCancel();
    checkDone_ = false;
    checkFinished_ = std::move(finished);
    try {
        checkWorker_ = std::thread([this, choice, &progress] {
            checkOutcome_ = check_.runCheckWorker(checkContext_, choice, progress);
            checkDone_ = true;
            if (checkFinished_)
                checkFinished_();
        });
    } catch (const std::system_error&) {
        link_.closePort(checkContext_);
        return false;
    }
    return true;
}

std::optional<CheckOutcome> Session::finishCheck() {
    if (!checkWorker_.joinable() || !checkDone_.load())
        return std::nullopt;
    checkWorker_.join();
    if (checkOutcome_.result == CheckResult::Found) {
        settings_.stationId = checkOutcome_.station;
        settings_.bitRate = checkOutcome_.bitRate;
    }
    return checkOutcome_;
}

CheckOutcome Session::runCheck(const std::string& portName, const CheckChoice& choice,
                               CheckProgress& progress, const std::function<void()>& poll) {
    if (!openCheckPort(portName))
        return {CheckResult::PortOpenFailed};
    if (!startCheck(choice, progress, nullptr))
        return {CheckResult::NotFound};
    for (;;) {
        if (auto outcome = finishCheck())
            return *outcome;
        if (poll)
            poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// --- Recording -------------------------------------------------------------------------------

StartResult Session::startRecording(const ControllerRecord& controller, uint16_t cycle,
                                    uint16_t time, std::time_t now,
                                    std::function<void()> finished) {
    if (engine_.workerRunning())
        return StartResult::Busy;
    recordingFinished_ = std::move(finished);
    const MonitorKind monitor = state_.monitorMode.load();
    const StartResult result = starter_.start(page(monitor), controller, cycle, time, now);
    if (result == StartResult::Ok) {
        // Frames the worker stored already are found by the first poll.
        live_.begin(monitor, controller, cycle, time);
        window_.stopResetTimer();
    } else {
        live_.clear();
    }
    return result;
}

void Session::onRecordingComplete(SamplingState endState, uint32_t goodBytes) {
    decoder_.onRecordingComplete(endState, goodBytes);
    if (recordingFinished_)
        recordingFinished_();
}

SamplingState Session::endRecording() {
    // After the finished notification the worker only returns: nothing it does waits on the
    // caller, so this join cannot hold the window thread for long.
    engine_.waitForWorker();
    return engine_.samplingState.load();
}

uint32_t Session::receivedBytes() const {
    return std::min<uint32_t>(modbus_.receivedByteTotal.load(), uint32_t(capture_.size()));
}

// --- Files -----------------------------------------------------------------------------------

void Session::finishFileOperation() {
    window_.startResetTimer(1000);
    window_.stopProgressTimer();
}

bool Session::saveCsv(const std::string& path) {
    const PageRecording& page = shownPage();
    window_.stopResetTimer();
    state_.progressTotal = int32_t(page.sampleCount);
    state_.progressCount = 0;
    state_.setPhase(ProgressPhase::CsvSave);
    window_.setControlsEnabled(false);
    window_.showProgress();

    const bool saved = writeCsv(path, page, state_, window_, window_, texts_) == 0;
    if (saved) {
        window_.setPhaseText(texts_.GetText(text::MSG_PROGRESS_STATE_CSV_SAVE_COMP));
        std::this_thread::sleep_for(resultPause_);
        window_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE),
                            texts_.GetText(text::MSG_PROGRESS_STATE_CSV_SAVE_COMP_MSG),
                            MessageIcon::Information);
    } else {
        window_.setPhaseText(texts_.GetText(text::MSG_PROGRESS_STATE_CSV_SAVE_ERR));
        window_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE),
                            texts_.GetText(text::MSG_PROGRESS_STATE_CSV_SAVE_ERR_MSG),
                            MessageIcon::Error);
    }
    finishFileOperation();
    return saved;
}

bool Session::readCsv(const std::string& path, std::string* version) {
    const MonitorKind monitor = state_.monitorMode.load();
    PageRecording& page = this->page(monitor);
    CsvReader reader(window_, window_, texts_);
    if (reader.openCsv(path, monitor) != 0) {
        window_.setPhaseText(texts_.GetText(text::MSG_PROGRESS_STATE_CSV_READ_ERR));
        std::this_thread::sleep_for(resultPause_);
        finishFileOperation();
        return false;
    }
    const bool wasSavable = state_.savable(monitor);
    state_.savable(monitor) = false;
    window_.clearPage(monitor);
    window_.stopResetTimer();
    state_.progressTotal = 100;
    state_.progressCount = 0;
    state_.setPhase(ProgressPhase::CsvRead);
    window_.setControlsEnabled(false);
    window_.showProgress();
    window_.pumpMessages();

    std::string fileVersion;
    reader.readVersion(fileVersion);
    const bool read = reader.readRecording(page, state_) == 0;
    reader.closeCsv();
    if (version)
        *version = fileVersion;
    window_.setPhaseText(texts_.GetText(read ? text::MSG_PROGRESS_STATE_CSV_READ_COMP
                                             : text::MSG_PROGRESS_STATE_CSV_READ_ERR));
    window_.loadRecording(monitor);
    window_.enableEntry(monitor);
    state_.savable(monitor) = read || wasSavable;
    std::this_thread::sleep_for(resultPause_);
    finishFileOperation();
    return read;
}

DumpResult Session::writeReceiveDump(const std::string& folder, MessageHost& messages,
                                     std::time_t now) {
    return kestiva::writeReceiveDump(capture_.data(), receivedBytes(), shownPage().active,
                                     folder, messages, texts_, now);
}

DumpResult Session::writeReceiveDumpIntoDumpFolder(MessageHost& messages) {
    // Made here rather than at start-up, so that a user who never dumps has no such folder.
    if (receivedBytes() > 0) {
        std::error_code ec;
        std::filesystem::create_directories(utf8Path(dumpFolder()), ec);
    }
    return writeReceiveDump(dumpFolder(), messages);
}

}  // namespace kestiva
