#include "link/RealTimeScheduling.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace kestiva {

namespace {

constexpr const char* kBrokerService = "org.freedesktop.RealtimeKit1";
constexpr const char* kBrokerPath = "/org/freedesktop/RealtimeKit1";
// A broker that does not answer within this is taken as absent: the recording is about to
// start and must not wait long for it.
constexpr uint64_t kBrokerTimeoutMicros = 2'000'000;

bool isRealTime(int policy) {
    policy &= ~SCHED_RESET_ON_FORK;
    return policy == SCHED_FIFO || policy == SCHED_RR;
}

// The broker's limits, read from its properties; false when it is not there.
bool readBrokerLimits(sd_bus* bus, int64_t& rtTimeMaxMicros, int32_t& maxPriority) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int result = sd_bus_get_property_trivial(bus, kBrokerService, kBrokerPath, kBrokerService,
                                             "RTTimeUSecMax", &error, 'x', &rtTimeMaxMicros);
    sd_bus_error_free(&error);
    if (result < 0) return false;
    result = sd_bus_get_property_trivial(bus, kBrokerService, kBrokerPath, kBrokerService,
                                         "MaxRealtimePriority", &error, 'i', &maxPriority);
    sd_bus_error_free(&error);
    return result >= 0;
}

// The broker serves only processes that bound how long a real-time thread may run without
// blocking; the limit stays lowered for the process's life, as an unprivileged process cannot
// raise it again.
bool limitRealTimeRunning(int64_t maxMicros) {
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) != 0) return false;
    const auto allowed = rlim_t(maxMicros);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max <= allowed &&
        limit.rlim_cur <= limit.rlim_max)
        return true;
    limit.rlim_cur = allowed;
    limit.rlim_max = allowed;
    return setrlimit(RLIMIT_RTTIME, &limit) == 0;
}

// Asks the desktop's real-time broker on the system bus to make the calling thread real-time.
bool askBroker(int priority) {
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return false;
    sd_bus_set_method_call_timeout(bus, kBrokerTimeoutMicros);
    int64_t rtTimeMaxMicros = 0;
    int32_t maxPriority = 0;
    bool granted = false;
    if (readBrokerLimits(bus, rtTimeMaxMicros, maxPriority) && maxPriority > 0 &&
        limitRealTimeRunning(rtTimeMaxMicros)) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        granted = sd_bus_call_method(bus, kBrokerService, kBrokerPath, kBrokerService,
                                     "MakeThreadRealtime", &error, nullptr, "tu",
                                     uint64_t(gettid()),
                                     uint32_t(std::min(priority, int(maxPriority)))) >= 0;
        sd_bus_error_free(&error);
    }
    sd_bus_flush_close_unref(bus);
    return granted && isRealTime(sched_getscheduler(0));
}

}  // namespace

RealTimeScheduling::RealTimeScheduling(int priority) {
    // The kernel wakes the thread at its timers' expiry rather than up to its slack later.
    oldTimerSlack_ = (unsigned long)prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    oldPolicy_ = sched_getscheduler(0);
    sched_param old{};
    if (oldPolicy_ < 0 || sched_getparam(0, &old) != 0) return;
    oldPriority_ = old.sched_priority;
    if (isRealTime(oldPolicy_)) {  // real time already, from whoever started us
        granted_ = Scheduling::Fifo;
        return;
    }
    sched_param parameters{};
    parameters.sched_priority = priority;
    // Through the thread library, which remembers a thread's scheduling for its readers.
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &parameters) == 0)
        granted_ = Scheduling::Fifo;
    else if (askBroker(priority))
        granted_ = Scheduling::Rtkit;
}

RealTimeScheduling::~RealTimeScheduling() {
    if (granted_ != Scheduling::Normal) {
        // The broker grants real time that children do not inherit; without privileges the
        // thread may drop real time but not that flag.
        const int resetOnFork = sched_getscheduler(0) & SCHED_RESET_ON_FORK;
        sched_param old{};
        old.sched_priority = oldPriority_;
        pthread_setschedparam(pthread_self(), oldPolicy_ | resetOnFork, &old);
    }
    prctl(PR_SET_TIMERSLACK, oldTimerSlack_, 0, 0, 0);
}

}  // namespace kestiva
