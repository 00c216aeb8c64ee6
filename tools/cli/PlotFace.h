#pragma once
// What plot needs of the system it runs on: the frame's font, drawing the frame's marks into a
// picture, and the image encoders. Linux has them from Qt (PlotFaceQt.cpp), Windows from GDI and
// the build's image files (PlotFace_win32.cpp); everything else about plot is the same on both.

#include <memory>
#include <string>
#include <vector>

#include "tools/cli/PlotFrame.h"
#include "window/PixelBuffer.h"

namespace kestiva::cli {

class PlotFace : public FrameFont {
public:
    // Makes what the system's drawing needs ready; it lasts as long as the face.
    static std::unique_ptr<PlotFace> open();

    // The encoder's name for the extension of path ("png", "jpg", ...); empty when none.
    virtual std::string imageFormat(const std::string& path) const = 0;
    // The marks drawn in order over picture, the texts in the frame's font.
    virtual void draw(PixelBuffer& picture, const std::vector<FrameMark>& marks) const = 0;
    // Writes picture to path with the encoder imageFormat names; an old file is replaced only
    // by a whole new one.
    virtual bool save(const PixelBuffer& picture, const std::string& path) const = 0;
};

}  // namespace kestiva::cli
