#pragma once
// The seed of a fuzz test: fixed, so that every run tries the same inputs, unless
// KESTIVA_FUZZ_SEED gives another, to replay a reported failure or to widen a run.

#include <cstdint>
#include <cstdlib>

namespace kestiva::test {

inline uint32_t fuzzSeed(uint32_t fallback) {
    const char* text = std::getenv("KESTIVA_FUZZ_SEED");
    return text ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : fallback;
}

}  // namespace kestiva::test
