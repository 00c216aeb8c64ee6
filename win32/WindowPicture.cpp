#include "win32/WindowPicture.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "win32/ImageFile.h"

namespace kestiva {

namespace {

BITMAPINFOHEADER header(int width, int height, WORD bits) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;  // negative: rows top first
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = BI_RGB;
    const int stride = ((width * bits / 8) + 3) & ~3;
    h.biSizeImage = DWORD(stride * height);
    return h;
}

}  // namespace

PixelBuffer takeWindowPicture(HWND window) {
    RECT outer, client;
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    PixelBuffer picture;
    picture.resize(outer.right - outer.left, outer.bottom - outer.top);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    std::fill_n(picture.view().pixels, std::size_t(picture.width()) * std::size_t(picture.height()),
                0xFF000000u | (uint32_t(GetRValue(face)) << 16) |
                    (uint32_t(GetGValue(face)) << 8) | GetBValue(face));
    // The contents as the screen shows them, their children included.
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0)
        return picture;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = header(width, -height, 32);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const int left = origin.x - outer.left, top = origin.y - outer.top;
    const auto* pixels = static_cast<const uint32_t*>(bits);
    for (int y = 0; pixels && y < height && top + y < picture.height(); ++y)
        for (int x = 0; x < width && left + x < picture.width(); ++x)
            picture.view().row(top + y)[left + x] = 0xFF000000u | pixels[y * width + x];
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return picture;
}

bool copyPictureToClipboard(const PixelBuffer& picture, HWND owner) {
    // The clipboard's bitmap is the bitmap file without its file header.
    const std::string file = bitmapFileBytes(picture);
    const std::size_t skip = sizeof(BITMAPFILEHEADER);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, file.size() - skip);
    if (!memory)
        return false;
    std::memcpy(GlobalLock(memory), file.data() + skip, file.size() - skip);
    GlobalUnlock(memory);
    if (!OpenClipboard(owner)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool copied = SetClipboardData(CF_DIB, memory) != nullptr;
    CloseClipboard();
    if (!copied)
        GlobalFree(memory);
    return copied;
}

}  // namespace kestiva
