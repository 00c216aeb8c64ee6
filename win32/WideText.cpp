#include "win32/WideText.h"

namespace kestiva {

std::wstring toWide(std::string_view text) {
    if (text.empty())
        return {};
    const int size = int(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string toUtf8(std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = int(text.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

void setText(HWND window, std::string_view text) {
    SetWindowTextW(window, toWide(text).c_str());
}

std::string getText(HWND window) {
    std::wstring wide(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    wide.resize(std::size_t(GetWindowTextW(window, wide.data(), int(wide.size()))));
    return toUtf8(wide);
}

}  // namespace kestiva
