#include "recording/MarkerFigures.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include "recording/PageFigures.h"

namespace kestiva {

namespace {

// Samples both the count and the raw table vouch for.
uint32_t heldSamples(const PageRecording& page) {
    const std::size_t stored = page.kind == kDataMonitor ? page.rawData.size() / kDataItemCount
                                                         : page.rawIo.size() / kIoSignalCount;
    return uint32_t(std::min<std::size_t>(page.sampleCount, stored));
}

// Hertz with six significant digits, "." as the point whatever the locale.
std::string frequencyText(double hertz) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, hertz, std::chars_format::general, 6);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

ItemMeasurement measureItem(const PageRecording& page, int k, const MarkerFigures& markers) {
    const DataItem& config = page.active.items[std::size_t(k)];
    const auto value = [&](uint32_t j) {
        return plottedValue(config, page.rawData[std::size_t(j) * kDataItemCount + std::size_t(k)]);
    };
    ItemMeasurement m;
    m.item = k;
    m.name = config.name;
    m.unit = config.unit;
    m.decimals = scaleDecimals(config.scaleText);
    m.atA = value(markers.a);
    m.atB = value(markers.b);
    m.difference = m.atB - m.atA;
    m.minimum = m.maximum = value(markers.first);
    m.minimumIndex = m.maximumIndex = markers.first;
    double sum = 0.0;
    double sumOfSquares = 0.0;
    for (uint32_t j = markers.first; j <= markers.last; ++j) {
        const double v = value(j);
        sum += v;
        sumOfSquares += v * v;
        // Strict comparisons keep the first sample that reaches an extreme.
        if (v < m.minimum) {
            m.minimum = v;
            m.minimumIndex = j;
        }
        if (v > m.maximum) {
            m.maximum = v;
            m.maximumIndex = j;
        }
    }
    const double count = double(markers.last - markers.first) + 1.0;
    m.mean = sum / count;
    m.rms = std::sqrt(sumOfSquares / count);

    const auto text = [&](double v) { return valueText(v, m.decimals); };
    m.atAText = text(m.atA);
    m.atBText = text(m.atB);
    m.differenceText = text(m.difference);
    m.minimumText = text(m.minimum);
    m.maximumText = text(m.maximum);
    m.meanText = text(m.mean);
    m.rmsText = text(m.rms);
    m.minimumTimeText = sampleTimeText(m.minimumIndex, markers.cycle);
    m.maximumTimeText = sampleTimeText(m.maximumIndex, markers.cycle);
    return m;
}

// The I/O figures of all sixteen signals. A row of the raw table holds every signal, so the
// rows are read as two 64-bit words of eight signals, each byte counting for one signal, and
// one pass over the table does every signal at once.
struct IoCounts {
    std::array<uint32_t, kIoSignalCount> rising{}, falling{}, high{};
    std::array<std::optional<uint32_t>, kIoSignalCount> firstEdge;
};

constexpr uint64_t kLowBits = 0x0101010101010101u;
constexpr int kHalves = kIoSignalCount / 8;

// Eight signals of a row as one word with 1 in each byte whose signal is set (any non-zero
// byte is set, as the pages read it).
uint64_t levels(const uint8_t* row, int half) {
    uint64_t word;
    std::memcpy(&word, row + 8 * half, 8);
    // Folds each byte's bits onto its lowest one; the shifts only ever pull bits of the same
    // byte into that bit.
    word |= word >> 4;
    word |= word >> 2;
    word |= word >> 1;
    return word & kLowBits;
}

// Per-byte counters of eight signals, emptied into the totals before a byte can overflow.
struct ByteCounters {
    uint64_t high = 0, rising = 0, falling = 0;
};
constexpr uint32_t kRowsPerFlush = 255;

void flush(ByteCounters& c, int half, IoCounts& counts) {
    for (int k = 0; k < 8; ++k) {
        const int s = 8 * half + k;
        counts.high[s] += uint32_t(c.high >> (8 * k)) & 0xFF;
        counts.rising[s] += uint32_t(c.rising >> (8 * k)) & 0xFF;
        counts.falling[s] += uint32_t(c.falling >> (8 * k)) & 0xFF;
    }
    c = ByteCounters();
}

IoCounts countIo(const PageRecording& page, const MarkerFigures& markers, uint32_t samples) {
    IoCounts counts;
    const auto row = [&](uint32_t i) { return &page.rawIo[std::size_t(i) * kIoSignalCount]; };
    ByteCounters bytes[kHalves];
    uint64_t now[kHalves] = {levels(row(markers.first), 0), levels(row(markers.first), 1)};
    uint32_t sinceFlush = 0;
    for (uint32_t i = markers.first; i < markers.last; ++i) {
        for (int h = 0; h < kHalves; ++h) {
            const uint64_t next = levels(row(i + 1), h);
            bytes[h].high += now[h];
            bytes[h].rising += next & ~now[h] & kLowBits;
            bytes[h].falling += now[h] & ~next & kLowBits;
            now[h] = next;
        }
        if (++sinceFlush == kRowsPerFlush) {
            for (int h = 0; h < kHalves; ++h)
                flush(bytes[h], h, counts);
            sinceFlush = 0;
        }
    }
    for (int h = 0; h < kHalves; ++h)
        flush(bytes[h], h, counts);

    // The first edge after A of each signal: rows whose signals that still lack one are all
    // as in the row before are passed over whole.
    uint64_t missing[kHalves] = {kLowBits, kLowBits};
    uint64_t before[kHalves] = {levels(row(markers.a), 0), levels(row(markers.a), 1)};
    for (uint32_t i = markers.a + 1; i < samples && (missing[0] | missing[1]) != 0; ++i) {
        for (int h = 0; h < kHalves; ++h) {
            const uint64_t level = levels(row(i), h);
            uint64_t changed = (level ^ before[h]) & missing[h];
            before[h] = level;
            missing[h] &= ~changed;
            for (; changed != 0; changed &= changed - 1)
                counts.firstEdge[std::size_t(8 * h + std::countr_zero(changed) / 8)] = i;
        }
    }
    return counts;
}

bool measured(const PageRecording& page, int k, uint32_t shownTraces) {
    return page.active.items[std::size_t(k)].enabled != 0 && (shownTraces & (1u << k)) != 0;
}

}  // namespace

