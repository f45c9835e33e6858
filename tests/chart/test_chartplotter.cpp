#include "chart/chartcontrols.h"
#include "chart/chartplotter.h"
#include "chart/chartstate.h"
#include "chart/slicecolors.h"
#include "platform/picturebox.h"

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
constexpr VbColor AvailableFill = rgb(250, 250, 250);
constexpr VbColor AvailableShade = rgb(230, 230, 230);

QString colorName(VbColor c)
{
    return u"rgb(%1,%2,%3)"_s.arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c));
}

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
          plotter(picture, controls, state, sources(this)), sw(width), sp(height)
    {
        picture.resize(width, height);
        picture.cls();
        controls.attachTo(picture);
        setEdge(0, 20, sp - 30, sw - 100, sp - 30);
        setEdge(1, 20, sp - 96, sw - 100, sp - 96);
        setEdge(2, 53, sp - 121, sw - 67, sp - 121);
        state.sliceCount = 0;
        state.labelTop = 10;
    }

    static ChartSources sources(Rig *rig)
    {
        ChartSources out;
        out.totalPhysical = [rig] { return rig->total; };
        out.magnification = [rig] { return rig->magnification; };
        return out;
    }

    void setEdge(int index, float x1, float y1, float x2, float y2)
    {
        LineControl *edge = controls.barOutline.find(index);
        edge->x1 = x1;
        edge->y1 = y1;
        edge->x2 = x2;
        edge->y2 = y2;
    }

    // The bar's edges.
    int left() const { return 20; }
    int right() const { return sw - 100; }
    int bottom() const { return sp - 30; }
    int top() const { return sp - 96; }
    int back() const { return sp - 121; }
    // The scale's y: the bar's bottom + 6.
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

// The default rig: bar from x 20 to 900 (880 pixels) standing for 880 MiB, so one
// pixel per MiB; Bottom 270, Top 204, Back 179; the scale's y is 276.
std::unique_ptr<Rig> standardRig(int magnification = 1)
{
    return std::make_unique<Rig>(1000, 300, 880 * MiB, magnification);
}

// Empty when the pixels (x, yFrom..yTo) all have `color`; otherwise the first that has not.
QString checkColumn(const Rig &rig, int x, int yFrom, int yTo, VbColor color)
{
    for (int y = yFrom; y <= yTo; ++y)
        if (rig.at(x, y) != color)
            return u"(%1,%2) is %3, expected %4"_s.arg(x).arg(y).arg(colorName(rig.at(x, y)),
                                                                     colorName(color));
    return {};
}

QString checkRow(const Rig &rig, int y, int xFrom, int xTo, VbColor color)
{
    for (int x = xFrom; x <= xTo; ++x)
        if (rig.at(x, y) != color)
            return u"(%1,%2) is %3, expected %4"_s.arg(x).arg(y).arg(colorName(rig.at(x, y)),
                                                                     colorName(color));
    return {};
}

// Empty when no pixel in the rectangle has `color`; otherwise the first that has.
QString checkNone(const Rig &rig, int x1, int y1, int x2, int y2, VbColor color)
{
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x)
            if (rig.at(x, y) == color)
                return u"(%1,%2) is %3"_s.arg(x).arg(y).arg(colorName(color));
    return {};
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

// The black diagonal of the boundary column x: from (x, Top) to (x + 33, Top - 25).
QPoint boundaryDiagonalPixel(const Rig &rig, int x, int k)
{
    return {x + k, rig.top() - static_cast<int>(std::floor(25.0 * k / 33.0 + 0.5))};
}

// The pixel nearest to x, for positions that never lie half-way between two pixels.
int nearestColumn(float x)
{
    return static_cast<int>(std::floor(static_cast<double>(x) + 0.5));
}

int visibleCount(const ControlArray<LabelControl> &labels)
{
    int n = 0;
    labels.forEachVisible([&n](int, const LabelControl &) { ++n; });
    return n;
}

// Every element of a control array, one text per index, for comparing two arrays.
QString describe(const LabelControl &c)
{
    return u"label visible=%1 enabled=%2 left=%3 top=%4 width=%5 height=%6 color=%7 "
           "caption=[%8] tip=[%9] font=%10"_s.arg(int(c.visible))
               .arg(int(c.enabled))
               .arg(double(c.left), 0, 'g', 9)
               .arg(double(c.top), 0, 'g', 9)
               .arg(double(c.width()), 0, 'g', 9)
               .arg(double(c.height()), 0, 'g', 9)
               .arg(colorName(c.foreColor), c.caption(), c.toolTipText, c.font().toString());
}

QString describe(const LineControl &c)
{
    return u"line visible=%1 (%2,%3)-(%4,%5) color=%6 width=%7"_s.arg(int(c.visible))
        .arg(double(c.x1), 0, 'g', 9)
        .arg(double(c.y1), 0, 'g', 9)
        .arg(double(c.x2), 0, 'g', 9)
        .arg(double(c.y2), 0, 'g', 9)
        .arg(colorName(c.borderColor))
        .arg(c.borderWidth);
}

QString describe(const ShapeControl &c)
{
    return u"shape visible=%1 kind=%2 left=%3 top=%4 width=%5 height=%6 back=%7 border=%8"_s
        .arg(int(c.visible))
        .arg(int(c.kind))
        .arg(double(c.left), 0, 'g', 9)
        .arg(double(c.top), 0, 'g', 9)
        .arg(double(c.width), 0, 'g', 9)
        .arg(double(c.height), 0, 'g', 9)
        .arg(colorName(c.backColor), colorName(c.borderColor));
}

template <class T> QStringList describeAll(const ControlArray<T> &array)
{
    QStringList out;
    for (int i = 0; i < array.size(); ++i) {
        const T *element = array.find(i);
        out << QString::number(i) + u": "_s + (element ? describe(*element) : u"(none)"_s);
    }
    return out;
}

// Where two images first differ, for a failure message.
QString firstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return u"sizes differ"_s;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return u"first difference at (%1,%2): %3 vs %4"_s.arg(x).arg(y).arg(
                    QString::number(a.pixel(x, y), 16), QString::number(b.pixel(x, y), 16));
    return u"formats differ"_s;
}

struct Slice {
    ByteCount start;
    ByteCount size;
    VbColor color;
    QString name;
    QString directory;
};

