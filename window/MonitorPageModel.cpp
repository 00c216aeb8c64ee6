#include "window/MonitorPageModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace kestiva {

namespace {

// One wheel notch makes the window this much as wide; turning the other way widens it again.
constexpr double kZoomPerNotch = 0.8;
// The time edits show tenths of a second.
constexpr int kTimeDecimals = 1;

constexpr PageControl kStartEdit{PageControlKind::StartEdit};
constexpr PageControl kEndEdit{PageControlKind::EndEdit};

// Lets the catalogue's caption table set a label's text.
class LabelText : public WindowTextTarget {
public:
    LabelText(MonitorPageView& view, PageControl control) : view_(view), control_(control) {}
    void setWindowText(const std::string& text) override { view_.setText(control_, text); }

private:
    MonitorPageView& view_;
    PageControl control_;
};

// A value in fixed notation with `decimals` digits, "." as its point.
std::string fixedText(double value, int decimals) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return "0";
    return std::string(buffer, result.ptr);
}

}  // namespace

double roundedValue(double value, int decimals) {
    if (!std::isfinite(value))
        return value;
    return std::strtod(fixedText(value, decimals).c_str(), nullptr);
}

MonitorPageModel::MonitorPageModel(MonitorPageView& view, LanguageCatalogue& catalogue,
                                   TraceStyle style)
    : view_(view), catalogue_(catalogue), style_(style) {}

std::string MonitorPageModel::figureText(const std::string& text) const {
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
        if (c == '.')
            out += separator_;
        else
            out += c;
    return out;
}

void MonitorPageModel::showFigure(PageControl control, const std::string& text) {
    view_.setText(control, figureText(text));
}

const MeasurementRows& MonitorPageModel::measurementRows() const {
    static const MeasurementRows none;
    return measurements_ ? *measurements_ : none;
}

// ---- Operations ----

void MonitorPageModel::initialiseTimeControls(bool timeEditSign, const ColorTable& colors) {
    entryActive_ = false;
    colors_ = colors;
    LabelText cycleCaption(view_, {PageControlKind::CycleCaption});
    LabelText spanCaption(view_, {PageControlKind::SpanCaption});
    const LanguageTableEntry captions[] = {
        {"MSG_SAMPLING_SPAN", LanguageTableEntry::Kind::WindowText, &cycleCaption},
        {"MSG_SAMPLING_TIME", LanguageTableEntry::Kind::WindowText, &spanCaption},
        {},
    };
    catalogue_.ApplyLanguageTable(captions);
    markerNames_ = {catalogue_.GetText(text::MSG_MARKER_A), catalogue_.GetText(text::MSG_MARKER_B)};
    titles_ = measurementTitles(catalogue_);
    timeUnit_ = std::string(kTimeUnitText);
    view_.setText({PageControlKind::TimeUnitLabel}, timeUnit_);
    for (const PageControl edit : {kStartEdit, kEndEdit}) {
        view_.setNumberFormat(edit, kTimeDecimals, timeEditSign);
        view_.setValue(edit, 0.0);
    }
    edited_ = {};
}

void MonitorPageModel::clearTimeControls() {
    entryActive_ = false;
    recording_ = nullptr;
    dragStartX_.reset();
    pointer_ = GraphPointer::Cross;
    clearMarkers();
    for (const PageControl edit : {kStartEdit, kEndEdit}) {
        view_.clearValue(edit);
        view_.setControlEnabled(edit, false);
    }
    editsFilled_ = false;
    edited_ = {};
    for (int i = 0; i < 3; ++i)
        view_.setText({PageControlKind::TimeLabel, i}, std::string(kNoFigureText));
    view_.setText({PageControlKind::CycleLabel}, std::string(kNoFigureText));
    view_.setText({PageControlKind::SpanLabel}, std::string(kNoFigureText));
    cycle_ = 0;
    sampleTotal_ = 0;
    span_ = 0.0;
    window_ = {};
    describeGraph();
    updateReadout();
}

