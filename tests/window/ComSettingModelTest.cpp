// The communication settings model over a real session and program folder: what the page
// shows of the settings record, which choices withdraw the confirmation, Reset, the check's
// ends, the ports dialog, and the port entries' texts.

#include "window/ComSettingModel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "session/Session.h"
#include "support/RecordingWindow.h"
#include "window/WindowTestFolder.h"

namespace kestiva {
namespace {

class RecordingComView final : public ComSettingView {
public:
    void setItems(ComControl c, const std::vector<std::string>& items) override {
        lists[c] = items;
        index[c] = items.empty() ? -1 : 0;
    }
    void setCurrentIndex(ComControl c, int i) override { index[c] = i; }
    void setChecked(ComControl c, bool on) override { checked[c] = on; }
    void setEnabled(ComControl c, bool on) override { enabled[c] = on; }
    void showMessage(const std::string&, const std::string& text, MessageIcon icon) override {
        messages.push_back({text, icon});
    }
    std::map<ComControl, std::vector<std::string>> lists;
    std::map<ComControl, int> index;
    std::map<ComControl, bool> checked, enabled;
    std::vector<std::pair<std::string, MessageIcon>> messages;
};

class ComSettingModelTest : public ::testing::Test {
protected:
    ComSettingModelTest() : session(folder.path(), window) {
        session.loadCatalogue();
        session.loadCommunicationSettings();
        session.settings().portCount = 4;
#ifndef _WIN32
        // No port opens: each names a device that is not there.
        for (int n = 1; n <= 4; ++n)
            std::filesystem::create_symlink("/nonexistent/kestiva-port",
                                            folder.system("ports/COM" + std::to_string(n)));
#endif
    }
    test::WindowTestFolder folder;
    testing::RecordingWindow window;
    Session session;
    ComSettingMemory memory;
    RecordingComView view;
};

// A page made before its load shows the lists and nothing else: no choice, no radio, the
// confirmation and the check port left as they were.
TEST_F(ComSettingModelTest, FillingTheListsChoosesNothing) {
    session.settings().verifiedStation = 4;
    ComSettingModel model(session, memory, view);
    model.fillLists();
    EXPECT_EQ(view.lists[ComControl::PortList].size(), 4u);
    EXPECT_EQ(view.lists[ComControl::PortList][2].rfind("COM3  (", 0), 0u);
    EXPECT_EQ(view.lists[ComControl::StationList].size(), 32u);
    EXPECT_EQ(view.lists[ComControl::StationList].front(), "1");
    EXPECT_EQ(view.lists[ComControl::BitRateList].size(),
              std::size(CommunicationCheck::kSearchBitRates));
    EXPECT_EQ(view.index[ComControl::PortList], -1);
    EXPECT_TRUE(view.checked.empty());
    EXPECT_TRUE(view.enabled.empty());
    EXPECT_EQ(session.settings().verifiedStation, 4);
    EXPECT_FALSE(session.checkPortOpen());
    EXPECT_EQ(model.selectedPortName(), "");
}

TEST_F(ComSettingModelTest, LoadShowsTheSettingsRecordAndWaitsForACheck) {
    const struct {
        const char* what;
        int portCount;
        const char* portName;
        bool autoSearch;
        int stationId, bitRate;
        int portIndex, stationIndex, bitRateIndex;
    } cases[] = {
        {"listed values", 8, "COM3", false, 5, 57600, 2, 4, 3},
        {"station beyond the list", 8, "COM1", true, 40, 38400, 0, -1, 2},
        {"unlisted port and bit rate", 8, "COM9", true, 0, 12345, 0, 0, 0},
        {"no ports", 0, "COM1", true, 1, 9600, -1, 0, 0},
        {"more ports than listed", 300, "COM256", false, 32, 230400, 255, 31, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CommunicationSettings& settings = session.settings();
        settings.portCount = c.portCount;
        settings.portName = c.portName;
        settings.autoSearch = c.autoSearch;
        settings.stationId = c.stationId;
        settings.bitRate = c.bitRate;
        settings.verifiedStation = 4;
        view = RecordingComView();
        ComSettingMemory fresh;
        {
            ComSettingModel model(session, fresh, view);
            model.load();
            EXPECT_EQ(int(view.lists[ComControl::PortList].size()), std::min(c.portCount, 256));
            EXPECT_EQ(view.index[ComControl::PortList], c.portIndex);
            EXPECT_EQ(view.index[ComControl::StationList], c.stationIndex);
            EXPECT_EQ(view.index[ComControl::BitRateList], c.bitRateIndex);
            EXPECT_EQ(view.lists[ComControl::StationList].size(), 32u);
            EXPECT_EQ(view.lists[ComControl::BitRateList][c.bitRateIndex],
                      std::to_string(CommunicationCheck::kSearchBitRates[c.bitRateIndex]));
            EXPECT_EQ(view.checked[ComControl::AutoRadio], c.autoSearch);
            EXPECT_EQ(view.checked[ComControl::ManualRadio], !c.autoSearch);
            EXPECT_EQ(view.enabled[ComControl::StationList], !c.autoSearch);
            EXPECT_EQ(view.enabled[ComControl::InitializeButton], !c.autoSearch);
            EXPECT_FALSE(view.enabled[ComControl::OkButton]);
            EXPECT_EQ(settings.verifiedStation.load(), -1);
            EXPECT_EQ(settings.autoSearch, c.autoSearch);
        }
        session.closeCheckPort();
    }
}

// A choice withdraws the verified station only when it differs from what the run's pages
// last saw; OK waits for a check after every choice.
TEST_F(ComSettingModelTest, ChoicesWithdrawTheStationOnlyWhenTheyChangeSomething) {
    session.settings().autoSearch = false;
    ComSettingModel model(session, memory, view);
    model.load();
    std::atomic<int32_t>& verified = session.settings().verifiedStation;
    const struct {
        const char* what;
        std::function<void()> choose;
        bool withdrawn;
    } steps[] = {
        // The load shows a station without noting it: the run's first choice is a change.
        {"the shown station, first choice", [&] { model.chooseStation(model.stationIndex()); },
         true},
        {"the shown station again", [&] { model.chooseStation(model.stationIndex()); }, false},
        {"another station", [&] { model.chooseStation(7); }, true},
        {"the manual radio, already checked", [&] { model.chooseManual(); }, false},
        {"the automatic radio, first time", [&] { model.chooseAutomatic(); }, true},
        {"the automatic radio again", [&] { model.chooseAutomatic(); }, false},
        {"another bit rate", [&] { model.chooseBitRate(5); }, true},
        {"the same port", [&] { model.choosePort(model.portIndex()); }, false},
        {"another port", [&] { model.choosePort(3); }, true},
        {"a port beyond the list", [&] { model.choosePort(9); }, true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        verified = 6;
        view.enabled[ComControl::OkButton] = true;
        s.choose();
        EXPECT_EQ(verified.load(), s.withdrawn ? -1 : 6);
        EXPECT_FALSE(view.enabled[ComControl::OkButton]);
    }
    EXPECT_EQ(session.settings().portName, "") << "no port chosen";
    EXPECT_TRUE(model.automatic());
    EXPECT_TRUE(session.settings().autoSearch);

    // A second page of the run shows its radio for the first time: that withdraws.
    verified = 6;
    ComSettingModel second(session, memory, view);
    second.load();
    EXPECT_EQ(verified.load(), -1);
}

TEST_F(ComSettingModelTest, ResetSetsTheManualValuesAndTheCheckOffersOkWhateverItFound) {
    session.settings().autoSearch = false;
    ComSettingModel model(session, memory, view);
    model.load();
    model.chooseStation(6);
    model.chooseBitRate(4);
    EXPECT_EQ(model.checkChoice().stationText, "7");
    EXPECT_EQ(model.checkChoice().bitRateText, "115200");
    session.settings().verifiedStation = 3;
    model.reset();
    EXPECT_EQ(view.index[ComControl::StationList], 0);
    EXPECT_EQ(view.lists[ComControl::BitRateList][std::size_t(view.index[ComControl::BitRateList])],
              "38400");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].first,
              session.texts().GetText(text::MSG_COMSETTING_COMINITIALIZE_INITIALIZED));
    EXPECT_EQ(view.messages[0].second, MessageIcon::Information);
    EXPECT_EQ(session.settings().verifiedStation.load(), -1);
    EXPECT_FALSE(view.enabled[ComControl::OkButton]);
    const CheckChoice choice = model.checkChoice();
    EXPECT_FALSE(choice.automatic);
    EXPECT_EQ(choice.stationText, "1");
    EXPECT_EQ(choice.bitRateText, "38400");

#ifndef _WIN32
    // The port does not open: its message, no check window, and OK all the same.
    int windows = 0;
    model.check([&](const CheckChoice&) { return ++windows, true; });
    EXPECT_EQ(windows, 0);
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_EQ(window.messages()[0].icon, MessageIcon::Error);
    EXPECT_TRUE(view.enabled[ComControl::OkButton]);

    // A check that could not start leaves the link unconfirmed.
    const std::string device = folder.path() + "device";
    std::ofstream(device) << "";
    std::filesystem::remove(folder.system("ports/COM1"));
    std::filesystem::create_symlink(device, folder.system("ports/COM1"));
    model.choosePort(0);
    session.state().communicationConfirmed = true;
    session.settings().verifiedStation = 3;
    if (session.openCheckPort("COM1")) {  // a plain file takes no line settings on some systems
        session.closeCheckPort();
        CheckChoice seen;
        model.check([&](const CheckChoice& c) { return seen = c, false; });
        EXPECT_EQ(seen.bitRateText, "38400");
        EXPECT_FALSE(session.state().communicationConfirmed);
        EXPECT_EQ(session.settings().verifiedStation.load(), -1);
        EXPECT_TRUE(view.enabled[ComControl::OkButton]);
    }
#endif
}

#ifndef _WIN32
TEST_F(ComSettingModelTest, PortEntriesNameTheirDevicesAndTheDialogWithdrawsOnlyAChange) {
    const std::string device = folder.path() + "fake-device";
    std::ofstream(device) << "";
    const std::string link2 = folder.system("ports/COM2");
    std::filesystem::remove(link2);
    std::filesystem::create_symlink(device, link2);
    std::filesystem::remove(folder.system("ports/COM3"));
    std::filesystem::create_symlink("../missing", folder.system("ports/COM3"));
    std::filesystem::remove(folder.system("ports/COM4"));
    const LanguageCatalogue& texts = session.texts();
    const std::vector<std::string> items = portItemTexts(texts, folder.path(), 4);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0], "COM1  (/nonexistent/kestiva-port, not present)");
    EXPECT_EQ(items[1], "COM2  (" + std::filesystem::canonical(device).generic_string() + ")");
    EXPECT_EQ(items[2], "COM3  (" + folder.path() + "System/missing, not present)");
    EXPECT_EQ(items[3].rfind("COM4  (/dev/ttyS3", 0), 0u) << items[3];
    EXPECT_EQ(portItemText(texts, {"COM300", "", false, false, false, ""}, folder.path()),
              "COM300  (no device)");
    EXPECT_EQ(portItemText(texts, {"COM7", "tcp://127.0.0.1:1502", false, true, true, ""},
                           folder.path()),
              "COM7  (tcp://127.0.0.1:1502)");

