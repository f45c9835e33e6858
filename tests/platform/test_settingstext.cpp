#include "platform/settingstext.h"
#include "support/memorysettingsstore.h"

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <string>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

// Reads a float the way the C++ library does it, independent of any locale: the
// reference against which the single-precision texts are checked.
float referenceFloat(const std::string &decimal)
{
    float value = std::numeric_limits<float>::quiet_NaN();
    std::from_chars(decimal.data(), decimal.data() + decimal.size(), value);
    return value;
}

int significantDigitCount(const QString &text)
{
    QString digits = text;
    digits.remove(u'-');
    digits.remove(u'.');
    while (digits.startsWith(u'0'))
        digits.remove(0, 1);
    while (digits.endsWith(u'0'))
        digits.chop(1);
    return int(digits.size());
}

// The shape every single-precision text must have: optional minus, digits, and a
// fraction only when it has a last digit other than zero.
const QRegularExpression &plainDecimalShape()
{
    static const QRegularExpression shape(u"^-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?$"_s);
    return shape;
}

// Sets a German locale for both Qt and the C library while it lives, and puts the
// previous ones back afterwards.
class GermanLocale {
public:
    GermanLocale()
    {
        m_previousQt = QLocale();
        if (const char *current = std::setlocale(LC_ALL, nullptr))
            m_previousC = current;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany"}) {
            if (std::setlocale(LC_ALL, name)) {
                m_cLocaleSet = true;
                break;
            }
        }
    }
    ~GermanLocale()
    {
        QLocale::setDefault(m_previousQt);
        std::setlocale(LC_ALL, m_previousC.c_str());
    }
    GermanLocale(const GermanLocale &) = delete;
    GermanLocale &operator=(const GermanLocale &) = delete;

    bool cLocaleSet() const { return m_cLocaleSet; }

private:
    QLocale m_previousQt;
    std::string m_previousC = "C";
    bool m_cLocaleSet = false;
};

} // namespace

class TestSettingsText : public QObject {
    Q_OBJECT

private slots:
    // Integer text
    void integerText_data();
    void integerText();
    void parseIntegerText_data();
    void parseIntegerText();
    void integerRoundTrip();

    // Truth text
    void truthText();
    void parseTruthText_data();
    void parseTruthText();

    // Single-precision text
    void singleText_data();
    void singleText();
    void singleTextOfSevenDigitDecimalsReadsBack();
    void singleTextOfAnyFloatIsCloseAndPlain();
    void parseSingleText_data();
    void parseSingleText();

    // Reading with a default and writing through a store
    void readReturnsStoredTextEvenWhenEmpty();
    void readInteger_data();
    void readInteger();
    void readTruth_data();
    void readTruth();
    void readSingle_data();
    void readSingle();
    void readTextKeepsStoredTextVerbatim();
    void writeHelpersStoreTheTextForms();

    // Locale independence
    void germanLocaleChangesNothing_data();
    void germanLocaleChangesNothing();

    // The test store itself
    void memoryStoreRecordsWritesInOrder();
    void memoryStorePresetAndClear();
};

