// The graphs draw a collapsed polyline instead of one vertex per sample. These tests hold it to
// its promise: the very same pixels as the full polyline, over many kinds of data.

#include "window/GraphGeometry.h"
#include "views/GraphPainting.h"
#include "views/TraceGraphWidget.h"
#include "views/QtWindow.h"
#include "window/LineRaster.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

namespace kestiva {
namespace {

constexpr Color kTraceColor = 0x00FFFF;

QImage paintPolyline(const std::vector<Point>& points, Size plot, PolylineMode mode) {
    QImage image(toQt(plot), QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    paintTrace(painter, points, kTraceColor, mode, toQt(plot));
    return image;
}

// Where the two pictures first differ, for the failure message.
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

// The window's rasteriser on the same vertices: every vertex stepped as lines, or the collapsed
// polyline stepped and its spans filled.
QImage rasterPolyline(const std::vector<Point>& points, Size plot, bool collapse) {
    QImage image(toQt(plot), QImage::Format_RGB32);
    image.fill(Qt::black);
    const uint32_t pixel = pixelOf(kTraceColor);
    if (!collapse) {
        LineRaster(pixelsOf(image), pixel).polyline(points);
        return image;
    }
    const CollapsedTrace c = collapseColumns(points, plot);
    LineRaster(pixelsOf(image), pixel).polyline(c.polyline);
    for (const Line& span : c.spans)
        fillColumn(pixelsOf(image), span.x1(), span.y1(), span.y2(), pixel);
    return image;
}

void expectSamePixels(const std::vector<Point>& points, Size plot, const std::string& what) {
    const QImage full = paintPolyline(points, plot, PolylineMode::EveryVertex);
    const QImage collapsed = paintPolyline(points, plot, PolylineMode::CollapsedColumns);
    ASSERT_TRUE(full == collapsed) << what << ": " << points.size() << " vertices in "
                                   << plot.width() << " x " << plot.height() << ", "
                                   << firstDifference(full, collapsed);
    for (const bool collapse : {false, true}) {
        const QImage raster = rasterPolyline(points, plot, collapse);
        ASSERT_TRUE(full == raster) << what << ", rasterised" << (collapse ? " collapsed" : "")
                                    << ": " << points.size() << " vertices in " << plot.width()
                                    << " x " << plot.height() << ", "
                                    << firstDifference(full, raster);
    }
}

// The same trace painted from its envelope, a few vertices per column found in its buckets,
// gives the same pixels too.
template <typename Sample>
void expectSameEnvelopePixels(const std::vector<Point>& points, const std::vector<Sample>& samples,
                              TraceShape shape, uint32_t first, uint32_t last, double upper,
                              Size plot, const std::string& what) {
    TraceEnvelope<Sample> envelope;
    envelope.reset(uint32_t(samples.size()));
    for (const Sample s : samples) {
        envelope.append(s);
    }
    QImage fromEnvelope(toQt(plot), QImage::Format_RGB32);
    fromEnvelope.fill(Qt::black);
    QPainter painter(&fromEnvelope);
    for (const auto& piece :
         envelopePolylines<Sample>(samples, envelope, shape, first, last, 0.0, upper, plot)) {
        paintTrace(painter, piece, kTraceColor, PolylineMode::Envelope, toQt(plot));
    }
    painter.end();
    const QImage full = paintPolyline(points, plot, PolylineMode::EveryVertex);
    ASSERT_TRUE(full == fromEnvelope) << what << ", from the envelope: " << samples.size()
                                      << " samples in " << plot.width() << " x "
                                      << plot.height() << ", " << firstDifference(full, fromEnvelope);
}

using Generator = std::function<double(std::mt19937&, size_t)>;

// Data traces of many samples per pixel column, from a few kinds of signal.
TEST(CollapseColumns, DataTracesPaintTheSamePixels) {
    const std::vector<std::pair<std::string, Generator>> kinds = {
        {"uniform noise",
         [](std::mt19937& rng, size_t) { return std::uniform_real_distribution<>(0, 1)(rng); }},
        {"random walk",
         [walk = 0.5](std::mt19937& rng, size_t) mutable {
             walk += std::normal_distribution<>(0, 0.02)(rng);
             return walk;
         }},
        {"slow sine with noise",
         [](std::mt19937& rng, size_t k) {
             return 0.5 + 0.4 * std::sin(k * 0.001) +
                    std::uniform_real_distribution<>(-0.05, 0.05)(rng);
         }},
        {"rare spikes",
         [](std::mt19937& rng, size_t) {
             return std::uniform_int_distribution<>(0, 200)(rng) == 0 ? 1.0 : 0.1;
         }},
        {"two levels",
         [](std::mt19937& rng, size_t) { return double(std::uniform_int_distribution<>(0, 1)(rng)); }},
        // Half of the values beyond the bounds: columns that leave the plot stay whole.
        {"beyond the bounds",
         [](std::mt19937& rng, size_t) { return std::uniform_real_distribution<>(-1, 2)(rng); }},
    };
    std::mt19937 rng(20240611);
    for (const auto& [name, signal] : kinds) {
        for (int round = 0; round < 40; ++round) {
            const Size plot(std::uniform_int_distribution<>(1, 260)(rng),
                             std::uniform_int_distribution<>(1, 180)(rng));
            const size_t count = std::uniform_int_distribution<size_t>(2, 6000)(rng);
            std::vector<double> samples(count);
            for (size_t k = 0; k < count; ++k) {
                samples[k] = signal(rng, k);
            }
            const uint32_t first = std::uniform_int_distribution<uint32_t>(0, 50)(rng);
            const uint32_t last =
                first + std::uniform_int_distribution<uint32_t>(1, uint32_t(count) + 100)(rng);
            const auto points = multiTracePoints(samples, first, last, 0.0, 1.0, plot);
            expectSamePixels(points, plot, name);
            expectSameEnvelopePixels(points, samples, TraceShape::Line, first, last, 1.0, plot,
                                     name);
        }
    }
}

TEST(CollapseColumns, IoTracesPaintTheSamePixels) {
    std::mt19937 rng(77);
    for (const double toggle : {0.5, 0.05, 0.002}) {
        for (int round = 0; round < 15; ++round) {
            const Size plot(std::uniform_int_distribution<>(1, 300)(rng),
                             std::uniform_int_distribution<>(16, 200)(rng));
            const size_t count = std::uniform_int_distribution<size_t>(1, 8000)(rng);
            const int signal = std::uniform_int_distribution<>(0, 15)(rng);
            std::vector<uint32_t> samples(count);
            int bit = 0;
            for (auto& sample : samples) {
                if (std::bernoulli_distribution(toggle)(rng)) {
                    bit ^= 1;
                }
                sample = IoGraphData::level(signal, bit);
            }
            const uint32_t first = std::uniform_int_distribution<uint32_t>(0, 20)(rng);
            const uint32_t last =
                first + std::uniform_int_distribution<uint32_t>(0, uint32_t(count) + 50)(rng);
            const auto points = ioTracePoints(samples, first, last, 0.0, 128.0, plot);
            expectSamePixels(points, plot, "toggle " + std::to_string(toggle));
            expectSameEnvelopePixels(points, samples, TraceShape::Steps, first, last, 128.0, plot,
                                     "toggle " + std::to_string(toggle));
        }
    }
}

// Hand-made polylines that stress the joints: zig-zags touching the plot edges, repeated
// vertices, columns visited twice, steps back to the left, vertices just outside the image.
TEST(CollapseColumns, AwkwardPolylinesPaintTheSamePixels) {
    std::mt19937 rng(4242);
    for (int round = 0; round < 3000; ++round) {
        const Size plot(std::uniform_int_distribution<>(1, 40)(rng),
                         std::uniform_int_distribution<>(1, 40)(rng));
        const size_t count = std::uniform_int_distribution<size_t>(2, 400)(rng);
        std::vector<Point> points;
        int x = std::uniform_int_distribution<>(-2, 2)(rng);
        for (size_t k = 0; k < count; ++k) {
            const int step = std::discrete_distribution<>({70, 20, 5, 5})(rng);
            x += step == 0 ? 0 : step == 1 ? 1 : step == 2 ? 2 : -1;
            int y;
            switch (std::uniform_int_distribution<>(0, 5)(rng)) {
            case 0: y = 0; break;
            case 1: y = plot.height() - 1; break;
            case 2: y = points.empty() ? 0 : points.back().y(); break;
            case 3: y = std::uniform_int_distribution<>(-3, plot.height() + 3)(rng); break;
            default:
                y = (points.empty() ? 0 : points.back().y()) +
                    std::uniform_int_distribution<>(-2, 2)(rng);
            }
            points.emplace_back(x, y);
        }
        expectSamePixels(points, plot, "round " + std::to_string(round));
        if (HasFatalFailure()) {
            return;
        }
    }
}

// Columns on which simpler reductions fail: keeping only the extremes between the first and
// the last vertex of a column loses the pixels where a line starts, turns or ends.
TEST(CollapseColumns, ColumnsWhereOnlyExtremesWouldNotDo) {
    const std::vector<std::pair<Size, std::vector<Point>>> cases = {
        {Size(19, 40), {{8, 5}, {8, 3}, {8, 39}, {8, 8}, {8, 0}, {8, 19}, {8, 39}, {8, 38}, {9, 39}}},
        {Size(34, 24), {{9, 23}, {9, 23}, {9, 0}, {9, 2}, {9, 4}, {9, 5}, {9, 23}, {9, 0}, {39, 2}}},
        {Size(19, 27), {{2, 26}, {2, 26}, {2, 12}, {2, 26}, {2, 23}, {2, 2}, {2, 0}, {2, 2}, {21, 26}}},
        {Size(16, 25), {{5, 24}, {5, 24}, {5, 22}, {5, 6}, {5, 0}, {5, 1}, {5, 2}, {5, 0}, {58, 12}}},
        {Size(21, 27), {{0, 26}, {0, 26}, {0, 11}, {0, 26}, {0, 25}, {0, 20}, {0, 21}, {0, 23}, {41, 0}}},
    };
    for (const auto& [plot, points] : cases) {
        expectSamePixels(points, plot, "case");
        EXPECT_LT(collapseColumns(points, plot).polyline.size(), points.size());
    }
}

// Columns whose rows leave the image: far away (values no range could hold), just beyond the
// band the painter clips to, or on its edges. Their moves and the segments between columns
// must paint what they painted before, and the collapse must still shorten them.
TEST(CollapseColumns, ColumnsLeavingTheImagePaintTheSamePixels) {
    using RowPick = std::function<int(std::mt19937&, int height)>;
    const auto inside = [](std::mt19937& rng, int height) {
        return std::uniform_int_distribution<>(0, height - 1)(rng);
    };
    const auto far = [](std::mt19937& rng, int) {
        return std::bernoulli_distribution(0.5)(rng) ? -int(kFarAway) : int(kFarAway);
    };
    const auto nearEdge = [](std::mt19937& rng, int height) {
        const int offset = std::uniform_int_distribution<>(-3, 2)(rng);
        return offset < 0 ? offset : height + offset;
    };
    const std::vector<std::pair<std::string, RowPick>> kinds = {
        {"far rows among inside ones",
         [&](std::mt19937& rng, int height) {
             const int pick = std::uniform_int_distribution<>(0, 9)(rng);
             return pick == 0   ? far(rng, height)
                    : pick == 1 ? nearEdge(rng, height)
                                : inside(rng, height);
         }},
        {"far and inside rows alike",
         [&](std::mt19937& rng, int height) {
             return std::bernoulli_distribution(0.5)(rng) ? far(rng, height) : inside(rng, height);
         }},
        {"rows around the band's edges", nearEdge},
        {"far rows and the band's edges",
         [&](std::mt19937& rng, int height) {
             return std::bernoulli_distribution(0.5)(rng) ? far(rng, height)
                                                           : nearEdge(rng, height);
         }},
        {"moderately far rows",
         [](std::mt19937& rng, int height) {
             return std::uniform_int_distribution<>(-3 * height, 4 * height)(rng);
         }},
    };
    std::mt19937 rng(31337);
    for (const auto& [name, pick] : kinds) {
        size_t before = 0;
        size_t after = 0;
        for (int round = 0; round < 400; ++round) {
            const Size plot(std::uniform_int_distribution<>(1, 30)(rng),
                             std::uniform_int_distribution<>(1, 40)(rng));
            std::vector<Point> points;
            for (int x = -1; x <= plot.width(); ++x) {
                const int count = std::uniform_int_distribution<>(1, 12)(rng);
                for (int k = 0; k < count; ++k) {
                    // Repeated rows too: a zero-length move beyond the band is not nothing.
                    const bool repeat = !points.empty() && std::bernoulli_distribution(0.15)(rng);
                    points.emplace_back(x, repeat ? points.back().y() : pick(rng, plot.height()));
                }
            }
            expectSamePixels(points, plot, name + ", round " + std::to_string(round));
            if (HasFatalFailure()) {
                return;
            }
            before += points.size();
            after += collapseColumns(points, plot).polyline.size();
        }
        EXPECT_LT(double(after), 0.9 * double(before))
            << name << ": " << after << " of " << before << " vertices kept";
    }
}

TEST(CollapseColumns, KeepsAFewVerticesPerColumn) {
    std::mt19937 rng(5);
    std::vector<double> samples(150001);
    for (auto& s : samples) {
        s = std::uniform_real_distribution<>(0, 1)(rng);
    }
    const Size plot(1000, 600);
    const auto points = multiTracePoints(samples, 0, 150000, 0.0, 1.0, plot);
    ASSERT_EQ(points.size(), 150001u);
    const CollapsedTrace collapsed = collapseColumns(points, plot);
    EXPECT_LE(collapsed.polyline.size(), 4u * 1001u + 2u);
    EXPECT_LE(collapsed.spans.size(), 1001u);
    EXPECT_EQ(collapsed.polyline.front(), points.front());
    EXPECT_EQ(collapsed.polyline.back(), points.back());
    expectSamePixels(points, plot, "150,001 samples");
}

// The whole picture, grid and all, through both paths.
TEST(CollapseColumns, WholeGraphsMatchTheirEveryVertexPictures) {
    std::mt19937 rng(99);
    MultiGraphData data;
    data.reset(3, 20000);
    for (uint32_t i = 0; i < 3; ++i) {
        for (int k = 0; k < 20000; ++k) {
            data.appendSample(i, std::normal_distribution<>(i * 10.0, 3.0)(rng));
        }
        data.lowerBound[i] = -5.0;
        data.upperBound[i] = 25.0;
    }
    data.firstIndex = 100;
    data.lastIndex = 19000;
    data.drawEnabled = 1;
    QImage full(640, 360, QImage::Format_RGB32);
    QImage collapsed(640, 360, QImage::Format_RGB32);
    paintMultiGraph(data, full, PolylineMode::EveryVertex);
    paintMultiGraph(data, collapsed, PolylineMode::CollapsedColumns);
    EXPECT_TRUE(full == collapsed) << firstDifference(full, collapsed);

    IoGraphData io;
    io.reset(16, 30000);
    for (int k = 0; k < 30000; ++k) {
        for (int j = 0; j < 16; ++j) {
            io.appendSample(j, IoGraphData::level(j, std::bernoulli_distribution(0.3)(rng)));
        }
    }
    for (int j = 0; j < 16; ++j) {
        io.upperBound[j] = IoGraphData::kUpperBound;
    }
    io.lastIndex = 29999;
    io.drawEnabled = 1;
    QImage ioFull(700, 400, QImage::Format_RGB32);
    QImage ioCollapsed(700, 400, QImage::Format_RGB32);
    paintIoGraph(io, ioFull, PolylineMode::EveryVertex);
    paintIoGraph(io, ioCollapsed, PolylineMode::CollapsedColumns);
    EXPECT_TRUE(ioFull == ioCollapsed) << firstDifference(ioFull, ioCollapsed);
}

}  // namespace
}  // namespace kestiva
