#include "views/IoMonitor.h"

#include "views/QtWindow.h"
#include "window/PageGraphs.h"

#include <QCheckBox>
#include <QLabel>

#include <algorithm>

namespace kestiva {

namespace {

QString none() {
    return QString::fromLatin1(kNoFigureText.data(), kNoFigureText.size());
}

}  // namespace

CIoMonitor::CIoMonitor(LanguageCatalogue& catalogue, QWidget* parent)
    : CMonitorPage(catalogue, parent) {
    graph_ = new CIoGraph(this);
    graph_->setObjectName(QStringLiteral("ioGraph"));
    graph_->setAccessibleName(QStringLiteral("I/O graph"));
    for (std::size_t s = 0; s < kIoSignalCount; ++s) {
        checks_[s] = new QCheckBox(none(), this);
        checks_[s]->setObjectName(QStringLiteral("signal%1Check").arg(s));
        connect(checks_[s], &QCheckBox::clicked, this,
                [this, s](bool checked) { onCheckClicked(s, checked); });
    }
    attachGraph(graph_, TraceStyle::Steps);
}

void CIoMonitor::initialise(const ColorTable& colors) {
    // Unlike the data page's, these time edits take a sign: a typed -1 is clamped to 0.
    initialiseTimeControls(kAcceptSeparator | kAcceptSign, colors);
    sizes_ = measureSizes();
    initialised_ = true;
    layOut();
    for (QCheckBox* check : checks_)
        check->setChecked(true);
    clear();
    graph_->backgroundColor = colors.backgroundColor;
    graph_->gridColor = colors.gridColor;
    graph_->redraw();
}

void CIoMonitor::clear() {
    graph_->drawEnabled = 0;
    graph_->clearSamples();
    graph_->redraw();
    clearTimeControls();
    for (QCheckBox* check : checks_) {
        check->setEnabled(false);
        check->setText(none());
    }
}

void CIoMonitor::loadRecording(const PageRecording& page) {
    const IoPageFigures figures = ioPageFigures(page);
    for (std::size_t s = 0; s < kIoSignalCount; ++s) {
        const SignalFigures& signal = figures.ioSignals[s];
        signalEnabled_[s] = signal.enabled;
        checks_[s]->setText(QString::fromStdString(signal.name));
        // Enabled already, but they act only once Enable entry lets them.
        checks_[s]->setChecked(signal.enabled);
        checks_[s]->setEnabled(signal.enabled);
    }
    loadIoGraph(page, colors_, *graph_);
    loadTimeControls(page, figures.span, figures.cycleText, figures.spanText, figures.window,
                     figures.timeLabels);
    graph_->redraw();
    describeGraph(shownNames());
    refreshOverlays();
}

void CIoMonitor::beginLive(const ControllerRecord& record, uint16_t cycle, uint16_t time,
                           uint32_t plannedSamples) {
    liveRecord_ = record;
    for (std::size_t s = 0; s < kIoSignalCount; ++s) {
        signalEnabled_[s] = record.items[s].enabled == 1;
        checks_[s]->setText(signalEnabled_[s] ? QString::fromStdString(record.items[s].name)
                                              : none());
        checks_[s]->setChecked(signalEnabled_[s]);
    }
    beginLiveIoGraph(record, plannedSamples, colors_, *graph_);
    beginLiveTimeControls(cycle, time);
    graph_->redraw();
    describeGraph(shownNames());
}

void CIoMonitor::appendLive(bool valid, std::span<const uint8_t> levels) {
    appendLiveLevels(liveRecord_, valid, levels, *graph_);
}

void CIoMonitor::showLatest(uint32_t timeMs) {
    showElapsed(timeMs);
    graph_->redraw();
}

void CIoMonitor::enableEntry() {
    enableTimeEntry();
    for (std::size_t s = 0; s < kIoSignalCount; ++s)
        checks_[s]->setEnabled(signalEnabled_[s]);
}

void CIoMonitor::applyColorTable(const ColorTable& colors) {
    applyColors(*graph_, colors, signalEnabled_);
}

std::size_t CIoMonitor::memoryBytes() const {
    return graph_->sampleBytes() + graph_->pictureBytes();
}

void CIoMonitor::onCheckClicked(std::size_t signal, bool checked) {
    if (!entryActive() || signal >= graph_->traceVisible.size())
        return;
    // Unlike the data page, a click leaves drawEnabled alone: a window that cannot be drawn
    // stays undrawn.
    graph_->traceVisible[signal] = checked ? 1 : 0;
    graph_->redraw();
    describeGraph(shownNames());
    refreshOverlays();
}

GraphWindow CIoMonitor::shownWindow() const {
    return {graph_->firstIndex, graph_->lastIndex};
}

bool CIoMonitor::tracesDrawn() const {
    return graph_->hasSamples && graph_->drawEnabled;
}

void CIoMonitor::showWindow(GraphWindow window, bool drawable) {
    graph_->firstIndex = window.first;
    graph_->lastIndex = window.last;
    graph_->drawEnabled = drawable ? 1 : 0;
    graph_->redraw();
}

std::vector<GraphCursor::Line> CIoMonitor::traceReadout(uint32_t index) const {
    std::vector<GraphCursor::Line> lines;
    for (const ReadoutLine& line : ioReadout(*recording(), index, shownTraces()))
        lines.push_back({QString::fromStdString(line.name) + QStringLiteral(": ") +
                             QString::fromStdString(line.value),
                         toQColor(graph_->traceColor[std::size_t(line.trace)])});
    return lines;
}

uint32_t CIoMonitor::shownTraces() const {
    uint32_t shown = 0;
    for (uint32_t s = 0; s < graph_->usableTraceCount() && s < kIoSignalCount; ++s)
        if (graph_->traceVisible[s])
            shown |= 1u << s;
    return shown;
}

QStringList CIoMonitor::shownNames() const {
    QStringList names;
    for (std::size_t s = 0; s < kIoSignalCount && s < graph_->traceVisible.size(); ++s)
        if (signalEnabled_[s] && graph_->traceVisible[s])
            names << checks_[s]->text();
    return names;
}

IoPageSizes CIoMonitor::measureSizes() const {
    // The edits are 40 x 25 unless the font needs more for the longest time.
    const int edit = std::max(editHeight(), 25);
    const Size timeEdit = fitting(QStringLiteral("00000.0"), edit);
    const int caption = cycleCaption_->sizeHint().height();
    IoPageSizes s;
    s.timeEdit = {std::max(timeEdit.width(), 40), edit};
    s.timeUnit = fitting(timeUnitLabel_->text(), edit);
    s.timeLabel = fitting(QStringLiteral("00000.00"), edit);
    s.captionRow = {
        fitting(cycleCaption_->text(), caption), fitting(QStringLiteral("00000"), caption),
        fitting(spanCaption_->text(), caption), fitting(QStringLiteral("000000.0"), caption)};
    return s;
}

void CIoMonitor::resizeEvent(QResizeEvent* event) {
    CMonitorPage::resizeEvent(event);
    layOut();
}

void CIoMonitor::layOut() {
    if (!initialised_)
        return;
    const IoPageLayout l = layoutIoPage(fromQt(placeMeasurementPanel()), sizes_);
    graph_->setGeometry(toQt(l.graph));
    for (std::size_t s = 0; s < kIoSignalCount; ++s)
        checks_[s]->setGeometry(toQt(l.checks[s]));
    startEdit_->setGeometry(toQt(l.startEdit));
    endEdit_->setGeometry(toQt(l.endEdit));
    timeUnitLabel_->setGeometry(toQt(l.timeUnit));
    for (std::size_t i = 0; i < 3; ++i)
        timeLabels_[i]->setGeometry(toQt(l.timeLabels[i]));
    QLabel* row[] = {cycleCaption_, cycleLabel_, spanCaption_, spanLabel_};
    for (std::size_t i = 0; i < 4; ++i)
        row[i]->setGeometry(toQt(l.captionRow[i]));
}

}  // namespace kestiva
