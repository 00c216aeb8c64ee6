#pragma once
// The program's life, in one call: the order is runStartUp's (window/StartUpModel.h); this
// class shows its dialogs with Qt. The program ends early, writing nothing, when the user
// declines the terms or quits the settings, and after either start-up failure box.

#include <functional>
#include <string>

#include "app/ComSettingPage.h"
#include "app/WindowBridge.h"
#include "session/Session.h"
#include "window/StartUpModel.h"

namespace kestiva {

class StartUp final : private StartUpView {
public:
    // Runs the main window modally and returns when it has been closed and destroyed.
    using MainWindowRun = std::function<void(Session&, WindowBridge&)>;

    // programFolder ends with '/' and holds System/.
    explicit StartUp(std::string programFolder);
    StartUp(const StartUp&) = delete;
    StartUp& operator=(const StartUp&) = delete;

    // Why the per-user System folder could not be made (its path and the system's reason);
    // said to the user once the terms are accepted.
    void setSystemFolderProblem(std::string problem) { systemFolderProblem_ = std::move(problem); }

    // The whole run; the program's exit code.
    int run(const MainWindowRun& mainWindow);

    // The settings pages' remembered choices, for the main window's own page.
    ComSettingMemory& comSettingMemory() { return comSettingMemory_; }
    Session& session() { return session_; }

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
    // The main window's run while run() is under way.
    const MainWindowRun* mainWindow_ = nullptr;
};

}  // namespace kestiva
