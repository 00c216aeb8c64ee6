#pragma once
// Writes a file that replaces its target only once all of it is on the disk: the bytes go to
// a temporary file in the target's folder, which is renamed over the target at the end. A
// full disk or an I/O error therefore never costs the file that was there before.

#include <cstddef>
#include <string>
#include <string_view>

namespace kestiva {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { abandon(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file. false when the target could not be written: its folder is
    // missing or not writable, or the target is a folder or a file without write permission.
    bool open(const std::string& target);

    // Buffered; the first write error sticks and makes commit fail.
    void append(std::string_view bytes) {
        buffer_.append(bytes);
        if (buffer_.size() >= kFlushBytes) flush();
    }

    // Flushes, syncs and closes the temporary file and renames it over the target. false on
    // any error, in which case the temporary file is removed and the target is untouched.
    bool commit();
    // Removes the temporary file of an uncommitted write.
    void abandon();

private:
    void flush();

    static constexpr std::size_t kFlushBytes = 64 * 1024;
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    std::string buffer_;
    bool failed_ = false;
};

}  // namespace kestiva
