#pragma once
// The communication settings page: the port, the method (automatic search or a manual station
// and bit rate), a reset of the manual values, and the communication check. Every change the
// user makes withdraws the last confirmation, so that OK waits for a new check.

#include <QWidget>

#include <string>

#include "session/Session.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kestiva {

// What the user last chose, shared by every settings page of the run: a change is a change
// against these, whichever page saw the earlier choice. -1 until first seen.
struct ComSettingMemory {
    int autoRadio = -1;
    int manualRadio = -1;
    int portIndex = -1;
    int bitRateIndex = -1;
    int stationIndex = -1;
};

// Port lists stop at COM256: no device stands behind a higher name.
inline constexpr int kMaxListedPorts = 256;

class ComSettingPage final : public QWidget {
    Q_OBJECT

public:
    ComSettingPage(Session& session, ComSettingMemory& memory, QWidget* parent = nullptr);
    // Closes the port when this page's check opened it.
    ~ComSettingPage() override;

    // Shows the settings record: its port, method, station and bit rate.
    void loadFromSettings();

signals:
    // The user changed the port, method, station or bit rate, or reset them.
    void confirmationWithdrawn();
    // A check has ended: found, not found, cancelled, or its port did not open.
    void checkEnded();

private:
    void buildControls();
    void applyCaptions();
    void fillLists();
    // Shows beside each port name the device it opens now.
    void refreshPortTexts();

    void onAutoRadioClicked();
    void onManualRadioClicked();
    void onPortChosen();
    void onStationChosen();
    void onBitRateChosen();
    void onInitialize();
    void onCheck();
    void onSerialPorts();

    // Clears the verified station when index differs from the remembered one, and remembers it.
    void noteListIndex(int& remembered, int index);
    // Clears the verified station when the radio's state differs from the remembered one.
    void noteRadioState(int& remembered, const QRadioButton* radio);
    void setManualEntryEnabled(bool enabled);
    std::string selectedPortName() const;
    CheckChoice checkChoice() const;

    Session& session_;
    ComSettingMemory& memory_;
    // The check port is the session's; a page closes it only if its own check opened it.
    bool portOpened_ = false;

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
};

// The port list's text for name: the device it opens, marked when that device is not there.
QString portItemText(const LanguageCatalogue& texts, const QString& name,
                     const std::string& device);

}  // namespace kestiva
