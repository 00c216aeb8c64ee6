// The main window's model against a view that writes down what it is told: the enable table
// in every state, the sampling lists, the Setting menu, Start's request, the page switch and
// the progress area; and the rules the command shares.

#include "window/MainWindowModel.h"

#include <gtest/gtest.h>

#include <map>

#include "window/WindowRules.h"

namespace kestiva {
namespace {

class RecordingView final : public MainWindowView {
public:
    void setEnabled(MainControl c, bool on) override { enabled[c] = on; }
    void setVisible(MainControl c, bool on) override { visible[c] = on; }
    void setText(MainControl c, const std::string& t) override { texts[c] = t; }
    void setValue(MainControl c, int v) override { values[c] = v; }
    void setItems(MainControl c, const std::vector<std::string>& items) override {
        lists[c] = items;
    }
    void setMenu(MainControl c, const std::vector<std::string>& items, int checked) override {
        menus[c] = {items, checked};
    }
    void showPage(MonitorKind monitor) override { page = monitor; }
    void applyColorTable(MonitorKind monitor, const ColorTable& colors) override {
        painted.push_back({monitor, colors.name});
    }
    void armTimer(MainTimer timer, int milliseconds) override {
        armed[timer] = milliseconds;
        timerStarts += timer == MainTimer::Progress;
    }
    void disarmTimer(MainTimer timer) override { armed.erase(timer); }
    void pumpMessages() override {}
    void takeFocus() override { ++focused; }

    std::map<MainControl, bool> enabled, visible;
    std::map<MainControl, std::string> texts;
    std::map<MainControl, int> values;
    std::map<MainControl, std::vector<std::string>> lists;
    std::map<MainControl, std::pair<std::vector<std::string>, int>> menus;
    MonitorKind page = kIoMonitor;
    std::vector<std::pair<MonitorKind, std::string>> painted;
    std::map<MainTimer, int> armed;  // what runs, and its period
    int timerStarts = 0;
    int focused = 0;
};

using Names = std::vector<std::string>;

class MainWindowModelTest : public ::testing::Test {
protected:
    MainWindowModelTest() : texts("") {
        texts.LoadLanguageCatalogue();  // the shipped texts beside the test program
        SamplingLists& data = config.monitors[kDataMonitor].lists;
        data.numCycles = 4;
        data.cycles = {10, 20, 50, 2000, 5};  // the fifth is beyond numCycles
        data.numTimes = 3;
        data.times = {0, 1, 3001};
        SamplingLists& io = config.monitors[kIoMonitor].lists;
        io.numCycles = 2;
        io.cycles = {20, 30};
        io.numTimes = 1;
        io.times = {10};
        MonitorConfig& d = config.monitors[kDataMonitor];
        d.controllers[1].name = "A";  // record 0 has no name: slot 0 is record 1
        d.controllers[3].name = "B";
        d.colorTables[0].name = "Light";
        d.colorTables[2].name = "Dark";
        config.monitors[kIoMonitor].controllers[0].name = "IO";
    }

