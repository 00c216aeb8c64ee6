// kestiva-cli record --stream into a pipe whose reader has stalled: the recording ends on time
// and is saved, Ctrl+C still stops it, and the samples the pipe could not take are left out of
// the stream, counted and reported. And record --live on a terminal held by Ctrl+S: the
// recording is saved all the same.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

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

// A pseudo-terminal as a user's terminal.
class Terminal {
public:
    Terminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        side_ = open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios modes{};
        if (side_ < 0 || tcgetattr(side_, &modes) != 0)
            return;
        modes.c_iflag |= IXON;  // Ctrl+S and Ctrl+Q hold and release the output
        tcsetattr(side_, TCSANOW, &modes);
    }
    ~Terminal() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (const int fd : {master_, side_})
            if (fd >= 0)
                close(fd);
    }

    // Starts the command with its standard output and error on the terminal.
    bool start(std::vector<std::string> command) {
        if (side_ < 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, side_, 1);
        posix_spawn_file_actions_adddup2(&actions, side_, 2);
        std::vector<char*> argv;
        for (auto& word : command)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        const int result = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return result == 0;
    }

    // What the user types.
    void type(const std::string& keys) {
        ASSERT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size()));
    }

    // Reads the screen until the command ends: its exit code, nullopt when it still runs at
    // the deadline.
    std::optional<int> readUntilExit(std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd ready{master_, POLLIN, 0};
            char buffer[4096];
            if (poll(&ready, 1, 20) > 0) {
                const ssize_t n = read(master_, buffer, sizeof buffer);
                if (n > 0)
                    screen_.append(buffer, std::size_t(n));
            }
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                readRest();
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        return std::nullopt;
    }

    const std::string& screen() const { return screen_; }

private:
    // What the ended command left on the terminal.
    void readRest() {
        pollfd ready{master_, POLLIN, 0};
        char buffer[4096];
        ssize_t n = 0;
        while (poll(&ready, 1, 0) > 0 && (n = read(master_, buffer, sizeof buffer)) > 0)
            screen_.append(buffer, std::size_t(n));
    }

    int master_ = -1;
    int side_ = -1;
    pid_t pid_ = -1;
    std::string screen_;
};

TEST_F(CliStalledOutputTest, ATerminalHeldByCtrlSHoldsUpNeitherTheRecordingNorItsSave) {
    Terminal terminal;
    const std::string csv = folder.file("held.csv");
    ASSERT_TRUE(terminal.start({testing::cliProgram(), "record", "data", "--cycle", "20", "--time",
                                "2", "--out", csv, "--live", "--system", folder.system()}));
    // Once the recording is under way (the check's own progress has been shown), Ctrl+S.
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (reads() < 5 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(5ms);
    ASSERT_GE(reads(), 5);
    terminal.type("\x13");
    // The recording ends and is saved while the terminal still shows nothing new; the wait
    // is a deadline only, for a save that never comes.
    const auto saveDeadline = std::chrono::steady_clock::now() + 60s;
    while (!std::filesystem::exists(csv) && std::chrono::steady_clock::now() < saveDeadline)
        std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(std::filesystem::exists(csv));
    terminal.type("\x11");  // Ctrl+Q: the rest of the output, the summary included, comes
    const auto exitCode = terminal.readUntilExit(60s);
    ASSERT_TRUE(exitCode) << terminal.screen();
    EXPECT_EQ(*exitCode, 0) << terminal.screen();
    EXPECT_EQ(crlfLines(readFile(csv)).size(), 6u + 101u) << terminal.screen();
    EXPECT_TRUE(contains(terminal.screen(), "Samples:    101")) << terminal.screen();
}

// A stream that cannot be written for another reason than its reader going says why.
TEST_F(CliStalledOutputTest, AStreamOnAFullDiskSaysSoAndTheRecordingGoesOn) {
    const std::string csv = folder.file("full.csv");
    testing::ChildProcess cli;
    const std::string command = "exec \"$0\" \"$@\" >/dev/full";
    ASSERT_TRUE(cli.start("/bin/sh", {"-c", command, testing::cliProgram(), "record", "data",
                                      "--cycle", "20", "--time", "1", "--out", csv, "--stream",
                                      "--system", folder.system()}));
    cli.readAll(60s);
    EXPECT_EQ(cli.wait(60s), 0) << cli.errorText();
    EXPECT_TRUE(contains(cli.errorText(), "kestiva-cli record: standard output cannot be written "
                                          "(No space left on device); the stream ends"))
        << cli.errorText();
    EXPECT_EQ(crlfLines(readFile(csv)).size(), 6u + 51u);
}

}  // namespace
}  // namespace kestiva