void MonitorPageModel::loadTimeControls(const PageRecording& page, double span,
                                        const std::string& cycleText, const std::string& spanText,
                                        const WindowEntry& window,
                                        const std::array<std::string, 3>& timeLabels) {
    recording_ = &page;
    dragStartX_.reset();
    pointer_ = GraphPointer::Cross;
    clearMarkers();
    cycle_ = page.cycle;
    sampleTotal_ = page.sampleCount;
    span_ = span;
    window_ = window;
    showFigure({PageControlKind::CycleLabel}, cycleText);
    showFigure({PageControlKind::SpanLabel}, spanText);
    for (const PageControl edit : {kStartEdit, kEndEdit})
        view_.setLimits(edit, 0.0, span);
    editsFilled_ = true;
    setTimeEdits({0.0, span});
    showTimeLabels(timeLabels);
}

void MonitorPageModel::beginLiveTimeControls(uint16_t cycle, uint16_t time) {
    showFigure({PageControlKind::CycleLabel}, cycleText(cycle));
    showElapsed(0);
    showTimeLabels(timeLabels({0.0, double(time)}));
}

void MonitorPageModel::showElapsed(uint32_t timeMs) {
    showFigure({PageControlKind::SpanLabel}, spanText(timeMs / 1000.0));
}

void MonitorPageModel::enableTimeEntry() {
    entryActive_ = true;
    view_.setControlEnabled(kStartEdit, true);
    view_.setControlEnabled(kEndEdit, true);
}

void MonitorPageModel::setTimeEdits(TimeWindow seconds) {
    edited_ = {roundedValue(seconds.start, kTimeDecimals), roundedValue(seconds.end, kTimeDecimals)};
    view_.setValue(kStartEdit, edited_.start);
    view_.setValue(kEndEdit, edited_.end);
}

void MonitorPageModel::describeGraph() {
    const PageControl graph{PageControlKind::Graph};
    if (!recording_) {
        view_.setText(graph, "No recording");
        return;
    }
    std::string names;
    for (const std::string& name : shownNames())
        names += (names.empty() ? "" : ", ") + name;
    const auto shown = [this](double value) {
        return editsFilled_ ? figureText(fixedText(value, kTimeDecimals)) : std::string();
    };
    view_.setText(graph, (names.empty() ? std::string("No trace") : names) + " from " +
                             shown(edited_.start) + " to " + shown(edited_.end) + " " + timeUnit_);
}

// ---- Committed entries ----

void MonitorPageModel::editCommitted(PageControl control, double value) {
    if (!entryActive_)
        return;
    if (control == kStartEdit || control == kEndEdit)
        commitTimeEdit(control == kStartEdit, value);
    else
        commitPageEdit(control, value);
}

void MonitorPageModel::checkClicked(PageControl control, bool checked) {
    if (entryActive_)
        clickCheck(control, checked);
}

void MonitorPageModel::commitTimeEdit(bool start, double seconds) {
    (start ? edited_.start : edited_.end) = seconds;
    showWindowOutcome(commitWindowEdit(window_, start ? WindowEdit::Start : WindowEdit::End,
                                       seconds, cycle_, sampleTotal_));
}

void MonitorPageModel::commitMouseWindow(TimeWindow seconds) {
    // The edits round to what they show; the window is what they then hold, as if typed.
    setTimeEdits(seconds);
    showWindowOutcome(commitWindow(window_, edited_, cycle_, sampleTotal_));
}

void MonitorPageModel::showWindowOutcome(EntryOutcome outcome) {
    switch (outcome) {
        case EntryOutcome::Unchanged:
            return;
        case EntryOutcome::Rejected:
            setTimeEdits(appliedSeconds(window_, cycle_));
            return;
        case EntryOutcome::Accepted:
        case EntryOutcome::AcceptedHidden:
            showTimeLabels(timeLabels(edited_));
            showWindow(graphWindow(window_.applied, sampleTotal_),
                       outcome == EntryOutcome::Accepted);
            view_.graphChanged();
            describeGraph();
            updateReadout();
            updateMarkerLines();
            return;
    }
}

