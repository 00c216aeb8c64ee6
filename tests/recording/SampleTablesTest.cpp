#include "recording/SampleTables.h"

#include <gtest/gtest.h>

#include <string>

namespace kestiva {
namespace {

TEST(SampleTextTable, KeepsShortAndLongTextsApart) {
    SampleTextTable table(4, 3, 8, 0);
    table.setCell(0, 0, "1234567");     // fills the cell exactly
    table.setCell(0, 1, "12345678");    // one byte too many: overflow
    table.setCell(1, 2, std::string(8192, 'x'));
    table.setCell(3, 2, "");
    EXPECT_EQ(table.cell(0, 0), "1234567");
    EXPECT_EQ(table.cell(0, 1), "12345678");
    EXPECT_EQ(table.cell(1, 2), std::string(8192, 'x'));
    EXPECT_EQ(table.cell(2, 0), "");
    EXPECT_EQ(table.cell(3, 2), "");
    // Rewriting a cell replaces its text, inline or not.
    table.setCell(0, 1, "7");
    table.setCell(0, 0, "-2147483648");
    EXPECT_EQ(table.cell(0, 1), "7");
    EXPECT_EQ(table.cell(0, 0), "-2147483648");
}

TEST(SampleTextTable, OutOfRangeCellsAreEmptyAndIgnored) {
    SampleTextTable table(2, 2, 12, 0);
    table.setCell(2, 0, "x");
    table.setCell(0, 2, "x");
    EXPECT_EQ(table.cell(2, 0), "");
    EXPECT_EQ(table.cell(0, 5), "");
}

TEST(SampleTextTable, ClearEmptiesEveryCell) {
    SampleTextTable table(2, 2, 8, 64);
    table.setCell(1, 1, "a long text over the cell");
    table.setCell(0, 0, "5");
    table.clear();
    EXPECT_EQ(table.cell(1, 1), "");
    EXPECT_EQ(table.cell(0, 0), "");
}

TEST(PageRecording, BothPagesFullFitTheMemoryBudget) {
    PageRecording data(kDataMonitor);
    PageRecording io(kIoMonitor);
    // Fill both with the longest texts a recording produces.
    for (uint32_t row = 0; row < kSampleCapacity; ++row) {
        data.texts.setCell(row, 0, "65600000");
        for (int c = 1; c < kDataTextColumns; ++c) data.texts.setCell(row, c, "-2147483648");
        io.texts.setCell(row, 0, "65600000");
        for (int c = 1; c < kIoTextColumns; ++c) io.texts.setCell(row, c, "1");
    }
    EXPECT_EQ(data.texts.cell(kSampleCapacity - 1, 3), "-2147483648");
    EXPECT_EQ(io.texts.cell(kSampleCapacity - 1, 0), "65600000");
    EXPECT_LE(data.texts.memoryBytes() + io.texts.memoryBytes(), 40u * 1000 * 1000);
}

}  // namespace
}  // namespace kestiva