void TestSettingsText::integerText_data()
{
    QTest::addColumn<qlonglong>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0LL << u"0"_s;
    QTest::newRow("zoom") << 3LL << u"3"_s;
    QTest::newRow("negative") << -60LL << u"-60"_s;
    QTest::newRow("no group separator") << 1234567LL << u"1234567"_s;
    QTest::newRow("int max") << 2147483647LL << u"2147483647"_s;
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

    QTest::newRow("zero") << u"0"_s << true << 0;
    QTest::newRow("plain") << u"3"_s << true << 3;
    QTest::newRow("negative") << u"-60"_s << true << -60;
    QTest::newRow("plus sign") << u"+7"_s << true << 7;
    QTest::newRow("minus zero") << u"-0"_s << true << 0;
    QTest::newRow("leading zeros") << u"007"_s << true << 7;
    QTest::newRow("blanks around") << u"  42  "_s << true << 42;
    QTest::newRow("tabs around") << u"\t42\t"_s << true << 42;
    QTest::newRow("int max") << u"2147483647"_s << true << 2147483647;
    QTest::newRow("int min") << u"-2147483648"_s << true << int(-2147483647 - 1);
    QTest::newRow("many leading zeros") << u"000000000000002"_s << true << 2;

    // A fraction rounds to the nearest integer, a half to the even neighbour.
    QTest::newRow("0.5 to even 0") << u"0.5"_s << true << 0;
    QTest::newRow("1.5 to even 2") << u"1.5"_s << true << 2;
    QTest::newRow("2.5 to even 2") << u"2.5"_s << true << 2;
    QTest::newRow("3.5 to even 4") << u"3.5"_s << true << 4;
    QTest::newRow("-2.5 to even -2") << u"-2.5"_s << true << -2;
    QTest::newRow("-3.5 to even -4") << u"-3.5"_s << true << -4;
    QTest::newRow("below half") << u"2.4999999"_s << true << 2;
    QTest::newRow("above half") << u"2.5000001"_s << true << 3;
    QTest::newRow("above half beyond double precision")
        << u"2.50000000000000000000000001"_s << true << 3;
    QTest::newRow("below half beyond double precision")
        << u"3.49999999999999999999999999"_s << true << 3;
    QTest::newRow("negative above half") << u"-1.7"_s << true << -2;
    QTest::newRow("trailing zeros of a half") << u"2.50000"_s << true << 2;
    QTest::newRow("fraction only") << u".5"_s << true << 0;
    QTest::newRow("fraction only above half") << u".51"_s << true << 1;
    QTest::newRow("point without fraction") << u"5."_s << true << 5;
    QTest::newRow("tiny fraction") << u"0.0000001"_s << true << 0;
    QTest::newRow("half below int max") << u"2147483646.5"_s << true << 2147483646;
    QTest::newRow("half below int min rounds to it")
        << u"-2147483647.5"_s << true << int(-2147483647 - 1);
    QTest::newRow("exponent") << u"1e3"_s << true << 1000;
    QTest::newRow("exponent with sign") << u"1E+2"_s << true << 100;
    QTest::newRow("negative exponent half") << u"25e-1"_s << true << 2;
    QTest::newRow("negative exponent odd half") << u"35e-1"_s << true << 4;
    QTest::newRow("exponent moves point right") << u"1.2345e2"_s << true << 123;

    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("blanks only") << u"   "_s << false << 0;
    QTest::newRow("letters") << u"abc"_s << false << 0;
    QTest::newRow("digits then letters") << u"12abc"_s << false << 0;
    QTest::newRow("truth text") << u"True"_s << false << 0;
    QTest::newRow("NaN") << u"NaN"_s << false << 0;
    QTest::newRow("nan") << u"nan"_s << false << 0;
    QTest::newRow("inf") << u"inf"_s << false << 0;
    QTest::newRow("Infinity") << u"Infinity"_s << false << 0;
    QTest::newRow("-Infinity") << u"-Infinity"_s << false << 0;
    QTest::newRow("hex") << u"0x10"_s << false << 0;
    QTest::newRow("VB hex") << u"&H10"_s << false << 0;
    QTest::newRow("comma decimal") << u"2,5"_s << false << 0;
    QTest::newRow("group separator") << u"1,000"_s << false << 0;
    QTest::newRow("inner blank") << u"1 000"_s << false << 0;
    QTest::newRow("two points") << u"1.2.3"_s << false << 0;
    QTest::newRow("point only") << u"."_s << false << 0;
    QTest::newRow("sign only") << u"-"_s << false << 0;
    QTest::newRow("two signs") << u"--1"_s << false << 0;
    QTest::newRow("sign apart") << u"- 1"_s << false << 0;
    QTest::newRow("exponent without digits") << u"1e"_s << false << 0;
    QTest::newRow("exponent sign without digits") << u"1e+"_s << false << 0;
    QTest::newRow("exponent only") << u"e3"_s << false << 0;
    QTest::newRow("above int max") << u"2147483648"_s << false << 0;
    QTest::newRow("below int min") << u"-2147483649"_s << false << 0;
    QTest::newRow("half above int max rounds out") << u"2147483647.5"_s << false << 0;
    QTest::newRow("ten billion") << u"10000000000"_s << false << 0;
    QTest::newRow("1e300") << u"1e300"_s << false << 0;
    QTest::newRow("huge exponent") << u"1e99999999999999999999"_s << false << 0;
    QTest::newRow("arabic-indic digit") << u"\u0663"_s << false << 0;
    QTest::newRow("fullwidth digit") << u"\uFF11"_s << false << 0;
    QTest::newRow("NUL after digits") << QString(u"5\0"_s) << false << 0;
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

void TestSettingsText::integerRoundTrip()
{
    const int values[] = {0, 1, -1, 2, 4, 100, -2147483647 - 1, 2147483647, 65535, -32768};
    for (const int value : values) {
        const std::optional<int> back = plenwick::parseIntegerText(plenwick::integerText(value));
        QVERIFY2(back.has_value(), qPrintable(plenwick::integerText(value)));
        QCOMPARE(*back, value);
    }
}

void TestSettingsText::truthText()
{
    QCOMPARE(plenwick::truthText(true), u"True"_s);
    QCOMPARE(plenwick::truthText(false), u"False"_s);
    QCOMPARE(plenwick::parseTruthText(plenwick::truthText(true)), std::optional<bool>(true));
    QCOMPARE(plenwick::parseTruthText(plenwick::truthText(false)), std::optional<bool>(false));
}

void TestSettingsText::parseTruthText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<bool>("expected");

    QTest::newRow("True") << u"True"_s << true << true;
    QTest::newRow("true") << u"true"_s << true << true;
    QTest::newRow("TRUE") << u"TRUE"_s << true << true;
    QTest::newRow("tRuE") << u"tRuE"_s << true << true;
    QTest::newRow("False") << u"False"_s << true << false;
    QTest::newRow("false") << u"false"_s << true << false;
    QTest::newRow("FALSE") << u"FALSE"_s << true << false;
    QTest::newRow("fAlSe") << u"fAlSe"_s << true << false;
    QTest::newRow("blanks around") << u" True "_s << true << true;
    QTest::newRow("0") << u"0"_s << true << false;
    QTest::newRow("1") << u"1"_s << true << true;
    QTest::newRow("-1") << u"-1"_s << true << true;
    QTest::newRow("0.0") << u"0.0"_s << true << false;
    QTest::newRow("-0") << u"-0"_s << true << false;
    QTest::newRow("0e5") << u"0e5"_s << true << false;
    QTest::newRow("fraction") << u"0.25"_s << true << true;
    QTest::newRow("tiny fraction")
        << u"0.0000000000000000000000000000000000000000000000001"_s << true << true;
    QTest::newRow("huge number") << u"1e999"_s << true << true;
    QTest::newRow("large integer") << u"12345678901234567890"_s << true << true;

    QTest::newRow("empty") << QString() << false << false;
    QTest::newRow("blanks only") << u"  "_s << false << false;
    QTest::newRow("yes") << u"yes"_s << false << false;
    QTest::newRow("no") << u"no"_s << false << false;
    QTest::newRow("on") << u"on"_s << false << false;
    QTest::newRow("T") << u"T"_s << false << false;
    QTest::newRow("Truee") << u"Truee"_s << false << false;
    QTest::newRow("inner blank") << u"Tr ue"_s << false << false;
    QTest::newRow("VB literal") << u"#TRUE#"_s << false << false;
    QTest::newRow("NaN") << u"NaN"_s << false << false;
    QTest::newRow("inf") << u"inf"_s << false << false;
    QTest::newRow("Infinity") << u"Infinity"_s << false << false;
    QTest::newRow("hex") << u"0x1"_s << false << false;
    QTest::newRow("comma decimal") << u"0,5"_s << false << false;
    QTest::newRow("German word") << u"Wahr"_s << false << false;
}

