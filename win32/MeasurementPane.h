#pragma once
// The measurements between a page's markers A and B: a line with the markers' times, Δt and
// 1/Δt, the "Copy measurements" button beside it, and a table (a report list view) with a row
// per shown item or signal under them. The texts are the page model's
// (window/MeasurementRows.h) as they are; the pane only lays them out. Its controls are
// children of the page, whose window gets the button's click.

#include <windows.h>

#include <string>
#include <vector>

#include "window/Geometry.h"
#include "window/MeasurementRows.h"

namespace kestiva {

class MeasurementPane {
public:
    // Control ids: the button is idBase + kCopyButton, and so on.
    static constexpr int kCopyButton = 0;
    static constexpr int kTimesLabel = 1;
    static constexpr int kTable = 2;

    void create(HWND parent, int idBase, HFONT font, const std::string& copyText);
    void setFont(HFONT font);
    void showRows(const MeasurementRows& rows);
    void setVisible(bool visible);
    bool visible() const { return visible_; }
    // The height the pane needs for what it shows now.
    int neededHeight() const;
    void place(const Rect& area);

private:
    int textHeight() const;

    HWND times_ = nullptr;
    HWND copy_ = nullptr;
    HWND table_ = nullptr;
    HFONT font_ = nullptr;
    bool visible_ = false;
    std::vector<std::string> titles_;
    int rowCount_ = 0;
};

}  // namespace kestiva