uint32_t markerIndex(double seconds, uint32_t cycle, uint32_t sampleCount) {
    if (cycle == 0 || sampleCount == 0 || !(seconds > 0.0))
        return 0;
    const double nearest = std::floor(seconds * 1000.0 / double(cycle) + 0.5);
    const double last = double(sampleCount - 1);
    return nearest >= last ? sampleCount - 1 : uint32_t(nearest);
}

MarkerFigures markerFigures(const PageRecording& page, uint32_t a, uint32_t b,
                            uint32_t shownTraces) {
    MarkerFigures figures;
    figures.kind = page.kind;
    figures.cycle = page.cycle;
    const uint32_t samples = heldSamples(page);
    const uint32_t lastSample = samples > 0 ? samples - 1 : 0;
    figures.a = std::min(a, lastSample);
    figures.b = std::min(b, lastSample);
    figures.first = std::min(figures.a, figures.b);
    figures.last = std::max(figures.a, figures.b);
    figures.deltaMilliseconds = (int64_t(figures.b) - int64_t(figures.a)) * int64_t(figures.cycle);
    figures.aTimeText = sampleTimeText(figures.a, figures.cycle);
    figures.bTimeText = sampleTimeText(figures.b, figures.cycle);
    figures.deltaText = millisecondsText(figures.deltaMilliseconds);
    if (figures.deltaMilliseconds != 0) {
        figures.inverseDelta = 1000.0 / double(figures.deltaMilliseconds);
        figures.inverseDeltaText = frequencyText(*figures.inverseDelta);
    }
    if (samples == 0)
        return figures;

    if (page.kind == kDataMonitor) {
        for (int k = 0; k < kDataItemCount; ++k)
            if (measured(page, k, shownTraces))
                figures.items.push_back(measureItem(page, k, figures));
        return figures;
    }
    const IoCounts counts = countIo(page, figures, samples);
    const auto bit = [&](uint32_t i, int s) {
        return page.rawIo[std::size_t(i) * kIoSignalCount + std::size_t(s)] != 0 ? 1 : 0;
    };
    for (int s = 0; s < kIoSignalCount; ++s) {
        if (!measured(page, s, shownTraces))
            continue;
        SignalMeasurement m;
        m.signal = s;
        m.name = page.active.items[std::size_t(s)].name;
        m.levelA = bit(figures.a, s);
        m.levelB = bit(figures.b, s);
        m.risingEdges = counts.rising[s];
        m.fallingEdges = counts.falling[s];
        m.firstEdgeIndex = counts.firstEdge[s];
        m.highSamples = counts.high[s];
        if (m.firstEdgeIndex)
            m.firstEdgeTimeText = sampleTimeText(*m.firstEdgeIndex, figures.cycle);
        m.highTimeText = sampleTimeText(m.highSamples, figures.cycle);
        figures.ioSignals.push_back(std::move(m));
    }
    return figures;
}

