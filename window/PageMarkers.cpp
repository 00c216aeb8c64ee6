// The markers A and B of MonitorPageModel: placing and moving them with the mouse and the
// keys, their lines over the graph, and the measurements between them.

#include "window/MonitorPageModel.h"

#include <algorithm>
#include <cstdlib>

namespace kestiva {

namespace {

// How far from a marker's line a press still grabs it, in pixels either side.
constexpr int kGrabReach = 4;

}  // namespace

bool MonitorPageModel::pressMarker(int x, PageModifiers modifiers) {
    if (modifiers.shift || modifiers.control) {
        if (const auto index = sampleAtX(x))
            setMarker(modifiers.shift ? kMarkerA : kMarkerB, *index);
        return true;
    }
    const auto near = markerNear(x);
    if (!near)
        return false;
    markerDrag_ = *near;
    activeMarker_ = *near;
    pointer_ = GraphPointer::MoveMarker;
    updateMarkerLines();
    return true;
}

void MonitorPageModel::dragMarker(int x) {
    if (const auto index = sampleAtX(x))
        setMarker(*markerDrag_, *index);
}

bool MonitorPageModel::graphKey(GraphKey key, PageModifiers modifiers) {
    if (!steerable())
        return false;
    if (key == GraphKey::Copy) {
        if (!measurements_)
            return false;
        copyMeasurements();
        return true;
    }
    if (modifiers.control || modifiers.other)
        return false;
    switch (key) {
        case GraphKey::A:
        case GraphKey::B: {
            const int which = key == GraphKey::A ? kMarkerA : kMarkerB;
            const GraphWindow window = shownWindow();
            std::optional<uint32_t> index = mouseX_ ? sampleAtX(*mouseX_) : std::nullopt;
            if (!index)
                index = markers_[std::size_t(which)];
            setMarker(which, index.value_or((window.first + window.last) / 2));
            return true;
        }
        case GraphKey::Left:
            moveActiveMarker(-1);
            return true;
        case GraphKey::Right:
            moveActiveMarker(1);
            return true;
        case GraphKey::Delete:
            clearMarkers();
            return true;
        default:
            return false;
    }
}

void MonitorPageModel::copyMeasurements() {
    if (measurements_)
        view_.copyText(measurementsTable(measurements_->figures, titles_));
}

std::optional<uint32_t> MonitorPageModel::sampleAtX(int x) const {
    if (!tracesDrawn())
        return std::nullopt;
    return pixelToSample(style_, shownWindow(), graphWidth_,
                         std::clamp(x, 0, std::max(graphWidth_ - 1, 0)));
}

std::optional<int> MonitorPageModel::markerNear(int x) const {
    std::optional<int> nearest;
    int nearestDistance = kGrabReach + 1;
    // The active marker first, so that of two markers on one pixel it is the one that moves.
    for (const int which : {activeMarker_, 1 - activeMarker_}) {
        const auto& lineX = markerLines_.marks[std::size_t(which)].x;
        if (lineX && std::abs(*lineX - x) < nearestDistance) {
            nearest = which;
            nearestDistance = std::abs(*lineX - x);
        }
    }
    return nearest;
}

void MonitorPageModel::setMarker(int which, uint32_t index) {
    markers_[std::size_t(which)] = std::min(index, sampleTotal_ > 0 ? sampleTotal_ - 1 : 0);
    activeMarker_ = which;
    updateMarkerLines();
    updateMeasurements();
}

void MonitorPageModel::moveActiveMarker(int samples) {
    const auto& index = markers_[std::size_t(activeMarker_)];
    if (!index || (samples < 0 && *index == 0))
        return;
    setMarker(activeMarker_, uint32_t(int64_t(*index) + samples));
}

void MonitorPageModel::clearMarkers() {
    markers_ = {};
    markerDrag_.reset();
    activeMarker_ = kMarkerA;
    updateMarkerLines();
    updateMeasurements();
}

void MonitorPageModel::updateMarkerLines() {
    MarkerLines lines;
    for (std::size_t m = 0; m < lines.marks.size(); ++m) {
        lines.marks[m].name = markerNames_[m];
        if (markers_[m] && tracesDrawn())
            lines.marks[m].x = sampleToPixel(style_, shownWindow(), graphWidth_, *markers_[m]);
    }
    lines.active = activeMarker_;
    lines.color = colors_.gridColor;
    lines.nameColor = colors_.backgroundColor;
    markerLines_ = std::move(lines);
    view_.overlaysChanged();
}

void MonitorPageModel::updateMeasurements() {
    const bool both = recording_ != nullptr && markers_[0] && markers_[1];
    if (!both && !measurements_)
        return;
    if (both)
        measurements_ = kestiva::measurementRows(
            markerFigures(*recording_, *markers_[0], *markers_[1], shownTraces()), titles_,
            separator_);
    else
        measurements_.reset();
    view_.layoutChanged();
}

}  // namespace kestiva
