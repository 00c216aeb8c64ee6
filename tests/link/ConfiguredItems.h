#pragma once
// Enabled items of a controller record, as the decoding tests configure them.

#include <cstdint>

#include "settings/SamplingConfig.h"

namespace kestiva::testing {

// A data item at address of type typeCode (0 to 7, or a bad code), plotted at scale.
inline DataItem dataItem(uint16_t address, int32_t typeCode, double scale = 1.0) {
    DataItem item;
    item.name = "item";
    item.address = address;
    item.typeCode = typeCode;
    item.scale = scale;
    item.enabled = 1;
    return item;
}

// An I/O signal: bit of the register at address.
inline DataItem ioSignal(uint16_t address, uint8_t bit) {
    DataItem item;
    item.name = "signal";
    item.address = address;
    item.bit = bit;
    item.enabled = 1;
    return item;
}

}  // namespace kestiva::testing
