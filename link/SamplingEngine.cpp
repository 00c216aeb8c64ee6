#include "link/SamplingEngine.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <system_error>

#include "link/ModbusMaster.h"

namespace kestiva {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kFrameOverhead = 5;  // station, function, byte count, CRC low, CRC high
constexpr uint32_t kWarmUpPolls = 4;
constexpr uint32_t kShortCycleSkipped = 6;
// How much longer than a read would have waited for them the last replies of a short-cycle
// recording may take: room for a busy machine, so that late is never taken for missing.
constexpr auto kLateReplyMargin = std::chrono::milliseconds(250);

// The freshly opened line gets this long to settle before the first request.
constexpr auto kFirstCycleDelay = std::chrono::milliseconds(100);
// The last stretch before a deadline is spun rather than slept: as long as a sleep here may
// end late (PreciseWait::lateWakeUp()).
// At real-time priority the wake-up is prompt: the spin covers the largest recent wake-up delay
// and this margin, and never less than the floor.
constexpr auto kWakeUpMargin = std::chrono::microseconds(20);
constexpr auto kShortestSpin = std::chrono::microseconds(30);
// A cycle that starts further than this from its grid slot counts as late.
constexpr auto kLateCycleLimit = std::chrono::milliseconds(1);
// A cycle whose request reaches the line further than this after its slot is reported with
// where its time went.
constexpr auto kStallLimit = std::chrono::milliseconds(10);
// Above ordinary threads, below the kernel's interrupt threads, which feed us the replies.
constexpr int kRecordingPriority = 10;

std::chrono::microseconds micros(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::microseconds>(d);
}

// When the previous cycle's reply had come and when its progress report returned.
struct CycleEnd {
    Clock::time_point replied{};
    Clock::time_point reported{};
};

// Notes where the time went before a cycle's request reached the line, when it was late.
void noteStall(PacingReport& report, uint32_t cycle, Clock::time_point slot,
               const CycleEnd& previous, Clock::time_point start, Clock::time_point queued) {
    if (queued - slot <= kStallLimit) return;
    const auto pastSlot = [&](Clock::time_point t) { return std::max(t, slot); };
    if (report.stallCount < PacingReport::kStallsKept)
        report.stalls[report.stallCount] = {
            cycle,
            micros(queued - slot),
            micros(pastSlot(previous.replied) - slot),
            micros(pastSlot(previous.reported) - pastSlot(previous.replied)),
            micros(start - pastSlot(previous.reported)),
            micros(queued - start),
        };
    report.stallCount += 1;
}

// Notes how far each cycle's start lies from its slot on the grid.
void noteCycleStart(PacingReport& report, std::chrono::microseconds deviation) {
    report.cycles += 1;
    if (deviation > kLateCycleLimit) report.lateCycles += 1;
    report.largestDeviation = std::max(report.largestDeviation, deviation);
}

// Cycles of 83 ms or less decouple sending from receiving: each transaction reads the reply
// of the request sent four cycles earlier.
bool isShortCycle(uint32_t cycle) { return !(cycle * 6 > 500); }

}  // namespace

SamplingEngine::SamplingEngine(ModbusMaster& modbus, const CommunicationSettings& settings,
                               SessionState& session, ProgressHost& progress,
                               MessageHost& messages,
                               const LanguageCatalogue& texts, uint32_t bufferLimit)
    : modbus_(modbus),
      settings_(settings),
      session_(session),
      progress_(progress),
      messages_(messages),
      texts_(texts),
      bufferLimit_(bufferLimit) {}

SamplingEngine::~SamplingEngine() { waitForWorker(); }

void SamplingEngine::waitForWorker() {
    if (worker_.joinable()) worker_.join();
}

bool SamplingEngine::reapWorker() {
    if (workerFinished() && worker_.joinable()) worker_.join();
    return !worker_.joinable();
}

bool SamplingEngine::readyForStart() {
    if (!workerFinished()) return false;
    reapWorker();
    return true;
}

void SamplingEngine::requestStop() {
    SamplingState running = SamplingState::Running;
    samplingState.compare_exchange_strong(running, SamplingState::StopRequested);
}

