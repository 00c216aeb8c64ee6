#pragma once
// Decimal texts of integers built in registers, for the passes that write hundreds of
// thousands of them into a table: digits stored a byte at a time and then copied a word at a
// time make the processor wait for each store to land before the copy can read it.

#include <bit>
#include <cstdint>
#include <string>

namespace kestiva {

// A text of up to 16 bytes in two words: byte i of the text is bits 8i to 8i + 7 of low
// (i < 8) or of high (i - 8). The bytes past the text are zero.
struct PackedText {
    uint64_t low = 0;
    uint64_t high = 0;
    unsigned length = 0;

    std::string text() const {
        std::string bytes(length, '\0');
        for (unsigned i = 0; i < length; ++i)
            bytes[i] = char((i < 8 ? low >> 8 * i : high >> 8 * (i - 8)) & 0xFF);
        return bytes;
    }
};

namespace detail {

// The eight decimal digits of v (below 10^8) as byte values 0 to 9, the most significant in
// the lowest byte: the two halves of four digits, then of two, then of one, each split in
// all lanes at once by multiplying with a reciprocal.
inline uint64_t decimalDigits8(uint32_t v) {
    uint64_t x = v / 10000 | uint64_t(v % 10000) << 32;
    uint64_t y = (x * 10486 >> 20) & 0x0000007F0000007Full;  // lanes below 10^4: / 100
    x = y | (x - y * 100) << 16;
    y = (x * 103 >> 10) & 0x000F000F000F000Full;  // lanes below 100: / 10
    return y | (x - y * 10) << 8;
}

constexpr uint64_t kAsciiZeros = 0x3030303030303030ull;

// The text of v (below 10^8) without leading zeros.
inline __attribute__((always_inline)) PackedText decimalBelow1e8(uint32_t v) {
    const uint64_t digits = decimalDigits8(v);
    // Leading zero digits are the low zero bytes; zero itself keeps its last digit.
    const unsigned leadingZeros = digits == 0 ? 7 : unsigned(std::countr_zero(digits)) / 8;
    return {(digits + kAsciiZeros) >> 8 * leadingZeros, 0, 8 - leadingZeros};
}

}  // namespace detail

// magnitude as "%llu" gives it, preceded by '-' when negative; magnitude below 10^15.
inline __attribute__((always_inline)) PackedText packedDecimal(bool negative, uint64_t magnitude) {
    PackedText text;
    if (magnitude < 100000000) {
        text = detail::decimalBelow1e8(uint32_t(magnitude));
    } else {
        // The leading digits (1 to 7 of them), then the last eight.
        const PackedText head = detail::decimalBelow1e8(uint32_t(magnitude / 100000000));
        const uint64_t tail =
            detail::decimalDigits8(uint32_t(magnitude % 100000000)) + detail::kAsciiZeros;
        const unsigned shift = 8 * head.length;  // 8 to 56
        text = {head.low | tail << shift, tail >> (64 - shift), head.length + 8};
    }
    // Chosen without a branch: the signs of a recording's values follow no pattern a
    // processor could predict.
    const PackedText withSign = {text.low << 8 | '-', text.high << 8 | text.low >> 56,
                                 text.length + 1};
    return negative ? withSign : text;
}

}  // namespace kestiva
