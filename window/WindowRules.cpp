#include "window/WindowRules.h"

#include <algorithm>

namespace kestiva {

namespace {

constexpr int kMinDataCycle = 20;
constexpr int kMinIoCycle = 30;

template <typename Records>
std::vector<int> namedSlots(const Records& records) {
    std::vector<int> slots;
    for (std::size_t k = 0; k < records.size(); ++k)
        if (!records[k].name.empty())
            slots.push_back(int(k));
    return slots;
}

}  // namespace

int minimumListedCycle(MonitorKind monitor) {
    return monitor == kDataMonitor ? kMinDataCycle : kMinIoCycle;
}

std::vector<std::string> cycleListItems(const SamplingLists& lists, MonitorKind monitor) {
    std::vector<std::string> items;
    const int minimum = minimumListedCycle(monitor);
    for (int k = 0; k < lists.numCycles && k < int(lists.cycles.size()); ++k)
        if (lists.cycles[std::size_t(k)] >= minimum)
            items.push_back(std::to_string(lists.cycles[std::size_t(k)]));
    return items;
}

std::vector<std::string> timeListItems(const SamplingLists& lists) {
    std::vector<std::string> items;
    for (int k = 0; k < lists.numTimes && k < int(lists.times.size()); ++k)
        if (lists.times[std::size_t(k)] != 0)
            items.push_back(std::to_string(lists.times[std::size_t(k)]));
    return items;
}

std::vector<int> namedControllerSlots(const MonitorConfig& config) {
    return namedSlots(config.controllers);
}

std::vector<int> namedColorSlots(const MonitorConfig& config) {
    return namedSlots(config.colorTables);
}

std::optional<int> slotController(const MonitorConfig& config, int slot) {
    const std::vector<int> slots = namedControllerSlots(config);
    if (slot < 0 || slot >= int(slots.size()))
        return std::nullopt;
    return slots[std::size_t(slot)];
}

int progressPercent(int32_t count, int32_t total) {
    if (total <= 0)
        return 0;
    const int64_t percent = int64_t(std::clamp(count, 0, total)) * 100 / total;
    return percent == 0 ? 1 : int(percent);
}

std::string percentText(int percent) { return std::to_string(percent) + "%"; }

}  // namespace kestiva
