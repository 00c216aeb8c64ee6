#pragma once
// One object that owns and wires the whole core for a front end: the settings record, the
// sampling configuration, the texts, the serial link, the Modbus master, the communication
// check, the sampling engine with its capture buffer, the decoder and both pages' recordings.
// The desktop window and the companion command both drive a Session; neither wires the core
// itself.
//
// Threads: every call is made from the front end's own thread (the window thread). The check
// and the recording run on workers that the session starts; each worker calls its `finished`
// notification once it is done, from the worker. The front end carries that notification to its
// own thread and only then calls finishCheck or endRecording, which join a worker that has
// nothing left to wait for. The file operations (CSV save, CSV read, journal restore) follow
// the same rule with startCsvSave/startCsvRead/startJournalRestore and finishFileOperation;
// saveCsv, readCsv and restoreJournal run the same operation on the caller's thread (the
// terminal, tests).

#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "files/ReceiveDump.h"
#include "link/CaptureDecoding.h"
#include "link/CommunicationCheck.h"
#include "link/LiveRecording.h"
#include "link/ModbusMaster.h"
#include "link/RecordingStart.h"
#include "link/SamplingEngine.h"
#include "link/SerialLink.h"
#include "recording/HostInterfaces.h"
#include "session/PortAccess.h"
#include "recording/SampleTables.h"
#include "recording/SessionState.h"
#include "settings/CommunicationSettings.h"
#include "settings/LanguageCatalogue.h"
#include "settings/SamplingConfig.h"

namespace kestiva {

class JournalWriter;

// A recording's journal as the list of kept journals shows it.
struct JournalEntry {
    std::string path;
    MonitorKind monitor = kDataMonitor;
    std::string controller;  // the controller type's name
    std::time_t startTime = 0;
    double durationSeconds = 0;  // the time of its last whole sample
    bool ended = false;          // false: the program stopped before the recording ended
    SamplingState endState = SamplingState::Running;  // when ended
    // A recording still running, in this program or another, writes it: it is neither offered
    // nor restored until that recording has ended.
    bool recording = false;
};

class Session {
public:
    // programFolder ends with '/' and holds System/. window receives every message, progress
    // and page call of the core. captureLimit: bytes of frames a recording may store (tests
    // lower it).
    Session(std::string programFolder, WindowHost& window,
            uint32_t captureLimit = kCaptureBufferSize);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Start-up loads. The front end reports a failure with its own fixed text.
    // The catalogue: false when LanguageData.ini could not be read.
    bool loadCatalogue();
    // What a failed catalogue load says: the fixed text, and where no System folder was found
    // when that is why.
    std::string catalogueFailure() const;
    void loadCommunicationSettings();
    // Load, then the data controllers, then the I/O controllers; the first failure ends it.
    bool loadSamplingConfiguration();
    // Writes the user-changeable communication settings back. False when the file was not
    // written.
    bool saveCommunicationSettings();

    const std::string& programFolder() const { return programFolder_; }
    // Where the front end writes the receive-buffer dump (ending with '/'): the program folder
    // unless the front end chose another (an installed program keeps dumps in the user's data).
    const std::string& dumpFolder() const {
        return dumpFolder_.empty() ? programFolder_ : dumpFolder_;
    }
    void setDumpFolder(std::string folder) { dumpFolder_ = std::move(folder); }
    // The serial devices and the port names' links in the program folder.
    PortAccess ports() const { return PortAccess(programFolder_); }
    const LanguageCatalogue& texts() const { return texts_; }
    LanguageCatalogue& texts() { return texts_; }
    CommunicationSettings& settings() { return settings_; }
    const SamplingConfig& config() const { return *config_; }
    SessionState& state() { return state_; }
    const SessionState& state() const { return state_; }
    PageRecording& page(MonitorKind monitor) {
        return monitor == kDataMonitor ? *dataPage_ : *ioPage_;
    }
    PageRecording& shownPage() { return page(state_.monitorMode.load()); }

    // The pause between a finished conversion and the page load, and after a CSV save or read,
    // so that the user sees the operation finish (one second; a terminal has nothing to see).
    void setResultPause(std::chrono::milliseconds pause);

