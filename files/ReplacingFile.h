#pragma once
// Writes a file that replaces its target only once all of it is on the disk: the bytes go to
// a temporary file in the target's folder, which is renamed over the target at the end. A
// full disk or an I/O error therefore never costs the file that was there before.

#include <cstddef>
#include <cstring>
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
        std::memcpy(space(bytes.size()), bytes.data(), bytes.size());
        advance(bytes.size());
    }
    // Room for n bytes after the buffered ones, to be filled and then kept with advance.
    char* space(std::size_t n) {
        if (used_ + n > buffer_.size()) {
            flush();
            if (n > buffer_.size())
                buffer_.resize(n);
        }
        return buffer_.data() + used_;
    }
    void advance(std::size_t n) { used_ += n; }

    // Flushes, syncs and closes the temporary file and renames it over the target. false on
    // any error, in which case the temporary file is removed and the target is untouched.
    bool commit();
    // Removes the temporary file of an uncommitted write.
    void abandon();

private:
    void flush();
    // Creates a new temporary file beside target_ and points fd_ and temporary_ at it; false
    // when none could be made.
    bool createTemporary();

    static constexpr std::size_t kFlushBytes = 64 * 1024;
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    std::string buffer_;  // its size is the capacity; used_ bytes are waiting
    std::size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace kestiva
