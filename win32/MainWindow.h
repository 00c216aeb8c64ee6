#pragma once
// The program's one top-level window.

#include <windows.h>

#include "session/Session.h"
#include "window/ComSettingModel.h"
#include "win32/WindowBridge.h"

namespace kestiva {

class MainWindow final {
public:
    MainWindow(Session& session, WindowBridge& bridge, ComSettingMemory& comSettingMemory);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Shows the window and runs its message loop until it has been closed.
    void run();

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Session& session_;
    WindowBridge& bridge_;
    ComSettingMemory& comSettingMemory_;
    HWND window_ = nullptr;
};

}  // namespace kestiva
