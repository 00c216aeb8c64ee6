// kestiva-cli info: a CSV recording read with every check, described.

#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "recording/MarkerFigures.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"
#include "tools/cli/LoadedRecording.h"

namespace kestiva::cli {

namespace {

constexpr const char* kHelp =
    "Usage: kestiva-cli info FILE.csv [--monitor data|io] [--between T1 T2] [--json]\n"
    "                        [--system DIR]\n"
    "\n"
    "Reads FILE.csv as the program's CSV read does on the monitor's page, with every check\n"
    "(monitor type, cycle, time, sample lines, fields and values), and shows the start\n"
    "date, the version field, the cycle, the sampling time recomputed from the samples, the\n"
    "sample count, the items (enabled, name, data type, scale, unit) and each enabled item's\n"
    "smallest and largest value as the page plots it (raw value x scale; I/O: 0 or 1). A file\n"
    "the reader refuses prints the reader's message and ends with exit code 1.\n"
    "\n"
    "--between T1 T2 adds the page's measurements between marker A at T1 and marker B at T2\n"
    "(seconds, each put on the nearest sample): their times, dt = B - A and 1/dt; per enabled\n"
    "item the value at A and at B, B - A, and over [A, B] the minimum and maximum (with the\n"
    "time of the first sample reaching them), mean and RMS; per enabled I/O signal the level\n"
    "at A and at B, the rising and falling edges in [A, B], the time of the first edge after\n"
    "A and the time the signal was high between A and B. A time before the first sample or\n"
    "after the last puts its marker on that sample and says so on standard error (--json:\n"
    "\"clamped\": true in the marker's object).\n"
    "\n"
    "  --monitor data|io  the page that reads the file; without it, the monitor that the\n"
    "                     file's first line names. A file of the other monitor is refused.\n";

// Where two markers are asked for, in seconds.
struct Between {
    double a = 0.0;
    double b = 0.0;
};

std::optional<double> parseSeconds(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Takes "--between T1 T2" out of words, since the option parser gives an option one value.
// False with error set when the two times are missing or not numbers.
bool takeBetween(Args& words, std::optional<Between>& between, std::string& error) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] != "--between")
            continue;
        if (i + 2 >= words.size()) {
            error = "--between needs two times in seconds";
            return false;
        }
        const auto a = parseSeconds(words[i + 1]);
        const auto b = parseSeconds(words[i + 2]);
        if (!a || !b) {
            error =
                "--between: two times in seconds expected: " + words[i + 1] + " " + words[i + 2];
            return false;
        }
        between = Between{*a, *b};
        words.erase(words.begin() + std::ptrdiff_t(i), words.begin() + std::ptrdiff_t(i) + 3);
        --i;
    }
    return true;
}

// Whether a marker's time lies outside the recording, from its first sample to its last, so
// that the marker was put on the nearer end. Said on standard error, so that a script that asks
// past the end learns it measured less than it asked for.
bool outsideRecording(double seconds, const PageRecording& page) {
    const double last = double(page.sampleCount - 1) * double(page.cycle) / 1000.0;
    return seconds < 0.0 || seconds > last;
}

void reportClamped(char marker, double seconds, const PageRecording& page) {
    const double last = double(page.sampleCount - 1) * double(page.cycle) / 1000.0;
    const bool before = seconds < 0.0;
    std::fprintf(stderr,
                 "kestiva-cli info: --between: %c at %g s lies %s the recording (0 to %s s); "
                 "marker %c is put on its %s sample\n",
                 marker, seconds, before ? "before" : "after", fixedText(last, 3).c_str(), marker,
                 before ? "first" : "last");
}

Json markerJson(uint32_t sample, const std::string& timeText, bool clamped) {
    return Json::object()
        .set("sample", int64_t(sample))
        .set("time", Json::numberText(timeText))
        .set("clamped", clamped);
}

Json betweenJson(const MarkerFigures& f, const Between& asked, const PageRecording& page) {
    Json items = Json::array();
    for (const ItemMeasurement& m : f.items)
        items.push(Json::object()
                       .set("number", m.item + 1)
                       .set("name", m.name)
                       .set("unit", m.unit)
                       .set("atA", Json::numberText(m.atAText))
                       .set("atB", Json::numberText(m.atBText))
                       .set("difference", Json::numberText(m.differenceText))
                       .set("minimum", Json::numberText(m.minimumText))
                       .set("minimumTime", Json::numberText(m.minimumTimeText))
                       .set("maximum", Json::numberText(m.maximumText))
                       .set("maximumTime", Json::numberText(m.maximumTimeText))
                       .set("mean", Json::numberText(m.meanText))
                       .set("rms", Json::numberText(m.rmsText)));
    for (const SignalMeasurement& m : f.ioSignals)
        items.push(Json::object()
                       .set("number", m.signal + 1)
                       .set("name", m.name)
                       .set("levelA", m.levelA)
                       .set("levelB", m.levelB)
                       .set("risingEdges", m.risingEdges)
                       .set("fallingEdges", m.fallingEdges)
                       .set("firstEdge", Json::numberText(m.firstEdgeTimeText))
                       .set("timeHigh", Json::numberText(m.highTimeText)));
    return Json::object()
        .set("a", markerJson(f.a, f.aTimeText, outsideRecording(asked.a, page)))
        .set("b", markerJson(f.b, f.bTimeText, outsideRecording(asked.b, page)))
        .set("delta", Json::numberText(f.deltaText))
        .set("inverseDelta", Json::numberText(f.inverseDeltaText))
        .set("items", std::move(items));
}

