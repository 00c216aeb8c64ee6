#include "settings/NumberText.h"

#include <charconv>
#include <cstdint>
#include <system_error>

namespace kestiva {

namespace {

constexpr const char* kTypeNames[kDataTypeCount] = {"DWORD", "UDWORD", "WORD", "UWORD",
                                                    "MSB",   "UMSB",   "LSB",  "ULSB"};

template <typename InSet>
int checkSet(std::string_view text, InSet inSet) {
    for (char c : text) {
        if (!inSet(c))
            return -1;
    }
    return 0;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

constexpr int64_t kInt32Max = INT32_MAX;

// Digits (already checked) as a signed 32-bit number; false on overflow, with value set to
// the largest 32-bit value as the C library's conversions leave it.
bool convertDigits(std::string_view digits, int base, int64_t& value) {
    value = 0;
    for (char c : digits) {
        value = value * base + (base == 16 ? hexDigit(c) : c - '0');
        if (value > kInt32Max) {
            value = kInt32Max;
            return false;
        }
    }
    return true;
}

// The decimal parsers share this: the value, or on overflow the largest value cut to the
// output's width, is stored; only a text that is not all digits leaves the output alone.
template <typename Out>
int parseDecimal(std::string_view text, Out& out) {
    if (IsDecimalText(text) != 0)
        return -1;
    int64_t value = 0;
    const bool ok = convertDigits(text, 10, value);
    out = static_cast<Out>(value);
    return ok ? 0 : -1;
}

}  // namespace

int IsDecimalText(std::string_view text) {
    return checkSet(text, isDigit);
}

int IsHexText(std::string_view text) {
    return checkSet(text, [](char c) { return hexDigit(c) >= 0; });
}

int IsRealText(std::string_view text) {
    return checkSet(text, [](char c) { return isDigit(c) || c == '.'; });
}

int IsSignedRealText(std::string_view text) {
    return checkSet(text, [](char c) { return isDigit(c) || c == '.' || c == '+' || c == '-'; });
}

int IsBinaryText(std::string_view text) {
    return checkSet(text, [](char c) { return c == '0' || c == '1'; });
}

int FieldSplitter::NextField(bool restart, std::string_view text, std::string& field) {
    if (!restart)
        position_ = 0;
    field.clear();
    for (std::size_t i = position_; i < text.size(); ++i) {
        if (text[i] == ',') {
            position_ = i + 1;
            if (position_ < text.size())
                return 0;
            position_ = 0;  // a comma that ends the text
            return -2;
        }
        field += text[i];
    }
    return -2;
}

int ParseColor(std::string_view text, uint32_t& color) {
    if (text.empty() || text.front() != '#')
        return -1;
    const std::string_view digits = text.substr(1);
    if (IsHexText(digits) != 0)
        return -1;
    int64_t v = 0;
    if (!convertDigits(digits, 16, v))
        return -1;
    const auto rgb = static_cast<uint32_t>(v);
    color = ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
    return 0;
}

int ParseRegisterAddress(std::string_view text, uint16_t& address) {
    if (text.size() != 5 || (text.front() != 'D' && text.front() != 'd'))
        return -1;
    const std::string_view digits = text.substr(1);
    if (IsHexText(digits) != 0)
        return -1;
    int64_t v = 0;
    convertDigits(digits, 16, v);  // four digits cannot overflow
    address = static_cast<uint16_t>(v);
    return 0;
}

int ParseDecimal16(std::string_view text, uint16_t& value) {
    if (text.empty())
        return -1;
    return parseDecimal(text, value);
}

int ParseDecimal8(std::string_view text, uint8_t& value) {
    if (text.empty())
        return -1;
    return parseDecimal(text, value);
}

int ParseBitNumber(std::string_view text, uint8_t& value) {
    return parseDecimal(text, value);
}

int ParseReal(std::string_view text, double& value) {
    if (text.empty() || IsRealText(text) != 0)
        return -1;
    double v = 0.0;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::fixed);
    (void)end;
    if (ec == std::errc::result_out_of_range)
        return -1;
    // A text without digits ("." or "..") converts as nothing, which the C library reads as 0.
    value = ec == std::errc() ? v : 0.0;
    return 0;
}

int ParseTypeName(std::string_view text, int32_t& code) {
    for (int32_t c = 0; c < kDataTypeCount; ++c) {
        if (text == kTypeNames[c]) {
            code = c;
            return 0;
        }
    }
    return -1;
}

const char* dataTypeName(int32_t code) {
    return isDataTypeCode(code) ? kTypeNames[code] : "";
}

}  // namespace kestiva
