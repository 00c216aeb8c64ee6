#include "recording/DecimalText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "recording/SampleTables.h"

namespace kestiva {
namespace {

std::string printed(bool negative, unsigned long long magnitude) {
    char text[32];
    std::snprintf(text, sizeof text, negative ? "-%llu" : "%llu", magnitude);
    return text;
}

// Every digit count's first and last value, the limits of the types a frame holds, and values
// whose digits would go wrong in one lane of the word-wise split.
std::vector<unsigned long long> edgeMagnitudes() {
    std::vector<unsigned long long> values = {
        0,        7,        42,         128,        255,        32767,
        32768,    65535,    2147483647, 2147483648, 4294967295, 10485694465,
        99990000, 10009999, 90909090,   12345678,   100000009,  999999999999999};
    for (unsigned long long power = 1; power <= 1000000000000000ull; power *= 10) {
        values.push_back(power - 1);
        values.push_back(power);
        values.push_back(power + 1);
    }
    return values;
}

TEST(PackedDecimal, GivesThePrintedText) {
    for (const unsigned long long magnitude : edgeMagnitudes()) {
        if (magnitude >= 1000000000000000ull)
            continue;
        for (const bool negative : {false, true}) {
            const PackedText text = packedDecimal(negative, magnitude);
            const std::string expected = printed(negative, magnitude);
            // Byte i of the text in byte i of the words, zeros past it.
            uint64_t words[2] = {0, 0};
            for (std::size_t i = 0; i < expected.size(); ++i)
                words[i / 8] |= uint64_t(uint8_t(expected[i])) << 8 * (i % 8);
            EXPECT_EQ(text.low, words[0]) << expected;
            EXPECT_EQ(text.high, words[1]) << expected;
            EXPECT_EQ(text.length, expected.size()) << expected;
            EXPECT_EQ(text.text(), expected);
        }
    }
}

TEST(PackedDecimal, EveryValueOfSixteenBitsAndASweepAbove) {
    for (uint32_t v = 0; v <= 0xFFFF; ++v)
        ASSERT_EQ(packedDecimal(false, v).text(), printed(false, v));
    for (uint64_t v = 0xFFFF; v <= 0xFFFFFFFFull; v += 104729)
        ASSERT_EQ(packedDecimal(true, v).text(), printed(true, v));
}

TEST(SampleTextTable, PackedCellsReadBackAsTheirText) {
    // The pages' cell sizes take the word-wise stores; another size, and a text too long for
    // a cell, go the ordinary way.
    for (const int cellBytes : {8, 12, 16}) {
        SCOPED_TRACE(cellBytes);
        SampleTextTable table(2, 3, cellBytes, 64);
        for (const unsigned long long magnitude : edgeMagnitudes()) {
            if (magnitude >= 1000000000000000ull)
                continue;
            const PackedText text = packedDecimal(true, magnitude);
            table.setCell(1, 1, "previous text of the cell, long");
            table.setPackedCell(1, 1, text);
            table.setPackedCell(2, 1, text);  // past the last row: ignored
            EXPECT_EQ(table.cell(1, 1), printed(true, magnitude));
            EXPECT_EQ(table.cell(1, 0), "");
            EXPECT_EQ(table.cell(1, 2), "");
        }
    }
}

}  // namespace
}  // namespace kestiva
