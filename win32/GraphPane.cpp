#include "win32/GraphPane.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "window/GraphRaster.h"
#include "window/MonitorLayout.h"
#include "win32/OwnedWindow.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {

constexpr wchar_t kClassName[] = L"KestivaGraph";
constexpr int kReadoutPadding = 4;  // inside the readout box
constexpr int kNamePadding = 2;     // inside a marker's name box

PageModifiers modifiersOf(WPARAM buttons) {
    return {(buttons & MK_SHIFT) != 0, (buttons & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0};
}

PageModifiers heldModifiers() {
    return {GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0};
}

HCURSOR cursorOf(GraphPointer pointer) {
    switch (pointer) {
        case GraphPointer::Pan:
            return LoadCursorW(nullptr, IDC_SIZEALL);
        case GraphPointer::MoveMarker:
            return LoadCursorW(nullptr, IDC_SIZEWE);
        case GraphPointer::Cross:
            break;
    }
    return LoadCursorW(nullptr, IDC_CROSS);
}

SIZE textSize(HDC dc, const std::wstring& text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    return size;
}

}  // namespace

GraphPane::~GraphPane() {
    if (memory_) {
        SelectObject(memory_, oldBitmap_);
        DeleteDC(memory_);
    }
    if (bitmap_)
        DeleteObject(bitmap_);
}

HWND GraphPane::create(HWND parent, int id, const wchar_t* name, MonitorPageModel& model) {
    model_ = &model;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &ownedWindowProcedure<GraphPane>;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // the second pane finds it registered
    window_ = CreateWindowExW(0, kClassName, name,
                              WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 0, 0,
                              parent, reinterpret_cast<HMENU>(INT_PTR(id)),
                              windowClass.hInstance, this);
    return window_;
}

void GraphPane::redraw() {
    stale_ = true;
    if (window_)
        InvalidateRect(window_, nullptr, FALSE);
}

void GraphPane::overlaysChanged() {
    if (window_)
        InvalidateRect(window_, nullptr, FALSE);
}

PixelView GraphPane::backBuffer(int width, int height) {
    if (!memory_) {
        HDC screen = GetDC(window_);
        memory_ = CreateCompatibleDC(screen);
        ReleaseDC(window_, screen);
    }
    if (!bitmap_ || bitmapSize_.cx != width || bitmapSize_.cy != height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // rows top first, as the buffer holds them
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(memory_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap)
            return {};
        HGDIOBJ previous = SelectObject(memory_, bitmap);
        if (bitmap_)
            DeleteObject(bitmap_);
        else
            oldBitmap_ = previous;
        bitmap_ = bitmap;
        bits_ = static_cast<uint32_t*>(bits);
        bitmapSize_ = {width, height};
    }
    return {bits_, width, height, width};
}

void GraphPane::paint(HDC dc) {
    RECT client;
    GetClientRect(window_, &client);
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0)
        return;
    if (stale_ || picture_.width() != width || picture_.height() != height) {
        picture_.resize(width, height);
        render_(picture_.view());
        stale_ = false;
    }
    const PixelView back = backBuffer(width, height);
    if (back.empty())
        return;
    GdiFlush();
    std::memcpy(back.pixels, picture_.data(), std::size_t(width) * std::size_t(height) * 4);
    // The lines go into the picture as on every front end; the cursor's over the markers'.
    const MarkerLines& markers = model_->markerLines();
    for (std::size_t m = 0; m < markers.marks.size(); ++m)
        if (const auto x = markers.marks[m].x; x && *x >= 0 && *x < width)
            rasterMarkerLine(back, *x, markers.color, int(m) == markers.active);
    const CursorReadout& readout = model_->cursorReadout();
    if (readout.shown && readout.x >= 0 && readout.x < width)
        rasterCursorLine(back, readout.x, readout.frame);
    HGDIOBJ oldFont = SelectObject(memory_, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(memory_, TRANSPARENT);
    drawMarkerNames(markers, width, height);
    if (readout.shown)
        drawReadout(readout, width);
    SelectObject(memory_, oldFont);
    BitBlt(dc, 0, 0, width, height, memory_, 0, 0, SRCCOPY);
}

