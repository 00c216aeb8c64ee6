#pragma once
// The data page's model: up to three controller values as traces, a check box per trace that
// shows or hides it, a pair of range edits per trace, the values at the graph's quarter lines,
// the units, and while a recording arrives the latest value beside each item.
//
// The page shows the recording it was given and keeps a pointer to it; the graph's buffers
// are the only copy of its values.

#include "window/GraphData.h"
#include "window/GraphPageModel.h"

#include <array>
#include <optional>
#include <span>

namespace kestiva {

class DataPageModel : public GraphPageModel<MultiGraphData> {
public:
    DataPageModel(MonitorPageView& view, LanguageCatalogue& catalogue, MultiGraphData& graph);

    // Once, when the window is made: captions, edits, an empty page in `colors`.
    void initialise(const ColorTable& colors);
    // Back to an empty page: "---" everywhere, edits empty, nothing enabled, nothing drawn.
    void clear();
    // Shows `page` (which must outlive its showing: until the next clear or load) read-only.
    void loadRecording(const PageRecording& page);
    // Lets the user change what the loaded recording shows.
    void enableEntry();
    // The colour table for the graph from now on; repaints at once.
    void applyColorTable(const ColorTable& colors) { applyGraphColors(colors); }

    // ---- A recording while it arrives (from Start until its load or clear) ----
    // The enabled items of `record` named, checked and coloured as a load shows them, on an
    // empty graph whose window spans the `plannedSamples` of `cycle` ms over `time` s.
    void beginLive(const ControllerRecord& record, uint16_t cycle, uint16_t time,
                   uint32_t plannedSamples);
    // One arriving sample: the plotted value per item, or a gap in every trace when it failed.
    void appendLive(bool valid, std::span<const double> plotted);
    // Shows what has arrived: the latest value beside each item, the ranges, the time
    // reached, and the graph painted again.
    void showLatest(uint32_t timeMs);

private:
    void commitPageEdit(PageControl control, double value) override;
    void clickCheck(PageControl control, bool checked) override;
    std::vector<CursorReadout::Text> traceReadout(uint32_t index) const override;

    void showValueLabels(std::size_t item);
    void widenLiveRange(std::size_t item, double value);

    // An item of the recording that is arriving. Its range is the rule of a load applied to
    // the values so far (their extremes widened by one scale unit), so it only ever widens and
    // ends where the load's starts when every frame came; the time axis never moves.
    struct LiveItem {
        bool enabled = false;
        double scale = 1.0;
        int decimals = 0;
        std::string unit;
        std::optional<ValueRange> extremes;
        std::optional<double> latest;
        bool rangeWidened = false;
    };
    std::array<LiveItem, kDataItemCount> live_{};
    std::array<RangeEntry, kDataItemCount> ranges_{};
};

}  // namespace kestiva
