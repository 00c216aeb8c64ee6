#pragma once
// The program's life, in one call: the order is runStartUp's (window/StartUpModel.h); this
// class shows its windows with the Windows API. Made and run on the window thread.

#include <string>

#include "session/Session.h"
#include "window/ComSettingModel.h"
#include "window/StartUpModel.h"
#include "win32/WindowBridge.h"

namespace kestiva {

class StartUp final : private StartUpView {
public:
    // programFolder ends with '/' and holds System/.
    explicit StartUp(std::string programFolder);
    StartUp(const StartUp&) = delete;
    StartUp& operator=(const StartUp&) = delete;

    // Why the per-user System folder could not be made; said once the terms are accepted.
    void setSystemFolderProblem(std::string problem) { systemFolderProblem_ = std::move(problem); }
    Session& session() { return session_; }

    // The whole run; the program's exit code.
    int run();

private:
    // StartUpView.
    bool userAgrees() override;
    bool userConfirmsCommunicationSettings() override;
    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;
    void runMainWindow() override;

    // Declared before the session: the session calls into it until the session is gone.
    WindowBridge bridge_;
    Session session_;
    ComSettingMemory comSettingMemory_;
    std::string systemFolderProblem_;
};

}  // namespace kestiva
