#pragma once
// The Windows shell's table of calls to the window thread (see recording/HostInterfaces.h): a
// call is posted as a message to a message-only window of the window thread, which every
// message loop of that thread (the main loop, dialogs, message boxes, menus) dispatches. A
// waiting caller waits on an event that the window thread sets once the call has run. Once
// the window is gone, calls are dropped and a waiting caller is let go at once.

#include <windows.h>

#include <mutex>

#include "recording/HostInterfaces.h"

namespace kestiva {

class Win32WindowThread final : public WindowThread {
public:
    // Made on the window thread, which it then stands for.
    Win32WindowThread();
    // On the window thread: calls still queued are dropped and their waiters let go.
    ~Win32WindowThread() override;
    Win32WindowThread(const Win32WindowThread&) = delete;
    Win32WindowThread& operator=(const Win32WindowThread&) = delete;

    bool onWindowThread() const override;
    void processEvents() override;
    void post(std::function<void()> call) override;
    void postAndWait(std::function<void()> call) override;

private:
    struct Call;
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // False when the window is gone (the call is then dropped and its waiter let go).
    bool send(Call* call);
    void dropQueuedCalls(HWND window);

    DWORD threadId_;
    // Read by posting threads, cleared once on the window thread; the lock keeps a post from
    // landing between the last look at the queue and the window's end.
    std::mutex postLock_;
    HWND window_ = nullptr;
};

}  // namespace kestiva