void GraphPane::drawMarkerNames(const MarkerLines& lines, int width, int height) {
    for (const MarkerLines::Mark& mark : lines.marks) {
        if (!mark.x)
            continue;
        const std::wstring name = toWide(mark.name);
        const SIZE text = textSize(memory_, name);
        const int boxWidth = text.cx + 2 * kNamePadding;
        const int boxHeight = text.cy + 2 * kNamePadding;
        // Centred on the line at the graph's foot, clear of the readout box at the top.
        const int left = std::clamp(*mark.x - boxWidth / 2, 0, std::max(width - boxWidth, 0));
        RECT box{left, height - boxHeight, left + boxWidth, height};
        HBRUSH brush = CreateSolidBrush(lines.color);
        FillRect(memory_, &box, brush);
        DeleteObject(brush);
        SetTextColor(memory_, lines.nameColor);
        DrawTextW(memory_, name.c_str(), int(name.size()), &box,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

void GraphPane::drawReadout(const CursorReadout& readout, int width) {
    std::vector<std::wstring> texts;
    int textWidth = 0, lineHeight = 0;
    for (const CursorReadout::Text& line : readout.lines) {
        texts.push_back(toWide(line.text));
        const SIZE size = textSize(memory_, texts.back());
        textWidth = std::max<int>(textWidth, size.cx);
        lineHeight = std::max<int>(lineHeight, size.cy);
    }
    const Size box(textWidth + 2 * kReadoutPadding,
                   lineHeight * int(texts.size()) + 2 * kReadoutPadding);
    const Rect place = readoutBoxRect(Size(width, bitmapSize_.cy), readout.x, box);
    RECT area{place.x(), place.y(), place.x() + place.width(), place.y() + place.height()};
    HBRUSH fill = CreateSolidBrush(readout.background);
    FillRect(memory_, &area, fill);
    DeleteObject(fill);
    HBRUSH frame = CreateSolidBrush(readout.frame);
    FrameRect(memory_, &area, frame);
    DeleteObject(frame);
    int y = area.top + kReadoutPadding;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        SetTextColor(memory_, readout.lines[i].color);
        TextOutW(memory_, area.left + kReadoutPadding, y, texts[i].c_str(), int(texts[i].size()));
        y += lineHeight;
    }
}

void GraphPane::followPointer() {
    SetCursor(cursorOf(model_->pointer()));
}

bool GraphPane::key(WPARAM key) {
    const PageModifiers held = heldModifiers();
    if (key == 'C' && held.control && !held.shift && !held.other)
        return model_->graphKey(GraphKey::Copy, {});
    GraphKey which = GraphKey::Other;
    switch (key) {
        case 'A': which = GraphKey::A; break;
        case 'B': which = GraphKey::B; break;
        case VK_LEFT: which = GraphKey::Left; break;
        case VK_RIGHT: which = GraphKey::Right; break;
        case VK_DELETE: which = GraphKey::Delete; break;
        default: return false;
    }
    return model_->graphKey(which, held);
}

LRESULT GraphPane::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!model_)  // until the page's model is attached
        return DefWindowProcW(window_, message, wParam, lParam);
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window_, &ps);
            paint(dc);
            EndPaint(window_, &ps);
            return 0;
        }
        case WM_SIZE:
            model_->graphResized(LOWORD(lParam));
            redraw();
            return 0;
        case WM_GETDLGCODE:
            // The arrows and the letters are the graph's keys.
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_SETCURSOR:
            if (LOWORD(lParam) != HTCLIENT)
                break;
            followPointer();
            return TRUE;
        case WM_MOUSEMOVE:
            if (!tracking_) {
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
                tracking_ = TrackMouseEvent(&track) != FALSE;
            }
            model_->mouseMove(GET_X_LPARAM(lParam));
            followPointer();
            return 0;
        case WM_MOUSELEAVE:
            tracking_ = false;
            if (GetCapture() != window_)  // a drag goes on outside; its release ends it
                model_->mouseLeave();
            return 0;
        case WM_LBUTTONDOWN:
            SetFocus(window_);
            SetCapture(window_);
            model_->mousePress(GET_X_LPARAM(lParam), modifiersOf(wParam));
            followPointer();
            return 0;
        case WM_LBUTTONUP:
            if (GetCapture() == window_)
                ReleaseCapture();
            model_->mouseRelease();
            followPointer();
            return 0;
        case WM_CAPTURECHANGED:
            model_->mouseRelease();
            return 0;
        case WM_LBUTTONDBLCLK:
            SetFocus(window_);
            model_->doubleClick(GET_X_LPARAM(lParam), modifiersOf(wParam));
            followPointer();
            return 0;
        case WM_MOUSEWHEEL: {
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(window_, &at);
            model_->wheel(at.x, GET_WHEEL_DELTA_WPARAM(wParam) / double(WHEEL_DELTA));
            return 0;
        }
        case WM_KEYDOWN:
            if (key(wParam))
                return 0;
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace kestiva