void TestSettingsText::parseTruthText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(bool, expected);
    const std::optional<bool> parsed = plenwick::parseTruthText(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, expected);
}

void TestSettingsText::singleText_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("whole") << 1215.0f << u"1215"_s;
    QTest::newRow("negative whole") << -60.0f << u"-60"_s;
    QTest::newRow("half") << 1234.5f << u"1234.5"_s;
    QTest::newRow("tenth") << 0.1f << u"0.1"_s;
    QTest::newRow("default height") << 6400.0f << u"6400"_s;
    QTest::newRow("default width") << 8200.0f << u"8200"_s;
    QTest::newRow("hundred") << 100.0f << u"100"_s;
    QTest::newRow("seven digits") << 546.6667f << u"546.6667"_s;
    QTest::newRow("zero") << 0.0f << u"0"_s;
    QTest::newRow("minus zero") << -0.0f << u"0"_s;
    QTest::newRow("one") << 1.0f << u"1"_s;
    QTest::newRow("quarter") << -0.25f << u"-0.25"_s;
    QTest::newRow("third") << 1.0f / 3.0f << u"0.3333333"_s;
    QTest::newRow("two thirds") << 2.0f / 3.0f << u"0.6666667"_s;
    QTest::newRow("window twips") << 4321.25f << u"4321.25"_s;
    QTest::newRow("ten million") << 1.0e7f << u"10000000"_s;
    QTest::newRow("eight digits round to seven") << 12345678.0f << u"12345680"_s;
    QTest::newRow("2^24 rounds to seven") << 16777216.0f << u"16777220"_s;
    QTest::newRow("ten billion") << 1.0e10f << u"10000000000"_s;
    QTest::newRow("largest float")
        << std::numeric_limits<float>::max() << u"340282300000000000000000000000000000000"_s;
    QTest::newRow("ten millionth") << 1.0e-7f << u"0.0000001"_s;
    QTest::newRow("small with digits") << 1.25e-5f << u"0.0000125"_s;
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
    if (std::isfinite(value)) {
        QVERIFY2(plainDecimalShape().match(text).hasMatch(), qPrintable(text));
        // It reads back; whenever 7 digits suffice for this float it reads back exactly.
        const std::optional<float> back = plenwick::parseSingleText(text);
        QVERIFY(back.has_value());
        if (referenceFloat(text.toStdString()) == value)
            QCOMPARE(*back, value);
    } else {
        // Non-finite values are written so that every reader falls back to its default.
        QVERIFY(!plenwick::parseSingleText(text).has_value());
    }
}

