// The session as a front end drives it, against kestiva-sim on a pseudo-terminal: the check on
// its worker with progress, cancel and its flags; a recording from Start to the page; the CSV
// save and read flows; the dump; the recording journal, restored in the program and by the
// terminal command.

#include "session/Session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <thread>

#include "files/Journal.h"
#include "link/ChildProcess.h"
#include "link/SimProcess.h"
#include "settings/FileCalls.h"
#include "support/RecordingWindow.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::SimProcess;
using testing::TempProgramFolder;

// Waits for a condition, polling; false when the deadline passed first.
template <typename Condition>
bool waitFor(Condition condition, std::chrono::seconds limit = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The check window's bar and state text, as the worker sets them.
class ProgressRecorder final : public CheckProgress {
public:
    void setStateText(const std::string& text) override {
        std::lock_guard lock(mutex_);
        stateTexts.push_back(text);
    }
    void setPercent(int percent) override {
        std::lock_guard lock(mutex_);
        percents.push_back(percent);
    }
    std::vector<int> percentsSoFar() {
        std::lock_guard lock(mutex_);
        return percents;
    }

    std::vector<std::string> stateTexts;
    std::vector<int> percents;

private:
    std::mutex mutex_;
};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        for (const char* name :
             {"LanguageData.ini", "CommunicationSetting.ini", "DataSamplingConfig.ini"})
            fs::copy_file(testing::testProgramFolder() + "System/" + name,
                          folder.path() + "System/" + name);
        session = std::make_unique<Session>(folder.path(), window);
        ASSERT_TRUE(session->loadCatalogue());
        session->loadCommunicationSettings();
        ASSERT_TRUE(session->loadSamplingConfiguration());
        session->setResultPause(0ms);
    }

    // A simulator of the demo controller as COM1, at bitRate and station.
    void startSimulator(int bitRate, int station) {
        sim = std::make_unique<SimProcess>(
            std::vector<std::string>{"--mode", "demo", "--bitrate", std::to_string(bitRate),
                                     "--station", std::to_string(station)},
            folder.portLink(1));
        ASSERT_TRUE(sim->ok()) << sim->log();
    }

    CheckOutcome check(const CheckChoice& choice) {
        return session->runCheck("COM1", choice, progress, nullptr);
    }

    CheckChoice manual(int station, int bitRate) {
        return {false, std::to_string(station), std::to_string(bitRate)};
    }

    // Records the shown page with controller 1 of its monitor until the finished notice.
    SamplingState record(MonitorKind monitor, uint16_t cycle, uint16_t time) {
        session->state().monitorMode = monitor;
        std::atomic<bool> finished{false};
        const ControllerRecord& controller = session->config().monitors[monitor].controllers[0];
        EXPECT_EQ(session->startRecording(controller, cycle, time, std::time(nullptr),
                                          [&] { finished = true; }),
                  StartResult::Ok);
        EXPECT_TRUE(waitFor([&] { return finished.load(); }));
        return session->endRecording();
    }

    std::vector<std::string> messageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : window.messages())
            texts.push_back(m.text);
        return texts;
    }
    std::string text(TextId id) const { return session->texts().GetText(id); }

    TempProgramFolder folder;
    testing::RecordingWindow window;
    std::unique_ptr<Session> session;
    std::unique_ptr<SimProcess> sim;
    ProgressRecorder progress;
};

TEST_F(SessionTest, SearchShowsEachAttemptsPercentAndHandsTheFindToTheSettings) {
    startSimulator(57600, 3);
    const CheckOutcome outcome = check({true, "", ""});

    ASSERT_EQ(outcome.result, CheckResult::Found);
    // Stations 1 and 2 at all six bit rates, then station 3 up to its fourth.
    std::vector<int> expected;
    for (int attempt = 1; attempt <= 2 * 6 + 4; ++attempt)
        expected.push_back(attempt * 100 / CommunicationCheck::kSearchAttempts);
    EXPECT_EQ(progress.percents, expected);
    ASSERT_EQ(progress.stateTexts.size(), 3u);
    EXPECT_EQ(progress.stateTexts[2], text(text::MSG_PROGRESS_STATE_SEARCH) + "\tID:3");
    const CommunicationSettings& settings = session->settings();
    EXPECT_EQ(settings.stationId, 3);
    EXPECT_EQ(settings.bitRate, 57600);
    EXPECT_EQ(settings.verifiedStation.load(), 3);
    EXPECT_TRUE(session->state().communicationConfirmed);
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_EQ(window.messages()[0].icon, MessageIcon::Information);
}

