#pragma once
// What counts as a well-formed number text in the settings files and CSV recordings, and how
// each kind of field becomes a value; the data-type names and their codes.
//
// All checks are exact and case-sensitive, and nothing is trimmed: a space fails every
// character-set check. Results are 0 for success and -1 for failure; on failure the output is
// left alone, except that a decimal conversion that overflows has already stored the largest
// value cut to the output's width (65535, 255).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestiva {

// 0 when the text is empty or every character is in the set, -1 otherwise.
int IsDecimalText(std::string_view text);     // 0-9
int IsHexText(std::string_view text);         // 0-9 A-F a-f
int IsRealText(std::string_view text);        // 0-9 .
int IsSignedRealText(std::string_view text);  // 0-9 . + -
int IsBinaryText(std::string_view text);      // 0 1

// Splits a comma-separated value field by field. The read position lives in the splitter, so
// each user keeps its own.
class FieldSplitter {
public:
    // restart false starts at the beginning of text; true goes on from the last call. field
    // gets the characters up to the next comma or the end, untrimmed. Returns 0 when more
    // fields follow and -2 for the last field: at the end of the text (the position stays, so
    // another call gives the same field again) or before a comma that ends the text (the
    // position returns to 0).
    int NextField(bool restart, std::string_view text, std::string& field);

    std::size_t position() const { return position_; }

private:
    std::size_t position_ = 0;
};

// "#RRGGBB" into 0x00BBGGRR. "#" alone is black; more digits are accepted while the value
// stays within a signed 32-bit number, and bits above 23 are dropped.
int ParseColor(std::string_view text, uint32_t& color);

// "D" or "d" and exactly four hexadecimal digits.
int ParseRegisterAddress(std::string_view text, uint16_t& address);

// Decimal digits as a signed 32-bit number, stored as its low 16 or 8 bits.
int ParseDecimal16(std::string_view text, uint16_t& value);
int ParseDecimal8(std::string_view text, uint8_t& value);

// As ParseDecimal8, but the empty text is 0.
int ParseBitNumber(std::string_view text, uint8_t& value);

// Digits with decimal points: "1." and ".5" are accepted, "1.2.3" reads as 1.2, and "." as 0.
// A number too large (or too small) for a double fails. The conversion does not depend on
// the C locale.
int ParseReal(std::string_view text, double& value);

// The code of a data-type name (exact match), or -1.
int ParseTypeName(std::string_view text, int32_t& code);

// Data-type codes as stored in the sampling configuration and the CSV files.
enum DataTypeCode : int32_t {
    kTypeDword = 0,   // two registers, the first the high-order half, signed
    kTypeUdword = 1,  // the same, unsigned
    kTypeWord = 2,    // one register, signed
    kTypeUword = 3,   // one register, unsigned
    kTypeMsb = 4,     // the register's high-order byte, signed
    kTypeUmsb = 5,    // the same, unsigned
    kTypeLsb = 6,     // the register's low-order byte, signed
    kTypeUlsb = 7,    // the same, unsigned
};
constexpr int kDataTypeCount = 8;

constexpr bool isDataTypeCode(int32_t code) {
    return code >= 0 && code < kDataTypeCount;
}

// "DWORD" ... "ULSB"; "" for a code outside the table.
const char* dataTypeName(int32_t code);

// Registers an item of this type occupies: 2 for DWORD and UDWORD, 1 for the others, 0 for a
// code outside the table.
constexpr int dataTypeRegisterCount(int32_t code) {
    return !isDataTypeCode(code) ? 0 : (code == kTypeDword || code == kTypeUdword) ? 2 : 1;
}

// Whether values of this type are two's complement (the names without U).
constexpr bool dataTypeIsSigned(int32_t code) {
    return code == kTypeDword || code == kTypeWord || code == kTypeMsb || code == kTypeLsb;
}

}  // namespace kestiva
