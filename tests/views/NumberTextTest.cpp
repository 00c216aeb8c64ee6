#include "views/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestiva {
namespace {

constexpr uint16_t kBoth = kAcceptSeparator | kAcceptSign;

struct AcceptCase {
    const char16_t* text;
    char16_t separator;
    uint16_t flags;
    bool accepted;
};

TEST(NumberText, AcceptableTexts) {
    const AcceptCase cases[] = {
        {u"", u'.', 0, true},
        {u"0123456789", u'.', 0, true},
        {u"1,25", u',', kBoth, true},
        {u",5", u',', kBoth, true},  // only a leading full stop is refused
        {u".5", u'.', kBoth, false},
        {u"1.2.3", u'.', kBoth, false},
        {u"1,2,", u',', kBoth, false},
        {u"1.5", u',', kBoth, false},  // not this locale's separator
        {u"1.5", u'.', kAcceptSign, false},
        {u"-1.5", u'.', kBoth, true},
        {u"+7", u'.', kBoth, true},
        {u"-", u'.', kBoth, true},
        {u"-3", u'.', kAcceptSeparator, false},
        {u"3-", u'.', kBoth, false},
        {u"--3", u'.', kBoth, false},
        {u"1e5", u'.', kBoth, false},
        {u" 1", u'.', kBoth, false},
        {u"\u0661", u'.', kBoth, false},  // a digit, but not one the edit can read
    };
    for (const AcceptCase& c : cases) {
        EXPECT_EQ(isAcceptableNumberText(QStringView(c.text), QChar(c.separator), c.flags),
                  c.accepted)
            << QString::fromUtf16(c.text).toStdString();
    }
}

struct ReadCase {
    const char16_t* text;
    char16_t separator;
    int decimals;
    double value;
};

TEST(NumberText, ReadingTexts) {
    const ReadCase cases[] = {
        {u"12", u'.', 1, 12.0},
        {u"-3", u'.', 1, -3.0},
        {u"+3", u'.', 1, 3.0},
        {u"-", u'.', 1, 0.0},
        {u"1,25", u',', 1, 1.2},  // fraction digits beyond the decimals are cut, not rounded
        {u"1,29", u',', 2, 1.29},
        {u"-0,5", u',', 1, -0.5},
        {u"-3.25", u'.', 2, -3.25},
        {u",5", u',', 1, 0.5},
        {u"7,", u',', 1, 7.0},
        {u"7.9", u'.', 0, 7.0},
        {u"2,05", u',', 2, 2.05},
        // A whole part longer than any integer type is still read.
        {u"12345678901234567890.5", u'.', 1, 12345678901234567890.5},
        // Without this separator the text is read as a number in the "C" locale.
        {u"1.5", u',', 1, 1.5},
    };
    for (const ReadCase& c : cases) {
        EXPECT_DOUBLE_EQ(readNumberText(QStringView(c.text), QChar(c.separator), c.decimals),
                         c.value)
            << QString::fromUtf16(c.text).toStdString();
    }
    EXPECT_TRUE(std::isinf(readNumberText(QString(400, u'9'), u'.', 1)));
}

struct FormatCase {
    double value;
    int decimals;
    char16_t separator;
    const char16_t* text;
};

TEST(NumberText, FormattingValues) {
    const FormatCase cases[] = {
        {0.0, 1, u',', u"0,0"},
        {1.2, 1, u',', u"1,2"},
        {-0.5, 1, u'.', u"-0.5"},
        {10.0, 0, u'.', u"10"},
        {0.125, 2, u'.', u"0.12"},  // exact halves round to even, as printf does
        {2.675, 2, u'.', u"2.67"},  // 2.675 is 2.67499999... in binary
        {4294967295.0, 3, u',', u"4294967295,000"},
        {1e20, 1, u'.', u"100000000000000000000.0"},
    };
    for (const FormatCase& c : cases) {
        EXPECT_EQ(formatNumberText(c.value, c.decimals, QChar(c.separator)),
                  QString::fromUtf16(c.text));
    }
}

TEST(NumberText, SeparatorComesFromTheLocale) {
    EXPECT_EQ(decimalSeparator(QLocale(QLocale::German, QLocale::Germany)), u',');
    EXPECT_EQ(decimalSeparator(QLocale::c()), u'.');
}

}  // namespace
}  // namespace kestiva
