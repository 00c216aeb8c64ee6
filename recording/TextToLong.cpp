#include "recording/TextToLong.h"

#include <limits>

namespace kestiva {

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
}  // namespace

int32_t textToLong(std::string_view text, bool* outOfRange) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude in 64 bits and stop growing once it is past any 32-bit value.
    constexpr int64_t kPastRange = int64_t(std::numeric_limits<int32_t>::max()) + 2;
    int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (magnitude < kPastRange) magnitude = magnitude * 10 + (text[i] - '0');
    }
    const int64_t value = negative ? -magnitude : magnitude;
    if (outOfRange)
        *outOfRange = value > std::numeric_limits<int32_t>::max() ||
                      value < std::numeric_limits<int32_t>::min();
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return int32_t(value);
}

}  // namespace kestiva