TEST_F(SessionTest, ASearchWithoutAnAnswerEndsNotFoundAfterEveryAttempt) {
    startSimulator(38400, 40);  // a station the search never tries
    session->settings().responseDelay = 0;
    const CheckOutcome outcome = check({true, "", ""});

    EXPECT_EQ(outcome.result, CheckResult::NotFound);
    ASSERT_EQ(progress.percents.size(), std::size_t(CommunicationCheck::kSearchAttempts));
    EXPECT_EQ(progress.percents.back(), 100);
    EXPECT_EQ(progress.stateTexts.size(), 32u);
    EXPECT_EQ(session->settings().verifiedStation.load(), -1);
    EXPECT_FALSE(session->state().communicationConfirmed);
    EXPECT_EQ(messageTexts(),
              std::vector<std::string>{text(text::MSG_COMSETTING_COMSEARCH_NG_CONTENTS)});
}

TEST_F(SessionTest, FailedChecksClearTheConfirmationAndKeepTheSettings) {
    startSimulator(38400, 1);
    ASSERT_EQ(check(manual(1, 38400)).result, CheckResult::Found);
    ASSERT_TRUE(session->state().communicationConfirmed);

    struct Case {
        const char* what;
        std::function<CheckOutcome()> run;
        CheckResult result;
        std::size_t newMessages;
    };
    const Case cases[] = {
        {"wrong bit rate", [&] { return check(manual(1, 9600)); }, CheckResult::NotFound, 1},
        // Not a speed the line can be set to: nothing may go out at the old one.
        {"bit rate the line cannot take", [&] { return check(manual(1, 14400)); },
         CheckResult::NotFound, 1},
        {"port that does not open",
         [&] { return session->runCheck("COM200", manual(1, 38400), progress, nullptr); },
         CheckResult::PortOpenFailed, 1},
        {"cancelled search",
         [&] {
             // Cancelled once the first attempt has shown its percent: no message at all.
             return session->runCheck("COM1", {true, "", ""}, progress, [&] {
                 if (!progress.percentsSoFar().empty())
                     session->cancelCheck();
             });
         },
         CheckResult::Cancelled, 0},
    };
    for (const Case& c : cases) {
        // Each starts from a confirmed link.
        ASSERT_EQ(check(manual(1, 38400)).result, CheckResult::Found) << c.what;
        const std::size_t before = window.messages().size();
        progress.percents.clear();
        EXPECT_EQ(c.run().result, c.result) << c.what;
        EXPECT_EQ(window.messages().size(), before + c.newMessages) << c.what;
        EXPECT_EQ(session->settings().verifiedStation.load(), -1) << c.what;
        EXPECT_FALSE(session->state().communicationConfirmed) << c.what;
        // The last good check's station and bit rate stay in the settings record.
        EXPECT_EQ(session->settings().bitRate, 38400) << c.what;
        EXPECT_EQ(session->settings().stationId, 1) << c.what;
    }
}

