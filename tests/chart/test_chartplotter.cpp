#include "chart/chartcontrols.h"
#include "chart/chartplotter.h"
#include "chart/chartstate.h"
#include "chart/slicecolors.h"
#include "platform/toolkit/picturebox.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <QApplication>
#include <QImage>
#include <QList>
#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace plenwick;

namespace {

constexpr ByteCount MiB = 1024 * 1024;
constexpr ByteCount GiB = 1024 * MiB;

constexpr VbColor White = rgb(255, 255, 255);
constexpr VbColor Black = rgb(0, 0, 0);
constexpr VbColor ScaleBrown = rgb(128, 64, 0);
constexpr VbColor EndFaceGrey = rgb(220, 220, 220);

// A chart picture of SW x SP pixels with its controls, state and plotter, and the bar
// outline that the main window's layout gives a picture of that size.
struct Rig {
    PictureBox picture;
    ChartControls controls;
    ChartState state;
    ByteCount total = 0;
    int magnification = 1;
    ChartPlotter plotter;
    const int sw, sp;

    Rig(int width, int height, ByteCount totalPhysical, int zoom)
        : total(totalPhysical), magnification(zoom),
          plotter(picture, controls, state,
                  ChartSources{[this] { return total; }, [this] { return magnification; }, {}}),
          sw(width), sp(height)
    {
        picture.resize(width, height);
        picture.cls();
        controls.attachTo(picture);
        setEdge(0, 20, sp - 30, sw - 100, sp - 30);
        setEdge(1, 20, sp - 96, sw - 100, sp - 96);
        setEdge(2, 53, sp - 121, sw - 67, sp - 121);
        resetScan();
    }

    void setEdge(int index, float x1, float y1, float x2, float y2)
    {
        LineControl *edge = controls.barOutline.find(index);
        edge->x1 = x1;
        edge->y1 = y1;
        edge->x2 = x2;
        edge->y2 = y2;
    }

    // The bar's edges, and the scale's y (the bar's bottom + 6).
    int right() const { return sw - 100; }
    int bottom() const { return sp - 30; }
    int top() const { return sp - 96; }
    int back() const { return sp - 121; }
    int scaleY() const { return bottom() + 6; }

    void plot(ByteCount start, ByteCount size, VbColor color = 0, const QString &name = u"proc"_s,
              const QString &directory = u"/usr/bin/"_s)
    {
        plotter.plotProg(start, size, color, name, directory);
    }

    void resetScan()
    {
        state.sliceCount = 0;
        state.labelTop = 10;
    }

    VbColor at(int x, int y) const { return picture.pixelAt(x, y); }
};

// The default rig: bar from x 20 to 900 standing for 880 MiB, so one pixel per MiB;
// Bottom 270, Top 204, Back 179; the scale's y is 276.
std::unique_ptr<Rig> standardRig(int magnification = 1)
{
    return std::make_unique<Rig>(1000, 300, 880 * MiB, magnification);
}

// Empty when every pixel from (x1, y1) to (x2, y2) has `color`; otherwise the first that has not.
QString checkRect(const Rig &rig, int x1, int y1, int x2, int y2, VbColor color)
{
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            if (rig.at(x, y) != color)
                return u"(%1,%2) is %3, expected %4"_s.arg(x).arg(y).arg(rig.at(x, y)).arg(color);
    return {};
}
QString checkColumn(const Rig &rig, int x, int y1, int y2, VbColor color)
{
    return checkRect(rig, x, y1, x, y2, color);
}

#define VERIFY_OK(check)                                                                           \
    do {                                                                                           \
        const QString problem_ = (check);                                                          \
        QVERIFY2(problem_.isEmpty(), qPrintable(problem_));                                        \
    } while (false)

// The shaded diagonal of the filled column x: from (x + 2, Top - 2) to (x + 33, Top - 25).
// A 31 x 23 line has one pixel per column, the one nearest to the ideal line.
QPoint shadePixel(const Rig &rig, int x, int k)
{
    return {x + 2 + k, rig.top() - 2 - static_cast<int>(std::floor(23.0 * k / 31.0 + 0.5))};
}

int visibleCount(const ControlArray<LabelControl> &labels)
{
    int n = 0;
    labels.forEachVisible([&n](int, const LabelControl &) { ++n; });
    return n;
}

// Every element of the chart's control arrays, one text each, for comparing two charts.
QStringList controlsOf(const ChartControls &c)
{
    QStringList out;
    const auto n = [](double v) { return u" "_s + QString::number(v, 'g', 9); };
    const auto add = [&out](const auto &array, const auto &fields) {
        for (int i = 0; i < array.size(); ++i)
            out << QString::number(i) + (array.find(i) ? fields(*array.find(i)) : u" none"_s);
    };
    const auto label = [&n](const LabelControl &l) {
        return n(l.visible) + n(l.left) + n(l.top) + n(l.width()) + n(l.foreColor) + l.caption() +
               u"|"_s + l.toolTipText;
    };
    add(c.progLabel, label);
    add(c.gridLabel, label);
    const auto line = [&n](const LineControl &l) {
        return n(l.visible) + n(l.x1) + n(l.y1) + n(l.x2) + n(l.y2) + n(l.borderColor);
    };
    add(c.progLeader1, line);
    add(c.barOutline, line);
    add(c.progLeader2, [&n](const ShapeControl &s) {
        return n(s.visible) + n(s.left) + n(s.top) + n(s.width) + n(s.height) + n(s.backColor);
    });
    return out;
}

// Plots a scan: the operating system's slice, `processes` processes of varied sizes (one
// of size 0, one negative, a few large), and the available memory last. With `overflow`,
// the processes add up to more than the total memory.
void runScan(Rig &rig, int processes, bool overflow, quint32 seed)
{
    QRandomGenerator random(seed);
    const ByteCount available = rig.total / 5;
    const ByteCount system = rig.total / 10 + 12345;
    rig.plotter.beginScan();
    rig.resetScan();
    rig.plot(0, system, 0, u"Operating System"_s, QString());
    ByteCount position = system;
    const ByteCount share = (rig.total - available - system) / processes * (overflow ? 3 : 1);
    for (int i = 0; i < processes; ++i) {
        ByteCount size = static_cast<ByteCount>(random.bounded(static_cast<double>(share)));
        if (i == 40)
            size = 0;
        else if (i == 90)
            size = -2 * MiB - 7;
        else if (i % 37 == 5)
            size = share * 6 + random.bounded(1024 * 1024);
        rig.plot(position, size, 0, u"proc%1.exe"_s.arg(i), u"/opt/app%1/"_s.arg(i % 7));
        position += size;
    }
    rig.plot(rig.total - available, available, kWhite, u"Available Memory"_s, QString());
    rig.plotter.endScan();
}

} // namespace

