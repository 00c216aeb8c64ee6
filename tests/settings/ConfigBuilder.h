#pragma once
// Builds DataSamplingConfig.ini texts for tests: sections and keys in insertion order.

#include <string>
#include <utility>
#include <vector>

namespace kestiva::test {

class ConfigBuilder {
public:
    ConfigBuilder& set(const std::string& section, const std::string& key,
                       const std::string& value) {
        auto& keys = sectionKeys(section);
        for (auto& entry : keys) {
            if (entry.first == key) {
                entry.second = value;
                return *this;
            }
        }
        keys.emplace_back(key, value);
        return *this;
    }

    ConfigBuilder& remove(const std::string& section, const std::string& key) {
        auto& keys = sectionKeys(section);
        std::erase_if(keys, [&](const auto& entry) { return entry.first == key; });
        return *this;
    }

    ConfigBuilder& removeSection(const std::string& section) {
        std::erase_if(sections_, [&](const auto& s) { return s.first == section; });
        return *this;
    }

    std::string text() const {
        std::string out;
        for (const auto& [section, keys] : sections_) {
            out += "[" + section + "]\r\n";
            for (const auto& [key, value] : keys)
                out += key + "=" + value + "\r\n";
        }
        return out;
    }

private:
    using Keys = std::vector<std::pair<std::string, std::string>>;

    Keys& sectionKeys(const std::string& section) {
        for (auto& s : sections_) {
            if (s.first == section)
                return s.second;
        }
        sections_.emplace_back(section, Keys{});
        return sections_.back().second;
    }

    std::vector<std::pair<std::string, Keys>> sections_;
};

// The smallest file that loads and validates: one data and one I/O controller, one colour
// table each.
inline ConfigBuilder baseConfig() {
    ConfigBuilder b;
    b.set("DATA_SAMPLING_SETTING", "SAMPLING", "100,200,500");
    b.set("DATA_SAMPLING_SETTING", "TIME", "10,60");
    b.set("IO_SAMPLING_SETTING", "SAMPLING", "100,200");
    b.set("IO_SAMPLING_SETTING", "TIME", "10");
    b.set("COLOR_SETTING", "DATA_COLOR_TABLE_1", "Black,#000000,#102030,#FF0000,#00FF00,#0000FF");
    std::string io = "Black,#000000,#102030";
    for (int i = 0; i < 15; ++i)
        io += ",#FFFF00";
    io += ",#0F0F0F";
    b.set("COLOR_SETTING", "IO_COLOR_TABLE_1", io);
    const std::string data = "CTL1_DATASAMPLING_SETTING";
    b.set(data, "CTL_NAME", "Motion");
    b.set(data, "DATA_ADDRESS", "D1000");
    b.set(data, "DATA_LENGTH", "8");
    b.set(data, "DATA1", "Position,D1000,DWORD,0.01,mm");
    b.set(data, "DATA2", "Current,D1002,WORD,0.1,%");
    b.set(data, "DATA3", "Temperature,D1003,MSB,1,degC");
    const std::string signals = "CTL1_IOSAMPLING_SETTING";
    b.set(signals, "CTL_NAME", "Signals");
    b.set(signals, "IN_DATA_ADDRESS", "D2000");
    b.set(signals, "IN_DATA_LENGTH", "2");
    b.set(signals, "OUT_DATA_ADDRESS", "D2100");
    b.set(signals, "OUT_DATA_LENGTH", "2");
    b.set(signals, "DATA1", "Start,D2000,0");
    b.set(signals, "DATA2", "Ready,D2100,15");
    return b;
}

}  // namespace kestiva::test
