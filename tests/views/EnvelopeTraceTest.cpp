// The graphs paint a trace from its envelope, a few vertices per pixel column. These tests hold
// that picture to the polyline through every sample, pixel for pixel, over the windows a user
// can show, and hold the sample positions to the single-precision sums they replace.

#include "GraphPictures.h"
#include "views/TraceGraphWidget.h"
#include "window/TraceColumns.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace kestiva {
namespace {

std::string firstDifference(const QImage& a, const QImage& b) {
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                return "first difference at (" + std::to_string(x) + ", " + std::to_string(y) +
                       ")";
            }
        }
    }
    return "identical";
}

// Qt's painter through every vertex is the reference; its envelope drawing and the window's
// rasteriser (what the widgets show) must give the same pixels.
template <typename Graph, typename Paint, typename Render>
void expectEnvelopeMatches(const Graph& graph, QSize plot, Paint paint, Render render,
                           const std::string& what) {
    QImage reference(plot, QImage::Format_RGB32);
    QImage envelope(plot, QImage::Format_RGB32);
    QImage raster(plot, QImage::Format_RGB32);
    paint(graph, reference, PolylineMode::EveryVertex);
    paint(graph, envelope, PolylineMode::Envelope);
    render(graph, raster);
    EXPECT_TRUE(reference == envelope) << what << ": " << firstDifference(reference, envelope);
    const PixelDifference d = pixelDifference(reference, raster);
    EXPECT_EQ(d.pixels, 0) << what << ", rasterised: " << d.pixels << " pixels in " << d.columns
                           << " columns differ (at most " << d.worstColumn << " in one), "
                           << firstDifference(reference, raster);
}

// How a case's samples are stored: appended all at once, in a few appends with paints between, as
// a recording grows, or assigned in one piece, as a page load stores them.
enum class Growth { AtOnce, InSteps, Assigned };

using Signal = std::function<double(std::mt19937&, uint32_t)>;

struct WindowCase {
    std::string name;
    Signal signal;
    uint32_t samples;
    uint32_t firstIndex;
    uint32_t lastIndex;
    QSize plot;
    Growth growth = Growth::AtOnce;
};

double sineWithNoise(std::mt19937& rng, uint32_t k) {
    return 0.5 + 0.4 * std::sin(k * 0.0005) + std::uniform_real_distribution<>(-0.05, 0.05)(rng);
}
double squareWave(std::mt19937&, uint32_t k) { return (k / 1500) % 2 ? 0.9 : 0.1; }
double noise(std::mt19937& rng, uint32_t) { return std::uniform_real_distribution<>(0, 1)(rng); }
double wild(std::mt19937& rng, uint32_t) {
    switch (std::uniform_int_distribution<>(0, 5)(rng)) {
    case 0: return 1e300;
    case 1: return -1e300;
    case 2: return std::uniform_real_distribution<>(-3, 4)(rng);
    default: return std::uniform_real_distribution<>(0, 1)(rng);
    }
}
// A sample in 40 is missing, and a long stretch in the middle: a live recording's lost frames.
double withGaps(std::mt19937& rng, uint32_t k) {
    if (k % 40 == 7 || (k > 5000 && k < 5600)) return gapSample<double>();
    return sineWithNoise(rng, k);
}

const std::vector<WindowCase>& windowCases() {
    static const std::vector<WindowCase> cases = {
        {"sine, whole recording", sineWithNoise, 150001, 0, 150000, {1000, 600}},
        {"square, whole recording", squareWave, 150001, 0, 150000, {1000, 600}},
        {"noise, whole recording", noise, 150001, 0, 150000, {1000, 600}},
        {"sine, zoomed", sineWithNoise, 150001, 40000, 52000, {1000, 600}},
        {"noise, fewer samples than columns", noise, 150001, 70000, 70400, {1000, 600}},
        {"sine, mid-bucket to mid-bucket", sineWithNoise, 150001, 1237, 98765, {997, 480}},
        {"square, mid-bucket window", squareWave, 150001, 1499, 4513, {300, 200}},
        {"noise, two samples", noise, 1000, 500, 501, {640, 360}},
        {"noise, one sample", noise, 1000, 500, 500, {640, 360}},
        {"noise, window past the samples", noise, 5000, 3000, 9000, {640, 360}},
        {"wild values", wild, 150001, 0, 150000, {1000, 600}},
        {"wild values, zoomed", wild, 150001, 100, 3100, {777, 333}},
        {"gaps, whole recording", withGaps, 150001, 0, 150000, {1000, 600}},
        {"gaps, zoomed", withGaps, 150001, 4000, 7000, {1000, 600}},
        {"grown in steps", sineWithNoise, 150001, 0, 150000, {1000, 600}, Growth::InSteps},
        {"gaps grown in steps", withGaps, 20000, 0, 19999, {500, 300}, Growth::InSteps},
        {"narrow plot", noise, 150001, 0, 150000, {7, 50}},
        {"sine, loaded", sineWithNoise, 150001, 0, 150000, {1000, 600}, Growth::Assigned},
        {"gaps, loaded and zoomed", withGaps, 150001, 4000, 7000, {1000, 600}, Growth::Assigned},
        {"wild values, loaded", wild, 150001, 0, 150000, {1000, 600}, Growth::Assigned},
    };
    return cases;
}

