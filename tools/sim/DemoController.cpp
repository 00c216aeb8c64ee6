#include "tools/sim/DemoController.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kestiva::sim {

namespace {

using namespace demo;

constexpr double kPi = std::numbers::pi;

constexpr double kAcceleration = 40000.0;  // 0.01 mm/s²
constexpr double kFastSpeed = 10000.0;     // 0.01 mm/s, points 1 and 3
constexpr double kSlowSpeed = 6000.0;      // points 2 and 4
constexpr double kPressSpeed = 100.0;

// The steps of one work cycle, in seconds from the cycle start. The next cycle starts a short
// rest after the actuator is home, so that busy and in position change at least every few
// seconds: a recording of three seconds always shows them switch.
constexpr double kResetPulseEnd = 0.2;
constexpr double kStartPulse = 0.4;
constexpr double kMoveOut = 0.6;
constexpr double kPressTime = 0.9;
constexpr double kDwellTime = 0.6;
constexpr double kRestAtHome = 0.4;
// Every fifth press runs into the force limit: first a warning, then an overload alarm that
// the PLC clears with a reset pulse at the start of the next cycle.
constexpr double kWarningAfter = 0.3;
constexpr double kAlarmAfter = 0.6;
constexpr uint16_t kOverloadWarning = 0x0A10;
constexpr uint16_t kOverloadAlarm = 0x00E1;
constexpr uint16_t kMotorHotWarning = 0x0B01;

constexpr uint32_t kTravelAtDelivery = 12840;  // m
constexpr uint32_t kMaintenanceAt = 12850;     // m

struct Motion {
    double position;
    double speed;
    double acceleration;
};

// A trapezoidal (or, for short moves, triangular) profile over distance, t seconds after it
// began; at rest before and after.
struct Profile {
    double distance;
    double rampTime;
    double peak;
    double cruiseTime;

    Profile(double d, double topSpeed) : distance(d) {
        rampTime = std::min(topSpeed / kAcceleration, std::sqrt(d / kAcceleration));
        peak = kAcceleration * rampTime;
        cruiseTime = (d - peak * rampTime) / peak;
    }
    double duration() const { return 2 * rampTime + cruiseTime; }

    Motion at(double t) const {
        if (t <= 0)
            return {0, 0, 0};
        if (t < rampTime)
            return {0.5 * kAcceleration * t * t, kAcceleration * t, kAcceleration};
        const double rampDistance = 0.5 * peak * rampTime;
        if (t < rampTime + cruiseTime)
            return {rampDistance + peak * (t - rampTime), peak, 0};
        if (t < duration()) {
            double left = duration() - t;
            return {distance - 0.5 * kAcceleration * left * left, kAcceleration * left,
                    -kAcceleration};
        }
        return {distance, 0, 0};
    }
};

int32_t strokeOf(uint32_t cycle) {
    return DemoController::kPointStroke[cycle % 4];
}
bool fastPoint(uint32_t cycle) {
    return cycle % 2 == 0;
}

// When each step of a work cycle ends, in seconds from the cycle start.
struct CycleSteps {
    int32_t stroke;
    double topSpeed;
    Profile out;
    Profile home;
    double outEnd;
    double pressEnd;
    double dwellEnd;
    double homeEnd;
    double end;

    explicit CycleSteps(uint32_t cycle)
        : stroke(strokeOf(cycle)),
          topSpeed(fastPoint(cycle) ? kFastSpeed : kSlowSpeed),
          out(stroke, topSpeed),
          home(stroke + DemoController::kPressTravel, topSpeed),
          outEnd(kMoveOut + out.duration()),
          pressEnd(outEnd + kPressTime),
          dwellEnd(pressEnd + kDwellTime),
          homeEnd(dwellEnd + home.duration()),
          end(homeEnd + kRestAtHome) {}
};

// One round visits the four points; every round takes the same time.
double roundSeconds() {
    double total = 0;
    for (uint32_t k = 0; k < 4; ++k)
        total += CycleSteps(k).end;
    return total;
}

// Metres travelled in the cycles before this one (out and back, with the press).
uint32_t travelBefore(uint32_t cycle) {
    double perRound = 0;
    for (int32_t s : DemoController::kPointStroke)
        perRound += 2.0 * s + 2 * DemoController::kPressTravel;
    double total = (cycle / 4) * perRound;
    for (uint32_t k = cycle - cycle % 4; k < cycle; ++k)
        total += 2.0 * strokeOf(k) + 2 * DemoController::kPressTravel;
    return kTravelAtDelivery + static_cast<uint32_t>(total / 100000.0);
}

}  // namespace

