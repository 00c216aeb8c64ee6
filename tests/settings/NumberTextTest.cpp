#include "settings/NumberText.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

namespace kestiva {
namespace {

TEST(NumberText, CharacterSets) {
    struct Case {
        int (*check)(std::string_view);
        const char* text;
        int result;
    };
    const Case cases[] = {
        {IsDecimalText, "", 0},         {IsDecimalText, "0123456789", 0},
        {IsDecimalText, " 1", -1},      {IsDecimalText, "1a", -1},
        {IsDecimalText, "-1", -1},      {IsHexText, "09afAF", 0},
        {IsHexText, "g", -1},           {IsHexText, "0x1", -1},
        {IsRealText, "1.2.3", 0},       {IsRealText, ".", 0},
        {IsRealText, "1,5", -1},        {IsSignedRealText, "+-", 0},
        {IsSignedRealText, "-1.5", 0},  {IsSignedRealText, "1e5", -1},
        {IsBinaryText, "0110", 0},      {IsBinaryText, "2", -1},
        {IsBinaryText, "\xC2\xB9", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.check(c.text), c.result) << '"' << c.text << '"';
}

struct Split {
    std::string field;
    int status;
    bool operator==(const Split&) const = default;
};

std::vector<Split> splitAll(FieldSplitter& splitter, const std::string& text, int calls) {
    std::vector<Split> out;
    std::string field;
    for (int i = 0; i < calls; ++i) {
        const int status = splitter.NextField(i > 0, text, field);
        out.push_back({field, status});
    }
    return out;
}

TEST(FieldSplitter, EmptyFieldBetweenCommas) {
    FieldSplitter splitter;
    EXPECT_EQ(splitAll(splitter, "a,,b", 3), (std::vector<Split>{{"a", 0}, {"", 0}, {"b", -2}}));
    // After the last field a further call gives it again.
    std::string field;
    EXPECT_EQ(splitter.NextField(true, "a,,b", field), -2);
    EXPECT_EQ(field, "b");
}

TEST(FieldSplitter, TrailingCommaResetsThePosition) {
    FieldSplitter splitter;
    EXPECT_EQ(splitAll(splitter, "a,b,", 2), (std::vector<Split>{{"a", 0}, {"b", -2}}));
    EXPECT_EQ(splitter.position(), 0u);
    std::string field;
    EXPECT_EQ(splitter.NextField(true, "a,b,", field), 0);
    EXPECT_EQ(field, "a");
}

TEST(FieldSplitter, FieldsAreNotTrimmedAndRestartBeginsAgain) {
    FieldSplitter splitter;
    EXPECT_EQ(splitAll(splitter, " x , y", 2), (std::vector<Split>{{" x ", 0}, {" y", -2}}));
    EXPECT_EQ(splitAll(splitter, "", 1), (std::vector<Split>{{"", -2}}));
    EXPECT_EQ(splitAll(splitter, ",", 1), (std::vector<Split>{{"", -2}}));
    // A position left by a longer text never reads past a shorter one.
    std::string field = "x";
    splitter.NextField(false, "abcdef,ghijkl,m", field);
    splitter.NextField(true, "abcdef,ghijkl,m", field);
    EXPECT_EQ(splitter.NextField(true, "ab", field), -2);
    EXPECT_EQ(field, "");
}

TEST(FieldSplitter, EachSplitterKeepsItsOwnPosition) {
    FieldSplitter first, second;
    std::string a, b;
    first.NextField(false, "1,2,3", a);
    second.NextField(false, "x,y", b);
    first.NextField(true, "1,2,3", a);
    EXPECT_EQ(a, "2");
}

// Decimal parsers: the value, or on overflow the largest 32-bit value cut to the width.
struct DecimalCase {
    const char* text;
    int result16;
    uint16_t value16;
    int result8;
    uint8_t value8;
    int resultBit;
    uint8_t valueBit;
};
// Test lists name the case; GoogleTest would otherwise dump the struct's bytes.
void PrintTo(const DecimalCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class DecimalParsers : public testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalParsers, StoreTheLowBits) {
    const DecimalCase& c = GetParam();
    uint16_t v16 = 7;
    uint8_t v8 = 7, bit = 7;
    EXPECT_EQ(ParseDecimal16(c.text, v16), c.result16);
    EXPECT_EQ(v16, c.value16);
    EXPECT_EQ(ParseDecimal8(c.text, v8), c.result8);
    EXPECT_EQ(v8, c.value8);
    EXPECT_EQ(ParseBitNumber(c.text, bit), c.resultBit);
    EXPECT_EQ(bit, c.valueBit);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecimalParsers,
    testing::Values(DecimalCase{"0", 0, 0, 0, 0, 0, 0}, DecimalCase{"15", 0, 15, 0, 15, 0, 15},
                    DecimalCase{"300", 0, 300, 0, 44, 0, 44},
                    DecimalCase{"65536", 0, 0, 0, 0, 0, 0},
                    DecimalCase{"2147483647", 0, 65535, 0, 255, 0, 255},
                    DecimalCase{"2147483648", -1, 65535, -1, 255, -1, 255},
                    DecimalCase{"0000000000000000000000001", 0, 1, 0, 1, 0, 1},
                    DecimalCase{"", -1, 7, -1, 7, 0, 0}, DecimalCase{" 1", -1, 7, -1, 7, -1, 7},
                    DecimalCase{"1 ", -1, 7, -1, 7, -1, 7}, DecimalCase{"-1", -1, 7, -1, 7, -1, 7},
                    DecimalCase{"+1", -1, 7, -1, 7, -1, 7}));

TEST(NumberText, ParseColor) {
    struct Case {
        const char* text;
        int result;
        uint32_t color;
    };
    const Case cases[] = {
        {"#FF0000", 0, 0x0000FF},
        {"#00FF00", 0, 0x00FF00},
        {"#0000ff", 0, 0xFF0000},
        {"#123456", 0, 0x563412},
        {"#", 0, 0},
        {"#1FF0000", 0, 0x0000FF},
        {"#7FFFFFFF", 0, 0xFFFFFF},
        {"#80000000", -1, 0xDEAD},
        {"#FF00000000", -1, 0xDEAD},
        {"FF0000", -1, 0xDEAD},
        {"", -1, 0xDEAD},
        {"# FF0000", -1, 0xDEAD},
        {"#FF000G", -1, 0xDEAD},
        {"#000000000000FF", 0, 0xFF0000},
    };
    for (const Case& c : cases) {
        uint32_t color = 0xDEAD;
        EXPECT_EQ(ParseColor(c.text, color), c.result) << c.text;
        EXPECT_EQ(color, c.color) << c.text;
    }
}

TEST(NumberText, ParseRegisterAddress) {
    struct Case {
        const char* text;
        int result;
        uint16_t address;
    };
    const Case cases[] = {
        {"D1000", 0, 0x1000}, {"d00ff", 0, 255}, {"DFFFF", 0, 0xFFFF}, {"D100", -1, 7},
        {"D10000", -1, 7},    {"E1000", -1, 7},  {"D10G0", -1, 7},     {"", -1, 7},
        {" D100", -1, 7},     {"D 100", -1, 7},  {"1000D", -1, 7},
    };
    for (const Case& c : cases) {
        uint16_t address = 7;
        EXPECT_EQ(ParseRegisterAddress(c.text, address), c.result) << c.text;
        EXPECT_EQ(address, c.address) << c.text;
    }
}

TEST(NumberText, ParseReal) {
    struct Case {
        std::string text;
        int result;
        double value;
    };
    const Case cases[] = {
        {"0.01", 0, 0.01},
        {"1.", 0, 1.0},
        {".5", 0, 0.5},
        {"1.2.3", 0, 1.2},
        {"10", 0, 10.0},
        {".", 0, 0.0},
        {"", -1, -9.0},
        {" 1", -1, -9.0},
        {"1e3", -1, -9.0},
        {"-1", -1, -9.0},
        {std::string(400, '9'), -1, -9.0},
    };
    for (const Case& c : cases) {
        double value = -9.0;
        EXPECT_EQ(ParseReal(c.text, value), c.result) << c.text;
        EXPECT_DOUBLE_EQ(value, c.value) << c.text;
    }
}

TEST(NumberText, TypeNamesAndTheirProperties) {
    struct Case {
        const char* name;
        int registers;
        bool isSigned;
    };
    const Case table[kDataTypeCount] = {
        {"DWORD", 2, true}, {"UDWORD", 2, false}, {"WORD", 1, true}, {"UWORD", 1, false},
        {"MSB", 1, true},   {"UMSB", 1, false},   {"LSB", 1, true},  {"ULSB", 1, false}};
    for (int32_t code = 0; code < kDataTypeCount; ++code) {
        int32_t parsed = -1;
        EXPECT_EQ(ParseTypeName(table[code].name, parsed), 0);
        EXPECT_EQ(parsed, code);
        EXPECT_STREQ(dataTypeName(code), table[code].name);
        EXPECT_EQ(dataTypeRegisterCount(code), table[code].registers);
        EXPECT_EQ(dataTypeIsSigned(code), table[code].isSigned);
    }
    for (const char* bad : {"dword", "Word", " WORD", "WORD ", "", "FLOAT"}) {
        int32_t code = 42;
        EXPECT_EQ(ParseTypeName(bad, code), -1) << bad;
        EXPECT_EQ(code, 42);
    }
    EXPECT_STREQ(dataTypeName(8), "");
    EXPECT_STREQ(dataTypeName(-1), "");
    EXPECT_EQ(dataTypeRegisterCount(8), 0);
}

}  // namespace
}  // namespace kestiva
