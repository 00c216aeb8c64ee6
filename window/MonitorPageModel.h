#pragma once
// A monitor page's rules without a toolkit: what the data page and the I/O page share. The
// time window with its two edits and three labels, the cycle and span labels, the mouse on the
// graph (cursor readout, wheel zoom, drag pan, double click for the whole recording), and the
// markers A and B with the measurements between them. DataPageModel and IoPageModel add what
// each page has of its own.
//
// A front end implements MonitorPageView (a few calls keyed by control), forwards what the
// user does to the model and shows what the model says; it never decides anything itself, so
// every front end shows the same page. Every call is made on the window thread.
//
// Markers: Shift + click places A, Ctrl + click places B, dragging a marker's line moves it;
// with the graph focused, A and B place their marker (at the mouse, else where it was, else
// mid-window) and make it the active one, Left and Right move the active one by a sample,
// Delete removes both and Ctrl + C copies the measurements. A marker lies on a sample and
// keeps it through zoom and pan; a clear or a load removes both.
//
// The window a user sets with the mouse goes through the time edits and the same accept rule
// as typing, so the edits, the labels and the graph never disagree.

#include "recording/MarkerFigures.h"
#include "recording/PageFigures.h"
#include "settings/LanguageCatalogue.h"
#include "settings/SamplingConfig.h"
#include "window/MeasurementRows.h"
#include "window/PageControls.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestiva {

// The pointer over the graph: a cross, a closed hand while panning, a double arrow while a
// marker is held.
enum class GraphPointer { Cross, Pan, MoveMarker };

// Modifier keys held with a click or a key.
struct PageModifiers {
    bool shift = false;
    bool control = false;
    bool other = false;  // Alt, Meta and the like: the marker keys ignore such a chord
};

// Keys the graph acts on.
enum class GraphKey { A, B, Left, Right, Delete, Copy, Other };

// The cursor readout: a line at x and a box beside it with the sample's time and each shown
// trace's value in the trace's colour. Not shown while the mouse is off the graph or over a
// window that draws nothing.
struct CursorReadout {
    struct Text {
        std::string text;
        Color color = 0;
        bool operator==(const Text&) const = default;
    };
    bool shown = false;
    int x = 0;
    std::vector<Text> lines;  // the first is the time
    Color background = 0;
    Color frame = 0;
};

// The markers as drawn: each one's x (nothing while off the window) and name, the active one
// solid, the lines in `color` and the names in `nameColor` on boxes of `color`.
struct MarkerLines {
    struct Mark {
        std::optional<int> x;
        std::string name;
    };
    std::array<Mark, 2> marks;
    int active = 0;
    Color color = 0;
    Color nameColor = 0;
};

class MonitorPageView {
public:
    virtual ~MonitorPageView() = default;
    // A label's or a check box's text; for the graph, its accessible description.
    virtual void setText(PageControl control, const std::string& text) = 0;
    // A value that must never be cut: with the unit where it fits, else without it and the
    // unit as the control's tooltip.
    virtual void setValueText(PageControl control, const std::string& value,
                              const std::string& unit) = 0;
    virtual void setControlToolTip(PageControl control, const std::string& text) = 0;
    virtual void setControlEnabled(PageControl control, bool enabled) = 0;
    virtual void setChecked(PageControl control, bool checked) = 0;
    // A number edit: its value shown with its decimals (as roundedValue rounds), or empty.
    virtual void setValue(PageControl control, double value) = 0;
    virtual void clearValue(PageControl control) = 0;
    virtual void setLimits(PageControl control, double lower, double upper) = 0;
    // A number edit's decimals and whether a sign may be typed (a decimal point always may).
    virtual void setNumberFormat(PageControl control, int decimals, bool sign) = 0;
    // The graph's data changed: paint it again.
    virtual void graphChanged() = 0;
    // The cursor readout or the marker lines changed (cursorReadout(), markerLines()).
    virtual void overlaysChanged() = 0;
    // The measurements were shown, hidden or changed (measurementRows()), or texts changed
    // what room the controls need: lay the page out again.
    virtual void layoutChanged() = 0;
    virtual void copyText(const std::string& text) = 0;
};

// What a number edit shows for `value` with `decimals` digits, read back.
double roundedValue(double value, int decimals);

class MonitorPageModel {
public:
    virtual ~MonitorPageModel() = default;
    MonitorPageModel(const MonitorPageModel&) = delete;
    MonitorPageModel& operator=(const MonitorPageModel&) = delete;

    static constexpr int kMarkerA = 0;
    static constexpr int kMarkerB = 1;

    // The decimal separator the front end's number edits use ("." unless its locale says).
    void setSeparator(std::string separator) { separator_ = std::move(separator); }
    const std::string& separator() const { return separator_; }

    // ---- What the user does ----
    // The graph's width in pixels, where the mouse's x is taken.
    void graphResized(int width);
    void mouseMove(int x);
    void mouseLeave();
    void mousePress(int x, PageModifiers modifiers);
    void mouseRelease();
    void doubleClick(int x, PageModifiers modifiers);
    void wheel(int x, double notches);
    // True when the key was the graph's.
    bool graphKey(GraphKey key, PageModifiers modifiers);
    // An edit's committed value (ignored until entry is enabled).
    void editCommitted(PageControl control, double value);
    void checkClicked(PageControl control, bool checked);
    void copyMeasurements();

