#pragma once
// A helper program started by a test: its standard output comes back through a pipe, its
// standard error goes to a file the test can read, and every wait has a deadline.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace kestiva::testing {

// The folder of the running test program, with a trailing '/'.
inline std::string testProgramFolder() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return "./";
    std::string path(buffer, static_cast<std::size_t>(n));
    return path.substr(0, path.rfind('/') + 1);
}

class ChildProcess {
public:
    using Milliseconds = std::chrono::milliseconds;

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        kill();
        if (stdout_ >= 0)
            ::close(stdout_);
        if (!stderrPath_.empty())
            ::unlink(stderrPath_.c_str());
    }

    // Starts program with args (program itself is argv[0]). False when it cannot be started.
    bool start(const std::string& program, const std::vector<std::string>& args) {
        char pattern[] = "/tmp/kestiva-child-XXXXXX";
        int errFd = mkstemp(pattern);
        if (errFd < 0)
            return false;
        stderrPath_ = pattern;
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) {
            ::close(errFd);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errFd, 2);
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int result = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        ::close(errFd);
        if (result != 0) {
            ::close(out[0]);
            pid_ = -1;
            return false;
        }
        stdout_ = out[0];
        pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
        return true;
    }

    // One line of standard output (without its newline), or nullopt when none came in time.
    std::optional<std::string> readLine(Milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (auto newline = pending_.find('\n'); newline != std::string::npos) {
                std::string line = pending_.substr(0, newline);
                pending_.erase(0, newline + 1);
                return line;
            }
            if (!readSome(deadline))
                return std::nullopt;
        }
    }

    // Everything the program writes to standard output until it closes it.
    std::string readAll(Milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (readSome(deadline)) {
        }
        std::string all;
        all.swap(pending_);
        return all;
    }

    // The exit status (128 + signal when killed), or nullopt while it still runs at the end of
    // the timeout.
    std::optional<int> wait(Milliseconds timeout) {
        if (pid_ < 0)
            return status_;
        if (pidFd_ >= 0) {
            pollfd p{pidFd_, POLLIN, 0};
            poll(&p, 1, static_cast<int>(timeout.count()));
        }
        int status = 0;
        pid_t r = waitpid(pid_, &status, pidFd_ >= 0 ? WNOHANG : 0);
        if (r != pid_)
            return std::nullopt;
        reaped(status);
        return status_;
    }

    bool running() {
        if (pid_ < 0)
            return false;
        return !wait(Milliseconds(0)).has_value();
    }

    // Asks the program to end (SIGTERM) and waits for it; kills it when it does not obey.
    std::optional<int> stop(Milliseconds grace = Milliseconds(5000)) {
        if (pid_ < 0)
            return status_;
        ::kill(pid_, SIGTERM);
        if (auto status = wait(grace))
            return status;
        kill();
        return status_;
    }

    void kill() {
        if (pid_ < 0)
            return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        if (waitpid(pid_, &status, 0) == pid_)
            reaped(status);
    }

    // What the program wrote to standard error so far.
    std::string errorText() const {
        std::ifstream in(stderrPath_);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    pid_t pid() const { return pid_; }

    // Closes our end of its standard output, as a reader that goes away does: its next write
    // fails with EPIPE (or SIGPIPE).
    void closeOutput() {
        if (stdout_ >= 0)
            ::close(stdout_);
        stdout_ = -1;
    }

private:
    bool readSome(std::chrono::steady_clock::time_point deadline) {
        if (stdout_ < 0)
            return false;
        auto left =
            std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() < 0)
            return false;
        pollfd p{stdout_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[4096];
        ssize_t n = ::read(stdout_, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        pending_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    void reaped(int status) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
        if (pidFd_ >= 0)
            ::close(pidFd_);
        pidFd_ = -1;
    }

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int stdout_ = -1;
    std::string pending_;
    std::string stderrPath_;
    std::optional<int> status_;
};

// Starts command (a program and its arguments) as the user nobody, without any group of ours.
// Needs root.
inline bool startAsNobody(ChildProcess& child, std::vector<std::string> command) {
    command.insert(command.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups"});
    return child.start("/usr/bin/setpriv", command);
}

}  // namespace kestiva::testing
