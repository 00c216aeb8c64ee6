#pragma once
// What the data page and the I/O page share: the time window with its two edits and three
// labels, the cycle and span labels with their captions, the keyboard filter, the mouse
// on the graph (cursor readout, wheel zoom, drag pan, double click for the whole recording),
// and the markers A and B with the measurement panel between them.
//
// Markers: Shift + click places A, Ctrl + click places B, dragging a marker's line moves it;
// with the graph focused, A and B place their marker (at the mouse, else where it was, else
// mid-window) and make it the active one, Left and Right move the active one by a sample,
// Delete removes both and Ctrl + C copies the measurements. A marker lies on a sample and
// keeps it through zoom and pan; a clear or a load removes both.
//
// Every figure comes from recording/PageFigures.h; a page only shows it. The window a user
// sets with the mouse goes through the time edits and the same accept rule as typing, so the
// edits, the labels and the graph never disagree.
//
// Everything runs on the window thread: a worker that loads a recording reaches a page
// through the window.

#include "recording/PageFigures.h"
#include "settings/LanguageCatalogue.h"
#include "settings/SamplingConfig.h"
#include "views/GraphCursor.h"
#include "views/GraphMarkers.h"
#include "views/KeyChord.h"
#include "views/NumberEditEx.h"
#include "window/Geometry.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QLabel;

namespace kestiva {

class MeasurementPanel;

class CMonitorPage : public QWidget {
    Q_OBJECT

public:
    // Control ids of the time edits, as their commit notification carries them.
    static constexpr int kStartEditId = 1124;
    static constexpr int kEndEditId = 1125;

    ~CMonitorPage() override;

    // The user may change ranges, windows and visibility (Enable entry was called since the
    // last load or clear).
    bool entryActive() const { return entryActive_; }
    // The recording on show; null when the page is empty.
    const PageRecording* recording() const { return recording_; }
    const GraphCursor& cursor() const { return *cursor_; }

    static constexpr int kMarkerA = 0;
    static constexpr int kMarkerB = 1;
    // The sample marker A or B lies on, once placed.
    std::optional<uint32_t> marker(int which) const { return markers_[std::size_t(which)]; }
    int activeMarker() const { return activeMarker_; }
    const GraphMarkers& markerLines() const { return *markerLines_; }
    // Shown while both markers are placed.
    const MeasurementPanel& measurementPanel() const { return *panel_; }

    QSize sizeHint() const override { return {1009, 597}; }

signals:
    // Ctrl + Shift + F1 went down on the page or one of its controls: the window writes the
    // receive-buffer dump. The key is dispatched as usual afterwards.
    void receiveDumpRequested();

protected:
    CMonitorPage(LanguageCatalogue& catalogue, QWidget* parent);

    // A label of the page, showing "---" until it has something to show.
    QLabel* addLabel(const QString& name, Qt::Alignment alignment);
    // A number edit of the page whose commits reach commitPageEdit (or the time window's).
    CNumberEditEx* addEdit(int controlId, const QString& name, const QString& accessibleName);
    // The page's constructor hands over its graph once made; the cursor lies over it.
    void attachGraph(QWidget* graph, TraceStyle style);

    // The shares of the pages' operations that concern the time window and its labels.
    void initialiseTimeControls(uint16_t timeEditAcceptFlags, const ColorTable& colors);
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

    // A figure's text ("." as the point) with the separator the edits use.
    QString figureText(const std::string& text) const;
    void showFigure(QLabel* label, const std::string& text) const;

    // A control `sample` wide (in the page's font) plus the frame of an edit, `height` high.
    Size fitting(const QString& sample, int height) const;
    int editHeight() const;

    // Apply colour table: the graph's background, grid and the colours of the traces in use,
    // painted again at once.
    template <typename Graph, std::size_t N>
    void applyColors(Graph& graph, const ColorTable& colors, const std::array<bool, N>& inUse) {
        colors_ = colors;
        graph.backgroundColor = colors.backgroundColor;
        graph.gridColor = colors.gridColor;
        for (std::size_t k = 0; k < N && k < graph.traceColor.size(); ++k)
            if (inUse[k])
                graph.traceColor[k] = colors.traceColors[k];
        graph.drawEnabled = 1;
        graph.redraw();
        refreshOverlays();
    }

