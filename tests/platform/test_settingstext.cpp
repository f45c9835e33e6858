#include "platform/settings/settingstext.h"
#include "support/memorysettingsstore.h"

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <QLocale>
#include <QScopeGuard>
#include <QTest>
#include <QVariant>
#include <string>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

// Reads a float the way the C++ library does it, independent of any locale.
float referenceFloat(const std::string &decimal)
{
    float value = std::numeric_limits<float>::quiet_NaN();
    std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
    return value;
}

} // namespace

class TestSettingsText : public QObject {
    Q_OBJECT

private slots:
    void integerText_data();
    void integerText();
    void parseIntegerText_data();
    void parseIntegerText();
    void truthText();
    void parseTruthText_data();
    void parseTruthText();
    void singleText_data();
    void singleText();
    void parseSingleText_data();
    void parseSingleText();
    void rejectsBadText_data();
    void rejectsBadText();

    void readText_data();
    void readText();
    void readWithDefault_data();
    void readWithDefault();
    void writeHelpersStoreTheTextForms();

    void germanLocaleChangesNothing();
};

void TestSettingsText::integerText_data()
{
    QTest::addColumn<qlonglong>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("negative") << -60LL << u"-60"_s;
    QTest::newRow("no group separator") << 1234567LL << u"1234567"_s;
    QTest::newRow("int min") << -2147483648LL << u"-2147483648"_s;
    QTest::newRow("long long max")
        << std::numeric_limits<qlonglong>::max() << u"9223372036854775807"_s;
    QTest::newRow("long long min")
        << std::numeric_limits<qlonglong>::min() << u"-9223372036854775808"_s;
}

void TestSettingsText::integerText()
{
    QFETCH(qlonglong, value);
    QFETCH(QString, expected);
    QCOMPARE(plenwick::integerText(value), expected);
}

void TestSettingsText::parseIntegerText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("expected");

    QTest::newRow("negative") << u"-60"_s << true << -60;
    QTest::newRow("plus sign") << u"+7"_s << true << 7;
    QTest::newRow("blanks around") << u" \t42  "_s << true << 42;
    QTest::newRow("int min") << u"-2147483648"_s << true << int(-2147483647 - 1);
    // A fraction rounds to the nearest integer, a half to the even neighbour.
    QTest::newRow("0.5 to even 0") << u"0.5"_s << true << 0;
    QTest::newRow("1.5 to even 2") << u"1.5"_s << true << 2;
    QTest::newRow("2.5 to even 2") << u"2.5"_s << true << 2;
    QTest::newRow("-2.5 to even -2") << u"-2.5"_s << true << -2;
    QTest::newRow("-3.5 to even -4") << u"-3.5"_s << true << -4;
    QTest::newRow("below half") << u"2.4999999"_s << true << 2;
    QTest::newRow("above half beyond double precision")
        << u"2.50000000000000000000000001"_s << true << 3;
    QTest::newRow("below half beyond double precision")
        << u"3.49999999999999999999999999"_s << true << 3;
    QTest::newRow("fraction only above half") << u".51"_s << true << 1;
    QTest::newRow("half below int min rounds to it")
        << u"-2147483647.5"_s << true << int(-2147483647 - 1);
    QTest::newRow("exponent") << u"1E+3"_s << true << 1000;
    QTest::newRow("negative exponent half") << u"25e-1"_s << true << 2;
    QTest::newRow("negative exponent odd half") << u"35e-1"_s << true << 4;

    QTest::newRow("above int max") << u"2147483648"_s << false << 0;
    QTest::newRow("half above int max rounds out") << u"2147483647.5"_s << false << 0;
    QTest::newRow("1e300") << u"1e300"_s << false << 0;
    QTest::newRow("huge exponent") << u"1e99999999999999999999"_s << false << 0;
}

void TestSettingsText::parseIntegerText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, expected);
    const std::optional<int> parsed = plenwick::parseIntegerText(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, expected);
}