// A scan's slices in chart order: the operating system's, `processes` processes of
// varied sizes (one of size 0, one negative, a few large), and the available memory
// last. With `overflow`, the processes add up to more than the total memory.
QList<Slice> scanSlices(ByteCount total, int processes, bool overflow, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<Slice> slices;
    ByteCount position = 0;
    const ByteCount available = total / 5;
    const ByteCount system = total / 10 + 12345;
    slices.append({position, system, 0, u"Operating System"_s, QString()});
    position += system;
    // Without overflow the processes share what is left; with it, three times that.
    const ByteCount share = (total - available - system) / processes * (overflow ? 3 : 1);
    for (int i = 0; i < processes; ++i) {
        ByteCount size = static_cast<ByteCount>(random.bounded(static_cast<double>(share)));
        if (i == 40)
            size = 0;
        else if (i == 90)
            size = -2 * MiB - 7;
        else if (i % 37 == 5)
            size = share * 6 + random.bounded(1024 * 1024);
        slices.append({position, size, 0, u"proc%1.exe"_s.arg(i), u"/opt/app%1/"_s.arg(i % 7)});
        position += size;
    }
    slices.append({total - available, available, kWhite, u"Available Memory"_s, QString()});
    return slices;
}

enum class Order { EverySlice, Optimised };

void runScan(Rig &rig, const QList<Slice> &slices, Order order)
{
    rig.plotter.setRedrawAfterEverySlice(order == Order::EverySlice);
    rig.plotter.beginScan();
    rig.resetScan();
    for (const Slice &s : slices)
        rig.plotter.plotProg(s.start, s.size, s.color, s.name, s.directory);
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
    void boundaryColumnsAreBlack_data();
    void boundaryColumnsAreBlack();
    void availableMemorySliceIsLightGreyWithBlackLeader();
    void leaderSwatchAndLabelSitAboveTheMiddle_data();
    void leaderSwatchAndLabelSitAboveTheMiddle();
    void sliceOfSizeZeroIsOneBoundaryColumn();
    void negativeSliceDrawsNoColumn();
    void narrowSlicesHaveNoFill_data();
    void narrowSlicesHaveNoFill();
    void captionAndToolTipGiveKilobytesAndMegabytes_data();
    void captionAndToolTipGiveKilobytesAndMegabytes();
    void labelRowsAreTwelvePixelsApartAndWrap_data();
    void labelRowsAreTwelvePixelsApartAndWrap();
    void shorterScanLeavesNoStaleElements();
    void nothingIsDrawnWithoutAMemoryReading_data();
    void nothingIsDrawnWithoutAMemoryReading();

    // End face.
    void endFaceFillsTheRightEndOfTheBar();
    void endFaceRowsAreRoundedToEven();
    void endFaceLiesOverSlicesPastTheBarsEnd_data();
    void endFaceLiesOverSlicesPastTheBarsEnd();
    void insideAScanEndFaceAndScaleWaitForItsEnd();

    // Scale.
    void scaleIsBrown();
    void plotProgDrawsTheScaleForTheMagnification_data();
    void plotProgDrawsTheScaleForTheMagnification();
    void graduateLabelsAndTicks_data();
    void graduateLabelsAndTicks();
    void zeroLabelSitsEightPixelsRightOfCentre();
    void graduateWithFewerMajorTicksLeavesNoSurplusLabels();
    void graduateWithoutMemoryDrawsNothing_data();
    void graduateWithoutMemoryDrawsNothing();
    void majorStepForTheMagnification_data();
    void majorStepForTheMagnification();

    // The end face and scale drawn once per scan give the same picture as after
    // every slice.
    void drawingOncePerScanIsPixelIdentical_data();
    void drawingOncePerScanIsPixelIdentical();
};

// ---------------------------------------------------------------------------------------
// Slices

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
    QTest::newRow("15: as 5") << 15 << rgb(147, 185, 58) << rgb(103, 130, 40);
    QTest::newRow("20: digit 0") << 20 << rgb(255, 0, 255) << rgb(180, 0, 180);
    QTest::newRow("99: as 9") << 99 << rgb(0, 0, 255) << rgb(0, 0, 180);
    QTest::newRow("102: as 2") << 102 << rgb(255, 153, 0) << rgb(180, 105, 0);
}

void TestChartPlotter::colorsFollowTheLastDigitOfTheSliceNumber()
{
    QFETCH(int, slice);
    QFETCH(VbColor, color);
    QFETCH(VbColor, shade);

    QCOMPARE(sliceColorsFor(slice).color, color);
    QCOMPARE(sliceColorsFor(slice).shade, shade);

    auto rig = standardRig();
    rig->state.sliceCount = static_cast<std::int16_t>(slice - 1);
    rig->plot(100 * MiB, 50 * MiB); // columns 120 (black) to 170 (black)

    QCOMPARE(int(rig->state.sliceCount), slice);
    QCOMPARE(rig->state.sliceColor, color);
    QCOMPARE(rig->state.sliceShade, shade);

    // Filled columns: from Bottom - 2 up to Top, nothing below.
    for (int x : {121, 140, 169}) {
        VERIFY_OK(checkColumn(*rig, x, rig->top(), rig->bottom() - 2, color));
        VERIFY_OK(checkColumn(*rig, x, rig->bottom() - 1, rig->bottom(), White));
    }
    // Each continues as a shaded diagonal across the top face.
    for (int k = 0; k <= 15; ++k) {
        const QPoint p = shadePixel(*rig, 140, k);
        QCOMPARE(rig->at(p.x(), p.y()), shade);
    }

    // The leader, swatch and drawn leader segment have the slice colour.
    QCOMPARE(rig->controls.progLeader1.find(slice)->borderColor, color);
    QCOMPARE(rig->controls.progLeader2.find(slice)->backColor, color);
    const int leaderX = (120 + 170) / 2 + 16;
    VERIFY_OK(checkColumn(*rig, leaderX, rig->back(), rig->top() - 12, color));
}

void TestChartPlotter::boundaryColumnsAreBlack_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("leftColumn");
    QTest::addColumn<int>("rightColumn");

    // One pixel per MiB from x = 20.
    QTest::newRow("whole pixels") << qint64(100 * MiB) << qint64(50 * MiB) << 120 << 170;
    QTest::newRow("fractional ends")
        << qint64(100 * MiB + MiB / 2) << qint64(49 * MiB + MiB * 7 / 10) << 120 << 170;
    QTest::newRow("ends near the next column")
        << qint64(100 * MiB + MiB * 9 / 10) << qint64(59 * MiB) << 120 << 179;
    // 119.999999 in double precision, but L and R are kept in single precision, where
    // it is 120.
    QTest::newRow("stored as single precision")
        << qint64(100 * MiB - 1) << qint64(40 * MiB) << 120 << 160;
    QTest::newRow("at the bar's left end") << qint64(0) << qint64(64 * MiB) << 20 << 84;
    QTest::newRow("up to the bar's right end")
        << qint64(800 * MiB) << qint64(80 * MiB) << 820 << 900;
}

