#include "platform/rasterline.h"

#include <cmath>
#include <limits>
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPoint>
#include <QSet>
#include <QTest>

using namespace plenwick;

namespace {

constexpr VbColor Background = rgb(255, 255, 255);
constexpr VbColor Ink = rgb(10, 20, 30);

QImage blank(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(argbOf(Background));
    return image;
}

// Every pixel of the image that is not the background, as logical pixels.
QSet<QPoint> inked(const QImage &image)
{
    QSet<QPoint> points;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != argbOf(Background))
                points.insert(QPoint(x, y));
    return points;
}

QSet<QPoint> pointsOf(const QList<QPoint> &list)
{
    return QSet<QPoint>(list.cbegin(), list.cend());
}

QSet<QPoint> row(int y, int fromX, int toX)
{
    QSet<QPoint> points;
    for (int x = fromX; x <= toX; ++x)
        points.insert(QPoint(x, y));
    return points;
}

QSet<QPoint> column(int x, int fromY, int toY)
{
    QSet<QPoint> points;
    for (int y = fromY; y <= toY; ++y)
        points.insert(QPoint(x, y));
    return points;
}

// The pixels nearest to the ideal line from (x0, y0) to (x0 + dx, y0 + dy), one per
// column, for a line flatter than 45 degrees whose ideal y never lies half-way
// between two pixels (so the nearest pixel is unambiguous).
QSet<QPoint> nearestPerColumn(int x0, int y0, int dx, int dy, int fromX, int toX)
{
    QSet<QPoint> points;
    const int step = dx > 0 ? 1 : -1;
    for (int k = 0; k != dx + step; k += step) {
        const int x = x0 + k;
        if (x < fromX || x > toX)
            continue;
        const double y = y0 + static_cast<double>(dy) * k / dx;
        points.insert(QPoint(x, static_cast<int>(std::floor(y + 0.5))));
    }
    return points;
}

