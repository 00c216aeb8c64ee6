#pragma once
// The one way core code reaches the window. The main window implements it (carrying each call
// to the window thread); tests implement it with a recorder.

#include <string>

namespace kestiva {

enum class MessageIcon { Error, Information, Warning };

class WindowPort {
public:
    virtual ~WindowPort() = default;

    // Shows the progress controls with the state text of the current progressPhase.
    virtual void showProgress() = 0;
    // Processes pending window events when called on the window thread; nothing on a worker.
    virtual void pumpMessages() = 0;
    // Enables or disables the window's controls while a long operation runs.
    virtual void setControlsEnabled(bool enabled) = 0;
    // A modal message box owned by the main window. Holds the calling thread until the user
    // closes it.
    virtual void showMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon) = 0;
    // The page operations of a monitor (0 data, 1 I/O).
    virtual void clearPage(int monitor) = 0;
    virtual void loadRecording(int monitor) = 0;
    virtual void enableEntry(int monitor) = 0;
    // The phase-text control under the progress bar.
    virtual void setPhaseText(const std::string& text) = 0;
    // The reset timer: its expiry returns the window to idle.
    virtual void startResetTimer(int milliseconds) = 0;
    // The progress timer, which refreshes the progress every 100 ms.
    virtual void stopProgressTimer() = 0;
    virtual void repaint() = 0;
};

}  // namespace kestiva
