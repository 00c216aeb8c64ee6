#pragma once
// Real-time scheduling for the thread that records, and the finest timer the system gives it.

namespace kestiva {

// What the recording thread got.
enum class Scheduling {
    Normal,  // ordinary time-sharing: the system refused real time
    Fifo,    // real time on the process's own right (root, or RLIMIT_RTPRIO)
    Rtkit,   // real time granted by the desktop's real-time broker
    TimeCritical,  // Windows: the highest priority of the normal classes
};

// "normal", "fifo", "rtkit" or "time-critical": the words the companion command prints.
const char* schedulingName(Scheduling scheduling);

// Raises the calling thread to real time at priority while the object lives: on its own right
// when it has one, else through the system bus's real-time broker. Where neither works the
// thread keeps its scheduling, silently. The thread's timers fire as precisely as the system
// allows while it lives. The old scheduling and timer precision come back when it goes.
class RealTimeScheduling {
public:
    explicit RealTimeScheduling(int priority);
    ~RealTimeScheduling();
    RealTimeScheduling(const RealTimeScheduling&) = delete;
    RealTimeScheduling& operator=(const RealTimeScheduling&) = delete;

    Scheduling granted() const { return granted_; }

private:
    Scheduling granted_ = Scheduling::Normal;
    int oldPolicy_ = 0;
    int oldPriority_ = 0;
    unsigned long oldTimerSlack_ = 0;
};

}  // namespace kestiva
