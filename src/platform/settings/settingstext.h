#pragma once

#include "settingsstore.h"

#include <optional>
#include <QString>

namespace plenwick {

// The text forms of stored values. They never depend on the user's locale.

// Integer text: plain decimal, leading minus when negative.
QString integerText(long long value);
// Reads a 32-bit integer; a fraction rounds to the nearest, halves to the even one.
// Nothing for text that is no finite number or lies outside the 32-bit range.
// Numbers are ASCII decimals with "." as the only separator, an optional sign and
// exponent ("1e3"), and blanks around them; never hexadecimal, "inf" or "nan".
std::optional<int> parseIntegerText(const QString &text);

// Truth text: "True" or "False".
QString truthText(bool value);
// "True"/"False" in any letter case, or a number (0 false, any other true).
std::optional<bool> parseTruthText(const QString &text);

// Single-precision text: the shortest decimal form with up to 7 significant digits,
// no separators, no trailing zeros, no point for whole values, "." as the separator.
// Never an exponent: large values are plain digits rounded to 7 significant digits
// (12345678 gives "12345680"), small ones have leading zeros (1e-7 gives "0.0000001").
// NaN and the infinities give "NaN", "Infinity" and "-Infinity", which no reader takes.
QString singleText(float value);
// Nothing for text that is no finite number within single precision's range; a number
// too small for single precision reads as 0.
std::optional<float> parseSingleText(const QString &text);

// Readers with a default: the default applies when the key is absent or its text
// does not parse.
int readInteger(const SettingsStore &store, const QString &section, const QString &key,
                int defaultValue);
bool readTruth(const SettingsStore &store, const QString &section, const QString &key,
               bool defaultValue);
float readSingle(const SettingsStore &store, const QString &section, const QString &key,
                 float defaultValue);
QString readText(const SettingsStore &store, const QString &section, const QString &key,
                 const QString &defaultText);

void writeInteger(SettingsStore &store, const QString &section, const QString &key,
                  long long value);
void writeTruth(SettingsStore &store, const QString &section, const QString &key, bool value);
void writeSingle(SettingsStore &store, const QString &section, const QString &key, float value);

} // namespace plenwick
