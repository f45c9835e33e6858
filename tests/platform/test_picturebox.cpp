#include "platform/controlarray.h"
#include "platform/controls.h"
#include "platform/picturebox.h"

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

// Fills the whole drawing with horizontal lines of one colour.
void paintAll(PictureBox &picture, VbColor color)
{
    for (int y = 0; y < picture.scaleHeight(); ++y)
        picture.line(0, y, picture.scaleWidth() - 1, y, color);
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

// The text a tooltip shows, as a reader sees it.
QString shownToolTipText()
{
    QTextDocument document;
    document.setHtml(QToolTip::text());
    return document.toPlainText();
}

// The tooltip found at `pos`, or "(none)".
QString tipAt(const ControlLayer &layer, QPointF pos)
{
    return layer.toolTipAt(pos).value_or(u"(none)"_s);
}

// Asks `picture` for its tooltip at `pos`, as the application does when the mouse rests.
bool sendToolTipEvent(PictureBox &picture, QPoint pos)
{
    QHelpEvent help(QEvent::ToolTip, pos, picture.mapToGlobal(pos));
    return QApplication::sendEvent(&picture, &help);
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

    // Drawing.
    void clsFillsWithTheBackColor();
    void lineDrawsIntoTheDrawing();
    void pixelAtOutsideThePictureIsTheBackColor();
    void drawingsPersistAcrossResize();
    void drawingAfterAResizeWhileHiddenIsKept();
    void drawingIsNotShownBeforeItIsDrawn();

    // Control arrays.
    void loadCopiesElementZeroInvisible();
    void unloadDestroysTheElement();
    void elementZeroCannotBeUnloaded();
    void loadOfAnExistingElementDoesNothing();
    void loadLeavesGapsBetweenElements();
    void negativeIndexDoesNotExist();

    // Labels.
    void labelWidthFollowsTheCaption_data();
    void labelWidthFollowsTheCaption();
    void labelWithAFixedSizeKeepsIt();

    // Tooltips.
    void toolTipIsFoundByHitTesting();
    void toolTipOfTheTopmostElementWins();
    void hiddenOrEmptyToolTipIsNotFound();
    void toolTipShowsMarkupLiterally_data();
    void toolTipShowsMarkupLiterally();
    void noToolTipOutsideTheLabels();

    // Controls above the drawing.
    void grabShowsALabelAboveTheDrawing();
    void hiddenLabelIsNotPainted();
    void labelCaptionMarkupIsDrawnAsCharacters();
};

void TestPictureBox::cleanup()
{
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
}

void TestPictureBox::clsFillsWithTheBackColor()
{
    PictureBox picture;
    picture.resize(30, 20);
    picture.setBackColor(rgb(10, 20, 30));
    picture.line(0, 0, 29, 19, Ink);
    picture.cls();

    QCOMPARE(picture.backColor(), rgb(10, 20, 30));
    const QImage drawing = picture.drawing();
    QCOMPARE(drawing.size(), QSize(30, 20));
    QCOMPARE(countPixelsNot(drawing, qRgb(10, 20, 30), drawing.rect()), 0);
    QCOMPARE(picture.pixelAt(0, 0), rgb(10, 20, 30));
    QCOMPARE(picture.pixelAt(15, 10), rgb(10, 20, 30));
    QCOMPARE(picture.pixelAt(29, 19), rgb(10, 20, 30));
}

void TestPictureBox::lineDrawsIntoTheDrawing()
{
    PictureBox picture;
    picture.resize(30, 20);
    picture.cls();
    picture.line(3, 5, 12, 5, Ink);

    QCOMPARE(picture.imageScale(), 1);
    for (int x = 3; x <= 12; ++x)
        QCOMPARE(picture.pixelAt(x, 5), Ink);
    QCOMPARE(picture.pixelAt(2, 5), kWhite);
    QCOMPARE(picture.pixelAt(13, 5), kWhite);
    QCOMPARE(picture.pixelAt(3, 4), kWhite);
    QCOMPARE(picture.drawing().pixel(7, 5), qRgb(200, 30, 40));
    QCOMPARE(picture.backingImage().pixel(7, 5), qRgb(200, 30, 40));
}

void TestPictureBox::pixelAtOutsideThePictureIsTheBackColor()
{
    PictureBox picture;
    picture.resize(10, 10);
    picture.setBackColor(Blue);
    picture.cls();
    paintAll(picture, Ink);
    QCOMPARE(picture.pixelAt(9, 9), Ink);
    QCOMPARE(picture.pixelAt(10, 0), Blue);
    QCOMPARE(picture.pixelAt(0, 10), Blue);
    QCOMPARE(picture.pixelAt(-1, 5), Blue);
    QCOMPARE(picture.pixelAt(5, -1), Blue);
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
    QCOMPARE(picture.scaleWidth(), 20);
    QCOMPARE(picture.scaleHeight(), 10);
    QCOMPARE(picture.backingImage().size(), QSize(20, 10));
    for (int x = 2; x <= 10; ++x)
        QCOMPARE(picture.pixelAt(x, 2), Ink);

    // Growing again: what fitted is still there, the rest was cut off.
    picture.resize(40, 30);
    QCOMPARE(picture.backingImage().size(), QSize(40, 30));
    for (int x = 2; x <= 10; ++x)
        QCOMPARE(picture.pixelAt(x, 2), Ink);
    for (int x = 30; x <= 35; ++x)
        QCOMPARE(picture.pixelAt(x, 25), kWhite);
    QCOMPARE(picture.pixelAt(39, 29), kWhite);

    // Drawing in the grown part works.
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

    QCOMPARE(picture.pixelAt(60, 45), Ink);
    QCOMPARE(picture.pixelAt(3, 1), Ink);
    QCOMPARE(picture.drawing().size(), QSize(80, 60));

    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    QCOMPARE(picture.pixelAt(60, 45), Ink);
    QCOMPARE(picture.pixelAt(3, 1), Ink);
}

void TestPictureBox::drawingIsNotShownBeforeItIsDrawn()
{
    PictureBox picture;
    picture.resize(30, 20);
    picture.setBackColor(Blue);
    picture.cls();
    const QImage shown = picture.grab().toImage();
    QCOMPARE(shown.size(), QSize(30, 20));
    QCOMPARE(countPixelsNot(shown, qRgb(0, 0, 255), shown.rect()), 0);

    picture.line(5, 5, 5, 15, Ink);
    picture.update();
    const QImage after = picture.grab().toImage();
    QCOMPARE(after.pixel(5, 10) & 0xffffff, qRgb(200, 30, 40) & 0xffffff);
    QCOMPARE(countPixelsNot(after, qRgb(0, 0, 255), after.rect()), 11);
}

void TestPictureBox::loadCopiesElementZeroInvisible()
{
    ControlArray<LabelControl> labels(labelTemplate());
    QVERIFY(labels.exists(0));
    QVERIFY(!labels.exists(1));
    QCOMPARE(labels.find(1), nullptr);

    labels.load(1);
    QVERIFY(labels.exists(1));
    const LabelControl *copy = labels.find(1);
    QVERIFY(copy);
    QVERIFY(!copy->visible);
    QCOMPARE(copy->caption(), u"Template"_s);
    QCOMPARE(copy->left, 10.0f);
    QCOMPARE(copy->top, 8.0f);
    QCOMPARE(copy->width(), labels.find(0)->width());
    QCOMPARE(copy->font(), labels.find(0)->font());
    // Element 0 itself is unchanged.
    QVERIFY(labels.find(0)->visible);
    QCOMPARE(labels.count(), 2);

    // A copy is independent of the template afterwards.
    labels.find(1)->setCaption(u"Copy"_s);
    QCOMPARE(labels.find(0)->caption(), u"Template"_s);

    // Copies are of the template as it is now.
    labels.find(0)->setCaption(u"Changed"_s);
    labels.load(2);
    QCOMPARE(labels.find(2)->caption(), u"Changed"_s);
}

void TestPictureBox::unloadDestroysTheElement()
{
    ControlArray<LineControl> lines{LineControl{}};
    lines.load(1);
    lines.load(2);
    QCOMPARE(lines.count(), 3);
    lines.unload(2);
    QVERIFY(!lines.exists(2));
    QCOMPARE(lines.find(2), nullptr);
    QVERIFY(lines.exists(1));
    QCOMPARE(lines.count(), 2);
    QCOMPARE(lines.size(), 2);

    // Destroying one that does not exist does nothing.
    lines.unload(2);
    lines.unload(7);
    QCOMPARE(lines.count(), 2);

    // It can be created afresh, again as an invisible copy.
    lines.find(1)->visible = true;
    lines.unload(1);
    lines.load(1);
    QVERIFY(!lines.find(1)->visible);
}

void TestPictureBox::elementZeroCannotBeUnloaded()
{
    ControlArray<ShapeControl> shapes{ShapeControl{}};
    shapes.unload(0);
    QVERIFY(shapes.exists(0));
    QCOMPARE(shapes.count(), 1);
}

void TestPictureBox::loadOfAnExistingElementDoesNothing()
{
    ControlArray<LabelControl> labels(labelTemplate());
    labels.load(1);
    LabelControl *one = labels.find(1);
    one->setCaption(u"Slice one"_s);
    one->left = 55;
    one->visible = true;

    labels.load(1);
    QCOMPARE(labels.find(1)->caption(), u"Slice one"_s);
    QCOMPARE(labels.find(1)->left, 55.0f);
    QVERIFY(labels.find(1)->visible);

    // Nor does loading element 0.
    labels.load(0);
    QCOMPARE(labels.find(0)->caption(), u"Template"_s);
    QCOMPARE(labels.count(), 2);
}

void TestPictureBox::loadLeavesGapsBetweenElements()
{
    ControlArray<LabelControl> labels(labelTemplate());
    labels.load(3);
    QVERIFY(labels.exists(3));
    QVERIFY(!labels.exists(1));
    QVERIFY(!labels.exists(2));
    QCOMPARE(labels.count(), 2);
    QCOMPARE(labels.size(), 4);

    labels.unload(3);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels.count(), 1);
}

