#pragma once
// A file read byte by byte by the CSV parser, through a buffer that holds a whole recording so
// that a 150,001-line file costs a handful of system calls and is read from the disk cache once.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "settings/FileCalls.h"

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

    // The most bytes held at once, from the next open on (tests make it tiny to cross the
    // buffer's end everywhere).
    void setBufferLimit(std::size_t bytes) { limit_ = bytes < 1 ? 1 : bytes; }

    // Whether reading the file failed. It stays failed until the next open, and every read
    // after the failure finds nothing: the bytes before it are not the whole file, so a reader
    // must not take the end of them for the end of the file.
    bool readFailed() const { return readFailed_; }

    // The call that reads the file at an offset, pread unless replaced (tests make it fail
    // part-way, as a failing disk does).
    using ReadCall = std::function<ssize_t(int fd, void* buffer, std::size_t size, off_t offset)>;
    void setReadCall(ReadCall read) { read_ = std::move(read); }

    // The next byte, or -1 at the end of the file or after a read error.
    int get() {
        if (index_ < length_ || fill())
            return buffer_[index_++];
        return -1;
    }
    // The buffered bytes from the position on, refilled when none are left; size 0 at the end
    // of the file. Valid until the next get, window or seek.
    struct Window {
        const unsigned char* data;
        std::size_t size;
        std::size_t before;  // buffered bytes before data, readable too
    };
    Window window() {
        if (index_ == length_)
            fill();
        return {buffer_.get() + index_, length_ - index_, index_};
    }
    // Moves the position over n bytes of the current window.
    void consume(std::size_t n) { index_ += n; }
    uint64_t position() const { return start_ + index_; }
    void seek(uint64_t position);

private:
    // Reads the bytes that follow the held ones: after them while the buffer has room, in their
    // place when it is full. false at the end of the file or on a read error (the held bytes
    // stay).
    bool fill();

    // A file up to this size is read whole, once, however often the reader goes back to its
    // start; a larger one in pieces of this size.
    static constexpr std::size_t kMaxBufferBytes = 32 * 1024 * 1024;
    int fd_ = -1;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t limit_ = kMaxBufferBytes;
    uint64_t start_ = 0;      // file offset of buffer_[0]
    std::size_t length_ = 0;  // valid bytes in buffer_
    std::size_t index_ = 0;   // next byte in buffer_
    bool readFailed_ = false;
    static ssize_t preadCall(int fd, void* buffer, std::size_t size, off_t offset);
    ReadCall read_ = preadCall;
};

}  // namespace kestiva
