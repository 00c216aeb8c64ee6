#pragma once
// The data page: one recording of up to three controller values as traces on a CMultiGraph,
// with a check box per trace that shows or hides it, a pair of range edits per trace, the time
// window's edits, the values at the graph's quarter lines, the times under them, the units,
// the sampling cycle and the time the recording spans.
//
// The page shows the recording it was given and keeps a pointer to it; the graph's buffers
// are the only copy of its values.

#include "window/MonitorLayout.h"
#include "views/MonitorPage.h"
#include "views/MultiGraph.h"

#include <array>
#include <optional>
#include <span>

class QCheckBox;
class QFrame;

namespace kestiva {

class CDataMonitor : public CMonitorPage {
    Q_OBJECT

public:
    // Control ids of trace k's range edits are these plus k.
    static constexpr int kFirstUpperEditId = 1118;
    static constexpr int kFirstLowerEditId = 1121;

    explicit CDataMonitor(LanguageCatalogue& catalogue, QWidget* parent = nullptr);

    // Once, when the window is made: captions, layout, edits, an empty page in `colors`.
    void initialise(const ColorTable& colors);
    // Back to an empty page: "---" everywhere, edits empty, nothing enabled. Also stops the
    // graph drawing and repaints it.
    void clear();
    // Shows `page` (which must outlive its showing: until the next clear or load) read-only,
    // in the page's colour table.
    void loadRecording(const PageRecording& page);
    // Lets the user change what the loaded recording shows.
    void enableEntry();
    // The colour table for the graph from now on; repaints at once.
    void applyColorTable(const ColorTable& colors);

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

    const CMultiGraph& graph() const { return *graph_; }
    // Bytes the page holds for a recording: the graph's buffers and its picture.
    std::size_t memoryBytes() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

    void commitPageEdit(int controlId) override;
    GraphWindow shownWindow() const override;
    bool tracesDrawn() const override;
    void showWindow(GraphWindow window, bool drawable) override;
    std::vector<GraphCursor::Line> traceReadout(uint32_t index) const override;
    uint32_t shownTraces() const override;
    void layOut() override;

private:
    DataPageSizes measureSizes() const;
    void onCheckClicked(std::size_t item, bool checked);
    void showValueLabels(std::size_t item);
    // Item `item`'s latest value in its unit label, whole, with the unit when there is room.
    void showLatestValue(std::size_t item, const QString& value);
    // text in item `item`'s unit label in the page's type, made smaller where it would not fit
    // otherwise.
    void setUnitText(std::size_t item, const QString& text, const QString& toolTip = {});
    void applyGraphColors(bool withTraces);
    QStringList shownNames() const;

    CMultiGraph* graph_;
    std::array<QCheckBox*, kDataItemCount> checks_;
    std::array<CNumberEditEx*, kDataItemCount> upperEdits_;
    std::array<CNumberEditEx*, kDataItemCount> lowerEdits_;
    std::array<QLabel*, kDataItemCount> unitLabels_;
    std::array<QFrame*, kDataItemCount> axisLines_;
    // Top first: at 3/4, 1/2 and 1/4 of the trace's range.
    std::array<std::array<QLabel*, 3>, kDataItemCount> valueLabels_;

    // An item of the recording that is arriving. Its range is the rule of a load applied to
    // the values so far (their extremes widened by one scale unit), so it only ever widens and
    // ends where the load's starts when every frame came; the time axis never moves.
    struct LiveItem {
        bool enabled = false;
        double scale = 1.0;
        int decimals = 0;
        QString unit;
        std::optional<ValueRange> extremes;
        std::optional<double> latest;
        bool rangeWidened = false;
    };
    void widenLiveRange(std::size_t item, double value);

    std::array<LiveItem, kDataItemCount> live_{};
    bool initialised_ = false;
    DataPageSizes sizes_;
    int checkIndicatorWidth_ = 0;
    // The items' names, which their check boxes show broken into lines that fit the page.
    std::array<QString, kDataItemCount> names_;
    std::array<bool, kDataItemCount> itemEnabled_{};
    std::array<RangeEntry, kDataItemCount> ranges_{};
};

}  // namespace kestiva