void TestPictureBox::negativeIndexDoesNotExist()
{
    ControlArray<LabelControl> labels(labelTemplate());
    labels.load(-1);
    QVERIFY(!labels.exists(-1));
    QCOMPARE(labels.find(-1), nullptr);
    labels.unload(-1);
    QCOMPARE(labels.count(), 1);
}

void TestPictureBox::labelWidthFollowsTheCaption_data()
{
    QTest::addColumn<QString>("caption");
    QTest::newRow("short") << u"i"_s;
    QTest::newRow("long") << u"explorer.exe (23456Kb)"_s;
    QTest::newRow("markup") << u"<b>x</b>"_s;
    QTest::newRow("empty") << QString();
}

void TestPictureBox::labelWidthFollowsTheCaption()
{
    QFETCH(QString, caption);
    LabelControl label;
    QVERIFY(label.autoSize());
    label.setCaption(caption);
    const QFontMetricsF metrics(label.font());
    QCOMPARE(label.width(), float(metrics.horizontalAdvance(caption)));
    QCOMPARE(label.height(), float(metrics.height()));
    QCOMPARE(label.bounds(), QRectF(label.left, label.top, label.width(), label.height()));

    // A longer caption makes it wider at once.
    const float before = label.width();
    label.setCaption(caption + u"WWW"_s);
    QVERIFY(label.width() > before);

    // And so does a bigger font.
    QFont big = label.font();
    big.setPointSizeF(big.pointSizeF() * 2);
    const float normalWidth = label.width();
    label.setFont(big);
    QVERIFY(label.width() > normalWidth);
}