TEST_F(SessionTest, ARecordingGoesFromStartToThePageAndASecondStartWaitsForItsEnd) {
    startSimulator(38400, 1);
    ASSERT_EQ(check(manual(1, 38400)).result, CheckResult::Found);
    session->state().monitorMode = kDataMonitor;
    const ControllerRecord& controller = session->config().data().controllers[0];
    std::atomic<bool> finished{false};
    ASSERT_EQ(session->startRecording(controller, 100, 1, std::time(nullptr),
                                      [&] { finished = true; }),
              StartResult::Ok);
    // A second Start while the worker lives changes nothing.
    EXPECT_EQ(session->startRecording(controller, 50, 1, std::time(nullptr), nullptr),
              StartResult::Busy);
    ASSERT_TRUE(waitFor([&] { return finished.load(); }));
    EXPECT_EQ(session->endRecording(), SamplingState::Finished);

    const PageRecording& page = session->page(kDataMonitor);
    EXPECT_EQ(page.sampleCount, 11u);
    EXPECT_EQ(page.cycle, 100);
    EXPECT_EQ(page.endMarker, EndMarker::Complete);
    EXPECT_TRUE(session->state().dataSavable);
    EXPECT_TRUE(window.called("load0"));
    EXPECT_TRUE(window.called("enable0"));
    EXPECT_GT(session->receivedBytes(), 0u);

    // The next Start is taken once the first has been ended.
    EXPECT_EQ(record(kIoMonitor, 100, 1), SamplingState::Finished);
    EXPECT_EQ(session->page(kIoMonitor).sampleCount, 11u);
}

// The file operations on the session's own worker, as the window runs them: each tells its end
// from the worker, is joined only once it has ended, and no second one starts before the first
// is joined; a refused restore is reported by the worker itself.
TEST_F(SessionTest, FileOperationsRunOnTheSessionsWorkerAndAreJoinedOnlyOnceEnded) {
    startSimulator(38400, 1);
    ASSERT_EQ(check(manual(1, 38400)).result, CheckResult::Found);
    ASSERT_EQ(record(kDataMonitor, 100, 1), SamplingState::Finished);
    const std::string saved = folder.path() + "data.csv";
    std::atomic<int> ended{0};
    std::atomic<bool> onCaller{false};
    const std::thread::id caller = std::this_thread::get_id();
    const auto notify = [&] {
        onCaller = onCaller || std::this_thread::get_id() == caller;
        ++ended;
    };
    // Ends (its notification given) and is joined by the next finishFileOperation.
    const auto run = [&](auto start, const std::string& path) -> std::optional<bool> {
        const int before = ended.load();
        if (!((*session).*start)(path, notify))
            return std::nullopt;
        EXPECT_TRUE(waitFor([&] { return ended.load() > before; }));
        return session->finishFileOperation();
    };

    ASSERT_TRUE(session->startCsvSave(saved, notify));
    ASSERT_TRUE(waitFor([&] { return ended.load() == 1; }));
    EXPECT_TRUE(session->fileOperationRunning());
    EXPECT_FALSE(session->startCsvRead(saved, notify));  // ended, but not joined yet
    EXPECT_EQ(session->finishFileOperation(), std::optional<bool>(true));
    EXPECT_FALSE(session->fileOperationRunning());
    EXPECT_EQ(session->finishFileOperation(), std::nullopt);
    EXPECT_EQ(window.messages().back().text, text(text::MSG_PROGRESS_STATE_CSV_SAVE_COMP_MSG));

    EXPECT_EQ(run(&Session::startCsvRead, saved), std::optional<bool>(true));
    EXPECT_EQ(session->page(kDataMonitor).endMarker, EndMarker::FromCsv);
    EXPECT_EQ(session->page(kDataMonitor).sampleCount, 11u);

    EXPECT_EQ(run(&Session::startJournalRestore, folder.path() + "none.journal"),
              std::optional<bool>(false));
    EXPECT_EQ(window.messages().back().text, text(text::MSG_JOURNAL_UNREADABLE));
    EXPECT_EQ(window.messages().back().icon, MessageIcon::Error);
    EXPECT_EQ(ended.load(), 3);
    EXPECT_FALSE(onCaller.load());
}

