#pragma once
// The one drawing of the graphs: background, grid, the traces through their envelopes, and
// the lines laid over a graph (cursor, markers), into a pixel buffer. Every front end shows
// this buffer as it is and the command line encodes it, so each system draws the same picture.
//
// Lines are one pixel thin and unsmoothed (see LineRaster.h); a trace's columns with many
// samples are filled as vertical runs of pixels straight into the buffer.

#include "window/GraphData.h"
#include "window/PixelBuffer.h"

namespace kestiva {

// Draws the data page's graph over the whole buffer: background, major grid, minor grid, then
// each visible trace over the earlier ones.
void rasterMultiGraph(const MultiGraphData& graph, PixelView buffer);

// Draws the I/O page's graph: background, the vertical grid, the dotted band baselines, then
// each visible signal as a step line.
void rasterIoGraph(const IoGraphData& graph, PixelView buffer);

// The lines laid over a graph, from its top to its bottom at x: the cursor's (solid), and a
// marker's (solid while it is the active one, dashed otherwise). The shells draw the texts
// beside them.
void rasterCursorLine(PixelView buffer, int x, Color color);
void rasterMarkerLine(PixelView buffer, int x, Color color, bool active);

}  // namespace kestiva
