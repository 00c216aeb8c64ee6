// The journal's files on the disk, the same on every system: the descriptors come from the
// core's file calls, folders and sizes from std::filesystem, and every path is UTF-8.

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "files/Journal.h"
#include "settings/FileCalls.h"
#include "settings/Utf8Path.h"

namespace kestiva {

namespace {

std::string reason(const std::string& path, int error) {
    return path + ": " + std::strerror(error);
}

std::time_t secondsSinceEpoch(std::filesystem::file_time_type when) {
    return std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            std::chrono::file_clock::to_sys(when)));
}

// Why a folder could not be made: a link that leads nowhere says "File exists" by itself.
std::string folderProblem(const std::string& folder, const std::error_code& failure) {
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    std::error_code ec;
    const std::filesystem::path link = utf8Path(path);
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(link, ec)) &&
        !std::filesystem::exists(link, ec)) {
        const std::filesystem::path target = std::filesystem::read_symlink(link, ec);
        return "a link to " + utf8Text(target) + ", which does not exist";
    }
    return failure.message();
}

}  // namespace

bool JournalFile::create(const std::string& folder, const std::string& baseName,
                         std::string& error) {
    close();
    std::error_code ec;
    std::filesystem::create_directories(utf8Path(folder), ec);
    if (ec) {
        error = folder + ": " + folderProblem(folder, ec);
        return false;
    }
    for (int n = 1; n < 1000; ++n) {
        const std::string path = folder + baseName + (n > 1 ? "-" + std::to_string(n) : "") +
                                 std::string(kJournalExtension);
        fd_ = createNewFile(path);
        if (fd_ >= 0) {
            path_ = path;
            // Best effort: where the system has no such mark, a running recording's journal
            // is told apart from a crashed one by the end record alone.
            markBeingWritten(fd_);
            // The new name itself must survive a power cut, not only the bytes behind it.
            syncFolder(folder);
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
    if (syncFile(fd_))
        return true;
    error = reason(path_, errno);
    return false;
}

void JournalFile::close() {
    if (fd_ >= 0)
        closeFile(fd_);
    fd_ = -1;
}

std::vector<FoundJournal> findJournals(const std::string& folder) {
    std::vector<FoundJournal> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator entry(utf8Path(folder), ec), end;
         !ec && entry != end; entry.increment(ec)) {
        const std::string name = utf8Text(entry->path().filename());
        if (name.size() <= kJournalExtension.size() || !name.ends_with(kJournalExtension))
            continue;
        std::error_code statEc;
        if (!entry->is_regular_file(statEc))
            continue;
        const uint64_t bytes = entry->file_size(statEc);
        const auto modified = entry->last_write_time(statEc);
        if (!statEc)
            found.push_back({folder + name, bytes, secondsSinceEpoch(modified)});
    }
    return found;
}

bool fileSize(const std::string& path, uint64_t& bytes) {
    std::error_code ec;
    const std::filesystem::path file = utf8Path(path);
    if (!std::filesystem::is_regular_file(file, ec))
        return false;
    bytes = std::filesystem::file_size(file, ec);
    return !ec;
}

bool readFileRange(const std::string& path, uint64_t offset, std::size_t size, std::string& out) {
    std::ifstream in(utf8Path(path), std::ios::binary);
    if (!in)
        return false;
    out.resize(size);
    in.seekg(std::streamoff(offset));
    in.read(out.data(), std::streamsize(size));
    out.resize(std::size_t(in.gcount()));
    return true;
}

}  // namespace kestiva