TEST_F(SessionTest, CsvSaveAndReadFollowTheShownPage) {
    startSimulator(38400, 1);
    ASSERT_EQ(check(manual(1, 38400)).result, CheckResult::Found);
    ASSERT_EQ(record(kIoMonitor, 100, 1), SamplingState::Finished);
    ASSERT_EQ(record(kDataMonitor, 100, 1), SamplingState::Finished);
    const std::string saved = folder.path() + "data.csv";

    // The data page is shown: its recording is the one written.
    ASSERT_TRUE(session->saveCsv(saved));
    EXPECT_EQ(window.messages().back().text, text(text::MSG_PROGRESS_STATE_CSV_SAVE_COMP_MSG));
    EXPECT_TRUE(window.called("phase:" + text(text::MSG_PROGRESS_STATE_CSV_SAVE_COMP)));
    std::string version;
    EXPECT_TRUE(session->readCsv(saved, &version));
    EXPECT_EQ(version, "V100");
    EXPECT_EQ(session->page(kDataMonitor).endMarker, EndMarker::FromCsv);
    EXPECT_EQ(session->page(kDataMonitor).sampleCount, 11u);

    // A save that cannot create its file: the file-open message, then the save error.
    const std::size_t before = window.messages().size();
    EXPECT_FALSE(session->saveCsv(folder.path() + "missing/data.csv"));
    ASSERT_EQ(window.messages().size(), before + 2);
    EXPECT_EQ(window.messages().back().text, text(text::MSG_PROGRESS_STATE_CSV_SAVE_ERR_MSG));

    // A refused read leaves the page's recording and its savable flag as they were, and still
    // hands the page back to the window.
    const std::string broken = folder.path() + "broken.csv";
    std::ofstream(broken) << "garbage\r\n";
    for (const bool savable : {true, false}) {
        session->state().dataSavable = savable;
        const std::size_t calls = window.calls().size();
        EXPECT_FALSE(session->readCsv(broken));
        EXPECT_EQ(session->state().dataSavable, savable);
        EXPECT_EQ(session->page(kDataMonitor).sampleCount, 11u);
        const auto after = window.calls();
        const std::vector<std::string> tail(after.begin() + std::ptrdiff_t(calls), after.end());
        EXPECT_NE(std::find(tail.begin(), tail.end(), "load0"), tail.end());
        EXPECT_NE(std::find(tail.begin(), tail.end(), "enable0"), tail.end());
    }

    // A start that the engine refuses leaves the page empty: saving it writes nothing, keeps
    // the file the user already has and reports the failure, never the completion.
    const ControllerRecord& controller = session->config().data().controllers[0];
    ASSERT_EQ(session->startRecording(controller, 2000, 1, std::time(nullptr), [] {}),
              StartResult::CycleLongerThanTime);
    ASSERT_EQ(session->page(kDataMonitor).sampleCount, 0u);
    const std::string kept = fileText(saved);
    EXPECT_FALSE(session->saveCsv(saved));
    EXPECT_EQ(window.messages().back().text, text(text::MSG_PROGRESS_STATE_CSV_SAVE_ERR_MSG));
    EXPECT_EQ(fileText(saved), kept);

    // The dump breaks lines by the shown page's first range.
    ASSERT_EQ(session->writeReceiveDump(folder.path(), window), DumpResult::Written);
    // The user's dump folder is made by the first dump, not before.
    const std::string dumps = folder.path() + "data/kestiva/";
    session->setDumpFolder(dumps);
    ASSERT_FALSE(std::filesystem::exists(dumps));
    EXPECT_EQ(session->writeReceiveDumpIntoDumpFolder(window), DumpResult::Written);
    EXPECT_TRUE(std::filesystem::is_directory(dumps));
}

// ---- The recording journal -------------------------------------------------------------------

// The page's text cells, row by row, to compare a restored recording with the one recorded.
std::vector<std::string> pageRows(const PageRecording& page) {
    std::vector<std::string> rows;
    for (uint32_t r = 0; r < page.sampleCount; ++r) {
        std::string row;
        for (int c = 0; c < kDataTextColumns; ++c)
            row += std::string(page.texts.cell(r, c)) + ",";
        rows.push_back(row);
    }
    return rows;
}

