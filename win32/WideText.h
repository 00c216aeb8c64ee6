#pragma once
// Texts are UTF-8 inside the program and UTF-16 at every Windows call: the conversions, and
// the window-text calls that need them.

#include <windows.h>

#include <string>
#include <string_view>

namespace kestiva {

// Invalid UTF-8 becomes U+FFFD rather than an empty text, so a broken catalogue entry still
// shows what it can.
std::wstring toWide(std::string_view text);
std::string toUtf8(std::wstring_view text);

void setText(HWND window, std::string_view text);
std::string getText(HWND window);

}  // namespace kestiva
