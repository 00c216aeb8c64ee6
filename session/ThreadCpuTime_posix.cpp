#include "session/ThreadCpuTime.h"

#include <sys/resource.h>

namespace kestiva {

std::chrono::microseconds callingThreadCpu() {
    rusage usage{};
    if (::getrusage(RUSAGE_THREAD, &usage) != 0)
        return {};
    const auto micros = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return micros(usage.ru_utime) + micros(usage.ru_stime);
}

}  // namespace kestiva