double DemoController::cycleStart(uint32_t cycle) {
    double start = (cycle / 4) * roundSeconds();
    for (uint32_t k = cycle - cycle % 4; k < cycle; ++k)
        start += CycleSteps(k).end;
    return start;
}

DemoState DemoController::stateAt(double seconds) {
    if (seconds < 0)
        seconds = 0;
    DemoState s;
    auto cycle = static_cast<uint32_t>(seconds / roundSeconds()) * 4;
    while (cycleStart(cycle + 1) <= seconds)
        ++cycle;
    const double t = seconds - cycleStart(cycle);
    s.cycle = cycle;

    const CycleSteps steps(cycle);
    const int32_t stroke = steps.stroke;
    const uint16_t point = static_cast<uint16_t>(cycle % 4 + 1);
    const Profile& out = steps.out;
    const Profile& home = steps.home;
    const double outEnd = steps.outEnd;
    const double pressEnd = steps.pressEnd;
    const double dwellEnd = steps.dwellEnd;
    const double homeEnd = steps.homeEnd;
    const bool overloadCycle = cycle % 5 == 4;

    s.inputs = kInServoOn;
    s.outputs = kOutServoOn | kOutBrakeReleased;
    if (fastPoint(cycle))
        s.inputs |= kInSpeedSelect;
    if (t >= kResetPulseEnd && t < outEnd)
        s.inputs |= static_cast<uint16_t>(point << kInPointSelectShift);

    Motion m{0, 0, 0};
    double load = 0;  // 0.1 % of rated current
    if (t < kMoveOut) {
        if (t >= kStartPulse)
            s.inputs |= kInStart;
        if (cycle % 5 == 0 && cycle != 0 && t < kResetPulseEnd)
            s.inputs |= kInAlarmReset;
        s.outputs |= kOutReady | kOutHomeComplete | kOutInPosition;
        load = 40;
    } else if (t < outEnd) {
        m = out.at(t - kMoveOut);
        s.target = stroke;
        s.outputs |= kOutReady | kOutBusy;
        load = 250 + m.acceleration / kAcceleration * 550;
    } else if (t < pressEnd) {
        double pressed = std::min((t - outEnd) * kPressSpeed, static_cast<double>(kPressTravel));
        m = {stroke + pressed, pressed < kPressTravel ? kPressSpeed : 0, 0};
        s.target = stroke + kPressTravel;
        s.inputs |= kInPressMode;
        s.outputs |= kOutReady | kOutBusy | kOutPressing;
        // The pushing force builds up as the work piece gives way less and less.
        load = 300 + 400 * (pressed / kPressTravel);
        if (overloadCycle) {
            load += 250 * std::min(1.0, (t - outEnd) / kAlarmAfter);
            if (t >= outEnd + kAlarmAfter)
                s.alarm = kOverloadAlarm;
            else if (t >= outEnd + kWarningAfter)
                s.warning = kOverloadWarning;
        }
    } else if (t < dwellEnd) {
        m = {static_cast<double>(stroke + kPressTravel), 0, 0};
        s.target = stroke + kPressTravel;
        s.inputs |= kInPressMode;
        s.outputs |= kOutReady | kOutInPosition;
        s.outputs |= static_cast<uint16_t>(point << kOutPointCompleteShift);
        load = 200;
    } else if (t < homeEnd) {
        s.inputs |= kInHome;
        Motion back = home.at(t - dwellEnd);
        m = {stroke + kPressTravel - back.position, -back.speed, -back.acceleration};
        s.outputs |= kOutReady | kOutBusy;
        load = -250 - back.acceleration / kAcceleration * 550;
    } else {
        s.outputs |= kOutReady | kOutHomeComplete | kOutInPosition;
        load = 40;
    }
    if (overloadCycle && t >= outEnd + kAlarmAfter)
        s.alarm = kOverloadAlarm;
    // Commutation ripple on the current, and a following error from speed and acceleration.
    load += 12 * std::sin(2 * kPi * 37 * seconds);
    s.deviation = static_cast<int16_t>(
        std::lround(m.speed / 500 + m.acceleration / 4000 + std::sin(2 * kPi * 23 * seconds)));

    s.position = static_cast<int32_t>(std::lround(m.position));
    s.speed = static_cast<int32_t>(std::lround(m.speed));
    s.current = static_cast<int16_t>(std::lround(load));
    s.loadFactor = static_cast<uint16_t>(std::abs(s.current) / 10);
    s.supplyVoltage = static_cast<uint16_t>(
        std::lround(240 - std::abs(load) / 80 + 0.6 * std::sin(2 * kPi * 0.7 * seconds)));
    // Both warm up towards their running temperature over the first half hour.
    s.driverTemperature =
        static_cast<int8_t>(std::lround(31 + 14 * (1 - std::exp(-seconds / 900))));
    s.motorTemperature =
        static_cast<int8_t>(std::lround(27 + 22 * (1 - std::exp(-seconds / 1200))));
    if (s.warning == 0 && s.motorTemperature >= 45)
        s.warning = kMotorHotWarning;

    s.travelMetres = travelBefore(cycle);
    s.operationMode = 1;
    s.alarmHistory =
        static_cast<uint8_t>(std::min<uint32_t>(255, 2 + cycle / 5 + (s.alarm ? 1 : 0)));

    if (s.position > 5000)
        s.outputs |= kOutZone1;
    if (s.position > 10000)
        s.outputs |= kOutZone2;
    if (s.warning != 0)
        s.outputs |= kOutWarning;
    if (s.travelMetres >= kMaintenanceAt)
        s.outputs |= kOutMaintenanceDue;
    if (s.alarm != 0) {
        s.outputs |= kOutAlarm;
        s.outputs &= static_cast<uint16_t>(~kOutReady);
    }
    return s;
}

