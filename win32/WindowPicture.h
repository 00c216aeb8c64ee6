#pragma once
// The picture that Image save writes (win32/ImageFile.h) and Image capture copies: as large as
// the window with its frame, the window's contents as the screen shows them at their own offset
// in it, the frame part the window's face colour.

#include <windows.h>

#include <string>

#include "window/PixelBuffer.h"

namespace kestiva {

PixelBuffer takeWindowPicture(HWND window);
// The picture as a device-independent bitmap on the clipboard.
bool copyPictureToClipboard(const PixelBuffer& picture, HWND owner);

}  // namespace kestiva
