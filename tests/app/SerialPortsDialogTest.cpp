// The serial ports dialog: the device each port name opens, chosen from the devices found and
// written as System/ports links; and the settings page that opens it.

#include "app/SerialPortsDialog.h"

#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>

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
    return child<QComboBox>(dialog, QString("deviceList%1").arg(number).toUtf8().constData());
}

QStringList entries(const QComboBox* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

// The target of port link COMn, or "" when there is none.
std::string linkOf(const testing::TempProgramFolder& folder, int n) {
    std::error_code ec;
    return fs::read_symlink(folder.portLink(n), ec).string();
}

class SerialPortsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ofstream(adapter) << "";
        std::ofstream(boardPort) << "";
        folder.linkPortToNothing(2);
    }

    testing::ShippedProgramFolder folder;
    const std::string adapter = folder.path() + "ttyUSB0";
    const std::string adapterById = folder.path() + "usb-FTDI_FT232R_USB_UART_A10KX2-if00-port0";
    const std::string boardPort = folder.path() + "ttyS4";
    const std::vector<SerialDeviceInfo> devices{{adapter, adapterById}, {boardPort, ""}};
};

TEST_F(SerialPortsDialogTest, OffersTheDevicesFoundAndKeepsALinkToOneNotPluggedIn) {
    SerialPortsDialog dialog(folder.path(), 3, devices);
    EXPECT_EQ(dialog.windowTitle(), "Serial ports");
    EXPECT_EQ(child<QTableWidget>(&dialog, "portTable")->rowCount(), 3);
    const QString found[] = {
        QString::fromStdString(adapter) + "  (usb-FTDI_FT232R_USB_UART_A10KX2-if00-port0)",
        QString::fromStdString(boardPort)};
    EXPECT_EQ(entries(deviceList(&dialog, 1)),
              QStringList({"(default: /dev/ttyS0)", found[0], found[1]}));
    EXPECT_EQ(deviceList(&dialog, 1)->currentIndex(), 0);
    EXPECT_EQ(entries(deviceList(&dialog, 2)),
              QStringList({"(default: /dev/ttyS1)", found[0], found[1],
                           "/nonexistent/kestiva-port  (not present)"}));
    EXPECT_EQ(deviceList(&dialog, 2)->currentIndex(), 3);
    EXPECT_EQ(deviceList(&dialog, 4), nullptr);
}

TEST_F(SerialPortsDialogTest, OkWritesTheChangedLinksAndCancelNone) {
    // A link to the node of an adapter that has a by-id name is that adapter's entry.
    fs::create_symlink(adapter, folder.portLink(4));
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        SerialPortsDialog dialog(folder.path(), 4, devices);
        EXPECT_EQ(deviceList(&dialog, 4)->currentIndex(), 1);
        deviceList(&dialog, 1)->setCurrentIndex(1);
        deviceList(&dialog, 2)->setCurrentIndex(0);
        deviceList(&dialog, 3)->setCurrentIndex(2);
        testing::press(&dialog, ok ? "okButton" : "cancelButton");
        EXPECT_EQ(dialog.result(), ok ? QDialog::Accepted : QDialog::Rejected);

        EXPECT_EQ(linkOf(folder, 1), ok ? adapterById : "");
        EXPECT_EQ(linkOf(folder, 2), ok ? "" : "/nonexistent/kestiva-port");
        EXPECT_EQ(linkOf(folder, 3), ok ? boardPort : "");
        EXPECT_EQ(linkOf(folder, 4), adapter) << "unchanged, so not rewritten";
    }
}

TEST_F(SerialPortsDialogTest, ALinkThatCannotBeWrittenIsShownAndTheDialogStays) {
    std::ofstream(folder.portLink(1)) << "made by hand";
    SerialPortsDialog dialog(folder.path(), 3, devices);
    dialog.show();
    deviceList(&dialog, 1)->setCurrentIndex(1);
    deviceList(&dialog, 3)->setCurrentIndex(2);
    testing::ScriptedUser user;
    user.thenAcknowledge();
    testing::press(&dialog, "okButton");

    ASSERT_TRUE(user.done());
    ASSERT_EQ(user.seen().size(), 1u);
    EXPECT_EQ(user.seen()[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(user.seen()[0].text.contains("COM1")) << user.seen()[0].text.toStdString();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(fs::is_regular_file(folder.portLink(1)));
    EXPECT_EQ(linkOf(folder, 3), boardPort) << "the ports that could be written are";
}

TEST_F(SerialPortsDialogTest, TheSettingsPageShowsTheNewDeviceAndWithdrawsTheCheckOfTheOld) {
    WindowBridge bridge;
    Session session{folder.path(), bridge};
    ASSERT_TRUE(session.loadCatalogue());
    session.loadCommunicationSettings();
    session.settings().portName = "COM2";
    folder.linkPortToNothing(3);
    ComSettingMemory memory;
    ComSettingFrame frame(session, memory, ComSettingFrame::Mode::Later);
    frame.show();
    auto* ports = child<QComboBox>(&frame, "portList");
    ASSERT_EQ(ports->currentData().toString(), "COM2");
    EXPECT_EQ(child<QPushButton>(&frame, "serialPortsButton")->text(), "Serial ports...");

    // Each sets COMn back to its default device.
    const struct {
        const char* what;
        int port;
        bool withdrawn;
    } cases[] = {
        {"another port's device", 3, false},
        {"the selected port's device", 2, true},
        {"nothing changed", 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
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
    // The list shows the default devices now.
    EXPECT_FALSE(fs::is_symlink(folder.portLink(2)) || fs::is_symlink(folder.portLink(3)));
    EXPECT_TRUE(ports->itemText(1).startsWith("COM2  (/dev/ttyS1"))
        << ports->itemText(1).toStdString();
    EXPECT_TRUE(ports->itemText(2).startsWith("COM3  (/dev/ttyS2"))
        << ports->itemText(2).toStdString();
}

}  // namespace
}  // namespace kestiva