void TestPictureBox::labelWithAFixedSizeKeepsIt()
{
    LabelControl label;
    label.setSize(40, 12);
    QVERIFY(!label.autoSize());
    label.setCaption(u"a caption much wider than forty pixels"_s);
    QCOMPARE(label.width(), 40.0f);
    QCOMPARE(label.height(), 12.0f);

    label.setAutoSize(true);
    QCOMPARE(label.width(), float(QFontMetricsF(label.font()).horizontalAdvance(label.caption())));
}

void TestPictureBox::toolTipIsFoundByHitTesting()
{
    PictureBox picture;
    picture.resize(200, 60);
    ControlArray<LabelControl> labels(labelTemplate());
    labels.find(0)->visible = false;
    labels.load(1);
    LabelControl *label = labels.find(1);
    label->left = 50;
    label->top = 20;
    label->setCaption(u"notepad (120Kb)"_s);
    label->toolTipText = u"/usr/bin/notepad  (0 Mb)"_s;
    label->visible = true;
    picture.addLayer(&labels);
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));

    const QPointF inside(label->left + label->width() / 2, label->top + label->height() / 2);
    QCOMPARE(tipAt(labels, inside), u"/usr/bin/notepad  (0 Mb)"_s);
    QCOMPARE(tipAt(labels, QPointF(label->left + 1, label->top + 1)),
             u"/usr/bin/notepad  (0 Mb)"_s);
    QCOMPARE(tipAt(labels, QPointF(label->left - 1, inside.y())), u"(none)"_s);
    QCOMPARE(tipAt(labels, QPointF(label->left + label->width() + 1, inside.y())), u"(none)"_s);
    QCOMPARE(tipAt(labels, QPointF(inside.x(), label->top - 1)), u"(none)"_s);

    QVERIFY(sendToolTipEvent(picture, inside.toPoint()));
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(shownToolTipText(), u"/usr/bin/notepad  (0 Mb)"_s);
}

