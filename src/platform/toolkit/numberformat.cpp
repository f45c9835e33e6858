#include "numberformat.h"

#include <cmath>
#include <limits>

namespace plenwick {

using namespace Qt::StringLiterals;

std::int64_t roundHalfAwayFromZero(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double r = std::round(value);
    if (r >= 9.2e18)
        return std::numeric_limits<std::int64_t>::max();
    if (r <= -9.2e18)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(r);
}

double roundHalfToEven(double value)
{
    return std::nearbyint(value); // the default rounding mode rounds halves to even
}

namespace {
QString paddedDigits(double value, int minDigits, std::int64_t &rounded)
{
    rounded = roundHalfAwayFromZero(value);
    const bool negative = rounded < 0;
    const auto magnitude = negative ? static_cast<std::uint64_t>(-(rounded + 1)) + 1
                                    : static_cast<std::uint64_t>(rounded);
    QString digits = QString::number(magnitude);
    if (digits.size() < minDigits)
        digits.prepend(QString(minDigits - digits.size(), u'0'));
    return digits;
}
} // namespace

QString formatGroupedFiveDigits(double value, const QLocale &locale)
{
    std::int64_t rounded = 0;
    const QString digits = paddedDigits(value, 5, rounded);
    const QString separator = locale.groupSeparator();
    QString out;
    out.reserve(digits.size() + digits.size() / 3 * separator.size() + 1);
    if (rounded < 0)
        out += u'-';
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += separator;
        out += digits[i];
    }
    return out;
}

QString formatThreeDigits(double value)
{
    std::int64_t rounded = 0;
    const QString digits = paddedDigits(value, 3, rounded);
    return rounded < 0 ? u"-"_s + digits : digits;
}

QString shortestDecimal(double value, const QLocale &locale)
{
    if (!std::isfinite(value))
        return QString::number(value);
    // Whole numbers of up to 15 digits, such as every size in whole pages, are their
    // digits; the general conversion below gives the same text at many times the cost.
    if (std::abs(value) < 1e15 && value == std::trunc(value) &&
        !(value == 0 && std::signbit(value)))
        return QString::number(static_cast<std::int64_t>(value));
    QString text = QString::number(value, 'g', 15);
    if (text.contains(u'e') && std::abs(value) >= 1) {
        // Whole numbers of more than 15 digits: the 15 significant digits, then zeros
        // (the binary value's further digits are not significant).
        const QString scientific = QString::number(std::abs(value), 'e', 14);
        const qsizetype e = scientific.indexOf(u'e');
        QString digits = scientific.left(e).remove(u'.');
        digits += QString(std::max(0, scientific.mid(e + 1).toInt() - 14), u'0');
        text = value < 0 ? u"-"_s + digits : digits;
    } else if (text.contains(u'e')) {
        // Tiny magnitudes: plain digits, 15 significant at most.
        const int exponent = static_cast<int>(std::floor(std::log10(std::abs(value))));
        const int decimals = std::max(0, 14 - exponent);
        text = QString::number(value, 'f', std::min(decimals, 340));
        if (text.contains(u'.')) {
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(u'.'))
                text.chop(1);
        }
    }
    const QString point = locale.decimalPoint();
    if (point != u"."_s)
        text.replace(u'.', point);
    return text;
}

} // namespace plenwick
