#include "win32/MeasurementPane.h"

#include <commctrl.h>

#include <algorithm>

#include "win32/TextFit.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {

// More rows than this scroll: the graph keeps most of the page.
constexpr int kMostRowsShown = 4;
constexpr int kGap = 4;
constexpr int kButtonPadding = 16;  // a push button's frame and margins around its caption
constexpr int kCellMargins = 16;  // a list cell's (and its header's) margins around its text

HWND child(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style,
           DWORD extended, int id, HFONT font) {
    HWND control = CreateWindowExW(extended, windowClass, toWide(text).c_str(), WS_CHILD | style,
                                   0, 0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

}  // namespace

void MeasurementPane::create(HWND parent, int idBase, HFONT font, const std::string& copyText) {
    font_ = font;
    times_ = child(parent, WC_STATICW, "", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0,
                   idBase + kTimesLabel, font);
    copy_ = child(parent, WC_BUTTONW, copyText, BS_PUSHBUTTON | WS_TABSTOP, 0,
                  idBase + kCopyButton, font);
    table_ = child(parent, WC_LISTVIEWW, "",
                   LVS_REPORT | LVS_NOSORTHEADER | LVS_SHOWSELALWAYS | WS_TABSTOP,
                   WS_EX_CLIENTEDGE, idBase + kTable, font);
    ListView_SetExtendedListViewStyle(table_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
}

void MeasurementPane::setFont(HFONT font) {
    font_ = font;
    for (HWND control : {times_, copy_, table_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void MeasurementPane::showRows(const MeasurementRows& rows) {
    setText(times_, rows.timesText);
    SendMessageW(table_, WM_SETREDRAW, FALSE, 0);
    if (rows.titles != titles_) {
        while (ListView_DeleteColumn(table_, 0)) {
        }
        for (std::size_t c = 0; c < rows.titles.size(); ++c) {
            std::wstring title = toWide(rows.titles[c]);
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_SUBITEM | LVCF_FMT;
            column.fmt = c == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
            column.pszText = title.data();
            column.iSubItem = int(c);
            SendMessageW(table_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
        }
        titles_ = rows.titles;
    }
    ListView_DeleteAllItems(table_);
    for (std::size_t r = 0; r < rows.rows.size(); ++r) {
        for (std::size_t c = 0; c < rows.rows[r].size() && c < titles_.size(); ++c) {
            std::wstring text = toWide(rows.rows[r][c]);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = int(r);
            item.iSubItem = int(c);
            item.pszText = text.data();
            SendMessageW(table_, c == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, r,
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    // Each column as wide as its widest text as drawn: the list's own sizing trusts the width
    // the font reports, which some renderers exceed, and would cut the titles' last letters.
    for (std::size_t c = 0; c < titles_.size(); ++c) {
        int width = drawnTextWidth(font_, toWide(titles_[c]));
        for (const auto& row : rows.rows)
            if (c < row.size())
                width = std::max(width, drawnTextWidth(font_, toWide(row[c])));
        ListView_SetColumnWidth(table_, int(c), width + kCellMargins);
    }
    rowCount_ = int(rows.rows.size());
    SendMessageW(table_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(table_, nullptr, TRUE);
}

void MeasurementPane::setVisible(bool visible) {
    visible_ = visible;
    for (HWND control : {times_, copy_, table_})
        ShowWindow(control, visible ? SW_SHOW : SW_HIDE);
}

int MeasurementPane::textHeight() const {
    HDC dc = GetDC(table_);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(table_, dc);
    return int(metrics.tmHeight);
}

int MeasurementPane::neededHeight() const {
    const int text = textHeight();
    int row = text + 6;
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    if (rowCount_ > 0 && SendMessageW(table_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&bounds)))
        row = bounds.bottom - bounds.top;
    int header = text + 8;
    RECT headerItem{};
    if (HWND headerControl = ListView_GetHeader(table_);
        headerControl && Header_GetItemRect(headerControl, 0, &headerItem))
        header = headerItem.bottom - headerItem.top;
    const int rows = std::clamp(rowCount_, 1, kMostRowsShown);
    const int table = header + rows * row + GetSystemMetrics(SM_CYHSCROLL) +
                      4 * GetSystemMetrics(SM_CYEDGE);
    return text + kButtonPadding / 2 + kGap + table;
}

void MeasurementPane::place(const Rect& area) {
    const int top = textHeight() + kButtonPadding / 2;
    std::wstring caption(std::size_t(GetWindowTextLengthW(copy_)) + 1, L'\0');
    caption.resize(std::size_t(GetWindowTextW(copy_, caption.data(), int(caption.size()))));
    HDC dc = GetDC(copy_);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE size{};
    GetTextExtentPoint32W(dc, caption.c_str(), int(caption.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(copy_, dc);
    const int buttonWidth = int(size.cx) + 2 * kButtonPadding;
    const int right = area.x() + area.width();
    MoveWindow(copy_, right - buttonWidth, area.y(), buttonWidth, top, TRUE);
    MoveWindow(times_, area.x(), area.y(), std::max(area.width() - buttonWidth - kGap, 0), top,
               TRUE);
    MoveWindow(table_, area.x(), area.y() + top + kGap, area.width(),
               std::max(area.height() - top - kGap, 0), TRUE);
}

}  // namespace kestiva
