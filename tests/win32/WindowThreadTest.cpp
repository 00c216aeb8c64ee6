// The Windows shell's way to its window thread, under Wine: calls posted from workers run on
// the window thread in the order they were made, a waiting caller is held until its call has
// run, a call made on the window thread runs at once, and a window thread that goes drops
// what is still queued and lets its waiters go. Also the UTF-8 and UTF-16 conversions that
// every Windows call of the shell goes through.

#include "win32/Win32WindowThread.h"
#include "win32/WideText.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "session/WindowMarshal.h"

namespace kestiva {
namespace {

// Pumps the window thread's messages until done() or the deadline; false at the deadline.
template <typename Done>
bool pumpUntil(Win32WindowThread& thread, Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        thread.processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

TEST(Win32WindowThread, CallsFromWorkersRunOnTheWindowThreadInOrderAndWaitersAreHeld) {
    Win32WindowThread thread;
    const DWORD windowThreadId = GetCurrentThreadId();
    std::vector<int> order;
    std::vector<DWORD> ranOn;
    std::atomic<bool> waiterReturned = false;
    std::atomic<bool> waitedCallRan = false;
    bool heldUntilRun = true;

    std::thread worker([&] {
        EXPECT_FALSE(thread.onWindowThread());
        for (int i = 0; i < 3; ++i)
            runOnWindowThread(thread, [&, i] {
                order.push_back(i);
                ranOn.push_back(GetCurrentThreadId());
            }, false);
        runOnWindowThread(thread, [&] {
            order.push_back(3);
            ranOn.push_back(GetCurrentThreadId());
            // The waiter is still held while its call runs.
            heldUntilRun = !waiterReturned.load();
            waitedCallRan = true;
        }, true);
        waiterReturned = true;
    });
    ASSERT_TRUE(pumpUntil(thread, [&] { return waiterReturned.load(); }));
    worker.join();

    EXPECT_TRUE(waitedCallRan);
    EXPECT_TRUE(heldUntilRun);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(ranOn, std::vector<DWORD>(4, windowThreadId));
}

TEST(Win32WindowThread, ACallMadeOnTheWindowThreadRunsAtOnceEvenWhenItWaits) {
    Win32WindowThread thread;
    EXPECT_TRUE(thread.onWindowThread());
    for (bool wait : {false, true}) {
        bool ran = false;
        runOnWindowThread(thread, [&] { ran = true; }, wait);
        EXPECT_TRUE(ran) << "wait " << wait;
    }
}

TEST(Win32WindowThread, AWindowThreadThatGoesDropsQueuedCallsAndLetsWaitersGo) {
    auto thread = std::make_unique<Win32WindowThread>();
    std::atomic<int> ran = 0;
    std::atomic<bool> posted = false;
    std::atomic<bool> waiterReturned = false;
    std::thread worker([&] {
        thread->post([&] { ++ran; });
        posted = true;
        thread->postAndWait([&] { ++ran; });
        waiterReturned = true;
    });
    // The window thread never pumps: both calls stay queued until it goes.
    while (!posted)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(waiterReturned);
    thread.reset();
    worker.join();
    EXPECT_TRUE(waiterReturned);
    EXPECT_EQ(ran, 0);
}

TEST(Win32WindowThread, PumpingLeavesTheQuitMessageForTheMainLoop) {
    Win32WindowThread thread;
    bool ran = false;
    thread.post([&] { ran = true; });
    PostQuitMessage(7);
    thread.processEvents();
    EXPECT_TRUE(ran);
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
}

TEST(WideText, ConvertsBetweenUtf8AndUtf16) {
    struct Case {
        std::string utf8;
        std::wstring utf16;
    };
    const std::vector<Case> cases = {
        {"", L""},
        {"COM1", L"COM1"},
        {"Δt [s]", L"\u0394t [s]"},
        {"\xE2\x82\xAC 5", L"\u20AC 5"},
        {"Line\r\nNext", L"Line\r\nNext"},
        {"\xF0\x9F\x93\x88", L"\U0001F4C8"},  // beyond 16 bits: a surrogate pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toWide(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(toUtf8(c.utf16), c.utf8) << c.utf8;
    }
    // Broken UTF-8 still shows what it can, the broken byte as U+FFFD.
    EXPECT_EQ(toWide("a\xFF" "b"), L"a\uFFFDb");
}

}  // namespace
}  // namespace kestiva
