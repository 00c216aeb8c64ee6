#pragma once
// The communication settings window: the settings page with OK and quit at start-up, or with a
// single OK later. OK waits for a communication check after every change in the page.

#include <QDialog>

class QPushButton;

namespace kestiva {

class ComSettingPage;
struct ComSettingMemory;
class Session;

class ComSettingFrame final : public QDialog {
    Q_OBJECT

public:
    // At start-up the user either confirms the settings or quits the program; later there is
    // nothing to quit, so a single OK closes the window.
    enum class Mode { StartUp, Later };

    ComSettingFrame(Session& session, ComSettingMemory& memory, Mode mode,
                    QWidget* parent = nullptr);

    ComSettingPage* page() const { return page_; }

private:
    void setOkEnabled(bool enabled);

    ComSettingPage* page_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* quitButton_ = nullptr;
    QPushButton* okButton2_ = nullptr;
};

}  // namespace kestiva
