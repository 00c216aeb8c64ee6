#include "link/RealTimeScheduling.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace kestiva {

namespace {

constexpr const char* kBrokerService = "org.freedesktop.RealtimeKit1";
constexpr const char* kBrokerPath = "/org/freedesktop/RealtimeKit1";
// A broker that does not answer within this is taken as absent: the recording is about to
// start and must not wait long for it. It bounds the whole request, connecting included.
constexpr std::chrono::microseconds kBrokerTimeout = std::chrono::seconds(2);

using Clock = std::chrono::steady_clock;

// Microseconds left until deadline; 0 once it has passed.
uint64_t microsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    return left > 0 ? uint64_t(left) : 0;
}

// Gives the next call on bus what is left of the request's time; false when nothing is left
// (a time-out of 0 would mean the library's own, a minute and a half).
bool limitNextCall(sd_bus* bus, Clock::time_point deadline) {
    const uint64_t left = microsLeft(deadline);
    return left > 0 && sd_bus_set_method_call_timeout(bus, left) >= 0;
}

// Opening the bus only starts connecting; the first call would then wait for the bus's
// greeting as long as the library's authentication time-out, which a bus that accepts but
// never answers (a stopped daemon) runs out in full. Here the wait ends at deadline. True
// once the bus has answered.
bool waitUntilReady(sd_bus* bus, Clock::time_point deadline) {
    for (;;) {
        if (sd_bus_is_ready(bus) > 0) return true;
        const int processed = sd_bus_process(bus, nullptr);
        if (processed < 0) return false;
        if (processed > 0) continue;
        const uint64_t left = microsLeft(deadline);
        if (left == 0 || sd_bus_wait(bus, left) < 0) return false;
    }
}

bool isRealTime(int policy) {
    policy &= ~SCHED_RESET_ON_FORK;
    return policy == SCHED_FIFO || policy == SCHED_RR;
}

// The broker's limits, read from its properties; false when it is not there.
bool readBrokerLimits(sd_bus* bus, Clock::time_point deadline, int64_t& rtTimeMaxMicros,
                      int32_t& maxPriority) {
    if (!limitNextCall(bus, deadline)) return false;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int result = sd_bus_get_property_trivial(bus, kBrokerService, kBrokerPath, kBrokerService,
                                             "RTTimeUSecMax", &error, 'x', &rtTimeMaxMicros);
    sd_bus_error_free(&error);
    if (result < 0 || !limitNextCall(bus, deadline)) return false;
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
// Gives up at kBrokerTimeout, however far it got.
bool askBroker(int priority) {
    const Clock::time_point deadline = Clock::now() + kBrokerTimeout;
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) return false;
    int64_t rtTimeMaxMicros = 0;
    int32_t maxPriority = 0;
    bool granted = false;
    if (waitUntilReady(bus, deadline) &&
        readBrokerLimits(bus, deadline, rtTimeMaxMicros, maxPriority) && maxPriority > 0 &&
        limitRealTimeRunning(rtTimeMaxMicros) && limitNextCall(bus, deadline)) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        granted = sd_bus_call_method(bus, kBrokerService, kBrokerPath, kBrokerService,
                                     "MakeThreadRealtime", &error, nullptr, "tu",
                                     uint64_t(gettid()),
                                     uint32_t(std::min(priority, int(maxPriority)))) >= 0;
        sd_bus_error_free(&error);
    }
    // Not flushed: a flush waits for a bus that never answered as long as a call would, and a
    // call's reply has come, so nothing is left to send.
    sd_bus_close_unref(bus);
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
