#pragma once
// The simulated controller's holding registers: which addresses exist and what they hold.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/sim/DemoController.h"

namespace kestiva::sim {

enum class RegisterMode { Deterministic, Counting, Demo };

struct AddressRange {
    uint16_t first = 0;
    uint16_t last = 0;
};

class RegisterMap {
public:
    RegisterMode mode = RegisterMode::Deterministic;
    // Addresses a read may touch; anything else is answered with exception 02.
    std::vector<AddressRange> ranges{{0x0000, 0x7FFF}};
    // Values from --map; they win over the mode.
    std::map<uint16_t, uint16_t> fixed;

    // True when every register from address to address + count - 1 lies in one range.
    bool covers(uint16_t address, uint16_t count) const;

    // The value of one register of a read of count registers; readNumber is the number of
    // the read request (counting mode), seconds the time since the simulator started (demo).
    uint16_t value(uint16_t address, uint16_t count, uint32_t readNumber, double seconds);

    // Reads "ADDRESS = VALUE[, VALUE ...]" lines (decimal or 0x hex; the values go to
    // consecutive registers; '#' and ';' start comments) into fixed. False with error set.
    bool loadFixedValues(const std::string& path, std::string& error);

    DemoController demo;
};

// "FIRST-LAST" in decimal or 0x hex.
bool parseAddressRange(const std::string& text, AddressRange& range);
// A 16-bit number in decimal or 0x hex.
bool parseRegisterNumber(const std::string& text, uint32_t limit, uint32_t& value);

}  // namespace kestiva::sim
