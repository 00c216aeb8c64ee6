#pragma once
// Hosts that show nothing: for tests and benchmarks that need none of the window, and as the
// base of the terminal's window, which has nothing to show for pages, timers and repaints.
// Each call may be overridden where something is wanted after all.

#include "recording/HostInterfaces.h"

namespace kestiva {

class EmptyWindow : public WindowHost {
public:
    void showMessage(const std::string&, const std::string&, MessageIcon) override {}
    void showProgress() override {}
    void pumpMessages() override {}
    void setControlsEnabled(bool) override {}
    void setPhaseText(const std::string&) override {}
    void startResetTimer(int) override {}
    void stopResetTimer() override {}
    void stopProgressTimer() override {}
    void clearPage(MonitorKind) override {}
    void loadRecording(MonitorKind) override {}
    void enableEntry(MonitorKind) override {}
    void repaint() override {}
};

class EmptyCheckProgress : public CheckProgress {
public:
    void setStateText(const std::string&) override {}
    void setPercent(int) override {}
};

}  // namespace kestiva