class TestChartPlotter : public QObject {
    Q_OBJECT
public:
    static void initMain()
    {
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
        QLocale::setDefault(QLocale::c());
    }

private slots:
    // Slices.
    void colorsFollowTheLastDigitOfTheSliceNumber_data();
    void colorsFollowTheLastDigitOfTheSliceNumber();
    void frontFaceColumns_data();
    void frontFaceColumns();
    void availableMemorySliceIsLightGreyWithBlackLeader();
    void captionAndToolTipGiveKilobytesAndMegabytes_data();
    void captionAndToolTipGiveKilobytesAndMegabytes();
    void labelRowsAreTwelvePixelsApartAndWrap_data();
    void labelRowsAreTwelvePixelsApartAndWrap();
    void shorterScanLeavesNoStaleElements();
    void nothingIsDrawnWithoutAMemoryReading();

    // End face.
    void endFaceFillsTheRightEndOfTheBar();
    void endFaceLiesOverSlicesPastTheBarsEnd();
    void insideAScanEndFaceAndScaleWaitForItsEnd();

    // Scale.
    void plotProgDrawsTheScaleForTheMagnification_data();
    void plotProgDrawsTheScaleForTheMagnification();
    void graduateLabelsAndTicks_data();
    void graduateLabelsAndTicks();
    void graduateWithFewerMajorTicksLeavesNoSurplusLabels();
    void graduateWithoutMemoryDrawsNothing();

    // The end face and scale drawn once per scan give the same chart as after every slice.
    void drawingOncePerScanIsPixelIdentical_data();
    void drawingOncePerScanIsPixelIdentical();
};

void TestChartPlotter::colorsFollowTheLastDigitOfTheSliceNumber_data()
{
    QTest::addColumn<int>("slice");
    QTest::addColumn<VbColor>("color");
    QTest::addColumn<VbColor>("shade");

    QTest::newRow("1") << 1 << rgb(255, 0, 0) << rgb(180, 0, 0);
    QTest::newRow("2") << 2 << rgb(255, 153, 0) << rgb(180, 105, 0);
    QTest::newRow("3") << 3 << rgb(255, 255, 0) << rgb(180, 180, 0);
    QTest::newRow("4") << 4 << rgb(185, 126, 58) << rgb(130, 88, 40);
    QTest::newRow("5") << 5 << rgb(147, 185, 58) << rgb(103, 130, 40);
    QTest::newRow("6") << 6 << rgb(58, 185, 185) << rgb(40, 130, 130);
    QTest::newRow("7") << 7 << rgb(0, 255, 0) << rgb(0, 180, 0);
    QTest::newRow("8") << 8 << rgb(58, 126, 85) << rgb(40, 88, 40);
    QTest::newRow("9") << 9 << rgb(0, 0, 255) << rgb(0, 0, 180);
    QTest::newRow("10: digit 0") << 10 << rgb(255, 0, 255) << rgb(180, 0, 180);
    QTest::newRow("11: as 1") << 11 << rgb(255, 0, 0) << rgb(180, 0, 0);
    QTest::newRow("102: as 2") << 102 << rgb(255, 153, 0) << rgb(180, 105, 0);
}

