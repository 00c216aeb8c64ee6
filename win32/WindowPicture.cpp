#include "win32/WindowPicture.h"


#include <algorithm>
#include <cstring>
#include <cwctype>
#include <memory>
#include <vector>

// WIN32_LEAN_AND_MEAN leaves out the COM types that GDI+ needs.
#include <objidl.h>

#include <gdiplus.h>

namespace kestiva {

namespace {

BITMAPINFOHEADER header(int width, int height, WORD bits) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;  // bottom-up, as bitmap files and the clipboard's bitmaps are
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = BI_RGB;
    const int stride = ((width * bits / 8) + 3) & ~3;
    h.biSizeImage = DWORD(stride * height);
    return h;
}

// Rows bottom first, 3 bytes a pixel, each row padded to 4 bytes.
std::vector<uint8_t> bottomUpRgb(const PixelBuffer& picture) {
    const int width = picture.width(), height = picture.height();
    const int stride = (width * 3 + 3) & ~3;
    std::vector<uint8_t> bytes(std::size_t(stride) * std::size_t(height), 0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bytes.data() + std::size_t(height - 1 - y) * std::size_t(stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = picture.at(x, y);
            row[3 * x] = uint8_t(p);
            row[3 * x + 1] = uint8_t(p >> 8);
            row[3 * x + 2] = uint8_t(p >> 16);
        }
    }
    return bytes;
}

bool endsWith(const std::wstring& path, const std::wstring& suffix) {
    if (path.size() < suffix.size())
        return false;
    return std::equal(suffix.rbegin(), suffix.rend(), path.rbegin(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

bool saveBitmap(const PixelBuffer& picture, const std::wstring& path) {
    const BITMAPINFOHEADER info = header(picture.width(), picture.height(), 24);
    const std::vector<uint8_t> pixels = bottomUpRgb(picture);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = DWORD(file.bfOffBits + pixels.size());
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    bytes.append(reinterpret_cast<const char*>(pixels.data()), pixels.size());
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole = WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
                       written == bytes.size() && FlushFileBuffers(out);
    CloseHandle(out);
    // A full disk leaves no half picture behind.
    if (!whole)
        DeleteFileW(path.c_str());
    return whole;
}

bool jpegEncoder(CLSID& encoder) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0)
        return false;
    std::vector<uint8_t> storage(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wcscmp(codecs[i].MimeType, L"image/jpeg") == 0) {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

bool saveJpeg(const PixelBuffer& picture, const std::wstring& path) {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return false;
    bool saved = false;
    {
        // GDI+ reads the pixels in place: 32 bits, rows top first.
        Gdiplus::Bitmap bitmap(picture.width(), picture.height(), picture.width() * 4,
                               PixelFormat32bppRGB,
                               reinterpret_cast<BYTE*>(const_cast<uint32_t*>(picture.data())));
        CLSID encoder;
        saved = jpegEncoder(encoder) && bitmap.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
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

bool savePicture(const PixelBuffer& picture, const std::wstring& path) {
    if (picture.width() == 0 || picture.height() == 0)
        return false;
    if (endsWith(path, L".jpg") || endsWith(path, L".jpeg"))
        return saveJpeg(picture, path);
    return saveBitmap(picture, path);
}

bool copyPictureToClipboard(const PixelBuffer& picture, HWND owner) {
    const BITMAPINFOHEADER info = header(picture.width(), picture.height(), 24);
    const std::vector<uint8_t> pixels = bottomUpRgb(picture);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof info + pixels.size());
    if (!memory)
        return false;
    auto* bytes = static_cast<uint8_t*>(GlobalLock(memory));
    std::memcpy(bytes, &info, sizeof info);
    std::memcpy(bytes + sizeof info, pixels.data(), pixels.size());
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
