#include "settingstext.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <QByteArray>
#include <string>
#include <string_view>
#include <system_error>

using namespace Qt::StringLiterals;

namespace plenwick {

namespace {

// A decimal number as the settings texts write it, taken apart without any locale:
// optional blanks, an optional sign, digits with at most one "." (a digit on at least
// one side of it), an optional exponent ("e" or "E", optional sign, digits), optional
// blanks. Nothing else: no separators, no hexadecimal, no "inf" or "nan".
struct DecimalText {
    bool negative = false;
    // Significant digits, without leading or trailing zeros; empty for zero.
    QByteArray digits;
    // The value is 0.<digits> times ten to this power.
    long long pointPosition = 0;
    // The number as plain ASCII without blanks or leading plus, for std::from_chars.
    QByteArray plain;
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::optional<DecimalText> parseDecimal(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    QByteArray ascii;
    ascii.reserve(trimmed.size());
    for (const QChar c : trimmed) {
        if (c.unicode() >= 0x80)
            return std::nullopt; // Only ASCII digits count, never other scripts' digits.
        ascii.append(static_cast<char>(c.unicode()));
    }

    DecimalText result;
    qsizetype i = 0;
    const qsizetype n = ascii.size();
    if (ascii[i] == '+' || ascii[i] == '-') {
        result.negative = ascii[i] == '-';
        ++i;
    }
    const qsizetype numberStart = i;

    QByteArray allDigits; // integer and fraction digits, as written
    long long integerDigitCount = 0;
    while (i < n && isDigit(ascii[i])) {
        allDigits.append(ascii[i++]);
        ++integerDigitCount;
    }
    long long fractionDigitCount = 0;
    if (i < n && ascii[i] == '.') {
        ++i;
        while (i < n && isDigit(ascii[i])) {
            allDigits.append(ascii[i++]);
            ++fractionDigitCount;
        }
    }
    if (integerDigitCount == 0 && fractionDigitCount == 0)
        return std::nullopt;

    long long exponent = 0;
    if (i < n && (ascii[i] == 'e' || ascii[i] == 'E')) {
        ++i;
        bool exponentNegative = false;
        if (i < n && (ascii[i] == '+' || ascii[i] == '-')) {
            exponentNegative = ascii[i] == '-';
            ++i;
        }
        if (i == n || !isDigit(ascii[i]))
            return std::nullopt;
        // Saturate: far beyond any range that matters, and no overflow.
        constexpr long long exponentCap = 1'000'000'000'000LL;
        while (i < n && isDigit(ascii[i])) {
            if (exponent < exponentCap)
                exponent = exponent * 10 + (ascii[i] - '0');
            ++i;
        }
        if (exponentNegative)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;

    qsizetype first = 0;
    while (first < allDigits.size() && allDigits[first] == '0')
        ++first;
    qsizetype last = allDigits.size();
    while (last > first && allDigits[last - 1] == '0')
        --last;
    result.digits = allDigits.mid(first, last - first);
    result.pointPosition = integerDigitCount - first + exponent;
    result.plain = ascii.mid(numberStart);
    if (result.negative)
        result.plain.prepend('-');
    return result;
}

} // namespace

QString integerText(long long value)
{
    return QString::number(value);
}

std::optional<int> parseIntegerText(const QString &text)
{
    const std::optional<DecimalText> decimal = parseDecimal(text);
    if (!decimal)
        return std::nullopt;
    const QByteArray &digits = decimal->digits;
    if (digits.isEmpty())
        return 0;
    const long long point = decimal->pointPosition;
    // Without leading zeros, the whole part has exactly `point` digits; 2^31 has ten.
    if (point > 10)
        return std::nullopt;

    long long whole = 0;
    for (long long d = 0; d < point; ++d)
        whole = whole * 10 + (d < digits.size() ? digits[d] - '0' : 0);

    // Round the fraction to the nearest, a half to the even neighbour. The digits have
    // no trailing zeros, so anything after the first fraction digit is above zero.
    if (point >= 0 && point < digits.size()) {
        const int firstFraction = digits[point] - '0';
        const bool moreAfter = point + 1 < digits.size();
        if (firstFraction > 5 || (firstFraction == 5 && (moreAfter || whole % 2 != 0)))
            ++whole;
    }

    const long long value = decimal->negative ? -whole : whole;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

QString truthText(bool value)
{
    return value ? u"True"_s : u"False"_s;
}

std::optional<bool> parseTruthText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(u"True"_s, Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(u"False"_s, Qt::CaseInsensitive) == 0)
        return false;
    // Any written decimal number is finite: zero is false, everything else true.
    const std::optional<DecimalText> decimal = parseDecimal(trimmed);
    if (!decimal)
        return std::nullopt;
    return !decimal->digits.isEmpty();
}

QString singleText(float value)
{
    // No text form can stand for these; they are written so that every reader
    // rejects them and falls back to its default.
    if (std::isnan(value))
        return u"NaN"_s;
    if (std::isinf(value))
        return value < 0 ? u"-Infinity"_s : u"Infinity"_s;
    if (value == 0.0f)
        return u"0"_s; // also for -0: a minus zero means nothing to a reader

    // Scientific form first: "d.ddde+XX". The shortest form that reads back as the same
    // float; when that needs more than 7 significant digits, the value rounded to 7.
    char buffer[64];
    auto converted =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string_view scientific(buffer, static_cast<std::size_t>(converted.ptr - buffer));
    auto significantDigits = [](std::string_view form) {
        const std::size_t e = form.find('e');
        int count = 0;
        for (std::size_t k = 0; k < e; ++k)
            count += isDigit(form[k]) ? 1 : 0;
        return count;
    };
    if (significantDigits(scientific) > 7) {
        converted =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 6);
        scientific = std::string_view(buffer, static_cast<std::size_t>(converted.ptr - buffer));
    }