void TestChartPlotter::boundaryColumnsAreBlack()
{
    QFETCH(qint64, start);
    QFETCH(qint64, size);
    QFETCH(int, leftColumn);
    QFETCH(int, rightColumn);

    auto rig = standardRig();
    rig->plot(start, size);
    const VbColor fill = rig->state.sliceColor;

    for (int x : {leftColumn, rightColumn}) {
        VERIFY_OK(checkColumn(*rig, x, rig->top(), rig->bottom(), Black));
        QCOMPARE(rig->at(x, rig->bottom() + 1), White);
        QCOMPARE(rig->at(x, rig->top() - 1), White);
    }
    // The columns beside the slice are untouched.
    VERIFY_OK(checkColumn(*rig, leftColumn - 1, rig->top(), rig->bottom(), White));
    if (rightColumn + 1 <= rig->right())
        VERIFY_OK(checkColumn(*rig, rightColumn + 1, rig->top(), rig->bottom(), White));
    // Every column between is filled.
    for (int x = leftColumn + 1; x < rightColumn; ++x)
        VERIFY_OK(checkColumn(*rig, x, rig->top(), rig->bottom() - 2, fill));
    // The right boundary's diagonal, drawn last, runs black to (R + 33, Top - 25).
    for (int k = 0; k <= 33; ++k) {
        const QPoint p = boundaryDiagonalPixel(*rig, rightColumn, k);
        QCOMPARE(rig->at(p.x(), p.y()), Black);
    }
    QCOMPARE(rig->at(rightColumn + 34, rig->top() - 25), White);
}

void TestChartPlotter::availableMemorySliceIsLightGreyWithBlackLeader()
{
    auto rig = standardRig();
    rig->plot(100 * MiB, 200 * MiB, kWhite, u"Available Memory"_s, QString());

    // Light grey faces.
    VERIFY_OK(checkColumn(*rig, 200, rig->top(), rig->bottom() - 2, AvailableFill));
    for (int k = 0; k <= 20; ++k) {
        const QPoint p = shadePixel(*rig, 180, k);
        QCOMPARE(rig->at(p.x(), p.y()), AvailableShade);
    }
    // Black boundaries.
    VERIFY_OK(checkColumn(*rig, 120, rig->top(), rig->bottom(), Black));
    VERIFY_OK(checkColumn(*rig, 320, rig->top(), rig->bottom(), Black));

    // Black leader (element colour 0), swatch and drawn leader segment.
    const int leaderX = (120 + 320) / 2 + 16;
    const LineControl *leader = rig->controls.progLeader1.find(1);
    QVERIFY(leader);
    QCOMPARE(leader->borderColor, kBlack);
    QCOMPARE(leader->x1, float(leaderX));
    QVERIFY(leader->visible);
    const ShapeControl *swatch = rig->controls.progLeader2.find(1);
    QVERIFY(swatch);
    QCOMPARE(swatch->backColor, kBlack);
    QVERIFY(swatch->visible);
    VERIFY_OK(checkColumn(*rig, leaderX, rig->back(), rig->top() - 12, Black));
    QCOMPARE(rig->state.sliceColor, kBlack);
    QCOMPARE(rig->state.sliceShade, kBlack);

    const LabelControl *label = rig->controls.progLabel.find(1);
    QCOMPARE(label->caption(), u"Available Memory (204800Kb)"_s);
    QCOMPARE(label->toolTipText, u"Available Memory  (200 Mb)"_s);
}

void TestChartPlotter::leaderSwatchAndLabelSitAboveTheMiddle_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("mid");

    QTest::newRow("whole pixels") << qint64(100 * MiB) << qint64(50 * MiB) << 145;
    // L = 120.9, R = 171.9: the middle is floor(146.4) = 146, not that of the
    // boundary columns (145.5).
    QTest::newRow("fractional ends") << qint64(105801318) << qint64(51 * MiB) << 146;
    QTest::newRow("negative size") << qint64(100 * MiB) << qint64(-10 * MiB) << 115;
}

void TestChartPlotter::leaderSwatchAndLabelSitAboveTheMiddle()
{
    QFETCH(qint64, start);
    QFETCH(qint64, size);
    QFETCH(int, mid);

    auto rig = standardRig();
    rig->state.labelTop = 46;
    rig->plot(start, size);
    const VbColor color = rig->state.sliceColor;

    const LineControl *leader = rig->controls.progLeader1.find(1);
    QVERIFY(leader);
    QVERIFY(leader->visible);
    QCOMPARE(leader->x1, float(mid + 16));
    QCOMPARE(leader->x2, float(mid + 16));
    QCOMPARE(leader->y1, float(rig->back()));
    QCOMPARE(leader->y2, 41.0f);
    QCOMPARE(leader->borderColor, color);

    const ShapeControl *swatch = rig->controls.progLeader2.find(1);
    QVERIFY(swatch);
    QVERIFY(swatch->visible);
    QCOMPARE(swatch->left, float(mid + 16));
    QCOMPARE(swatch->top, 41.0f);
    QCOMPARE(swatch->width, 7.0f);
    QCOMPARE(swatch->height, 12.0f);
    QCOMPARE(swatch->backColor, color);

    const LabelControl *label = rig->controls.progLabel.find(1);
    QVERIFY(label);
    QVERIFY(label->visible);
    QCOMPARE(label->left, float(mid + 24));
    QCOMPARE(label->top, 40.0f);

    // The drawn start of the leader: from Top - 12 up to Back, and no further.
    VERIFY_OK(checkColumn(*rig, mid + 16, rig->back(), rig->top() - 12, color));
    QCOMPARE(rig->at(mid + 16, rig->back() - 1), White);

    // Element 0 of each array is the template and stays out of the way.
    QVERIFY(rig->controls.progLeader1.find(0)->y2 < 0);
    QVERIFY(rig->controls.progLabel.find(0)->top < 0);
}