// Appends the samples of both graphs and calls `painted` after each step: in steps, as a live
// view repaints while the recording runs, the window reaching past the samples held and the
// envelope's last buckets still filling.
template <typename Painted>
void fill(const WindowCase& c, MultiGraphData& data, IoGraphData& io, Painted painted) {
    data.reset(1, c.samples);
    io.reset(1, c.samples);
    data.lowerBound[0] = io.lowerBound[0] = 0.0;
    data.upperBound[0] = 1.0;
    io.upperBound[0] = IoGraphData::kUpperBound;
    data.firstIndex = io.firstIndex = c.firstIndex;
    data.lastIndex = io.lastIndex = c.lastIndex;
    data.drawEnabled = io.drawEnabled = 1;
    std::mt19937 rng(31);
    if (c.growth == Growth::Assigned) {
        std::vector<double> values(c.samples);
        for (uint32_t k = 0; k < c.samples; ++k)
            values[k] = c.signal(rng, k);
        data.assignSamples(0, c.samples, [&](uint32_t k) { return values[k]; });
        io.assignSamples(0, c.samples, [&](uint32_t k) {
            return isGap(values[k]) ? kIoGap
                                    : IoGraphData::level(int(k / 3000) % 16, values[k] > 0.5);
        });
        painted(1);
        return;
    }
    const uint32_t steps = c.growth == Growth::InSteps ? 5 : 1;
    uint32_t k = 0;
    for (uint32_t step = 1; step <= steps; ++step) {
        // Uneven steps, so that most of them end inside a bucket.
        for (; k < uint64_t(c.samples) * step / steps - (step < steps ? 7 * step : 0); ++k) {
            const double v = c.signal(rng, k);
            data.appendSample(0, v);
            io.appendSample(0, isGap(v) ? kIoGap : IoGraphData::level(int(k / 3000) % 16, v > 0.5));
        }
        painted(step);
    }
}

TEST(EnvelopeTrace, PaintsThePixelsOfEverySampleForEveryWindow) {
    for (const WindowCase& c : windowCases()) {
        MultiGraphData data;
        IoGraphData io;
        fill(c, data, io, [&](uint32_t step) {
            const std::string what = c.name + ", step " + std::to_string(step);
            expectEnvelopeMatches(data, c.plot, paintMultiGraph, renderMultiGraph, "data, " + what);
            expectEnvelopeMatches(io, c.plot, paintIoGraph, renderIoGraph, "I/O, " + what);
        });
    }
}

// A handful of vertices per column, whatever the number of samples.
TEST(EnvelopeTrace, KeepsAFewVerticesPerColumn) {
    MultiGraphData data;
    IoGraphData io;
    fill(windowCases().at(2), data, io, [](uint32_t) {});
    const Size plot(1000, 600);
    for (const auto& piece : envelopePolylines(data.heldSamples(0), data.envelopes[0],
                                               TraceShape::Line, 0, 150000, 0.0, 1.0, plot)) {
        EXPECT_LE(piece.size(), 6u * 1001u + 2u);
    }
}

// The positions the graphs' single-precision sums give, against sums taken one at a time.
TEST(StepAccumulator, AgreesWithAddingOneStepAtATime) {
    std::mt19937 rng(8);
    std::vector<std::pair<double, uint64_t>> cases = {
        {1000.0 / 150000.0, 150001}, {1000.0 / 150001.0, 150002}, {645.0 / 7.0, 8},
        {1.0 + 1.0 / 8388608.0, 5000},  // half a grid step from 2 up: sums there tie
        {3.0 / 1024.0, 400000}, {0.0, 10}, {1.0, 1}, {1e-7, 3000000},
    };
    for (int i = 0; i < 20; ++i) {
        const int width = std::uniform_int_distribution<>(1, 4000)(rng);
        const uint64_t n = std::uniform_int_distribution<uint64_t>(1, 300000)(rng);
        cases.emplace_back(double(width) / double(n), n + 1);
    }
    for (const auto& [exactStep, count] : cases) {
        const float step = float(exactStep);
        const StepAccumulator positions(step, count);
        float a = 0.0f;
        int column = 0;
        for (uint64_t k = 0; k < count; ++k, a += step) {
            ASSERT_EQ(positions.at(k), a) << "step " << step << ", k " << k;
            // Every column's first sample, and a threshold between two of them.
            while (a >= column) {
                ASSERT_EQ(positions.firstReaching(column), k) << "step " << step;
                ++column;
            }
        }
        EXPECT_EQ(positions.firstReaching(double(a) + 1.0), count);
    }
}

}  // namespace
}  // namespace kestiva