    session.settings().portName = "COM2";
    ComSettingModel model(session, memory, view);
    model.load();
    const struct {
        const char* what;
        bool accepted;
        const char* newTarget;  // nullptr: the dialog changes nothing
        bool withdrawn;
    } cases[] = {{"cancelled", false, "/elsewhere", false},
                 {"accepted, nothing changed", true, nullptr, false},
                 {"the shown port reassigned", true, "/nonexistent/other", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        session.settings().verifiedStation = 7;
        view.enabled[ComControl::OkButton] = true;
        model.editPorts([&] {
            if (c.newTarget) {
                std::string error;
                EXPECT_TRUE(assignPort(folder.path(), "COM2", c.newTarget, error)) << error;
            }
            return c.accepted;
        });
        if (!c.accepted && c.newTarget) {  // put back what a cancel would not have written
            std::string error;
            ASSERT_TRUE(assignPort(folder.path(), "COM2", device, error)) << error;
        }
        EXPECT_EQ(session.settings().verifiedStation.load(), c.withdrawn ? -1 : 7);
        EXPECT_EQ(view.enabled[ComControl::OkButton], !c.withdrawn);
    }
    EXPECT_EQ(view.lists[ComControl::PortList][1], "COM2  (/nonexistent/other, not present)");
    EXPECT_EQ(view.index[ComControl::PortList], 1);
}
#endif

}  // namespace
}  // namespace kestiva
