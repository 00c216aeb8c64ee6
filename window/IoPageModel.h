#pragma once
// The I/O page's model: up to sixteen on/off signals as stacked step lines, a check box beside
// each signal's band that shows or hides it.
//
// The page shows the recording it was given and keeps a pointer to it; the graph's buffers
// are the only copy of its levels.

#include "window/GraphData.h"
#include "window/GraphPageModel.h"

#include <span>

namespace kestiva {

class IoPageModel : public GraphPageModel<IoGraphData> {
public:
    IoPageModel(MonitorPageView& view, LanguageCatalogue& catalogue, IoGraphData& graph);

    // The operations of the data page (DataPageModel), for I/O recordings.
    void initialise(const ColorTable& colors);
    void clear();
    void loadRecording(const PageRecording& page);
    void enableEntry();
    void applyColorTable(const ColorTable& colors) { applyGraphColors(colors); }

    // A recording while it arrives, as on the data page; a lane's level is its latest value.
    void beginLive(const ControllerRecord& record, uint16_t cycle, uint16_t time,
                   uint32_t plannedSamples);
    void appendLive(bool valid, std::span<const uint8_t> levels);
    void showLatest(uint32_t timeMs);

private:
    void clickCheck(PageControl control, bool checked) override;
    std::vector<CursorReadout::Text> traceReadout(uint32_t index) const override;

    ControllerRecord liveRecord_;  // the record of the recording that is arriving
};

}  // namespace kestiva