void TestChartPlotter::colorsFollowTheLastDigitOfTheSliceNumber()
{
    QFETCH(int, slice);
    QFETCH(VbColor, color);
    QFETCH(VbColor, shade);

    auto rig = standardRig();
    rig->state.sliceCount = static_cast<std::int16_t>(slice - 1);
    rig->plot(100 * MiB, 50 * MiB); // columns 120 (black) to 170 (black)
    QCOMPARE(int(rig->state.sliceCount), slice);

    // The filled columns, their shaded diagonals, the leader and the swatch.
    VERIFY_OK(checkColumn(*rig, 140, rig->top(), rig->bottom() - 2, color));
    for (int k = 0; k <= 15; ++k) {
        const QPoint p = shadePixel(*rig, 140, k);
        QCOMPARE(rig->at(p.x(), p.y()), shade);
    }
    QCOMPARE(rig->controls.progLeader1.find(slice)->borderColor, color);
    QCOMPARE(rig->controls.progLeader2.find(slice)->backColor, color);
    VERIFY_OK(checkColumn(*rig, 145 + 16, rig->back(), rig->top() - 12, color));
    QCOMPARE(rig->at(145 + 16, rig->back() - 1), White);

    // The right boundary's black diagonal, drawn last, runs over the shade to (203, Top - 25).
    for (int k = 0; k <= 33; ++k) {
        const int y = rig->top() - static_cast<int>(std::floor(25.0 * k / 33.0 + 0.5));
        QCOMPARE(rig->at(170 + k, y), Black);
    }
    QCOMPARE(rig->at(204, rig->top() - 25), White);
}

void TestChartPlotter::frontFaceColumns_data()
{
    QTest::addColumn<ByteCount>("start");
    QTest::addColumn<ByteCount>("size");
    QTest::addColumn<QList<int>>("black");
    QTest::addColumn<int>("fillFrom");
    QTest::addColumn<int>("fillTo");
    QTest::addColumn<int>("mid"); // floor((L + R) / 2) of the unrounded ends

    // One pixel per MiB from x = 20.
    QTest::newRow("whole pixels") << 100 * MiB << 50 * MiB << QList<int>{120, 170} << 121 << 169
                                  << 145;
    QTest::newRow("ends near the next column")
        << 100 * MiB + MiB * 9 / 10 << 59 * MiB << QList<int>{120, 179} << 121 << 178 << 150;
    // 119.999999 in double precision, but the ends are kept in single precision: 120.
    QTest::newRow("stored as single precision")
        << 100 * MiB - 1 << 40 * MiB << QList<int>{120, 160} << 121 << 159 << 140;
    // L = 120.9, R = 171.9: the middle is 146, not that of the boundary columns (145.5).
    QTest::newRow("fractional ends")
        << ByteCount(105801318) << 51 * MiB << QList<int>{120, 171} << 121 << 170 << 146;
    QTest::newRow("up to the bar's right end")
        << 800 * MiB << 80 * MiB << QList<int>{820, 900} << 821 << 899 << 860;
    QTest::newRow("size 0: one boundary column")
        << 100 * MiB << ByteCount(0) << QList<int>{120} << 0 << -1 << 120;
    QTest::newRow("negative: no column")
        << 100 * MiB << ByteCount(-2097152) << QList<int>{} << 0 << -1 << 119;
    QTest::newRow("one column") << 100 * MiB << MiB * 9 / 10 << QList<int>{120} << 0 << -1 << 120;
    QTest::newRow("two columns: no fill")
        << 100 * MiB << MiB * 3 / 2 << QList<int>{120, 121} << 0 << -1 << 120;
    QTest::newRow("three columns: one filled")
        << 100 * MiB << MiB * 5 / 2 << QList<int>{120, 122} << 121 << 121 << 121;
}