    // --- Communication check -------------------------------------------------------------
    // Opens portName for the check: false after the port-open message. A port that leads over
    // the network is only chosen here and connected by the check's worker, so that a host
    // that does not answer holds up the worker for its time-out, never the caller (the
    // window); its open failure is then the check's outcome.
    bool openCheckPort(const std::string& portName);
    // Starts the check on the open port; finished is called from the worker when it is done.
    // False when a check is still running or no worker thread could be made (the port is then
    // closed).
    bool startCheck(const CheckChoice& choice, CheckProgress& progress,
                    std::function<void()> finished);
    // Opens portName for the check without a message: a port that does not open is reported
    // only when the user asks for a check. False when it did not open. A port that leads over
    // the network is not held: it is connected when a check runs.
    bool openCheckPortQuietly(const std::string& portName);
    // Sets the check's open port to bitRate with the settings' silent factor and responseDelay
    // (the settings' response delay becomes it). False when no port is open or the line cannot
    // take the bit rate.
    bool configureCheckPort(int32_t bitRate, int32_t responseDelay);
    bool checkPortOpen() const { return !checkContext_.portName.empty(); }
    // Closes the port the check opened (a recording opens its own).
    void closeCheckPort() { link_.closePort(checkContext_); }
    // The cancel button: the check ends before its next attempt, or within its current one.
    void cancelCheck() { check_.cancel(); }
    bool checkRunning() const { return checkWorker_.joinable() && !checkDone_.load(); }
    // Joins the finished check worker and hands a found station and bit rate to the settings
    // record. nullopt while the check is still running (or none ran).
    std::optional<CheckOutcome> finishCheck();
    // The whole check for a front end without an event loop: opens the port, runs the check
    // on a worker and waits for it, calling poll about every 20 ms (to cancel, say).
    CheckOutcome runCheck(const std::string& portName, const CheckChoice& choice,
                          CheckProgress& progress, const std::function<void()>& poll);

    // --- Recording -----------------------------------------------------------------------
    // Start for the shown page with controller, cycle and time: see RecordingStart. Busy while
    // the previous recording's worker has not been ended with endRecording. finished is called
    // from the worker once the recording has been decoded and handed to the page.
    StartResult startRecording(const ControllerRecord& controller, uint16_t cycle, uint16_t time,
                               std::time_t now, std::function<void()> finished);
    // The Stop button.
    void requestStop() { engine_.requestStop(); }
    bool recordingRunning() const { return engine_.workerRunning(); }
    // Joins the recording worker after its finished notification and tells how it ended.
    SamplingState endRecording();
    // The running recording as far as it has come, decoded as the page will show it, with
    // gaps where frames failed their check; it keeps the last recording until the next Start.
    // The page's tables are still filled only at the end. Read it from the front end's thread.
    const LiveRecording& live() const { return live_; }
    // Decodes what the recording brought since the last call (the window's timer, the
    // terminal's loop); how many samples it added. live().newSamples() lists them.
    // Once a sample has come, the live recording also knows the time of day of its grid.
    uint32_t pollLive();
    // The bytes of the capture buffer the running recording has completed, as its worker
    // publishes them (release order): load with acquire order, from any thread.
    const std::atomic<uint32_t>& completeBytes() const { return engine_.completeBytes(); }
    // How evenly the last recording's cycles started (read after endRecording).
    const PacingReport& pacingReport() const { return engine_.pacingReport(); }
    // Bytes received from the port since the last recording started (the dump's length).
    uint32_t receivedBytes() const;
    const uint8_t* captureBuffer() const { return capture_.data(); }
    // For a benchmark that fills the capture buffer itself instead of recording: the buffer,
    // and the completion routine that a recording's worker calls at its end, run on the
    // caller's thread.
    uint8_t* captureBuffer() { return capture_.data(); }
    void completeRecording(SamplingState endState, uint32_t goodBytes) {
        onRecordingComplete(endState, goodBytes);
    }
    // For the same benchmark: the live view follows a recording of the shown page with this
    // record, cycle and time, of which the first bytes of the buffer are complete.
    void followCapturedRecording(const ControllerRecord& controller, uint16_t cycle,
                                 uint16_t time, uint32_t bytes) {
        live_.begin(state_.monitorMode.load(), controller, cycle, time);
        engine_.publishCompleteBytes(bytes);
    }

    // --- Journal -------------------------------------------------------------------------
    // While a recording runs, a thread of its own copies the arrived bytes of the capture
    // buffer into a journal file in this folder (ending with '/') and makes them durable about
    // ten times a second, so that a crash loses at most the last moment of a recording. Empty
    // (the default): no journal is written. Setting it prunes the folder (see pruneJournals).
    void setJournalFolder(std::string folder);
    const std::string& journalFolder() const { return journalFolder_; }
    // The kept journals, newest first; those that cannot be read are left out.
    std::vector<JournalEntry> listJournals() const;
    // The newest journal whose recording never reached its end and is not running, if any.
    std::optional<JournalEntry> unfinishedJournal() const;
    // Decodes a journal with the pass that ends a recording (frames checked, a torn last
    // sample dropped) into the page of its monitor, which becomes the shown page, as if its
    // recording had just ended: with its own end state, or stopped where it reached when it
    // has none. The page is loaded through the window and may be saved; the journal stays
    // until that recording is saved as CSV. False, with the reason in error, for a journal
    // that is empty, cut short, foreign or damaged, or while a recording runs.
    bool restoreJournal(const std::string& path, std::string* error);
    // Why the last recording's journal stopped being written (a full disk, a folder that
    // cannot be written), once: the next call returns nullopt. The recording itself is never
    // affected.
    std::optional<std::string> takeJournalProblem();
    // The journal of the running or last recording ("" when none was written).
    std::string currentJournal() const;

