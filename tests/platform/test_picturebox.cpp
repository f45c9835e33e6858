#include "platform/toolkit/controlarray.h"
#include "platform/toolkit/controls.h"
#include "platform/toolkit/picturebox.h"

#include <algorithm>
#include <QApplication>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QImage>
#include <QPixmap>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr VbColor Blue = rgb(0, 0, 255);
constexpr VbColor Ink = rgb(200, 30, 40);

LabelControl labelTemplate()
{
    LabelControl label;
    label.left = 10;
    label.top = 8;
    label.foreColor = kBlack;
    label.setCaption(u"Template"_s);
    return label;
}

int countPixelsNot(const QImage &image, QRgb color, const QRect &area)
{
    int count = 0;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if ((image.pixel(x, y) & 0xffffff) != (color & 0xffffff))
                ++count;
    return count;
}

QString tipAt(const ControlLayer &layer, QPointF pos)
{
    return layer.toolTipAt(pos).value_or(u"(none)"_s);
}

// Asks `picture` for its tooltip at `pos`, as the application does when the mouse rests,
// and returns the text shown, as a reader sees it.
QString shownToolTipAt(PictureBox &picture, QPoint pos)
{
    QHelpEvent help(QEvent::ToolTip, pos, picture.mapToGlobal(pos));
    if (!QApplication::sendEvent(&picture, &help) || !QTest::qWaitFor(QToolTip::isVisible))
        return u"(none)"_s;
    QTextDocument document;
    document.setHtml(QToolTip::text());
    return document.toPlainText();
}

} // namespace

class TestPictureBox : public QObject {
    Q_OBJECT
public:
    static void initMain()
    {
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
        QLocale::setDefault(QLocale::c());
    }

private slots:
    void cleanup();

    void clsAndLineDrawIntoTheDrawing();
    void drawingsPersistAcrossResize();
    void drawingAfterAResizeWhileHiddenIsKept();
    void controlArrayLoadsInvisibleCopiesAndUnloads();
    void labelWidthFollowsTheCaptionUnlessFixed();
    void toolTipOfTheTopmostVisibleElementWins();
    void toolTipShowsMarkupLiterally_data();
    void toolTipShowsMarkupLiterally();
    void labelsArePaintedAboveTheDrawing();
    void labelCaptionMarkupIsDrawnAsCharacters();
};

void TestPictureBox::cleanup()
{
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
}

void TestPictureBox::clsAndLineDrawIntoTheDrawing()
{
    PictureBox picture;
    picture.resize(30, 20);
    picture.setBackColor(Blue);
    picture.line(0, 0, 29, 19, Ink);
    picture.cls();
    QCOMPARE(countPixelsNot(picture.drawing(), qRgb(0, 0, 255), picture.drawing().rect()), 0);

    picture.line(3, 5, 12, 5, Ink);
    for (int x = 3; x <= 12; ++x)
        QCOMPARE(picture.pixelAt(x, 5), Ink);
    QCOMPARE(picture.pixelAt(2, 5), Blue);
    QCOMPARE(picture.pixelAt(13, 5), Blue);
    QCOMPARE(picture.backingImage().pixel(7, 5), qRgb(200, 30, 40));
    // Outside the picture is the back colour.
    picture.line(29, 0, 29, 19, Ink);
    QCOMPARE(picture.pixelAt(30, 0), Blue);
    QCOMPARE(picture.pixelAt(-1, 5), Blue);
}

void TestPictureBox::drawingsPersistAcrossResize()
{
    PictureBox picture;
    picture.resize(40, 30);
    picture.cls();
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    picture.line(2, 2, 10, 2, Ink);
    picture.line(30, 25, 35, 25, Ink);

    picture.resize(20, 10);
    QCOMPARE(picture.backingImage().size(), QSize(20, 10));
    QCOMPARE(picture.pixelAt(10, 2), Ink);

    // Growing again: what fitted is still there, the rest was cut off.
    picture.resize(40, 30);
    QCOMPARE(picture.backingImage().size(), QSize(40, 30));
    QCOMPARE(picture.pixelAt(2, 2), Ink);
    QCOMPARE(picture.pixelAt(32, 25), kWhite);
    picture.line(39, 0, 39, 29, Ink);
    QCOMPARE(picture.pixelAt(39, 29), Ink);
}

