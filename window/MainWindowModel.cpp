#include "window/MainWindowModel.h"

#include "recording/TextToLong.h"
#include "window/WindowRules.h"

namespace kestiva {

namespace {

// How often the progress bar moves while the window is busy.
constexpr int kProgressMilliseconds = 100;

constexpr MainControl kCycleList[2] = {MainControl::DataCycleList, MainControl::IoCycleList};
constexpr MainControl kTimeList[2] = {MainControl::DataTimeList, MainControl::IoTimeList};
constexpr MainControl kStartButton[2] = {MainControl::DataStartButton, MainControl::IoStartButton};
constexpr MainControl kStopButton[2] = {MainControl::DataStopButton, MainControl::IoStopButton};
constexpr MainControl kProgressControls[] = {MainControl::ProgressBar, MainControl::PercentLabel,
                                             MainControl::StateLabel};

template <typename Records>
std::vector<std::string> slotNames(const Records& records, const std::vector<int>& slots) {
    std::vector<std::string> names;
    for (const int record : slots)
        names.push_back(records[std::size_t(record)].name);
    return names;
}

}  // namespace

const char* controlName(MainControl control) {
    switch (control) {
        case MainControl::FileMenu: return "fileMenu";
        case MainControl::SettingMenu: return "settingMenu";
        case MainControl::HelpMenu: return "helpMenu";
        case MainControl::CsvSaveAction: return "csvSaveAction";
        case MainControl::UnsavedRecordingsAction: return "unsavedRecordingsAction";
        case MainControl::ControllerMenu: return "controllerMenu";
        case MainControl::ColorMenu: return "colorMenu";
        case MainControl::MonitorSwitchButton: return "monitorSwitchButton";
        case MainControl::DataPage: return "dataPage";
        case MainControl::IoPage: return "ioPage";
        case MainControl::DataSamplingControls: return "dataSamplingControls";
        case MainControl::IoSamplingControls: return "ioSamplingControls";
        case MainControl::DataCycleList: return "dataCycleList";
        case MainControl::DataTimeList: return "dataTimeList";
        case MainControl::DataStartButton: return "dataStartButton";
        case MainControl::DataStopButton: return "dataStopButton";
        case MainControl::IoCycleList: return "ioCycleList";
        case MainControl::IoTimeList: return "ioTimeList";
        case MainControl::IoStartButton: return "ioStartButton";
        case MainControl::IoStopButton: return "ioStopButton";
        case MainControl::ProgressBar: return "progressBar";
        case MainControl::PercentLabel: return "percentLabel";
        case MainControl::StateLabel: return "stateLabel";
    }
    return "?";
}

std::vector<ControlState> enableTable(bool enable, ProgressPhase phase, bool confirmed,
                                      bool savable) {
    const bool recording = phase == ProgressPhase::Recording;
    // A restore would take the capture buffer from under a recording: the unsaved recordings'
    // item goes with the menus.
    std::vector<ControlState> table = {
        {MainControl::FileMenu, enable},          {MainControl::SettingMenu, enable},
        {MainControl::HelpMenu, enable},          {MainControl::UnsavedRecordingsAction, enable},
        {MainControl::MonitorSwitchButton, enable}, {MainControl::DataPage, enable},
        {MainControl::IoPage, enable},
    };
    for (const MonitorKind monitor : {kDataMonitor, kIoMonitor}) {
        table.push_back({kCycleList[monitor], enable && confirmed});
        table.push_back({kTimeList[monitor], enable && confirmed});
        table.push_back({kStartButton[monitor], enable && confirmed});
        table.push_back({kStopButton[monitor], !enable && confirmed && recording});
    }
    if (enable)
        table.push_back({MainControl::CsvSaveAction, savable});
    return table;
}

MainWindowModel::MainWindowModel(SessionState& state, const SamplingConfig& config,
                                 const LanguageCatalogue& texts, MainWindowView& view)
    : state_(state), config_(config), texts_(texts), view_(view) {
    for (const MonitorKind monitor : {kDataMonitor, kIoMonitor}) {
        const MonitorConfig& records = config_.monitors[monitor];
        MenuChoice& c = choice(monitor);
        c.controllerSlots = namedControllerSlots(records);
        c.colorSlots = namedColorSlots(records);
        if (!c.colorSlots.empty())
            c.activeColors = records.colorTables[std::size_t(c.colorSlots.front())];
    }
}

void MainWindowModel::initialise() {
    state_.dataSavable = false;
    state_.ioSavable = false;
    for (const MonitorKind monitor : {kDataMonitor, kIoMonitor}) {
        const SamplingLists& lists = config_.monitors[monitor].lists;
        view_.setItems(kCycleList[monitor], cycleListItems(lists, monitor));
        view_.setItems(kTimeList[monitor], timeListItems(lists));
    }
    showMonitor(kDataMonitor);
    setControlsEnabled(true);
}

// --- Page switch, menu choices ---------------------------------------------------------------

void MainWindowModel::showMonitor(MonitorKind monitor) {
    state_.monitorMode = monitor;
    const bool data = monitor == kDataMonitor;
    view_.setText(MainControl::MonitorSwitchButton,
                  texts_.GetText(data ? text::BTN_MONITOR_TITLE_DATA : text::BTN_MONITOR_TITLE_IO));
    view_.showPage(monitor);
    view_.setVisible(MainControl::DataSamplingControls, data);
    view_.setVisible(MainControl::IoSamplingControls, !data);
    rebuildChoiceMenus();
    followSavableFlag();
}

void MainWindowModel::switchMonitor() {
    showMonitor(shownMonitor() == kDataMonitor ? kIoMonitor : kDataMonitor);
}

void MainWindowModel::rebuildChoiceMenus() {
    const MonitorKind monitor = shownMonitor();
    const MonitorConfig& records = config_.monitors[monitor];
    const MenuChoice& c = choice(monitor);
    view_.setMenu(MainControl::ControllerMenu, slotNames(records.controllers, c.controllerSlots),
                  c.markedController);
    view_.setMenu(MainControl::ColorMenu, slotNames(records.colorTables, c.colorSlots),
                  c.markedColor);
}

void MainWindowModel::chooseController(int slot) {
    MenuChoice& c = choice(shownMonitor());
    // Otherwise the mark stays where it was; the menu is shown again either way, since a
    // front end's item may have taken a check of its own.
    if (slot != c.markedController && slot >= 0 && slot < int(c.controllerSlots.size()))
        c.markedController = slot;  // taken into the recording only at the next Start
    rebuildChoiceMenus();
}

void MainWindowModel::chooseColorTable(int slot) {
    const MonitorKind monitor = shownMonitor();
    MenuChoice& c = choice(monitor);
    if (slot != c.markedColor && slot >= 0 && slot < int(c.colorSlots.size())) {
        c.markedColor = slot;
        c.activeColors =
            config_.monitors[monitor].colorTables[std::size_t(c.colorSlots[std::size_t(slot)])];
        view_.applyColorTable(monitor, c.activeColors);
    }
    rebuildChoiceMenus();
}

// --- Start and Stop ---------------------------------------------------------------------------

StartRequest MainWindowModel::startRequest(const std::string& cycleText,
                                           const std::string& timeText) const {
    const MonitorKind monitor = shownMonitor();
    const MonitorConfig& records = config_.monitors[monitor];
    // Without a named record the window still starts with record 0, whose empty ranges the
    // engine then refuses; the command refuses earlier, saying so.
    const int record = slotController(records, choice(monitor).markedController).value_or(0);
    return {records.controllers[std::size_t(record)], uint16_t(textToLong(cycleText)),
            uint16_t(textToLong(timeText))};
}

void MainWindowModel::stopPressed() {
    for (const MonitorKind monitor : {kDataMonitor, kIoMonitor})
        view_.setEnabled(kStopButton[monitor], false);
}

void MainWindowModel::followSavableFlag() {
    view_.setEnabled(MainControl::CsvSaveAction, state_.savable(shownMonitor()));
}

// --- Busy and idle ----------------------------------------------------------------------------

void MainWindowModel::setControlsEnabled(bool enable) {
    for (const ControlState& s :
         enableTable(enable, state_.phase(), state_.communicationConfirmed.load(),
                     state_.savable(shownMonitor())))
        view_.setEnabled(s.control, s.enabled);
    if (enable) {
        view_.takeFocus();
    } else {
        showProgress();
        view_.armTimer(MainTimer::Progress, kProgressMilliseconds);
    }
}

void MainWindowModel::showProgress() {
    const TextId id = progressStateTextId(state_.phase());
    view_.setText(MainControl::StateLabel, id < 0 ? "???" : texts_.GetText(id));
    view_.setText(MainControl::PercentLabel, percentText(0));
    view_.setValue(MainControl::ProgressBar, 0);
    for (const MainControl control : kProgressControls)
        view_.setVisible(control, true);
}

void MainWindowModel::setPhaseText(const std::string& text) {
    view_.setText(MainControl::StateLabel, text);
}

void MainWindowModel::updateProgress() {
    const int32_t total = state_.progressTotal.load();
    if (total <= 0)
        return;
    const int percent = progressPercent(state_.progressCount.load(), total);
    view_.setValue(MainControl::ProgressBar, percent);
    view_.setText(MainControl::PercentLabel, percentText(percent));
}

void MainWindowModel::timerExpired(MainTimer timer) {
    if (timer == MainTimer::Progress) {
        updateProgress();
        return;
    }
    view_.disarmTimer(MainTimer::Reset);
    returnToIdle();
}

void MainWindowModel::returnToIdle() {
    for (const MainControl control : kProgressControls)
        view_.setVisible(control, false);
    setControlsEnabled(true);
    state_.setPhase(ProgressPhase::Idle);
}

}  // namespace kestiva
