#include "window/PageGraphs.h"

#include "settings/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace kestiva {
namespace {

constexpr uint32_t kPlanned = 1001;

ColorTable colours() {
    ColorTable table;
    table.name = "test";
    table.backgroundColor = 0x102030;
    table.gridColor = 0x405060;
    for (std::size_t k = 0; k < table.traceColors.size(); ++k)
        table.traceColors[k] = Color(0x010101 * (k + 1));
    return table;
}

// A data page of `samples` samples of items 0 and 2 (item 1 disabled), values that swing.
std::unique_ptr<PageRecording> dataPage(uint32_t samples) {
    auto page = std::make_unique<PageRecording>(kDataMonitor);
    page->active.items[0] = {.name = "speed", .typeCode = kTypeWord, .scale = 0.5, .enabled = 1};
    page->active.items[2] = {.name = "load", .typeCode = kTypeUdword, .scale = 1.0, .enabled = 1};
    page->cycle = 20;
    page->time = 20;
    page->sampleCount = samples;
    for (uint32_t j = 0; j < samples; ++j) {
        page->dataValue(j, 0) = int32_t(std::lround(1000.0 * std::sin(j * 0.05)));
        page->dataValue(j, 2) = int32_t(j * 7 % 301);
    }
    return page;
}

std::unique_ptr<PageRecording> ioPage(uint32_t samples) {
    auto page = std::make_unique<PageRecording>(kIoMonitor);
    page->active.items[1] = {.name = "RUN", .enabled = 1};
    page->active.items[9] = {.name = "ALM", .enabled = 1};
    page->cycle = 20;
    page->time = 20;
    page->sampleCount = samples;
    for (uint32_t i = 0; i < samples; ++i) {
        page->ioBit(i, 1) = uint8_t(i / 37 % 2);
        page->ioBit(i, 9) = uint8_t(i / 5 % 3 == 0);
    }
    return page;
}

// What a graph shows: the samples, their summaries and everything drawn around them.
template <typename Graph>
void expectSameGraph(const Graph& got, const Graph& expected) {
    ASSERT_EQ(got.traceCount, expected.traceCount);
    EXPECT_EQ(got.firstIndex, expected.firstIndex);
    EXPECT_EQ(got.lastIndex, expected.lastIndex);
    EXPECT_EQ(got.drawEnabled, expected.drawEnabled);
    EXPECT_EQ(got.hasSamples, expected.hasSamples);
    EXPECT_EQ(got.backgroundColor, expected.backgroundColor);
    EXPECT_EQ(got.gridColor, expected.gridColor);
    EXPECT_EQ(got.traceColor, expected.traceColor);
    EXPECT_EQ(got.traceVisible, expected.traceVisible);
    EXPECT_EQ(got.lowerBound, expected.lowerBound);
    EXPECT_EQ(got.upperBound, expected.upperBound);
    for (uint32_t t = 0; t < got.traceCount; ++t) {
        const auto samples = got.heldSamples(t);
        const auto wanted = expected.heldSamples(t);
        ASSERT_TRUE(std::equal(samples.begin(), samples.end(), wanted.begin(), wanted.end()))
            << "trace " << t;
        ASSERT_EQ(got.envelopes[t].count(), expected.envelopes[t].count()) << "trace " << t;
        // Ranges that the envelope answers from buckets of every level, and from single samples.
        for (const auto& [from, to] : {std::pair{0u, 999u}, {3u, 700u}, {16u, 31u}, {250u, 260u}}) {
            if (samples.size() <= to)
                continue;
            const auto e = got.envelopes[t].extremes(samples, from, to);
            const auto w = expected.envelopes[t].extremes(wanted, from, to);
            EXPECT_EQ(e.low, w.low) << "trace " << t << " from " << from;
            EXPECT_EQ(e.high, w.high) << "trace " << t << " from " << from;
            EXPECT_EQ(e.hasGap, w.hasGap) << "trace " << t << " from " << from;
        }
    }
}

// What the live view leaves in the graph before the final pass loads the page.
enum class Live {
    None,            // a graph that never followed a recording (CSV read, the command's plot)
    Whole,           // every sample drawn
    FirstPart,       // the last timer tick had not come yet
    OtherValues,     // another recording of the same items
    WithGap,         // a frame that failed while the recording ran
    OtherItems,      // a recording of another item set
    MoreThanLoaded,  // more samples than the page holds
};

struct Case {
    Live live;
    bool kept;  // the live samples stay and only the rest is stored
};

const Case kCases[] = {
    {Live::None, false},           {Live::Whole, true},    {Live::FirstPart, true},
    {Live::OtherValues, false},    {Live::WithGap, false}, {Live::OtherItems, false},
    {Live::MoreThanLoaded, false},
};

// Follows the page's recording as the live view does, changed as the case says.
template <typename Page, typename Begin, typename Append>
void followLive(Live live, Page& page, Begin begin, Append append) {
    if (live == Live::None)
        return;
    ControllerRecord record = page.active;
    if (live == Live::OtherItems)
        record.items[std::size_t(page.kind == kDataMonitor ? 1 : 3)].enabled = 1;
    begin(record);
    const uint32_t drawn = live == Live::FirstPart        ? page.sampleCount - 37
                           : live == Live::MoreThanLoaded ? page.sampleCount + 1
                                                          : page.sampleCount;
    for (uint32_t j = 0; j < drawn; ++j)
        append(record, j, live == Live::WithGap && j == 400, live == Live::OtherValues && j == 123);
}

TEST(PageGraphs, LoadAfterTheLiveViewShowsThePageAsAFreshLoadDoes) {
    const ColorTable colors = colours();
    for (const Case& c : kCases) {
        SCOPED_TRACE(int(c.live));
        auto page = dataPage(1000);
        const DataPageFigures figures = dataPageFigures(*page);
        MultiGraphData expected;
        loadDataGraph(*page, figures, colors, expected);

        MultiGraphData graph;
        followLive(
            c.live, *page,
            [&](const ControllerRecord& r) { beginLiveDataGraph(r, kPlanned, colors, graph); },
            [&](const ControllerRecord& r, uint32_t j, bool gap, bool changed) {
                for (std::size_t k = 0; k < kDataItemCount; ++k) {
                    if (r.items[k].enabled != 1)
                        continue;
                    const int32_t raw = j < page->sampleCount ? page->dataValue(j, int(k)) : 0;
                    const double value = plottedValue(r.items[k], raw) + (changed ? 1.0 : 0.0);
                    if (gap)
                        graph.appendGap(uint32_t(k));
                    else
                        graph.appendSample(uint32_t(k), value);
                }
            });
        loadDataGraph(*page, figures, colors, graph);
        expectSameGraph(graph, expected);
        // A kept graph keeps the room the live view made for the planned samples.
        EXPECT_EQ(graph.capacity, c.kept ? kPlanned : page->sampleCount);
    }
}

TEST(PageGraphs, IoLoadAfterTheLiveViewShowsThePageAsAFreshLoadDoes) {
    const ColorTable colors = colours();
    for (const Case& c : kCases) {
        SCOPED_TRACE(int(c.live));
        auto page = ioPage(1000);
        IoGraphData expected;
        loadIoGraph(*page, colors, expected);

        IoGraphData graph;
        followLive(
            c.live, *page,
            [&](const ControllerRecord& r) { beginLiveIoGraph(r, kPlanned, colors, graph); },
            [&](const ControllerRecord& r, uint32_t i, bool gap, bool changed) {
                std::array<uint8_t, kIoSignalCount> levels{};
                for (std::size_t s = 0; s < kIoSignalCount; ++s)
                    levels[s] = i < page->sampleCount ? page->ioBit(i, int(s)) : 0;
                if (changed)
                    levels[9] ^= 1;
                appendLiveLevels(r, !gap, levels, graph);
            });
        loadIoGraph(*page, colors, graph);
        expectSameGraph(graph, expected);
        EXPECT_EQ(graph.capacity, c.kept ? kPlanned : page->sampleCount);
    }
}

}  // namespace
}  // namespace kestiva