void TestChartPlotter::frontFaceColumns()
{
    QFETCH(ByteCount, start);
    QFETCH(ByteCount, size);
    QFETCH(QList<int>, black);
    QFETCH(int, fillFrom);
    QFETCH(int, fillTo);
    QFETCH(int, mid);

    auto rig = standardRig();
    rig->plot(start, size);
    const VbColor fill = rig->state.sliceColor;
    QCOMPARE(int(rig->state.sliceCount), 1);
    QVERIFY(rig->controls.progLabel.find(1)->visible);

    // Every pixel of the front face: black boundaries, the fill from Top down to
    // Bottom - 2, white elsewhere; with no column, white up to where the leader starts.
    for (int y = black.isEmpty() ? rig->top() - 11 : rig->top(); y <= rig->bottom(); ++y) {
        for (int x = 0; x <= rig->right(); ++x) {
            VbColor expected = White;
            if (black.contains(x))
                expected = Black;
            else if (x >= fillFrom && x <= fillTo && y <= rig->bottom() - 2)
                expected = fill;
            if (rig->at(x, y) != expected)
                QFAIL(qPrintable(u"(%1,%2) is %3"_s.arg(x).arg(y).arg(rig->at(x, y))));
        }
    }
    // The top face is shaded only above filled columns.
    bool shaded = false;
    for (int y = 0; y < rig->top(); ++y)
        for (int x = 0; x < rig->sw; ++x)
            shaded = shaded || rig->at(x, y) == rig->state.sliceShade;
    QCOMPARE(shaded, fillTo >= fillFrom);

    // Leader, swatch and label sit above the slice's middle, in LabelTop's row.
    const LineControl *leader = rig->controls.progLeader1.find(1);
    QVERIFY(leader->visible);
    QCOMPARE(QLineF(leader->x1, leader->y1, leader->x2, leader->y2),
             QLineF(mid + 16, rig->back(), mid + 16, 5));
    const ShapeControl *swatch = rig->controls.progLeader2.find(1);
    QVERIFY(swatch->visible);
    QCOMPARE(QRectF(swatch->left, swatch->top, swatch->width, swatch->height),
             QRectF(mid + 16, 5, 7, 12));
    const LabelControl *label = rig->controls.progLabel.find(1);
    QCOMPARE(QPointF(label->left, label->top), QPointF(mid + 24, 4));
    // Element 0 of each array is the template and stays out of the way.
    QVERIFY(rig->controls.progLeader1.find(0)->y2 < 0);
    QVERIFY(rig->controls.progLabel.find(0)->top < 0);
}

void TestChartPlotter::availableMemorySliceIsLightGreyWithBlackLeader()
{
    auto rig = standardRig();
    rig->plot(100 * MiB, 200 * MiB, kWhite, u"Available Memory"_s, QString());

    VERIFY_OK(checkColumn(*rig, 200, rig->top(), rig->bottom() - 2, rgb(250, 250, 250)));
    for (int k = 0; k <= 20; ++k) {
        const QPoint p = shadePixel(*rig, 180, k);
        QCOMPARE(rig->at(p.x(), p.y()), rgb(230, 230, 230));
    }
    VERIFY_OK(checkColumn(*rig, 120, rig->top(), rig->bottom(), Black));
    VERIFY_OK(checkColumn(*rig, 320, rig->top(), rig->bottom(), Black));

    // Black leader, swatch and drawn leader segment.
    const int leaderX = (120 + 320) / 2 + 16;
    QCOMPARE(rig->controls.progLeader1.find(1)->borderColor, kBlack);
    QVERIFY(rig->controls.progLeader1.find(1)->visible);
    QCOMPARE(rig->controls.progLeader2.find(1)->backColor, kBlack);
    VERIFY_OK(checkColumn(*rig, leaderX, rig->back(), rig->top() - 12, Black));

    const LabelControl *label = rig->controls.progLabel.find(1);
    QCOMPARE(label->caption(), u"Available Memory (204800Kb)"_s);
    QCOMPARE(label->toolTipText, u"Available Memory  (200 Mb)"_s);
}

void TestChartPlotter::captionAndToolTipGiveKilobytesAndMegabytes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");

    // Rounded toward minus infinity.
    QTest::newRow("-1 byte") << qint64(-1) << u"notepad.exe (-1Kb)"_s
                             << u"/usr/bin/notepad.exe  (-1 Mb)"_s;
    QTest::newRow("-2 MiB") << qint64(-2097152) << u"notepad.exe (-2048Kb)"_s
                            << u"/usr/bin/notepad.exe  (-2 Mb)"_s;
    QTest::newRow("-1 MiB - 1") << qint64(-1048577) << u"notepad.exe (-1025Kb)"_s
                                << u"/usr/bin/notepad.exe  (-2 Mb)"_s;
    QTest::newRow("0") << qint64(0) << u"notepad.exe (0Kb)"_s << u"/usr/bin/notepad.exe  (0 Mb)"_s;
    QTest::newRow("1 MiB - 1") << qint64(1048575) << u"notepad.exe (1023Kb)"_s
                               << u"/usr/bin/notepad.exe  (0 Mb)"_s;
    QTest::newRow("beyond 32 bits")
        << qint64(5 * GiB) << u"notepad.exe (5242880Kb)"_s << u"/usr/bin/notepad.exe  (5120 Mb)"_s;
}

