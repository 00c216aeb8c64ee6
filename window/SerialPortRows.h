#pragma once
// The "Serial ports" dialog's rows without a toolkit: for each port name, the entries its device
// list offers (the default device first, then the devices found, then a device or network
// target written earlier that is not among them), the entry the System/ports files stand for,
// and what a changed choice writes. A front end shows the entries and hands back the text
// each row's list shows, chosen or typed.

#include <string>
#include <vector>

#include "session/PortAccess.h"
#include "settings/LanguageCatalogue.h"

namespace kestiva {

struct PortRow {
    std::string name;                  // "COMn"
    std::vector<std::string> entries;  // the list's texts
    std::vector<std::string> targets;  // per entry: what is written for it, "" for the default
    int writtenIndex = 0;              // the entry the files stand for now
};

// Rows for COM1 to COM<portCount> (at most COM256); each offers its default device and devices.
std::vector<PortRow> makePortRows(const LanguageCatalogue& texts, const PortAccess& ports,
                                  int portCount, const std::vector<SerialDeviceInfo>& devices);

// The text a device's entry shows: its node, with its readable name when it has one.
std::string portDeviceText(const SerialDeviceInfo& device);

// Writes each row whose shown text (choices, one per row, surrounding spaces ignored) asks for
// something else than what is written: an entry's target, or typed text as a network target.
// A written row takes its choice as its written entry; typed text becomes an entry of its
// own. The failures, a line per row ("COM2: ..."): typed text that is no network target, a
// file that could not be written. Empty when every change was written.
std::vector<std::string> applyPortChoices(const LanguageCatalogue& texts, const PortAccess& ports,
                                          std::vector<PortRow>& rows,
                                          const std::vector<std::string>& choices);

}  // namespace kestiva
