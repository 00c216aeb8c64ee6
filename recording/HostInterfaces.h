#pragma once
// How core code reaches whoever shows its work: the main window (carrying each call to the
// window thread), the companion command's terminal, or a test's recorder. Split by need, so
// that a part depends only on what it calls.
//
// Threads. The core calls these from its workers (check, recording, file operations) as well
// as from the front end's own thread, the window thread. A front end whose widgets may be
// touched on one thread only does not marshal each call itself: it supplies the four calls of
// WindowThread below, and the core's MarshalledWindow and MarshalledCheckProgress
// (session/WindowMarshal.h) carry every call over them by these rules:
//   - Called on the window thread, every call runs at once, in the caller. A blocking call
//     must: posting it and waiting would wait for the very thread that waits.
//   - Called on a worker, these block until the window thread has run them:
//       MessageHost::showMessage (until the user has closed the box),
//       PageHost::clearPage, loadRecording, enableEntry (the worker goes on to change the
//       page's tables only after the page has let go of them, and reads them again only
//       after the page has taken what it shows),
//       CheckProgress::finish (the progress display is gone before the check's message).
//     Every other call is posted and returns at once; posted calls run in the order they
//     were made, and before any later blocking call of the same worker.
//   - ProgressHost::pumpMessages processes the window's pending events on the window thread
//     and does nothing on a worker. The recording worker calls it every cycle, the decoding
//     and file passes every few milliseconds, so that a long operation run on the window
//     thread (the terminal, tests) still lets the window answer.
//   - A call whose target has gone (the window closed, the check's window ended) is dropped;
//     a blocking call to a gone target returns at once, as if the user had answered at once.
//     None of the calls returns a value, so the caller sees nothing else of it.
// A front end without a window thread of its own (the terminal) implements the hosts
// directly and makes every entry point thread-safe instead.

#include <functional>
#include <string>

#include "settings/SamplingConfig.h"

namespace kestiva {

enum class MessageIcon { Error, Information, Warning };

// A modal message box. Holds the calling thread until the user closes it.
class MessageHost {
public:
    virtual ~MessageHost() = default;
    virtual void showMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon) = 0;
};

// The progress area and the busy state of a long operation.
class ProgressHost {
public:
    virtual ~ProgressHost() = default;
    // Shows the progress controls with the state text of the current phase.
    virtual void showProgress() = 0;
    // Processes pending window events when called on the window thread; nothing on a worker.
    virtual void pumpMessages() = 0;
    // Enables or disables the window's controls while a long operation runs.
    virtual void setControlsEnabled(bool enabled) = 0;
    // The state text under the progress bar.
    virtual void setPhaseText(const std::string& text) = 0;
    // The reset timer: its expiry hides the progress controls and returns the window to idle.
    virtual void startResetTimer(int milliseconds) = 0;
    virtual void stopResetTimer() = 0;
    // The 100 ms timer that moves the progress bar.
    virtual void stopProgressTimer() = 0;
};

// The monitor pages.
class PageHost {
public:
    virtual ~PageHost() = default;
    virtual void clearPage(MonitorKind monitor) = 0;
    virtual void loadRecording(MonitorKind monitor) = 0;
    virtual void enableEntry(MonitorKind monitor) = 0;
    virtual void repaint() = 0;
};

// Everything at once, for the parts that run a whole operation from start to page.
class WindowHost : public MessageHost, public ProgressHost, public PageHost {};

// Where the communication check shows how far it has come: the progress dialog, or a
// terminal.
class CheckProgress {
public:
    virtual ~CheckProgress() = default;
    virtual void setStateText(const std::string& text) = 0;
    virtual void setPercent(int percent) = 0;
    // The check has its answer and is about to show it: the progress display goes first, so
    // that the message never stands on a window that still offers Cancel.
    virtual void finish() {}
};

// The table of calls a front end supplies so that the core can reach its window thread (see
// the rules above). All four may be called from any thread.
class WindowThread {
public:
    virtual ~WindowThread() = default;
    // True on the window thread.
    virtual bool onWindowThread() const = 0;
    // Processes the window's pending events now; called on the window thread only.
    virtual void processEvents() = 0;
    // Queues call to run on the window thread and returns at once.
    virtual void post(std::function<void()> call) = 0;
    // Queues call to run on the window thread and returns once it has run, or once it is
    // known that it never will (the window thread's receiver is gone). Never called on the
    // window thread itself.
    virtual void postAndWait(std::function<void()> call) = 0;
};

}  // namespace kestiva
