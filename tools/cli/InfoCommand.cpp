// kestiva-cli info: a CSV recording read with every check, described.

#include <cstdio>
#include <memory>
#include <string>

#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"
#include "tools/cli/LoadedRecording.h"

namespace kestiva::cli {

namespace {

constexpr const char* kHelp =
    "Usage: kestiva-cli info FILE.csv --monitor data|io [--json] [--system DIR]\n"
    "\n"
    "Reads FILE.csv as the program's CSV read does on the given monitor's page, with every\n"
    "check (monitor type, cycle, time, sample lines, fields and values), and shows the start\n"
    "date, the version field, the cycle, the sampling time recomputed from the samples, the\n"
    "sample count, the items (enabled, name, data type, scale, unit) and each enabled item's\n"
    "smallest and largest value as the page plots it (raw value x scale; I/O: 0 or 1). A file\n"
    "the reader refuses prints the reader's message and ends with exit code 1.\n";

}  // namespace

int runInfoCommand(const Args& argv) {
    std::string error;
    const auto args = ParsedArgs::parse(argv, {{"--monitor", true}}, error);
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
        printOut(Json::object()
                     .set("ok", true)
                     .set("file", path)
                     .set("monitor", monitorName(monitor))
                     .set("date", page->startDate)
                     .set("version", version)
                     .set("cycle", int(page->cycle))
                     .set("time", int(page->time))
                     .set("samples", int64_t(page->sampleCount))
                     .set("items", std::move(items))
                     .set("messages", terminal.window.messagesJson())
                     .dump());
        return kExitOk;
    }

    std::string out = "File:      " + path + "\nMonitor:   " + monitorName(monitor) +
                      "\nDate:      " + page->startDate + "\nVersion:   " + version +
                      "\nCycle:     " + std::to_string(page->cycle) + " ms" +
                      "\nTime:      " + std::to_string(page->time) + " s" +
                      "\nSamples:   " + std::to_string(page->sampleCount) + "\nItems:\n";
    for (std::size_t k = 0; k < figures.size(); ++k) {
        const ItemSummary& f = figures[k];
        char number[8];
        std::snprintf(number, sizeof number, "%4d", int(k + 1));
        out += std::string(number) + "  ";
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
    printOut(out);
    return kExitOk;
}

}  // namespace kestiva::cli
