// The session as a front end drives it, against kestiva-sim on a pseudo-terminal: the check on
// its worker with progress, cancel and its flags; a recording from Start to the page; the CSV
// save and read flows; the dump.

#include "session/Session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "link/SimProcess.h"
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

}  // namespace
}  // namespace kestiva
