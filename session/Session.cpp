#include "session/Session.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "files/CsvFile.h"
#include "files/Journal.h"
#include "session/JournalWriter.h"
#include "settings/FileCalls.h"
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
    if (fileWorker_.joinable())
        fileWorker_.join();
    engine_.requestStop();
    engine_.waitForWorker();
    journal_.reset();
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
    // The last journal is complete before the capture buffer takes a new recording.
    endJournal();
    const MonitorKind monitor = state_.monitorMode.load();
    createJournal(monitor, controller, cycle, time, now);
    // Before the worker starts: the pass at its end takes what the live view has decoded,
    // and must find this recording there, not the last one. Frames the worker stores before
    // the first poll are found by it.
    live_.begin(monitor, controller, cycle, time);
    const StartResult result = starter_.start(page(monitor), controller, cycle, time, now);
    if (result == StartResult::Ok) {
        window_.stopResetTimer();
        if (journal_)
            journal_->start();
    } else {
        live_.clear();
        discardJournal(monitor);
    }
    return result;
}

void Session::onRecordingComplete(SamplingState endState, uint32_t goodBytes) {
    // Before the conversion and its pause: the journal's end does not wait for the page.
    if (journal_)
        journal_->finish({int32_t(endState), goodBytes});
    decoder_.onRecordingComplete(endState, goodBytes, &live_);
    if (recordingFinished_)
        recordingFinished_();
}

SamplingState Session::endRecording() {
    // After the finished notification the worker only returns: nothing it does waits on the
    // caller, so this join cannot hold the window thread for long.
    engine_.waitForWorker();
    endJournal();
    return engine_.samplingState.load();
}

uint32_t Session::receivedBytes() const {
    return std::min<uint32_t>(modbus_.receivedByteTotal.load(), uint32_t(capture_.size()));
}

// --- Files -----------------------------------------------------------------------------------

void Session::endFileProgress() {
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
        // The recording is kept in its file now: its journal has done its work.
        std::string& journal = pageJournals_[std::size_t(page.kind)];
        if (!journal.empty())
            removeFile(journal);
        journal.clear();
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
    endFileProgress();
    return saved;
}