void TestChartPlotter::sliceOfSizeZeroIsOneBoundaryColumn()
{
    auto rig = standardRig();
    rig->plot(100 * MiB, 0, 0, u"idle"_s, QString());

    VERIFY_OK(checkColumn(*rig, 120, rig->top(), rig->bottom(), Black));
    VERIFY_OK(checkColumn(*rig, 119, rig->top(), rig->bottom(), White));
    VERIFY_OK(checkColumn(*rig, 121, rig->top(), rig->bottom(), White));
    // Its two black lines and nothing else in the front face.
    int black = 0;
    for (int y = rig->top(); y <= rig->bottom(); ++y)
        for (int x = 0; x <= rig->right(); ++x)
            black += rig->at(x, y) == Black ? 1 : 0;
    QCOMPARE(black, rig->bottom() - rig->top() + 1);
    VERIFY_OK(checkNone(*rig, 0, rig->back(), rig->right(), rig->bottom(), rig->state.sliceShade));

    const LabelControl *label = rig->controls.progLabel.find(1);
    QVERIFY(label->visible);
    QCOMPARE(label->caption(), u"idle (0Kb)"_s);
    QCOMPARE(label->toolTipText, u"idle  (0 Mb)"_s);
    QCOMPARE(label->left, float(120 + 24));
}

void TestChartPlotter::negativeSliceDrawsNoColumn()
{
    auto rig = standardRig();
    rig->plot(100 * MiB, -2097152, 0, u"Operating System"_s, QString());

    // No column anywhere on the bar: only the leader's start above it.
    for (int y = rig->top() - 11; y <= rig->bottom(); ++y)
        VERIFY_OK(checkRow(*rig, y, 0, rig->right(), White));

    const LabelControl *label = rig->controls.progLabel.find(1);
    QVERIFY(label->visible);
    QCOMPARE(label->caption(), u"Operating System (-2048Kb)"_s);
    QCOMPARE(label->toolTipText, u"Operating System  (-2 Mb)"_s);
    QCOMPARE(int(rig->state.sliceCount), 1);
}

void TestChartPlotter::narrowSlicesHaveNoFill_data()
{
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QList<int>>("blackColumns");
    QTest::addColumn<QList<int>>("filledColumns");

    QTest::newRow("one column") << qint64(100 * MiB) << qint64(MiB * 9 / 10) << QList<int>{120}
                                << QList<int>{};
    QTest::newRow("two columns") << qint64(100 * MiB) << qint64(MiB * 3 / 2) << QList<int>{120, 121}
                                 << QList<int>{};
    QTest::newRow("two columns, fractional") << qint64(100 * MiB + MiB / 5) << qint64(MiB * 17 / 10)
                                             << QList<int>{120, 121} << QList<int>{};
    QTest::newRow("three columns: one filled")
        << qint64(100 * MiB) << qint64(MiB * 5 / 2) << QList<int>{120, 122} << QList<int>{121};
}

void TestChartPlotter::narrowSlicesHaveNoFill()
{
    QFETCH(qint64, start);
    QFETCH(qint64, size);
    QFETCH(QList<int>, blackColumns);
    QFETCH(QList<int>, filledColumns);

    auto rig = standardRig();
    rig->plot(start, size);
    const VbColor fill = rig->state.sliceColor;
    const VbColor shade = rig->state.sliceShade;

    for (int x : blackColumns)
        VERIFY_OK(checkColumn(*rig, x, rig->top(), rig->bottom(), Black));
    for (int x : filledColumns)
        VERIFY_OK(checkColumn(*rig, x, rig->top(), rig->bottom() - 2, fill));
    VERIFY_OK(checkColumn(*rig, blackColumns.first() - 1, rig->top(), rig->bottom(), White));
    VERIFY_OK(checkColumn(*rig, blackColumns.last() + 1, rig->top(), rig->bottom(), White));

    if (filledColumns.isEmpty()) {
        // No fill in the front face and no shade anywhere.
        VERIFY_OK(checkNone(*rig, 0, rig->top(), rig->sw - 1, rig->bottom(), fill));
        VERIFY_OK(checkNone(*rig, 0, 0, rig->sw - 1, rig->sp - 1, shade));
    } else {
        const QPoint p = shadePixel(*rig, filledColumns.first(), 0);
        QCOMPARE(rig->at(p.x(), p.y()), shade);
    }
}

void TestChartPlotter::captionAndToolTipGiveKilobytesAndMegabytes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("toolTip");

    // K = floor(size / 1024), M = floor(size / 1048576), toward minus infinity.
    QTest::newRow("-1 byte") << qint64(-1) << u"notepad.exe (-1Kb)"_s
                             << u"/usr/bin/notepad.exe  (-1 Mb)"_s;
    QTest::newRow("-2 MiB") << qint64(-2097152) << u"notepad.exe (-2048Kb)"_s
                            << u"/usr/bin/notepad.exe  (-2 Mb)"_s;
    QTest::newRow("-1024") << qint64(-1024) << u"notepad.exe (-1Kb)"_s
                           << u"/usr/bin/notepad.exe  (-1 Mb)"_s;
    QTest::newRow("-1025") << qint64(-1025) << u"notepad.exe (-2Kb)"_s
                           << u"/usr/bin/notepad.exe  (-1 Mb)"_s;
    QTest::newRow("-1 MiB - 1") << qint64(-1048577) << u"notepad.exe (-1025Kb)"_s
                                << u"/usr/bin/notepad.exe  (-2 Mb)"_s;
    QTest::newRow("0") << qint64(0) << u"notepad.exe (0Kb)"_s << u"/usr/bin/notepad.exe  (0 Mb)"_s;
    QTest::newRow("1023") << qint64(1023) << u"notepad.exe (0Kb)"_s
                          << u"/usr/bin/notepad.exe  (0 Mb)"_s;
    QTest::newRow("1024") << qint64(1024) << u"notepad.exe (1Kb)"_s
                          << u"/usr/bin/notepad.exe  (0 Mb)"_s;
    QTest::newRow("1.5 MiB") << qint64(1572864) << u"notepad.exe (1536Kb)"_s
                             << u"/usr/bin/notepad.exe  (1 Mb)"_s;
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
    const LabelControl *label = rig->controls.progLabel.find(1);
    QVERIFY(label);
    QCOMPARE(label->caption(), caption);
    QCOMPARE(label->toolTipText, toolTip);
}

