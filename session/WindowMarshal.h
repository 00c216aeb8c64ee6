#pragma once
// The core's one way to the window thread: WindowHost and CheckProgress carried over the
// WindowThread calls a front end supplies, by the rules written in recording/HostInterfaces.h
// (blocking calls, posted calls, direct calls on the window thread, gone targets).
//
// The targets are the front end's own objects, called on the window thread only. They are set
// and cleared on the window thread; a call already posted when its target is cleared finds
// none and is dropped.

#include <functional>

#include "recording/HostInterfaces.h"

namespace kestiva {

// Runs call on the window thread: at once when already there, else posted (wait false) or
// posted and waited for (wait true).
void runOnWindowThread(WindowThread& thread, std::function<void()> call, bool wait);

class MarshalledWindow : public WindowHost {
public:
    explicit MarshalledWindow(WindowThread& thread) : thread_(thread) {}

    // Where message boxes go (none: dropped, as nothing could show them).
    void setMessageTarget(MessageHost* messages) { messages_ = messages; }
    // Where progress and page calls go: the main window once it exists; before that they are
    // dropped.
    void setTargets(ProgressHost* progress, PageHost* pages) {
        progress_ = progress;
        pages_ = pages;
    }

    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;
    void showProgress() override;
    void pumpMessages() override;
    void setControlsEnabled(bool enabled) override;
    void setPhaseText(const std::string& text) override;
    void startResetTimer(int milliseconds) override;
    void stopResetTimer() override;
    void stopProgressTimer() override;
    void clearPage(MonitorKind monitor) override;
    void loadRecording(MonitorKind monitor) override;
    void enableEntry(MonitorKind monitor) override;
    void repaint() override;

private:
    void toProgress(std::function<void(ProgressHost&)> call);
    void toPages(std::function<void(PageHost&)> call, bool wait);

    WindowThread& thread_;
    MessageHost* messages_ = nullptr;
    ProgressHost* progress_ = nullptr;
    PageHost* pages_ = nullptr;
};

// The check's progress display, reached from the check's worker.
class MarshalledCheckProgress final : public CheckProgress {
public:
    MarshalledCheckProgress(WindowThread& thread, CheckProgress* target)
        : thread_(thread), target_(target) {}
    // None: later calls are dropped.
    void setTarget(CheckProgress* target) { target_ = target; }

    void setStateText(const std::string& text) override;
    void setPercent(int percent) override;
    void finish() override;

private:
    WindowThread& thread_;
    CheckProgress* target_;
};

}  // namespace kestiva
