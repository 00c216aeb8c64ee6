#include "tools/sim/DemoController.h"

#include <cmath>

namespace kestiva::sim {

namespace {

// Input bits (PLC to controller).
constexpr uint16_t kInStart = 1u << 0;
constexpr uint16_t kInHome = 1u << 1;
constexpr uint16_t kInServoOn = 1u << 2;
constexpr uint16_t kInReset = 1u << 3;
constexpr uint16_t kInPressMode = 1u << 4;
// Output bits (controller to PLC).
constexpr uint16_t kOutReady = 1u << 0;
constexpr uint16_t kOutBusy = 1u << 1;
constexpr uint16_t kOutInPosition = 1u << 2;
constexpr uint16_t kOutHomeEnd = 1u << 3;
constexpr uint16_t kOutAlarm = 1u << 4;
constexpr uint16_t kOutZone1 = 1u << 5;
constexpr uint16_t kOutZone2 = 1u << 6;
constexpr uint16_t kOutPressing = 1u << 7;

// The move profile: 150 mm out at up to 100 mm/s with 400 mm/s² ramps.
constexpr double kStroke = 15000.0;        // 0.01 mm
constexpr double kTopSpeed = 10000.0;      // 0.01 mm/s
constexpr double kAcceleration = 40000.0;  // 0.01 mm/s²
constexpr double kRampTime = kTopSpeed / kAcceleration;
constexpr double kRampDistance = 0.5 * kAcceleration * kRampTime * kRampTime;
constexpr double kPressTravel = 50.0;  // the press creeps half a millimetre
constexpr double kPressSpeed = 50.0;

// The steps of one work cycle, in seconds from the cycle start.
constexpr double kStartPulse = 0.4;
constexpr double kMoveOut = 0.6;
constexpr double kPressEnd = 3.9;
constexpr double kDwellEnd = 4.6;

struct Motion {
    double position;
    double speed;
    double acceleration;
};

// Trapezoidal move over distance, t seconds after it began; at rest before and after.
Motion trapezoid(double distance, double t) {
    const double cruise = (distance - 2 * kRampDistance) / kTopSpeed;
    const double total = 2 * kRampTime + cruise;
    if (t <= 0) return {0, 0, 0};
    if (t < kRampTime) return {0.5 * kAcceleration * t * t, kAcceleration * t, kAcceleration};
    if (t < kRampTime + cruise) return {kRampDistance + kTopSpeed * (t - kRampTime), kTopSpeed, 0};
    if (t < total) {
        double left = total - t;
        return {distance - 0.5 * kAcceleration * left * left, kAcceleration * left,
                -kAcceleration};
    }
    return {distance, 0, 0};
}

double moveDuration(double distance) {
    return 2 * kRampTime + (distance - 2 * kRampDistance) / kTopSpeed;
}

}  // namespace

DemoState DemoController::stateAt(double seconds) {
    if (seconds < 0) seconds = 0;
    DemoState s;
    const auto cycle = static_cast<uint64_t>(seconds / kCycleSeconds);
    const double t = seconds - static_cast<double>(cycle) * kCycleSeconds;
    s.cycleCount = static_cast<uint16_t>(cycle);
    s.inputs = kInServoOn;

    const double outEnd = kMoveOut + moveDuration(kStroke);
    const double pressStart = outEnd;
    const double homeDistance = kStroke + kPressTravel;
    const double homeEnd = kDwellEnd + moveDuration(homeDistance);
    // Every fifth press runs into the force limit and raises an overload alarm, which the
    // PLC clears with a reset pulse at the start of the next cycle.
    const bool overloadCycle = cycle % 5 == 4;
    const bool resetCycle = cycle % 5 == 0 && cycle != 0;

    Motion m{0, 0, 0};
    double load = 0;  // how hard the motor pushes, 0.1 % of rated current
    if (t < kMoveOut) {
        if (t >= kStartPulse) s.inputs |= kInStart;
        if (resetCycle && t < 0.2) s.inputs |= kInReset;
        s.outputs |= kOutReady | kOutHomeEnd | kOutInPosition;
        load = 50;
    } else if (t < outEnd) {
        m = trapezoid(kStroke, t - kMoveOut);
        s.outputs |= kOutReady | kOutBusy;
        load = 250 + m.acceleration / kAcceleration * 550;
    } else if (t < kPressEnd) {
        double pressed = std::fmin((t - pressStart) * kPressSpeed, kPressTravel);
        m = {kStroke + pressed, pressed < kPressTravel ? kPressSpeed : 0, 0};
        s.inputs |= kInPressMode;
        s.outputs |= kOutReady | kOutBusy | kOutPressing;
        // The pushing force builds up as the work piece gives way less and less.
        load = 300 + 400 * (pressed / kPressTravel);
        if (overloadCycle && t > pressStart + 0.8) s.alarm = 0x00E1;
    } else if (t < kDwellEnd) {
        m = {kStroke + kPressTravel, 0, 0};
        s.inputs |= kInPressMode;
        s.outputs |= kOutReady | kOutInPosition;
        load = 200;
        if (overloadCycle) s.alarm = 0x00E1;
    } else if (t < homeEnd) {
        s.inputs |= kInHome;
        Motion back = trapezoid(homeDistance, t - kDwellEnd);
        m = {homeDistance - back.position, -back.speed, -back.acceleration};
        s.outputs |= kOutReady | kOutBusy;
        load = -(250 + back.acceleration / kAcceleration * 550);
        if (overloadCycle) s.alarm = 0x00E1;
    } else {
        s.outputs |= kOutReady | kOutHomeEnd | kOutInPosition;
        load = 50;
        if (overloadCycle) s.alarm = 0x00E1;
    }
    if (s.alarm != 0) {
        s.outputs |= kOutAlarm;
        s.outputs &= static_cast<uint16_t>(~kOutReady);
    }
    // Commutation ripple on the current.
    load += 12 * std::sin(2 * M_PI * 37 * seconds);

    s.position = static_cast<int32_t>(std::lround(m.position));
    s.speed = static_cast<int32_t>(std::lround(m.speed));
    s.current = static_cast<int16_t>(std::lround(load));
    if (s.position > 5000) s.outputs |= kOutZone1;
    if (s.position > 10000) s.outputs |= kOutZone2;
    return s;
}

uint16_t DemoController::registerValue(uint16_t address, double seconds) const {
    const DemoState s = stateAt(seconds);
    auto high = [](int32_t v) { return static_cast<uint16_t>(static_cast<uint32_t>(v) >> 16); };
    auto low = [](int32_t v) { return static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFF); };
    switch (address) {
        case demo::kPositionHigh:
            return high(s.position);
        case demo::kPositionLow:
            return low(s.position);
        case demo::kSpeedHigh:
            return high(s.speed);
        case demo::kSpeedLow:
            return low(s.speed);
        case demo::kCurrent:
            return static_cast<uint16_t>(s.current);
        case demo::kAlarm:
            return s.alarm;
        case demo::kCycleCount:
            return s.cycleCount;
        case demo::kInputs:
            return s.inputs;
        case demo::kOutputs:
            return s.outputs;
        default:
            return 0;
    }
}

}  // namespace kestiva::sim
