#include "views/MonitorPage.h"

#include "views/MeasurementPanel.h"
#include "views/QtWindow.h"
#include "window/TraceGraphData.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace kestiva {

namespace {

// One wheel notch makes the window this much as wide; turning the other way widens it again.
constexpr double kZoomPerNotch = 0.8;
// What an edit's frame and margins add to the text it shows.
constexpr int kEditFrame = 12;

bool isEnterOrEscape(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

// Lets the catalogue's caption table set a label's text.
class LabelText : public WindowTextTarget {
public:
    explicit LabelText(QLabel* label) : label_(label) {}
    void setWindowText(const std::string& text) override {
        label_->setText(QString::fromStdString(text));
    }

private:
    QLabel* label_;
};

}  // namespace

QLabel* CMonitorPage::addLabel(const QString& name, Qt::Alignment alignment) {
    auto* label = new QLabel(QString::fromLatin1(kNoFigureText.data(), kNoFigureText.size()), this);
    label->setObjectName(name);
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    return label;
}

CNumberEditEx* CMonitorPage::addEdit(int controlId, const QString& name,
                                     const QString& accessibleName) {
    auto* edit = new CNumberEditEx(controlId, this);
    edit->setObjectName(name);
    // A number edit has no caption of its own to be found by.
    edit->setAccessibleName(accessibleName);
    takeCommits(edit);
    return edit;
}

CMonitorPage::CMonitorPage(LanguageCatalogue& catalogue, QWidget* parent)
    : QWidget(parent), catalogue_(catalogue) {
    constexpr Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    startEdit_ =
        addEdit(kStartEditId, QStringLiteral("startTimeEdit"), QStringLiteral("start time"));
    endEdit_ = addEdit(kEndEditId, QStringLiteral("endTimeEdit"), QStringLiteral("end time"));
    timeUnitLabel_ = addLabel(QStringLiteral("timeUnitLabel"), left);
    timeUnitLabel_->setBuddy(endEdit_);
    const int percents[] = {25, 50, 75};
    for (std::size_t i = 0; i < timeLabels_.size(); ++i)
        timeLabels_[i] =
            addLabel(QStringLiteral("timeAt%1Label").arg(percents[i]), Qt::AlignCenter);
    cycleCaption_ = addLabel(QStringLiteral("cycleCaption"), left);
    cycleLabel_ = addLabel(QStringLiteral("cycleLabel"), left);
    spanCaption_ = addLabel(QStringLiteral("spanCaption"), left);
    spanLabel_ = addLabel(QStringLiteral("spanLabel"), left);
    panel_ = new MeasurementPanel(this);
    panel_->setObjectName(QStringLiteral("measurementPanel"));

    // One filter for the whole program: held keys are tracked wherever the focus is (a key
    // released elsewhere must not count as still held when the focus comes back), and the
    // graph's mouse events are taken from it too.
    qApp->installEventFilter(this);
}

CMonitorPage::~CMonitorPage() {
    // QWidget's destructor, still to come, deletes the controls; their last events must not
    // reach a filter whose page is half gone.
    qApp->removeEventFilter(this);
}

void CMonitorPage::takeCommits(CNumberEditEx* edit) {
    // Queued: the page acts once the edit has finished its own key or focus handling, never
    // from inside it, where disabling or refilling the edit would pull the ground from under
    // it (and a page being taken down would be called back from its own controls).
    connect(edit, &CNumberEditEx::committed, this, &CMonitorPage::onEditCommitted,
            Qt::QueuedConnection);
}

void CMonitorPage::attachGraph(QWidget* graph, TraceStyle style) {
    graph_ = graph;
    style_ = style;
    graph_->setMouseTracking(true);
    graph_->setCursor(Qt::CrossCursor);
    // Keys reach the graph for the markers; a click gives it the focus.
    graph_->setFocusPolicy(Qt::StrongFocus);
    // The markers lie under the readout, which is made after them.
    markerLines_ = new GraphMarkers(graph_);
    markerLines_->setObjectName(QStringLiteral("markerLines"));
    cursor_ = new GraphCursor(graph_);
    cursor_->setObjectName(QStringLiteral("graphCursor"));
    describeGraph({});
}

// ---- Operations ----

void CMonitorPage::initialiseTimeControls(uint16_t timeEditAcceptFlags, const ColorTable& colors) {
    entryActive_ = false;
    colors_ = colors;
    LabelText cycleCaption(cycleCaption_);
    LabelText spanCaption(spanCaption_);
    const LanguageTableEntry captions[] = {
        {"MSG_SAMPLING_SPAN", LanguageTableEntry::Kind::WindowText, &cycleCaption},
        {"MSG_SAMPLING_TIME", LanguageTableEntry::Kind::WindowText, &spanCaption},
        {},
    };
    catalogue_.ApplyLanguageTable(captions);
    markerNames_ = {QString::fromStdString(catalogue_.GetText(text::MSG_MARKER_A)),
                    QString::fromStdString(catalogue_.GetText(text::MSG_MARKER_B))};
    panel_->setTexts(measurementTitles(catalogue_),
                     QString::fromStdString(catalogue_.GetText(text::BTN_MARKERS_COPY)));
    timeUnitLabel_->setText(QString::fromLatin1(kTimeUnitText.data(), kTimeUnitText.size()));
    for (CNumberEditEx* edit : {startEdit_, endEdit_}) {
        edit->setAcceptFlags(timeEditAcceptFlags);
        edit->setDecimals(1);
        edit->setValue(0.0);
    }
}

void CMonitorPage::clearTimeControls() {
    entryActive_ = false;
    recording_ = nullptr;
    dragStartX_.reset();
    cursor_->hideReadout();
    clearMarkers();
    for (CNumberEditEx* edit : {startEdit_, endEdit_}) {
        edit->clear();
        edit->setEnabled(false);
    }
    for (QLabel* label : {timeLabels_[0], timeLabels_[1], timeLabels_[2], cycleLabel_, spanLabel_})
        showFigure(label, std::string(kNoFigureText));
    describeGraph({});
}

void CMonitorPage::loadTimeControls(const PageRecording& page, double span,
                                    const std::string& cycleText, const std::string& spanText,
                                    const WindowEntry& window,
                                    const std::array<std::string, 3>& timeLabels) {
    recording_ = &page;
    cycle_ = page.cycle;
    sampleTotal_ = page.sampleCount;
    clearMarkers();
    span_ = span;
    window_ = window;
    showFigure(cycleLabel_, cycleText);
    showFigure(spanLabel_, spanText);
    for (CNumberEditEx* edit : {startEdit_, endEdit_})
        edit->setLimits(0.0, span);
    startEdit_->setValue(0.0);
    endEdit_->setValue(span);
    showTimeLabels(timeLabels);
}

void CMonitorPage::beginLiveTimeControls(uint16_t cycle, uint16_t time) {
    showFigure(cycleLabel_, cycleText(cycle));
    showElapsed(0);
    showTimeLabels(timeLabels({0.0, double(time)}));
}

void CMonitorPage::showElapsed(uint32_t timeMs) {
    showFigure(spanLabel_, spanText(timeMs / 1000.0));
}

void CMonitorPage::enableTimeEntry() {
    entryActive_ = true;
    startEdit_->setEnabled(true);
    endEdit_->setEnabled(true);
}

QString CMonitorPage::figureText(const std::string& text) const {
    return QString::fromStdString(text).replace(QLatin1Char('.'), startEdit_->separator());
}

void CMonitorPage::showFigure(QLabel* label, const std::string& text) const {
    label->setText(figureText(text));
}

Size CMonitorPage::fitting(const QString& sample, int height) const {
    return {QFontMetrics(font()).horizontalAdvance(sample) + kEditFrame, height};
}

int CMonitorPage::editHeight() const {
    return startEdit_->sizeHint().height();
}

void CMonitorPage::describeGraph(const QStringList& traceNames) {
    traceNames_ = traceNames;
    if (!graph_)
        return;
    if (!recording_) {
        graph_->setAccessibleDescription(QStringLiteral("No recording"));
        return;
    }
    graph_->setAccessibleDescription(
        QStringLiteral("%1 from %2 to %3 %4")
            .arg(traceNames_.isEmpty() ? QStringLiteral("No trace") : traceNames_.join(", "),
                 startEdit_->text(), endEdit_->text(), timeUnitLabel_->text()));
}

// ---- Committed entries ----

void CMonitorPage::onEditCommitted(int controlId) {
    if (!entryActive_)
        return;
    if (controlId == kStartEditId || controlId == kEndEditId)
        commitTimeEdit(controlId);
    else
        commitPageEdit(controlId);
}

void CMonitorPage::commitTimeEdit(int controlId) {
    const bool start = controlId == kStartEditId;
    const double seconds = (start ? startEdit_ : endEdit_)->value();
    showWindowOutcome(commitWindowEdit(window_, start ? WindowEdit::Start : WindowEdit::End,
                                       seconds, cycle_, sampleTotal_));
}

void CMonitorPage::commitMouseWindow(TimeWindow seconds) {
    // The edits round to what they show; the window is what they then hold, as if typed.
    startEdit_->setValue(seconds.start);
    endEdit_->setValue(seconds.end);
    showWindowOutcome(
        commitWindow(window_, {startEdit_->value(), endEdit_->value()}, cycle_, sampleTotal_));
}

void CMonitorPage::showWindowOutcome(EntryOutcome outcome) {
    switch (outcome) {
        case EntryOutcome::Unchanged:
            return;
        case EntryOutcome::Rejected: {
            const TimeWindow applied = appliedSeconds(window_, cycle_);
            startEdit_->setValue(applied.start);
            endEdit_->setValue(applied.end);
            return;
        }
        case EntryOutcome::Accepted:
        case EntryOutcome::AcceptedHidden:
            showTimeLabels(timeLabels({startEdit_->value(), endEdit_->value()}));
            showWindow(graphWindow(window_.applied, sampleTotal_),
                       outcome == EntryOutcome::Accepted);
            describeGraph(traceNames_);
            updateReadout();
            updateMarkerLines();
            return;
    }
}

void CMonitorPage::showTimeLabels(const std::array<std::string, 3>& texts) {
    for (std::size_t i = 0; i < timeLabels_.size(); ++i)
        showFigure(timeLabels_[i], texts[i]);
}

// ---- The mouse on the graph ----

bool CMonitorPage::steerable() const {
    return entryActive_ && recording_ != nullptr && sampleTotal_ > 0;
}

void CMonitorPage::handleGraphMouse(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove: {
            const int x = int(static_cast<QMouseEvent*>(event)->position().x());
            mouseX_ = x;
            if (markerDrag_ && steerable()) {
                dragMarker(x);
            } else if (dragStartX_ && steerable()) {
                const double secondsPerPixel =
                    (dragWindow_.end - dragWindow_.start) / std::max(graph_->width(), 1);
                commitMouseWindow(
                    panWindow(dragWindow_, span_, -(x - *dragStartX_) * secondsPerPixel));
            }
            updateReadout();
            break;
        }
        case QEvent::Leave:
            mouseX_.reset();
            updateReadout();
            break;
        case QEvent::MouseButtonPress: {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() == Qt::LeftButton && steerable() && !pressMarker(*press)) {
                dragStartX_ = int(press->position().x());
                dragWindow_ = appliedSeconds(window_, cycle_);
                graph_->setCursor(Qt::ClosedHandCursor);
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                (dragStartX_ || markerDrag_)) {
                dragStartX_.reset();
                markerDrag_.reset();
                graph_->setCursor(Qt::CrossCursor);
            }
            break;
        case QEvent::MouseButtonDblClick: {
            // A quick second click that places or grabs a marker does that again and leaves the
            // window as it is.
            const auto* click = static_cast<QMouseEvent*>(event);
            if (click->button() == Qt::LeftButton && steerable() && !pressMarker(*click))
                commitMouseWindow({0.0, span_});
            break;
        }
        case QEvent::Resize:
            updateMarkerLines();
            break;
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            if (steerable() && wheel->angleDelta().y() != 0)
                zoomAt(int(wheel->position().x()), wheel->angleDelta().y() / 120.0);
            wheel->accept();
            break;
        }
        default:
            break;
    }
}

