#include "win32/RunButton.h"

#include <algorithm>

namespace kestiva {

namespace {

// Drawn in a 48-unit square, the picture's own scale, centred on the button.
struct Square {
    int left, top, side;
    POINT at(int x, int y) const { return {left + x * side / 48, top + y * side / 48}; }
};

void fill(HDC dc, COLORREF colour, auto draw) {
    HBRUSH brush = CreateSolidBrush(colour);
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    draw();
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
}

}  // namespace

void drawRunButton(const DRAWITEMSTRUCT& item, bool start) {
    HDC dc = item.hDC;
    RECT frame = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));

    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int side = std::min(width, height) * 3 / 4;
    const int shift = pressed ? 1 : 0;
    const Square square{frame.left + (width - side) / 2 + shift,
                        frame.top + (height - side) / 2 + shift, side};
    const COLORREF disc = disabled ? RGB(0xa0, 0xa0, 0xa0)
                          : start  ? RGB(0x2e, 0x9d, 0x4a)
                                   : RGB(0xc8, 0x32, 0x2d);
    fill(dc, disc, [&] {
        const POINT a = square.at(2, 2), b = square.at(46, 46);
        Ellipse(dc, a.x, a.y, b.x, b.y);
    });
    fill(dc, RGB(0xff, 0xff, 0xff), [&] {
        if (start) {
            const POINT triangle[] = {square.at(18, 13), square.at(36, 24), square.at(18, 35)};
            Polygon(dc, triangle, 3);
        } else {
            const POINT a = square.at(15, 15), b = square.at(33, 33);
            RoundRect(dc, a.x, a.y, b.x, b.y, 4, 4);
        }
    });
    if (item.itemState & ODS_FOCUS) {
        RECT focus = frame;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

}  // namespace kestiva
