#include "session/Session.h"

#include <algorithm>
#include <cstdio>
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

std::string Session::catalogueFailure() const {
    std::string failure = "LanguageData.ini Reading Failed";
    std::error_code ec;
    if (!std::filesystem::is_directory(utf8Path(programFolder_ + "System"), ec))
        failure += "\nNo System folder was found in " + programFolder_;
    return failure;
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

uint32_t Session::pollLive() {
    const uint32_t added = live_.poll();
    // After the poll: the origin is published before the first frame, so a poll that found a
    // sample (an acquire of the frames' count) finds the origin of this recording's grid.
    if (!live_.gridOrigin() && live_.sampleCount() > 0)
        if (const auto origin = engine_.gridOrigin())
            live_.setGridOrigin(*origin);
    return added;
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

    std::string& journal = pageJournals_[std::size_t(page.kind)];
    // Written over its own journal, the recording would be lost with the journal's removal.
    const bool overJournal = !journal.empty() && sameFile(path, journal);
    const bool saved = !overJournal && writeCsv(path, page, state_, window_, window_, texts_) == 0;
    if (saved) {
        // The recording is kept in its file now, synced under its own name: its journal has
        // done its work.
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

// Journals this small hold their header and at most a few samples.
constexpr uint64_t kSmallJournalBytes = 64 * 1024;

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

// The whole samples in bytes of a journal's frames, as many as the page would show: the
// recording's planned samples at most.
uint64_t samplesIn(const JournalHeader& header, uint64_t bytes) {
    const uint64_t each = sampleBytes(header.monitor, header.controller);
    const uint64_t planned = uint64_t(header.time) * 1000 / header.cycle + 1;
    return each == 0 ? 0 : std::min(bytes / each, planned);
}

// The time of the last of so many samples.
double secondsOf(const JournalHeader& header, uint64_t samples) {
    return samples == 0 ? 0.0 : double(samples - 1) * header.cycle / 1000;
}

// A journal without an end whose recording never reached its first whole sample (killed at its
// start): nothing to restore. Made before its writer's mark, a file that is empty or ends in its
// header counts only once it is a minute old.
bool holdsNoSample(const FoundJournal& found, std::time_t now) {
    if (beingWritten(found.path))
        return false;
    JournalContents contents;
    const JournalFault fault = readJournal(found.path, false, contents);
    if (fault == JournalFault::Empty || fault == JournalFault::Truncated)
        return now - found.modified >= 60;
    return fault == JournalFault::None && !contents.end &&
           samplesIn(contents.header, contents.frameBytes) == 0;
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
    entry.durationSeconds = secondsOf(header, samplesIn(header, bytes));
    entry.recording = !entry.ended && beingWritten(path);
    return entry;
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

// "%1" and "%2" in a catalogue text replaced by their values.
std::string filledIn(std::string text, const std::string& first, const std::string& second) {
    for (const auto& [mark, value] : {std::pair{"%1", &first}, std::pair{"%2", &second}})
        if (const std::size_t at = text.find(mark); at != std::string::npos)
            text.replace(at, 2, *value);
    return text;
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
    const std::time_t now = std::time(nullptr);
    pruneJournals(journalFolder_, now, JournalRetention{}, keep);
    for (const FoundJournal& found : findJournals(journalFolder_))
        if (found.bytes < kSmallJournalBytes &&
            std::find(keep.begin(), keep.end(), found.path) == keep.end() &&
            holdsNoSample(found, now))
            removeFile(found.path);
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
    auto writer = std::make_unique<JournalWriter>(capture_.data(), engine_.arrivedBytes());
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
        if (readJournal(found.path, false, contents) != JournalFault::None)
            continue;
        JournalEntry entry = entryOf(found.path, contents);
        // Killed before its first sample: nothing to show or restore.
        if (entry.ended || entry.recording || samplesIn(contents.header, contents.frameBytes) > 0)
            entries.push_back(std::move(entry));
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
        if (!entry.ended && !entry.recording && entry.path != running)
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
    if (beingWritten(path))
        return refuse(text::MSG_JOURNAL_IN_USE);
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
    if (each == 0 || good / each < 2) {
        // Samples that are there but fail their check are not "nothing recorded".
        const uint64_t held = samplesIn(header, contents.end ? contents.end->goodBytes : bytes);
        if (held < 2 || error == nullptr)
            return refuse(text::MSG_JOURNAL_EMPTY);
        *error = filledIn(texts_.GetText(text::MSG_JOURNAL_FRAMES_DAMAGED),
                          secondsText(secondsOf(header, held)),
                          std::to_string(good / each + 1));
        return false;
    }
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