bool Session::readCsv(const std::string& path, std::string* version) {
    const MonitorKind monitor = state_.monitorMode.load();
    PageRecording& page = this->page(monitor);
    CsvReader reader(window_, window_, texts_);
    if (reader.openCsv(path, monitor) != 0) {
        window_.setPhaseText(texts_.GetText(text::MSG_PROGRESS_STATE_CSV_READ_ERR));
        std::this_thread::sleep_for(resultPause_);
        endFileProgress();
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
    // The page holds the file's recording now; the journal of the one it replaced is kept.
    if (read)
        pageJournals_[std::size_t(monitor)].clear();
    std::this_thread::sleep_for(resultPause_);
    endFileProgress();
    return read;
}

bool Session::startFileWorker(std::function<bool()> work, std::function<void()> finished) {
    if (fileWorker_.joinable())
        return false;
    fileDone_ = false;
    fileFinished_ = std::move(finished);
    try {
        fileWorker_ = std::thread([this, work = std::move(work)] {
            fileResult_ = work();
            fileDone_ = true;
            if (fileFinished_)
                fileFinished_();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool Session::startCsvSave(const std::string& path, std::function<void()> finished) {
    return startFileWorker([this, path] { return saveCsv(path); }, std::move(finished));
}

bool Session::startCsvRead(const std::string& path, std::function<void()> finished) {
    return startFileWorker([this, path] { return readCsv(path); }, std::move(finished));
}

bool Session::startJournalRestore(const std::string& path, std::function<void()> finished) {
    return startFileWorker(
        [this, path] {
            std::string error;
            const bool restored = restoreJournal(path, &error);
            if (!restored)
                window_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE), error,
                                    MessageIcon::Error);
            return restored;
        },
        std::move(finished));
}

std::optional<bool> Session::finishFileOperation() {
    if (!fileWorker_.joinable() || !fileDone_.load())
        return std::nullopt;
    // The worker's last act was its notification: this join waits for nothing.
    fileWorker_.join();
    return fileResult_;
}

// --- Journal ---------------------------------------------------------------------------------

namespace {

TextId faultText(JournalFault fault) {
    switch (fault) {
        case JournalFault::Empty:
            return text::MSG_JOURNAL_EMPTY;
        case JournalFault::Truncated:
            return text::MSG_JOURNAL_TRUNCATED;
        case JournalFault::Foreign:
            return text::MSG_JOURNAL_FOREIGN;
        case JournalFault::Damaged:
            return text::MSG_JOURNAL_DAMAGED;
        case JournalFault::Unreadable:
        case JournalFault::None:
            break;
    }
    return text::MSG_JOURNAL_UNREADABLE;
}

// The leading bytes of frames whose samples pass their CRC check: a sample torn by the crash,
// or damaged since, ends what can be trusted.
uint32_t intactBytes(const JournalHeader& header, const uint8_t* frames, uint32_t bytes) {
    const uint32_t each = sampleBytes(header.monitor, header.controller);
    uint32_t good = 0;
    while (each > 0 && bytes - good >= each &&
           sampleFramesIntact(header.monitor, header.controller, frames + good))
        good += each;
    return good;
}

JournalEntry entryOf(const std::string& path, const JournalContents& contents) {
    const JournalHeader& header = contents.header;
    JournalEntry entry;
    entry.path = path;
    entry.monitor = header.monitor;
    entry.controller = header.controller.name;
    entry.startTime = std::time_t(header.startTime);
    entry.ended = contents.end.has_value();
    entry.endState = entry.ended ? SamplingState(contents.end->endState) : SamplingState::Running;
    const uint64_t bytes = entry.ended ? contents.end->goodBytes : contents.frameBytes;
    const uint64_t each = sampleBytes(header.monitor, header.controller);
    // As many as the page would show: the recording's planned samples at most.
    const uint64_t planned = uint64_t(header.time) * 1000 / header.cycle + 1;
    const uint64_t samples = each == 0 ? 0 : std::min(bytes / each, planned);
    entry.durationSeconds = samples == 0 ? 0.0 : double(samples - 1) * header.cycle / 1000;
    return entry;
}

}  // namespace

void Session::setJournalFolder(std::string folder) {
    journalFolder_ = std::move(folder);
    pruneJournalFolder();
}

void Session::pruneJournalFolder() {
    if (journalFolder_.empty())
        return;
    std::vector<std::string> keep(pageJournals_.begin(), pageJournals_.end());
    pruneJournals(journalFolder_, std::time(nullptr), JournalRetention{}, keep);
}

void Session::createJournal(MonitorKind monitor, const ControllerRecord& controller,
                            uint16_t cycle, uint16_t time, std::time_t now) {
    pageJournals_[std::size_t(monitor)].clear();
    lastJournal_.clear();
    if (journalFolder_.empty())
        return;
    JournalHeader header;
    header.monitor = monitor;
    header.controller = controller;
    header.cycle = cycle;
    header.time = time;
    header.startTime = int64_t(now);
    header.startDate = recordingDateText(monitor, now);
    header.bitRate = settings_.bitRate;
    header.programVersion = texts_.GetText(text::VERSION_INFORMATION);
    auto writer = std::make_unique<JournalWriter>(capture_.data(), engine_.completeBytes());
    std::string problem;
    if (!writer->create(journalFolder_, header, now, problem)) {
        journalProblem_ = texts_.GetText(text::MSG_JOURNAL_WRITE_ERR) + " " + problem;
        return;
    }
    pageJournals_[std::size_t(monitor)] = writer->path();
    lastJournal_ = writer->path();
    journal_ = std::move(writer);
}

void Session::discardJournal(MonitorKind monitor) {
    // A start the engine refused recorded nothing; neither did its journal. Closed before it
    // is removed: Windows keeps an open file's name.
    if (journal_) {
        const std::string path = journal_->path();
        journal_.reset();
        removeFile(path);
    }
    pageJournals_[std::size_t(monitor)].clear();
    lastJournal_.clear();
    journalProblem_.reset();
}

void Session::endJournal() {
    if (!journal_)
        return;
    if (const auto problem = journal_->join())
        journalProblem_ = texts_.GetText(text::MSG_JOURNAL_WRITE_ERR) + " " + *problem;
    journal_.reset();
    pruneJournalFolder();
}

std::string Session::currentJournal() const {
    return lastJournal_;
}

std::optional<std::string> Session::takeJournalProblem() {
    return std::exchange(journalProblem_, std::nullopt);
}

std::vector<JournalEntry> Session::listJournals() const {
    std::vector<JournalEntry> entries;
    if (journalFolder_.empty())
        return entries;
    for (const FoundJournal& found : findJournals(journalFolder_)) {
        JournalContents contents;
        if (readJournal(found.path, false, contents) == JournalFault::None)
            entries.push_back(entryOf(found.path, contents));
    }
    std::sort(entries.begin(), entries.end(), [](const JournalEntry& a, const JournalEntry& b) {
        return a.startTime != b.startTime ? a.startTime > b.startTime : a.path > b.path;
    });
    return entries;
}

std::optional<JournalEntry> Session::unfinishedJournal() const {
    // The running recording's own journal has no end yet, and needs none restored.
    const std::string running = engine_.workerRunning() ? lastJournal_ : std::string();
    for (const JournalEntry& entry : listJournals())
        if (!entry.ended && entry.path != running)
            return entry;
    return std::nullopt;
}

bool Session::restoreJournal(const std::string& path, std::string* error) {
    const auto refuse = [&](TextId reason) {
        if (error)
            *error = texts_.GetText(reason);
        return false;
    };
    if (engine_.workerRunning())
        return refuse(text::MSG_JOURNAL_BUSY);
    JournalContents contents;
    if (const JournalFault fault = readJournal(path, true, contents); fault != JournalFault::None)
        return refuse(faultText(fault));
    const JournalHeader& header = contents.header;
    const uint32_t bytes = uint32_t(std::min<uint64_t>(contents.frames.size(), capture_.size()));
    uint32_t good =
        intactBytes(header, reinterpret_cast<const uint8_t*>(contents.frames.data()), bytes);
    // Without an end the recording stopped where the journal reached.
    SamplingState endState = SamplingState::StopRequested;
    if (contents.end) {
        endState = SamplingState(contents.end->endState);
        good = std::min(good, contents.end->goodBytes);
    }
    // A page shows a recording of two samples or more: refused before anything the user has
    // (the page, the capture buffer) is touched.
    const uint32_t each = sampleBytes(header.monitor, header.controller);
    if (each == 0 || good / each < 2)
        return refuse(text::MSG_JOURNAL_EMPTY);
    endJournal();
    // The frames go where the recording's worker put them, so that the pass after a recording
    // reads them as it would have.
    std::copy_n(contents.frames.data(), bytes, capture_.data());

    const MonitorKind monitor = header.monitor;
    PageRecording& page = this->page(monitor);
    state_.monitorMode = monitor;
    state_.savable(monitor) = false;
    window_.clearPage(monitor);
    page.active = header.controller;
    page.sampleCount = 0;
    page.cycle = header.cycle;
    page.time = header.time;
    page.startDate = header.startDate;
    pageJournals_[std::size_t(monitor)].clear();
    decoder_.onRecordingComplete(endState, good);
    if (!state_.savable(monitor))
        return refuse(text::MSG_JOURNAL_EMPTY);
    pageJournals_[std::size_t(monitor)] = path;
    return true;
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