    const std::size_t e = scientific.find('e');
    const bool negative = scientific.front() == '-';
    std::string digits;
    for (std::size_t k = 0; k < e; ++k) {
        if (isDigit(scientific[k]))
            digits.push_back(scientific[k]);
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    int exponent = 0;
    std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+' ? 1 : 0),
                    scientific.data() + scientific.size(), exponent);

    // Plain digits, never an exponent: the largest float gives 39 digits, the smallest
    // subnormal 0.<44 zeros>1; both read back through parseSingleText.
    std::string plain;
    if (negative)
        plain.push_back('-');
    const auto digitCount = static_cast<int>(digits.size());
    if (exponent >= 0) {
        if (digitCount <= exponent + 1) {
            plain += digits;
            plain.append(static_cast<std::size_t>(exponent + 1 - digitCount), '0');
        } else {
            plain.append(digits, 0, static_cast<std::size_t>(exponent + 1));
            plain.push_back('.');
            plain.append(digits, static_cast<std::size_t>(exponent + 1));
        }
    } else {
        plain += "0.";
        plain.append(static_cast<std::size_t>(-exponent - 1), '0');
        plain += digits;
    }
    return QString::fromLatin1(plain.data(), static_cast<qsizetype>(plain.size()));
}

std::optional<float> parseSingleText(const QString &text)
{
    const std::optional<DecimalText> decimal = parseDecimal(text);
    if (!decimal)
        return std::nullopt;
    if (decimal->digits.isEmpty())
        return decimal->negative ? -0.0f : 0.0f;

    // std::from_chars is locale-independent and rounds correctly to the nearest float.
    float value = 0.0f;
    const char *begin = decimal->plain.constData();
    const char *end = begin + decimal->plain.size();
    const auto [ptr, error] = std::from_chars(begin, end, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Too small for a float reads as zero; too large is no single-precision value.
        if (decimal->pointPosition <= 0)
            return decimal->negative ? -0.0f : 0.0f;
        return std::nullopt;
    }
    if (error != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int readInteger(const SettingsStore &store, const QString &section, const QString &key,
                int defaultValue)
{
    const std::optional<QString> text = store.value(section, key);
    if (!text)
        return defaultValue;
    return parseIntegerText(*text).value_or(defaultValue);
}

bool readTruth(const SettingsStore &store, const QString &section, const QString &key,
               bool defaultValue)
{
    const std::optional<QString> text = store.value(section, key);
    if (!text)
        return defaultValue;
    return parseTruthText(*text).value_or(defaultValue);
}

float readSingle(const SettingsStore &store, const QString &section, const QString &key,
                 float defaultValue)
{
    const std::optional<QString> text = store.value(section, key);
    if (!text)
        return defaultValue;
    return parseSingleText(*text).value_or(defaultValue);
}

QString readText(const SettingsStore &store, const QString &section, const QString &key,
                 const QString &defaultText)
{
    return store.read(section, key, defaultText);
}

void writeInteger(SettingsStore &store, const QString &section, const QString &key, long long value)
{
    store.setValue(section, key, integerText(value));
}

void writeTruth(SettingsStore &store, const QString &section, const QString &key, bool value)
{
    store.setValue(section, key, truthText(value));
}

void writeSingle(SettingsStore &store, const QString &section, const QString &key, float value)
{
    store.setValue(section, key, singleText(value));
}

} // namespace plenwick