void TestSettingsText::singleTextOfSevenDigitDecimalsReadsBack()
{
    // Every float that some decimal of at most 7 significant digits reads as has a text
    // form of at most 7 digits that reads back as the very same float.
    QRandomGenerator random(20240611);
    for (int round = 0; round < 20000; ++round) {
        const int digits = 1 + int(random.bounded(7));
        std::string mantissa = std::to_string(random.bounded(1u, 10u));
        for (int d = 1; d < digits; ++d)
            mantissa += char('0' + random.bounded(10));
        const int exponent = int(random.bounded(-20, 21));
        const std::string decimal = (random.bounded(2) ? "-" : "") + mantissa.substr(0, 1) + "." +
                                    mantissa.substr(1) + "e" + std::to_string(exponent);
        const float value = referenceFloat(decimal);
        QVERIFY2(std::isfinite(value), decimal.c_str());

        const QString text = plenwick::singleText(value);
        const QByteArray context = QByteArray::fromStdString(decimal) + " -> " + text.toUtf8();
        QVERIFY2(plainDecimalShape().match(text).hasMatch(), context.constData());
        QVERIFY2(significantDigitCount(text) <= digits, context.constData());
        const std::optional<float> back = plenwick::parseSingleText(text);
        QVERIFY2(back.has_value(), context.constData());
        QVERIFY2(*back == value, context.constData());
    }
}

void TestSettingsText::singleTextOfAnyFloatIsCloseAndPlain()
{
    // Arbitrary bit patterns: the text has at most 7 significant digits, no exponent, and
    // reads back close to the value.
    QRandomGenerator random(77);
    for (int round = 0; round < 20000; ++round) {
        const quint32 bits = random.generate();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value))
            continue;
        const QString text = plenwick::singleText(value);
        const QByteArray context = QByteArray::number(bits, 16) + " -> " + text.toUtf8();
        QVERIFY2(plainDecimalShape().match(text).hasMatch(), context.constData());
        QVERIFY2(significantDigitCount(text) <= 7, context.constData());
        const std::optional<float> back = plenwick::parseSingleText(text);
        QVERIFY2(back.has_value(), context.constData());
        // Rounding to 7 digits is off by at most half a unit of the 7th digit, and
        // reading that back gives the float nearest to it, no farther than the original.
        const double error = std::abs(double(*back) - double(value));
        QVERIFY2(error <= std::abs(double(value)) * 1.0e-6 + 2.0e-45, context.constData());
    }
}