void TestChartPlotter::captionAndToolTipGiveKilobytesAndMegabytes()
{
    QFETCH(qint64, size);
    QFETCH(QString, caption);
    QFETCH(QString, toolTip);

    auto rig = standardRig();
    rig->plot(100 * MiB, size, 0, u"notepad.exe"_s, u"/usr/bin/"_s);
    QCOMPARE(rig->controls.progLabel.find(1)->caption(), caption);
    QCOMPARE(rig->controls.progLabel.find(1)->toolTipText, toolTip);
}

void TestChartPlotter::labelRowsAreTwelvePixelsApartAndWrap_data()
{
    QTest::addColumn<int>("pictureHeight");
    QTest::addColumn<int>("rows");
    QTest::addColumn<float>("labelTopAfter");

    // Labels go in rows 4, 16, 28, ... and wrap to 4 once LabelTop comes within 5 pixels of
    // Back. Back = 179: 14 rows (the next, 178, is too close).
    QTest::newRow("picture 300 high") << 300 << 14 << 34.0f;
    // Back = 135: LabelTop 130 is exactly 5 pixels from Back, still a row.
    QTest::newRow("picture 256 high") << 256 << 11 << 34.0f;
    // Back = 134: LabelTop 130 is 4 pixels from Back: wrap at once.
    QTest::newRow("picture 255 high") << 255 << 10 << 46.0f;
}

void TestChartPlotter::labelRowsAreTwelvePixelsApartAndWrap()
{
    QFETCH(int, pictureHeight);
    QFETCH(int, rows);
    QFETCH(float, labelTopAfter);

    QList<float> labelTops;
    for (int k = 0; k < rows; ++k)
        labelTops << 4.0f + 12 * k;
    labelTops << 4.0f << 16.0f;
    if (labelTopAfter > 34.0f)
        labelTops << 28.0f;

    Rig rig(1000, pictureHeight, 880 * MiB, 1);
    for (qsizetype i = 0; i < labelTops.size(); ++i)
        rig.plot((100 + 40 * i) * MiB, 30 * MiB);
    for (qsizetype i = 0; i < labelTops.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        QCOMPARE(rig.controls.progLabel.find(n)->top, labelTops[i]);
        QCOMPARE(rig.controls.progLeader1.find(n)->y2, labelTops[i] + 1);
        QCOMPARE(rig.controls.progLeader2.find(n)->top, labelTops[i] + 1);
    }
    QCOMPARE(rig.state.labelTop, labelTopAfter);
}

void TestChartPlotter::shorterScanLeavesNoStaleElements()
{
    auto rig = standardRig();
    for (int i = 0; i < 5; ++i)
        rig->plot((100 + 60 * i) * MiB, 50 * MiB, 0, u"first%1"_s.arg(i + 1));
    QCOMPARE(rig->controls.progLabel.count(), 6);

    // The next scan's first slice takes away everything of higher numbers, and a scan of
    // two slices ends with exactly two.
    rig->resetScan();
    rig->plot(100 * MiB, 80 * MiB, 0, u"second1"_s);
    QCOMPARE(rig->controls.progLabel.count(), 2);
    rig->plot(180 * MiB, 80 * MiB, 0, u"second2"_s);
    for (int n = 3; n <= 5; ++n)
        QVERIFY(!rig->controls.progLabel.exists(n) && !rig->controls.progLeader1.exists(n) &&
                !rig->controls.progLeader2.exists(n));
    QCOMPARE(rig->controls.progLabel.find(1)->caption(), u"second1 (81920Kb)"_s);
    QCOMPARE(rig->controls.progLabel.find(2)->caption(), u"second2 (81920Kb)"_s);
    QVERIFY(rig->controls.progLabel.find(2)->visible);
}

void TestChartPlotter::nothingIsDrawnWithoutAMemoryReading()
{
    Rig rig(1000, 300, 0, 1);
    const QImage blank = rig.picture.backingImage().copy();

    rig.plot(0, 100 * MiB);
    rig.plot(100 * MiB, 50 * MiB, kWhite, u"Available Memory"_s, QString());
    rig.plotter.beginScan();
    rig.plot(0, 100 * MiB);
    rig.plotter.endScan();
    rig.total = -MiB; // nor with a negative reading
    rig.plot(0, 100 * MiB);

    QVERIFY(rig.picture.backingImage() == blank);
    QCOMPARE(rig.controls.progLabel.count(), 1);
    QCOMPARE(rig.controls.progLeader1.count(), 1);
    QCOMPARE(rig.controls.gridLabel.count(), 1);
    QCOMPARE(rig.controls.gridLabel.find(0)->caption(), u"Grid Label"_s);

    // Once memory is known, the next slice is drawn.
    rig.total = 880 * MiB;
    rig.plot(100 * MiB, 50 * MiB);
    VERIFY_OK(checkColumn(rig, 120, rig.top(), rig.bottom(), Black));
}