    LanguageCatalogue texts;
    SamplingConfig config;
    SessionState state;
    RecordingView view;
};

const ProgressPhase kPhases[] = {ProgressPhase::Idle,       ProgressPhase::Recording,
                                 ProgressPhase::CrcCheck,   ProgressPhase::Conversion,
                                 ProgressPhase::CsvRead,    ProgressPhase::CsvReadConversion,
                                 ProgressPhase::CsvSave};

TEST(EnableTable, RowsForTheWindowsStates) {
    using C = MainControl;
    struct Row {
        bool enable;
        ProgressPhase phase;
        bool confirmed, savable;
        // menus, switch, pages | lists and Start | Stop | CSV save (-1: left alone)
        bool general, entry, stop;
        int csvSave;
    } rows[] = {
        {true, ProgressPhase::Idle, false, false, true, false, false, 0},
        {true, ProgressPhase::Idle, true, true, true, true, false, 1},
        {true, ProgressPhase::Conversion, true, false, true, true, false, 0},  // the reset
        {false, ProgressPhase::Recording, true, true, false, false, true, -1},
        {false, ProgressPhase::Recording, false, false, false, false, false, -1},
        {false, ProgressPhase::CsvSave, true, true, false, false, false, -1},
        {false, ProgressPhase::CrcCheck, true, false, false, false, false, -1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << "enable " << r.enable << " phase " << int(r.phase)
                                          << " confirmed " << r.confirmed);
        std::map<C, bool> got;
        for (const ControlState& s : enableTable(r.enable, r.phase, r.confirmed, r.savable))
            EXPECT_TRUE(got.emplace(s.control, s.enabled).second) << controlName(s.control);
        for (C c : {C::FileMenu, C::SettingMenu, C::HelpMenu, C::UnsavedRecordingsAction,
                    C::MonitorSwitchButton, C::DataPage, C::IoPage})
            EXPECT_EQ(got.at(c), r.general) << controlName(c);
        for (C c : {C::DataCycleList, C::DataTimeList, C::DataStartButton, C::IoCycleList,
                    C::IoTimeList, C::IoStartButton})
            EXPECT_EQ(got.at(c), r.entry) << controlName(c);
        EXPECT_EQ(got.at(C::DataStopButton), r.stop);
        EXPECT_EQ(got.at(C::IoStopButton), r.stop);
        if (r.csvSave < 0)
            EXPECT_FALSE(got.contains(C::CsvSaveAction));
        else
            EXPECT_EQ(got.at(C::CsvSaveAction), r.csvSave == 1);
        EXPECT_EQ(got.size(), r.csvSave < 0 ? 15u : 16u);
    }
}

// Every phase x confirmation x savable flag x shown page, through the model to the view:
// Stop only while recording, busy progress only when disabling, CSV save by the shown page.
TEST_F(MainWindowModelTest, SetControlsEnabledShowsTheTableInEveryState) {
    MainWindowModel model(state, config, texts, view);
    for (const bool enable : {false, true})
        for (const ProgressPhase phase : kPhases)
            for (const bool confirmed : {false, true})
                for (const bool savable : {false, true})
                    for (const MonitorKind shown : {kDataMonitor, kIoMonitor}) {
                        SCOPED_TRACE(::testing::Message() << enable << int(phase) << confirmed
                                                          << savable << shown);
                        view = RecordingView();
                        state.setPhase(phase);
                        state.communicationConfirmed = confirmed;
                        state.savable(shown) = savable;
                        state.savable(shown == kDataMonitor ? kIoMonitor : kDataMonitor) =
                            !savable;
                        state.monitorMode = shown;
                        model.setControlsEnabled(enable);
                        std::map<MainControl, bool> expected;
                        for (const ControlState& s :
                             enableTable(enable, phase, confirmed, savable))
                            expected[s.control] = s.enabled;
                        for (const auto& [control, on] : expected)
                            EXPECT_EQ(view.enabled.at(control), on) << controlName(control);
                        EXPECT_EQ(view.enabled[MainControl::DataStopButton],
                                  !enable && confirmed && phase == ProgressPhase::Recording);
                        EXPECT_EQ(view.timerStarts, enable ? 0 : 1);
                        EXPECT_EQ(view.focused, enable ? 1 : 0);
                        EXPECT_EQ(view.visible[MainControl::ProgressBar], !enable);
                    }
}

TEST_F(MainWindowModelTest, ListsOfferTheCyclesEachMonitorCanCarryAndNoTimeOfZero) {
    MainWindowModel model(state, config, texts, view);
    state.dataSavable = true;
    model.initialise();
    EXPECT_EQ(view.lists[MainControl::DataCycleList], (Names{"20", "50", "2000"}));
    EXPECT_EQ(view.lists[MainControl::DataTimeList], (Names{"1", "3001"}));
    EXPECT_EQ(view.lists[MainControl::IoCycleList], (Names{"30"}));
    EXPECT_EQ(view.lists[MainControl::IoTimeList], (Names{"10"}));
    // The first state: the data page, nothing savable, idle enabling without a check.
    EXPECT_FALSE(state.dataSavable);
    EXPECT_EQ(view.page, kDataMonitor);
    EXPECT_EQ(view.texts[MainControl::MonitorSwitchButton],
              texts.GetText(text::BTN_MONITOR_TITLE_DATA));
    EXPECT_TRUE(view.visible[MainControl::DataSamplingControls]);
    EXPECT_FALSE(view.visible[MainControl::IoSamplingControls]);
    EXPECT_FALSE(view.enabled[MainControl::DataStartButton]);
    EXPECT_TRUE(view.enabled[MainControl::FileMenu]);
    EXPECT_FALSE(view.enabled[MainControl::CsvSaveAction]);

    EXPECT_EQ(minimumListedCycle(kDataMonitor), 20);
    EXPECT_EQ(minimumListedCycle(kIoMonitor), 30);
    SamplingLists odd;  // counts beyond the arrays are never read past them
    odd.numCycles = 200;
    odd.numTimes = 200;
    odd.cycles.fill(30);
    EXPECT_EQ(cycleListItems(odd, kIoMonitor).size(), odd.cycles.size());
    EXPECT_TRUE(timeListItems(odd).empty());
}

TEST_F(MainWindowModelTest, MenusListNamedRecordsAndStartTakesTheMarkedController) {
    MainWindowModel model(state, config, texts, view);
    model.initialise();
    EXPECT_EQ(view.menus[MainControl::ControllerMenu], (std::pair{Names{"A", "B"}, 0}));
    EXPECT_EQ(view.menus[MainControl::ColorMenu], (std::pair{Names{"Light", "Dark"}, 0}));
    EXPECT_EQ(model.activeColors(kDataMonitor).name, "Light");
    EXPECT_EQ(&model.startRequest("20", "1").controller, &config.monitors[0].controllers[1]);

    for (const int ignored : {0, 2, -1}) {  // the checked one, and slots the menu lacks
        model.chooseController(ignored);
        EXPECT_EQ(view.menus[MainControl::ControllerMenu].second, 0) << ignored;
    }
    model.chooseController(1);
    EXPECT_EQ(view.menus[MainControl::ControllerMenu].second, 1);
    const StartRequest request = model.startRequest("2000", "3001");
    EXPECT_EQ(&request.controller, &config.monitors[0].controllers[3]);
    EXPECT_EQ(request.cycle, 2000);
    EXPECT_EQ(request.time, 3001);
    EXPECT_EQ(model.startRequest("", "70000").cycle, 0) << "an empty list starts nothing";
    EXPECT_EQ(model.startRequest("", "70000").time, uint16_t(70000));

    model.chooseColorTable(1);
    EXPECT_EQ(view.painted, (std::vector{std::pair{kDataMonitor, std::string("Dark")}}));
    model.chooseColorTable(1);
    EXPECT_EQ(view.painted.size(), 1u) << "the checked table again repaints nothing";

    // The I/O page has choices of its own; no colour table named leaves the default one.
    model.switchMonitor();
    EXPECT_EQ(view.texts[MainControl::MonitorSwitchButton],
              texts.GetText(text::BTN_MONITOR_TITLE_IO));
    EXPECT_EQ(view.menus[MainControl::ControllerMenu], (std::pair{Names{"IO"}, 0}));
    EXPECT_EQ(view.menus[MainControl::ColorMenu], (std::pair{Names{}, 0}));
    EXPECT_EQ(model.activeColors(kIoMonitor).name, "");
    model.switchMonitor();
    EXPECT_EQ(view.menus[MainControl::ControllerMenu].second, 1) << "the data mark is kept";

    config.monitors[kDataMonitor].controllers[1].name.clear();
    config.monitors[kDataMonitor].controllers[3].name.clear();
    MainWindowModel unnamed(state, config, texts, view);
    EXPECT_EQ(&unnamed.startRequest("20", "1").controller, &config.monitors[0].controllers[0]);
    EXPECT_EQ(slotController(config.monitors[kDataMonitor], 0), std::nullopt);
}

TEST_F(MainWindowModelTest, CsvSaveFollowsTheShownPageAndStopTurnsBothStopsOff) {
    MainWindowModel model(state, config, texts, view);
    model.initialise();
    state.ioSavable = true;
    model.switchMonitor();
    EXPECT_TRUE(view.enabled[MainControl::CsvSaveAction]);
    model.switchMonitor();
    EXPECT_FALSE(view.enabled[MainControl::CsvSaveAction]);
    state.dataSavable = true;
    model.followSavableFlag();
    EXPECT_TRUE(view.enabled[MainControl::CsvSaveAction]);

    state.communicationConfirmed = true;
    state.setPhase(ProgressPhase::Recording);
    model.setControlsEnabled(false);
    EXPECT_TRUE(view.enabled[MainControl::IoStopButton]);
    model.stopPressed();
    EXPECT_FALSE(view.enabled[MainControl::DataStopButton]);
    EXPECT_FALSE(view.enabled[MainControl::IoStopButton]);
}

TEST_F(MainWindowModelTest, ProgressShowsThePhaseAndAtLeastOnePercentUntilTheReset) {
    MainWindowModel model(state, config, texts, view);
    model.initialise();
    state.setPhase(ProgressPhase::Recording);
    state.progressTotal = 500;  // 10 s at 20 ms
    state.progressCount = 0;
    model.setControlsEnabled(false);
    EXPECT_EQ(view.armed[MainTimer::Progress], 100);
    EXPECT_EQ(view.texts[MainControl::StateLabel], texts.GetText(text::MSG_PROGRESS_STATE_MONITOR));
    EXPECT_EQ(view.texts[MainControl::PercentLabel], "0%");
    model.timerExpired(MainTimer::Progress);
    EXPECT_EQ(view.values[MainControl::ProgressBar], 1);
    EXPECT_EQ(view.texts[MainControl::PercentLabel], "1%");
    state.progressCount = 250;
    model.timerExpired(MainTimer::Progress);
    EXPECT_EQ(view.texts[MainControl::PercentLabel], "50%");
    state.progressTotal = 0;
    model.timerExpired(MainTimer::Progress);
    EXPECT_EQ(view.texts[MainControl::PercentLabel], "50%") << "no total: nothing changes";
    model.setPhaseText("done");
    EXPECT_EQ(view.texts[MainControl::StateLabel], "done");

    // The core's progress host calls, as a finished recording makes them.
    ProgressHost& host = model;
    host.stopProgressTimer();
    host.startResetTimer(1500);
    EXPECT_FALSE(view.armed.contains(MainTimer::Progress));
    EXPECT_EQ(view.armed[MainTimer::Reset], 1500);
    model.timerExpired(MainTimer::Reset);
    EXPECT_TRUE(view.armed.empty()) << "the reset timer runs out once";
    EXPECT_EQ(state.phase(), ProgressPhase::Idle);
    for (const MainControl c : {MainControl::ProgressBar, MainControl::PercentLabel,
                                MainControl::StateLabel})
        EXPECT_FALSE(view.visible[c]) << controlName(c);
    model.showProgress();
    EXPECT_EQ(view.texts[MainControl::StateLabel], "???") << "idle has no state text";
}

TEST(WindowRules, ProgressPercentCapsTheCountAndShowsAtLeastOnePercent) {
    const struct {
        int32_t count, total;
        int percent;
    } cases[] = {{0, 500, 1},   {4, 500, 1},  {250, 500, 50}, {499, 500, 99},
                 {600, 500, 100}, {-3, 500, 1}, {3, 0, 0},      {3, -1, 0},
                 {INT32_MAX, INT32_MAX, 100}};
    for (const auto& c : cases)
        EXPECT_EQ(progressPercent(c.count, c.total), c.percent) << c.count << "/" << c.total;
}

}  // namespace
}  // namespace kestiva
