#include "app/StartUp.h"

#include <QApplication>

#include <clocale>

#include "app/ComSettingFrame.h"
#include "app/DialogSupport.h"
#include "app/DisclaimerDialog.h"
#include "app/ProgramIcon.h"

namespace kestiva {

namespace {

// Both start-up failures are reported in fixed English: the language file may be what failed.
constexpr const char* kProgramName = "Kestiva Data Monitor";
constexpr const char* kConfigurationFailure = "DataSamplingConfig.ini Reading Failed";

}  // namespace

StartUp::StartUp(std::string programFolder) : session_(std::move(programFolder), bridge_) {}

int StartUp::run(const MainWindowRun& runMainWindow) {
    QApplication::setWindowIcon(programIcon());
    // A broken language file is reported only once the user has seen the terms and the
    // settings; until then the dialogs show their built-in texts.
    const bool languageLoaded = session_.loadCatalogue();
    if (!userAgrees())
        return 0;
    // Said once the user goes on to the settings that it concerns, not before the terms.
    if (!systemFolderProblem_.empty())
        showMessageBox(nullptr, toQtText(session_.texts().GetText(text::APP_TITLE)),
                       toQtText(session_.texts().GetText(text::MSG_USER_SYSTEM_FOLDER_ERR) +
                                "\n" + systemFolderProblem_),
                       QMessageBox::Warning);
    session_.loadCommunicationSettings();
    // Number texts follow the user's locale from here on.
    std::setlocale(LC_ALL, "");
    if (!userConfirmsCommunicationSettings())
        return 0;
    if (!languageLoaded) {
        showMessageBox(nullptr, kProgramName, toQtText(session_.catalogueFailure()),
                       QMessageBox::Warning);
        return 0;
    }
    if (!session_.loadSamplingConfiguration()) {
        showMessageBox(nullptr, toQtText(session_.texts().GetText(text::APP_TITLE)),
                       kConfigurationFailure, QMessageBox::Critical);
        return 0;
    }
    runMainWindow(session_, bridge_);
    session_.saveCommunicationSettings();
    return 0;
}

bool StartUp::userAgrees() {
    DisclaimerDialog disclaimer(session_.texts());
    return disclaimer.exec() == QDialog::Accepted;
}

bool StartUp::userConfirmsCommunicationSettings() {
    ComSettingFrame frame(session_, comSettingMemory_, ComSettingFrame::Mode::StartUp);
    // The check's messages belong to the settings window while it is open.
    bridge_.setMessageParent(&frame);
    const bool confirmed = frame.exec() == QDialog::Accepted;
    bridge_.setMessageParent(nullptr);
    return confirmed;
}

}  // namespace kestiva