void TestChartPlotter::labelRowsAreTwelvePixelsApartAndWrap_data()
{
    QTest::addColumn<int>("pictureHeight");
    QTest::addColumn<QList<float>>("labelTops");
    QTest::addColumn<float>("labelTopAfter");

    // Back = 179: LabelTop 10, 22, ..., 166 for slices 1 to 14; after slice 14 the next
    // row, 178, comes within 5 pixels of Back, so slice 15 is back at 10.
    QList<float> tall;
    for (int k = 0; k < 14; ++k)
        tall << 4.0f + 12 * k;
    tall << 4.0f << 16.0f;
    QTest::newRow("picture 300 high") << 300 << tall << 34.0f;

    // Back = 135: after slice 10 LabelTop is 130, exactly 5 pixels from Back, which is
    // still a row; after slice 11 (row 130) it wraps.
    QList<float> exact;
    for (int k = 0; k < 11; ++k)
        exact << 4.0f + 12 * k;
    exact << 4.0f << 16.0f;
    QTest::newRow("picture 256 high") << 256 << exact << 34.0f;

    // Back = 134: after slice 10 LabelTop 130 is 4 pixels from Back: wrap at once.
    QList<float> tight;
    for (int k = 0; k < 10; ++k)
        tight << 4.0f + 12 * k;
    tight << 4.0f << 16.0f << 28.0f;
    QTest::newRow("picture 255 high") << 255 << tight << 46.0f;
}

