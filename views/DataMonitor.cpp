#include "views/DataMonitor.h"

#include "views/QtWindow.h"
#include "window/PageGraphs.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>

namespace kestiva {

namespace {

constexpr Qt::Alignment kCentred = Qt::AlignCenter;

QString itemName(std::size_t k, const char* role) {
    return QStringLiteral("item%1%2").arg(k + 1).arg(QLatin1String(role));
}

QString none() {
    return QString::fromLatin1(kNoFigureText.data(), kNoFigureText.size());
}

// text in lines no wider than width, broken after a space where a line has one and anywhere
// else where it has none; no character is dropped.
QString wrapped(const QString& text, const QFontMetrics& metrics, int width) {
    QString lines;
    QString line;
    for (const QChar c : text) {
        if (!line.isEmpty() && metrics.horizontalAdvance(line + c) > width) {
            const qsizetype space = c == QLatin1Char(' ') ? -1 : line.lastIndexOf(QLatin1Char(' '));
            const qsizetype kept = space > 0 ? space + 1 : line.size();
            lines += line.left(kept) + QLatin1Char('\n');
            line = line.mid(kept);
        }
        line += c;
    }
    return lines + line;
}

}  // namespace

CDataMonitor::CDataMonitor(LanguageCatalogue& catalogue, QWidget* parent)
    : CMonitorPage(catalogue, parent) {
    graph_ = new CMultiGraph(this);
    graph_->setObjectName(QStringLiteral("dataGraph"));
    graph_->setAccessibleName(QStringLiteral("Data graph"));
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        checks_[k] = new QCheckBox(none(), this);
        checks_[k]->setObjectName(itemName(k, "Check"));
        connect(checks_[k], &QCheckBox::clicked, this,
                [this, k](bool checked) { onCheckClicked(k, checked); });
        upperEdits_[k] = addEdit(kFirstUpperEditId + int(k), itemName(k, "UpperEdit"),
                                 QStringLiteral("item %1 upper bound").arg(k + 1));
        lowerEdits_[k] = addEdit(kFirstLowerEditId + int(k), itemName(k, "LowerEdit"),
                                 QStringLiteral("item %1 lower bound").arg(k + 1));
        unitLabels_[k] = addLabel(itemName(k, "UnitLabel"), kCentred);
        unitLabels_[k]->setBuddy(lowerEdits_[k]);
        axisLines_[k] = new QFrame(this);
        axisLines_[k]->setObjectName(itemName(k, "AxisLine"));
        axisLines_[k]->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    }
    // Made after the axis lines, so that they lie on top of them like ticks on an axis.
    const char* quarters[] = {"ValueAt75Label", "ValueAt50Label", "ValueAt25Label"};
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        for (std::size_t i = 0; i < 3; ++i) {
            QLabel* label = addLabel(itemName(k, quarters[i]), kCentred);
            label->setAutoFillBackground(true);
            valueLabels_[k][i] = label;
        }
    }
    attachGraph(graph_, TraceStyle::Line);
}

void CDataMonitor::initialise(const ColorTable& colors) {
    initialiseTimeControls(kAcceptSeparator, colors);
    sizes_ = measureSizes();
    // What a check box needs beside its text: the indicator and the space after it.
    checkIndicatorWidth_ = checks_[0]->sizeHint().width() -
                           checks_[0]->fontMetrics().horizontalAdvance(checks_[0]->text());
    initialised_ = true;
    layOut();
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        checks_[k]->setChecked(true);
        for (CNumberEditEx* edit : {upperEdits_[k], lowerEdits_[k]}) {
            edit->setAcceptFlags(kAcceptSeparator | kAcceptSign);
            edit->setValue(0.0);
        }
    }
    clear();
    graph_->backgroundColor = colors.backgroundColor;
    graph_->gridColor = colors.gridColor;
    graph_->redraw();
}

