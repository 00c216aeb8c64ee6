#include "views/MonitorPage.h"

#include "views/MeasurementPanel.h"
#include "views/QtWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>

#include <algorithm>

namespace kestiva {

namespace {

// What an edit's frame and margins add to the text it shows.
constexpr int kEditFrame = 12;
// Between the panel and the page's edges, as between the page's other controls.
constexpr int kPanelGap = 4;

bool isEnterOrEscape(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

PageModifiers pageModifiers(Qt::KeyboardModifiers modifiers) {
    return {(modifiers & Qt::ShiftModifier) != 0, (modifiers & Qt::ControlModifier) != 0,
            (modifiers & ~(Qt::KeypadModifier | Qt::ShiftModifier | Qt::ControlModifier)) != 0};
}

Qt::CursorShape cursorShape(GraphPointer pointer) {
    switch (pointer) {
        case GraphPointer::Pan:
            return Qt::ClosedHandCursor;
        case GraphPointer::MoveMarker:
            return Qt::SizeHorCursor;
        case GraphPointer::Cross:
            break;
    }
    return Qt::CrossCursor;
}

}  // namespace

QLabel* CMonitorPage::addLabel(const QString& name, Qt::Alignment alignment) {
    auto* label = new QLabel(QString::fromLatin1(kNoFigureText.data(), kNoFigureText.size()), this);
    label->setObjectName(name);
    label->setAlignment(alignment);
    label->setTextFormat(Qt::PlainText);
    return label;
}

CNumberEditEx* CMonitorPage::addEdit(PageControl control, const QString& accessibleName) {
    // The id only tells the edit's commits apart; the model knows the edit by its name.
    auto* edit = new CNumberEditEx(int(control.kind) * 100 + control.index, this);
    edit->setObjectName(qText(controlName(control)));
    // A number edit has no caption of its own to be found by.
    edit->setAccessibleName(accessibleName);
    // Queued: the model acts once the edit has finished its own key or focus handling, never
    // from inside it, where disabling or refilling the edit would pull the ground from under
    // it (and a page being taken down would be called back from its own controls).
    connect(
        edit, &CNumberEditEx::committed, this,
        [this, control, edit] {
            if (model_)
                model_->editCommitted(control, edit->value());
        },
        Qt::QueuedConnection);
    return edit;
}

CMonitorPage::CMonitorPage(LanguageCatalogue& catalogue, QWidget* parent)
    : QWidget(parent), catalogue_(catalogue) {
    constexpr Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    startEdit_ = addEdit({PageControlKind::StartEdit}, QStringLiteral("start time"));
    endEdit_ = addEdit({PageControlKind::EndEdit}, QStringLiteral("end time"));
    timeUnitLabel_ = addLabel(QStringLiteral("timeUnitLabel"), left);
    timeUnitLabel_->setBuddy(endEdit_);
    for (std::size_t i = 0; i < timeLabels_.size(); ++i)
        timeLabels_[i] =
            addLabel(qText(controlName({PageControlKind::TimeLabel, int(i)})), Qt::AlignCenter);
    cycleCaption_ = addLabel(QStringLiteral("cycleCaption"), left);
    cycleLabel_ = addLabel(QStringLiteral("cycleLabel"), left);
    spanCaption_ = addLabel(QStringLiteral("spanCaption"), left);
    spanLabel_ = addLabel(QStringLiteral("spanLabel"), left);
    panel_ = new MeasurementPanel(this);
    panel_->setObjectName(QStringLiteral("measurementPanel"));
    panel_->setCopyText(qText(catalogue_.GetText(text::BTN_MARKERS_COPY)));
    connect(panel_, &MeasurementPanel::copyRequested, this, [this] {
        if (model_)
            model_->copyMeasurements();
    });

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

void CMonitorPage::attachGraph(CTraceGraphWidget* graph, MonitorPageModel& model) {
    graph_ = graph;
    model_ = &model;
    model_->setSeparator(QString(startEdit_->separator()).toStdString());
    graph_->setMouseTracking(true);
    graph_->setCursor(Qt::CrossCursor);
    // Keys reach the graph for the markers; a click gives it the focus.
    graph_->setFocusPolicy(Qt::StrongFocus);
    // The markers' names lie under the readout, which is made after them.
    markerLines_ = new GraphMarkers(graph_);
    markerLines_->setObjectName(QStringLiteral("markerLines"));
    cursor_ = new GraphCursor(graph_);
    cursor_->setObjectName(QStringLiteral("graphCursor"));
    graph_->setAccessibleDescription(QStringLiteral("No recording"));
}

void CMonitorPage::detachModel() {
    qApp->removeEventFilter(this);
    model_ = nullptr;
    graph_ = nullptr;
}

void CMonitorPage::placeGraph(const Rect& place) {
    graph_->setGeometry(toQt(place));
    model_->graphResized(graph_->width());
}

void CMonitorPage::placeTimeControls(const Rect& start, const Rect& end, const Rect& unit,
                                     const std::array<Rect, 3>& labels,
                                     const std::array<Rect, 4>& row) {
    startEdit_->setGeometry(toQt(start));
    endEdit_->setGeometry(toQt(end));
    timeUnitLabel_->setGeometry(toQt(unit));
    for (std::size_t i = 0; i < 3; ++i)
        timeLabels_[i]->setGeometry(toQt(labels[i]));
    QLabel* captions[] = {cycleCaption_, cycleLabel_, spanCaption_, spanLabel_};
    for (std::size_t i = 0; i < 4; ++i)
        captions[i]->setGeometry(toQt(row[i]));
}

Size CMonitorPage::fitting(const QString& sample, int height) const {
    return {QFontMetrics(font()).horizontalAdvance(sample) + kEditFrame, height};
}

int CMonitorPage::editHeight() const {
    return startEdit_->sizeHint().height();
}

QSize CMonitorPage::placeMeasurementPanel() {
    if (!panel_->isVisibleTo(this))
        return size();
    const int height = panel_->neededHeight();
    const int top = std::max(this->height() - height - kPanelGap, 0);
    panel_->setGeometry(kPanelGap, top, std::max(width() - 2 * kPanelGap, 0), height);
    return {width(), top};
}

// ---- What the model shows ----

QWidget* CMonitorPage::control(PageControl c) const {
    switch (c.kind) {
        case PageControlKind::Graph:
            return graph_;
        case PageControlKind::StartEdit:
            return startEdit_;
        case PageControlKind::EndEdit:
            return endEdit_;
        case PageControlKind::TimeUnitLabel:
            return timeUnitLabel_;
        case PageControlKind::TimeLabel:
            return c.index >= 0 && c.index < 3 ? timeLabels_[std::size_t(c.index)] : nullptr;
        case PageControlKind::CycleCaption:
            return cycleCaption_;
        case PageControlKind::CycleLabel:
            return cycleLabel_;
        case PageControlKind::SpanCaption:
            return spanCaption_;
        case PageControlKind::SpanLabel:
            return spanLabel_;
        default:
            return pageControl(c);
    }
}

CNumberEditEx* CMonitorPage::edit(PageControl c) const {
    return qobject_cast<CNumberEditEx*>(control(c));
}

void CMonitorPage::setText(PageControl c, const std::string& text) {
    QWidget* widget = control(c);
    if (widget == graph_ && graph_)
        graph_->setAccessibleDescription(qText(text));
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(qText(text));
    else if (auto* check = qobject_cast<QCheckBox*>(widget))
        check->setText(qText(text));
}

void CMonitorPage::setValueText(PageControl c, const std::string& value, const std::string&) {
    setText(c, value);
}

void CMonitorPage::setControlToolTip(PageControl c, const std::string& text) {
    if (QWidget* widget = control(c))
        widget->setToolTip(qText(text));
}

void CMonitorPage::setControlEnabled(PageControl c, bool enabled) {
    if (QWidget* widget = control(c))
        widget->setEnabled(enabled);
}

void CMonitorPage::setChecked(PageControl c, bool checked) {
    if (auto* check = qobject_cast<QCheckBox*>(control(c)))
        check->setChecked(checked);
}

void CMonitorPage::setValue(PageControl c, double value) {
    if (CNumberEditEx* e = edit(c))
        e->setValue(value);
}

void CMonitorPage::clearValue(PageControl c) {
    if (CNumberEditEx* e = edit(c))
        e->clear();
}

void CMonitorPage::setLimits(PageControl c, double lower, double upper) {
    if (CNumberEditEx* e = edit(c))
        e->setLimits(lower, upper);
}

void CMonitorPage::setNumberFormat(PageControl c, int decimals, bool sign) {
    if (CNumberEditEx* e = edit(c)) {
        e->setDecimals(uint16_t(decimals));
        e->setAcceptFlags(uint16_t(kAcceptSeparator | (sign ? kAcceptSign : 0)));
    }
}

void CMonitorPage::graphChanged() {
    if (graph_)
        graph_->redraw();
}

void CMonitorPage::overlaysChanged() {
    if (!graph_ || !model_)
        return;
    // The lines are drawn into the graph's picture; the texts beside them lie over it.
    std::vector<OverlayLine> lines;
    const MarkerLines& markers = model_->markerLines();
    std::array<GraphMarkers::Mark, 2> marks;
    for (std::size_t m = 0; m < marks.size(); ++m) {
        marks[m] = {markers.marks[m].x, qText(markers.marks[m].name)};
        if (marks[m].x)
            lines.push_back({*marks[m].x, markers.color,
                             int(m) == markers.active ? OverlayLine::Kind::ActiveMarker
                                                      : OverlayLine::Kind::Marker});
    }
    markerLines_->showMarks(marks, markers.active, toQColor(markers.color),
                            toQColor(markers.nameColor));
    const CursorReadout& readout = model_->cursorReadout();
    if (readout.shown) {
        // The cursor's line lies over the markers' lines, as its box lies over their names.
        lines.push_back({readout.x, readout.frame, OverlayLine::Kind::Cursor});
        std::vector<GraphCursor::Line> texts;
        for (const CursorReadout::Text& line : readout.lines)
            texts.push_back({qText(line.text), toQColor(line.color)});
        cursor_->showAt(readout.x, std::move(texts), toQColor(readout.background),
                        toQColor(readout.frame));
    } else {
        cursor_->hideReadout();
    }
    graph_->setOverlayLines(std::move(lines));
}

void CMonitorPage::layoutChanged() {
    if (!model_)
        return;
    const bool shown = model_->measurementsShown();
    if (shown)
        panel_->showRows(model_->measurementRows());
    panel_->setVisible(shown);
    layOut();
}

void CMonitorPage::copyText(const std::string& text) {
    QGuiApplication::clipboard()->setText(qText(text));
}

// ---- The mouse on the graph ----

void CMonitorPage::handleGraphMouse(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove:
            model_->mouseMove(int(static_cast<QMouseEvent*>(event)->position().x()));
            break;
        case QEvent::Leave:
            model_->mouseLeave();
            break;
        case QEvent::MouseButtonPress: {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() == Qt::LeftButton)
                model_->mousePress(int(press->position().x()), pageModifiers(press->modifiers()));
            break;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                model_->mouseRelease();
            break;
        case QEvent::MouseButtonDblClick: {
            const auto* click = static_cast<QMouseEvent*>(event);
            if (click->button() == Qt::LeftButton)
                model_->doubleClick(int(click->position().x()), pageModifiers(click->modifiers()));
            break;
        }
        case QEvent::Resize:
            model_->graphResized(graph_->width());
            break;
        case QEvent::Wheel: {
            auto* wheel = static_cast<QWheelEvent*>(event);
            model_->wheel(int(wheel->position().x()), wheel->angleDelta().y() / 120.0);
            wheel->accept();
            break;
        }
        default:
            return;
    }
    const Qt::CursorShape shape = cursorShape(model_->pointer());
    if (graph_->cursor().shape() != shape)
        graph_->setCursor(shape);
}

bool CMonitorPage::graphKey(const QKeyEvent& key) {
    if (key.matches(QKeySequence::Copy))
        return model_->graphKey(GraphKey::Copy, {});
    GraphKey which = GraphKey::Other;
    switch (key.key()) {
        case Qt::Key_A:
            which = GraphKey::A;
            break;
        case Qt::Key_B:
            which = GraphKey::B;
            break;
        case Qt::Key_Left:
            which = GraphKey::Left;
            break;
        case Qt::Key_Right:
            which = GraphKey::Right;
            break;
        case Qt::Key_Delete:
            which = GraphKey::Delete;
            break;
        default:
            return false;
    }
    return model_->graphKey(which, pageModifiers(key.modifiers()));
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
        if (event->type() == QEvent::KeyPress && graphKey(*static_cast<QKeyEvent*>(event)))
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