void MonitorPageModel::showTimeLabels(const std::array<std::string, 3>& texts) {
    for (std::size_t i = 0; i < texts.size(); ++i)
        showFigure({PageControlKind::TimeLabel, int(i)}, texts[i]);
}

// ---- The mouse on the graph ----

bool MonitorPageModel::steerable() const {
    return entryActive_ && recording_ != nullptr && sampleTotal_ > 0;
}

void MonitorPageModel::graphResized(int width) {
    // Only the width places samples; a front end may tell the same size many times.
    if (std::max(width, 0) == graphWidth_)
        return;
    graphWidth_ = std::max(width, 0);
    updateReadout();
    updateMarkerLines();
}

void MonitorPageModel::mouseMove(int x) {
    mouseX_ = x;
    if (markerDrag_ && steerable()) {
        dragMarker(x);
    } else if (dragStartX_ && steerable()) {
        const double secondsPerPixel =
            (dragWindow_.end - dragWindow_.start) / std::max(graphWidth_, 1);
        commitMouseWindow(panWindow(dragWindow_, span_, -(x - *dragStartX_) * secondsPerPixel));
    }
    updateReadout();
}

void MonitorPageModel::mouseLeave() {
    mouseX_.reset();
    updateReadout();
}

void MonitorPageModel::mousePress(int x, PageModifiers modifiers) {
    if (steerable() && !pressMarker(x, modifiers)) {
        dragStartX_ = x;
        dragWindow_ = appliedSeconds(window_, cycle_);
        pointer_ = GraphPointer::Pan;
    }
}

void MonitorPageModel::mouseRelease() {
    dragStartX_.reset();
    markerDrag_.reset();
    pointer_ = GraphPointer::Cross;
}

void MonitorPageModel::doubleClick(int x, PageModifiers modifiers) {
    // A quick second click that places or grabs a marker does that again and leaves the
    // window as it is.
    if (steerable() && !pressMarker(x, modifiers))
        commitMouseWindow({0.0, span_});
}

void MonitorPageModel::wheel(int x, double notches) {
    if (steerable() && notches != 0.0)
        zoomAt(x, notches);
}

void MonitorPageModel::zoomAt(int x, double notches) {
    const TimeWindow now = appliedSeconds(window_, cycle_);
    // The time under the mouse stays there; over a window that draws nothing, the middle does.
    double cursorTime = (now.start + now.end) / 2.0;
    if (const auto index = pixelToSample(style_, shownWindow(), graphWidth_, x))
        cursorTime = double(*index) * cycle_ / 1000.0;
    commitMouseWindow(zoomWindow(now, span_, cycle_, cursorTime, std::pow(kZoomPerNotch, notches)));
}

void MonitorPageModel::refreshOverlays() {
    updateReadout();
    updateMarkerLines();
    updateMeasurements();
}

void MonitorPageModel::updateReadout() {
    CursorReadout readout;
    const auto index = mouseX_ && recording_ && tracesDrawn()
                           ? pixelToSample(style_, shownWindow(), graphWidth_, *mouseX_)
                           : std::nullopt;
    const auto x =
        index ? sampleToPixel(style_, shownWindow(), graphWidth_, *index) : std::nullopt;
    if (x) {
        readout.shown = true;
        readout.x = *x;
        readout.background = colors_.backgroundColor;
        readout.frame = colors_.gridColor;
        readout.lines.push_back(
            {figureText(sampleTimeText(*index, cycle_)) + ' ' + timeUnit_, colors_.gridColor});
        for (CursorReadout::Text& line : traceReadout(*index))
            readout.lines.push_back(std::move(line));
    }
    readout_ = std::move(readout);
    view_.overlaysChanged();
}

}  // namespace kestiva