void TestChartPlotter::endFaceFillsTheRightEndOfTheBar()
{
    auto rig = standardRig();
    rig->plot(0, 10 * MiB);

    // Lines from (X2 + 1, y - 1) to (X2 + 32, y - 25) for y = Top + 3 ... Bottom - 2:
    // every column of the face is grey from Top + 2 - d to Bottom - 3 - d, d being the
    // line's rise there.
    const int x0 = rig->right() + 1;
    for (int k = 0; k <= 31; ++k) {
        const int d = static_cast<int>(std::floor(24.0 * k / 31.0 + 0.5));
        VERIFY_OK(
            checkColumn(*rig, x0 + k, rig->top() + 2 - d, rig->bottom() - 3 - d, EndFaceGrey));
        QCOMPARE(rig->at(x0 + k, rig->top() + 1 - d), White);
        QCOMPARE(rig->at(x0 + k, rig->bottom() - 2 - d), White);
    }
    VERIFY_OK(checkColumn(*rig, x0 + 32, 0, rig->bottom() + 5, White));

    // With edges half-way between pixels, Top + 3 = 206.5 rounds to 206, Bottom - 2 =
    // 268.5 to 268 (ties to even).
    rig->picture.cls();
    rig->setEdge(0, 20, 270.5f, 900, 270.5f);
    rig->setEdge(1, 20, 203.5f, 900, 203.5f);
    rig->setEdge(2, 53, 178.5f, 933, 178.5f);
    rig->plot(0, 10 * MiB);
    VERIFY_OK(checkColumn(*rig, 901, 205, 267, EndFaceGrey));
    QCOMPARE(rig->at(901, 204), White);
    QCOMPARE(rig->at(901, 268), White);
}

void TestChartPlotter::endFaceLiesOverSlicesPastTheBarsEnd()
{
    auto rig = standardRig();
    rig->plot(850 * MiB, 80 * MiB); // columns 870 to 950, past the bar's end at 900
    rig->plot(930 * MiB, 40 * MiB); // columns 950 to 990
    const VbColor first = sliceColorsFor(1).color;

    // The face is grey over the slice's columns, which show where it does not reach.
    VERIFY_OK(checkColumn(*rig, 901, rig->top() + 2, rig->bottom() - 3, EndFaceGrey));
    VERIFY_OK(checkColumn(*rig, 910, rig->top() + 2 - 7, rig->bottom() - 3 - 7, EndFaceGrey));
    VERIFY_OK(checkColumn(*rig, 901, rig->top(), rig->top() + 1, first));
    QCOMPARE(rig->at(901, rig->bottom() - 2), first);
    VERIFY_OK(checkColumn(*rig, 940, rig->top(), rig->bottom() - 2, first));
    VERIFY_OK(checkColumn(*rig, 950, rig->top(), rig->bottom(), Black));
}

void TestChartPlotter::insideAScanEndFaceAndScaleWaitForItsEnd()
{
    auto rig = standardRig();
    rig->plotter.beginScan();
    rig->plotter.beginScan();
    rig->plot(0, 100 * MiB);
    rig->plotter.endScan();
    // Nested scans draw at the end of the outermost.
    QCOMPARE(rig->at(901, rig->top() + 2), White);
    QCOMPARE(rig->controls.gridLabel.count(), 1);
    rig->plotter.endScan();
    QCOMPARE(rig->at(901, rig->top() + 2), EndFaceGrey);
    QCOMPARE(visibleCount(rig->controls.gridLabel), 9);

    // An unmatched endScan changes nothing: the next slice outside a scan is complete at once.
    auto fresh = standardRig();
    fresh->plotter.endScan();
    fresh->plot(0, 100 * MiB);
    QCOMPARE(fresh->at(901, fresh->top() + 2), EndFaceGrey);
    QCOMPARE(fresh->at(20, fresh->scaleY()), ScaleBrown);
}

void TestChartPlotter::plotProgDrawsTheScaleForTheMagnification_data()
{
    QTest::addColumn<int>("magnification");
    QTest::addColumn<int>("labels");
    QTest::addColumn<QString>("secondCaption");

    // 880 MB: major steps 110, 27.5 (rounds to 28) and 13.75 (rounds to 14); the last two
    // add a label at 880 itself.
    QTest::newRow("100%") << 1 << 9 << u"110"_s;
    QTest::newRow("300%") << 3 << 33 << u"28"_s;
    QTest::newRow("400%") << 4 << 64 << u"14"_s;
    QTest::newRow("0: no scale") << 0 << 0 << QString();
}

