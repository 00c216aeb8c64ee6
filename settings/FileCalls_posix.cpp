#include "settings/FileCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kestiva {

namespace {

// The replacement gets the old file's owner and mode. false when the owner cannot be kept (a
// file of another user that we may write): replaced, the file would change hands.
bool keepOwnerAndMode(int fd, const struct stat& old) {
    struct stat now {};
    if (::fstat(fd, &now) != 0)
        return false;
    if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return false;
    // After the owner, which clears the set-id bits.
    return ::fchmod(fd, old.st_mode & 07777) == 0;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxBytes) {
    // O_NONBLOCK so that a FIFO or device named like the file cannot stall the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > maxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > maxBytes) {  // the file grew while we read it
            ::close(fd);
            return std::nullopt;
        }
    }
    ::close(fd);
    return bytes;
}

int openRegularFile(const std::string& path, uint64_t& size) {
    // O_NONBLOCK keeps a FIFO given as the path from blocking the open; it is refused below.
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    size = uint64_t(st.st_size);
    return fd;
}

int createNewFile(const std::string& path) {
    // O_NOFOLLOW: a link of that name, wherever it points, is never written through.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

ssize_t readAt(int fd, void* buffer, std::size_t size, uint64_t offset) {
    return ::pread(fd, buffer, size, off_t(offset));
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (done == 0)
            return false;
        data += done;
        size -= std::size_t(done);
    }
    return true;
}

bool syncFile(int fd) {
    return ::fsync(fd) == 0;
}

void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool closeFile(int fd) {
    return ::close(fd) == 0;
}

// An advisory lock of the whole file: it goes with the descriptor, so that a crash or a kill
// releases it, and a second descriptor of the same file (in this process too) sees it.
bool markBeingWritten(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool beingWritten(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool moveToNewName(const std::string& from, const std::string& to) {
    // link fails on an existing name, where rename would replace it.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

bool replaceFile(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    syncFolder(folderOf(to));
    return true;
}

bool replaceFileContents(const std::string& path, std::string_view bytes) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return false;
    const std::string target(resolved);
    std::free(resolved);
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    // A writable folder would let a rename replace a file that its user keeps read-only.
    if (::access(target.c_str(), W_OK) != 0)
        return false;

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = keepOwnerAndMode(fd, st) && writeAll(fd, bytes.data(), bytes.size()) &&
              ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

std::tm localTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

long processId() {
    return long(::getpid());
}

}  // namespace kestiva
