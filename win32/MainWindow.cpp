#include "win32/MainWindow.h"

#include "win32/DialogSupport.h"
#include "win32/WideText.h"

namespace kestiva {

namespace {
constexpr wchar_t kClassName[] = L"KestivaMainWindow";
}

MainWindow::MainWindow(Session& session, WindowBridge& bridge, ComSettingMemory& memory)
    : session_(session), bridge_(bridge), comSettingMemory_(memory) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &MainWindow::procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
    window_ = CreateWindowExW(0, kClassName, toWide(session.texts().GetText(text::APP_TITLE)).c_str(),
                              WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 1024, 730,
                              nullptr, nullptr, windowClass.hInstance, this);
    setProgramIcon(window_);
}

MainWindow::~MainWindow() {
    if (IsWindow(window_))
        DestroyWindow(window_);
}

void MainWindow::run() {
    ShowWindow(window_, SW_SHOW);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace kestiva
