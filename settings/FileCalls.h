#pragma once
// The file calls whose form differs between systems, behind one face: paths are UTF-8, a file
// is a C library descriptor, bytes go in and out unchanged (no text-mode line ends). One
// implementation per system: FileCalls_<platform>.cpp.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace kestiva {

// A regular file's whole contents, at most maxBytes; nullopt when path is missing, no regular
// file (a folder, a FIFO or a device never stalls the call), larger, or unreadable.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxBytes);

// Opens an existing regular file for reading and writing (a file the user may not write is
// refused, as one the program could not save back). -1 when that fails or path is no
// regular file; size receives the file's size.
int openRegularFile(const std::string& path, uint64_t& size);

// Creates path as a new file for writing. -1 when the name exists in any form (a file, a link
// pointing anywhere, a folder) or the file cannot be made, errno EEXIST for a taken name.
int createNewFile(const std::string& path);

// Up to size bytes from offset, as pread: the count read, 0 at the end, -1 on an error.
ssize_t readAt(int fd, void* buffer, std::size_t size, uint64_t offset);

// Writes all of data to fd, retrying short writes and interruptions. false on an error, its
// reason in errno.
bool writeAll(int fd, const char* data, std::size_t size);

// Makes what was written to fd durable. false on an error, its reason in errno.
bool syncFile(int fd);

// Best effort: makes the names in folder (a new file, a rename) survive a crash, where the
// system lets a folder be synced.
void syncFolder(const std::string& folder);

// Closes fd; false when the close reported a failed write.
bool closeFile(int fd);

// Removes a file (never a folder); false when it was not removed.
bool removeFile(const std::string& path);

// Gives the file at from the name to, only when nothing has that name yet; from keeps its
// name when that fails.
bool moveToNewName(const std::string& from, const std::string& to);

// Gives the file at from the name to, replacing whatever file had that name, and makes the
// change of name durable where the system allows.
bool replaceFile(const std::string& from, const std::string& to);

// Replaces the contents of an existing regular file that this user may write. The new bytes
// go to a temporary file beside it, which then takes its place, so a crash or a full disk
// leaves the old file or the new one, never a mix; the file keeps its owner and permissions.
bool replaceFileContents(const std::string& path, std::string_view bytes);

// Whether a and b name the same existing file, however each is spelled (other folders on the
// way, "..", links).
bool sameFile(const std::string& a, const std::string& b);

// Marks the open file fd as being written by this process until it is closed (the process's
// end, a crash included, releases it). false where the mark could not be made.
bool markBeingWritten(int fd);
// Whether some process, this one included, holds such a mark on the file at path.
bool beingWritten(const std::string& path);

// The local time of when, in the user's time zone.
std::tm localTime(std::time_t when);

// This process's id, for names that must not clash with another copy of the program.
long processId();

}  // namespace kestiva
