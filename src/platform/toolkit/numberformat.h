#pragma once

#include <cstdint>
#include <QLocale>
#include <QString>

namespace plenwick {

// The number pattern "00,000": rounded to a whole number, at least five digits with
// leading zeros, digits grouped in threes by the locale's group separator.
QString formatGroupedFiveDigits(double value, const QLocale &locale = QLocale());
// The number pattern "000": rounded to a whole number, at least three digits.
QString formatThreeDigits(double value);

// Rounds to a whole number the way the number patterns do: halves away from zero.
std::int64_t roundHalfAwayFromZero(double value);
// Rounds halves to the even neighbour.
double roundHalfToEven(double value);

// The shortest decimal text of `value` with at most 15 significant digits, without
// exponent or group separators, with the locale's decimal separator: 1.5, 0.9765625.
QString shortestDecimal(double value, const QLocale &locale = QLocale());

} // namespace plenwick