namespace {

// A cell of the copied table: a tab or a line break inside it would split the row.
std::string cell(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return text;
}

std::string line(const std::vector<std::string>& cells) {
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out += '\t';
        out += cell(cells[i]);
    }
    return out + '\n';
}

}  // namespace

std::string measurementsTable(const MarkerFigures& figures, const MeasurementTitles& titles) {
    const bool data = figures.kind == kDataMonitor;
    std::vector<std::string> header{data ? titles.item : titles.signal};
    if (data)
        header.push_back(titles.unit);
    const std::vector<std::string> markerTitles{titles.timeA, titles.timeB, titles.delta,
                                                titles.inverseDelta};
    const std::vector<std::string> markerCells{figures.aTimeText, figures.bTimeText,
                                               figures.deltaText, figures.inverseDeltaText};
    header.insert(header.end(), markerTitles.begin(), markerTitles.end());
    const std::vector<std::string> figureTitles =
        data ? std::vector<std::string>{titles.atA,         titles.atB,         titles.difference,
                                        titles.minimum,     titles.minimumTime, titles.maximum,
                                        titles.maximumTime, titles.mean,        titles.rms}
             : std::vector<std::string>{titles.levelA,       titles.levelB,    titles.risingEdges,
                                        titles.fallingEdges, titles.firstEdge, titles.timeHigh};
    header.insert(header.end(), figureTitles.begin(), figureTitles.end());

    std::string out = line(header);
    const auto row = [&](std::vector<std::string> leading, std::vector<std::string> values) {
        leading.insert(leading.end(), markerCells.begin(), markerCells.end());
        leading.insert(leading.end(), values.begin(), values.end());
        out += line(leading);
    };
    for (const ItemMeasurement& m : figures.items)
        row({m.name, m.unit},
            {m.atAText, m.atBText, m.differenceText, m.minimumText, m.minimumTimeText,
             m.maximumText, m.maximumTimeText, m.meanText, m.rmsText});
    for (const SignalMeasurement& m : figures.ioSignals)
        row({m.name},
            {std::to_string(m.levelA), std::to_string(m.levelB), std::to_string(m.risingEdges),
             std::to_string(m.fallingEdges), m.firstEdgeTimeText, m.highTimeText});
    if (figures.items.empty() && figures.ioSignals.empty())
        row(std::vector<std::string>(data ? 2 : 1), std::vector<std::string>(figureTitles.size()));
    return out;
}

}  // namespace kestiva