void TestSettingsText::parseSingleText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<float>("expected");

    QTest::newRow("whole") << u"1215"_s << true << 1215.0f;
    QTest::newRow("negative") << u"-60"_s << true << -60.0f;
    QTest::newRow("fraction") << u"1234.5"_s << true << 1234.5f;
    QTest::newRow("tenth") << u"0.1"_s << true << 0.1f;
    QTest::newRow("seven digits") << u"546.6667"_s << true << 546.6667f;
    QTest::newRow("blanks around") << u"  6400 "_s << true << 6400.0f;
    QTest::newRow("plus sign") << u"+5"_s << true << 5.0f;
    QTest::newRow("exponent") << u"1e3"_s << true << 1000.0f;
    QTest::newRow("negative exponent") << u"25E-1"_s << true << 2.5f;
    QTest::newRow("fraction only") << u".5"_s << true << 0.5f;
    QTest::newRow("point without fraction") << u"7."_s << true << 7.0f;
    QTest::newRow("zero") << u"0"_s << true << 0.0f;
    QTest::newRow("largest float") << u"3.4028235e38"_s << true << FLT_MAX;
    QTest::newRow("largest float in digits")
        << u"340282346638528859811704183484516925440"_s << true << FLT_MAX;
    QTest::newRow("subnormal") << u"1e-40"_s << true << 1e-40f;
    QTest::newRow("below smallest reads as zero") << u"1e-50"_s << true << 0.0f;
    QTest::newRow("nine digits round to float") << u"16777217"_s << true << 16777216.0f;

    QTest::newRow("empty") << QString() << false << 0.0f;
    QTest::newRow("blanks only") << u" \t "_s << false << 0.0f;
    QTest::newRow("letters") << u"abc"_s << false << 0.0f;
    QTest::newRow("digits then letters") << u"12px"_s << false << 0.0f;
    QTest::newRow("NaN") << u"NaN"_s << false << 0.0f;
    QTest::newRow("nan") << u"nan"_s << false << 0.0f;
    QTest::newRow("inf") << u"inf"_s << false << 0.0f;
    QTest::newRow("-inf") << u"-inf"_s << false << 0.0f;
    QTest::newRow("Infinity") << u"Infinity"_s << false << 0.0f;
    QTest::newRow("1e300") << u"1e300"_s << false << 0.0f;
    QTest::newRow("-1e300") << u"-1e300"_s << false << 0.0f;
    QTest::newRow("just beyond float range") << u"3.5e38"_s << false << 0.0f;
    QTest::newRow("1e39 in digits")
        << u"1000000000000000000000000000000000000000"_s << false << 0.0f;
    QTest::newRow("hex") << u"0x10"_s << false << 0.0f;
    QTest::newRow("hex float") << u"0x1p3"_s << false << 0.0f;
    QTest::newRow("comma decimal") << u"1234,5"_s << false << 0.0f;
    QTest::newRow("group separator") << u"1.234,5"_s << false << 0.0f;
    QTest::newRow("two points") << u"1.5.2"_s << false << 0.0f;
    QTest::newRow("inner blank") << u"12 34"_s << false << 0.0f;
    QTest::newRow("point only") << u"."_s << false << 0.0f;
    QTest::newRow("exponent without digits") << u"2e"_s << false << 0.0f;
    QTest::newRow("arabic-indic digit") << u"\u0663"_s << false << 0.0f;
    QTest::newRow("truth text") << u"True"_s << false << 0.0f;
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