void TestSettingsText::truthText()
{
    QCOMPARE(plenwick::truthText(true), u"True"_s);
    QCOMPARE(plenwick::truthText(false), u"False"_s);
}

void TestSettingsText::parseTruthText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("expected");
    QTest::newRow("True") << u"True"_s << true;
    QTest::newRow("tRuE") << u"tRuE"_s << true;
    QTest::newRow("FALSE") << u"FALSE"_s << false;
    QTest::newRow("blanks around") << u" True "_s << true;
    QTest::newRow("0") << u"0"_s << false;
    QTest::newRow("-1") << u"-1"_s << true;
    QTest::newRow("0e5") << u"0e5"_s << false;
    QTest::newRow("tiny fraction")
        << u"0.0000000000000000000000000000000000000000000000001"_s << true;
    QTest::newRow("huge number") << u"1e999"_s << true;
}

void TestSettingsText::parseTruthText()
{
    QFETCH(QString, text);
    QFETCH(bool, expected);
    QCOMPARE(plenwick::parseTruthText(text), std::optional<bool>(expected));
}

void TestSettingsText::singleText_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("whole") << 1215.0f << u"1215"_s;
    QTest::newRow("negative whole") << -60.0f << u"-60"_s;
    QTest::newRow("half") << 1234.5f << u"1234.5"_s;
    QTest::newRow("tenth") << 0.1f << u"0.1"_s;
    QTest::newRow("seven digits") << 546.6667f << u"546.6667"_s;
    QTest::newRow("minus zero") << -0.0f << u"0"_s;
    QTest::newRow("two thirds") << 2.0f / 3.0f << u"0.6666667"_s;
    QTest::newRow("eight digits round to seven") << 12345678.0f << u"12345680"_s;
    QTest::newRow("2^24 rounds to seven") << 16777216.0f << u"16777220"_s;
    QTest::newRow("largest float")
        << std::numeric_limits<float>::max() << u"340282300000000000000000000000000000000"_s;
    QTest::newRow("ten millionth") << 1.0e-7f << u"0.0000001"_s;
    QTest::newRow("smallest normal")
        << std::numeric_limits<float>::min() << u"0.00000000000000000000000000000000000001175494"_s;
    QTest::newRow("smallest subnormal") << std::numeric_limits<float>::denorm_min()
                                        << u"0.000000000000000000000000000000000000000000001"_s;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << u"NaN"_s;
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity() << u"Infinity"_s;
    QTest::newRow("minus infinity") << -std::numeric_limits<float>::infinity() << u"-Infinity"_s;
}

void TestSettingsText::singleText()
{
    QFETCH(float, value);
    QFETCH(QString, expected);
    const QString text = plenwick::singleText(value);
    QCOMPARE(text, expected);
    const std::optional<float> back = plenwick::parseSingleText(text);
    // Non-finite values are written so that every reader falls back to its default.
    QCOMPARE(back.has_value(), std::isfinite(value));
    // Whenever 7 digits suffice for this float, it reads back exactly.
    if (back && referenceFloat(text.toStdString()) == value)
        QCOMPARE(*back, value);
}

void TestSettingsText::parseSingleText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<float>("expected");

    QTest::newRow("blanks around") << u"  6400 "_s << true << 6400.0f;
    QTest::newRow("plus sign") << u"+5"_s << true << 5.0f;
    QTest::newRow("negative exponent") << u"25E-1"_s << true << 2.5f;
    QTest::newRow("fraction only") << u".5"_s << true << 0.5f;
    QTest::newRow("largest float") << u"3.4028235e38"_s << true << FLT_MAX;
    QTest::newRow("subnormal") << u"1e-40"_s << true << 1e-40f;
    QTest::newRow("below smallest reads as zero") << u"1e-50"_s << true << 0.0f;
    QTest::newRow("nine digits round to float") << u"16777217"_s << true << 16777216.0f;

    QTest::newRow("1e300") << u"1e300"_s << false << 0.0f;
    QTest::newRow("just beyond float range") << u"3.5e38"_s << false << 0.0f;
    QTest::newRow("hex float") << u"0x1p3"_s << false << 0.0f;
    QTest::newRow("group separator") << u"1.234,5"_s << false << 0.0f;
}

