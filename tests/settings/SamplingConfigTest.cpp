#include "settings/SamplingConfig.h"

#include <gtest/gtest.h>

#include <ostream>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "settings/ConfigBuilder.h"
#include "settings/NumberText.h"
#include "settings/ProgramFolder.h"
#include "settings/TempFolder.h"

namespace kestiva {
namespace {

using test::ConfigBuilder;
using test::TempFolder;
using test::writeFile;

constexpr const char* kData1 = "CTL1_DATASAMPLING_SETTING";
constexpr const char* kData2 = "CTL2_DATASAMPLING_SETTING";
constexpr const char* kIo1 = "CTL1_IOSAMPLING_SETTING";
constexpr const char* kIo2 = "CTL2_IOSAMPLING_SETTING";

int load(const ConfigBuilder& builder, SamplingConfig& config) {
    TempFolder dir;
    const std::string path = samplingConfigPath(dir.path());
    writeFile(path, builder.text());
    return LoadSamplingConfig(path, config);
}

TEST(SamplingConfig, BaseFileLoadsEveryField) {
    SamplingConfig config;
    ASSERT_EQ(load(test::baseConfig(), config), 0);

    const SamplingLists& lists = config.data().lists;
    EXPECT_EQ(lists.numCycles, 5);
    EXPECT_EQ(lists.cycles, (std::array<uint16_t, 5>{100, 200, 500, 0, 0}));
    EXPECT_EQ(lists.numTimes, 5);
    EXPECT_EQ(lists.times, (std::array<uint16_t, 5>{10, 60, 0, 0, 0}));

    const ColorTable& table = config.data().colorTables[0];
    EXPECT_EQ(table.name, "Black");
    EXPECT_EQ(table.backgroundColor, 0x000000u);
    EXPECT_EQ(table.gridColor, 0x302010u);
    EXPECT_EQ(table.traceColorCount, 3);
    EXPECT_EQ(table.traceColors[0], 0x0000FFu);
    EXPECT_EQ(table.traceColors[2], 0xFF0000u);
    EXPECT_EQ(table.traceColors[3], 0u);
    EXPECT_EQ(config.io().colorTables[0].traceColorCount, 16);
    EXPECT_EQ(config.io().colorTables[0].traceColors[15], 0x0F0F0Fu);
    EXPECT_EQ(config.data().colorTables[1].name, "");

    const ControllerRecord& data = config.data().controllers[0];
    EXPECT_EQ(data.name, "Motion");
    EXPECT_EQ(data.rangeAddress1, 0x1000);
    EXPECT_EQ(data.rangeLength1, 8);
    EXPECT_EQ(data.rangeAbsent1, 0);
    EXPECT_EQ(data.rangeAbsent2, 0);
    const DataItem& position = data.items[0];
    EXPECT_EQ(position.name, "Position");
    EXPECT_EQ(position.address, 0x1000);
    EXPECT_EQ(position.typeCode, kTypeDword);
    EXPECT_EQ(position.typeName, "DWORD");
    EXPECT_DOUBLE_EQ(position.scale, 0.01);
    EXPECT_EQ(position.scaleText, "0.01");
    EXPECT_EQ(position.unit, "mm");
    EXPECT_EQ(position.enabled, 1);
    EXPECT_EQ(data.items[2].typeCode, kTypeMsb);
    EXPECT_EQ(data.items[3].enabled, 0);

    const ControllerRecord& io = config.io().controllers[0];
    EXPECT_EQ(io.name, "Signals");
    EXPECT_EQ(io.rangeAddress1, 0x2000);
    EXPECT_EQ(io.rangeLength1, 2);
    EXPECT_EQ(io.rangeAddress2, 0x2100);
    EXPECT_EQ(io.rangeLength2, 2);
    EXPECT_EQ(io.items[1].name, "Ready");
    EXPECT_EQ(io.items[1].address, 0x2100);
    EXPECT_EQ(io.items[1].bit, 15);
    EXPECT_EQ(io.items[2].enabled, 0);
    EXPECT_EQ(config.io().controllers[1].name, "");

    EXPECT_EQ(ValidateDataControllers(config.data()), 0);
    EXPECT_EQ(ValidateIoControllers(config.io()), 0);
    EXPECT_EQ(config.data().controllers[0].name, "Motion");
    EXPECT_EQ(config.io().controllers[0].name, "Signals");
}

// Each stage fails the load when it yields nothing usable.
struct StageCase {
    const char* name;
    std::function<void(ConfigBuilder&)> change;
};
// Test lists name the case; GoogleTest would otherwise dump the struct's bytes.
void PrintTo(const StageCase& c, std::ostream* os) {
    *os << c.name;
}

class SamplingConfigStage : public testing::TestWithParam<StageCase> {};

TEST_P(SamplingConfigStage, FailsTheLoad) {
    ConfigBuilder builder = test::baseConfig();
    GetParam().change(builder);
    SamplingConfig config;
    EXPECT_EQ(load(builder, config), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SamplingConfigStage,
    testing::Values(
        StageCase{"DataCyclesMissing",
                  [](ConfigBuilder& b) { b.remove("DATA_SAMPLING_SETTING", "SAMPLING"); }},
        StageCase{"DataTimesEmpty",
                  [](ConfigBuilder& b) { b.set("DATA_SAMPLING_SETTING", "TIME", ""); }},
        StageCase{"NoDataCycleParses",
                  [](ConfigBuilder& b) { b.set("DATA_SAMPLING_SETTING", "SAMPLING", "a, 1,"); }},
        StageCase{"IoTimesMissing",
                  [](ConfigBuilder& b) { b.remove("IO_SAMPLING_SETTING", "TIME"); }},
        StageCase{"NoIoTimeParses",
                  [](ConfigBuilder& b) { b.set("IO_SAMPLING_SETTING", "TIME", "99999999999"); }},
        StageCase{"NoDataColorTable",
                  [](ConfigBuilder& b) {
                      b.set("COLOR_SETTING", "DATA_COLOR_TABLE_1", "Black,#000000,#102030");
                  }},
        StageCase{"NoIoColorTable",
                  [](ConfigBuilder& b) { b.remove("COLOR_SETTING", "IO_COLOR_TABLE_1"); }},
        StageCase{"NoDataController", [](ConfigBuilder& b) { b.remove(kData1, "DATA_LENGTH"); }},
        StageCase{"NoIoController", [](ConfigBuilder& b) { b.removeSection(kIo1); }},
        StageCase{"EmptyFile", [](ConfigBuilder& b) { b = ConfigBuilder(); }}),
    [](const testing::TestParamInfo<StageCase>& p) { return std::string(p.param.name); });

TEST(SamplingConfig, MissingFileFails) {
    TempFolder dir;
    SamplingConfig config;
    EXPECT_EQ(LoadSamplingConfig(samplingConfigPath(dir.path()), config), -1);
}

TEST(SamplingConfig, ListFieldsParseOneByOne) {
    ConfigBuilder builder = test::baseConfig();
    builder.set("DATA_SAMPLING_SETTING", "SAMPLING", "x,20,99999999999, 5,7,9,11");
    builder.set("DATA_SAMPLING_SETTING", "TIME", "0,,3000,");
    SamplingConfig config;
    ASSERT_EQ(load(builder, config), 0);
    const SamplingLists& lists = config.data().lists;
    // A field too large for 32 bits leaves 65535; the sixth field is ignored.
    EXPECT_EQ(lists.cycles, (std::array<uint16_t, 5>{0, 20, 65535, 0, 7}));
    EXPECT_EQ(lists.numCycles, 5);
    EXPECT_EQ(lists.times, (std::array<uint16_t, 5>{0, 0, 3000, 0, 0}));
    EXPECT_EQ(lists.numTimes, 5);
}

struct ColorCase {
    const char* name;
    const char* key;
    std::string line;
    bool present;
    uint8_t count;
};
// Test lists name the case; GoogleTest would otherwise dump the struct's bytes.
void PrintTo(const ColorCase& c, std::ostream* os) {
    *os << c.name;
}

class ColorTableLine : public testing::TestWithParam<ColorCase> {};

TEST_P(ColorTableLine, DecidesPresence) {
    const ColorCase& c = GetParam();
    ConfigBuilder builder = test::baseConfig();
    builder.set("COLOR_SETTING", c.key, c.line);
    SamplingConfig config;
    ASSERT_EQ(load(builder, config), 0);
    const bool io = std::string(c.key).rfind("IO_", 0) == 0;
    const char last = c.key[std::string(c.key).size() - 1];
    const ColorTable& table =
        (io ? config.io() : config.data()).colorTables[static_cast<std::size_t>(last - '1')];
    EXPECT_EQ(!table.name.empty(), c.present);
    EXPECT_EQ(table.traceColorCount, c.count);
}

std::string colors(int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += ",#0000" + std::to_string(10 + i);
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColorTableLine,
    testing::Values(
        ColorCase{"SixFields", "DATA_COLOR_TABLE_2", "T,#FFFFFF,#808080" + colors(3), true, 3},
        ColorCase{"FiveFields", "DATA_COLOR_TABLE_2", "T,#FFFFFF,#808080" + colors(2), false, 2},
        ColorCase{"ThreeFields", "DATA_COLOR_TABLE_2", "T,#FFFFFF,#808080", false, 0},
        ColorCase{"TrailingComma", "DATA_COLOR_TABLE_2", "T,#FFFFFF,#808080" + colors(3) + ",",
                  true, 3},
        ColorCase{"ExtraTracesIgnored", "DATA_COLOR_TABLE_5", "T,#FFFFFF,#808080" + colors(20),
                  true, 16},
        ColorCase{"BadGrid", "DATA_COLOR_TABLE_2", "T,#FFFFFF,808080" + colors(3), false, 3},
        ColorCase{"BadUnusedTraceIgnored", "DATA_COLOR_TABLE_2",
                  "T,#FFFFFF,#808080" + colors(3) + ",junk", true, 4},
        ColorCase{"EmptyName", "DATA_COLOR_TABLE_2", ",#FFFFFF,#808080" + colors(3), false, 3},
        ColorCase{"SpaceInColor", "DATA_COLOR_TABLE_2", "T,#FFFFFF, #808080" + colors(3), false, 3},
        ColorCase{"IoSixteen", "IO_COLOR_TABLE_3", "T,#FFFFFF,#808080" + colors(16), true, 16},
        ColorCase{"IoFifteen", "IO_COLOR_TABLE_3", "T,#FFFFFF,#808080" + colors(15), false, 15}),
    [](const testing::TestParamInfo<ColorCase>& p) { return std::string(p.param.name); });

// Data controller 1 is changed; controller 2 stays good so that the file always loads.
struct DataCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> set;  // value "-" removes the key
    bool parsed;                                           // name still set after the load
    bool validated;                                        // name still set after validation
};
// Test lists name the case; GoogleTest would otherwise dump the struct's bytes.
void PrintTo(const DataCase& c, std::ostream* os) {
    *os << c.name;
}

class DataController : public testing::TestWithParam<DataCase> {};

TEST_P(DataController, ParseAndValidation) {
    const DataCase& c = GetParam();
    ConfigBuilder builder = test::baseConfig();
    builder.set(kData2, "CTL_NAME", "Spare");
    builder.set(kData2, "DATA_ADDRESS", "D3000");
    builder.set(kData2, "DATA_LENGTH", "2");
    builder.set(kData2, "DATA1", "Spare,D3000,WORD,1,u");
    for (const auto& [key, value] : c.set) {
        if (value == "-") {
            builder.remove(kData1, key);
        } else {
            builder.set(kData1, key, value);
        }
    }
    SamplingConfig config;
    ASSERT_EQ(load(builder, config), 0);
    EXPECT_EQ(!config.data().controllers[0].name.empty(), c.parsed);
    ASSERT_EQ(ValidateDataControllers(config.data()), 0);
    const ControllerRecord& record = config.data().controllers[0];
    EXPECT_EQ(!record.name.empty(), c.validated);
    if (!c.validated) {
        EXPECT_EQ(record.rangeAbsent1, 1);
    }
    EXPECT_EQ(config.data().controllers[1].name, "Spare");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataController,
    testing::Values(
        DataCase{"Base", {}, true, true},
        DataCase{"OddLengthRoundsUp", {{"DATA_LENGTH", "7"}}, true, true},
        DataCase{"Length255WrapsToZero", {{"DATA_LENGTH", "255"}}, true, false},
        DataCase{"Length300ReadsAs44",
                 {{"DATA_LENGTH", "300"}, {"DATA3", "T,D1015,WORD,1,u"}},
                 true,
                 true},
        DataCase{"LengthAboveOneRequest", {{"DATA_LENGTH", "252"}}, true, false},
        DataCase{"AddressMissing", {{"DATA_ADDRESS", "-"}}, false, false},
        DataCase{"AddressMalformed", {{"DATA_ADDRESS", "D100"}}, false, false},
        DataCase{"LengthMissing", {{"DATA_LENGTH", "-"}}, false, false},
        DataCase{"ItemWithoutUnitLosesScale", {{"DATA2", "Current,D1002,WORD,0.1"}}, false, false},
        DataCase{"DwordOnLastRegister", {{"DATA3", "T,D1003,DWORD,1,u"}}, true, false},
        DataCase{"WordOnLastRegister", {{"DATA3", "T,D1003,WORD,1,u"}}, true, true},
        DataCase{"ItemBeforeRange", {{"DATA3", "T,D0FFF,WORD,1,u"}}, true, false},
        DataCase{"ZeroScale", {{"DATA3", "T,D1003,WORD,0,u"}}, true, false},
        DataCase{"UnknownType", {{"DATA3", "T,D1003,FLOAT,1,u"}}, false, false},
        DataCase{"NoItemNamed",
                 {{"DATA1", ",D1000,DWORD,1,u"}, {"DATA2", "-"}, {"DATA3", "-"}},
                 false,
                 false},
        DataCase{"OneItemEnough", {{"DATA1", "-"}, {"DATA3", "-"}}, true, true},
        DataCase{"EmptyName", {{"CTL_NAME", "-"}}, false, false},
        DataCase{"LowerCaseAddress", {{"DATA_ADDRESS", "d1000"}}, true, true}),
    [](const testing::TestParamInfo<DataCase>& p) { return std::string(p.param.name); });

TEST(SamplingConfig, DataItemFieldsAsWritten) {
    ConfigBuilder builder = test::baseConfig();
    builder.set(kData1, "DATA_LENGTH", "7");
    builder.set(kData1, "DATA2", "Speed,d1002,UWORD,1.,mm/s,ignored");
    SamplingConfig config;
    ASSERT_EQ(load(builder, config), 0);
    const ControllerRecord& record = config.data().controllers[0];
    EXPECT_EQ(record.rangeLength1, 8);
    const DataItem& item = record.items[1];
    EXPECT_EQ(item.address, 0x1002);
    EXPECT_EQ(item.typeCode, kTypeUword);
    EXPECT_EQ(item.scaleText, "1.");
    EXPECT_DOUBLE_EQ(item.scale, 1.0);
    EXPECT_EQ(item.unit, "mm/s");
}

struct IoCase {
    const char* name;
    std::vector<std::pair<std::string, std::string>> set;  // value "-" removes the key
    bool parsed;
    bool validated;
};
// Test lists name the case; GoogleTest would otherwise dump the struct's bytes.
void PrintTo(const IoCase& c, std::ostream* os) {
    *os << c.name;
}

class IoController : public testing::TestWithParam<IoCase> {};

TEST_P(IoController, ParseAndValidation) {
    const IoCase& c = GetParam();
    ConfigBuilder builder = test::baseConfig();
    builder.set(kIo2, "CTL_NAME", "Spare");
    builder.set(kIo2, "IN_DATA_ADDRESS", "D3000");
    builder.set(kIo2, "IN_DATA_LENGTH", "2");
    builder.set(kIo2, "DATA1", "Spare,D3000,0");
    for (const auto& [key, value] : c.set) {
        if (value == "-") {
            builder.remove(kIo1, key);
        } else {
            builder.set(kIo1, key, value);
        }
    }
    SamplingConfig config;
    ASSERT_EQ(load(builder, config), 0);
    EXPECT_EQ(!config.io().controllers[0].name.empty(), c.parsed);
    ASSERT_EQ(ValidateIoControllers(config.io()), 0);
    const ControllerRecord& record = config.io().controllers[0];
    EXPECT_EQ(!record.name.empty(), c.validated);
    if (!c.validated) {
        EXPECT_EQ(record.rangeAbsent1, 1);
        EXPECT_EQ(record.rangeAbsent2, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IoController,
    testing::Values(
        IoCase{"Base", {}, true, true},
        IoCase{"OutRangeOnly",
               {{"IN_DATA_ADDRESS", "-"}, {"IN_DATA_LENGTH", "-"}, {"DATA1", "Busy,D2100,1"}},
               true,
               true},
        IoCase{"OutRangeOnlyItemOutside",
               {{"IN_DATA_ADDRESS", "-"}, {"IN_DATA_LENGTH", "-"}},
               true,
               false},
        IoCase{"InRangeOnly", {{"OUT_DATA_ADDRESS", "-"}, {"DATA2", "Busy,D2000,9"}}, true, true},
        IoCase{"NoRange", {{"IN_DATA_ADDRESS", "-"}, {"OUT_DATA_ADDRESS", "-"}}, false, false},
        IoCase{"BrokenInAndNoOut",
               {{"IN_DATA_ADDRESS", "X2000"}, {"OUT_DATA_ADDRESS", "-"}, {"DATA2", "-"}},
               false,
               false},
        IoCase{"BrokenOutAndNoIn",
               {{"IN_DATA_ADDRESS", "-"}, {"OUT_DATA_LENGTH", "two"}},
               false,
               false},
        // A broken range beside a good one is refused, not polled at register 0; only a range
        // whose address is missing or empty is absent.
        IoCase{"BrokenOutAddressBesideIn",
               {{"OUT_DATA_ADDRESS", "X2100"}, {"DATA2", "-"}},
               false,
               false},
        IoCase{
            "BrokenOutLengthBesideIn", {{"OUT_DATA_LENGTH", "two"}, {"DATA2", "-"}}, false, false},
        IoCase{
            "OutLengthMissingBesideIn", {{"OUT_DATA_LENGTH", "-"}, {"DATA2", "-"}}, false, false},
        IoCase{"BrokenInAddressBesideOut",
               {{"IN_DATA_ADDRESS", "D20"}, {"DATA1", "Busy,D2100,1"}},
               false,
               false},
        IoCase{"EmptyOutAddressIsAbsent", {{"OUT_DATA_ADDRESS", ""}, {"DATA2", "-"}}, true, true},
        IoCase{"OutLengthZeroBesideIn",
               {{"OUT_DATA_LENGTH", "0"}, {"DATA2", "Busy,D2000,9"}},
               true,
               true},
        IoCase{"OutLengthZeroAlone",
               {{"IN_DATA_ADDRESS", "-"}, {"OUT_DATA_LENGTH", "0"}, {"DATA1", "-"}},
               true,
               false},
        IoCase{"OddLength", {{"OUT_DATA_LENGTH", "3"}, {"DATA2", "Busy,D2101,0"}}, true, true},
        IoCase{"BitSixteen", {{"DATA2", "Ready,D2100,16"}}, true, false},
        IoCase{"EmptyBitIsZero", {{"DATA2", "Ready,D2100,,ignored"}}, true, true},
        IoCase{"TrailingCommaLosesAddress", {{"DATA2", "Ready,D2100,"}}, false, false},
        IoCase{"BadBit", {{"DATA2", "Ready,D2100,x"}}, false, false},
        IoCase{"MissingBitField", {{"DATA2", "Ready,D2100"}}, false, false},
        IoCase{"NoSignalNamed", {{"DATA1", ",D2000,0"}, {"DATA2", "-"}}, false, false}),
    [](const testing::TestParamInfo<IoCase>& p) { return std::string(p.param.name); });

TEST(SamplingConfig, KeyNumberChoosesTheSlot) {
    ConfigBuilder builder = test::baseConfig();
    builder.set(kIo1, "DATA5", "Fifth,D2000,4");
    builder.set("CTL3_IOSAMPLING_SETTING", "CTL_NAME", "Third");
    builder.set("CTL3_IOSAMPLING_SETTING", "OUT_DATA_ADDRESS", "D2100");
    builder.set("CTL3_IOSAMPLING_SETTING", "OUT_DATA_LENGTH", "2");
    builder.set("CTL3_IOSAMPLING_SETTING", "DATA16", "Last,D2100,15");
    builder.set("COLOR_SETTING", "DATA_COLOR_TABLE_3", "Third,#FFFFFF,#808080" + colors(3));
    SamplingConfig config;
    ASSERT_EQ(load(builder, config), 0);
    EXPECT_EQ(config.io().controllers[0].items[4].name, "Fifth");
    EXPECT_EQ(config.io().controllers[2].name, "Third");
    EXPECT_EQ(config.io().controllers[2].items[15].bit, 15);
    EXPECT_EQ(config.data().colorTables[2].name, "Third");
    EXPECT_EQ(config.data().colorTables[1].name, "");
}

TEST(SamplingConfig, OneMonitorFailingValidationFailsIt) {
    // Data controller 1 is the only one and its item lies outside its range; the I/O side is
    // fine. Start-up must still refuse the file.
    ConfigBuilder builder = test::baseConfig();
    builder.set(kData1, "DATA3", "T,D2000,WORD,1,u");
    SamplingConfig config;
    ASSERT_EQ(load(builder, config), 0);
    EXPECT_EQ(ValidateDataControllers(config.data()), -1);
    EXPECT_EQ(ValidateIoControllers(config.io()), 0);

    ConfigBuilder ioBad = test::baseConfig();
    ioBad.set(kIo1, "DATA2", "Ready,D2200,0");
    ASSERT_EQ(load(ioBad, config), 0);
    EXPECT_EQ(ValidateDataControllers(config.data()), 0);
    EXPECT_EQ(ValidateIoControllers(config.io()), -1);
}

TEST(SamplingConfig, ValidationKeepsRegistersWithinSixteenBits) {
    MonitorConfig data;
    ControllerRecord& record = data.controllers[0];
    record.name = "Top";
    record.rangeAddress1 = 0xFFFC;
    record.rangeLength1 = 8;  // 0xFFFC .. 0xFFFF
    record.items[0] = DataItem{"Last", 0xFFFE, kTypeDword, "DWORD", 1.0, "1", "u", 0, 1};
    for (std::size_t i = 1; i < data.controllers.size(); ++i)
        data.controllers[i].rangeAbsent1 = 1;
    EXPECT_EQ(ValidateDataControllers(data), 0);
    data.controllers[0].items[0].address = 0xFFFF;  // its second register would wrap to 0
    EXPECT_EQ(ValidateDataControllers(data), -1);
}

TEST(ShippedSamplingConfig, LoadsAndKeepsEveryController) {
    SamplingConfig config;
    ASSERT_EQ(LoadSamplingConfig(samplingConfigPath(programFolder()), config), 0);
    ASSERT_EQ(ValidateDataControllers(config.data()), 0);
    ASSERT_EQ(ValidateIoControllers(config.io()), 0);

    const int dataControllers = 4, ioControllers = 2;
    for (int n = 0; n < kControllerCount; ++n) {
        const auto i = static_cast<std::size_t>(n);
        EXPECT_EQ(!config.data().controllers[i].name.empty(), n < dataControllers) << n;
        EXPECT_EQ(!config.io().controllers[i].name.empty(), n < ioControllers) << n;
        EXPECT_FALSE(config.data().colorTables[i].name.empty()) << n;
        EXPECT_FALSE(config.io().colorTables[i].name.empty()) << n;
    }
    for (int n = 0; n < dataControllers; ++n) {
        const ControllerRecord& record = config.data().controllers[static_cast<std::size_t>(n)];
        // Short enough for a 20 ms cycle at 38400 bps and a full-length recording.
        EXPECT_LE(record.rangeLength1, 16) << record.name;
        for (int k = 0; k < kDataItemCount; ++k) {
            const DataItem& item = record.items[static_cast<std::size_t>(k)];
            EXPECT_EQ(item.enabled, 1) << record.name;
            EXPECT_FALSE(item.unit.empty()) << item.name;  // a CSV read needs every unit
        }
    }
    for (int n = 0; n < ioControllers; ++n) {
        for (const DataItem& item : config.io().controllers[static_cast<std::size_t>(n)].items) {
            EXPECT_EQ(item.enabled, 1);
        }
    }
    // An I/O controller with only an output range ships too.
    EXPECT_EQ(config.io().controllers[1].rangeAbsent1, 1);
    EXPECT_EQ(config.io().controllers[1].rangeAbsent2, 0);

    const SamplingLists& data = config.data().lists;
    EXPECT_EQ(data.cycles, (std::array<uint16_t, 5>{10, 20, 50, 100, 500}));
    EXPECT_EQ(data.times, (std::array<uint16_t, 5>{0, 10, 60, 300, 3000}));
    EXPECT_LT(config.io().lists.cycles[0], 30);
}

}  // namespace
}  // namespace kestiva
