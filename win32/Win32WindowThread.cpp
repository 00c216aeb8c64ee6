#include "win32/Win32WindowThread.h"

#include <mutex>

namespace kestiva {

namespace {

constexpr UINT kRunCall = WM_APP + 1;
constexpr wchar_t kClassName[] = L"KestivaWindowThread";

}  // namespace

struct Win32WindowThread::Call {
    std::function<void()> function;
    HANDLE done = nullptr;  // set once the call has run or been dropped; none for a post
};

Win32WindowThread::Win32WindowThread() : threadId_(GetCurrentThreadId()) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Win32WindowThread::procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // a second thread object finds the class registered
    window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
}

Win32WindowThread::~Win32WindowThread() {
    HWND window = nullptr;
    {
        // No call is posted after this: every later one is dropped where it is made.
        std::lock_guard lock(postLock_);
        window = window_;
        window_ = nullptr;
    }
    // Destroying the window would discard its queued messages with their waiters still
    // waiting: take them out first.
    dropQueuedCalls(window);
    if (window)
        DestroyWindow(window);
}

bool Win32WindowThread::onWindowThread() const { return GetCurrentThreadId() == threadId_; }

void Win32WindowThread::processEvents() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The main loop ends on it: put it back for the loop to see.
            PostQuitMessage(int(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32WindowThread::post(std::function<void()> call) {
    send(new Call{std::move(call)});
}

void Win32WindowThread::postAndWait(std::function<void()> call) {
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done)
        return;
    if (send(new Call{std::move(call), done}))
        WaitForSingleObject(done, INFINITE);
    CloseHandle(done);
}

bool Win32WindowThread::send(Call* call) {
    {
        std::lock_guard lock(postLock_);
        if (window_ && PostMessageW(window_, kRunCall, 0, reinterpret_cast<LPARAM>(call)))
            return true;
    }
    delete call;
    return false;
}

void Win32WindowThread::dropQueuedCalls(HWND window) {
    MSG message;
    while (window && PeekMessageW(&message, window, kRunCall, kRunCall, PM_REMOVE)) {
        auto* call = reinterpret_cast<Call*>(message.lParam);
        HANDLE done = call->done;
        delete call;
        if (done)
            SetEvent(done);
    }
}

LRESULT CALLBACK Win32WindowThread::procedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    if (message != kRunCall)
        return DefWindowProcW(window, message, wParam, lParam);
    auto* call = reinterpret_cast<Call*>(lParam);
    call->function();
    // The waiter owns the event and closes it once woken: read it before letting go.
    HANDLE done = call->done;
    delete call;
    if (done)
        SetEvent(done);
    return 0;
}

}  // namespace kestiva
