#include "tools/cli/OutputQueue.h"

namespace kestiva::cli {

namespace {

// How often a stop looks again whether the thread has ended (and interrupts it once more,
// for a write that began after the last interruption).
constexpr std::chrono::milliseconds kStopCheck(20);

}  // namespace

OutputQueue::OutputQueue(StandardStream stream, std::size_t capacity)
    : writer_(stream), capacity_(capacity), thread_([this] { run(); }) {}

OutputQueue::~OutputQueue() {
    finish(std::chrono::milliseconds(0));
}

bool OutputQueue::write(std::string text, bool keep) {
    {
        std::lock_guard lock(mutex_);
        if (closed_ || done_)
            return false;
        if (!keep && queue_.size() >= capacity_) {
            ++dropped_;
            return false;
        }
        queue_.push_back({std::move(text), keep});
    }
    changed_.notify_all();
    return true;
}

std::string OutputQueue::finish(std::chrono::milliseconds grace) {
    std::unique_lock lock(mutex_);
    if (thread_.joinable()) {
        ending_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, grace, [this] { return done_; });
        stopping_ = true;
        changed_.notify_all();
        while (!done_) {
            writer_.interrupt();
            changed_.wait_for(lock, kStopCheck, [this] { return done_; });
        }
        lock.unlock();
        thread_.join();
        lock.lock();
    }
    std::string kept;
    for (const Item& item : queue_) {
        if (item.keep)
            kept += item.text;
        else if (!closed_)
            ++dropped_;
    }
    queue_.clear();
    return kept;
}

std::size_t OutputQueue::dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

bool OutputQueue::closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

std::string OutputQueue::closedReason() const {
    std::lock_guard lock(mutex_);
    return closed_ ? writer_.failure() : std::string();
}

void OutputQueue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || ending_ || !queue_.empty(); });
        if (stopping_ || closed_ || queue_.empty())
            break;
        const Item item = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        std::size_t written = 0;
        const StreamWriter::Result result = writer_.write(item.text, stopping_, written);
        lock.lock();
        if (result == StreamWriter::Result::Closed)
            closed_ = true;
        else if (result == StreamWriter::Result::Stopped)
            putBackLocked(item, written);
    }
    done_ = true;
    changed_.notify_all();
}

void OutputQueue::putBackLocked(const Item& item, std::size_t written) {
    if (item.keep)
        queue_.push_front({item.text.substr(written), true});
    else
        ++dropped_;  // a line cut short is as lost as one never written
}

}  // namespace kestiva::cli