// Where a journal's frames start.
std::size_t headerBytesOf(const std::string& journal) {
    JournalContents contents;
    EXPECT_EQ(readJournal(journal, false, contents), JournalFault::None);
    return std::filesystem::file_size(journal) - contents.frameBytes -
           (contents.end ? kJournalEndBytes : 0);
}

void writeCut(const std::string& bytes, std::size_t length, const std::string& path) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes.substr(0, length);
}

class SessionJournalTest : public SessionTest {
protected:
    // A finished recording of 51 samples at 20 ms with its journal; the journal's path.
    std::string recordWithJournal() {
        startSimulator(38400, 1);
        EXPECT_EQ(check(manual(1, 38400)).result, CheckResult::Found);
        session->setJournalFolder(journals);
        EXPECT_EQ(record(kDataMonitor, 20, 1), SamplingState::Finished);
        EXPECT_EQ(session->page(kDataMonitor).sampleCount, 51u);
        return session->currentJournal();
    }

    const std::string journals = folder.path() + "journal/";
};

TEST_F(SessionJournalTest, AJournalIsKeptUntilItsRecordingIsSavedAndRestoresTheSameFile) {
    const std::string journal = recordWithJournal();
    ASSERT_EQ(std::filesystem::path(journal).parent_path().string() + "/", journals);
    EXPECT_FALSE(session->takeJournalProblem());
    const std::vector<JournalEntry> entries = session->listJournals();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, journal);
    EXPECT_EQ(entries[0].monitor, kDataMonitor);
    EXPECT_EQ(entries[0].controller, session->config().data().controllers[0].name);
    EXPECT_TRUE(entries[0].ended);
    EXPECT_EQ(entries[0].endState, SamplingState::Finished);
    EXPECT_DOUBLE_EQ(entries[0].durationSeconds, 1.0);
    EXPECT_FALSE(session->unfinishedJournal());

    const std::string journalBytes = fileText(journal);
    const std::size_t headerBytes = headerBytesOf(journal);
    const std::string restoredHere = folder.path() + "here.kjournal";
    const std::string restoredByCommand = folder.path() + "command.kjournal";
    writeCut(journalBytes, journalBytes.size(), restoredHere);
    writeCut(journalBytes, journalBytes.size(), restoredByCommand);
    const std::string saved = folder.path() + "recorded.csv";
    ASSERT_TRUE(session->saveCsv(saved));
    EXPECT_FALSE(std::filesystem::exists(journal)) << "saved: its journal has done its work";

    // Restored in the program: the page as the end of the recording left it, savable, and the
    // journal kept until that recording is saved.
    session->state().monitorMode = kIoMonitor;
    session->state().dataSavable = false;
    std::string error;
    ASSERT_TRUE(session->restoreJournal(restoredHere, &error)) << error;
    EXPECT_EQ(session->state().monitorMode.load(), kDataMonitor);
    EXPECT_TRUE(session->state().dataSavable);
    EXPECT_EQ(session->page(kDataMonitor).endMarker, EndMarker::Complete);
    EXPECT_TRUE(window.called("load0"));
    EXPECT_TRUE(std::filesystem::exists(restoredHere));
    const std::string again = folder.path() + "restored.csv";
    ASSERT_TRUE(session->saveCsv(again));
    EXPECT_EQ(fileText(again), fileText(saved));
    EXPECT_FALSE(std::filesystem::exists(restoredHere));

    // Restored by the terminal command, as after a crash once the recording had ended.
    testing::ChildProcess cli;
    const std::string fromCommand = folder.path() + "command.csv";
    ASSERT_TRUE(cli.start(testing::testProgramFolder() + "kestiva-cli",
                          {"recover", restoredByCommand, "--out", fromCommand, "--system",
                           folder.path() + "System/"}));
    const std::string out = cli.readAll(60s);
    ASSERT_EQ(cli.wait(60s), 0) << out << cli.errorText();
    EXPECT_EQ(fileText(fromCommand), fileText(saved));
    EXPECT_FALSE(std::filesystem::exists(restoredByCommand));

    // A journal cut in its 31st frame is the unfinished one.
    const std::string unfinished = journals + "2026-01-01T00-00-00-data.kjournal";
    writeCut(journalBytes, headerBytes + 30 * 21 + 10, unfinished);
    const auto found = session->unfinishedJournal();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->path, unfinished);
    EXPECT_FALSE(found->ended);
    EXPECT_DOUBLE_EQ(found->durationSeconds, 0.58) << "the time of its last whole sample";

    // A start the engine refuses leaves no journal behind.
    const ControllerRecord& controller = session->config().data().controllers[0];
    ASSERT_EQ(session->startRecording(controller, 2000, 1, std::time(nullptr), [] {}),
              StartResult::CycleLongerThanTime);
    EXPECT_EQ(session->listJournals().size(), 1u);
    EXPECT_TRUE(session->currentJournal().empty());
}

