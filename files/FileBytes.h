#pragma once
// A file read one byte at a time by the CSV parser, through a large buffer so that a
// 150,001-line file costs a handful of system calls.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kestiva {

class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes() { close(); }
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // Opens an existing regular file for reading and writing (as the reader always has: a
    // read-only file is refused). false when that fails or the path is no regular file.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // The next byte, or -1 at the end of the file (or on a read error).
    int get() {
        if (index_ < length_) return buffer_[index_++];
        return refill();
    }
    uint64_t position() const { return start_ + index_; }
    void seek(uint64_t position);

private:
    int refill();

    static constexpr std::size_t kBufferBytes = 256 * 1024;
    int fd_ = -1;
    std::unique_ptr<unsigned char[]> buffer_;
    uint64_t start_ = 0;      // file offset of buffer_[0]
    std::size_t length_ = 0;  // valid bytes in buffer_
    std::size_t index_ = 0;   // next byte in buffer_
};

// Writes all of data to fd, retrying short writes and interruptions. false on an error.
bool writeAll(int fd, const char* data, std::size_t size);

}  // namespace kestiva
