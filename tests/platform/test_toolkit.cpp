#include "platform/toolkit/controlarray.h"
#include "platform/toolkit/controls.h"
#include "platform/toolkit/numberformat.h"
#include "platform/toolkit/picturebox.h"
#include "platform/toolkit/rasterline.h"
#include "platform/toolkit/windowgeometry.h"

#include <cmath>
#include <QAccessible>
#include <QApplication>
#include <QBackingStore>
#include <QHelpEvent>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr VbColor Ink = rgb(200, 30, 40);

// The pixels nearest to the ideal line from (x0, y0) to (x1, y1), one per step along
// the longer axis, inside a 40 x 30 picture; for lines whose ideal position never lies
// half-way between two pixels.
QSet<QPoint> nearest(int x0, int y0, int x1, int y1)
{
    QSet<QPoint> points;
    const int n = std::max({std::abs(x1 - x0), std::abs(y1 - y0), 1});
    for (int k = 0; k <= n; ++k) {
        const auto at = [k, n](int from, int to) {
            return from + static_cast<int>(std::floor(double(to - from) * k / n + 0.5));
        };
        if (const QPoint p(at(x0, x1), at(y0, y1)); QRect(0, 0, 40, 30).contains(p))
            points.insert(p);
    }
    return points;
}

} // namespace

// Everything here runs on a screen of two device pixels per pixel.
class TestToolkit : public QObject {
    Q_OBJECT
public:
    static void initMain() { qputenv("QT_SCALE_FACTOR", "2"); }

private slots:
    void rasterLineCoversExactlyTheLine_data()
    {
        QTest::addColumn<QList<double>>("ends");
        QTest::addColumn<QSet<QPoint>>("expected");
        QTest::newRow("vertical up") << QList<double>{5, 9, 5, 2} << nearest(5, 2, 5, 9);
        // The bar's diagonals: one pixel per column, the one nearest to the ideal line.
        QTest::newRow("33 x 25 back") << QList<double>{35, 3, 2, 28} << nearest(2, 28, 35, 3);
        QTest::newRow("steep") << QList<double>{2, 1, 21, 26} << nearest(2, 1, 21, 26);
        QTest::newRow("fractional") << QList<double>{2.4, 3.6, 7.4, 0.6} << nearest(2, 4, 7, 1);
        QTest::newRow("absurd") << QList<double>{0, 0, 33e10, 25e10} << nearest(0, 0, 66, 50);
        QTest::newRow("not a number") << QList<double>{1, 2, 5, std::nan("")} << QSet<QPoint>();
    }
    void rasterLineCoversExactlyTheLine()
    {
        QFETCH(QList<double>, ends);
        QFETCH(QSet<QPoint>, expected);
        PictureBox picture;
        picture.resize(40, 30);
        picture.line(ends[0], ends[1], ends[2], ends[3], Ink);
        QSet<QPoint> inked;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                if (picture.pixelAt(x, y) == Ink)
                    inked.insert(QPoint(x, y));
        QCOMPARE(inked, expected);
    }

    void drawingAtScaleTwoIsTheUnscaledOneEnlarged()
    {
        PictureBox picture;
        picture.resize(70, 40);
        QImage unscaled(70, 40, QImage::Format_RGB32);
        unscaled.fill(Qt::white);
        // The bar's top face: diagonals side by side at fractional places, and an edge.
        for (double x = 3.4; x < 30; x += 1.0) {
            picture.line(x, 35, x + 33, 10, Ink);
            rasterLine(unscaled, 1, x, 35, x + 33, 10, Ink);
        }
        picture.line(-5, 2.6, 80, 2.6, kBlack);
        rasterLine(unscaled, 1, -5, 2.6, 80, 2.6, kBlack);
        QImage shown = picture.grab().toImage().convertToFormat(QImage::Format_RGB32);
        shown.setDevicePixelRatio(1);
        QCOMPARE(shown, unscaled.scaled(140, 80));
    }

    // Drawings persist across a resize; a picture too large to hold draws nothing.
    void drawingsPersistAcrossResize()
    {
        PictureBox picture;
        picture.resize(40, 30);
        picture.line(2, 2, 10, 2, Ink);
        picture.line(30, 25, 35, 25, Ink); // cut off while the picture is smaller
        picture.resize(20, 10);            // hidden: the widget is told only when it is shown
        picture.line(15, 8, 19, 8, Ink);
        QCOMPARE(QList({picture.pixelAt(10, 2), picture.pixelAt(19, 8), picture.pixelAt(32, 25)}),
                 QList({Ink, Ink, kWhite}));
        picture.resize(17000, 1000);
        for (int i = 0; i < 1000; ++i)
            picture.line(0, i, 16999, i, Ink);
        QCOMPARE(picture.pixelAt(10, 10), kWhite);
        rusage usage{};
        QVERIFY(::getrusage(RUSAGE_SELF, &usage) == 0 && usage.ru_maxrss < 100 * 1024);
        picture.resize(50, 50); // a size that can be held draws again
        picture.line(0, 10, 49, 10, Ink);
        QCOMPARE(picture.pixelAt(10, 10), Ink);
    }

