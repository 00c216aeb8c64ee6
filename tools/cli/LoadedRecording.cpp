#include "tools/cli/LoadedRecording.h"

#include <algorithm>

#include "settings/NumberText.h"

namespace kestiva::cli {

bool readCsvRecording(TerminalSession& terminal, const std::string& path, MonitorKind monitor,
                      std::string& version, bool json) {
    Session& session = terminal.session;
    session.state().monitorMode = monitor;
    const bool read = session.readCsv(path, &version);
    session.state().setPhase(ProgressPhase::Idle);
    if (!read && json) {
        const auto messages = terminal.window.messages();
        printOut(failureJson(messages.empty() ? std::string("the file was refused")
                                              : terminalText(messages.back().text),
                             terminal.window.messagesJson())
                     .dump());
    }
    return read;
}

double dataPageValue(const DataItem& item, int32_t raw) {
    const double word = dataTypeIsSigned(item.typeCode) ? double(raw) : double(uint32_t(raw));
    return word * item.scale;
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

std::vector<ItemFigures> itemFigures(const PageRecording& page) {
    const bool data = page.kind == kDataMonitor;
    const int count = data ? kDataItemCount : kIoSignalCount;
    std::vector<ItemFigures> figures(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        const DataItem& item = page.active.items[std::size_t(k)];
        ItemFigures& f = figures[std::size_t(k)];
        f.enabled = item.enabled == 1;
        if (!f.enabled)
            continue;
        f.name = item.name;
        if (data) {
            f.typeName = item.typeName;
            f.scaleText = item.scaleText;
            f.unit = item.unit;
            f.scale = item.scale;
            f.decimals = scaleDecimals(item.scaleText);
        }
        const uint32_t samples = std::min<uint32_t>(page.sampleCount, kSampleCapacity);
        for (uint32_t j = 0; j < samples; ++j) {
            const double v =
                data ? dataPageValue(item,
                                     page.rawData[std::size_t(j) * kDataItemCount + std::size_t(k)])
                     : double(page.rawIo[std::size_t(j) * kIoSignalCount + std::size_t(k)]);
            // Both extremes start from the first value.
            if (j == 0 || v < f.minimum)
                f.minimum = v;
            if (j == 0 || v > f.maximum)
                f.maximum = v;
        }
    }
    return figures;
}

}  // namespace kestiva::cli
