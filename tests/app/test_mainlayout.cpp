// The main window's layout as numbers: viewport, chart picture, scroll range, buttons
// and the bar outline, for window sizes around the 68-pixel guard and every
// magnification.
#include "app/mainlayout.h"

#include <cmath>
#include <QTest>

using namespace plenwick;

class TestMainLayout : public QObject {
    Q_OBJECT

private:
    static MainLayoutInput input(double w, double h, int sh, int m)
    {
        MainLayoutInput in;
        in.outerWidthTwips = w;
        in.outerHeightTwips = h;
        in.twips = {15, 15};
        in.scaleHeight = sh;
        in.magnification = m;
        in.viewportBorder = 2;
        return in;
    }

private slots:
    void guard_data()
    {
        QTest::addColumn<int>("scaleHeight");
        QTest::addColumn<bool>("runs");
        QTest::newRow("minimized") << 0 << false;
        QTest::newRow("67 pixels") << 67 << false;
        QTest::newRow("68 pixels") << 68 << true;
        QTest::newRow("ordinary") << 380 << true;
    }
    void guard()
    {
        QFETCH(int, scaleHeight);
        QFETCH(bool, runs);
        QCOMPARE(computeMainLayout(input(8200, 6400, scaleHeight, 1)).runs, runs);
    }

    void sizesByMagnification_data()
    {
        QTest::addColumn<int>("m");
        for (int m = 1; m <= 4; ++m)
            QTest::addRow("%d00%%", m) << m;
    }
    void sizesByMagnification()
    {
        QFETCH(int, m);
        const MainLayout l = computeMainLayout(input(8200, 6400, 380, m));
        // Viewport: the outer size less 25 and 95 pixels.
        QCOMPARE(l.picScrollWidth, 8200.0f / 15 - 25);
        QCOMPARE(l.picScrollHeight, 6400.0f / 15 - 95);
        QCOMPARE(l.picScrollWidthPx, 522);
        QCOMPARE(l.picScrollHeightPx, 332);
        // Chart: the outer width times the magnification, as tall as the viewport.
        QCOMPARE(l.picture1Width, static_cast<float>(8200.0 * m));
        QCOMPARE(l.picture1Height, static_cast<float>(15 * (6400.0 / 15 - 95)));
        QCOMPARE(l.picture1WidthPx, static_cast<int>(std::lround(8200.0 * m / 15)));
        QCOMPARE(l.picture1HeightPx, 332);
        // The chart is always at least 25 pixels wider than the viewport.
        QVERIFY(l.scrollVisible);
        QCOMPARE(l.scrollTop, l.picScrollTop + l.picScrollHeight);
        QCOMPARE(l.scrollWidth, l.picScrollWidth);
    }

    void scrollRangeAtFullMagnification()
    {
        // At 100% the range is 25 pixels plus the viewport's two borders... as far as
        // whole pixels allow: the viewport is 522 pixels wide, 518 inside.
        const MainLayout one = computeMainLayout(input(8200, 6400, 380, 1));
        QCOMPARE(one.picScrollScaleWidth, 518.0 * 15);
        QCOMPARE(one.scrollMax, 8200 - 518 * 15);

        // A 1920-pixel-wide window at 400%: the whole chart can be scrolled into view,
        // far beyond what a 16-bit scroll bar could hold.
        const MainLayout wide = computeMainLayout(input(1920 * 15, 1080 * 15, 1000, 4));
        QCOMPARE(wide.picture1WidthPx, 7680);
        const double inside = (1920 - 25 - 4) * 15.0;
        QCOMPARE(wide.scrollMax, static_cast<int>(1920 * 15 * 4 - inside));
        QVERIFY(wide.scrollMax > 32766);
        // Scrolled to the end, the chart's right edge meets the viewport's right edge.
        const double rightEndPx = -wide.scrollMax / 15.0 + wide.picture1WidthPx;
        QVERIFY(std::abs(rightEndPx - (1920 - 25 - 4)) < 1.0);
    }

    void buttonsKeepTheirSpacing_data()
    {
        QTest::addColumn<double>("width");
        QTest::newRow("narrow") << 1500.0;
        QTest::newRow("default") << 8200.0;
        QTest::newRow("wide") << 30000.0;
    }
    void buttonsKeepTheirSpacing()
    {
        QFETCH(double, width);
        const MainLayout l = computeMainLayout(input(width, 6400, 300, 1));
        for (std::size_t i = 0; i < 6; ++i)
            QCOMPARE(l.buttonLeft[i], 8.0f + 85.0f * static_cast<float>(i));
        QCOMPARE(l.buttonTop, 270.0f);
    }

    void barOutline()
    {
        const MainLayout l = computeMainLayout(input(8200, 6400, 380, 2));
        const float sw = static_cast<float>(l.picture1WidthPx);
        const float sp = static_cast<float>(l.picture1HeightPx);
        struct Edge {
            int index;
            float x1, y1, x2, y2;
        };
        const Edge expected[] = {
            {0, 20, sp - 30, sw - 100, sp - 30},       {3, 20, sp - 30, 20, sp - 96},
            {4, sw - 100, sp - 30, sw - 100, sp - 96}, {6, 20, sp - 96, 53, sp - 121},
            {7, sw - 100, sp - 96, sw - 67, sp - 121}, {8, sw - 100, sp - 30, sw - 67, sp - 55},
            {5, sw - 67, sp - 121, sw - 67, sp - 55},  {1, 20, sp - 96, sw - 100, sp - 96},
            {2, 53, sp - 121, sw - 67, sp - 121},
        };
        for (const Edge &e : expected) {
            const LinePoints &p = l.barOutline[static_cast<std::size_t>(e.index)];
            QCOMPARE(p.x1, e.x1);
            QCOMPARE(p.y1, e.y1);
            QCOMPARE(p.x2, e.x2);
            QCOMPARE(p.y2, e.y2);
        }
    }

    void otherScreenFactors()
    {
        // At 120 dpi a pixel is 12 twips: the same window is more pixels.
        MainLayoutInput in = input(8200, 6400, 380, 1);
        in.twips = {12, 12};
        const MainLayout l = computeMainLayout(in);
        QCOMPARE(l.picScrollWidth, 8200.0f / 12 - 25);
        QCOMPARE(l.picture1WidthPx, static_cast<int>(std::lround(8200.0 / 12)));
    }
};

QTEST_GUILESS_MAIN(TestMainLayout)
#include "test_mainlayout.moc"
