#include "tools/cli/Interrupt.h"

#include <windows.h>

#include <atomic>

namespace kestiva::cli {

namespace {

// Written by the console's own handler thread, read by the command's main thread.
std::atomic<bool> interruptFlag{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    // The second press goes on to the default handler, which ends the program: a user who
    // presses again wants out now.
    return interruptFlag.exchange(true) ? FALSE : TRUE;
}

}  // namespace

void watchInterrupt() {
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool interrupted() {
    return interruptFlag.load();
}

}  // namespace kestiva::cli
