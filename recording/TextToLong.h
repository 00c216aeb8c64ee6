#pragma once
// The standard text-to-long conversion of a 32-bit long: leading blanks and one sign
// accepted, digits read as far as they go, values beyond the range clamped.

#include <cstdint>
#include <string_view>

namespace kestiva {

// "  -12x" gives -12; "" or "abc" gives 0; "99999999999" gives 2,147,483,647.
// outOfRange, when given, tells whether the value was clamped (the CSV header checks refuse it).
int32_t textToLong(std::string_view text, bool* outOfRange = nullptr);

}  // namespace kestiva
