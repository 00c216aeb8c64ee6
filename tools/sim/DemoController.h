#pragma once
// A believable actuator for demonstrations: it runs an endless work cycle (wait for start,
// move out to one of four taught points with a ramped speed profile, press, move home, rest),
// and its registers show what a controller would: position, speed, current, following error,
// temperatures, supply voltage, alarms and warnings, and the I/O bits of each step. The
// addresses are those of the register map in the shipped DataSamplingConfig.ini.

#include <cstdint>

namespace kestiva::sim {

// The actuator's state at one moment.
struct DemoState {
    int32_t position = 0;          // 0.01 mm, 0 at home
    int32_t speed = 0;             // 0.01 mm/s, negative towards home
    int16_t current = 0;           // 0.1 % of the rated motor current
    int16_t deviation = 0;         // 0.01 mm following error
    uint16_t alarm = 0;            // 0 = no alarm
    int8_t driverTemperature = 0;  // degC
    int8_t motorTemperature = 0;   // degC
    uint16_t supplyVoltage = 0;    // 0.1 V
    uint16_t loadFactor = 0;       // %
    int32_t target = 0;            // 0.01 mm
    uint32_t travelMetres = 0;     // lifetime counter
    uint8_t operationMode = 0;     // 1 automatic
    uint8_t alarmHistory = 0;
    uint16_t warning = 0;  // 0 = no warning
    uint16_t inputs = 0;   // D2000 bits
    uint16_t outputs = 0;  // D2100 bits
    uint32_t cycle = 0;    // work cycles completed
};

class DemoController {
public:
    // The strokes of taught points 1 to 4, in 0.01 mm; cycle n moves to point n mod 4 + 1.
    static constexpr int32_t kPointStroke[4] = {15000, 10000, 12500, 7500};
    // How far the press pushes on past the point.
    static constexpr int32_t kPressTravel = 50;

    // When work cycle `cycle` (counted from 0) starts, in seconds after the simulator started.
    static double cycleStart(uint32_t cycle);
    // The state seconds after the simulator started.
    static DemoState stateAt(double seconds);

    // The value of a holding register at that time; 0 for registers the demo does not use.
    uint16_t registerValue(uint16_t address, double seconds) const;
    // True for the registers the demo fills.
    static bool serves(uint16_t address);
};

// The register addresses, as listed in the shipped DataSamplingConfig.ini.
namespace demo {
inline constexpr uint16_t kPositionHigh = 0x1000;  // signed 32-bit, 0.01 mm
inline constexpr uint16_t kPositionLow = 0x1001;
inline constexpr uint16_t kSpeedHigh = 0x1002;  // signed 32-bit, 0.01 mm/s
inline constexpr uint16_t kSpeedLow = 0x1003;
inline constexpr uint16_t kCurrent = 0x1004;    // signed 16-bit, 0.1 %
inline constexpr uint16_t kDeviation = 0x1005;  // signed 16-bit, 0.01 mm
inline constexpr uint16_t kAlarm = 0x1006;
inline constexpr uint16_t kTemperatures = 0x1007;   // high byte driver, low byte motor, degC
inline constexpr uint16_t kSupplyVoltage = 0x1008;  // 0.1 V
inline constexpr uint16_t kLoadFactor = 0x1009;     // %
inline constexpr uint16_t kTargetHigh = 0x100A;     // signed 32-bit, 0.01 mm
inline constexpr uint16_t kTargetLow = 0x100B;
inline constexpr uint16_t kTravelHigh = 0x100C;  // unsigned 32-bit, m
inline constexpr uint16_t kTravelLow = 0x100D;
inline constexpr uint16_t kModeAndHistory = 0x100E;  // high byte mode, low byte alarm count
inline constexpr uint16_t kWarning = 0x100F;
inline constexpr uint16_t kInputs = 0x2000;
inline constexpr uint16_t kOutputs = 0x2100;

// Input bits (PLC to controller).
inline constexpr uint16_t kInStart = 1u << 0;
inline constexpr uint16_t kInHome = 1u << 1;
inline constexpr uint16_t kInServoOn = 1u << 2;
inline constexpr uint16_t kInAlarmReset = 1u << 3;
inline constexpr uint16_t kInPressMode = 1u << 4;
inline constexpr uint16_t kInPointSelectShift = 8;  // bits 8 to 11: point number, binary
inline constexpr uint16_t kInSpeedSelect = 1u << 14;
// Output bits (controller to PLC).
inline constexpr uint16_t kOutReady = 1u << 0;
inline constexpr uint16_t kOutBusy = 1u << 1;
inline constexpr uint16_t kOutInPosition = 1u << 2;
inline constexpr uint16_t kOutHomeComplete = 1u << 3;
inline constexpr uint16_t kOutAlarm = 1u << 4;
inline constexpr uint16_t kOutZone1 = 1u << 5;
inline constexpr uint16_t kOutZone2 = 1u << 6;
inline constexpr uint16_t kOutPressing = 1u << 7;
inline constexpr uint16_t kOutWarning = 1u << 8;
inline constexpr uint16_t kOutServoOn = 1u << 9;
inline constexpr uint16_t kOutPointCompleteShift = 10;  // bits 10 to 13
inline constexpr uint16_t kOutBrakeReleased = 1u << 14;
inline constexpr uint16_t kOutMaintenanceDue = 1u << 15;
}  // namespace demo

}  // namespace kestiva::sim
