#pragma once
// The text rules of the number edits: which texts may be typed, how a shown text becomes a
// value and how a value is shown. Texts are UTF-8; the decimal separator is the locale's
// (one character, so it may take more than one byte). Plain functions, the same for every
// front end, so that the rules are tested as a table without a toolkit.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestiva {

// Accept flags of a number edit.
constexpr uint16_t kAcceptSeparator = 0x1;  // a decimal separator may be typed
constexpr uint16_t kAcceptSign = 0x2;       // a leading "-" or "+" may be typed

// Digits anywhere, one separator (when accepted, and not in a text that starts with "."), a
// sign only in front (when accepted), nothing else. The empty text passes. The number of
// fraction digits is not limited here.
bool isAcceptableNumberText(std::string_view text, std::string_view separator,
                            uint16_t acceptFlags);

// The value of a non-empty text. Without a separator the text is read as a decimal real
// number with "." as its point, whatever the process's locale, as far as it reads (an
// overflow is an infinity); with one, the whole part and at most `decimals` fraction digits
// are read as integers and the sign is taken from a leading "-", so "-0,5" is -0.5.
double readNumberText(std::string_view text, std::string_view separator, int decimals);

// What an edit holds once its text is committed (Enter, or the edit left): an empty text is 0,
// any other is read (a text without a number reads as 0) and held within `lower` and `upper`;
// the result is what the edit then shows (`decimals` digits) read back, never "-0".
double committedNumber(std::string_view text, std::string_view separator, int decimals,
                       double lower, double upper);

// The value with exactly `decimals` fraction digits, correctly rounded, and `separator` in
// place of ".".
std::string formatNumberText(double value, int decimals, std::string_view separator);

}  // namespace kestiva
