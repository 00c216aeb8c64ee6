#pragma once
// Every figure the monitor pages show, computed in one place: the values the data page plots,
// the ranges, labels and window a page starts from after a load, the I/O page's band levels,
// the rules that accept or refuse a range or a time window the user commits, and the mapping
// between the graphs' pixels and samples for the cursor readout and mouse zoom. Plain
// functions without widgets, so the window's pages and the companion command agree.
//
// Texts use "." as the decimal point whatever the locale; a page that shows another separator
// replaces it.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "recording/SampleTables.h"
#include "settings/SamplingConfig.h"

namespace kestiva {

// Shown where a page has nothing to show: after Clear, and for a disabled item's values.
inline constexpr std::string_view kNoFigureText = "---";

// The unit shown beside the time edits and after the readout's time.
inline constexpr std::string_view kTimeUnitText = "S";

// The I/O graph draws every band against these bounds.
inline constexpr double kIoLowerBound = 0.0;
inline constexpr double kIoUpperBound = 128.0;

// Two values, the lower one first.
struct ValueRange {
    double lower = 0.0;
    double upper = 0.0;
};

// A time window in seconds, as the time edits hold it.
struct TimeWindow {
    double start = 0.0;
    double end = 0.0;
};

// A window of sample indices as the pages keep it (first and last, both included).
struct IndexWindow {
    double first = 0.0;
    double last = 0.0;
};

// The window of sample indices a graph draws, both ends included.
struct GraphWindow {
    uint32_t first = 0;
    uint32_t last = 0;
};

// ---- Values and ranges of the data page ----

// The smallest and largest raw value a data type holds. A code outside the table counts as
// DWORD, the type the page gives a disabled item.
ValueRange dataTypeLimits(int32_t typeCode);

// What a trace's range edits clamp to: the limits of the item's type times its scale.
ValueRange rangeEditLimits(int32_t typeCode, double scale);

// The value the data page plots for a raw word of an item: the whole 32-bit word, read as
// unsigned for the unsigned types and as signed for the others, times the item's scale.
double plottedValue(const DataItem& item, int32_t raw);

// Smallest and largest plotted value of data item `item` (0 to 2) over the recording's
// samples; {0, 0} when it holds none.
ValueRange plottedExtremes(const PageRecording& page, int item);

// The range a trace starts from after a load: its extremes widened by one scale unit on each
// side, so that an item whose values are all equal still spans two scale units.
ValueRange initialBounds(ValueRange extremes, double scale);

// Decimals of a trace's range edits: the digits after the "." of the scale text once its
// trailing zeros are gone ("0.010" gives 2, "10.0" and "1" give 0).
int scaleDecimals(std::string_view scaleText);

// ---- Span and label texts ----

// Seconds a recording covers: the configured sampling time when it ran to its end
// (EndMarker::Complete), otherwise the time of its samples cut down to a tenth of a second. An empty
// recording covers no time.
double samplingSpan(EndMarker endMarker, uint32_t samplingTime, uint32_t cycle, uint32_t sampleCount);

// The span as shown: two decimals with the second cut off ("10.0").
std::string spanText(double span);

// The sampling cycle as shown: milliseconds as a decimal integer.
std::string cycleText(uint32_t cycle);

// A value or time label: three decimals with the third cut off, not rounded ("1.23" for
// 1.2361).
std::string labelText(double value);

// The three value labels of a trace, top first: its range at 3/4, 1/2 and 1/4.
std::array<std::string, 3> valueLabels(ValueRange range);

// The three time labels under the graph: the window at 1/4, 1/2 and 3/4.
std::array<std::string, 3> timeLabels(TimeWindow window);

// ---- Committed entries ----

// What a committed range or time window did, and so what the page does next.
enum class EntryOutcome {
    Unchanged,       // the edit gave the number it gave last time: nothing to do
    Accepted,        // the new range or window is in force: update the graph and the labels
    AcceptedHidden,  // in force but nothing can be drawn: as Accepted with drawing disabled
    Rejected,        // refused: the edits show the applied values again
};

// A trace's range: the one in force and the last values taken from its two edits.
struct RangeEntry {
    ValueRange applied;
    ValueRange entered;
};

enum class RangeEdit { Lower, Upper };

// Decides on a value committed in one range edit of a trace. A lower bound below the upper
// one is accepted; equal bounds are accepted but leave nothing to draw; a lower bound above
// the upper one is refused, and the changed edit then shows its applied value again.
EntryOutcome commitRange(RangeEntry& range, RangeEdit edit, double value);

// The time window: the one in force and the last one taken from the time edits, as indices.
struct WindowEntry {
    IndexWindow applied;
    IndexWindow entered;
};

enum class WindowEdit { Start, End };

// The whole recording, as a load sets it: first sample to last.
WindowEntry wholeRecordingWindow(uint32_t sampleCount);

// The sample a time edit's seconds stand for: the low 32 bits of the milliseconds, cut
// towards zero, divided by the cycle; 0 when the cycle is 0.
uint32_t secondsToIndex(double seconds, uint32_t cycle);

// The first index of a window starting at `seconds`: as secondsToIndex, except that a start
// that is not 0 but falls within the first cycle gives sampleCount + 1, which no window
// accepts.
double startIndex(double seconds, uint32_t cycle, uint32_t sampleCount);

// Decides on seconds committed in one time edit. A first index below the last is accepted;
// equal non-zero indices are accepted but leave nothing to draw; anything else is refused and
// both edits then show appliedSeconds.
EntryOutcome commitWindowEdit(WindowEntry& window, WindowEdit edit, double seconds, uint32_t cycle,
                              uint32_t sampleCount);

// Decides on a whole new window at once (a zoom or pan step) by the same rule: a window
// moved past its old end must not be refused for its start alone.
EntryOutcome commitWindow(WindowEntry& window, TimeWindow seconds, uint32_t cycle,
                          uint32_t sampleCount);

// The applied window in seconds, as the time edits show it after a refusal.
TimeWindow appliedSeconds(const WindowEntry& window, uint32_t cycle);

// The window the graph draws for an applied one: indices cut to integers and the last one no
// further than the last sample, so that a window past the recording never reads past it.
GraphWindow graphWindow(IndexWindow applied, uint32_t sampleCount);

// ---- What a load shows ----

// One data item on the data page right after Load recording.
struct ItemFigures {
    bool enabled = false;
    std::string name;                        // empty when disabled
    std::string typeName;                    // empty when disabled
    std::string scaleText;                   // empty when disabled
    std::string unit;                        // empty when disabled
    double scale = 1.0;                      // 1.0 when disabled
    int decimals = 0;                        // of both range edits
    ValueRange extremes;                     // smallest and largest plotted value
    ValueRange bounds;                       // the trace's range, and the values of its two edits
    ValueRange editLimits;                   // what the two range edits clamp to
    std::array<std::string, 3> valueLabels;  // top first; "---" when disabled
};

// Everything the data page shows right after Load recording.
struct DataPageFigures {
    std::array<ItemFigures, kDataItemCount> items;
    double span = 0.0;  // seconds: the end edit's value and both time edits' upper limit
    std::string cycleText;
    std::string spanText;
    WindowEntry window;
    std::array<std::string, 3> timeLabels;  // for 0 to span
};

DataPageFigures dataPageFigures(const PageRecording& page);

// The plot level of I/O signal `signal` (0 is the top band) with bit `bit`: the band's
// baseline, raised by 6 of 128 when the bit is set.
uint32_t ioLevel(int signal, int bit);

// One I/O signal right after Load recording.
struct SignalFigures {
    bool enabled = false;
    std::string name;  // empty when disabled
    ValueRange bits;   // smallest and largest bit over the recording, for summaries
};

// Everything the I/O page shows right after Load recording.
struct IoPageFigures {
    std::array<SignalFigures, kIoSignalCount> ioSignals;  // not "signals": Qt takes that word
    double span = 0.0;
    std::string cycleText;
    std::string spanText;
    WindowEntry window;
    std::array<std::string, 3> timeLabels;
};

IoPageFigures ioPageFigures(const PageRecording& page);

// ---- Pixels and samples, for the cursor readout and mouse zoom ----

enum class TraceStyle {
    Line,   // the data graph: one vertex per sample, the window's last sample at the right edge
    Steps,  // the I/O graph: one horizontal step per sample across the width
};

// x at which the graph of width `width` paints sample `index` of `window`: the vertex of a
// line, the left end of a step. Empty when the sample is outside the window or the window
// draws nothing.
std::optional<int> sampleToPixel(TraceStyle style, GraphWindow window, int width, uint32_t index);

// The sample painted at x: a line's vertex nearest to x (the first where several share a
// column), or the step that covers x; x beyond an end gives the sample at that end. Empty
// when the window draws nothing.
std::optional<uint32_t> pixelToSample(TraceStyle style, GraphWindow window, int width, int x);

// The window after one wheel step: `factor` times as wide (below 1 zooms in), the time under
// the cursor keeping its place, never narrower than one sampling cycle, clamped to [0, span].
TimeWindow zoomWindow(TimeWindow current, double span, uint32_t cycle, double cursorTime,
                      double factor);

// The window moved by `delta` seconds, its width kept, stopped at 0 and at the span.
TimeWindow panWindow(TimeWindow current, double span, double delta);

// ---- The cursor readout ----

// The time of sample `index` in seconds, exact to the millisecond: "12.340".
std::string sampleTimeText(uint32_t index, uint32_t cycle);

// Milliseconds as seconds with three decimals, signed: "-1.230".
std::string millisecondsText(int64_t milliseconds);

// A plotted value as the page shows it: `decimals` digits, rounded, and no minus sign on a
// value that rounds to zero.
std::string valueText(double value, int decimals);

// One trace's line of the readout. The page puts them together as "name: value unit".
struct ReadoutLine {
    int trace = 0;  // the item or signal, 0-based
    std::string name;
    std::string value;
    std::string unit;  // empty on the I/O page
};

// Each data item whose bit is set in `shownTraces` (bit k for item k) and that is enabled, at
// sample `index`: its plotted value with the decimals of its range edits, and its unit.
// Nothing for a sample the recording does not hold.
std::vector<ReadoutLine> dataReadout(const PageRecording& page, uint32_t index,
                                     uint32_t shownTraces);

// Each enabled I/O signal whose bit is set in `shownTraces`, at sample `index`: its state as
// "1" or "0". Nothing for a sample the recording does not hold.
std::vector<ReadoutLine> ioReadout(const PageRecording& page, uint32_t index,
                                   uint32_t shownTraces);

}  // namespace kestiva
