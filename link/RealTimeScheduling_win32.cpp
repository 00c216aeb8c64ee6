#include "link/RealTimeScheduling.h"

#include <windows.h>

namespace kestiva {

// Windows has no real-time class for an ordinary user: the thread gets the highest priority
// the normal classes allow, which is enough to run ahead of the desktop's own work. The
// priority is the thread's own, so nothing is asked of a broker and the argument is unused.
RealTimeScheduling::RealTimeScheduling(int) {
    const HANDLE thread = ::GetCurrentThread();
    oldPriority_ = ::GetThreadPriority(thread);
    if (oldPriority_ == THREAD_PRIORITY_ERROR_RETURN)
        return;
    if (oldPriority_ == THREAD_PRIORITY_TIME_CRITICAL ||
        ::SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL))
        granted_ = Scheduling::TimeCritical;
}

RealTimeScheduling::~RealTimeScheduling() {
    if (granted_ != Scheduling::Normal)
        ::SetThreadPriority(::GetCurrentThread(), oldPriority_);
}

}  // namespace kestiva
