#pragma once
// A monitor page's graph: the shared rasteriser draws the page's graph data into a kept
// picture, redrawn only when the data changed; a paint copies it into a back buffer, draws the
// cursor's and the markers' lines into it with the same rasteriser, the readout box and the
// markers' names over it with GDI, and shows it with one BitBlt, so it never flickers. The
// mouse, the wheel and the keys go to the page's model, which says what the graph shows.

#include <windows.h>

#include <functional>

#include "window/MonitorPageModel.h"
#include "window/PixelBuffer.h"

namespace kestiva {

class GraphPane {
public:
    using Render = std::function<void(PixelView)>;

    explicit GraphPane(Render render) : render_(std::move(render)) {}
    ~GraphPane();
    GraphPane(const GraphPane&) = delete;
    GraphPane& operator=(const GraphPane&) = delete;

    // Makes the graph's window, child `id` of parent; what the user does goes to `model`.
    HWND create(HWND parent, int id, const wchar_t* name, MonitorPageModel& model);
    HWND window() const { return window_; }
    void setFont(HFONT font) { font_ = font; }

    // The data changed: rasterise it again at the next paint.
    void redraw();
    // Only the lines or texts over the graph changed.
    void overlaysChanged();

    // The picture as last rasterised, without the lines over it.
    const PixelBuffer& picture() const { return picture_; }

private:
    template <typename Owner>
    friend LRESULT CALLBACK ownedWindowProcedure(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool key(WPARAM key);
    void followPointer();
    void paint(HDC dc);
    // The back buffer as a DIB section of the client's size, selected into memory_.
    PixelView backBuffer(int width, int height);
    void drawMarkerNames(const MarkerLines& lines, int width, int height);
    void drawReadout(const CursorReadout& readout, int width);

    Render render_;
    MonitorPageModel* model_ = nullptr;
    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    PixelBuffer picture_;
    bool stale_ = true;
    bool tracking_ = false;  // a WM_MOUSELEAVE is asked for
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    SIZE bitmapSize_{};
};

}  // namespace kestiva
