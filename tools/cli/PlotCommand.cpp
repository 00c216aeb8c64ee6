// kestiva-cli plot: a CSV recording's graph, drawn by the window's own rasteriser, with the
// page's axes, ranges, names and a title around it, into an image file.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "tools/cli/CliCommon.h"
#include "tools/cli/Commands.h"
#include "tools/cli/LoadedRecording.h"
#include "tools/cli/PlotFace.h"
#include "tools/cli/PlotFrame.h"
#include "window/GraphRaster.h"
#include "window/PageGraphs.h"
#include "window/PixelBuffer.h"

namespace kestiva::cli {

namespace {

constexpr const char* kHelp =
    "Usage: kestiva-cli plot FILE.csv [--monitor data|io] --out IMAGE [--size WxH]\n"
    "                        [--colors K] [--bare] [--json] [--system DIR]\n"
    "\n"
    "Reads FILE.csv as info does and draws its graph as the monitor page shows it right after\n"
    "loading: data: every enabled item over the whole recording, each between its smallest\n"
    "value minus its scale and its largest plus its scale; I/O: the sixteen signal bands.\n"
    "Around the graph, as the page shows them: a title line (the file's name, its monitor,\n"
    "start date and cycle), the time axis in seconds under the grid's major lines, each\n"
    "item's range at those lines with its unit above it (I/O: each signal's name beside its\n"
    "lane), and a legend of the items' names and units, all in the items' trace colours.\n"
    "The graph is drawn by the window's graph rasteriser and written with the encoder that the\n"
    "extension of IMAGE names (.bmp, .jpg or .jpeg, .png; case ignored).\n"
    "\n"
    "  --monitor data|io  the page that reads the file; without it, the monitor that the\n"
    "                     file's first line names. A file of the other monitor is refused.\n"
    "  --out IMAGE        the image file\n"
    "  --size WxH         the whole picture's size in pixels, the frame included (default\n"
    "                     1000x600; 16 to 8000 each); the graph gets what the frame leaves\n"
    "                     (--json: \"graph\"), and a size that leaves it under 16x16 is refused\n"
    "  --bare             the graph alone, without the frame: then --size is the graph's\n"
    "  --colors K         colour table K of the monitor in DataSamplingConfig.ini\n"
    "                     (DATA_COLOR_TABLE_K / IO_COLOR_TABLE_K); default the first one,\n"
    "                     as the window starts\n";

// The graph as the page paints it, at the given size: the one drawing call of the picture.
// The window's rasteriser draws the graph; the system only frames and encodes it.
PixelBuffer drawGraph(const PageRecording& page, MonitorKind monitor, const ColorTable& colors,
                      Size size) {
    PixelBuffer image;
    image.resize(size.width(), size.height());
    const PixelView pixels = image.view();
    if (monitor == kDataMonitor) {
        auto graph = std::make_unique<MultiGraphData>();
        loadDataGraph(page, dataPageFigures(page), colors, *graph);
        rasterMultiGraph(*graph, pixels);
    } else {
        auto graph = std::make_unique<IoGraphData>();
        loadIoGraph(page, colors, *graph);
        rasterIoGraph(*graph, pixels);
    }
    return image;
}

PlotFrameContent frameOf(const PageRecording& page, MonitorKind monitor,
                         const ColorTable& colors, const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    return monitor == kDataMonitor ? dataPlotFrame(page, dataPageFigures(page), colors, name)
                                   : ioPlotFrame(page, ioPageFigures(page), colors, name);
}

constexpr int kDefaultWidth = 1000;
constexpr int kDefaultHeight = 600;
constexpr int kMinSide = 16;
constexpr int kMaxSide = 8000;

bool parseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos)
        return false;
    const auto w = parseNumber(std::string_view(text).substr(0, x), kMinSide, kMaxSide);
    const auto h = parseNumber(std::string_view(text).substr(x + 1), kMinSide, kMaxSide);
    if (!w || !h)
        return false;
    width = int(*w);
    height = int(*h);
    return true;
}

// The colour table of the menu choice, or the first one the menu lists.
const ColorTable* chooseColorTable(const MonitorConfig& config,
                                   const std::optional<std::string>& given, std::string& error) {
    if (!given) {
        for (const ColorTable& table : config.colorTables)
            if (!table.name.empty())
                return &table;
        error = "no colour table is configured for this monitor";
        return nullptr;
    }
    const auto k = parseNumber(*given, 1, kColorTableCount);
    if (!k) {
        error = "--colors: 1 to 5 expected: " + *given;
        return nullptr;
    }
    const ColorTable& table = config.colorTables[std::size_t(*k - 1)];
    if (table.name.empty()) {
        error = "--colors: colour table " + *given + " is not configured for this monitor";
        return nullptr;
    }
    return &table;
}

}  // namespace

