// Dialog texts measured by drawing them, under Wine, at the dialog font's size at 100 % and
// 150 %: no ink lies beyond the measured width, and a dialog's labels, radio buttons, group
// captions and wrapped labels are fitted to what is drawn.

#include "win32/TextFit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestiva {
namespace {

const std::wstring kCaption = L"Communication method";
const std::wstring kLong =
    L"Recordings that were not saved as a CSV file, newest first. A restored recording is "
    L"shown on its page and can be saved.";

// Whether any pixel of text drawn at x = 0 in font lies at or right of column.
bool inkFrom(HFONT font, const std::wstring& text, int column) {
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2000, -60, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT all{0, 0, 2000, 60};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    TextOutW(dc, 0, 0, text.c_str(), int(text.size()));
    GdiFlush();
    bool found = false;
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int y = 0; y < 60 && !found; ++y)
        for (int x = column; x < 2000 && !found; ++x)
            found = (pixels[y * 2000 + x] & 0xFFFFFFu) != 0xFFFFFFu;
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return found;
}

std::wstring textOf(HWND window) {
    std::wstring text(std::size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

int widthOf(HWND window) {
    RECT box;
    GetWindowRect(window, &box);
    return box.right - box.left;
}

int reportedWidth(HFONT font, const std::wstring& text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size.cx;
}

// An empty dialog from a template in memory, to hold the controls of a test.
HWND makeDialog() {
    struct alignas(4) {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } blank{{WS_POPUP, 0, 0, 0, 0, 400, 300}, 0, 0, 0};
    return CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), &blank.header, nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
}

HWND addControl(HWND dialog, const wchar_t* kind, const std::wstring& text, DWORD style, int x,
                int y, int width, int height, HFONT font) {
    HWND control =
        CreateWindowExW(0, kind, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                        dialog, nullptr, GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

class TextFitTest : public ::testing::TestWithParam<int> {
protected:
    TextFitTest()
        : font(CreateFontW(-GetParam(), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                           L"Segoe UI")),
          dialog(makeDialog()) {}
    ~TextFitTest() override {
        DestroyWindow(dialog);
        DeleteObject(font);
    }

    HFONT font;
    HWND dialog;
};

TEST_P(TextFitTest, NoInkLiesBeyondTheMeasuredWidth) {
    for (const std::wstring& text : {kCaption, kLong, std::wstring(40, L'm'), std::wstring(L"d")}) {
        const int width = drawnTextWidth(font, text);
        const int reported = reportedWidth(font, text);
        EXPECT_GE(width, reported);
        EXPECT_FALSE(inkFrom(font, text, width)) << width;
        // Wider than reported only as far as ink is drawn.
        if (width > reported) {
            EXPECT_TRUE(inkFrom(font, text, width - 1)) << width;
        }
    }
}

TEST_P(TextFitTest, LabelsRadioButtonsAndGroupCaptionsShowTheirWholeText) {
    ASSERT_TRUE(dialog) << "no dialog could be made";
    HWND label = addControl(dialog, L"Static", kCaption, SS_LEFT, 10, 10, 30, GetParam() + 4, font);
    HWND radio = addControl(dialog, L"Button", kCaption, BS_AUTORADIOBUTTON, 10, 40, 30,
                            GetParam() + 4, font);
    // A label with a list right of it grows up to the list only.
    HWND squeezed =
        addControl(dialog, L"Static", kCaption, SS_LEFT, 10, 70, 30, GetParam() + 4, font);
    HWND list = addControl(dialog, L"ComboBox", L"", CBS_DROPDOWNLIST, 60, 68, 100, 200, font);
    HWND group = addControl(dialog, L"Button", kCaption, BS_GROUPBOX, 5, 100, 380, 60, font);
    fitTextWidths(dialog);

    // Every pixel the text draws lies inside the box it got.
    EXPECT_FALSE(inkFrom(font, kCaption, widthOf(label)));
    EXPECT_GT(widthOf(radio), drawnTextWidth(font, kCaption));
    RECT listBox, squeezedBox;
    GetWindowRect(list, &listBox);
    GetWindowRect(squeezed, &squeezedBox);
    EXPECT_LE(squeezedBox.right, listBox.left);
    EXPECT_GT(widthOf(squeezed), 30);
    // The caption is the same text, with room after it for what is drawn.
    const std::wstring caption = textOf(group);
    EXPECT_EQ(caption.substr(0, kCaption.size()), kCaption);
    EXPECT_EQ(caption.find_first_not_of(L' ', kCaption.size()), std::wstring::npos);
    EXPECT_FALSE(inkFrom(font, kCaption, reportedWidth(font, caption)));
}

TEST_P(TextFitTest, AWrappedLabelBreaksItsLinesWhereTheyStillShowWhole) {
    ASSERT_TRUE(dialog) << "no dialog could be made";
    // Several widths, so that some line ends close to the edge.
    for (int width = 16 * GetParam(); width <= 24 * GetParam(); width += GetParam()) {
        SCOPED_TRACE(width);
        HWND note =
            addControl(dialog, L"Static", kLong, SS_LEFT, 10, 10, width, 6 * GetParam() + 8, font);
        fitTextWidths(dialog);
        const std::wstring lines = textOf(note);
        std::wstring joined;
        std::size_t start = 0;
        int count = 0;
        while (start <= lines.size()) {
            std::size_t end = lines.find(L"\r\n", start);
            end = end == std::wstring::npos ? lines.size() : end;
            const std::wstring line = lines.substr(start, end - start);
            // Drawn whole, and short enough that the label breaks it no further.
            EXPECT_FALSE(inkFrom(font, line, width)) << line.size();
            EXPECT_LE(reportedWidth(font, line), width) << line.size();
            joined += (joined.empty() ? L"" : L" ") + line;
            ++count;
            start = end + 2;
        }
        EXPECT_GE(count, 2);
        EXPECT_EQ(joined, kLong);
        // A fitted text is fitted once: a second pass changes nothing.
        fitTextWidths(dialog);
        EXPECT_EQ(textOf(note), lines);
        DestroyWindow(note);
    }
}

// The dialog font at 96 dots per inch, and at 144 (150 %).
INSTANTIATE_TEST_SUITE_P(Sizes, TextFitTest, ::testing::Values(12, 18));

}  // namespace
}  // namespace kestiva
