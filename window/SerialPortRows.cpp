#include "window/SerialPortRows.h"

#include <algorithm>

namespace kestiva {

namespace {

constexpr int kHighestPort = 256;

// The entry of the found device that device names, by its by-id name or its node; -1 when
// none does.
int entryOf(const std::vector<SerialDeviceInfo>& devices, const std::string& device) {
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].path == device || devices[i].byId == device)
            return int(i) + 1;  // after the default entry
    }
    return -1;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

PortRow makeRow(const LanguageCatalogue& texts, const PortAccess& ports, int number,
                const std::vector<SerialDeviceInfo>& devices) {
    PortRow row;
    row.name = "COM" + std::to_string(number);
    row.entries.push_back("(" + texts.GetText(text::DLG_SERIALPORTS_DEFAULT) + ": " +
                          PortAccess::defaultDevice(number) + ")");
    row.targets.push_back("");
    for (const SerialDeviceInfo& device : devices) {
        row.entries.push_back(portDeviceText(device));
        row.targets.push_back(device.linkTarget());
    }
    const PortAssignment assigned = ports.assignment(number);
    if (!assigned.linked)
        return row;
    row.writtenIndex = entryOf(devices, assigned.device);
    if (row.writtenIndex < 0) {
        // A device that is not plugged in now stays choosable as it is.
        const bool shown = assigned.present || assigned.network;
        row.entries.push_back(shown
                                  ? assigned.device
                                  : assigned.device + "  (" +
                                        texts.GetText(text::DLG_COMSETTING_PORT_NOT_PRESENT) + ")");
        row.targets.push_back(assigned.device);
        row.writtenIndex = int(row.entries.size()) - 1;
    }
    return row;
}

// Writes row's choice when it differs from the written entry; "" when done or unchanged.
std::string applyChoice(const LanguageCatalogue& texts, const PortAccess& ports, PortRow& row,
                        const std::string& choice) {
    const std::string typed = trimmed(choice);
    const auto entry = std::find(row.entries.begin(), row.entries.end(), typed);
    const int index = entry == row.entries.end() ? -1 : int(entry - row.entries.begin());
    if (index == row.writtenIndex)
        return {};
    std::string target = index >= 0 ? row.targets[std::size_t(index)] : typed;
    std::string error;
    if (index < 0 &&
        !(PortAccess::looksLikeTarget(target) && PortAccess::validTarget(target, error)))
        return row.name + ": " + texts.GetText(text::DLG_SERIALPORTS_BAD_TARGET) + " " + typed +
               (error.empty() ? "" : " (" + error + ")");
    if (!ports.assign(row.name, target, error))
        return error;
    if (index < 0) {
        // The typed target is now the row's written entry.
        row.entries.push_back(target);
        row.targets.push_back(target);
    }
    row.writtenIndex = index >= 0 ? index : int(row.entries.size()) - 1;
    return {};
}

}  // namespace

std::string portDeviceText(const SerialDeviceInfo& device) {
    return device.byId.empty() ? device.path : device.path + "  (" + device.readableName() + ")";
}

std::vector<PortRow> makePortRows(const LanguageCatalogue& texts, const PortAccess& ports,
                                  int portCount, const std::vector<SerialDeviceInfo>& devices) {
    std::vector<PortRow> rows;
    for (int number = 1; number <= std::clamp(portCount, 0, kHighestPort); ++number)
        rows.push_back(makeRow(texts, ports, number, devices));
    return rows;
}

std::vector<std::string> applyPortChoices(const LanguageCatalogue& texts, const PortAccess& ports,
                                          std::vector<PortRow>& rows,
                                          const std::vector<std::string>& choices) {
    std::vector<std::string> failures;
    for (std::size_t i = 0; i < rows.size() && i < choices.size(); ++i) {
        if (std::string failure = applyChoice(texts, ports, rows[i], choices[i]); !failure.empty())
            failures.push_back(std::move(failure));
    }
    return failures;
}

}  // namespace kestiva