void TestChartPlotter::plotProgDrawsTheScaleForTheMagnification()
{
    QFETCH(int, magnification);
    QFETCH(int, labels);
    QFETCH(QString, secondCaption);

    auto rig = standardRig(magnification);
    rig->plot(0, 100 * MiB);
    const int y = rig->scaleY();

    if (labels == 0) {
        for (int row = y - 1; row <= y + 8; ++row)
            VERIFY_OK(checkRect(*rig, 0, row, rig->sw - 1, row, White));
        QCOMPARE(rig->controls.gridLabel.count(), 1);
        QCOMPARE(rig->at(901, rig->top() + 2), EndFaceGrey); // the end face all the same
        return;
    }
    QCOMPARE(visibleCount(rig->controls.gridLabel), labels);
    QCOMPARE(rig->controls.gridLabel.count(), labels);
    QCOMPARE(rig->controls.gridLabel.find(1)->caption(), secondCaption);
    QCOMPARE(rig->controls.gridLabel.find(labels - 1)->caption(), u"880"_s);
    // The brown base line runs under the bar from its left to its right end.
    VERIFY_OK(checkRect(*rig, 20, y, 900, y, ScaleBrown));
    QCOMPARE(rig->at(19, y), White);
    QCOMPARE(rig->at(901, y), White);
}

void TestChartPlotter::graduateLabelsAndTicks_data()
{
    QTest::addColumn<float>("totalMb");
    QTest::addColumn<float>("minorStep");
    QTest::addColumn<float>("majorStep");
    QTest::addColumn<int>("minorEvery"); // round(minorStep), 0 for every megabyte
    QTest::addColumn<QList<int>>("labelled");
    QTest::addColumn<int>("lastMb"); // round(totalMb + 1)

    auto steps = [](int from, int to, int step) {
        QList<int> list;
        for (int m = from; m <= to; m += step)
            list << m;
        return list;
    };

    QTest::newRow("255.48 MB at 100%: major 31.935 -> 32")
        << 255.48f << 4.0f << 255.48f / 8 << 4 << steps(0, 256, 32) << 256;
    QTest::newRow("255.48 MB at 400%: major 3.99 -> 4, every short tick long")
        << 255.48f << 4.0f << 255.48f / 64 << 4 << steps(0, 256, 4) << 256;
    QTest::newRow("100 MB at 100%: major 12.5 -> 12, and 100 itself")
        << 100.0f << 1.0f << 12.5f << 1 << steps(0, 96, 12) + QList<int>{100} << 101;
    QTest::newRow("major 2.5 -> 2 (ties to even)")
        << 20.0f << 4.0f << 2.5f << 4 << steps(0, 20, 2) << 21;
    QTest::newRow("major 3.5 -> 4 (ties to even)")
        << 28.0f << 4.0f << 3.5f << 4 << steps(0, 28, 4) << 29;
    QTest::newRow("major 0.4 -> 0: a label at every megabyte")
        << 24.4f << 4.0f << 0.4f << 4 << steps(0, 25, 1) << 25;
    QTest::newRow("major not a number: a label at every megabyte")
        << 20.0f << 4.0f << std::numeric_limits<float>::quiet_NaN() << 4 << steps(0, 21, 1) << 21;
}

void TestChartPlotter::graduateLabelsAndTicks()
{
    QFETCH(float, totalMb);
    QFETCH(float, minorStep);
    QFETCH(float, majorStep);
    QFETCH(int, minorEvery);
    QFETCH(QList<int>, labelled);
    QFETCH(int, lastMb);

    auto rig = standardRig();
    const float x1 = 20, x2 = 900, y1 = 276;
    rig->plotter.graduate(x1, y1, x2, y1, 0, totalMb, minorStep, majorStep);
    const float perMb = (x2 - x1) / totalMb;
    const auto tickX = [&](int m) { return static_cast<float>(m) * perMb + x1; };
    const auto column = [&](int m) { return static_cast<int>(std::floor(tickX(m) + 0.5)); };

    // Labels: one per labelled tick, in order, centred on it; "0 Mb" 8 pixels right.
    QCOMPARE(rig->controls.gridLabel.count(), int(labelled.size()));
    for (qsizetype i = 0; i < labelled.size(); ++i) {
        const int m = labelled[i];
        const LabelControl *label = rig->controls.gridLabel.find(static_cast<int>(i));
        QVERIFY(label && label->visible);
        QCOMPARE(label->foreColor, ScaleBrown);
        QCOMPARE(label->top, y1 + 7);
        QCOMPARE(label->caption(), m == 0 ? u"0 Mb"_s : QString::number(m));
        QCOMPARE(label->left, tickX(m) - label->width() / 2 + (m == 0 ? 8 : 0));
    }

    // Ticks: short (5 pixels) on the minor steps, long (7) on the labelled ones.
    const int y = static_cast<int>(y1);
    VERIFY_OK(checkRect(*rig, 20, y, 900, y, ScaleBrown));
    for (int m = 0; m <= lastMb + 1; ++m) {
        const int x = column(m);
        const bool minor = m <= lastMb && (minorEvery == 0 || m % minorEvery == 0);
        const bool major = labelled.contains(m);
        const QByteArray where = "tick " + QByteArray::number(m);
        const VbColor shortPart = minor || major ? ScaleBrown : White;
        QVERIFY2(checkColumn(*rig, x, y + 1, y + 5, shortPart).isEmpty(), where.constData());
        QVERIFY2(checkColumn(*rig, x, y + 6, y + 7, major ? ScaleBrown : White).isEmpty(),
                 where.constData());
        QCOMPARE(rig->at(x, y + 8), White);
    }
}