uint32_t SamplingEngine::requiredCycleMicros(int32_t bitRate, uint16_t firstCount,
                                             uint16_t secondCount) {
    const uint32_t silentMicros = uint32_t(35000000.0 / double(bitRate));
    uint32_t total = 0;
    for (uint32_t count : {uint32_t(firstCount), uint32_t(secondCount)}) {
        if (count == 0) continue;
        // 8 request bytes and count + 5 reply bytes at 10 bits each, 11 ms of turnaround and
        // the 3.5-character silent time.
        total += (count + 13) * 10000000u / uint32_t(bitRate) + 11000 + silentMicros;
    }
    return total;
}

StartResult SamplingEngine::startDataSampling(uint16_t cycle, uint16_t time,
                                              SamplingRequest& request, uint8_t station,
                                              uint16_t address, uint16_t byteCount,
                                              uint8_t* captureBuffer) {
    if (!readyForStart()) return StartResult::Busy;
    if (cycle == 0 || time == 0 || byteCount == 0 || captureBuffer == nullptr ||
        request.portContext == nullptr || byteCount > kMaxRangeBytes)
        return StartResult::BadArgument;
    const uint32_t cycles = uint32_t(time) * 1000 / cycle;
    if (cycles + 1 > kMaxCycles + 1) return StartResult::TooManyCycles;
    if (cycle > uint32_t(time) * 1000) return StartResult::CycleLongerThanTime;

    request.station = station;
    request.cycle = cycle;
    request.time = time;
    request.captureBuffer = captureBuffer;
    request.rangeCount = 1;
    request.firstAddress = address;
    request.firstCount = byteCount;
    request.secondAddress = 0;
    request.secondCount = 0;
    return checkTimingAndStart(request);
}

StartResult SamplingEngine::startIoSampling(uint16_t cycle, uint16_t time, SamplingRequest& request,
                                            uint8_t station, uint16_t inAddress,
                                            uint16_t inByteCount, uint16_t outAddress,
                                            uint16_t outByteCount, uint8_t* captureBuffer) {
    if (!readyForStart()) return StartResult::Busy;
    if (cycle == 0 || time == 0 || inByteCount + outByteCount == 0 || captureBuffer == nullptr ||
        request.portContext == nullptr || inByteCount > kMaxRangeBytes ||
        outByteCount > kMaxRangeBytes)
        return StartResult::BadArgument;
    const uint32_t cycles = uint32_t(time) * 1000 / cycle;
    if (cycles + 1 > kMaxCycles + 1) return StartResult::TooManyCycles;
    if (cycle > uint32_t(time) * 1000) return StartResult::CycleLongerThanTime;

    request.station = station;
    request.cycle = cycle;
    request.time = time;
    request.captureBuffer = captureBuffer;
    request.firstAddress = inByteCount > 0 ? inAddress : 0;
    request.firstCount = inByteCount;
    request.secondAddress = outByteCount > 0 ? outAddress : 0;
    request.secondCount = outByteCount;
    request.rangeCount = uint8_t((inByteCount > 0) + (outByteCount > 0));
    return checkTimingAndStart(request);
}

StartResult SamplingEngine::checkTimingAndStart(SamplingRequest& request) {
    request.station = settings_.verifiedStation.load();
    samplingState = SamplingState::Running;
    // Without a bit rate the line time cannot be known; no cycle is long enough.
    if (settings_.bitRate <= 0) return StartResult::CycleTooShort;
    const uint64_t needed = requiredCycleMicros(settings_.bitRate, request.firstCount,
                                                request.secondCount);
    if (uint64_t(request.cycle) * 1000 < needed) return StartResult::CycleTooShort;
    lineTimeMicros_ = uint32_t(needed);
    pacing_ = {};

    modbus_.link().openSamplingPort(*request.portContext, settings_);
    modbus_.receivedByteTotal = 0;
    storedBytes_ = 0;
    completeBytes_.store(0, std::memory_order_release);
    arrivedBytes_.store(0, std::memory_order_release);
    gridOriginMicros_.store(0, std::memory_order_release);
    requestedBytes_ = 0;
    if (!launchWorker(request)) {
        // No recording without a worker: the port this start opened is closed again.
        modbus_.link().closePort(*request.portContext);
        samplingState = SamplingState::RequestFailed;
        return StartResult::ThreadFailed;
    }
    return StartResult::Ok;
}

bool SamplingEngine::launchWorker(SamplingRequest& request) {
    workerActive_.store(true, std::memory_order_release);
    try {
        if (request.rangeCount == 2)
            worker_ = std::thread(&SamplingEngine::twoPhasePoller, this, &request);
        else
            worker_ = std::thread(&SamplingEngine::onePhasePoller, this, &request);
    } catch (const std::system_error&) {
        workerActive_.store(false, std::memory_order_release);
        return false;
    }
    return true;
}

