#pragma once
// The text rules of the number edits: which texts may be typed, how a shown text becomes a
// value and how a value is shown. Plain functions so that the rules are tested as a table.

#include <QChar>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <cstdint>

namespace kestiva {

// Accept flags of a number edit.
constexpr uint16_t kAcceptSeparator = 0x1;  // a decimal separator may be typed
constexpr uint16_t kAcceptSign = 0x2;       // a leading "-" or "+" may be typed

// The decimal separator of a locale (its first character); the application's default locale
// is the system's unless the program chose another.
QChar decimalSeparator(const QLocale& locale = QLocale());

// Digits anywhere, one separator (when accepted, and not in a text that starts with "."), a
// sign only in front (when accepted), nothing else. The empty text passes. The number of
// fraction digits is not limited here.
bool isAcceptableNumberText(QStringView text, QChar separator, uint16_t acceptFlags);

// The value of a non-empty text. Without a separator the text is read as a real number;
// with one, the whole part and at most `decimals` fraction digits are read as integers and
// the sign is taken from a leading "-", so "-0,5" is -0.5.
double readNumberText(QStringView text, QChar separator, int decimals);

// The value with exactly `decimals` fraction digits and `separator` in place of ".".
QString formatNumberText(double value, int decimals, QChar separator);

}  // namespace kestiva
