#include "win32/MainWindow.h"

#include <commctrl.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "window/KeyChord.h"
#include "win32/AboutDialog.h"
#include "win32/DialogSupport.h"
#include "win32/OwnedWindow.h"
#include "win32/Resource.h"
#include "win32/RunButton.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {

constexpr wchar_t kClassName[] = L"KestivaMainWindow";
// The window's timers: the reset after an operation, the progress bar, the live view.
constexpr UINT_PTR kResetTimer = 10001;
constexpr UINT_PTR kProgressTimer = 10002;
constexpr UINT_PTR kLiveTimer = 10003;

UINT_PTR timerId(MainTimer timer) {
    return timer == MainTimer::Progress ? kProgressTimer : kResetTimer;
}
// At least 20 refreshes a second, with room for a late timer on a busy machine.
constexpr UINT kLiveMilliseconds = 40;

}  // namespace

MainWindow::MainWindow(Session& session, WindowBridge& bridge, ComSettingMemory& memory)
    : session_(session),
      bridge_(bridge),
      comSettingMemory_(memory),
      texts_(session.texts()),
      dataPane_(session.texts()),
      ioPane_(session.texts()),
      model_(session.state(), session.config(), session.texts(), *this) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &ownedWindowProcedure<MainWindow>;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, kClassName, toWide(texts_.GetText(text::APP_TITLE)).c_str(),
                              WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              kInitialWidth, kInitialHeight, nullptr, nullptr,
                              windowClass.hInstance, this);
    setProgramIcon(window_);
    if (const UINT dpi = GetDpiForWindow(window_); dpi != 96 && dpi != 0)
        SetWindowPos(window_, nullptr, 0, 0, MulDiv(kInitialWidth, int(dpi), 96),
                     MulDiv(kInitialHeight, int(dpi), 96), SWP_NOMOVE | SWP_NOZORDER);
    buildControls();
    buildMenu();
    model_.initialise();
    layOut();
    bridge_.setMessageOwner(window_);
    bridge_.setTargets(&model_, this);
}

