// The main window's layout as numbers: the guard, the chart picture at each
// magnification, the scroll range that reaches the chart's right end, the bar and the
// button row.
#include "app/mainlayout.h"

#include <QTest>

using namespace plenwick;

class TestMainLayout : public QObject {
    Q_OBJECT
private slots:
    void layout_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("scaleHeight");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<bool>("runs");
        QTest::addColumn<int>("pictureWidth");
        QTest::addColumn<int>("scrollMax");
        // 67 pixels of inner height are too few; 68 are enough.
        QTest::newRow("67 px") << 8200.0 << 67 << 1 << false << 0 << 0;
        QTest::newRow("68 px") << 8200.0 << 68 << 1 << true << 547 << 430;
        // The range reaches the chart's right end, beyond 32766 twips too.
        QTest::newRow("1920 px at 4x") << 28800.0 << 900 << 4 << true << 7680 << 86835;
        QTest::newRow("1024 px at 2x") << 15360.0 << 500 << 2 << true << 2048 << 15795;
    }

    void layout()
    {
        QFETCH(double, width);
        QFETCH(int, scaleHeight);
        QFETCH(int, zoom);
        const MainLayout l = computeMainLayout(
            {width, 6400, TwipsPerPixel{15, 15}, scaleHeight, zoom, /*viewportBorder=*/2});
        QTEST(l.runs, "runs");
        if (!l.runs)
            return;
        QTEST(l.picture1WidthPx, "pictureWidth");
        QTEST(l.scrollMax, "scrollMax");
        QCOMPARE(l.picture1HeightPx, 332); // as tall as the viewport: 6400 / 15 - 95
        // The bar's front bottom edge: 20 pixels from the left, 100 from the right, 30
        // above the bottom of the picture; the back edge 33 right and 25 up.
        QCOMPARE(l.barOutline[0].x1, 20.0f);
        QCOMPARE(l.barOutline[0].x2, float(l.picture1WidthPx - 100));
        QCOMPARE(l.barOutline[0].y1, 302.0f);
        QCOMPARE(l.barOutline[2].x2, float(l.picture1WidthPx - 67));
        QCOMPARE(l.barOutline[2].y1, 302.0f - 66 - 25);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(l.buttonLeft[std::size_t(i)], 8.0f + 85.0f * float(i));
        QCOMPARE(l.buttonTop, float(scaleHeight - 30));
    }
};

QTEST_MAIN(TestMainLayout)
#include "test_mainlayout.moc"
