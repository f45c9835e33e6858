#include "platform/numberformat.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

const QLocale German(QLocale::German, QLocale::Germany);

constexpr double KiB = 1024.0;
constexpr double MiB = 1024.0 * 1024.0;
constexpr double GiB = 1024.0 * MiB;

} // namespace

class TestNumberFormat : public QObject {
    Q_OBJECT
public:
    static void initMain()
    {
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
        QLocale::setDefault(QLocale::c());
    }

private slots:
    void groupedFiveDigits_data();
    void groupedFiveDigits();
    void groupedFiveDigitsUsesTheLocaleSeparator_data();
    void groupedFiveDigitsUsesTheLocaleSeparator();
    void groupedFiveDigitsFollowsTheDefaultLocale();
    void threeDigits_data();
    void threeDigits();
    void shortestDecimal_data();
    void shortestDecimal();
    void shortestDecimalUsesTheLocaleSeparator_data();
    void shortestDecimalUsesTheLocaleSeparator();
    void shortestDecimalKeepsAtMostFifteenDigits_data();
    void shortestDecimalKeepsAtMostFifteenDigits();
    void roundHalfToEven_data();
    void roundHalfToEven();
    void roundHalfAwayFromZero_data();
    void roundHalfAwayFromZero();
};

void TestNumberFormat::groupedFiveDigits_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("256 MiB") << 268435456.0 << u"268,435,456"_s;
    QTest::newRow("64") << 64.0 << u"00,064"_s;
    QTest::newRow("9999") << 9999.0 << u"09,999"_s;
    QTest::newRow("0") << 0.0 << u"00,000"_s;
    QTest::newRow("five digits") << 12345.0 << u"12,345"_s;
    QTest::newRow("six digits") << 123456.0 << u"123,456"_s;
    QTest::newRow("seven digits") << 1234567.0 << u"1,234,567"_s;
    // Values beyond 32 bits keep every digit.
    QTest::newRow("3 GB") << 3000000000.0 << u"3,000,000,000"_s;
    QTest::newRow("4 GiB") << 4 * GiB << u"4,294,967,296"_s;
    QTest::newRow("16 GiB") << 16 * GiB << u"17,179,869,184"_s;
    // Rounded to a whole number.
    QTest::newRow("rounds down") << 1234.4 << u"01,234"_s;
    QTest::newRow("rounds up") << 1234.6 << u"01,235"_s;
    QTest::newRow("rounds up to a new group") << 99999.7 << u"100,000"_s;
}

void TestNumberFormat::groupedFiveDigits()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(formatGroupedFiveDigits(value, QLocale::c()), expected);
}

void TestNumberFormat::groupedFiveDigitsUsesTheLocaleSeparator_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("256 MiB") << 268435456.0 << u"268.435.456"_s;
    QTest::newRow("64") << 64.0 << u"00.064"_s;
    QTest::newRow("16 GiB") << 16 * GiB << u"17.179.869.184"_s;
}

void TestNumberFormat::groupedFiveDigitsUsesTheLocaleSeparator()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(formatGroupedFiveDigits(value, German), expected);
}

void TestNumberFormat::groupedFiveDigitsFollowsTheDefaultLocale()
{
    QCOMPARE(formatGroupedFiveDigits(1048576), u"1,048,576"_s);
    QLocale::setDefault(German);
    const QString german = formatGroupedFiveDigits(1048576);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(german, u"1.048.576"_s);
}

void TestNumberFormat::threeDigits_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("64 MiB in MiB") << 64 * MiB / MiB << u"064"_s;
    QTest::newRow("256") << 256.0 << u"256"_s;
    QTest::newRow("16384") << 16384.0 << u"16384"_s;
    QTest::newRow("0") << 0.0 << u"000"_s;
    QTest::newRow("7") << 7.0 << u"007"_s;
    QTest::newRow("no grouping") << 1234567.0 << u"1234567"_s;
    QTest::newRow("rounds down") << 63.4 << u"063"_s;
    QTest::newRow("rounds up") << 63.6 << u"064"_s;
    QTest::newRow("beyond 32 bits") << 16 * GiB << u"17179869184"_s;
}

void TestNumberFormat::threeDigits()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(formatThreeDigits(value), expected);
}

