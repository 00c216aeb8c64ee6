// The Windows pages worked in process as a user works them, through real windows, controls
// and messages: a number edit's typed characters, its commit and its notice to the page; and
// on the data page with a recording, a typed window, a double click, markers placed by keys
// with the measurement panel and its copy on the clipboard, a wheel zoom and a hidden trace.

#include "win32/PagePanes.h"
#include "win32/NumberEdit.h"
#include "win32/WideText.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "recording/MarkerFigures.h"
#include "settings/NumberText.h"
#include "window/MeasurementRows.h"

namespace kestiva {
namespace {

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// A top-level window to hold what is tested; null where Wine has no display to make it on
// (scripts/test-windows.sh gives the tests' Wine folder its display-less graphics driver).
struct Host {
    Host() {
        window = CreateWindowExW(0, L"STATIC", L"test host", WS_OVERLAPPEDWINDOW, 0, 0, 1024,
                                 700, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (window)
            ShowWindow(window, SW_SHOWNA);
    }
    ~Host() {
        if (window)
            DestroyWindow(window);
    }
    HWND window = nullptr;
};

void type(HWND edit, const std::string& text) {
    for (const wchar_t c : toWide(text))
        SendMessageW(edit, WM_CHAR, WPARAM(c), 0);
}

TEST(NumberEdit, TypedCharactersFollowTheRulesAndEnterCommitsWithinTheLimits) {
    Host host;
    if (!host.window)
        GTEST_SKIP() << "no display for windows";
    struct Case {
        const char* typed;
        int decimals;
        bool sign;
        double lower, upper;
        const char* kept;   // what the edit holds after the typing
        const char* shown;  // after Enter
        double value;
    };
    const Case cases[] = {
        {"12.5", 1, false, 0, 100, "12.5", "12.5", 12.5},
        {"-3", 1, false, 0, 100, "3", "3.0", 3.0},  // no sign where none is taken
        {"-3", 1, true, -10, 10, "-3", "-3.0", -3.0},
        {"1.2.3", 2, true, 0, 10, "1.23", "1.23", 1.23},  // one point only
        {"a1b", 1, true, 0, 10, "1", "1.0", 1.0},
        {"250", 0, false, 0, 100, "250", "100", 100.0},  // held within the limits
        {"", 1, false, 5, 10, "", "0.0", 0.0},           // an empty edit commits 0
    };
    int id = 700;
    for (const Case& c : cases) {
        HWND edit = makeNumberEdit(host.window, ++id, nullptr, ".");
        setNumberFormat(edit, c.decimals, c.sign);
        setNumberLimits(edit, c.lower, c.upper);
        clearNumber(edit);
        type(edit, c.typed);
        EXPECT_EQ(getText(edit), c.kept) << c.typed;
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_EQ(getText(edit), c.shown) << c.typed;
        EXPECT_DOUBLE_EQ(numberValue(edit), c.value) << c.typed;
        MSG notice{};
        ASSERT_TRUE(PeekMessageW(&notice, host.window, kNumberCommitted, kNumberCommitted,
                                 PM_REMOVE))
            << c.typed;
        EXPECT_EQ(int(notice.wParam), id);
        DestroyWindow(edit);
    }
}

ColorTable colors() {
    ColorTable c;
    c.backgroundColor = 0x202020;
    c.gridColor = 0xC0C0C0;
    for (std::size_t i = 0; i < c.traceColors.size(); ++i)
        c.traceColors[i] = 0x0000FF + Color(i) * 0x0F0F00;
    return c;
}

// "Current" holds 7.00 A, "Speed" climbs by one rpm a sample from -50; 1001 samples at 10 ms.
std::unique_ptr<PageRecording> dataRecording() {
    auto page = std::make_unique<PageRecording>(kDataMonitor);
    const char* names[] = {"Current", "Speed"};
    const char* units[] = {"A", "rpm"};
    for (int k = 0; k < 2; ++k) {
        DataItem& d = page->active.items[std::size_t(k)];
        d.name = names[k];
        d.enabled = 1;
        d.typeCode = k == 0 ? kTypeUword : kTypeWord;
        d.scale = k == 0 ? 0.010 : 1.0;
        d.scaleText = k == 0 ? "0.010" : "1";
        d.unit = units[k];
    }
    page->cycle = 10;
    page->time = 10;
    page->endMarker = EndMarker::Complete;
    page->sampleCount = 1001;
    for (uint32_t j = 0; j < page->sampleCount; ++j) {
        page->dataValue(j, 0) = 700;
        page->dataValue(j, 1) = int32_t(j) - 50;
    }
    return page;
}

std::string clipboardText(HWND owner) {
    std::wstring text;
    if (!OpenClipboard(owner))
        return {};
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return toUtf8(text);
}

LPARAM at(int x, int y) {
    return MAKELPARAM(x, y);
}

TEST(DataPane, AUserTypesAWindowPlacesMarkersCopiesTheMeasurementsZoomsAndHidesATrace) {
    Host host;
    if (!host.window)
        GTEST_SKIP() << "no display for windows";
    LanguageCatalogue texts("");
    texts.LoadLanguageCatalogue();
    DataPane pane(texts);
    std::map<HWND, std::string> toolTips;
    pane.create(host.window, 432, 430, static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)),
                [&](HWND control, const std::string& text) { toolTips[control] = text; });
    pane.initialise(colors());
    MoveWindow(pane.window(), 0, 0, 1000, 600, TRUE);
    const auto recording = dataRecording();
    pane.loadRecording(*recording);
    pane.enableEntry();
    pump();
    HWND page = pane.window();
    HWND graph = GetDlgItem(page, 430);
    ASSERT_EQ(graph, pane.graphWindow());
    const auto text = [&](int id) { return getText(GetDlgItem(page, id)); };
    EXPECT_EQ(text(1192), "10");
    EXPECT_EQ(getText(GetDlgItem(page, 1288)), "Current");
    EXPECT_EQ(pane.data().lastIndex, 1000u);

