#include "refreshinterval.h"

#include <algorithm>
#include <vector>

namespace plenwick {

std::optional<std::int64_t> refreshIntervalMilliseconds(const QString &text, int unitMilliseconds)
{
    if (unitMilliseconds <= 0)
        return std::nullopt;
    const QString trimmed = text.trimmed();

    // The number as one digit string with the count of digits after the point.
    std::vector<int> digits;
    digits.reserve(static_cast<std::size_t>(trimmed.size()));
    std::size_t fractionDigits = 0;
    bool seenPoint = false;
    for (const QChar c : trimmed) {
        const char16_t u = c.unicode();
        if (u >= u'0' && u <= u'9') {
            digits.push_back(u - u'0');
            if (seenPoint)
                ++fractionDigits;
        } else if (u == u'.' && !seenPoint) {
            seenPoint = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits.empty())
        return std::nullopt;

    // Multiply by the unit, digit by digit from the right, so that nothing is lost.
    std::vector<int> product; // least significant digit first
    product.reserve(digits.size() + 8);
    std::int64_t carry = 0;
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        const std::int64_t step = std::int64_t{*it} * unitMilliseconds + carry;
        product.push_back(static_cast<int>(step % 10));
        carry = step / 10;
    }
    while (carry > 0) {
        product.push_back(static_cast<int>(carry % 10));
        carry /= 10;
    }

    // The whole milliseconds are the digits above the fraction.
    std::int64_t whole = 0;
    for (std::size_t i = product.size(); i > fractionDigits; --i) {
        whole = whole * 10 + product[i - 1];
        if (whole > kLongestTimerInterval)
            return kLongestTimerInterval;
    }

    // Round the fraction: above a half up, a half to the even neighbour.
    if (fractionDigits > 0) {
        const int first = product[fractionDigits - 1];
        const bool moreAfter = std::any_of(
            product.begin(), product.begin() + static_cast<std::ptrdiff_t>(fractionDigits - 1),
            [](int d) { return d != 0; });
        if (first > 5 || (first == 5 && (moreAfter || whole % 2 != 0)))
            ++whole;
    }
    return std::min(whole, kLongestTimerInterval);
}

} // namespace plenwick