bool SamplingEngine::storeFrame(SamplingRequest& request, const uint8_t* frame, uint32_t length) {
    if (storedBytes_ + length > bufferLimit_) {
        samplingState = SamplingState::BufferFull;
        return false;
    }
    // Bytes read ahead are in their place already, and a reader may be reading them.
    const uint32_t arrived = arrivedBytes_.load(std::memory_order_relaxed);
    const uint32_t inPlace = arrived > storedBytes_ ? std::min(length, arrived - storedBytes_) : 0;
    std::memcpy(request.captureBuffer + storedBytes_ + inPlace, frame + inPlace, length - inPlace);
    storedBytes_ += length;
    // The only thing a cycle does for readers of the running recording.
    completeBytes_.store(storedBytes_, std::memory_order_release);
    if (storedBytes_ > arrived)
        arrivedBytes_.store(storedBytes_, std::memory_order_release);
    return true;
}

void SamplingEngine::readRepliesAhead() {
    // Only bytes of requests already sent, and no more than the buffer takes: anything else on
    // the line stays there for the check that the replies still line up with the requests.
    const uint32_t taken = storedBytes_ + modbus_.bytesAhead();
    const uint64_t due = std::min<uint64_t>(requestedBytes_, bufferLimit_);
    if (due <= taken)
        return;
    const uint32_t arrived = modbus_.readAhead(uint32_t(due - taken));
    if (arrived > arrivedBytes_.load(std::memory_order_relaxed))
        arrivedBytes_.store(arrived, std::memory_order_release);
}

SamplingEngine::PollPlan SamplingEngine::planPolls(const SamplingRequest& request) {
    const uint32_t cycles = request.time * 1000 / request.cycle;
    pipelined_ = isShortCycle(request.cycle);
    // Every reply read is stored, in order, from the buffer's start: the stream of replies
    // and the stored frames line up byte for byte, so replies can be read ahead into place.
    if (pipelined_)
        modbus_.startReadAhead(std::span(request.captureBuffer, bufferLimit_));
    else
        modbus_.stopReadAhead();
    if (pipelined_) {
        // Four requests go out before the first reply is read; the last two replies stored
        // are neither read on time nor tested.
        modbus_.warmUpCount = 0;
        return {cycles + 6, kShortCycleSkipped};
    }
    modbus_.warmUpCount = kWarmUpPolls;
    return {cycles + 1, 0};
}

template <typename Exchange>
void SamplingEngine::runCycles(SamplingRequest& request, Exchange exchange) {
    const PollPlan plan = planPolls(request);
    const auto cycleLength = std::chrono::milliseconds(request.cycle);
    // After a late cycle the next ones come closer together until they are back on the grid,
    // but never closer than the line needs for their requests.
    const auto shortestGap = std::chrono::microseconds(lineTimeMicros_);
    uint32_t polls = 0;
    {
        const RealTimeScheduling scheduling(kRecordingPriority);
        sleeper_.emplace();
        pacing_.scheduling = scheduling.granted();
        measureWakeUps_ = scheduling.granted() != Scheduling::Normal;
        spinStretch_ = PreciseWait::lateWakeUp();
        largestWakeDelay_ = spinStretch_;
        const Clock::time_point firstSlot = Clock::now() + kFirstCycleDelay;
        gridOriginMicros_.store(
            std::chrono::duration_cast<std::chrono::microseconds>(
                (std::chrono::system_clock::now() + kFirstCycleDelay).time_since_epoch())
                .count(),
            std::memory_order_release);
        CycleEnd previous;
        waitUntil(firstSlot);
        while (samplingState == SamplingState::Running) {
            const auto slot = firstSlot + polls * cycleLength;
            const auto cycleStart = Clock::now();
            noteCycleStart(pacing_, micros(cycleStart - slot));
            cycleRequestQueuedAt_ = {};
            const bool goOn = exchange(cycleStart);
            if (cycleRequestQueuedAt_ != Clock::time_point{})
                noteStall(pacing_, polls, slot, previous, cycleStart, cycleRequestQueuedAt_);
            previous.replied = Clock::now();
            if (!goOn) break;
            if (pipelined_)
                readRepliesAhead();
            session_.progressCount += 1;
            progress_.pumpMessages();
            previous.reported = Clock::now();
            polls += 1;
            if (polls > plan.limit) {
                samplingState = SamplingState::Finished;
                break;
            }
            waitUntil(std::max(firstSlot + polls * cycleLength, cycleStart + shortestGap));
        }
        sleeper_.reset();
    }
    finishRecording(request, polls, plan.skipped);
}