void TestPictureBox::toolTipOfTheTopmostElementWins()
{
    ControlArray<LabelControl> labels(labelTemplate());
    labels.find(0)->toolTipText = u"zero"_s;
    for (int i = 1; i <= 2; ++i) {
        labels.load(i);
        LabelControl *label = labels.find(i);
        label->left = 10 + 5 * i;
        label->top = 8;
        label->toolTipText = u"element "_s + QString::number(i);
        label->visible = true;
    }
    // All three overlap at x = 22: the highest index lies on top.
    QCOMPARE(tipAt(labels, QPointF(22, 12)), u"element 2"_s);
    QCOMPARE(tipAt(labels, QPointF(11, 12)), u"zero"_s);

    // Between picture-box layers, the one added last lies on top.
    ControlArray<LabelControl> above(labelTemplate());
    above.find(0)->toolTipText = u"above"_s;
    PictureBox picture;
    picture.resize(200, 60);
    picture.addLayer(&labels);
    picture.addLayer(&above);
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));
    QVERIFY(sendToolTipEvent(picture, QPoint(22, 12)));
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(shownToolTipText(), u"above"_s);
}

void TestPictureBox::hiddenOrEmptyToolTipIsNotFound()
{
    ControlArray<LabelControl> labels(labelTemplate());
    labels.find(0)->toolTipText = u"below"_s;
    labels.load(1);
    LabelControl *hidden = labels.find(1);
    hidden->toolTipText = u"hidden"_s;
    QVERIFY(!hidden->visible);
    // The invisible element lies on top of element 0 but is not hit.
    QCOMPARE(tipAt(labels, QPointF(12, 12)), u"below"_s);

    // A visible element without a tooltip does not hide the one beneath it either.
    hidden->visible = true;
    hidden->toolTipText.clear();
    QCOMPARE(tipAt(labels, QPointF(12, 12)), u"below"_s);

    labels.find(0)->visible = false;
    QCOMPARE(tipAt(labels, QPointF(12, 12)), u"(none)"_s);
}