void TestPictureBox::drawingAfterAResizeWhileHiddenIsKept()
{
    // A hidden widget learns of its new size only when it is shown; what is drawn in
    // between belongs to the new size all the same.
    PictureBox picture;
    picture.resize(40, 30);
    picture.cls();
    picture.line(1, 1, 5, 1, Ink);
    picture.resize(80, 60);
    picture.line(50, 45, 70, 45, Ink);
    QCOMPARE(picture.drawing().size(), QSize(80, 60));

    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    QCOMPARE(picture.pixelAt(60, 45), Ink);
    QCOMPARE(picture.pixelAt(3, 1), Ink);
}

void TestPictureBox::controlArrayLoadsInvisibleCopiesAndUnloads()
{
    ControlArray<LabelControl> labels(labelTemplate());
    labels.load(3);
    const LabelControl *copy = labels.find(3);
    QVERIFY(copy);
    QVERIFY(!copy->visible);
    QCOMPARE(copy->caption(), u"Template"_s);
    QCOMPARE(copy->left, 10.0f);
    QVERIFY(labels.find(0)->visible);
    // Gaps stay empty.
    QVERIFY(!labels.exists(1));
    QCOMPARE(labels.count(), 2);
    QCOMPARE(labels.size(), 4);

    // Loading an existing element (0 included) changes nothing.
    labels.find(3)->setCaption(u"Slice three"_s);
    labels.find(3)->visible = true;
    labels.load(3);
    labels.load(0);
    QCOMPARE(labels.find(3)->caption(), u"Slice three"_s);
    QVERIFY(labels.find(3)->visible);
    QCOMPARE(labels.find(0)->caption(), u"Template"_s);

    // Copies are of the template as it is now.
    labels.find(0)->setCaption(u"Changed"_s);
    labels.load(1);
    QCOMPARE(labels.find(1)->caption(), u"Changed"_s);

    // Unloading destroys; element 0, missing and negative indices are left alone.
    labels.unload(3);
    labels.unload(0);
    labels.unload(7);
    labels.unload(-1);
    labels.load(-1);
    QVERIFY(!labels.exists(3));
    QCOMPARE(labels.find(3), nullptr);
    QVERIFY(!labels.exists(-1));
    QVERIFY(labels.exists(0));
    QCOMPARE(labels.count(), 2);
    QCOMPARE(labels.size(), 2);
}

void TestPictureBox::labelWidthFollowsTheCaptionUnlessFixed()
{
    LabelControl label;
    QVERIFY(label.autoSize());
    label.setCaption(u"i"_s);
    const float narrow = label.width();
    QVERIFY(narrow > 0);
    label.setCaption(u"explorer.exe (23456Kb)"_s);
    QCOMPARE(label.width(), float(QFontMetricsF(label.font()).horizontalAdvance(label.caption())));
    QVERIFY(label.width() > narrow);
    QCOMPARE(label.bounds(), QRectF(label.left, label.top, label.width(), label.height()));
    const float normal = label.width();
    QFont big = label.font();
    big.setPointSizeF(big.pointSizeF() * 2);
    label.setFont(big);
    QVERIFY(label.width() > normal);

    label.setSize(40, 12);
    QVERIFY(!label.autoSize());
    label.setCaption(u"a caption much wider than forty pixels"_s);
    QCOMPARE(label.width(), 40.0f);
    QCOMPARE(label.height(), 12.0f);
}

