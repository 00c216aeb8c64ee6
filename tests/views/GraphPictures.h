#pragma once
// Pixel helpers for the graph tests: which colour a pixel has, and how many pixels of a
// column or row have a given colour.

#include "settings/SamplingConfig.h"
#include "views/TraceGraphData.h"

#include <QImage>

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
