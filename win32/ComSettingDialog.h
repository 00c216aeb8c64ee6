#pragma once
// The communication settings window: the port, the method (automatic search or a manual
// station and bit rate), Reset and the check, with OK and Quit at start-up or a single OK
// later. The rules are ComSettingModel's; the window shows what it says and hands it the
// user's choices. OK waits for a check after every change.

#include <windows.h>

#include <optional>

#include "session/Session.h"
#include "window/ComSettingModel.h"
#include "win32/WindowBridge.h"

namespace kestiva {

class ComSettingDialog final : private ComSettingView {
public:
    enum class Mode { StartUp, Later };

    ComSettingDialog(Session& session, ComSettingMemory& memory, WindowBridge& bridge,
                     Mode mode);

    // Modal over owner; true when the user leaves with OK.
    bool run(HWND owner);

private:
    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void initialise(HWND dialog);
    void applyCaptions();
    bool command(int id, int notification);
    void close(bool confirmed);
    void runCheck();
    // The ports dialog; the model takes what it changed.
    void editPorts();

    // ComSettingView.
    void setItems(ComControl list, const std::vector<std::string>& items) override;
    void setCurrentIndex(ComControl list, int index) override;
    void setChecked(ComControl radio, bool checked) override;
    void setEnabled(ComControl control, bool enabled) override;
    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;

    Session& session_;
    ComSettingMemory& memory_;
    WindowBridge& bridge_;
    Mode mode_;
    HWND dialog_ = nullptr;
    HWND previousOwner_ = nullptr;
    // While the window is up: made once its controls exist, gone (closing its check port)
    // before they are.
    std::optional<ComSettingModel> model_;
};

}  // namespace kestiva