void TestPictureBox::toolTipOfTheTopmostVisibleElementWins()
{
    ControlArray<LabelControl> labels(labelTemplate());
    labels.find(0)->toolTipText = u"zero"_s;
    for (int i = 1; i <= 3; ++i) {
        labels.load(i);
        LabelControl *label = labels.find(i);
        label->left = 10 + 5 * i;
        label->toolTipText = u"element "_s + QString::number(i);
        label->visible = i != 3; // the invisible one on top is not hit
    }
    // All overlap at x = 22: the highest visible index lies on top.
    QCOMPARE(tipAt(labels, QPointF(22, 12)), u"element 2"_s);
    QCOMPARE(tipAt(labels, QPointF(11, 12)), u"zero"_s);
    QCOMPARE(tipAt(labels, QPointF(9, 12)), u"(none)"_s);
    QCOMPARE(tipAt(labels, QPointF(22, 7)), u"(none)"_s);
    // A visible element without a tooltip does not hide the one beneath it.
    labels.find(2)->toolTipText.clear();
    QCOMPARE(tipAt(labels, QPointF(22, 12)), u"element 1"_s);

    // Between picture-box layers, the one added last lies on top; the bare drawing has
    // no tooltip and takes a shown one away.
    ControlArray<LabelControl> above(labelTemplate());
    above.find(0)->toolTipText = u"above"_s;
    PictureBox picture;
    picture.resize(200, 60);
    picture.addLayer(&labels);
    picture.addLayer(&above);
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    QCOMPARE(shownToolTipAt(picture, QPoint(22, 12)), u"above"_s);
    QHelpEvent help(QEvent::ToolTip, QPoint(150, 50), picture.mapToGlobal(QPoint(150, 50)));
    QApplication::sendEvent(&picture, &help);
    QTRY_VERIFY(!QToolTip::isVisible());
}

void TestPictureBox::toolTipShowsMarkupLiterally_data()
{
    QTest::addColumn<QString>("tip");
    QTest::newRow("bold") << u"<b>x</b>"_s;
    QTest::newRow("image, two blanks kept") << u"/tmp/<img src=x>/a.out  (1 Mb)"_s;
    QTest::newRow("entity") << u"a &amp; b &lt;"_s;
}

void TestPictureBox::toolTipShowsMarkupLiterally()
{
    QFETCH(QString, tip);
    PictureBox picture;
    picture.resize(200, 60);
    ControlArray<LabelControl> labels(labelTemplate());
    labels.find(0)->toolTipText = tip;
    picture.addLayer(&labels);
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    QCOMPARE(shownToolTipAt(picture, QPoint(12, 12)), tip);
}

void TestPictureBox::labelsArePaintedAboveTheDrawing()
{
    PictureBox picture;
    picture.resize(160, 40);
    picture.setBackColor(Blue);
    picture.cls();
    ControlArray<LabelControl> labels(labelTemplate());
    labels.load(1); // an invisible copy
    labels.find(1)->left = 100;
    LabelControl *label = labels.find(0);
    label->setCaption(u"MMMM"_s);
    label->foreColor = rgb(255, 255, 0);
    picture.addLayer(&labels);

    const QImage shown = picture.grab().toImage();
    const QRect bounds = label->bounds().toAlignedRect();
    // The glyphs are in the label's colour, on the drawing (the background is transparent),
    // and nothing is painted outside the visible label.
    QVERIFY(countPixelsNot(shown, qRgb(0, 0, 255), bounds) > 10);
    QVERIFY(countPixelsNot(shown, qRgb(255, 255, 0), bounds) < bounds.width() * bounds.height());
    QCOMPARE(countPixelsNot(shown, qRgb(0, 0, 255), shown.rect()),
             countPixelsNot(shown, qRgb(0, 0, 255), bounds.adjusted(-1, -1, 1, 1)));
    QCOMPARE(picture.pixelAt(bounds.center().x(), bounds.center().y()), Blue);

    label->visible = false;
    const QImage hidden = picture.grab().toImage();
    QCOMPARE(countPixelsNot(hidden, qRgb(0, 0, 255), hidden.rect()), 0);
}

void TestPictureBox::labelCaptionMarkupIsDrawnAsCharacters()
{
    // A caption drawn as markup would show only "x" in bold: the characters of
    // "<b>x</b>" take far more room than that.
    PictureBox picture;
    picture.resize(200, 40);
    picture.cls();
    ControlArray<LabelControl> labels(labelTemplate());
    labels.find(0)->setCaption(u"<b>x</b>"_s);
    picture.addLayer(&labels);
    const QImage shown = picture.grab().toImage();

    const QFontMetricsF metrics(labels.find(0)->font());
    int rightmost = -1;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if ((shown.pixel(x, y) & 0xffffff) != 0xffffff)
                rightmost = std::max(rightmost, x);
    QVERIFY(rightmost > 10 + 4 * int(metrics.horizontalAdvance(u"x"_s)));
    QVERIFY(rightmost <= 10 + int(metrics.horizontalAdvance(u"<b>x</b>"_s)) + 1);
}

QTEST_MAIN(TestPictureBox)
#include "test_picturebox.moc"