    // Names of the traces the graph shows, for its accessible description.
    void describeGraph(const QStringList& traceNames);
    // The readout, the markers' lines and their measurements again, after the traces or their
    // window changed.
    void refreshOverlays();
    // Lays out the measurement panel along the page's bottom while it is shown; the rest of
    // the page is laid out in the room it returns.
    QSize placeMeasurementPanel();

    // ---- What each page adds ----
    // Places its controls for the page's size (see placeMeasurementPanel).
    virtual void layOut() = 0;
    // A committed edit other than the time edits.
    virtual void commitPageEdit(int /*controlId*/) {}
    // The graph's window and whether it draws any trace now.
    virtual GraphWindow shownWindow() const = 0;
    virtual bool tracesDrawn() const = 0;
    // Sets the graph's window and drawEnabled, and paints it again.
    virtual void showWindow(GraphWindow window, bool drawable) = 0;
    // The readout's line of each trace shown at sample `index`.
    virtual std::vector<GraphCursor::Line> traceReadout(uint32_t index) const = 0;
    // Bit k set: trace k is shown (its check box is ticked).
    virtual uint32_t shownTraces() const = 0;

    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    LanguageCatalogue& catalogue_;
    ColorTable colors_;  // the page's colour table: Initialise's, then each applied one

    CNumberEditEx* startEdit_;
    CNumberEditEx* endEdit_;
    QLabel* timeUnitLabel_;
    std::array<QLabel*, 3> timeLabels_;  // at 1/4, 1/2, 3/4 of the window
    QLabel* cycleCaption_;
    QLabel* cycleLabel_;
    QLabel* spanCaption_;
    QLabel* spanLabel_;

private:
    void takeCommits(CNumberEditEx* edit);
    void onEditCommitted(int controlId);
    void commitTimeEdit(int controlId);
    // Puts a window proposed by the mouse into the time edits and commits what they show.
    void commitMouseWindow(TimeWindow seconds);
    // What an entry's outcome means for the edits, the labels and the graph.
    void showWindowOutcome(EntryOutcome outcome);
    void showTimeLabels(const std::array<std::string, 3>& texts);

    bool steerable() const;
    void handleGraphMouse(QEvent* event);
    void zoomAt(int x, double notches);
    void updateReadout();

    // ---- Markers (MonitorPageMarkers.cpp) ----
    // A press that places or grabs a marker, which then takes no pan.
    bool pressMarker(const QMouseEvent& press);
    bool markerKey(const QKeyEvent& key);
    void dragMarker(int x);
    // The sample drawn at x, x held inside the graph.
    std::optional<uint32_t> sampleAtX(int x) const;
    std::optional<int> markerNear(int x) const;
    void setMarker(int which, uint32_t index);
    void moveActiveMarker(int samples);
    void clearMarkers();
    void updateMarkerLines();
    void updateMeasurements();

    bool inPage(QObject* object) const;

    bool entryActive_ = false;
    const PageRecording* recording_ = nullptr;
    uint32_t cycle_ = 0;
    uint32_t sampleTotal_ = 0;
    double span_ = 0.0;
    WindowEntry window_;

    QWidget* graph_ = nullptr;
    TraceStyle style_ = TraceStyle::Line;
    GraphCursor* cursor_ = nullptr;
    QStringList traceNames_;
    std::optional<int> mouseX_;  // over the graph
    // A drag in progress: where it started and the window it started from.
    std::optional<int> dragStartX_;
    TimeWindow dragWindow_;

    std::array<std::optional<uint32_t>, 2> markers_;
    int activeMarker_ = kMarkerA;
    std::optional<int> markerDrag_;  // the marker being dragged
    std::array<QString, 2> markerNames_{QStringLiteral("A"), QStringLiteral("B")};
    GraphMarkers* markerLines_ = nullptr;
    MeasurementPanel* panel_ = nullptr;

    // Keys of the dump chord held down, tracked wherever the focus is.
    KeyChord dumpChord_;
};

}  // namespace kestiva
