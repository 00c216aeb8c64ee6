#pragma once
// A monitor page's graph: the shared rasteriser draws it into a 32-bit pixel buffer, and a
// paint shows that buffer with one SetDIBitsToDevice (the buffer is the back buffer, so the
// picture never flickers). The pane holds what the graph shows: a recording after its load,
// or one as it arrives.

#include <windows.h>

#include "session/Session.h"
#include "recording/SampleTables.h"
#include "window/GraphData.h"
#include "window/PageGraphs.h"
#include "window/PixelBuffer.h"

namespace kestiva {

class GraphPane {
public:
    explicit GraphPane(MonitorKind monitor) : monitor_(monitor) {}
    GraphPane(const GraphPane&) = delete;
    GraphPane& operator=(const GraphPane&) = delete;

    // Makes the pane's window as a child of parent, with control id `id`.
    HWND create(HWND parent, int id);
    HWND window() const { return window_; }

    // The colour table's background and grid, the traces' colours at the next load; the
    // graph is emptied, as a new colour table starts the page anew.
    void applyColorTable(const ColorTable& colors);
    void clear();
    void load(const PageRecording& page);
    // A recording begins to arrive on this page, and then its samples.
    void beginLive(const LiveRecording& live);
    void appendLive(const LiveRecording& live, const LiveSample& sample);
    void redraw();

    // Draws the graph for a pane of this size into the buffer (the paint's first half).
    void rasterise(int width, int height);
    const PixelBuffer& picture() const { return buffer_; }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void paint(HDC dc);

    MonitorKind monitor_;
    HWND window_ = nullptr;
    ColorTable colors_;
    MultiGraphData data_;
    IoGraphData io_;
    LiveExtremes liveExtremes_;
    PixelBuffer buffer_;
};

}  // namespace kestiva
