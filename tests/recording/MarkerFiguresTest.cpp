#include "recording/MarkerFigures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <numbers>
#include <numeric>
#include <sstream>
#include <vector>

#include "settings/NumberText.h"

namespace kestiva {
namespace {

constexpr uint32_t kSamples = 601;  // 6 s at 10 ms: more rows than the I/O byte counters hold
constexpr uint16_t kCycle = 10;

// The sine: 1000 x sin over 50 samples (0.5 s), a WORD at 0.01 V.
int32_t sineRaw(uint32_t j) {
    return int32_t(std::lround(1000.0 * std::sin(2.0 * std::numbers::pi * double(j) / 50.0)));
}
// The square: +-500 for 10 samples each, read through a negative scale.
int32_t squareRaw(uint32_t j) {
    return (j / 10) % 2 == 0 ? 500 : -500;
}
// I/O signal 0: high for the first 5 of every 20 samples (duty 25 %); signal 1: 4 high, 4 low.
uint8_t ioBit(uint32_t i, int signal) {
    if (signal == 0)
        return i % 20 < 5;
    if (signal == 1)
        return i % 8 < 4;
    return 0;  // signal 3: never changes
}

DataItem item(const char* name, int32_t type, double scale, const char* scaleText,
              const char* unit) {
    DataItem d;
    d.enabled = 1;
    d.name = name;
    d.typeCode = type;
    d.scale = scale;
    d.scaleText = scaleText;
    d.unit = unit;
    return d;
}

std::unique_ptr<PageRecording> dataRecording() {
    auto page = std::make_unique<PageRecording>(kDataMonitor);
    page->cycle = kCycle;
    page->sampleCount = kSamples;
    page->active.items[0] = item("Sine", kTypeWord, 0.01, "0.01", "V");
    page->active.items[1] = item("Square", kTypeDword, -0.5, "-0.5", "A");
    page->active.items[2] = item("Ramp", kTypeUword, 1.0, "1", "mm");
    for (uint32_t j = 0; j < kSamples; ++j) {
        page->dataValue(j, 0) = sineRaw(j);
        page->dataValue(j, 1) = squareRaw(j);
        page->dataValue(j, 2) = int32_t(j);
    }
    return page;
}

std::unique_ptr<PageRecording> ioRecording() {
    auto page = std::make_unique<PageRecording>(kIoMonitor);
    page->cycle = kCycle;
    page->sampleCount = kSamples;
    for (int s : {0, 1, 3}) {
        page->active.items[std::size_t(s)].enabled = 1;
        page->active.items[std::size_t(s)].name = "S" + std::to_string(s);
    }
    for (uint32_t i = 0; i < kSamples; ++i)
        for (int s = 0; s < kIoSignalCount; ++s)
            page->ioBit(i, s) = ioBit(i, s);
    return page;
}

// The figures of one item worked out plainly from the generators.
struct Expected {
    double atA, atB, minimum, maximum, mean, rms;
    uint32_t minimumIndex, maximumIndex;
};
Expected expectedItem(double (*value)(uint32_t), uint32_t a, uint32_t b) {
    std::vector<double> v;
    for (uint32_t j = std::min(a, b); j <= std::max(a, b); ++j)
        v.push_back(value(j));
    const auto low = std::min_element(v.begin(), v.end());   // the first of equals
    const auto high = std::max_element(v.begin(), v.end());  // likewise
    double squares = 0.0;
    for (double x : v)
        squares += x * x;
    return {value(a),
            value(b),
            *low,
            *high,
            std::accumulate(v.begin(), v.end(), 0.0) / double(v.size()),
            std::sqrt(squares / double(v.size())),
            std::min(a, b) + uint32_t(low - v.begin()),
            std::min(a, b) + uint32_t(high - v.begin())};
}
double sineValue(uint32_t j) {
    return sineRaw(j) * 0.01;
}
double squareValue(uint32_t j) {
    return squareRaw(j) * -0.5;
}
double rampValue(uint32_t j) {
    return double(j);
}

TEST(MarkerFigures, MarkersGoToTheNearestSampleWithinTheRecording) {
    struct Case {
        double seconds;
        uint32_t cycle, samples, expected;
    };
    const Case cases[] = {
        {0.014, 10, 201, 1},    {0.015, 10, 201, 2},  // halfway goes to the later sample
        {1.2345, 10, 201, 123}, {-1.0, 10, 201, 0},
        {100.0, 10, 201, 200},  {std::numeric_limits<double>::quiet_NaN(), 10, 201, 0},
        {1.0, 0, 201, 0},       {1.0, 10, 0, 0},
        {0.74, 500, 3, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(markerIndex(c.seconds, c.cycle, c.samples), c.expected)
            << c.seconds << " s at " << c.cycle << " ms";
}

TEST(MarkerFigures, DataItemsBetweenTheMarkers) {
    const auto page = dataRecording();
    struct Case {
        const char* what;
        uint32_t a, b, shown;
        uint32_t expectedA, expectedB;  // after clamping
        std::vector<int> items;
        const char* delta;
        const char* inverse;  // empty: no 1/dt
    };
    const Case cases[] = {
        {"A before B", 13, 120, 0b111, 13, 120, {0, 1, 2}, "1.070", "0.934579"},
        {"A after B", 120, 13, 0b111, 120, 13, {0, 1, 2}, "-1.070", "-0.934579"},
        {"A on B", 57, 57, 0b111, 57, 57, {0, 1, 2}, "0.000", ""},
        {"first and last, B past the end", 0, 9999, 0b111, 0, 600, {0, 1, 2}, "6.000", "0.166667"},
        {"second item hidden", 13, 120, 0b101, 13, 120, {0, 2}, "1.070", "0.934579"},
        {"everything hidden", 13, 120, 0, 13, 120, {}, "1.070", "0.934579"},
    };
    double (*const values[])(uint32_t) = {sineValue, squareValue, rampValue};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MarkerFigures f = markerFigures(*page, c.a, c.b, c.shown);
        EXPECT_EQ(f.a, c.expectedA);
        EXPECT_EQ(f.b, c.expectedB);
        EXPECT_EQ(f.deltaText, c.delta);
        EXPECT_EQ(f.inverseDeltaText, c.inverse);
        EXPECT_EQ(f.inverseDelta.has_value(), *c.inverse != '\0');
        ASSERT_EQ(f.items.size(), c.items.size());
        for (std::size_t i = 0; i < c.items.size(); ++i) {
            const ItemMeasurement& m = f.items[i];
            ASSERT_EQ(m.item, c.items[i]);
            const Expected e = expectedItem(values[m.item], c.expectedA, c.expectedB);
            EXPECT_DOUBLE_EQ(m.atA, e.atA) << m.name;
            EXPECT_DOUBLE_EQ(m.atB, e.atB) << m.name;
            EXPECT_DOUBLE_EQ(m.difference, e.atB - e.atA) << m.name;
            EXPECT_DOUBLE_EQ(m.minimum, e.minimum) << m.name;
            EXPECT_DOUBLE_EQ(m.maximum, e.maximum) << m.name;
            EXPECT_NEAR(m.mean, e.mean, 1e-9) << m.name;
            EXPECT_NEAR(m.rms, e.rms, 1e-9) << m.name;
            EXPECT_EQ(m.minimumIndex, e.minimumIndex) << m.name;
            EXPECT_EQ(m.maximumIndex, e.maximumIndex) << m.name;
        }
    }
}

TEST(MarkerFigures, DataTextsUseTheItemsDecimalsAndUnits) {
    const auto page = dataRecording();
    const MarkerFigures f = markerFigures(*page, 57, 13, 0b011);
    EXPECT_EQ(f.aTimeText, "0.570");
    EXPECT_EQ(f.bTimeText, "0.130");
    ASSERT_EQ(f.items.size(), 2u);
    const ItemMeasurement& sine = f.items[0];
    EXPECT_EQ(sine.unit, "V");
    EXPECT_EQ(sine.atAText, "7.71");  // sin(2 pi 57 / 50) = 0.7705
    EXPECT_EQ(sine.atBText, "9.98");
    EXPECT_EQ(sine.differenceText, "2.27");  // B - A
    // Two samples share each peak (12 and 13, 37 and 38): the first one in range counts.
    EXPECT_EQ(sine.minimumText, "-9.98");
    EXPECT_EQ(sine.minimumTimeText, "0.370");
    EXPECT_EQ(sine.maximumText, "9.98");
    EXPECT_EQ(sine.maximumTimeText, "0.130");
    const ItemMeasurement& square = f.items[1];
    // -0.5 A per word: +500 plots as -250, and -500 as 250.
    EXPECT_EQ(square.unit, "A");
    EXPECT_EQ(square.atAText, "250.0");
    EXPECT_EQ(square.minimumText, "-250.0");
    EXPECT_EQ(square.minimumTimeText, "0.200");
    EXPECT_EQ(square.maximumText, "250.0");
    EXPECT_EQ(square.maximumTimeText, "0.130");
}

TEST(MarkerFigures, IoSignalsBetweenTheMarkers) {
    const auto page = ioRecording();
    struct Case {
        const char* what;
        uint32_t a, b, shown;
        std::vector<int> signalsShown;
    };
    const Case cases[] = {
        {"A before B", 3, 183, 0xFFFF, {0, 1, 3}},   {"A after B", 183, 3, 0xFFFF, {0, 1, 3}},
        {"A on B", 7, 7, 0xFFFF, {0, 1, 3}},         {"first and last", 0, 600, 0xFFFF, {0, 1, 3}},
        {"signal 1 hidden", 3, 183, 0xFFFD, {0, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MarkerFigures f = markerFigures(*page, c.a, c.b, c.shown);
        ASSERT_EQ(f.ioSignals.size(), c.signalsShown.size());
        const uint32_t first = std::min(c.a, c.b), last = std::max(c.a, c.b);
        for (std::size_t n = 0; n < c.signalsShown.size(); ++n) {
            const SignalMeasurement& m = f.ioSignals[n];
            const int s = c.signalsShown[n];
            ASSERT_EQ(m.signal, s);
            uint32_t rising = 0, falling = 0, high = 0;
            for (uint32_t i = first + 1; i <= last; ++i) {
                rising += ioBit(i - 1, s) == 0 && ioBit(i, s) == 1;
                falling += ioBit(i - 1, s) == 1 && ioBit(i, s) == 0;
            }
            for (uint32_t i = first; i < last; ++i)
                high += ioBit(i, s);
            std::optional<uint32_t> edge;
            for (uint32_t i = c.a + 1; i < kSamples && !edge; ++i)
                if (ioBit(i, s) != ioBit(i - 1, s))
                    edge = i;
            EXPECT_EQ(m.levelA, ioBit(c.a, s)) << s;
            EXPECT_EQ(m.levelB, ioBit(c.b, s)) << s;
            EXPECT_EQ(m.risingEdges, rising) << s;
            EXPECT_EQ(m.fallingEdges, falling) << s;
            EXPECT_EQ(m.firstEdgeIndex, edge) << s;
            EXPECT_EQ(m.highSamples, high) << s;
        }
    }
}

TEST(MarkerFigures, ASquareWaveIsHighForItsDutyCycleOfTheSpan) {
    const auto page = ioRecording();
    // 0.2 s to 1.8 s: eight whole periods of signal 0 (25 %) and twenty of signal 1 (50 %).
    const MarkerFigures f = markerFigures(*page, 20, 180, 0b1011);
    ASSERT_EQ(f.ioSignals.size(), 3u);
    EXPECT_EQ(f.ioSignals[0].highTimeText, "0.400");
    // The rise at A itself lies before the interval; the one at B, at its end, is in it.
    EXPECT_EQ(f.ioSignals[0].risingEdges, 8u);
    EXPECT_EQ(f.ioSignals[0].fallingEdges, 8u);
    EXPECT_EQ(f.ioSignals[0].firstEdgeTimeText, "0.250");
    EXPECT_EQ(f.ioSignals[1].highTimeText, "0.800");
    EXPECT_EQ(f.ioSignals[2].highTimeText, "0.000");
    EXPECT_EQ(f.ioSignals[2].firstEdgeIndex, std::nullopt);
    EXPECT_EQ(f.ioSignals[2].firstEdgeTimeText, "");
}

TEST(MarkerFigures, AnEmptyRecordingHasOnlyTheMarkers) {
    auto page = dataRecording();
    page->sampleCount = 0;
    const MarkerFigures f = markerFigures(*page, 5, 9, 0b111);
    EXPECT_EQ(f.a, 0u);
    EXPECT_EQ(f.b, 0u);
    EXPECT_TRUE(f.items.empty());
    EXPECT_FALSE(f.inverseDelta);
}

std::vector<std::vector<std::string>> parseTable(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells(1);
        for (char ch : line) {
            if (ch == '\t')
                cells.emplace_back();
            else
                cells.back() += ch;
        }
        rows.push_back(cells);
    }
    return rows;
}

TEST(MarkerFigures, TheCopiedTableReadsBackCellByCell) {
    auto data = dataRecording();
    data->active.items[0].name = "Sine\twith a tab";
    const MarkerFigures f = markerFigures(*data, 120, 13, 0b011);
    const std::string text = measurementsTable(f);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const auto rows = parseTable(text);
    ASSERT_EQ(rows.size(), 3u);  // header and two shown items
    std::map<std::string, std::size_t> column;
    for (std::size_t i = 0; i < rows[0].size(); ++i)
        column[rows[0][i]] = i;
    ASSERT_EQ(column.size(), 15u) << "titles are distinct";
    for (std::size_t r = 1; r < rows.size(); ++r) {
        const ItemMeasurement& m = f.items[r - 1];
        const auto& row = rows[r];
        ASSERT_EQ(row.size(), rows[0].size());
        EXPECT_EQ(row[column["Unit"]], m.unit);
        EXPECT_EQ(row[column["A (s)"]], "1.200");
        EXPECT_EQ(row[column["Δt (s)"]], "-1.070");
        EXPECT_EQ(std::stod(row[column["Mean"]]), std::stod(m.meanText));
        EXPECT_NEAR(std::stod(row[column["Mean"]]), m.mean, 0.5 * std::pow(10, -m.decimals));
        EXPECT_NEAR(std::stod(row[column["RMS"]]), m.rms, 0.5 * std::pow(10, -m.decimals));
        EXPECT_EQ(std::stod(row[column["B − A"]]), std::stod(m.differenceText));
        EXPECT_EQ(row[column["Time of maximum (s)"]], m.maximumTimeText);
    }
    EXPECT_EQ(rows[1][0], "Sine with a tab");

    // I/O: an absent first edge is an empty cell; nothing shown still gives the markers.
    const auto io = ioRecording();
    const auto ioRows = parseTable(measurementsTable(markerFigures(*io, 30, 30, 0b1000)));
    ASSERT_EQ(ioRows.size(), 2u);
    ASSERT_EQ(ioRows[1].size(), ioRows[0].size());
    EXPECT_EQ(ioRows[0][9], "First edge after A (s)");
    EXPECT_EQ(ioRows[1][9], "");
    EXPECT_EQ(ioRows[1][4], "") << "no 1/dt when A = B";
    const auto none = parseTable(measurementsTable(markerFigures(*io, 0, 100, 0)));
    ASSERT_EQ(none.size(), 2u);
    EXPECT_EQ(none[1], (std::vector<std::string>{"", "0.000", "1.000", "1.000", "1", "", "", "", "",
                                                 "", ""}));
}

}  // namespace
}  // namespace kestiva
