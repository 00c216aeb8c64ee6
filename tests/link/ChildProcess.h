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

// Removes what a test leaves outside itself even when the test program dies before its
// destructors run (a crash, an abort, a kill at a time-out): a shell of its own waits for this
// program to end, seen as the end of a pipe only this program holds, and then runs script with
// args as $1, $2, ... The owner that cleaned up itself ends the shell unrun.
class LeftoverSweeper {
public:
    LeftoverSweeper(const char* script, const std::vector<std::string>& args) {
        int link[2];
        // Close-on-exec: a child started later must not hold the pipe open past our end.
        if (pipe2(link, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, link[0], 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        // A group of its own: a signal to the test's group leaves it to clean up.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        const std::string waiting = std::string("read -r _; ") + script;
        std::vector<std::string> all{"sh", "-c", waiting, "sh"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, "/bin/sh", &actions, &attributes, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(link[0]);
        writeEnd_ = link[1];
    }
    ~LeftoverSweeper() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (writeEnd_ >= 0)
            ::close(writeEnd_);
    }
    LeftoverSweeper(const LeftoverSweeper&) = delete;
    LeftoverSweeper& operator=(const LeftoverSweeper&) = delete;

private:
    pid_t pid_ = -1;
    int writeEnd_ = -1;
};

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
        if (stderr_ >= 0)
            ::close(stderr_);
    }

    // Starts program with args (program itself is argv[0]). False when it cannot be started.
    bool start(const std::string& program, const std::vector<std::string>& args) {
        char pattern[] = "/tmp/kestiva-child-XXXXXX";
        // Open but already unlinked, so that nothing is left of it after a crash.
        stderr_ = mkostemp(pattern, O_CLOEXEC);
        if (stderr_ < 0)
            return false;
        ::unlink(pattern);
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, stderr_, 2);
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int result = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        if (result != 0) {
            ::close(out[0]);
            pid_ = -1;
            return false;
        }
        stdout_ = out[0];
        pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
        // Until it is reaped its pid cannot name another process.
        sweeper_.emplace("kill -KILL \"$1\"", std::vector<std::string>{std::to_string(pid_)});
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
        std::string text;
        char buffer[4096];
        ssize_t n = 0;
        while (stderr_ >= 0 && (n = pread(stderr_, buffer, sizeof buffer, off_t(text.size()))) > 0)
            text.append(buffer, std::size_t(n));
        return text;
    }

    pid_t pid() const { return pid_; }

    // Our end of its standard output, for a test that reads it (or leaves it unread) its own
    // way.
    int outputDescriptor() const { return stdout_; }

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
        sweeper_.reset();
        if (pidFd_ >= 0)
            ::close(pidFd_);
        pidFd_ = -1;
    }

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int stdout_ = -1;
    std::string pending_;
    int stderr_ = -1;
    std::optional<int> status_;
    std::optional<LeftoverSweeper> sweeper_;
};

// Starts command (a program and its arguments) as the user nobody, without any group of ours.
// Needs root.
inline bool startAsNobody(ChildProcess& child, std::vector<std::string> command) {
    command.insert(command.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups"});
    return child.start("/usr/bin/setpriv", command);
}

}  // namespace kestiva::testing
