// The serial ports dialog, which writes the System/ports links, and the settings page that
// opens it.

#include "app/SerialPortsDialog.h"

#include <QComboBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include "app/AppTestSupport.h"
#include "app/ComSettingFrame.h"
#include "app/ComSettingPage.h"
#include "app/ScriptedUser.h"
#include "app/WindowBridge.h"
#include "session/Session.h"

namespace kestiva {
namespace {

namespace fs = std::filesystem;
using testing::child;

QComboBox* deviceList(QWidget* dialog, int number) {
    return child<QComboBox>(dialog, ("deviceList" + std::to_string(number)).c_str());
}

class SerialPortsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(adapter) << "";
        std::ofstream(boardPort) << "";
        folder.linkPortToNothing(2);
        texts.LoadLanguageCatalogue();
    }
    // The target of port link COMn, or "" when there is none.
    std::string linkOf(int n) const {
        std::error_code ec;
        return fs::read_symlink(folder.portLink(n), ec).string();
    }

    testing::ShippedProgramFolder folder;
    const std::string adapter = folder.path() + "ttyUSB0";
    const std::string adapterById = folder.path() + "usb-FTDI_FT232R_A10KX2-if00-port0";
    const std::string boardPort = folder.path() + "ttyS4";
    const std::vector<SerialDeviceInfo> devices{{adapter, adapterById}, {boardPort, ""}};
    LanguageCatalogue texts{folder.path()};
};

TEST_F(SerialPortsDialogTest, OkWritesTheChosenDevicesAndCancelNothing) {
    fs::create_symlink(adapter, folder.portLink(3));  // the adapter's node, not its by-id name
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        SerialPortsDialog dialog(texts, folder.path(), 3, devices);
        QComboBox* com1 = deviceList(&dialog, 1);
        ASSERT_EQ(com1->count(), 3);
        EXPECT_EQ(com1->itemText(0), "(default: /dev/ttyS0)");
        EXPECT_EQ(com1->itemText(1).toStdString(),
                  adapter + "  (usb-FTDI_FT232R_A10KX2-if00-port0)");
        EXPECT_EQ(com1->currentIndex(), 0);
        // A device not plugged in stays choosable; a node is its adapter's entry.
        EXPECT_EQ(deviceList(&dialog, 2)->currentText(),
                  "/nonexistent/kestiva-port  (not present)");
        EXPECT_EQ(deviceList(&dialog, 3)->currentIndex(), 1);

        com1->setCurrentIndex(1);
        deviceList(&dialog, 2)->setCurrentIndex(2);
        testing::press(&dialog, ok ? "okButton" : "cancelButton");
        EXPECT_EQ(dialog.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(linkOf(1), ok ? adapterById : "");
        EXPECT_EQ(linkOf(2), ok ? boardPort : "/nonexistent/kestiva-port");
        EXPECT_EQ(linkOf(3), adapter) << "unchanged, so not rewritten";
    }
}

TEST_F(SerialPortsDialogTest, ATypedNetworkTargetIsWrittenAndAMalformedOneRefused) {
    const std::string target = "tcp://127.0.0.1:1502";
    {
        SerialPortsDialog dialog(texts, folder.path(), 3, devices);
        // Malformed: the dialog stays open, says why, and writes nothing.
        deviceList(&dialog, 1)->setEditText("tcp://127.0.0.1:0");
        deviceList(&dialog, 3)->setEditText(QString::fromStdString(target));
        testing::ScriptedUser user;
        user.thenAcknowledge();
        testing::press(&dialog, "okButton");
        ASSERT_TRUE(user.done());
        EXPECT_TRUE(user.seen()[0].text.contains("COM1: Not a network target"))
            << user.seen()[0].text.toStdString();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(fs::exists(portTargetPath(folder.path(), 1)));
        // COM3's good target went through; COM1 set back to its default, OK closes.
        deviceList(&dialog, 1)->setCurrentIndex(0);
        testing::press(&dialog, "okButton");
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(readPortTarget(folder.path(), 3), target);
    EXPECT_EQ(linkOf(3), "");
    // Shown again as the row's entry; the page's port list names it.
    SerialPortsDialog again(texts, folder.path(), 3, devices);
    EXPECT_EQ(deviceList(&again, 3)->currentText().toStdString(), target);
    WindowBridge bridge;
    Session session{folder.path(), bridge};
    ASSERT_TRUE(session.loadCatalogue());
    session.loadCommunicationSettings();
    ComSettingMemory memory;
    ComSettingFrame frame(session, memory, ComSettingFrame::Mode::Later);
    EXPECT_EQ(child<QComboBox>(&frame, "portList")->itemText(2).toStdString(),
              "COM3  (" + target + ")");
}

TEST_F(SerialPortsDialogTest, TheSettingsPageShowsTheNewDevicesAndWithdrawsTheCheckOfTheOld) {
    WindowBridge bridge;
    Session session{folder.path(), bridge};
    ASSERT_TRUE(session.loadCatalogue());
    session.loadCommunicationSettings();
    session.settings().portName = "COM2";
    folder.linkPortToNothing(3);
    ComSettingMemory memory;
    ComSettingFrame frame(session, memory, ComSettingFrame::Mode::Later);
    frame.show();
    EXPECT_EQ(child<QPushButton>(&frame, "serialPortsButton")->text(), "Serial ports...");

    // Each sets a port back to its default device; COM2 is the selected one.
    const struct {
        int port;
        bool withdrawn;
    } cases[] = {{3, false}, {2, true}, {2, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        session.settings().verifiedStation = 7;  // as a check would leave it
        child(&frame, "okButton2")->setEnabled(true);
        testing::ScriptedUser user;
        user.then("serialPortsDialog", [&](QWidget* dialog) {
            deviceList(dialog, c.port)->setCurrentIndex(0);
            testing::press(dialog, "okButton");
        });
        testing::press(&frame, "serialPortsButton");
        EXPECT_TRUE(user.done());
        EXPECT_EQ(session.settings().verifiedStation.load(), c.withdrawn ? -1 : 7);
        EXPECT_EQ(child(&frame, "okButton2")->isEnabled(), !c.withdrawn);
    }
    const auto* ports = child<QComboBox>(&frame, "portList");
    EXPECT_TRUE(ports->itemText(1).startsWith("COM2  (/dev/ttyS1"));
    EXPECT_TRUE(ports->itemText(2).startsWith("COM3  (/dev/ttyS2"));
}

}  // namespace
}  // namespace kestiva
