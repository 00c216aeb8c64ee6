#pragma once
// The register values of kestiva-sim's exact modes, shared with the tests that check them.

#include <cstdint>

namespace kestiva::sim {

// --mode deterministic: the value of register `address` in the reply to a read of
// `count` registers is (0x1000 + count * 0x100 + address * 3) mod 0x10000.
// Both bytes vary with the address, so a swapped byte order or a shifted frame shows; the
// register count is in it, so a reply read for the wrong request shows too.
// Example: a read of 10 registers from address 0 gives 0x1A00, 0x1A03, 0x1A06, ...
inline uint16_t deterministicRegister(uint16_t address, uint16_t count) {
    return static_cast<uint16_t>(0x1000u + count * 0x100u + address * 3u);
}

// --mode counting: the value of register `address` in the reply to the k-th Read Holding
// Registers request the simulator heard (k from 1) is ((k mod 0x100) << 8) | (address mod 0x100).
// Consecutive replies differ in their high byte, so a lost, repeated or reordered reply shows.
inline uint16_t countingRegister(uint16_t address, uint32_t readNumber) {
    return static_cast<uint16_t>(((readNumber & 0xFFu) << 8) | (address & 0xFFu));
}

}  // namespace kestiva::sim
