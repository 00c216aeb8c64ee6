#include "win32/TextFit.h"

#include <algorithm>
#include <vector>

#include "win32/WideText.h"

namespace kestiva {

namespace {

HFONT controlFont(HWND control) {
    return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
}

std::wstring windowText(HWND control) {
    std::wstring text(std::size_t(GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(control, text.data(), int(text.size()))));
    return text;
}

// The width font reports for text, '&' taken as DrawText takes it.
int reportedWidth(HDC dc, const std::wstring& text, UINT prefix) {
    RECT box{0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), int(text.size()), &box, DT_CALCRECT | DT_SINGLELINE | prefix);
    return int(box.right);
}

int measure(HFONT font, const std::wstring& text, UINT prefix) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ oldFont = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    const int reported = reportedWidth(dc, text, prefix);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    // Room for a line drawn up to half as wide again, and for an overhanging last letter.
    const int width = reported + reported / 2 + 2 * int(metrics.tmAveCharWidth) + 4;
    const int height = int(metrics.tmHeight) + 2;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    int drawn = 0;
    if (bitmap && bits) {
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        std::fill_n(static_cast<DWORD*>(bits), std::size_t(width) * std::size_t(height), 0xFFFFFFu);
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        RECT box{0, 0, width, height};
        DrawTextW(dc, text.c_str(), int(text.size()), &box, DT_SINGLELINE | DT_NOCLIP | prefix);
        GdiFlush();
        const auto* pixels = static_cast<const DWORD*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = width - 1; x >= drawn; --x)
                if ((pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] & 0xFFFFFFu) !=
                    0xFFFFFFu) {
                    drawn = x + 1;
                    break;
                }
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
    }
    SelectObject(dc, oldFont);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return std::max(reported, drawn);
}

RECT rectInParent(HWND control) {
    RECT box;
    GetWindowRect(control, &box);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&box), 2);
    return box;
}

// How far right control may reach: the nearest control on its row to the right, or the
// dialog's margin.
int rightLimit(HWND dialog, HWND control) {
    const RECT own = rectInParent(control);
    RECT client;
    GetClientRect(dialog, &client);
    RECT margin{0, 0, 7, 0};  // the dialog units of a dialog's usual margin
    MapDialogRect(dialog, &margin);
    int limit = int(client.right - margin.right);
    for (HWND other = GetWindow(dialog, GW_CHILD); other; other = GetWindow(other, GW_HWNDNEXT)) {
        const RECT box = rectInParent(other);
        const bool sameRow = box.top < own.bottom && box.bottom > own.top;
        const bool encloses = box.left <= own.left && box.right >= own.right;  // a group box
        // Its own style: the dialog itself is not shown yet while its texts are fitted.
        const bool shown = (GetWindowLongW(other, GWL_STYLE) & WS_VISIBLE) != 0;
        if (other != control && shown && sameRow && !encloses && box.left >= own.right - 1)
            limit = std::min(limit, int(box.left) - 2);
    }
    return limit;
}

void growTo(HWND dialog, HWND control, int width) {
    const RECT box = rectInParent(control);
    if (box.right - box.left >= width)
        return;
    const int right = std::min(int(box.left) + width, rightLimit(dialog, control));
    if (right > box.right)
        SetWindowPos(control, nullptr, 0, 0, right - box.left, box.bottom - box.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A group box places its caption in the width the font reports: spaces after it make that
// width cover the drawn one.
void fitGroupCaption(HWND group) {
    std::wstring caption = windowText(group);
    while (!caption.empty() && caption.back() == L' ')
        caption.pop_back();
    if (caption.empty())
        return;
    const HFONT font = controlFont(group);
    const int drawn = measure(font, caption, 0);
    std::wstring padded = caption;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    while (reportedWidth(dc, padded, 0) < drawn + 1 && padded.size() < caption.size() + 8)
        padded += L' ';
    SelectObject(dc, old);
    DeleteDC(dc);
    if (padded != windowText(group))
        SetWindowTextW(group, padded.c_str());
}

// Breaks text into lines no wider than width when drawn: at spaces, keeping its own breaks.
std::wstring wrapped(HFONT font, const std::wstring& text, int width, UINT prefix) {
    std::wstring result;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring paragraph = text.substr(start, end - start);
        if (!paragraph.empty() && paragraph.back() == L'\r')
            paragraph.pop_back();
        std::wstring line;
        std::size_t word = 0;
        while (word < paragraph.size()) {
            std::size_t next = paragraph.find(L' ', word);
            next = next == std::wstring::npos ? paragraph.size() : next;
            const std::wstring piece = paragraph.substr(word, next - word);
            const std::wstring longer = line.empty() ? piece : line + L' ' + piece;
            if (!line.empty() && measure(font, longer, prefix) > width) {
                result += line + L"\r\n";
                line = piece;
            } else {
                line = longer;
            }
            word = next + 1;
        }
        result += line;
        if (end < text.size())
            result += L"\r\n";
        start = end + 1;
    }
    return result;
}

bool isWrappedLabel(HWND control, LONG style) {
    RECT box;
    GetClientRect(control, &box);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(
        dc, controlFont(control) ? controlFont(control) : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    return (style & SS_TYPEMASK) == SS_LEFT && box.bottom >= 2 * metrics.tmHeight;
}

void fitControl(HWND dialog, HWND control) {
    wchar_t kind[32] = {};
    GetClassNameW(control, kind, 32);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const std::wstring text = windowText(control);
    if (text.empty())
        return;
    if (lstrcmpiW(kind, L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if (type != SS_LEFT && type != SS_RIGHT && type != SS_CENTER && type != SS_LEFTNOWORDWRAP)
            return;
        const UINT prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
        if (isWrappedLabel(control, style)) {
            RECT box;
            GetClientRect(control, &box);
            const std::wstring lines = wrapped(controlFont(control), text, box.right, prefix);
            if (lines != text)
                SetWindowTextW(control, lines.c_str());
            return;
        }
        growTo(dialog, control, measure(controlFont(control), text, prefix));
        return;
    }
    if (lstrcmpiW(kind, L"Button") != 0)
        return;
    switch (style & BS_TYPEMASK) {
        case BS_GROUPBOX:
            fitGroupCaption(control);
            return;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: {
            // The box or circle before the text, and the gap after it.
            RECT box{0, 0, 14, 0};
            MapDialogRect(dialog, &box);
            growTo(dialog, control, measure(controlFont(control), text, 0) + box.right);
            return;
        }
        default:
            return;
    }
}

}  // namespace

int drawnTextWidth(HFONT font, const std::wstring& text) {
    return measure(font, text, 0);
}

void fitTextWidths(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        controls.push_back(child);
    for (HWND control : controls)
        fitControl(dialog, control);
}

}  // namespace kestiva