void CDataMonitor::clear() {
    graph_->drawEnabled = 0;
    graph_->clearSamples();
    graph_->redraw();
    clearTimeControls();
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        checks_[k]->setEnabled(false);
        names_[k] = none();
        checks_[k]->setToolTip({});
        setUnitText(k, none());
        for (CNumberEditEx* edit : {upperEdits_[k], lowerEdits_[k]}) {
            edit->clear();
            edit->setEnabled(false);
        }
        for (QLabel* label : valueLabels_[k])
            label->setText(none());
    }
    layOut();
}

void CDataMonitor::loadRecording(const PageRecording& page) {
    const DataPageFigures figures = dataPageFigures(page);
    loadDataGraph(page, figures, colors_, *graph_);
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        const ItemFigures& item = figures.items[k];
        itemEnabled_[k] = item.enabled;
        checks_[k]->setChecked(item.enabled);
        names_[k] = QString::fromStdString(item.name);
        checks_[k]->setToolTip(names_[k]);
        setUnitText(k, QString::fromStdString(item.unit));
        ranges_[k] = {item.bounds, item.bounds};
        if (item.enabled) {
            for (CNumberEditEx* edit : {lowerEdits_[k], upperEdits_[k]}) {
                edit->setDecimals(uint16_t(item.decimals));
                edit->setLimits(item.editLimits.lower, item.editLimits.upper);
            }
            lowerEdits_[k]->setValue(item.bounds.lower);
            upperEdits_[k]->setValue(item.bounds.upper);
        }
        for (std::size_t i = 0; i < 3; ++i)
            showFigure(valueLabels_[k][i], item.valueLabels[i]);
    }
    loadTimeControls(page, figures.span, figures.cycleText, figures.spanText, figures.window,
                     figures.timeLabels);
    layOut();  // the names decide how much room the check boxes take
    graph_->redraw();
    describeGraph(shownNames());
    refreshOverlays();
}

void CDataMonitor::beginLive(const ControllerRecord& record, uint16_t cycle, uint16_t time,
                             uint32_t plannedSamples) {
    beginLiveDataGraph(record, plannedSamples, colors_, *graph_);
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        const DataItem& item = record.items[k];
        LiveItem& l = live_[k];
        l = {};
        l.enabled = item.enabled == 1;
        itemEnabled_[k] = l.enabled;
        checks_[k]->setChecked(l.enabled);
        if (!l.enabled)
            continue;
        l.scale = item.scale;
        l.decimals = scaleDecimals(item.scaleText);
        l.unit = QString::fromStdString(item.unit);
        names_[k] = QString::fromStdString(item.name);
        checks_[k]->setToolTip(names_[k]);
        setUnitText(k, l.unit);
    }
    beginLiveTimeControls(cycle, time);
    layOut();
    graph_->redraw();
    describeGraph(shownNames());
}

void CDataMonitor::appendLive(bool valid, std::span<const double> plotted) {
    for (std::size_t k = 0; k < kDataItemCount && k < plotted.size(); ++k) {
        if (!live_[k].enabled)
            continue;
        if (!valid) {
            graph_->appendGap(uint32_t(k));
            continue;
        }
        graph_->appendSample(uint32_t(k), plotted[k]);
        live_[k].latest = plotted[k];
        widenLiveRange(k, plotted[k]);
    }
}

void CDataMonitor::widenLiveRange(std::size_t item, double value) {
    LiveItem& l = live_[item];
    ValueRange extremes = l.extremes.value_or(ValueRange{value, value});
    if (l.extremes && value >= extremes.lower && value <= extremes.upper)
        return;
    extremes = {std::min(extremes.lower, value), std::max(extremes.upper, value)};
    l.extremes = extremes;
    const ValueRange bounds = initialBounds(extremes, l.scale);
    graph_->lowerBound[item] = bounds.lower;
    graph_->upperBound[item] = bounds.upper;
    ranges_[item] = {bounds, bounds};
    l.rangeWidened = true;
}