void TestChartPlotter::graduateWithFewerMajorTicksLeavesNoSurplusLabels()
{
    // A step that rounds to 0 labels every megabyte up to TotalMb + 1; a later call with
    // fewer labels removes all of the surplus, the one past TotalMb included.
    auto rig = standardRig();
    rig->plotter.graduate(20, 276, 900, 276, 0, 10.4f, 4, 0.4f);
    QCOMPARE(rig->controls.gridLabel.count(), 12);
    QCOMPARE(rig->controls.gridLabel.find(11)->caption(), u"11"_s);
    rig->plotter.graduate(20, 276, 900, 276, 0, 10.4f, 4, 4.0f);
    QCOMPARE(rig->controls.gridLabel.count(), 3);
    QCOMPARE(rig->controls.gridLabel.size(), 3);

    // And through plotProg, when the magnification drops.
    auto zoomed = standardRig(4);
    zoomed->plot(0, 100 * MiB);
    QCOMPARE(zoomed->controls.gridLabel.count(), 64);
    zoomed->magnification = 1;
    zoomed->plot(100 * MiB, 100 * MiB);
    QCOMPARE(zoomed->controls.gridLabel.count(), 9);
}

void TestChartPlotter::graduateWithoutMemoryDrawsNothing()
{
    for (float totalMb : {0.0f, -5.0f, std::numeric_limits<float>::quiet_NaN()}) {
        auto rig = standardRig();
        const QImage blank = rig->picture.backingImage().copy();
        rig->plotter.graduate(20, 276, 900, 276, 0, totalMb, 4, totalMb / 8);
        QVERIFY(rig->picture.backingImage() == blank);
        QCOMPARE(rig->controls.gridLabel.count(), 1);
    }
}

void TestChartPlotter::drawingOncePerScanIsPixelIdentical_data()
{
    QTest::addColumn<int>("magnification");
    QTest::addColumn<bool>("overflow");
    QTest::newRow("100%") << 1 << false;
    QTest::newRow("400%, processes past the bar's end") << 4 << true;
}

void TestChartPlotter::drawingOncePerScanIsPixelIdentical()
{
    QFETCH(int, magnification);
    QFETCH(bool, overflow);

    // A 1920-pixel-wide window: the chart is 1920 x magnification pixels wide; 16 GiB.
    const ByteCount total = 16 * GiB;
    const int width = 1920 * magnification;
    Rig straight(width, 400, total, magnification);
    Rig once(width, 400, total, magnification);
    straight.plotter.setRedrawAfterEverySlice(true);
    once.plotter.setRedrawAfterEverySlice(false);

    // Two scans on the same picture, as refreshes without erasing paint them: a long one,
    // then a shorter one.
    for (const auto &[processes, seed] : {std::pair{298, 7u}, std::pair{120, 11u}}) {
        runScan(straight, processes, overflow, seed);
        runScan(once, processes, overflow, seed);
        QVERIFY(once.picture.backingImage() == straight.picture.backingImage());
        QCOMPARE(controlsOf(once.controls), controlsOf(straight.controls));
        QCOMPARE(once.state.sliceCount, straight.state.sliceCount);
        QCOMPARE(once.state.labelTop, straight.state.labelTop);
        QCOMPARE(once.state.sliceColor, straight.state.sliceColor);
        QCOMPARE(once.state.sliceShade, straight.state.sliceShade);

        // What was compared is a whole chart: every slice's label, the scale's labels and
        // the end face, over the slices where they overflow.
        QCOMPARE(once.controls.progLabel.count(), processes + 3);
        QCOMPARE(visibleCount(once.controls.gridLabel), magnification == 1 ? 9 : 65);
        QCOMPARE(once.at(once.right() + 1, once.top() + 2), EndFaceGrey);
        QCOMPARE(once.at(20, once.scaleY()), ScaleBrown);
        if (overflow)
            QVERIFY(once.at(once.right() + 1, once.top()) != White);
    }
}

QTEST_MAIN(TestChartPlotter)
#include "test_chartplotter.moc"
