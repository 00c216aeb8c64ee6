#include "settings/FileCalls.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "settings/Utf8Path.h"

namespace kestiva {

namespace {

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

int openWide(const std::string& path, int flags) {
    // No handle is inherited by a child process, and bytes are never translated.
    return ::_wopen(widePath(path).c_str(), flags | _O_BINARY | _O_NOINHERIT,
                    _S_IREAD | _S_IWRITE);
}

bool isRegular(int fd, uint64_t& size) {
    struct _stat64 st {};
    if (::_fstat64(fd, &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
        return false;
    size = uint64_t(st.st_size);
    return true;
}

std::atomic<unsigned> temporaryCounter{0};

// Windows reports through GetLastError; the callers look at errno, as on every system.
void setErrnoFromLastError() {
    switch (::GetLastError()) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        errno = EEXIST;
        break;
    case ERROR_ACCESS_DENIED:
        errno = EACCES;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        errno = ENOSPC;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        errno = ENOENT;
        break;
    default:
        errno = EIO;
    }
}

}  // namespace

std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxBytes) {
    const int fd = openWide(path, _O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    uint64_t size = 0;
    if (!isRegular(fd, size) || size > maxBytes) {
        ::_close(fd);
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(std::size_t(size));
    char buffer[16384];
    for (;;) {
        const int n = ::_read(fd, buffer, sizeof buffer);
        if (n < 0) {
            ::_close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buffer, std::size_t(n));
        if (bytes.size() > maxBytes) {  // the file grew while we read it
            ::_close(fd);
            return std::nullopt;
        }
    }
    ::_close(fd);
    return bytes;
}

int openRegularFile(const std::string& path, uint64_t& size) {
    const int fd = openWide(path, _O_RDWR);
    if (fd < 0)
        return -1;
    if (!isRegular(fd, size)) {
        ::_close(fd);
        return -1;
    }
    return fd;
}

int createNewFile(const std::string& path) {
    return openWide(path, _O_WRONLY | _O_CREAT | _O_EXCL);
}

ssize_t readAt(int fd, void* buffer, std::size_t size, uint64_t offset) {
    const HANDLE file = handleOf(fd);
    if (file == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return -1;
    }
    // The offset goes with the call, as pread's does; the descriptor's own position is unused.
    OVERLAPPED at{};
    at.Offset = DWORD(offset);
    at.OffsetHigh = DWORD(offset >> 32);
    DWORD got = 0;
    const DWORD wanted = DWORD(std::min<std::size_t>(size, 1u << 30));
    if (!::ReadFile(file, buffer, wanted, &got, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF)
            return 0;
        errno = EIO;
        return -1;
    }
    return ssize_t(got);
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const unsigned chunk = unsigned(std::min<std::size_t>(size, 1u << 30));
        const int done = ::_write(fd, data, chunk);
        if (done <= 0)
            return false;
        data += done;
        size -= std::size_t(done);
    }
    return true;
}

bool syncFile(int fd) {
    const HANDLE file = handleOf(fd);
    if (file == INVALID_HANDLE_VALUE) {
        errno = EBADF;
        return false;
    }
    if (::FlushFileBuffers(file))
        return true;
    setErrnoFromLastError();
    return false;
}

// Windows offers no sync of a folder's names; NTFS keeps them in its own log.
void syncFolder(const std::string&) {}

bool closeFile(int fd) {
    return ::_close(fd) == 0;
}

// Windows' byte-range locks keep others from the bytes they cover, so the mark is one byte far
// beyond any journal's end: readers of the file never meet it, and a closed handle or a
// process's end releases it.
namespace {

constexpr DWORD kMarkOffsetHigh = 0x40000000;

bool lockMark(HANDLE handle, DWORD flags) {
    OVERLAPPED at{};
    at.OffsetHigh = kMarkOffsetHigh;
    return ::LockFileEx(handle, flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

}  // namespace

bool markBeingWritten(int fd) {
    return lockMark(handleOf(fd), LOCKFILE_EXCLUSIVE_LOCK);
}

bool beingWritten(const std::string& path) {
    const HANDLE handle = ::CreateFileW(widePath(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    const bool held = !lockMark(handle, 0);
    if (!held) {
        OVERLAPPED at{};
        at.OffsetHigh = kMarkOffsetHigh;
        ::UnlockFileEx(handle, 0, 1, 0, &at);
    }
    ::CloseHandle(handle);
    return held;
}

bool removeFile(const std::string& path) {
    return ::DeleteFileW(widePath(path).c_str()) != 0;
}

bool moveToNewName(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing name.
    if (::MoveFileExW(widePath(from).c_str(), widePath(to).c_str(), MOVEFILE_WRITE_THROUGH))
        return true;
    setErrnoFromLastError();
    return false;
}

bool replaceFile(const std::string& from, const std::string& to) {
    const std::wstring source = widePath(from);
    const std::wstring target = widePath(to);
    // ReplaceFileW keeps the old file's attributes and security; a new name, or a volume
    // without it, still gets the new bytes whole through the move.
    return ::ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                          nullptr, nullptr) != 0 ||
           ::MoveFileExW(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool replaceFileContents(const std::string& path, std::string_view bytes) {
    const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        return false;

    int fd = -1;
    std::string temp;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = path + "." + std::to_string(processId()) + "-" +
               std::to_string(temporaryCounter.fetch_add(1)) + ".tmp";
        fd = createNewFile(temp);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, bytes.data(), bytes.size()) && syncFile(fd);
    ok = closeFile(fd) && ok;
    ok = ok && replaceFile(temp, path);
    if (!ok)
        removeFile(temp);
    return ok;
}

std::tm localTime(std::time_t when) {
    std::tm local{};
    ::localtime_s(&local, &when);
    return local;
}

long processId() {
    return long(::GetCurrentProcessId());
}

}  // namespace kestiva