bool DemoController::serves(uint16_t address) {
    return (address >= kPositionHigh && address <= kWarning) || address == kInputs ||
           address == kOutputs;
}

uint16_t DemoController::registerValue(uint16_t address, double seconds) const {
    if (!serves(address))
        return 0;
    const DemoState s = stateAt(seconds);
    auto high = [](int64_t v) { return static_cast<uint16_t>(static_cast<uint32_t>(v) >> 16); };
    auto low = [](int64_t v) { return static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFF); };
    switch (address) {
        case kPositionHigh:
            return high(s.position);
        case kPositionLow:
            return low(s.position);
        case kSpeedHigh:
            return high(s.speed);
        case kSpeedLow:
            return low(s.speed);
        case kCurrent:
            return static_cast<uint16_t>(s.current);
        case kDeviation:
            return static_cast<uint16_t>(s.deviation);
        case kAlarm:
            return s.alarm;
        case kTemperatures:
            return static_cast<uint16_t>((static_cast<uint8_t>(s.driverTemperature) << 8) |
                                         static_cast<uint8_t>(s.motorTemperature));
        case kSupplyVoltage:
            return s.supplyVoltage;
        case kLoadFactor:
            return s.loadFactor;
        case kTargetHigh:
            return high(s.target);
        case kTargetLow:
            return low(s.target);
        case kTravelHigh:
            return high(s.travelMetres);
        case kTravelLow:
            return low(s.travelMetres);
        case kModeAndHistory:
            return static_cast<uint16_t>((s.operationMode << 8) | s.alarmHistory);
        case kWarning:
            return s.warning;
        case kInputs:
            return s.inputs;
        case kOutputs:
            return s.outputs;
        default:
            return 0;
    }
}

}  // namespace kestiva::sim
