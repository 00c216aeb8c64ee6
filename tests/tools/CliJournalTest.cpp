// kestiva-cli and the recording journal, as processes against the simulator: a recording
// killed while it runs is brought back by recover with exactly the samples it had reached,
// and a journal that runs out of disk leaves the recording as it was and is reported once.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "files/FilesTestSupport.h"
#include "files/Journal.h"
#include "tools/CliHarness.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::CliFolder;
using testing::CliRun;
using testing::crlfLines;
using testing::readFile;
using testing::runCli;
using testing::SimProcess;

constexpr int kBitRate = 115200;

class CliJournalTest : public ::testing::Test {
protected:
    void SetUp() override { folder.writeSettings(kBitRate, 1); }

    // Counting registers: every sample differs from the one before, so a lost, repeated or
    // shifted sample shows.
    void startSim() {
        sim.reset();
        sim = std::make_unique<SimProcess>(
            std::vector<std::string>{"--mode", "counting", "--bitrate", std::to_string(kBitRate)},
            folder.portLink(1));
        ASSERT_TRUE(sim->ok()) << sim->log();
    }
    CliRun cli(std::vector<std::string> args) {
        args.insert(args.end(), {"--system", folder.system()});
        return runCli(args);
    }
    std::string journals() const { return folder.file("journal/"); }

    CliFolder folder;
    std::unique_ptr<SimProcess> sim;
};

