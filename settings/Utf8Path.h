#pragma once
// Paths are UTF-8 std::string throughout the core. std::filesystem takes a plain std::string in
// the system's narrow code page, which on Windows is not UTF-8, so a path crosses into and out
// of std::filesystem through these two, and a Windows call takes the wide form.

#include <filesystem>
#include <string>
#include <string_view>

namespace kestiva {

inline std::filesystem::path utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The path as UTF-8 with '/' between its parts on every system, the form the core builds
// paths in.
inline std::string utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

// The path as the UTF-16 string the Windows calls take.
inline std::wstring widePath(std::string_view utf8) {
    return utf8Path(utf8).wstring();
}

}  // namespace kestiva