void TestSettingsText::parseSingleText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(float, expected);
    const std::optional<float> parsed = plenwick::parseSingleText(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, expected);
}

void TestSettingsText::rejectsBadText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks only") << u" \t "_s;
    QTest::newRow("yes") << u"yes"_s;
    QTest::newRow("almost True") << u"Truee"_s;
    QTest::newRow("digits then letters") << u"12px"_s;
    QTest::newRow("NaN") << u"NaN"_s;
    QTest::newRow("nan") << u"nan"_s;
    QTest::newRow("inf") << u"inf"_s;
    QTest::newRow("-Infinity") << u"-Infinity"_s;
    QTest::newRow("hex") << u"0x10"_s;
    QTest::newRow("VB hex") << u"&H10"_s;
    QTest::newRow("comma decimal") << u"2,5"_s;
    QTest::newRow("inner blank") << u"1 000"_s;
    QTest::newRow("two points") << u"1.2.3"_s;
    QTest::newRow("point only") << u"."_s;
    QTest::newRow("sign apart") << u"- 1"_s;
    QTest::newRow("exponent without digits") << u"1e+"_s;
    QTest::newRow("arabic-indic digit") << u"\u0663"_s;
    QTest::newRow("NUL after digits") << QString(u"5\0"_s);
}

void TestSettingsText::rejectsBadText()
{
    QFETCH(QString, text);
    QCOMPARE(plenwick::parseIntegerText(text), std::optional<int>());
    QCOMPARE(plenwick::parseSingleText(text), std::optional<float>());
    QCOMPARE(plenwick::parseTruthText(text), std::optional<bool>());
}

void TestSettingsText::readText_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");
    QTest::newRow("absent gives the default") << false << QString() << u"1"_s;
    QTest::newRow("stored empty stays empty") << true << QString() << QString();
    QTest::newRow("blanks kept") << true << u" abc\t"_s << u" abc\t"_s;
}

void TestSettingsText::readText()
{
    QFETCH(bool, present);
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    MemorySettingsStore store;
    if (present)
        store.preset(u"Preferences"_s, u"RefreshInterval2"_s, stored);
    QCOMPARE(store.read(u"Preferences"_s, u"RefreshInterval2"_s, u"1"_s), expected);
    QCOMPARE(plenwick::readText(store, u"Preferences"_s, u"RefreshInterval2"_s, u"1"_s), expected);
    // A key differing in letter case is another key.
    QCOMPARE(store.read(u"Preferences"_s, u"refreshinterval2"_s, u"x"_s), u"x"_s);
}

// The defaults are those of the magnification (1), a refresh option (true) and the main
// window's width (8200); the type of the expected value picks the reader.
void TestSettingsText::readWithDefault_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("integer absent") << false << QString() << QVariant(1);
    QTest::newRow("integer zero") << true << u"0"_s << QVariant(0);
    QTest::newRow("integer half") << true << u"2.5"_s << QVariant(2);
    QTest::newRow("integer empty") << true << QString() << QVariant(1);
    QTest::newRow("integer letters") << true << u"four"_s << QVariant(1);
    QTest::newRow("integer out of range") << true << u"99999999999"_s << QVariant(1);
    QTest::newRow("truth absent") << false << QString() << QVariant(true);
    QTest::newRow("truth False") << true << u"False"_s << QVariant(false);
    QTest::newRow("truth 0") << true << u"0"_s << QVariant(false);
    QTest::newRow("truth empty") << true << QString() << QVariant(true);
    QTest::newRow("truth garbage") << true << u"maybe"_s << QVariant(true);
    QTest::newRow("single absent") << false << QString() << QVariant(8200.0f);
    QTest::newRow("single fraction") << true << u"1234.5"_s << QVariant(1234.5f);
    QTest::newRow("single empty") << true << QString() << QVariant(8200.0f);
    QTest::newRow("single letters") << true << u"wide"_s << QVariant(8200.0f);
    QTest::newRow("single infinity") << true << u"Infinity"_s << QVariant(8200.0f);
    QTest::newRow("single comma decimal") << true << u"1234,5"_s << QVariant(8200.0f);
}

