#include "settings/NumberEditText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace kestiva {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Passes the blanks and the one sign the C library lets stand before a number; whether the
// sign was "-".
bool skipBlanksAndSign(std::string_view text, std::size_t& i) {
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        return text[i++] == '-';
    }
    return false;
}

// The leading integer of a text as the C library's atoi reads it (blanks, a sign, digits, and
// nothing after the first other character), but in a double so that no digit count overflows.
double leadingInteger(std::string_view text) {
    std::size_t i = 0;
    const bool negative = skipBlanksAndSign(text, i);
    double value = 0.0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10.0 + (text[i] - '0');
    }
    return negative ? -value : value;
}

// Whether a number that from_chars found out of range is too large (rather than too small):
// its first significant digit stands before the point, or the exponent lifts it there.
bool overflows(std::string_view number) {
    long digitsBeforePoint = 0;
    bool significant = false;
    bool afterPoint = false;
    std::size_t i = 0;
    for (; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.') {
            afterPoint = true;
        } else if (!isDigit(c)) {
            break;
        } else if (!afterPoint && (significant || c != '0')) {
            significant = true;
            ++digitsBeforePoint;
        } else if (afterPoint && !significant) {
            if (c != '0') {
                significant = true;
            } else {
                --digitsBeforePoint;
            }
        }
    }
    long exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        exponent = long(leadingInteger(number.substr(i + 1)));
    }
    return digitsBeforePoint + exponent > 0;
}

// strtod's reading of a decimal text (blanks, a sign, the longest number that follows; 0 when
// none does) without its locale: the point is always ".".
double readReal(std::string_view text) {
    std::size_t i = 0;
    const bool negative = skipBlanksAndSign(text, i);
    const std::string_view number = text.substr(i);
    // from_chars would take a second sign itself; strtod reads "--3" as no number.
    if (number.empty() || number.front() == '-' || number.front() == '+') {
        return 0.0;
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = overflows(number) ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

}  // namespace

bool isAcceptableNumberText(std::string_view text, std::string_view separator,
                            uint16_t acceptFlags) {
    bool separatorSeen = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            continue;
        }
        if (!separator.empty() && text.substr(i).starts_with(separator)) {
            if (!(acceptFlags & kAcceptSeparator) || text.front() == '.' || separatorSeen) {
                return false;
            }
            separatorSeen = true;
            i += separator.size() - 1;
            continue;
        }
        if ((c == '-' || c == '+') && i == 0 && (acceptFlags & kAcceptSign)) {
            continue;
        }
        return false;
    }
    return true;
}

double readNumberText(std::string_view text, std::string_view separator, int decimals) {
    const std::size_t at = separator.empty() ? std::string_view::npos : text.find(separator);
    if (at == std::string_view::npos) {
        return readReal(text);
    }
    const double whole = std::fabs(at == 0 ? 0.0 : leadingInteger(text.substr(0, at)));
    const std::string_view fraction =
        text.substr(at + separator.size(), std::size_t(std::max(decimals, 0)));
    const double digits = leadingInteger(fraction);
    double value = whole + digits / std::pow(10.0, double(fraction.size()));
    if (text.starts_with('-')) {
        value = -value;
    }
    return value;
}

double committedNumber(std::string_view text, std::string_view separator, int decimals,
                       double lower, double upper) {
    double value = 0.0;
    if (!text.empty()) {
        value = readNumberText(text, separator, decimals);
        // Written so that a text that is not a number ends at the lower limit.
        if (!(value >= lower)) {
            value = lower;
        } else if (value > upper) {
            value = upper;
        }
    }
    // "-0" would otherwise be shown as "-0.0" in an edit whose limits start at 0.
    if (value == 0.0) {
        value = 0.0;
    }
    return readNumberText(formatNumberText(value, decimals, separator), separator, decimals);
}

std::string formatNumberText(double value, int decimals, std::string_view separator) {
    decimals = std::max(decimals, 0);
    // printf's "%.*f" without its locale: correctly rounded, "." as the point. The largest
    // double has 309 whole digits.
    std::string buffer(std::size_t(decimals) + 330, '\0');
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    buffer.resize(std::size_t(result.ptr - buffer.data()));
    const std::size_t point = buffer.find('.');
    if (point != std::string::npos) {
        buffer.replace(point, 1, separator);
    }
    return buffer;
}

}  // namespace kestiva
