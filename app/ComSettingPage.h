#pragma once
// The communication settings page: the port, the method (automatic search or a manual station
// and bit rate), a reset of the manual values, and the communication check. The rules are
// ComSettingModel's; the page shows what it says and hands it the user's choices.

#include <QWidget>

#include <string>
#include <vector>

#include "session/Session.h"
#include "window/ComSettingModel.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kestiva {

class ComSettingPage final : public QWidget, public ComSettingView {
    Q_OBJECT

public:
    ComSettingPage(Session& session, ComSettingMemory& memory, QWidget* parent = nullptr);

    // Shows the settings record: its port, method, station and bit rate.
    void loadFromSettings();

    // ComSettingView.
    void setItems(ComControl list, const std::vector<std::string>& items) override;
    void setCurrentIndex(ComControl list, int index) override;
    void setChecked(ComControl radio, bool checked) override;
    void setEnabled(ComControl control, bool enabled) override;
    void showMessage(const std::string& caption, const std::string& text,
                     MessageIcon icon) override;


signals:
    // The user changed the port, method, station or bit rate, or reset them.
    void confirmationWithdrawn();
    // A check has ended: found, not found, cancelled, or its port did not open.
    void checkEnded();

private:
    void buildControls();
    void applyCaptions();
    void onCheck();
    void onSerialPorts();
    QWidget* control(ComControl control) const;
    QComboBox* list(ComControl list) const;

    Session& session_;

    QGroupBox* portGroup_ = nullptr;
    QGroupBox* methodGroup_ = nullptr;
    QComboBox* portList_ = nullptr;
    QRadioButton* autoRadio_ = nullptr;
    QRadioButton* manualRadio_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QLabel* warningLabel_ = nullptr;
    QLabel* stationLabel_ = nullptr;
    QComboBox* stationList_ = nullptr;
    QLabel* bitRateLabel_ = nullptr;
    QComboBox* bitRateList_ = nullptr;
    QPushButton* initializeButton_ = nullptr;
    QPushButton* checkButton_ = nullptr;
    QPushButton* serialPortsButton_ = nullptr;
    // Last: it shows the settings through the controls above, and closes its port first.
    ComSettingModel model_;
};

}  // namespace kestiva
