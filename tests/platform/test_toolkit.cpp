#include "platform/toolkit/controlarray.h"
#include "platform/toolkit/controls.h"
#include "platform/toolkit/numberformat.h"
#include "platform/toolkit/picturebox.h"
#include "platform/toolkit/rasterline.h"
#include "platform/toolkit/windowgeometry.h"

#include <cmath>
#include <limits>
#include <QAccessible>
#include <QApplication>
#include <QHelpEvent>
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
        QTest::newRow("from the left") << QList<double>{-10, 5, 10, 5} << nearest(0, 5, 10, 5);
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

    void drawingsPersistAcrossResize()
    {
        PictureBox picture;
        picture.resize(40, 30);
        picture.line(2, 2, 10, 2, Ink);
        picture.line(30, 25, 35, 25, Ink);
        picture.resize(20, 10); // while hidden: the widget learns of it only when shown
        picture.line(15, 8, 19, 8, Ink);
        picture.show();
        picture.resize(40, 30);
        QCOMPARE(QList({picture.pixelAt(10, 2), picture.pixelAt(19, 8), picture.pixelAt(32, 25)}),
                 QList({Ink, Ink, kWhite})); // the last was cut off while it was smaller
        picture.cls();
        QCOMPARE(picture.pixelAt(10, 2), kWhite);
    }

    void tooLargeAPictureDrawsNothing()
    {
        PictureBox picture;
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

    void labelsAreReadableTextAndToolTips()
    {
        QPalette dark;
        for (const auto role : {QPalette::Window, QPalette::Base})
            dark.setColor(role, QColor(30, 30, 30));
        for (const auto role : {QPalette::WindowText, QPalette::Text})
            dark.setColor(role, QColor(230, 230, 230));
        QApplication::setPalette(dark);
        ControlArray<LabelControl> labels{LabelControl()};
        labels.find(0)->visible = false; // the template
        for (int i = 1; i <= 3; ++i) {
            labels.load(i);
            labels.find(i)->setCaption(u"MMMM explorer.exe"_s);
            labels.find(i)->left = 10.0f * i;
            labels.find(i)->toolTipText = u"<b>%1</b> &amp;"_s.arg(i);
            labels.find(i)->visible = i != 3; // an invisible label on top is not hit
        }
        PictureBox picture;
        picture.resize(200, 40);
        picture.addLayer(&labels, true);
        picture.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picture));
        // On the white picture the captions are dark whatever the desktop's colours:
        // a grey of 118 or darker has a contrast ratio of 4.5:1 to white.
        const QImage shown = picture.grab().toImage();
        int darkest = 255;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                darkest = std::min(darkest, qGray(shown.pixel(x, y)));
        QApplication::setPalette(QPalette());
        QVERIFY2(darkest <= 118, qPrintable(QString::number(darkest)));

        QHelpEvent help(QEvent::ToolTip, QPoint(35, 5), picture.mapToGlobal(QPoint(35, 5)));
        QApplication::sendEvent(&picture, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QTextDocument tip;
        tip.setHtml(QToolTip::text());
        QCOMPARE(tip.toPlainText(), u"<b>2</b> &amp;"_s);
        // Assistive technology sees the visible labels as children, named by their captions.
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&picture);
        QCOMPARE(iface->childCount(), 2);
        QCOMPARE(iface->child(1)->text(QAccessible::Description), u"<b>2</b> &amp;"_s);
        QAccessibleInterface *last = iface->child(1);
        labels.unload(2);
        picture.notifyAccessibleChildrenChanged();
        QVERIFY(iface->childCount() == 1 && !last->isValid());
    }

    void fitsStoredRect_data()
    {
        // In pixels here; the function takes and gives twips, 15 to the pixel.
        QTest::addColumn<QRectF>("stored");
        QTest::addColumn<QRectF>("fitted");
        const double inf = std::numeric_limits<double>::infinity();
        QTest::newRow("inside") << QRectF(100, 50, 500, 400) << QRectF(100, 50, 500, 400);
        QTest::newRow("huge") << QRectF(100, 50, 1e7, 1e7) << QRectF(0, 0, 1000, 700);
        QTest::newRow("tiny") << QRectF(100, 50, 1, 1) << QRectF(100, 50, 120, 40);
        QTest::newRow("negative place") << QRectF(-300, -10, 500, 400) << QRectF(0, 0, 500, 400);
        QTest::newRow("on no screen") << QRectF(5000, 5000, 500, 400) << QRectF(500, 300, 500, 400);
        QTest::newRow("on the second")
            << QRectF(1100, -150, 500, 300) << QRectF(1100, -150, 500, 300);
        QTest::newRow("mostly on the second")
            << QRectF(900, 100, 400, 300) << QRectF(1000, 100, 400, 300);
        QTest::newRow("off the second") << QRectF(1600, 0, 500, 300) << QRectF(1300, 0, 500, 300);
        QTest::newRow("not numbers")
            << QRectF(std::nan(""), inf, 500, -inf) << QRectF(0, 0, 500, 40);
    }
    void fitsStoredRect()
    {
        QFETCH(QRectF, stored);
        QFETCH(QRectF, fitted);
        const auto twips = [](const QRectF &r) {
            return QRectF(r.x() * 15, r.y() * 15, r.width() * 15, r.height() * 15);
        };
        const QList<QRect> screens{QRect(0, 0, 1000, 700), QRect(1000, -200, 800, 600)};
        QCOMPARE(fitStoredRect(twips(stored), screens, TwipsPerPixel{}, QSize(120, 40)),
                 twips(fitted));
    }

    void numberPatterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        const double gib = 1024.0 * 1024.0 * 1024.0;
        QTest::newRow("00,000") << u"00,000"_s << 64.0 << u"00.064"_s;
        QTest::newRow("00,000 new group") << u"00,000"_s << 99999.5 << u"100.000"_s;
        QTest::newRow("00,000 16 GiB") << u"00,000"_s << 16 * gib << u"17.179.869.184"_s;
        QTest::newRow("000 half up") << u"000"_s << 2.5 << u"003"_s;
        QTest::newRow("000 beyond 32 bits") << u"000"_s << 16 * gib << u"17179869184"_s;
        QTest::newRow("decimal") << u"0.#"_s << -1000 / 1024.0 << u"-0,9765625"_s;
        QTest::newRow("decimal 15 digits")
            << u"0.#"_s << 123456789.1234567 << u"123456789,123457"_s;
        QTest::newRow("decimal no exponent") << u"0.#"_s << 1e20 << u"100000000000000000000"_s;
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
