#include "files/FileBytes.h"

#include <algorithm>
#include <cerrno>

#include "settings/FileCalls.h"

namespace kestiva {

bool FileBytes::open(const std::string& path) {
    close();
    uint64_t size = 0;
    const int fd = openRegularFile(path, size);
    if (fd < 0)
        return false;
    fd_ = fd;
    // One byte more than the file, so that its end is seen without a second read.
    const std::size_t wanted =
        std::min(std::clamp<std::size_t>(std::size_t(size) + 1, 4096, kMaxBufferBytes), limit_);
    if (wanted > capacity_ || wanted < capacity_ / 4) {
        buffer_.reset(new unsigned char[wanted]);
        capacity_ = wanted;
    }
    start_ = 0;
    length_ = 0;
    index_ = 0;
    readFailed_ = false;
    return true;
}

void FileBytes::close() {
    if (fd_ >= 0)
        closeFile(fd_);
    fd_ = -1;
    start_ = 0;
    length_ = 0;
    index_ = 0;
}

void FileBytes::seek(uint64_t position) {
    if (position >= start_ && position <= start_ + length_) {
        index_ = std::size_t(position - start_);
        return;
    }
    start_ = position;
    length_ = 0;
    index_ = 0;
}

ssize_t FileBytes::preadCall(int fd, void* buffer, std::size_t size, off_t offset) {
    return readAt(fd, buffer, size, uint64_t(offset));
}

bool FileBytes::fill() {
    if (fd_ < 0 || readFailed_)
        return false;
    // Room left after the held bytes is filled in place, so that looking for the end of a file
    // held whole keeps it held: going back to its start afterwards reads nothing again.
    if (length_ == capacity_) {
        start_ += length_;
        length_ = 0;
        index_ = 0;
    }
    ssize_t got;
    do {
        got = read_(fd_, buffer_.get() + length_, capacity_ - length_, off_t(start_ + length_));
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        readFailed_ = true;
    if (got <= 0)
        return false;
    length_ += std::size_t(got);
    return true;
}

}  // namespace kestiva