int runPlotCommand(const Args& argv) {
    std::string error;
    const auto args = ParsedArgs::parse(
        argv,
        {{"--monitor", true}, {"--out", true}, {"--size", true}, {"--colors", true}, {"--bare", false}},
        error);
    if (!args)
        return usageError("plot", error);
    if (args->has("--help")) {
        printOut(kHelp);
        return kExitOk;
    }
    const auto target = csvFileArgs(*args, "plot");
    if (!target)
        return kExitUsage;
    const std::string& path = target->path;
    const MonitorKind monitor = target->monitor;
    const auto out = args->value("--out");
    if (!out || out->empty())
        return usageError("plot", "--out IMAGE is required");
    int width = kDefaultWidth, height = kDefaultHeight;
    if (const auto size = args->value("--size"); size && !parseSize(*size, width, height))
        return usageError("plot", "--size: WxH with 16 to 8000 pixels each expected: " + *size);
    const auto folder = resolveSystemFolder(*args, error);
    if (!folder)
        return usageError("plot", error);
    const bool json = args->has("--json");

    const std::unique_ptr<PlotFace> face = PlotFace::open();
    const std::string encoder = face->imageFormat(*out);
    if (encoder.empty())
        return usageError("plot", "--out: no image encoder for the extension of " + *out);

    TerminalSession terminal(*folder, false);
    if (!loadCatalogue(terminal, json) ||
        !loadSamplingConfiguration(terminal.session, json))
        return kExitFailure;
    const MonitorConfig& monitorConfig = terminal.session.config().monitors[std::size_t(monitor)];
    const ColorTable* colors = chooseColorTable(monitorConfig, args->value("--colors"), error);
    if (colors == nullptr)
        return usageError("plot", error);
    const int colorNumber = int(colors - monitorConfig.colorTables.data()) + 1;

    std::string version;
    if (!readCsvRecording(terminal, path, monitor, version, json))
        return kExitFailure;
    const PageRecording* page = &terminal.session.page(monitor);

    const bool bare = args->has("--bare");
    const Size picture(width, height);
    Rect area(Point(0, 0), picture);
    PixelBuffer image;
    if (bare) {
        image = drawGraph(*page, monitor, *colors, picture);
    } else {
        const PlotFrameContent frame = frameOf(*page, monitor, *colors, path);
        area = plotGraphArea(frame, picture, *face);
        if (area.width() < kMinSide || area.height() < kMinSide)
            return usageError("plot", "--size: " + std::to_string(width) + "x" +
                                          std::to_string(height) +
                                          " leaves no room for the graph inside its axes, labels "
                                          "and legend: a larger size, or --bare");
        image = plotCanvas(drawGraph(*page, monitor, *colors, area.size()), frame, area, picture);
        face->draw(image, plotFrameMarks(frame, area, picture, *face));
    }
    if (!face->save(image, *out)) {
        const std::string reason = "the image could not be written to " + *out;
        std::fprintf(stderr, "kestiva-cli plot: %s\n", reason.c_str());
        if (json)
            printOut(failureJson(reason).dump());
        return kExitFailure;
    }
    if (json) {
        printOut(Json::object()
                     .set("ok", true)
                     .set("file", path)
                     .set("monitor", monitorName(monitor))
                     .set("out", *out)
                     .set("format", encoder)
                     .set("width", width)
                     .set("height", height)
                     .set("bare", bare)
                     .set("graph", Json::object()
                                       .set("x", area.x())
                                       .set("y", area.y())
                                       .set("width", area.width())
                                       .set("height", area.height()))
                     .set("colorTable",
                          Json::object().set("number", colorNumber).set("name", colors->name))
                     .set("samples", int64_t(page->sampleCount))
                     .set("messages", terminal.window.messagesJson())
                     .dump());
    } else {
        printOut("Wrote " + *out + " (" + encoder + ", " + std::to_string(width) +
                 "x" + std::to_string(height) + ", " + std::to_string(page->sampleCount) +
                 " samples, colour table " + std::to_string(colorNumber) + ")\n");
    }
    return kExitOk;
}

}  // namespace kestiva::cli
