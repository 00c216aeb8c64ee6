#pragma once
// The Qt shell of a monitor page (window/MonitorPageModel.h has its rules): the controls the
// data page and the I/O page share, the time window's two edits and three labels, the cycle
// and span labels with their captions, the graph with its cursor readout and marker names,
// and the measurement panel. The shell forwards what the user does to the page's model and
// shows what the model says; it decides nothing of its own beyond where the controls go, and
// the keyboard filter that finds the receive-buffer dump's chord.
//
// Everything runs on the window thread: a worker that loads a recording reaches a page
// through the window.

#include "settings/LanguageCatalogue.h"
#include "views/GraphCursor.h"
#include "views/GraphMarkers.h"
#include "views/KeyChord.h"
#include "views/NumberEditEx.h"
#include "views/TraceGraphWidget.h"
#include "window/Geometry.h"
#include "window/MonitorPageModel.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QLabel;

namespace kestiva {

class MeasurementPanel;

class CMonitorPage : public QWidget, protected MonitorPageView {
    Q_OBJECT

public:
    ~CMonitorPage() override;

    // The user may change ranges, windows and visibility (Enable entry was called since the
    // last load or clear).
    bool entryActive() const { return model_->entryActive(); }
    // The recording on show; null when the page is empty.
    const PageRecording* recording() const { return model_->recording(); }
    const GraphCursor& cursor() const { return *cursor_; }

    static constexpr int kMarkerA = MonitorPageModel::kMarkerA;
    static constexpr int kMarkerB = MonitorPageModel::kMarkerB;
    // The sample marker A or B lies on, once placed.
    std::optional<uint32_t> marker(int which) const { return model_->marker(which); }
    int activeMarker() const { return model_->activeMarker(); }
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
    // A number edit of the page whose commits reach the model as `control`'s.
    CNumberEditEx* addEdit(PageControl control, const QString& accessibleName);
    // The page's constructor hands over its graph and its model once made; the cursor and the
    // markers' names lie over the graph.
    void attachGraph(CTraceGraphWidget* graph, MonitorPageModel& model);
    // The model is going: no event reaches it from now on.
    void detachModel();
    // Puts the graph and the controls both pages have where `layout` says.
    template <typename Layout>
    void placeSharedControls(const Layout& layout) {
        placeGraph(layout.graph);
        placeTimeControls(layout.startEdit, layout.endEdit, layout.timeUnit, layout.timeLabels,
                          layout.captionRow);
    }

    // A control `sample` wide (in the page's font) plus the frame of an edit, `height` high.
    Size fitting(const QString& sample, int height) const;
    int editHeight() const;

    // Lays out the measurement panel along the page's bottom while it is shown; the rest of
    // the page is laid out in the room it returns.
    QSize placeMeasurementPanel();

    // ---- What each page adds ----
    // Places its controls for the page's size (see placeMeasurementPanel).
    virtual void layOut() = 0;
    // The page's own controls by the model's names; null for one it does not have.
    virtual QWidget* pageControl(PageControl control) const = 0;

    // ---- MonitorPageView: what the model shows ----
    void setText(PageControl control, const std::string& text) override;
    void setValueText(PageControl control, const std::string& value,
                      const std::string& unit) override;
    void setControlToolTip(PageControl control, const std::string& text) override;
    void setControlEnabled(PageControl control, bool enabled) override;
    void setChecked(PageControl control, bool checked) override;
    void setValue(PageControl control, double value) override;
    void clearValue(PageControl control) override;
    void setLimits(PageControl control, double lower, double upper) override;
    void setNumberFormat(PageControl control, int decimals, bool sign) override;
    void graphChanged() override;
    void overlaysChanged() override;
    void layoutChanged() override;
    void copyText(const std::string& text) override;

    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    LanguageCatalogue& catalogue_;

    CNumberEditEx* startEdit_;
    CNumberEditEx* endEdit_;
    QLabel* timeUnitLabel_;
    std::array<QLabel*, 3> timeLabels_;  // at 1/4, 1/2, 3/4 of the window
    QLabel* cycleCaption_;
    QLabel* cycleLabel_;
    QLabel* spanCaption_;
    QLabel* spanLabel_;

private:
    // Puts the graph at `place` and tells the model its width.
    void placeGraph(const Rect& place);
    void placeTimeControls(const Rect& start, const Rect& end, const Rect& unit,
                           const std::array<Rect, 3>& labels, const std::array<Rect, 4>& row);
    QWidget* control(PageControl control) const;
    CNumberEditEx* edit(PageControl control) const;
    void handleGraphMouse(QEvent* event);
    bool graphKey(const QKeyEvent& key);
    bool inPage(QObject* object) const;

    MonitorPageModel* model_ = nullptr;
    CTraceGraphWidget* graph_ = nullptr;
    GraphCursor* cursor_ = nullptr;
    GraphMarkers* markerLines_ = nullptr;
    MeasurementPanel* panel_ = nullptr;

    // Keys of the dump chord held down, tracked wherever the focus is.
    KeyChord dumpChord_;
};

}  // namespace kestiva
