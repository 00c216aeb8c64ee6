#pragma once
// The I/O page: one recording of up to sixteen on/off signals as stacked step lines on a
// CIoGraph, a check box beside each signal's band that shows or hides it, the time window's
// edits, the times under the graph, the sampling cycle and the time the recording spans.
//
// The page shows the recording it was given and keeps a pointer to it; the graph's buffers
// are the only copy of its levels.

#include "views/IoGraph.h"
#include "window/MonitorLayout.h"
#include "views/MonitorPage.h"

#include <array>
#include <span>

class QCheckBox;

namespace kestiva {

class CIoMonitor : public CMonitorPage {
    Q_OBJECT

public:
    explicit CIoMonitor(LanguageCatalogue& catalogue, QWidget* parent = nullptr);

    // The operations of the data page (CDataMonitor), for I/O recordings.
    void initialise(const ColorTable& colors);
    void clear();
    void loadRecording(const PageRecording& page);
    void enableEntry();
    void applyColorTable(const ColorTable& colors);

    // A recording while it arrives, as on the data page; a lane's level is its latest value.
    void beginLive(const ControllerRecord& record, uint16_t cycle, uint16_t time,
                   uint32_t plannedSamples);
    void appendLive(bool valid, std::span<const uint8_t> levels);
    void showLatest(uint32_t timeMs);

    const CIoGraph& graph() const { return *graph_; }
    std::size_t memoryBytes() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

    GraphWindow shownWindow() const override;
    bool tracesDrawn() const override;
    void showWindow(GraphWindow window, bool drawable) override;
    std::vector<GraphCursor::Line> traceReadout(uint32_t index) const override;
    uint32_t shownTraces() const override;
    void layOut() override;

private:
    IoPageSizes measureSizes() const;
    void onCheckClicked(std::size_t signal, bool checked);
    QStringList shownNames() const;

    CIoGraph* graph_;
    std::array<QCheckBox*, kIoSignalCount> checks_;

    ControllerRecord liveRecord_;  // the record of the recording that is arriving
    bool initialised_ = false;
    IoPageSizes sizes_;
    std::array<bool, kIoSignalCount> signalEnabled_{};
};

}  // namespace kestiva
