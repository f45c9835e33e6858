#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <QString>

namespace plenwick {

// The longest interval the main window's timer can hold, in milliseconds (about 24.8 days).
inline constexpr std::int64_t kLongestTimerInterval = std::numeric_limits<int>::max();

// The refresh interval that a box of the preferences window asks for: the box text read
// as a number of units of `unitMilliseconds` each (1000 for seconds, 60000 for minutes).
//
// The text must be a plain decimal number: ASCII digits with at most one "." as the
// decimal separator (whatever the user's locale) and a digit on at least one side of
// it, with blanks allowed around it. No sign, no exponent, no digit grouping. Anything
// else gives nothing, and the caller keeps the interval it had.
//
// The product is computed exactly, rounded to the nearest millisecond (a half to the
// even neighbour), and clamped to kLongestTimerInterval.
std::optional<std::int64_t> refreshIntervalMilliseconds(const QString &text, int unitMilliseconds);

} // namespace plenwick
