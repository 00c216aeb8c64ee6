#pragma once
// Pixel helpers for the graph tests: which colour a pixel has, and how many pixels of a
// column or row have a given colour.

#include "settings/SamplingConfig.h"
#include "views/QtWindow.h"

#include <QImage>

#include <algorithm>

namespace kestiva {

inline bool hasColor(const QImage& image, int x, int y, Color color) {
    return image.pixelColor(x, y) == toQColor(color);
}

inline int countInColumn(const QImage& image, int x, Color color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        count += hasColor(image, x, y, color);
    }
    return count;
}

inline int countInRow(const QImage& image, int y, Color color) {
    int count = 0;
    for (int x = 0; x < image.width(); ++x) {
        count += hasColor(image, x, y, color);
    }
    return count;
}

inline int countInImage(const QImage& image, Color color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        count += countInRow(image, y, color);
    }
    return count;
}

// How two pictures of the same size differ: pixels, columns with a difference, and the most
// differing pixels in one column.
struct PixelDifference {
    int pixels = 0;
    int columns = 0;
    int worstColumn = 0;
};

inline PixelDifference pixelDifference(const QImage& a, const QImage& b) {
    PixelDifference d;
    for (int x = 0; x < a.width(); ++x) {
        int column = 0;
        for (int y = 0; y < a.height(); ++y)
            column += a.pixel(x, y) != b.pixel(x, y);
        d.pixels += column;
        d.columns += column > 0;
        d.worstColumn = std::max(d.worstColumn, column);
    }
    return d;
}

// What a grid line looks like across a whole column or row.
enum class LineKind { None, Dotted, Solid };

// Crossing lines leave at most a few dozen grid pixels on a line-free column or row, a dotted
// line (one pixel in three) far more, a solid line every pixel.
inline LineKind lineKind(int gridPixels, int length) {
    if (gridPixels == length) {
        return LineKind::Solid;
    }
    return gridPixels > length / 4 ? LineKind::Dotted : LineKind::None;
}

}  // namespace kestiva
