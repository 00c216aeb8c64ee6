#pragma once
// The window as the core sees it: the core's marshalling (session/WindowMarshal.h) over the
// Windows shell's calls to the window thread, with message boxes owned by the window that is
// up (the settings at start-up, then the main window). The bridge lives as long as the session
// that calls it, and is made on the window thread.

#include <windows.h>

#include "session/WindowMarshal.h"
#include "win32/Win32WindowThread.h"

namespace kestiva {

class WindowBridge final : public MarshalledWindow {
public:
    WindowBridge();

    // The window that owns the message boxes; none gives boxes without an owner.
    void setMessageOwner(HWND owner) { boxes_.owner = owner; }
    HWND messageOwner() const { return boxes_.owner; }
    WindowThread& windowThread() { return thread_; }

private:
    struct MessageBoxes final : MessageHost {
        void showMessage(const std::string& caption, const std::string& text,
                         MessageIcon icon) override;
        HWND owner = nullptr;
    };

    Win32WindowThread thread_;
    MessageBoxes boxes_;
};

}  // namespace kestiva
