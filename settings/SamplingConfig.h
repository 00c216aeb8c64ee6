#pragma once
// What can be recorded: the records read from DataSamplingConfig.ini.

#include <array>
#include <cstdint>
#include <string>

namespace kestiva {

enum MonitorKind : int { kDataMonitor = 0, kIoMonitor = 1 };

constexpr int kColorTableCount = 5;
constexpr int kControllerCount = 5;
constexpr int kItemsPerController = 16;
constexpr int kDataItemCount = 3;  // the data monitor uses items 0 to 2
constexpr int kIoSignalCount = 16;
constexpr int kTraceColorSlots = 16;
constexpr int kListLength = 5;

// Colours are 0x00BBGGRR everywhere in memory; files spell them #RRGGBB.
using Color = uint32_t;

struct ColorTable {
    std::string name;  // empty: the table is absent
    Color backgroundColor = 0;
    Color gridColor = 0;
    uint8_t traceColorCount = 0;
    std::array<Color, kTraceColorSlots> traceColors{};
};

struct DataItem {
    std::string name;
    uint16_t address = 0;
    int32_t typeCode = 0;   // data only: 0..7
    std::string typeName;   // data only: as written
    double scale = 0.0;     // data only
    std::string scaleText;  // data only: as written
    std::string unit;       // data only
    uint8_t bit = 0;        // I/O only: 0..15
    int32_t enabled = 0;    // 1 when the name is non-empty
};

struct ControllerRecord {
    std::string name;  // empty: the record is absent
    uint16_t rangeAddress1 = 0;
    uint8_t rangeLength1 = 0;  // bytes
    uint16_t rangeAddress2 = 0;
    uint8_t rangeLength2 = 0;  // bytes
    int32_t rangeAbsent1 = 0;
    int32_t rangeAbsent2 = 0;
    std::array<DataItem, kItemsPerController> items{};
};

struct SamplingLists {
    uint8_t numCycles = 0;
    std::array<uint16_t, kListLength> cycles{};  // milliseconds
    uint8_t numTimes = 0;
    std::array<uint16_t, kListLength> times{};  // seconds
};

// The three tables of one monitor.
struct MonitorConfig {
    std::array<ColorTable, kColorTableCount> colorTables{};
    std::array<ControllerRecord, kControllerCount> controllers{};
    SamplingLists lists{};
};

// Both monitors' tables, filled once at start-up and read-only afterwards.
struct SamplingConfig {
    std::array<MonitorConfig, 2> monitors{};  // indexed by MonitorKind

    MonitorConfig& data() { return monitors[kDataMonitor]; }
    MonitorConfig& io() { return monitors[kIoMonitor]; }
    const MonitorConfig& data() const { return monitors[kDataMonitor]; }
    const MonitorConfig& io() const { return monitors[kIoMonitor]; }
};

// "<programFolder>System/DataSamplingConfig.ini"; programFolder ends with '/'.
std::string samplingConfigPath(const std::string& programFolder);

// Reads and parses the whole file into config (which starts from empty tables) in six
// stages: data lists, I/O lists, data colour tables, I/O colour tables, data controllers, I/O
// controllers. 0, or -1 at the first stage that yields nothing usable. A controller is taken
// when every register range it writes (an I/O controller may leave one out) parsed completely
// and its named items all parsed; a broken range or a named item whose fields do not parse
// makes its controller absent rather than be recorded with made-up values.
int LoadSamplingConfig(const std::string& path, SamplingConfig& config);

// Disable the bad controller records of one monitor: items outside their ranges, empty or
// over-long ranges (one request reads at most 250 bytes), no enabled item. 0, or -1 when none
// remains.
int ValidateDataControllers(MonitorConfig& data);
int ValidateIoControllers(MonitorConfig& io);

}  // namespace kestiva
