// kestiva-cli record --stream into a pipe whose reader has stalled: the recording ends on time
// and is saved, Ctrl+C still stops it, and the samples the pipe could not take are left out of
// the stream, counted and reported.

#include <fcntl.h>
#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "tools/CliHarness.h"

namespace kestiva {
namespace {

using namespace std::chrono_literals;
using testing::CliFolder;
using testing::contains;
using testing::countOf;
using testing::crlfLines;
using testing::readFile;
using testing::SimProcess;

class CliStalledOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.writeSettings(115200, 1);
        ASSERT_TRUE(sim.ok()) << sim.log();
    }

    // Reads of the data monitor's range the controller has heard.
    int reads() const { return countOf(sim.log(), "rx 01 03 10 00"); }

    CliFolder folder;
    SimProcess sim{{"--bitrate", "115200", "--trace"}, folder.portLink(1)};
};

// The number after "Samples:" in the summary; -1 without one.
int summarySamples(const std::string& err) {
    std::smatch match;
    if (!std::regex_search(err, match, std::regex("Samples: +([0-9]+)\n")))
        return -1;
    return std::stoi(match[1]);
}

// The report of the samples left out of the stream: {left out, streamed or not}; {-1, -1}
// without one.
std::pair<int, int> leftOut(const std::string& err) {
    std::smatch match;
    if (!std::regex_search(err, match,
                           std::regex("kestiva-cli record: the stream's reader did not keep up; "
                                      "([0-9]+) of ([0-9]+) samples were left out of the "
                                      "stream\n")))
        return {-1, -1};
    return {std::stoi(match[1]), std::stoi(match[2])};
}

TEST_F(CliStalledOutputTest, AStalledStreamReaderHoldsUpNeitherTheSaveNorCtrlC) {
    struct Case {
        const char* name;
        const char* seconds;
        bool interrupt;
    };
    for (const Case& c : {Case{"to its end", "2", false}, Case{"stopped by Ctrl+C", "30", true}}) {
        SCOPED_TRACE(c.name);
        const std::string csv = folder.file("stalled.csv");
        std::filesystem::remove(csv);
        const int readsBefore = reads();
        testing::ChildProcess cli;
        ASSERT_TRUE(cli.start(testing::cliProgram(),
                              {"record", "data", "--cycle", "20", "--time", c.seconds, "--out", csv,
                               "--stream", "--system", folder.system()}));
        // A pipe of one page, which some forty lines fill; nobody reads it until the end.
        ASSERT_GE(fcntl(cli.outputDescriptor(), F_SETPIPE_SZ, 4096), 0);
        if (c.interrupt) {
            // A hundred samples: the pipe has long been full, more wait behind it.
            const auto until = std::chrono::steady_clock::now() + 30s;
            while (reads() - readsBefore < 100 && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(10ms);
            ASSERT_GE(reads() - readsBefore, 100) << cli.errorText();
            ::kill(cli.pid(), SIGINT);
        }
        // A deadline only so that a hang fails rather than blocks the suite.
        const auto exitCode = cli.wait(60s);
        ASSERT_TRUE(exitCode) << "still running: " << cli.errorText();
        EXPECT_EQ(*exitCode, 0) << cli.errorText();

        const std::string err = cli.errorText();
        const int samples = summarySamples(err);
        ASSERT_GT(samples, 50) << err;
        EXPECT_EQ(crlfLines(readFile(csv)).size(), 6u + std::size_t(samples)) << err;
        if (c.interrupt) {
            EXPECT_TRUE(contains(err, "End state:  2 (stopped)")) << err;
        }
        // What the pipe took is whole lines, the first of the recording; the rest is reported
        // (after a Ctrl+C the stream may hold up to two samples more than the recording).
        const std::string out = cli.readAll(5s);
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out.back(), '\n');
        EXPECT_TRUE(out.starts_with("{\"index\":0,")) << out.substr(0, 80);
        const int streamed = countOf(out, "\n");
        const auto [dropped, offered] = leftOut(err);
        EXPECT_GT(dropped, 0) << err;
        EXPECT_EQ(offered - dropped, streamed) << err;
        EXPECT_GE(offered, samples);
        EXPECT_LE(offered, samples + 2);
    }
}

}  // namespace
}  // namespace kestiva
