#include "window/IoPageModel.h"

#include "window/PageGraphs.h"

namespace kestiva {

namespace {

PageControl check(std::size_t s) {
    return {PageControlKind::SignalCheck, int(s)};
}

const std::string kNone(kNoFigureText);

}  // namespace

IoPageModel::IoPageModel(MonitorPageView& view, LanguageCatalogue& catalogue, IoGraphData& graph)
    : GraphPageModel(view, catalogue, TraceStyle::Steps, graph, kIoSignalCount) {}

void IoPageModel::initialise(const ColorTable& colors) {
    // Unlike the data page's, these time edits take a sign: a typed -1 is clamped to 0.
    initialiseChecks(true, colors, PageControlKind::SignalCheck);
    clear();
    paintEmptyGraph(colors);
}

void IoPageModel::clear() {
    clearGraph();
    for (std::size_t s = 0; s < kIoSignalCount; ++s) {
        view_.setControlEnabled(check(s), false);
        names_[s] = kNone;
        view_.setText(check(s), kNone);
    }
}

void IoPageModel::loadRecording(const PageRecording& page) {
    const IoPageFigures figures = ioPageFigures(page);
    for (std::size_t s = 0; s < kIoSignalCount; ++s) {
        const SignalFigures& signal = figures.ioSignals[s];
        enabled_[s] = signal.enabled;
        names_[s] = signal.name;
        view_.setText(check(s), signal.name);
        // Enabled already, but they act only once Enable entry lets them.
        view_.setChecked(check(s), signal.enabled);
        view_.setControlEnabled(check(s), signal.enabled);
    }
    loadIoGraph(page, colors_, graph_);
    loadTimeControls(page, figures.span, figures.cycleText, figures.spanText, figures.window,
                     figures.timeLabels);
    view_.graphChanged();
    describeGraph();
    refreshOverlays();
}

void IoPageModel::beginLive(const ControllerRecord& record, uint16_t cycle, uint16_t time,
                            uint32_t plannedSamples) {
    liveRecord_ = record;
    for (std::size_t s = 0; s < kIoSignalCount; ++s) {
        enabled_[s] = record.items[s].enabled == 1;
        names_[s] = enabled_[s] ? record.items[s].name : kNone;
        view_.setText(check(s), names_[s]);
        view_.setChecked(check(s), enabled_[s]);
    }
    beginLiveIoGraph(record, plannedSamples, colors_, graph_);
    beginLiveTimeControls(cycle, time);
    view_.graphChanged();
    describeGraph();
}

void IoPageModel::appendLive(bool valid, std::span<const uint8_t> levels) {
    appendLiveLevels(liveRecord_, valid, levels, graph_);
}

void IoPageModel::showLatest(uint32_t timeMs) {
    showElapsed(timeMs);
    view_.graphChanged();
}

void IoPageModel::enableEntry() {
    enableTimeEntry();
    for (std::size_t s = 0; s < kIoSignalCount; ++s)
        view_.setControlEnabled(check(s), enabled_[s]);
}

void IoPageModel::clickCheck(PageControl control, bool checked) {
    // Unlike the data page, a click leaves drawEnabled alone: a window that cannot be drawn
    // stays undrawn.
    if (control.kind == PageControlKind::SignalCheck)
        showTrace(std::size_t(control.index), checked, false);
}

std::vector<CursorReadout::Text> IoPageModel::traceReadout(uint32_t index) const {
    std::vector<CursorReadout::Text> lines;
    for (const ReadoutLine& line : ioReadout(*recording(), index, shownTraces()))
        lines.push_back({line.name + ": " + line.value, graph_.traceColor[std::size_t(line.trace)]});
    return lines;
}

}  // namespace kestiva