void CDataMonitor::showLatest(uint32_t timeMs) {
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        LiveItem& l = live_[k];
        if (!l.enabled || !l.latest)
            continue;
        showLatestValue(k, figureText(valueText(*l.latest, l.decimals)));
        if (l.rangeWidened)
            showValueLabels(k);
        l.rangeWidened = false;
    }
    showElapsed(timeMs);
    graph_->redraw();
}

void CDataMonitor::showLatestValue(std::size_t item, const QString& value) {
    const QString& unit = live_[item].unit;
    const QString withUnit = unit.isEmpty() ? value : value + QLatin1Char(' ') + unit;
    const int room = unitLabels_[item]->contentsRect().width();
    // A number is never cut: the unit gives way first (to the tooltip), then the type's size.
    if (QFontMetrics(font()).horizontalAdvance(withUnit) <= room)
        setUnitText(item, withUnit);
    else
        setUnitText(item, value, unit);
}

void CDataMonitor::setUnitText(std::size_t item, const QString& text, const QString& toolTip) {
    QLabel* label = unitLabels_[item];
    const int room = label->contentsRect().width();
    QFont fitted = font();
    while (QFontMetrics(fitted).horizontalAdvance(text) > room && fitted.pointSizeF() > 1.0)
        fitted.setPointSizeF(fitted.pointSizeF() - 0.5);
    label->setFont(fitted);
    label->setText(text);
    label->setToolTip(toolTip);
}

void CDataMonitor::enableEntry() {
    enableTimeEntry();
    for (std::size_t k = 0; k < kDataItemCount; ++k)
        for (QWidget* control :
             {static_cast<QWidget*>(checks_[k]), static_cast<QWidget*>(upperEdits_[k]),
              static_cast<QWidget*>(lowerEdits_[k])})
            control->setEnabled(itemEnabled_[k]);
}

void CDataMonitor::applyColorTable(const ColorTable& colors) {
    applyColors(*graph_, colors, itemEnabled_);
}

std::size_t CDataMonitor::memoryBytes() const {
    return graph_->sampleBytes() + graph_->pictureBytes();
}

void CDataMonitor::onCheckClicked(std::size_t item, bool checked) {
    if (!entryActive() || item >= graph_->traceVisible.size())
        return;
    graph_->traceVisible[item] = checked ? 1 : 0;
    graph_->drawEnabled = 1;
    graph_->redraw();
    describeGraph(shownNames());
    refreshOverlays();
}

void CDataMonitor::commitPageEdit(int controlId) {
    const bool upper = controlId >= kFirstUpperEditId && controlId < kFirstLowerEditId;
    const bool lower =
        controlId >= kFirstLowerEditId && controlId < kFirstLowerEditId + kDataItemCount;
    if (!upper && !lower)
        return;
    const auto k = std::size_t(controlId - (upper ? kFirstUpperEditId : kFirstLowerEditId));
    CNumberEditEx* edit = upper ? upperEdits_[k] : lowerEdits_[k];
    RangeEntry& range = ranges_[k];
    const EntryOutcome outcome =
        commitRange(range, upper ? RangeEdit::Upper : RangeEdit::Lower, edit->value());
    switch (outcome) {
        case EntryOutcome::Unchanged:
            return;
        case EntryOutcome::Rejected:
            edit->setValue(upper ? range.applied.upper : range.applied.lower);
            return;
        case EntryOutcome::Accepted:
        case EntryOutcome::AcceptedHidden:
            graph_->lowerBound[k] = range.applied.lower;
            graph_->upperBound[k] = range.applied.upper;
            showValueLabels(k);
            // Shared by all traces: equal bounds hide every trace until a drawable entry.
            graph_->drawEnabled = outcome == EntryOutcome::Accepted ? 1 : 0;
            graph_->redraw();
            refreshOverlays();
            return;
    }
}

void CDataMonitor::showValueLabels(std::size_t item) {
    const std::array<std::string, 3> texts = valueLabels(ranges_[item].applied);
    for (std::size_t i = 0; i < 3; ++i)
        showFigure(valueLabels_[item][i], texts[i]);
}

GraphWindow CDataMonitor::shownWindow() const {
    return {graph_->firstIndex, graph_->lastIndex};
}

