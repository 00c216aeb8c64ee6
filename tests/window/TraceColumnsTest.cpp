#include "window/TraceColumns.h"

#include "recording/PageFigures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kestiva {
namespace {

template <typename Sample>
struct Trace {
    std::vector<Sample> samples;
    TraceEnvelope<Sample> envelope;

    explicit Trace(std::vector<Sample> values) : samples(std::move(values)) {
        envelope.reset(uint32_t(samples.size()));
        envelope.rebuild(samples);
    }
};

// One cache shared by the traces of a paint gives each the polylines it has alone, whatever
// the order of their windows, sample counts and shapes: a cache made for another trace's
// window must never place this one's vertices.
TEST(TraceColumns, ASharedCacheDrawsEachTraceAsItsOwnWould) {
    std::vector<uint32_t> levels(20001);
    std::vector<double> values(20001);
    for (std::size_t k = 0; k < levels.size(); ++k) {
        levels[k] = k / 7 % 3 == 0 ? 87u : 81u;
        values[k] = std::sin(double(k) * 0.013) * 100.0 + double(k % 11);
    }
    const Trace<uint32_t> ioWhole(levels);
    const Trace<uint32_t> ioShorter(std::vector<uint32_t>(levels.begin(), levels.begin() + 15000));
    const Trace<double> data(values);
    struct Case {
        const char* what;
        uint32_t first, last;
        int width;
    };
    const Case windows[] = {
        {"whole", 0, 20000, 1000},
        {"same again", 0, 20000, 1000},
        {"zoomed", 3000, 9000, 1000},
        {"narrower", 3000, 9000, 640},
        {"fewer samples than columns", 100, 140, 1000},
    };
    TraceColumnCache cache;
    for (const Case& w : windows) {
        SCOPED_TRACE(w.what);
        const Size plot(w.width, 600);
        for (const auto* io : {&ioWhole, &ioWhole, &ioShorter}) {
            const auto alone =
                envelopePolylines<uint32_t>(io->samples, io->envelope, TraceShape::Steps, w.first,
                                            w.last, kIoLowerBound, kIoUpperBound, plot);
            EXPECT_EQ(
                envelopePolylines<uint32_t>(io->samples, io->envelope, TraceShape::Steps, w.first,
                                            w.last, kIoLowerBound, kIoUpperBound, plot, &cache),
                alone);
        }
        const auto alone = envelopePolylines<double>(data.samples, data.envelope, TraceShape::Line,
                                                     w.first, w.last, -120.0, 120.0, plot);
        EXPECT_EQ(envelopePolylines<double>(data.samples, data.envelope, TraceShape::Line, w.first,
                                            w.last, -120.0, 120.0, plot, &cache),
                  alone);
    }
}

}  // namespace
}  // namespace kestiva