// The differences between two pixel sets, for a failure message.
QByteArray describe(const QSet<QPoint> &actual, const QSet<QPoint> &expected)
{
    QByteArray text;
    auto list = [&text](const char *what, const QSet<QPoint> &points) {
        if (points.isEmpty())
            return;
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

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

} // namespace

class TestRasterLine : public QObject {
    Q_OBJECT

private slots:
    void coversExactlyTheLine_data();
    void coversExactlyTheLine();
    void drawsInTheGivenColour();
    void diagonalHasOnePixelPerColumn_data();
    void diagonalHasOnePixelPerColumn();
    void steepLineHasOnePixelPerRow();
    void clipsToTheImage_data();
    void clipsToTheImage();
    void drawsNothingForEndsThatAreNotNumbers_data();
    void drawsNothingForEndsThatAreNotNumbers();
    void absurdCoordinatesDrawTheVisiblePart_data();
    void absurdCoordinatesDrawTheVisiblePart();
    void absurdLineNowhereNearDrawsNothing();
    void scaleTwoDrawsBlocks();
    void scaleTwoClipsAtTheLogicalEdge();
    void nullImageOrBadScaleIsLeftAlone();
};

void TestRasterLine::coversExactlyTheLine_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("y1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<double>("y2");
    QTest::addColumn<QSet<QPoint>>("expected");

    QTest::newRow("vertical down") << 5.0 << 2.0 << 5.0 << 9.0 << column(5, 2, 9);
    QTest::newRow("vertical up") << 5.0 << 9.0 << 5.0 << 2.0 << column(5, 2, 9);
    QTest::newRow("horizontal right") << 3.0 << 7.0 << 12.0 << 7.0 << row(7, 3, 12);
    QTest::newRow("horizontal left") << 12.0 << 7.0 << 3.0 << 7.0 << row(7, 3, 12);
    QTest::newRow("single point") << 4.0 << 4.0 << 4.0 << 4.0 << pointsOf({QPoint(4, 4)});
    QTest::newRow("45 degrees") << 1.0 << 1.0 << 4.0 << 4.0
                                << pointsOf(
                                       {QPoint(1, 1), QPoint(2, 2), QPoint(3, 3), QPoint(4, 4)});
    QTest::newRow("45 degrees up-right")
        << 1.0 << 4.0 << 4.0 << 1.0
        << pointsOf({QPoint(1, 4), QPoint(2, 3), QPoint(3, 2), QPoint(4, 1)});

    // End points are rounded to the nearest pixel.
    QTest::newRow("fractional horizontal") << 2.4 << 3.6 << 7.4 << 3.6 << row(4, 2, 7);
    QTest::newRow("fractional horizontal up") << 2.6 << 3.4 << 7.6 << 3.4 << row(3, 3, 8);
    QTest::newRow("fractional vertical") << 4.6 << 0.6 << 4.6 << 5.4 << column(5, 1, 5);
    QTest::newRow("fractional vertical, x rounds down")
        << 4.4 << 0.6 << 4.4 << 5.4 << column(4, 1, 5);
    QTest::newRow("slightly negative rounds to 0") << -0.4 << 1.0 << 3.3 << 1.0 << row(1, 0, 3);
    QTest::newRow("ends differ by less than a pixel")
        << 6.2 << 6.1 << 5.9 << 5.8 << pointsOf({QPoint(6, 6)});
}

void TestRasterLine::coversExactlyTheLine()
{
    QFETCH(double, x1);
    QFETCH(double, y1);
    QFETCH(double, x2);
    QFETCH(double, y2);
    QFETCH(QSet<QPoint>, expected);

    QImage image = blank(20, 15);
    rasterLine(image, 1, x1, y1, x2, y2, Ink);
    COMPARE_PIXELS(inked(image), expected);
}

void TestRasterLine::drawsInTheGivenColour()
{
    QImage image = blank(10, 10);
    rasterLine(image, 1, 2, 2, 2, 5, rgb(1, 2, 3));
    rasterLine(image, 1, 0, 8, 9, 8, rgb(250, 128, 7));
    // Packed as red + 256 * green + 65536 * blue: red is the lowest byte.
    QCOMPARE(image.pixel(2, 3), qRgb(1, 2, 3));
    QCOMPARE(image.pixel(9, 8), qRgb(250, 128, 7));
    // A later line paints over an earlier one.
    rasterLine(image, 1, 2, 0, 2, 9, kBlack);
    QCOMPARE(image.pixel(2, 8), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(2, 3), qRgb(0, 0, 0));
}

void TestRasterLine::diagonalHasOnePixelPerColumn_data()
{
    QTest::addColumn<int>("x0");
    QTest::addColumn<int>("y0");
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");

    // The top-face diagonal of a bar column: 33 right, 25 up.
    QTest::newRow("33 x 25 up-right") << 2 << 30 << 33 << -25;
    QTest::newRow("33 x 25 drawn backwards") << 35 << 5 << -33 << 25;
    QTest::newRow("33 x 25 down-right") << 2 << 3 << 33 << 25;
    // The shaded diagonal of a filled column: 31 right, 23 up.
    QTest::newRow("31 x 23") << 4 << 28 << 31 << -23;
    // The end face's diagonal: 31 right, 24 up.
    QTest::newRow("31 x 24") << 4 << 28 << 31 << -24;
}

void TestRasterLine::diagonalHasOnePixelPerColumn()
{
    QFETCH(int, x0);
    QFETCH(int, y0);
    QFETCH(int, dx);
    QFETCH(int, dy);

    QImage image = blank(40, 35);
    rasterLine(image, 1, x0, y0, x0 + dx, y0 + dy, Ink);
    const QSet<QPoint> drawn = inked(image);

    QCOMPARE(drawn.size(), std::abs(dx) + 1);
    QSet<int> columns;
    for (const QPoint &p : drawn)
        columns.insert(p.x());
    QCOMPARE(columns.size(), std::abs(dx) + 1);
    QVERIFY(drawn.contains(QPoint(x0, y0)));
    QVERIFY(drawn.contains(QPoint(x0 + dx, y0 + dy)));
    COMPARE_PIXELS(drawn, nearestPerColumn(x0, y0, dx, dy, 0, 39));
}

void TestRasterLine::steepLineHasOnePixelPerRow()
{
    QImage image = blank(40, 40);
    rasterLine(image, 1, 3, 2, 28, 35, Ink);
    const QSet<QPoint> drawn = inked(image);
    QCOMPARE(drawn.size(), 34);
    for (int y = 2; y <= 35; ++y) {
        const double x = 3 + 25.0 * (y - 2) / 33.0;
        QVERIFY2(drawn.contains(QPoint(static_cast<int>(std::floor(x + 0.5)), y)),
                 qPrintable(QString::number(y)));
    }
}

void TestRasterLine::clipsToTheImage_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("y1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<double>("y2");
    QTest::addColumn<QSet<QPoint>>("expected");

    // The image is 20 x 10.
    QTest::newRow("from the left") << -10.0 << 5.0 << 10.0 << 5.0 << row(5, 0, 10);
    QTest::newRow("past the right") << 15.0 << 2.0 << 30.0 << 2.0 << row(2, 15, 19);
    QTest::newRow("across") << -5.0 << 0.0 << 25.0 << 0.0 << row(0, 0, 19);
    QTest::newRow("vertical from above") << 3.0 << -7.0 << 3.0 << 2.0 << column(3, 0, 2);
    QTest::newRow("vertical past the bottom") << 19.0 << 6.0 << 19.0 << 40.0 << column(19, 6, 9);
    QTest::newRow("diagonal from the top-left")
        << -5.0 << -5.0 << 3.0 << 3.0
        << pointsOf({QPoint(0, 0), QPoint(1, 1), QPoint(2, 2), QPoint(3, 3)});
    QTest::newRow("diagonal out at the bottom")
        << 15.0 << 7.0 << 22.0 << 14.0 << pointsOf({QPoint(15, 7), QPoint(16, 8), QPoint(17, 9)});
    QTest::newRow("wholly left") << -10.0 << -5.0 << -1.0 << -5.0 << QSet<QPoint>();
    QTest::newRow("wholly right") << 25.0 << 3.0 << 40.0 << 3.0 << QSet<QPoint>();
    QTest::newRow("wholly below") << 2.0 << 10.0 << 18.0 << 10.0 << QSet<QPoint>();
    QTest::newRow("vertical left of the image") << -1.0 << 0.0 << -1.0 << 9.0 << QSet<QPoint>();
    QTest::newRow("vertical right of the image") << 20.0 << 0.0 << 20.0 << 9.0 << QSet<QPoint>();
    QTest::newRow("diagonal passing by the corner")
        << 18.0 << -8.0 << 28.0 << 2.0 << QSet<QPoint>();
}

void TestRasterLine::clipsToTheImage()
{
    QFETCH(double, x1);
    QFETCH(double, y1);
    QFETCH(double, x2);
    QFETCH(double, y2);
    QFETCH(QSet<QPoint>, expected);

    QImage image = blank(20, 10);
    rasterLine(image, 1, x1, y1, x2, y2, Ink);
    COMPARE_PIXELS(inked(image), expected);
}

void TestRasterLine::drawsNothingForEndsThatAreNotNumbers_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("y1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<double>("y2");

    QTest::newRow("x1 NaN") << NaN << 2.0 << 5.0 << 2.0;
    QTest::newRow("y1 NaN") << 1.0 << NaN << 5.0 << 2.0;
    QTest::newRow("x2 NaN") << 1.0 << 2.0 << NaN << 2.0;
    QTest::newRow("y2 NaN") << 1.0 << 2.0 << 5.0 << NaN;
    QTest::newRow("x1 +inf") << Inf << 2.0 << 5.0 << 2.0;
    QTest::newRow("y1 -inf") << 1.0 << -Inf << 1.0 << 2.0;
    QTest::newRow("x2 -inf") << 1.0 << 2.0 << -Inf << 2.0;
    QTest::newRow("y2 +inf") << 1.0 << 2.0 << 1.0 << Inf;
}

void TestRasterLine::drawsNothingForEndsThatAreNotNumbers()
{
    QFETCH(double, x1);
    QFETCH(double, y1);
    QFETCH(double, x2);
    QFETCH(double, y2);

    QImage image = blank(10, 10);
    rasterLine(image, 1, x1, y1, x2, y2, Ink);
    QVERIFY(inked(image).isEmpty());
}

void TestRasterLine::absurdCoordinatesDrawTheVisiblePart_data()
{
    QTest::addColumn<double>("x1");
    QTest::addColumn<double>("y1");
    QTest::addColumn<double>("x2");
    QTest::addColumn<double>("y2");
    QTest::addColumn<QSet<QPoint>>("expected");

    // The image is 30 x 20. Without a cut to the image such lines would take hours.
    QTest::newRow("horizontal across") << -1e12 << 5.0 << 1e12 << 5.0 << row(5, 0, 29);
    QTest::newRow("horizontal to the right") << 7.0 << 5.0 << 1e12 << 5.0 << row(5, 7, 29);
    QTest::newRow("vertical across") << 3.0 << -1e12 << 3.0 << 1e12 << column(3, 0, 19);
    QTest::newRow("vertical from far above") << 3.0 << -1e12 << 3.0 << 4.0 << column(3, 0, 4);
    QTest::newRow("45 degrees from the corner") << 0.0 << 0.0 << 1e12 << 1e12 << [] {
        QSet<QPoint> points;
        for (int i = 0; i < 20; ++i)
            points.insert(QPoint(i, i));
        return points;
    }();
    QTest::newRow("45 degrees from far away") << -1e12 << -1e12 << 1e12 << 1e12 << [] {
        QSet<QPoint> points;
        for (int i = 0; i < 20; ++i)
            points.insert(QPoint(i, i));
        return points;
    }();
    // Slope 25/33 never puts the ideal line half-way between two pixels, so the
    // visible part is exactly the pixels nearest to it.
    QTest::newRow("33 x 25 slope, far end absurd") << 0.0 << 0.0 << 33e10 << 25e10 << [] {
        QSet<QPoint> points = nearestPerColumn(0, 0, 33, 25, 0, 29);
        points.removeIf([](const QPoint &p) { return p.y() >= 20; });
        return points;
    }();
}

void TestRasterLine::absurdCoordinatesDrawTheVisiblePart()
{
    QFETCH(double, x1);
    QFETCH(double, y1);
    QFETCH(double, x2);
    QFETCH(double, y2);
    QFETCH(QSet<QPoint>, expected);

    QImage image = blank(30, 20);
    rasterLine(image, 1, x1, y1, x2, y2, Ink);
    COMPARE_PIXELS(inked(image), expected);
}

void TestRasterLine::absurdLineNowhereNearDrawsNothing()
{
    QImage image = blank(30, 20);
    rasterLine(image, 1, 1e12, 1e12, 2e12, 2e12, Ink);
    rasterLine(image, 1, -1e12, 5.0, -1e11, 5.0, Ink);
    rasterLine(image, 1, -1e12, -1e12, 1e12, -1e12, Ink);
    QVERIFY(inked(image).isEmpty());
}

void TestRasterLine::scaleTwoDrawsBlocks()
{
    // 20 x 20 logical pixels, each a 2 x 2 block of the image.
    QImage image = blank(40, 40);
    rasterLine(image, 2, 1, 1, 4, 1, Ink);
    rasterLine(image, 2, 7, 3, 7, 4, Ink);

    QSet<QPoint> expected;
    for (int x = 2; x <= 9; ++x)
        for (int y = 2; y <= 3; ++y)
            expected.insert(QPoint(x, y));
    for (int x = 14; x <= 15; ++x)
        for (int y = 6; y <= 9; ++y)
            expected.insert(QPoint(x, y));
    COMPARE_PIXELS(inked(image), expected);
}

void TestRasterLine::scaleTwoClipsAtTheLogicalEdge()
{
    QImage image = blank(40, 20); // 20 x 10 logical pixels
    rasterLine(image, 2, 17, 9, 25, 9, Ink);
    QSet<QPoint> expected;
    for (int x = 34; x <= 39; ++x)
        for (int y = 18; y <= 19; ++y)
            expected.insert(QPoint(x, y));
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
