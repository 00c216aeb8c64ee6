// The communication settings page and its window outside start-up: what a load shows, the port
// list's devices, the reset of the manual values, and the choices both pages remember.

#include "app/ComSettingPage.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/ComSettingFrame.h"
#include "app/DialogSupport.h"
#include "app/ScriptedUser.h"
#include "app/WindowBridge.h"
#include "session/Session.h"

namespace kestiva {
namespace {

using testing::child;

class ComSettingPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session.loadCatalogue());
        session.loadCommunicationSettings();
    }

    std::unique_ptr<ComSettingFrame> openFrame(ComSettingMemory& memory) {
        auto frame =
            std::make_unique<ComSettingFrame>(session, memory, ComSettingFrame::Mode::Later);
        frame->show();
        return frame;
    }

    // What the list reports when the user picks an entry from its popup.
    static void choose(QWidget* frame, const char* list, int index) {
        auto* combo = child<QComboBox>(frame, list);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    testing::ShippedProgramFolder folder;
    WindowBridge bridge;
    Session session{folder.path(), bridge};
    ComSettingMemory memory;
};

TEST_F(ComSettingPageTest, LoadShowsTheRecordAndWithdrawsTheLastCheck) {
    const struct {
        const char* what;
        int32_t portCount;
        const char* portName;
        bool autoSearch;
        int32_t stationId;
        int32_t bitRate;
        QString shownPort;  // empty: the list is empty
        int stationIndex;   // -1: no selection
        QString shownBitRate;
    } cases[] = {
        {"listed values", 8, "COM3", false, 5, 57600, "COM3", 4, "57600"},
        {"station beyond the list", 8, "COM1", true, 40, 38400, "COM1", -1, "38400"},
        {"unlisted port and bit rate", 8, "COM9", true, 0, 12345, "COM1", 0, "9600"},
        {"no ports", 0, "COM1", true, 1, 9600, "", 0, "9600"},
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
        ComSettingMemory fresh;
        const auto frame = openFrame(fresh);

        EXPECT_EQ(child<QComboBox>(frame.get(), "portList")->count(), c.portCount);
        EXPECT_EQ(child<QComboBox>(frame.get(), "portList")->currentData().toString(), c.shownPort);
        EXPECT_EQ(child<QRadioButton>(frame.get(), "autoRadio")->isChecked(), c.autoSearch);
        EXPECT_EQ(child<QRadioButton>(frame.get(), "manualRadio")->isChecked(), !c.autoSearch);
        EXPECT_EQ(child(frame.get(), "stationList")->isEnabled(), !c.autoSearch);
        EXPECT_EQ(child<QComboBox>(frame.get(), "stationList")->currentIndex(), c.stationIndex);
        EXPECT_EQ(child<QComboBox>(frame.get(), "bitRateList")->currentText(), c.shownBitRate);
        EXPECT_EQ(settings.verifiedStation.load(), -1);
        // Away from start-up only the single OK is offered, and it waits for a check.
        EXPECT_TRUE(child(frame.get(), "okButton")->isHidden());
        EXPECT_TRUE(child(frame.get(), "quitButton")->isHidden());
        EXPECT_FALSE(child(frame.get(), "okButton2")->isHidden());
        EXPECT_FALSE(child(frame.get(), "okButton2")->isEnabled());
        EXPECT_EQ(child<QPushButton>(frame.get(), "okButton2")->text(), "OK");
    }
}

TEST_F(ComSettingPageTest, PortListShowsEachNamesDeviceAndMarksAMissingOne) {
    const std::string device = folder.path() + "fake-device";
    std::ofstream(device) << "";
    std::filesystem::create_symlink(device, folder.portLink(1));
    folder.linkPortToNothing(2);
    const auto frame = openFrame(memory);
    const auto* ports = child<QComboBox>(frame.get(), "portList");

    ASSERT_EQ(ports->count(), 8);
    EXPECT_EQ(
        ports->itemText(0),
        "COM1  (" + QString::fromStdString(std::filesystem::canonical(device).string()) + ")");
    EXPECT_EQ(ports->itemText(1), "COM2  (/nonexistent/kestiva-port, not present)");
    for (int i = 0; i < ports->count(); ++i) {
        const QString name = QString("COM%1").arg(i + 1);
        EXPECT_EQ(ports->itemData(i).toString(), name);
        EXPECT_TRUE(ports->itemText(i).startsWith(name + "  ("));
    }
}

TEST_F(ComSettingPageTest, ResetSetsTheManualValuesAndWaitsForANewCheck) {
    folder.linkPortToNothing(1);
    const auto frame = openFrame(memory);
    bridge.setMessageParent(frame.get());
    choose(frame.get(), "stationList", 6);
    choose(frame.get(), "bitRateList", 4);
    testing::ScriptedUser user;
    user.thenAcknowledge().thenAcknowledge();
    // The port does not open: a check all the same, which lets OK go.
    testing::press(frame.get(), "checkButton");
    ASSERT_TRUE(child(frame.get(), "okButton2")->isEnabled());
    testing::press(frame.get(), "initializeButton");

    EXPECT_TRUE(user.done());
    ASSERT_EQ(user.seen().size(), 2u);
    EXPECT_EQ(user.seen()[1].title.toStdString(), session.texts().GetText(text::MSG_ALARM_TITLE));
    EXPECT_EQ(user.seen()[1].text,
              toQtText(session.texts().GetText(text::MSG_COMSETTING_COMINITIALIZE_INITIALIZED)));
    EXPECT_EQ(user.seen()[1].icon, QMessageBox::Information);
    EXPECT_EQ(child<QComboBox>(frame.get(), "stationList")->currentText(), "1");
    EXPECT_EQ(child<QComboBox>(frame.get(), "bitRateList")->currentText(), "38400");
    EXPECT_EQ(session.settings().responseDelay, 5);
    EXPECT_EQ(session.settings().verifiedStation.load(), -1);
    EXPECT_FALSE(child(frame.get(), "okButton2")->isEnabled());
}

TEST_F(ComSettingPageTest, BothPagesCompareAChoiceWithTheOneEitherSawLast) {
    const auto first = openFrame(memory);
    choose(first.get(), "stationList", 4);
    EXPECT_EQ(session.settings().verifiedStation.load(), -1);

    session.settings().verifiedStation = 7;  // as a check would leave it
    choose(first.get(), "stationList", 4);
    EXPECT_EQ(session.settings().verifiedStation.load(), 7) << "the same choice again";
    EXPECT_FALSE(child(first.get(), "okButton2")->isEnabled());

    const auto second = openFrame(memory);
    session.settings().verifiedStation = 7;
    choose(second.get(), "stationList", 4);
    EXPECT_EQ(session.settings().verifiedStation.load(), 7) << "the first page's choice";
    choose(second.get(), "bitRateList", 0);
    EXPECT_EQ(session.settings().verifiedStation.load(), -1) << "a first bit-rate choice";
}

}  // namespace
}  // namespace kestiva
