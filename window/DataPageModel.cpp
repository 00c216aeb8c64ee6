#include "window/DataPageModel.h"

#include "window/PageGraphs.h"

#include <algorithm>

namespace kestiva {

namespace {

PageControl check(std::size_t k) {
    return {PageControlKind::ItemCheck, int(k)};
}
PageControl upper(std::size_t k) {
    return {PageControlKind::UpperEdit, int(k)};
}
PageControl lower(std::size_t k) {
    return {PageControlKind::LowerEdit, int(k)};
}
PageControl unit(std::size_t k) {
    return {PageControlKind::UnitLabel, int(k)};
}
PageControl valueLabel(std::size_t k, std::size_t i) {
    return {PageControlKind::ValueLabel, int(k * 3 + i)};
}

const std::string kNone(kNoFigureText);

}  // namespace

DataPageModel::DataPageModel(MonitorPageView& view, LanguageCatalogue& catalogue,
                             MultiGraphData& graph)
    : GraphPageModel(view, catalogue, TraceStyle::Line, graph, kDataItemCount) {}

void DataPageModel::initialise(const ColorTable& colors) {
    // Unlike the range edits, the time edits take no sign.
    initialiseChecks(false, colors, PageControlKind::ItemCheck);
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        for (const PageControl edit : {upper(k), lower(k)}) {
            view_.setNumberFormat(edit, 1, true);
            view_.setValue(edit, 0.0);
        }
    }
    clear();
    paintEmptyGraph(colors);
}

void DataPageModel::clear() {
    clearGraph();
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        view_.setControlEnabled(check(k), false);
        names_[k] = kNone;
        view_.setText(check(k), kNone);
        view_.setControlToolTip(check(k), {});
        view_.setText(unit(k), kNone);
        for (const PageControl edit : {upper(k), lower(k)}) {
            view_.clearValue(edit);
            view_.setControlEnabled(edit, false);
        }
        for (std::size_t i = 0; i < 3; ++i)
            view_.setText(valueLabel(k, i), kNone);
    }
    view_.layoutChanged();
}

void DataPageModel::loadRecording(const PageRecording& page) {
    const DataPageFigures figures = dataPageFigures(page);
    loadDataGraph(page, figures, colors_, graph_);
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        const ItemFigures& item = figures.items[k];
        enabled_[k] = item.enabled;
        view_.setChecked(check(k), item.enabled);
        names_[k] = item.name;
        view_.setText(check(k), item.name);
        view_.setControlToolTip(check(k), item.name);
        view_.setText(unit(k), item.unit);
        ranges_[k] = {item.bounds, item.bounds};
        if (item.enabled) {
            for (const PageControl edit : {lower(k), upper(k)}) {
                view_.setNumberFormat(edit, item.decimals, true);
                view_.setLimits(edit, item.editLimits.lower, item.editLimits.upper);
            }
            view_.setValue(lower(k), item.bounds.lower);
            view_.setValue(upper(k), item.bounds.upper);
        }
        for (std::size_t i = 0; i < 3; ++i)
            showFigure(valueLabel(k, i), item.valueLabels[i]);
    }
    loadTimeControls(page, figures.span, figures.cycleText, figures.spanText, figures.window,
                     figures.timeLabels);
    view_.layoutChanged();  // the names decide how much room the check boxes take
    view_.graphChanged();
    describeGraph();
    refreshOverlays();
}

void DataPageModel::beginLive(const ControllerRecord& record, uint16_t cycle, uint16_t time,
                              uint32_t plannedSamples) {
    beginLiveDataGraph(record, plannedSamples, colors_, graph_);
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        const DataItem& item = record.items[k];
        LiveItem& l = live_[k];
        l = {};
        l.enabled = item.enabled == 1;
        enabled_[k] = l.enabled;
        view_.setChecked(check(k), l.enabled);
        if (!l.enabled)
            continue;
        l.scale = item.scale;
        l.decimals = scaleDecimals(item.scaleText);
        l.unit = item.unit;
        names_[k] = item.name;
        view_.setText(check(k), item.name);
        view_.setControlToolTip(check(k), item.name);
        view_.setText(unit(k), l.unit);
    }
    beginLiveTimeControls(cycle, time);
    view_.layoutChanged();
    view_.graphChanged();
    describeGraph();
}