void TestChartPlotter::labelRowsAreTwelvePixelsApartAndWrap()
{
    QFETCH(int, pictureHeight);
    QFETCH(QList<float>, labelTops);
    QFETCH(float, labelTopAfter);

    Rig rig(1000, pictureHeight, 880 * MiB, 1);
    for (qsizetype i = 0; i < labelTops.size(); ++i)
        rig.plot((100 + 40 * i) * MiB, 30 * MiB);

    for (qsizetype i = 0; i < labelTops.size(); ++i) {
        const int n = static_cast<int>(i + 1);
        const QByteArray where = "slice " + QByteArray::number(n);
        QVERIFY2(rig.controls.progLabel.find(n), where.constData());
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
    for (int n = 1; n <= 5; ++n) {
        QVERIFY(rig->controls.progLabel.find(n) && rig->controls.progLabel.find(n)->visible);
        QVERIFY(rig->controls.progLeader1.find(n) && rig->controls.progLeader1.find(n)->visible);
        QVERIFY(rig->controls.progLeader2.find(n) && rig->controls.progLeader2.find(n)->visible);
    }

    // The next scan's first slice takes away everything of higher numbers ...
    rig->resetScan();
    rig->plot(100 * MiB, 80 * MiB, 0, u"second1"_s);
    for (int n = 2; n <= 5; ++n) {
        QVERIFY(!rig->controls.progLabel.exists(n));
        QVERIFY(!rig->controls.progLeader1.exists(n));
        QVERIFY(!rig->controls.progLeader2.exists(n));
    }

    // ... and a scan of two slices ends with exactly two.
    rig->plot(180 * MiB, 80 * MiB, 0, u"second2"_s);
    for (int n = 3; n <= 5; ++n) {
        QVERIFY(!rig->controls.progLabel.exists(n));
        QVERIFY(!rig->controls.progLeader1.exists(n));
        QVERIFY(!rig->controls.progLeader2.exists(n));
    }
    QCOMPARE(rig->controls.progLabel.count(), 3);
    QCOMPARE(rig->controls.progLeader1.count(), 3);
    QCOMPARE(rig->controls.progLeader2.count(), 3);
    QCOMPARE(rig->controls.progLabel.find(1)->caption(), u"second1 (81920Kb)"_s);
    QCOMPARE(rig->controls.progLabel.find(2)->caption(), u"second2 (81920Kb)"_s);
    QVERIFY(rig->controls.progLabel.find(2)->visible);
    QVERIFY(rig->controls.progLabel.exists(0));
}

void TestChartPlotter::nothingIsDrawnWithoutAMemoryReading_data()
{
    QTest::addColumn<qint64>("total");
    QTest::newRow("zero") << qint64(0);
    QTest::newRow("negative") << qint64(-MiB);
}

void TestChartPlotter::nothingIsDrawnWithoutAMemoryReading()
{
    QFETCH(qint64, total);
    Rig rig(1000, 300, total, 1);
    const QImage blank = rig.picture.backingImage().copy();

    rig.plot(0, 100 * MiB);
    rig.plot(100 * MiB, 0);
    rig.plot(100 * MiB, 50 * MiB, kWhite, u"Available Memory"_s, QString());
    rig.plotter.beginScan();
    rig.plot(0, 100 * MiB);
    rig.plotter.endScan();

    QVERIFY(rig.picture.backingImage() == blank);
    QCOMPARE(rig.controls.progLabel.count(), 1);
    QCOMPARE(rig.controls.progLeader1.count(), 1);
    QCOMPARE(rig.controls.progLeader2.count(), 1);
    QCOMPARE(rig.controls.gridLabel.count(), 1);
    QCOMPARE(rig.controls.gridLabel.find(0)->caption(), u"Grid Label"_s);

    // Once memory is known, the next slice is drawn.
    rig.total = 880 * MiB;
    rig.plot(100 * MiB, 50 * MiB);
    QVERIFY(rig.controls.progLabel.exists(rig.state.sliceCount));
    VERIFY_OK(checkColumn(rig, 120, rig.top(), rig.bottom(), Black));
}

// ---------------------------------------------------------------------------------------
// End face

void TestChartPlotter::endFaceFillsTheRightEndOfTheBar()
{
    auto rig = standardRig();
    rig->plot(0, 10 * MiB);

    // Lines from (X2 + 1, y - 1) to (X2 + 32, y - 25) for y = Top + 3 ... Bottom - 2:
    // a 31 x 24 line has one pixel per column, so every column of the face is grey
    // from Top + 2 - d to Bottom - 3 - d, d being the line's rise there.
    const int x0 = rig->right() + 1;
    for (int k = 0; k <= 31; ++k) {
        const int d = static_cast<int>(std::floor(24.0 * k / 31.0 + 0.5));
        VERIFY_OK(
            checkColumn(*rig, x0 + k, rig->top() + 2 - d, rig->bottom() - 3 - d, EndFaceGrey));
        QCOMPARE(rig->at(x0 + k, rig->top() + 1 - d), White);
        QCOMPARE(rig->at(x0 + k, rig->bottom() - 2 - d), White);
    }
    VERIFY_OK(checkColumn(*rig, x0 - 1, rig->top() - 25, rig->bottom() + 5, White));
    VERIFY_OK(checkColumn(*rig, x0 + 32, 0, rig->bottom() + 5, White));
}

void TestChartPlotter::endFaceRowsAreRoundedToEven()
{
    auto rig = standardRig();
    // Top + 3 = 206.5 rounds to 206, Bottom - 2 = 268.5 to 268.
    rig->setEdge(0, 20, 270.5f, 900, 270.5f);
    rig->setEdge(1, 20, 203.5f, 900, 203.5f);
    rig->setEdge(2, 53, 178.5f, 933, 178.5f);
    rig->plot(0, 10 * MiB);

    VERIFY_OK(checkColumn(*rig, 901, 205, 267, EndFaceGrey));
    QCOMPARE(rig->at(901, 204), White);
    QCOMPARE(rig->at(901, 268), White);
}

void TestChartPlotter::endFaceLiesOverSlicesPastTheBarsEnd_data()
{
    QTest::addColumn<bool>("inScan");
    QTest::addColumn<bool>("everySlice");
    QTest::newRow("single call") << false << false;
    QTest::newRow("scan, drawn once") << true << false;
    QTest::newRow("scan, drawn after every slice") << true << true;
}

void TestChartPlotter::endFaceLiesOverSlicesPastTheBarsEnd()
{
    QFETCH(bool, inScan);
    QFETCH(bool, everySlice);

    auto rig = standardRig();
    rig->plotter.setRedrawAfterEverySlice(everySlice);
    if (inScan)
        rig->plotter.beginScan();
    rig->plot(850 * MiB, 80 * MiB); // columns 870 to 950, past the bar's end at 900
    rig->plot(930 * MiB, 40 * MiB); // columns 950 to 990
    if (inScan)
        rig->plotter.endScan();
    const VbColor first = sliceColorsFor(1).color;

    // The face is grey over the slice's columns ...
    VERIFY_OK(checkColumn(*rig, 901, rig->top() + 2, rig->bottom() - 3, EndFaceGrey));
    VERIFY_OK(checkColumn(*rig, 910, rig->top() + 2 - 7, rig->bottom() - 3 - 7, EndFaceGrey));
    // ... which show where the face does not reach.
    VERIFY_OK(checkColumn(*rig, 901, rig->top(), rig->top() + 1, first));
    QCOMPARE(rig->at(901, rig->bottom() - 2), first);
    VERIFY_OK(checkColumn(*rig, 940, rig->top(), rig->bottom() - 2, first));
    VERIFY_OK(checkColumn(*rig, 950, rig->top(), rig->bottom(), Black));
}

void TestChartPlotter::insideAScanEndFaceAndScaleWaitForItsEnd()
{
    // Between beginScan and endScan the end face and scale are drawn once, at the end
    // (the picture is not shown in between). The pixel-identity test below proves the
    // result the same as drawing them after every slice.
    auto rig = standardRig();
    rig->plotter.beginScan();
    rig->plot(0, 100 * MiB);
    QCOMPARE(rig->at(901, rig->top() + 2), White);
    QCOMPARE(rig->at(20, rig->scaleY()), White);
    QCOMPARE(rig->controls.gridLabel.count(), 1);
    rig->plotter.endScan();
    QCOMPARE(rig->at(901, rig->top() + 2), EndFaceGrey);
    QCOMPARE(rig->at(20, rig->scaleY()), ScaleBrown);
    QCOMPARE(visibleCount(rig->controls.gridLabel), 9);

    // Nested scans draw at the end of the outermost.
    auto nested = standardRig();
    nested->plotter.beginScan();
    nested->plotter.beginScan();
    nested->plot(0, 100 * MiB);
    nested->plotter.endScan();
    QCOMPARE(nested->at(901, nested->top() + 2), White);
    nested->plotter.endScan();
    QCOMPARE(nested->at(901, nested->top() + 2), EndFaceGrey);

    // An unmatched endScan changes nothing: the next slice outside a scan is
    // complete at once.
    auto fresh = standardRig();
    fresh->plotter.endScan();
    fresh->plot(0, 100 * MiB);
    QCOMPARE(fresh->at(901, fresh->top() + 2), EndFaceGrey);
    QCOMPARE(fresh->at(20, fresh->scaleY()), ScaleBrown);
}

// ---------------------------------------------------------------------------------------
// Scale

void TestChartPlotter::scaleIsBrown()
{
    QCOMPARE(kScaleColor, VbColor(16512));
    QCOMPARE(kScaleColor, ScaleBrown);

    auto rig = standardRig();
    rig->plot(0, 100 * MiB);
    const int y = rig->scaleY();
    // The base line from the bar's left to its right end, under the bar.
    VERIFY_OK(checkRow(*rig, y, 20, 900, ScaleBrown));
    QCOMPARE(rig->at(19, y), White);
    QCOMPARE(rig->at(901, y), White);
    VERIFY_OK(checkRow(*rig, y - 1, 0, rig->sw - 1, White));
    // The first tick, long, at the left end.
    VERIFY_OK(checkColumn(*rig, 20, y, y + 7, ScaleBrown));
    QCOMPARE(rig->at(20, y + 8), White);
    // Labels in the scale's colour.
    rig->controls.gridLabel.forEachVisible(
        [](int, const LabelControl &label) { QCOMPARE(label.foreColor, ScaleBrown); });
}

void TestChartPlotter::plotProgDrawsTheScaleForTheMagnification_data()
{
    QTest::addColumn<int>("magnification");
    QTest::addColumn<int>("labels");
    QTest::addColumn<QString>("secondCaption");

    // 880 MB: major steps 110, 55, 27.5 (rounds to 28) and 13.75 (rounds to 14); the
    // last two add a label at 880 itself.
    QTest::newRow("100%") << 1 << 9 << u"110"_s;
    QTest::newRow("200%") << 2 << 17 << u"55"_s;
    QTest::newRow("300%") << 3 << 33 << u"28"_s;
    QTest::newRow("400%") << 4 << 64 << u"14"_s;
    QTest::newRow("0: no scale") << 0 << 0 << QString();
    QTest::newRow("5: no scale") << 5 << 0 << QString();
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
            VERIFY_OK(checkRow(*rig, row, 0, rig->sw - 1, White));
        QCOMPARE(rig->controls.gridLabel.count(), 1);
        QCOMPARE(rig->controls.gridLabel.find(0)->caption(), u"Grid Label"_s);
        // The end face is drawn all the same.
        QCOMPARE(rig->at(901, rig->top() + 2), EndFaceGrey);
        return;
    }
    QCOMPARE(visibleCount(rig->controls.gridLabel), labels);
    QCOMPARE(rig->controls.gridLabel.count(), labels);
    QCOMPARE(rig->controls.gridLabel.find(0)->caption(), u"0 Mb"_s);
    QCOMPARE(rig->controls.gridLabel.find(1)->caption(), secondCaption);
    QCOMPARE(rig->controls.gridLabel.find(labels - 1)->caption(), u"880"_s);
    QCOMPARE(rig->controls.gridLabel.find(0)->top, float(y + 7));
    VERIFY_OK(checkRow(*rig, y, 20, 900, ScaleBrown));
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
        << 100.0f << 4.0f << 12.5f << 4 << steps(0, 96, 12) + QList<int>{100} << 101;
    QTest::newRow("100 MB, a short tick every megabyte up to 101")
        << 100.0f << 1.0f << 12.5f << 1 << steps(0, 96, 12) + QList<int>{100} << 101;
    QTest::newRow("major 2.5 -> 2 (ties to even)")
        << 20.0f << 4.0f << 2.5f << 4 << steps(0, 20, 2) << 21;
    QTest::newRow("major 3.5 -> 4 (ties to even)")
        << 28.0f << 4.0f << 3.5f << 4 << steps(0, 28, 4) << 29;
    QTest::newRow("major 0.5 -> 0: a label at every megabyte")
        << 20.0f << 4.0f << 0.5f << 4 << steps(0, 21, 1) << 21;
    QTest::newRow("major 0.4 -> 0: a label at every megabyte")
        << 24.4f << 4.0f << 0.4f << 4 << steps(0, 25, 1) << 25;
    // A step that cannot be rounded: the condition counts as met.
    QTest::newRow("major not a number: a label at every megabyte")
        << 20.0f << 4.0f << std::numeric_limits<float>::quiet_NaN() << 4 << steps(0, 21, 1) << 21;
    QTest::newRow("minor not a number: a short tick at every megabyte")
        << 20.0f << std::numeric_limits<float>::quiet_NaN() << 10.0f << 0 << steps(0, 20, 10) << 21;
    QTest::newRow("total not on a major step")
        << 30.0f << 4.0f << 8.0f << 4 << steps(0, 24, 8) + QList<int>{30} << 31;
    QTest::newRow("minor 2.5 -> 2") << 20.0f << 2.5f << 10.0f << 2 << steps(0, 20, 10) << 21;
    QTest::newRow("minor 0.5 -> 0: a short tick at every megabyte")
        << 20.0f << 0.5f << 10.0f << 0 << steps(0, 20, 10) << 21;
    QTest::newRow("fractional total, fractional pixels per megabyte")
        << 37.3f << 4.0f << 5.0f << 4 << steps(0, 35, 5) << 38;
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

    // Labels: one per labelled tick, in order, element 0 first.
    QCOMPARE(rig->controls.gridLabel.count(), int(labelled.size()));
    for (qsizetype i = 0; i < labelled.size(); ++i) {
        const int m = labelled[i];
        const LabelControl *label = rig->controls.gridLabel.find(static_cast<int>(i));
        const QByteArray where = "label " + QByteArray::number(i) + " at " + QByteArray::number(m);
        QVERIFY2(label, where.constData());
        QVERIFY2(label->visible, where.constData());
        QCOMPARE(label->foreColor, ScaleBrown);
        QCOMPARE(label->top, y1 + 7);
        if (m == 0) {
            QCOMPARE(label->caption(), u"0 Mb"_s);
            QCOMPARE(label->left, tickX(0) - label->width() / 2 + 8);
        } else {
            QCOMPARE(label->caption(), QString::number(m));
            QCOMPARE(label->left, tickX(m) - label->width() / 2);
        }
    }

    // Ticks: short (5 pixels) on the minor steps, long (7) on the labelled ones.
    const int y = static_cast<int>(y1);
    VERIFY_OK(checkRow(*rig, y, 20, 900, ScaleBrown));
    for (int m = 0; m <= lastMb; ++m) {
        const int x = nearestColumn(tickX(m));
        const bool minor = minorEvery == 0 || m % minorEvery == 0;
        const bool major = labelled.contains(m);
        const QByteArray where = "tick " + QByteArray::number(m);
        if (minor || major)
            QVERIFY2(checkColumn(*rig, x, y, y + 5, ScaleBrown).isEmpty(), where.constData());
        else
            QVERIFY2(checkColumn(*rig, x, y + 1, y + 8, White).isEmpty(), where.constData());
        if (major)
            QVERIFY2(checkColumn(*rig, x, y + 6, y + 7, ScaleBrown).isEmpty(), where.constData());
        else
            QVERIFY2(checkColumn(*rig, x, y + 6, y + 8, White).isEmpty(), where.constData());
        QCOMPARE(rig->at(x, y + 8), White);
    }
    // The loop ends at round(totalMb + 1).
    QVERIFY(nearestColumn(tickX(lastMb + 1)) < rig->sw);
    VERIFY_OK(checkColumn(*rig, nearestColumn(tickX(lastMb + 1)), y + 1, y + 8, White));
}

