#include "files/ReplacingFile.h"

#include <atomic>
#include <cerrno>

#include "settings/FileCalls.h"

namespace kestiva {

namespace {

std::atomic<unsigned> temporaryCounter{0};

}  // namespace

bool ReplacingFile::createTemporary() {
    const auto slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string()
                                                          : target_.substr(0, slash);
    std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (base.size() > 200)
        base.resize(200);
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = folder + "/." + base + "." + std::to_string(processId()) + "-" +
                     std::to_string(temporaryCounter.fetch_add(1)) + ".tmp";
        fd_ = createNewFile(temporary_);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        temporary_.clear();
        return false;
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
    if (!syncFile(fd_))
        failed_ = true;
    if (!closeFile(fd_))
        failed_ = true;
    fd_ = -1;
    if (!failed_ && !replaceFile(temporary_, target_))
        failed_ = true;
    if (failed_)
        removeFile(temporary_);
    temporary_.clear();
    return !failed_;
}

void ReplacingFile::abandon() {
    if (fd_ >= 0)
        closeFile(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        removeFile(temporary_);
    temporary_.clear();
    used_ = 0;
}

}  // namespace kestiva
