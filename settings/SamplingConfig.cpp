#include "settings/SamplingConfig.h"

#include <optional>
#include <string>
#include <string_view>

#include "settings/NumberText.h"
#include "settings/ProfileFile.h"

namespace kestiva {

namespace {

// Values are read into 260 units with their terminator: a value keeps at most 259 of them.
constexpr std::size_t kValueCapacity = 260;
// One Read Holding Registers request carries at most 125 registers.
constexpr unsigned kMaxRangeBytes = 250;

// Reads values from the configuration held in memory; a missing key and an empty value are
// the same: absent.
class ConfigReader {
public:
    explicit ConfigReader(const ProfileFile& file) : file_(file) {}

    bool read(const std::string& section, const std::string& key, std::string& value) const {
        return file_.getString(section, key, kValueCapacity, value) > 0;
    }

private:
    const ProfileFile& file_;
};

// Splits value into the N fields of an item line. Each field but the last is taken only while
// more fields follow it: a field that ends the line counts as empty and ends the split. The
// last is taken as found; anything after it is ignored.
template <std::size_t N>
void splitChained(FieldSplitter& splitter, const std::string& value,
                  std::array<std::string, N>& fields) {
    std::string field;
    for (std::size_t i = 0; i < N; ++i) {
        const int status = splitter.NextField(i > 0, value, field);
        if (i + 1 < N && status != 0)
            return;  // this one ended the line: it and the rest stay empty
        fields[i] = field;
        if (status != 0)
            return;
    }
}

// One cycle or time list: up to five fields, each parsed on its own. True when any parsed.
bool parseList(FieldSplitter& splitter, const std::string& value,
               std::array<uint16_t, kListLength>& out) {
    bool any = false;
    std::string field;
    for (int i = 0; i < kListLength; ++i) {
        const int status = splitter.NextField(i > 0, value, field);
        if (ParseDecimal16(field, out[static_cast<std::size_t>(i)]) == 0)
            any = true;
        if (status != 0)
            break;
    }
    return any;
}

int loadLists(const ConfigReader& in, FieldSplitter& splitter, const std::string& section,
              SamplingLists& lists) {
    std::string cycles, times;
    if (!in.read(section, "SAMPLING", cycles) || !in.read(section, "TIME", times))
        return -1;
    const bool anyCycle = parseList(splitter, cycles, lists.cycles);
    const bool anyTime = parseList(splitter, times, lists.times);
    lists.numCycles = anyCycle ? kListLength : 0;
    lists.numTimes = anyTime ? kListLength : 0;
    return anyCycle && anyTime ? 0 : -1;
}

// name, background, grid, then trace colours; usedTraces of them must parse.
bool parseColorTable(FieldSplitter& splitter, const std::string& line, int usedTraces,
                     ColorTable& table) {
    std::array<std::string, 3> head;
    std::array<std::string, kTraceColorSlots> traces;
    uint8_t found = 0;
    std::string field;
    int status = 0;
    for (std::size_t i = 0; i < head.size() && status == 0; ++i) {
        status = splitter.NextField(i > 0, line, field);
        if (status == 0)
            head[i] = field;
    }
    for (std::size_t k = 0; status == 0 && k < traces.size(); ++k) {
        status = splitter.NextField(true, line, field);
        traces[k] = field;
        found = static_cast<uint8_t>(k + 1);
    }
    bool ok = ParseColor(head[1], table.backgroundColor) == 0;
    ok = ParseColor(head[2], table.gridColor) == 0 && ok;
    for (int k = 0; k < usedTraces; ++k) {
        const auto slot = static_cast<std::size_t>(k);
        ok = ParseColor(traces[slot], table.traceColors[slot]) == 0 && ok;
    }
    table.traceColorCount = found;
    if (!ok || head[0].empty()) {
        table.name.clear();
        return false;
    }
    table.name = head[0];
    return true;
}

int loadColorTables(const ConfigReader& in, FieldSplitter& splitter, const char* keyPrefix,
                    int usedTraces, std::array<ColorTable, kColorTableCount>& tables) {
    bool any = false;
    std::string line;
    for (int j = 1; j <= kColorTableCount; ++j) {
        if (!in.read("COLOR_SETTING", keyPrefix + std::to_string(j), line))
            continue;
        if (parseColorTable(splitter, line, usedTraces, tables[static_cast<std::size_t>(j - 1)])) {
            any = true;
        }
    }
    return any ? 0 : -1;
}

// Address and byte count of one register range; the count is raised to a whole register.
bool parseRange(const std::string& address, const std::string& length, uint16_t& firstRegister,
                uint8_t& bytes) {
    const bool addressOk = ParseRegisterAddress(address, firstRegister) == 0;
    const bool lengthOk = ParseDecimal8(length, bytes) == 0;
    if (bytes & 1u)
        ++bytes;  // 255 wraps to 0, which validation refuses
    return addressOk && lengthOk;
}

bool rejectController(ControllerRecord& record) {
    record.name.clear();
    return false;
}

bool parseDataController(const ConfigReader& in, FieldSplitter& splitter, int n,
                         ControllerRecord& record) {
    const std::string section = "CTL" + std::to_string(n) + "_DATASAMPLING_SETTING";
    std::string name, address, length;
    in.read(section, "CTL_NAME", name);
    record.rangeAbsent1 = in.read(section, "DATA_ADDRESS", address) ? 0 : 1;
    // name, address, type name, scale, unit
    std::array<std::array<std::string, 5>, kDataItemCount> items;
    if (in.read(section, "DATA_LENGTH", length)) {
        std::string line;
        for (int k = 0; k < kDataItemCount; ++k) {
            if (in.read(section, "DATA" + std::to_string(k + 1), line)) {
                splitChained(splitter, line, items[static_cast<std::size_t>(k)]);
            }
        }
    }

    record.name = name;
    if (record.rangeAbsent1 == 1)
        return rejectController(record);
    const bool rangeOk = parseRange(address, length, record.rangeAddress1, record.rangeLength1);

    bool anyGood = false, anyBroken = false;
    for (int k = 0; k < kDataItemCount; ++k) {
        const auto& text = items[static_cast<std::size_t>(k)];
        DataItem& item = record.items[static_cast<std::size_t>(k)];
        item.name = text[0];
        item.enabled = item.name.empty() ? 0 : 1;
        bool good = ParseRegisterAddress(text[1], item.address) == 0;
        int32_t code = 0;
        if (ParseTypeName(text[2], code) == 0) {
            item.typeCode = code;
            item.typeName = text[2];
        } else {
            good = false;
        }
        if (ParseReal(text[3], item.scale) == 0) {
            item.scaleText = text[3];
        } else {
            good = false;
        }
        item.unit = text[4];
        if (item.enabled == 0)
            continue;
        if (good) {
            anyGood = true;
        } else {
            anyBroken = true;
        }
    }
    // An enabled item whose fields did not parse would be recorded with made-up values (an
    // unknown type as DWORD, say), so it makes the whole controller unusable.
    if (!rangeOk || !anyGood || anyBroken)
        return rejectController(record);
    return true;
}

bool parseIoController(const ConfigReader& in, FieldSplitter& splitter, int n,
                       ControllerRecord& record) {
    const std::string section = "CTL" + std::to_string(n) + "_IOSAMPLING_SETTING";
    std::string name, inAddress, outAddress, inLength, outLength;
    in.read(section, "CTL_NAME", name);
    record.rangeAbsent1 = in.read(section, "IN_DATA_ADDRESS", inAddress) ? 0 : 1;
    record.rangeAbsent2 = in.read(section, "OUT_DATA_ADDRESS", outAddress) ? 0 : 1;
    record.name = name;
    if (record.rangeAbsent1 == 1 && record.rangeAbsent2 == 1)
        return rejectController(record);
    in.read(section, "IN_DATA_LENGTH", inLength);
    in.read(section, "OUT_DATA_LENGTH", outLength);
    // name, address, bit number
    std::array<std::array<std::string, 3>, kIoSignalCount> items;
    std::string line;
    for (int k = 0; k < kIoSignalCount; ++k) {
        if (in.read(section, "DATA" + std::to_string(k + 1), line)) {
            splitChained(splitter, line, items[static_cast<std::size_t>(k)]);
        }
    }

    // Every range that is written must parse completely (at least one is, from the test
    // above). A broken one beside a good one would otherwise be polled at register 0; a range
    // whose address key is missing or empty is simply absent.
    bool rangesOk = true;
    if (record.rangeAbsent1 == 0) {
        rangesOk = parseRange(inAddress, inLength, record.rangeAddress1, record.rangeLength1);
    }
    if (record.rangeAbsent2 == 0) {
        rangesOk = parseRange(outAddress, outLength, record.rangeAddress2, record.rangeLength2) &&
                   rangesOk;
    }

    bool anyGood = false, anyBroken = false;
    for (int k = 0; k < kIoSignalCount; ++k) {
        const auto& text = items[static_cast<std::size_t>(k)];
        DataItem& item = record.items[static_cast<std::size_t>(k)];
        item.name = text[0];
        item.enabled = item.name.empty() ? 0 : 1;
        if (item.enabled == 0)
            continue;
        bool good = ParseRegisterAddress(text[1], item.address) == 0;
        good = ParseBitNumber(text[2], item.bit) == 0 && good;
        if (good) {
            anyGood = true;
        } else {
            anyBroken = true;  // a bad bit number would otherwise show bit 0
        }
    }
    if (!rangesOk || !anyGood || anyBroken)
        return rejectController(record);
    return true;
}

template <typename ParseOne>
int loadControllers(std::array<ControllerRecord, kControllerCount>& records, ParseOne parseOne) {
    bool any = false;
    for (int n = 1; n <= kControllerCount; ++n) {
        if (parseOne(n, records[static_cast<std::size_t>(n - 1)]))
            any = true;
    }
    return any ? 0 : -1;
}

// Registers first .. first + bytes / 2 - 1, in 16-bit arithmetic like the addresses.
bool inRange(uint16_t address, uint16_t first, uint8_t bytes) {
    const auto last = static_cast<uint16_t>(first + bytes / 2 - 1);
    return address >= first && address <= last;
}

}  // namespace

std::string samplingConfigPath(const std::string& programFolder) {
    return programFolder + "System/DataSamplingConfig.ini";
}

int LoadSamplingConfig(const std::string& path, SamplingConfig& config) {
    config = SamplingConfig{};
    const std::optional<ProfileFile> file = ProfileFile::read(path);
    if (!file)
        return -1;
    const ConfigReader in(*file);
    FieldSplitter splitter;

    if (loadLists(in, splitter, "DATA_SAMPLING_SETTING", config.data().lists) != 0)
        return -1;
    if (loadLists(in, splitter, "IO_SAMPLING_SETTING", config.io().lists) != 0)
        return -1;
    if (loadColorTables(in, splitter, "DATA_COLOR_TABLE_", kDataItemCount,
                        config.data().colorTables) != 0) {
        return -1;
    }
    if (loadColorTables(in, splitter, "IO_COLOR_TABLE_", kIoSignalCount, config.io().colorTables) !=
        0) {
        return -1;
    }
    if (loadControllers(config.data().controllers, [&](int n, ControllerRecord& record) {
            return parseDataController(in, splitter, n, record);
        }) != 0) {
        return -1;
    }
    return loadControllers(config.io().controllers, [&](int n, ControllerRecord& record) {
        return parseIoController(in, splitter, n, record);
    });
}

int ValidateDataControllers(MonitorConfig& data) {
    int remaining = 0;
    for (ControllerRecord& record : data.controllers) {
        if (record.rangeAbsent1 == 1)
            continue;
        const uint16_t first = record.rangeAddress1;
        const uint8_t bytes = record.rangeLength1;
        bool bad = record.name.empty() || bytes == 0 || bytes > kMaxRangeBytes;
        bool anyEnabled = false;
        for (int k = 0; k < kDataItemCount; ++k) {
            const DataItem& item = record.items[static_cast<std::size_t>(k)];
            if (item.enabled == 0)
                continue;
            anyEnabled = true;
            if (!isDataTypeCode(item.typeCode) || !inRange(item.address, first, bytes) ||
                !(item.scale > 0.0)) {
                bad = true;
            }
            if (dataTypeRegisterCount(item.typeCode) == 2 &&
                !inRange(static_cast<uint16_t>(item.address + 1), first, bytes)) {
                bad = true;
            }
        }
        if (bad || !anyEnabled) {
            record.name.clear();
            record.rangeAbsent1 = 1;
        } else {
            ++remaining;
        }
    }
    return remaining > 0 ? 0 : -1;
}

int ValidateIoControllers(MonitorConfig& io) {
    int remaining = 0;
    for (ControllerRecord& record : io.controllers) {
        const bool present1 = record.rangeAbsent1 == 0;
        const bool present2 = record.rangeAbsent2 == 0;
        if (!present1 && !present2)
            continue;
        const bool admits1 = present1 && record.rangeLength1 >= 1;
        const bool admits2 = present2 && record.rangeLength2 >= 1;
        bool bad = record.name.empty();
        if ((present1 && record.rangeLength1 == 0 && !admits2) ||
            (present2 && record.rangeLength2 == 0 && !admits1)) {
            bad = true;
        }
        if ((present1 && record.rangeLength1 > kMaxRangeBytes) ||
            (present2 && record.rangeLength2 > kMaxRangeBytes)) {
            bad = true;
        }
        bool anyEnabled = false;
        for (const DataItem& item : record.items) {
            if (item.enabled == 0)
                continue;
            anyEnabled = true;
            const bool inFirst =
                admits1 && inRange(item.address, record.rangeAddress1, record.rangeLength1);
            const bool inSecond =
                admits2 && inRange(item.address, record.rangeAddress2, record.rangeLength2);
            if ((!inFirst && !inSecond) || item.bit >= 16)
                bad = true;
        }
        if (bad || !anyEnabled) {
            record.name.clear();
            record.rangeAbsent1 = 1;
            record.rangeAbsent2 = 1;
        } else {
            ++remaining;
        }
    }
    return remaining > 0 ? 0 : -1;
}

}  // namespace kestiva