std::optional<std::chrono::system_clock::time_point> SamplingEngine::gridOrigin() const {
    const int64_t micros = gridOriginMicros_.load(std::memory_order_acquire);
    if (micros == 0)
        return std::nullopt;
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::microseconds(micros)));
}

void SamplingEngine::waitUntil(Clock::time_point deadline) {
    const auto wake = deadline - spinStretch_;
    if (Clock::now() < wake) {
        sleeper_->sleepUntil(wake);
        if (measureWakeUps_) {
            // The largest recent delay, forgotten within a few tenths of a second at 20 ms: a
            // spin held long after one slow wake-up costs more than the odd late start it
            // would save.
            largestWakeDelay_ = std::max(Clock::now() - wake,
                                         largestWakeDelay_ - largestWakeDelay_ / 8);
            spinStretch_ = std::clamp<Clock::duration>(largestWakeDelay_ + kWakeUpMargin,
                                                       kShortestSpin, PreciseWait::lateWakeUp());
        }
    }
    while (Clock::now() < deadline) {
    }
}

bool SamplingEngine::readRange(uint16_t count, uint8_t station, uint16_t address,
                               uint8_t* frame) {
    // More bytes than the requests sent ask for: some reply came twice or brought noise, and
    // the queue no longer lines up with the requests.
    if (pipelined_ && arrivedReplyBytes() > int64_t(requestedBytes_)) {
        samplingState = SamplingState::RequestFailed;
        return false;
    }
    requestedBytes_ += count + kFrameOverhead;
    lastRequestAt_ = Clock::now();
    const TransactionResult result =
        modbus_.readHoldingBlock(count, station, address, std::span(frame, 256));
    // The first request of a cycle tells how late the cycle reached the line.
    if (cycleRequestQueuedAt_ == Clock::time_point{} &&
        modbus_.lastRequestQueuedAt() >= lastRequestAt_)
        cycleRequestQueuedAt_ = modbus_.lastRequestQueuedAt();
    if (result.ok()) return true;
    // The controller refused the read: the user learns why before the recording ends.
    if (result.fault == LinkFault::Exception)
        messages_.showMessage(texts_.GetText(text::APP_TITLE),
                            composeExceptionReport(texts_, result.exceptionCode),
                            MessageIcon::Error);
    // A line that is gone took nothing stored with it: unlike a wrong reply, it casts no
    // doubt on the frames before it.
    samplingState = result.fault == LinkFault::PortLost ? SamplingState::PortLost
                                                        : SamplingState::RequestFailed;
    return false;
}

int64_t SamplingEngine::arrivedReplyBytes() {
    const int waiting = modbus_.link().bytesWaiting();
    if (waiting < 0) return -1;
    return int64_t(modbus_.receivedByteTotal.load()) + modbus_.bytesAhead() + waiting;
}

bool SamplingEngine::allRepliesCame(const SamplingRequest& request) {
    if (requestedBytes_ == 0) return true;
    // The last replies get the time they would have had, had they been read: four cycles and
    // the read's own time-out, and a margin on top.
    const uint32_t longest = std::max(request.firstCount, request.secondCount) + kFrameOverhead;
    const auto deadline = lastRequestAt_ + kWarmUpPolls * std::chrono::milliseconds(request.cycle) +
                          kPortReadTimeouts.totalConstant +
                          kPortReadTimeouts.totalPerByte * longest + kLateReplyMargin;
    const auto wanted = int64_t(requestedBytes_);
    int64_t arrived = arrivedReplyBytes();
    while (arrived >= 0 && arrived < wanted && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        arrived = arrivedReplyBytes();
    }
    if (arrived != wanted) return false;
    // Bytes right behind the last reply would belong to no request.
    std::this_thread::sleep_for(2 * kPortReadTimeouts.interval);
    return arrivedReplyBytes() == wanted;
}

bool SamplingEngine::warmingUp() {
    if (modbus_.warmUpCount >= kWarmUpPolls) return false;
    modbus_.warmUpCount += 1;
    return true;
}

