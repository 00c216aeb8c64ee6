#include "win32/GraphPane.h"

#include "recording/PageFigures.h"
#include "window/GraphRaster.h"

namespace kestiva {

namespace {
constexpr wchar_t kClassName[] = L"KestivaGraph";
}

HWND GraphPane::create(HWND parent, int id) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = &GraphPane::procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_CROSS);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // the second pane finds it registered
    const wchar_t* name = monitor_ == kDataMonitor ? L"Data graph" : L"I/O graph";
    window_ = CreateWindowExW(0, kClassName, name, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                              0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(id)),
                              windowClass.hInstance, this);
    return window_;
}

void GraphPane::applyColorTable(const ColorTable& colors) {
    colors_ = colors;
    clear();
    data_.backgroundColor = io_.backgroundColor = colors.backgroundColor;
    data_.gridColor = io_.gridColor = colors.gridColor;
    redraw();
}

void GraphPane::clear() {
    data_.drawEnabled = 0;
    data_.clearSamples();
    io_.drawEnabled = 0;
    io_.clearSamples();
    redraw();
}

void GraphPane::load(const PageRecording& page) {
    if (monitor_ == kDataMonitor)
        loadDataGraph(page, dataPageFigures(page), colors_, data_);
    else
        loadIoGraph(page, colors_, io_);
    redraw();
}

void GraphPane::beginLive(const LiveRecording& live) {
    liveExtremes_ = {};
    if (monitor_ == kDataMonitor)
        beginLiveDataGraph(live.record(), live.plannedSamples(), colors_, data_);
    else
        beginLiveIoGraph(live.record(), live.plannedSamples(), colors_, io_);
    redraw();
}

void GraphPane::appendLive(const LiveRecording& live, const LiveSample& sample) {
    if (monitor_ == kDataMonitor)
        appendLiveValues(live.record(), sample.valid, sample.plotted, liveExtremes_, data_);
    else
        appendLiveLevels(live.record(), sample.valid, sample.levels, io_);
}

void GraphPane::redraw() {
    if (window_)
        InvalidateRect(window_, nullptr, FALSE);
}

void GraphPane::rasterise(int width, int height) {
    buffer_.resize(width, height);
    if (buffer_.width() == 0 || buffer_.height() == 0)
        return;
    if (monitor_ == kDataMonitor)
        rasterMultiGraph(data_, buffer_.view());
    else
        rasterIoGraph(io_, buffer_.view());
}

void GraphPane::paint(HDC dc) {
    RECT client;
    GetClientRect(window_, &client);
    rasterise(client.right, client.bottom);
    if (buffer_.width() == 0 || buffer_.height() == 0)
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = buffer_.width();
    info.bmiHeader.biHeight = -buffer_.height();  // rows top first, as the buffer holds them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, DWORD(buffer_.width()), DWORD(buffer_.height()), 0, 0, 0,
                      UINT(buffer_.height()), buffer_.data(), &info, DIB_RGB_COLORS);
}

LRESULT CALLBACK GraphPane::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
    }
    auto* pane = reinterpret_cast<GraphPane*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            if (pane)
                pane->paint(dc);
            EndPaint(window, &ps);
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kestiva
