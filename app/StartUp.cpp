#include "app/StartUp.h"

#include <QApplication>

#include "app/ComSettingFrame.h"
#include "app/DialogSupport.h"
#include "app/DisclaimerDialog.h"
#include "app/ProgramIcon.h"

namespace kestiva {

StartUp::StartUp(std::string programFolder) : session_(std::move(programFolder), bridge_) {}

int StartUp::run(const MainWindowRun& mainWindow) {
    QApplication::setWindowIcon(programIcon());
    mainWindow_ = &mainWindow;
    const int code = runStartUp(session_, *this, systemFolderProblem_);
    mainWindow_ = nullptr;
    return code;
}

void StartUp::showMessage(const std::string& caption, const std::string& text,
                          MessageIcon icon) {
    showMessageBox(nullptr, toQtText(caption), toQtText(text), toQtIcon(icon));
}

void StartUp::runMainWindow() { (*mainWindow_)(session_, bridge_); }

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
