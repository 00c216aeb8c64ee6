// The window texts that a language file may leave out: each comes from its key when the file
// has it, and is the built-in English text when it does not.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "recording/EmptyHosts.h"
#include "app/AppTestSupport.h"
#include "app/CheckWindow.h"
#include "app/ComSettingPage.h"
#include "app/MainWindow.h"
#include "app/ScriptedUser.h"
#include "app/SerialPortsDialog.h"
#include "app/WindowBridge.h"
#include "session/Session.h"

namespace kestiva {
namespace {

using testing::child;
using testing::ScriptedUser;

// Every window that shows one of the texts, over a program folder with the given language file
// and COM2 linked to a device that is not there.
struct Windows {
    explicit Windows(const std::string& languageFile) {
        std::ofstream(folder.system("LanguageData.ini"), std::ios::binary) << languageFile;
        folder.linkPortToNothing(2);
        EXPECT_TRUE(session.loadCatalogue());
        session.loadCommunicationSettings();
        EXPECT_TRUE(session.loadSamplingConfiguration());
        main = std::make_unique<MainWindow>(session, bridge);
        check = std::make_unique<CheckWindow>(session, CheckChoice{false, "1", "38400"});
        page = std::make_unique<ComSettingPage>(session, memory);
        ports = std::make_unique<SerialPortsDialog>(session.texts(), folder.path(), 2, devices);
        noDevices = std::make_unique<SerialPortsDialog>(session.texts(), folder.path(), 2,
                                                        std::vector<SerialDeviceInfo>{});
    }

    QString button(const char* name) const { return child<QPushButton>(main.get(), name)->text(); }
    QString itemText(QWidget* parent, const char* list, int index) const {
        auto* combo = child<QComboBox>(parent, list);
        return combo->itemText(index < 0 ? combo->count() + index : index);
    }
    // The added line of the port-open message for port.
    QString portOpenLine(const std::string& port) {
        ScriptedUser user;
        user.thenAcknowledge();
        session.runCheck(port, {false, "1", "38400"}, progress,
                         [] { QCoreApplication::processEvents(); });
        EXPECT_TRUE(user.done());
        return user.seen().empty() ? QString() : user.seen().back().text.section('\n', -1);
    }

