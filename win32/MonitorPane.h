#pragma once
// The Windows shell of a monitor page (window/MonitorPageModel.h has its rules): a child window
// holding the controls the data page and the I/O page share (the time window's two edits and
// three labels, the cycle and span labels with their captions), the graph, and the measurement
// panel. The shell forwards what the user does to the page's model and shows what the model
// says; it decides nothing of its own beyond where the controls go (window/MonitorLayout).
// Control ids: win32/PageControlIds.h.

#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <string>

#include "settings/LanguageCatalogue.h"
#include "window/Geometry.h"
#include "window/MonitorPageModel.h"
#include "win32/GraphPane.h"
#include "win32/MeasurementPane.h"
#include "win32/PageControlIds.h"

namespace kestiva {

class MonitorPane : protected MonitorPageView {
public:
    // Shows text as control's tooltip (none when empty), through the window's tooltip control.
    using ToolTips = std::function<void(HWND control, const std::string& text)>;

    ~MonitorPane() override = default;
    MonitorPane(const MonitorPane&) = delete;
    MonitorPane& operator=(const MonitorPane&) = delete;

    // Makes the page's window, child `pageId` of parent, with its controls; the graph is the
    // page's child `graphId`.
    void create(HWND parent, int pageId, int graphId, HFONT font, ToolTips toolTips);
    HWND window() const { return window_; }
    HWND graphWindow() const { return graph_.window(); }
    const GraphPane& graph() const { return graph_; }
    // The window's font changed (another monitor's density): measured and laid out again.
    void setFont(HFONT font);

    // The control the model names, or null.
    HWND control(PageControl control) const;
    const MeasurementPane& measurementPane() const { return panel_; }

protected:
    MonitorPane(MonitorKind monitor, LanguageCatalogue& catalogue, GraphPane::Render render);

    // The page's model, once made; its separator is the system's.
    void attachModel(MonitorPageModel& model);

    HWND addLabel(PageControl control, DWORD alignment = SS_LEFT);
    HWND addCheck(PageControl control);
    HWND addEdit(PageControl control);
    HWND addChild(const wchar_t* windowClass, DWORD style, int id);

    // What text needs in the page's font, and a control `sample` wide plus an edit's frame.
    Size textSize(const std::string& text) const;
    Size fitting(const std::string& sample, int height) const;
    int textHeight() const;
    int editHeight() const { return textHeight() + 8; }
    int checkHeight() const { return textHeight() + 4; }

    // Lays out the measurement panel along the page's bottom while it is shown; the rest of
    // the page is laid out in the room it returns.
    Size placeMeasurementPanel();
    static void place(HWND control, const Rect& area);
    template <typename Layout>
    void placeSharedControls(const Layout& layout) {
        place(graph_.window(), layout.graph);
        place(control({PageControlKind::StartEdit}), layout.startEdit);
        place(control({PageControlKind::EndEdit}), layout.endEdit);
        place(control({PageControlKind::TimeUnitLabel}), layout.timeUnit);
        for (int i = 0; i < 3; ++i)
            place(control({PageControlKind::TimeLabel, i}), layout.timeLabels[std::size_t(i)]);
        const PageControlKind row[] = {PageControlKind::CycleCaption, PageControlKind::CycleLabel,
                                       PageControlKind::SpanCaption, PageControlKind::SpanLabel};
        for (std::size_t i = 0; i < 4; ++i)
            place(control({row[i]}), layout.captionRow[i]);
    }
    // The caption row's sizes, as both pages measure them.
    std::array<Size, 4> captionRowSizes(int height) const;

    // ---- What each page adds ----
    virtual void makePageControls() = 0;
    // Measures what the controls need, once their captions are set.
    virtual void measureControls() = 0;
    virtual void layOut() = 0;

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

    const MonitorKind monitor_;
    LanguageCatalogue& catalogue_;
    GraphPane graph_;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    bool initialised_ = false;

private:
    template <typename Owner>
    friend LRESULT CALLBACK ownedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void command(int id, int notification, HWND from);
    // Lays the page out again once it is initialised, and paints it again whole.
    void relayOut();
    HWND edit(PageControl control) const;

    MonitorPageModel* model_ = nullptr;
    std::string separator_;
    ToolTips toolTips_;
    std::map<int, HWND> controls_;  // by control id
    MeasurementPane panel_;
};

}  // namespace kestiva
