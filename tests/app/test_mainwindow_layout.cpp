// The main window's layout and the chart's scrolling on a real window: sizes by
// magnification, back to the left end after each layout, the scroll range reaching
// the chart's right end, the 68-pixel guard and the restore from minimized.
#include "mainwindowfixture.h"
#include "windows/preferenceswindow.h"

#include <QFrame>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

using namespace Qt::StringLiterals;
using namespace plenwick;
using namespace plenwick::testing;

namespace {

int roundPixels(double value)
{
    return static_cast<int>(std::lround(value));
}

// The viewport's inside, which clips the chart picture.
QWidget *viewportInside(const frmMain &main)
{
    return main.PicScroll->findChild<QWidget *>(u"PicScrollInside"_s, Qt::FindDirectChildrenOnly);
}

} // namespace

class TestMainWindowLayout : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QCOMPARE(shownMessageBoxes().size(), 0); }

    void layoutByMagnification_data()
    {
        QTest::addColumn<int>("m");
        QTest::addColumn<int>("widthPx"); // the window's outer width; 0: the default
        QTest::newRow("100%, default size") << 1 << 0;
        QTest::newRow("200%, 700 pixels") << 2 << 700;
        QTest::newRow("300%, default size") << 3 << 0;
        QTest::newRow("400%, 700 pixels") << 4 << 700;
    }
    void layoutByMagnification()
    {
        QFETCH(int, m);
        QFETCH(int, widthPx);
        MainWindowFixture f;
        f.store.preset(u"Preferences"_s, u"Zoom"_s, QString::number(m));
        frmMain &main = f.load();
        QVERIFY(f.show());
        if (widthPx > 0)
            main.geometryTwips().setWidth(widthPx * 15);
        const double outerPx = main.geometryTwips().width() / 15;

        // Chart picture: the window's outer width times the magnification; viewport 25
        // pixels narrower than the window.
        QCOMPARE(main.Picture1->width(), roundPixels(outerPx * m));
        QCOMPARE(main.PicScroll->width(), roundPixels(outerPx - 25));
        QCOMPARE(main.PicScroll->height(), roundPixels(main.geometryTwips().height() / 15 - 95));
        QCOMPARE(main.Picture1->height(), main.PicScroll->height());
        QVERIFY(main.HScroll1->isVisible());
        QCOMPARE(main.HScroll1->y(), main.PicScroll->y() + main.PicScroll->height());
        QCOMPARE(main.HScroll1->width(), main.PicScroll->width());
        // The scroll range is the part of the chart that does not fit (in twips, so
        // within a pixel of it).
        const int overhang = (main.Picture1->width() - viewportInside(main)->width()) * 15;
        QVERIFY2(std::abs(main.HScroll1->maximum() - overhang) < 15,
                 qPrintable(u"%1 / %2"_s.arg(main.HScroll1->maximum()).arg(overhang)));
        // The buttons: 85 pixels apart, 30 pixels above the bottom of the inner area.
        QCOMPARE(main.Command6->x(), main.PicScroll->x() + 85 * 5);
        QCOMPARE(main.Command6->mapTo(&main, QPoint()).y(), main.height() - 30);
        // The bar's front bottom edge, from which slices and scale are placed.
        const LineControl *front = main.chartControls.barOutline.find(0);
        QVERIFY(front);
        QCOMPARE(front->x1, 20.0f);
        QCOMPARE(front->x2, float(main.Picture1->width() - 100));
        QCOMPARE(front->y1, float(main.Picture1->height() - 30));
        QCOMPARE(front->y2, front->y1);

        // Scrolled some way, then laid out again: back at the left end.
        const int value = std::min(main.HScroll1->maximum(), 1500);
        QVERIFY(value > 0);
        main.HScroll1->setValue(value);
        QCOMPARE(main.picture1LeftTwips(), -double(value));
        QCOMPARE(main.Picture1->x(), roundPixels(-value / 15.0));
        const int scans = f.source.enumerationCount();
        main.forceResize();
        QCOMPARE(main.HScroll1->value(), 0);
        QCOMPARE(main.picture1LeftTwips(), 0.0);
        QCOMPARE(main.Picture1->x(), 0);
        // The scroll bar's return to 0 re-plots, then the layout's own re-plot.
        QCOMPARE(f.source.enumerationCount(), scans + 2);
        QCOMPARE(sliceCaptions(main), expectedCaptions(f.source.processes(), kTotal, kAvailable));

        // The user resizes the scrolled window: the same.
        main.HScroll1->setValue(value);
        main.resize(main.width() - 40, main.height() + 20);
        QCOMPARE(main.HScroll1->value(), 0);
        QCOMPARE(main.Picture1->x(), 0);
        QCOMPARE(main.Picture1->width(), roundPixels(main.geometryTwips().width() / 15 * m));
    }

    void theScrollRangeReachesTheRightEnd_data()
    {
        QTest::addColumn<int>("m");
        QTest::addColumn<int>("widthPx");
        QTest::newRow("400%, 1920 pixels") << 4 << 1920;
        QTest::newRow("100%, 1920 pixels") << 1 << 1920;
    }
    void theScrollRangeReachesTheRightEnd()
    {
        QFETCH(int, m);
        QFETCH(int, widthPx);
        MainWindowFixture f;
        f.source.setMemory(16 * kGiB, 4 * kGiB);
        f.store.preset(u"Preferences"_s, u"Zoom"_s, QString::number(m));
        frmMain &main = f.load();
        QVERIFY(f.show());
        main.geometryTwips().setWidth(widthPx * 15);
        QCOMPARE(main.Picture1->width(), widthPx * m);
        if (widthPx * m * 15 > 40000)
            QVERIFY(main.HScroll1->maximum() > 32766);

        main.HScroll1->setValue(main.HScroll1->maximum());

        // The chart's right end stands at the viewport's right edge.
        const int inside = viewportInside(main)->width();
        QCOMPARE(main.Picture1->x() + main.Picture1->width(), inside);
        QCOMPARE(main.picture1LeftTwips(), -double(main.HScroll1->maximum()));
        // The bar's far edge is in view.
        const LineControl *back = main.chartControls.barOutline.find(5);
        QVERIFY(back);
        const double backInView = main.Picture1->x() + back->x1;
        QVERIFY(backInView > 0 && backInView < inside);
    }

    void theGuard_data()
    {
        QTest::addColumn<int>("innerHeight");
        QTest::addColumn<bool>("laidOut");
        QTest::newRow("67 pixels") << 67 << false;
        QTest::newRow("68 pixels") << 68 << true;
    }
    void theGuard()
    {
        QFETCH(int, innerHeight);
        QFETCH(bool, laidOut);
        MainWindowFixture f;
        f.store.preset(u"Preferences"_s, u"Zoom"_s, u"2"_s); // room to scroll
        frmMain &main = f.load();
        QVERIFY(f.show());
        const int menu = main.height() - main.scaleHeight();
        main.HScroll1->setValue(1500);
        markPicture(main);
        const QSize pictureBefore = main.Picture1->size();
        const int scans = f.source.enumerationCount();

        main.resize(main.width(), innerHeight + menu);
        QCOMPARE(main.scaleHeight(), innerHeight);
        main.forceResize();

        if (laidOut) {
            QVERIFY(!pictureMarked(main));
            QCOMPARE(main.HScroll1->value(), 0);
            // (The viewport's height, 95 pixels less than the window's, cannot go
            // below nothing.)
            QCOMPARE(main.Picture1->height(),
                     std::max(0, roundPixels(main.geometryTwips().height() / 15 - 95)));
            QVERIFY(f.source.enumerationCount() > scans);
        } else {
            // Nothing erased, moved or re-plotted.
            QVERIFY(pictureMarked(main));
            QCOMPARE(main.HScroll1->value(), 1500);
            QCOMPARE(main.Picture1->size(), pictureBefore);
            QCOMPARE(main.picture1LeftTwips(), -1500.0);
            QCOMPARE(f.source.enumerationCount(), scans);
        }
    }

    void minimizingChangesNothingAndRestoringLaysOut()
    {
        MainWindowFixture f;
        f.store.preset(u"Preferences"_s, u"Zoom"_s, u"2"_s);
        frmMain &main = f.load();
        QVERIFY(f.show());
        main.HScroll1->setValue(1500);
        markPicture(main);
        const int scans = f.source.enumerationCount();

        main.showMinimized();
        QCoreApplication::processEvents();
        QCOMPARE(main.scaleHeight(), 0);
        main.forceResize();
        QVERIFY(pictureMarked(main));
        QCOMPARE(main.HScroll1->value(), 1500);
        QCOMPARE(f.source.enumerationCount(), scans);

        main.showNormal();
        QCoreApplication::processEvents();
        QTRY_VERIFY(!pictureMarked(main));
        QCOMPARE(main.HScroll1->value(), 0);
        QCOMPARE(main.picture1LeftTwips(), 0.0);
        QVERIFY(f.source.enumerationCount() > scans);
        QCOMPARE(sliceCaptions(main), expectedCaptions(f.source.processes(), kTotal, kAvailable));
    }
};

PLENWICK_MAINWINDOW_TEST_MAIN(TestMainWindowLayout)

#include "test_mainwindow_layout.moc"