void TestSettingsText::readReturnsStoredTextEvenWhenEmpty()
{
    MemorySettingsStore store;
    QCOMPARE(store.read(u"Preferences"_s, u"RefreshInterval1"_s, u"5"_s), u"5"_s);
    store.preset(u"Preferences"_s, u"RefreshInterval1"_s, QString());
    QCOMPARE(store.read(u"Preferences"_s, u"RefreshInterval1"_s, u"5"_s), QString());
    store.preset(u"Preferences"_s, u"RefreshInterval1"_s, u"  7 "_s);
    QCOMPARE(store.read(u"Preferences"_s, u"RefreshInterval1"_s, u"5"_s), u"  7 "_s);
    // Another section or key, or a key differing in letter case, is another value.
    QCOMPARE(store.read(u"DataForm"_s, u"RefreshInterval1"_s, u"x"_s), u"x"_s);
    QCOMPARE(store.read(u"Preferences"_s, u"refreshinterval1"_s, u"x"_s), u"x"_s);
}

void TestSettingsText::readInteger_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    // The default in every row is 1, as for the magnification.
    QTest::newRow("absent") << false << QString() << 1;
    QTest::newRow("stored") << true << u"3"_s << 3;
    QTest::newRow("stored zero") << true << u"0"_s << 0;
    QTest::newRow("stored half") << true << u"2.5"_s << 2;
    QTest::newRow("stored empty") << true << QString() << 1;
    QTest::newRow("stored letters") << true << u"four"_s << 1;
    QTest::newRow("stored out of range") << true << u"99999999999"_s << 1;
    QTest::newRow("stored NaN") << true << u"NaN"_s << 1;
}

void TestSettingsText::readInteger()
{
    QFETCH(bool, present);
    QFETCH(QString, stored);
    QFETCH(int, expected);
    MemorySettingsStore store;
    if (present)
        store.preset(u"Preferences"_s, u"Zoom"_s, stored);
    QCOMPARE(plenwick::readInteger(store, u"Preferences"_s, u"Zoom"_s, 1), expected);
    QVERIFY(store.writes().isEmpty()); // reading writes nothing
}

void TestSettingsText::readTruth_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("defaultValue");
    QTest::addColumn<bool>("expected");
    QTest::newRow("absent, default true") << false << QString() << true << true;
    QTest::newRow("absent, default false") << false << QString() << false << false;
    QTest::newRow("False over default true") << true << u"False"_s << true << false;
    QTest::newRow("true over default false") << true << u"true"_s << false << true;
    QTest::newRow("0 over default true") << true << u"0"_s << true << false;
    QTest::newRow("-1 over default false") << true << u"-1"_s << false << true;
    QTest::newRow("empty keeps default true") << true << QString() << true << true;
    QTest::newRow("empty keeps default false") << true << QString() << false << false;
    QTest::newRow("garbage keeps default true") << true << u"maybe"_s << true << true;
    QTest::newRow("garbage keeps default false") << true << u"maybe"_s << false << false;
}

void TestSettingsText::readTruth()
{
    QFETCH(bool, present);
    QFETCH(QString, stored);
    QFETCH(bool, defaultValue);
    QFETCH(bool, expected);
    MemorySettingsStore store;
    if (present)
        store.preset(u"Preferences"_s, u"OptRefresh2"_s, stored);
    QCOMPARE(plenwick::readTruth(store, u"Preferences"_s, u"OptRefresh2"_s, defaultValue),
             expected);
}

void TestSettingsText::readSingle_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<float>("expected");
    // The default in every row is 8200, as for the main window's width.
    QTest::newRow("absent") << false << QString() << 8200.0f;
    QTest::newRow("stored") << true << u"9000"_s << 9000.0f;
    QTest::newRow("stored fraction") << true << u"1234.5"_s << 1234.5f;
    QTest::newRow("stored negative") << true << u"-60"_s << -60.0f;
    QTest::newRow("stored empty") << true << QString() << 8200.0f;
    QTest::newRow("stored letters") << true << u"wide"_s << 8200.0f;
    QTest::newRow("stored infinity") << true << u"Infinity"_s << 8200.0f;
    QTest::newRow("stored 1e300") << true << u"1e300"_s << 8200.0f;
    QTest::newRow("stored comma decimal") << true << u"1234,5"_s << 8200.0f;
}