bool CDataMonitor::tracesDrawn() const {
    return graph_->hasSamples && graph_->drawEnabled;
}

void CDataMonitor::showWindow(GraphWindow window, bool drawable) {
    graph_->firstIndex = window.first;
    graph_->lastIndex = window.last;
    graph_->drawEnabled = drawable ? 1 : 0;
    graph_->redraw();
}

std::vector<GraphCursor::Line> CDataMonitor::traceReadout(uint32_t index) const {
    // A trace with equal bounds is not drawn, so it has nothing to read out either.
    uint32_t shown = shownTraces();
    for (uint32_t k = 0; k < kDataItemCount; ++k)
        if (!(graph_->lowerBound[k] < graph_->upperBound[k]))
            shown &= ~(1u << k);
    std::vector<GraphCursor::Line> lines;
    for (const ReadoutLine& line : dataReadout(*recording(), index, shown)) {
        QString text =
            QString::fromStdString(line.name) + QStringLiteral(": ") + figureText(line.value);
        if (!line.unit.empty())
            text += QLatin1Char(' ') + QString::fromStdString(line.unit);
        lines.push_back({text, toQColor(graph_->traceColor[std::size_t(line.trace)])});
    }
    return lines;
}

uint32_t CDataMonitor::shownTraces() const {
    uint32_t shown = 0;
    for (uint32_t k = 0; k < graph_->usableTraceCount() && k < kDataItemCount; ++k)
        if (graph_->traceVisible[k])
            shown |= 1u << k;
    return shown;
}

QStringList CDataMonitor::shownNames() const {
    QStringList names;
    for (std::size_t k = 0; k < kDataItemCount && k < graph_->traceVisible.size(); ++k)
        if (itemEnabled_[k] && graph_->traceVisible[k])
            names << names_[k];
    return names;
}

DataPageSizes CDataMonitor::measureSizes() const {
    const int edit = editHeight();
    const int check = checks_[0]->sizeHint().height();
    const Size range = fitting(QStringLiteral("-000000.00"), edit);
    DataPageSizes s;
    s.check = {range.width(), check};

    s.rangeEdit = range;
    s.timeEdit = fitting(QStringLiteral("00000.0"), edit);
    s.unitLabel = {range.width(), edit};
    s.timeUnit = fitting(timeUnitLabel_->text(), edit);
    s.valueLabel = {range.width(), QFontMetrics(font()).height()};
    s.timeLabel = fitting(QStringLiteral("00000.00"), edit);
    s.captionRow = {fitting(cycleCaption_->text(), check), fitting(QStringLiteral("00000"), check),
                    fitting(spanCaption_->text(), check),
                    fitting(QStringLiteral("000000.0"), check)};
    return s;
}

void CDataMonitor::resizeEvent(QResizeEvent* event) {
    CMonitorPage::resizeEvent(event);
    layOut();
}

void CDataMonitor::layOut() {
    if (!initialised_)
        return;
    const int textRoom = itemCheckRoom(fromQt(size()), sizes_) - checkIndicatorWidth_;
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        checks_[k]->setText(wrapped(names_[k], checks_[k]->fontMetrics(), textRoom));
        sizes_.itemChecks[k] = fromQt(checks_[k]->sizeHint());
    }
    const DataPageLayout l = layoutDataPage(fromQt(placeMeasurementPanel()), sizes_);
    graph_->setGeometry(toQt(l.graph));
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        checks_[k]->setGeometry(toQt(l.checks[k]));
        upperEdits_[k]->setGeometry(toQt(l.upperEdits[k]));
        lowerEdits_[k]->setGeometry(toQt(l.lowerEdits[k]));
        unitLabels_[k]->setGeometry(toQt(l.unitLabels[k]));
        axisLines_[k]->setGeometry(toQt(l.axisLines[k]));
        for (std::size_t i = 0; i < 3; ++i)
            valueLabels_[k][i]->setGeometry(toQt(l.valueLabels[k][i]));
    }
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
