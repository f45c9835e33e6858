// On a high-density screen (a scale factor of 2) the program draws at the screen's
// device pixels, so the chart, its labels and the splash stay sharp, while every size
// and position of the windows stays in the logical pixels and twips they are made of.
#include "app/splashwindow.h"
#include "mainwindowfixture.h"
#include "platform/toolkit/twips.h"

#include <algorithm>
#include <QFrame>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSet>

using namespace Qt::StringLiterals;
using namespace plenwick;
using namespace plenwick::testing;

namespace {

QImage rgb32(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// Whether the 2 x 2 block of device pixels of logical pixel (x, y) is one colour.
bool uniformBlock(const QImage &image, int x, int y)
{
    const QRgb c = image.pixel(2 * x, 2 * y);
    return image.pixel(2 * x + 1, 2 * y) == c && image.pixel(2 * x, 2 * y + 1) == c &&
           image.pixel(2 * x + 1, 2 * y + 1) == c;
}

// Where the picture box paints controls above the drawing, in device pixels, with a
// margin for anti-aliased edges.
QList<QRect> controlAreas(const frmMain &main)
{
    QList<QRect> areas;
    auto add = [&](const auto &array) {
        array.forEachVisible([&](int, const auto &element) {
            const QRectF b = element.bounds();
            areas << QRectF(b.x() * 2, b.y() * 2, b.width() * 2, b.height() * 2)
                         .toAlignedRect()
                         .adjusted(-4, -4, 4, 4);
        });
    };
    add(main.chartControls.barOutline);
    add(main.chartControls.progLeader1);
    add(main.chartControls.progLeader2);
    add(main.chartControls.progLabel);
    add(main.chartControls.gridLabel);
    return areas;
}

} // namespace

class TestHiDpi : public QObject {
    Q_OBJECT

private slots:
    // The measures worked out by hand for the default window of 8200 x 6400 twips at
    // magnification 1, as at a scale factor of 1: twips stay twips, pixels stay logical.
    void measuresUnchanged()
    {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96.0);
        const TwipsPerPixel tp = screenTwipsPerPixel();
        QCOMPARE(tp.x, 15.0);
        QCOMPARE(tp.y, 15.0);
        MainWindowFixture f;
        frmMain &main = f.load();
        QCOMPARE(main.devicePixelRatio(), 2);
        QCOMPARE(main.Picture1->devicePixelRatio(), 2);
        QCOMPARE(main.geometryTwips().width(), 8200.0);
        QCOMPARE(main.geometryTwips().height(), 6400.0);
        QCOMPARE(main.frameGeometry().size(), QSize(547, 427));

        const MainLayout &l = main.lastLayout();
        QVERIFY(l.runs);
        QCOMPARE(l.picScrollWidth, static_cast<float>(8200 / 15.0 - 25));
        QCOMPARE(l.picScrollHeight, static_cast<float>(6400 / 15.0 - 95));
        QCOMPARE(l.picture1Width, 8200.0f);
        QCOMPARE(l.picture1Height, static_cast<float>(15 * l.picScrollHeight));
        QCOMPARE(main.Picture1->size(), QSize(547, 332));
        QCOMPARE(main.PicScroll->geometry(), QRect(8, 8, 522, 332));

        const int sh = main.scaleHeight();
        const QPushButton *row[] = {main.Command1, main.Command2, main.cmdGet,
                                    main.Command4, main.Command5, main.Command6};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(l.buttonLeft[static_cast<std::size_t>(i)], 8.0f + 85.0f * i);
            QCOMPARE(row[i]->geometry(), QRect(8 + 85 * i, sh - 30, 81, 25)); // 1215 x 375
        }

        const LineControl *bottom = main.chartControls.barOutline.find(0);
        QVERIFY(bottom);
        QCOMPARE(bottom->x1, 20.0f);
        QCOMPARE(bottom->x2, 547.0f - 100);
        QCOMPARE(bottom->y1, 332.0f - 30);
        QCOMPARE(bottom->y2, 332.0f - 30);
        // The other windows' client areas, in twips at 15 per pixel.
        QCOMPARE(main.preferences()->size(), QSize(193, 201)); // 2895 x 3015
        QCOMPARE(main.dataWindow()->size(), QSize(399, 322));  // 5985 x 4830
        QCOMPARE(main.aboutWindow()->size(), QSize(254, 190)); // 3810 x 2850
        QCOMPARE(main.helpWindow()->size(), QSize(426, 305));  // 6390 x 4575