void TestSettingsText::readSingle()
{
    QFETCH(bool, present);
    QFETCH(QString, stored);
    QFETCH(float, expected);
    MemorySettingsStore store;
    if (present)
        store.preset(u"MainForm"_s, u"Width"_s, stored);
    QCOMPARE(plenwick::readSingle(store, u"MainForm"_s, u"Width"_s, 8200.0f), expected);
}

void TestSettingsText::readTextKeepsStoredTextVerbatim()
{
    MemorySettingsStore store;
    QCOMPARE(plenwick::readText(store, u"Preferences"_s, u"RefreshInterval2"_s, u"1"_s), u"1"_s);
    store.preset(u"Preferences"_s, u"RefreshInterval2"_s, QString());
    QCOMPARE(plenwick::readText(store, u"Preferences"_s, u"RefreshInterval2"_s, u"1"_s), QString());
    store.preset(u"Preferences"_s, u"RefreshInterval2"_s, u" abc\t"_s);
    QCOMPARE(plenwick::readText(store, u"Preferences"_s, u"RefreshInterval2"_s, u"1"_s),
             u" abc\t"_s);
}

void TestSettingsText::writeHelpersStoreTheTextForms()
{
    MemorySettingsStore store;
    plenwick::writeInteger(store, u"Preferences"_s, u"Zoom"_s, 3);
    plenwick::writeTruth(store, u"Preferences"_s, u"OptRefresh1"_s, false);
    plenwick::writeTruth(store, u"Preferences"_s, u"OptRefresh2"_s, true);
    plenwick::writeSingle(store, u"MainForm"_s, u"Left"_s, 1215.0f);
    plenwick::writeSingle(store, u"MainForm"_s, u"Top"_s, -60.0f);
    plenwick::writeSingle(store, u"MainForm"_s, u"Width"_s, 1234.5f);
    plenwick::writeInteger(store, u"Preferences"_s, u"Zoom"_s, 4);

    const QStringList expected = {
        u"Preferences/Zoom=3"_s,
        u"Preferences/OptRefresh1=False"_s,
        u"Preferences/OptRefresh2=True"_s,
        u"MainForm/Left=1215"_s,
        u"MainForm/Top=-60"_s,
        u"MainForm/Width=1234.5"_s,
        u"Preferences/Zoom=4"_s,
    };
    QCOMPARE(store.writeLog(), expected);
    QCOMPARE(plenwick::readInteger(store, u"Preferences"_s, u"Zoom"_s, 1), 4);
    QCOMPARE(plenwick::readTruth(store, u"Preferences"_s, u"OptRefresh2"_s, false), true);
    QCOMPARE(plenwick::readSingle(store, u"MainForm"_s, u"Width"_s, 0.0f), 1234.5f);
}

void TestSettingsText::germanLocaleChangesNothing_data()
{
    QTest::addColumn<bool>("alsoCLibrary");
    QTest::newRow("Qt default locale") << false;
    QTest::newRow("Qt and C library locale") << true;
}