void TestChartPlotter::zeroLabelSitsEightPixelsRightOfCentre()
{
    auto rig = standardRig();
    rig->plotter.graduate(20, 276, 900, 276, 0, 255.48f, 4, 255.48f / 8);
    const LabelControl *zero = rig->controls.gridLabel.find(0);
    QCOMPARE(zero->caption(), u"0 Mb"_s);
    QVERIFY(zero->width() > 0);
    QCOMPARE(zero->left + zero->width() / 2, 28.0f);

    // The others are centred on their ticks; the last, at 256, lies just right of the
    // bar's end at 900.
    const LabelControl *last = rig->controls.gridLabel.find(8);
    QCOMPARE(last->caption(), u"256"_s);
    const float centre = last->left + last->width() / 2;
    QVERIFY(centre > 900.0f);
    QVERIFY(centre < 900.0f + 880.0f / 255.48f);
    QVERIFY(!rig->controls.gridLabel.exists(9));
}

void TestChartPlotter::graduateWithFewerMajorTicksLeavesNoSurplusLabels()
{
    auto rig = standardRig();
    rig->plotter.graduate(20, 276, 900, 276, 0, 255.48f, 4, 255.48f / 64);
    QCOMPARE(rig->controls.gridLabel.count(), 65);
    QCOMPARE(rig->controls.gridLabel.find(64)->caption(), u"256"_s);

    rig->plotter.graduate(20, 276, 900, 276, 0, 255.48f, 4, 255.48f / 8);
    QCOMPARE(rig->controls.gridLabel.count(), 9);
    for (int i = 9; i <= 64; ++i)
        QVERIFY2(!rig->controls.gridLabel.exists(i), QByteArray::number(i).constData());
    QCOMPARE(visibleCount(rig->controls.gridLabel), 9);
    QCOMPARE(rig->controls.gridLabel.find(1)->caption(), u"32"_s);
    QCOMPARE(rig->controls.gridLabel.find(8)->caption(), u"256"_s);

    // More again: elements are created afresh.
    rig->plotter.graduate(20, 276, 900, 276, 0, 255.48f, 4, 255.48f / 16);
    QCOMPARE(rig->controls.gridLabel.count(), 17);
    QCOMPARE(rig->controls.gridLabel.find(16)->caption(), u"256"_s);
    QVERIFY(rig->controls.gridLabel.find(16)->visible);

    // A step that rounds to 0 labels every megabyte up to TotalMb + 1; a later call
    // with fewer labels removes all of the surplus, the one past TotalMb included.
    rig->plotter.graduate(20, 276, 900, 276, 0, 10.4f, 4, 0.4f);
    QCOMPARE(rig->controls.gridLabel.count(), 12);
    QCOMPARE(rig->controls.gridLabel.find(11)->caption(), u"11"_s);
    rig->plotter.graduate(20, 276, 900, 276, 0, 10.4f, 4, 4.0f);
    QCOMPARE(rig->controls.gridLabel.count(), 3);
    QVERIFY(!rig->controls.gridLabel.exists(11));

    // And through plotProg, when the magnification drops.
    auto zoomed = standardRig(4);
    zoomed->plot(0, 100 * MiB);
    QCOMPARE(zoomed->controls.gridLabel.count(), 64);
    zoomed->magnification = 1;
    zoomed->plot(100 * MiB, 100 * MiB);
    QCOMPARE(zoomed->controls.gridLabel.count(), 9);
}

