// The recording's sleep on a waitable timer.

#include <windows.h>
#include <timeapi.h>

#include <algorithm>
#include <cstdint>

#include "link/PreciseWait.h"

// Older headers lack it; systems before Windows 10 1803 refuse it, and a plain timer is used.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace kestiva {

PreciseWait::PreciseWait() {
    // The plain timer and the scheduler tick at 1 ms instead of 15.6 ms while recording.
    finePeriod_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                    TIMER_ALL_ACCESS);
    if (timer_ == nullptr)
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
}

PreciseWait::~PreciseWait() {
    if (timer_ != nullptr)
        CloseHandle(static_cast<HANDLE>(timer_));
    if (finePeriod_)
        timeEndPeriod(1);
}

// Timers fire on the system's tick even at its 1 ms period, so a wake-up comes up to a tick and
// a half late; a high-resolution timer mostly sooner, which the recording measures and then
// spins less.
std::chrono::microseconds PreciseWait::lateWakeUp() {
    return std::chrono::microseconds(2000);
}

// Without a timer the caller's spin covers the whole wait, which keeps the pacing right at the
// cost of a core.
void PreciseWait::sleepUntil(Clock::time_point when) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(when - Clock::now());
    if (left.count() <= 0 || timer_ == nullptr)
        return;
    // Negative: relative to now, in 100 ns units.
    LARGE_INTEGER due{};
    due.QuadPart = -std::max<int64_t>(left.count() / 100, 1);
    if (SetWaitableTimer(static_cast<HANDLE>(timer_), &due, 0, nullptr, nullptr, FALSE))
        WaitForSingleObject(static_cast<HANDLE>(timer_), INFINITE);
}

}  // namespace kestiva
