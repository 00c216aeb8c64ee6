#pragma once
// The thread that keeps a running recording's journal: about ten times a second it appends
// the reply bytes that have arrived in the capture buffer since its last turn (the engine's
// arrived count, which runs ahead of the complete one at short cycles) and makes them durable; once told of the end, it appends the rest and the end record. It
// only reads the engine's published count (acquire) and the bytes below it; the recording's
// worker is never made to wait for the disk. A write that fails (a full disk, a folder that
// cannot be written) stops the journal, never the recording: the reason is kept for the
// front end.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "files/Journal.h"

namespace kestiva {

class JournalWriter {
public:
    JournalWriter(const uint8_t* captureBuffer, const std::atomic<uint32_t>& completeBytes);
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Creates the journal in folder with the header and makes it durable, before the recording
    // starts (its worker may end, and call finish, at once). false with the reason in problem.
    bool create(const std::string& folder, const JournalHeader& header, std::time_t start,
                std::string& problem);
    // Starts the thread once the engine has started the recording (and so reset its count of
    // complete bytes). A thread that cannot be made is the journal's problem.
    void start();
    // The recording has ended: the thread writes what is left and the end record, then
    // returns. Safe from any thread (the recording worker's completion routine calls it); it
    // never waits for the disk.
    void finish(const JournalEnd& end);
    // Waits for the thread to return (after finish). The reason the journal stopped, if it did.
    std::optional<std::string> join();

    const std::string& path() const { return file_.path(); }
    // After join: the frame bytes the journal holds and the writer thread's CPU time.
    uint64_t frameBytes() const { return written_; }
    std::chrono::microseconds threadCpu() const { return threadCpu_; }

    // How long the thread waits between turns when nothing wakes it.
    static constexpr std::chrono::milliseconds kPeriod{100};

private:
    void run();
    // Appends the bytes completed since the last turn and syncs them; false once it failed.
    bool appendCompleted();
    bool fail(const std::string& reason);

    const uint8_t* capture_;
    const std::atomic<uint32_t>& completeBytes_;
    JournalFile file_;
    uint32_t written_ = 0;  // frame bytes in the file; the thread's own after begin
    std::optional<std::string> problem_;  // written by the thread, read after join

    std::mutex mutex_;  // guards end_ and abandoned_
    std::condition_variable wake_;
    std::optional<JournalEnd> end_;
    bool abandoned_ = false;
    std::chrono::microseconds threadCpu_{0};
    std::thread thread_;
};

}  // namespace kestiva