    // Five seconds typed into the end edit: the graph shows the first half, as the time
    // labels say.
    HWND end = GetDlgItem(page, 1064);
    clearNumber(end);
    type(end, "5");
    SendMessageW(end, WM_KEYDOWN, VK_RETURN, 0);
    pump();
    EXPECT_EQ(pane.data().lastIndex, 500u);
    EXPECT_EQ(text(1129), "2.50");
    // A double click shows the whole recording again.
    SendMessageW(graph, WM_LBUTTONDBLCLK, 0, at(100, 100));
    EXPECT_EQ(pane.data().lastIndex, 1000u);
    EXPECT_EQ(getText(end), "10.0");

    // The markers by keys, with the mouse over the graph: the panel shows, and its button
    // copies the model's table.
    RECT area;
    GetClientRect(graph, &area);
    SendMessageW(graph, WM_MOUSEMOVE, 0, at(area.right / 2, 50));
    HWND copy = GetDlgItem(page, 1900);
    EXPECT_FALSE(IsWindowVisible(copy));
    for (const WPARAM key : {WPARAM('A'), WPARAM(VK_RIGHT), WPARAM(VK_RIGHT), WPARAM('B')})
        SendMessageW(graph, WM_KEYDOWN, key, 0);
    ASSERT_TRUE(pane.model().marker(MonitorPageModel::kMarkerA));
    ASSERT_TRUE(pane.model().marker(MonitorPageModel::kMarkerB));
    EXPECT_EQ(*pane.model().marker(MonitorPageModel::kMarkerA),
              *pane.model().marker(MonitorPageModel::kMarkerB) + 2);
    EXPECT_TRUE(IsWindowVisible(copy));
    RECT graphArea;
    GetWindowRect(graph, &graphArea);
    RECT copyArea;
    GetWindowRect(copy, &copyArea);
    EXPECT_LE(graphArea.bottom, copyArea.top) << "the panel lies under the graph";
    if (OpenClipboard(host.window)) {
        EmptyClipboard();
        CloseClipboard();
    }
    SendMessageW(copy, BM_CLICK, 0, 0);
    const std::string expected = measurementsTable(pane.model().measurementRows().figures,
                                                   measurementTitles(texts));
    EXPECT_EQ(clipboardText(host.window), expected);
    // Delete takes both markers, and the panel with them.
    SendMessageW(graph, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_FALSE(pane.model().marker(MonitorPageModel::kMarkerA));
    EXPECT_FALSE(IsWindowVisible(copy));

    // A wheel turn away from the user over the graph's middle zooms in there.
    POINT middle{area.right / 2, area.bottom / 2};
    ClientToScreen(graph, &middle);
    SendMessageW(graph, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), at(middle.x, middle.y));
    EXPECT_GT(pane.data().firstIndex, 0u);
    EXPECT_LT(pane.data().lastIndex, 1000u);

    // The first item's check box hides its trace.
    SendMessageW(GetDlgItem(page, 1288), BM_CLICK, 0, 0);
    EXPECT_EQ(pane.data().traceVisible[0], 0);
    EXPECT_EQ(pane.data().traceVisible[1], 1);
}

}  // namespace
}  // namespace kestiva