void CMonitorPage::zoomAt(int x, double notches) {
    const TimeWindow now = appliedSeconds(window_, cycle_);
    // The time under the mouse stays there; over a window that draws nothing, the middle does.
    double cursorTime = (now.start + now.end) / 2.0;
    if (const auto index = pixelToSample(style_, shownWindow(), graph_->width(), x))
        cursorTime = double(*index) * cycle_ / 1000.0;
    commitMouseWindow(zoomWindow(now, span_, cycle_, cursorTime, std::pow(kZoomPerNotch, notches)));
}

void CMonitorPage::refreshOverlays() {
    updateReadout();
    updateMarkerLines();
    updateMeasurements();
}

void CMonitorPage::updateReadout() {
    if (!mouseX_ || !recording_ || !tracesDrawn()) {
        cursor_->hideReadout();
        return;
    }
    const GraphWindow window = shownWindow();
    const auto index = pixelToSample(style_, window, graph_->width(), *mouseX_);
    const auto x = index ? sampleToPixel(style_, window, graph_->width(), *index) : std::nullopt;
    if (!x) {
        cursor_->hideReadout();
        return;
    }
    const QColor grid = toQColor(colors_.gridColor);
    std::vector<GraphCursor::Line> lines{
        {figureText(sampleTimeText(*index, cycle_)) + QLatin1Char(' ') + timeUnitLabel_->text(),
         grid}};
    for (GraphCursor::Line& line : traceReadout(*index))
        lines.push_back(std::move(line));
    cursor_->showAt(*x, std::move(lines), toQColor(colors_.backgroundColor), grid);
}

