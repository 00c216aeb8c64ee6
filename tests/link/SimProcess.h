#pragma once
// Runs kestiva-sim (from the test program's own folder) as a child process for a test:
//
//     TempProgramFolder folder;                      // <tmp>/System/ports/
//     SimProcess sim({"--mode", "counting"}, folder.portLink(1));
//     ASSERT_TRUE(sim.ok()) << sim.log();
//     SerialLink link(folder.path());                // "COM1" now opens the simulator
//
// The simulator stops when the object goes out of scope, or when the test program dies. Tests
// that use it should depend on the kestiva-sim target so that it is built with them.

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "link/ChildProcess.h"

namespace kestiva::testing {

// A throw-away program folder with an empty System/ports/ for port links; removed with
// everything in it at the end of the test, or after the test program if it dies first.
class TempProgramFolder {
public:
    TempProgramFolder() {
        char pattern[] = "/tmp/kestiva-folder-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            root_ = pattern;
            std::filesystem::create_directories(root_ + "/System/ports");
            sweeper_.emplace("rm -rf -- \"$1\"", std::vector<std::string>{root_});
        }
    }
    ~TempProgramFolder() {
        std::error_code ignored;
        if (!root_.empty())
            std::filesystem::remove_all(root_, ignored);
    }
    TempProgramFolder(const TempProgramFolder&) = delete;
    TempProgramFolder& operator=(const TempProgramFolder&) = delete;

    // The folder with a trailing '/', as the program folder is given to the link.
    std::string path() const { return root_ + "/"; }
    // Where "COMn" looks for its link.
    std::string portLink(int n) const { return root_ + "/System/ports/COM" + std::to_string(n); }

private:
    std::string root_;
    std::optional<LeftoverSweeper> sweeper_;
};

class SimProcess {
public:
    static std::string programPath() { return testProgramFolder() + "kestiva-sim"; }

    // Starts the simulator with options; with a link path it also links the device there.
    explicit SimProcess(std::vector<std::string> options = {}, const std::string& link = {}) {
        if (!link.empty()) {
            options.push_back("--link");
            options.push_back(link);
        }
        if (!child_.start(programPath(), options))
            return;
        if (auto line = child_.readLine(std::chrono::seconds(10)))
            device_ = *line;
    }

    // Started, and it told us its device.
    bool ok() const { return !device_.empty(); }
    const std::string& devicePath() const { return device_; }

    // Ends it with SIGTERM, as a user would; its exit status (0 after a clean stop).
    std::optional<int> stop() { return child_.stop(); }
    // Pulls the plug: SIGKILL, no clean-up of its own.
    void kill() { child_.kill(); }
    // For a simulator that ends by itself (--hangup): its exit status, nullopt when still
    // running after the timeout.
    std::optional<int> waitExit(std::chrono::milliseconds timeout) { return child_.wait(timeout); }
    bool running() { return child_.running(); }
    pid_t pid() const { return child_.pid(); }

    // Its standard error: the --trace lines and, once it has ended, the line of counters.
    std::string log() const { return child_.errorText(); }

private:
    ChildProcess child_;
    std::string device_;
};

}  // namespace kestiva::testing
