#include "platform/toolkit/rasterline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSet>
#include <QTest>

using namespace plenwick;

namespace {

constexpr VbColor Background = rgb(255, 255, 255);
constexpr VbColor Ink = rgb(10, 20, 30);
constexpr int Width = 40, Height = 30;

QImage blank(int width = Width, int height = Height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(argbOf(Background));
    return image;
}

QSet<QPoint> inked(const QImage &image)
{
    QSet<QPoint> points;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != argbOf(Background))
                points.insert(QPoint(x, y));
    return points;
}

// The pixels nearest to the ideal line from (x0, y0) to (x1, y1), one per step along the
// longer axis, inside the image; for lines whose ideal position never lies half-way between
// two pixels.
QSet<QPoint> nearest(int x0, int y0, int x1, int y1)
{
    QSet<QPoint> points;
    const int n = std::max({std::abs(x1 - x0), std::abs(y1 - y0), 1});
    for (int k = 0; k <= n; ++k) {
        const auto at = [k, n](int from, int to) {
            return from + static_cast<int>(std::floor(double(to - from) * k / n + 0.5));
        };
        const QPoint p(at(x0, x1), at(y0, y1));
        if (QRect(0, 0, Width, Height).contains(p))
            points.insert(p);
    }
    return points;
}

QByteArray describe(const QSet<QPoint> &actual, const QSet<QPoint> &expected)
{
    QByteArray text;
    auto list = [&text](const char *what, const QSet<QPoint> &points) {
        text += what;
        for (const QPoint &p : points)
            text += " (" + QByteArray::number(p.x()) + "," + QByteArray::number(p.y()) + ")";
        text += "\n";
    };
    list("missing:", expected - actual);
    list("extra:", actual - expected);
    return text;
}

#define COMPARE_PIXELS(actual, expected)                                                           \
    do {                                                                                           \
        const QSet<QPoint> a_ = (actual), e_ = (expected);                                         \
        QVERIFY2(a_ == e_, describe(a_, e_).constData());                                          \
    } while (false)

} // namespace

class TestRasterLine : public QObject {
    Q_OBJECT

private slots:
    void coversExactlyTheLine_data();
    void coversExactlyTheLine();
    void drawsInTheGivenColour();
    void scaleTwoDrawsBlocksClippedToTheLogicalEdge();
    void nullImageOrBadScaleIsLeftAlone();
};

void TestRasterLine::coversExactlyTheLine_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("y1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<double>("y2");
    QTest::addColumn<QSet<QPoint>>("expected");

    const double NaN = std::numeric_limits<double>::quiet_NaN();
    const double Inf = std::numeric_limits<double>::infinity();

    // Both ends are drawn.
    QTest::newRow("vertical up") << 5.0 << 9.0 << 5.0 << 2.0 << nearest(5, 2, 5, 9);
    QTest::newRow("horizontal left") << 12.0 << 7.0 << 3.0 << 7.0 << nearest(3, 7, 12, 7);
    QTest::newRow("single point") << 4.0 << 4.0 << 4.0 << 4.0 << QSet<QPoint>{QPoint(4, 4)};
    QTest::newRow("45 degrees up-right")
        << 1.0 << 4.0 << 4.0 << 1.0
        << QSet<QPoint>{QPoint(1, 4), QPoint(2, 3), QPoint(3, 2), QPoint(4, 1)};
    // The bar's diagonals: one pixel per column, the one nearest to the ideal line.
    QTest::newRow("33 x 25 up-right") << 2.0 << 28.0 << 35.0 << 3.0 << nearest(2, 28, 35, 3);
    QTest::newRow("33 x 25 backwards") << 35.0 << 3.0 << 2.0 << 28.0 << nearest(2, 28, 35, 3);
    QTest::newRow("31 x 24") << 4.0 << 28.0 << 35.0 << 4.0 << nearest(4, 28, 35, 4);
    QTest::newRow("steep: one per row") << 2.0 << 1.0 << 21.0 << 26.0 << nearest(2, 1, 21, 26);
    // Ends are rounded to the nearest pixel.
    QTest::newRow("fractional ends") << 2.4 << 3.6 << 7.4 << 3.6 << nearest(2, 4, 7, 4);
    QTest::newRow("fractional x rounds down") << 4.4 << 0.6 << 4.4 << 5.4 << nearest(4, 1, 4, 5);
    QTest::newRow("ends less than a pixel apart")
        << 6.2 << 6.1 << 5.9 << 5.8 << QSet<QPoint>{QPoint(6, 6)};
    // Clipped to the image.
    QTest::newRow("from the left") << -10.0 << 5.0 << 10.0 << 5.0 << nearest(0, 5, 10, 5);
    QTest::newRow("past the bottom") << 39.0 << 6.0 << 39.0 << 60.0 << nearest(39, 6, 39, 29);
    QTest::newRow("diagonal from the top-left")
        << -5.0 << -5.0 << 3.0 << 3.0 << nearest(0, 0, 3, 3);
    QTest::newRow("wholly right") << 45.0 << 3.0 << 60.0 << 3.0 << QSet<QPoint>();
    QTest::newRow("passing by the corner") << 38.0 << -8.0 << 48.0 << 2.0 << QSet<QPoint>();
    // Absurd coordinates draw the visible part, quickly.
    QTest::newRow("absurd horizontal") << -1e12 << 5.0 << 1e12 << 5.0 << nearest(0, 5, 39, 5);
    QTest::newRow("absurd from far above") << 3.0 << -1e12 << 3.0 << 4.0 << nearest(3, 0, 3, 4);
    QTest::newRow("absurd 45 degrees") << -1e12 << -1e12 << 1e12 << 1e12 << nearest(0, 0, 29, 29);
    QTest::newRow("absurd far end, 33 x 25 slope")
        << 0.0 << 0.0 << 33e10 << 25e10 << nearest(0, 0, 66, 50);
    QTest::newRow("absurd, nowhere near") << 1e12 << 1e12 << 2e12 << 2e12 << QSet<QPoint>();
    QTest::newRow("absurd, above") << -1e12 << -1e12 << 1e12 << -1e12 << QSet<QPoint>();
    // Ends that are not numbers draw nothing.
    QTest::newRow("x1 NaN") << NaN << 2.0 << 5.0 << 2.0 << QSet<QPoint>();
    QTest::newRow("y2 NaN") << 1.0 << 2.0 << 5.0 << NaN << QSet<QPoint>();
    QTest::newRow("x2 -inf") << 1.0 << 2.0 << -Inf << 2.0 << QSet<QPoint>();
    QTest::newRow("y2 +inf") << 1.0 << 2.0 << 1.0 << Inf << QSet<QPoint>();
}