void DataPageModel::appendLive(bool valid, std::span<const double> plotted) {
    for (std::size_t k = 0; k < kDataItemCount && k < plotted.size(); ++k) {
        if (!live_[k].enabled)
            continue;
        if (!valid) {
            graph_.appendGap(uint32_t(k));
            continue;
        }
        graph_.appendSample(uint32_t(k), plotted[k]);
        live_[k].latest = plotted[k];
        widenLiveRange(k, plotted[k]);
    }
}

void DataPageModel::widenLiveRange(std::size_t item, double value) {
    LiveItem& l = live_[item];
    ValueRange extremes = l.extremes.value_or(ValueRange{value, value});
    if (l.extremes && value >= extremes.lower && value <= extremes.upper)
        return;
    extremes = {std::min(extremes.lower, value), std::max(extremes.upper, value)};
    l.extremes = extremes;
    const ValueRange bounds = initialBounds(extremes, l.scale);
    graph_.lowerBound[item] = bounds.lower;
    graph_.upperBound[item] = bounds.upper;
    ranges_[item] = {bounds, bounds};
    l.rangeWidened = true;
}

void DataPageModel::showLatest(uint32_t timeMs) {
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        LiveItem& l = live_[k];
        if (!l.enabled || !l.latest)
            continue;
        view_.setValueText(unit(k), figureText(valueText(*l.latest, l.decimals)), l.unit);
        if (l.rangeWidened)
            showValueLabels(k);
        l.rangeWidened = false;
    }
    showElapsed(timeMs);
    view_.graphChanged();
}

void DataPageModel::enableEntry() {
    enableTimeEntry();
    for (std::size_t k = 0; k < kDataItemCount; ++k)
        for (const PageControl control : {check(k), upper(k), lower(k)})
            view_.setControlEnabled(control, enabled_[k]);
}

void DataPageModel::clickCheck(PageControl control, bool checked) {
    if (control.kind == PageControlKind::ItemCheck)
        showTrace(std::size_t(control.index), checked, true);
}

void DataPageModel::commitPageEdit(PageControl control, double value) {
    const bool isUpper = control.kind == PageControlKind::UpperEdit;
    if ((!isUpper && control.kind != PageControlKind::LowerEdit) || control.index < 0 ||
        control.index >= int(kDataItemCount))
        return;
    const auto k = std::size_t(control.index);
    RangeEntry& range = ranges_[k];
    const EntryOutcome outcome =
        commitRange(range, isUpper ? RangeEdit::Upper : RangeEdit::Lower, value);
    switch (outcome) {
        case EntryOutcome::Unchanged:
            return;
        case EntryOutcome::Rejected:
            view_.setValue(control, isUpper ? range.applied.upper : range.applied.lower);
            return;
        case EntryOutcome::Accepted:
        case EntryOutcome::AcceptedHidden:
            graph_.lowerBound[k] = range.applied.lower;
            graph_.upperBound[k] = range.applied.upper;
            showValueLabels(k);
            // Shared by all traces: equal bounds hide every trace until a drawable entry.
            graph_.drawEnabled = outcome == EntryOutcome::Accepted ? 1 : 0;
            view_.graphChanged();
            refreshOverlays();
            return;
    }
}

void DataPageModel::showValueLabels(std::size_t item) {
    const std::array<std::string, 3> texts = valueLabels(ranges_[item].applied);
    for (std::size_t i = 0; i < 3; ++i)
        showFigure(valueLabel(item, i), texts[i]);
}

std::vector<CursorReadout::Text> DataPageModel::traceReadout(uint32_t index) const {
    // A trace with equal bounds is not drawn, so it has nothing to read out either.
    uint32_t shown = shownTraces();
    for (uint32_t k = 0; k < kDataItemCount; ++k)
        if (!(graph_.lowerBound[k] < graph_.upperBound[k]))
            shown &= ~(1u << k);
    std::vector<CursorReadout::Text> lines;
    for (const ReadoutLine& line : dataReadout(*recording(), index, shown)) {
        std::string text = line.name + ": " + figureText(line.value);
        if (!line.unit.empty())
            text += ' ' + line.unit;
        lines.push_back({std::move(text), graph_.traceColor[std::size_t(line.trace)]});
    }
    return lines;
}

}  // namespace kestiva