        main.resize(600, 450);
        QCOMPARE(main.geometryTwips().width(), 600 * 15.0);
        QCOMPARE(main.geometryTwips().height(), 450 * 15.0);
    }

    // The chart's drawing is kept at device pixels: each logical pixel is a block of
    // 2 x 2 device pixels of one colour, the colour pixelAt reports.
    void chartImageAtDevicePixels()
    {
        MainWindowFixture f;
        const PictureBox &picture = *f.load().Picture1;
        QCOMPARE(picture.imageScale(), 2);
        const QImage &image = picture.backingImage();
        QCOMPARE(image.size(), picture.size() * 2);

        QSet<QRgb> colours;
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (!uniformBlock(image, x, y))
                    QFAIL(qPrintable(u"logical pixel %1,%2 is not one colour"_s.arg(x).arg(y)));
                const QRgb c = image.pixel(2 * x, 2 * y);
                colours.insert(c);
                QCOMPARE(argbOf(picture.pixelAt(x, y)), c | 0xff000000u);
            }
        }
        // The slices were drawn: white, black edges and a colour per slice at least.
        QVERIFY2(colours.size() > 10, qPrintable(QString::number(colours.size())));
    }

    // As shown, the chart is the backing image pixel for pixel wherever no control lies
    // above it (nothing scaled, nothing blurred), and the labels' text is drawn at device
    // pixels rather than enlarged from logical ones.
    void chartShownCrisp()
    {
        MainWindowFixture f;
        frmMain &main = f.load();
        QVERIFY(f.show());

        const QPixmap grab = main.Picture1->grab();
        QCOMPARE(grab.devicePixelRatio(), 2.0);
        QCOMPARE(grab.size(), main.Picture1->size() * 2);
        const QImage shot = rgb32(grab.toImage());
        const QImage &image = main.Picture1->backingImage();

        const QList<QRect> areas = controlAreas(main);
        qsizetype compared = 0;
        for (int y = 0; y < shot.height(); ++y) {
            const auto *shown = reinterpret_cast<const QRgb *>(shot.constScanLine(y));
            const auto *drawn = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < shot.width(); ++x) {
                const QPoint p(x, y);
                if (std::any_of(areas.begin(), areas.end(),
                                [&](const QRect &r) { return r.contains(p); }))
                    continue;
                if ((shown[x] | 0xff000000u) != (drawn[x] | 0xff000000u))
                    QFAIL(qPrintable(u"device pixel %1,%2 differs"_s.arg(x).arg(y)));
                ++compared;
            }
        }
        QVERIFY2(compared > shot.width() * shot.height() / 2,
                 qPrintable(QString::number(compared)));

        int labels = 0;
        main.chartControls.progLabel.forEachVisible([&](int, const LabelControl &label) {
            const QRect r = label.bounds().toAlignedRect() & QRect(QPoint(), main.Picture1->size());
            if (r.width() < 8)
                return;
            ++labels;
            int fine = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    fine += uniformBlock(shot, x, y) ? 0 : 1;
            QVERIFY2(fine > 0, qPrintable(label.caption()));
        });
        QVERIFY(labels >= 3);
    }

    // The splash at 2 device pixels per logical pixel: its light blue frame is exactly
    // 10 logical pixels wide on every side, and its picture is drawn with every device
    // pixel taken from the nearest picture pixel, never blended from several.
    void splashCrisp()
    {
        frmSplash splash(nullptr);
        QCOMPARE(splash.size(), QSize(457, 294));
        QVERIFY(!splash.Picture.isNull());
        const QPixmap grab = splash.grab();
        QCOMPARE(grab.devicePixelRatio(), 2.0);
        QCOMPARE(grab.size(), QSize(914, 588));
        const QImage shot = rgb32(grab.toImage());

        const QImage source = rgb32(splash.Picture.toImage());
        const QRgb frame = argbOf(frmSplash::kFrameColor);
        const int band = 2 * frmSplash::kFrameWidth;
        for (int y = 0; y < shot.height(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const int edge = std::min({x, y, shot.width() - 1 - x, shot.height() - 1 - y});
                const QRgb expected = edge < band
                                          ? frame
                                          : source.pixel(x * source.width() / shot.width(),
                                                         y * source.height() / shot.height());
                if (shot.pixel(x, y) != expected)
                    QFAIL(qPrintable(u"device pixel %1,%2 differs"_s.arg(x).arg(y)));
            }
        }
    }
};

int main(int argc, char *argv[])
{
    // Set before the application object exists, which reads it.
    qputenv("QT_SCALE_FACTOR", "2");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    TestHiDpi tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "test_hidpi.moc"
