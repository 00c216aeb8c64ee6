#pragma once
// kestiva-sim's command line.

#include <optional>
#include <string>
#include <vector>

#include "tools/sim/Slave.h"

namespace kestiva::sim {

enum class NetworkMode { None, ModbusTcp, RtuOverTcp };

struct SimOptions {
    SlaveConfig slave;
    uint32_t bitRate = 38400;
    std::string device;  // serve on this device instead of a new pseudo-terminal
    std::string link;    // a symbolic link to the device, removed on exit
    NetworkMode network = NetworkMode::None;  // serve on the loopback address instead
    uint16_t networkPort = 0;                 // 0: a free port the system picks
    double turnaroundMs = 2.0;
    bool trace = false;
    bool help = false;
};

// Parses the arguments after the program name. nullopt with error set on a bad option.
std::optional<SimOptions> parseOptions(const std::vector<std::string>& args, std::string& error);

// The --help text: every option, the fault schedules and the register formulas.
std::string usageText();

}  // namespace kestiva::sim
