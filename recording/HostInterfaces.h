#pragma once
// How core code reaches whoever shows its work: the main window (carrying each call to the
// window thread), the companion command's terminal, or a test's recorder. Split by need, so
// that a part depends only on what it calls.

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

}  // namespace kestiva
