#include "platform/toolkit/controlarray.h"
#include "platform/toolkit/controls.h"
#include "platform/toolkit/picturebox.h"
#include "platform/toolkit/rasterline.h"

#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <sys/resource.h>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr VbColor Ink = rgb(200, 30, 40);

// The relative luminance of a colour, as the contrast ratio of readable text uses it.
double luminance(QRgb c)
{
    const auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

} // namespace

// Everything here runs on a screen of two device pixels per pixel.
class TestPictureBox : public QObject {
    Q_OBJECT
public:
    static void initMain() { qputenv("QT_SCALE_FACTOR", "2"); }

private slots:
    void drawingAtScaleTwoIsTheUnscaledOneEnlarged();
    void drawingsPersistAcrossResize();
    void tooLargeAPictureDrawsNothing();
    void controlArrayLoadsInvisibleCopiesAndUnloads();
    void toolTipOfTheTopmostVisibleLabelIsPlainText();
    void captionsStayDarkOnADarkDesktop();
};

void TestPictureBox::drawingAtScaleTwoIsTheUnscaledOneEnlarged()
{
    PictureBox picture;
    picture.resize(70, 40);
    QCOMPARE(picture.imageScale(), 2);
    QImage unscaled(70, 40, QImage::Format_RGB32);
    unscaled.fill(Qt::white);
    // The bar's top face: diagonals side by side, at fractional places, and edges.
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

void TestPictureBox::drawingsPersistAcrossResize()
{
    PictureBox picture;
    picture.resize(40, 30);
    picture.line(2, 2, 10, 2, Ink);
    picture.line(30, 25, 35, 25, Ink);
    picture.resize(20, 10); // while hidden: the widget learns of it only when shown
    picture.line(15, 8, 19, 8, Ink);
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    picture.resize(40, 30);
    QCOMPARE(picture.pixelAt(10, 2), Ink);
    QCOMPARE(picture.pixelAt(19, 8), Ink);
    QCOMPARE(picture.pixelAt(32, 25), kWhite); // cut off while it was smaller
    picture.cls();
    QCOMPARE(picture.pixelAt(10, 2), kWhite);
}

void TestPictureBox::tooLargeAPictureDrawsNothing()
{
    PictureBox picture;
    picture.resize(17000, 1000);
    for (int i = 0; i < 1000; ++i)
        picture.line(0, i, 16999, i, Ink);
    QCOMPARE(picture.pixelAt(10, 10), kWhite);
    rusage usage{};
    QCOMPARE(::getrusage(RUSAGE_SELF, &usage), 0);
    QVERIFY2(usage.ru_maxrss < 100 * 1024, qPrintable(QString::number(usage.ru_maxrss)));

    picture.resize(50, 50); // a size that can be held draws again
    picture.line(0, 10, 49, 10, Ink);
    QCOMPARE(picture.pixelAt(10, 10), Ink);
}

void TestPictureBox::controlArrayLoadsInvisibleCopiesAndUnloads()
{
    LabelControl templ;
    templ.setCaption(u"Template"_s);
    ControlArray<LabelControl> labels(templ);
    labels.load(3);
    QVERIFY(!labels.find(3)->visible);
    QVERIFY(labels.find(0)->visible);
    QCOMPARE(labels.find(1), nullptr); // gaps stay empty
    labels.find(3)->setCaption(u"Three"_s);
    labels.load(3); // loading an existing element changes nothing
    QCOMPARE(labels.find(3)->caption(), u"Three"_s);
    labels.find(0)->setCaption(u"Changed"_s); // copies are of the template as it is now
    labels.load(1);
    QCOMPARE(labels.find(1)->caption(), u"Changed"_s);
    for (const int index : {3, 0, 7, -1})
        labels.unload(index); // element 0 and missing ones are left alone
    QCOMPARE(labels.count(), 2);
    QCOMPARE(labels.size(), 2);
}

void TestPictureBox::toolTipOfTheTopmostVisibleLabelIsPlainText()
{
    ControlArray<LabelControl> labels{LabelControl()};
    for (int i = 1; i <= 3; ++i) {
        labels.load(i);
        LabelControl *label = labels.find(i);
        label->setCaption(u"wide enough"_s);
        label->left = 10.0f * i;
        label->toolTipText = u"<b>%1</b> &amp;"_s.arg(i);
        label->visible = i != 3; // an invisible label on top is not hit
    }
    PictureBox picture;
    picture.resize(200, 60);
    picture.addLayer(&labels);
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    QHelpEvent help(QEvent::ToolTip, QPoint(35, 5), picture.mapToGlobal(QPoint(35, 5)));
    QApplication::sendEvent(&picture, &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QTextDocument shown;
    shown.setHtml(QToolTip::text());
    QCOMPARE(shown.toPlainText(), u"<b>2</b> &amp;"_s);
}

void TestPictureBox::captionsStayDarkOnADarkDesktop()
{
    QPalette dark;
    for (const auto role : {QPalette::Window, QPalette::Base, QPalette::Button})
        dark.setColor(role, QColor(30, 30, 30));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    PictureBox picture;
    picture.resize(200, 40);
    ControlArray<LabelControl> labels{LabelControl()};
    labels.find(0)->setCaption(u"MMMM explorer.exe"_s);
    picture.addLayer(&labels);
    const QImage shown = picture.grab().toImage();
    QApplication::setPalette(QPalette());
    double darkest = 1.0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            darkest = std::min(darkest, luminance(shown.pixel(x, y)));
    QVERIFY2((1.0 + 0.05) / (darkest + 0.05) >= 4.5, qPrintable(QString::number(darkest)));
}

QTEST_MAIN(TestPictureBox)
#include "test_picturebox.moc"