TEST_F(CliJournalTest, ARecordingKilledWhileItRunsIsRecoveredWithTheSamplesItReached) {
    startSim();
    testing::ChildProcess record;
    ASSERT_TRUE(record.start(testing::cliProgram(),
                             {"record", "data", "--cycle", "20", "--time", "30", "--out",
                              folder.file("never.csv"), "--system", folder.system()}));
    // Killed once its journal holds some 20 samples (21 bytes each after a header).
    const auto journalBytes = [&] {
        const auto found = findJournals(journals());
        return found.size() == 1 ? found[0].bytes : 0;
    };
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (journalBytes() < 2000 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
    ASSERT_GE(journalBytes(), 2000u) << record.errorText();
    ::kill(record.pid(), SIGKILL);
    record.wait(30s);

    CliRun run = cli({"recover", "--list", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).array();
    ASSERT_EQ(list.size(), 1) << run.out;
    const QJsonObject entry = list[0].toObject();
    EXPECT_EQ(entry.value("state").toString(), "unfinished");
    EXPECT_EQ(entry.value("controller").toString(), "Actuator - motion");
    const std::string journal = entry.value("path").toString().toStdString();
    run = cli({"recover", "--list"});
    EXPECT_TRUE(testing::contains(run.out, "unfinished")) << run.out;

    const std::string recovered = folder.file("recovered.csv");
    run = cli({"recover", journal, "--out", recovered});
    ASSERT_EQ(run.exitCode, 0) << run.describe();
    EXPECT_FALSE(std::filesystem::exists(journal)) << "saved as CSV: the journal went";

    // The same recording, not interrupted, from a simulator that starts counting afresh.
    startSim();
    const std::string reference = folder.file("reference.csv");
    run = cli({"record", "data", "--cycle", "20", "--time", "3", "--out", reference});
    ASSERT_EQ(run.exitCode, 0) << run.describe();

    const std::vector<std::string> got = crlfLines(readFile(recovered));
    const std::vector<std::string> want = crlfLines(readFile(reference));
    ASSERT_GT(got.size(), 6u + 20u);
    ASSERT_LE(got.size(), want.size());
    EXPECT_EQ(got[1], "20,30") << "the recording's own cycle and time";
    for (std::size_t i = 2; i < got.size(); ++i)
        EXPECT_EQ(got[i], want[i]) << "line " << i;
}

// At a short cycle each reply is read four requests after it was sent. The journal still holds
// every reply that had arrived: frozen right after the journal grew (a kill's moment, without
// the kill), the recorder had journaled all the replies the simulator sent but those still on
// their way.
TEST_F(CliJournalTest, AtAShortCycleTheJournalHoldsTheRepliesThatHaveArrived) {
    sim = std::make_unique<SimProcess>(
        std::vector<std::string>{"--mode", "counting", "--trace", "--bitrate",
                                 std::to_string(kBitRate)},
        folder.portLink(1));
    ASSERT_TRUE(sim->ok()) << sim->log();
    testing::ChildProcess record;
    ASSERT_TRUE(record.start(testing::cliProgram(),
                             {"record", "data", "--cycle", "80", "--time", "30", "--out",
                              folder.file("never.csv"), "--system", folder.system()}));
    const auto journalFrames = [&]() -> uint64_t {
        const auto found = findJournals(journals());
        JournalContents contents;
        if (found.size() != 1 || readJournal(found[0].path, false, contents) != JournalFault::None)
            return 0;
        return contents.frameBytes;
    };
    constexpr uint64_t kSample = 21;  // one frame of 16 data bytes
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (journalFrames() < 10 * kSample && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(2ms);
    const uint64_t before = journalFrames();
    ASSERT_GE(before, 10 * kSample) << record.errorText();
    while (journalFrames() == before && std::chrono::steady_clock::now() < deadline) {
    }
    ::kill(record.pid(), SIGSTOP);
    const uint64_t journaled = journalFrames() / kSample;
    // The requests sent before the stop have their replies by now.
    std::this_thread::sleep_for(300ms);
    const std::string trace = sim->log();
    ::kill(record.pid(), SIGKILL);
    record.wait(30s);
    // Replies to reads, the check's echo left out.
    std::size_t replies = 0;
    for (std::size_t at = trace.find("tx 01 03 "); at != std::string::npos;
         at = trace.find("tx 01 03 ", at + 1))
        ++replies;
    // The reply in flight when the journal grew, and one arriving before the stop.
    EXPECT_LE(replies, journaled + 2) << "journaled " << journaled << " of " << replies;
    EXPECT_GE(replies, journaled);
}

TEST_F(CliJournalTest, AJournalWithoutRoomStopsAloneAndIsReportedOnce) {
    // A wide range: 205 bytes a sample fill the little room left within a few samples.
    folder.writeConfig(readFile(folder.system() + "DataSamplingConfig.ini") +
                       "\r\n[CTL5_DATASAMPLING_SETTING]\r\nCTL_NAME=Wide\r\n"
                       "DATA_ADDRESS=D1000\r\nDATA_LENGTH=200\r\n"
                       "DATA1=First,D1000,WORD,1,u\r\nDATA2=Last,D1063,UWORD,1,u\r\n");
    struct Case {
        const char* name;
        bool needsRoot;
        std::size_t spare;  // bytes left free on the small disk
    };
    for (const Case c : {Case{"full disk", true, 4096}, Case{"full at the start", true, 0},
                         Case{"no folder can be made", false, 0}}) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder.file("journal"));
        std::optional<testing::SmallDisk> disk;
        if (c.needsRoot) {
            disk.emplace(64 * 1024);
            if (!disk->mounted()) {
                std::fprintf(stderr, "skipped: mounting a small tmpfs needs root\n");
                continue;
            }
            // Full but for the spare bytes: 4 KB take the header, not the frames; none, not
            // even the header.
            testing::writeFile(disk->file("spare"), std::string(c.spare, 's'));
            {
                std::ofstream filler(disk->file("filler"), std::ios::binary);
                const std::string block(512, 'f');
                while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {
                }
            }
            std::filesystem::remove(disk->file("spare"));
            std::filesystem::create_directory_symlink(disk->folder(), folder.file("journal"));
        } else {
            testing::writeFile(folder.file("journal"), "a file where the folder should be");
        }
        startSim();
        const std::string csv = folder.file("wide.csv");
        const CliRun run = cli({"record", "data", "--controller", "Wide", "--cycle", "50",
                                "--time", "2", "--out", csv, "--json"});
        ASSERT_EQ(run.exitCode, 0) << run.describe();
        const QJsonObject json = run.json();
        EXPECT_EQ(json.value("endState").toInt(), 1);
        EXPECT_EQ(json.value("samples").toInt(), 41);
        EXPECT_EQ(crlfLines(readFile(csv)).size(), 6u + 41u);
        const std::string problem = testing::shown(text::MSG_JOURNAL_WRITE_ERR);
        EXPECT_EQ(testing::countOf(run.err, problem), 1) << run.err;
        EXPECT_TRUE(json.value("journalProblem").toString().startsWith(
            QString::fromStdString(problem)))
            << run.out;
        // A journal that could not take its header leaves no empty file behind.
        for (const FoundJournal& found : findJournals(journals()))
            EXPECT_GT(found.bytes, 0u) << found.path;
        std::filesystem::remove(folder.file("journal"));
    }
}

}  // namespace
}  // namespace kestiva
