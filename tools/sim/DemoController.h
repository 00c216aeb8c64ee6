#pragma once
// A believable actuator for demonstrations: it runs an endless work cycle (wait for start,
// move out with a ramped speed profile, press, move home), and its registers show position,
// speed, motor current, an alarm word and the I/O bits that go with each step.

#include <cstdint>

namespace kestiva::sim {

// The actuator's state at one moment.
struct DemoState {
    int32_t position = 0;   // 0.01 mm
    int32_t speed = 0;      // 0.01 mm/s, signed: negative while returning home
    int16_t current = 0;    // 0.1 % of the rated motor current
    uint16_t alarm = 0;     // alarm code; 0 when all is well
    uint16_t inputs = 0;    // PLC to controller, bit numbers as in DemoController.cpp
    uint16_t outputs = 0;   // controller to PLC
    uint16_t cycleCount = 0;
};

class DemoController {
public:
    static constexpr double kCycleSeconds = 8.0;

    // The state seconds after the simulator started.
    static DemoState stateAt(double seconds);

    // The value of a holding register at that time; 0 for registers the demo does not use.
    uint16_t registerValue(uint16_t address, double seconds) const;
};

// The register addresses of the demo map (they match the shipped DataSamplingConfig.ini).
namespace demo {
inline constexpr uint16_t kPositionHigh = 0x9000;  // DWORD, 0.01 mm
inline constexpr uint16_t kPositionLow = 0x9001;
inline constexpr uint16_t kSpeedHigh = 0x9002;     // DWORD, 0.01 mm/s
inline constexpr uint16_t kSpeedLow = 0x9003;
inline constexpr uint16_t kCurrent = 0x9004;       // WORD, 0.1 %
inline constexpr uint16_t kAlarm = 0x9005;         // UWORD
inline constexpr uint16_t kCycleCount = 0x9006;    // UWORD
inline constexpr uint16_t kInputs = 0x9800;        // 16 input bits
inline constexpr uint16_t kOutputs = 0x9801;       // 16 output bits
}  // namespace demo

}  // namespace kestiva::sim
