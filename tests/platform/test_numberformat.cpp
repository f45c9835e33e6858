#include "platform/toolkit/numberformat.h"

#include <cmath>
#include <limits>
#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {
const QLocale German(QLocale::German, QLocale::Germany);
constexpr double GiB = 1024.0 * 1024.0 * 1024.0;
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
    void threeDigits_data();
    void threeDigits();
    void shortestDecimal_data();
    void shortestDecimal();
    void rounding_data();
    void rounding();
};

void TestNumberFormat::groupedFiveDigits_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");

    const QLocale c = QLocale::c();
    QTest::newRow("0") << 0.0 << c << u"00,000"_s;
    QTest::newRow("64") << 64.0 << c << u"00,064"_s;
    QTest::newRow("seven digits") << 1234567.0 << c << u"1,234,567"_s;
    QTest::newRow("16 GiB, beyond 32 bits") << 16 * GiB << c << u"17,179,869,184"_s;
    QTest::newRow("rounds up to a new group") << 99999.7 << c << u"100,000"_s;
    QTest::newRow("German 64") << 64.0 << German << u"00.064"_s;
    QTest::newRow("German 16 GiB") << 16 * GiB << German << u"17.179.869.184"_s;
}

void TestNumberFormat::groupedFiveDigits()
{
    QFETCH(double, value);
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QCOMPARE(formatGroupedFiveDigits(value, locale), expected);

    // Without a locale the default one is used.
    QLocale::setDefault(locale);
    const QString byDefault = formatGroupedFiveDigits(value);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(byDefault, expected);
}

void TestNumberFormat::threeDigits_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("0") << 0.0 << u"000"_s;
    QTest::newRow("rounds up") << 63.6 << u"064"_s;
    QTest::newRow("no grouping") << 1234567.0 << u"1234567"_s;
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
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("expected");

    const QLocale c = QLocale::c();
    QTest::newRow("4096 / 1024") << 4.0 << c << u"4"_s;
    QTest::newRow("1000 / 1024") << 1000 / 1024.0 << c << u"0.9765625"_s;
    QTest::newRow("negative") << -1.5 << c << u"-1.5"_s;
    // More than 15 significant digits are cut to 15 (rounded), with no exponent.
    QTest::newRow("17 digits") << 123456789.12345678 << c << u"123456789.123457"_s;
    QTest::newRow("1e20") << 1e20 << c << u"100000000000000000000"_s;
    QTest::newRow("small, cut to 15") << 1.2345678901234567e-7 << c << u"0.000000123456789012346"_s;
    // Beyond 15 digits before the point the rest are zeros, not the binary value's digits.
    QTest::newRow("2^70") << std::ldexp(1.0, 70) << c << u"1180591620717410000000"_s;
    QTest::newRow("German 1000 / 1024") << 1000 / 1024.0 << German << u"0,9765625"_s;
    QTest::newRow("German whole, no group separator") << 1234567.0 << German << u"1234567"_s;
}

void TestNumberFormat::shortestDecimal()
{
    QFETCH(double, value);
    QFETCH(QLocale, locale);
    QFETCH(QString, expected);
    QCOMPARE(plenwick::shortestDecimal(value, locale), expected);
}

void TestNumberFormat::rounding_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("toEven");
    QTest::addColumn<qint64>("awayFromZero");

    QTest::newRow("0.5") << 0.5 << 0.0 << qint64(1);
    QTest::newRow("2.5") << 2.5 << 2.0 << qint64(3);
    QTest::newRow("3.5") << 3.5 << 4.0 << qint64(4);
    QTest::newRow("-2.5") << -2.5 << -2.0 << qint64(-3);
    QTest::newRow("2.4") << 2.4 << 2.0 << qint64(2);
    QTest::newRow("31.935") << 31.935 << 32.0 << qint64(32);
    QTest::newRow("16 GiB") << 16 * GiB << 16 * GiB << qint64(17179869184);
    QTest::newRow("huge") << 1e300 << 1e300 << std::numeric_limits<qint64>::max();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("NaN") << nan << nan << qint64(0);
    QTest::newRow("-huge") << -1e300 << -1e300 << std::numeric_limits<qint64>::min();
}

void TestNumberFormat::rounding()
{
    QFETCH(double, value);
    QFETCH(double, toEven);
    QFETCH(qint64, awayFromZero);
    QCOMPARE(plenwick::roundHalfToEven(value), toEven);
    QCOMPARE(qint64(plenwick::roundHalfAwayFromZero(value)), awayFromZero);
}

QTEST_MAIN(TestNumberFormat)
#include "test_numberformat.moc"
