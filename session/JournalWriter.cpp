#include "session/JournalWriter.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "session/ThreadCpuTime.h"
#include "settings/FileCalls.h"

namespace kestiva {

JournalWriter::JournalWriter(const uint8_t* captureBuffer,
                             const std::atomic<uint32_t>& completeBytes)
    : capture_(captureBuffer), completeBytes_(completeBytes) {}

JournalWriter::~JournalWriter() {
    // Only reached without finish when the session goes while a recording runs: the journal
    // stays without an end, as after a crash.
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            abandoned_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
}

bool JournalWriter::create(const std::string& folder, const JournalHeader& header,
                           std::time_t start, std::string& problem) {
    std::string reason;
    if (!file_.create(folder, journalBaseName(start, header.monitor), reason))
        return problem = reason, false;
    if (!file_.append(encodeJournalHeader(header), reason) || !file_.sync(reason)) {
        // A journal without its header (a full disk) keeps nothing: no file is left behind.
        file_.close();
        removeFile(file_.path());
        problem = reason;
        return false;
    }
    return true;
}

void JournalWriter::start() {
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        fail(e.what());
    }
}

void JournalWriter::finish(const JournalEnd& end) {
    {
        const std::lock_guard lock(mutex_);
        if (end_)
            return;
        end_ = end;
    }
    wake_.notify_one();
}

std::optional<std::string> JournalWriter::join() {
    if (thread_.joinable())
        thread_.join();
    return problem_;
}

bool JournalWriter::fail(const std::string& reason) {
    problem_ = reason;
    file_.close();
    return false;
}

bool JournalWriter::appendCompleted() {
    // Acquire: the bytes below the count are those the worker had stored when it published.
    const uint32_t complete = completeBytes_.load(std::memory_order_acquire);
    if (complete <= written_)
        return true;
    std::string reason;
    const std::string_view bytes(reinterpret_cast<const char*>(capture_) + written_,
                                 complete - written_);
    if (!file_.append(bytes, reason) || !file_.sync(reason))
        return fail(reason);
    written_ = complete;
    return true;
}

void JournalWriter::run() {
    bool writing = true;
    std::unique_lock lock(mutex_);
    for (;;) {
        const std::optional<JournalEnd> end = end_;
        if (abandoned_ && !end)
            break;
        lock.unlock();
        if (writing)
            writing = appendCompleted();
        if (end) {
            std::string reason;
            JournalEnd closing = *end;
            closing.goodBytes = std::min(closing.goodBytes, written_);
            if (writing && (!file_.append(encodeJournalEnd(closing, written_), reason) ||
                            !file_.sync(reason)))
                fail(reason);
            break;
        }
        lock.lock();
        wake_.wait_for(lock, kPeriod, [this] { return end_.has_value() || abandoned_; });
    }
    if (lock.owns_lock())
        lock.unlock();
    file_.close();
    threadCpu_ = callingThreadCpu();
}

}  // namespace kestiva
