// The markers A and B of CMonitorPage: placing and moving them with the mouse and the keys,
// their lines over the graph, and the measurement panel between them.

#include "views/MeasurementPanel.h"
#include "views/QtWindow.h"
#include "views/MonitorPage.h"
#include "window/TraceGraphData.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace kestiva {

namespace {

// How far from a marker's line a press still grabs it, in pixels either side.
constexpr int kGrabReach = 4;
// Between the panel and the page's edges, as between the page's other controls.
constexpr int kPanelGap = 4;

}  // namespace

bool CMonitorPage::pressMarker(const QMouseEvent& press) {
    const int x = int(press.position().x());
    const Qt::KeyboardModifiers modifiers = press.modifiers();
    if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier)) {
        if (const auto index = sampleAtX(x))
            setMarker(modifiers & Qt::ShiftModifier ? kMarkerA : kMarkerB, *index);
        return true;
    }
    const auto near = markerNear(x);
    if (!near)
        return false;
    markerDrag_ = *near;
    activeMarker_ = *near;
    graph_->setCursor(Qt::SizeHorCursor);
    updateMarkerLines();
    return true;
}

void CMonitorPage::dragMarker(int x) {
    if (const auto index = sampleAtX(x))
        setMarker(*markerDrag_, *index);
}

bool CMonitorPage::markerKey(const QKeyEvent& key) {
    if (!steerable())
        return false;
    if (key.matches(QKeySequence::Copy)) {
        if (!panel_->isVisible())
            return false;
        panel_->copyToClipboard();
        return true;
    }
    if (key.modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier))
        return false;
    switch (key.key()) {
        case Qt::Key_A:
        case Qt::Key_B: {
            const int which = key.key() == Qt::Key_A ? kMarkerA : kMarkerB;
            const GraphWindow window = shownWindow();
            std::optional<uint32_t> index = mouseX_ ? sampleAtX(*mouseX_) : std::nullopt;
            if (!index)
                index = markers_[std::size_t(which)];
            setMarker(which, index.value_or((window.first + window.last) / 2));
            return true;
        }
        case Qt::Key_Left:
            moveActiveMarker(-1);
            return true;
        case Qt::Key_Right:
            moveActiveMarker(1);
            return true;
        case Qt::Key_Delete:
            clearMarkers();
            return true;
        default:
            return false;
    }
}

std::optional<uint32_t> CMonitorPage::sampleAtX(int x) const {
    if (!tracesDrawn())
        return std::nullopt;
    const int width = graph_->width();
    return pixelToSample(style_, shownWindow(), width, std::clamp(x, 0, std::max(width - 1, 0)));
}

std::optional<int> CMonitorPage::markerNear(int x) const {
    std::optional<int> nearest;
    int nearestDistance = kGrabReach + 1;
    // The active marker first, so that of two markers on one pixel it is the one that moves.
    for (const int which : {activeMarker_, 1 - activeMarker_}) {
        const auto& lineX = markerLines_->marks()[std::size_t(which)].x;
        if (lineX && std::abs(*lineX - x) < nearestDistance) {
            nearest = which;
            nearestDistance = std::abs(*lineX - x);
        }
    }
    return nearest;
}

void CMonitorPage::setMarker(int which, uint32_t index) {
    markers_[std::size_t(which)] = std::min(index, sampleTotal_ > 0 ? sampleTotal_ - 1 : 0);
    activeMarker_ = which;
    updateMarkerLines();
    updateMeasurements();
}

void CMonitorPage::moveActiveMarker(int samples) {
    const auto& index = markers_[std::size_t(activeMarker_)];
    if (!index || (samples < 0 && *index == 0))
        return;
    setMarker(activeMarker_, uint32_t(int64_t(*index) + samples));
}

void CMonitorPage::clearMarkers() {
    markers_ = {};
    markerDrag_.reset();
    activeMarker_ = kMarkerA;
    updateMarkerLines();
    updateMeasurements();
}

void CMonitorPage::updateMarkerLines() {
    if (!markerLines_)
        return;
    std::array<GraphMarkers::Mark, 2> marks;
    for (std::size_t m = 0; m < marks.size(); ++m) {
        marks[m].name = markerNames_[m];
        if (markers_[m] && tracesDrawn())
            marks[m].x = sampleToPixel(style_, shownWindow(), graph_->width(), *markers_[m]);
    }
    markerLines_->showMarks(marks, activeMarker_, toQColor(colors_.gridColor),
                            toQColor(colors_.backgroundColor));
}

void CMonitorPage::updateMeasurements() {
    const bool both = recording_ != nullptr && markers_[0] && markers_[1];
    const bool wasShown = panel_->isVisibleTo(this);
    if (both)
        panel_->showFigures(markerFigures(*recording_, *markers_[0], *markers_[1], shownTraces()),
                            startEdit_->separator());
    panel_->setVisible(both);
    // A panel that comes, goes or takes another number of rows moves the page's controls.
    if (both != wasShown || (both && panel_->neededHeight() != panel_->height()))
        layOut();
}

QSize CMonitorPage::placeMeasurementPanel() {
    if (!panel_->isVisibleTo(this))
        return size();
    const int height = panel_->neededHeight();
    const int top = std::max(this->height() - height - kPanelGap, 0);
    panel_->setGeometry(kPanelGap, top, std::max(width() - 2 * kPanelGap, 0), height);
    return {width(), top};
}

}  // namespace kestiva
