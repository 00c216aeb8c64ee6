#include "tools/sim/RegisterMap.h"

#include <fstream>

#include "tools/sim/DeterministicMap.h"

namespace kestiva::sim {

namespace {

std::string trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    auto begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos)
        return {};
    auto end = text.find_last_not_of(blanks);
    return text.substr(begin, end - begin + 1);
}

}  // namespace

bool parseRegisterNumber(const std::string& text, uint32_t limit, uint32_t& value) {
    std::string t = trim(text);
    int base = 10;
    std::size_t start = 0;
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        start = 2;
    }
    if (start >= t.size())
        return false;
    uint64_t result = 0;
    for (std::size_t i = start; i < t.size(); ++i) {
        char c = t[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        result = result * base + static_cast<uint64_t>(digit);
        if (result > limit)
            return false;
    }
    value = static_cast<uint32_t>(result);
    return true;
}

bool parseAddressRange(const std::string& text, AddressRange& range) {
    auto dash = text.find('-');
    if (dash == std::string::npos)
        return false;
    uint32_t first = 0;
    uint32_t last = 0;
    if (!parseRegisterNumber(text.substr(0, dash), 0xFFFF, first) ||
        !parseRegisterNumber(text.substr(dash + 1), 0xFFFF, last) || last < first)
        return false;
    range = {static_cast<uint16_t>(first), static_cast<uint16_t>(last)};
    return true;
}

bool RegisterMap::covers(uint16_t address, uint16_t count) const {
    if (count == 0)
        return false;
    uint32_t end = uint32_t{address} + count - 1;
    if (end > 0xFFFF)
        return false;
    for (const auto& range : ranges) {
        if (address >= range.first && end <= range.last)
            return true;
    }
    return false;
}

uint16_t RegisterMap::value(uint16_t address, uint16_t count, uint32_t readNumber, double seconds) {
    if (auto it = fixed.find(address); it != fixed.end())
        return it->second;
    switch (mode) {
        case RegisterMode::Deterministic:
            return deterministicRegister(address, count);
        case RegisterMode::Counting:
            return countingRegister(address, readNumber);
        case RegisterMode::Demo:
            return demo.registerValue(address, seconds);
    }
    return 0;
}

bool RegisterMap::loadFixedValues(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (auto comment = line.find_first_of("#;"); comment != std::string::npos)
            line.erase(comment);
        if (trim(line).empty())
            continue;
        auto equals = line.find('=');
        uint32_t address = 0;
        if (equals == std::string::npos ||
            !parseRegisterNumber(line.substr(0, equals), 0xFFFF, address)) {
            error = path + ":" + std::to_string(lineNumber) + ": expected ADDRESS = VALUE";
            return false;
        }
        std::string values = line.substr(equals + 1);
        std::size_t start = 0;
        for (;;) {
            auto comma = values.find(',', start);
            std::string field = values.substr(
                start, comma == std::string::npos ? std::string::npos : comma - start);
            uint32_t value = 0;
            if (!parseRegisterNumber(field, 0xFFFF, value) || address > 0xFFFF) {
                error = path + ":" + std::to_string(lineNumber) + ": bad value or address";
                return false;
            }
            fixed[static_cast<uint16_t>(address)] = static_cast<uint16_t>(value);
            ++address;
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
    }
    return true;
}

}  // namespace kestiva::sim