std::string itemNumber(int index) {
    char number[16];
    std::snprintf(number, sizeof number, "%4d", index + 1);
    return number;
}

std::string betweenText(const MarkerFigures& f) {
    std::string out = "Between:   A " + f.aTimeText + " s (sample " + std::to_string(f.a) +
                      "), B " + f.bTimeText + " s (sample " + std::to_string(f.b) + ")\n" +
                      "dt:        " + f.deltaText + " s, 1/dt " +
                      (f.inverseDelta ? f.inverseDeltaText + " Hz" : std::string("none")) + "\n";
    for (const ItemMeasurement& m : f.items)
        out += itemNumber(m.item) + "  " + m.name + "  unit " + m.unit + "  at A " + m.atAText +
               "  at B " + m.atBText + "  B-A " + m.differenceText + "  min " + m.minimumText +
               " at " + m.minimumTimeText + " s  max " + m.maximumText + " at " +
               m.maximumTimeText + " s  mean " + m.meanText + "  rms " + m.rmsText + "\n";
    for (const SignalMeasurement& m : f.ioSignals)
        out += itemNumber(m.signal) + "  " + m.name + "  at A " + std::to_string(m.levelA) +
               "  at B " + std::to_string(m.levelB) + "  rising " + std::to_string(m.risingEdges) +
               "  falling " + std::to_string(m.fallingEdges) + "  first edge " +
               (m.firstEdgeIndex ? m.firstEdgeTimeText + " s" : std::string("none")) + "  high " +
               m.highTimeText + " s\n";
    return out;
}

}  // namespace

int runInfoCommand(const Args& argv) {
    std::string error;
    Args words = argv;
    std::optional<Between> between;
    if (!takeBetween(words, between, error))
        return usageError("info", error);
    const auto args = ParsedArgs::parse(words, {{"--monitor", true}}, error);
    if (!args)
        return usageError("info", error);
    if (args->has("--help")) {
        printOut(kHelp);
        return kExitOk;
    }
    const auto target = csvFileArgs(*args, "info");
    if (!target)
        return kExitUsage;
    const std::string& path = target->path;
    const MonitorKind monitor = target->monitor;
    const auto folder = resolveSystemFolder(*args, error);
    if (!folder)
        return usageError("info", error);
    const bool json = args->has("--json");

    TerminalSession terminal(*folder, false);
    if (!loadCatalogue(terminal, json))
        return kExitFailure;
    std::string version;
    if (!readCsvRecording(terminal, path, monitor, version, json))
        return kExitFailure;
    const PageRecording* page = &terminal.session.page(monitor);

    const std::vector<ItemSummary> figures = itemSummaries(*page);
    // Every enabled item: a terminal has no check boxes that hide one.
    std::optional<MarkerFigures> measured;
    if (between) {
        measured = markerFigures(*page, markerIndex(between->a, page->cycle, page->sampleCount),
                                 markerIndex(between->b, page->cycle, page->sampleCount), 0xFFFFu);
        if (outsideRecording(between->a, *page))
            reportClamped('A', between->a, *page);
        if (outsideRecording(between->b, *page))
            reportClamped('B', between->b, *page);
    }
    const bool data = monitor == kDataMonitor;
    if (json) {
        Json items = Json::array();
        for (std::size_t k = 0; k < figures.size(); ++k) {
            const ItemSummary& f = figures[k];
            Json item = Json::object().set("number", int(k + 1)).set("enabled", f.enabled);
            if (f.enabled) {
                item.set("name", f.name);
                if (data)
                    item.set("type", f.typeName).set("scale", f.scaleText).set("unit", f.unit);
                item.set("minimum", Json::number(f.extremes.lower, f.decimals))
                    .set("maximum", Json::number(f.extremes.upper, f.decimals));
            }
            items.push(std::move(item));
        }
        Json result = Json::object()
                          .set("ok", true)
                          .set("file", path)
                          .set("monitor", monitorName(monitor))
                          .set("date", page->startDate)
                          .set("version", version)
                          .set("cycle", int(page->cycle))
                          .set("time", int(page->time))
                          .set("samples", int64_t(page->sampleCount))
                          .set("items", std::move(items))
                          .set("messages", terminal.window.messagesJson());
        if (measured)
            result.set("between", betweenJson(*measured, *between, *page));
        printOut(result.dump());
        return kExitOk;
    }

    std::string out = "File:      " + path + "\nMonitor:   " + monitorName(monitor) +
                      "\nDate:      " + page->startDate + "\nVersion:   " + version +
                      "\nCycle:     " + std::to_string(page->cycle) + " ms" +
                      "\nTime:      " + std::to_string(page->time) + " s" +
                      "\nSamples:   " + std::to_string(page->sampleCount) + "\nItems:\n";
    for (std::size_t k = 0; k < figures.size(); ++k) {
        const ItemSummary& f = figures[k];
        out += itemNumber(int(k)) + "  ";
        if (!f.enabled) {
            out += "(not used)\n";
            continue;
        }
        out += f.name;
        if (data)
            out += "  " + f.typeName + "  scale " + f.scaleText + "  unit " + f.unit;
        out += "  min " + fixedText(f.extremes.lower, f.decimals) + "  max " +
               fixedText(f.extremes.upper, f.decimals) + "\n";
    }
    if (measured)
        out += betweenText(*measured);
    printOut(out);
    return kExitOk;
}

}  // namespace kestiva::cli
