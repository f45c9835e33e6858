#include "platform/toolkit/windowgeometry.h"

#include <limits>
#include <QTest>

using namespace plenwick;

class TestWindowGeometry : public QObject {
    Q_OBJECT

private slots:
    void fitsStoredRect_data();
    void fitsStoredRect();
};

void TestWindowGeometry::fitsStoredRect_data()
{
    // Rectangles in pixels here; the function takes and gives twips, 15 to the pixel.
    QTest::addColumn<QRectF>("stored");
    QTest::addColumn<QRectF>("fitted");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("inside") << QRectF(100, 50, 500, 400) << QRectF(100, 50, 500, 400);
    QTest::newRow("huge") << QRectF(100, 50, 1e7, 1e7) << QRectF(0, 0, 1000, 700);
    QTest::newRow("tiny") << QRectF(100, 50, 1, 1) << QRectF(100, 50, 120, 40);
    QTest::newRow("negative position") << QRectF(-300, -100, 500, 400) << QRectF(0, 0, 500, 400);
    QTest::newRow("on no screen") << QRectF(5000, 5000, 500, 400) << QRectF(500, 300, 500, 400);
    QTest::newRow("past the bottom") << QRectF(100, 600, 500, 400) << QRectF(100, 300, 500, 400);
    QTest::newRow("on the second") << QRectF(1100, -150, 500, 300) << QRectF(1100, -150, 500, 300);
    QTest::newRow("mostly on the second")
        << QRectF(900, 100, 400, 300) << QRectF(1000, 100, 400, 300);
    QTest::newRow("off the second's right")
        << QRectF(1600, 0, 500, 300) << QRectF(1300, 0, 500, 300);
    QTest::newRow("not numbers") << QRectF(nan, inf, 500, -inf) << QRectF(0, 0, 500, 40);
}

void TestWindowGeometry::fitsStoredRect()
{
    QFETCH(QRectF, stored);
    QFETCH(QRectF, fitted);
    const auto twips = [](const QRectF &r) {
        return QRectF(r.x() * 15, r.y() * 15, r.width() * 15, r.height() * 15);
    };
    const QList<QRect> screens{QRect(0, 0, 1000, 700), QRect(1000, -200, 800, 600)};
    QCOMPARE(fitStoredRect(twips(stored), screens, TwipsPerPixel{}, QSize(120, 40)), twips(fitted));
}

QTEST_GUILESS_MAIN(TestWindowGeometry)
#include "test_windowgeometry.moc"
