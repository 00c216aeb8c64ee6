#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "tools/cli/OutputQueue.h"

namespace kestiva::cli {

namespace {

// How long one wait for the reader lasts before the writer looks at stopping again.
constexpr int kPollMillis = 20;

}  // namespace

// fd: a descriptor of the stream's own that never waits in write(). A pipe or a terminal is
// opened anew as non-blocking: setting the flag on the descriptor the program was given would
// set it for everyone who shares it (the shell, on a terminal). Where that cannot be done, a
// write of at most PIPE_BUF bytes after poll() has said there is room does not wait on a pipe
// either.
struct StreamWriter::Handles {
    int fd = -1;
    bool socket = false;  // written with send(), which need not wait
    // A write may wait: only after poll() has said there is room. A non-blocking one is tried
    // first, as poll() says a pipe is full while its last page still has room for a line.
    bool pollFirst = false;
    std::string failure;  // why the last write was Closed, unless the reader went
};

namespace {

// Closed, with the reason kept unless it is the reader that went.
StreamWriter::Result closedBy(int error, std::string& failure) {
    failure = error == EPIPE ? std::string() : std::string(std::strerror(error));
    return StreamWriter::Result::Closed;
}

}  // namespace

StreamWriter::StreamWriter(StandardStream stream) : handles_(new Handles) {
    const int given = stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO;
    struct stat status {};
    if (fstat(given, &status) != 0)
        return;
    handles_->socket = S_ISSOCK(status.st_mode);
    if (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode))
        handles_->fd = open(("/proc/self/fd/" + std::to_string(given)).c_str(),
                            O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handles_->fd < 0) {
        handles_->fd = fcntl(given, F_DUPFD_CLOEXEC, 0);
        handles_->pollFirst = S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode);
    }
}

StreamWriter::~StreamWriter() {
    if (handles_->fd >= 0)
        close(handles_->fd);
    delete handles_;
}

StreamWriter::Result StreamWriter::write(std::string_view text, const std::atomic<bool>& stopping,
                                         std::size_t& written) {
    written = 0;
    if (handles_->fd < 0)
        return Result::Closed;
    bool waitForRoom = handles_->pollFirst;
    while (written < text.size()) {
        if (stopping)
            return Result::Stopped;
        if (waitForRoom) {
            pollfd ready{handles_->fd, POLLOUT, 0};
            const int polled = poll(&ready, 1, kPollMillis);
            if (polled < 0 && errno != EINTR)
                return closedBy(errno, handles_->failure);
            if (polled <= 0 && handles_->pollFirst)
                continue;
        }
        waitForRoom = true;
        // One line in one piece: a pipe takes up to PIPE_BUF bytes whole or not at all.
        const std::size_t size = std::min<std::size_t>(text.size() - written, PIPE_BUF);
        const ssize_t n =
            handles_->socket
                ? send(handles_->fd, text.data() + written, size, MSG_DONTWAIT | MSG_NOSIGNAL)
                : ::write(handles_->fd, text.data() + written, size);
        if (n > 0) {
            written += std::size_t(n);
            waitForRoom = handles_->pollFirst;
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return closedBy(errno, handles_->failure);
    }
    return Result::Written;
}

// A write here never waits longer than one poll, which looks at stopping.
void StreamWriter::interrupt() {}

const std::string& StreamWriter::failure() const {
    return handles_->failure;
}

}  // namespace kestiva::cli
