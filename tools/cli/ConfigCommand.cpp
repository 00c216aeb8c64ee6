// kestiva-cli config: DataSamplingConfig.ini as start-up loads and validates it.

#include <cstdio>
#include <memory>
#include <string>

#include "tools/cli/CliCommon.h"
#include "tools/cli/TerminalSession.h"
#include "tools/cli/Commands.h"

namespace kestiva::cli {

namespace {

constexpr const char* kHelp =
    "Usage: kestiva-cli config [--json] [--system DIR]\n"
    "\n"
    "Loads DataSamplingConfig.ini exactly as the program does at start-up (load, then check\n"
    "the data controllers, then the I/O controllers; the first failure ends it with\n"
    "\"DataSamplingConfig.ini Reading Failed\") and shows, for both monitors, the sampling\n"
    "cycles and times, the colour tables and the controller types that remain usable. Numbers\n"
    "are the table numbers of the file (DATA_COLOR_TABLE_<n>, CTL<n>_...), which record and\n"
    "plot take.\n";

int itemCount(MonitorKind monitor) {
    return monitor == kDataMonitor ? kDataItemCount : kIoSignalCount;
}

Json rangeJson(bool present, uint16_t address, uint8_t length) {
    if (!present)
        return Json();
    return Json::object().set("address", registerText(address)).set("length", int(length));
}

Json monitorJson(const MonitorConfig& config, MonitorKind monitor) {
    Json cycles = Json::array();
    for (int i = 0; i < config.lists.numCycles && i < kListLength; ++i)
        cycles.push(int(config.lists.cycles[std::size_t(i)]));
    Json times = Json::array();
    for (int i = 0; i < config.lists.numTimes && i < kListLength; ++i)
        times.push(int(config.lists.times[std::size_t(i)]));

    Json tables = Json::array();
    for (int t = 0; t < kColorTableCount; ++t) {
        const ColorTable& table = config.colorTables[std::size_t(t)];
        if (table.name.empty())
            continue;
        Json traces = Json::array();
        for (int k = 0; k < itemCount(monitor); ++k)
            traces.push(colorText(table.traceColors[std::size_t(k)]));
        tables.push(Json::object()
                        .set("number", t + 1)
                        .set("name", table.name)
                        .set("background", colorText(table.backgroundColor))
                        .set("grid", colorText(table.gridColor))
                        .set("traces", std::move(traces)));
    }

    Json controllers = Json::array();
    for (int c = 0; c < kControllerCount; ++c) {
        const ControllerRecord& record = config.controllers[std::size_t(c)];
        if (record.name.empty())
            continue;
        Json items = Json::array();
        for (int k = 0; k < itemCount(monitor); ++k) {
            const DataItem& item = record.items[std::size_t(k)];
            Json entry = Json::object().set("number", k + 1).set("enabled", item.enabled == 1);
            entry.set("name", item.name).set("address", registerText(item.address));
            if (monitor == kDataMonitor) {
                entry.set("type", item.typeName)
                    .set("scale", item.scaleText)
                    .set("unit", item.unit);
            } else {
                entry.set("bit", int(item.bit));
            }
            items.push(std::move(entry));
        }
        Json controller = Json::object().set("number", c + 1).set("name", record.name);
        if (monitor == kDataMonitor) {
            controller.set("range", rangeJson(true, record.rangeAddress1, record.rangeLength1));
        } else {
            controller.set("in", rangeJson(record.rangeAbsent1 == 0, record.rangeAddress1,
                                           record.rangeLength1));
            controller.set("out", rangeJson(record.rangeAbsent2 == 0, record.rangeAddress2,
                                            record.rangeLength2));
        }
        controllers.push(std::move(controller.set("items", std::move(items))));
    }
    return Json::object()
        .set("cycles", std::move(cycles))
        .set("times", std::move(times))
        .set("colorTables", std::move(tables))
        .set("controllers", std::move(controllers));
}

std::string joinNumbers(const std::array<uint16_t, kListLength>& values, int count) {
    std::string out;
    for (int i = 0; i < count && i < kListLength; ++i) {
        if (i > 0)
            out += ", ";
        out += std::to_string(values[std::size_t(i)]);
    }
    return out.empty() ? "(none)" : out;
}

std::string rangeText(bool present, uint16_t address, uint8_t length) {
    if (!present)
        return "(none)";
    return registerText(address) + ", " + std::to_string(length) + " bytes";
}

std::string monitorText(const MonitorConfig& config, MonitorKind monitor) {
    std::string out = monitor == kDataMonitor ? "Data monitor\n" : "I/O monitor\n";
    out += "  Sampling cycles [ms]: " + joinNumbers(config.lists.cycles, config.lists.numCycles);
    out += "\n  Sampling times [s]:   " + joinNumbers(config.lists.times, config.lists.numTimes);
    out += "\n  Colour tables:\n";
    for (int t = 0; t < kColorTableCount; ++t) {
        const ColorTable& table = config.colorTables[std::size_t(t)];
        if (table.name.empty())
            continue;
        out += "    " + std::to_string(t + 1) + "  " + table.name + "\n";
        out += "       background " + colorText(table.backgroundColor) + "  grid " +
               colorText(table.gridColor) + "\n       traces";
        for (int k = 0; k < itemCount(monitor); ++k)
            out += " " + colorText(table.traceColors[std::size_t(k)]);
        out += "\n";
    }
    out += "  Controllers:\n";
    for (int c = 0; c < kControllerCount; ++c) {
        const ControllerRecord& record = config.controllers[std::size_t(c)];
        if (record.name.empty())
            continue;
        out += "    " + std::to_string(c + 1) + "  " + record.name + "\n";
        if (monitor == kDataMonitor) {
            out += "       range " + rangeText(true, record.rangeAddress1, record.rangeLength1);
        } else {
            out += "       in " +
                   rangeText(record.rangeAbsent1 == 0, record.rangeAddress1, record.rangeLength1) +
                   "; out " +
                   rangeText(record.rangeAbsent2 == 0, record.rangeAddress2, record.rangeLength2);
        }
        out += "\n";
        for (int k = 0; k < itemCount(monitor); ++k) {
            const DataItem& item = record.items[std::size_t(k)];
            char number[8];
            std::snprintf(number, sizeof number, "%2d", k + 1);
            out += std::string("       ") + number + "  ";
            if (item.enabled != 1) {
                out += "(not used)\n";
                continue;
            }
            out += item.name + "  " + registerText(item.address);
            if (monitor == kDataMonitor) {
                out += "  " + item.typeName + "  scale " + item.scaleText + "  unit " + item.unit;
            } else {
                out += "  bit " + std::to_string(item.bit);
            }
            out += "\n";
        }
    }
    return out;
}

}  // namespace

int runConfigCommand(const Args& argv) {
    std::string error;
    const auto args = ParsedArgs::parse(argv, {}, error);
    if (!args)
        return usageError("config", error);
    if (args->has("--help")) {
        printOut(kHelp);
        return kExitOk;
    }
    if (!args->positional().empty())
        return usageError("config", "unexpected argument " + args->positional().front());
    const auto folder = resolveSystemFolder(*args, error);
    if (!folder)
        return usageError("config", error);

    const bool json = args->has("--json");
    TerminalSession terminal(*folder, false);
    if (!loadCatalogue(terminal, json) ||
        !loadSamplingConfiguration(terminal.session, json))
        return kExitFailure;
    const SamplingConfig* config = &terminal.session.config();
    if (json) {
        printOut(Json::object()
                     .set("ok", true)
                     .set("file", samplingConfigPath(folder->programFolder))
                     .set("data", monitorJson(config->data(), kDataMonitor))
                     .set("io", monitorJson(config->io(), kIoMonitor))
                     .set("messages", terminal.window.messagesJson())
                     .dump());
    } else {
        printOut(monitorText(config->data(), kDataMonitor) + "\n" +
                 monitorText(config->io(), kIoMonitor));
    }
    return kExitOk;
}

}  // namespace kestiva::cli
