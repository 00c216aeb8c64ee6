#include "session/ThreadCpuTime.h"

#include <windows.h>

#include <cstdint>

namespace kestiva {

std::chrono::microseconds callingThreadCpu() {
    FILETIME created, exited, kernel, user;
    if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user))
        return {};
    // A FILETIME counts 100-nanosecond steps.
    const auto steps = [](const FILETIME& t) {
        return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return std::chrono::microseconds((steps(kernel) + steps(user)) / 10);
}

}  // namespace kestiva