void TestRasterLine::coversExactlyTheLine()
{
    QFETCH(double, x1);
    QFETCH(double, y1);
    QFETCH(double, x2);
    QFETCH(double, y2);
    QFETCH(QSet<QPoint>, expected);

    QImage image = blank();
    rasterLine(image, 1, x1, y1, x2, y2, Ink);
    COMPARE_PIXELS(inked(image), expected);
}

void TestRasterLine::drawsInTheGivenColour()
{
    QImage image = blank(10, 10);
    rasterLine(image, 1, 0, 8, 9, 8, rgb(250, 128, 7));
    // Packed as red + 256 * green + 65536 * blue: red is the lowest byte.
    QCOMPARE(image.pixel(9, 8), qRgb(250, 128, 7));
    // A later line paints over an earlier one.
    rasterLine(image, 1, 2, 0, 2, 9, kBlack);
    QCOMPARE(image.pixel(2, 8), qRgb(0, 0, 0));
}

void TestRasterLine::scaleTwoDrawsBlocksClippedToTheLogicalEdge()
{
    // 20 x 15 logical pixels, each a 2 x 2 block of the image.
    QImage image = blank(40, 30);
    rasterLine(image, 2, 1, 1, 4, 1, Ink);
    rasterLine(image, 2, 7, 3, 7, 4, Ink);
    rasterLine(image, 2, 17, 14, 25, 14, Ink); // runs past the right edge

    QSet<QPoint> expected;
    const auto block = [&expected](int x1, int y1, int x2, int y2) {
        for (int x = x1; x <= x2; ++x)
            for (int y = y1; y <= y2; ++y)
                expected.insert(QPoint(x, y));
    };
    block(2, 2, 9, 3);
    block(14, 6, 15, 9);
    block(34, 28, 39, 29);
    COMPARE_PIXELS(inked(image), expected);
}

void TestRasterLine::nullImageOrBadScaleIsLeftAlone()
{
    QImage null;
    rasterLine(null, 1, 0, 0, 5, 5, Ink);
    QVERIFY(null.isNull());

    QImage image = blank(10, 10);
    rasterLine(image, 0, 0, 0, 5, 5, Ink);
    rasterLine(image, -1, 0, 0, 5, 5, Ink);
    QVERIFY(inked(image).isEmpty());
}

QTEST_MAIN(TestRasterLine)
#include "test_rasterline.moc"