    // ---- What the page shows ----
    bool entryActive() const { return entryActive_; }
    const PageRecording* recording() const { return recording_; }
    std::optional<uint32_t> marker(int which) const { return markers_[std::size_t(which)]; }
    int activeMarker() const { return activeMarker_; }
    const CursorReadout& cursorReadout() const { return readout_; }
    const MarkerLines& markerLines() const { return markerLines_; }
    // Shown while both markers are placed.
    bool measurementsShown() const { return measurements_.has_value(); }
    const MeasurementRows& measurementRows() const;
    GraphPointer pointer() const { return pointer_; }

protected:
    MonitorPageModel(MonitorPageView& view, LanguageCatalogue& catalogue, TraceStyle style);

    // A figure's text ("." as the point) with the separator the edits use.
    std::string figureText(const std::string& text) const;
    void showFigure(PageControl control, const std::string& text);

    // The shares of the pages' operations that concern the time window and its labels.
    void initialiseTimeControls(bool timeEditSign, const ColorTable& colors);
    void clearTimeControls();
    void loadTimeControls(const PageRecording& page, double span, const std::string& cycleText,
                          const std::string& spanText, const WindowEntry& window,
                          const std::array<std::string, 3>& timeLabels);
    void enableTimeEntry();
    // A recording that is still arriving: its cycle, the times under a window that spans its
    // whole planned time from the start, and in the span label the time it has reached so
    // far. The edits stay empty until the recording is loaded.
    void beginLiveTimeControls(uint16_t cycle, uint16_t time);
    void showElapsed(uint32_t timeMs);

    // The graph's accessible description from the shown traces' names.
    void describeGraph();
    // The readout, the markers' lines and their measurements again, after the traces or their
    // window changed.
    void refreshOverlays();

    // ---- What each page adds ----
    virtual void commitPageEdit(PageControl /*control*/, double /*value*/) {}
    virtual void clickCheck(PageControl control, bool checked) = 0;
    // The graph's window and whether it draws any trace now.
    virtual GraphWindow shownWindow() const = 0;
    virtual bool tracesDrawn() const = 0;
    // Sets the graph's window and whether it draws.
    virtual void showWindow(GraphWindow window, bool drawable) = 0;
    // The readout's line of each trace shown at sample `index`.
    virtual std::vector<CursorReadout::Text> traceReadout(uint32_t index) const = 0;
    // Bit k set: trace k is shown (its check box is ticked).
    virtual uint32_t shownTraces() const = 0;
    // The names of the traces shown, for the graph's description.
    virtual std::vector<std::string> shownNames() const = 0;

    MonitorPageView& view_;
    LanguageCatalogue& catalogue_;
    ColorTable colors_;  // the page's colour table: Initialise's, then each applied one

private:
    void commitTimeEdit(bool start, double seconds);
    // Puts a window proposed by the mouse into the time edits and commits what they show.
    void commitMouseWindow(TimeWindow seconds);
    void showWindowOutcome(EntryOutcome outcome);
    void showTimeLabels(const std::array<std::string, 3>& texts);
    void setTimeEdits(TimeWindow seconds);

    bool steerable() const;
    void zoomAt(int x, double notches);
    void updateReadout();

    // ---- Markers (PageMarkers.cpp) ----
    // A press that places or grabs a marker, which then takes no pan.
    bool pressMarker(int x, PageModifiers modifiers);
    void dragMarker(int x);
    // The sample drawn at x, x held inside the graph.
    std::optional<uint32_t> sampleAtX(int x) const;
    std::optional<int> markerNear(int x) const;
    void setMarker(int which, uint32_t index);
    void moveActiveMarker(int samples);
    void clearMarkers();
    void updateMarkerLines();
    void updateMeasurements();

    const TraceStyle style_;
    std::string separator_ = ".";
    std::string timeUnit_;
    bool entryActive_ = false;
    const PageRecording* recording_ = nullptr;
    uint32_t cycle_ = 0;
    uint32_t sampleTotal_ = 0;
    double span_ = 0.0;
    WindowEntry window_;
    TimeWindow edited_;  // what the time edits show
    bool editsFilled_ = false;

    int graphWidth_ = 0;
    std::optional<int> mouseX_;  // over the graph
    // A drag in progress: where it started and the window it started from.
    std::optional<int> dragStartX_;
    TimeWindow dragWindow_;
    GraphPointer pointer_ = GraphPointer::Cross;
    CursorReadout readout_;

    std::array<std::optional<uint32_t>, 2> markers_;
    int activeMarker_ = kMarkerA;
    std::optional<int> markerDrag_;  // the marker being dragged
    std::array<std::string, 2> markerNames_{"A", "B"};
    MarkerLines markerLines_;
    MeasurementTitles titles_;
    std::optional<MeasurementRows> measurements_;
};

}  // namespace kestiva
