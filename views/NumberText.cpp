#include "views/NumberText.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace kestiva {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// The leading integer of a text as the C library's atoi reads it (blanks, a sign, digits, and
// nothing after the first other character), but in a double so that no digit count overflows.
double leadingInteger(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    double value = 0.0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10.0 + (text[i].unicode() - u'0');
    }
    return negative ? -value : value;
}

// strtod in the "C" locale, whatever locale the process runs in: the texts here never carry
// the locale's own separator in a form strtod would understand.
double readReal(QStringView text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const std::string bytes = text.toString().toStdString();
    return strtod_l(bytes.c_str(), nullptr, cLocale);
}

}  // namespace

QChar decimalSeparator(const QLocale& locale) {
    const QString point = locale.decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

bool isAcceptableNumberText(QStringView text, QChar separator, uint16_t acceptFlags) {
    bool separatorSeen = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isDigit(c)) {
            continue;
        }
        if (c == separator) {
            if (!(acceptFlags & kAcceptSeparator) || text.front() == u'.' || separatorSeen) {
                return false;
            }
            separatorSeen = true;
            continue;
        }
        if ((c == u'-' || c == u'+') && i == 0 && (acceptFlags & kAcceptSign)) {
            continue;
        }
        return false;
    }
    return true;
}

double readNumberText(QStringView text, QChar separator, int decimals) {
    const qsizetype at = text.indexOf(separator);
    if (at < 0) {
        return readReal(text);
    }
    const double whole = std::fabs(at == 0 ? 0.0 : leadingInteger(text.left(at)));
    const QStringView fraction = text.mid(at + 1).left(std::max(decimals, 0));
    const double digits = leadingInteger(fraction);
    double value = whole + digits / std::pow(10.0, double(fraction.size()));
    if (text.startsWith(u'-')) {
        value = -value;
    }
    return value;
}

QString formatNumberText(double value, int decimals, QChar separator) {
    decimals = std::max(decimals, 0);
    // printf's "%.*f" without its locale: correctly rounded, "." as the point.
    std::string buffer(size_t(decimals) + 330, '\0');
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    QString text = QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
    text.replace(u'.', separator);
    return text;
}

}  // namespace kestiva
