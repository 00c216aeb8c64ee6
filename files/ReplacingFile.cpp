#include "files/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "files/FileBytes.h"

namespace kestiva {

namespace {

std::atomic<unsigned> temporaryCounter{0};

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Best effort: makes the rename itself survive a crash.
void syncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool ReplacingFile::open(const std::string& target) {
    abandon();
    if (target.empty() || target.back() == '/')
        return false;
    target_ = target;

    // A symbolic link keeps pointing at the file it named: the file behind it is replaced.
    struct stat st;
    bool exists = ::lstat(target.c_str(), &st) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            target_ = resolved;
            std::free(resolved);
        }
        exists = ::stat(target_.c_str(), &st) == 0;
    }
    // Only what could have been opened for writing in place may be replaced.
    if (exists && (!S_ISREG(st.st_mode) || ::access(target_.c_str(), W_OK) != 0))
        return false;

    const std::string folder = folderOf(target_);
    std::string base = baseOf(target_);
    if (base.size() > 200)
        base.resize(200);
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = folder + "/." + base + "." + std::to_string(::getpid()) + "-" +
                     std::to_string(temporaryCounter.fetch_add(1)) + ".tmp";
        // 0666 before the umask, as a plainly created file would get.
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        temporary_.clear();
        return false;
    }
    if (exists) {
        // The replacement keeps the permissions and, where allowed, the owner of the old file.
        [[maybe_unused]] const int owned = ::fchown(fd_, st.st_uid, st.st_gid);
        [[maybe_unused]] const int moded = ::fchmod(fd_, st.st_mode & 07777);
    }
    buffer_.assign(kFlushBytes, '\0');
    used_ = 0;
    failed_ = false;
    return true;
}

void ReplacingFile::flush() {
    if (!failed_ && used_ > 0 && !writeAll(fd_, buffer_.data(), used_))
        failed_ = true;
    used_ = 0;
}

bool ReplacingFile::commit() {
    if (fd_ < 0)
        return false;
    flush();
    if (::fsync(fd_) != 0)
        failed_ = true;
    if (::close(fd_) != 0)
        failed_ = true;
    fd_ = -1;
    if (!failed_ && ::rename(temporary_.c_str(), target_.c_str()) != 0)
        failed_ = true;
    if (failed_) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    temporary_.clear();
    syncFolder(folderOf(target_));
    return true;
}

void ReplacingFile::abandon() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    used_ = 0;
}

}  // namespace kestiva
