#include "win32/ImageFile.h"

#include <windows.h>

// WIN32_LEAN_AND_MEAN leaves out the COM types that GDI+ needs.
#include <objidl.h>

#include <gdiplus.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <vector>

#include "files/ReplacingFile.h"

namespace kestiva {

namespace {

// The file's bytes first and written in one go: every format then gets the same safe
// replacement of an old file.
using Bytes = std::string;

// GDI+ for the duration of one encoding; it counts its starts, so a window that uses it
// elsewhere is not disturbed.
class GdiplusSession {
public:
    GdiplusSession() {
        Gdiplus::GdiplusStartupInput input;
        started_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    ~GdiplusSession() {
        if (started_)
            Gdiplus::GdiplusShutdown(token_);
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool started() const { return started_; }

private:
    ULONG_PTR token_ = 0;
    bool started_ = false;
};

bool encoderFor(const wchar_t* mimeType, CLSID& encoder) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::vector<uint8_t> storage(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (std::wcscmp(codecs[i].MimeType, mimeType) == 0) {
            encoder = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

// The stream's whole contents.
bool streamBytes(IStream* stream, Bytes& bytes) {
    STATSTG stat{};
    if (stream->Stat(&stat, STATFLAG_NONAME) != S_OK || stat.cbSize.HighPart != 0)
        return false;
    const LARGE_INTEGER start{};
    if (stream->Seek(start, STREAM_SEEK_SET, nullptr) != S_OK)
        return false;
    bytes.resize(stat.cbSize.LowPart);
    ULONG read = 0;
    return bytes.empty() ||
           (stream->Read(bytes.data(), ULONG(bytes.size()), &read) == S_OK && read == bytes.size());
}

// The picture encoded by GDI+'s encoder of the MIME type, with its default settings.
bool gdiplusBytes(const PixelBuffer& picture, const wchar_t* mimeType, Bytes& bytes) {
    GdiplusSession gdiplus;
    if (!gdiplus.started())
        return false;
    CLSID encoder;
    if (!encoderFor(mimeType, encoder))
        return false;
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(nullptr, TRUE, &stream) != S_OK)
        return false;
    bool encoded = false;
    {
        // GDI+ reads the pixels in place: 32 bits, rows top first, the fourth byte ignored.
        Gdiplus::Bitmap bitmap(picture.width(), picture.height(), picture.width() * 4,
                               PixelFormat32bppRGB,
                               reinterpret_cast<BYTE*>(const_cast<uint32_t*>(picture.data())));
        encoded = bitmap.GetLastStatus() == Gdiplus::Ok &&
                  bitmap.Save(stream, &encoder, nullptr) == Gdiplus::Ok &&
                  streamBytes(stream, bytes);
    }
    stream->Release();
    return encoded;
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return lower;
}

}  // namespace

std::string imageFormatForPath(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    const std::string_view name =
        separator == std::string_view::npos ? path : path.substr(separator + 1);
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    const std::string extension = lowerCase(name.substr(dot + 1));
    static constexpr std::array<const char*, 4> kFormats = {"bmp", "jpg", "jpeg", "png"};
    for (const char* format : kFormats)
        if (extension == format)
            return extension;
    return {};
}

// Each row padded to 4 bytes: what Windows itself writes and every reader takes.
std::string bitmapFileBytes(const PixelBuffer& picture) {
    const int width = picture.width(), height = picture.height();
    const int stride = (width * 3 + 3) & ~3;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = DWORD(stride * height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = DWORD(file.bfOffBits + info.biSizeImage);
    Bytes bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    const std::size_t start = bytes.size();
    bytes.resize(start + info.biSizeImage, '\0');
    for (int y = 0; y < height; ++y) {
        char* row = bytes.data() + start + std::size_t(height - 1 - y) * std::size_t(stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = picture.at(x, y);
            row[3 * x] = char(p & 0xFF);
            row[3 * x + 1] = char((p >> 8) & 0xFF);
            row[3 * x + 2] = char((p >> 16) & 0xFF);
        }
    }
    return bytes;
}

bool saveImageFile(const PixelBuffer& picture, const std::string& path) {
    const std::string format = imageFormatForPath(path);
    if (format.empty() || picture.width() <= 0 || picture.height() <= 0)
        return false;
    Bytes bytes;
    if (format == "bmp")
        bytes = bitmapFileBytes(picture);
    else if (!gdiplusBytes(picture, format == "png" ? L"image/png" : L"image/jpeg", bytes))
        return false;
    ReplacingFile file;
    if (!file.open(path))
        return false;
    file.append(bytes);
    return file.commit();
}

}  // namespace kestiva