void TestNumberFormat::shortestDecimal_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("4") << 4.0 << u"4"_s;
    QTest::newRow("1.5") << 1.5 << u"1.5"_s;
    QTest::newRow("1000 / 1024") << 1000 / KiB << u"0.9765625"_s;
    QTest::newRow("4096 / 1024") << 4096 / KiB << u"4"_s;
    QTest::newRow("0") << 0.0 << u"0"_s;
    QTest::newRow("negative") << -1.5 << u"-1.5"_s;
    QTest::newRow("negative whole") << -2048.0 << u"-2048"_s;
    QTest::newRow("1 / 1024") << 1 / KiB << u"0.0009765625"_s;
    QTest::newRow("large whole") << 16 * GiB / KiB << u"16777216"_s;
    QTest::newRow("0.1") << 0.1 << u"0.1"_s;
    // More than 15 significant digits are cut to 15 (rounded).
    QTest::newRow("one third") << 1.0 / 3.0 << u"0.333333333333333"_s;
    QTest::newRow("two thirds") << 2.0 / 3.0 << u"0.666666666666667"_s;
    QTest::newRow("17 digits") << 123456789.12345678 << u"123456789.123457"_s;
    QTest::newRow("negative 17 digits") << -98765.432109876543 << u"-98765.4321098765"_s;
    // No exponent, however large or small.
    QTest::newRow("1e15") << 1e15 << u"1000000000000000"_s;
    QTest::newRow("1e20") << 1e20 << u"100000000000000000000"_s;
    QTest::newRow("1e-7") << 1e-7 << u"0.0000001"_s;
    QTest::newRow("small, cut to 15") << 1.2345678901234567e-7 << u"0.000000123456789012346"_s;
}

void TestNumberFormat::shortestDecimal()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(plenwick::shortestDecimal(value, QLocale::c()), expected);
}

void TestNumberFormat::shortestDecimalUsesTheLocaleSeparator_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("1.5") << 1.5 << u"1,5"_s;
    QTest::newRow("1000 / 1024") << 1000 / KiB << u"0,9765625"_s;
    QTest::newRow("whole, no group separator") << 1234567.0 << u"1234567"_s;
    QTest::newRow("negative") << -0.25 << u"-0,25"_s;
}

void TestNumberFormat::shortestDecimalUsesTheLocaleSeparator()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(plenwick::shortestDecimal(value, German), expected);
}

void TestNumberFormat::shortestDecimalKeepsAtMostFifteenDigits_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    // Beyond 15 digits before the point the rest are zeros, not the binary value's
    // digits.
    QTest::newRow("21 digits") << 123456789012345678901.0 << u"123456789012346000000"_s;
    QTest::newRow("2^70") << std::ldexp(1.0, 70) << u"1180591620717410000000"_s;
    QTest::newRow("negative 2^60") << -std::ldexp(1.0, 60) << u"-1152921504606850000"_s;
}

void TestNumberFormat::shortestDecimalKeepsAtMostFifteenDigits()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(plenwick::shortestDecimal(value, QLocale::c()), expected);
}

void TestNumberFormat::roundHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");

    QTest::newRow("0.5") << 0.5 << 0.0;
    QTest::newRow("1.5") << 1.5 << 2.0;
    QTest::newRow("2.5") << 2.5 << 2.0;
    QTest::newRow("3.5") << 3.5 << 4.0;
    QTest::newRow("12.5") << 12.5 << 12.0;
    QTest::newRow("-0.5") << -0.5 << 0.0;
    QTest::newRow("-2.5") << -2.5 << -2.0;
    QTest::newRow("-3.5") << -3.5 << -4.0;
    QTest::newRow("2.4") << 2.4 << 2.0;
    QTest::newRow("2.6") << 2.6 << 3.0;
    QTest::newRow("31.935") << 31.935 << 32.0;
    QTest::newRow("3.99") << 3.99 << 4.0;
    QTest::newRow("-2.6") << -2.6 << -3.0;
    QTest::newRow("whole") << 7.0 << 7.0;
}

void TestNumberFormat::roundHalfToEven()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(plenwick::roundHalfToEven(value), expected);
}

void TestNumberFormat::roundHalfAwayFromZero_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("0.5") << 0.5 << qint64(1);
    QTest::newRow("2.5") << 2.5 << qint64(3);
    QTest::newRow("-2.5") << -2.5 << qint64(-3);
    QTest::newRow("2.4") << 2.4 << qint64(2);
    QTest::newRow("16 GiB") << 16 * GiB << qint64(17179869184);
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << qint64(0);
    QTest::newRow("huge") << 1e300 << std::numeric_limits<qint64>::max();
    QTest::newRow("-huge") << -1e300 << std::numeric_limits<qint64>::min();
}

void TestNumberFormat::roundHalfAwayFromZero()
{
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QCOMPARE(qint64(plenwick::roundHalfAwayFromZero(value)), expected);
}

QTEST_MAIN(TestNumberFormat)
#include "test_numberformat.moc"
