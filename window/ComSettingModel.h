#pragma once
// The communication settings page's rules without a toolkit: the port, station and bit-rate
// lists, the method's radio buttons, the reset of the manual values, the check and the ports
// dialog, and when OK waits for a new check. Every change the user makes withdraws the last
// confirmation. A front end implements ComSettingView and forwards the user's choices.

#include <functional>
#include <string>
#include <vector>

#include "link/CommunicationCheck.h"
#include "link/SerialPorts.h"
#include "recording/HostInterfaces.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

class Session;

// The controls the model sets; comControlName gives each one's object name. OkButton stands
// for every OK button the frame shows.
enum class ComControl {
    PortList,
    AutoRadio,
    ManualRadio,
    StationLabel,
    StationList,
    BitRateLabel,
    BitRateList,
    InitializeButton,
    OkButton,
};
const char* comControlName(ComControl control);

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

// A port list entry: the name and the device it opens now, from the same listing as the
// command's port list: "COM1  (/dev/ttyUSB0)", the device's final path when it is there, else
// the link's target (or the default device) marked not present; "no device" without one.
std::string portItemText(const LanguageCatalogue& texts, const PortAssignment& port,
                         const std::string& programFolder);
// The entries of COM1 to COM<portCount> (at most 256).
std::vector<std::string> portItemTexts(const LanguageCatalogue& texts,
                                       const std::string& programFolder, int portCount);

class ComSettingView {
public:
    virtual ~ComSettingView() = default;
    virtual void setItems(ComControl list, const std::vector<std::string>& items) = 0;
    // The list's current entry; -1 for none.
    virtual void setCurrentIndex(ComControl list, int index) = 0;
    virtual void setChecked(ComControl radio, bool checked) = 0;
    virtual void setEnabled(ComControl control, bool enabled) = 0;
    // A modal message box over the page.
    virtual void showMessage(const std::string& caption, const std::string& text,
                             MessageIcon icon) = 0;
};

class ComSettingModel {
public:
    // The station list's length and the values Reset sets.
    static constexpr int kStationCount = 32;
    static constexpr int kInitialStation = 1;
    static constexpr int kInitialBitRate = 38400;
    static constexpr int kInitialResponseDelay = 5;

    ComSettingModel(Session& session, ComSettingMemory& memory, ComSettingView& view);
    // Closes the check port when this page's check opened it.
    ~ComSettingModel();
    ComSettingModel(const ComSettingModel&) = delete;
    ComSettingModel& operator=(const ComSettingModel&) = delete;

    // Fills the three lists, without a choice in the port list: what a page shows before load.
    void fillLists();
    // Fills the three lists; then shows the settings record (its port, method, station and
    // bit rate) and takes the port quietly. OK waits for a check.
    void load();

    // The user's choices. A list index is the list's current entry after the choice.
    void chooseAutomatic();
    void chooseManual();
    void choosePort(int index);
    void chooseStation(int index);
    void chooseBitRate(int index);
    // The Reset button: station 1 at 38400 bit/s, the port set to them, a message.
    void reset();

    // The check button. runCheckWindow runs the check with the choice over the open port
    // (its window shows progress and the result) and returns false when no check could be
    // started, which leaves the link unconfirmed. OK is offered again afterwards, whatever
    // the check found.
    void check(const std::function<bool(const CheckChoice&)>& runCheckWindow);
    // The ports dialog: runDialog shows it and returns whether it was accepted. When the
    // chosen port now opens another device, the confirmation is withdrawn and the port taken
    // again.
    void editPorts(const std::function<bool()>& runDialog);

    std::string selectedPortName() const;
    CheckChoice checkChoice() const;
    int portCount() const { return int(portNames_.size()); }
    int portIndex() const { return portIndex_; }
    int stationIndex() const { return stationIndex_; }
    int bitRateIndex() const { return bitRateIndex_; }
    bool automatic() const { return automatic_; }

private:
    void refreshPortTexts();
    // Shows the method; radioWasChecked is what the radio showed when it was handled.
    void applyAutomatic(bool radioWasChecked);
    void applyManual(bool radioWasChecked);
    // Clears the verified station when index differs from the remembered one, and remembers it.
    void noteListIndex(int& remembered, int index);
    // Clears the verified station when the radio's state differs from the remembered one; the
    // remembered state becomes "checked", so only the first handling of each radio in a run
    // withdraws it (OK waits for a new check all the same).
    void noteRadioState(int& remembered, bool checked);
    void withdrawConfirmation();
    std::string assignedDevice() const;

    Session& session_;
    ComSettingMemory& memory_;
    ComSettingView& view_;
    // The check port is the session's; a page closes it only if its own check opened it.
    bool portOpened_ = false;
    std::vector<std::string> portNames_;
    std::vector<int> bitRates_;
    int portIndex_ = -1;
    int stationIndex_ = -1;
    int bitRateIndex_ = -1;
    bool automatic_ = false;
    bool radioShown_ = false;  // a radio button has been checked on this page
};

}  // namespace kestiva
