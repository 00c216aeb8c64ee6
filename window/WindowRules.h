#pragma once
// Rules that the window and the companion command both apply, written once: which sampling
// cycles a monitor's list offers, which controller record a menu slot stands for, and the
// progress percentage.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/SamplingConfig.h"

namespace kestiva {

// The shortest cycle a monitor's list offers: a shorter one cannot carry its requests (data
// one range, I/O two).
int minimumListedCycle(MonitorKind monitor);

// The cycle list's entries: the configured cycles of at least the monitor's minimum, in
// order; the time list's: the configured times other than 0.
std::vector<std::string> cycleListItems(const SamplingLists& lists, MonitorKind monitor);
std::vector<std::string> timeListItems(const SamplingLists& lists);

// Slot k of a menu shows record slots[k]: the records with a name, in table order.
std::vector<int> namedControllerSlots(const MonitorConfig& config);
std::vector<int> namedColorSlots(const MonitorConfig& config);

// The controller record that the menu's slot stands for; nullopt when no record has a name
// (or slot is not one of the menu's).
std::optional<int> slotController(const MonitorConfig& config, int slot);

// The progress bar's percentage: count of total, count capped to 0..total, at least 1 once
// there is a total; 0 when total is 0 or less (nothing is shown then).
int progressPercent(int32_t count, int32_t total);
// The percentage as the progress area writes it: "42%".
std::string percentText(int percent);

}  // namespace kestiva
