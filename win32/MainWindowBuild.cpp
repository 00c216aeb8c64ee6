// The main window's controls and menus as they are made and placed; what they show is the
// model's.

#include "win32/MainWindow.h"

#include <commctrl.h>

#include "win32/Resource.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {

// Sizes in pixels at 96 dots per inch.
constexpr int kMargin = 8;
constexpr int kTopRowHeight = 96;
constexpr int kSwitchWidth = 140;
constexpr int kSwitchHeight = 50;
constexpr int kRunSide = 64;
constexpr int kRunGroupWidth = 2 * kRunSide + 3 * kMargin;
constexpr int kSamplingGroupWidth = 236;
constexpr int kGroupHeight = 88;
constexpr int kPercentWidth = 44;

HWND makeControl(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style,
                 int id, HFONT font) {
    HWND control = CreateWindowExW(0, windowClass, toWide(text).c_str(),
                                   WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(INT_PTR(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

// Places a control at a rectangle given at 96 dots per inch, on a monitor of dpi.
struct Placer {
    int dpi;
    int operator()(int pixels) const { return MulDiv(pixels, dpi, 96); }
    void operator()(HWND control, int x, int y, int width, int height) const {
        if (control)
            MoveWindow(control, (*this)(x), (*this)(y), (*this)(width), (*this)(height), FALSE);
    }
};

}  // namespace

void MainWindow::makeFont() {
    // The message font of the monitor the window is on (per-monitor DPI awareness).
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    const UINT dpi = GetDpiForWindow(window_);
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi))
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT old = font_;
    font_ = CreateFontIndirectW(&metrics.lfMessageFont);
    EnumChildWindows(
        window_,
        [](HWND child, LPARAM font) -> BOOL {
            SendMessageW(child, WM_SETFONT, WPARAM(font), TRUE);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(font_));
    if (dataPane_.window()) {
        dataPane_.setFont(font_);
        ioPane_.setFont(font_);
    }
    if (old)
        DeleteObject(old);
}

void MainWindow::buildControls() {
    makeFont();

    switchButton_ = makeControl(window_, WC_BUTTONW, texts_.GetText(text::BTN_MONITOR_TITLE_DATA),
                                BS_PUSHBUTTON | WS_TABSTOP, IDC_MONITOR_SWITCH, font_);
    // The progress area: hidden while the window is idle (the model shows it).
    progressBar_ = makeControl(window_, PROGRESS_CLASSW, "", 0, IDC_PROGRESS_BAR, font_);
    SendMessageW(progressBar_, PBM_SETRANGE32, 0, 100);
    percentLabel_ = makeControl(window_, WC_STATICW, "0%", SS_RIGHT | SS_NOPREFIX, IDC_PERCENT,
                                font_);
    stateLabel_ = makeControl(window_, WC_STATICW, "", SS_LEFT | SS_NOPREFIX, IDC_STATE, font_);
    for (HWND w : {progressBar_, percentLabel_, stateLabel_})
        ShowWindow(w, SW_HIDE);

    buildSamplingControls(kDataMonitor, IDC_DATA_SAMPLING);
    buildSamplingControls(kIoMonitor, IDC_IO_SAMPLING);
    makePages();
}

void MainWindow::makePages() {
    const auto toolTips = [this](HWND control, const std::string& text) {
        addToolTip(control, text);
    };
    dataPane_.create(window_, IDC_DATA_PAGE, IDC_DATA_GRAPH, font_, toolTips);
    ioPane_.create(window_, IDC_IO_PAGE, IDC_IO_GRAPH, font_, toolTips);
    dataPane_.initialise(model_.activeColors(kDataMonitor));
    ioPane_.initialise(model_.activeColors(kIoMonitor));
}

void MainWindow::buildSamplingControls(MonitorKind monitor, int idBase) {
    auto& c = sampling_[std::size_t(monitor)].controls;
    // The groups first, so that they lie under the controls they hold.
    c[IDC_SAMPLING_GROUP] =
        makeControl(window_, WC_BUTTONW, "", BS_GROUPBOX, idBase + IDC_SAMPLING_GROUP, font_);
    c[IDC_RUN_GROUP] = makeControl(window_, WC_BUTTONW, "", BS_GROUPBOX, idBase + IDC_RUN_GROUP,
                                   font_);
    c[IDC_CYCLE_LABEL] = makeControl(window_, WC_STATICW, texts_.GetText(text::MSG_SAMPLING_SPAN),
                                     SS_LEFT, idBase + IDC_CYCLE_LABEL, font_);
    c[IDC_CYCLE_LIST] = makeControl(window_, WC_COMBOBOXW, "",
                                    CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                                    idBase + IDC_CYCLE_LIST, font_);
    c[IDC_TIME_LABEL] = makeControl(window_, WC_STATICW, texts_.GetText(text::MSG_SAMPLING_TIME),
                                    SS_LEFT, idBase + IDC_TIME_LABEL, font_);
    c[IDC_TIME_LIST] = makeControl(window_, WC_COMBOBOXW, "",
                                   CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                                   idBase + IDC_TIME_LIST, font_);
    // The run buttons carry their names as window texts, for tools that read them; they are
    // drawn as pictures.
    c[IDC_START] = makeControl(window_, WC_BUTTONW, texts_.GetText(text::BTN_START_NAME),
                               BS_OWNERDRAW | WS_TABSTOP, idBase + IDC_START, font_);
    c[IDC_STOP] = makeControl(window_, WC_BUTTONW, texts_.GetText(text::BTN_STOP_NAME),
                              BS_OWNERDRAW | WS_TABSTOP, idBase + IDC_STOP, font_);
    addToolTip(c[IDC_START], texts_.GetText(text::BTN_START_TOOLTIP));
    addToolTip(c[IDC_STOP], texts_.GetText(text::BTN_STOP_TOOLTIP));
}

void MainWindow::addToolTip(HWND control, const std::string& text) {
    if (!toolTips_)
        toolTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    std::wstring wide = toWide(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(control);
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = wide.data();
    // A control's tip is replaced whole; an empty text leaves it none.
    SendMessageW(toolTips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!wide.empty())
        SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::buildMenu() {
    const auto add = [](HMENU menu, UINT id, TextId caption, const LanguageCatalogue& texts) {
        AppendMenuW(menu, MF_STRING, id, toWide(texts.GetText(caption)).c_str());
    };
    const auto addMenu = [](HMENU parent, HMENU menu, TextId caption,
                            const LanguageCatalogue& texts) {
        AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(menu),
                    toWide(texts.GetText(caption)).c_str());
    };
    menuBar_ = CreateMenu();
    fileMenu_ = CreatePopupMenu();
    add(fileMenu_, IDM_CSV_SAVE, text::MNU_TITLE_FILE_CSV_SAVE, texts_);
    add(fileMenu_, IDM_IMAGE_SAVE, text::MNU_TITLE_FILE_IMAGE_SAVE, texts_);
    add(fileMenu_, IDM_IMAGE_CAPTURE, text::MNU_TITLE_FILE_IMAGE_CAPTURE, texts_);
    add(fileMenu_, IDM_CSV_READ, text::MNU_TITLE_FILE_CSV_READ, texts_);
    add(fileMenu_, IDM_UNSAVED, text::MNU_TITLE_FILE_UNSAVED, texts_);
    settingMenu_ = CreatePopupMenu();
    controllerMenu_ = CreatePopupMenu();
    colorMenu_ = CreatePopupMenu();
    addMenu(settingMenu_, controllerMenu_, text::MNU_TITLE_SETTING_CONTROLLER, texts_);
    addMenu(settingMenu_, colorMenu_, text::MNU_TITLE_SETTING_COLOR, texts_);
    helpMenu_ = CreatePopupMenu();
    add(helpMenu_, IDM_VERSION, text::MNU_TITLE_HELP_VERSION, texts_);
    addMenu(menuBar_, fileMenu_, text::MNU_TITLE_FILE, texts_);
    addMenu(menuBar_, settingMenu_, text::MNU_TITLE_SETTING, texts_);
    addMenu(menuBar_, helpMenu_, text::MNU_TITLE_HELP, texts_);
    SetMenu(window_, menuBar_);
}

void MainWindow::layOut() {
    RECT client;
    if (!window_ || !GetClientRect(window_, &client))
        return;
    const UINT dpi = GetDpiForWindow(window_);
    const Placer place{dpi ? int(dpi) : 96};
    // The client's size in 96-dpi pixels, as every size below.
    const int width = MulDiv(client.right, 96, place.dpi);
    const int height = MulDiv(client.bottom, 96, place.dpi);
    place(switchButton_, kMargin, kMargin, kSwitchWidth, kSwitchHeight);

    // Both monitors' sampling controls share one place at the top right; one set is shown.
    const int runX = width - kMargin - kRunGroupWidth;
    const int samplingX = runX - kMargin - kSamplingGroupWidth;
    const int top = 2;
    for (const SamplingControls& s : sampling_) {
        place(s.at(IDC_SAMPLING_GROUP), samplingX, top, kSamplingGroupWidth, kGroupHeight);
        place(s.at(IDC_CYCLE_LABEL), samplingX + 10, top + 24, 120, 20);
        place(s.at(IDC_CYCLE_LIST), samplingX + 132, top + 20, 94, 240);
        place(s.at(IDC_TIME_LABEL), samplingX + 10, top + 56, 120, 20);
        place(s.at(IDC_TIME_LIST), samplingX + 132, top + 52, 94, 240);
        place(s.at(IDC_RUN_GROUP), runX, top, kRunGroupWidth, kGroupHeight);
        place(s.at(IDC_START), runX + kMargin, top + 16, kRunSide, kRunSide);
        place(s.at(IDC_STOP), runX + 2 * kMargin + kRunSide, top + 16, kRunSide, kRunSide);
    }

    // The progress area between the switch and the sampling controls.
    const int progressX = 2 * kMargin + kSwitchWidth;
    const int progressWidth = samplingX - kMargin - progressX;
    place(progressBar_, progressX, 16, progressWidth - kPercentWidth - 4, 20);
    place(percentLabel_, progressX + progressWidth - kPercentWidth, 18, kPercentWidth, 20);
    place(stateLabel_, progressX, 44, progressWidth, 20);

    const int pageTop = kTopRowHeight + kMargin;
    for (HWND page : {dataPane_.window(), ioPane_.window()})
        place(page, kMargin, pageTop, width - 2 * kMargin, height - pageTop - kMargin);
    InvalidateRect(window_, nullptr, TRUE);
}

}  // namespace kestiva
