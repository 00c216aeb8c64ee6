#pragma once
// A picture as 32-bit pixels, 0xFFRRGGBB each: in memory B, G, R, then 0xFF, the order of a
// toolkit's plain 32-bit RGB image and of a 32-bit device-independent bitmap, so every front
// end shows it without converting. Rows follow each other `stride` pixels apart, top first.

#include "settings/SamplingConfig.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestiva {

// A colour packed 0x00BBGGRR as a pixel.
constexpr uint32_t pixelOf(Color color) {
    return 0xFF000000u | ((color & 0xFFu) << 16) | (color & 0xFF00u) | ((color >> 16) & 0xFFu);
}

// Pixels somebody else owns: a buffer below, or a front end's own image of the same layout.
struct PixelView {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // pixels from one row to the next

    bool empty() const { return pixels == nullptr || width <= 0 || height <= 0; }
    uint32_t* row(int y) const { return pixels + std::size_t(y) * std::size_t(stride); }
    uint32_t at(int x, int y) const { return row(y)[x]; }
};

// A picture that owns its pixels, rows packed without padding.
class PixelBuffer {
public:
    // Room for width x height pixels; their values are left as they are.
    void resize(int width, int height) {
        width_ = width > 0 ? width : 0;
        height_ = height > 0 ? height : 0;
        pixels_.resize(std::size_t(width_) * std::size_t(height_));
    }
    int width() const { return width_; }
    int height() const { return height_; }
    PixelView view() { return {pixels_.data(), width_, height_, width_}; }
    const uint32_t* data() const { return pixels_.data(); }
    uint32_t at(int x, int y) const {
        return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
    }
    std::size_t bytes() const { return pixels_.capacity() * sizeof(uint32_t); }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};

}  // namespace kestiva
