// A data recording as it arrives: each enabled item takes its plotted value or a gap, and its
// range follows the values seen so far (widened as after a load) only when a value leaves
// them.

#include "window/PageGraphs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kestiva {
namespace {

ControllerRecord recordWithItems(std::vector<double> scales) {
    ControllerRecord record;
    for (std::size_t k = 0; k < scales.size(); ++k) {
        record.items[k].name = "item" + std::to_string(k);
        record.items[k].enabled = scales[k] > 0 ? 1 : 0;
        record.items[k].scale = scales[k];
    }
    return record;
}

TEST(LiveDataGraph, ValuesGapsAndRangesFollowTheArrivingSamples) {
    // Item 0 at scale 1, item 1 disabled, item 2 at scale 0.1.
    const ControllerRecord record = recordWithItems({1.0, 0.0, 0.1});
    MultiGraphData graph;
    beginLiveDataGraph(record, 8, ColorTable{}, graph);
    LiveExtremes extremes;

    struct Step {
        bool valid;
        std::vector<double> plotted;
        bool widened;          // a range changed
        ValueRange extremes0;  // item 0's values so far
    };
    const std::vector<Step> steps = {
        {true, {5.0, 9.0, 0.5}, true, {5.0, 5.0}},    // the first value sets the range
        {true, {3.0, 9.0, 0.5}, true, {3.0, 5.0}},    // below: widened
        {true, {4.0, 9.0, 0.5}, false, {3.0, 5.0}},   // inside: kept
        {false, {0.0, 0.0, 0.0}, false, {3.0, 5.0}},  // a gap leaves the ranges
        {true, {8.0, 9.0, 0.2}, true, {3.0, 8.0}},    // above (and item 2 below)
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        EXPECT_EQ(appendLiveValues(record, step.valid, step.plotted, extremes, graph),
                  step.widened)
            << "step " << i;
        ASSERT_TRUE(extremes[0]);
        EXPECT_EQ(extremes[0]->lower, step.extremes0.lower) << "step " << i;
        EXPECT_EQ(extremes[0]->upper, step.extremes0.upper) << "step " << i;
        const ValueRange bounds = initialBounds(*extremes[0], 1.0);
        EXPECT_EQ(graph.lowerBound[0], bounds.lower) << "step " << i;
        EXPECT_EQ(graph.upperBound[0], bounds.upper) << "step " << i;
    }
    EXPECT_FALSE(extremes[1]) << "a disabled item sees no values";
    EXPECT_EQ(graph.fillCount[0], steps.size());
    EXPECT_EQ(graph.fillCount[1], 0u);
    EXPECT_EQ(graph.fillCount[2], steps.size());
    EXPECT_EQ(graph.samples[0][1], 3.0);
    EXPECT_TRUE(std::isnan(graph.samples[0][3])) << "the failed sample is a gap";
    EXPECT_EQ(graph.samples[2][4], 0.2);
    EXPECT_EQ(extremes[2]->lower, 0.2);
    EXPECT_EQ(extremes[2]->upper, 0.5);
}

}  // namespace
}  // namespace kestiva