MainWindow::~MainWindow() {
    // A window closed another way than by its close still lets a file operation end, answering
    // what it asks of the window meanwhile.
    while (session_.fileOperationRunning() && !session_.finishFileOperation()) {
        bridge_.windowThread().processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    bridge_.setTargets(nullptr, nullptr);
    bridge_.setMessageOwner(nullptr);
    if (IsWindow(window_))
        DestroyWindow(window_);
    if (font_)
        DeleteObject(font_);
}

void MainWindow::run() {
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    // Asked from the message loop, once the window is on the screen.
    PostMessageW(window_, kOfferUnsaved, 0, 0);
    DumpChord chord;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        const bool key = message.message == WM_KEYDOWN || message.message == WM_KEYUP ||
                         message.message == WM_SYSKEYDOWN || message.message == WM_SYSKEYUP;
        if (key && GetAncestor(message.hwnd, GA_ROOT) == window_) {
            const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
            const auto k = message.wParam;
            if (k == VK_CONTROL)
                chord.note(ChordKey::Control, down);
            else if (k == VK_SHIFT)
                chord.note(ChordKey::Shift, down);
            else if (k == VK_F1) {
                chord.note(ChordKey::F1, down);
                const bool repeat = (message.lParam & (1L << 30)) != 0;
                const ChordModifiers held{GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0};
                if (down && !repeat && chord.complete(held))
                    writeReceiveDump();
            }
        }
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// --- The model's view -------------------------------------------------------------------------

HWND MainWindow::control(MainControl which) const {
    const auto& data = sampling_[kDataMonitor];
    const auto& io = sampling_[kIoMonitor];
    switch (which) {
        case MainControl::MonitorSwitchButton: return switchButton_;
        case MainControl::DataPage: return dataPane_.window();
        case MainControl::IoPage: return ioPane_.window();
        case MainControl::DataCycleList: return data.at(IDC_CYCLE_LIST);
        case MainControl::DataTimeList: return data.at(IDC_TIME_LIST);
        case MainControl::DataStartButton: return data.at(IDC_START);
        case MainControl::DataStopButton: return data.at(IDC_STOP);
        case MainControl::IoCycleList: return io.at(IDC_CYCLE_LIST);
        case MainControl::IoTimeList: return io.at(IDC_TIME_LIST);
        case MainControl::IoStartButton: return io.at(IDC_START);
        case MainControl::IoStopButton: return io.at(IDC_STOP);
        case MainControl::ProgressBar: return progressBar_;
        case MainControl::PercentLabel: return percentLabel_;
        case MainControl::StateLabel: return stateLabel_;
        default: return nullptr;  // menus, and the groups, which setVisible handles
    }
}

void MainWindow::setEnabled(MainControl which, bool enabled) {
    const UINT state = enabled ? MF_ENABLED : MF_GRAYED;
    switch (which) {
        case MainControl::FileMenu:
        case MainControl::SettingMenu:
        case MainControl::HelpMenu:
            EnableMenuItem(menuBar_, UINT(int(which) - int(MainControl::FileMenu)),
                           MF_BYPOSITION | state);
            DrawMenuBar(window_);
            return;
        case MainControl::CsvSaveAction:
            EnableMenuItem(fileMenu_, IDM_CSV_SAVE, MF_BYCOMMAND | state);
            return;
        case MainControl::ControllerMenu:
        case MainControl::ColorMenu:
            EnableMenuItem(settingMenu_, which == MainControl::ControllerMenu ? 0 : 1,
                           MF_BYPOSITION | state);
            return;
        case MainControl::UnsavedRecordingsAction:
            EnableMenuItem(fileMenu_, IDM_UNSAVED, MF_BYCOMMAND | state);
            return;
        default:
            break;
    }
    if (HWND window = control(which))
        EnableWindow(window, enabled);
}

void MainWindow::setVisible(MainControl which, bool visible) {
    const int show = visible ? SW_SHOW : SW_HIDE;
    if (which == MainControl::DataSamplingControls || which == MainControl::IoSamplingControls) {
        const auto& controls =
            sampling_[which == MainControl::DataSamplingControls ? kDataMonitor : kIoMonitor];
        for (HWND window : controls.controls)
            ShowWindow(window, show);
        return;
    }
    if (HWND window = control(which))
        ShowWindow(window, show);
}

void MainWindow::setText(MainControl which, const std::string& text) {
    if (HWND window = control(which))
        kestiva::setText(window, text);
}

void MainWindow::setValue(MainControl which, int value) {
    if (HWND window = control(which))
        SendMessageW(window, PBM_SETPOS, WPARAM(value), 0);
}

void MainWindow::setItems(MainControl which, const std::vector<std::string>& items) {
    HWND list = control(which);
    if (!list)
        return;
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
    if (!items.empty())
        SendMessageW(list, CB_SETCURSEL, 0, 0);
}

void MainWindow::setMenu(MainControl which, const std::vector<std::string>& items, int checked) {
    const bool controllers = which == MainControl::ControllerMenu;
    HMENU menu = controllers ? controllerMenu_ : colorMenu_;
    const UINT base = controllers ? IDM_CONTROLLER_BASE : IDM_COLOR_BASE;
    while (GetMenuItemCount(menu) > 0)
        DeleteMenu(menu, 0, MF_BYPOSITION);
    for (std::size_t slot = 0; slot < items.size() && slot < IDM_SUBMENU_ITEMS; ++slot) {
        const UINT checkedFlag = int(slot) == checked ? MF_CHECKED : MF_UNCHECKED;
        AppendMenuW(menu, MF_STRING | checkedFlag, base + slot, toWide(items[slot]).c_str());
    }
}

void MainWindow::showPage(MonitorKind monitor) {
    ShowWindow(dataPane_.window(), monitor == kDataMonitor ? SW_SHOW : SW_HIDE);
    ShowWindow(ioPane_.window(), monitor == kIoMonitor ? SW_SHOW : SW_HIDE);
}

void MainWindow::applyColorTable(MonitorKind monitor, const ColorTable& colors) {
    if (monitor == kDataMonitor)
        dataPane_.applyColorTable(colors);
    else
        ioPane_.applyColorTable(colors);
}

void MainWindow::takeFocus() { SetFocus(window_); }

// --- Start, Stop and the live view ------------------------------------------------------------

void MainWindow::start() {
    const std::time_t now = std::time(nullptr);
    const SamplingControls& s = sampling_[std::size_t(shownMonitor())];
    const StartRequest request =
        model_.startRequest(getText(s.at(IDC_CYCLE_LIST)), getText(s.at(IDC_TIME_LIST)));
    HWND window = window_;
    const StartResult started = session_.startRecording(
        request.controller, request.cycle, request.time, now,
        [window] { PostMessageW(window, kRecordingFinished, 0, 0); });
    if (started == StartResult::Ok && session_.live().active()) {
        const LiveRecording& live = session_.live();
        if (live.monitor() == kDataMonitor)
            dataPane_.beginLive(live.record(), live.cycle(), request.time, live.plannedSamples());
        else
            ioPane_.beginLive(live.record(), live.cycle(), request.time, live.plannedSamples());
        liveRunning_ = true;
        SetTimer(window_, kLiveTimer, kLiveMilliseconds, nullptr);
    }
    // A refused start has cleared the page all the same: CSV save goes with what it holds now.
    model_.followSavableFlag();
}

void MainWindow::liveTick() {
    if (!liveRunning_ || session_.pollLive() == 0)
        return;
    const LiveRecording& live = session_.live();
    uint32_t lastTime = 0;
    for (const LiveSample sample : live.newSamples()) {
        if (live.monitor() == kDataMonitor)
            dataPane_.appendLive(sample.valid, sample.plotted);
        else
            ioPane_.appendLive(sample.valid, sample.levels);
        lastTime = sample.timeMs;
    }
    if (live.monitor() == kDataMonitor)
        dataPane_.showLatest(lastTime);
    else
        ioPane_.showLatest(lastTime);
}

void MainWindow::onRecordingFinished() {
    // A page the final pass neither loaded nor cleared shows no half picture afterwards.
    if (liveRunning_) {
        liveRunning_ = false;
        KillTimer(window_, kLiveTimer);
        clearPane(session_.live().monitor());
    }
    session_.endRecording();
    model_.followSavableFlag();
    if (const std::optional<std::string> problem = session_.takeJournalProblem())
        bridge_.showMessage(texts_.GetText(text::MSG_ALARM_TITLE), *problem,
                            MessageIcon::Warning);
}

void MainWindow::stop() {
    session_.requestStop();
    model_.stopPressed();
}

// --- Busy and idle ----------------------------------------------------------------------------

void MainWindow::armTimer(MainTimer timer, int milliseconds) {
    SetTimer(window_, timerId(timer), UINT(milliseconds), nullptr);
}
void MainWindow::disarmTimer(MainTimer timer) { KillTimer(window_, timerId(timer)); }
void MainWindow::pumpMessages() { bridge_.windowThread().processEvents(); }

// --- Pages ------------------------------------------------------------------------------------

// The final pass replaces the live picture: the live view ends before it touches the page.
void MainWindow::clearPage(MonitorKind monitor) {
    liveRunning_ = false;
    KillTimer(window_, kLiveTimer);
    clearPane(monitor);
}

void MainWindow::clearPane(MonitorKind monitor) {
    if (monitor == kDataMonitor)
        dataPane_.clear();
    else
        ioPane_.clear();
}

void MainWindow::loadRecording(MonitorKind monitor) {
    liveRunning_ = false;
    KillTimer(window_, kLiveTimer);
    if (monitor == kDataMonitor)
        dataPane_.loadRecording(session_.page(kDataMonitor));
    else
        ioPane_.loadRecording(session_.page(kIoMonitor));
}

void MainWindow::enableEntry(MonitorKind monitor) {
    if (monitor == kDataMonitor)
        dataPane_.enableEntry();
    else
        ioPane_.enableEntry();
}

void MainWindow::repaint() {
    RedrawWindow(pageWindow(shownMonitor()), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

// --- Commands, dump, version, close -----------------------------------------------------------

void MainWindow::command(int id, int notification) {
    if (id >= IDM_CONTROLLER_BASE && id < IDM_CONTROLLER_BASE + IDM_SUBMENU_ITEMS) {
        model_.chooseController(id - IDM_CONTROLLER_BASE);
        return;
    }
    if (id >= IDM_COLOR_BASE && id < IDM_COLOR_BASE + IDM_SUBMENU_ITEMS) {
        model_.chooseColorTable(id - IDM_COLOR_BASE);
        return;
    }
    const int sampling = id - (id >= IDC_IO_SAMPLING ? IDC_IO_SAMPLING : IDC_DATA_SAMPLING);
    const bool samplingButton =
        id >= IDC_DATA_SAMPLING && id < IDC_IO_SAMPLING + 8 && notification == BN_CLICKED;
    if (samplingButton && sampling == IDC_START)
        return start();
    if (samplingButton && sampling == IDC_STOP)
        return stop();
    switch (id) {
        case IDC_MONITOR_SWITCH:
            if (notification == BN_CLICKED)
                model_.switchMonitor();
            return;
        case IDM_CSV_SAVE: return saveCsv();
        case IDM_CSV_READ: return readCsv();
        case IDM_IMAGE_SAVE: return saveImage();
        case IDM_IMAGE_CAPTURE: return captureImage();
        case IDM_UNSAVED: return showUnsavedRecordings();
        case IDM_VERSION: return showVersion();
    }
}

void MainWindow::writeReceiveDump() {
    // A restore on the file worker is filling the capture buffer the dump would read.
    if (!session_.fileOperationRunning())
        session_.writeReceiveDumpIntoDumpFolder(bridge_);
}

void MainWindow::showVersion() { showAbout(window_, texts_); }

void MainWindow::close() {
    // A running operation ends first: a recording is asked to stop, and the window keeps
    // answering its messages until the operation and its reset timer have returned it to idle.
    if (closing_)
        return;
    closing_ = true;
    const auto idle = [this] {
        return session_.state().phase() == ProgressPhase::Idle &&
               !session_.fileOperationRunning() && !session_.recordingRunning();
    };
    if (session_.state().phase() == ProgressPhase::Recording)
        session_.requestStop();
    while (!idle()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        bridge_.windowThread().processEvents();
    }
    liveRunning_ = false;
    session_.closeCheckPort();
    DestroyWindow(window_);
}

void MainWindow::eraseBackground(HDC dc) {
    // Everything but the shown page, which covers its own pixels: the graph never flickers,
    // and group boxes, which leave their inside to the window, get the window's face.
    RECT client;
    GetClientRect(window_, &client);
    HWND graph = pageWindow(shownMonitor());
    if (graph && IsWindowVisible(graph)) {
        RECT area;
        GetWindowRect(graph, &area);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
        ExcludeClipRect(dc, area.left, area.top, area.right, area.bottom);
    }
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE: layOut(); return 0;
        case WM_DPICHANGED: {
            // Moved to a monitor of another density: the size Windows suggests, then the
            // font and the controls at the new scale.
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            makeFont();
            layOut();
            return 0;
        }
        case WM_ERASEBKGND: eraseBackground(reinterpret_cast<HDC>(wParam)); return 1;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Labels and group boxes on the window's own face.
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_COMMAND: command(LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_MOUSEWHEEL:
            // The wheel goes to the focus: with it on the window's own controls, the page
            // under the mouse still zooms.
            return SendMessageW(pageWindow(shownMonitor()), message, wParam, lParam);
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            const int base = int(item.CtlID) >= IDC_IO_SAMPLING ? IDC_IO_SAMPLING : IDC_DATA_SAMPLING;
            drawRunButton(item, int(item.CtlID) - base == IDC_START);
            return TRUE;
        }
        case WM_TIMER:
            if (wParam == kResetTimer)
                model_.timerExpired(MainTimer::Reset);
            else if (wParam == kProgressTimer)
                model_.timerExpired(MainTimer::Progress);
            else if (wParam == kLiveTimer)
                liveTick();
            return 0;
        case kRecordingFinished: onRecordingFinished(); return 0;
        case kFileOperationFinished: onFileOperationFinished(); return 0;
        case kOfferUnsaved: offerUnsavedRecording(); return 0;
        case WM_CLOSE: close(); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace kestiva
