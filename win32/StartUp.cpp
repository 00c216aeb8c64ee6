#include "win32/StartUp.h"

#include "win32/ComSettingDialog.h"
#include "win32/DialogSupport.h"
#include "win32/DisclaimerDialog.h"
#include "win32/MainWindow.h"

namespace kestiva {

StartUp::StartUp(std::string programFolder) : session_(std::move(programFolder), bridge_) {}

int StartUp::run() { return runStartUp(session_, *this, systemFolderProblem_); }

bool StartUp::userAgrees() { return askTermsOfUse(session_.texts()); }

bool StartUp::userConfirmsCommunicationSettings() {
    ComSettingDialog dialog(session_, comSettingMemory_, bridge_,
                            ComSettingDialog::Mode::StartUp);
    return dialog.run(nullptr);
}

void StartUp::showMessage(const std::string& caption, const std::string& text,
                          MessageIcon icon) {
    showMessageBox(nullptr, caption, text, icon);
}

void StartUp::runMainWindow() {
    MainWindow window(session_, bridge_, comSettingMemory_);
    window.run();
}

}  // namespace kestiva
