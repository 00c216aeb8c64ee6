#pragma once
// The measurements between the two markers A and B of a loaded page: the markers' times, the
// time between them, and per shown item (data page) or signal (I/O page) what happened in
// between. The window's measurement panel and kestiva-cli's info --between both show these.
//
// Rules:
// - A marker lies on a sample. The interval is [min(A, B), max(A, B)], both samples included,
//   so B before A measures the same stretch as A before B; Δt = time(B) − time(A) is signed,
//   and so is 1/Δt, which is absent when A = B.
// - Data items: value at A and at B, difference (value at B − value at A), and minimum,
//   maximum, mean and RMS over the samples of the interval; the time of the minimum or maximum
//   is that of the first sample in the interval reaching it. Values are the plotted ones (raw
//   word x scale), shown with the decimals of the item's scale.
// - I/O signals: an edge at sample i is the change between samples i − 1 and i, timed at i;
//   it lies in the interval when min(A, B) < i <= max(A, B). The first edge after A is searched
//   from A + 1 to the end of the recording (absent when none). Each sample holds its level for
//   one cycle, so the time high counts the samples min(A, B) to max(A, B) − 1 that are at 1,
//   times the cycle: a square wave gives its duty cycle x the span.
// - Markers past the last sample count as the last sample; a recording without samples has no
//   figures for items or signals.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recording/SampleTables.h"

namespace kestiva {

// The sample a marker placed at `seconds` lies on: the nearest one (a time halfway between two
// samples goes to the later), within the recording's samples. 0 when the recording has no
// samples or no cycle.
uint32_t markerIndex(double seconds, uint32_t cycle, uint32_t sampleCount);

// One data item between the markers.
struct ItemMeasurement {
    int item = 0;  // 0-based
    std::string name;
    std::string unit;
    int decimals = 0;  // of the item's scale, as the page shows its values
    double atA = 0.0;
    double atB = 0.0;
    double difference = 0.0;  // atB − atA
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
    double rms = 0.0;
    uint32_t minimumIndex = 0;  // the first sample of the interval at the minimum
    uint32_t maximumIndex = 0;
    // As the page shows them: values with the item's decimals, times in seconds to the
    // millisecond.
    std::string atAText, atBText, differenceText, minimumText, maximumText, meanText, rmsText;
    std::string minimumTimeText, maximumTimeText;
};

// One I/O signal between the markers.
struct SignalMeasurement {
    int signal = 0;  // 0-based
    std::string name;
    int levelA = 0;
    int levelB = 0;
    uint32_t risingEdges = 0;
    uint32_t fallingEdges = 0;
    std::optional<uint32_t> firstEdgeIndex;  // the first edge after A, when there is one
    uint32_t highSamples = 0;                // samples held at 1, each for one cycle
    std::string firstEdgeTimeText;           // empty when there is no edge after A
    std::string highTimeText;                // highSamples x cycle, in seconds
};

// Everything the measurement panel shows.
struct MarkerFigures {
    MonitorKind kind = kDataMonitor;
    uint32_t a = 0;
    uint32_t b = 0;
    uint32_t first = 0;                  // min(a, b)
    uint32_t last = 0;                   // max(a, b)
    uint32_t cycle = 0;                  // milliseconds
    int64_t deltaMilliseconds = 0;       // time(b) − time(a)
    std::optional<double> inverseDelta;  // 1/Δt in hertz, absent when Δt = 0
    std::string aTimeText, bTimeText, deltaText;
    std::string inverseDeltaText;              // empty when absent
    std::vector<ItemMeasurement> items;        // data page: each shown enabled item
    std::vector<SignalMeasurement> ioSignals;  // I/O page: each shown enabled signal
};

// The figures of the page's recording with markers on samples a and b. Item or signal k is
// measured when it is enabled and bit k of shownTraces is set (the page's check boxes).
MarkerFigures markerFigures(const PageRecording& page, uint32_t a, uint32_t b,
                            uint32_t shownTraces);

// Column titles of the copied table. English built in; the window passes its own texts.
struct MeasurementTitles {
    std::string item = "Item";
    std::string signal = "Signal";
    std::string unit = "Unit";
    std::string timeA = "A (s)";
    std::string timeB = "B (s)";
    std::string delta = "Δt (s)";
    std::string inverseDelta = "1/Δt (Hz)";
    std::string atA = "At A";
    std::string atB = "At B";
    std::string difference = "B − A";
    std::string minimum = "Minimum";
    std::string minimumTime = "Time of minimum (s)";
    std::string maximum = "Maximum";
    std::string maximumTime = "Time of maximum (s)";
    std::string mean = "Mean";
    std::string rms = "RMS";
    std::string levelA = "Level at A";
    std::string levelB = "Level at B";
    std::string risingEdges = "Rising edges";
    std::string fallingEdges = "Falling edges";
    std::string firstEdge = "First edge after A (s)";
    std::string timeHigh = "Time high (s)";
};

// The figures as tab-separated text for a spreadsheet: a header line, then one line per item
// or signal, each repeating the markers' times, Δt and 1/Δt so that every line stands on its
// own; with nothing shown, one line of those with the item's cells empty. Lines end with
// "\n"; an absent figure is an empty cell; tabs and line breaks in names become spaces.
std::string measurementsTable(const MarkerFigures& figures,
                              const MeasurementTitles& titles = MeasurementTitles());

}  // namespace kestiva