TEST_F(SessionJournalTest, ACutOrDamagedJournalRestoresOnlyWholeCheckedSamplesOrNothing) {
    const std::string journal = recordWithJournal();
    const std::string journalBytes = fileText(journal);
    const std::vector<std::string> recorded = pageRows(session->page(kDataMonitor));
    constexpr std::size_t kSample = 21;  // one frame of 16 data bytes
    const std::size_t headerBytes = headerBytesOf(journal);
    // The engine may store a frame or two past the samples the page shows.
    const std::size_t frames = journalBytes.size() - headerBytes - kJournalEndBytes;
    ASSERT_GE(frames, 51 * kSample);
    const std::string path = folder.path() + "cut.kjournal";

    // Cut at every byte of the last frames and of the end record: the whole samples before
    // the cut, those of a torn frame or end record dropped, stopped where it reached.
    for (std::size_t cut = headerBytes + 49 * kSample; cut <= journalBytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        writeCut(journalBytes, cut, path);
        const bool whole = cut == journalBytes.size();
        const std::size_t samples = std::min<std::size_t>((cut - headerBytes) / kSample, 51);
        std::string error;
        ASSERT_TRUE(session->restoreJournal(path, &error)) << error;
        const PageRecording& page = session->page(kDataMonitor);
        EXPECT_EQ(page.endMarker, whole ? EndMarker::Complete : EndMarker::CutShort);
        const std::vector<std::string> rows = pageRows(page);
        ASSERT_EQ(rows.size(), samples);
        EXPECT_TRUE(std::equal(rows.begin(), rows.end(), recorded.begin()));
    }

    // A recording stopped after 40 samples whose end record was torn: its bytes are no sample.
    const std::string stopped = journalBytes.substr(0, headerBytes + 40 * kSample);
    const std::string end = encodeJournalEnd({int32_t(SamplingState::StopRequested), 0}, 40 * kSample);
    for (std::size_t torn = 1; torn < kJournalEndBytes; ++torn) {
        SCOPED_TRACE("end torn after " + std::to_string(torn));
        const std::string bytes = stopped + end.substr(0, torn);
        writeCut(bytes, bytes.size(), path);
        std::string error;
        ASSERT_TRUE(session->restoreJournal(path, &error)) << error;
        EXPECT_EQ(session->page(kDataMonitor).sampleCount, 40u);
    }

    // Refused, with the reason, and the page left as it was: cut inside the header (at every
    // byte), empty, foreign, with a damaged header, or with fewer than two samples.
    struct Refusal {
        std::string name;
        std::string bytes;
        TextId reason;
    };
    std::vector<Refusal> refusals = {
        {"empty", "", text::MSG_JOURNAL_EMPTY},
        {"foreign", fileText(folder.path() + "System/DataSamplingConfig.ini"),
         text::MSG_JOURNAL_FOREIGN},
        {"header alone", journalBytes.substr(0, headerBytes), text::MSG_JOURNAL_EMPTY},
        {"one sample", journalBytes.substr(0, headerBytes + kSample), text::MSG_JOURNAL_EMPTY},
    };
    for (std::size_t cut = 1; cut < headerBytes; ++cut)
        refusals.push_back({"cut at " + std::to_string(cut), journalBytes.substr(0, cut),
                            text::MSG_JOURNAL_TRUNCATED});
    for (std::size_t at : {std::size_t(20), headerBytes / 2, headerBytes - 1}) {
        std::string damaged = journalBytes;
        damaged[at] = char(damaged[at] ^ 0x40);
        refusals.push_back({"damaged at " + std::to_string(at), damaged, text::MSG_JOURNAL_DAMAGED});
    }
    const std::vector<std::string> shown = pageRows(session->page(kDataMonitor));
    const std::size_t calls = window.calls().size();
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        writeCut(r.bytes, r.bytes.size(), path);
        std::string error;
        EXPECT_FALSE(session->restoreJournal(path, &error));
        EXPECT_EQ(error, text(r.reason));
    }
    EXPECT_EQ(window.calls().size(), calls) << "the window was not touched";
    EXPECT_EQ(pageRows(session->page(kDataMonitor)), shown);
}