void TestSettingsText::germanLocaleChangesNothing()
{
    QFETCH(bool, alsoCLibrary);
    const QLocale before;
    std::optional<GermanLocale> german;
    german.emplace();
    if (alsoCLibrary && !german->cLocaleSet())
        QSKIP("No German locale for the C library on this machine (de_DE.UTF-8)");
    if (!alsoCLibrary)
        std::setlocale(LC_ALL, "C");
    // The locale really is German: Qt's own formatting now groups with "." and uses ",".
    QCOMPARE(QLocale().toString(1234.5, 'f', 1), u"1.234,5"_s);
    if (alsoCLibrary)
        QCOMPARE(*std::localeconv()->decimal_point, ',');

    QCOMPARE(plenwick::singleText(1234.5f), u"1234.5"_s);
    QCOMPARE(plenwick::singleText(0.1f), u"0.1"_s);
    QCOMPARE(plenwick::singleText(546.6667f), u"546.6667"_s);
    QCOMPARE(plenwick::singleText(12345678.0f), u"12345680"_s);
    QCOMPARE(plenwick::singleText(-60.0f), u"-60"_s);
    QCOMPARE(plenwick::integerText(1234567), u"1234567"_s);
    QCOMPARE(plenwick::integerText(-2147483648LL), u"-2147483648"_s);
    QCOMPARE(plenwick::parseSingleText(u"1234.5"_s), std::optional<float>(1234.5f));
    QCOMPARE(plenwick::parseSingleText(u"1234,5"_s), std::optional<float>());
    QCOMPARE(plenwick::parseSingleText(u"1.234,5"_s), std::optional<float>());
    QCOMPARE(plenwick::parseIntegerText(u"2.5"_s), std::optional<int>(2));
    QCOMPARE(plenwick::parseIntegerText(u"3.5"_s), std::optional<int>(4));
    QCOMPARE(plenwick::parseIntegerText(u"2,5"_s), std::optional<int>());
    QCOMPARE(plenwick::parseIntegerText(u"1.000"_s), std::optional<int>(1));
    QCOMPARE(plenwick::parseTruthText(u"0.0"_s), std::optional<bool>(false));
    QCOMPARE(plenwick::parseTruthText(u"Wahr"_s), std::optional<bool>());

    MemorySettingsStore store;
    plenwick::writeSingle(store, u"MainForm"_s, u"Left"_s, 4321.25f);
    QCOMPARE(store.value(u"MainForm"_s, u"Left"_s), std::optional<QString>(u"4321.25"_s));
    QCOMPARE(plenwick::readSingle(store, u"MainForm"_s, u"Left"_s, 0.0f), 4321.25f);

    german.reset();
    QCOMPARE(QLocale(), before);
}

void TestSettingsText::memoryStoreRecordsWritesInOrder()
{
    MemorySettingsStore store;
    store.setValue(u"MainForm"_s, u"Left"_s, u"100"_s);
    store.setValue(u"Preferences"_s, u"Zoom"_s, u"2"_s);
    store.setValue(u"MainForm"_s, u"Left"_s, u"200"_s);
    store.setValue(u"MainForm"_s, u"Top"_s, QString());

    QCOMPARE(store.writes().size(), 4);
    QCOMPARE(store.writes().at(0),
             (MemorySettingsStore::Write{u"MainForm"_s, u"Left"_s, u"100"_s}));
    QCOMPARE(store.writeLog(), (QStringList{u"MainForm/Left=100"_s, u"Preferences/Zoom=2"_s,
                                            u"MainForm/Left=200"_s, u"MainForm/Top="_s}));
    QCOMPARE(store.writtenKeys(u"MainForm"_s), (QStringList{u"Left"_s, u"Top"_s}));
    QCOMPARE(store.value(u"MainForm"_s, u"Left"_s), std::optional<QString>(u"200"_s));
    QCOMPARE(store.value(u"MainForm"_s, u"Top"_s), std::optional<QString>(QString()));
    QVERIFY(store.contains(u"MainForm"_s, u"Top"_s));
    QVERIFY(!store.contains(u"MainForm"_s, u"top"_s));
    QVERIFY(!store.contains(u"Preferences"_s, u"Left"_s));
    QCOMPARE(store.size(), 3);

    store.clearWrites();
    QVERIFY(store.writes().isEmpty());
    QCOMPARE(store.value(u"Preferences"_s, u"Zoom"_s), std::optional<QString>(u"2"_s));
}

void TestSettingsText::memoryStorePresetAndClear()
{
    MemorySettingsStore store;
    store.preset(u"DataForm"_s, u"Left"_s, u"300"_s);
    QVERIFY(store.writes().isEmpty());
    QVERIFY(store.contains(u"DataForm"_s, u"Left"_s));
    QCOMPARE(store.read(u"DataForm"_s, u"Left"_s, u"100"_s), u"300"_s);

    store.setValue(u"DataForm"_s, u"Top"_s, u"50"_s);
    store.clear();
    QVERIFY(store.writes().isEmpty());
    QVERIFY(!store.contains(u"DataForm"_s, u"Left"_s));
    QCOMPARE(store.value(u"DataForm"_s, u"Top"_s), std::optional<QString>());
    QCOMPARE(store.size(), 0);
}

QTEST_GUILESS_MAIN(TestSettingsText)
#include "test_settingstext.moc"