void TestPictureBox::toolTipShowsMarkupLiterally_data()
{
    QTest::addColumn<QString>("tip");
    QTest::newRow("bold") << u"<b>x</b>"_s;
    QTest::newRow("image") << u"/tmp/<img src=x>/a.out  (1 Mb)"_s;
    QTest::newRow("entity") << u"a &amp; b &lt;"_s;
    QTest::newRow("two blanks kept") << u"name  (12 Mb)"_s;
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

    QCOMPARE(tipAt(labels, QPointF(12, 12)), tip);
    QVERIFY(sendToolTipEvent(picture, QPoint(12, 12)));
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(shownToolTipText(), tip);
}

void TestPictureBox::noToolTipOutsideTheLabels()
{
    PictureBox picture;
    picture.resize(200, 60);
    ControlArray<LabelControl> labels(labelTemplate());
    labels.find(0)->toolTipText = u"tip"_s;
    picture.addLayer(&labels);
    picture.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picture));

    QVERIFY(sendToolTipEvent(picture, QPoint(12, 12)));
    QTRY_VERIFY(QToolTip::isVisible());
    // Resting on the bare drawing takes the tooltip away.
    QVERIFY(sendToolTipEvent(picture, QPoint(150, 50)));
    QTRY_VERIFY(!QToolTip::isVisible());
}

void TestPictureBox::grabShowsALabelAboveTheDrawing()
{
    PictureBox picture;
    picture.resize(160, 40);
    picture.cls();
    paintAll(picture, Blue);
    ControlArray<LabelControl> labels(labelTemplate());
    LabelControl *label = labels.find(0);
    label->setCaption(u"MMMM"_s);
    label->foreColor = rgb(255, 255, 0);
    picture.addLayer(&labels);

    const QImage shown = picture.grab().toImage();
    const QRect bounds = label->bounds().toAlignedRect();
    QVERIFY(bounds.width() > 10);
    // The caption's glyphs cover some of the drawing inside the label ...
    QVERIFY(countPixelsNot(shown, qRgb(0, 0, 255), bounds) > 10);
    // ... in the label's colour (its transparent background lets the drawing show) ...
    int yellow = 0;
    for (int y = bounds.top(); y <= bounds.bottom(); ++y)
        for (int x = bounds.left(); x <= bounds.right(); ++x)
            if ((shown.pixel(x, y) & 0xffffff) == (qRgb(255, 255, 0) & 0xffffff))
                ++yellow;
    QVERIFY(yellow > 0);
    // ... and nothing outside it.
    QCOMPARE(countPixelsNot(shown, qRgb(0, 0, 255), shown.rect()),
             countPixelsNot(shown, qRgb(0, 0, 255), bounds.adjusted(-1, -1, 1, 1)));
    // The drawing itself is unchanged underneath.
    QCOMPARE(picture.pixelAt(bounds.center().x(), bounds.center().y()), Blue);
}

void TestPictureBox::hiddenLabelIsNotPainted()
{
    PictureBox picture;
    picture.resize(160, 40);
    picture.cls();
    paintAll(picture, Blue);
    ControlArray<LabelControl> labels(labelTemplate());
    labels.find(0)->setCaption(u"MMMM"_s);
    labels.find(0)->visible = false;
    labels.load(1); // invisible copy
    picture.addLayer(&labels);

    const QImage shown = picture.grab().toImage();
    QCOMPARE(countPixelsNot(shown, qRgb(0, 0, 255), shown.rect()), 0);
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
    const int xWidth = int(metrics.horizontalAdvance(u"x"_s));
    int rightmost = -1;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if ((shown.pixel(x, y) & 0xffffff) != 0xffffff)
                rightmost = std::max(rightmost, x);
    QVERIFY(rightmost > 10 + 4 * xWidth);
    QVERIFY(rightmost <= 10 + int(metrics.horizontalAdvance(u"<b>x</b>"_s)) + 1);
}

QTEST_MAIN(TestPictureBox)
#include "test_picturebox.moc"
