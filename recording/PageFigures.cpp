#include "recording/PageFigures.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>

#include "settings/NumberText.h"

namespace kestiva {

namespace {

// Fixed-point text with `decimals` digits, rounded. Locale-free, "." as the point.
std::string fixedText(double value, int decimals) {
    char buffer[400];  // the largest double has 309 digits before the point
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

// Fixed-point text with `decimals` digits, the last of them then cut off: the labels drop
// that digit instead of rounding it away. Locale-free, "." as the point.
std::string fixedTextCut(double value, int decimals) {
    std::string text = fixedText(value, decimals);
    if (!text.empty())
        text.pop_back();
    return text;
}

std::array<std::string, 3> noFigureLabels() {
    const std::string none(kNoFigureText);
    return {none, none, none};
}

// Samples of a raw table that both its count and its storage vouch for.
template <typename Table>
uint32_t heldSamples(const Table& table, uint32_t sampleCount, std::size_t perSample) {
    return uint32_t(std::min<std::size_t>(sampleCount, table.size() / perSample));
}

// An index of the pages' double windows as the graph's integer, cut towards zero and kept
// within 32 bits.
uint32_t toGraphIndex(double index) {
    if (!(index > 0.0))
        return 0;
    if (index >= 4294967295.0)
        return 0xFFFFFFFFu;
    return uint32_t(index);
}

// The same refusal rule for every window, whichever edit (or zoom) proposed it.
EntryOutcome decideWindow(WindowEntry& window, IndexWindow candidate) {
    if (candidate.first == window.entered.first && candidate.last == window.entered.last)
        return EntryOutcome::Unchanged;
    window.entered = candidate;
    if (candidate.first < candidate.last) {
        window.applied = candidate;
        return EntryOutcome::Accepted;
    }
    // One sample is a window that can be kept but not drawn; the window 0 to 0 is refused.
    if (candidate.first == candidate.last && candidate.first != 0.0) {
        window.applied = candidate;
        return EntryOutcome::AcceptedHidden;
    }
    window.entered = window.applied;
    return EntryOutcome::Rejected;
}

// The x positions at which a graph paints the samples of its window, walked with the
// painting's own single-precision accumulator: sample 0 at x = 0, sample k at the accumulator
// after k steps, cut towards zero. Lines spread the window's last sample to the right edge;
// steps give every sample a step of the same width.
class PixelWalk {
public:
    static std::optional<PixelWalk> of(TraceStyle style, GraphWindow window, int width) {
        if (width < 1 || window.last < window.first)
            return std::nullopt;
        const uint64_t samples = uint64_t(window.last) - window.first + 1;
        const uint64_t divisions = style == TraceStyle::Line ? samples - 1 : samples;
        if (divisions == 0)
            return std::nullopt;  // a one-sample line has nothing to join
        return PixelWalk(samples, float(double(width) / double(divisions)));
    }

    uint64_t sample() const { return sample_; }
    int x() const { return pixelOf(position_); }
    // x of the next sample, or nothing when this is the last one or when the accumulator has
    // stopped growing (every later sample is painted at this x).
    std::optional<int> peekNext() const {
        if (sample_ + 1 >= samples_ || next() == position_)
            return std::nullopt;
        return pixelOf(next());
    }
    void advance() {
        position_ = next();
        ++sample_;
    }

private:
    PixelWalk(uint64_t samples, float step) : samples_(samples), step_(step) {}
    float next() const { return position_ + step_; }
    // Positions stay near the plot's width, an int; the bound keeps the cut defined anyway.
    static int pixelOf(float position) {
        return position < 2147483520.0f ? int(position) : 2147483520;
    }

    uint64_t samples_;
    float step_;
    float position_ = 0.0f;
    uint64_t sample_ = 0;
};

}  // namespace

ValueRange dataTypeLimits(int32_t typeCode) {
    switch (typeCode) {
        case kTypeUdword:
            return {0.0, 4294967295.0};
        case kTypeWord:
            return {-32768.0, 32767.0};
        case kTypeUword:
            return {0.0, 65535.0};
        case kTypeMsb:
        case kTypeLsb:
            return {-128.0, 127.0};
        case kTypeUmsb:
        case kTypeUlsb:
            return {0.0, 255.0};
        default:
            return {-2147483648.0, 2147483647.0};
    }
}

ValueRange rangeEditLimits(int32_t typeCode, double scale) {
    const ValueRange type = dataTypeLimits(typeCode);
    return {type.lower * scale, type.upper * scale};
}

double plottedValue(const DataItem& item, int32_t raw) {
    const double word = dataTypeIsSigned(item.typeCode) ? double(raw) : double(uint32_t(raw));
    return word * item.scale;
}

ValueRange plottedExtremes(const PageRecording& page, int item) {
    if (item < 0 || item >= kDataItemCount)
        return {};
    const DataItem& config = page.active.items[std::size_t(item)];
    const uint32_t samples = heldSamples(page.rawData, page.sampleCount, kDataItemCount);
    ValueRange extremes;
    for (uint32_t j = 0; j < samples; ++j) {
        const double v =
            plottedValue(config, page.rawData[std::size_t(j) * kDataItemCount + std::size_t(item)]);
        // Both extremes start from the first value.
        if (j == 0 || v < extremes.lower)
            extremes.lower = v;
        if (j == 0 || v > extremes.upper)
            extremes.upper = v;
    }
    return extremes;
}

ValueRange initialBounds(ValueRange extremes, double scale) {
    return {extremes.lower - scale, extremes.upper + scale};
}

int scaleDecimals(std::string_view scaleText) {
    const std::size_t dot = scaleText.find('.');
    if (dot == std::string_view::npos)
        return 0;
    std::size_t end = scaleText.size();
    while (end > 1 && scaleText[end - 1] == '0')
        --end;
    return end > dot + 1 ? int(end - dot - 1) : 0;
}

double samplingSpan(EndMarker endMarker, uint32_t samplingTime, uint32_t cycle,
                    uint32_t sampleCount) {
    if (endMarker == EndMarker::Complete)
        return double(samplingTime);
    if (sampleCount == 0)
        return 0.0;
    const double tenths = std::floor(10.0 * double(sampleCount - 1) * double(cycle) / 1000.0);
    return tenths / 10.0;
}

std::string spanText(double span) {
    return fixedTextCut(span, 2);
}

std::string cycleText(uint32_t cycle) {
    return std::to_string(cycle);
}

std::string labelText(double value) {
    return fixedTextCut(value, 3);
}

std::array<std::string, 3> valueLabels(ValueRange range) {
    const double height = range.upper - range.lower;
    return {labelText(range.lower + height * 0.25 * 3.0),
            labelText(range.lower + height * 0.25 * 2.0), labelText(range.lower + height * 0.25)};
}

std::array<std::string, 3> timeLabels(TimeWindow window) {
    const double length = window.end - window.start;
    return {labelText(window.start + length * 0.25), labelText(window.start + length * 0.5),
            labelText(window.start + length * 0.75)};
}

EntryOutcome commitRange(RangeEntry& range, RangeEdit edit, double value) {
    double& entered = edit == RangeEdit::Lower ? range.entered.lower : range.entered.upper;
    if (value == entered)
        return EntryOutcome::Unchanged;
    entered = value;
    const ValueRange candidate = range.entered;
    if (candidate.lower < candidate.upper) {
        range.applied = candidate;
        return EntryOutcome::Accepted;
    }
    // Equal bounds are kept, but a zero range has no line to draw.
    if (candidate.lower == candidate.upper) {
        range.applied = candidate;
        return EntryOutcome::AcceptedHidden;
    }
    entered = edit == RangeEdit::Lower ? range.applied.lower : range.applied.upper;
    return EntryOutcome::Rejected;
}

WindowEntry wholeRecordingWindow(uint32_t sampleCount) {
    const IndexWindow whole{0.0, sampleCount > 0 ? double(sampleCount - 1) : 0.0};
    return {whole, whole};
}

uint32_t secondsToIndex(double seconds, uint32_t cycle) {
    if (cycle == 0)
        return 0;
    const double milliseconds = std::trunc(seconds * 1000.0);
    if (!std::isfinite(milliseconds))
        return 0;
    // The low 32 bits of the integer, as two's complement for a negative one.
    double low = std::fmod(milliseconds, 4294967296.0);
    if (low < 0.0)
        low += 4294967296.0;
    return uint32_t(low) / cycle;
}

double startIndex(double seconds, uint32_t cycle, uint32_t sampleCount) {
    const uint32_t index = secondsToIndex(seconds, cycle);
    // A start inside the first cycle cannot be told from the start of the recording, and taking
    // it as 0 would show a window the user did not ask for.
    if (index == 0 && seconds != 0.0)
        return double(sampleCount) + 1.0;
    return double(index);
}

EntryOutcome commitWindowEdit(WindowEntry& window, WindowEdit edit, double seconds, uint32_t cycle,
                              uint32_t sampleCount) {
    IndexWindow candidate = window.entered;
    if (edit == WindowEdit::Start)
        candidate.first = startIndex(seconds, cycle, sampleCount);
    else
        candidate.last = double(secondsToIndex(seconds, cycle));
    return decideWindow(window, candidate);
}

EntryOutcome commitWindow(WindowEntry& window, TimeWindow seconds, uint32_t cycle,
                          uint32_t sampleCount) {
    return decideWindow(window, {startIndex(seconds.start, cycle, sampleCount),
                                 double(secondsToIndex(seconds.end, cycle))});
}

TimeWindow appliedSeconds(const WindowEntry& window, uint32_t cycle) {
    return {double(cycle) * window.applied.first / 1000.0,
            double(cycle) * window.applied.last / 1000.0};
}

GraphWindow graphWindow(IndexWindow applied, uint32_t sampleCount) {
    const uint32_t lastSample = sampleCount > 0 ? sampleCount - 1 : 0;
    return {toGraphIndex(applied.first), std::min(toGraphIndex(applied.last), lastSample)};
}

DataPageFigures dataPageFigures(const PageRecording& page) {
    DataPageFigures figures;
    for (int k = 0; k < kDataItemCount; ++k) {
        const DataItem& item = page.active.items[std::size_t(k)];
        ItemFigures& f = figures.items[std::size_t(k)];
        f.enabled = item.enabled != 0;
        // A disabled item keeps the page's defaults: DWORD limits and a scale of 1.
        int32_t typeCode = kTypeDword;
        if (f.enabled) {
            f.name = item.name;
            f.typeName = item.typeName;
            f.scaleText = item.scaleText;
            f.unit = item.unit;
            f.scale = item.scale;
            f.decimals = scaleDecimals(item.scaleText);
            f.extremes = plottedExtremes(page, k);
            typeCode = item.typeCode;
        }
        f.bounds = initialBounds(f.extremes, f.scale);
        f.editLimits = rangeEditLimits(typeCode, f.scale);
        f.valueLabels = f.enabled ? valueLabels(f.bounds) : noFigureLabels();
    }
    figures.span = samplingSpan(page.endMarker, page.time, page.cycle, page.sampleCount);
    figures.cycleText = cycleText(page.cycle);
    figures.spanText = spanText(figures.span);
    figures.window = wholeRecordingWindow(page.sampleCount);
    figures.timeLabels = timeLabels({0.0, figures.span});
    return figures;
}

uint32_t ioLevel(int signal, int bit) {
    // 8-bit arithmetic: a signal number outside 0 to 15 still gives a level, never an overflow.
    return uint8_t(121u - 8u * unsigned(signal) + (bit != 0 ? 6u : 0u));
}

IoPageFigures ioPageFigures(const PageRecording& page) {
    IoPageFigures figures;
    const uint32_t samples = heldSamples(page.rawIo, page.sampleCount, kIoSignalCount);
    for (int s = 0; s < kIoSignalCount; ++s) {
        const DataItem& signal = page.active.items[std::size_t(s)];
        SignalFigures& f = figures.ioSignals[std::size_t(s)];
        f.enabled = signal.enabled != 0;
        if (!f.enabled)
            continue;
        f.name = signal.name;
        for (uint32_t i = 0; i < samples; ++i) {
            const double bit = page.rawIo[std::size_t(i) * kIoSignalCount + std::size_t(s)];
            if (i == 0 || bit < f.bits.lower)
                f.bits.lower = bit;
            if (i == 0 || bit > f.bits.upper)
                f.bits.upper = bit;
        }
    }
    figures.span = samplingSpan(page.endMarker, page.time, page.cycle, page.sampleCount);
    figures.cycleText = cycleText(page.cycle);
    figures.spanText = spanText(figures.span);
    figures.window = wholeRecordingWindow(page.sampleCount);
    figures.timeLabels = timeLabels({0.0, figures.span});
    return figures;
}

std::optional<int> sampleToPixel(TraceStyle style, GraphWindow window, int width, uint32_t index) {
    auto walk = PixelWalk::of(style, window, width);
    if (!walk || index < window.first || index > window.last)
        return std::nullopt;
    const uint64_t target = index - window.first;
    while (walk->sample() < target && walk->peekNext())
        walk->advance();
    return walk->x();
}

std::optional<uint32_t> pixelToSample(TraceStyle style, GraphWindow window, int width, int x) {
    auto walk = PixelWalk::of(style, window, width);
    if (!walk)
        return std::nullopt;
    // The first sample of the column reached so far: later samples of the same column are
    // painted on top of it, but it is the one the column starts with.
    uint64_t columnFirst = 0;
    int columnX = 0;
    while (const auto nextX = walk->peekNext()) {
        if (*nextX > x) {
            // A line's next vertex may lie nearer to x than the column behind it.
            if (style == TraceStyle::Line && *nextX - x < x - columnX)
                columnFirst = walk->sample() + 1;
            break;
        }
        walk->advance();
        if (*nextX != columnX) {
            columnX = *nextX;
            columnFirst = walk->sample();
        }
    }
    return uint32_t(window.first + columnFirst);
}

namespace {

// A window within [0, span], ends in order; an end that is not a number counts as 0.
TimeWindow clampToSpan(TimeWindow window, double span) {
    const double limit = span > 0.0 ? span : 0.0;
    const auto inSpan = [limit](double t) {
        return std::isnan(t) ? 0.0 : std::clamp(t, 0.0, limit);
    };
    const double start = inSpan(window.start);
    const double end = inSpan(window.end);
    return {std::min(start, end), std::max(start, end)};
}

}  // namespace

TimeWindow zoomWindow(TimeWindow current, double span, uint32_t cycle, double cursorTime,
                      double factor) {
    const TimeWindow window = clampToSpan(current, span);
    if (!(factor > 0.0) || !std::isfinite(factor) || std::isnan(cursorTime))
        return window;
    const double width = window.end - window.start;
    const double cursor = std::clamp(cursorTime, window.start, window.end);
    // The cursor keeps its share of the window, so it stays over the same time.
    const double share = width > 0.0 ? (cursor - window.start) / width : 0.5;
    const double zoomed = std::max(width * factor, double(cycle) / 1000.0);
    const double start = cursor - share * zoomed;
    return clampToSpan({start, start + zoomed}, span);
}

TimeWindow panWindow(TimeWindow current, double span, double delta) {
    const TimeWindow window = clampToSpan(current, span);
    if (!std::isfinite(delta))
        return window;
    const double limit = span > 0.0 ? span : 0.0;
    const double width = window.end - window.start;
    const double start = std::clamp(window.start + delta, 0.0, limit - width);
    return {start, std::min(start + width, limit)};
}

std::string sampleTimeText(uint32_t index, uint32_t cycle) {
    return millisecondsText(int64_t(uint64_t(index) * cycle));
}

std::string millisecondsText(int64_t milliseconds) {
    const uint64_t magnitude =
        milliseconds < 0 ? uint64_t(0) - uint64_t(milliseconds) : uint64_t(milliseconds);
    std::string fraction = std::to_string(magnitude % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return (milliseconds < 0 ? "-" : "") + std::to_string(magnitude / 1000) + "." + fraction;
}

std::string valueText(double value, int decimals) {
    std::string text = fixedText(value, decimals);
    // A negative scale makes -0.0 of a zero word, and a tiny negative mean rounds to "-0.00".
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

std::vector<ReadoutLine> dataReadout(const PageRecording& page, uint32_t index,
                                     uint32_t shownTraces) {
    std::vector<ReadoutLine> lines;
    if (index >= heldSamples(page.rawData, page.sampleCount, kDataItemCount))
        return lines;
    for (int k = 0; k < kDataItemCount; ++k) {
        const DataItem& item = page.active.items[std::size_t(k)];
        if (item.enabled == 0 || (shownTraces & (1u << k)) == 0)
            continue;
        const double value =
            plottedValue(item, page.rawData[std::size_t(index) * kDataItemCount + std::size_t(k)]);
        // A raw word times the scale has no more digits than the scale text, so rounding to
        // them shows the value exactly.
        lines.push_back({k, item.name, valueText(value, scaleDecimals(item.scaleText)), item.unit});
    }
    return lines;
}

std::vector<ReadoutLine> ioReadout(const PageRecording& page, uint32_t index,
                                   uint32_t shownTraces) {
    std::vector<ReadoutLine> lines;
    if (index >= heldSamples(page.rawIo, page.sampleCount, kIoSignalCount))
        return lines;
    for (int s = 0; s < kIoSignalCount; ++s) {
        const DataItem& signal = page.active.items[std::size_t(s)];
        if (signal.enabled == 0 || (shownTraces & (1u << s)) == 0)
            continue;
        const bool set = page.rawIo[std::size_t(index) * kIoSignalCount + std::size_t(s)] != 0;
        lines.push_back({s, signal.name, set ? "1" : "0", {}});
    }
    return lines;
}

}  // namespace kestiva
