#include "win32/PagePanes.h"

#include <commctrl.h>

#include <algorithm>

#include "win32/WideText.h"

namespace kestiva {

namespace {

// What a check box needs beside its text: the box and the space after it.
int checkIndicatorWidth() {
    return GetSystemMetrics(SM_CXMENUCHECK) + 6;
}

// The size a check box needs for its text broken into lines no wider than `room`.
Size checkSize(HWND check, HFONT font, int room, int lineHeight) {
    const std::wstring text = toWide(getText(check));
    const int textRoom = std::max(room - checkIndicatorWidth(), 1);
    HDC dc = GetDC(check);
    HGDIOBJ old = SelectObject(dc, font);
    RECT area{0, 0, textRoom, 0};
    DrawTextW(dc, text.c_str(), int(text.size()), &area,
              DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(check, dc);
    return {std::min(int(area.right) + checkIndicatorWidth(), room),
            std::max(int(area.bottom) + 4, lineHeight)};
}

}  // namespace

// ---- The data page ----

void DataPane::makePageControls() {
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        const int item = int(k);
        addCheck({PageControlKind::ItemCheck, item});
        addEdit({PageControlKind::UpperEdit, item});
        addEdit({PageControlKind::LowerEdit, item});
        addLabel({PageControlKind::UnitLabel, item}, SS_CENTER);
        axisLines_[k] = addChild(WC_STATICW, SS_ETCHEDVERT,
                                 pageIdBase(monitor_) + kAxisLineIdOffset + item);
    }
    // Made after the axis lines, so that they lie on top of them like ticks on an axis.
    for (int i = 0; i < int(kDataItemCount) * 3; ++i)
        addLabel({PageControlKind::ValueLabel, i}, SS_CENTER);
}

void DataPane::measureControls() {
    const int edit = editHeight();
    const int check = checkHeight();
    const Size range = fitting("-000000.00", edit);
    DataPageSizes& s = sizes_;
    s.check = {range.width(), check};
    s.rangeEdit = range;
    s.timeEdit = fitting("00000.0", edit);
    s.unitLabel = {range.width(), edit};
    s.timeUnit = fitting(getText(control({PageControlKind::TimeUnitLabel})), edit);
    s.valueLabel = {range.width(), textHeight()};
    s.timeLabel = fitting("00000.00", edit);
    s.captionRow = captionRowSizes(check);
}

void DataPane::layOut() {
    RECT client;
    GetClientRect(window_, &client);
    const int room = itemCheckRoom(Size(client.right, client.bottom), sizes_);
    for (std::size_t k = 0; k < kDataItemCount; ++k)
        sizes_.itemChecks[k] =
            checkSize(control({PageControlKind::ItemCheck, int(k)}), font_, room, checkHeight());
    const DataPageLayout l = layoutDataPage(placeMeasurementPanel(), sizes_);
    for (std::size_t k = 0; k < kDataItemCount; ++k) {
        const int item = int(k);
        place(control({PageControlKind::ItemCheck, item}), l.checks[k]);
        place(control({PageControlKind::UpperEdit, item}), l.upperEdits[k]);
        place(control({PageControlKind::LowerEdit, item}), l.lowerEdits[k]);
        place(control({PageControlKind::UnitLabel, item}), l.unitLabels[k]);
        place(axisLines_[k], l.axisLines[k]);
        for (int i = 0; i < 3; ++i)
            place(control({PageControlKind::ValueLabel, item * 3 + i}),
                  l.valueLabels[k][std::size_t(i)]);
    }
    placeSharedControls(l);
}

void DataPane::setValueText(PageControl c, const std::string& value, const std::string& unit) {
    HWND label = c.kind == PageControlKind::UnitLabel ? control(c) : nullptr;
    if (!label)
        return MonitorPane::setValueText(c, value, unit);
    // A number is never cut: the unit gives way (to the tooltip) where both do not fit.
    const std::string withUnit = unit.empty() ? value : value + ' ' + unit;
    RECT area;
    GetClientRect(label, &area);
    const bool fits = textSize(withUnit).width() <= area.right;
    kestiva::setText(label, fits ? withUnit : value);
    setControlToolTip(c, fits ? std::string() : unit);
}

// ---- The I/O page ----

void IoPane::makePageControls() {
    for (int s = 0; s < int(kIoSignalCount); ++s)
        addCheck({PageControlKind::SignalCheck, s});
}

void IoPane::measureControls() {
    // The edits are 40 x 25 unless the font needs more for the longest time.
    const int edit = std::max(editHeight(), 25);
    const Size timeEdit = fitting("00000.0", edit);
    IoPageSizes& s = sizes_;
    s.timeEdit = {std::max(timeEdit.width(), 40), edit};
    s.timeUnit = fitting(getText(control({PageControlKind::TimeUnitLabel})), edit);
    s.timeLabel = fitting("00000.00", edit);
    s.captionRow = captionRowSizes(checkHeight());
}

void IoPane::layOut() {
    const IoPageLayout l = layoutIoPage(placeMeasurementPanel(), sizes_);
    for (int s = 0; s < int(kIoSignalCount); ++s)
        place(control({PageControlKind::SignalCheck, s}), l.checks[std::size_t(s)]);
    placeSharedControls(l);
}

}  // namespace kestiva
