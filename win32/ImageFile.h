#pragma once
// Image files of the Windows build: a picture written as a bitmap, a JPEG or a PNG, as its
// file name's extension asks. The window's Image save and the command's plot both write
// through here, so a name gives the same kind of file whichever of them wrote it. (The Qt
// front ends on Linux write with Qt's encoders instead, with the same choice by extension.)

#include <string>
#include <string_view>

#include "window/PixelBuffer.h"

namespace kestiva {

// The format for path, named as the extension names it: "bmp", "jpg", "jpeg" or "png" for a
// file name ending in ".bmp", ".jpg", ".jpeg" or ".png" in any case. Empty when the name has no
// extension or no encoder for it.
std::string imageFormatForPath(std::string_view path);

// Writes picture to path (UTF-8) in the format imageFormatForPath names: a 24-bit bitmap, a
// JPEG of the encoder's default quality, or a PNG. An existing file is replaced only once the
// new one is completely written. False, with nothing written, when no format matches or the
// picture is empty; false, with any old file left as it was, when it cannot be written whole.
bool saveImageFile(const PixelBuffer& picture, const std::string& path);

// The bytes of picture as a 24-bit bitmap file, rows bottom first. After its 14-byte file
// header they are the device-independent bitmap that the clipboard takes.
std::string bitmapFileBytes(const PixelBuffer& picture);

}  // namespace kestiva
