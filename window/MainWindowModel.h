#pragma once
// The main window's rules without a toolkit: which controls are enabled while idle or busy,
// the sampling lists, the Setting menu's controller and colour choices with their checks, the
// page switch, the progress area, and what Start asks the session for. A front end implements
// MainWindowView (a few calls keyed by control), forwards what the user does to the model and
// shows what the model says. Every call is made on the window thread.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "recording/HostInterfaces.h"
#include "recording/SessionState.h"
#include "settings/LanguageCatalogue.h"
#include "settings/SamplingConfig.h"

namespace kestiva {

// The controls whose state the model sets; controlName gives each one's name, the object
// name every front end gives the control.
enum class MainControl {
    FileMenu,
    SettingMenu,
    HelpMenu,
    CsvSaveAction,
    UnsavedRecordingsAction,
    ControllerMenu,
    ColorMenu,
    MonitorSwitchButton,
    DataPage,
    IoPage,
    DataSamplingControls,  // both groups of a monitor: shown while its page is
    IoSamplingControls,
    DataCycleList,
    DataTimeList,
    DataStartButton,
    DataStopButton,
    IoCycleList,
    IoTimeList,
    IoStartButton,
    IoStopButton,
    ProgressBar,
    PercentLabel,
    StateLabel,
};
const char* controlName(MainControl control);

// One control's enabled state.
struct ControlState {
    MainControl control;
    bool enabled;
    bool operator==(const ControlState&) const = default;
};

// The states the switch between idle (enable) and busy sets: menus, page switch and pages
// follow enable; lists and Start buttons also need a confirmed link; the Stop buttons are
// enabled only while busy recording over a confirmed link; CSV save, set only when enabling,
// follows the shown page's savable flag. Controls not listed keep their state.
std::vector<ControlState> enableTable(bool enable, ProgressPhase phase, bool confirmed,
                                      bool savable);

// What a front end shows. The model calls these; each sets one control.
// The progress timer moves the progress bar while the window is busy; the reset timer's end
// returns the window to idle after a finished operation.
enum class MainTimer { Progress, Reset };

class MainWindowView {
public:
    virtual ~MainWindowView() = default;
    virtual void setEnabled(MainControl control, bool enabled) = 0;
    virtual void setVisible(MainControl control, bool visible) = 0;
    virtual void setText(MainControl control, const std::string& text) = 0;
    // The progress bar's position, 0 to 100.
    virtual void setValue(MainControl control, int value) = 0;
    // A list's entries, its first one current (none when empty).
    virtual void setItems(MainControl list, const std::vector<std::string>& items) = 0;
    // A submenu's items, all checkable, item `checked` checked; choosing item k calls the
    // model's chooseController(k) or chooseColorTable(k).
    virtual void setMenu(MainControl menu, const std::vector<std::string>& items,
                         int checked) = 0;
    // The page area shows monitor's page.
    virtual void showPage(MonitorKind monitor) = 0;
    // Repaints monitor's page in colors.
    virtual void applyColorTable(MonitorKind monitor, const ColorTable& colors) = 0;
    // The window's two timers: each calls the model's timerExpired when it runs out, the
    // progress timer every `milliseconds` until disarmed, the reset timer once.
    virtual void armTimer(MainTimer timer, int milliseconds) = 0;
    virtual void disarmTimer(MainTimer timer) = 0;
    // Handles pending window events (the core calls it on the window thread while it waits).
    virtual void pumpMessages() = 0;
    // Keyboard focus to the window itself, as it returns to idle.
    virtual void takeFocus() = 0;
};

// What Start asks the session for: session.startRecording(controller, cycle, time, ...).
struct StartRequest {
    const ControllerRecord& controller;
    uint16_t cycle;  // an empty list gives 0, which the engine refuses quietly
    uint16_t time;
};

// The core's progress host is the model: the session's calls land here on the window thread.
class MainWindowModel final : public ProgressHost {
public:
    MainWindowModel(SessionState& state, const SamplingConfig& config,
                    const LanguageCatalogue& texts, MainWindowView& view);

    // The window's first state: nothing savable, the four lists filled, the data page shown
    // with its menus, and idle enabling.
    void initialise();

    // The page switch.
    void switchMonitor();
    void showMonitor(MonitorKind monitor);
    MonitorKind shownMonitor() const { return state_.monitorMode.load(); }

    // The Setting menu, for the shown monitor: a slot already checked (or none of the menu's)
    // changes nothing; a controller takes effect at the next Start, a colour table at once.
    void chooseController(int slot);
    void chooseColorTable(int slot);
    int markedController(MonitorKind monitor) const { return choice(monitor).markedController; }
    int markedColor(MonitorKind monitor) const { return choice(monitor).markedColor; }
    // The colour table a page starts with and shows now.
    const ColorTable& activeColors(MonitorKind monitor) const {
        return choice(monitor).activeColors;
    }

    // Start on the shown page with the lists' current texts: the marked controller (record 0
    // when none has a name), the cycle and the time (16 bits kept).
    StartRequest startRequest(const std::string& cycleText, const std::string& timeText) const;
    // Stop: both Stop buttons go off (the front end asks the session to stop).
    void stopPressed();

    // CSV save follows what the shown page holds: after a start (refused ones clear the page
    // too), a recording's end, a file operation, a page switch.
    void followSavableFlag();

    // ProgressHost.
    void setControlsEnabled(bool enable) override;
    void showProgress() override;
    void setPhaseText(const std::string& text) override;
    void pumpMessages() override { view_.pumpMessages(); }
    void startResetTimer(int milliseconds) override {
        view_.armTimer(MainTimer::Reset, milliseconds);
    }
    void stopResetTimer() override { view_.disarmTimer(MainTimer::Reset); }
    void stopProgressTimer() override { view_.disarmTimer(MainTimer::Progress); }

    // A timer of the view ran out: the progress timer's tick moves the bar; the reset timer's
    // end hides the progress, enables as idle and sets the phase idle.
    void timerExpired(MainTimer timer);
    void updateProgress();
    void returnToIdle();

private:
    // The menu's choice for one monitor: the marked slots and, per slot, the record it shows.
    struct MenuChoice {
        std::vector<int> controllerSlots;
        std::vector<int> colorSlots;
        int markedController = 0;
        int markedColor = 0;
        ColorTable activeColors;
    };

    void rebuildChoiceMenus();
    MenuChoice& choice(MonitorKind monitor) { return menu_[std::size_t(monitor)]; }
    const MenuChoice& choice(MonitorKind monitor) const { return menu_[std::size_t(monitor)]; }

    SessionState& state_;
    const SamplingConfig& config_;
    const LanguageCatalogue& texts_;
    MainWindowView& view_;
    std::array<MenuChoice, 2> menu_;
};

}  // namespace kestiva
