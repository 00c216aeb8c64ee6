#pragma once
// Writing a picture to an image file in the format its name asks for. The window's image save
// and the terminal command's plot both go through here, so a name gives the same file whichever
// of them wrote it.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace kestiva {

// The encoder for path: the first format the image writer supports whose name equals the
// extension of the file name (the text after its last "."), ignoring case. ".bmp" gives a
// bitmap, ".jpg" and ".jpeg" JPEG, ".png" PNG. Empty when the name has no extension or no
// encoder matches it.
QByteArray imageEncoderForPath(const QString& path);

// Writes image to path with the encoder imageEncoderForPath chooses and the encoder's default
// settings (a JPEG gets the default quality). An existing file is replaced only once the new
// one is completely written. False, with nothing written, when no encoder matches; false, with
// any old file left as it was, when the new one cannot be written whole.
bool saveImageFile(const QImage& image, const QString& path);

}  // namespace kestiva
