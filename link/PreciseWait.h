#pragma once
// The recording's sleep before each deadline, as fine as the system's timers allow. The
// platform lives in PreciseWait_<platform>.cpp.

#include <chrono>

namespace kestiva {

class PreciseWait {
public:
    using Clock = std::chrono::steady_clock;

    // Makes the system's timers as fine as it allows while the object lives (a recording).
    PreciseWait();
    ~PreciseWait();
    PreciseWait(const PreciseWait&) = delete;
    PreciseWait& operator=(const PreciseWait&) = delete;

    // How late a sleep here may end beside other work, at most: the stretch before a deadline
    // that is better spun than slept.
    static std::chrono::microseconds lateWakeUp();

    // Sleeps until when, or a little after; returns at once for a moment that has passed.
    // Never a busy wait: the caller spins the last stretch itself.
    void sleepUntil(Clock::time_point when);

private:
#ifdef _WIN32
    void* timer_ = nullptr;  // a waitable timer's HANDLE; null when none could be made
    bool finePeriod_ = false;
#endif
};

}  // namespace kestiva
