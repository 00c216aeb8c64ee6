#include "settings/NumberEditText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace kestiva {
namespace {

constexpr uint16_t kBoth = kAcceptSeparator | kAcceptSign;
// U+066B, a separator of two bytes in UTF-8.
constexpr const char* kArabicSeparator = "\xD9\xAB";

TEST(NumberEditText, AcceptableTexts) {
    struct Case {
        const char* text;
        const char* separator;
        uint16_t flags;
        bool accepted;
    };
    const Case cases[] = {
        {"", ".", 0, true},
        {"0123456789", ".", 0, true},
        {"1,25", ",", kBoth, true},
        {",5", ",", kBoth, true},  // only a leading full stop is refused
        {".5", ".", kBoth, false},
        {"1.2.3", ".", kBoth, false},
        {"1,2,", ",", kBoth, false},
        {"1.5", ",", kBoth, false},  // not this locale's separator
        {"1.5", ".", kAcceptSign, false},
        {"-1.5", ".", kBoth, true},
        {"+7", ".", kBoth, true},
        {"-", ".", kBoth, true},
        {"-3", ".", kAcceptSeparator, false},
        {"3-", ".", kBoth, false},
        {"--3", ".", kBoth, false},
        {"1e5", ".", kBoth, false},
        {" 1", ".", kBoth, false},
        {"\xD9\xA1", ".", kBoth, false},  // U+0661: a digit, but not one the edit can read
        {"1\xD9\xAB"
         "5",
         kArabicSeparator, kBoth, true},
        {"1\xD9\xAB"
         "5\xD9\xAB",
         kArabicSeparator, kBoth, false},
        {"1\xD9", kArabicSeparator, kBoth, false},  // half a separator
        {"1\xD9\xAB"
         "5",
         kArabicSeparator, kAcceptSign, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isAcceptableNumberText(c.text, c.separator, c.flags), c.accepted)
            << '"' << c.text << '"';
    }
}

TEST(NumberEditText, ReadingTexts) {
    struct Case {
        const char* text;
        const char* separator;
        int decimals;
        double value;
    };
    const Case cases[] = {
        {"12", ".", 1, 12.0},
        {"-3", ".", 1, -3.0},
        {"+3", ".", 1, 3.0},
        {"-", ".", 1, 0.0},
        {"1,25", ",", 1, 1.2},  // fraction digits beyond the decimals are cut, not rounded
        {"1,29", ",", 2, 1.29},
        {"-0,5", ",", 1, -0.5},
        {"-3.25", ".", 2, -3.25},
        {",5", ",", 1, 0.5},
        {"7,", ",", 1, 7.0},
        {"7.9", ".", 0, 7.0},
        {"2,05", ",", 2, 2.05},
        {"-1\xD9\xAB"
         "25",
         kArabicSeparator, 2, -1.25},
        // A whole part longer than any integer type is still read.
        {"12345678901234567890.5", ".", 1, 12345678901234567890.5},
        // Without this separator the text is read as a number with "." as its point, as far
        // as it reads, the way the C library reads it.
        {"1.5", ",", 1, 1.5},
        {" 2.5", ",", 1, 2.5},
        {"1e3", ",", 1, 1000.0},
        {"4.5x", ",", 1, 4.5},
        {"--3", ",", 1, 0.0},
        {"+-3", ",", 1, 0.0},
        {"x", ",", 1, 0.0},
        {"0.1e-400", ",", 1, 0.0},  // too small: zero, as the C library rounds it
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(readNumberText(c.text, c.separator, c.decimals), c.value)
            << '"' << c.text << '"';
    }
    const std::string huge(400, '9');
    EXPECT_EQ(readNumberText(huge, ".", 1), INFINITY);
    EXPECT_EQ(readNumberText("-" + huge, ",", 1), -INFINITY);
    EXPECT_EQ(readNumberText("0.001e400", ",", 1), INFINITY);
    EXPECT_EQ(readNumberText("0." + std::string(400, '0') + "1", ",", 1), 0.0);
}

TEST(NumberEditText, FormattingValues) {
    struct Case {
        double value;
        int decimals;
        const char* separator;
        const char* text;
    };
    const Case cases[] = {
        {0.0, 1, ",", "0,0"},
        {1.2, 1, ",", "1,2"},
        {-0.5, 1, ".", "-0.5"},
        {10.0, 0, ".", "10"},
        {10.0, -2, ".", "10"},
        {0.125, 2, ".", "0.12"},  // exact halves round to even, as printf does
        {2.675, 2, ".", "2.67"},  // 2.675 is 2.67499999... in binary
        {4294967295.0, 3, ",", "4294967295,000"},
        {1e20, 1, ".", "100000000000000000000.0"},
        {-1.25, 2, kArabicSeparator,
         "-1\xD9\xAB"
         "25"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatNumberText(c.value, c.decimals, c.separator), c.text);
    }
    EXPECT_EQ(formatNumberText(-1.7976931348623157e308, 2, ".").size(), 309u + 4u);
}

TEST(NumberEditText, CommittingTexts) {
    struct Case {
        const char* text;
        const char* separator;
        int decimals;
        double lower, upper;
        double value;
    };
    const Case cases[] = {
        {"", ".", 1, 0.0, 10.0, 0.0},      // an empty edit commits 0, whatever its limits
        {"", ".", 1, 5.0, 10.0, 0.0},
        {"-", ".", 1, -3.0, 10.0, 0.0},    // no number reads as 0 ...
        {"-", ".", 1, 1.0, 10.0, 1.0},     // ... held within the limits
        {"-0", ".", 1, -5.0, 5.0, 0.0},    // never "-0"
        {"12.5", ".", 1, 0.0, 10.0, 10.0},
        {"-12.5", ".", 1, -10.0, 10.0, -10.0},
        {"2.25", ".", 1, 0.0, 10.0, 2.2},  // the decimals the edit reads
        {"2,26", ",", 2, 0.0, 10.0, 2.26},
        {"7", ".", 0, 0.0, 10.0, 7.0},
        {"3.14159", ".", 3, 0.0, 10.0, 3.141},
    };
    for (const Case& c : cases) {
        const double value = committedNumber(c.text, c.separator, c.decimals, c.lower, c.upper);
        EXPECT_DOUBLE_EQ(value, c.value) << '"' << c.text << '"';
        EXPECT_FALSE(std::signbit(value) && value == 0.0) << '"' << c.text << '"';
    }
}

// The C library's own locale must not move the point: a process running in a locale whose
// separator is "," still reads and writes ".".
TEST(NumberEditText, TheProcessLocaleChangesNothing) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_ALL, "German_Germany.1252") == nullptr) {
        GTEST_SKIP() << "no German locale on this system";
    }
    const double read = readNumberText("1.5", ",", 1);
    const std::string shown = formatNumberText(2.25, 2, ".");
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(read, 1.5);
    EXPECT_EQ(shown, "2.25");
}

}  // namespace
}  // namespace kestiva