void SamplingEngine::onePhasePoller(SamplingRequest* requestPointer) {
    SamplingRequest& request = *requestPointer;
    const bool first = request.firstCount > 0;
    const uint16_t count = first ? request.firstCount : request.secondCount;
    const uint16_t address = first ? request.firstAddress : request.secondAddress;
    const uint8_t station = uint8_t(request.station);
    uint8_t frame[256];
    runCycles(request, [&](Clock::time_point) {
        if (!readRange(count, station, address, frame)) return false;
        if (!warmingUp()) storeFrame(request, frame, count + kFrameOverhead);
        return samplingState != SamplingState::BufferFull;
    });
}

void SamplingEngine::twoPhasePoller(SamplingRequest* requestPointer) {
    SamplingRequest& request = *requestPointer;
    const uint8_t station = uint8_t(request.station);
    // 45 % of the cycle, in 64 bits so that long cycles do not overflow.
    splitDelayUs = uint32_t(uint64_t(request.cycle) * 45000 / 100);
    const auto split = std::chrono::microseconds(splitDelayUs);
    uint8_t frameA[256];
    uint8_t frameB[256];
    runCycles(request, [&](Clock::time_point cycleStart) {
        if (!readRange(request.firstCount, station, request.firstAddress, frameA)) return false;
        waitUntil(cycleStart + split);
        // A stop seen here drops this cycle's first frame.
        if (samplingState != SamplingState::Running) return false;
        if (!readRange(request.secondCount, station, request.secondAddress, frameB)) return false;
        if (!warmingUp() && storeFrame(request, frameA, request.firstCount + kFrameOverhead))
            storeFrame(request, frameB, request.secondCount + kFrameOverhead);
        return samplingState != SamplingState::BufferFull;
    });
}

uint32_t SamplingEngine::checkStoredFrames(const SamplingRequest& request, uint32_t cycles) {
    const uint32_t lengths[2] = {request.firstCount > 0 ? request.firstCount + kFrameOverhead : 0,
                                 request.secondCount > 0 ? request.secondCount + kFrameOverhead
                                                         : 0};
    uint32_t good = 0;
    for (uint32_t cycle = 0; cycle < cycles; ++cycle) {
        for (uint32_t length : lengths) {
            if (length == 0) continue;
            // Frames never tested past what was stored (a stop can leave fewer).
            if (good + length > storedBytes_ ||
                crc16(length, request.captureBuffer + good) != std::array<uint8_t, 2>{0, 0}) {
                samplingState = SamplingState::CrcError;
                return good;
            }
            good += length;
        }
        session_.progressCount += 1;
        progress_.pumpMessages();
    }
    return good;
}

uint32_t SamplingEngine::storedCycles(const SamplingRequest& request) const {
    const uint32_t cycleBytes = (request.firstCount > 0 ? request.firstCount + kFrameOverhead : 0) +
                                (request.secondCount > 0 ? request.secondCount + kFrameOverhead : 0);
    return cycleBytes == 0 ? 0 : storedBytes_ / cycleBytes;
}

void SamplingEngine::finishRecording(SamplingRequest& request, uint32_t polls, uint32_t skipped) {
    const auto endedWell = [this] {
        const SamplingState state = samplingState;
        return state == SamplingState::Finished || state == SamplingState::StopRequested;
    };
    // A missing or cut reply shows only now, when the replies still due have come or not.
    if (pipelined_ && endedWell() && !allRepliesCame(request))
        samplingState = SamplingState::RequestFailed;
    modbus_.link().closePort(*request.portContext);
    uint32_t goodBytes = 0;
    const bool portLost = samplingState == SamplingState::PortLost;
    if ((endedWell() && polls > skipped) || portLost) {
        // After a lost port, the whole cycles stored so far; the replies read ahead behind
        // them were never checked against their requests.
        const uint32_t frames = portLost ? storedCycles(request) : polls - skipped;
        session_.progressTotal = int32_t(frames);
        session_.progressCount = 0;
        session_.setPhase(ProgressPhase::CrcCheck);
        progress_.showProgress();
        progress_.pumpMessages();
        goodBytes = checkStoredFrames(request, frames);
    }
    const SamplingState endState = samplingState;
    if (endState == SamplingState::RequestFailed || endState == SamplingState::BufferFull)
        goodBytes = 0;
    if (request.completion) request.completion(endState, goodBytes);
    workerActive_.store(false, std::memory_order_release);
}

}  // namespace kestiva