// kestiva-cli recover as a process: its exit code, standard output and standard error.
struct Recovered {
    int exitCode = -1;
    std::string out, err;
};

Recovered runRecover(const TempProgramFolder& folder, std::vector<std::string> args) {
    testing::ChildProcess cli;
    args.insert(args.begin(), "recover");
    args.insert(args.end(), {"--system", folder.path() + "System/"});
    if (!cli.start(testing::testProgramFolder() + "kestiva-cli", args))
        return {};
    Recovered run;
    run.out = cli.readAll(60s);
    run.exitCode = cli.wait(60s).value_or(-1);
    run.err = cli.errorText();
    return run;
}

TEST_F(SessionJournalTest, NoRestoreOrSaveLosesTheOnlyCopyOfARecording) {
    const std::string journalBytes = fileText(recordWithJournal());
    const std::string kept = journals + "2026-01-01T00-00-00-data.kjournal";
    writeCut(journalBytes, journalBytes.size(), kept);

    // recover never writes its CSV over the journal it restores, however the name is spelled.
    std::filesystem::create_directories(journals + "d");
    std::filesystem::create_symlink(kept, folder.path() + "link.kjournal");
    for (const std::string& out :
         {kept, journals + "d/../2026-01-01T00-00-00-data.kjournal", folder.path() + "link.kjournal"}) {
        SCOPED_TRACE(out);
        const Recovered run = runRecover(folder, {kept, "--out", out});
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find("is the journal itself"), std::string::npos) << run.err;
        EXPECT_EQ(fileText(kept), journalBytes);
    }
    // Nor does the window's save write a restored recording over its own journal.
    std::string error;
    ASSERT_TRUE(session->restoreJournal(kept, &error)) << error;
    EXPECT_FALSE(session->saveCsv(kept));
    EXPECT_EQ(fileText(kept), journalBytes);

    // A journal that a running recording writes (here, or in another program) is listed as
    // such, neither offered nor restored, and never pruned; once the writer lets go, it is.
    const std::string running = journals + "2026-01-02T00-00-00-data.kjournal";
    writeCut(journalBytes, journalBytes.size() - kJournalEndBytes - 100, running);
    uint64_t size = 0;
    const int writer = openRegularFile(running, size);
    ASSERT_GE(writer, 0);
    ASSERT_TRUE(markBeingWritten(writer));
    const auto entryOf = [&](const std::string& path) {
        for (const JournalEntry& e : session->listJournals())
            if (e.path == path)
                return std::optional(e);
        return std::optional<JournalEntry>();
    };
    ASSERT_TRUE(entryOf(running));
    EXPECT_TRUE(entryOf(running)->recording);
    EXPECT_FALSE(session->unfinishedJournal()) << "the only unfinished one is still recording";
    EXPECT_FALSE(session->restoreJournal(running, &error));
    EXPECT_EQ(error, text(text::MSG_JOURNAL_IN_USE));
    Recovered run = runRecover(folder, {running, "--out", folder.path() + "running.csv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(text(text::MSG_JOURNAL_IN_USE)), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::exists(running));
    run = runRecover(folder, {"--list"});
    EXPECT_NE(run.out.find("recording"), std::string::npos) << run.out;
    closeFile(writer);
    EXPECT_FALSE(entryOf(running)->recording);
    EXPECT_EQ(session->unfinishedJournal()->path, running);

    // Samples that fail their check are said to be there, and why they cannot be restored.
    const std::size_t headerBytes = headerBytesOf(kept);
    std::string damaged = journalBytes;
    damaged[headerBytes + 21 + 5] ^= 0x01;  // inside the second sample's frame
    writeCut(damaged, damaged.size(), kept);
    EXPECT_FALSE(session->restoreJournal(kept, &error));
    EXPECT_NE(error.find("1.000 s"), std::string::npos) << error;
    EXPECT_NE(error.find("sample 2 "), std::string::npos) << error;
    EXPECT_EQ(error.find("%"), std::string::npos) << error;

    // A controller name with control characters reaches the terminal escaped.
    const std::string header = journalBytes.substr(0, headerBytes);
    JournalHeader crafted;
    ASSERT_EQ(parseJournalHeader(header, crafted), JournalFault::None);
    crafted.controller.name = "Evil\x1b[2J\x07\xc2\x9bName";
    writeCut(encodeJournalHeader(crafted) + journalBytes.substr(headerBytes, 21 * 10),
             encodeJournalHeader(crafted).size() + 21 * 10, kept);
    run = runRecover(folder, {"--list"});
    EXPECT_NE(run.out.find("Evil\\x1B[2J\\x07\\x9BName"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);

    // A journal killed before its first sample is neither listed nor kept.
    const std::string headerOnly = journals + "2026-01-03T00-00-00-data.kjournal";
    writeCut(header, header.size(), headerOnly);
    EXPECT_FALSE(entryOf(headerOnly));
    session->setJournalFolder(journals);
    EXPECT_FALSE(std::filesystem::exists(headerOnly));
    EXPECT_TRUE(std::filesystem::exists(running));
}

TEST_F(SessionJournalTest, AJournalFolderThatIsADanglingLinkSaysSo) {
    startSimulator(38400, 1);
    ASSERT_EQ(check(manual(1, 38400)).result, CheckResult::Found);
    std::filesystem::create_directory_symlink(folder.path() + "gone", folder.path() + "journal");
    session->setJournalFolder(folder.path() + "journal/");
    ASSERT_EQ(record(kDataMonitor, 20, 1), SamplingState::Finished);
    const auto problem = session->takeJournalProblem();
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("a link to " + folder.path() + "gone, which does not exist"),
              std::string::npos)
        << *problem;
}

TEST_F(SessionJournalTest, AJournalThatCannotBeWrittenLeavesTheRecordingAndIsReportedOnce) {
    startSimulator(38400, 1);
    ASSERT_EQ(check(manual(1, 38400)).result, CheckResult::Found);
    // A file where the folder should be: no journal can be made there, even by root.
    std::ofstream(folder.path() + "blocked") << "x";
    session->setJournalFolder(folder.path() + "blocked/journal/");
    ASSERT_EQ(record(kDataMonitor, 20, 1), SamplingState::Finished);
    EXPECT_EQ(session->page(kDataMonitor).sampleCount, 51u);
    EXPECT_TRUE(session->state().dataSavable);
    const auto problem = session->takeJournalProblem();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(problem->starts_with(text(text::MSG_JOURNAL_WRITE_ERR))) << *problem;
    EXPECT_FALSE(session->takeJournalProblem()) << "told once";
    EXPECT_TRUE(session->currentJournal().empty());
}

}  // namespace
}  // namespace kestiva
