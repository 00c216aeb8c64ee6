// The recording's sleep on the monotonic clock.

#include <time.h>

#include <cerrno>
#include <cstdint>

#include "link/PreciseWait.h"

namespace kestiva {

// The thread's timer slack is what limits the wake-up here; RealTimeScheduling sets it.
PreciseWait::PreciseWait() = default;
PreciseWait::~PreciseWait() = default;

// At normal priority the scheduler wakes a sleeper up to a few hundred microseconds late beside
// other work; spinning this long is a few percent of a core at the shortest cycle.
std::chrono::microseconds PreciseWait::lateWakeUp() {
    return std::chrono::microseconds(500);
}

// An absolute time, so that a sleep interrupted by a signal or started late still ends on time.
void PreciseWait::sleepUntil(Clock::time_point when) {
    timespec wake{};
    clock_gettime(CLOCK_MONOTONIC, &wake);
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(when - Clock::now());
    const int64_t nanoseconds = wake.tv_nsec + left.count();
    wake.tv_sec += time_t(nanoseconds / 1'000'000'000);
    wake.tv_nsec = long(nanoseconds % 1'000'000'000);
    if (wake.tv_nsec < 0) {
        wake.tv_sec -= 1;
        wake.tv_nsec += 1'000'000'000;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
}

}  // namespace kestiva
