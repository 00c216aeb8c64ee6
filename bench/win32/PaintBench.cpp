// A page's full paint in the Windows window: the shared rasteriser drawing a 1000 x 600 graph
// into its pixel buffer, then the one SetDIBitsToDevice that shows it, each timed on its own
// (median of 15 paints; the blit is waited for with GdiFlush), for the graphs the Linux paint
// benchmark draws. Prints a table in milliseconds.

#include <windows.h>

#include "bench/GraphCases.h"
#include "window/GraphRaster.h"
#include "window/PixelBuffer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace kestiva {
namespace {

using namespace graph_cases;

constexpr int kWidth = 1000;
constexpr int kHeight = 600;
constexpr int kRuns = 15;

double medianMs(const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(ms.begin(), ms.begin() + kRuns / 2, ms.end());
    return ms[kRuns / 2];
}

void blit(HWND window, const PixelBuffer& buffer) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = buffer.width();
    info.bmiHeader.biHeight = -buffer.height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(window);
    SetDIBitsToDevice(dc, 0, 0, DWORD(buffer.width()), DWORD(buffer.height()), 0, 0, 0,
                      UINT(buffer.height()), buffer.data(), &info, DIB_RGB_COLORS);
    GdiFlush();
    ReleaseDC(window, dc);
}

template <typename Graph, typename Raster>
void measure(HWND window, const std::string& label, Graph& graph, Raster raster) {
    PixelBuffer buffer;
    buffer.resize(kWidth, kHeight);
    for (int shown : {kWhole, kZoomed, kFewSamples}) {
        showWindow(graph, shown);
        const double draw = medianMs([&] { raster(graph, buffer.view()); });
        const double shownMs = medianMs([&] { blit(window, buffer); });
        std::printf("%-16s %-16s %8.3f %8.3f %8.3f\n", label.c_str(), windowName(shown), draw,
                    shownMs, draw + shownMs);
    }
}

HWND makeWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"KestivaPaintBench";
    RegisterClassW(&windowClass);
    RECT area{0, 0, kWidth, kHeight};
    AdjustWindowRect(&area, WS_OVERLAPPEDWINDOW, FALSE);
    HWND window = CreateWindowW(L"KestivaPaintBench", L"Paint", WS_OVERLAPPEDWINDOW, 0, 0,
                                area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}

}  // namespace
}  // namespace kestiva

int main() {
    using namespace kestiva;
    HWND window = makeWindow();
    std::printf("%-16s %-16s %8s %8s %8s\n", "graph", "window", "raster", "blit", "paint");
    for (int signal : {kNoisySine, kRandomWalk, kUniformNoise, kWildValues}) {
        auto graph = makeDataGraph(signal);
        measure(window, signalName(signal), *graph, rasterMultiGraph);
    }
    for (int permille : {10, 500}) {
        auto graph = makeIoGraph(permille / 1000.0);
        measure(window, "I/O, " + std::to_string(permille / 10) + " % change", *graph,
                rasterIoGraph);
    }
    DestroyWindow(window);
    return 0;
}