    testing::ShippedProgramFolder folder;
    WindowBridge bridge;
    Session session{folder.path(), bridge};
    ComSettingMemory memory;
    const std::vector<SerialDeviceInfo> devices{{"/dev/ttyUSB7", ""}};
    EmptyCheckProgress progress;
    std::unique_ptr<MainWindow> main;
    std::unique_ptr<CheckWindow> check;
    std::unique_ptr<ComSettingPage> page;
    std::unique_ptr<SerialPortsDialog> ports;
    std::unique_ptr<SerialPortsDialog> noDevices;
};

struct ShownText {
    const char* key;
    const char* english;  // the built-in text, or the shipped one of a key every file has
    bool required;
    std::function<QString(Windows&)> shown;
};

const ShownText kShownTexts[] = {
    {"BTN_START_NAME", "Start", false,
     [](Windows& w) { return child<QWidget>(w.main.get(), "dataStartButton")->accessibleName(); }},
    {"BTN_START_TOOLTIP", "Start recording", false,
     [](Windows& w) { return child<QWidget>(w.main.get(), "ioStartButton")->toolTip(); }},
    {"BTN_STOP_NAME", "Stop", false,
     [](Windows& w) { return child<QWidget>(w.main.get(), "ioStopButton")->accessibleName(); }},
    {"BTN_STOP_TOOLTIP", "Stop recording", false,
     [](Windows& w) { return child<QWidget>(w.main.get(), "dataStopButton")->toolTip(); }},
    {"DLG_PROGRESS_TITLE", "Communication Check", false,
     [](Windows& w) { return w.check->windowTitle(); }},
    {"DLG_COMSETTING_BUTTON_SERIAL_PORTS", "Serial ports...", false,
     [](Windows& w) { return child<QPushButton>(w.page.get(), "serialPortsButton")->text(); }},
    {"DLG_COMSETTING_PORT_NOT_PRESENT", "not present", false,
     [](Windows& w) { return w.itemText(w.page.get(), "portList", 1); }},
    {"DLG_COMSETTING_PORT_NO_DEVICE", "no device", false,
     [](Windows& w) {
         return QString::fromStdString(portItemText(
             w.session.texts(), {"COM300", "", false, false, false, ""}, w.folder.path()));
     }},
    {"DLG_SERIALPORTS_TITLE", "Serial ports", false,
     [](Windows& w) { return w.ports->windowTitle(); }},
    {"DLG_SERIALPORTS_NOTE", "Choose the device each port name opens.", false,
     [](Windows& w) { return child<QLabel>(w.ports.get(), "noteLabel")->text(); }},
    {"DLG_SERIALPORTS_NETWORK", "type its target into the list", false,
     [](Windows& w) { return child<QComboBox>(w.ports.get(), "deviceList1")->toolTip(); }},
    {"DLG_SERIALPORTS_NOTE_NONE", "No serial devices were found.", false,
     [](Windows& w) { return child<QLabel>(w.noDevices.get(), "noteLabel")->text(); }},
    {"DLG_SERIALPORTS_COLUMN_PORT", "Port", false,
     [](Windows& w) {
         return child<QTableWidget>(w.ports.get(), "portTable")->horizontalHeaderItem(0)->text();
     }},
    {"DLG_SERIALPORTS_COLUMN_DEVICE", "Device", false,
     [](Windows& w) {
         return child<QTableWidget>(w.ports.get(), "portTable")->horizontalHeaderItem(1)->text();
     }},
    {"DLG_SERIALPORTS_DEFAULT", "default", false,
     [](Windows& w) { return w.itemText(w.ports.get(), "deviceList1", 0); }},
    {"DLG_COMSETTING_PORT_NOT_PRESENT", "not present", false,
     [](Windows& w) { return w.itemText(w.ports.get(), "deviceList2", -1); }},
    {"DLG_COMSETTING_BUTTON_OK", "OK", true,
     [](Windows& w) { return child<QPushButton>(w.ports.get(), "okButton")->text(); }},
    {"DLG_PROGRESS_BUTTON_CANCEL", "Cancel", true,
     [](Windows& w) { return child<QPushButton>(w.ports.get(), "cancelButton")->text(); }},
    {"MSG_COMOPEN_REASON_NO_DEVICE", "no such device", false,
     [](Windows& w) { return w.portOpenLine("COM2"); }},
    {"MSG_COMOPEN_REASON_NOT_A_PORT", "not a port name (COM1 to COM256)", false,
     [](Windows& w) { return w.portOpenLine("COM0"); }},
    {"MNU_TITLE_FILE_UNSAVED", "&Unsaved Recordings...", false,
     [](Windows& w) { return w.main->findChild<QAction*>("unsavedRecordingsAction")->text(); }},
};

std::string shippedLanguageFile() {
    return testing::readFile(testing::testProgramFolder() + "System/LanguageData.ini");
}

// file without the lines of the optional keys of the table.
std::string withoutOptionalKeys(const std::string& file) {
    std::istringstream in(file);
    std::string kept, line;
    while (std::getline(in, line)) {
        bool optional = false;
        for (const ShownText& t : kShownTexts)
            optional = optional || (!t.required && line.starts_with(std::string(t.key) + "="));
        if (!optional)
            kept += line + "\n";
    }
    return kept;
}

// What the changed file gives key: no English word, and unique.
QString changedText(const char* key) {
    return QString("[text %1]").arg(qHash(QByteArray(key)));
}

// file with every key of the table set to its changedText.
std::string withEveryKeySet(const std::string& file) {
    std::string changed = withoutOptionalKeys(file);
    for (const ShownText& t : kShownTexts) {
        const std::string key = std::string(t.key) + "=";
        const std::size_t at = changed.find("\n" + key);
        const std::string line = key + changedText(t.key).toStdString();
        if (at == std::string::npos)
            changed += line + "\n";
        else
            changed.replace(at + 1, changed.find('\n', at + 1) - at - 1, line);
    }
    return changed;
}

TEST(CatalogueTexts, EachTextComesFromItsKeyAndIsEnglishWithoutIt) {
    Windows keyed(withEveryKeySet(shippedLanguageFile()));
    Windows plain(withoutOptionalKeys(shippedLanguageFile()));
    for (const ShownText& t : kShownTexts) {
        const QString withKey = t.shown(keyed), withoutKey = t.shown(plain);
        EXPECT_TRUE(withKey.contains(changedText(t.key))) << t.key << ": " << withKey.toStdString();
        EXPECT_FALSE(withKey.contains(t.english)) << t.key << ": " << withKey.toStdString();
        EXPECT_TRUE(withoutKey.contains(t.english)) << t.key << ": " << withoutKey.toStdString();
    }
}

}  // namespace
}  // namespace kestiva