void TestChartPlotter::graduateWithoutMemoryDrawsNothing_data()
{
    QTest::addColumn<float>("totalMb");
    QTest::newRow("0") << 0.0f;
    QTest::newRow("negative") << -5.0f;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN();
}

void TestChartPlotter::graduateWithoutMemoryDrawsNothing()
{
    QFETCH(float, totalMb);
    auto rig = standardRig();
    const QImage blank = rig->picture.backingImage().copy();
    rig->plotter.graduate(20, 276, 900, 276, 0, totalMb, 4, totalMb / 8);
    QVERIFY(rig->picture.backingImage() == blank);
    QCOMPARE(rig->controls.gridLabel.count(), 1);
    QCOMPARE(rig->controls.gridLabel.find(0)->caption(), u"Grid Label"_s);
}

void TestChartPlotter::majorStepForTheMagnification_data()
{
    QTest::addColumn<int>("magnification");
    QTest::addColumn<float>("step");
    QTest::newRow("1") << 1 << 2048.0f;
    QTest::newRow("2") << 2 << 1024.0f;
    QTest::newRow("3") << 3 << 512.0f;
    QTest::newRow("4") << 4 << 256.0f;
    QTest::newRow("0") << 0 << -1.0f;
    QTest::newRow("5") << 5 << -1.0f;
}

void TestChartPlotter::majorStepForTheMagnification()
{
    QFETCH(int, magnification);
    QFETCH(float, step);
    const auto major = ChartPlotter::majorStepFor(16384.0f, magnification);
    if (step < 0) {
        QVERIFY(!major);
    } else {
        QVERIFY(major);
        QCOMPARE(*major, step);
    }
}

// ---------------------------------------------------------------------------------------
// Drawing the end face and the scale once per scan

void TestChartPlotter::drawingOncePerScanIsPixelIdentical_data()
{
    QTest::addColumn<int>("magnification");
    QTest::addColumn<bool>("overflow");
    QTest::newRow("100%") << 1 << false;
    QTest::newRow("400%") << 4 << false;
    QTest::newRow("100%, processes past the bar's end") << 1 << true;
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

    // Two scans on the same picture, as refreshes without erasing paint them: a long
    // one, then a shorter one.
    const QList<QList<Slice>> scans{scanSlices(total, 298, overflow, 7),
                                    scanSlices(total, 120, overflow, 11)};
    for (qsizetype s = 0; s < scans.size(); ++s) {
        runScan(straight, scans[s], Order::EverySlice);
        runScan(once, scans[s], Order::Optimised);
        const QByteArray where = "after scan " + QByteArray::number(s + 1);

        const QImage &a = straight.picture.backingImage();
        const QImage &b = once.picture.backingImage();
        QVERIFY2(a == b, (where + ": " + firstDifference(a, b).toUtf8()).constData());

        QCOMPARE(describeAll(once.controls.progLabel), describeAll(straight.controls.progLabel));
        QCOMPARE(describeAll(once.controls.progLeader1),
                 describeAll(straight.controls.progLeader1));
        QCOMPARE(describeAll(once.controls.progLeader2),
                 describeAll(straight.controls.progLeader2));
        QCOMPARE(describeAll(once.controls.gridLabel), describeAll(straight.controls.gridLabel));
        QCOMPARE(describeAll(once.controls.barOutline), describeAll(straight.controls.barOutline));
        QCOMPARE(once.state.sliceCount, straight.state.sliceCount);
        QCOMPARE(once.state.labelTop, straight.state.labelTop);
        QCOMPARE(once.state.sliceColor, straight.state.sliceColor);
        QCOMPARE(once.state.sliceShade, straight.state.sliceShade);

        // What was compared is a whole chart: every slice's label, the scale's labels
        // and the end face, over the slices where they overflow.
        const int slices = static_cast<int>(scans[s].size());
        QCOMPARE(int(once.state.sliceCount), slices);
        QCOMPARE(once.controls.progLabel.count(), slices + 1);
        QCOMPARE(visibleCount(once.controls.gridLabel), magnification == 1 ? 9 : 65);
        VERIFY_OK(
            checkColumn(once, once.right() + 1, once.top() + 2, once.bottom() - 3, EndFaceGrey));
        QCOMPARE(once.at(once.left(), once.scaleY()), ScaleBrown);
        QCOMPARE(once.controls.progLabel.find(slices)->caption().left(17), u"Available Memory "_s);
        if (overflow)
            QVERIFY(once.at(once.right() + 1, once.top()) != White);
    }
}

QTEST_MAIN(TestChartPlotter)
#include "test_chartplotter.moc"
