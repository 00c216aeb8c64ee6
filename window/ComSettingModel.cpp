#include "window/ComSettingModel.h"

#include <algorithm>
#include <filesystem>

#include "link/SerialLink.h"
#include "session/Session.h"

namespace kestiva {

namespace {

int indexOf(const std::vector<std::string>& items, const std::string& item) {
    const auto at = std::find(items.begin(), items.end(), item);
    return at == items.end() ? -1 : int(at - items.begin());
}

// The path of the device behind path when it is there: every link on the way followed.
std::string finalPath(const std::string& path) {
    // Only a path of this machine's tree; a system's own device name stays as it is.
    if (path.empty() || path.front() != '/')
        return path;
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    return ec ? path : resolved.generic_string();
}

}  // namespace

const char* comControlName(ComControl control) {
    switch (control) {
        case ComControl::PortList: return "portList";
        case ComControl::AutoRadio: return "autoRadio";
        case ComControl::ManualRadio: return "manualRadio";
        case ComControl::StationLabel: return "stationLabel";
        case ComControl::StationList: return "stationList";
        case ComControl::BitRateLabel: return "bitRateLabel";
        case ComControl::BitRateList: return "bitRateList";
        case ComControl::InitializeButton: return "initializeButton";
        case ComControl::OkButton: return "okButton";
    }
    return "?";
}

std::string portItemText(const LanguageCatalogue& texts, const PortAssignment& port,
                         const std::string& programFolder) {
    if (port.device.empty())
        return port.name + "  (" + texts.GetText(text::DLG_COMSETTING_PORT_NO_DEVICE) + ")";
    // Whether a network target answers shows at the check, not in a list.
    if (port.network)
        return port.name + "  (" + port.device + ")";
    const int number = portNumber(port.name);
    const std::string link = number == 0 ? std::string() : portLinkPath(programFolder, number);
    if (port.present)
        return port.name + "  (" + finalPath(port.linked && !link.empty() ? link : port.device) +
               ")";
    // A link's target read from the ports folder, where a relative one starts.
    std::filesystem::path shown(port.device);
    if (port.linked && shown.is_relative() && !link.empty())
        shown = (std::filesystem::path(link).parent_path() / shown).lexically_normal();
    return port.name + "  (" + shown.generic_string() + ", " +
           texts.GetText(text::DLG_COMSETTING_PORT_NOT_PRESENT) + ")";
}

std::vector<std::string> portItemTexts(const LanguageCatalogue& texts,
                                       const std::string& programFolder, int portCount) {
    std::vector<std::string> items;
    for (const PortAssignment& port :
         readPortAssignments(programFolder, std::clamp(portCount, 0, kMaxListedPorts)))
        items.push_back(portItemText(texts, port, programFolder));
    return items;
}

ComSettingModel::ComSettingModel(Session& session, ComSettingMemory& memory,
                                 ComSettingView& view)
    : session_(session), memory_(memory), view_(view) {}

ComSettingModel::~ComSettingModel() {
    if (portOpened_)
        session_.closeCheckPort();
}

void ComSettingModel::fillLists() {
    portNames_.clear();
    const int ports = std::clamp(session_.settings().portCount, 0, kMaxListedPorts);
    for (int n = 1; n <= ports; ++n)
        portNames_.push_back("COM" + std::to_string(n));
    std::vector<std::string> stations;
    for (int station = 1; station <= kStationCount; ++station)
        stations.push_back(std::to_string(station));
    bitRates_.assign(std::begin(CommunicationCheck::kSearchBitRates),
                     std::end(CommunicationCheck::kSearchBitRates));
    std::vector<std::string> bitRateItems;
    for (const int bitRate : bitRates_)
        bitRateItems.push_back(std::to_string(bitRate));
    view_.setItems(ComControl::StationList, stations);
    view_.setItems(ComControl::BitRateList, bitRateItems);
    refreshPortTexts();
}

void ComSettingModel::load() {
    const CommunicationSettings& settings = session_.settings();
    fillLists();
    // An unlisted port shows the first; with no ports the list has no entry.
    portIndex_ = portNames_.empty() ? -1 : std::max(0, indexOf(portNames_, settings.portName));
    refreshPortTexts();
    const bool radioChecked = radioShown_;
    if (settings.autoSearch)
        applyAutomatic(radioChecked && automatic_);
    else
        applyManual(radioChecked && !automatic_);
    // A station beyond the list leaves it without a selection.
    stationIndex_ = settings.stationId < 1 ? 0 : settings.stationId - 1;
    if (stationIndex_ >= kStationCount)
        stationIndex_ = -1;
    view_.setCurrentIndex(ComControl::StationList, stationIndex_);
    const auto rate = std::find(bitRates_.begin(), bitRates_.end(), settings.bitRate);
    bitRateIndex_ = rate == bitRates_.end() ? 0 : int(rate - bitRates_.begin());
    view_.setCurrentIndex(ComControl::BitRateList, bitRateIndex_);
    // The port is held from now on; one that does not open is reported by the check button.
    if (!session_.checkPortOpen())
        portOpened_ = session_.openCheckPortQuietly(selectedPortName());
}

void ComSettingModel::refreshPortTexts() {
    view_.setItems(ComControl::PortList,
                   portItemTexts(session_.texts(), session_.programFolder(), portCount()));
    view_.setCurrentIndex(ComControl::PortList, portIndex_);
}

void ComSettingModel::noteListIndex(int& remembered, int index) {
    if (index != remembered) {
        session_.settings().verifiedStation = -1;
        remembered = index;
    }
}

void ComSettingModel::noteRadioState(int& remembered, bool checked) {
    if ((checked ? 1 : 0) != remembered)
        session_.settings().verifiedStation = -1;
    remembered = 1;
}

void ComSettingModel::withdrawConfirmation() { view_.setEnabled(ComControl::OkButton, false); }

void ComSettingModel::applyAutomatic(bool radioWasChecked) {
    noteRadioState(memory_.autoRadio, radioWasChecked);
    automatic_ = true;
    radioShown_ = true;
    view_.setChecked(ComControl::AutoRadio, true);
    view_.setChecked(ComControl::ManualRadio, false);
    for (const ComControl c : {ComControl::StationLabel, ComControl::StationList,
                               ComControl::BitRateLabel, ComControl::BitRateList,
                               ComControl::InitializeButton})
        view_.setEnabled(c, false);
    session_.settings().autoSearch = true;
    withdrawConfirmation();
}

void ComSettingModel::applyManual(bool radioWasChecked) {
    noteRadioState(memory_.manualRadio, radioWasChecked);
    automatic_ = false;
    radioShown_ = true;
    view_.setChecked(ComControl::ManualRadio, true);
    view_.setChecked(ComControl::AutoRadio, false);
    for (const ComControl c : {ComControl::StationLabel, ComControl::StationList,
                               ComControl::BitRateLabel, ComControl::BitRateList,
                               ComControl::InitializeButton})
        view_.setEnabled(c, true);
    session_.settings().autoSearch = false;
    choosePort(portIndex_);
}

// A radio the user clicks is checked by the time its handler runs.
void ComSettingModel::chooseAutomatic() { applyAutomatic(true); }
void ComSettingModel::chooseManual() { applyManual(true); }

void ComSettingModel::choosePort(int index) {
    portIndex_ = index >= 0 && index < portCount() ? index : -1;
    noteListIndex(memory_.portIndex, portIndex_);
    session_.settings().portName = selectedPortName();
    withdrawConfirmation();
}

void ComSettingModel::chooseStation(int index) {
    stationIndex_ = index >= 0 && index < kStationCount ? index : -1;
    noteListIndex(memory_.stationIndex, stationIndex_);
    withdrawConfirmation();
}

void ComSettingModel::chooseBitRate(int index) {
    bitRateIndex_ = index >= 0 && index < int(bitRates_.size()) ? index : -1;
    noteListIndex(memory_.bitRateIndex, bitRateIndex_);
    withdrawConfirmation();
}

void ComSettingModel::reset() {
    const auto rate = std::find(bitRates_.begin(), bitRates_.end(), kInitialBitRate);
    bitRateIndex_ = rate == bitRates_.end() ? -1 : int(rate - bitRates_.begin());
    stationIndex_ = kInitialStation - 1;
    view_.setCurrentIndex(ComControl::BitRateList, bitRateIndex_);
    view_.setCurrentIndex(ComControl::StationList, stationIndex_);
    session_.configureCheckPort(kInitialBitRate, kInitialResponseDelay);
    const LanguageCatalogue& texts = session_.texts();
    view_.showMessage(texts.GetText(text::MSG_ALARM_TITLE),
                      texts.GetText(text::MSG_COMSETTING_COMINITIALIZE_INITIALIZED),
                      MessageIcon::Information);
    session_.settings().verifiedStation = -1;
    withdrawConfirmation();
}

void ComSettingModel::check(const std::function<bool(const CheckChoice&)>& runCheckWindow) {
    portOpened_ = true;
    if (session_.openCheckPort(selectedPortName()) && !runCheckWindow(checkChoice())) {
        // No worker could be started: the link is as unconfirmed as after a failed check.
        session_.settings().verifiedStation = -1;
        session_.state().communicationConfirmed = false;
    }
    view_.setEnabled(ComControl::OkButton, true);
}

std::string ComSettingModel::assignedDevice() const {
    const int number = portNumber(selectedPortName());
    return number == 0 ? std::string()
                       : readPortAssignment(session_.programFolder(), number).device;
}

void ComSettingModel::editPorts(const std::function<bool()>& runDialog) {
    const std::string port = selectedPortName();
    const std::string before = assignedDevice();
    if (!runDialog())
        return;
    refreshPortTexts();
    if (assignedDevice() == before)
        return;
    // A check of the old device confirms nothing about the new one; the port held since the
    // page's load is the old device, so it is taken again.
    session_.settings().verifiedStation = -1;
    if (session_.checkPortOpen())
        portOpened_ = session_.openCheckPortQuietly(port);
    withdrawConfirmation();
}

std::string ComSettingModel::selectedPortName() const {
    return portIndex_ >= 0 && portIndex_ < portCount() ? portNames_[std::size_t(portIndex_)]
                                                       : std::string();
}

CheckChoice ComSettingModel::checkChoice() const {
    const std::string station = stationIndex_ < 0 ? std::string() : std::to_string(stationIndex_ + 1);
    const std::string bitRate =
        bitRateIndex_ < 0 ? std::string() : std::to_string(bitRates_[std::size_t(bitRateIndex_)]);
    return {automatic_, station, bitRate};
}

}  // namespace kestiva