void TestSettingsText::readWithDefault()
{
    QFETCH(bool, present);
    QFETCH(QString, stored);
    QFETCH(QVariant, expected);
    MemorySettingsStore store;
    if (present)
        store.preset(u"S"_s, u"K"_s, stored);
    switch (expected.typeId()) {
    case QMetaType::Int:
        QCOMPARE(plenwick::readInteger(store, u"S"_s, u"K"_s, 1), expected.toInt());
        break;
    case QMetaType::Bool:
        QCOMPARE(plenwick::readTruth(store, u"S"_s, u"K"_s, true), expected.toBool());
        break;
    default:
        QCOMPARE(plenwick::readSingle(store, u"S"_s, u"K"_s, 8200.0f), expected.toFloat());
    }
    QVERIFY(store.writes().isEmpty()); // reading writes nothing
}

void TestSettingsText::writeHelpersStoreTheTextForms()
{
    MemorySettingsStore store;
    plenwick::writeInteger(store, u"Preferences"_s, u"Zoom"_s, 3);
    plenwick::writeTruth(store, u"Preferences"_s, u"OptRefresh1"_s, false);
    plenwick::writeTruth(store, u"Preferences"_s, u"OptRefresh2"_s, true);
    plenwick::writeSingle(store, u"MainForm"_s, u"Width"_s, 1234.5f);
    QCOMPARE(store.writeLog(),
             (QStringList{u"Preferences/Zoom=3"_s, u"Preferences/OptRefresh1=False"_s,
                          u"Preferences/OptRefresh2=True"_s, u"MainForm/Width=1234.5"_s}));
}

void TestSettingsText::germanLocaleChangesNothing()
{
    const QLocale previousQt;
    const std::string previousC = std::setlocale(LC_ALL, nullptr);
    const auto restore = qScopeGuard([&] {
        QLocale::setDefault(previousQt);
        std::setlocale(LC_ALL, previousC.c_str());
    });
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(QLocale().toString(1234.5, 'f', 1), u"1.234,5"_s);
    // The C library's locale too, where the machine has it.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "de_DE.utf8"))
        QCOMPARE(*std::localeconv()->decimal_point, ',');

    QCOMPARE(plenwick::singleText(1234.5f), u"1234.5"_s);
    QCOMPARE(plenwick::singleText(546.6667f), u"546.6667"_s);
    QCOMPARE(plenwick::singleText(12345678.0f), u"12345680"_s);
    QCOMPARE(plenwick::integerText(1234567), u"1234567"_s);
    QCOMPARE(plenwick::parseSingleText(u"1234.5"_s), std::optional<float>(1234.5f));
    QCOMPARE(plenwick::parseSingleText(u"1234,5"_s), std::optional<float>());
    QCOMPARE(plenwick::parseSingleText(u"1.234,5"_s), std::optional<float>());
    QCOMPARE(plenwick::parseIntegerText(u"2,5"_s), std::optional<int>());
    QCOMPARE(plenwick::parseIntegerText(u"1.000"_s), std::optional<int>(1));
    QCOMPARE(plenwick::parseTruthText(u"0.0"_s), std::optional<bool>(false));
    QCOMPARE(plenwick::parseTruthText(u"Wahr"_s), std::optional<bool>());
}

QTEST_GUILESS_MAIN(TestSettingsText)
#include "test_settingstext.moc"