// ---- Keys ----

void CMonitorPage::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape end here: they never close the page's window or press its default
    // button. A number edit has taken its Enter before it gets here.
    if (isEnterOrEscape(event->key())) {
        event->accept();
        return;
    }
    if (KeyChord::isChordKey(event->key()) && !event->isAutoRepeat() &&
        dumpChord_.complete(event->modifiers()))
        emit receiveDumpRequested();
    QWidget::keyPressEvent(event);
}

void CMonitorPage::keyReleaseEvent(QKeyEvent* event) {
    if (isEnterOrEscape(event->key())) {
        event->accept();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

bool CMonitorPage::eventFilter(QObject* watched, QEvent* event) {
    if (graph_ != nullptr && watched == graph_) {
        if (event->type() == QEvent::KeyPress && markerKey(*static_cast<QKeyEvent*>(event)))
            return true;
        handleGraphMouse(event);
        if (event->type() == QEvent::Wheel)
            return true;
    }
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            dumpChord_.note(static_cast<QKeyEvent*>(event)->key(),
                            event->type() == QEvent::KeyPress);
            break;
        case QEvent::ShortcutOverride:
            // Asks for Enter and Escape as plain keys, so that no shortcut of the window takes
            // them before the page has consumed them.
            if (isEnterOrEscape(static_cast<QKeyEvent*>(event)->key()) && inPage(watched))
                event->accept();
            break;
        case QEvent::ApplicationDeactivate:
            dumpChord_.reset();
            break;
        default:
            break;
    }
    return false;
}

bool CMonitorPage::inPage(QObject* object) const {
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget != nullptr && (widget == this || isAncestorOf(widget));
}

}  // namespace kestiva
