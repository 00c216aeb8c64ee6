#pragma once
// Text for standard output or standard error, written by a thread of its own from a bounded
// queue, so that a reader that stalls (a pipe nobody reads, a terminal held by Ctrl+S) holds
// up that thread only: never the recording, its save or Ctrl+C. What a stalled reader cannot
// take is dropped and counted.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace kestiva::cli {

enum class StandardStream { Output, Error };

// Writes to a standard stream in a way another thread can always end: a write that waits for
// the reader gives up soon after stopping is set (OutputQueue_<platform>.cpp).
class StreamWriter {
public:
    explicit StreamWriter(StandardStream stream);
    ~StreamWriter();
    StreamWriter(const StreamWriter&) = delete;
    StreamWriter& operator=(const StreamWriter&) = delete;

    enum class Result {
        Written,  // all of it
        Stopped,  // stopping was set first; `written` bytes of it went out
        Closed,   // the reader has gone, or the stream cannot be written
    };
    Result write(std::string_view text, const std::atomic<bool>& stopping, std::size_t& written);
    // From another thread once stopping is set: ends a write that waits, where the system does
    // not see stopping by itself.
    void interrupt();
    // After Closed: the system's reason, or empty when the reader has gone (a closed pipe).
    const std::string& failure() const;

private:
    struct Handles;
    Handles* handles_;
};

class OutputQueue {
public:
    // capacity: the texts that may wait; beyond that, text that need not be kept is dropped.
    OutputQueue(StandardStream stream, std::size_t capacity);
    // Ends the writing thread at once (finish with no grace), never later.
    ~OutputQueue();
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    // Queues text for the thread. keep: a message that must not be lost, queued even beyond
    // the capacity (and handed back by finish when it could not be written). False when the
    // text was dropped, or the stream is closed.
    bool write(std::string text, bool keep = false);

    // Gives the reader up to grace to take what is queued, then ends the thread (a write
    // under way included). Returns the kept text that was not written, in order; what need
    // not be kept is counted as dropped.
    std::string finish(std::chrono::milliseconds grace);

    // Texts dropped: the queue was full, or they were still waiting at the end.
    std::size_t dropped() const;
    // Whether the reader has gone (a closed pipe): nothing more is written.
    bool closed() const;
    // Once closed: why, when it was not the reader going (a full disk, say); empty otherwise.
    std::string closedReason() const;

private:
    struct Item {
        std::string text;
        bool keep = false;
    };
    void run();
    // Back into the queue's front: what is left of an item a stop cut short.
    void putBackLocked(const Item& item, std::size_t written);

    StreamWriter writer_;
    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
    std::size_t dropped_ = 0;
    bool closed_ = false;
    bool ending_ = false;  // finish: the thread ends once the queue is empty
    bool done_ = false;    // the thread has ended
    std::atomic<bool> stopping_{false};  // the thread ends now, a write under way included
    std::thread thread_;
};

}  // namespace kestiva::cli