    // After each round of lines the window shows the picture, though only where a line
    // left another colour was repainted; a line drawn over and back repaints nothing.
    void repaintsWhereTheColoursChanged()
    {
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *event) override
            {
                paints += event->type() == QEvent::Paint;
                return false;
            }
        } counter;
        PictureBox picture;
        picture.resize(100, 70);
        picture.installEventFilter(&counter);
        picture.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picture));
        QRandomGenerator random(7);
        const VbColor colors[] = {Ink, kBlack, kWhite, rgb(0, 0, 200)};
        for (int round = 0; round < 60; ++round) {
            for (int i = 0; i < 3; ++i) {
                // Ends on and beside the edges of 16-pixel tiles.
                const int x = 16 * random.bounded(7) + random.bounded(-1, 2);
                const int y = 16 * random.bounded(5) + random.bounded(-1, 2);
                const int dx = i == 0 ? 0 : random.bounded(-20, 21);
                picture.line(x, y, x + dx, y + random.bounded(-20, 21), colors[random.bounded(4)]);
            }
            picture.updateChanged();
            QCoreApplication::processEvents();
            QImage shown = *static_cast<QImage *>(picture.backingStore()->paintDevice());
            QImage full = picture.grab().toImage();
            for (QImage *image : {&shown, &full}) {
                *image = image->convertToFormat(QImage::Format_RGB32);
                image->setDevicePixelRatio(1);
            }
            QCOMPARE(shown, full);
        }
        const VbColor was = picture.pixelAt(50, 20);
        counter.paints = 0;
        picture.line(50, 20, 50, 20, was == Ink ? kBlack : Ink);
        picture.line(50, 20, 50, 20, was);
        picture.updateChanged();
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 0);
    }

    void labelsAreReadableTextAndToolTips()
    {
        QApplication::setPalette(QPalette(QColor(30, 30, 30), QColor(30, 30, 30))); // dark
        ControlArray<LabelControl> labels{LabelControl()};
        labels.find(0)->visible = false; // the template
        for (int i = 1; i <= 3; ++i) {
            labels.load(i);
            LabelControl &label = *labels.find(i);
            label.setCaption(u"MMMM explorer.exe"_s);
            label.left = 10.0f * i;
            label.toolTipText = u"<b>%1</b> &amp;"_s.arg(i);
            label.visible = i != 3; // an invisible label on top is not hit
        }
        PictureBox picture;
        picture.resize(200, 40);
        picture.addLayer(&labels, true);
        picture.show();
        // On the white picture captions are dark whatever the desktop's colours: a grey
        // of 118 or darker has a contrast ratio of 4.5:1 to white.
        const QImage grey = picture.grab().toImage().convertToFormat(QImage::Format_Grayscale8);
        QVERIFY(*std::min_element(grey.constBits(), grey.constBits() + grey.sizeInBytes()) <= 118);
        QHelpEvent help(QEvent::ToolTip, QPoint(35, 5), picture.mapToGlobal(QPoint(35, 5)));
        QApplication::sendEvent(&picture, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QTextDocument tip;
        tip.setHtml(QToolTip::text());
        QCOMPARE(tip.toPlainText(), u"<b>2</b> &amp;"_s);
        // Screen readers hear the shown labels; one gone is no longer among them.
        QAccessibleInterface *chart = QAccessible::queryAccessibleInterface(&picture);
        QAccessibleInterface *second = chart->child(1);
        QCOMPARE(second->text(QAccessible::Description), u"<b>2</b> &amp;"_s);
        labels.unload(2);
        QCOMPARE(chart->indexOfChild(second), -1);
    }

    void fitsStoredRect_data()
    {
        // In pixels here; the function takes and gives twips, 15 and 12 to the pixel.
        QTest::addColumn<QRectF>("stored");
        QTest::addColumn<QRectF>("fitted");
        QTest::newRow("inside") << QRectF(100, 50, 500, 400) << QRectF(100, 50, 500, 400);
        QTest::newRow("huge") << QRectF(100, 50, 1e7, 1e7) << QRectF(0, 0, 1000, 700);
        QTest::newRow("tiny") << QRectF(100, 50, 1, 1) << QRectF(100, 50, 120, 40);
        QTest::newRow("on no screen") << QRectF(-300, 900, 500, 400) << QRectF(0, 300, 500, 400);
        QTest::newRow("on the second")
            << QRectF(1100, -150, 500, 300) << QRectF(1100, -150, 500, 300);
        QTest::newRow("mostly on the second")
            << QRectF(900, 100, 400, 300) << QRectF(1000, 100, 400, 300);
        QTest::newRow("off the second") << QRectF(1600, 0, 500, 300) << QRectF(1300, 0, 500, 300);
        QTest::newRow("not numbers") << QRectF(qInf(), qQNaN(), 500, 1) << QRectF(0, 0, 500, 40);
    }
    void fitsStoredRect()
    {
        QFETCH(QRectF, stored);
        QFETCH(QRectF, fitted);
        const QTransform twips = QTransform::fromScale(15, 12);
        const QList<QRect> screens{QRect(0, 0, 1000, 700), QRect(1000, -200, 800, 600)};
        QCOMPARE(fitStoredRect(twips.mapRect(stored), screens, {15, 12}, QSize(120, 40)),
                 twips.mapRect(fitted));
    }

    void numberPatterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("00,000") << u"00,000"_s << 64.0 << u"00.064"_s;
        QTest::newRow("00,000 new group") << u"00,000"_s << 99999.5 << u"100.000"_s;
        QTest::newRow("000 half up") << u"000"_s << 2.5 << u"003"_s;
        QTest::newRow("decimal 15 digits")
            << u"0.#"_s << -123456789.1234567 << u"-123456789,123457"_s;
        QTest::newRow("decimal whole") << u"0.#"_s << -4096.0 << u"-4096"_s;
    }
    void numberPatterns()
    {
        QFETCH(QString, pattern);
        QFETCH(double, value);
        QFETCH(QString, expected);
        const QLocale german(QLocale::German, QLocale::Germany);
        if (pattern == u"00,000")
            QCOMPARE(formatGroupedFiveDigits(value, german), expected);
        else if (pattern == u"000")
            QCOMPARE(formatThreeDigits(value), expected);
        else
            QCOMPARE(shortestDecimal(value, german), expected);
    }
};

QTEST_MAIN(TestToolkit)
#include "test_toolkit.moc"
