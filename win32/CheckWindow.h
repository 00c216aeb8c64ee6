#pragma once
// The communication check's window: the state of the search, a bar with its percent, and
// Cancel. The check runs on the session's worker; what it reports reaches the controls through
// the core's marshalling over a window-thread table of this window's own, so that nothing
// posted by the worker outlives the window. The owner is disabled while the window is up.

#include <windows.h>

#include <optional>

#include "session/Session.h"
#include "session/WindowMarshal.h"
#include "win32/Win32WindowThread.h"

namespace kestiva {

class CheckWindow final : public CheckProgress {
public:
    // The session's check port must be open.
    CheckWindow(Session& session, CheckChoice choice, HWND owner);
    ~CheckWindow() override;
    CheckWindow(const CheckWindow&) = delete;
    CheckWindow& operator=(const CheckWindow&) = delete;

    // Starts the check and shows the window until the check has ended; nullopt when no
    // worker could be started.
    std::optional<CheckOutcome> run();

    // The check's progress, on the window thread.
    void setStateText(const std::string& text) override;
    void setPercent(int percent) override;
    // The window goes before the result's message shows; the worker waits for it.
    void finish() override;

private:
    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void cancel();

    Session& session_;
    CheckChoice choice_;
    HWND owner_;
    HWND dialog_ = nullptr;
    bool ended_ = false;
    std::optional<CheckOutcome> outcome_;
    Win32WindowThread windowThread_;
    MarshalledCheckProgress workerProgress_{windowThread_, this};
};

}  // namespace kestiva
