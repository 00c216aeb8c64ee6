#pragma once
// The graphs the paint benchmarks draw, for every build: the longest recordings a page loads
// (150,001 samples, 25 minutes at 10 ms) of four kinds of data signal and of I/O signals that
// change at a given rate, and the three windows a user can show of them.

#include "window/GraphData.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>

namespace kestiva::graph_cases {

constexpr uint32_t kSamples = 150001;

enum Signal { kNoisySine = 0, kRandomWalk = 1, kUniformNoise = 2, kWildValues = 3 };

inline const char* signalName(int signal) {
    switch (signal) {
    case kNoisySine: return "noisy sine";
    case kRandomWalk: return "random walk";
    case kUniformNoise: return "uniform noise";
    default: return "wild values";
    }
}

enum Window { kWhole = 0, kZoomed = 1, kFewSamples = 2 };

inline const char* windowName(int window) {
    switch (window) {
    case kWhole: return "whole recording";
    case kZoomed: return "12,001 samples";
    default: return "41 samples";
    }
}

template <typename Graph>
void showWindow(Graph& graph, int window) {
    const uint32_t first[] = {0, 40000, 70000};
    const uint32_t last[] = {kSamples - 1, 52000, 70040};
    graph.firstIndex = first[window];
    graph.lastIndex = last[window];
}

inline double sampleValue(int signal, uint32_t k, uint32_t trace, std::mt19937& rng, double& walk) {
    switch (signal) {
    case kNoisySine:
        // A slow swing with 5 % noise, like a motor current.
        return 1000.0 * std::sin(k * 0.0005 + trace) +
               std::uniform_real_distribution<>(-100.0, 100.0)(rng);
    case kRandomWalk:
        walk += std::normal_distribution<>(0.0, 5.0)(rng);
        return walk;
    case kUniformNoise:
        return std::uniform_real_distribution<>(-1000.0, 1000.0)(rng);
    default:
        // Noise with one sample in ten far beyond any range the page could have chosen.
        return std::uniform_int_distribution<>(0, 9)(rng) == 0
                   ? std::uniform_real_distribution<>(-1e12, 1e12)(rng)
                   : std::uniform_real_distribution<>(-1000.0, 1000.0)(rng);
    }
}

inline std::unique_ptr<MultiGraphData> makeDataGraph(int signal) {
    auto graph = std::make_unique<MultiGraphData>();
    graph->reset(3, kSamples);
    std::mt19937 rng(1);
    for (uint32_t i = 0; i < 3; ++i) {
        double walk = 0.0;
        double low = 0.0;
        double high = 0.0;
        for (uint32_t k = 0; k < kSamples; ++k) {
            const double v = sampleValue(signal, k, i, rng, walk);
            low = k == 0 ? v : std::min(low, v);
            high = k == 0 ? v : std::max(high, v);
            graph->appendSample(i, v);
        }
        // The page's own range: the extremes widened by one unit; wild values go past it.
        graph->lowerBound[i] = signal == kWildValues ? -1001.0 : low - 1.0;
        graph->upperBound[i] = signal == kWildValues ? 1001.0 : high + 1.0;
    }
    graph->firstIndex = 0;
    graph->lastIndex = kSamples - 1;
    graph->drawEnabled = 1;
    return graph;
}

// Each bit changes with the given probability per sample.
inline std::unique_ptr<IoGraphData> makeIoGraph(double toggle) {
    auto graph = std::make_unique<IoGraphData>();
    graph->reset(16, kSamples);
    std::mt19937 rng(2);
    std::bernoulli_distribution flips(toggle);
    for (int j = 0; j < 16; ++j) {
        int bit = 0;
        for (uint32_t k = 0; k < kSamples; ++k) {
            if (flips(rng)) {
                bit ^= 1;
            }
            graph->appendSample(uint32_t(j), IoGraphData::level(j, bit));
        }
        graph->lowerBound[j] = IoGraphData::kLowerBound;
        graph->upperBound[j] = IoGraphData::kUpperBound;
    }
    graph->firstIndex = 0;
    graph->lastIndex = kSamples - 1;
    graph->drawEnabled = 1;
    return graph;
}

}  // namespace kestiva::graph_cases