    // --- Files ---------------------------------------------------------------------------
    // The CSV save of the shown page: phase, progress, the writer, the final state text and
    // message, the reset timer. True when the file was written.
    bool saveCsv(const std::string& path);
    // The CSV read into the shown page: the page is cleared, the file read with every check,
    // and the page loaded and its entry enabled whatever the outcome, so that after a refused
    // read it shows again the recording its tables still hold. The savable flag is set after a
    // good read and restored after a refused one. version, when given, gets line 1's second
    // field. True when the recording was read.
    bool readCsv(const std::string& path, std::string* version = nullptr);
    // The same three on a worker of the session, the window free meanwhile: finished is called
    // from the worker once the operation is done (its messages answered); the front end
    // carries it to its own thread and calls finishFileOperation there. A restore's refusal is
    // shown as an error message. False while an earlier file operation has not been finished,
    // or when no worker thread could be made.
    bool startCsvSave(const std::string& path, std::function<void()> finished);
    bool startCsvRead(const std::string& path, std::function<void()> finished);
    bool startJournalRestore(const std::string& path, std::function<void()> finished);
    // From the start until finishFileOperation has joined its worker.
    bool fileOperationRunning() const { return fileWorker_.joinable(); }
    // Joins the finished file worker: whether the file was saved, read or restored. nullopt
    // while the worker is still running (or none ran).
    std::optional<bool> finishFileOperation();

    // The receive-buffer dump of the last recording into folder (ending with '/'), with the
    // line length of the shown page's record; messages shows its completion.
    DumpResult writeReceiveDump(const std::string& folder, MessageHost& messages,
                                std::time_t now = std::time(nullptr));
    // The same into dumpFolder(), which the first dump that has something to write makes.
    DumpResult writeReceiveDumpIntoDumpFolder(MessageHost& messages);

private:
    void onRecordingComplete(SamplingState endState, uint32_t goodBytes);
    // Chooses portName for the check's worker to connect when it leads over the network;
    // false, with nothing chosen, for any other port.
    bool deferNetworkOpen(const std::string& portName);
    // The journal of a recording about to start, when a journal folder is set.
    void createJournal(MonitorKind monitor, const ControllerRecord& controller, uint16_t cycle,
                       uint16_t time, std::time_t now);
    void discardJournal(MonitorKind monitor);
    // Waits for the last recording's journal to be complete and prunes the folder.
    void endJournal();
    void pruneJournalFolder();
    // The end of a CSV save or read: the reset timer returns the window to idle.
    void endFileProgress();
    bool startFileWorker(std::function<bool()> work, std::function<void()> finished);

    std::string programFolder_;
    std::string dumpFolder_;
    std::string journalFolder_;
    WindowHost& window_;
    LanguageCatalogue texts_;
    CommunicationSettings settings_;
    std::unique_ptr<SamplingConfig> config_;
    SessionState state_;

    SerialLink link_;
    ModbusMaster modbus_;
    CommunicationCheck check_;
    PortContext checkContext_;
    // A network port chosen for the check, which the check's worker connects; empty otherwise.
    std::string deferredCheckPort_;
    PortContext samplingContext_;

    // Allocated once, at full size, before any recording.
    std::vector<uint8_t> capture_;
    std::unique_ptr<PageRecording> dataPage_;
    std::unique_ptr<PageRecording> ioPage_;
    SamplingEngine engine_;
    CaptureDecoder decoder_;
    LiveRecording live_;
    SamplingRequest request_;
    RecordingStart starter_;
    std::chrono::milliseconds resultPause_{1000};

    std::thread checkWorker_;
    std::atomic<bool> checkDone_{false};
    CheckOutcome checkOutcome_;  // written by the worker before checkDone_, read after the join
    std::function<void()> checkFinished_;

    std::function<void()> recordingFinished_;

    std::thread fileWorker_;
    std::atomic<bool> fileDone_{false};
    bool fileResult_ = false;  // written by the worker before fileDone_, read after the join
    std::function<void()> fileFinished_;

    std::unique_ptr<JournalWriter> journal_;  // while its recording runs or until it is ended
    std::string lastJournal_;
    // The journal of the recording each page holds, removed once that recording is saved.
    std::array<std::string, 2> pageJournals_;
    std::optional<std::string> journalProblem_;
};

}  // namespace kestiva
