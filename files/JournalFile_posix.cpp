// The journal's files on a POSIX system.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "files/FileBytes.h"
#include "files/Journal.h"

namespace kestiva {

namespace {

std::string reason(const std::string& path, int error) {
    return path + ": " + std::strerror(error);
}

}  // namespace

bool JournalFile::create(const std::string& folder, const std::string& baseName,
                         std::string& error) {
    close();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = folder + ": " + ec.message();
        return false;
    }
    for (int n = 1; n < 1000; ++n) {
        const std::string path = folder + baseName + (n > 1 ? "-" + std::to_string(n) : "") +
                                 std::string(kJournalExtension);
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            path_ = path;
            // The new name itself must survive a power cut, not only the bytes behind it.
            if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                dir >= 0) {
                ::fsync(dir);
                ::close(dir);
            }
            return true;
        }
        if (errno != EEXIST) {
            error = reason(path, errno);
            return false;
        }
    }
    error = reason(folder + baseName, EEXIST);
    return false;
}

bool JournalFile::append(std::string_view bytes, std::string& error) {
    if (writeAll(fd_, bytes.data(), bytes.size()))
        return true;
    error = reason(path_, errno);
    return false;
}

bool JournalFile::sync(std::string& error) {
    if (::fdatasync(fd_) == 0)
        return true;
    error = reason(path_, errno);
    return false;
}

void JournalFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::vector<FoundJournal> findJournals(const std::string& folder) {
    std::vector<FoundJournal> found;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= kJournalExtension.size() || !name.ends_with(kJournalExtension))
            continue;
        const std::string path = folder + std::string(name);
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            found.push_back({path, uint64_t(st.st_size), st.st_mtime});
    }
    ::closedir(dir);
    return found;
}

bool fileSize(const std::string& path, uint64_t& bytes) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    bytes = uint64_t(st.st_size);
    return true;
}

bool readFileRange(const std::string& path, uint64_t offset, std::size_t size, std::string& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    out.resize(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out.data() + done, size - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    ::close(fd);
    out.resize(done);
    return true;
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

}  // namespace kestiva
