// plot's face on Windows: GDI draws the frame's texts in the system's message font at the
// labels' size, and the build's image files encode the picture.

#include "tools/cli/PlotFace.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "win32/ImageFile.h"

namespace kestiva::cli {

namespace {

constexpr int kFontPixels = 12;  // the labels' size, as on every system

std::wstring wide(const std::string& text) {
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring result(std::size_t(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), result.data(), length);
    return result;
}

HFONT labelFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        font = metrics.lfMessageFont;
    else
        std::wcscpy(font.lfFaceName, L"Tahoma");
    font.lfHeight = -kFontPixels;  // the characters' height, without the leading
    font.lfWidth = 0;
    font.lfQuality = ANTIALIASED_QUALITY;
    return CreateFontIndirectW(&font);
}

UINT textFormat(const FrameMark& mark) {
    const UINT horizontal = mark.align == FrameMark::Align::Left    ? DT_LEFT
                            : mark.align == FrameMark::Align::Right ? DT_RIGHT
                                                                    : DT_CENTER;
    return horizontal | (mark.atBottom ? DT_BOTTOM : DT_VCENTER) | DT_SINGLELINE | DT_NOPREFIX |
           DT_NOCLIP;
}

class GdiPlotFace : public PlotFace {
public:
    GdiPlotFace() : dc_(CreateCompatibleDC(nullptr)), font_(labelFont()) {
        old_ = SelectObject(dc_, font_);
    }
    ~GdiPlotFace() override {
        SelectObject(dc_, old_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }
    GdiPlotFace(const GdiPlotFace&) = delete;
    GdiPlotFace& operator=(const GdiPlotFace&) = delete;

    int lineHeight() const override {
        TEXTMETRICW metrics{};
        return GetTextMetricsW(dc_, &metrics) ? int(metrics.tmHeight) : kFontPixels;
    }
    int textWidth(const std::string& text) const override {
        const std::wstring w = wide(text);
        SIZE size{};
        return GetTextExtentPoint32W(dc_, w.c_str(), int(w.size()), &size) ? int(size.cx) : 0;
    }
    std::string imageFormat(const std::string& path) const override {
        return imageFormatForPath(path);
    }
    void draw(PixelBuffer& picture, const std::vector<FrameMark>& marks) const override;
    bool save(const PixelBuffer& picture, const std::string& path) const override {
        return saveImageFile(picture, path);
    }

private:
    HDC dc_;
    HFONT font_;
    HGDIOBJ old_ = nullptr;
};

void GdiPlotFace::draw(PixelBuffer& picture, const std::vector<FrameMark>& marks) const {
    const PixelView view = picture.view();
    if (view.empty())
        return;
    // GDI draws into a section of its own, with the picture's pixels in and out.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = view.width;
    info.bmiHeader.biHeight = -view.height;  // rows top first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr)
        return;
    auto* pixels = static_cast<uint32_t*>(bits);
    const std::size_t count = std::size_t(view.width) * std::size_t(view.height);
    std::copy_n(picture.data(), count, pixels);
    const HGDIOBJ oldBitmap = SelectObject(dc_, section);
    SetBkMode(dc_, TRANSPARENT);
    for (const FrameMark& mark : marks) {
        RECT box{mark.box.x(), mark.box.y(), mark.box.x() + mark.box.width(),
                 mark.box.y() + mark.box.height()};
        if (mark.kind == FrameMark::Kind::Fill) {
            HBRUSH brush = CreateSolidBrush(COLORREF(mark.color));
            FillRect(dc_, &box, brush);
            DeleteObject(brush);
            continue;
        }
        SetTextColor(dc_, COLORREF(mark.color));
        const std::wstring text = wide(mark.text);
        DrawTextW(dc_, text.c_str(), int(text.size()), &box, textFormat(mark));
    }
    GdiFlush();
    // GDI leaves the fourth byte of what it draws at 0; a pixel's is always 0xFF.
    for (std::size_t i = 0; i < count; ++i)
        view.pixels[i] = 0xFF000000u | pixels[i];
    SelectObject(dc_, oldBitmap);
    DeleteObject(section);
}

}  // namespace

std::unique_ptr<PlotFace> PlotFace::open() {
    return std::make_unique<GdiPlotFace>();
}

}  // namespace kestiva::cli
